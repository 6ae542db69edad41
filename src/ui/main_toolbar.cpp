#include "ui/main_toolbar.h"

#include "resource.h"
#include "ui/dpi.h"
#include "util/debug_trace.h"

namespace {

constexpr UINT kCommands[] = {IDM_SAVE, IDM_DELETE, IDM_CONFIGURATION};
constexpr int kIcons[] = {IDI_TOOLBAR_SAVE, IDI_TOOLBAR_DELETE, IDI_TOOLBAR_SETTINGS};
constexpr int kButtonCount = 3;
constexpr int kImageSizeAt96 = 24;

HIMAGELIST ImagesForDpi(HINSTANCE instance, UINT dpi) {
    return IconImageList(instance, kIcons, kButtonCount, ScaleToDpi(kImageSizeAt96, dpi));
}

// Buttons as large as their images and the room around them, both at `dpi`: the toolbar
// itself keeps its room at 100 %.
void SizeButtons(HWND toolbar, UINT dpi) {
    int image = ScaleToDpi(kImageSizeAt96, dpi);
    int padX = ScaleToDpi(7, dpi), padY = ScaleToDpi(6, dpi);
    SendMessageA(toolbar, TB_SETPADDING, 0, MAKELPARAM(padX, padY));
    SendMessageA(toolbar, TB_SETBITMAPSIZE, 0, MAKELPARAM(image, image));
    SendMessageA(toolbar, TB_SETBUTTONSIZE, 0, MAKELPARAM(image + padX, image + padY));
}

}  // namespace

const char* ToolbarTip(UINT command) {
    switch (command) {
        case IDM_SAVE: return "Salvar (F2)";
        case IDM_DELETE: return "Apagar (F6)";
        case IDM_CONFIGURATION: return "Configuração (F8)";
        default: return nullptr;
    }
}

HWND CreateMainToolbar(HWND window, HINSTANCE instance, UINT dpi, HIMAGELIST& images) {
    HWND toolbar = CreateWindowExA(
        0, TOOLBARCLASSNAMEA, nullptr, WS_CHILD | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_ADJUSTABLE,
        0, 0, 0, 0, window, reinterpret_cast<HMENU>(IDC_TOOLBAR), instance, nullptr);
    SendMessageA(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    images = ImagesForDpi(instance, dpi);
    if (images) {
        SendMessageA(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
        SizeButtons(toolbar, dpi);
        if (ImageList_GetImageCount(images) != kButtonCount) {
            DebugTrace("[E] ImageList_GetImageCount\n");
        } else {
            TBBUTTON buttons[kButtonCount] = {};
            for (int i = 0; i < kButtonCount; ++i) {
                buttons[i].iBitmap = i;
                buttons[i].idCommand = static_cast<int>(kCommands[i]);
                buttons[i].fsState = TBSTATE_ENABLED;
                buttons[i].fsStyle = BTNS_BUTTON;
            }
            SendMessageA(toolbar, TB_ADDBUTTONSA, kButtonCount, reinterpret_cast<LPARAM>(buttons));
            TBBUTTON separator = {};
            separator.fsStyle = BTNS_SEP;
            SendMessageA(toolbar, TB_INSERTBUTTONA, 1, reinterpret_cast<LPARAM>(&separator));
            SendMessageA(toolbar, TB_INSERTBUTTONA, 3, reinterpret_cast<LPARAM>(&separator));
        }
    }
    SendMessageA(toolbar, TB_AUTOSIZE, 0, 0);
    ShowWindow(toolbar, SW_SHOW);
    return toolbar;
}

void ScaleMainToolbar(HWND toolbar, HINSTANCE instance, UINT dpi, HIMAGELIST& images) {
    HIMAGELIST scaled = ImagesForDpi(instance, dpi);
    if (!scaled) return;  // the old images are better than none
    SendMessageA(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(scaled));
    SizeButtons(toolbar, dpi);
    if (images) ImageList_Destroy(images);
    images = scaled;
    SendMessageA(toolbar, TB_AUTOSIZE, 0, 0);
}
