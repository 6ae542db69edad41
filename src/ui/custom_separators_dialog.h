#pragma once

#include <windows.h>

#include "settings/settings_store.h"

// Dialog 156: a "TAB" box in every gap of the typeable lines; "Salvar" stores the boxes
// as the bits of "CustomSeparators" at once.
void CustomSeparatorsDialog(HWND owner, HINSTANCE instance, SettingsStore& store);

// The dialog procedure; lParam of WM_INITDIALOG is the SettingsStore.
INT_PTR CALLBACK CustomSeparatorsProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
