#include "codes/due_date.h"

#include <gtest/gtest.h>

namespace {

std::int64_t Day(CivilDate date) {
    return DaysFromCivil(date);
}

}  // namespace

TEST(CivilDate, ConversionsAgreeWithCountingDayByDay) {
    CivilDate date{1899, 12, 25};
    std::int64_t day = Day(date);
    for (int i = 0; i < 200 * 366; ++i) {
        ASSERT_EQ(CivilFromDays(day), date) << i;
        // Next day by hand.
        ++date.day;
        if (!IsValidCivilDate(date)) {
            date.day = 1;
            if (++date.month > 12) date = {date.year + 1, 1, 1};
        }
        ++day;
    }
    EXPECT_EQ(Day({1970, 1, 1}), 0);
    EXPECT_EQ(Day({1997, 10, 7}) + 1000, Day({2000, 7, 3}));
}

TEST(CivilDate, ConversionsAgreeFarFromToday) {
    // Days from 1 March -32,800 to about year 32,000 take the 32-bit arithmetic, the rest
    // the 64-bit one: each side of both edges, and the ends of the 32-bit integers.
    for (std::int64_t edge : {Day({-32800, 3, 1}), std::int64_t{11000000},
                              std::int64_t{-2147483648LL}, std::int64_t{2147483647}}) {
        for (std::int64_t day = edge - 400; day <= edge + 400; ++day) {
            CivilDate date = CivilFromDays(day);
            ASSERT_TRUE(IsValidCivilDate(date)) << day;
            ASSERT_EQ(Day(date), day);
        }
    }
}

TEST(CivilDate, DayMonthYearTextOfAnyYear) {
    EXPECT_EQ(DayMonthYearText({2026, 12, 7}).View(), "07/12/2026");
    EXPECT_EQ(DayMonthYearText({999, 1, 31}).View(), "31/01/0999");
    EXPECT_EQ(DayMonthYearText({9999, 10, 1}).View(), "01/10/9999");
    // Only from far reference dates: written as they always were.
    EXPECT_EQ(DayMonthYearText({10024, 2, 3}).View(), "03/02/10024");
    EXPECT_EQ(DayMonthYearText({-5, 2, 3}).View(), "03/02/-005");
    EXPECT_EQ(FormatDayMonthYear({1997, 10, 7}), "07/10/1997");
}

TEST(CivilDate, ParseIsoDate) {
    EXPECT_EQ(ParseIsoDate("2026-12-07"), (CivilDate{2026, 12, 7}));
    EXPECT_EQ(ParseIsoDate("2024-02-29"), (CivilDate{2024, 2, 29}));
    for (const char* bad : {"", "2026-12-7", "2026/12/07", "2023-02-29", "2026-13-01", "2026-00-10",
                            "0999-01-01", "2026-12-07x", "20x6-12-07", "-026-12-07"}) {
        EXPECT_FALSE(ParseIsoDate(bad).has_value()) << bad;
    }
}

TEST(DueDateFactor, Parsing) {
    EXPECT_EQ(ParseDueDateFactor("1000"), 1000);
    EXPECT_EQ(ParseDueDateFactor("9999"), 9999);
    EXPECT_FALSE(ParseDueDateFactor("0999"));
    EXPECT_FALSE(ParseDueDateFactor("0000"));
    EXPECT_FALSE(ParseDueDateFactor("1a00"));
    EXPECT_FALSE(ParseDueDateFactor("100"));
}

TEST(FactorDate, ResolvesTheCycleAroundTheReferenceDate) {
    constexpr CivilDate k2008{2008, 1, 1};
    EXPECT_EQ(FactorDate(1000, k2008), (CivilDate{2000, 7, 3}));
    EXPECT_EQ(FactorDate(4557, k2008), (CivilDate{2010, 3, 30}));
    EXPECT_EQ(FactorDate(9999, k2008), (CivilDate{2025, 2, 21}));

    constexpr CivilDate kToday{2026, 12, 7};
    EXPECT_EQ(FactorDate(1000, kToday), (CivilDate{2025, 2, 22}));
    EXPECT_EQ(FactorDate(1653, kToday), (CivilDate{2026, 12, 7}));
    EXPECT_EQ(FactorDate(4557, kToday), (CivilDate{2034, 11, 19}));
    EXPECT_EQ(FactorDate(9999, kToday), (CivilDate{2025, 2, 21}));
}

TEST(FactorDate, EdgesOfTheWindow) {
    // Pick the reference so that factor 5000's second-cycle date lies exactly on an edge.
    const std::int64_t secondCycle = Day({1997, 10, 7}) + 5000 + 9000;

    // The reference is 3000 days later: the date is the window's first day and stays.
    CivilDate reference = CivilFromDays(secondCycle + 3000);
    EXPECT_EQ(Day(FactorDate(5000, reference)), secondCycle);
    // One day later it has left the window, and the next cycle is still beyond the
    // window's end: the nearer of the two, the earlier one, stays.
    reference = CivilFromDays(secondCycle + 3001);
    EXPECT_EQ(Day(FactorDate(5000, reference)), secondCycle);
    // Once the next cycle is within 5500 days, it is the date.
    reference = CivilFromDays(secondCycle + 3500);
    EXPECT_EQ(Day(FactorDate(5000, reference)), secondCycle + 9000);

    // The date is the window's last day (5500 days after the reference).
    reference = CivilFromDays(secondCycle - 5500);
    EXPECT_EQ(Day(FactorDate(5000, reference)), secondCycle);
    // One day further it lies in the gap between two cycles: the nearer, earlier one.
    reference = CivilFromDays(secondCycle - 5501);
    EXPECT_EQ(Day(FactorDate(5000, reference)), secondCycle - 9000);
}

TEST(FactorDate, FarReferencesStillGiveARealDate) {
    // Long before the base date only the first cycle exists.
    EXPECT_EQ(FactorDate(1000, {1950, 1, 1}), (CivilDate{2000, 7, 3}));
    CivilDate late = FactorDate(1000, {9999, 12, 31});
    EXPECT_TRUE(IsValidCivilDate(late));
    EXPECT_GT(late.year, 9980);
}
