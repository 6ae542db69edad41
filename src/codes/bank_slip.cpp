#include "codes/bank_slip.h"

#include <algorithm>

#include "codes/bank_names.h"
#include "codes/check_digits.h"
#include "codes/due_date.h"
#include "util/local_time.h"

namespace {

constexpr const char* kNotAvailableValue = "R$ N/A";

// "R$ " and an amount in centavos, of digits that the caller has checked: the integer
// digits without leading zeros, a comma and the two centavo digits; no thousands
// separators. A value below one real keeps a single zero before the comma ("R$ 0,50").
MoneyText AmountText(std::string_view digits) {
    if (digits.size() < 3) return kNotAvailableValue;
    std::string_view integer = digits.substr(0, digits.size() - 2);
    std::string_view centavos = digits.substr(digits.size() - 2);
    integer.remove_prefix(std::min(integer.find_first_not_of('0'), integer.size()));
    if (integer.empty() && centavos == "00") return kNotAvailableValue;
    MoneyText text = "R$ ";
    text += integer.empty() ? std::string_view("0") : integer;
    text += ',';
    text += centavos;
    return text;
}

}  // namespace

BankSlip::BankSlip(std::string_view text) {
    if (text.size() != kLength) return;
    std::copy(text.begin(), text.end(), barcode);
    isEmpty = false;
    allDigits = AllDigits(text);
}

std::string_view BankSlip::Positions(std::size_t first, std::size_t last) const {
    return std::string_view(barcode + first - 1, last - first + 1);
}

MoneyText BankSlip::Amount(std::size_t first, std::size_t last) const {
    std::string_view digits = Positions(first, last);
    if (isEmpty || !(allDigits || AllDigits(digits))) return kNotAvailableValue;
    return AmountText(digits);
}

bool BankSlip::IsBankSlip() const {
    return !isEmpty && barcode[0] != '8';
}

bool BankSlip::IsCollectionSlip() const {
    return !isEmpty && barcode[0] == '8';
}

// ---------------------------------------------------------------- fields

SlipFields::Line SlipFields::Joined(SeparatorStyle style) const {
    // The unmarked line, copied between the places where the marks go in.
    Line joined;
    const char* unmarked = line.View().data();
    std::size_t from = 0;
    std::size_t marks = style == SeparatorStyle::None ? 0 : std::min(markedCount, count);
    for (std::size_t i = 0; i < marks; ++i) {
        std::size_t cut = std::min(starts[i] + markAfter, FieldEnd(i));
        joined += std::string_view(unmarked + from, cut - from);
        joined += MarkOf(style);
        from = cut;
    }
    joined += std::string_view(unmarked + from, line.size() - from);
    return joined;
}

FixedText<16> SlipFields::Marked(std::size_t index, SeparatorStyle style) const {
    std::string_view field = Field(index);
    if (index >= markedCount || style == SeparatorStyle::None) return field;
    std::size_t cut = std::min(markAfter, field.size());
    FixedText<16> marked = field.substr(0, cut);
    marked += MarkOf(style);
    marked += field.substr(cut);
    return marked;
}

// ---------------------------------------------------------------- bank slip

// The weight of each position in the general check digit: 2 to 9 from position 44
// leftwards, then 2 to 9 again; position 5, the check digit itself, weighs nothing and
// uses up no weight.
constexpr std::array<int, BankSlip::kLength> kGeneralCheckWeights = [] {
    std::array<int, BankSlip::kLength> weights = {};
    int weight = 2;
    for (std::size_t position = BankSlip::kLength; position >= 1; --position) {
        if (position == 5) continue;
        weights[position - 1] = weight;
        weight = weight == 9 ? 2 : weight + 1;
    }
    return weights;
}();

bool BankSlip::CheckDigitOk() const {
    if (!allDigits) return false;
    int sum = 0;
    for (std::size_t i = 0; i < kLength; ++i)
        sum += (barcode[i] - '0') * kGeneralCheckWeights[i];
    int remainder = sum % 11;
    int expected = remainder <= 1 ? 1 : 11 - remainder;
    return barcode[4] == DigitChar(expected);
}

SlipFields BankSlip::BankFields() const {
    if (isEmpty) return {};
    SlipFields fields(3, 5, '.');
    auto addWithCheckDigit = [&fields](std::string_view first, std::string_view rest = {}) {
        fields.Add(first);
        fields.Append(rest);
        std::string_view field = fields.Last();
        fields.Append(DigitChar(Mod10CheckDigit(field, field.size())));
    };
    // Field 1 is the bank and currency (positions 1-4) and the start of the free
    // field (20-24); fields 2 and 3 are the rest of the free field. Each gets a
    // modulo-10 check digit of its own.
    addWithCheckDigit(Positions(1, 4), Positions(20, 24));
    addWithCheckDigit(Positions(25, 34));
    addWithCheckDigit(Positions(35, 44));
    fields.Add(Positions(5, 5));
    fields.Add(Positions(6, 19));
    return fields;
}

