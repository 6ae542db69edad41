#pragma once

// Waits on a thread of its own for a dialog box with a given title, does something with
// it (press a button, fill a field) and remembers what it saw: tests never leave a
// message box or a Save dialog waiting.

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

class DialogWatcher {
public:
    using Action = std::function<void(HWND dialog)>;

    // `mustContain`: only a dialog whose message text holds it counts.
    DialogWatcher(std::string windowTitle, Action onSeen, std::string mustContain = "")
        : title(std::move(windowTitle)),
          action(std::move(onSeen)),
          needle(std::move(mustContain)),
          thread([this] { Watch(); }) {}
    ~DialogWatcher() { Finish(); }
    // Waits for the watch to end (at once when the dialog was handled).
    void Finish() {
        stop = true;
        if (thread.joinable()) thread.join();
    }
    bool Seen() {
        Finish();
        return seen;
    }
    std::string Text() {
        Finish();
        return text;
    }

    // Presses a button of the dialog.
    static Action Press(int button) {
        return [button](HWND dialog) { PostMessageA(dialog, WM_COMMAND, button, 0); };
    }

private:
    void Watch() {
        for (int i = 0; i < 1000 && !(stop && i > 100); ++i) {
            HWND dialog = FindWindowA("#32770", title.c_str());
            if (dialog && !needle.empty() &&
                MessageText(dialog).find(needle) == std::string::npos) {
                dialog = nullptr;  // another box of the same title
            }
            if (dialog) {
                text = MessageText(dialog);
                seen = true;
                Sleep(50);  // let it finish opening
                action(dialog);
                return;
            }
            Sleep(10);
        }
    }

    // The message text of a message box: its static with text.
    static std::string MessageText(HWND dialog) {
        std::string found;
        EnumChildWindows(
            dialog,
            [](HWND child, LPARAM self) -> BOOL {
                char name[16] = {}, buffer[512] = {};
                GetClassNameA(child, name, sizeof name);
                GetWindowTextA(child, buffer, sizeof buffer);
                if (lstrcmpiA(name, "Static") == 0 && buffer[0]) {
                    *reinterpret_cast<std::string*>(self) = buffer;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }

    std::string title;
    Action action;
    std::string needle;
    std::atomic<bool> stop{false};
    std::atomic<bool> seen{false};
    std::string text;
    std::thread thread;
};
