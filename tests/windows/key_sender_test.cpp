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

    // Pumps messages until the edit box holds `length` characters or two seconds pass.
    std::string WaitForText(std::size_t length) {
        DWORD start = GetTickCount();
        std::string text;
        while (GetTickCount() - start < 5000) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_KEYDOWN) keys.push_back(message.wParam);
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
            char buffer[256] = {};
            GetWindowTextA(edit, buffer, sizeof buffer);
            text = buffer;
            if (text.size() >= length) break;
            Sleep(5);
        }
        return text;
    }

    HWND frame = nullptr;
    HWND edit = nullptr;
    std::vector<WPARAM> keys;
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

    // A character behind Shift gets it; one the layout has no key for goes as a character.
    target.keys.clear();
    type("%\xE9");
    EXPECT_EQ(target.WaitForText(13), "00199\t95687%\xE9");
    EXPECT_EQ(target.keys, (std::vector<WPARAM>{VK_SHIFT, '5', VK_PACKET}));

    // The method is read for every character: a change counts at once.
    target.keys.clear();
    settings.typingMethod = TypeCharacters;
    type("1");
    target.WaitForText(14);
    EXPECT_EQ(target.keys, std::vector<WPARAM>{VK_PACKET});
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
