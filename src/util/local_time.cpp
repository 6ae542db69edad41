#include "util/local_time.h"

#include <ctime>

LocalDateTime LocalNow() {
    std::time_t now = std::time(nullptr);
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
    return local;
}
