#include "util/text_encoding.h"

const std::uint16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t NextUtf8Character(std::string_view text, std::size_t& at) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char first = byte(at);
    if (first < 0x80) {
        ++at;
        return first;
    }
    std::size_t extra = first >= 0xC2 && first <= 0xDF   ? 1
                        : first >= 0xE0 && first <= 0xEF ? 2
                        : first >= 0xF0 && first <= 0xF4 ? 3
                                                         : 0;
    char32_t character = first & (0x3F >> extra);
    bool whole = extra > 0;
    for (std::size_t i = 1; whole && i <= extra; ++i) {
        whole = at + i < text.size() && (byte(at + i) & 0xC0) == 0x80;
        if (whole) character = (character << 6) | (byte(at + i) & 0x3F);
    }
    // Overlong forms, surrogates and characters beyond U+10FFFF are no characters.
    bool inRange =
        extra == 1 ||
        (extra == 2 && character >= 0x800 && (character < 0xD800 || character > 0xDFFF)) ||
        (extra == 3 && character >= 0x10000 && character <= 0x10FFFF);
    if (!whole || !inRange) {
        ++at;
        return 0xFFFD;
    }
    at += extra + 1;
    return character;
}

bool IsUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        std::size_t start = at;
        if (NextUtf8Character(text, at) == 0xFFFD && at == start + 1) return false;
    }
    return true;
}

int Utf16Units(char32_t character, std::uint16_t (&units)[2]) {
    if (character < 0x10000) {
        units[0] = static_cast<std::uint16_t>(character);
        return 1;
    }
    character -= 0x10000;
    units[0] = static_cast<std::uint16_t>(0xD800 + (character >> 10));
    units[1] = static_cast<std::uint16_t>(0xDC00 + (character & 0x3FF));
    return 2;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string Utf8ToWindows1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        char32_t c = NextUtf8Character(text, at);
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += static_cast<char>(c);
            continue;
        }
        char byte = '?';
        for (unsigned i = 0; i < 32; ++i)
            if (kWindows1252High[i] == c) byte = static_cast<char>(0x80 + i);
        out += byte;
    }
    return out;
}

std::string Windows1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte);
    }
    return out;
}
