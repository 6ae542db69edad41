#include "codes/code_kind.h"

CodeKind EffectiveKind(int kindByte, std::string_view code) {
    if (kindByte == 3) return CodeKind::NfeKey;
    if (kindByte == kPixKindByte) return CodeKind::Pix;
    if (!code.empty() && code[0] == '8') return CodeKind::CollectionSlip;
    return CodeKind::BankSlip;
}

const char* KindLetter(CodeKind kind) {
    switch (kind) {
        case CodeKind::CollectionSlip: return "C";
        case CodeKind::NfeKey: return "N";
        case CodeKind::Pix: return "P";
        default: return "B";
    }
}
