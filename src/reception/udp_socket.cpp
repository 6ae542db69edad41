#include "reception/udp_socket.h"

#include <cstring>

#include "reception/socket_native.h"

bool StartNetwork(int& error) {
#ifdef _WIN32
    WSADATA data;
    error = WSAStartup(0x0102, &data);
    return error == 0;
#else
    error = 0;
    return true;
#endif
}

void StopNetwork() {
#ifdef _WIN32
    WSACleanup();
#endif
}

bool UdpSocket::Open(SocketError& error) {
    NativeSocket s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (IsNoSocket(s)) {
        error = LastSocketError();
        return false;
    }
    // The object may be reused for a new port after an interrupt.
    Adopt(static_cast<std::uintptr_t>(s));
    return true;
}

bool UdpSocket::Bind(std::uint16_t port, bool loopbackOnly, SocketError& error) {
    sockaddr_in address =
        IPv4SocketAddress(loopbackOnly ? htonl(INADDR_LOOPBACK) : htonl(INADDR_ANY), port);
    if (bind(Native(handle), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        error = LastSocketError();
        return false;
    }
    return true;
}

std::uint16_t InterruptibleSocket::LocalPort() const {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    AddressLength length = sizeof address;
    if (getsockname(Native(handle), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

ReceivedDatagram UdpSocket::Receive(std::uint8_t* buffer, std::size_t size) {
    ReceivedDatagram received;
    sockaddr_in sender;
    std::memset(&sender, 0, sizeof sender);
    AddressLength senderLength = sizeof sender;
#ifdef _WIN32
    int result = recvfrom(Native(handle), reinterpret_cast<char*>(buffer), static_cast<int>(size),
                          0, reinterpret_cast<sockaddr*>(&sender), &senderLength);
#else
    // MSG_TRUNC: the datagram's real size, so that an oversized one fails the length rule.
    ssize_t result = recvfrom(Native(handle), buffer, size, MSG_TRUNC,
                              reinterpret_cast<sockaddr*>(&sender), &senderLength);
#endif
    if (result < 0) {
        received.error = LastSocketError();
        return received;
    }
    received.size = static_cast<long>(result);
    received.senderAddress = sender.sin_addr.s_addr;
    return received;
}

bool UdpSocket::SendTo(std::uint32_t addressNetworkOrder, std::uint16_t port,
                       const std::uint8_t* data, std::size_t size, SocketError& error) {
    sockaddr_in address = IPv4SocketAddress(addressNetworkOrder, port);
#ifdef _WIN32
    int sent = sendto(Native(handle), reinterpret_cast<const char*>(data), static_cast<int>(size),
                      0, reinterpret_cast<sockaddr*>(&address), sizeof address);
#else
    ssize_t sent = sendto(Native(handle), data, size, 0, reinterpret_cast<sockaddr*>(&address),
                          sizeof address);
#endif
    if (sent < 0) {
        error = LastSocketError();
        return false;
    }
    return true;
}

void InterruptibleSocket::Adopt(std::uintptr_t newHandle) {
    Close();
    handle = newHandle;
    interrupted = false;
    closedByInterrupt = false;
}

void InterruptibleSocket::Interrupt() {
    interrupted = true;
    if (handle == kNoSocket) return;
#ifdef _WIN32
    // Closing the socket wakes a blocked recvfrom or accept (with 10004 on Windows, 10022
    // under Wine).
    if (!closedByInterrupt.exchange(true)) closesocket(Native(handle));
#else
    // close() would not wake it; shutdown() does, and the descriptor stays ours until
    // Close(), so it cannot be reused under the blocked thread.
    shutdown(Native(handle), SHUT_RDWR);
#endif
}

void InterruptibleSocket::Close() {
    if (handle == kNoSocket) return;
    if (!closedByInterrupt.exchange(true)) CloseNative(handle);
    handle = kNoSocket;
}

void InterruptibleSocket::TakeOverFrom(InterruptibleSocket& other) {
    Close();
    handle = other.handle;
    interrupted = other.interrupted.load();
    closedByInterrupt = other.closedByInterrupt.load();
    other.handle = kNoSocket;
}

std::uint32_t LoopbackAddress() {
    return htonl(INADDR_LOOPBACK);
}

bool ParseIPv4(const char* text, std::uint32_t& addressNetworkOrder) {
    if (std::strcmp(text, "localhost") == 0) {
        addressNetworkOrder = LoopbackAddress();
        return true;
    }
    in_addr address;
    if (inet_pton(AF_INET, text, &address) != 1) return false;
    addressNetworkOrder = address.s_addr;
    return true;
}
