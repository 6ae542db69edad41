#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "util/civil_date.h"

// How the field-producing members mark the inside of a field: nothing, "." in bank-slip
// fields and "-" in collection-slip blocks, or a TAB. Any other value acts as Tab.
enum class SeparatorStyle : int { None = 0, Punctuated = 1, Tab = 2 };

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

private:
    // Positions first to last, counted from 1 at the left.
    std::string_view Positions(std::size_t first, std::size_t last) const;
    char ValueTypeDigit() const { return barcode[2]; }

    char barcode[kLength + 1] = {};
    bool isEmpty = true;
};
