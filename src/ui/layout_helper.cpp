#include "ui/layout_helper.h"

#include <algorithm>
#include <cstring>

namespace {

int Width(const RECT& r) {
    return r.right - r.left;
}
int Height(const RECT& r) {
    return r.bottom - r.top;
}

// Push buttons keep their size: a button across the line moves or stays with the
// larger part of it.
bool IsPushButton(HWND child) {
    char className[16] = {};
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Button") != 0) return false;
    LONG type = GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_USERBUTTON ||
           type == BS_OWNERDRAW;
}

}  // namespace

void LayoutHelper::Attach(HWND managed) {
    window = managed;
    RECT outer;
    GetWindowRect(window, &outer);
    attachedWidth = initialWidth = previousWidth = Width(outer);
    attachedHeight = initialHeight = previousHeight = Height(outer);
}

LayoutHelper::Override* LayoutHelper::FindOverride(HWND child, bool create) {
    if (!child) return nullptr;
    for (Override& entry : overrides) {
        if (entry.child == child) return &entry;
    }
    if (!create) return nullptr;
    overrides.push_back({child, Automatic, Automatic});
    return &overrides.back();
}

void LayoutHelper::ClassifyChild(HWND child, const RECT& bounds, int& horizontal,
                                 int& vertical) const {
    int xSplit = horizontalSplit * previousWidth / 100;
    int ySplit = verticalSplit * previousHeight / 100;
    horizontal = (bounds.left < xSplit ? Keep : 0) + (bounds.right >= xSplit ? Move : 0);
    vertical = (bounds.top < ySplit ? Keep : 0) + (bounds.bottom >= ySplit ? Move : 0);
    if (IsPushButton(child)) {
        if (horizontal == Stretch) {
            horizontal = xSplit - bounds.left < bounds.right - xSplit ? Move : Keep;
        }
        if (vertical == Stretch) {
            vertical = ySplit - bounds.top < bounds.bottom - ySplit ? Move : Keep;
        }
    }
    for (const Override& entry : overrides) {
        if (entry.child != child) continue;
        if (entry.horizontal != Automatic) horizontal = entry.horizontal;
        if (entry.vertical != Automatic) vertical = entry.vertical;
    }
}

