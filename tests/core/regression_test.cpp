// Rules that once had nothing guarding them: separator bits one at a time, a broken
// datagram's sequence number, the received-at text.

#include <gtest/gtest.h>

#include <algorithm>

#include "reception/receiver.h"
#include "reception/scan_datagram.h"
#include "settings/memory_settings_store.h"
#include "test_doubles.h"
#include "typing/layouts.h"
#include "typing/typing.h"

namespace {

const char kBank[] = "00191455700000110009956850418332600000624818";
const char kCollection[] = "84620000002311301132632914523029359083800000";

// What reaches the keyboard for a code in the CUSTOM layout with these separator bits,
// through the injector, the typing thread and the key sender.
std::string TypedWithSeparators(const char* code, CodeKind kind, std::int32_t bits) {
    Settings settings;
    settings.injectionMode = ModeCustom;
    MemorySettingsStore store;
    store.WriteRegDword(kSettingsKey, kCustomSeparatorsValue, bits);
    RecordingKeySender sender;
    ThreadedTyper typer(sender, settings);
    KeyboardInjector injector(settings, store, typer);
    injector.TypeCode(code, kind);
    typer.WaitUntilIdle();
    return sender.Typed();
}

}  // namespace

// Bank-slip typeable fields: 0019995687 50418332602 00006248181 1 45570000011000.
TEST(CustomSeparators, EachBankBitAloneGivesOneTabInItsOwnPlace) {
    // Bit 5: after the second half of field 3, i.e. between fields 3 and 4.
    std::string typed = TypedWithSeparators(kBank, CodeKind::BankSlip, 0x20);
    EXPECT_EQ(typed, "00199956875041833260200006248181\t145570000011000");
    EXPECT_EQ(std::count(typed.begin(), typed.end(), '\t'), 1);
    // Bit 0: inside field 1, after its first five digits.
    EXPECT_EQ(TypedWithSeparators(kBank, CodeKind::BankSlip, 0x1),
              "00199\t956875041833260200006248181145570000011000");
    // Bit 6: after field 4, the general check digit.
    EXPECT_EQ(TypedWithSeparators(kBank, CodeKind::BankSlip, 0x40),
              "001999568750418332602000062481811\t45570000011000");
    // A collection-slip bit types no TAB into a bank slip.
    EXPECT_EQ(TypedWithSeparators(kBank, CodeKind::BankSlip, 0x200),
              "00199956875041833260200006248181145570000011000");
}

// Collection-slip blocks: 846200000020 311301132636 291452302933 590838000008.
TEST(CustomSeparators, EachCollectionBitAloneGivesOneTabAfterItsBlock) {
    EXPECT_EQ(TypedWithSeparators(kCollection, CodeKind::CollectionSlip, 0x80),
              "846200000020\t311301132636291452302933590838000008");
    EXPECT_EQ(TypedWithSeparators(kCollection, CodeKind::CollectionSlip, 0x100),
              "846200000020311301132636\t291452302933590838000008");
    EXPECT_EQ(TypedWithSeparators(kCollection, CodeKind::CollectionSlip, 0x200),
              "846200000020311301132636291452302933\t590838000008");
    // A bank-slip bit types no TAB into a collection slip.
    EXPECT_EQ(TypedWithSeparators(kCollection, CodeKind::CollectionSlip, 0x20),
              "846200000020311301132636291452302933590838000008");
}

namespace {

const LocalDateTime kNow{{2026, 1, 2}, 3, 4, 5};

DatagramOutcome Accept(ReceiverState& state, const std::vector<std::uint8_t>& bytes,
                       CodeRecord& record) {
    return AcceptDatagram(state, bytes.data(), bytes.size(), 0x0100007F, kNow, record);
}

std::vector<std::uint8_t> WithBrokenCrc(std::uint32_t sequence) {
    auto bytes = *BuildScanDatagram(kBank, 1, sequence);
    bytes[4] ^= 1;
    return bytes;
}

}  // namespace

TEST(AcceptDatagram, ABrokenDatagramLeavesNoSequenceNumberBehind) {
    ReceiverState state;
    CodeRecord record;
    for (std::uint32_t sequence = 1; sequence <= 6; ++sequence) {
        EXPECT_EQ(Accept(state, WithBrokenCrc(sequence), record), DatagramOutcome::Invalid)
            << sequence;
    }
    // The good ones newest first: the first repeats the number of the last broken one.
    for (std::uint32_t sequence = 6; sequence >= 1; --sequence) {
        EXPECT_EQ(Accept(state, *BuildScanDatagram(kBank, 1, sequence), record),
                  DatagramOutcome::Accepted)
            << sequence;
        EXPECT_EQ(record.sequenceIndex, static_cast<std::int32_t>(7 - sequence));
    }
    // The repeat rule itself still holds for the last good number.
    EXPECT_EQ(Accept(state, *BuildScanDatagram(kBank, 1, 1), record), DatagramOutcome::Repeat);
    EXPECT_EQ(state.sequenceIndex, 6);
}

TEST(ReceivedAt, YearMonthDayWithSlashesAndTwoDigitFields) {
    EXPECT_EQ(FormatReceivedAt(kNow), "2026/01/02 03:04:05");
    EXPECT_EQ(FormatReceivedAt({{2034, 12, 31}, 23, 59, 58}), "2034/12/31 23:59:58");
    // An accepted datagram carries the time it was accepted at in that form.
    ReceiverState state;
    CodeRecord record;
    ASSERT_EQ(Accept(state, *BuildScanDatagram(kBank, 1), record), DatagramOutcome::Accepted);
    EXPECT_EQ(record.receivedAt, "2026/01/02 03:04:05");
}
