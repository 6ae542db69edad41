#pragma once

#include <algorithm>
#include <cstddef>
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
        char* end = chars + length;
        if (count <= kShort) {
            // Most pieces are a few characters: copied by hand, without a call.
            for (std::size_t i = 0; i < count; ++i)
                end[i] = text[i];
        } else {
            std::memcpy(end, text.data(), count);
        }
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
    static constexpr std::size_t kShort = 16;

    char chars[N];
    std::size_t length = 0;
};
