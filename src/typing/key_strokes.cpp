#include "typing/key_strokes.h"

std::vector<KeyStroke> KeyStrokesFor(std::int16_t layoutKey) {
    auto bits = static_cast<std::uint16_t>(layoutKey);
    auto virtualKey = static_cast<std::uint8_t>(bits & 0xFF);
    unsigned state = bits >> 8;
    // Bit 3 (Hankaku) and above belong to particular layouts; -1 sets them too.
    if (state & ~7u || virtualKey == 0 || virtualKey == 0xFF) return {};

    std::vector<std::uint8_t> modifiers;
    if (state & 1u) modifiers.push_back(kVkShift);
    if (state & 2u) modifiers.push_back(kVkControl);
    if (state & 4u) modifiers.push_back(kVkMenu);

    std::vector<KeyStroke> strokes;
    for (std::uint8_t modifier : modifiers)
        strokes.push_back({modifier, false});
    strokes.push_back({virtualKey, false});
    strokes.push_back({virtualKey, true});
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
        strokes.push_back({*it, true});
    return strokes;
}
