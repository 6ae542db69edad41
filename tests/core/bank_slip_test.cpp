#include "codes/bank_slip.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

// The two bank-slip samples that the simulated reception sends.
const char kSample1[] = "00191455700000110009956850418332600000624818";
const char kSample0[] = "00092473500000830004240405000030000226026703";

// A reference date before the factor rollover, at which the factors of the samples
// stand for their first cycle.
constexpr CivilDate kBefore2025{2008, 1, 1};

std::string WithFactor(std::string code, const char* factor) {
    return code.replace(5, 4, factor);
}

}  // namespace

TEST(BankSlip, FirstSample) {
    BankSlip slip(kSample1);
    EXPECT_TRUE(slip.IsBankSlip());
    EXPECT_FALSE(slip.IsCollectionSlip());
    EXPECT_TRUE(slip.CheckDigitOk());
    EXPECT_EQ(slip.TypeableFields(SeparatorStyle::Punctuated),
              (std::array<std::string, 5>{"00199.95687", "50418.332602", "00006.248181", "1",
                                          "45570000011000"}));
    EXPECT_EQ(slip.TypeablePieces(),
              (std::array<std::string, 8>{"00199", "95687", "50418", "332602", "00006", "248181",
                                          "1", "45570000011000"}));
    EXPECT_EQ(slip.ValueText(), "R$ 110,00");
    EXPECT_EQ(slip.DueDateText(kBefore2025), "30/03/2010");
    EXPECT_EQ(slip.BankName(), "Banco do Brasil S.A.");
    EXPECT_EQ(slip.SummaryText(kBefore2025),
              std::string(kSample1) +
                  " R$ 110,00 30/03/2010 0019995687 50418332602 00006248181 1 45570000011000 "
                  "Banco do Brasil S.A.");
}

TEST(BankSlip, SecondSample) {
    BankSlip slip(kSample0);
    EXPECT_TRUE(slip.CheckDigitOk());
    EXPECT_EQ(slip.TypeableFields(SeparatorStyle::Punctuated),
              (std::array<std::string, 5>{"00094.24045", "05000.030006", "02260.267030", "2",
                                          "47350000083000"}));
    EXPECT_EQ(slip.TypeablePieces(),
              (std::array<std::string, 8>{"00094", "24045", "05000", "030006", "02260", "267030",
                                          "2", "47350000083000"}));
    EXPECT_EQ(slip.ValueText(), "R$ 830,00");
    EXPECT_EQ(slip.DueDateText(kBefore2025), "24/09/2010");
}

TEST(BankSlip, SeparatorStyles) {
    BankSlip slip(kSample1);
    auto plain = slip.TypeableFields(SeparatorStyle::None);
    EXPECT_EQ(plain[0], "0019995687");
    EXPECT_EQ(plain[1], "50418332602");
    auto tabbed = slip.TypeableFields(SeparatorStyle::Tab);
    EXPECT_EQ(tabbed[0], "00199\t95687");
    EXPECT_EQ(tabbed[2], "00006\t248181");
    EXPECT_EQ(tabbed[3], "1");  // fields 4 and 5 are never marked
    EXPECT_EQ(tabbed[4], "45570000011000");
    EXPECT_EQ(slip.TypeableFields(static_cast<SeparatorStyle>(5)), tabbed);
}

TEST(BankSlip, GeneralCheckDigitRemaindersZeroOneAndTenExpectOne) {
    // Barcodes whose weighted sums leave the remainders 0, 1 and 10.
    for (const char* code : {"00191455700000110009956850418332600000624813",
                             "00191455700000110009956850418332600000624805",
                             "00191455700000110009956850418332600000624804"}) {
        std::string barcode = code;
        EXPECT_TRUE(BankSlip(barcode).CheckDigitOk()) << barcode;
        barcode[4] = '0';
        EXPECT_FALSE(BankSlip(barcode).CheckDigitOk()) << barcode;
    }
}

