#include "reception/http_request.h"

#include <cstring>

#include "util/ascii_text.h"

namespace {

bool IsTokenChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           (c != 0 && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
}

bool IsToken(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!IsTokenChar(c)) return false;
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = AsciiLower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// %XX escapes (and "+" for a space, in a query); false for a broken escape or a NUL.
bool PercentDecode(std::string_view text, bool plusIsSpace, std::string& decoded) {
    decoded.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            int high = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
            int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
            if (high < 0 || low < 0 || (high == 0 && low == 0)) return false;
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            decoded += plusIsSpace && c == '+' ? ' ' : c;
        }
    }
    return true;
}

// Calls `each` with every comma-separated item of a list, trimmed; empty items skipped.
template <typename Each>
void ForEachListItem(std::string_view list, Each each) {
    while (!list.empty()) {
        std::size_t comma = list.find(',');
        std::string_view item = TrimSpaces(list.substr(0, comma));
        if (!item.empty()) each(item);
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
}

int ParseRequestLine(std::string_view line, HttpRequestHead& request) {
    std::size_t firstSpace = line.find(' ');
    std::size_t lastSpace = line.rfind(' ');
    if (firstSpace == std::string_view::npos || firstSpace == lastSpace) return 400;
    std::string_view method = line.substr(0, firstSpace);
    std::string_view target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    std::string_view version = line.substr(lastSpace + 1);
    if (!IsToken(method) || target.empty() || target.front() != '/') return 400;
    for (char c : target)
        if (c <= ' ' || c > '~') return 400;
    if (version == "HTTP/1.1") {
        request.http11 = true;
    } else if (version == "HTTP/1.0") {
        request.http11 = false;
    } else {
        bool looksLikeHttp = version.size() == 8 && version.substr(0, 5) == "HTTP/" &&
                             version[5] >= '0' && version[5] <= '9' && version[6] == '.' &&
                             version[7] >= '0' && version[7] <= '9';
        return looksLikeHttp ? 505 : 400;
    }
    std::size_t question = target.find('?');
    if (!PercentDecode(target.substr(0, question), false, request.path)) return 400;
    request.query = question == std::string_view::npos ? "" : target.substr(question + 1);
    request.method = method;
    return 0;
}

int ParseHeaderLine(std::string_view line, HttpRequestHead& request) {
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || !IsToken(line.substr(0, colon))) return 400;
    std::string_view value = TrimSpaces(line.substr(colon + 1));
    for (char c : value)
        if ((static_cast<unsigned char>(c) < ' ' && c != '\t') || c == 0x7F) return 400;
    std::string name(line.substr(0, colon));
    for (char& c : name)
        c = AsciiLower(c);
    request.headers.emplace_back(std::move(name), std::string(value));
    return 0;
}

// The body's length: decimal digits, the same in every Content-Length header.
int ReadContentLength(HttpRequestHead& request) {
    bool seen = false;
    for (const auto& [name, value] : request.headers) {
        if (name == "transfer-encoding") return 501;
        if (name != "content-length") continue;
        if (value.empty() || value.size() > 12) return 400;
        std::size_t length = 0;
        for (char c : value) {
            if (c < '0' || c > '9') return 400;
            length = length * 10 + static_cast<std::size_t>(c - '0');
        }
        if (seen && length != request.contentLength) return 400;
        request.contentLength = length;
        seen = true;
    }
    return 0;
}

}  // namespace

std::string HttpRequestHead::Header(std::string_view lowerCaseName) const {
    std::string list;
    for (const auto& [name, value] : headers) {
        if (name != lowerCaseName) continue;
        if (!list.empty()) list += ", ";
        list += value;
    }
    return list;
}

std::string HttpRequestHead::QueryValue(std::string_view name) const {
    std::string_view rest = query;
    std::string key, value;
    while (!rest.empty()) {
        std::size_t amp = rest.find('&');
        std::string_view pair = rest.substr(0, amp);
        std::size_t equals = pair.find('=');
        if (PercentDecode(pair.substr(0, equals), true, key) && key == name) {
            std::string_view raw =
                equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1);
            return PercentDecode(raw, true, value) ? value : std::string();
        }
        if (amp == std::string_view::npos) break;
        rest.remove_prefix(amp + 1);
    }
    return {};
}

bool HttpRequestHead::KeepAlive() const {
    bool close = !http11, keepAlive = false;
    ForEachListItem(Header("connection"), [&](std::string_view option) {
        if (EqualsIgnoringCase(option, "close")) close = true;
        if (EqualsIgnoringCase(option, "keep-alive")) keepAlive = true;
    });
    return http11 ? !close : keepAlive && !close;
}

int ParseRequestHead(std::string_view head, HttpRequestHead& request) {
    request = HttpRequestHead();
    if (head.size() > kRequestHeadLimit) return 400;
    bool first = true;
    while (true) {
        std::size_t end = head.find("\r\n");
        std::string_view line = head.substr(0, end);
        // A line ends with CR LF and nothing else; a lone CR or LF, or a NUL, is no HTTP.
        if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return 400;
        int status = 0;
        if (first) {
            status = ParseRequestLine(line, request);
            first = false;
        } else if (request.headers.size() >= kRequestHeaderLines) {
            status = 400;
        } else {
            status = ParseHeaderLine(line, request);
        }
        if (status != 0) return status;
        if (end == std::string_view::npos) break;
        head.remove_prefix(end + 2);
    }
    return ReadContentLength(request);
}

const char* StatusReason(int status) {
    switch (status) {
        case 200: return "OK";
        case 304: return "Not Modified";
        case 400: return "Bad Request";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 406: return "Not Acceptable";
        case 413: return "Payload Too Large";
        case 429: return "Too Many Requests";
        case 431: return "Request Header Fields Too Large";
        case 501: return "Not Implemented";
        case 503: return "Service Unavailable";
        case 505: return "HTTP Version Not Supported";
        default: return "Unknown";
    }
}
