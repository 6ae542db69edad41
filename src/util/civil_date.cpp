#include "util/civil_date.h"

#include <cstdio>

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

DayMonthYear DayMonthYearText(CivilDate date) {
    auto within = [](int number, int last) { return number >= 0 && number <= last; };
    if (!within(date.day, 99) || !within(date.month, 99) || !within(date.year, 9999)) {
        // No day of a slip comes here; printf keeps such dates as they always were shown.
        char text[DayMonthYear::kCapacity + 1];
        std::snprintf(text, sizeof text, "%02d/%02d/%04d", date.day, date.month, date.year);
        return text;
    }
    auto digit = [](int number, int unit) { return static_cast<char>('0' + number / unit % 10); };
    const char text[] = {digit(date.day, 10),    digit(date.day, 1),    '/',
                         digit(date.month, 10),  digit(date.month, 1),  '/',
                         digit(date.year, 1000), digit(date.year, 100), digit(date.year, 10),
                         digit(date.year, 1)};
    return std::string_view(text, sizeof text);
}

std::string FormatDayMonthYear(CivilDate date) {
    return std::string(DayMonthYearText(date));
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
