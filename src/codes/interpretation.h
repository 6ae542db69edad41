#pragma once

#include <string>
#include <string_view>

#include "codes/code_kind.h"
#include "util/civil_date.h"

// What the history keeps of a received code's interpretation.
struct CodeInterpretation {
    bool checkDigitsValid = false;
    std::string typeable;  // the punctuated typeable line, or the formatted NF-e key
    std::string value;     // "R$ ..." for slips, empty for NF-e keys
    std::string dueDate;   // bank slips only
};

// Interprets a code of the given effective kind. An NF-e key is checked and formatted;
// any other code is read as a bank slip when it is one (44 characters, first not '8')
// and as a collection slip otherwise. Bank-slip due dates are resolved around
// `reference`.
CodeInterpretation InterpretCode(std::string_view code, CodeKind kind, CivilDate reference);

// The name that goes with a code: the bank of a bank slip, the segment of a
// collection slip, nothing for an NF-e key or a code of the wrong length.
std::string IssuerName(std::string_view code, CodeKind kind);
