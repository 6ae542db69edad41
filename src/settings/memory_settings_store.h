#pragma once

#include <map>
#include <mutex>
#include <string>

#include "settings/settings_store.h"

// Settings kept in memory for the life of the object, with the registry's rules: a
// number reads only when it was stored as a four-byte number.
class MemorySettingsStore : public SettingsStore {
public:
    enum class ValueType { Dword, String, Binary };

    std::int32_t ReadRegDword(std::string_view keyPath, std::string_view name) override;
    std::optional<std::string> ReadRegString(std::string_view keyPath,
                                             std::string_view name) override;
    bool RegValueExists(std::string_view keyPath, std::string_view name) override;
    bool DeleteRegValue(std::string_view keyPath, std::string_view name) override;
    bool WriteRegString(std::string_view keyPath, std::string_view name,
                        std::string_view text) override;
    bool WriteRegDword(std::string_view keyPath, std::string_view name,
                       std::int32_t value) override;
    int LastWriteError() const override { return refusal; }

    // From now on refuses every write and deletion with this error number, as a
    // registry that denies access would (0 accepts them again).
    void RefuseWrites(int error) { refusal = error; }

    // Stores any bytes with any type, as another program could.
    void WriteRaw(std::string_view keyPath, std::string_view name, ValueType type,
                  std::string bytes);
    // The stored text of a string value, or nothing.
    std::string ReadString(std::string_view keyPath, std::string_view name);

private:
    struct Value {
        ValueType type;
        std::string bytes;
    };
    static std::string Key(std::string_view keyPath, std::string_view name);

    std::mutex mutex;
    std::map<std::string, Value> values;
    int refusal = 0;
};
