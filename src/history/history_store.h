#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <mutex>

#include "history/code_record.h"
#include "history/history_rows.h"

// The history of accepted codes, oldest first. Records never move once stored: each
// list row refers to its record by address. The store has the program's one lock, a
// recursive mutex; every operation takes it, and Lock() holds it across several.
class HistoryStore {
public:
    static constexpr std::size_t kCapacity = 500;   // the cap starts at this many records
    static constexpr std::size_t kTrimCount = 200;  // and drops this many, oldest first

    // Appends a copy of `record` with its row. When the store already holds kCapacity
    // records (and the rows have stable ids), first drops the kTrimCount oldest records
    // with their rows. Returns the stored copy.
    const CodeRecord& AppendWithCap(CodeRecord record, HistoryRows& rows);

    // What appending `incoming` records one by one with the cap to `stored` ones leaves: the
    // cap always drops the oldest, so the survivors are the newest of all of them. For a
    // store the cap has kept, with at most kCapacity records.
    struct CapOutcome {
        std::size_t droppedStored;    // the oldest stored records that go
        std::size_t skippedIncoming;  // the oldest incoming records that never stay
    };
    static CapOutcome OutcomeOfAppending(std::size_t stored, std::size_t incoming);

    // Drops the `count` oldest records with their rows.
    void DropOldest(std::size_t count, HistoryRows& rows);

    // Removes a stored record; the caller removes its row.
    void Erase(const CodeRecord* record);
    void Clear();
    std::size_t Count() const;

    // The first record, oldest first, whose row has this item id; nothing when none, and
    // for -1, the id of records that have no row.
    const CodeRecord* FindByItemId(int itemId) const;
    // The stored record at this address; nothing when it is not (or no longer) stored.
    const CodeRecord* FindByReference(const void* reference) const;
    // Changes the stored record at this address in place, with the lock held; false when it
    // is no longer stored.
    bool Change(const void* reference, const std::function<void(CodeRecord&)>& change);
    // Changes every record, oldest first, with the lock held.
    void ChangeEach(const std::function<void(CodeRecord&)>& change);
    // Visits every record, oldest first, with the lock held.
    void ForEach(const std::function<void(const CodeRecord&)>& visit) const;
    // Gives the stored copy of a record that was written to the database late its id.
    void SetDatabaseId(const CodeRecord& written);

    std::unique_lock<std::recursive_mutex> Lock() const {
        return std::unique_lock<std::recursive_mutex>(mutex);
    }

private:
    mutable std::recursive_mutex mutex;
    std::list<CodeRecord> records;
};

// Whether `shown`, which has no database id yet, is the copy of `written` taken at the same
// moment from the same sender.
bool IsSameTaking(const CodeRecord& shown, const CodeRecord& written);
