#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "reception/udp_socket.h"

// The phone page's seam to the socket API: an IPv4 TCP socket that listens on every
// local address, the connections it accepts, and the one wait for all of them. Nothing
// here blocks but PollSockets: reads and writes take what the system has at the moment.

using SocketClock = std::chrono::steady_clock;

class TcpConnection {
public:
    // What Read answers when no bytes are there now, and on a failure.
    static constexpr long kNothingYet = -2;
    static constexpr long kFailed = -1;

    explicit TcpConnection(std::uintptr_t acceptedHandle) : handle(acceptedHandle) {}
    ~TcpConnection();
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    std::uintptr_t Handle() const { return handle; }
    // The IPv4 address at the other end; 0 for anything else.
    std::uint32_t PeerAddress() const;
    // The bytes that have arrived, up to `size`: how many, 0 when the peer has closed,
    // kNothingYet or kFailed.
    long Read(char* buffer, std::size_t size);
    // Sends what the send buffer takes now of `data`: how many bytes (0 when it is full),
    // or kFailed.
    long Write(const char* data, std::size_t size);
    // Says that nothing more is sent; the peer reads what was sent, then the end.
    void EndSending();
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
    // The next connection that waits, or null when none does now.
    std::unique_ptr<TcpConnection> Accept();
    std::uintptr_t Handle() const { return handle; }
};

// Wakes a thread waiting in PollSockets from another thread: a UDP socket on loopback
// that sends to itself. It works alike on both socket APIs, where a pipe or an event
// would not be one of the sockets that WSAPoll waits for.
class SocketWaker : public InterruptibleSocket {
public:
    bool Open(SocketError& error);
    // Safe from any thread; wakes the next wait too when none waits now.
    void Wake();
    // Takes the wake-ups that have come, so that the next wait blocks again.
    void Drain();
    std::uintptr_t Handle() const { return handle; }
};

// One socket of a PollSockets wait: what it waits for, and what came.
struct PollEntry {
    std::uintptr_t handle;
    bool wantRead;
    bool wantWrite;
    bool readable = false;  // bytes, the peer's end, or a failure: a read tells which
    bool writable = false;  // room, or a failure: a write tells which
    // The peer has sent its end. WSAPoll says so whatever was asked, so a socket waiting
    // for room would be ready again at once: a full one has to be given up.
    bool hungUp = false;
};

// Waits until one of the sockets is ready or `wait` has passed (poll, WSAPoll); false
// on a failure of the wait itself.
bool PollSockets(std::vector<PollEntry>& entries, std::chrono::milliseconds wait);
