#include "typing/clipboard_paster_win32.h"

#include <windows.h>

#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "util/debug_trace.h"

namespace {

constexpr wchar_t kWindowClass[] = L"ZentoryClipboardPaster";
// How long the focused program has to read a field after Ctrl+V, and how long it is given
// after reading to take in the paste before the clipboard changes again.
constexpr DWORD kReadWait = 2000;
constexpr DWORD kSettle = 50;

// One format of the user's clipboard, copied out.
struct SavedFormat {
    UINT format = 0;
    std::vector<unsigned char> bytes;
};

// The text being pasted. Touched only by the thread that holds gPasting, the window's
// procedure included: it runs on the thread that made the window.
struct Paste {
    HWND window = nullptr;
    std::vector<SavedFormat> saved;
    std::wstring field;  // the field on offer
    bool read = false;   // the focused program has asked for it
    bool owed = false;   // offered and not yet handed over
};

std::mutex gPasting;
Paste gPaste;
bool gClassRegistered = false;  // under gPasting

// Runs this thread's messages until the field has been read, when `untilRead`, or the time
// is up. A program reading the clipboard asks for the field with a message sent to our
// window, which only comes through while its thread looks at its messages.
void PumpMessages(DWORD milliseconds, bool untilRead) {
    ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        if (untilRead && gPaste.read) return;
        ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
}

// The clipboard may be open in another program for a moment: a few tries. Messages run
// between them, as that program may be waiting for our window to hand over a field it
// asked for after we had stopped waiting.
bool OpenClipboardSoon(HWND owner, int attempts = 5) {
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (OpenClipboard(owner)) return true;
        PumpMessages(20, false);
    }
    return false;
}

// A movable block holding a copy of `size` bytes. Never of size 0, which Windows would
// make a discarded block that no reader can lock.
HGLOBAL GlobalCopy(const void* bytes, std::size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size > 0 ? size : 1);
    if (!block) return nullptr;
    if (size > 0) {
        void* to = GlobalLock(block);
        if (!to) {
            GlobalFree(block);
            return nullptr;
        }
        std::memcpy(to, bytes, size);
        GlobalUnlock(block);
    }
    return block;
}

// Puts a copy of the bytes on the open clipboard, which takes the block over.
void SetClipboardBytes(UINT format, const void* bytes, std::size_t size) {
    HGLOBAL block = GlobalCopy(bytes, size);
    if (block && SetClipboardData(format, block)) return;
    DebugTrace("[E] SetClipboardData %u - %lu\n", format, GetLastError());
    if (block) GlobalFree(block);
}

// Whether a format's data is a block of bytes that a copy can stand for. Not so for GDI
// objects, metafiles and formats drawn by their owner; the system makes CF_BITMAP again from
// the CF_DIB it offers for it. A private format's handle may be anything, and a copy put
// back would have no owner to free it.
bool CopiedAsBytes(UINT format) {
    switch (format) {
        case CF_BITMAP:
        case CF_ENHMETAFILE:
        case CF_METAFILEPICT:
        case CF_PALETTE:
        case CF_OWNERDISPLAY:
        case CF_DSPBITMAP:
        case CF_DSPENHMETAFILE:
        case CF_DSPMETAFILEPICT: return false;
        default:
            return !(format >= CF_GDIOBJFIRST && format <= CF_GDIOBJLAST) &&
                   !(format >= CF_PRIVATEFIRST && format <= CF_PRIVATELAST);
    }
}

// Copies every format of the open clipboard that can be put back.
void SaveClipboard(std::vector<SavedFormat>& saved) {
    for (UINT format = EnumClipboardFormats(0); format; format = EnumClipboardFormats(format)) {
        if (!CopiedAsBytes(format)) continue;
        HANDLE data = GetClipboardData(format);
        if (!data) continue;
        SIZE_T size = GlobalSize(data);
        const auto* bytes =
            static_cast<const unsigned char*>(size > 0 ? GlobalLock(data) : nullptr);
        if (size > 0 && !bytes) continue;
        try {
            saved.push_back({format, std::vector<unsigned char>(bytes, bytes + size)});
        } catch (const std::bad_alloc&) {
            DebugTrace("[E] Clipboard format %u not kept: %lu bytes\n", format,
                       static_cast<unsigned long>(size));
        }
        if (bytes) GlobalUnlock(data);
    }
}

// Hands the field over on the clipboard, which is open: by the reader that asked for it,
// or by us.
void RenderField() {
    SetClipboardBytes(CF_UNICODETEXT, gPaste.field.c_str(),
                      (gPaste.field.size() + 1) * sizeof(wchar_t));
}

