#pragma once

#include <windows.h>

#include "ui/program.h"

// "S&alvar": asks for a file name in the Save dialog (the "-f " name proposed) and
// writes the history there. An existing file is replaced only when the user agrees, and
// a file that cannot be written is reported. 0 when the dialog ended with OK, -1 otherwise.
int ChooseExportFile(HWND owner, Program& program);
