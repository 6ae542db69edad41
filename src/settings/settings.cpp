#include "settings/settings.h"

#include <algorithm>
#include <limits>

void LoadSettings(SettingsStore& store, Settings& settings) {
    auto load = [&](const char* name, std::atomic<std::int32_t>& held,
                    std::int32_t lowest = std::numeric_limits<std::int32_t>::min(),
                    std::int32_t highest = std::numeric_limits<std::int32_t>::max()) {
        std::int32_t value = store.ReadRegDword(kSettingsKey, name);
        if (value == -1 || value < lowest || value > highest) return;
        held.store(value, std::memory_order_relaxed);
    };
    load(kUdpPortValue, settings.udpPort, 1, 65535);
    load(kStartMinimizedValue, settings.startMinimized);
    load(kInjectionModeValue, settings.injectionMode);
    load(kKeyDelayValue, settings.keyDelay);
    load(kJournalValue, settings.journal);
    load(kWarnRepeatsValue, settings.warnRepeats);
    load(kTypingMethodValue, settings.typingMethod, TypeCharacters, TypePaste);
    load(kUdpReceiveValue, settings.udpReceive, 0, 1);
    load(kPreferPixValue, settings.preferPix, 0, 1);
    load(kTypeOnArrivalValue, settings.typeOnArrival, 0, 1);
}

int KeyPauseMilliseconds(std::int32_t keyDelay) {
    return std::clamp(keyDelay, 0, 1000);
}

std::int32_t ReadCustomSeparators(SettingsStore& store) {
    std::int32_t bits = store.ReadRegDword(kSettingsKey, kCustomSeparatorsValue);
    return bits == -1 ? 0 : bits;
}
