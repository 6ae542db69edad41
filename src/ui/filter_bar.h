#pragma once

#include <windows.h>

#include "ui/program.h"

// The filter above the history list: a text box ("Ctrl+F") and a choice of all rows, the
// rows still to pay or the paid ones. Each change shows the list again at once.

// Creates the box and the choice under the toolbar, in the window's font.
void CreateFilterBar(Program& program, HWND window);
// Places them below `top` (client coordinates) for `dpi`, in `font`; returns where the
// list may begin.
int PlaceFilterBar(Program& program, int top, UINT dpi, HFONT font);
// WM_COMMAND from the box or the choice.
void OnFilterCommand(Program& program, int control, int notification);
// Ctrl+F: the box, its text selected.
void FocusFilter(Program& program);
