#pragma once

#include <string>
#include <string_view>

#include "codes/bank_slip.h"
#include "codes/code_kind.h"
#include "util/civil_date.h"

// What the history keeps of a received code's interpretation.
struct CodeInterpretation {
    bool checkDigitsValid = false;
    std::string typeable;  // the punctuated typeable line, the formatted NF-e key, "Pix: ..."
    std::string value;     // "R$ ..." for slips and Pix codes with an amount
    std::string dueDate;   // bank slips only
};

// Interprets a code of the given effective kind. An NF-e key is checked and formatted, a
// Pix code read (its CRC is its check);
// any other code is read as a bank slip when it is one (44 characters, first not '8')
// and as a collection slip otherwise. Bank-slip due dates are resolved around
// `reference`.
CodeInterpretation InterpretCode(std::string_view code, CodeKind kind, CivilDate reference);

// The name that goes with a code: the bank of a bank slip, the segment of a
// collection slip, the key of a Pix code (or its location), nothing for an NF-e key or a
// code of the wrong length.
std::string IssuerName(std::string_view code, CodeKind kind);

// Everything shown of a code: InterpretCode's pieces, the issuer name and the summary line
// (as the exported history and the journal keep it: "NFe", the key and its formatted form
// for an invoice key; the slip's summary for a payment slip). The pieces of bounded length
// are held in place.
struct FullInterpretation {
    bool checkDigitsValid = false;
    FixedText<64> typeable;  // the longest is the formatted NF-e key, 59 characters
    FixedText<24> value;     // a Pix amount has up to 13 characters: "R$ 9.999.999.999,99"
    DayMonthYear dueDate;
    BankNameText issuerName;  // a bank's name or a segment's
    std::string summary;      // as long as the code, for an NF-e key and a Pix code
};

// Fills `out` with the code's whole interpretation, each piece worked out once. Filled
// code after code, the same object keeps its summary's storage: no allocation per code.
void InterpretCodeFully(std::string_view code, CodeKind kind, CivilDate reference,
                        FullInterpretation& out);
