#include "codes/due_glance.h"

#include <gtest/gtest.h>

#include "codes/due_date.h"

namespace {

constexpr CivilDate kToday{2026, 12, 7};

}  // namespace

TEST(DueGlance, ReadsEveryDateASlipCanShow) {
    EXPECT_EQ(ParseDayMonthYear("29/02/2024"), (CivilDate{2024, 2, 29}));
    for (int factor = 1000; factor <= 9999; ++factor) {
        CivilDate due = FactorDate(factor, kToday);
        ASSERT_EQ(ParseDayMonthYear(FormatDayMonthYear(due)), due) << factor;
    }
}

TEST(DueGlance, MalformedTextsGiveNoDate) {
    for (const char* bad : {"", "N/A", "19/11/34", "19-11-2034", "2034/11/19", " 19/11/2034",
                            "19/11/2034 ", "1x/11/2034", "19/+1/2034", "29/02/2023", "31/04/2034",
                            "00/11/2034", "19/13/2034", "19/11/0999"}) {
        EXPECT_FALSE(ParseDayMonthYear(bad).has_value()) << bad;
        EXPECT_EQ(StandingOfDueDate(bad, kToday), DueStanding::None) << bad;
    }
}

TEST(DueGlance, StandingAgainstToday) {
    EXPECT_EQ(StandingOfDueDate("07/12/2026", kToday), DueStanding::DueToday);
    EXPECT_EQ(StandingOfDueDate("06/12/2026", kToday), DueStanding::Overdue);
    EXPECT_EQ(StandingOfDueDate("08/12/2026", kToday), DueStanding::Later);
    // Year, then month, then day: a later day of an earlier month or year is still overdue.
    EXPECT_EQ(StandingOfDueDate("31/12/2025", kToday), DueStanding::Overdue);
    EXPECT_EQ(StandingOfDueDate("08/11/2026", kToday), DueStanding::Overdue);
    EXPECT_EQ(StandingOfDueDate("01/01/2027", kToday), DueStanding::Later);
    EXPECT_EQ(StandingOfDueDate("06/01/2027", kToday), DueStanding::Later);
}
