#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "reception/local_network_win32.h"
#include "ui/program.h"

// "Conectar celular": what the user types into the phone (this computer's addresses and
// the port), who may send, what arrived and what was refused, and whether the firewall
// lets the codes in. The counts refresh while the window is open.
void ConnectWindow(HWND owner, Program& program);

// The dialog procedure; lParam of WM_INITDIALOG is the Program.
INT_PTR CALLBACK ConnectWindowProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// "192.168.0.10:6666", what "Copiar" puts on the clipboard.
std::string PhoneTarget(const LocalAddress& address, int port);

// One line of the address list: "192.168.0.10   (Wi-Fi)".
std::string AddressLine(const LocalAddress& address);

// Whether the program should open the connect window by itself: on the first start on
// this computer, when no settings were ever stored.
bool IsFirstStart(SettingsStore& store);
