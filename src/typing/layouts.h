#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "codes/code_kind.h"
#include "settings/settings.h"
#include "settings/settings_store.h"
#include "typing/typing.h"

// What keyboard injection types for a received code.
enum InjectionMode : std::int32_t {
    ModeOff = 0,          // nothing
    ModeTypeable = 1,     // the typeable line, digits only
    ModeRaw = 2,          // the code as received
    ModeTypeableTab = 3,  // the typeable line with a TAB inside and between its fields
    ModeCustom = 4,       // the typeable line with a TAB where "CustomSeparators" asks
};

// "CustomSeparators": bits 0-6 put a TAB after bank-slip pieces 1-7, bits 7-9 after
// collection-slip blocks 1-3. Higher bits are ignored.
inline constexpr std::int32_t kBankSeparatorBits = 0x7F;
inline constexpr std::int32_t kCollectionSeparatorBits = 0x380;

// The text that a mode types for a code, or nothing when the mode types nothing for it.
// NF-e keys and Pix codes are typed as received in every mode that types; for slips the
// layout follows the code's first digit. A code that is not 44 characters long gives no slip text.
std::optional<std::string> InjectionText(std::string_view code, CodeKind kind, std::int32_t mode,
                                         std::int32_t customSeparators);

// True for a text that may be typed into the user's window: the digits 0-9 and TABs.
bool IsSafeToType(std::string_view text);

// The entry of keyboard injection for the receiver and the hot key.
class KeyboardInjector {
public:
    KeyboardInjector(const Settings& settings, SettingsStore& store, TextTyper& typer);

    // Builds the text of the held mode and starts typing it. Only a code of 44 ASCII
    // digits is ever typed, or a Pix code whose CRC holds: anything else on the network
    // must not be able to type Enter or control keys into the user's window. True when
    // typing started.
    bool TypeCode(std::string_view code, CodeKind kind);
    // A code that has just arrived: typed as TypeCode does, unless "TypeOnArrival" is off,
    // when it is only kept until the user asks. True when typing started.
    bool TypeOnArrival(std::string_view code, CodeKind kind);

private:
    const Settings& settings;
    SettingsStore& store;
    TextTyper& typer;
};
