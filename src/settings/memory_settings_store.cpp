#include "settings/memory_settings_store.h"

#include <cstring>

std::string MemorySettingsStore::Key(std::string_view keyPath, std::string_view name) {
    std::string key(keyPath);
    key += '\n';  // cannot stand in a key path
    key += name;
    return key;
}

std::int32_t MemorySettingsStore::ReadRegDword(std::string_view keyPath, std::string_view name) {
    std::lock_guard lock(mutex);
    auto value = values.find(Key(keyPath, name));
    if (value == values.end() || value->second.type != ValueType::Dword ||
        value->second.bytes.size() != 4) {
        return -1;
    }
    unsigned char bytes[4];
    std::memcpy(bytes, value->second.bytes.data(), 4);  // little-endian, as the registry keeps it
    return static_cast<std::int32_t>(std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) |
                                     (std::uint32_t{bytes[2]} << 16) |
                                     (std::uint32_t{bytes[3]} << 24));
}

bool MemorySettingsStore::RegValueExists(std::string_view keyPath, std::string_view name) {
    std::lock_guard lock(mutex);
    return values.count(Key(keyPath, name)) != 0;
}

bool MemorySettingsStore::DeleteRegValue(std::string_view keyPath, std::string_view name) {
    if (refusal != 0) return false;
    std::lock_guard lock(mutex);
    values.erase(Key(keyPath, name));
    return true;
}

bool MemorySettingsStore::WriteRegString(std::string_view keyPath, std::string_view name,
                                         std::string_view text) {
    if (refusal != 0) return false;
    std::string bytes(text);
    bytes += '\0';
    WriteRaw(keyPath, name, ValueType::String, std::move(bytes));
    return true;
}

bool MemorySettingsStore::WriteRegDword(std::string_view keyPath, std::string_view name,
                                        std::int32_t value) {
    if (refusal != 0) return false;
    std::uint32_t bits = static_cast<std::uint32_t>(value);
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>(bits >> (8 * i));
    WriteRaw(keyPath, name, ValueType::Dword, std::move(bytes));
    return true;
}

void MemorySettingsStore::WriteRaw(std::string_view keyPath, std::string_view name, ValueType type,
                                   std::string bytes) {
    std::lock_guard lock(mutex);
    values[Key(keyPath, name)] = Value{type, std::move(bytes)};
}

std::optional<std::string> MemorySettingsStore::ReadRegString(std::string_view keyPath,
                                                              std::string_view name) {
    std::lock_guard lock(mutex);
    auto value = values.find(Key(keyPath, name));
    if (value == values.end() || value->second.type != ValueType::String) return std::nullopt;
    return std::string(value->second.bytes.c_str());  // up to the first NUL, as stored
}

std::string MemorySettingsStore::ReadString(std::string_view keyPath, std::string_view name) {
    return ReadRegString(keyPath, name).value_or("");
}
