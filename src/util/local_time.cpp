#include "util/local_time.h"

#include <cstdio>
#include <ctime>

LocalDateTime LocalNow() {
    // The conversion is costly next to the rest of a datagram's work; under a stream of
    // datagrams most fall in the same second as the one before.
    thread_local std::time_t cachedSecond = -1;
    thread_local LocalDateTime cached;
    std::time_t now = std::time(nullptr);
    if (now == cachedSecond) return cached;
    std::tm parts{};
    // The thread-safe conversion has a different name on each C library.
#ifdef _WIN32
    localtime_s(&parts, &now);
#else
    localtime_r(&now, &parts);
#endif
    LocalDateTime local;
    local.date = CivilDate{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday};
    local.hour = parts.tm_hour;
    local.minute = parts.tm_min;
    local.second = parts.tm_sec;
    cachedSecond = now;
    cached = local;
    return local;
}

std::string FormatReceivedAt(const LocalDateTime& time) {
    char text[48];
    std::snprintf(text, sizeof text, "%d/%02d/%02d %02d:%02d:%02d", time.date.year, time.date.month,
                  time.date.day, time.hour, time.minute, time.second);
    return text;
}
