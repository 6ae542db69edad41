#pragma once

// A stand-in for the tray (Program::notifyIcon) that keeps the texts of the balloons shown.

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

struct BalloonTray {
    static BOOL WINAPI NotifyIcon(DWORD command, PNOTIFYICONDATAA data) {
        if (command == NIM_MODIFY && (data->uFlags & NIF_INFO)) balloons.push_back(data->szInfo);
        return TRUE;
    }
    static inline std::vector<std::string> balloons;
};
