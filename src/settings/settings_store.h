#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The per-user store of named settings: the registry under HKEY_CURRENT_USER on
// Windows, memory elsewhere. Each call opens the key, does one thing and closes it.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // The value as a 32-bit integer, or -1 when the key or value is missing or the value
    // is not a 32-bit number (a stored -1 therefore also reads as missing).
    virtual std::int32_t ReadRegDword(std::string_view keyPath, std::string_view name) = 0;
    // The value as a text, or nothing when the key or value is missing or is not a text.
    virtual std::optional<std::string> ReadRegString(std::string_view keyPath,
                                                     std::string_view name) = 0;
    // Whether the value exists, whatever its type.
    virtual bool RegValueExists(std::string_view keyPath, std::string_view name) = 0;
    // Deletes the value; true when it is gone (or was never there), false when the store
    // refused, with the reason in LastWriteError().
    virtual bool DeleteRegValue(std::string_view keyPath, std::string_view name) = 0;
    // Stores a text (with its terminating NUL); false when the store refused it.
    virtual bool WriteRegString(std::string_view keyPath, std::string_view name,
                                std::string_view text) = 0;
    // Stores a 32-bit number; false when the store refused it.
    virtual bool WriteRegDword(std::string_view keyPath, std::string_view name,
                               std::int32_t value) = 0;
    // The platform's error number of the last refused write or deletion.
    virtual int LastWriteError() const = 0;
};

inline constexpr const char* kSettingsKey = "Software\\Mordale\\Zentory";
inline constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
