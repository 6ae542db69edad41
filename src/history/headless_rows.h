#pragma once

#include <vector>

#include "history/history_rows.h"

// Rows without a window: item ids 0, 1, 2, ... in a plain list, for programs and tests
// that keep a history without showing it.
class HeadlessHistoryRows : public HistoryRows {
public:
    int AddRow(const CodeRecord& record) override;
    int PositionOfId(int itemId) override;
    void DeleteRow(int position) override;
    void Hide() override { ++hideCount; }
    void Show() override { ++showCount; }
    void Redraw(int, int) override { ++redrawCount; }
    int RowCount() override { return static_cast<int>(rows.size()); }

    struct Row {
        int itemId;
        const CodeRecord* record;
    };
    std::vector<Row> rows;
    int hideCount = 0;
    int showCount = 0;
    int redrawCount = 0;

private:
    int nextItemId = 0;
};
