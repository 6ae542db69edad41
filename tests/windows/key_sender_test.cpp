// SendInput typing into a real EDIT control that has the keyboard focus.

#include "typing/key_sender_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "typing/typing.h"

namespace {

// A top-level window holding one multi-line edit box (which keeps TABs), focused.
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
};

}  // namespace

TEST(SendInputKeySender, TypesDigitsAndTabsIntoTheFocusedEditBox) {
    TargetWindow target;
    ASSERT_TRUE(target.edit);
    ASSERT_EQ(GetFocus(), target.edit);
    SendInputKeySender sender;
    for (char c : std::string("00199\t95687"))
        sender.SendCharacter(static_cast<unsigned char>(c));
    EXPECT_EQ(target.WaitForText(11), "00199\t95687");
}

TEST(SendInputKeySender, ThreadedTypingOfALayout) {
    TargetWindow target;
    SendInputKeySender sender;
    Settings settings;
    settings.keyDelay = 1;
    ThreadedTyper typer(sender, settings);
    const std::string text = "846200000020\t311301132636\t291452302933\t590838000008";
    ASSERT_TRUE(typer.TypeText(text));
    EXPECT_EQ(target.WaitForText(text.size()), text);
    typer.WaitUntilIdle();
}
