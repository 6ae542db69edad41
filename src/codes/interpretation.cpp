#include "codes/interpretation.h"

#include "codes/bank_slip.h"
#include "codes/nfe_access_key.h"
#include "util/join.h"

CodeInterpretation InterpretCode(std::string_view code, CodeKind kind, CivilDate reference) {
    CodeInterpretation result;
    if (kind == CodeKind::NfeKey) {
        NfeAccessKey key(code);
        result.checkDigitsValid = key.CheckDigitOk();
        result.typeable = key.FormattedKey();
        return result;
    }
    BankSlip slip(code);
    if (slip.IsBankSlip()) {
        result.checkDigitsValid = slip.CheckDigitOk();
        result.typeable = Join(slip.TypeableFields(SeparatorStyle::Punctuated), " ");
        result.value = slip.ValueText();
        result.dueDate = slip.DueDateText(reference);
    } else {
        // A code of the wrong length lands here too: no digits to show, no value.
        result.checkDigitsValid = slip.CollectionCheckDigitOk();
        if (!slip.IsEmpty()) {
            result.typeable = Join(slip.CollectionBlocks(SeparatorStyle::Punctuated), " ");
        }
        result.value = slip.CollectionValueText();
    }
    return result;
}

std::string IssuerName(std::string_view code, CodeKind kind) {
    if (kind == CodeKind::NfeKey) return {};
    BankSlip slip(code);
    if (slip.IsEmpty()) return {};
    return slip.IsBankSlip() ? slip.BankName() : slip.SegmentName();
}
