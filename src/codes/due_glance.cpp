#include "codes/due_glance.h"

#include <tuple>

DueStanding StandingOfDueDate(std::string_view dueDateText, CivilDate today) {
    std::optional<CivilDate> due = ParseDayMonthYear(dueDateText);
    if (!due) return DueStanding::None;
    auto key = [](const CivilDate& date) { return std::tie(date.year, date.month, date.day); };
    if (key(*due) < key(today)) return DueStanding::Overdue;
    if (*due == today) return DueStanding::DueToday;
    return DueStanding::Later;
}
