#include "settings/settings.h"

#include <algorithm>

void LoadSettings(SettingsStore& store, Settings& settings) {
    auto load = [&](const char* name, std::atomic<std::int32_t>& held, bool isPort = false) {
        std::int32_t value = store.ReadRegDword(kSettingsKey, name);
        if (value == -1 || (isPort && (value < 1 || value > 65535))) return;
        held.store(value, std::memory_order_relaxed);
    };
    load(kUdpPortValue, settings.udpPort, true);
    load(kStartMinimizedValue, settings.startMinimized);
    load(kInjectionModeValue, settings.injectionMode);
    load(kKeyDelayValue, settings.keyDelay);
    load(kJournalValue, settings.journal);
    load(kWarnRepeatsValue, settings.warnRepeats);
}

int KeyPauseMilliseconds(std::int32_t keyDelay) {
    return std::clamp(keyDelay, 0, 1000);
}

std::int32_t ReadCustomSeparators(SettingsStore& store) {
    std::int32_t bits = store.ReadRegDword(kSettingsKey, kCustomSeparatorsValue);
    return bits == -1 ? 0 : bits;
}
