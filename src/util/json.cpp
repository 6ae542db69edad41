#include "util/json.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// Unicode characters of the Windows-1252 bytes 0x80-0x9F; the five bytes that the code
// page leaves undefined map to the control characters of the same number.
constexpr std::uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

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
    unsigned codePoint = byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : byte;
    std::snprintf(buffer, sizeof buffer, "\\u%04x", codePoint);
    return std::string_view(buffer, 6);
}
