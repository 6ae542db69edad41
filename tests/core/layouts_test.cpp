#include "typing/layouts.h"

#include <gtest/gtest.h>

#include "settings/memory_settings_store.h"
#include "test_doubles.h"

namespace {

const char kBank[] = "00191455700000110009956850418332600000624818";
const char kCollection[] = "84620000002311301132632914523029359083800000";
const char kNfe[] = "12345678901234567890123456789012345678901235";

std::string Text(const char* code, CodeKind kind, std::int32_t mode, std::int32_t bits = 0) {
    return InjectionText(code, kind, mode, bits).value_or("<nothing>");
}

}  // namespace

TEST(InjectionText, BankSlipWorkedExample) {
    EXPECT_EQ(Text(kBank, CodeKind::BankSlip, ModeRaw), kBank);
    EXPECT_EQ(Text(kBank, CodeKind::BankSlip, ModeTypeable),
              "00199956875041833260200006248181145570000011000");
    EXPECT_EQ(Text(kBank, CodeKind::BankSlip, ModeTypeableTab),
              "00199\t95687\t50418\t332602\t00006\t248181\t1\t45570000011000");
    EXPECT_EQ(Text(kBank, CodeKind::BankSlip, ModeCustom, 0x2 | 0x8 | 0x20),
              "0019995687\t50418332602\t00006248181\t145570000011000");
    // No bits: as ModeTypeable; all bits: as ModeTypeableTab; collection bits ignored.
    EXPECT_EQ(Text(kBank, CodeKind::BankSlip, ModeCustom, 0x380),
              Text(kBank, CodeKind::BankSlip, ModeTypeable));
    EXPECT_EQ(Text(kBank, CodeKind::BankSlip, ModeCustom, -1 & ~0x380),
              Text(kBank, CodeKind::BankSlip, ModeTypeableTab));
}

TEST(InjectionText, CollectionSlip) {
    EXPECT_EQ(Text(kCollection, CodeKind::CollectionSlip, ModeTypeable),
              "846200000020311301132636291452302933590838000008");
    EXPECT_EQ(Text(kCollection, CodeKind::CollectionSlip, ModeTypeableTab),
              "846200000020\t311301132636\t291452302933\t590838000008");
    EXPECT_EQ(Text(kCollection, CodeKind::CollectionSlip, ModeCustom, 0x100),
              "846200000020311301132636\t291452302933590838000008");
    EXPECT_EQ(Text(kCollection, CodeKind::CollectionSlip, ModeCustom, 0x3FF),
              Text(kCollection, CodeKind::CollectionSlip, ModeTypeableTab));
    EXPECT_EQ(Text(kCollection, CodeKind::CollectionSlip, ModeCustom, 0x7F),
              Text(kCollection, CodeKind::CollectionSlip, ModeTypeable));
    // The first digit decides the layout, not the kind passed for a slip.
    EXPECT_EQ(Text(kCollection, CodeKind::BankSlip, ModeTypeable),
              Text(kCollection, CodeKind::CollectionSlip, ModeTypeable));
}

TEST(InjectionText, ModesForNfeKeysAndOutOfRange) {
    for (std::int32_t mode : {1, 2, 3, 4, 7}) {
        EXPECT_EQ(Text(kNfe, CodeKind::NfeKey, mode), kNfe) << mode;
    }
    for (std::int32_t mode : {0, -1}) {
        EXPECT_EQ(Text(kNfe, CodeKind::NfeKey, mode), "<nothing>");
        EXPECT_EQ(Text(kBank, CodeKind::BankSlip, mode), "<nothing>");
    }
    EXPECT_EQ(Text(kBank, CodeKind::BankSlip, 7), "<nothing>");
}

TEST(KeyboardInjector, TypesOnlyCodesOfFortyFourDigits) {
    Settings settings;
    MemorySettingsStore store;
    RecordingTyper typer;
    KeyboardInjector injector(settings, store, typer);
    TraceRecorder traces;

    settings.injectionMode = ModeRaw;
    injector.TypeCode(kBank, CodeKind::BankSlip);
    std::string hostile = std::string(kBank, 40) + "\r\nA\x1b";
    injector.TypeCode(hostile, CodeKind::BankSlip);
    injector.TypeCode(std::string(kNfe, 43), CodeKind::NfeKey);
    EXPECT_EQ(typer.Texts(), std::vector<std::string>{kBank});
    EXPECT_EQ(traces.Count("[E] Code not typed: it is not 44 digits\n"), 2);

    settings.injectionMode = ModeOff;
    EXPECT_FALSE(injector.TypeCode(kBank, CodeKind::BankSlip));
    EXPECT_EQ(typer.Texts().size(), 1u);

    // "TypeOnArrival" off keeps an arriving code from being typed; asked for, it is.
    settings.injectionMode = ModeRaw;
    settings.typeOnArrival = 0;
    EXPECT_FALSE(injector.TypeOnArrival(kBank, CodeKind::BankSlip));
    EXPECT_EQ(typer.Texts().size(), 1u);
    EXPECT_TRUE(injector.TypeCode(kBank, CodeKind::BankSlip));
    settings.typeOnArrival = 1;
    EXPECT_TRUE(injector.TypeOnArrival(kBank, CodeKind::BankSlip));
    EXPECT_EQ(typer.Texts().size(), 3u);
}

TEST(KeyboardInjector, ReadsTheCustomSeparatorsAtEveryCode) {
    Settings settings;
    settings.injectionMode = ModeCustom;
    MemorySettingsStore store;
    RecordingTyper typer;
    KeyboardInjector injector(settings, store, typer);

    injector.TypeCode(kCollection, CodeKind::CollectionSlip);  // missing: no TABs
    store.WriteRegDword(kSettingsKey, "CustomSeparators", 0x80);
    injector.TypeCode(kCollection, CodeKind::CollectionSlip);
    EXPECT_EQ(typer.Texts(),
              (std::vector<std::string>{"846200000020311301132636291452302933590838000008",
                                        "846200000020\t311301132636291452302933590838000008"}));
}
