#include "ui/tray_icon.h"

#include "ui/layout_helper.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "resource.h"
#include "ui/dpi.h"
#include "ui/layout_helper.h"
#include "ui/program.h"
#include "util/debug_trace.h"

namespace {

HICON gTrayIcon = nullptr;  // loaded once, kept for the life of the process
HMENU gTrayMenu = nullptr;  // loaded on first use, kept

// The notification area draws small icons at the system's scale: 16 pixels at 100 %,
// 24 at 150 %.
HICON TrayIcon(HINSTANCE instance) {
    if (!gTrayIcon) {
        int size = SystemMetricForDpi(SM_CXSMICON, SystemDpi());
        gTrayIcon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_TRAY), IMAGE_ICON,
                                                  size, size, LR_DEFAULTCOLOR));
    }
    return gTrayIcon;
}

void ShowTrayMenu(HWND mainWindow, HINSTANCE instance, POINT point) {
    if (!gTrayMenu) gTrayMenu = LoadMenuA(instance, MAKEINTRESOURCEA(IDR_TRAY_MENU));
    if (!gTrayMenu) return;
    HMENU popup = GetSubMenu(gTrayMenu, 0);
    // In front first, or the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(mainWindow);
    TrackPopupMenu(popup, TPM_BOTTOMALIGN | TPM_RIGHTBUTTON, point.x, point.y, 0, mainWindow,
                   nullptr);
    PostMessageA(mainWindow, WM_NULL, 0, 0);
}

}  // namespace

bool AddTrayIcon(Program& program) {
    NOTIFYICONDATAA data = {};
    data.cbSize = sizeof data;
    data.hWnd = program.mainWindow;
    data.uID = kTrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = TrayIcon(program.instance);
    lstrcpynA(data.szTip, "Zentory", sizeof data.szTip);
    if (program.notifyIcon(NIM_ADD, &data)) return true;
    // An icon that is still there (the taskbar restarted without losing it) only changes.
    return program.notifyIcon(NIM_MODIFY, &data) != FALSE;
}

void DeleteTrayIcon(Program& program) {
    TrayIcon(program.instance);
    NOTIFYICONDATAA data = {};
    data.cbSize = sizeof data;
    data.hWnd = program.mainWindow;
    data.uID = kTrayIconId;
    program.notifyIcon(NIM_DELETE, &data);
}

void ShowTrayBalloon(Program& program, const std::string& text) {
    NOTIFYICONDATAA data = {};
    data.cbSize = sizeof data;
    data.hWnd = program.mainWindow;
    data.uID = kTrayIconId;
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = NIIF_WARNING;
    lstrcpynA(data.szInfo, text.c_str(), sizeof data.szInfo);
    lstrcpynA(data.szInfoTitle, "Zentory", sizeof data.szInfoTitle);
    program.notifyIcon(NIM_MODIFY, &data);
}

void ShowRefusalBalloon(Program& program, std::uint32_t senderAddress) {
    ShowTrayBalloon(program, "Zentory recusou um código de " + FormatIPv4(senderAddress) +
                                 " (fora das redes permitidas). Para aceitar, veja Opções > "
                                 "Configuração.");
}

POINT ClampIntoWorkArea(POINT point, const RECT& workArea) {
    point.y = std::max(std::min(point.y, workArea.bottom), workArea.top);
    point.x = std::max(std::min(point.x, workArea.right), workArea.left);
    return point;
}

void ShowMainWindow(HWND mainWindow) {
    ShowWindow(mainWindow, SW_SHOWNORMAL);
    SetForegroundWindow(mainWindow);
}

void OnTrayNotification(HWND mainWindow, HINSTANCE instance, UINT iconId, UINT mouseMessage) {
    if (mouseMessage == WM_MOUSEMOVE) return;
    DebugTrace("TrayCallback(%d,%d)\n", static_cast<int>(iconId), static_cast<int>(mouseMessage));
    if (mouseMessage == WM_RBUTTONUP && iconId == kTrayIconId) {
        POINT point;
        GetCursorPos(&point);
        // On the monitor of the click: the taskbar may be on any of them.
        ShowTrayMenu(mainWindow, instance, ClampIntoWorkArea(point, WorkAreaAt(point)));
        SendMessageA(mainWindow, WM_CANCELMODE, 0, 0);
    } else if (mouseMessage == WM_LBUTTONDOWN) {
        ShowMainWindow(mainWindow);
    }
}
