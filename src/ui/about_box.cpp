#include "ui/about_box.h"

#include <shellapi.h>

#include "resource.h"
#include "ui/layout_helper.h"
#include "ui/dialog_helpers.h"

namespace {

// One About box is open at a time.
struct AboutState {
    HWND link = nullptr;
    bool underlined = true;  // at rest; off while the pointer is over the link
    HFONT plainFont = nullptr;
    HFONT underlinedFont = nullptr;
    HCURSOR hand = nullptr;
    HCURSOR arrow = nullptr;
} gAbout;

HWND ChildUnderPointer(HWND dialog, LPARAM lParam) {
    POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return ChildWindowFromPointEx(dialog, point, CWP_SKIPINVISIBLE);
}

}  // namespace

INT_PTR CALLBACK AboutBoxProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            CenterWindow(GetParent(dialog), dialog);
            gAbout.underlined = true;
            gAbout.link = GetDlgItem(dialog, IDC_ABOUT_LINK);
            gAbout.plainFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
            LOGFONTA description = {};
            GetObjectA(gAbout.plainFont, sizeof description, &description);
            description.lfUnderline = TRUE;
            if (gAbout.underlinedFont) DeleteObject(gAbout.underlinedFont);
            gAbout.underlinedFont = CreateFontIndirectA(&description);
            gAbout.hand = LoadCursorA(GetModuleHandleA(nullptr), "HAND");
            gAbout.arrow = LoadCursorA(nullptr, IDC_ARROW);
            // The link's font is its own (a static may select its font after asking for colours).
            SendMessageA(gAbout.link, WM_SETFONT, reinterpret_cast<WPARAM>(gAbout.underlinedFont),
                         FALSE);
            SetDlgItemTextA(dialog, IDC_ABOUT_CREDIT, "© Mordale");
            return TRUE;
        }
        case WM_COMMAND:
        case WM_CLOSE: return EndOnOkCancelOrClose(dialog, message, wParam);
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) != gAbout.link) return FALSE;
            return ColouredStaticText(wParam, LinkTextColour());
        case WM_MOUSEMOVE: {
            bool overLink = ChildUnderPointer(dialog, lParam) == gAbout.link;
            if (gAbout.underlined == overLink) {
                gAbout.underlined = !overLink;
                SendMessageA(gAbout.link, WM_SETFONT,
                             reinterpret_cast<WPARAM>(gAbout.underlined ? gAbout.underlinedFont
                                                                        : gAbout.plainFont),
                             FALSE);
                InvalidateRect(gAbout.link, nullptr, FALSE);
            }
            SetCursor(overLink ? gAbout.hand : gAbout.arrow);
            return FALSE;
        }
        case WM_LBUTTONDOWN:
            if (ChildUnderPointer(dialog, lParam) == gAbout.link) {
                ShellExecuteA(dialog, "open", kMakerWebSite, nullptr, nullptr, SW_SHOWNORMAL);
            }
            return FALSE;
        default: return FALSE;
    }
}

void AboutBox(HWND owner, HINSTANCE instance) {
    DialogBoxParamA(instance, "ABOUT", owner, AboutBoxProcedure, 0);
}
