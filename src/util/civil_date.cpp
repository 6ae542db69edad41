#include "util/civil_date.h"

#include <array>
#include <cstdio>

namespace {

// Any day: eras of 400 years, in 64 bits.
CivilDate CivilFromAnyDay(std::int64_t days) {
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

// Days counted from 1 March -32,800 (82 eras of 400 years before year 0) are positive up to
// about year 32,000: there unsigned 32-bit multiplications and shifts do the divisions
// (after Neri and Schneider's Euclidean affine functions).
constexpr std::uint32_t kShiftedEras = 82;
constexpr std::int64_t kShiftedFirstDay = -(719468 + 146097 * std::int64_t{kShiftedEras});
constexpr std::int64_t kShiftedLastDay = 11000000;

CivilDate CivilFromShiftedDay(std::uint32_t shiftedDay) {
    std::uint32_t centuryTimes4 = 4 * shiftedDay + 3;
    std::uint32_t century = centuryTimes4 / 146097;
    std::uint32_t dayOfCentury = centuryTimes4 % 146097 / 4;
    std::uint64_t yearProduct = std::uint64_t{2939745} * (4 * dayOfCentury + 3);
    std::uint32_t yearOfCentury = static_cast<std::uint32_t>(yearProduct >> 32);
    std::uint32_t dayOfYear = static_cast<std::uint32_t>(yearProduct) / 2939745 / 4;
    std::uint32_t monthDay = 2141 * dayOfYear + 197913;
    std::uint32_t month = monthDay >> 16;
    std::uint32_t day = (monthDay & 0xFFFF) / 2141;
    bool januaryOrFebruary = dayOfYear >= 306;
    CivilDate date;
    date.year = static_cast<int>(100 * century + yearOfCentury) -
                static_cast<int>(400 * kShiftedEras) + (januaryOrFebruary ? 1 : 0);
    date.month = static_cast<int>(januaryOrFebruary ? month - 12 : month);
    date.day = static_cast<int>(day + 1);
    return date;
}

}  // namespace

CivilDate CivilFromDays(std::int64_t days) {
    if (days <= kShiftedFirstDay || days > kShiftedLastDay) return CivilFromAnyDay(days);
    return CivilFromShiftedDay(static_cast<std::uint32_t>(days - kShiftedFirstDay));
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
    // Two digits at a time, from a table of "00" to "99".
    static constexpr auto kPairs = [] {
        std::array<char, 200> pairs = {};
        for (int i = 0; i < 100; ++i) {
            pairs[2 * i] = static_cast<char>('0' + i / 10);
            pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
        }
        return pairs;
    }();
    auto pair = [](int number) { return std::string_view(&kPairs[2 * number], 2); };
    DayMonthYear text = pair(date.day);
    text += '/';
    text += pair(date.month);
    text += '/';
    text += pair(date.year / 100);
    text += pair(date.year % 100);
    return text;
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
