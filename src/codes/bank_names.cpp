#include "codes/bank_names.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr std::size_t kNameWidth = 43;
constexpr unsigned char kBankNameKey = 0x5A;

struct BankNameRow {
    char code[4];
    unsigned char scrambledName[kNameWidth];
};

const BankNameRow kBankNames[] = {
#include "codes/bank_names_table.inc"
};

}  // namespace

std::string BankNameForCode(std::string_view code) {
    auto row = std::lower_bound(
        std::begin(kBankNames), std::end(kBankNames), code,
        [](const BankNameRow& r, std::string_view c) { return std::string_view(r.code) < c; });
    if (row == std::end(kBankNames) || std::string_view(row->code) != code) return "DESCONHECIDO";
    // Unscrambled into a buffer of the caller's own: lookups from several threads
    // never share a result.
    char name[kNameWidth + 1] = {};
    for (std::size_t i = 0; i < kNameWidth; ++i) {
        name[i] = static_cast<char>(row->scrambledName[i] ^ kBankNameKey);
    }
    return std::string(name, std::find(name, name + kNameWidth, '\0'));
}

std::size_t BankNameCount() {
    return std::size(kBankNames);
}

std::string_view BankCodeAt(std::size_t index) {
    return kBankNames[index].code;
}
