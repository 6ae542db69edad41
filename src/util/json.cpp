#include "util/json.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "util/text_encoding.h"

namespace {

// The bytes that stand for themselves in a JSON string: printable ASCII but the quote and
// the backslash.
constexpr auto kPlainByte = [] {
    std::array<bool, 256> plain{};
    for (unsigned byte = 0x20; byte < 0x7F; ++byte)
        plain[byte] = byte != '"' && byte != '\\';
    return plain;
}();

// Sixteen bytes at a time: most text is plain. GCC and Clang compare the bytes of a
// vector all at once.
using Bytes = unsigned char __attribute__((vector_size(16)));

// Whether any of the bytes at `at` is not plain (see kPlainByte).
inline bool AnyNotPlain(const char* at) {
    Bytes bytes;
    std::memcpy(&bytes, at, sizeof bytes);
    auto notPlain = (bytes < 0x20) | (bytes > 0x7E) | (bytes == '"') | (bytes == '\\');
    std::uint64_t halves[2];
    std::memcpy(halves, &notPlain, sizeof halves);
    return (halves[0] | halves[1]) != 0;
}

}  // namespace

std::size_t JsonPlainPrefix(std::string_view text) {
    constexpr std::size_t kStep = sizeof(Bytes);
    std::size_t i = 0;
    while (i + kStep <= text.size() && !AnyNotPlain(text.data() + i))
        i += kStep;
    // When fewer than sixteen bytes are left, the last sixteen (overlapping bytes already
    // seen) may show the rest plain in one step.
    if (i + kStep > text.size() && text.size() >= kStep &&
        !AnyNotPlain(text.data() + text.size() - kStep)) {
        return text.size();
    }
    while (i < text.size() && kPlainByte[static_cast<unsigned char>(text[i])])
        ++i;
    return i;
}

std::string_view JsonEscape(unsigned char byte, char (&buffer)[8]) {
    switch (byte) {
        case '"': return "\\\"";
        case '\\': return "\\\\";
        case '\n': return "\\n";
        case '\r': return "\\r";
        case '\t': return "\\t";
        default: break;
    }
    // Controls, DEL and Latin-1 stand for themselves; 0x80-0x9F are Windows-1252's own.
    unsigned codePoint = byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte;
    std::snprintf(buffer, sizeof buffer, "\\u%04x", codePoint);
    return std::string_view(buffer, 6);
}

void AppendJsonUtf8String(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t at = 0; at < text.size();) {
        std::size_t plain = JsonPlainPrefix(text.substr(at));
        out += text.substr(at, plain);
        at += plain;
        if (at == text.size()) break;
        auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            char buffer[8];
            out += JsonEscape(byte, buffer);
            ++at;
            continue;
        }
        // As \u escapes of its UTF-16 units.
        std::uint16_t units[2];
        int count = Utf16Units(NextUtf8Character(text, at), units);
        for (int i = 0; i < count; ++i) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(units[i]));
            out += buffer;
        }
    }
    out += '"';
}
