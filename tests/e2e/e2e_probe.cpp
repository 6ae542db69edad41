// A small Windows helper that the end-to-end test runs beside zentory.exe under Wine:
//   e2e_probe rows                  prints the number of rows of Zentory's history list
//   e2e_probe hotkey [LETTER]       presses Ctrl+Alt+B (or Ctrl+Alt+LETTER) through SendInput
//   e2e_probe ctrl LETTER           presses Ctrl+LETTER through SendInput
//   e2e_probe clip TEXT             puts TEXT on the clipboard as Unicode text
//   e2e_probe clipped               prints the clipboard's Unicode text as UTF-8
//   e2e_probe size W H              makes Zentory's main window W by H pixels
//   e2e_probe column N              clicks the title of column N of Zentory's history list
//   e2e_probe marks                 prints each row of the history list: its image (0 wrong,
//                                   1 valid, 2 read before) and its box (0 empty, 1 paid)
//   e2e_probe key VK                presses one virtual key (hex, e.g. 78 for F9)
//   e2e_probe activate TITLE        brings the window with this title to the front
//   e2e_probe click TITLE ID        clicks the button ID of the window with this title
//   e2e_probe settext TITLE ID TEXT sets the text of control ID of the window with this title
//   e2e_probe command ID            sends Zentory's main window the menu command ID
//   e2e_probe post MSG WPARAM LPARAM posts a message (decimal numbers) to Zentory's main window
//   e2e_probe close                 asks Zentory's main window to close
//   e2e_probe roundtrip SECONDS     sends WM_NULL to Zentory's main window every 10 ms and
//                                   prints the round-trip times (p50, p99, max) in ms
//   e2e_probe memory                prints Zentory's private memory in KiB
//   e2e_probe target FILE           a window with a focused edit box; writes what it
//                                   receives to FILE at every change, until closed

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <vector>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kToolbarId = 100;  // the main window's toolbar

const char* gTargetFile = nullptr;
HWND gEdit = nullptr;

