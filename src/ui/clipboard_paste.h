#pragma once

#include <optional>
#include <string>

#include <windows.h>

#include "ui/program.h"

// The clipboard's text as Windows-1252 (Unicode text first, then ANSI), at most
// kMaxPastedBytes of it; nothing when it holds no text or cannot be opened.
std::optional<std::string> ClipboardText(HWND owner);

// Ctrl+V, "Arquivo > Colar código" and the tray menu: each copied line that holds a code
// becomes a row, as if it had been scanned (interpreted, journaled, checked against the
// codes read before), from "área de transferência" and not typed: Zentory itself has the
// focus. The lines that are no code are told in one message.
void PasteCodes(Program& program);

// Ctrl+Alt+V, pressed in another program's window: the clipboard's first code becomes a
// row and is typed there in the held injection mode, unless its check digits fail.
void TypeCopiedCode(Program& program);

// Registers Ctrl+Alt+V for the main window; when another program holds it, says so once
// (a trace now, the status bar shortly after the start) and goes on.
void RegisterPasteHotKey(Program& program, HWND window);
