#include "typing/typing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "test_doubles.h"
#include "typing/key_strokes.h"
#include "typing/target_check.h"

namespace {

std::vector<std::string> Pauses(const std::vector<std::string>& events) {
    std::vector<std::string> pauses;
    for (const std::string& event : events) {
        if (event.rfind("pause ", 0) == 0) pauses.push_back(event);
    }
    return pauses;
}

// Blocks the typing threads in their first character until released.
class GateKeySender : public RecordingKeySender {
public:
    void SendCharacter(char32_t character) override {
        while (!open)
            std::this_thread::yield();
        RecordingKeySender::SendCharacter(character);
    }
    std::atomic<bool> open{false};
};

// Sets the key delay to 0 during the first pause, as the configuration dialog could.
class DelayChangingSender : public RecordingKeySender {
public:
    explicit DelayChangingSender(Settings& held) : settings(held) {}
    void Pause(int milliseconds) override {
        RecordingKeySender::Pause(milliseconds);
        settings.keyDelay = 0;
    }
    Settings& settings;
};

}  // namespace

TEST(ThreadedTyper, EveryCharacterFollowedByTheKeyDelay) {
    Settings settings;
    RecordingKeySender sender;
    {
        ThreadedTyper typer(sender, settings);
        ASSERT_TRUE(typer.TypeText("12\t3"));
        typer.WaitUntilIdle();
        EXPECT_EQ(sender.Events(), (std::vector<std::string>{"1", "2", "\t", "3"}));  // no pause

        settings.keyDelay = 20;
        typer.TypeText(std::string(47, '5'));
        typer.WaitUntilIdle();
        EXPECT_EQ(Pauses(sender.Events()), std::vector<std::string>(47, "pause 20"));
    }
    RecordingKeySender empty;
    ThreadedTyper typer(empty, settings);
    typer.TypeText("");
    typer.WaitUntilIdle();
    EXPECT_TRUE(empty.Events().empty());
}

TEST(ThreadedTyper, KeyDelayIsReadBeforeEveryPauseAndBounded) {
    Settings settings;
    settings.keyDelay = 100;
    DelayChangingSender sender(settings);
    ThreadedTyper typer(sender, settings);
    typer.TypeText("1234");
    typer.WaitUntilIdle();
    EXPECT_EQ(Pauses(sender.Events()), std::vector<std::string>{"pause 100"});

    EXPECT_EQ(KeyPauseMilliseconds(-5), 0);
    EXPECT_EQ(KeyPauseMilliseconds(static_cast<std::int32_t>(0xFFFFFF05)),
              0);  // a one-byte 5 read as a DWORD
    EXPECT_EQ(KeyPauseMilliseconds(100), 100);
    EXPECT_EQ(KeyPauseMilliseconds(1 << 30), 1000);
}

TEST(ThreadedTyper, OverlappingTextsBothCompleteAndAFloodIsCapped) {
    Settings settings;
    GateKeySender sender;
    ThreadedTyper typer(sender, settings);
    TraceRecorder traces;
    int started = 0;
    for (int i = 0; i < 20; ++i)
        started += typer.TypeText(i < 2 ? "1111" : "22");
    EXPECT_EQ(started, ThreadedTyper::kMaxTypingThreads);
    EXPECT_EQ(traces.Count("[E] Typing refused: 8 texts are being typed\n"), 12);
    sender.open = true;
    typer.WaitUntilIdle();
    std::string typed = sender.Typed();
    EXPECT_EQ(std::count(typed.begin(), typed.end(), '1'), 8);
    EXPECT_EQ(std::count(typed.begin(), typed.end(), '2'), 12);
    // Room again once the typing has ended.
    EXPECT_TRUE(typer.TypeText("3"));
}

// Each field goes in one paste, the TABs typed between the fields, the key delay after
// both; a clipboard that cannot be had leaves the text to be typed.
TEST(ThreadedTyper, PasteMethodPastesFieldsBetweenTabsOrTypesWithoutClipboard) {
    Settings settings;
    settings.typingMethod = TypePaste;
    settings.keyDelay = 5;
    RecordingKeySender pasting;
    pasting.pastes = true;
    {
        ThreadedTyper typer(pasting, settings);
        typer.TypeText("1111\t2222\t333");
        typer.WaitUntilIdle();
        settings.keyDelay = 0;
        typer.TypeText("\t12\t\t");  // empty fields paste nothing
        typer.WaitUntilIdle();
    }
    EXPECT_EQ(pasting.Events(), (std::vector<std::string>{
                                    "begin", "paste 1111", "pause 5", "\t", "pause 5", "paste 2222",
                                    "pause 5", "\t", "pause 5", "paste 333", "pause 5", "end",
                                    "begin", "\t", "paste 12", "\t", "\t", "end"}));

    RecordingKeySender refused;
    ThreadedTyper typer(refused, settings);
    typer.TypeText("12\t3");
    typer.WaitUntilIdle();
    EXPECT_EQ(refused.Events(), (std::vector<std::string>{"1", "2", "\t", "3"}));
}

TEST(KeyStrokesFor, ModifiersAroundTheKeyAndNothingForAMissingKey) {
    // A digit on a QWERTY layout: the key alone.
    EXPECT_EQ(KeyStrokesFor(0x0031), (std::vector<KeyStroke>{{'1', false}, {'1', true}}));
    // A digit on AZERTY needs Shift, held around the key only.
    EXPECT_EQ(
        KeyStrokesFor(0x0131),
        (std::vector<KeyStroke>{{kVkShift, false}, {'1', false}, {'1', true}, {kVkShift, true}}));
    // AltGr (Ctrl+Alt) with Shift: pressed in order, released in reverse.
    EXPECT_EQ(KeyStrokesFor(0x0741), (std::vector<KeyStroke>{{kVkShift, false},
                                                             {kVkControl, false},
                                                             {kVkMenu, false},
                                                             {'A', false},
                                                             {'A', true},
                                                             {kVkMenu, true},
                                                             {kVkControl, true},
                                                             {kVkShift, true}}));
    // No key on the layout, or a state of one layout's own (Hankaku): nothing, so that the
    // character goes as a Unicode event instead.
    EXPECT_TRUE(KeyStrokesFor(-1).empty());
    EXPECT_TRUE(KeyStrokesFor(0x0831).empty());
    EXPECT_TRUE(KeyStrokesFor(0x01FF).empty());
}

// A window of a program run as administrator gets nothing, and the user is told once for
// each such program; other windows are typed into as before.
TEST(TargetCheckingTyper, TypesNothingIntoAProgramAboveUsAndTellsOncePerProgram) {
    RecordingTyper typed;
    std::string focused;  // the elevated program with the focus, "" for an ordinary one
    std::vector<std::string> told;
    TargetCheckingTyper typer(
        typed,
        [&](std::string& program) {
            program = focused;
            return !focused.empty();
        },
        [&](const std::string& program) { told.push_back(program); });
    EXPECT_TRUE(typer.TypeText("123"));
    focused = "C:\\Banco\\admin.exe";
    EXPECT_FALSE(typer.TypeText("456"));
    EXPECT_FALSE(typer.TypeText("789"));
    focused = "C:\\Windows\\regedit.exe";
    EXPECT_FALSE(typer.TypeText("000"));
    focused.clear();
    EXPECT_TRUE(typer.TypeText("111"));
    EXPECT_EQ(typed.Texts(), (std::vector<std::string>{"123", "111"}));
    EXPECT_EQ(told, (std::vector<std::string>{"C:\\Banco\\admin.exe", "C:\\Windows\\regedit.exe"}));
}
