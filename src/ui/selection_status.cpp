#include "ui/selection_status.h"

#include <algorithm>
#include <string>

#include "history/selection_total.h"
#include "resource.h"
#include "typing/layouts.h"
#include "ui/dpi.h"
#include "ui/history_list.h"
#include "ui/main_window_services.h"

namespace {

constexpr int kStatusParts = 3;
constexpr int kSelectionPart = 2;
// Room around a part's text for its borders, at 100 %.
constexpr int kPartPadding = 12;
// Kept apart from the main window's own timers, which count from 1.
constexpr UINT_PTR kSelectionTotalTimer = 0x5E1;
// As wide as most selections' and payments' texts, so that the parts stay put as the
// selection changes.
constexpr const char* kSelectionSample = "499 a pagar: R$ 99.999,99 (99 vencidos)";

int TextWidth(HDC dc, const char* text) {
    SIZE extent = {};
    GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent);
    return extent.cx;
}

}  // namespace

std::array<int, 3> StatusPartEdges(int width, int modeWidth, int selectionWidth) {
    int reception = width - modeWidth - selectionWidth;
    int least = width / 3;
    if (reception < least) {
        int wanted = modeWidth + selectionWidth;
        int shared = width - least;
        modeWidth = wanted > 0
                        ? static_cast<int>(static_cast<long long>(shared) * modeWidth / wanted)
                        : shared / 2;
        reception = least;
    }
    return {reception, reception + modeWidth, -1};
}

void LayOutStatusParts(HWND statusBar) {
    RECT client;
    if (!GetClientRect(GetParent(statusBar), &client) || client.right <= 0) return;
    // A status bar that was given no font draws with the system's status font.
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(statusBar, WM_GETFONT, 0, 0));
    HFONT statusFont = nullptr;
    if (!font) font = statusFont = StatusFontForDpi(SystemDpi());
    HDC dc = GetDC(statusBar);
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    int modeWidth = 0;
    for (int mode : {ModeOff, ModeTypeable, ModeRaw, ModeTypeableTab, ModeCustom})
        modeWidth = std::max(modeWidth, TextWidth(dc, ModeStatusText(mode)));
    char shown[128] = {};
    if (LOWORD(SendMessageA(statusBar, SB_GETTEXTLENGTHA, kSelectionPart, 0)) < sizeof shown)
        SendMessageA(statusBar, SB_GETTEXTA, kSelectionPart, reinterpret_cast<LPARAM>(shown));
    int selectionWidth = std::max(TextWidth(dc, kSelectionSample), TextWidth(dc, shown));
    if (oldFont) SelectObject(dc, oldFont);
    ReleaseDC(statusBar, dc);
    if (statusFont) DeleteObject(statusFont);

    // The last part also holds the size grip.
    UINT dpi = DpiOfWindow(statusBar);
    int padding = ScaleToDpi(kPartPadding, dpi);
    std::array<int, 3> edges =
        StatusPartEdges(client.right, modeWidth + padding,
                        selectionWidth + padding + SystemMetricForDpi(SM_CXVSCROLL, dpi));
    // Laying the parts out redraws the whole bar: only when they move.
    std::array<int, 3> now = {};
    if (SendMessageA(statusBar, SB_GETPARTS, kStatusParts, reinterpret_cast<LPARAM>(now.data())) ==
            kStatusParts &&
        now == edges) {
        return;
    }
    SendMessageA(statusBar, SB_SETPARTS, kStatusParts, reinterpret_cast<LPARAM>(edges.data()));
}

void NoteHistoryListChange(HWND mainWindow, const NMHDR* header) {
    switch (header->code) {
        case LVN_ITEMCHANGED: {
            const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
            if (!(change->uChanged & LVIF_STATE)) return;
            // Item -1 stands for every row at once.
            // A paid mark changes what is left to pay.
            constexpr UINT kCounted = LVIS_SELECTED | LVIS_STATEIMAGEMASK;
            if (change->iItem >= 0 && !((change->uOldState ^ change->uNewState) & kCounted)) return;
            break;
        }
        case LVN_INSERTITEM:
        case LVN_DELETEITEM:
        case LVN_DELETEALLITEMS: break;
        default: return;
    }
    RequestSelectionTotal(mainWindow);
}

void RequestSelectionTotal(HWND mainWindow) {
    // Setting the timer again only puts it off: the total comes once the changes are over.
    SetTimer(mainWindow, kSelectionTotalTimer, USER_TIMER_MINIMUM, nullptr);
}

bool OnSelectionTotalTimer(Program& program, UINT_PTR timer) {
    if (timer != kSelectionTotalTimer) return false;
    KillTimer(program.mainWindow, timer);
    ShowSelectionTotal(program);
    return true;
}

void ShowSelectionTotal(Program& program) {
    HWND list = program.list;
    HWND statusBar = program.statusBar;
    SelectionTotal total;
    if (SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) >= 2) {
        ForEachSelectedRow(list, [&](int row) {
            if (const CodeRecord* record = RecordOfListRow(list, row)) total.Add(*record);
        });
    }
    std::string text = total.StatusText();
    if (text.empty()) {
        // Every row of the list, those the filter keeps out too.
        PaymentsLeft left;
        CivilDate today = program.today();
        program.history.ForEach([&](const CodeRecord& record) { left.Add(record, today); });
        text = left.StatusText();
    }
    SendMessageA(statusBar, SB_SETTEXTA, kSelectionPart, reinterpret_cast<LPARAM>(text.c_str()));
    LayOutStatusParts(statusBar);
}
