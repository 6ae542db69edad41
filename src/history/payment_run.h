#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "history/code_record.h"
#include "util/civil_date.h"

// The payment run over the history list: which rows are still to pay, what they add up to,
// which one Ctrl+Alt+N types next, and which rows the list's filter lets through.

// A slip or a Pix code whose check digits (or CRC) hold: something that can be paid, and
// that Ctrl+Alt+N may type. An invoice key is never paid.
bool IsPayable(const CodeRecord& record);
// Neither paid nor typed yet: the next key's candidates, among the payable rows. A code
// that another row shows paid or typed is not waiting either (see CodesDone).
bool IsWaitingToBeTyped(const CodeRecord& record);

// The payable slips not marked paid: how many, their values added up, and how many of them
// are past their due date. A slip is its code: scanned twice, it is paid once, and a paid
// mark on either row pays it.
class PaymentsLeft {
public:
    void Add(const CodeRecord& record, CivilDate today);
    // "12 a pagar: R$ 3.456,78 (2 vencidos)", "1 a pagar: R$ 110,00", or "Nada a pagar"
    // once every payable slip is paid; empty when the list has nothing payable.
    std::string StatusText() const;

private:
    struct Slip {
        bool paid = false;
        bool overdue = false;
        std::int64_t centavos = 0;
    };
    std::map<std::string, Slip> slips;
};

// "BANCO DO BRASIL R$ 110,00, vence 10/12/2026": the issuer (a bank, a collection slip's
// segment, a Pix code's receiver), the value and the due date, those that the record has.
// Windows-1252, as the status bar shows it.
std::string PaymentSummary(const CodeRecord& record);

// What the list shows: rows whose texts hold `text` (case and accents aside; digits also
// match a typeable line written with its dots and spaces), of the chosen state.
struct RowFilter {
    enum class Show { All, ToPay, Paid };
    std::string text;  // Windows-1252, as the filter box gives it
    Show show = Show::All;

    bool IsEmpty() const { return text.empty() && show == Show::All; }
    bool Matches(const CodeRecord& record) const;
};
