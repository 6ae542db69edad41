#include "codes/check_digits.h"

#include <algorithm>
#include <array>

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
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
    // Weights 2, 1, 2, 1, ... from the last digit leftwards.
    int sum = 0;
    for (std::size_t fromRight = 0; fromRight < count; ++fromRight) {
        auto c = static_cast<unsigned char>(digits[count - 1 - fromRight]);
        sum += kMod10Terms[fromRight % 2 == 0 ? 1 : 0][c];
    }
    return (10 - sum % 10) % 10;
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
