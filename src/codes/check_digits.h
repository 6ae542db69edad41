#pragma once

#include <cstddef>
#include <string_view>

// Value of one code character. Anything that is not a decimal digit counts as 0, so
// that check digits of malformed text always stay in 0-9.
constexpr int DigitValue(char c) {
    return (c >= '0' && c <= '9') ? c - '0' : 0;
}

// True when the text is not empty and holds only the digits '0' to '9'.
bool AllDigits(std::string_view text);

// True for exactly 44 ASCII digits: the only codes that are typed, opened as an address,
// taken from the phone's page or remembered as seen before.
inline bool IsFullCode(std::string_view text) {
    return text.size() == 44 && AllDigits(text);
}

// Modulo-10 check digit (0-9) of the first `count` digits: weights 2, 1, 2, 1, ...
// from the last digit leftwards, two-digit products reduced by 9.
int Mod10CheckDigit(std::string_view digits, std::size_t count);

// Modulo-11 check digit (0-9) of the first `count` digits, as collection slips and
// NF-e keys use it: weights 2 to 9 from the last digit leftwards, remainders 0 and 1
// give 0.
int Mod11CheckDigit(std::string_view digits, std::size_t count);

// The check digit as a character.
constexpr char DigitChar(int digit) {
    return static_cast<char>('0' + digit);
}
