#include "ui/link_colour.h"

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