std::array<std::string, 5> BankSlip::TypeableFields(SeparatorStyle style) const {
    if (isEmpty) return {};
    SlipFields fields = BankFields();
    std::array<std::string, 5> marked;
    for (std::size_t i = 0; i < marked.size(); ++i)
        marked[i] = fields.Marked(i, style);
    return marked;
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
    return std::string(Amount(10, 19));
}

DayMonthYear BankSlip::DueDate(CivilDate reference) const {
    std::optional<int> factor;
    if (!isEmpty) factor = ParseDueDateFactor(Positions(6, 9));
    if (!factor) return "N/A";
    return DayMonthYearText(FactorDate(*factor, reference));
}

std::string BankSlip::DueDateText(CivilDate reference) const {
    return std::string(DueDate(reference));
}

std::string BankSlip::DueDateText() const {
    return DueDateText(TodayLocal());
}

std::string BankSlip::BankName() const {
    if (isEmpty) return "DESCONHECIDO";
    return std::string(LookUpBankName(Positions(1, 3)));
}

// ---------------------------------------------------------------- collection slip

bool BankSlip::CollectionCheckDigitOk() const {
    if (!allDigits) return false;
    FixedText<kLength - 1> digits = Positions(1, 3);
    digits += Positions(5, 44);
    char type = ValueTypeDigit();
    int expected = (type == '8' || type == '9') ? Mod11CheckDigit(digits, digits.size())
                                                : Mod10CheckDigit(digits, digits.size());
    return barcode[3] == DigitChar(expected);
}

SlipFields BankSlip::CollectionFields() const {
    if (isEmpty) return {};
    char type = ValueTypeDigit();
    bool modulo10 = type == '6' || type == '7';
    SlipFields blocks(4, 11, '-');
    for (std::size_t i = 0; i < 4; ++i) {
        blocks.Add(Positions(1 + 11 * i, 11 + 11 * i));
        std::string_view block = blocks.Last();
        blocks.Append(
            DigitChar(modulo10 ? Mod10CheckDigit(block, 11) : Mod11CheckDigit(block, 11)));
    }
    return blocks;
}

std::array<std::string, 4> BankSlip::CollectionBlocks(SeparatorStyle style) const {
    if (isEmpty) return {};
    SlipFields fields = CollectionFields();
    std::array<std::string, 4> blocks;
    for (std::size_t i = 0; i < blocks.size(); ++i)
        blocks[i] = fields.Marked(i, style);
    return blocks;
}

MoneyText BankSlip::CollectionValue() const {
    if (isEmpty) return kNotAvailableValue;
    char type = ValueTypeDigit();
    if (type < '6' || type > '9') return kNotAvailableValue;
    return Amount(5, 15);
}

std::string BankSlip::CollectionValueText() const {
    return std::string(CollectionValue());
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

// ---------------------------------------------------------------- either kind

SlipReading BankSlip::Read(CivilDate reference) const {
    SlipReading reading;
    if (IsBankSlip()) {
        reading.checkDigitOk = CheckDigitOk();
        reading.fields = BankFields();
        reading.value = Amount(10, 19);
        reading.dueDate = DueDate(reference);
        reading.name = LookUpBankName(Positions(1, 3));
    } else if (IsCollectionSlip()) {
        reading.checkDigitOk = CollectionCheckDigitOk();
        reading.fields = CollectionFields();
        reading.value = CollectionValue();
        reading.name = SegmentName();
    } else {
        reading.value = kNotAvailableValue;
    }
    return reading;
}

BankSlip::Summary BankSlip::SummaryOf(const SlipReading& reading) const {
    if (isEmpty) return "vazio";
    Summary summary = Barcode();
    summary += ' ';
    if (!reading.checkDigitOk) {
        summary += "digito verificador invalido";
        return summary;
    }
    summary += reading.value;
    summary += ' ';
    if (IsBankSlip()) {
        summary += reading.dueDate;
        summary += ' ';
    }
    summary += reading.fields.Unmarked();
    summary += ' ';
    summary += reading.name;
    return summary;
}

std::string BankSlip::SummaryText(CivilDate reference) const {
    return std::string(SummaryOf(Read(reference)));
}

std::string BankSlip::SummaryText() const {
    return SummaryText(TodayLocal());
}
