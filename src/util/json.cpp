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

// Whether any of the eight bytes of `word` is not plain (see kPlainByte). Most text is
// plain, so it is checked eight bytes at a time; each test below is exact for "any byte".
inline bool AnyNotPlain(std::uint64_t word) {
    constexpr std::uint64_t kEach = 0x0101010101010101;
    constexpr std::uint64_t kHigh = 0x8080808080808080;
    auto anyBelow = [](std::uint64_t w, std::uint64_t n) { return (w - kEach * n) & ~w & kHigh; };
    auto anyEqual = [&](std::uint64_t w, char c) { return anyBelow(w ^ (kEach * c), 1); };
    std::uint64_t control = anyBelow(word, 0x20);
    std::uint64_t above7E = ((word + kEach) | word) & kHigh;
    return (control | above7E | anyEqual(word, '"') | anyEqual(word, '\\')) != 0;
}

}  // namespace

std::size_t JsonPlainPrefix(std::string_view text) {
    constexpr std::size_t kWord = sizeof(std::uint64_t);
    auto plainWordAt = [&text](std::size_t at) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + at, kWord);
        return !AnyNotPlain(word);
    };
    std::size_t i = 0;
    while (i + kWord <= text.size() && plainWordAt(i))
        i += kWord;
    // When fewer than eight bytes are left, the last eight (overlapping bytes already seen)
    // may show the rest plain in one step.
    if (i + kWord > text.size() && text.size() >= kWord && plainWordAt(text.size() - kWord)) {
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
