// What is left to pay, and which rows the list's filter lets through.

#include "history/payment_run.h"

#include <gtest/gtest.h>

namespace {

CodeRecord Slip(const char* code, const char* value, const char* due, const char* paidAt = "") {
    CodeRecord record;
    record.code = code;
    record.value = value;
    record.dueDate = due;
    record.paidAt = paidAt;
    record.checkDigitsValid = true;
    return record;
}

}  // namespace

TEST(PaymentsLeft, ASlipIsItsCodeAndWrongOrInvoiceRowsAreNotPayments) {
    const CivilDate today{2026, 12, 10};
    PaymentsLeft left;
    EXPECT_EQ(left.StatusText(), "");
    left.Add(Slip("A", "R$ 110,00", "09/12/2026"), today);
    left.Add(Slip("A", "R$ 110,00", "09/12/2026"), today);  // scanned twice: one slip
    left.Add(Slip("B", "R$ 1.250,00", "10/12/2026"), today);
    CodeRecord wrong = Slip("C", "R$ 5,00", "");
    wrong.checkDigitsValid = false;
    left.Add(wrong, today);
    CodeRecord invoice = Slip("D", "", "");
    invoice.kind = CodeKind::NfeKey;
    left.Add(invoice, today);
    EXPECT_EQ(left.StatusText(), "2 a pagar: R$ 1.360,00 (1 vencido)");
    left.Add(Slip("B", "R$ 1.250,00", "10/12/2026", "2026/12/10 09:00:00"), today);
    EXPECT_EQ(left.StatusText(), "1 a pagar: R$ 110,00 (1 vencido)");
    left.Add(Slip("A", "R$ 110,00", "09/12/2026", "2026/12/10 09:01:00"), today);
    EXPECT_EQ(left.StatusText(), "Nada a pagar");
}

TEST(RowFilter, TextsMatchWithoutCaseOrAccentsAndDigitsWithoutMarks) {
    CodeRecord slip =
        Slip("00191455700000110009956850418332600000624818", "R$ 110,00", "19/11/2034");
    slip.typeable = "00199.95687 50418.332602 00006.248181 1 45570000011000";
    RowFilter filter;
    for (const char* text : {"banco do brasil", "BRASIL", "110,00", "19/11", "5041833260"}) {
        filter.text = text;
        EXPECT_TRUE(filter.Matches(slip)) << text;
    }
    CodeRecord pix;
    pix.kind = CodeKind::Pix;
    pix.code =
        "00020126580014br.gov.bcb.pix0136123e4567-e12b-12d1-a456-426655440000520400005303"
        "9865802BR5913Fulano de Tal6008BRASILIA62070503***63041D3D";
    filter.text = "FULANO";  // the receiver
    EXPECT_TRUE(filter.Matches(pix));
    filter.text = "Bras\xCDlia";  // as the box gives it, in Windows-1252
    EXPECT_TRUE(filter.Matches(pix));
    filter.text = "bradesco";
    EXPECT_FALSE(filter.Matches(slip));

    filter.text.clear();
    filter.show = RowFilter::Show::Paid;
    EXPECT_FALSE(filter.Matches(slip));
    slip.paidAt = "2026/12/10 09:00:00";
    EXPECT_TRUE(filter.Matches(slip));
    filter.show = RowFilter::Show::ToPay;
    EXPECT_FALSE(filter.Matches(slip));
}
