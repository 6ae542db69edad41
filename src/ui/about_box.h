#pragma once

#include <windows.h>

// The About box "ABOUT": product and version, and a link to the maker's web site that
// loses its underline and shows a hand while the pointer is over it.
void AboutBox(HWND owner, HINSTANCE instance);

INT_PTR CALLBACK AboutBoxProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

inline constexpr const char* kMakerWebSite = "https://www.mordale.com.br";
