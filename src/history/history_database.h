#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "history/code_record.h"

struct sqlite3;

// The history of every code ever accepted, with its state, in one SQLite database
// ("zentory.db"): written ahead (WAL) and synced at every commit, so that a batch that
// Append has returned survives a hard kill or a power cut. The list's rows are the codes
// not removed from it; "read before" looks over the whole history. One thread uses an
// object at a time.
class HistoryDatabase {
public:
    HistoryDatabase() = default;
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase&) = delete;
    HistoryDatabase& operator=(const HistoryDatabase&) = delete;

    // Opens the database at `path`, made when missing. A file that is not a sound
    // database is kept aside, renamed "zentory.db.damaged-1" (or -2, ...), never
    // overwritten, and a new one is made; `keptAside` then names it. False with the
    // reason in `problem` when none can be had.
    bool Open(const std::string& path, std::string& problem, std::string* keptAside = nullptr);
    bool IsOpen() const { return db != nullptr; }
    void Close();

    // Stores the records in one transaction, on the disk when it returns, and gives each
    // its id. False when it could not: then none of them is stored.
    bool Append(const std::vector<CodeRecord*>& records);
    // When a code was typed, and marked paid ("" clears the mark).
    bool MarkTyped(std::int64_t id, const std::string& at);
    bool MarkPaid(std::int64_t id, const std::string& at);
    // The rows leave the list; they stay in the history.
    bool MarkRemoved(const std::vector<std::int64_t>& ids, const std::string& at);

    // The rows of the list, oldest first: the newest `most` not removed from it.
    std::vector<CodeRecord> ListRows(std::size_t most);
    // When `code` was first received; "" when never.
    std::string FirstReceivedAt(const std::string& code);

    // Reads the monthly journals of an earlier version ("zentory-YYYY-MM.txt" in
    // `folder`) into the history, once: their codes count as read before, and none of
    // them is in the list. A line read before adds nothing. How many rows were added;
    // -1 when the database could not be written.
    long ImportJournals(const std::string& folder);

    // The last failure's text, for the trace.
    std::string LastError() const;

private:
    bool Execute(const char* sql);
    bool Commit();

    sqlite3* db = nullptr;
};
