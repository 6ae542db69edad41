#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// The notification-area icon: a left click shows the main window, a right click opens
// the menu with "&Mostrar" and "&Sair".
constexpr UINT kTrayIconId = 500;

struct Program;

// Adds the icon of the program's main window; false when there is no taskbar to take it yet.
bool AddTrayIcon(Program& program);
void DeleteTrayIcon(Program& program);
// A balloon from the icon, titled "Zentory".
void ShowTrayBalloon(Program& program, const std::string& text);
// The balloon for a refused sender: "Zentory recusou um código de ADDRESS (...)".
void ShowRefusalBalloon(Program& program, std::uint32_t senderAddress);
// The tray icon's callback message: icon id and mouse message.
void OnTrayNotification(HWND mainWindow, HINSTANCE instance, UINT iconId, UINT mouseMessage);
// Shows the main window in its normal state, in front.
void ShowMainWindow(HWND mainWindow);
// The point where the tray menu opens: clamped into the work area, y first, then x.
POINT ClampIntoWorkArea(POINT point, const RECT& workArea);
