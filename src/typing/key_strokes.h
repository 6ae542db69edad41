#pragma once

#include <cstdint>
#include <vector>

// Virtual keys of the modifiers, as Windows numbers them.
inline constexpr std::uint8_t kVkShift = 0x10;
inline constexpr std::uint8_t kVkControl = 0x11;
inline constexpr std::uint8_t kVkMenu = 0x12;  // Alt

// One key event of a typed character.
struct KeyStroke {
    std::uint8_t virtualKey;
    bool release;
    bool operator==(const KeyStroke&) const = default;
};

// The key events that type one character on a keyboard layout, from the layout's answer
// for it (VkKeyScanEx: the virtual key in the low byte, 1 Shift, 2 Ctrl and 4 Alt in the
// high byte): the modifiers pressed, the key pressed and released, the modifiers released
// in reverse order. Empty when the layout has no key for the character (-1) or asks for a
// state that no modifier key gives.
std::vector<KeyStroke> KeyStrokesFor(std::int16_t layoutKey);
