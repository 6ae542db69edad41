#pragma once

#include <optional>
#include <string>
#include <string_view>

// A code as people copy it from a PDF or a DANFE rather than scan it: a bank slip's
// typeable line (47 digits), a collection slip's (48: four blocks of 11 digits and their
// check digit) or an NF-e key in its eleven groups of four, with blanks, dots and hyphens
// anywhere between the digits. 44 digits are the barcode itself.
struct WrittenCode {
    std::string barcode;  // the 44 digits that the line stands for
    bool nfeKey = false;  // written as eleven groups of four digits
    int wrongField = 0;   // the first field (or block) whose check digit fails; 0: none
};

// The code that `text` writes, or nothing when it writes none: a character other than a
// digit, a blank, a TAB, a dot or a hyphen, or a count of digits other than 44, 47 and 48
// (a 47-digit line of a collection slip or a 48-digit one of a bank slip is none either).
std::optional<WrittenCode> ReadWrittenCode(std::string_view text);

// "Campo 2: dígito verificador não confere" for a wrong field of a written code.
std::string WrongFieldText(int field);
