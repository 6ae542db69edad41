#include "history/selection_total.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "codes/interpretation.h"

namespace {

CodeRecord Interpreted(const char* code, CodeKind kind) {
    CodeRecord record;
    record.kind = kind;
    record.value = InterpretCode(code, kind, {2026, 12, 7}).value;
    return record;
}

CodeRecord WithValue(const char* value, CodeKind kind = CodeKind::BankSlip) {
    CodeRecord record;
    record.kind = kind;
    record.value = value;
    return record;
}

}  // namespace

TEST(SelectionTotal, ReadsValuesWithAndWithoutThousandsMarks) {
    EXPECT_EQ(ParseValueCentavos("R$ 99999999,99"), 9999999999);  // the program's own texts
    EXPECT_EQ(ParseValueCentavos("R$ 0,07"), 7);
    EXPECT_EQ(ParseValueCentavos("R$ 1.234,56"), 123456);
    EXPECT_EQ(ParseValueCentavos("R$ 12.345.678,90"), 1234567890);
    EXPECT_EQ(ParseValueCentavos("R$ 9999999999999,99"), 999999999999999);
    for (const char* bad :
         {"", "R$ N/A", "R$ ", "R$ ,50", "R$ 1,5", "R$ 1,500", "R$ 1.50", "110,00", "R$110,00",
          "R$ -1,00", "R$ 1,00 ", "R$ 1.23,45", "R$ 1234.567,00", "R$ 1..234,00", "R$ .234,00",
          "R$ 1.2345,00", "R$ 1,,00", "R$ 10000000000000,00"}) {
        EXPECT_FALSE(ParseValueCentavos(bad).has_value()) << bad;
    }
}

TEST(SelectionTotal, FormatsWithThousandsAndCentavos) {
    EXPECT_EQ(FormatReais(0), "R$ 0,00");
    EXPECT_EQ(FormatReais(7), "R$ 0,07");
    EXPECT_EQ(FormatReais(99999), "R$ 999,99");
    EXPECT_EQ(FormatReais(100000), "R$ 1.000,00");
    EXPECT_EQ(FormatReais(std::numeric_limits<std::int64_t>::max()),
              "R$ 92.233.720.368.547.758,07");
    for (std::int64_t centavos = 1; centavos < 1000000000000000; centavos = centavos * 7 + 3)
        EXPECT_EQ(ParseValueCentavos(FormatReais(centavos)), centavos) << centavos;
}

TEST(SelectionTotal, MixedKindsCountEveryRowAndAddOnlySlipValues) {
    SelectionTotal total;
    total.Add(Interpreted("00191455700000110009956850418332600000624818", CodeKind::BankSlip));
    EXPECT_EQ(total.StatusText(), "") << "one row shows its own value";
    total.Add(
        Interpreted("84620000002311301132632914523029359083800000", CodeKind::CollectionSlip));
    EXPECT_EQ(total.StatusText(), "2 selecionados: R$ 341,13");
    total.Add(Interpreted("12345678901234567890123456789012345678901235", CodeKind::NfeKey));
    total.Add(WithValue("R$ 500,00", CodeKind::NfeKey));  // a key adds nothing, whatever it says
    total.Add(WithValue("R$ N/A"));
    total.Add(WithValue("R$ 12,3"));
    total.Add(WithValue("R$ 1.000,00", CodeKind::CollectionSlip));
    EXPECT_EQ(total.StatusText(), "7 selecionados: R$ 1.341,13");
}

TEST(SelectionTotal, LargeTotals) {
    SelectionTotal full;  // a whole history of the largest bank-slip value
    for (int i = 0; i < 500; ++i)
        full.Add(WithValue("R$ 99999999,99"));
    EXPECT_EQ(full.StatusText(), "500 selecionados: R$ 49.999.999.995,00");
    SelectionTotal huge;  // far beyond any history: stops at the largest amount
    for (int i = 0; i < 10000; ++i)
        huge.Add(WithValue("R$ 9.999.999.999.999,99"));
    EXPECT_EQ(huge.Centavos(), std::numeric_limits<std::int64_t>::max());
}
