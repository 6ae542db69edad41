#include "ui/history_list.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "codes/due_glance.h"
#include "history/selection_total.h"
#include "util/civil_date.h"
#include "resource.h"
#include "ui/dpi.h"
#include "ui/history_journal.h"
#include "util/text_encoding.h"

namespace {

struct Column {
    const char* title;
    int percent;  // of the list's width; the last column takes the rest
};

// "DV" holds the paid box, the image and the kind's letter; "Data" a whole date.
const Column kColumns[] = {{"DV", 8},    {"Recebido de", 11}, {"Digitável", 35},
                           {"Valor", 9}, {"Data", 10},        {"Código de barras", 0}};
constexpr int kColumnCount = 6;

const COLORREF kStripeColour = RGB(240, 255, 240);
const COLORREF kOverdueColour = RGB(204, 0, 0);
constexpr int kValueColumn = 3;
constexpr int kDueDateColumn = 4;

// The record's own text that a column shows; none stored for the sender (column 1) and for
// a Pix code, which is UTF-8 and shown in Windows-1252.
const std::string* StoredCellText(const CodeRecord& record, int column) {
    switch (column) {
        case 0: return &record.kindLetter;
        case 1: return nullptr;
        case 2: return &record.typeable;
        case 3: return &record.value;
        case 4: return &record.dueDate;
        default: return record.kind == CodeKind::Pix ? nullptr : &record.code;
    }
}

// The text a column shows for a record.
std::string CellText(const CodeRecord& record, int column) {
    if (const std::string* stored = StoredCellText(record, column)) return *stored;
    return column == 1 ? SenderText(record) : Utf8ToWindows1252(record.code);
}

// What the value and due-date columns sort by: the amount and the day, not their texts
// ("10/12/2026" would come before "20/01/2026"). Nothing for a row without one.
std::optional<std::int64_t> SortKey(const CodeRecord& record, int column) {
    if (column == kValueColumn) return ParseValueCentavos(record.value);
    if (column != kDueDateColumn) return std::nullopt;
    std::optional<CivilDate> due = ParseDayMonthYear(record.dueDate);
    return due ? std::optional<std::int64_t>(DaysFromCivil(*due)) : std::nullopt;
}

int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM column) {
    const auto& one = *reinterpret_cast<const CodeRecord*>(first);
    const auto& other = *reinterpret_cast<const CodeRecord*>(second);
    int shown = static_cast<int>(column);
    std::optional<std::int64_t> a = SortKey(one, shown), b = SortKey(other, shown);
    // Rows without an amount or a day go after those with one.
    if (a && b && *a != *b) return *a < *b ? -1 : 1;
    if (a.has_value() != b.has_value()) return a ? -1 : 1;
    // Byte by byte as unsigned Windows-1252 characters, as std::string compares.
    return CellText(one, shown).compare(CellText(other, shown));
}

// ---------------------------------------------------------------- header tips

struct HeaderTips {
    HWND tooltip;
    HWND list;
    HWND header;
    WNDPROC previousProcedure;
};

// Posted by the list to itself after a divider drag, once the new width is in place.
constexpr UINT kRefreshTipsMessage = WM_APP + 20;

void RefreshTipRectangles(HeaderTips& tips) {
    HDC dc = GetDC(tips.header);
    HGDIOBJ oldFont =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(tips.header, WM_GETFONT, 0, 0)));
    int x = -GetScrollPos(tips.list, SB_HORZ);
    RECT headerClient;
    GetClientRect(tips.header, &headerClient);
    int count = static_cast<int>(SendMessageA(tips.header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        int width = static_cast<int>(SendMessageA(tips.list, LVM_GETCOLUMNWIDTH, i, 0));
        char title[200] = {};
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT;
        column.pszText = title;
        column.cchTextMax = sizeof title;
        SendMessageA(tips.list, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
        SIZE extent = {};
        GetTextExtentPoint32A(dc, title, lstrlenA(title), &extent);
        RECT item = {};
        SendMessageA(tips.header, HDM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item));

        TOOLINFOA tool = {};
        tool.cbSize = sizeof tool;
        tool.hwnd = tips.header;
        tool.uId = static_cast<UINT_PTR>(i + 1);
        if (extent.cx < item.right - item.left) {
            tool.rect = {0, 0, 0, 0};  // the title fits: no tip
        } else {
            tool.rect = {x, 0, x + width, headerClient.bottom};
        }
        SendMessageA(tips.tooltip, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
        x += width;
    }
    SelectObject(dc, oldFont);
    ReleaseDC(tips.header, dc);
}

LRESULT CALLBACK ListWithTipsProcedure(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* tips = reinterpret_cast<HeaderTips*>(GetWindowLongPtrA(list, GWLP_USERDATA));
    if (message == kRefreshTipsMessage) {
        RefreshTipRectangles(*tips);
        return 0;
    }
    WNDPROC previous = tips->previousProcedure;
    if (message == WM_NOTIFY) {
        UINT code = reinterpret_cast<NMHDR*>(lParam)->code;
        if (code == HDN_ENDTRACKA || code == HDN_ENDTRACKW)
            PostMessageA(list, kRefreshTipsMessage, 0, 0);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        delete tips;
    }
    return CallWindowProcA(previous, list, message, wParam, lParam);
}

// The rows' images for `dpi`: 0 invalid, 1 valid, 2 read before. The list owns its
// image list; one it gives up is destroyed here.
void SetRowImages(HWND list, HINSTANCE instance, UINT dpi) {
    constexpr int kIcons[] = {IDI_CODE_INVALID, IDI_CODE_VALID, IDI_CODE_SEEN};
    HIMAGELIST images = IconImageList(instance, kIcons, 3, ScaleToDpi(16, dpi));
    if (!images) return;
    auto previous = reinterpret_cast<HIMAGELIST>(
        SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images)));
    if (previous) ImageList_Destroy(previous);
}

}  // namespace

