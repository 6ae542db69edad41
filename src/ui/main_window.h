#pragma once

#include <windows.h>

#include "ui/main_window_services.h"
#include "ui/program.h"

// Registers the class "ZentoryWinClass" of the main window (a dialog from the template
// "MAIN"); false when it cannot.
bool RegisterMainWindowClass(HINSTANCE instance);

// Creates the main window, hidden; its creation builds the toolbar, the filter, the status
// bar, the tray icon and the history list, registers the hot keys and starts the receiver
// when the program's socket is open.
HWND CreateMainWindow(Program& program);

// The main window's dialog procedure: it only dispatches to the commands' own files.
INT_PTR CALLBACK MainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
