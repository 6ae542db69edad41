#include "typing/key_sender_win32.h"

#include <windows.h>

#include <vector>

#include "typing/clipboard_paster_win32.h"
#include "typing/key_strokes.h"
#include "util/text_encoding.h"

namespace {

INPUT KeyInput(WORD virtualKey, WORD scan, DWORD flags) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = scan;
    input.ki.dwFlags = flags;
    input.ki.time = 0;
    input.ki.dwExtraInfo = 0;
    return input;
}

// Each call hands all its records to the system at once, so that no other input comes
// between a key's press, its release and its modifiers. Refused input (a locked
// workstation, a window of a higher integrity level) is lost; the next character is tried
// all the same.
void Send(std::vector<INPUT>& inputs) {
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// A character beyond the BMP goes as its two UTF-16 halves, each pressed and released.
void SendUnicode(char32_t character) {
    std::uint16_t units[2];
    int count = Utf16Units(character, units);
    std::vector<INPUT> inputs;
    for (int i = 0; i < count; ++i) {
        inputs.push_back(KeyInput(0, units[i], KEYEVENTF_UNICODE));
        inputs.push_back(KeyInput(0, units[i], KEYEVENTF_UNICODE | KEYEVENTF_KEYUP));
    }
    Send(inputs);
}

// The layout that turns keys into characters for the window with the keyboard focus: that
// of its thread, which need not be ours.
HKL FocusedLayout() {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    HWND window =
        GetGUIThreadInfo(0, &info) && info.hwndFocus ? info.hwndFocus : GetForegroundWindow();
    return GetKeyboardLayout(window ? GetWindowThreadProcessId(window, nullptr) : 0);
}

// False when the layout has no key for the character.
bool SendKeys(unsigned char character) {
    HKL layout = FocusedLayout();
    std::vector<KeyStroke> strokes =
        KeyStrokesFor(VkKeyScanExA(static_cast<CHAR>(character), layout));
    if (strokes.empty()) return false;
    std::vector<INPUT> inputs;
    for (const KeyStroke& stroke : strokes) {
        // Programs that read scan codes (remote desktops, terminals) get those of the layout.
        auto scan = static_cast<WORD>(MapVirtualKeyExA(stroke.virtualKey, MAPVK_VK_TO_VSC, layout));
        inputs.push_back(KeyInput(stroke.virtualKey, scan, stroke.release ? KEYEVENTF_KEYUP : 0));
    }
    Send(inputs);
    return true;
}

// The integrity level of a process's token (SECURITY_MANDATORY_..._RID).
bool IntegrityLevelOf(HANDLE process, DWORD& level, bool& denied) {
    HANDLE token = nullptr;
    denied = false;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) {
        denied = GetLastError() == ERROR_ACCESS_DENIED;
        return false;
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    bool read =
        size > 0 && GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size);
    if (read) {
        PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
        level = *GetSidSubAuthority(sid, static_cast<DWORD>(*GetSidSubAuthorityCount(sid) - 1));
    }
    CloseHandle(token);
    return read;
}

}  // namespace

bool FocusedProgramRunsAboveUs(std::string& program) {
    HWND window = GetForegroundWindow();
    DWORD processId = 0;
    if (!window || !GetWindowThreadProcessId(window, &processId) ||
        processId == GetCurrentProcessId())
        return false;
    DWORD ours = 0;
    bool denied = false;
    if (!IntegrityLevelOf(GetCurrentProcess(), ours, denied)) return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process) return false;
    DWORD theirs = 0;
    // A process that lets us see it but not its token is one above us.
    bool above = IntegrityLevelOf(process, theirs, denied) ? theirs > ours : denied;
    if (above) {
        char path[MAX_PATH] = {};
        DWORD length = sizeof path;
        program = QueryFullProcessImageNameA(process, 0, path, &length)
                      ? std::string(path, length)
                      : "processo " + std::to_string(processId);
    }
    CloseHandle(process);
    return above;
}

SendInputKeySender::SendInputKeySender(const Settings& heldSettings) : settings(heldSettings) {}

void SendInputKeySender::SendCharacter(char32_t character) {
    // Read for every character: a method changed in the configuration counts at once. Only
    // digits and TAB go as keys. A letter's key gives the other case under Caps Lock, and a
    // symbol's key may be a dead key that waits for the next one and merges with it
    // (US-International's apostrophe, ABNT2's ~ and ^): a Pix code's letters and symbols go
    // as characters, which no keyboard state changes. The paste method is for programs that
    // drop characters that come without a key: between its fields a TAB is the key, too.
    std::int32_t method = settings.typingMethod.load(std::memory_order_relaxed);
    bool digit = character >= '0' && character <= '9';
    bool asKey =
        character == '\t' ? method == TypeKeys || method == TypePaste : digit && method == TypeKeys;
    if (asKey && SendKeys(static_cast<unsigned char>(character))) return;
    SendUnicode(character);
}

void SendInputKeySender::AwaitReleasedModifiers() {
    // Ctrl+Alt+V is still held when its text starts: Ctrl+Alt and a letter would be AltGr
    // or a shortcut in the focused program. Two seconds at most, then the text goes.
    for (int waited = 0; waited < 2000; waited += 10) {
        bool held = false;
        for (int key : {VK_CONTROL, VK_MENU, VK_SHIFT, VK_LWIN, VK_RWIN})
            held = held || (GetAsyncKeyState(key) & 0x8000) != 0;
        if (!held) return;
        Sleep(10);
    }
}

void SendInputKeySender::Pause(int milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}

bool SendInputKeySender::BeginPasting() {
    return BeginClipboardPaste();
}

bool SendInputKeySender::PasteText(std::string_view utf8) {
    // Another text waited for the clipboard meanwhile: a hot key may be down again, and
    // Ctrl+V with Alt held would be Ctrl+Alt+V, or AltGr+V.
    AwaitReleasedModifiers();
    return PasteThroughClipboard(utf8);
}

void SendInputKeySender::EndPasting() {
    EndClipboardPaste();
}
