#include "codes/written_code.h"

#include "codes/check_digits.h"

namespace {

bool IsSpacing(char c) {
    return c == ' ' || c == '\t' || c == '.' || c == '-';
}

// Whether the digits came as eleven groups of four, as the DANFE prints the key.
bool InGroupsOfFour(std::string_view text) {
    int groups = 0;
    std::size_t run = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            ++run;
            continue;
        }
        if (run == 0) continue;
        if (run != 4) return false;
        ++groups;
        run = 0;
    }
    if (run != 0 && run != 4) return false;
    return groups + (run == 4 ? 1 : 0) == 11;
}

// A bank slip's line: field 1 (10 digits), 2 and 3 (11 each), 4 (the general check
// digit) and 5 (factor and value); fields 1 to 3 end in their modulo-10 check digit.
WrittenCode FromBankLine(const std::string& line) {
    WrittenCode code;
    const std::size_t starts[3] = {0, 10, 21};
    const std::size_t lengths[3] = {9, 10, 10};
    for (int field = 0; field < 3 && code.wrongField == 0; ++field) {
        std::string_view digits = std::string_view(line).substr(starts[field], lengths[field]);
        if (DigitChar(Mod10CheckDigit(digits, digits.size())) !=
            line[starts[field] + lengths[field]])
            code.wrongField = field + 1;
    }
    code.barcode.reserve(44);
    code.barcode
        .append(line, 0, 4)    // bank and currency
        .append(line, 32, 1)   // the general check digit (field 4)
        .append(line, 33, 14)  // factor and value (field 5)
        .append(line, 4, 5)    // the free field, from fields 1 to 3
        .append(line, 10, 10)
        .append(line, 21, 10);
    return code;
}

// A collection slip's line: four blocks of 11 barcode digits and a check digit, by
// modulo 10 when the value-type digit (the third) is 6 or 7, by modulo 11 otherwise.
WrittenCode FromCollectionLine(const std::string& line) {
    WrittenCode code;
    bool modulo10 = line[2] == '6' || line[2] == '7';
    code.barcode.reserve(44);
    for (int block = 0; block < 4; ++block) {
        std::string_view digits = std::string_view(line).substr(12 * block, 11);
        int expected = modulo10 ? Mod10CheckDigit(digits, 11) : Mod11CheckDigit(digits, 11);
        if (code.wrongField == 0 && DigitChar(expected) != line[12 * block + 11])
            code.wrongField = block + 1;
        code.barcode.append(digits);
    }
    return code;
}

}  // namespace

std::optional<WrittenCode> ReadWrittenCode(std::string_view text) {
    std::string digits;
    digits.reserve(48);
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            if (digits.size() == 48) return std::nullopt;
            digits += c;
        } else if (!IsSpacing(c)) {
            return std::nullopt;
        }
    }
    if (digits.size() == 44) {
        WrittenCode code;
        code.barcode = std::move(digits);
        code.nfeKey = InGroupsOfFour(text);
        return code;
    }
    if (digits.size() == 47 && digits[0] != '8') return FromBankLine(digits);
    if (digits.size() == 48 && digits[0] == '8') return FromCollectionLine(digits);
    return std::nullopt;
}

std::string WrongFieldText(int field) {
    return "Campo " + std::to_string(field) + ": dígito verificador não confere";
}
