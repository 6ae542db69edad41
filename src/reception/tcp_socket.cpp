#include "reception/tcp_socket.h"

#include <cstring>

#include "reception/socket_native.h"

#ifndef _WIN32
#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#endif

namespace {

bool MakeNonBlocking(NativeSocket s) {
#ifdef _WIN32
    u_long yes = 1;
    return ioctlsocket(s, FIONBIO, &yes) == 0;
#else
    int flags = fcntl(s, F_GETFL, 0);
    return flags >= 0 && fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
#endif
}

bool WouldBlock() {
#ifdef _WIN32
    return WSAGetLastError() == WSAEWOULDBLOCK;
#else
    return errno == EAGAIN || errno == EWOULDBLOCK;
#endif
}

bool Interrupted() {
#ifdef _WIN32
    return false;
#else
    return errno == EINTR;
#endif
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

long TcpConnection::Read(char* buffer, std::size_t size) {
    for (;;) {
#ifdef _WIN32
        int got = recv(Native(handle), buffer, static_cast<int>(size), 0);
#else
        ssize_t got = recv(Native(handle), buffer, size, 0);
#endif
        if (got >= 0) return static_cast<long>(got);
        if (Interrupted()) continue;
        return WouldBlock() ? kNothingYet : kFailed;
    }
}

long TcpConnection::Write(const char* data, std::size_t size) {
    // A client's slow pace costs sends, not a copy: at most 64 KB at a time.
    std::size_t part = size < 65536 ? size : 65536;
    for (;;) {
#ifdef _WIN32
        int sent = send(Native(handle), data, static_cast<int>(part), 0);
#else
        ssize_t sent = send(Native(handle), data, part, MSG_NOSIGNAL);
#endif
        if (sent >= 0) return static_cast<long>(sent);
        if (Interrupted()) continue;
        return WouldBlock() ? 0 : kFailed;
    }
}

void TcpConnection::EndSending() {
#ifdef _WIN32
    shutdown(Native(handle), SD_SEND);
#else
    shutdown(Native(handle), SHUT_WR);
#endif
}

void TcpConnection::Close() {
    if (handle == kNoSocket) return;
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
    // Accepted sockets take the listener's non-blocking mode on Windows; elsewhere
    // accept4 gives it.
    if (!MakeNonBlocking(s) ||
        bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(s, backlog) != 0) {
        error = LastSocketError();
        Close();
        return false;
    }
    return true;
}

std::unique_ptr<TcpConnection> TcpListener::Accept() {
    // A connection reset before it was accepted costs that connection only.
    for (int tries = 0; tries < 8; ++tries) {
        if (handle == kNoSocket) return nullptr;
#ifdef _WIN32
        NativeSocket s = accept(Native(handle), nullptr, nullptr);
#else
        NativeSocket s = accept4(Native(handle), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
#endif
        if (!IsNoSocket(s)) {
            // A response's head and its body go out at once, not after the client's
            // delayed acknowledgement of the head.
            int yes = 1;
            setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes),
                       sizeof yes);
            return std::make_unique<TcpConnection>(static_cast<std::uintptr_t>(s));
        }
        // Nothing waits, or no descriptor is left: the next wait tells again.
#ifdef _WIN32
        bool aborted = WSAGetLastError() == WSAECONNRESET;
#else
        bool aborted = errno == ECONNABORTED || errno == EINTR;
#endif
        if (!aborted) return nullptr;
    }
    return nullptr;
}

bool SocketWaker::Open(SocketError& error) {
    NativeSocket s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (IsNoSocket(s)) {
        error = LastSocketError();
        return false;
    }
    Adopt(static_cast<std::uintptr_t>(s));
    sockaddr_in address = IPv4SocketAddress(htonl(INADDR_LOOPBACK), 0);
    AddressLength length = sizeof address;
    if (!MakeNonBlocking(s) ||
        bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        error = LastSocketError();
        Close();
        return false;
    }
    return true;
}

void SocketWaker::Wake() {
    // A full buffer holds wake-ups enough: the one lost here changes nothing.
    char one = 1;
    (void)send(Native(handle), &one, 1, 0);
}

void SocketWaker::Drain() {
    char bytes[64];
    while (recv(Native(handle), bytes, sizeof bytes, 0) > 0) {
    }
}

bool PollSockets(std::vector<PollEntry>& entries, std::chrono::milliseconds wait) {
#ifdef _WIN32
    std::vector<WSAPOLLFD> native(entries.size());
#else
    std::vector<pollfd> native(entries.size());
#endif
    for (std::size_t i = 0; i < entries.size(); ++i) {
        native[i].fd = Native(entries[i].handle);
        native[i].events = static_cast<short>((entries[i].wantRead ? POLLIN : 0) |
                                              (entries[i].wantWrite ? POLLOUT : 0));
        native[i].revents = 0;
    }
    int milliseconds = wait.count() < 0 ? 0 : static_cast<int>(wait.count());
#ifdef _WIN32
    int ready = WSAPoll(native.data(), static_cast<ULONG>(native.size()), milliseconds);
#else
    int ready = poll(native.data(), native.size(), milliseconds);
    if (ready < 0 && errno == EINTR) ready = 0;
#endif
    if (ready < 0) return false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        short came = native[i].revents;
        bool failed = (came & (POLLERR | POLLHUP | POLLNVAL)) != 0;
        entries[i].readable = entries[i].wantRead && ((came & POLLIN) != 0 || failed);
        entries[i].writable = entries[i].wantWrite && ((came & POLLOUT) != 0 || failed);
        entries[i].hungUp = (came & POLLHUP) != 0;
    }
    return true;
}
