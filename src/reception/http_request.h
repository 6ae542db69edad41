#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The head of an HTTP/1.x request as the phone page's server reads it: strict about the
// syntax, so that nothing odd reaches the routes, and small.
struct HttpRequestHead {
    std::string method;
    std::string path;                                          // percent-decoded, without the query
    std::string query;                                         // as sent, without the "?"
    std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
    bool http11 = true;
    std::size_t contentLength = 0;

    // Every value of a header, joined by ", ": "a, b" on two lines means "a, b" on one.
    std::string Header(std::string_view lowerCaseName) const;
    // The first value of a query parameter, percent-decoded ("+" is a space); "" if none.
    std::string QueryValue(std::string_view name) const;
    // Whether the client asks to keep the connection for another request.
    bool KeepAlive() const;
};

// The longest head taken, its blank line included, and the most header lines.
inline constexpr std::size_t kRequestHeadLimit = 8192;
inline constexpr std::size_t kRequestHeaderLines = 64;

// Reads a request's head: its lines up to the blank line, which `head` does not hold.
// 0 when it is sound; else the status to answer with: 400 for bad syntax, 501 for a body
// sent in chunks (no scan needs one), 505 for an HTTP version other than 1.0 and 1.1.
int ParseRequestHead(std::string_view head, HttpRequestHead& request);

// The reason phrase of the statuses that the server sends.
const char* StatusReason(int status);
