#include "codes/check_digits.h"

#include <algorithm>

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int Mod10CheckDigit(std::string_view digits, std::size_t count) {
    count = std::min(count, digits.size());
    int sum = 0;
    int weight = 2;
    for (std::size_t i = count; i-- > 0;) {
        int product = DigitValue(digits[i]) * weight;
        sum += product >= 10 ? product - 9 : product;
        weight = weight == 2 ? 1 : 2;
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
