#pragma once

#include <windows.h>

#include <vector>

// Anchoring of a resizable window's children: each child is classified by where it lies
// against a split line across the window (50 % of the width, 67 % of the height);
// children beyond the line follow the window's growth, children across it stretch.
// Also draws a size grip, makes the lower-right corner a sizing handle and keeps the
// window from becoming smaller than it was when attached.
class LayoutHelper {
public:
    enum Mode { Automatic = 0, Keep = 1, Move = 2, Stretch = 3 };

    struct Override {
        HWND child;
        int horizontal;
        int vertical;
    };

    // Records the window's outer size as its first and minimum size.
    void Attach(HWND window);
    // The child's override entry, appended with automatic modes when `create` is set;
    // nothing for a null child, or when absent and not to be created.
    Override* FindOverride(HWND child, bool create);

    // WM_SIZE: lays the children out again after a restore or maximise that changed the size.
    void OnSize(WPARAM sizeType);
    // WM_PAINT: the size grip, unless maximised.
    void PaintGrip();
    // WM_NCHITTEST: HTBOTTOMRIGHT over the grip, else the default answer.
    LRESULT HitTest(WPARAM wParam, LPARAM lParam);
    // WM_GETMINMAXINFO
    void GetMinMaxInfo(MINMAXINFO* info) const;
    // WM_DPICHANGED: the minimum size, the size at attaching, at `dpi` rather than at
    // `attachedDpi`.
    void ScaleMinimum(UINT attachedDpi, UINT dpi);

    // The modes a child gets, from its rectangle in client coordinates (exposed for tests).
    void ClassifyChild(HWND child, const RECT& bounds, int& horizontal, int& vertical) const;

private:
    static BOOL CALLBACK PositionChild(HWND child, LPARAM self);
    RECT GripRect(const RECT& area) const;

    HWND window = nullptr;
    int attachedWidth = 0, attachedHeight = 0;
    int initialWidth = 0, initialHeight = 0;
    int previousWidth = 0, previousHeight = 0;
    int currentWidth = 0, currentHeight = 0;
    HDWP pending = nullptr;
    int horizontalSplit = 50;
    int verticalSplit = 67;
    bool enabled = true;
    std::vector<Override> overrides;
};

// Places `window` centred over `reference` (its outer rectangle), or over the work area
// when there is no reference or it is hidden or minimised, and keeps it inside the work
// area of the monitor that holds the reference.
void CenterWindow(HWND reference, HWND window);

// Makes a window that is larger than the work area of its monitor (a high display scale
// on a small screen) as large as that work area, and moves it inside.
void FitIntoWorkArea(HWND window);

// The work area of the monitor at `point` (the nearest one when none holds it).
RECT WorkAreaAt(POINT point);

// Where a window of `size` goes when centred over `over`, moved inside `workArea` as far
// as it fits (its top left corner stays visible when it is larger).
POINT CenteredPosition(const RECT& over, SIZE size, const RECT& workArea);

// Hook of the common Save dialog: centres the dialog over its owner when it opens.
UINT_PTR CALLBACK CenteringSaveDialogHook(HWND hook, UINT message, WPARAM wParam, LPARAM lParam);
