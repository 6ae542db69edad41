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

    DialogWatcher(std::string windowTitle, Action onSeen)
        : title(std::move(windowTitle)), action(std::move(onSeen)), thread([this] { Watch(); }) {}
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
        for (int i = 0; i < 300 && !(stop && i > 100); ++i) {
            if (HWND dialog = FindWindowA("#32770", title.c_str())) {
                // The message text of a message box is its one static with text.
                EnumChildWindows(
                    dialog,
                    [](HWND child, LPARAM self) -> BOOL {
                        char name[16] = {}, buffer[512] = {};
                        GetClassNameA(child, name, sizeof name);
                        GetWindowTextA(child, buffer, sizeof buffer);
                        if (lstrcmpiA(name, "Static") == 0 && buffer[0]) {
                            reinterpret_cast<DialogWatcher*>(self)->text = buffer;
                        }
                        return TRUE;
                    },
                    reinterpret_cast<LPARAM>(this));
                seen = true;
                Sleep(50);  // let it finish opening
                action(dialog);
                return;
            }
            Sleep(10);
        }
    }

    std::string title;
    Action action;
    std::atomic<bool> stop{false};
    std::atomic<bool> seen{false};
    std::string text;
    std::thread thread;
};
