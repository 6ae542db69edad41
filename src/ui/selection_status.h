#pragma once

#include <windows.h>
#include <commctrl.h>

#include <array>

#include "ui/program.h"

// The status bar's third part: how many history rows are selected and the total of their
// values, once two or more are; otherwise what is left to pay. Parts 0 and 1 keep the
// reception and the mode texts.

// The status bar's part edges across `width` pixels: the mode and selection parts as wide as
// they ask, the reception part the rest but never less than a third of the width (the mode
// and selection parts then share what is left, in proportion); the last part runs to the end.
std::array<int, 3> StatusPartEdges(int width, int modeWidth, int selectionWidth);

// Lays the three parts out across the status bar's parent, measuring the mode texts and the
// selection text in the status bar's font. For WM_SIZE and after the selection text changes.
void LayOutStatusParts(HWND statusBar);

// A notification from the history list (control 1090) of the main window: a change of rows,
// of their selection or of their paid marks asks for the total once the changes are over
// (a timer of the main window), so that a range selected at once or a batch of rows dropped
// is added up once.
void NoteHistoryListChange(HWND mainWindow, const NMHDR* header);
// Asks for the total once the changes under way are over: records stored or dropped
// without a row of their own (the filter keeps them out) change what is left to pay.
void RequestSelectionTotal(HWND mainWindow);
// WM_TIMER of the main window: true when it was the total's timer, and the total is shown.
bool OnSelectionTotalTimer(Program& program, UINT_PTR timer);

// Shows the count and the total of the list's selected rows in part 2 when two or more are
// selected (each row's item data is its record), and what is left to pay in the whole list
// otherwise.
void ShowSelectionTotal(Program& program);
