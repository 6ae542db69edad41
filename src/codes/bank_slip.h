#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "codes/bank_names.h"
#include "util/civil_date.h"
#include "util/fixed_text.h"

// How the field-producing members mark the inside of a field: nothing, "." in bank-slip
// fields and "-" in collection-slip blocks, or a TAB. Any other value acts as Tab.
enum class SeparatorStyle : int { None = 0, Punctuated = 1, Tab = 2 };

// The fields of a typeable line, each with its own check digit: fields 1 to 5 of a bank
// slip or the four blocks of a collection slip. Kept as the summary shows them, one blank
// apart and unmarked; the marks go in only when the line is shown in another style.
class SlipFields {
public:
    using Line = FixedText<64>;

    // No fields, as of the empty barcode.
    SlipFields() = default;
    // Fields whose first `markedCount` get `mark` after their first `markAfter` characters.
    SlipFields(std::size_t markedFields, std::size_t markAfterCount, char markChar)
        : markedCount(markedFields), markAfter(markAfterCount), mark(markChar) {}

    // A new last field of these characters; Append adds to it.
    void Add(std::string_view characters) {
        if (count > 0) line += ' ';
        starts[count++] = line.size();
        line += characters;
    }
    void Append(std::string_view characters) { line += characters; }
    void Append(char c) { line += c; }

    std::size_t Count() const { return count; }
    // Field `index` (below Count()), unmarked.
    std::string_view Field(std::size_t index) const {
        return line.View().substr(starts[index], FieldEnd(index) - starts[index]);
    }
    std::string_view Last() const { return Field(count - 1); }
    // Every field unmarked, one blank apart: the line as the summary shows it.
    std::string_view Unmarked() const { return line.View(); }

    // Field `index` (below Count()) marked in the style.
    FixedText<16> Marked(std::size_t index, SeparatorStyle style) const;
    // Every field marked in the style, one blank apart.
    Line Joined(SeparatorStyle style) const;

private:
    // A field ends at the blank before the next one.
    std::size_t FieldEnd(std::size_t index) const {
        return index + 1 < count ? starts[index + 1] - 1 : line.size();
    }
    char MarkOf(SeparatorStyle style) const {
        return style == SeparatorStyle::Punctuated ? mark : '\t';
    }

    Line line;
    std::array<std::size_t, 5> starts = {};
    std::size_t count = 0;
    std::size_t markedCount = 0;
    std::size_t markAfter = 0;
    char mark = '.';
};

// "R$ " and up to nine digits, a comma and two.
using MoneyText = FixedText<15>;

// Everything shown of one slip, each piece worked out once.
struct SlipReading {
    bool checkDigitOk = false;
    SlipFields fields;
    MoneyText value;
    DayMonthYear dueDate;  // bank slips only
    BankNameText name;     // the bank, or the segment of a collection slip
};

// One 44-character payment-slip barcode: a bank slip (boleto bancario) or, when the
// first digit is '8', a collection slip (utilities, taxes). Every result is a text or a
// flag; a text that is not 44 characters long is held as the empty barcode. Characters
// other than digits never make a check digit right; fields copy them as they are.
class BankSlip {
public:
    static constexpr std::size_t kLength = 44;

    explicit BankSlip(std::string_view text);

    bool IsEmpty() const { return isEmpty; }
    std::string_view Barcode() const { return {barcode, isEmpty ? 0 : kLength}; }

    // Kind tests: a collection slip starts with '8', every other barcode is a bank slip.
    bool IsBankSlip() const;
    bool IsCollectionSlip() const;

    // Bank slip. The general check digit (position 5) by the modulo-11 rule of bank slips.
    bool CheckDigitOk() const;
    // Fields 1 to 5 of the typeable line; fields 1-3 marked after their fifth digit.
    std::array<std::string, 5> TypeableFields(SeparatorStyle style) const;
    // Fields 1-3 each cut after their fifth digit, then fields 4 and 5, unmarked.
    std::array<std::string, 8> TypeablePieces() const;
    // "R$ 110,00", or "R$ N/A" for a zero value.
    std::string ValueText() const;
    // "DD/MM/YYYY", or "N/A" when the factor is 0000-0999. The factor's cycle is
    // resolved around `reference`; without it, around today's local date.
    std::string DueDateText(CivilDate reference) const;
    std::string DueDateText() const;
    // The issuing bank's name, or "DESCONHECIDO".
    std::string BankName() const;

    // Collection slip. The general check digit (position 4), modulo 10 or 11 by the
    // value-type digit (position 3).
    bool CollectionCheckDigitOk() const;
    // The four blocks of the typeable line, each 11 digits and its own check digit.
    std::array<std::string, 4> CollectionBlocks(SeparatorStyle style) const;
    // "R$ 231,13", or "R$ N/A" for a zero value or a value type without an amount.
    std::string CollectionValueText() const;
    // The name of the segment (position 2), or "Desconhecido".
    const char* SegmentName() const;

    // The whole interpretation on one line, for either kind: the barcode, then
    // "digito verificador invalido" or the value, date, fields and bank name (or the
    // value, blocks and segment name); "vazio" for the empty barcode.
    std::string SummaryText(CivilDate reference) const;
    std::string SummaryText() const;

    // Every piece at once and in place, for callers that take them all for many slips:
    // the reading of either kind (the empty barcode reads as "R$ N/A" and nothing else),
    // and the summary line made of it.
    SlipReading Read(CivilDate reference) const;
    using Summary = FixedText<kLength + 1 + MoneyText::kCapacity + 1 + DayMonthYear::kCapacity + 1 +
                              SlipFields::Line::kCapacity + 1 + BankNameText::kCapacity>;
    Summary SummaryOf(const SlipReading& reading) const;

private:
    // Positions first to last, counted from 1 at the left.
    std::string_view Positions(std::size_t first, std::size_t last) const;
    char ValueTypeDigit() const { return barcode[2]; }
    SlipFields BankFields() const;
    SlipFields CollectionFields() const;
    MoneyText CollectionValue() const;
    DayMonthYear DueDate(CivilDate reference) const;

    // "R$ " and the amount of these digits, when every one of them is a digit.
    MoneyText Amount(std::size_t first, std::size_t last) const;

    char barcode[kLength + 1] = {};
    bool isEmpty = true;
    bool allDigits = false;  // worked out once: every check and every amount needs it
};
