#pragma once

#include <windows.h>

// The colour of link-like texts: the system's hot-tracking colour, or pure blue where
// the system has none or where it would hardly stand out from the dialog's face (some
// themes make it a pale grey).
COLORREF LinkTextColour();
