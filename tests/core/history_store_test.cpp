#include "history/history_store.h"

#include <gtest/gtest.h>

#include <string>

#include "history/headless_rows.h"

namespace {

CodeRecord Numbered(int number) {
    CodeRecord record;
    record.sequenceIndex = number;
    record.code = std::to_string(number);
    return record;
}

class RowsWithoutStableIds : public HeadlessHistoryRows {
public:
    bool HasStableIds() override { return false; }
};

}  // namespace

TEST(HistoryStore, TheCapDropsTheTwoHundredOldestWithTheirRows) {
    HistoryStore store;
    HeadlessHistoryRows rows;
    for (int i = 1; i <= 500; ++i)
        store.AppendWithCap(Numbered(i), rows);
    EXPECT_EQ(store.Count(), 500u);  // the 500th went in without removal
    EXPECT_EQ(rows.hideCount, 0);

    const CodeRecord& newest = store.AppendWithCap(Numbered(501), rows);
    EXPECT_EQ(store.Count(), 301u);
    EXPECT_EQ(rows.RowCount(), 301);
    EXPECT_EQ(rows.hideCount, 1);
    EXPECT_EQ(rows.showCount, 1);
    EXPECT_EQ(rows.redrawCount, 1);
    EXPECT_EQ(newest.sequenceIndex, 501);

    // Every remaining row still shows its own record, oldest first from 201.
    for (int position = 0; position < rows.RowCount(); ++position) {
        const auto& row = rows.rows[position];
        ASSERT_EQ(row.record->sequenceIndex, 201 + position);
        EXPECT_EQ(store.FindByItemId(row.itemId), row.record);
    }
    // 199 more make 500 again; the next append trims again.
    for (int i = 502; i <= 700; ++i)
        store.AppendWithCap(Numbered(i), rows);
    EXPECT_EQ(store.Count(), 500u);
    store.AppendWithCap(Numbered(701), rows);
    EXPECT_EQ(store.Count(), 301u);
    EXPECT_EQ(rows.rows.front().record->sequenceIndex, 401);
}

TEST(HistoryStore, NoCapWithoutStableRowIds) {
    HistoryStore store;
    RowsWithoutStableIds rows;
    for (int i = 1; i <= 600; ++i)
        store.AppendWithCap(Numbered(i), rows);
    EXPECT_EQ(store.Count(), 600u);
}

TEST(HistoryStore, LookUpEraseAndClear) {
    HistoryStore store;
    HeadlessHistoryRows rows;
    const CodeRecord& first = store.AppendWithCap(Numbered(1), rows);
    const CodeRecord& second = store.AppendWithCap(Numbered(2), rows);
    EXPECT_EQ(first.listItemId, 0);
    EXPECT_EQ(second.listItemId, 1);
    EXPECT_EQ(store.FindByItemId(1), &second);
    EXPECT_EQ(store.FindByItemId(42), nullptr);
    EXPECT_EQ(store.FindByReference(&first), &first);

    CodeRecord notStored;
    EXPECT_EQ(store.FindByReference(&notStored), nullptr);
    store.Erase(&first);
    EXPECT_EQ(store.Count(), 1u);
    EXPECT_EQ(store.FindByItemId(0), nullptr);

    std::vector<int> visited;
    store.ForEach([&](const CodeRecord& record) { visited.push_back(record.sequenceIndex); });
    EXPECT_EQ(visited, std::vector<int>{2});
    store.Clear();
    store.Clear();
    EXPECT_EQ(store.Count(), 0u);
}

TEST(HistoryStore, OutcomeOfAppendingIsWhatAppendingOneByOneLeaves) {
    EXPECT_EQ(HistoryStore::OutcomeOfAppending(100, 600).droppedStored, 100u);
    EXPECT_EQ(HistoryStore::OutcomeOfAppending(100, 600).skippedIncoming, 100u);
    EXPECT_EQ(HistoryStore::OutcomeOfAppending(500, 0).droppedStored, 0u);
    // Against the cap itself, for stores and batches around every edge of the cycle.
    for (std::size_t stored : {0, 1, 299, 300, 301, 499, 500}) {
        for (std::size_t incoming :
             {0, 1, 199, 200, 201, 400, 499, 500, 501, 600, 700, 701, 702, 1234}) {
            HistoryStore reference;
            HeadlessHistoryRows referenceRows;
            int number = 0;
            for (std::size_t i = 0; i < stored + incoming; ++i)
                reference.AppendWithCap(Numbered(++number), referenceRows);

            HistoryStore store;
            HeadlessHistoryRows rows;
            number = 0;
            for (std::size_t i = 0; i < stored; ++i)
                store.AppendWithCap(Numbered(++number), rows);
            auto outcome = HistoryStore::OutcomeOfAppending(store.Count(), incoming);
            store.DropOldest(outcome.droppedStored, rows);
            number += static_cast<int>(outcome.skippedIncoming);
            for (std::size_t i = outcome.skippedIncoming; i < incoming; ++i)
                store.AppendWithCap(Numbered(++number), rows);

            std::vector<int> expected, got;
            reference.ForEach([&](const CodeRecord& r) { expected.push_back(r.sequenceIndex); });
            store.ForEach([&](const CodeRecord& r) { got.push_back(r.sequenceIndex); });
            ASSERT_EQ(got, expected) << stored << " stored, " << incoming << " incoming";
            ASSERT_EQ(rows.RowCount(), static_cast<int>(got.size()));
        }
    }
}
