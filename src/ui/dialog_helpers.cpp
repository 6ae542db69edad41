#include "ui/dialog_helpers.h"

#include <cstdio>

#include <cstdlib>

namespace {

int Brightness(COLORREF colour) {
    return (299 * GetRValue(colour) + 587 * GetGValue(colour) + 114 * GetBValue(colour)) / 1000;
}

}  // namespace

COLORREF LinkTextColour() {
    const COLORREF blue = RGB(0, 0, 255);
    if (!GetSysColorBrush(COLOR_HOTLIGHT)) return blue;
    COLORREF hot = GetSysColor(COLOR_HOTLIGHT);
    return std::abs(Brightness(hot) - Brightness(GetSysColor(COLOR_BTNFACE))) < 100 ? blue : hot;
}

INT_PTR ColouredStaticText(WPARAM dc, COLORREF colour) {
    HDC context = reinterpret_cast<HDC>(dc);
    SetBkMode(context, TRANSPARENT);
    SetTextColor(context, colour);
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

bool EndOnOkCancelOrClose(HWND dialog, UINT message, WPARAM wParam) {
    if (message == WM_CLOSE || (message == WM_COMMAND && (wParam == IDOK || wParam == IDCANCEL))) {
        EndDialog(dialog, 0);
        return true;
    }
    return false;
}

void ReportRefusedSettings(HWND owner, int error) {
    char message[160];
    std::snprintf(message, sizeof message,
                  "Não foi possível gravar a configuração no registro (erro %d). Ela vale até o "
                  "programa ser fechado.",
                  error);
    MessageBoxA(owner, message, "zentory", MB_OK | MB_ICONWARNING);
}
