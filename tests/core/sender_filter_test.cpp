#include "reception/sender_filter.h"

#include <gtest/gtest.h>

#include "reception/receiver.h"
#include "reception/scan_datagram.h"
#include "settings/memory_settings_store.h"

namespace {

std::uint32_t Address(const char* dotted) {
    std::uint32_t address = 0;
    EXPECT_TRUE(ParseIPv4(dotted, address)) << dotted;
    return address;
}

SenderFilter Listed(const char* list) {
    std::vector<AddressBlock> blocks;
    std::string bad;
    EXPECT_TRUE(ParseAddressList(list, blocks, bad)) << bad;
    return SenderFilter(SenderFilterMode::ListedAddresses, blocks);
}

}  // namespace

TEST(AddressList, SeparatorsBlocksAndTheHostPartOfABlock) {
    std::vector<AddressBlock> blocks;
    std::string bad;
    ASSERT_TRUE(
        ParseAddressList(" 192.168.0.10,10.1.2.3/16;;\t203.0.113.0/24 0.0.0.0/0 ", blocks, bad));
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(blocks[0], (AddressBlock{0xC0A8000A, 0xFFFFFFFF}));
    EXPECT_EQ(blocks[1], (AddressBlock{0x0A010000, 0xFFFF0000}));  // the block that holds it
    EXPECT_EQ(blocks[2], (AddressBlock{0xCB007100, 0xFFFFFF00}));
    EXPECT_EQ(blocks[3], (AddressBlock{0, 0}));
    EXPECT_TRUE(ParseAddressList("", blocks, bad));
    EXPECT_TRUE(blocks.empty());
}

TEST(AddressList, MalformedEntriesAreNamed) {
    for (const char* entry : {"256.1.1.1", "1.2.3", "1.2.3.4.5", "1.2.3.4/33", "1.2.3.4/", "/8",
                              "01.2.3.4", "1.2.3.4/08", "a.b.c.d", "-1.2.3.4", "1.2.3.4/8x",
                              "1..2.3", "1.2.3.4:6666", "::1", "192.168.0.1000"}) {
        std::vector<AddressBlock> blocks;
        std::string bad;
        std::string list = std::string("10.0.0.1, ") + entry + " 10.0.0.2";
        EXPECT_FALSE(ParseAddressList(list, blocks, bad)) << entry;
        EXPECT_EQ(bad, entry);
        EXPECT_EQ(blocks.size(), 1u) << entry;  // what came before it
    }
}

TEST(SenderFilter, PrivateNetworksAtTheirEdges) {
    for (const char* inside : {"10.0.0.0", "10.255.255.255", "172.16.0.0", "172.31.255.255",
                               "192.168.0.1", "169.254.10.20", "127.0.0.1", "127.5.6.7"}) {
        EXPECT_TRUE(IsPrivateNetworkAddress(Address(inside))) << inside;
    }
    for (const char* outside :
         {"9.255.255.255", "11.0.0.0", "172.15.255.255", "172.32.0.0", "192.167.255.255",
          "192.169.0.0", "169.253.0.1", "203.0.113.2", "8.8.8.8", "0.0.0.0", "255.255.255.255"}) {
        EXPECT_FALSE(IsPrivateNetworkAddress(Address(outside))) << outside;
    }
}

TEST(SenderFilter, EachModeAndLoopbackAlways) {
    const std::uint32_t stranger = Address("203.0.113.2");
    const std::uint32_t colleague = Address("192.168.1.5");
    const std::uint32_t loopback = Address("127.0.0.1");

    SenderFilter byDefault;
    EXPECT_EQ(byDefault.Mode(), SenderFilterMode::PrivateNetworks);
    EXPECT_FALSE(byDefault.Allows(stranger));
    EXPECT_TRUE(byDefault.Allows(colleague));

    SenderFilter any(SenderFilterMode::AnyAddress, {});
    EXPECT_TRUE(any.Allows(stranger));

    SenderFilter listed = Listed("203.0.113.0/24");
    EXPECT_TRUE(listed.Allows(stranger));
    EXPECT_FALSE(listed.Allows(colleague));
    EXPECT_TRUE(listed.Allows(loopback));
    EXPECT_FALSE(Listed("203.0.113.3").Allows(stranger));
    EXPECT_TRUE(Listed("").Allows(loopback));  // an empty list still lets F9 through

    EXPECT_EQ(SenderFilterModeOf(0), SenderFilterMode::AnyAddress);
    EXPECT_EQ(SenderFilterModeOf(2), SenderFilterMode::ListedAddresses);
    for (std::int32_t stored : {-1, 1, 3, 0x7FFFFFFF})
        EXPECT_EQ(SenderFilterModeOf(stored), SenderFilterMode::PrivateNetworks) << stored;
}

