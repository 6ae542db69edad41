#include "codes/due_glance.h"

#include <tuple>

std::optional<CivilDate> ParseDayMonthYear(std::string_view text) {
    if (text.size() != 10 || text[2] != '/' || text[5] != '/') return std::nullopt;
    auto number = [&](std::size_t first, std::size_t count) {
        int value = 0;
        for (std::size_t i = first; i < first + count; ++i) {
            if (text[i] < '0' || text[i] > '9') return -1;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    CivilDate date{number(6, 4), number(3, 2), number(0, 2)};
    if (date.year < 1000 || !IsValidCivilDate(date)) return std::nullopt;
    return date;
}

DueStanding StandingOfDueDate(std::string_view dueDateText, CivilDate today) {
    std::optional<CivilDate> due = ParseDayMonthYear(dueDateText);
    if (!due) return DueStanding::None;
    auto key = [](const CivilDate& date) { return std::tie(date.year, date.month, date.day); };
    if (key(*due) < key(today)) return DueStanding::Overdue;
    if (*due == today) return DueStanding::DueToday;
    return DueStanding::Later;
}