void SetUpHistoryList(HWND list, HWND mainWindow, HINSTANCE instance, UINT dpi) {
    RECT client;
    GetClientRect(list, &client);
    int unit = client.right / 100;
    int used = 0;
    for (int i = 0; i < kColumnCount; ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.pszText = const_cast<char*>(kColumns[i].title);
        column.iSubItem = i;
        column.cx = i + 1 < kColumnCount ? unit * kColumns[i].percent
                                         : client.right - used - GetSystemMetrics(SM_CXVSCROLL);
        used += column.cx;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    // The check box is the row's paid mark.
    constexpr DWORD kStyles = LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_CHECKBOXES;
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, kStyles, kStyles);

    SetRowImages(list, instance, dpi);
    SetWindowLongA(list, GWL_STYLE, GetWindowLongA(list, GWL_STYLE) | LVS_SHOWSELALWAYS);

    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES, LVS_EX_GRIDLINES);
    CheckMenuItem(GetMenu(mainWindow), IDM_GRID, MF_BYCOMMAND | MF_CHECKED);
}

void ScaleHistoryList(HWND list, HINSTANCE instance, UINT oldDpi, UINT newDpi) {
    SetRowImages(list, instance, newDpi);
    for (int i = 0; i < kColumnCount; ++i) {
        int width = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0));
        int scaled = MulDiv(width, static_cast<int>(newDpi), static_cast<int>(oldDpi));
        SendMessageA(list, LVM_SETCOLUMNWIDTH, i, MAKELPARAM(scaled, 0));
    }
}