BOOL CALLBACK LayoutHelper::PositionChild(HWND child, LPARAM selfParam) {
    auto* self = reinterpret_cast<LayoutHelper*>(selfParam);
    if (GetParent(child) != self->window) return TRUE;  // grandchildren move with their parent
    RECT bounds;
    GetWindowRect(child, &bounds);
    MapWindowPoints(nullptr, self->window, reinterpret_cast<POINT*>(&bounds), 2);
    int horizontal, vertical;
    self->ClassifyChild(child, bounds, horizontal, vertical);
    int dx = self->currentWidth - self->previousWidth;
    int dy = self->currentHeight - self->previousHeight;
    if (horizontal == Move) bounds.left += dx;
    if (horizontal == Move || horizontal == Stretch) bounds.right += dx;
    if (vertical == Move) bounds.top += dy;
    if (vertical == Move || vertical == Stretch) bounds.bottom += dy;
    if (self->pending) {
        self->pending =
            DeferWindowPos(self->pending, child, nullptr, bounds.left, bounds.top, Width(bounds),
                           Height(bounds), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return TRUE;
}

void LayoutHelper::OnSize(WPARAM sizeType) {
    RECT outer;
    if (!enabled || !window || (sizeType != SIZE_RESTORED && sizeType != SIZE_MAXIMIZED) ||
        !GetWindowRect(window, &outer)) {
        return;
    }
    currentWidth = Width(outer);
    currentHeight = Height(outer);
    if (currentWidth == previousWidth && currentHeight == previousHeight) return;
    pending = BeginDeferWindowPos(20);
    EnumChildWindows(window, PositionChild, reinterpret_cast<LPARAM>(this));
    if (pending) EndDeferWindowPos(pending);
    pending = nullptr;
    previousWidth = currentWidth;
    previousHeight = currentHeight;
}

RECT LayoutHelper::GripRect(const RECT& area) const {
    RECT grip = area;
    grip.left = area.right - GetSystemMetrics(SM_CXHSCROLL);
    grip.top = area.bottom - GetSystemMetrics(SM_CYVSCROLL);
    return grip;
}

void LayoutHelper::PaintGrip() {
    if (!window || IsZoomed(window)) return;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    RECT grip = GripRect(client);
    DrawFrameControl(dc, &grip, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
    EndPaint(window, &paint);
}

LRESULT LayoutHelper::HitTest(WPARAM wParam, LPARAM lParam) {
    LRESULT hit = DefWindowProcA(window, WM_NCHITTEST, wParam, lParam);
    if (hit != HTCLIENT || IsZoomed(window)) return hit;
    POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    RECT outer;
    GetWindowRect(window, &outer);
    RECT grip = GripRect(outer);
    return PtInRect(&grip, point) ? HTBOTTOMRIGHT : hit;
}

void LayoutHelper::ScaleMinimum(UINT attachedDpi, UINT dpi) {
    if (attachedDpi == 0) return;
    initialWidth = MulDiv(attachedWidth, static_cast<int>(dpi), static_cast<int>(attachedDpi));
    initialHeight = MulDiv(attachedHeight, static_cast<int>(dpi), static_cast<int>(attachedDpi));
}

void LayoutHelper::GetMinMaxInfo(MINMAXINFO* info) const {
    info->ptMinTrackSize.x = initialWidth;
    info->ptMinTrackSize.y = initialHeight;
}

POINT CenteredPosition(const RECT& over, SIZE size, const RECT& workArea) {
    LONG x = over.left + (Width(over) - size.cx) / 2;
    LONG y = over.top + (Height(over) - size.cy) / 2;
    x = std::max(std::min(x, workArea.right - size.cx), workArea.left);
    y = std::max(std::min(y, workArea.bottom - size.cy), workArea.top);
    return {x, y};
}

namespace {

RECT WorkAreaOfMonitor(HMONITOR monitor) {
    MONITORINFO monitorInfo = {};
    monitorInfo.cbSize = sizeof monitorInfo;
    RECT workArea;
    if (GetMonitorInfoA(monitor, &monitorInfo)) {
        workArea = monitorInfo.rcWork;
    } else if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0)) {
        workArea = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    return workArea;
}

// The work area of the monitor that holds `window`, which need not be the primary one: a
// monitor left of or above it has negative coordinates.
RECT WorkAreaOf(HWND window) {
    return WorkAreaOfMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

}  // namespace

RECT WorkAreaAt(POINT point) {
    return WorkAreaOfMonitor(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST));
}

void FitIntoWorkArea(HWND window) {
    RECT workArea = WorkAreaOf(window);
    RECT outer;
    GetWindowRect(window, &outer);
    SIZE size = {std::min(Width(outer), Width(workArea)),
                 std::min(Height(outer), Height(workArea))};
    if (size.cx == Width(outer) && size.cy == Height(outer)) return;
    POINT position = CenteredPosition(workArea, size, workArea);
    SetWindowPos(window, nullptr, position.x, position.y, size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void CenterWindow(HWND reference, HWND window) {
    RECT workArea = WorkAreaOf(reference ? reference : window);
    RECT over = workArea;
    if (reference && IsWindowVisible(reference) && !IsIconic(reference))
        GetWindowRect(reference, &over);
    RECT outer;
    GetWindowRect(window, &outer);
    POINT position = CenteredPosition(over, {Width(outer), Height(outer)}, workArea);
    SetWindowPos(window, nullptr, position.x, position.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

UINT_PTR CALLBACK CenteringSaveDialogHook(HWND hook, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        HWND dialog = GetParent(hook);
        CenterWindow(GetParent(dialog), dialog);
    }
    return 0;
}
