#pragma once

#include <optional>
#include <string_view>

#include "util/civil_date.h"

// A bank slip's due-date factor counts days from 7 October 1997. Factors run from
// 1000 to 9999 and then start again at 1000 (9999 was 21 Feb 2025, 1000 again
// 22 Feb 2025), so one factor stands for a date every 9000 days. The right one is
// the date that lies from 3000 days before to 5500 days after the reference date
// (normally today); when none does, the one nearest to the reference date.
CivilDate FactorDate(int factor, CivilDate reference);

// The factor of four factor characters, or nothing when they are not four digits
// or the first is '0' (no due date). Read for every slip: inline.
inline std::optional<int> ParseDueDateFactor(std::string_view factorDigits) {
    if (factorDigits.size() != 4 || factorDigits[0] == '0') return std::nullopt;
    int factor = 0;
    for (char c : factorDigits) {
        if (c < '0' || c > '9') return std::nullopt;
        factor = factor * 10 + (c - '0');
    }
    return factor;
}
