#include "ui/dpi.h"

#include "util/debug_trace.h"

namespace {

// Functions of newer Windows, looked up once so that the program still starts on older
// versions.
template <typename Function>
Function User32Function(const char* name) {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
               : nullptr;
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
using SetDialogDpiChangeBehaviorFunction = BOOL(WINAPI*)(HWND, int, int);

// A font of `shape`, which has its sizes at `fromDpi`, with its sizes at `toDpi`.
HFONT ScaledFont(LOGFONTA shape, UINT fromDpi, UINT toDpi) {
    shape.lfHeight = MulDiv(shape.lfHeight, static_cast<int>(toDpi), static_cast<int>(fromDpi));
    shape.lfWidth = MulDiv(shape.lfWidth, static_cast<int>(toDpi), static_cast<int>(fromDpi));
    return CreateFontIndirectA(&shape);
}

// DDC_DISABLE_ALL of SetDialogDpiChangeBehavior.
constexpr int kDialogDpiChangesDisabled = 1;

}  // namespace

UINT SystemDpi() {
    static const UINT dpi = [] {
        HDC screen = GetDC(nullptr);
        int dots = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
        if (screen) ReleaseDC(nullptr, screen);
        return dots > 0 ? static_cast<UINT>(dots) : kDefaultDpi;
    }();
    return dpi;
}

UINT DpiOfWindow(HWND window) {
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    UINT dpi = getDpiForWindow && window ? getDpiForWindow(window) : 0;
    return dpi != 0 ? dpi : SystemDpi();
}

int ScaleToDpi(int pixelsAt96, UINT dpi) {
    return MulDiv(pixelsAt96, static_cast<int>(dpi), static_cast<int>(kDefaultDpi));
}

int SystemMetricForDpi(int index, UINT dpi) {
    static const auto getSystemMetricsForDpi =
        User32Function<GetSystemMetricsForDpiFunction>("GetSystemMetricsForDpi");
    if (getSystemMetricsForDpi) return getSystemMetricsForDpi(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

HIMAGELIST IconImageList(HINSTANCE instance, const int* iconIds, int count, int size) {
    HIMAGELIST images = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, count, 0);
    if (!images) {
        DebugTrace("[E] ImageList_Create\n");
        return nullptr;
    }
    for (int i = 0; i < count; ++i) {
        // The icon's own image of that size; Windows stretches the nearest only for
        // scales it was not drawn for.
        HICON icon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(iconIds[i]),
                                                   IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        if (!icon) {
            DebugTrace("[E] LoadIcon %d\n", iconIds[i]);
            continue;
        }
        ImageList_AddIcon(images, icon);
        DestroyIcon(icon);
    }
    return images;
}

HFONT FontForDpi(HFONT like, UINT likeDpi, UINT dpi) {
    LOGFONTA shape = {};
    if (!like || !GetObjectA(like, sizeof shape, &shape)) return nullptr;
    return ScaledFont(shape, likeDpi, dpi);
}

HFONT StatusFontForDpi(UINT dpi) {
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return nullptr;
    // The system's metrics are those of the system's DPI.
    return ScaledFont(metrics.lfStatusFont, SystemDpi(), dpi);
}

void TakeOverDpiChanges(HWND dialog) {
    static const auto setBehavior =
        User32Function<SetDialogDpiChangeBehaviorFunction>("SetDialogDpiChangeBehavior");
    if (setBehavior) setBehavior(dialog, kDialogDpiChangesDisabled, kDialogDpiChangesDisabled);
}
