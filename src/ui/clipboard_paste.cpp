#include "ui/clipboard_paste.h"

#include <cwchar>

#include "reception/clipboard_codes.h"
#include "ui/hot_keys.h"
#include "ui/main_window_services.h"
#include "ui/tray_icon.h"
#include "util/debug_trace.h"
#include "util/text_encoding.h"

namespace {

// The clipboard may be open in another program for a moment: a few tries.
bool OpenClipboardSoon(HWND owner) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (OpenClipboard(owner)) return true;
        Sleep(20);
    }
    return false;
}

std::optional<std::string> UnicodeText(HANDLE data) {
    const auto* text = static_cast<const wchar_t*>(GlobalLock(data));
    if (!text) return std::nullopt;
    std::size_t most = std::min(GlobalSize(data) / sizeof(wchar_t), kMaxPastedBytes + 1);
    int length = static_cast<int>(wcsnlen(text, most));
    std::string converted;
    if (length > 0) {
        // UTF-8: a Pix code's CRC covers the UTF-8 of its name and city.
        int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
        converted.resize(static_cast<std::size_t>(std::max(size, 0)));
        WideCharToMultiByte(CP_UTF8, 0, text, length, converted.data(), size, nullptr, nullptr);
    }
    GlobalUnlock(data);
    return converted;
}

std::optional<std::string> AnsiText(HANDLE data) {
    const auto* text = static_cast<const char*>(GlobalLock(data));
    if (!text) return std::nullopt;
    std::size_t most = std::min(GlobalSize(data), kMaxPastedBytes + 1);
    std::string copied = Windows1252ToUtf8(std::string_view(text, strnlen(text, most)));
    GlobalUnlock(data);
    return copied;
}

void DeliverPasted(Program& program, PastedText& pasted) {
    ReceiverSink& sink = MainSinkOf(program);
    for (CodeRecord& record : pasted.records)
        sink.Deliver(std::move(record));
    pasted.records.clear();
}

}  // namespace

std::optional<std::string> ClipboardText(HWND owner) {
    if (!OpenClipboardSoon(owner)) {
        DebugTrace("[E] OpenClipboard %lu\n", GetLastError());
        return std::nullopt;
    }
    std::optional<std::string> text;
    if (HANDLE unicode = GetClipboardData(CF_UNICODETEXT)) {
        text = UnicodeText(unicode);
    } else if (HANDLE ansi = GetClipboardData(CF_TEXT)) {
        text = AnsiText(ansi);
    }
    CloseClipboard();
    return text;
}

void PasteCodes(Program& program) {
    std::string text = ClipboardText(program.mainWindow).value_or("");
    PastedText pasted = ReadPastedText(text, program.pasteState, LocalNow());
    bool any = !pasted.records.empty();
    std::string message = NotCodesMessage(pasted);
    if (pasted.cut) {
        if (!message.empty()) message += "\n";
        message += "Uma colagem traz no máximo " + std::to_string(kMaxPastedCodes) +
                   " códigos: o resto do texto não foi lido.";
    }
    DebugTrace("Pasted %u codes, %d other lines\n", static_cast<unsigned>(pasted.records.size()),
               pasted.notCodes);
    DeliverPasted(program, pasted);
    if (!message.empty())
        MessageBoxA(program.mainWindow, message.c_str(), "Colar código",
                    MB_OK | (any ? MB_ICONINFORMATION : MB_ICONWARNING));
}

void TypeCopiedCode(Program& program) {
    std::string text = ClipboardText(program.mainWindow).value_or("");
    PastedText pasted = ReadPastedText(text, program.pasteState, LocalNow(), 1);
    if (pasted.records.empty()) {
        ShowTrayBalloon(program, NotCodesMessage(pasted));
        return;
    }
    CodeRecord& first = pasted.records.front();
    std::string code = first.code;
    CodeKind kind = first.kind;
    bool valid = first.checkDigitsValid;
    // Typed before its row shows, so that the row and the history say when.
    bool typed = valid && program.injector && program.injector->TypeCode(code, kind);
    if (typed) first.typedAt = first.receivedAt;
    DeliverPasted(program, pasted);
    if (!valid) {
        ShowTrayBalloon(program, kind == CodeKind::Pix
                                     ? "O código Pix copiado não confere; nada foi digitado."
                                     : "O código copiado não confere (dígito verificador); "
                                       "nada foi digitado.");
    } else if (program.settings.injectionMode <= ModeOff || !program.injector) {
        ShowStatusText(program,
                       "Injeção de teclado desativada: o código copiado foi só para a lista.");
    }
}

void RegisterPasteHotKey(Program& program, HWND window) {
    program.pasteHotKeyId = GlobalAddAtomA("ZentoryPasteHotkey");
    if (RegisterCtrlAltHotKey(window, program.pasteHotKeyId, 'V')) return;
    DebugTrace("[E] RegisterHotKey Ctrl+Alt+V %lu\n", GetLastError());
    program.pasteHotKeyRefused = true;
}
