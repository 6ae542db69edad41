#include "codes/check_digits.h"

#include <gtest/gtest.h>

#include <string>

// Groups and digits taken from slips whose typeable lines were printed by the banks.
TEST(Mod10CheckDigit, MatchesPrintedTypeableLines) {
    EXPECT_EQ(Mod10CheckDigit("001999568", 9), 7);
    EXPECT_EQ(Mod10CheckDigit("5041833260", 10), 2);
    EXPECT_EQ(Mod10CheckDigit("0000624818", 10), 1);
    EXPECT_EQ(Mod10CheckDigit("000942404", 9), 5);
    EXPECT_EQ(Mod10CheckDigit("0500003000", 10), 6);
}

TEST(Mod10CheckDigit, SumsThatAreMultiplesOfTenGiveZero) {
    // 0226026703: weighted sum 30.
    EXPECT_EQ(Mod10CheckDigit("0226026703", 10), 0);
    EXPECT_EQ(Mod10CheckDigit("0000000000", 10), 0);
    // A single 5 has weight 2: product 10 counts as 1, so the digit is 9.
    EXPECT_EQ(Mod10CheckDigit("5", 1), 9);
}

TEST(Mod10CheckDigit, TwoTimesNineCountsAsNine) {
    // 9 x 2 = 18 -> 9, so the digit is 1 (not 2, as 18 mod 10 would give).
    EXPECT_EQ(Mod10CheckDigit("9", 1), 1);
    // 9 x 1 stays 9 and 9 x 2 -> 9: sum 18, digit 2.
    EXPECT_EQ(Mod10CheckDigit("99", 2), 2);
}

TEST(Mod10CheckDigit, CountsOnlyTheFirstDigitsAsked) {
    EXPECT_EQ(Mod10CheckDigit("0019995687", 9), 7);
    EXPECT_EQ(Mod10CheckDigit("12", 5), Mod10CheckDigit("12", 2));
}

TEST(Mod11CheckDigit, RemaindersZeroAndOneGiveZero) {
    EXPECT_EQ(Mod11CheckDigit("0", 1), 0);  // remainder 0
    EXPECT_EQ(Mod11CheckDigit("6", 1), 0);  // 12 mod 11 = 1
    EXPECT_EQ(Mod11CheckDigit("1", 1), 9);  // 2 mod 11 = 2 -> 9
}

TEST(Mod11CheckDigit, WeightsCycleFromTwoToNine) {
    // Weights from the right: 2..9, then 2 again for the ninth digit.
    // 1 x 2 at the left of eight zeros: remainder 2, digit 9.
    EXPECT_EQ(Mod11CheckDigit("100000000", 9), 9);
    // The same 1 one place further left has weight 3: remainder 3, digit 8.
    EXPECT_EQ(Mod11CheckDigit("1000000000", 10), 8);
    EXPECT_EQ(Mod11CheckDigit("1234567890123456789012345678901234567890123", 43), 5);
}

TEST(CheckDigits, NonDigitsCountAsZeroAndStayInRange) {
    EXPECT_EQ(Mod10CheckDigit("0A9", 3), Mod10CheckDigit("009", 3));
    EXPECT_EQ(Mod11CheckDigit("\xff\x01z", 3), 0);
    EXPECT_FALSE(AllDigits(""));
    EXPECT_FALSE(AllDigits("12 4"));
    EXPECT_TRUE(AllDigits("0123456789"));
}

TEST(CheckDigits, AllDigitsLooksAtEveryByteOfEveryLength) {
    // Every byte value, at every place of texts that fill eight-byte words and tails.
    for (std::size_t length : {1u, 7u, 8u, 9u, 16u, 44u}) {
        for (std::size_t place = 0; place < length; ++place) {
            for (int byte = 0; byte < 256; ++byte) {
                std::string text(length, '5');
                text[place] = static_cast<char>(byte);
                ASSERT_EQ(AllDigits(text), byte >= '0' && byte <= '9')
                    << "length " << length << ", byte " << byte << " at " << place;
            }
        }
    }
}
