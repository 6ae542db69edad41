#include "history/history_store.h"

const CodeRecord& HistoryStore::AppendWithCap(CodeRecord record, HistoryRows& rows) {
    auto lock = Lock();
    if (records.size() >= kCapacity && rows.HasStableIds()) TrimOldest(rows);
    CodeRecord& stored = records.emplace_back(std::move(record));
    stored.listItemId = rows.AddRow(stored);
    return stored;
}

void HistoryStore::TrimOldest(HistoryRows& rows) {
    rows.Hide();
    for (std::size_t i = 0; i < kTrimCount && !records.empty(); ++i) {
        int position = rows.PositionOfId(records.front().listItemId);
        if (position >= 0) rows.DeleteRow(position);
        records.pop_front();
    }
    rows.Show();
    rows.Redraw(0, rows.RowCount());
}

void HistoryStore::Erase(const CodeRecord* record) {
    auto lock = Lock();
    records.remove_if([&](const CodeRecord& r) { return &r == record; });
}

void HistoryStore::Clear() {
    auto lock = Lock();
    records.clear();
}

std::size_t HistoryStore::Count() const {
    auto lock = Lock();
    return records.size();
}

const CodeRecord* HistoryStore::FindByItemId(int itemId) const {
    auto lock = Lock();
    for (const CodeRecord& record : records) {
        if (record.listItemId == itemId) return &record;
    }
    return nullptr;
}

const CodeRecord* HistoryStore::FindByReference(const void* reference) const {
    auto lock = Lock();
    for (const CodeRecord& record : records) {
        if (&record == reference) return &record;
    }
    return nullptr;
}

void HistoryStore::ForEach(const std::function<void(const CodeRecord&)>& visit) const {
    auto lock = Lock();
    for (const CodeRecord& record : records)
        visit(record);
}
