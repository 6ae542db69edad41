#pragma once

#include "history/code_record.h"

// The rows of the history list, as the history store changes them. The main window's
// list view implements it; a headless program and the tests use HeadlessHistoryRows.
// Called only with the history lock held, on the thread that owns the rows.
class HistoryRows {
public:
    virtual ~HistoryRows() = default;

    // Adds a row that shows `record` (and reads its texts from it) and returns the
    // row's stable item id.
    virtual int AddRow(const CodeRecord& record) = 0;
    // The row's current position, or -1 when no row has the id.
    virtual int PositionOfId(int itemId) = 0;
    // Deletes the row at a position.
    virtual void DeleteRow(int position) = 0;
    // Hides and shows the list around a batch of deletions, then redraws its rows.
    virtual void Hide() = 0;
    virtual void Show() = 0;
    virtual void Redraw(int firstPosition, int lastPosition) = 0;
    virtual int RowCount() = 0;
    // Whether item ids stay valid as rows come and go; the history cap needs them.
    virtual bool HasStableIds() { return true; }
};
