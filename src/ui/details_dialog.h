#pragma once

#include <windows.h>

#include "history/history_store.h"

// The interpretation of one stored payment slip (dialog 154) or Pix code (dialog 159), for
// the record whose row has this list item id. Modal; returns when the user closes it.
void ShowDetailsDialog(HWND owner, HINSTANCE instance, const HistoryStore& history, int itemId);

// The dialog procedure, for tests that open the dialog modeless. lParam of
// WM_INITDIALOG: a DetailsRequest.
struct DetailsRequest {
    const HistoryStore* history;
    int itemId;
};
INT_PTR CALLBACK DetailsDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