TEST(BankSlip, WrongCheckDigitStillInterpretsButSummarySaysSo) {
    std::string code = kSample1;
    code[4] = '7';
    BankSlip slip(code);
    EXPECT_FALSE(slip.CheckDigitOk());
    EXPECT_EQ(slip.TypeableFields(SeparatorStyle::Punctuated)[3], "7");
    EXPECT_EQ(slip.ValueText(), "R$ 110,00");
    EXPECT_EQ(slip.SummaryText(kBefore2025), code + " digito verificador invalido");
}

TEST(BankSlip, ValueTexts) {
    std::string code = kSample1;
    auto withValue = [&](const char* digits) { return code.replace(9, 10, digits); };
    EXPECT_EQ(BankSlip(withValue("0000000000")).ValueText(), "R$ N/A");
    EXPECT_EQ(BankSlip(withValue("0000150000")).ValueText(), "R$ 1500,00");
    EXPECT_EQ(BankSlip(withValue("9999999999")).ValueText(), "R$ 99999999,99");
    EXPECT_EQ(BankSlip(withValue("0000000050")).ValueText(), "R$ 0,50");
    EXPECT_EQ(BankSlip(withValue("0000000007")).ValueText(), "R$ 0,07");
}

TEST(BankSlip, FactorsBelowOneThousandHaveNoDueDate) {
    EXPECT_EQ(BankSlip(WithFactor(kSample1, "0000")).DueDateText(kBefore2025), "N/A");
    EXPECT_EQ(BankSlip(WithFactor(kSample1, "0999")).DueDateText(kBefore2025), "N/A");
    EXPECT_EQ(BankSlip(WithFactor(kSample1, "1000")).DueDateText(kBefore2025), "03/07/2000");
    EXPECT_EQ(BankSlip(WithFactor(kSample1, "9999")).DueDateText(kBefore2025), "21/02/2025");
}

TEST(BankSlip, CurrentSlipsAfterTheFactorRollover) {
    constexpr CivilDate kToday{2026, 12, 7};
    EXPECT_EQ(BankSlip(WithFactor(kSample1, "1000")).DueDateText(kToday), "22/02/2025");
    EXPECT_EQ(BankSlip(WithFactor(kSample1, "1653")).DueDateText(kToday), "07/12/2026");
    EXPECT_EQ(BankSlip(kSample1).DueDateText(kToday), "19/11/2034");
    EXPECT_EQ(BankSlip(WithFactor(kSample1, "9999")).DueDateText(kToday), "21/02/2025");
}

TEST(BankSlip, UnknownBank) {
    std::string code = kSample1;
    code.replace(0, 3, "999");
    EXPECT_EQ(BankSlip(code).BankName(), "DESCONHECIDO");
}

TEST(BankSlip, FirstDigitEightIsNeverABankSlip) {
    // A barcode starting with 8 whose position 5 satisfies the bank-slip rule.
    std::string code = "80191455700000110009956850418332600000624818";
    for (char digit = '0'; digit <= '9'; ++digit) {
        code[4] = digit;
        if (BankSlip(code).CheckDigitOk()) break;
    }
    ASSERT_TRUE(BankSlip(code).CheckDigitOk());
    EXPECT_FALSE(BankSlip(code).IsBankSlip());
    EXPECT_TRUE(BankSlip(code).IsCollectionSlip());
}

TEST(BankSlip, WrongLengthsGiveTheEmptyBarcode) {
    for (std::string code :
         {std::string(kSample1).substr(0, 43), std::string(kSample1) + "0", std::string()}) {
        BankSlip slip(code);
        EXPECT_TRUE(slip.IsEmpty());
        EXPECT_FALSE(slip.IsBankSlip());
        EXPECT_FALSE(slip.IsCollectionSlip());
        EXPECT_FALSE(slip.CheckDigitOk());
        EXPECT_FALSE(slip.CollectionCheckDigitOk());
        EXPECT_EQ(slip.SummaryText(kBefore2025), "vazio");
        EXPECT_EQ(slip.ValueText(), "R$ N/A");
        EXPECT_EQ(slip.DueDateText(kBefore2025), "N/A");
        EXPECT_EQ(slip.BankName(), "DESCONHECIDO");
        EXPECT_EQ(slip.TypeableFields(SeparatorStyle::Punctuated)[0], "");
    }
}
