#include "codes/bank_slip.h"

#include <algorithm>

#include "codes/bank_names.h"
#include "codes/check_digits.h"
#include "codes/due_date.h"
#include "util/join.h"
#include "util/local_time.h"

namespace {

constexpr const char* kNotAvailableValue = "R$ N/A";

// "R$ " and an amount in centavos: the integer digits without leading zeros, a comma
// and the two centavo digits; no thousands separators. A value below one real keeps a
// single zero before the comma ("R$ 0,50").
std::string AmountText(std::string_view digits) {
    if (!AllDigits(digits) || digits.size() < 3) return kNotAvailableValue;
    std::string_view integer = digits.substr(0, digits.size() - 2);
    std::string_view centavos = digits.substr(digits.size() - 2);
    integer.remove_prefix(std::min(integer.find_first_not_of('0'), integer.size()));
    if (integer.empty() && centavos == "00") return kNotAvailableValue;
    std::string text = "R$ ";
    text += integer.empty() ? std::string_view("0") : integer;
    text += ',';
    text += centavos;
    return text;
}

// A field's digits with the style's mark after its first `markAfter` digits.
std::string MarkedField(std::string_view digits, std::size_t markAfter, char mark,
                        SeparatorStyle style) {
    std::string field(digits.substr(0, markAfter));
    if (style == SeparatorStyle::Punctuated) {
        field += mark;
    } else if (style != SeparatorStyle::None) {
        field += '\t';
    }
    field += digits.substr(markAfter);
    return field;
}

}  // namespace

BankSlip::BankSlip(std::string_view text) {
    if (text.size() != kLength) return;
    std::copy(text.begin(), text.end(), barcode);
    isEmpty = false;
}

std::string_view BankSlip::Positions(std::size_t first, std::size_t last) const {
    return std::string_view(barcode + first - 1, last - first + 1);
}

bool BankSlip::IsBankSlip() const {
    return !isEmpty && barcode[0] != '8';
}

bool BankSlip::IsCollectionSlip() const {
    return !isEmpty && barcode[0] == '8';
}

// ---------------------------------------------------------------- bank slip

bool BankSlip::CheckDigitOk() const {
    if (isEmpty || !AllDigits(Barcode())) return false;
    // Weights 2 to 9 from position 44 leftwards; position 5, the check digit itself,
    // is skipped without using up a weight.
    int sum = 0;
    int weight = 2;
    for (std::size_t position = kLength; position >= 1; --position) {
        if (position == 5) continue;
        sum += DigitValue(barcode[position - 1]) * weight;
        weight = weight == 9 ? 2 : weight + 1;
    }
    int remainder = sum % 11;
    int expected = remainder <= 1 ? 1 : 11 - remainder;
    return barcode[4] == DigitChar(expected);
}

std::array<std::string, 5> BankSlip::TypeableFields(SeparatorStyle style) const {
    if (isEmpty) return {};
    // Field 1 is the bank and currency (positions 1-4) and the start of the free
    // field (20-24); fields 2 and 3 are the rest of the free field. Each gets a
    // modulo-10 check digit of its own.
    std::string field1 = std::string(Positions(1, 4)) + std::string(Positions(20, 24));
    std::string field2(Positions(25, 34));
    std::string field3(Positions(35, 44));
    for (std::string* field : {&field1, &field2, &field3}) {
        *field += DigitChar(Mod10CheckDigit(*field, field->size()));
    }
    return {MarkedField(field1, 5, '.', style), MarkedField(field2, 5, '.', style),
            MarkedField(field3, 5, '.', style), std::string(Positions(5, 5)),
            std::string(Positions(6, 19))};
}

std::array<std::string, 8> BankSlip::TypeablePieces() const {
    if (isEmpty) return {};
    auto fields = TypeableFields(SeparatorStyle::None);
    return {fields[0].substr(0, 5),
            fields[0].substr(5),
            fields[1].substr(0, 5),
            fields[1].substr(5),
            fields[2].substr(0, 5),
            fields[2].substr(5),
            fields[3],
            fields[4]};
}

std::string BankSlip::ValueText() const {
    if (isEmpty) return kNotAvailableValue;
    return AmountText(Positions(10, 19));
}

std::string BankSlip::DueDateText(CivilDate reference) const {
    std::optional<int> factor;
    if (!isEmpty) factor = ParseDueDateFactor(Positions(6, 9));
    if (!factor) return "N/A";
    return FormatDayMonthYear(FactorDate(*factor, reference));
}

std::string BankSlip::DueDateText() const {
    return DueDateText(TodayLocal());
}

std::string BankSlip::BankName() const {
    if (isEmpty) return "DESCONHECIDO";
    return BankNameForCode(Positions(1, 3));
}

// ---------------------------------------------------------------- collection slip

bool BankSlip::CollectionCheckDigitOk() const {
    if (isEmpty || !AllDigits(Barcode())) return false;
    std::string digits = std::string(Positions(1, 3)) + std::string(Positions(5, 44));
    char type = ValueTypeDigit();
    int expected = (type == '8' || type == '9') ? Mod11CheckDigit(digits, digits.size())
                                                : Mod10CheckDigit(digits, digits.size());
    return barcode[3] == DigitChar(expected);
}

std::array<std::string, 4> BankSlip::CollectionBlocks(SeparatorStyle style) const {
    if (isEmpty) return {};
    char type = ValueTypeDigit();
    bool modulo10 = type == '6' || type == '7';
    std::array<std::string, 4> blocks;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        std::string digits(Positions(1 + 11 * i, 11 + 11 * i));
        digits += DigitChar(modulo10 ? Mod10CheckDigit(digits, 11) : Mod11CheckDigit(digits, 11));
        blocks[i] = MarkedField(digits, 11, '-', style);
    }
    return blocks;
}

std::string BankSlip::CollectionValueText() const {
    if (isEmpty) return kNotAvailableValue;
    char type = ValueTypeDigit();
    if (type < '6' || type > '9') return kNotAvailableValue;
    return AmountText(Positions(5, 15));
}

const char* BankSlip::SegmentName() const {
    switch (isEmpty ? '\0' : barcode[1]) {
        case '1': return "Prefeitura";
        case '2': return "Saneamento";
        case '3': return "Energia/Gas";
        case '4': return "Telco";
        case '5': return "Org Gov";
        case '6': return "Empresa";
        case '7': return "Multa";
        case '9': return "Uso interno";
        default: return "Desconhecido";
    }
}

// ---------------------------------------------------------------- summary

std::string BankSlip::SummaryText(CivilDate reference) const {
    if (isEmpty) return "vazio";
    std::string summary(Barcode());
    summary += ' ';
    if (barcode[0] == '8') {
        if (!CollectionCheckDigitOk()) return summary + "digito verificador invalido";
        summary += CollectionValueText() + ' ';
        summary += Join(CollectionBlocks(SeparatorStyle::None), " ") + ' ';
        summary += SegmentName();
    } else {
        if (!CheckDigitOk()) return summary + "digito verificador invalido";
        summary += ValueText() + ' ';
        summary += DueDateText(reference) + ' ';
        summary += Join(TypeableFields(SeparatorStyle::None), " ") + ' ';
        summary += BankName();
    }
    return summary;
}

std::string BankSlip::SummaryText() const {
    return SummaryText(TodayLocal());
}
