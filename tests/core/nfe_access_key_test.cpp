#include "codes/nfe_access_key.h"

#include <gtest/gtest.h>

#include <string>

TEST(NfeAccessKey, WorkedExample) {
    NfeAccessKey key("12345678901234567890123456789012345678901235");
    EXPECT_TRUE(key.CheckDigitOk());
    EXPECT_EQ(key.FormattedKey(), "12-3456-78.901.234/5678-90-12-345-678.901.234-567.890.123-5");
    EXPECT_FALSE(NfeAccessKey("12345678901234567890123456789012345678901234").CheckDigitOk());
}

TEST(NfeAccessKey, RemaindersZeroAndOneExpectZero) {
    EXPECT_TRUE(NfeAccessKey("12345678901234567890123456789012345678901030").CheckDigitOk());
    EXPECT_TRUE(NfeAccessKey("12345678901234567890123456789012345678901090").CheckDigitOk());
    EXPECT_FALSE(NfeAccessKey("12345678901234567890123456789012345678901091").CheckDigitOk());
}

TEST(NfeAccessKey, FormattedKeyKeepsEveryDigitInOrder) {
    const std::string digits = "35170608280745000188550010000465611000465613";
    NfeAccessKey key(digits);
    std::string_view formatted = key.FormattedKey();
    ASSERT_EQ(formatted.size(), 59u);
    std::string kept;
    for (char c : formatted) {
        if (c >= '0' && c <= '9') kept += c;
    }
    EXPECT_EQ(kept, digits);
    // Digits 38 to 40 form the middle group of the last nine.
    EXPECT_EQ(formatted.substr(49, 5), "." + digits.substr(37, 3) + ".");
}

TEST(NfeAccessKey, WrongLengthGivesTheEmptyKey) {
    for (const std::string& text : {std::string(43, '1'), std::string(45, '1'), std::string()}) {
        NfeAccessKey key(text);
        EXPECT_FALSE(key.CheckDigitOk());
        EXPECT_EQ(key.FormattedKey(), "");
        EXPECT_EQ(key.Key(), "");
    }
}

TEST(NfeAccessKey, QueryAddressTakesTheKeyAsReceived) {
    EXPECT_EQ(NfeQueryAddress("12345678901234567890123456789012345678901235"),
              "http://www.nfe.fazenda.gov.br/portal/FormularioDePesquisa.aspx?"
              "tipoConsulta=completa&chaveAcesso=12345678901234567890123456789012345678901235");
}
