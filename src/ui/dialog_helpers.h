#pragma once

#include <windows.h>

// Small pieces that several dialogs share.

// The colour of link-like texts: the system's hot-tracking colour, or pure blue where
// the system has none or where it would hardly stand out from the dialog's face (some
// themes make it a pale grey).
COLORREF LinkTextColour();

// WM_CTLCOLORSTATIC for a static drawn in `colour` on the dialog's face: the result the
// dialog procedure returns.
INT_PTR ColouredStaticText(WPARAM dc, COLORREF colour);

// Tells the user that the registry refused the settings (the error number), which then
// hold only until the program closes.
void ReportRefusedSettings(HWND owner, int error);

// Ends the dialog with 0 for OK, Cancel (Enter, Escape) and the close box; true when it did.
bool EndOnOkCancelOrClose(HWND dialog, UINT message, WPARAM wParam);
