#include "codes/interpretation.h"

#include <gtest/gtest.h>

#include "history/history_line.h"

namespace {

constexpr CivilDate kToday{2026, 12, 7};
const char kBank[] = "00191455700000110009956850418332600000624818";
const char kCollection[] = "84620000002311301132632914523029359083800000";
const char kNfe[] = "12345678901234567890123456789012345678901235";

}  // namespace

TEST(EffectiveKind, TheKindByteOnlySeparatesInvoiceKeysFromSlips) {
    EXPECT_EQ(EffectiveKind(1, kBank), CodeKind::BankSlip);
    EXPECT_EQ(EffectiveKind(2, kBank), CodeKind::BankSlip);
    EXPECT_EQ(EffectiveKind(1, kCollection), CodeKind::CollectionSlip);
    EXPECT_EQ(EffectiveKind(2, kCollection), CodeKind::CollectionSlip);
    EXPECT_EQ(EffectiveKind(3, kCollection), CodeKind::NfeKey);
    EXPECT_EQ(EffectiveKind(1, ""), CodeKind::BankSlip);
    EXPECT_STREQ(KindLetter(CodeKind::BankSlip), "B");
    EXPECT_STREQ(KindLetter(CodeKind::CollectionSlip), "C");
    EXPECT_STREQ(KindLetter(CodeKind::NfeKey), "N");
}

TEST(InterpretCode, SlipsAsTheHistoryKeepsThem) {
    CodeInterpretation bank = InterpretCode(kBank, CodeKind::BankSlip, kToday);
    EXPECT_TRUE(bank.checkDigitsValid);
    EXPECT_EQ(bank.typeable, "00199.95687 50418.332602 00006.248181 1 45570000011000");
    EXPECT_EQ(bank.value, "R$ 110,00");
    EXPECT_EQ(bank.dueDate, "19/11/2034");
    EXPECT_EQ(IssuerName(kBank, CodeKind::BankSlip), "Banco do Brasil S.A.");

    CodeInterpretation collection = InterpretCode(kCollection, CodeKind::CollectionSlip, kToday);
    EXPECT_TRUE(collection.checkDigitsValid);
    EXPECT_EQ(collection.typeable, "84620000002-0 31130113263-6 29145230293-3 59083800000-8");
    EXPECT_EQ(collection.value, "R$ 231,13");
    EXPECT_EQ(collection.dueDate, "");
    EXPECT_EQ(IssuerName(kCollection, CodeKind::CollectionSlip), "Telco");
}

TEST(InterpretCode, NfeKeyAsTheHistoryKeepsIt) {
    // Even digits that would make a collection slip are read as a key.
    std::string code = kNfe;
    code[0] = '8';
    CodeInterpretation nfe = InterpretCode(code, CodeKind::NfeKey, kToday);
    EXPECT_FALSE(nfe.checkDigitsValid);
    EXPECT_EQ(nfe.typeable, "82-3456-78.901.234/5678-90-12-345-678.901.234-567.890.123-5");
    EXPECT_EQ(nfe.value, "");
    EXPECT_EQ(nfe.dueDate, "");
    EXPECT_EQ(IssuerName(code, CodeKind::NfeKey), "");
}

TEST(InterpretCode, CodesOfTheWrongLengthAreKeptWithoutInterpretation) {
    for (CodeKind kind : {CodeKind::BankSlip, CodeKind::CollectionSlip}) {
        CodeInterpretation short43 = InterpretCode(std::string(kBank, 43), kind, kToday);
        EXPECT_FALSE(short43.checkDigitsValid);
        EXPECT_EQ(short43.typeable, "");
        EXPECT_EQ(short43.value, "R$ N/A");
        EXPECT_EQ(short43.dueDate, "");
    }
    CodeInterpretation nfe = InterpretCode("123", CodeKind::NfeKey, kToday);
    EXPECT_FALSE(nfe.checkDigitsValid);
    EXPECT_EQ(nfe.typeable, "");
}

TEST(HistoryExportLine, OneLinePerKind) {
    EXPECT_EQ(HistoryExportLine(kNfe, CodeKind::NfeKey, kToday),
              std::string("NFe ") + kNfe +
                  " 12-3456-78.901.234/5678-90-12-345-678.901.234-567.890.123-5");
    EXPECT_EQ(HistoryExportLine("4321", CodeKind::NfeKey, kToday), "NFe 4321 ");
    EXPECT_EQ(HistoryExportLine(kBank, CodeKind::BankSlip, {2008, 1, 1}),
              std::string(kBank) +
                  " R$ 110,00 30/03/2010 0019995687 50418332602 00006248181 1 45570000011000 "
                  "Banco do Brasil S.A.");
    EXPECT_EQ(HistoryExportLine(kCollection, CodeKind::CollectionSlip, kToday).substr(45),
              "R$ 231,13 846200000020 311301132636 291452302933 590838000008 Telco");
    EXPECT_EQ(HistoryExportLine("12", CodeKind::BankSlip, kToday), "vazio");
}

TEST(InterpretCodeFully, TheHistorysPiecesCodeAfterCodeInOneObject) {
    // One object for every code, as decode fills it: nothing of one code may stay for the
    // next, whatever the kinds and lengths in turn.
    std::string badBank = kBank;
    badBank[4] = '7';
    std::string oddBytes = kBank;
    oddBytes[30] = '\x80';
    const std::string codes[] = {kBank,   kCollection, kNfe,  "",  "12", std::string(kBank, 43),
                                 badBank, oddBytes,    kBank, kNfe};
    FullInterpretation full;
    for (const std::string& code : codes) {
        for (CodeKind kind : {CodeKind::BankSlip, CodeKind::NfeKey, CodeKind::CollectionSlip}) {
            InterpretCodeFully(code, kind, kToday, full);
            CodeInterpretation expected = InterpretCode(code, kind, kToday);
            SCOPED_TRACE(code + " " + KindLetter(kind));
            EXPECT_EQ(full.checkDigitsValid, expected.checkDigitsValid);
            EXPECT_EQ(full.typeable.View(), expected.typeable);
            EXPECT_EQ(full.value.View(), expected.value);
            EXPECT_EQ(full.dueDate.View(), expected.dueDate);
            EXPECT_EQ(full.issuerName.View(), IssuerName(code, kind));
            EXPECT_EQ(full.summary, HistoryExportLine(code, kind, kToday));
        }
    }
}

TEST(FixedText, PiecesOfEveryLengthGoInWholeAndInOrderUpToTheCapacity) {
    const std::string source = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    for (std::size_t first = 0; first <= 40; ++first) {
        for (std::size_t second = 0; second <= 40; ++second) {
            FixedText<48> text = std::string_view(source).substr(0, first);
            text += std::string_view(source).substr(first, second);
            ASSERT_EQ(text.View(), source.substr(0, std::min<std::size_t>(48, first + second)))
                << first << " " << second;
        }
    }
}
