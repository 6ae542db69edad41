#include "settings/settings.h"

#include <gtest/gtest.h>

#include "settings/memory_settings_store.h"
#include "test_doubles.h"
#include "util/debug_trace.h"

using ValueType = MemorySettingsStore::ValueType;

TEST(LoadSettings, DefaultsWhenNothingIsStored) {
    MemorySettingsStore store;
    Settings settings;
    LoadSettings(store, settings);
    EXPECT_EQ(settings.udpPort, 6666);
    EXPECT_EQ(settings.startMinimized, 0);
    EXPECT_EQ(settings.injectionMode, 1);
    EXPECT_EQ(settings.keyDelay, 0);
    EXPECT_EQ(settings.typingMethod, TypeCharacters);
    EXPECT_EQ(ReadCustomSeparators(store), 0);
}

TEST(LoadSettings, TakesNumbersAndIgnoresWhatIsNotOne) {
    MemorySettingsStore store;
    store.WriteRegDword(kSettingsKey, "UDPport", 7000);
    store.WriteRegDword(kSettingsKey, "StartMinimized", 1);
    store.WriteRegDword(kSettingsKey, "KBDinjection", 7);  // taken unchanged
    store.WriteRaw(kSettingsKey, "KBDkeydelay", ValueType::Dword, std::string(1, '\5'));
    Settings settings;
    LoadSettings(store, settings);
    EXPECT_EQ(settings.udpPort, 7000);
    EXPECT_EQ(settings.startMinimized, 1);
    EXPECT_EQ(settings.injectionMode, 7);
    EXPECT_EQ(settings.keyDelay, 0);  // a one-byte value reads as missing

    MemorySettingsStore odd;
    odd.WriteRegString(kSettingsKey, "UDPport", "7000");
    odd.WriteRegDword(kSettingsKey, "KBDinjection", -1);
    odd.WriteRaw(kSettingsKey, "KBDkeydelay", ValueType::Binary, std::string(4, '\1'));
    Settings fromOdd;
    LoadSettings(odd, fromOdd);
    EXPECT_EQ(fromOdd.udpPort, 6666);
    EXPECT_EQ(fromOdd.injectionMode, 1);
    EXPECT_EQ(fromOdd.keyDelay, 0);

    // The typing method: 0, 1 or 2; anything else types characters. UDP reception and
    // typing on arrival: 0 or 1; anything else leaves them on.
    for (std::int32_t method : {1, 2, 3, -2, 0x101}) {
        MemorySettingsStore methods;
        methods.WriteRegDword(kSettingsKey, "KBDtypingMethod", method);
        methods.WriteRegDword(kSettingsKey, "UDPreceive", method - 1);
        methods.WriteRegDword(kSettingsKey, "TypeOnArrival", method - 1);
        Settings held;
        LoadSettings(methods, held);
        EXPECT_EQ(held.typingMethod, method == 1 || method == 2 ? method : TypeCharacters)
            << method;
        EXPECT_EQ(held.udpReceive, method == 1 ? 0 : 1) << method;
        EXPECT_EQ(held.typeOnArrival, method == 1 ? 0 : 1) << method;
    }

    for (std::int32_t port : {0, -5, 65536, 1 << 20}) {
        MemorySettingsStore ports;
        ports.WriteRegDword(kSettingsKey, "UDPport", port);
        Settings held;
        LoadSettings(ports, held);
        EXPECT_EQ(held.udpPort, 6666) << port;
    }
}

TEST(MemorySettingsStore, OperationsAndResults) {
    MemorySettingsStore store;
    EXPECT_FALSE(store.RegValueExists(kRunKey, "Zentory"));
    EXPECT_TRUE(store.DeleteRegValue(kRunKey, "Zentory"));  // missing: still 1
    EXPECT_TRUE(store.WriteRegString(kRunKey, "Zentory", "\"C:\\Zentory\\zentory.exe\""));
    EXPECT_TRUE(store.RegValueExists(kRunKey, "Zentory"));
    EXPECT_EQ(store.ReadRegDword(kRunKey, "Zentory"), -1);
    EXPECT_EQ(store.ReadString(kRunKey, "Zentory"), "\"C:\\Zentory\\zentory.exe\"");
    store.WriteRegDword(kSettingsKey, "CustomSeparators", 0x20);
    EXPECT_EQ(ReadCustomSeparators(store), 0x20);
}

TEST(DebugTrace, PrefixAndCut) {
    EXPECT_EQ(FormatTraceText(1234, "Port changed to 7000"),
              "[ZENTORY](1234): Port changed to 7000");
    std::string longMessage(1500, 'x');
    std::string text = FormatTraceText(1234, longMessage.c_str());
    EXPECT_EQ(text, "[ZENTORY](1234): " + std::string(1000, 'x'));
    std::string widest = FormatTraceText(4294967295ul, longMessage.c_str());
    EXPECT_LE(widest.size(), 1023u);

    TraceRecorder traces;
    DebugTrace("Received datagram from %s - %d bytes\n", "10.0.0.1", 50);
    EXPECT_EQ(traces.Traces(),
              std::vector<std::string>{"Received datagram from 10.0.0.1 - 50 bytes\n"});
}
