#include "codes/interpretation.h"

#include "codes/bank_slip.h"
#include "codes/nfe_access_key.h"
#include "codes/pix_code.h"

CodeInterpretation InterpretCode(std::string_view code, CodeKind kind, CivilDate reference) {
    FullInterpretation full;
    InterpretCodeFully(code, kind, reference, full);
    return {full.checkDigitsValid, std::string(full.typeable), std::string(full.value),
            std::string(full.dueDate)};
}

std::string IssuerName(std::string_view code, CodeKind kind) {
    if (kind == CodeKind::NfeKey) return {};
    if (kind == CodeKind::Pix) return PixKeyText(ReadPixCode(code));
    BankSlip slip(code);
    if (slip.IsEmpty()) return {};
    return slip.IsBankSlip() ? slip.BankName() : slip.SegmentName();
}

void InterpretCodeFully(std::string_view code, CodeKind kind, CivilDate reference,
                        FullInterpretation& out) {
    if (kind == CodeKind::NfeKey) {
        NfeAccessKey key(code);
        out.checkDigitsValid = key.CheckDigitOk();
        out.typeable = key.FormattedKey();
        out.value = {};
        out.dueDate = {};
        out.issuerName = {};
        out.summary = "NFe ";
        out.summary += code;
        out.summary += ' ';
        out.summary += out.typeable;
        return;
    }
    if (kind == CodeKind::Pix) {
        PixCode pix = ReadPixCode(code);
        out.checkDigitsValid = pix.valid;
        out.typeable = std::string_view(PixListText(pix));
        out.value = std::string_view(PixAmountText(pix.amount));
        out.dueDate = {};
        out.issuerName = std::string_view(PixKeyText(pix));
        out.summary = PixSummary(code, pix);
        return;
    }
    // A code of the wrong length reads as no digits to show and no value.
    BankSlip slip(code);
    SlipReading reading = slip.Read(reference);
    out.checkDigitsValid = reading.checkDigitOk;
    out.typeable = reading.fields.Joined(SeparatorStyle::Punctuated);
    out.value = reading.value.View();
    out.dueDate = reading.dueDate;
    out.issuerName = reading.name;
    out.summary = slip.SummaryOf(reading);
}
