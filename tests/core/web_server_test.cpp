// The phone page's server against clients that hold connections open: one address's slow
// heads close the page to nobody else, an error answer ends its connection, and the server
// stops at once whatever its clients do.

#include "reception/web_server.h"

#include <gtest/gtest.h>

#include "reception/page_connection.h"
#include "test_doubles.h"

// A client that asks for a file and never reads it holds none of the file's bytes in the
// server: they go out from where the program keeps them.
TEST(PageConnection, AFileBeingSentHoldsNoCopyOfIt) {
    CollectingSink sink;
    SenderGate gate;
    static const std::vector<unsigned char> file(12000, 'x');
    PhoneScanService service(
        sink, nullptr, gate,
        {{"/a.js", "text/javascript", file.data(), file.size(), "\"1\"", true}});
    auto now = PageConnection::Clock::now();
    PageConnection connection(0x0100007F, now);
    connection.Received("GET /a.js HTTP/1.1\r\nAccept-Encoding: gzip\r\n\r\n", service, now);
    ASSERT_EQ(connection.CurrentPhase(), PageConnection::Phase::Working);
    connection.Answer(service.Handle(connection.Request()), now);
    EXPECT_EQ(connection.CurrentPhase(), PageConnection::Phase::Sending);
    EXPECT_LT(connection.HeldBytes(), 1024u);
}

#ifndef _WIN32
#include <sys/time.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "loopback_client.h"

namespace {

// Whether the server has closed the connection (its answer, if any, read and dropped)
// within two seconds.
bool ClosedByServer(int sock) {
    timeval twoSeconds = {2, 0};
    setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &twoSeconds, sizeof twoSeconds);
    char dropped[4096];
    for (;;) {
        ssize_t got = recv(sock, dropped, sizeof dropped, 0);
        if (got == 0) return true;
        if (got < 0) return errno == ECONNRESET;
    }
}

// A server of a one-line page on a free port.
class WebServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.Start(0, error)) << error;
    }

    CollectingSink sink;
    SenderGate gate;
    static constexpr unsigned char kPage[4] = {'<', 'p', '>', 0};
    PhoneScanService service{sink, nullptr, gate, {{"/", "text/html", kPage, 3, "\"0a\"", false}}};
    WebServer server{service};
};

}  // namespace

TEST_F(WebServerTest, ErrorAnswersCloseAndStoppingWaitsForNoClient) {
    for (const char* refused :
         {"GET /nothing HTTP/1.1\r\nHost: x\r\n\r\n", "BREW / HTTP/1.1\r\n\r\n",
          "POST /scan HTTP/1.1\r\nContent-Length: 999999\r\n\r\n"}) {
        int sock = ConnectFrom("127.0.0.3", server.Port());
        ASSERT_GE(sock, 0);
        ASSERT_GT(send(sock, refused, std::strlen(refused), MSG_NOSIGNAL), 0);
        EXPECT_TRUE(ClosedByServer(sock)) << refused;
        close(sock);
    }

    // Connections that wait in every phase: idle, half a head, and an answer not read.
    int idle = ConnectFrom("127.0.0.4", server.Port());
    const char asked[] = "GET / HTTP/1.1\r\nHost: x\r\nAccept-Encoding: gzip\r\n\r\n";
    (void)!send(idle, asked, sizeof asked - 1, MSG_NOSIGNAL);
    int halfHead = ConnectFrom("127.0.0.5", server.Port());
    (void)!send(halfHead, asked, 20, MSG_NOSIGNAL);
    int unread = ConnectFrom("127.0.0.6", server.Port());
    for (int i = 0; i < 15; ++i)
        (void)!send(unread, asked, sizeof asked - 1, MSG_NOSIGNAL);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    auto start = std::chrono::steady_clock::now();
    server.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    for (int sock : {idle, halfHead, unread}) {
        EXPECT_TRUE(ClosedByServer(sock));
        close(sock);
    }
}

TEST_F(WebServerTest, SlowHeadsFromOneAddressLeaveThePageToOthers) {
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
