#pragma once

#include <windows.h>

#include "ui/program.h"

// Dialog 153: injection mode, key delay, UDP port, start minimised, start at logon.
// Nothing changes until "Salvar"; then every changed setting is held and stored at once,
// and a changed port moves the reception to the new port.
void ConfigDialog(HWND owner, Program& program);

// The dialog procedure; lParam of WM_INITDIALOG is the Program.
INT_PTR CALLBACK ConfigDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The logon entry for an executable: its path in quotes, so that a path with blanks
// cannot start another program.
std::string LogonEntryFor(const char* executablePath);
