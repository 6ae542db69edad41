#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// A text of at most N characters held in place. The pieces of an interpretation are made
// for every code received, so they are built here rather than in heap strings. Each user
// sizes N for the longest text it can make; anything beyond N is dropped.
template <std::size_t N>
class FixedText {
public:
    static constexpr std::size_t kCapacity = N;

    FixedText() = default;
    FixedText(std::string_view text) { *this += text; }
    FixedText(const char* text) : FixedText(std::string_view(text)) {}

    FixedText& operator+=(std::string_view text) {
        std::size_t count = std::min(text.size(), N - length);
        CopyShortOrLong(chars + length, text.data(), count);
        length += count;
        return *this;
    }
    FixedText& operator+=(char c) {
        if (length < N) chars[length++] = c;
        return *this;
    }

    std::size_t size() const { return length; }
    bool empty() const { return length == 0; }
    std::string_view View() const { return {chars, length}; }
    operator std::string_view() const { return View(); }

private:
    // Most pieces are a few dozen characters: copied inline, without a call. Two copies of
    // one word each, overlapping in the middle, cover every count from one word to two.
    static void CopyShortOrLong(char* to, const char* from, std::size_t count) {
        auto copyTwoOverlapping = [&](auto word) {
            constexpr std::size_t kWord = sizeof word;
            std::memcpy(&word, from, kWord);
            std::memcpy(to, &word, kWord);
            std::memcpy(&word, from + count - kWord, kWord);
            std::memcpy(to + count - kWord, &word, kWord);
        };
        struct Block16 {
            char bytes[16];
        };
        // Each test of N drops the branches that a text this small can never take, and
        // with them the compiler's warnings of copies beyond its end.
        if (N > 32 && count > 32) {
            std::memcpy(to, from, count);
        } else if (N >= 16 && count >= 16) {
            copyTwoOverlapping(Block16{});
        } else if (N >= 8 && count >= 8) {
            copyTwoOverlapping(std::uint64_t{});
        } else if (N >= 4 && count >= 4) {
            copyTwoOverlapping(std::uint32_t{});
        } else {
            for (std::size_t i = 0; i < count; ++i)
                to[i] = from[i];
        }
    }

    char chars[N];
    std::size_t length = 0;
};
