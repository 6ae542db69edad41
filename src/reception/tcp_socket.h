#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "reception/udp_socket.h"

// The phone page's seam to the socket API: an IPv4 TCP socket that listens on every
// local address, and the connections it accepts, whose waits end by a deadline.

using SocketClock = std::chrono::steady_clock;

class TcpConnection {
public:
    TcpConnection() = default;
    explicit TcpConnection(std::uintptr_t acceptedHandle) : handle(acceptedHandle) {}
    ~TcpConnection();
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // The IPv4 address at the other end; 0 for anything else.
    std::uint32_t PeerAddress() const;
    // Waits for bytes until `deadline`: how many were read, 0 when the peer has closed,
    // -1 on a failure or when the deadline passed.
    long Receive(char* buffer, std::size_t size, SocketClock::time_point deadline);
    // Whether bytes (or the peer's close) arrive within `wait`.
    bool WaitReadable(std::chrono::milliseconds wait);
    // Sends all of `data`; each wait for room in the send buffer may last `timeout`.
    bool SendAll(const char* data, std::size_t size, std::chrono::milliseconds timeout);
    // Says that nothing more is sent, and closes.
    void Close();

private:
    static constexpr std::uintptr_t kNoSocket = ~std::uintptr_t{0};
    std::uintptr_t handle = kNoSocket;
};

class TcpListener : public InterruptibleSocket {
public:
    TcpListener() = default;

    // Listens on `port` (0: a free one) of every local address, with room for `backlog`
    // connections that wait to be accepted.
    bool Listen(std::uint16_t port, int backlog, SocketError& error);
    // Blocks for the next connection; null when there is none (after Interrupt, or on a
    // failure).
    std::unique_ptr<TcpConnection> Accept();
};
