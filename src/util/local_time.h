#pragma once

#include <string>

#include "util/civil_date.h"

// The computer's local wall-clock time, to the second.
struct LocalDateTime {
    CivilDate date;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

LocalDateTime LocalNow();

// Today's date in the computer's time zone.
inline CivilDate TodayLocal() {
    return LocalNow().date;
}

// "2026/12/07 09:05:03": when a code was received, typed, paid or removed.
std::string FormatReceivedAt(const LocalDateTime& time);
