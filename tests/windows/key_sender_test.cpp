// SendInput typing into a real EDIT control that has the keyboard focus.

#include "typing/key_sender_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "typing/typing.h"

namespace {

// A top-level window holding one multi-line edit box (which keeps TABs), focused. It notes
// the virtual key of every key press, as a program that reads key codes would see it.
class TargetWindow {
public:
    TargetWindow() {
        frame = CreateWindowExA(0, "STATIC", "typing target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                0, 400, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 380, 150,
                               frame, nullptr, GetModuleHandleA(nullptr), nullptr);
        SetForegroundWindow(frame);
        SetFocus(edit);
    }
    ~TargetWindow() { DestroyWindow(frame); }

    // Pumps messages until `done()` or five seconds pass.
    template <typename Done>
    void PumpUntil(Done done) {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < 5000) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_KEYDOWN) keys.push_back(message.wParam);
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
            if (done()) return;
            Sleep(5);
        }
    }

    std::string Text() const {
        char buffer[256] = {};
        GetWindowTextA(edit, buffer, sizeof buffer);
        return buffer;
    }

    // Pumps messages until the edit box holds `length` characters or five seconds pass.
    std::string WaitForText(std::size_t length) {
        PumpUntil([&] { return Text().size() >= length; });
        return Text();
    }

    HWND frame = nullptr;
    HWND edit = nullptr;
    std::vector<WPARAM> keys;
};

// Caps Lock on while it lives, then as it was. A press toggles it; the thread's key state
// follows the key messages that the target has read.
class CapsLockOn {
public:
    explicit CapsLockOn(TargetWindow& window) : target(window) {
        Press();
        if (!On()) Press();  // it was on already
    }
    ~CapsLockOn() {
        if (presses % 2 == 1) Press();
    }
    bool On() const { return (GetKeyState(VK_CAPITAL) & 1) != 0; }

private:
    void Press() {
        INPUT inputs[2] = {};
        for (INPUT& input : inputs) {
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = VK_CAPITAL;
        }
        inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
        target.keys.clear();
        SendInput(2, inputs, sizeof(INPUT));
        target.PumpUntil([&] { return !target.keys.empty(); });
        target.keys.clear();
        ++presses;
    }

    TargetWindow& target;
    int presses = 0;
};

}  // namespace

TEST(SendInputKeySender, TypesDigitsAndTabsIntoTheFocusedEditBox) {
    TargetWindow target;
    ASSERT_TRUE(target.edit);
    ASSERT_EQ(GetFocus(), target.edit);
    Settings settings;
    SendInputKeySender sender(settings);
    for (char c : std::string("00199\t95687"))
        sender.SendCharacter(static_cast<unsigned char>(c));
    EXPECT_EQ(target.WaitForText(11), "00199\t95687");
    EXPECT_EQ(target.keys, std::vector<WPARAM>(11, VK_PACKET));  // characters, no keys
}

TEST(SendInputKeySender, TypesTheLayoutsKeysWhenTheMethodAsks) {
    TargetWindow target;
    ASSERT_EQ(GetFocus(), target.edit);
    Settings settings;
    settings.typingMethod = TypeKeys;
    SendInputKeySender sender(settings);
    auto type = [&](const std::string& text) {
        for (char c : text)
            sender.SendCharacter(static_cast<unsigned char>(c));
    };
    type("00199\t95687");
    EXPECT_EQ(target.WaitForText(11), "00199\t95687");
    EXPECT_EQ(target.keys,
              (std::vector<WPARAM>{'0', '0', '1', '9', '9', VK_TAB, '9', '5', '6', '8', '7'}));

    // The method is read for every character: a change counts at once.
    target.keys.clear();
    settings.typingMethod = TypeCharacters;
    type("1");
    target.WaitForText(12);
    EXPECT_EQ(target.keys, std::vector<WPARAM>{VK_PACKET});
}

// Under Caps Lock a letter's key gives the other case, and a layout's dead keys merge a
// symbol with the next character: the key method types a Pix code's letters and symbols as
// characters and its digits as keys, and the code arrives as it is.
TEST(SendInputKeySender, TypesAPixCodeAsItIsUnderCapsLock) {
    TargetWindow target;
    ASSERT_EQ(GetFocus(), target.edit);
    CapsLockOn capsLock(target);
    ASSERT_TRUE(capsLock.On());
    Settings settings;
    settings.typingMethod = TypeKeys;
    SendInputKeySender sender(settings);
    const std::string code =
        "00020101021226560014br.gov.bcb.pix2534pix.Exemplo.com/qr/v2:Cob-9d36b84f520400005303986"
        "5802BR5913Fulano de Tal6008BRASILIA62070503***6304A9D9";
    for (char c : code)
        sender.SendCharacter(static_cast<unsigned char>(c));
    EXPECT_EQ(target.WaitForText(code.size()), code);
    std::vector<WPARAM> keys;
    for (char c : code)
        keys.push_back(c >= '0' && c <= '9' ? static_cast<WPARAM>(c) : VK_PACKET);
    EXPECT_EQ(target.keys, keys);
}

TEST(SendInputKeySender, ThreadedTypingOfALayout) {
    TargetWindow target;
    Settings settings;
    SendInputKeySender sender(settings);
    settings.keyDelay = 1;
    ThreadedTyper typer(sender, settings);
    const std::string text = "846200000020\t311301132636\t291452302933\t590838000008";
    ASSERT_TRUE(typer.TypeText(text));
    EXPECT_EQ(target.WaitForText(text.size()), text);
    typer.WaitUntilIdle();
}
