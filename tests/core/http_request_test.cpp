// The page server's reading of request heads: what a browser sends is read whole, and what
// could smuggle a second request or a body past the limits is refused.

#include "reception/http_request.h"

#include <gtest/gtest.h>

TEST(HttpRequestHead, ReadsWhatABrowserSends) {
    HttpRequestHead head;
    ASSERT_EQ(ParseRequestHead("POST /sc%61n?k=1&n=ab%2Bc&p=x+y&k=3 HTTP/1.1\r\n"
                               "Host: 192.168.0.10:6667\r\n"
                               "Accept-Encoding: gzip, deflate\r\n"
                               "accept-encoding:  br \r\n"
                               "Content-Length: 44\r\n"
                               "Connection: keep-alive",
                               head),
              0);
    EXPECT_EQ(head.method, "POST");
    EXPECT_EQ(head.path, "/scan");
    EXPECT_EQ(head.QueryValue("k"), "1");  // the first of two
    EXPECT_EQ(head.QueryValue("n"), "ab+c");
    EXPECT_EQ(head.QueryValue("p"), "x y");
    EXPECT_EQ(head.QueryValue("t"), "");
    EXPECT_EQ(head.Header("accept-encoding"), "gzip, deflate, br");
    EXPECT_EQ(head.contentLength, 44u);
    EXPECT_TRUE(head.KeepAlive());

    ASSERT_EQ(ParseRequestHead("GET / HTTP/1.0", head), 0);
    EXPECT_FALSE(head.KeepAlive());
    ASSERT_EQ(ParseRequestHead("GET / HTTP/1.1\r\nConnection: Upgrade, Close", head), 0);
    EXPECT_FALSE(head.KeepAlive());
}

TEST(HttpRequestHead, RefusesWhatIsNoPlainRequest) {
    const std::pair<const char*, int> refused[] = {
        {"", 400},
        {"GET /", 400},
        {"GET  / HTTP/1.1", 400},
        {"GET http://host/ HTTP/1.1", 400},
        {"GET /a\x01 HTTP/1.1", 400},
        {"GET /%0 HTTP/1.1", 400},
        {"GET /%00 HTTP/1.1", 400},
        {"GET / HTTP/2.0", 505},
        {"GET / HTTQ/1.1", 400},
        {"GET / HTTP/1.1\nHost: x", 400},       // a lone LF
        {"GET / HTTP/1.1\r\nHost: a\rb", 400},  // a lone CR
        {"GET / HTTP/1.1\r\n Folded: x", 400},
        {"GET / HTTP/1.1\r\nNo colon", 400},
        {"GET / HTTP/1.1\r\nBad Name: x", 400},
        {"GET / HTTP/1.1\r\nX: a\x7f", 400},
        {"POST / HTTP/1.1\r\nContent-Length: -1", 400},
        {"POST / HTTP/1.1\r\nContent-Length: 1, 1", 400},
        {"POST / HTTP/1.1\r\nContent-Length: 4\r\nContent-Length: 5", 400},
        {"POST / HTTP/1.1\r\nContent-Length: 99999999999999999999", 400},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked", 501},
        {"POST / HTTP/1.1\r\nContent-Length: 4\r\nTransfer-Encoding: chunked", 501},
    };
    for (const auto& [text, status] : refused) {
        HttpRequestHead head;
        EXPECT_EQ(ParseRequestHead(text, head), status) << text;
    }
    std::string many = "GET / HTTP/1.1";
    for (int i = 0; i < 65; ++i)
        many += "\r\nX: y";
    HttpRequestHead head;
    EXPECT_EQ(ParseRequestHead(many, head), 400);
}
