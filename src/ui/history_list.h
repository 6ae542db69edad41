#pragma once

#include <windows.h>
#include <commctrl.h>

#include "history/history_rows.h"
#include "ui/program.h"
#include "util/local_time.h"

// The report list of received codes (control 1090): one row per stored record, texts
// read from the record on demand, a valid/invalid image, stable item ids.

// Columns, styles, images drawn for `dpi`, grid lines on with the check mark at "&Grade".
void SetUpHistoryList(HWND list, HWND mainWindow, HINSTANCE instance, UINT dpi);
// After a move to a monitor of another scale: the images and the column widths.
void ScaleHistoryList(HWND list, HINSTANCE instance, UINT oldDpi, UINT newDpi);
// Tips over column titles that do not fit their column.
void CreateHeaderTips(HWND list);

// Appends the record's row (its item data is the record's address) and returns the
// row's stable item id.
int AddHistoryRow(HWND list, const CodeRecord& record);
// The state of a row's check box: checked while its record is marked paid.
UINT PaidCheckState(bool paid);
// The record shown in a row (its item data), or nothing for a row out of range.
const CodeRecord* RecordOfListRow(HWND list, int row);
// The stored record shown in a row, with its code and kind copied out under the history
// lock; nothing for a row out of range or one whose record is gone. The record may go
// once the lock is let go: it is only to be handed back to the history.
const CodeRecord* StoredRecordOfRow(Program& program, int row, std::string& code, CodeKind& kind);
// Sets the row's `mask` bits of state (LVIS_...) to `state`; row -1 is every row.
void SetRowState(HWND list, int row, UINT mask, UINT state);
// Visits the selected rows, first to last.
template <typename Visit>
void ForEachSelectedRow(HWND list, Visit visit) {
    for (int row = static_cast<int>(
             SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
         row >= 0; row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, row, LVNI_SELECTED)))
        visit(row);
}
// The stable item id of the row at a position.
int RowItemId(HWND list, int row);

// LVN_GETDISPINFOA: points the cell at the record's text.
void AnswerTextRequest(NMLVDISPINFOA* request);
// LVN_COLUMNCLICK: sorts the rows by the column's text, ascending.
void SortHistoryList(HWND list, int column);
// What the list's custom draw keeps from one call to the next. A paint takes the day, the
// list's colours and its font once, so that drawing a cell asks nothing of the system; the
// bold font is made the first time a slip due that day is drawn, and again for a new font.
struct HistoryListLook {
    CivilDate today;
    COLORREF text = CLR_DEFAULT;
    COLORREF background = CLR_DEFAULT;
    HFONT font = nullptr;
    HFONT bold = nullptr;
    HFONT boldOf = nullptr;  // the font that `bold` was made from

    HistoryListLook() = default;
    HistoryListLook(const HistoryListLook&) = delete;
    HistoryListLook& operator=(const HistoryListLook&) = delete;
    ~HistoryListLook();
};

// NM_CUSTOMDRAW: light green even rows while the grid is off. With a look, also a slip's
// "Data" in red once its due date has passed and in bold on that very day, measured against
// the day `today` gives at the start of each paint.
LRESULT CustomDrawHistoryList(HWND mainWindow, NMLVCUSTOMDRAW* draw,
                              HistoryListLook* look = nullptr, CivilDate (*today)() = TodayLocal);
// Command "&Apagar": the selected rows with their records; with none selected, every row the
// list shows once the user agrees.
void DeleteHistoryRows(Program& program);
// Command "&Grade": grid lines on or off, with the menu's check mark.
void ToggleGrid(HWND list, HWND mainWindow);

// The history store's view of the list, used on the main thread.
// Made for one batch of changes while the list's redrawing is switched off
// (WM_SETREDRAW): hiding, showing and redrawing are then left to the end of the batch.
// With a filter, a record that it keeps out gets no row (its item id is -1).
class ListViewRows : public HistoryRows {
public:
    explicit ListViewRows(HWND historyList, const RowFilter* rowFilter = nullptr)
        : list(historyList), filter(rowFilter) {}
    int AddRow(const CodeRecord& record) override;
    int PositionOfId(int itemId) override;
    void DeleteRow(int position) override;
    void Hide() override {}
    void Show() override {}
    void Redraw(int, int) override {}
    int RowCount() override;

private:
    HWND list;
    const RowFilter* filter;
};

// The list again with the rows of the records that the program's filter lets through, in
// the order of the column it was last sorted by; the selected records that are still shown
// stay selected.
void ShowFilteredRows(Program& program);
