#pragma once

#include <windows.h>

// Registers Ctrl+Alt+`key` for the window under `id`. Held keys act once (MOD_NOREPEAT, which
// Windows before 7 does not know: then without it). False when another program holds it.
inline bool RegisterCtrlAltHotKey(HWND window, ATOM id, UINT key) {
    return RegisterHotKey(window, id, MOD_CONTROL | MOD_ALT | MOD_NOREPEAT, key) ||
           RegisterHotKey(window, id, MOD_CONTROL | MOD_ALT, key);
}
