#pragma once

#include <atomic>
#include <cstdint>

#include "settings/settings_store.h"

// The settings the program holds while it runs. Only the main thread changes them; the
// receiver and typing threads read them without a lock, one whole 32-bit value at a time.
struct Settings {
    std::atomic<std::int32_t> udpPort{6666};
    std::atomic<std::int32_t> startMinimized{0};
    std::atomic<std::int32_t> injectionMode{1};  // an InjectionMode
    std::atomic<std::int32_t> keyDelay{0};       // milliseconds after each typed character
    std::atomic<std::int32_t> journal{1};        // 0: no journal file
    std::atomic<std::int32_t> warnRepeats{1};    // 0: no balloon for a code seen before
    std::atomic<std::int32_t> typingMethod{0};   // a TypingMethod
    std::atomic<std::int32_t> udpReceive{1};     // 0: no UDP socket, the phone page only
    std::atomic<std::int32_t> preferPix{0};      // 1: the page sends a slip's Pix QR code instead
    std::atomic<std::int32_t> typeOnArrival{1};  // 0: scans are only kept, typed when asked
};

// How typed characters reach the focused window.
enum TypingMethod : std::int32_t {
    TypeCharacters = 0,  // Unicode character events
    TypeKeys = 1,        // digits and TAB as the layout's keys, for programs that read key codes
    TypePaste = 2,       // each field pasted from the clipboard, TAB keys between them
};

// Registry value names.
inline constexpr const char* kUdpPortValue = "UDPport";
inline constexpr const char* kStartMinimizedValue = "StartMinimized";
inline constexpr const char* kInjectionModeValue = "KBDinjection";
inline constexpr const char* kKeyDelayValue = "KBDkeydelay";
inline constexpr const char* kCustomSeparatorsValue = "CustomSeparators";
inline constexpr const char* kLogonEntryValue = "Zentory";
inline constexpr const char* kJournalValue = "Journal";
inline constexpr const char* kWarnRepeatsValue = "WarnRepeats";
inline constexpr const char* kTypingMethodValue = "KBDtypingMethod";
inline constexpr const char* kUdpReceiveValue = "UDPreceive";
inline constexpr const char* kPreferPixValue = "PreferPix";
inline constexpr const char* kTypeOnArrivalValue = "TypeOnArrival";
// 1: the connect window's QR code holds the page's secure address (the user's phones
// trust this PC); read and written by that window alone.
inline constexpr const char* kPageQrSecureValue = "PageQrSecure";

// Reads "UDPport", "StartMinimized", "KBDinjection", "KBDkeydelay", "Journal",
// "WarnRepeats", "KBDtypingMethod", "UDPreceive", "PreferPix" and "TypeOnArrival", in this
// order; a value that is missing (or, for the port, outside 1-65535, for the typing method,
// not a TypingMethod, for UDP reception, the Pix preference and typing on arrival, neither 0
// nor 1) leaves the held one.
void LoadSettings(SettingsStore& store, Settings& settings);

// The pause after a typed character for a held key delay: none below 0, at most a second.
int KeyPauseMilliseconds(std::int32_t keyDelay);

// "CustomSeparators" as read now: no bit set when the value is missing.
std::int32_t ReadCustomSeparators(SettingsStore& store);