void CreateHeaderTips(HWND list) {
    auto* tips = new HeaderTips{};
    tips->list = list;
    tips->header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    tips->tooltip = CreateWindowExA(
        WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, tips->header, nullptr, nullptr, nullptr);
    tips->previousProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListWithTipsProcedure)));
    SetWindowLongPtrA(list, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(tips));

    int count = static_cast<int>(SendMessageA(tips->header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < kColumnCount && i < count; ++i) {
        TOOLINFOA tool = {};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_SUBCLASS | TTF_CENTERTIP;
        tool.hwnd = tips->header;
        tool.uId = static_cast<UINT_PTR>(i + 1);
        tool.lpszText = const_cast<char*>(kColumns[i].title);
        SendMessageA(tips->tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    RefreshTipRectangles(*tips);
}

int AddHistoryRow(HWND list, const CodeRecord& record) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
    item.iItem = INT_MAX;
    item.pszText = LPSTR_TEXTCALLBACKA;
    // A wrong check digit matters most; then that the code was read before.
    item.iImage = !record.checkDigitsValid ? 0 : record.firstSeenAt.empty() ? 1 : 2;
    item.lParam = reinterpret_cast<LPARAM>(&record);
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = PaidCheckState(!record.paidAt.empty());
    int position =
        static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    // Some list views give every new row an empty box whatever it asked for.
    if (!record.paidAt.empty() && position >= 0)
        SendMessageA(list, LVM_SETITEMSTATE, position, reinterpret_cast<LPARAM>(&item));
    return RowItemId(list, position);
}

UINT PaidCheckState(bool paid) {
    return INDEXTOSTATEIMAGEMASK(paid ? 2 : 1);
}

const CodeRecord* RecordOfListRow(HWND list, int row) {
    if (row < 0) return nullptr;
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
    return reinterpret_cast<const CodeRecord*>(item.lParam);
}

const CodeRecord* StoredRecordOfRow(Program& program, int row, std::string& code, CodeKind& kind) {
    auto lock = program.history.Lock();
    const CodeRecord* record = RecordOfListRow(program.list, row);
    if (!record || !program.history.FindByReference(record)) return nullptr;
    code = record->code;
    kind = record->kind;
    return record;
}

void SetRowState(HWND list, int row, UINT mask, UINT state) {
    LVITEMA item = {};
    item.stateMask = mask;
    item.state = state;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

int RowItemId(HWND list, int row) {
    return static_cast<int>(SendMessageA(list, LVM_MAPINDEXTOID, row, 0));
}

void AnswerTextRequest(NMLVDISPINFOA* request) {
    if (!(request->item.mask & LVIF_TEXT) || request->item.cchTextMax <= 0) return;
    const auto* record = reinterpret_cast<const CodeRecord*>(request->item.lParam);
    if (!record) return;
    if (const std::string* stored = StoredCellText(*record, request->item.iSubItem)) {
        request->item.pszText = const_cast<char*>(stored->c_str());  // no copy
    } else {
        lstrcpynA(request->item.pszText, CellText(*record, request->item.iSubItem).c_str(),
                  request->item.cchTextMax);
    }
}

void SortHistoryList(HWND list, int column) {
    if (column < 0 || column >= kColumnCount) return;
    SendMessageA(list, LVM_SORTITEMS, static_cast<WPARAM>(column),
                 reinterpret_cast<LPARAM>(CompareRows));
}

HistoryListLook::~HistoryListLook() {
    if (bold) DeleteObject(bold);
}

namespace {

void StartPaint(HistoryListLook& look, const NMLVCUSTOMDRAW& draw, CivilDate today) {
    HWND list = draw.nmcd.hdr.hwndFrom;
    look.today = today;
    look.text = static_cast<COLORREF>(SendMessageA(list, LVM_GETTEXTCOLOR, 0, 0));
    look.background = static_cast<COLORREF>(SendMessageA(list, LVM_GETTEXTBKCOLOR, 0, 0));
    look.font = reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0));
    if (!look.font) look.font = static_cast<HFONT>(GetCurrentObject(draw.nmcd.hdc, OBJ_FONT));
}

HFONT BoldFont(HistoryListLook& look) {
    if (look.bold && look.boldOf == look.font) return look.bold;
    LOGFONTA shape = {};
    if (!GetObjectA(look.font, sizeof shape, &shape)) return look.font;
    shape.lfWeight = FW_BOLD;
    HFONT made = CreateFontIndirectA(&shape);
    if (!made) return look.font;
    if (look.bold) DeleteObject(look.bold);
    look.bold = made;
    look.boldOf = look.font;
    return made;
}

const CodeRecord* DrawnRecord(const NMLVCUSTOMDRAW& draw) {
    return reinterpret_cast<const CodeRecord*>(draw.nmcd.lItemlParam);
}

// The standing of the slip shown in the row being drawn; the row's item data is its record.
// A paid slip is due no more.
DueStanding RowStanding(const HistoryListLook& look, const NMLVCUSTOMDRAW& draw) {
    const CodeRecord* record = DrawnRecord(draw);
    if (!record || !record->paidAt.empty()) return DueStanding::None;
    return StandingOfDueDate(record->dueDate, look.today);
}

// One cell of a row whose due date stands out. The list hands each cell the colours and the
// font that the cell before it was drawn with, so every cell sets all three.
LRESULT DrawCell(HistoryListLook& look, NMLVCUSTOMDRAW* draw, bool striped) {
    DueStanding standing =
        draw->iSubItem == kDueDateColumn ? RowStanding(look, *draw) : DueStanding::None;
    draw->clrText = standing == DueStanding::Overdue ? kOverdueColour : look.text;
    draw->clrTextBk = striped ? kStripeColour : look.background;
    SelectObject(draw->nmcd.hdc, standing == DueStanding::DueToday ? BoldFont(look) : look.font);
    return CDRF_NEWFONT;
}

}  // namespace

LRESULT CustomDrawHistoryList(HWND mainWindow, NMLVCUSTOMDRAW* draw, HistoryListLook* look,
                              CivilDate (*today)()) {
    bool gridOff = !(GetMenuState(GetMenu(mainWindow), IDM_GRID, MF_BYCOMMAND) & MF_CHECKED);
    if (!gridOff && !look) return CDRF_DODEFAULT;
    bool striped = gridOff && draw->nmcd.dwItemSpec % 2 == 0;
    switch (draw->nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            if (look) StartPaint(*look, *draw, today());
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT: {
            LRESULT answer = CDRF_DODEFAULT;
            if (striped) {
                draw->clrTextBk = kStripeColour;
                answer = CDRF_NEWFONT;
            }
            if (look) {
                // A paid row is drawn grey: what is left to pay stands out.
                const CodeRecord* record = DrawnRecord(*draw);
                if (record && !record->paidAt.empty()) {
                    draw->clrText = GetSysColor(COLOR_GRAYTEXT);
                    answer = CDRF_NEWFONT;
                }
                // Cell by cell only for the rows that need it: most rows are drawn whole.
                DueStanding standing = RowStanding(*look, *draw);
                if (standing == DueStanding::Overdue || standing == DueStanding::DueToday)
                    answer |= CDRF_NOTIFYSUBITEMDRAW;
            }
            return answer;
        }
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
            return look ? DrawCell(*look, draw, striped) : CDRF_DODEFAULT;
        default: return CDRF_DODEFAULT;
    }
}