LRESULT CALLBACK PasteWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_RENDERFORMAT:
            // The focused program reads the paste now; from here on the clipboard may change.
            if (wParam == CF_UNICODETEXT) {
                RenderField();
                gPaste.read = true;
                gPaste.owed = false;
            }
            return 0;
        case WM_RENDERALLFORMATS:
            // The window goes while a field is still owed: it stays on the clipboard, unless
            // something else has been put there meanwhile. Once the user's clipboard is back,
            // nothing is owed: the window still owns the clipboard, and rendering now would
            // put the last field over the user's text.
            if (gPaste.owed && OpenClipboard(window)) {
                if (GetClipboardOwner() == window) RenderField();
                CloseClipboard();
            }
            return 0;
        default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

// The typing thread has no window of its own, and the clipboard's owner must be one: a
// message-only window, which nothing can see.
HWND CreatePasteWindow() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!gClassRegistered) {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = PasteWindowProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kWindowClass;
        gClassRegistered = RegisterClassExW(&windowClass) != 0;
        if (!gClassRegistered) {
            DebugTrace("[E] RegisterClassEx paster - %lu\n", GetLastError());
            return nullptr;
        }
    }
    HWND window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  instance, nullptr);
    if (!window) DebugTrace("[E] CreateWindowEx paster - %lu\n", GetLastError());
    return window;
}

std::wstring Utf16(std::string_view utf8) {
    int size = static_cast<int>(utf8.size());
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, text.data(), length);
    return text;
}

// Keeps the fields out of the clipboard history and away from programs that watch the
// clipboard, those that heed these formats (Windows' own, and the older one of clipboard
// managers): a payment code is nobody else's business, and a watcher reading the field
// would be taken for the focused program reading it.
void MarkNotForWatchers() {
    DWORD no = 0;
    SetClipboardBytes(RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing"),
                      nullptr, 0);
    SetClipboardBytes(RegisterClipboardFormatW(L"Clipboard Viewer Ignore"), nullptr, 0);
    SetClipboardBytes(RegisterClipboardFormatW(L"CanIncludeInClipboardHistory"), &no, sizeof no);
}

INPUT KeyInput(WORD virtualKey, DWORD flags) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = flags;
    return input;
}

// In one piece, so that no key of the user's comes between.
bool PressCtrlV() {
    INPUT inputs[] = {KeyInput(VK_CONTROL, 0), KeyInput('V', 0), KeyInput('V', KEYEVENTF_KEYUP),
                      KeyInput(VK_CONTROL, KEYEVENTF_KEYUP)};
    if (SendInput(4, inputs, sizeof(INPUT)) == 4) return true;
    DebugTrace("[E] SendInput Ctrl+V - %lu\n", GetLastError());
    return false;
}

}  // namespace

bool BeginClipboardPaste() {
    gPasting.lock();
    gPaste = Paste();
    gPaste.window = CreatePasteWindow();
    if (gPaste.window && OpenClipboardSoon(gPaste.window)) {
        SaveClipboard(gPaste.saved);
        CloseClipboard();
        return true;
    }
    if (gPaste.window) {
        DebugTrace("[E] OpenClipboard to keep it - %lu\n", GetLastError());
        DestroyWindow(gPaste.window);
    }
    gPaste = Paste();
    gPasting.unlock();
    return false;
}

bool PasteThroughClipboard(std::string_view utf8) {
    if (!OpenClipboardSoon(gPaste.window)) {
        DebugTrace("[E] OpenClipboard to paste - %lu\n", GetLastError());
        return false;
    }
    // Only now: while the clipboard was being opened, a late request for the field before
    // may have come in, and it gets that field.
    gPaste.field = Utf16(utf8);
    gPaste.read = false;
    // The field is offered, not put there: the reader's request for it tells us that it has
    // been read, so that neither the next field nor the user's clipboard put back can take
    // its place before the focused program has it.
    bool emptied = EmptyClipboard();
    if (emptied) {
        SetClipboardData(CF_UNICODETEXT, nullptr);
        gPaste.owed = true;
        MarkNotForWatchers();
    } else {
        DebugTrace("[E] EmptyClipboard to paste - %lu\n", GetLastError());
    }
    CloseClipboard();
    if (!emptied || !PressCtrlV()) return false;
    PumpMessages(kReadWait, true);
    if (!gPaste.read) DebugTrace("[E] Pasted field not read in %lu ms\n", kReadWait);
    PumpMessages(kSettle, false);
    return true;
}

void EndClipboardPaste() {
    // Emptied even when nothing was kept, so that the last field is not left there. The
    // target, or a program that watches the clipboard, may hold it a while after a paste:
    // the user's clipboard is worth two seconds of tries.
    if (OpenClipboardSoon(gPaste.window, 100)) {
        EmptyClipboard();
        gPaste.owed = false;
        for (const SavedFormat& kept : gPaste.saved)
            SetClipboardBytes(kept.format, kept.bytes.data(), kept.bytes.size());
        CloseClipboard();
    } else {
        DebugTrace("[E] OpenClipboard to put it back - %lu\n", GetLastError());
    }
    DestroyWindow(gPaste.window);
    gPaste = Paste();
    gPasting.unlock();
}
