#include "settings/registry_store_win32.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace {

// A key opened for one operation and closed again.
class OpenKey {
public:
    // Opens an existing key for reading.
    static OpenKey ForReading(std::string_view path) {
        OpenKey key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, std::string(path).c_str(), 0, KEY_QUERY_VALUE,
                          &key.handle) != ERROR_SUCCESS) {
            key.handle = nullptr;
        }
        return key;
    }
    // Opens the key for writing, creating it when it is missing; `status` tells why not.
    static OpenKey ForWriting(std::string_view path, LONG& status) {
        OpenKey key;
        status = RegCreateKeyExA(HKEY_CURRENT_USER, std::string(path).c_str(), 0, nullptr,
                                 REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr,
                                 &key.handle, nullptr);
        if (status != ERROR_SUCCESS) key.handle = nullptr;
        return key;
    }
    OpenKey(OpenKey&& other) noexcept : handle(other.handle) { other.handle = nullptr; }
    ~OpenKey() {
        if (handle) RegCloseKey(handle);
    }
    explicit operator bool() const { return handle != nullptr; }
    HKEY Handle() const { return handle; }

private:
    OpenKey() = default;
    HKEY handle = nullptr;
};

}  // namespace

std::int32_t RegistrySettingsStore::ReadRegDword(std::string_view keyPath, std::string_view name) {
    OpenKey key = OpenKey::ForReading(keyPath);
    if (!key) return -1;
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    // Only a real four-byte number counts: a shorter value would leave the preset
    // bytes in place and read as a wild number, a text as missing or as garbage.
    if (RegQueryValueExA(key.Handle(), std::string(name).c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof data) {
        return -1;
    }
    return static_cast<std::int32_t>(data);
}

std::optional<std::string> RegistrySettingsStore::ReadRegString(std::string_view keyPath,
                                                                std::string_view name) {
    OpenKey key = OpenKey::ForReading(keyPath);
    if (!key) return std::nullopt;
    // Settings texts are short: anything longer is not one of ours.
    char data[4096];
    DWORD type = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExA(key.Handle(), std::string(name).c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::nullopt;
    }
    // The stored bytes need not end with a NUL: take them up to the first one.
    return std::string(data, strnlen(data, size));
}

bool RegistrySettingsStore::RegValueExists(std::string_view keyPath, std::string_view name) {
    OpenKey key = OpenKey::ForReading(keyPath);
    DWORD size = 0;
    return key && RegQueryValueExA(key.Handle(), std::string(name).c_str(), nullptr, nullptr,
                                   nullptr, &size) == ERROR_SUCCESS;
}

bool RegistrySettingsStore::Succeeded(long status) {
    if (status == ERROR_SUCCESS) return true;
    lastWriteError = static_cast<int>(status);
    return false;
}

bool RegistrySettingsStore::DeleteRegValue(std::string_view keyPath, std::string_view name) {
    LONG status;
    OpenKey key = OpenKey::ForWriting(keyPath, status);
    if (!key) return Succeeded(status);
    status = RegDeleteValueA(key.Handle(), std::string(name).c_str());
    // A value that is not there is as good as deleted.
    return status == ERROR_FILE_NOT_FOUND || Succeeded(status);
}

bool RegistrySettingsStore::WriteRegString(std::string_view keyPath, std::string_view name,
                                           std::string_view text) {
    LONG status;
    OpenKey key = OpenKey::ForWriting(keyPath, status);
    if (!key) return Succeeded(status);
    std::string data(text);
    return Succeeded(RegSetValueExA(key.Handle(), std::string(name).c_str(), 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(data.c_str()),
                                    static_cast<DWORD>(data.size() + 1)));
}

bool RegistrySettingsStore::WriteRegDword(std::string_view keyPath, std::string_view name,
                                          std::int32_t value) {
    LONG status;
    OpenKey key = OpenKey::ForWriting(keyPath, status);
    if (!key) return Succeeded(status);
    DWORD data = static_cast<DWORD>(value);
    return Succeeded(RegSetValueExA(key.Handle(), std::string(name).c_str(), 0, REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&data), sizeof data));
}
