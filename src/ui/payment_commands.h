#pragma once

#include <windows.h>
#include <commctrl.h>

#include "history/code_record.h"
#include "ui/program.h"

// The commands of the payment run: the paid mark of a row, the typed mark of a code, the
// next code on Ctrl+Alt+N, the selected row again on Ctrl+Alt+B, and the row's menu.

// The record was typed just now: its row's copy and the history remember when.
void NoteTyped(Program& program, const CodeRecord* record);
// The record was marked paid, or no longer is: its row's copy and the history remember it.
void NotePaid(Program& program, const CodeRecord* record, bool paid);

// Ctrl+Alt+N, "Digitar próximo": types into the focused window the first row in the list's
// order that is payable and neither paid nor typed, selects it, marks it typed and names
// it in the status bar. With none, a balloon says so.
void TypeNextCode(Program& program);
// Ctrl+Alt+B: types the selected row's code again, into whatever window has the focus;
// nothing when no row is selected.
void TypeChosenRow(Program& program);

// Registers Ctrl+Alt+N for the main window; another program may hold it (nextHotKeyRefused).
void RegisterNextHotKey(Program& program, HWND window);

// LVN_ITEMCHANGED: a row's check box was ticked or cleared, by the user or by the row menu.
void OnRowCheckChanged(Program& program, const NMLISTVIEW* change);
// WM_CONTEXTMENU from the list (a right click at `where`, in screen coordinates, or -1 for
// the keyboard's menu key): "Marcar como pago" for the rows selected, and the row's details.
void ShowRowMenu(Program& program, LPARAM where);
