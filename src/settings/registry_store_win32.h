#pragma once

#include "settings/settings_store.h"

// The settings under HKEY_CURRENT_USER in the Windows registry.
class RegistrySettingsStore : public SettingsStore {
public:
    std::int32_t ReadRegDword(std::string_view keyPath, std::string_view name) override;
    std::optional<std::string> ReadRegString(std::string_view keyPath,
                                             std::string_view name) override;
    bool RegValueExists(std::string_view keyPath, std::string_view name) override;
    bool DeleteRegValue(std::string_view keyPath, std::string_view name) override;
    bool WriteRegString(std::string_view keyPath, std::string_view name,
                        std::string_view text) override;
    bool WriteRegDword(std::string_view keyPath, std::string_view name,
                       std::int32_t value) override;
    int LastWriteError() const override { return lastWriteError; }

private:
    // Keeps the error of a refused write; true for ERROR_SUCCESS.
    bool Succeeded(long status);

    int lastWriteError = 0;
};
