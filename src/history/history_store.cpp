#include "history/history_store.h"

const CodeRecord& HistoryStore::AppendWithCap(CodeRecord record, HistoryRows& rows) {
    auto lock = Lock();
    if (records.size() >= kCapacity && rows.HasStableIds()) DropOldest(kTrimCount, rows);
    CodeRecord& stored = records.emplace_back(std::move(record));
    stored.listItemId = rows.AddRow(stored);
    return stored;
}

HistoryStore::CapOutcome HistoryStore::OutcomeOfAppending(std::size_t stored,
                                                          std::size_t incoming) {
    // Each append onto a full store first drops kTrimCount, so past kCapacity the count
    // runs through kCapacity - kTrimCount + 1 ... kCapacity again and again.
    if (incoming == 0) return {0, 0};
    std::size_t total = stored + incoming;
    std::size_t survivors = total;
    if (total > kCapacity) {
        constexpr std::size_t kLowest = kCapacity - kTrimCount + 1;
        survivors = kLowest + (total - kCapacity - 1) % kTrimCount;
    }
    std::size_t gone = total - survivors;
    std::size_t droppedStored = gone < stored ? gone : stored;
    return {droppedStored, gone - droppedStored};
}

void HistoryStore::DropOldest(std::size_t count, HistoryRows& rows) {
    auto lock = Lock();
    if (count == 0) return;
    rows.Hide();
    for (std::size_t i = 0; i < count && !records.empty(); ++i) {
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
    if (itemId < 0) return nullptr;  // the records that the list's filter keeps out
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

void HistoryStore::ChangeEach(const std::function<void(CodeRecord&)>& change) {
    auto lock = Lock();
    for (CodeRecord& record : records)
        change(record);
}

bool HistoryStore::Change(const void* reference, const std::function<void(CodeRecord&)>& change) {
    auto lock = Lock();
    for (CodeRecord& record : records) {
        if (&record != reference) continue;
        change(record);
        return true;
    }
    return false;
}

void HistoryStore::ForEach(const std::function<void(const CodeRecord&)>& visit) const {
    auto lock = Lock();
    for (const CodeRecord& record : records)
        visit(record);
}

void HistoryStore::SetDatabaseId(const CodeRecord& written) {
    auto lock = Lock();
    for (CodeRecord& record : records)
        if (IsSameTaking(record, written)) record.databaseId = written.databaseId;
}

bool IsSameTaking(const CodeRecord& shown, const CodeRecord& written) {
    return shown.databaseId == 0 && shown.sequenceIndex == written.sequenceIndex &&
           shown.senderAddress == written.senderAddress && shown.receivedAt == written.receivedAt &&
           shown.code == written.code;
}
