#pragma once

// A TCP client on loopback from an address of its choosing (127.0.0.2, 127.0.0.3, ...), as
// many phones would be: for the page server's tests and benchmark. Linux only.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

// A connection to 127.0.0.1:port from `from`, with a receive buffer of `receiveBuffer`
// bytes when it is not 0; -1 if none.
inline int ConnectFrom(const std::string& from, int port, int receiveBuffer = 0) {
    int sock = socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer)
        setsockopt(sock, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from.c_str(), &local.sin_addr);
    sockaddr_in server = {};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
    if (bind(sock, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        connect(sock, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        close(sock);
        return -1;
    }
    return sock;
}
