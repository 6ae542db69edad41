#pragma once

// What the socket seams share inside: the one place where the two socket APIs differ.
// Included by the seams' own files only.

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using NativeSocket = SOCKET;
using AddressLength = int;
#else
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
using NativeSocket = int;
using AddressLength = socklen_t;
#endif

#include <cstdint>
#include <cstring>

#include "reception/udp_socket.h"

inline NativeSocket Native(std::uintptr_t handle) {
    return static_cast<NativeSocket>(handle);
}

inline bool IsNoSocket(NativeSocket s) {
#ifdef _WIN32
    return s == INVALID_SOCKET;
#else
    return s < 0;
#endif
}

inline SocketError LastSocketError() {
    SocketError error;
#ifdef _WIN32
    error.number = WSAGetLastError();
    switch (error.number) {
        case WSAEADDRINUSE: error.kind = SocketErrorKind::AddressInUse; break;
        case WSAEMSGSIZE: error.kind = SocketErrorKind::MessageTooLong; break;
        case WSAECONNRESET: error.kind = SocketErrorKind::ConnectionReset; break;
        case WSAETIMEDOUT: error.kind = SocketErrorKind::TimedOut; break;
        case WSAEINTR: error.kind = SocketErrorKind::Interrupted; break;
        default: break;
    }
#else
    error.number = errno;
    switch (error.number) {
        case EADDRINUSE: error.kind = SocketErrorKind::AddressInUse; break;
        case EMSGSIZE: error.kind = SocketErrorKind::MessageTooLong; break;
        case ECONNREFUSED:
        case ECONNRESET: error.kind = SocketErrorKind::ConnectionReset; break;
        case EAGAIN: error.kind = SocketErrorKind::TimedOut; break;
        case EINTR: error.kind = SocketErrorKind::Interrupted; break;
        default: break;
    }
#endif
    return error;
}

inline void CloseNative(std::uintptr_t handle) {
#ifdef _WIN32
    closesocket(Native(handle));
#else
    close(Native(handle));
#endif
}

inline sockaddr_in IPv4SocketAddress(std::uint32_t addressNetworkOrder, std::uint16_t port) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = addressNetworkOrder;
    return address;
}
