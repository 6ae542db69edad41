// The registry backend against the real registry of the test's Wine prefix.

#include "settings/registry_store_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

const char kTestKey[] = "Software\\Mordale\\ZentoryTests";

class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey); }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey); }

    // Stores a value of any type and bytes, as another program could.
    void WriteRaw(const char* name, DWORD type, const void* data, DWORD size) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }

    RegistrySettingsStore store;
};

}  // namespace

TEST_F(RegistryStoreTest, MissingKeyAndValues) {
    EXPECT_EQ(store.ReadRegDword(kTestKey, "UDPport"), -1);
    EXPECT_FALSE(store.RegValueExists(kTestKey, "UDPport"));
    // Deleting a value that is not there creates the key and answers 1.
    EXPECT_TRUE(store.DeleteRegValue(kTestKey, "UDPport"));
    EXPECT_FALSE(store.RegValueExists(kTestKey, "UDPport"));
}

TEST_F(RegistryStoreTest, NumbersRoundTripAndCreateTheKey) {
    EXPECT_TRUE(store.WriteRegDword(kTestKey, "UDPport", 7000));
    EXPECT_EQ(store.ReadRegDword(kTestKey, "UDPport"), 7000);
    EXPECT_TRUE(store.WriteRegDword(kTestKey, "CustomSeparators", 0x3FF));
    EXPECT_EQ(store.ReadRegDword(kTestKey, "CustomSeparators"), 0x3FF);
    EXPECT_TRUE(store.WriteRegDword(kTestKey, "KBDkeydelay", -1));
    EXPECT_EQ(store.ReadRegDword(kTestKey, "KBDkeydelay"), -1);  // reads as missing
    EXPECT_TRUE(store.DeleteRegValue(kTestKey, "UDPport"));
    EXPECT_EQ(store.ReadRegDword(kTestKey, "UDPport"), -1);
}

TEST_F(RegistryStoreTest, ValuesThatAreNotFourByteNumbersReadAsMissing) {
    const BYTE five = 5;
    WriteRaw("KBDkeydelay", REG_DWORD, &five, 1);
    EXPECT_EQ(store.ReadRegDword(kTestKey, "KBDkeydelay"), -1);
    WriteRaw("UDPport", REG_SZ, "7000", 5);
    EXPECT_EQ(store.ReadRegDword(kTestKey, "UDPport"), -1);
    const DWORD number = 7;
    WriteRaw("KBDinjection", REG_BINARY, &number, 4);
    EXPECT_EQ(store.ReadRegDword(kTestKey, "KBDinjection"), -1);
    const unsigned long long wide = 9;
    WriteRaw("StartMinimized", REG_QWORD, &wide, 8);
    EXPECT_EQ(store.ReadRegDword(kTestKey, "StartMinimized"), -1);
    EXPECT_TRUE(store.RegValueExists(kTestKey, "StartMinimized"));
}

TEST_F(RegistryStoreTest, StringsAreStoredWithTheirTerminator) {
    const std::string path = "\"C:\\Program Files\\Zentory\\zentory.exe\"";
    EXPECT_TRUE(store.WriteRegString(kTestKey, "Zentory", path));
    EXPECT_TRUE(store.RegValueExists(kTestKey, "Zentory"));
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    char data[256] = {};
    DWORD type = 0, size = sizeof data;
    ASSERT_EQ(
        RegQueryValueExA(key, "Zentory", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
        ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, path.size() + 1);
    EXPECT_EQ(std::string(data), path);
}

TEST_F(RegistryStoreTest, RefusedWritesAreReportedWithTheirError) {
    // The registry refuses a value name longer than it allows and a key name longer than
    // it allows: each write reports false with the registry's error, and nothing is stored.
    std::string longValueName(20000, 'v');
    EXPECT_FALSE(store.WriteRegDword(kTestKey, longValueName, 1));
    EXPECT_NE(store.LastWriteError(), 0);
    EXPECT_FALSE(store.WriteRegString(kTestKey, longValueName, "text"));
    EXPECT_NE(store.LastWriteError(), 0);

    std::string longKey = std::string(kTestKey) + "\\" + std::string(600, 'k');
    EXPECT_FALSE(store.WriteRegDword(longKey, "UDPport", 1));
    EXPECT_FALSE(store.DeleteRegValue(longKey, "UDPport"));
    EXPECT_NE(store.LastWriteError(), 0);
    EXPECT_TRUE(store.WriteRegDword(kTestKey, "UDPport", 6666));
}

TEST_F(RegistryStoreTest, TextsReadOnlyFromStringValues) {
    EXPECT_FALSE(store.ReadRegString(kTestKey, "AllowedSenders"));
    ASSERT_TRUE(store.WriteRegString(kTestKey, "AllowedSenders", "10.0.0.1, 203.0.113.0/24"));
    EXPECT_EQ(store.ReadRegString(kTestKey, "AllowedSenders"), "10.0.0.1, 203.0.113.0/24");
    DWORD number = 5;
    WriteRaw("Number", REG_DWORD, &number, sizeof number);
    EXPECT_FALSE(store.ReadRegString(kTestKey, "Number"));
    // Written by another program without its terminating NUL, or far too long.
    WriteRaw("Unterminated", REG_SZ, "10.0.0.1", 8);
    EXPECT_EQ(store.ReadRegString(kTestKey, "Unterminated"), "10.0.0.1");
    std::string huge(10000, '1');
    WriteRaw("Huge", REG_SZ, huge.c_str(), static_cast<DWORD>(huge.size() + 1));
    EXPECT_FALSE(store.ReadRegString(kTestKey, "Huge"));
}
