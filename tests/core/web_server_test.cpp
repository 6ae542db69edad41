// The phone page's server against clients that hold connections open: one address's slow
// heads close the page to nobody else.

#include "reception/web_server.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "test_doubles.h"

namespace {

// A TCP connection to 127.0.0.1:port from `from` (127.0.0.1, 127.0.0.2, ...); -1 if none.
int ConnectFrom(const char* from, int port) {
    int sock = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from, &local.sin_addr);
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

}  // namespace

TEST(WebServer, SlowHeadsFromOneAddressLeaveThePageToOthers) {
    CollectingSink sink;
    SenderGate gate;
    const unsigned char page[4] = {'<', 'p', '>', 0};
    PhoneScanService service(sink, nullptr, gate, {{"/", "text/html", page, 3, "\"0a\"", false}});
    WebServer server(service);
    std::string error;
    ASSERT_TRUE(server.Start(0, error)) << error;

    // 64 connections from 127.0.0.1 that each send the start of a head, and no more.
    std::vector<int> slow;
    for (int i = 0; i < 64; ++i) {
        int sock = ConnectFrom("127.0.0.1", server.Port());
        if (sock < 0) continue;
        (void)!send(sock, "GET / HTTP/1.1\r\nHost: x\r\n", 25, MSG_NOSIGNAL);
        slow.push_back(sock);
    }
    ASSERT_GT(slow.size(), 32u);

    // Another address is answered at once.
    auto start = std::chrono::steady_clock::now();
    int other = ConnectFrom("127.0.0.2", server.Port());
    ASSERT_GE(other, 0);
    timeval twoSeconds = {2, 0};
    setsockopt(other, SOL_SOCKET, SO_RCVTIMEO, &twoSeconds, sizeof twoSeconds);
    const char request[] = "GET / HTTP/1.1\r\nHost: x\r\nAccept-Encoding: gzip\r\n\r\n";
    ASSERT_EQ(send(other, request, sizeof request - 1, MSG_NOSIGNAL),
              static_cast<ssize_t>(sizeof request - 1));
    char answer[64] = {};
    ssize_t got = recv(other, answer, sizeof answer - 1, 0);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GT(got, 0);
    EXPECT_EQ(std::string(answer).rfind("HTTP/1.1 200", 0), 0u) << answer;
    EXPECT_LT(waited, std::chrono::seconds(2));
    close(other);
    for (int sock : slow)
        close(sock);
    server.Stop();
}

#endif
