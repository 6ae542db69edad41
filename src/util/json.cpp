#include "util/json.h"

#include <cstdint>
#include <cstdio>

namespace {

// Unicode characters of the Windows-1252 bytes 0x80-0x9F; the five bytes that the code
// page leaves undefined map to the control characters of the same number.
constexpr std::uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUnicodeEscape(std::string& out, unsigned codePoint) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", codePoint);
    out += escape;
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        unsigned byte = static_cast<unsigned char>(c);
        switch (byte) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (byte >= 0x20 && byte < 0x7F) {
                    out += c;
                } else if (byte >= 0x80 && byte < 0xA0) {
                    AppendUnicodeEscape(out, kCp1252High[byte - 0x80]);
                } else {
                    AppendUnicodeEscape(out, byte);  // controls, DEL and Latin-1
                }
        }
    }
    out += '"';
}

void JsonObjectWriter::Key(std::string_view key) {
    if (json.size() > 1) json += ',';
    AppendJsonString(json, key);
    json += ':';
}

JsonObjectWriter& JsonObjectWriter::Add(std::string_view key, std::string_view text) {
    Key(key);
    AppendJsonString(json, text);
    return *this;
}

JsonObjectWriter& JsonObjectWriter::Add(std::string_view key, bool flag) {
    Key(key);
    json += flag ? "true" : "false";
    return *this;
}

JsonObjectWriter& JsonObjectWriter::Add(std::string_view key, long long number) {
    Key(key);
    json += std::to_string(number);
    return *this;
}

std::string JsonObjectWriter::Finish() {
    json += '}';
    return std::move(json);
}
