#include "codes/interpretation.h"

#include "codes/bank_slip.h"
#include "codes/nfe_access_key.h"

namespace {

void AssignNfeSummary(std::string& out, std::string_view code, const NfeAccessKey& key) {
    out = "NFe ";
    out += code;
    out += ' ';
    out += key.FormattedKey();
}

}  // namespace

CodeInterpretation InterpretCode(std::string_view code, CodeKind kind, CivilDate reference) {
    CodeInterpretation result;
    if (kind == CodeKind::NfeKey) {
        NfeAccessKey key(code);
        result.checkDigitsValid = key.CheckDigitOk();
        result.typeable = key.FormattedKey();
        return result;
    }
    // A code of the wrong length reads as no digits to show and no value.
    SlipReading reading = BankSlip(code).Read(reference);
    result.checkDigitsValid = reading.checkDigitOk;
    result.typeable = reading.fields.Joined(SeparatorStyle::Punctuated);
    result.value = reading.value;
    result.dueDate = reading.dueDate;
    return result;
}

std::string IssuerName(std::string_view code, CodeKind kind) {
    if (kind == CodeKind::NfeKey) return {};
    BankSlip slip(code);
    if (slip.IsEmpty()) return {};
    return slip.IsBankSlip() ? slip.BankName() : slip.SegmentName();
}

std::string SummaryLine(std::string_view code, CodeKind kind, CivilDate reference) {
    if (kind != CodeKind::NfeKey) return BankSlip(code).SummaryText(reference);
    std::string line;
    AssignNfeSummary(line, code, NfeAccessKey(code));
    return line;
}

void InterpretCodeFully(std::string_view code, CodeKind kind, CivilDate reference,
                        FullInterpretation& out) {
    if (kind == CodeKind::NfeKey) {
        NfeAccessKey key(code);
        out.checkDigitsValid = key.CheckDigitOk();
        out.typeable = std::string_view(key.FormattedKey());
        out.value = {};
        out.dueDate = {};
        out.issuerName = {};
        AssignNfeSummary(out.summary, code, key);
        return;
    }
    BankSlip slip(code);
    SlipReading reading = slip.Read(reference);
    out.checkDigitsValid = reading.checkDigitOk;
    out.typeable = reading.fields.Joined(SeparatorStyle::Punctuated);
    out.value = reading.value;
    out.dueDate = reading.dueDate;
    out.issuerName = reading.name;
    out.summary = slip.SummaryOf(reading);
}
