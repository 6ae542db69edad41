#include "codes/due_date.h"

#include <cstdint>

namespace {

constexpr std::int64_t kFactorBaseDay = DaysFromCivil({1997, 10, 7});
constexpr std::int64_t kFactorCycleDays = 9000;
constexpr std::int64_t kWindowDaysBefore = 3000;
constexpr std::int64_t kWindowDaysAfter = 5500;

}  // namespace

CivilDate FactorDate(int factor, CivilDate reference) {
    const std::int64_t firstDay = kFactorBaseDay + factor;
    const std::int64_t referenceDay = DaysFromCivil(reference);
    const std::int64_t windowStart = referenceDay - kWindowDaysBefore;
    const std::int64_t windowEnd = referenceDay + kWindowDaysAfter;

    // First cycle whose date is not before the window.
    std::int64_t cycles = 0;
    if (firstDay < windowStart) {
        cycles = (windowStart - firstDay + kFactorCycleDays - 1) / kFactorCycleDays;
    }
    std::int64_t day = firstDay + cycles * kFactorCycleDays;
    if (day > windowEnd && cycles > 0) {
        // The window is shorter than a cycle, so the date can fall in the gap: take
        // whichever of its two neighbours is nearer to the reference date.
        std::int64_t earlier = day - kFactorCycleDays;
        if (referenceDay - earlier <= day - referenceDay) day = earlier;
    }
    return CivilFromDays(day);
}
