#pragma once

#include <optional>
#include <string_view>

#include "util/civil_date.h"

// Where a slip's due date stands against today, for the history list's colours.
enum class DueStanding {
    None,      // no due date, or one that cannot be read
    Overdue,   // before today
    DueToday,  // today
    Later,     // after today
};

// The standing of a record's due-date text on `today`. Reads the text in place: the list
// asks for every row it draws.
DueStanding StandingOfDueDate(std::string_view dueDateText, CivilDate today);
