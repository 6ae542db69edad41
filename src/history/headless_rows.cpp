#include "history/headless_rows.h"

#include <algorithm>

int HeadlessHistoryRows::AddRow(const CodeRecord& record) {
    rows.push_back({nextItemId, &record});
    return nextItemId++;
}

int HeadlessHistoryRows::PositionOfId(int itemId) {
    auto row =
        std::find_if(rows.begin(), rows.end(), [&](const Row& r) { return r.itemId == itemId; });
    return row == rows.end() ? -1 : static_cast<int>(row - rows.begin());
}

void HeadlessHistoryRows::DeleteRow(int position) {
    if (position >= 0 && position < RowCount()) rows.erase(rows.begin() + position);
}
