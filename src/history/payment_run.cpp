#include "history/payment_run.h"

#include <array>

#include "codes/bank_slip.h"
#include "codes/due_glance.h"
#include "codes/pix_code.h"
#include "history/selection_total.h"
#include "util/text_encoding.h"

bool IsPayable(const CodeRecord& record) {
    return record.kind != CodeKind::NfeKey && record.checkDigitsValid;
}

bool IsWaitingToBeTyped(const CodeRecord& record) {
    return IsPayable(record) && record.paidAt.empty() && record.typedAt.empty();
}

void PaymentsLeft::Add(const CodeRecord& record, CivilDate today) {
    if (!IsPayable(record)) return;
    Slip& slip = slips[record.code];
    slip.paid = slip.paid || !record.paidAt.empty();
    slip.overdue = StandingOfDueDate(record.dueDate, today) == DueStanding::Overdue;
    slip.centavos = ParseValueCentavos(record.value).value_or(0);
}

std::string PaymentsLeft::StatusText() const {
    if (slips.empty()) return {};
    int count = 0, overdue = 0;
    std::int64_t centavos = 0;
    for (const auto& [code, slip] : slips) {
        if (slip.paid) continue;
        ++count;
        if (slip.overdue) ++overdue;
        centavos = AddCentavos(centavos, slip.centavos);
    }
    if (count == 0) return "Nada a pagar";
    std::string text = std::to_string(count) + " a pagar: " + FormatReais(centavos);
    if (overdue > 0)
        text += " (" + std::to_string(overdue) + (overdue == 1 ? " vencido)" : " vencidos)");
    return text;
}

namespace {

// The bank, the collection slip's segment or the Pix code's receiver, in Windows-1252.
std::string IssuerName(const CodeRecord& record) {
    switch (record.kind) {
        case CodeKind::Pix: return Utf8ToWindows1252(ReadPixCode(record.code).name);
        case CodeKind::NfeKey: return "NF-e";
        default: break;
    }
    BankSlip slip(record.code);
    if (slip.IsBankSlip()) return slip.BankName();
    if (slip.IsCollectionSlip()) return slip.SegmentName();
    return {};
}

// Lower case without accents, for the Windows-1252 letters that Portuguese uses.
std::string Folded(std::string_view text) {
    static constexpr std::array<char, 64> kLatin1 = {
        // À-ß
        'a', 'a', 'a', 'a', 'a', 'a', 'a', 'c', 'e', 'e', 'e', 'e', 'i', 'i', 'i', 'i',  //
        'd', 'n', 'o', 'o', 'o', 'o', 'o', '*', 'o', 'u', 'u', 'u', 'u', 'y', 'p', 's',  //
        // à-ÿ
        'a', 'a', 'a', 'a', 'a', 'a', 'a', 'c', 'e', 'e', 'e', 'e', 'i', 'i', 'i', 'i',  //
        'd', 'n', 'o', 'o', 'o', 'o', 'o', '/', 'o', 'u', 'u', 'u', 'u', 'y', 'p', 'y'};
    std::string folded;
    folded.reserve(text.size());
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 'A' && byte <= 'Z') c = static_cast<char>(byte - 'A' + 'a');
        if (byte >= 0xC0) c = kLatin1[byte - 0xC0];
        folded += c;
    }
    return folded;
}

std::string DigitsOf(std::string_view text) {
    std::string digits;
    for (char c : text)
        if (c >= '0' && c <= '9') digits += c;
    return digits;
}

// A filter of digits and the marks that separate a typeable line's fields (or a value's).
bool IsDigitsWithMarks(std::string_view text) {
    bool digit = false;
    for (char c : text) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c != '.' && c != ' ' && c != '-' && c != ',')
            return false;
    }
    return digit;
}

}  // namespace

std::string PaymentSummary(const CodeRecord& record) {
    std::string summary = IssuerName(record);
    if (record.value.rfind("R$", 0) == 0) summary += (summary.empty() ? "" : " ") + record.value;
    if (!record.dueDate.empty() && record.dueDate.find('/') != std::string::npos)
        summary += (summary.empty() ? "vence " : ", vence ") + record.dueDate;
    return summary;
}

bool RowFilter::Matches(const CodeRecord& record) const {
    if (show == Show::ToPay && (!record.paidAt.empty() || !IsPayable(record))) return false;
    if (show == Show::Paid && record.paidAt.empty()) return false;
    if (text.empty()) return true;
    std::string wanted = Folded(text);
    std::string texts = IssuerName(record) + '\n' + record.value + '\n' + record.dueDate + '\n' +
                        record.typeable + '\n' + Utf8ToWindows1252(record.code);
    if (Folded(texts).find(wanted) != std::string::npos) return true;
    // "23790.12345 60000" finds the line whatever marks the user typed between its digits.
    if (!IsDigitsWithMarks(text)) return false;
    std::string digits = DigitsOf(text);
    return DigitsOf(record.typeable).find(digits) != std::string::npos ||
           DigitsOf(record.code).find(digits) != std::string::npos;
}