TEST(TakeDatagram, ARefusedSenderIsNeitherStoredNorRemembered) {
    SenderGate gate;
    ReceiverState state;
    CodeRecord record;
    LocalDateTime now{{2026, 12, 7}, 9, 5, 3};
    auto datagram = *BuildScanDatagram("00191455700000110009956850418332600000624818", 1, 77);
    const std::uint32_t stranger = Address("203.0.113.2");
    bool first = false;

    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(TakeDatagram(state, &gate, datagram.data(), datagram.size(), stranger, now,
                               record, first),
                  DatagramOutcome::Refused);
        EXPECT_EQ(first, i == 0);  // one balloon per address
    }
    EXPECT_EQ(state.lastSequence, 0u);
    EXPECT_EQ(state.sequenceIndex, 0);
    EXPECT_EQ(gate.Seen().refusals, 3u);
    EXPECT_EQ(gate.Seen().lastSender, 0u);
    bool otherFirst = false;
    gate.Admit(Address("198.51.100.9"), otherFirst);
    EXPECT_TRUE(otherFirst);

    // The same sequence number from this computer: not a repeat, since nothing was taken.
    EXPECT_EQ(TakeDatagram(state, &gate, datagram.data(), datagram.size(), Address("127.0.0.1"),
                           now, record, first),
              DatagramOutcome::Accepted);
    EXPECT_FALSE(first);
    EXPECT_EQ(record.sequenceIndex, 1);
    EXPECT_EQ(gate.Seen().lastSender, Address("127.0.0.1"));
    EXPECT_EQ(gate.Seen().lastReceivedAt, "2026/12/07 09:05:03");

    // A change of filter takes effect at the next datagram.
    gate.SetFilter(SenderFilter(SenderFilterMode::AnyAddress, {}));
    auto next = *BuildScanDatagram("00191455700000110009956850418332600000624818", 1, 78);
    EXPECT_EQ(TakeDatagram(state, &gate, next.data(), next.size(), stranger, now, record, first),
              DatagramOutcome::Accepted);
}

TEST(SenderGate, ForgedSendersCannotGrowItsMemory) {
    SenderGate gate;
    int firsts = 0;
    for (std::uint32_t i = 0; i < 3 * SenderGate::kRememberedSenders; ++i) {
        bool first = false;
        gate.Admit(0xCBu | (i << 8), first);  // 203.0.0.0 and on (network order)
        firsts += first;
    }
    EXPECT_EQ(firsts, static_cast<int>(SenderGate::kRememberedSenders));
    EXPECT_EQ(gate.Seen().refusals, 3 * SenderGate::kRememberedSenders);
}

TEST(ReadSenderFilter, StoredValuesAndWhatOtherProgramsMightLeave) {
    MemorySettingsStore store;
    EXPECT_EQ(ReadSenderFilter(store).Mode(), SenderFilterMode::PrivateNetworks);
    store.WriteRegDword(kSettingsKey, "SenderFilter", 2);
    store.WriteRegString(kSettingsKey, "AllowedSenders", "203.0.113.7; nonsense 198.51.100.0/24");
    SenderFilter filter = ReadSenderFilter(store);
    EXPECT_EQ(filter.Mode(), SenderFilterMode::ListedAddresses);
    EXPECT_TRUE(filter.Allows(Address("203.0.113.7")));
    EXPECT_TRUE(filter.Allows(Address("198.51.100.200")));  // the bad entry drops alone
    EXPECT_FALSE(filter.Allows(Address("192.168.0.2")));
    store.WriteRaw(kSettingsKey, "SenderFilter", MemorySettingsStore::ValueType::String, "0");
    EXPECT_EQ(ReadSenderFilter(store).Mode(), SenderFilterMode::PrivateNetworks);
}
