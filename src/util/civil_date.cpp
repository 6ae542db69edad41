#include "util/civil_date.h"

#include <cstdio>

// Conversions after Howard Hinnant's days_from_civil / civil_from_days: exact for
// every date, no floating point, no table.
std::int64_t DaysFromCivil(CivilDate date) {
    std::int64_t y = date.year - (date.month <= 2 ? 1 : 0);
    std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    std::int64_t yearOfEra = y - era * 400;
    std::int64_t monthFromMarch = date.month > 2 ? date.month - 3 : date.month + 9;
    std::int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + date.day - 1;
    std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CivilDate CivilFromDays(std::int64_t days) {
    days += 719468;
    std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    std::int64_t dayOfEra = days - era * 146097;
    std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    CivilDate date;
    date.day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    date.month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    date.year = static_cast<int>(yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0));
    return date;
}

bool IsValidCivilDate(CivilDate date) {
    if (date.month < 1 || date.month > 12 || date.day < 1) return false;
    static const int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
    int last = kDaysInMonth[date.month - 1] + (date.month == 2 && leap ? 1 : 0);
    return date.day <= last;
}

std::string FormatDayMonthYear(CivilDate date) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", date.day, date.month, date.year);
    return text;
}

std::optional<CivilDate> DateAt(std::string_view text, std::size_t yearAt, std::size_t monthAt,
                                std::size_t dayAt) {
    auto number = [&](std::size_t first, std::size_t count) {
        if (first + count > text.size()) return -1;
        int value = 0;
        for (std::size_t i = first; i < first + count; ++i) {
            if (text[i] < '0' || text[i] > '9') return -1;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    CivilDate date{number(yearAt, 4), number(monthAt, 2), number(dayAt, 2)};
    if (date.year < 1000 || !IsValidCivilDate(date)) return std::nullopt;
    return date;
}

std::optional<CivilDate> ParseIsoDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    return DateAt(text, 0, 5, 8);
}

std::optional<CivilDate> ParseDayMonthYear(std::string_view text) {
    if (text.size() != 10 || text[2] != '/' || text[5] != '/') return std::nullopt;
    return DateAt(text, 6, 3, 0);
}
