#include "codes/bank_names.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace {

constexpr std::size_t kNameWidth = 43;
constexpr unsigned char kBankNameKey = 0x5A;

struct BankNameRow {
    char code[4];
    unsigned char scrambledName[kNameWidth];
};

static_assert(BankNameText::kCapacity == kNameWidth);

constexpr BankNameRow kBankNames[] = {
#include "codes/bank_names_table.inc"
};

// The row of every code number 000-999, counted from 1 (0 for no bank): a slip's bank is
// found in one step.
constexpr auto kRowOfCode = [] {
    std::array<std::uint16_t, 1000> rows{};
    for (std::size_t i = 0; i < std::size(kBankNames); ++i) {
        const char* code = kBankNames[i].code;
        rows[(code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0')] =
            static_cast<std::uint16_t>(i + 1);
    }
    return rows;
}();

// The length of every name: a NUL ends a name shorter than the width.
constexpr auto kNameLength = [] {
    std::array<std::uint8_t, std::size(kBankNames)> lengths{};
    for (std::size_t i = 0; i < std::size(kBankNames); ++i) {
        while (lengths[i] < kNameWidth &&
               (kBankNames[i].scrambledName[lengths[i]] ^ kBankNameKey) != 0) {
            ++lengths[i];
        }
    }
    return lengths;
}();

}  // namespace

BankNameText LookUpBankName(std::string_view code) {
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (code.size() != 3 || !isDigit(code[0]) || !isDigit(code[1]) || !isDigit(code[2])) {
        return "DESCONHECIDO";
    }
    std::size_t row = kRowOfCode[(code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0')];
    if (row == 0) return "DESCONHECIDO";
    // Unscrambled into a buffer of the caller's own: lookups from several threads
    // never share a result.
    char name[kNameWidth];
    std::size_t length = kNameLength[row - 1];
    const unsigned char* scrambled = kBankNames[row - 1].scrambledName;
    // Eight characters at a time, then one by one.
    constexpr std::uint64_t kKeyWord = 0x0101010101010101 * kBankNameKey;
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, scrambled + i, sizeof word);
        word ^= kKeyWord;
        std::memcpy(name + i, &word, sizeof word);
    }
    for (; i < length; ++i)
        name[i] = static_cast<char>(scrambled[i] ^ kBankNameKey);
    return std::string_view(name, length);
}

std::string BankNameForCode(std::string_view code) {
    return std::string(LookUpBankName(code));
}

std::size_t BankNameCount() {
    return std::size(kBankNames);
}

std::string_view BankCodeAt(std::size_t index) {
    return kBankNames[index].code;
}