void WriteTargetText() {
    int length = GetWindowTextLengthA(gEdit);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    GetWindowTextA(gEdit, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    std::string temporary = std::string(gTargetFile) + ".part";
    if (FILE* file = std::fopen(temporary.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
        MoveFileExA(temporary.c_str(), gTargetFile, MOVEFILE_REPLACE_EXISTING);
    }
}

LRESULT CALLBACK TargetProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == EN_CHANGE) WriteTargetText();
            return 0;
        case WM_SETFOCUS: SetFocus(gEdit); return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

int RunTarget(const char* file) {
    gTargetFile = file;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = TargetProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "ZentoryTypingTarget";
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "ZentoryTypingTarget", "Zentory typing target",
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 600, 160, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    // Scrolled as it fills: a box that shows all its text takes no more once full.
    gEdit = CreateWindowExA(0, "EDIT", "",
                            WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL | WS_BORDER, 5, 5,
                            580, 110, window, nullptr, windowClass.hInstance, nullptr);
    SetForegroundWindow(window);
    SetFocus(gEdit);
    WriteTargetText();
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

void Key(INPUT& input, WORD key, bool up) {
    input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "rows") == 0) {
        HWND main = FindWindowA("ZentoryWinClass", nullptr);
        if (!main) return 1;
        std::printf("%d\n",
                    static_cast<int>(SendMessageA(GetDlgItem(main, 1090), LVM_GETITEMCOUNT, 0, 0)));
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "hotkey") == 0) {
        WORD letter = argc >= 3 ? static_cast<WORD>(argv[2][0]) : 'B';
        INPUT keys[6];
        Key(keys[0], VK_CONTROL, false);
        Key(keys[1], VK_MENU, false);
        Key(keys[2], letter, false);
        Key(keys[3], letter, true);
        Key(keys[4], VK_MENU, true);
        Key(keys[5], VK_CONTROL, true);
        return SendInput(6, keys, sizeof(INPUT)) == 6 ? 0 : 1;
    }
    if (argc >= 3 && std::strcmp(argv[1], "ctrl") == 0) {
        INPUT keys[4];
        Key(keys[0], VK_CONTROL, false);
        Key(keys[1], static_cast<WORD>(argv[2][0]), false);
        Key(keys[2], static_cast<WORD>(argv[2][0]), true);
        Key(keys[3], VK_CONTROL, true);
        return SendInput(4, keys, sizeof(INPUT)) == 4 ? 0 : 1;
    }
    if (argc >= 2 && std::strcmp(argv[1], "clipped") == 0) {
        if (!OpenClipboard(nullptr)) return 1;
        HANDLE data = GetClipboardData(CF_UNICODETEXT);
        const auto* text = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
        if (text) {
            char utf8[4096] = {};
            WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8 - 1, nullptr, nullptr);
            std::printf("%s\n", utf8);
            GlobalUnlock(data);
        }
        CloseClipboard();
        return text ? 0 : 1;
    }
    if (argc >= 4 && std::strcmp(argv[1], "size") == 0) {
        HWND main = FindWindowA("ZentoryWinClass", nullptr);
        return main && SetWindowPos(main, nullptr, 0, 0, std::atoi(argv[2]), std::atoi(argv[3]),
                                    SWP_NOMOVE | SWP_NOZORDER)
                   ? 0
                   : 1;
    }
    if (argc >= 3 && std::strcmp(argv[1], "column") == 0) {
        HWND list = GetDlgItem(FindWindowA("ZentoryWinClass", nullptr), 1090);
        auto header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
        RECT bar;
        if (!header || !GetWindowRect(header, &bar)) return 1;
        int wanted = std::atoi(argv[2]), x = bar.left;
        for (int column = 0; column < wanted; ++column)
            x += static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
        x += static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, wanted, 0)) / 2;
        SetCursorPos(x, (bar.top + bar.bottom) / 2);
        INPUT click[2] = {};
        click[0].type = click[1].type = INPUT_MOUSE;
        click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        return SendInput(2, click, sizeof(INPUT)) == 2 ? 0 : 1;
    }
    if (argc >= 2 && std::strcmp(argv[1], "marks") == 0) {
        // An item's image is read through memory in Zentory's own process.
        HWND list = GetDlgItem(FindWindowA("ZentoryWinClass", nullptr), 1090);
        DWORD id = 0;
        GetWindowThreadProcessId(list, &id);
        HANDLE process =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id);
        void* remote =
            process ? VirtualAllocEx(process, nullptr, sizeof(LVITEMA), MEM_COMMIT, PAGE_READWRITE)
                    : nullptr;
        if (!list || !remote) return 1;
        int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < count; ++row) {
            LVITEMA item = {};
            item.mask = LVIF_IMAGE;
            item.iItem = row;
            WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
            SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote));
            ReadProcessMemory(process, remote, &item, sizeof item, nullptr);
            UINT box =
                static_cast<UINT>(SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK)) >>
                12;
            std::printf("%d %d\n", item.iImage, box == 2 ? 1 : 0);
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
        CloseHandle(process);
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "clip") == 0) {
        int length = MultiByteToWideChar(CP_UTF8, 0, argv[2], -1, nullptr, 0);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(length) * sizeof(wchar_t));
        if (!memory || !OpenClipboard(nullptr)) return 1;
        MultiByteToWideChar(CP_UTF8, 0, argv[2], -1, static_cast<wchar_t*>(GlobalLock(memory)),
                            length);
        GlobalUnlock(memory);
        EmptyClipboard();
        bool set = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        CloseClipboard();
        return set ? 0 : 1;
    }
    if (argc >= 3 && std::strcmp(argv[1], "key") == 0) {
        INPUT keys[2];
        WORD key = static_cast<WORD>(std::strtoul(argv[2], nullptr, 16));
        Key(keys[0], key, false);
        Key(keys[1], key, true);
        return SendInput(2, keys, sizeof(INPUT)) == 2 ? 0 : 1;
    }
    if (argc >= 3 && std::strcmp(argv[1], "activate") == 0) {
        // The visible window of that title: a hidden one (a tooltip, a balloon) can never
        // come to the front.
        HWND window = FindWindowExA(nullptr, nullptr, nullptr, argv[2]);
        while (window && !IsWindowVisible(window))
            window = FindWindowExA(nullptr, window, nullptr, argv[2]);
        if (!window) return 1;
        SetForegroundWindow(window);
        for (int i = 0; i < 100 && GetForegroundWindow() != window; ++i)
            Sleep(10);
        return GetForegroundWindow() == window ? 0 : 1;
    }
    if (argc >= 4 && std::strcmp(argv[1], "click") == 0) {
        HWND window = FindWindowA(nullptr, argv[2]);
        HWND button = window ? GetDlgItem(window, std::atoi(argv[3])) : nullptr;
        return button && PostMessageA(button, BM_CLICK, 0, 0) ? 0 : 1;
    }
    if (argc >= 5 && std::strcmp(argv[1], "settext") == 0) {
        HWND window = FindWindowA(nullptr, argv[2]);
        return window && SetDlgItemTextA(window, std::atoi(argv[3]), argv[4]) ? 0 : 1;
    }
    if (argc >= 5 && std::strcmp(argv[1], "post") == 0) {
        HWND main = FindWindowA("ZentoryWinClass", nullptr);
        return main && PostMessageA(main, static_cast<UINT>(std::atoi(argv[2])),
                                    static_cast<WPARAM>(std::atoi(argv[3])),
                                    static_cast<LPARAM>(std::atoi(argv[4])))
                   ? 0
                   : 1;
    }
    if (argc >= 2 && std::strcmp(argv[1], "toolbar") == 0) {
        // The size of the toolbar's buttons in pixels: "WIDTH HEIGHT".
        HWND main = FindWindowA("ZentoryWinClass", nullptr);
        HWND toolbar = main ? GetDlgItem(main, kToolbarId) : nullptr;
        if (!toolbar) return 1;
        LRESULT size = SendMessageA(toolbar, TB_GETBUTTONSIZE, 0, 0);
        std::printf("%d %d\n", LOWORD(size), HIWORD(size));
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "command") == 0) {
        HWND main = FindWindowA("ZentoryWinClass", nullptr);
        return main && PostMessageA(main, WM_COMMAND, std::atoi(argv[2]), 0) ? 0 : 1;
    }
    if (argc >= 2 && std::strcmp(argv[1], "close") == 0) {
        HWND main = FindWindowA("ZentoryWinClass", nullptr);
        return main && PostMessageA(main, WM_CLOSE, 0, 0) ? 0 : 1;
    }
    if (argc >= 3 && std::strcmp(argv[1], "roundtrip") == 0) {
        HWND main = FindWindowA("ZentoryWinClass", nullptr);
        if (!main) return 1;
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        std::vector<double> times;
        DWORD until = GetTickCount() + static_cast<DWORD>(std::atof(argv[2]) * 1000);
        while (GetTickCount() < until) {
            DWORD_PTR result;
            QueryPerformanceCounter(&start);
            if (!SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result)) {
                times.push_back(10000);
            } else {
                QueryPerformanceCounter(&end);
                times.push_back(1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart);
            }
            Sleep(10);
        }
        std::sort(times.begin(), times.end());
        auto at = [&](double q) { return times[static_cast<std::size_t>(q * (times.size() - 1))]; };
        std::printf("%zu round trips: p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", times.size(),
                    at(0.5), at(0.99), times.back());
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "start") == 0) {
        // The time from creating the process to a visible main window that answers, polled
        // every 2 ms: what a user waits for, without a launcher's own start.
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        std::string commandLine = std::string("\"") + argv[2] + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        QueryPerformanceCounter(&start);
        if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &process))
            return 1;
        for (;;) {
            HWND main = FindWindowA("ZentoryWinClass", nullptr);
            DWORD_PTR result;
            if (main && IsWindowVisible(main) &&
                SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result))
                break;
            if (WaitForSingleObject(process.hProcess, 2) == WAIT_OBJECT_0) return 1;
        }
        QueryPerformanceCounter(&end);
        std::printf("%.0f\n", 1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "memory") == 0) {
        HWND main = FindWindowA("ZentoryWinClass", nullptr);
        DWORD id = 0;
        if (!main || !GetWindowThreadProcessId(main, &id)) return 1;
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
        PROCESS_MEMORY_COUNTERS_EX counters = {};
        counters.cb = sizeof counters;
        if (!process ||
            !GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                  sizeof counters)) {
            return 1;
        }
        std::printf("private %zu KiB, working set %zu KiB\n", counters.PrivateUsage / 1024,
                    counters.WorkingSetSize / 1024);
        CloseHandle(process);
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "target") == 0) return RunTarget(argv[2]);
    std::fprintf(stderr,
                 "usage: e2e_probe rows | hotkey | key VK | activate TITLE | close | target FILE | "
                 "start EXE\n");
    return 2;
}
