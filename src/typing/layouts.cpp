#include "typing/layouts.h"

#include <algorithm>

#include "codes/bank_slip.h"
#include "codes/check_digits.h"
#include "codes/pix_code.h"
#include "util/debug_trace.h"
#include "util/join.h"

namespace {

// The texts in order, with a TAB after text k where bit (firstBit + k) is set.
template <typename Texts>
std::string JoinWithSeparatorBits(const Texts& texts, std::int32_t bits, int firstBit) {
    std::string text;
    for (std::size_t k = 0; k < texts.size(); ++k) {
        text += texts[k];
        bool tab = (static_cast<std::uint32_t>(bits) >> (firstBit + static_cast<int>(k))) & 1u;
        if (k + 1 < texts.size() && tab) text += '\t';
    }
    return text;
}

}  // namespace

std::optional<std::string> InjectionText(std::string_view code, CodeKind kind, std::int32_t mode,
                                         std::int32_t customSeparators) {
    if (mode > ModeOff && (kind == CodeKind::NfeKey || kind == CodeKind::Pix))
        return std::string(code);
    if (mode == ModeRaw) return std::string(code);
    if (mode != ModeTypeable && mode != ModeTypeableTab && mode != ModeCustom) return std::nullopt;

    BankSlip slip(code);
    if (slip.IsEmpty()) return std::nullopt;
    if (slip.IsBankSlip()) {
        switch (mode) {
            case ModeTypeable: return Join(slip.TypeableFields(SeparatorStyle::None), "");
            case ModeTypeableTab: return Join(slip.TypeableFields(SeparatorStyle::Tab), "\t");
            default: return JoinWithSeparatorBits(slip.TypeablePieces(), customSeparators, 0);
        }
    }
    auto blocks = slip.CollectionBlocks(SeparatorStyle::None);
    switch (mode) {
        case ModeTypeable: return Join(blocks, "");
        case ModeTypeableTab: return Join(blocks, "\t");
        default: return JoinWithSeparatorBits(blocks, customSeparators, 7);
    }
}

bool IsSafeToType(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '\t'; });
}

KeyboardInjector::KeyboardInjector(const Settings& heldSettings, SettingsStore& settingsStore,
                                   TextTyper& textTyper)
    : settings(heldSettings), store(settingsStore), typer(textTyper) {}

bool KeyboardInjector::TypeOnArrival(std::string_view code, CodeKind kind) {
    if (settings.typeOnArrival.load(std::memory_order_relaxed) == 0) return false;
    return TypeCode(code, kind);
}

bool KeyboardInjector::TypeCode(std::string_view code, CodeKind kind) {
    std::int32_t mode = settings.injectionMode.load(std::memory_order_relaxed);
    if (mode <= ModeOff) return false;
    // A Pix code that checks holds printable characters alone, never a line end or a
    // control key: it is typed as it is.
    bool pix = kind == CodeKind::Pix;
    if (pix ? !ReadPixCode(code).valid : !IsFullCode(code)) {
        DebugTrace(pix ? "[E] Pix code not typed: it does not check\n"
                       : "[E] Code not typed: it is not 44 digits\n");
        return false;
    }
    std::int32_t separators = mode == ModeCustom ? ReadCustomSeparators(store) : 0;
    std::optional<std::string> text = InjectionText(code, kind, mode, separators);
    if (!text) return false;
    if (!pix && !IsSafeToType(*text)) {  // cannot happen for 44 digits; kept as the last guard
        DebugTrace("[E] Code not typed: unexpected characters\n");
        return false;
    }
    return typer.TypeText(*text);
}
