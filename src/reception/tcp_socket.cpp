#include "reception/tcp_socket.h"

#include <cstring>
#include <thread>

#include "reception/socket_native.h"

#ifndef _WIN32
#include <netinet/tcp.h>
#include <poll.h>
#endif

namespace {

// Whether the socket can be read (or written) within `wait`.
bool WaitFor(std::uintptr_t handle, bool forWriting, std::chrono::milliseconds wait) {
    long milliseconds = wait.count() < 0 ? 0 : static_cast<long>(wait.count());
#ifdef _WIN32
    fd_set set;
    FD_ZERO(&set);
    FD_SET(Native(handle), &set);
    timeval timeout = {milliseconds / 1000, (milliseconds % 1000) * 1000};
    return select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, nullptr, &timeout) >
           0;
#else
    pollfd entry = {Native(handle), static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
    int ready;
    do {
        ready = poll(&entry, 1, static_cast<int>(milliseconds));
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
#endif
}

std::chrono::milliseconds Until(SocketClock::time_point deadline) {
    return std::chrono::ceil<std::chrono::milliseconds>(deadline - SocketClock::now());
}

}  // namespace

TcpConnection::~TcpConnection() {
    Close();
}

std::uint32_t TcpConnection::PeerAddress() const {
    sockaddr_storage peer;
    std::memset(&peer, 0, sizeof peer);
    AddressLength length = sizeof peer;
    if (getpeername(Native(handle), reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
        peer.ss_family != AF_INET)
        return 0;
    return reinterpret_cast<const sockaddr_in&>(peer).sin_addr.s_addr;
}

long TcpConnection::Receive(char* buffer, std::size_t size, SocketClock::time_point deadline) {
    std::chrono::milliseconds left = Until(deadline);
    if (left.count() <= 0 || !WaitFor(handle, false, left)) return -1;
#ifdef _WIN32
    int got = recv(Native(handle), buffer, static_cast<int>(size), 0);
#else
    ssize_t got;
    do {
        got = recv(Native(handle), buffer, size, 0);
    } while (got < 0 && errno == EINTR);
#endif
    return got < 0 ? -1 : static_cast<long>(got);
}

bool TcpConnection::WaitReadable(std::chrono::milliseconds wait) {
    return WaitFor(handle, false, wait);
}

bool TcpConnection::SendAll(const char* data, std::size_t size, std::chrono::milliseconds timeout) {
    while (size > 0) {
        if (!WaitFor(handle, true, timeout)) return false;
        // A client's slow pace costs sends, not a copy: at most 64 KB at a time.
        std::size_t part = size < 65536 ? size : 65536;
#ifdef _WIN32
        int sent = send(Native(handle), data, static_cast<int>(part), 0);
#else
        ssize_t sent = send(Native(handle), data, part, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
#endif
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

void TcpConnection::Close() {
    if (handle == kNoSocket) return;
#ifdef _WIN32
    shutdown(Native(handle), SD_SEND);
#else
    shutdown(Native(handle), SHUT_WR);
#endif
    CloseNative(handle);
    handle = kNoSocket;
}

bool TcpListener::Listen(std::uint16_t port, int backlog, SocketError& error) {
#ifdef _WIN32
    // Not inherited by the programs that the program starts (a browser for the help):
    // they would hold the port after it ends.
    NativeSocket s = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
#else
    NativeSocket s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
#endif
    if (IsNoSocket(s)) {
        error = LastSocketError();
        return false;
    }
    Adopt(static_cast<std::uintptr_t>(s));
    int yes = 1;
#ifdef _WIN32
    // No other program may bind the port beside this one and take its connections.
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
#else
    // A restart may take the port again while the last connections linger.
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
    sockaddr_in address = IPv4SocketAddress(htonl(INADDR_ANY), port);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(s, backlog) != 0) {
        error = LastSocketError();
        Close();
        return false;
    }
    return true;
}

std::unique_ptr<TcpConnection> TcpListener::Accept() {
    for (;;) {
        if (WasInterrupted() || handle == kNoSocket) return nullptr;
#ifdef _WIN32
        NativeSocket s = accept(Native(handle), nullptr, nullptr);
#else
        NativeSocket s = accept4(Native(handle), nullptr, nullptr, SOCK_CLOEXEC);
#endif
        if (!IsNoSocket(s)) {
            // A response's head and its body go out at once, not after the client's
            // delayed acknowledgement of the head.
            int yes = 1;
            setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes),
                       sizeof yes);
            return std::make_unique<TcpConnection>(static_cast<std::uintptr_t>(s));
        }
        if (WasInterrupted()) return nullptr;
        // A connection that was reset before it was accepted, or a lack of descriptors,
        // costs that connection only; the next waits a moment.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
