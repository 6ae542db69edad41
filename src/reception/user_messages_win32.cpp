#include "reception/user_messages_win32.h"

#include <windows.h>

void MessageBoxUserMessages::ShowError(const std::string& text) {
    MessageBoxA(nullptr, text.c_str(), "zentory", MB_OK | MB_ICONERROR);
}
