#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// The program's one seam to the socket API (Windows Sockets or BSD sockets): an IPv4
// UDP socket. Error numbers are the platform's own; ErrorKind names the few that the
// program treats apart.

bool StartNetwork(int& error);  // WSAStartup on Windows
void StopNetwork();

enum class SocketErrorKind {
    Other,
    AddressInUse,     // bind: the port is taken (10048 on Windows)
    MessageTooLong,   // receive: the datagram did not fit (10040 on Windows)
    ConnectionReset,  // receive: an ICMP "port unreachable" reported on the socket
    TimedOut,         // receive: a receive time-out (none is ever set)
    Interrupted,      // receive: a signal came in
};

struct SocketError {
    int number = 0;
    SocketErrorKind kind = SocketErrorKind::Other;
};

struct ReceivedDatagram {
    long size = -1;  // bytes in the datagram (may exceed the buffer); -1 on failure
    std::uint32_t senderAddress = 0;  // network byte order
    SocketError error;
};

// A socket that one thread blocks on and another may wake for good.
class InterruptibleSocket {
public:
    InterruptibleSocket(const InterruptibleSocket&) = delete;
    InterruptibleSocket& operator=(const InterruptibleSocket&) = delete;

    // Wakes a thread blocked on the socket for good: every later wait fails at once.
    // Safe to call from another thread.
    void Interrupt();
    bool WasInterrupted() const { return interrupted.load(); }
    // Releases the socket; call once no thread uses it any more.
    void Close();
    bool IsOpen() const { return handle != kNoSocket; }
    // The port that the socket is bound to; 0 when it is none.
    std::uint16_t LocalPort() const;

protected:
    static constexpr std::uintptr_t kNoSocket = ~std::uintptr_t{0};

    InterruptibleSocket() = default;
    ~InterruptibleSocket() { Close(); }
    // Takes a new socket, neither interrupted nor closed.
    void Adopt(std::uintptr_t newHandle);
    // Closes this socket and takes over `other`'s, which is left closed; neither may be in
    // use by a thread.
    void TakeOverFrom(InterruptibleSocket& other);

    std::uintptr_t handle = kNoSocket;

private:
    std::atomic<bool> interrupted{false};
    std::atomic<bool> closedByInterrupt{false};
};

class UdpSocket : public InterruptibleSocket {
public:
    UdpSocket() = default;

    // Creates the socket; false with the error when it cannot.
    bool Open(SocketError& error);
    // Binds to every local address (or loopback only) on the port; 0 picks a free one.
    bool Bind(std::uint16_t port, bool loopbackOnly, SocketError& error);

    // Blocks until a datagram arrives; Interrupt wakes it.
    ReceivedDatagram Receive(std::uint8_t* buffer, std::size_t size);
    bool SendTo(std::uint32_t addressNetworkOrder, std::uint16_t port, const std::uint8_t* data,
                std::size_t size, SocketError& error);

    void TakeOver(UdpSocket& other) { TakeOverFrom(other); }
};

// 127.0.0.1 in network byte order.
std::uint32_t LoopbackAddress();
// A dotted IPv4 address (or "localhost") in network byte order; false when it is none.
bool ParseIPv4(const char* text, std::uint32_t& addressNetworkOrder);