namespace {

// Everything shown goes only when the user says so: one key press would lose the whole pile.
bool UserAgreesToDeleteAll(Program& program) {
    auto count = SendMessageA(program.list, LVM_GETITEMCOUNT, 0, 0);
    if (count <= 0) return false;
    char question[96];
    std::snprintf(question, sizeof question, "Apagar todos os %d códigos da lista?",
                  static_cast<int>(count));
    return MessageBoxA(program.mainWindow, question, "zentory",
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

int FirstSelectedRow(HWND list) {
    return static_cast<int>(
        SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

}  // namespace

void DeleteHistoryRows(Program& program) {
    HWND list = program.list;
    // The question comes before the lock: records that arrive while it is open are shown,
    // and go with the rest.
    if (FirstSelectedRow(list) < 0 && !UserAgreesToDeleteAll(program)) return;
    auto lock = program.history.Lock();
    // The rows leave the list, not the history: they are still read before and exported.
    std::vector<std::int64_t> forgotten;
    int row = FirstSelectedRow(list);
    if (row < 0 && !program.filter.IsEmpty()) {
        // What the filter shows, not the rows it keeps out.
        SetRowState(list, -1, LVIS_SELECTED, LVIS_SELECTED);
        row = FirstSelectedRow(list);
    }
    if (row < 0) {
        program.history.ForEach(
            [&](const CodeRecord& record) { forgotten.push_back(record.databaseId); });
        SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
        program.history.Clear();
        ForgetListRows(program, forgotten);
        return;
    }
    ShowWindow(list, SW_HIDE);
    while (row >= 0) {
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        // The row goes first: nothing may draw it once its record is freed.
        SendMessageA(list, LVM_DELETEITEM, row, 0);
        if (const CodeRecord* record =
                program.history.FindByReference(reinterpret_cast<void*>(item.lParam))) {
            forgotten.push_back(record->databaseId);
            program.history.Erase(record);
        }
        row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, row - 1, LVNI_SELECTED));
    }
    ShowWindow(list, SW_SHOW);
    ForgetListRows(program, forgotten);
}

void ToggleGrid(HWND list, HWND mainWindow) {
    DWORD styles = static_cast<DWORD>(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    bool gridOn = styles & LVS_EX_GRIDLINES;
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES,
                 gridOn ? 0 : LVS_EX_GRIDLINES);
    CheckMenuItem(GetMenu(mainWindow), IDM_GRID,
                  MF_BYCOMMAND | (gridOn ? MF_UNCHECKED : MF_CHECKED));
    InvalidateRect(list, nullptr, TRUE);
}

int ListViewRows::AddRow(const CodeRecord& record) {
    if (filter && !filter->Matches(record)) return -1;
    return AddHistoryRow(list, record);
}

int ListViewRows::PositionOfId(int itemId) {
    if (itemId < 0) return -1;
    return static_cast<int>(SendMessageA(list, LVM_MAPIDTOINDEX, itemId, 0));
}

void ListViewRows::DeleteRow(int position) {
    SendMessageA(list, LVM_DELETEITEM, position, 0);
}

int ListViewRows::RowCount() {
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

void ShowFilteredRows(Program& program) {
    HWND list = program.list;
    auto lock = program.history.Lock();
    // The selection stays on the records that are still shown.
    std::vector<const CodeRecord*> selected;
    ForEachSelectedRow(list, [&](int row) { selected.push_back(RecordOfListRow(list, row)); });
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    ListViewRows rows(list, &program.filter);
    program.history.ChangeEach(
        [&](CodeRecord& record) { record.listItemId = rows.AddRow(record); });
    if (program.sortColumn >= 0) SortHistoryList(list, program.sortColumn);
    int count = rows.RowCount();
    for (int row = 0; row < count; ++row) {
        const CodeRecord* record = RecordOfListRow(list, row);
        if (std::find(selected.begin(), selected.end(), record) != selected.end())
            SetRowState(list, row, LVIS_SELECTED, LVIS_SELECTED);
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}
