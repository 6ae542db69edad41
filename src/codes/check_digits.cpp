#include "codes/check_digits.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

bool AllDigits(std::string_view text) {
    // Eight characters at a time. When none has its high bit set (all ASCII), adding
    // 0x80 - '0' to each leaves the high bit set exactly where it is at least '0', and
    // adding 0x80 - ':' where it is beyond '9'; no byte carries into the next.
    constexpr std::uint64_t kOnes = 0x0101010101010101, kHighBits = 0x8080808080808080;
    auto eightDigits = [&text](std::size_t at) {
        std::uint64_t bytes;
        std::memcpy(&bytes, text.data() + at, sizeof bytes);
        std::uint64_t atLeastZero = bytes + kOnes * (0x80 - '0');
        std::uint64_t beyondNine = bytes + kOnes * (0x80 - ':');
        return ((bytes | ~atLeastZero | beyondNine) & kHighBits) == 0;
    };
    if (text.size() < 8) {
        for (char c : text) {
            if (c < '0' || c > '9') return false;
        }
        return !text.empty();
    }
    // The last eight characters overlap the eight before them when the length is not a
    // multiple of eight.
    for (std::size_t i = 0; i + 8 < text.size(); i += 8) {
        if (!eightDigits(i)) return false;
    }
    return eightDigits(text.size() - 8);
}

namespace {

// What each character adds to a modulo-10 sum at weight 1 ([0]) and weight 2 ([1]): the
// digit times the weight, a two-digit product reduced by 9; any other character adds 0.
constexpr auto kMod10Terms = [] {
    std::array<std::array<int, 256>, 2> terms = {};
    for (int weight = 1; weight <= 2; ++weight) {
        for (int c = 0; c < 256; ++c) {
            int product = DigitValue(static_cast<char>(c)) * weight;
            terms[weight - 1][c] = product >= 10 ? product - 9 : product;
        }
    }
    return terms;
}();

}  // namespace

int Mod10CheckDigit(std::string_view digits, std::size_t count) {
    count = std::min(count, digits.size());
    auto term = [&](std::size_t i, int weight) {
        return kMod10Terms[weight - 1][static_cast<unsigned char>(digits[i])];
    };
    // Weights 2, 1, 2, 1, ... from the last digit leftwards: a pair at a time.
    int sum = 0;
    std::size_t i = count;
    for (; i >= 2; i -= 2)
        sum += term(i - 1, 2) + term(i - 2, 1);
    if (i == 1) sum += term(0, 2);
    return static_cast<int>((10 - static_cast<unsigned>(sum) % 10) % 10);
}

int Mod11CheckDigit(std::string_view digits, std::size_t count) {
    count = std::min(count, digits.size());
    int sum = 0;
    int weight = 2;
    for (std::size_t i = count; i-- > 0;) {
        sum += DigitValue(digits[i]) * weight;
        weight = weight == 9 ? 2 : weight + 1;
    }
    int remainder = sum % 11;
    return remainder <= 1 ? 0 : 11 - remainder;
}
