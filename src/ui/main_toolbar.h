#pragma once

#include <windows.h>
#include <commctrl.h>

// The main window's toolbar: Save, Delete and Configuration, with their tips.

// Creates the toolbar, its images drawn for `dpi`. The toolbar does not own its image
// list: the caller destroys it (`images`) after the toolbar.
HWND CreateMainToolbar(HWND window, HINSTANCE instance, UINT dpi, HIMAGELIST& images);

// Gives the toolbar images for `dpi`, and buttons to fit them; destroys the images it had.
void ScaleMainToolbar(HWND toolbar, HINSTANCE instance, UINT dpi, HIMAGELIST& images);

// The tip of a toolbar button, by command; nothing for another command.
const char* ToolbarTip(UINT command);
