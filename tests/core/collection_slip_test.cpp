#include <gtest/gtest.h>

#include <array>
#include <string>

#include "codes/bank_slip.h"

namespace {

struct CollectionSample {
    const char* barcode;
    const char* segment;
    std::array<std::string, 4> blocks;
    const char* value;
};

// The three collection-slip samples that the simulated reception sends.
const CollectionSample kSamples[] = {
    {"84620000002311301132632914523029359083800000",
     "Telco",
     {"84620000002-0", "31130113263-6", "29145230293-3", "59083800000-8"},
     "R$ 231,13"},
    {"86710000000728242498725119096408256612000003",
     "Empresa",
     {"86710000000-1", "72824249872-9", "51190964082-9", "56612000003-9"},
     "R$ 72,82"},
    {"85830000000578503281014401081014200092060000",
     "Org Gov",
     {"85830000000-9", "57850328101-6", "44010810142-2", "00092060000-0"},
     "R$ 57,85"},
};

constexpr CivilDate kToday{2026, 12, 7};

}  // namespace

TEST(CollectionSlip, Samples) {
    for (const auto& sample : kSamples) {
        BankSlip slip(sample.barcode);
        SCOPED_TRACE(sample.barcode);
        EXPECT_TRUE(slip.IsCollectionSlip());
        EXPECT_FALSE(slip.IsBankSlip());
        EXPECT_TRUE(slip.CollectionCheckDigitOk());
        EXPECT_EQ(slip.CollectionBlocks(SeparatorStyle::Punctuated), sample.blocks);
        EXPECT_EQ(slip.CollectionValueText(), sample.value);
        EXPECT_STREQ(slip.SegmentName(), sample.segment);
    }
}

TEST(CollectionSlip, Summary) {
    EXPECT_EQ(BankSlip(kSamples[0].barcode).SummaryText(kToday),
              std::string(kSamples[0].barcode) +
                  " R$ 231,13 846200000020 311301132636 291452302933 590838000008 Telco");
    std::string wrong = kSamples[0].barcode;
    wrong[3] = '3';
    EXPECT_FALSE(BankSlip(wrong).CollectionCheckDigitOk());
    EXPECT_EQ(BankSlip(wrong).SummaryText(kToday), wrong + " digito verificador invalido");
}

TEST(CollectionSlip, BlockStyles) {
    BankSlip slip(kSamples[1].barcode);
    auto plain = slip.CollectionBlocks(SeparatorStyle::None);
    EXPECT_EQ(plain[0], "867100000001");
    auto tabbed = slip.CollectionBlocks(SeparatorStyle::Tab);
    EXPECT_EQ(tabbed[3], "56612000003\t9");
    EXPECT_EQ(slip.CollectionBlocks(static_cast<SeparatorStyle>(3)), tabbed);
}

TEST(CollectionSlip, ValueTypeOutsideSixToNineMixesTheRules) {
    // Third digit 5: general check digit by modulo 10 (4; modulo 11 would give 6),
    // blocks by modulo 11, no amount.
    BankSlip slip("84540000002311301132632914523029359083800000");
    EXPECT_TRUE(slip.CollectionCheckDigitOk());
    EXPECT_EQ(slip.CollectionBlocks(SeparatorStyle::Punctuated),
              (std::array<std::string, 4>{"84540000002-5", "31130113263-6", "29145230293-1",
                                          "59083800000-0"}));
    EXPECT_EQ(slip.CollectionValueText(), "R$ N/A");
    EXPECT_FALSE(BankSlip("84560000002311301132632914523029359083800000").CollectionCheckDigitOk());
}

TEST(CollectionSlip, ValueTypeNineIsModuloElevenWithAmount) {
    BankSlip slip("85910000000578503281014401081014200092060000");
    EXPECT_TRUE(slip.CollectionCheckDigitOk());
    EXPECT_EQ(slip.CollectionBlocks(SeparatorStyle::Punctuated)[0], "85910000000-3");
    EXPECT_EQ(slip.CollectionValueText(), "R$ 57,85");
}

TEST(CollectionSlip, ModuloElevenRemaindersZeroAndOneGiveZero) {
    EXPECT_TRUE(BankSlip("85800000000578503281014401081014200092060007").CollectionCheckDigitOk());
    EXPECT_TRUE(BankSlip("85800000000578503281014401081014200092060002").CollectionCheckDigitOk());
    EXPECT_FALSE(BankSlip("85810000000578503281014401081014200092060007").CollectionCheckDigitOk());
}

TEST(CollectionSlip, SegmentsAndZeroValue) {
    std::string code = kSamples[0].barcode;
    auto segment = [&](char digit) {
        code[1] = digit;
        return std::string(BankSlip(code).SegmentName());
    };
    EXPECT_EQ(segment('0'), "Desconhecido");
    EXPECT_EQ(segment('8'), "Desconhecido");
    EXPECT_EQ(segment('9'), "Uso interno");
    EXPECT_EQ(segment('1'), "Prefeitura");
    code.replace(4, 11, "00000000000");
    EXPECT_EQ(BankSlip(code).CollectionValueText(), "R$ N/A");
    code.replace(4, 11, "00000000001");
    EXPECT_EQ(BankSlip(code).CollectionValueText(), "R$ 0,01");
}
