// Whatever bytes arrive as a code, interpretation gives texts of the expected shape and
// never reads outside the code (the sanitizer builds check the latter).

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "codes/bank_slip.h"
#include "codes/interpretation.h"
#include "codes/nfe_access_key.h"
#include "history/history_line.h"

namespace {

constexpr CivilDate kToday{2026, 12, 7};

std::string RandomBytes(std::mt19937& random, std::size_t size) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::string text(size, '\0');
    for (char& c : text)
        c = static_cast<char>(byte(random));
    return text;
}

void InterpretEveryWay(const std::string& code) {
    for (CodeKind kind : {CodeKind::BankSlip, CodeKind::CollectionSlip, CodeKind::NfeKey}) {
        CodeInterpretation result = InterpretCode(code, kind, kToday);
        if (code.size() != 44) {
            EXPECT_EQ(result.typeable, "");
        }
        HistoryExportLine(code, kind, kToday);
        IssuerName(code, kind);
    }
    BankSlip slip(code);
    slip.TypeablePieces();
    slip.CollectionBlocks(SeparatorStyle::Tab);
    slip.BankName();
}

}  // namespace

TEST(MalformedCodes, NonDigitsNeverPassAndKeepTheTextShape) {
    // Letters in place of digits, with the check digit the digit rule would give.
    std::string code = "00191455700000110009956850418332600000624818";
    code[20] = 'A';
    BankSlip slip(code);
    EXPECT_FALSE(slip.CheckDigitOk());
    EXPECT_EQ(slip.TypeableFields(SeparatorStyle::Punctuated)[0].size(), 11u);
    EXPECT_EQ(BankSlip(std::string(code).replace(9, 10, "00000x1100")).ValueText(), "R$ N/A");
    EXPECT_EQ(BankSlip(std::string(code).replace(5, 4, "45 7")).DueDateText(kToday), "N/A");
    EXPECT_FALSE(NfeAccessKey(std::string(43, 'x') + "0").CheckDigitOk());
    EXPECT_FALSE(BankSlip(std::string(43, '8') + "\xff").CollectionCheckDigitOk());
}

TEST(MalformedCodes, EmbeddedZeroBytesAreOrdinaryCharacters) {
    std::string code(44, '\0');
    BankSlip slip(code);
    EXPECT_FALSE(slip.IsEmpty());
    EXPECT_FALSE(slip.CheckDigitOk());
    EXPECT_EQ(slip.Barcode().size(), 44u);
    EXPECT_EQ(slip.SummaryText(kToday), code + " digito verificador invalido");
    EXPECT_EQ(NfeAccessKey(code).FormattedKey().size(), 59u);
}

TEST(MalformedCodes, RandomBytesOfEveryLength) {
    std::mt19937 random(20261207);
    for (std::size_t size = 0; size <= 90; ++size) {
        for (int round = 0; round < 20; ++round)
            InterpretEveryWay(RandomBytes(random, size));
    }
    for (int byte = 0; byte < 256; ++byte)
        InterpretEveryWay(std::string(44, static_cast<char>(byte)));
}
