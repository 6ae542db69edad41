#pragma once

#include <windows.h>
#include <commctrl.h>

// Display scale. Sizes in this program are given for 96 dots per inch (100 %) and scaled
// to the DPI of the window they are shown in; the manifest makes the program aware of
// each monitor's scale.

constexpr UINT kDefaultDpi = 96;

// The window's DPI: GetDpiForWindow where Windows has it (10 1607 on), else the
// system's DPI.
UINT DpiOfWindow(HWND window);
// The system's DPI, the one the taskbar and a window without a monitor use.
UINT SystemDpi();

// A size in pixels at 96 DPI, at `dpi`.
int ScaleToDpi(int pixelsAt96, UINT dpi);

// A system metric (SM_CXSMICON, SM_CXVSCROLL...) at `dpi`: GetSystemMetricsForDpi where
// Windows has it, else the system's metric scaled from the system's DPI.
int SystemMetricForDpi(int index, UINT dpi);

// An image list of `count` icons from the program's resources, each `size` pixels square.
// Icons that fail to load are traced and left out.
HIMAGELIST IconImageList(HINSTANCE instance, const int* iconIds, int count, int size);

// The dialog font of the main window at `dpi`: the face and weight of `like`, at the
// height that `like` has at `likeDpi`. Null when it cannot be made.
HFONT FontForDpi(HFONT like, UINT likeDpi, UINT dpi);

// The system's status-bar font at `dpi`; the caller deletes it. Null when it cannot be made.
HFONT StatusFontForDpi(UINT dpi);

// Stops the dialog manager from laying out a dialog again on its own when it moves to a
// monitor of another scale, for windows that do it themselves (Windows 10 1703 on).
void TakeOverDpiChanges(HWND dialog);
