#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "util/fixed_text.h"

// A day on the proleptic Gregorian calendar.
struct CivilDate {
    int year = 1970;
    int month = 1;  // 1-12
    int day = 1;    // 1-31

    friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

// Days since 1 January 1970 (negative before it). After Howard Hinnant's days_from_civil /
// civil_from_days: exact for every date, no floating point, no table.
constexpr std::int64_t DaysFromCivil(CivilDate date) {
    std::int64_t y = date.year - (date.month <= 2 ? 1 : 0);
    std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    std::int64_t yearOfEra = y - era * 400;
    std::int64_t monthFromMarch = date.month > 2 ? date.month - 3 : date.month + 9;
    std::int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + date.day - 1;
    std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}
CivilDate CivilFromDays(std::int64_t days);

bool IsValidCivilDate(CivilDate date);

// "DD/MM/YYYY", the way the program shows dates; in place, or as a string.
using DayMonthYear = FixedText<35>;  // room for any three ints as "%02d/%02d/%04d"
DayMonthYear DayMonthYearText(CivilDate date);
std::string FormatDayMonthYear(CivilDate date);

// Reads "YYYY-MM-DD" (years 1000 to 9999); nothing for any other text or an impossible day.
std::optional<CivilDate> ParseIsoDate(std::string_view text);

// Reads "DD/MM/YYYY", the way the program shows due dates (years 1000 to 9999); nothing
// for any other text, "N/A" among them, or an impossible day.
std::optional<CivilDate> ParseDayMonthYear(std::string_view text);

// The date whose four-digit year, two-digit month and two-digit day stand at these
// positions of `text`; nothing when a part is not all digits, the year is before 1000 or
// the day does not exist.
std::optional<CivilDate> DateAt(std::string_view text, std::size_t yearAt, std::size_t monthAt,
                                std::size_t dayAt);
