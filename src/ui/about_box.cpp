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

constexpr UINT kTakeLinkFontsMessage = WM_APP + 1;

// The link's fonts, plain and underlined, from the dialog's font at its present scale.
// The link's font is its own (a static may select its font after asking for colours).
void TakeLinkFonts(HWND dialog) {
    gAbout.plainFont = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    if (!gAbout.plainFont) gAbout.plainFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTA description = {};
    GetObjectA(gAbout.plainFont, sizeof description, &description);
    description.lfUnderline = TRUE;
    HFONT previous = gAbout.underlinedFont;
    gAbout.underlinedFont = CreateFontIndirectA(&description);
    SendMessageA(
        gAbout.link, WM_SETFONT,
        reinterpret_cast<WPARAM>(gAbout.underlined ? gAbout.underlinedFont : gAbout.plainFont),
        TRUE);
    if (previous) DeleteObject(previous);
}

}  // namespace

INT_PTR CALLBACK AboutBoxProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            CenterWindow(GetParent(dialog), dialog);
            gAbout.underlined = true;
            gAbout.link = GetDlgItem(dialog, IDC_ABOUT_LINK);
            gAbout.hand = LoadCursorA(GetModuleHandleA(nullptr), "HAND");
            gAbout.arrow = LoadCursorA(nullptr, IDC_ARROW);
            TakeLinkFonts(dialog);
            SetDlgItemTextA(dialog, IDC_ABOUT_CREDIT, "© Mordale");
            return TRUE;
        }
        case WM_DPICHANGED:
            // The dialog manager gives every control the font of the new scale; the link
            // takes its own from that one afterwards.
            PostMessageA(dialog, kTakeLinkFontsMessage, 0, 0);
            return FALSE;
        case kTakeLinkFontsMessage: TakeLinkFonts(dialog); return TRUE;
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
