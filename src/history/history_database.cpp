#include "history/history_database.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

#include "codes/interpretation.h"
#include "history/journal.h"
#include "util/folders.h"
#include "util/local_time.h"

namespace {

// The codes, each with what it was read as and what became of it. The sender is the IPv4
// address in network byte order as received; a pasted code has none. A journal's row names
// its file and line, so that reading the journals again adds nothing.
constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS codes(
    id INTEGER PRIMARY KEY,
    code TEXT NOT NULL,
    kind INTEGER NOT NULL,
    received_at TEXT NOT NULL,
    sender INTEGER NOT NULL,
    pasted INTEGER NOT NULL,
    valid INTEGER NOT NULL,
    due TEXT NOT NULL,
    value TEXT NOT NULL,
    typeable TEXT NOT NULL,
    wrong_field INTEGER NOT NULL,
    typed_at TEXT,
    paid_at TEXT,
    removed_at TEXT,
    journal TEXT,
    journal_line INTEGER);
CREATE INDEX IF NOT EXISTS codes_by_code ON codes(code, received_at);
CREATE UNIQUE INDEX IF NOT EXISTS codes_from_journals ON codes(journal, journal_line)
    WHERE journal IS NOT NULL;
CREATE TABLE IF NOT EXISTS facts(name TEXT PRIMARY KEY, value TEXT NOT NULL);
)";

constexpr const char* kInsert =
    "INSERT OR IGNORE INTO codes(code, kind, received_at, sender, pasted, valid, due, value, "
    "typeable, wrong_field, typed_at, paid_at, removed_at, journal, journal_line) "
    "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

// A prepared statement, finalized when it goes.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    }
    ~Statement() { sqlite3_finalize(statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ready() const { return statement != nullptr; }
    Statement& Bind(int at, std::int64_t number) {
        sqlite3_bind_int64(statement, at, number);
        return *this;
    }
    // Texts keep their bytes: Windows-1252 for the program's own, UTF-8 in Pix codes.
    Statement& Bind(int at, const std::string& text) {
        sqlite3_bind_text(statement, at, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    // An empty text is stored as none.
    Statement& BindOrNull(int at, const std::string& text) {
        if (text.empty()) {
            sqlite3_bind_null(statement, at);
            return *this;
        }
        return Bind(at, text);
    }
    // SQLITE_ROW, SQLITE_DONE or a failure.
    int Step() { return statement ? sqlite3_step(statement) : SQLITE_MISUSE; }
    void Reset() {
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
    }
    std::int64_t Number(int column) const { return sqlite3_column_int64(statement, column); }
    std::string Text(int column) const {
        const unsigned char* text = sqlite3_column_text(statement, column);
        return text ? std::string(reinterpret_cast<const char*>(text),
                                  static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                    : std::string();
    }

private:
    sqlite3_stmt* statement = nullptr;
};

// Binds a record's columns, 1 to 12 of kInsert.
void BindRecord(Statement& insert, const CodeRecord& record) {
    insert.Bind(1, record.code)
        .Bind(2, static_cast<std::int64_t>(record.kind))
        .Bind(3, record.receivedAt)
        .Bind(4, static_cast<std::int64_t>(record.senderAddress))
        .Bind(5, record.fromClipboard ? 1 : 0)
        .Bind(6, record.checkDigitsValid ? 1 : 0)
        .Bind(7, record.dueDate)
        .Bind(8, record.value)
        .Bind(9, record.typeable)
        .Bind(10, static_cast<std::int64_t>(record.wrongField))
        .BindOrNull(11, record.typedAt)
        .BindOrNull(12, record.paidAt);
}

bool FileExists(const std::string& path) {
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        std::fclose(file);
        return true;
    }
    return false;
}

// "a.b.c.d" in network byte order; 0 for anything else (the clipboard's name).
std::uint32_t DottedAddress(const std::string& text) {
    unsigned parts[4];
    char end;
    if (std::sscanf(text.c_str(), "%3u.%3u.%3u.%3u%c", &parts[0], &parts[1], &parts[2], &parts[3],
                    &end) != 4)
        return 0;
    std::uint32_t address = 0;
    auto* bytes = reinterpret_cast<unsigned char*>(&address);
    for (int i = 0; i < 4; ++i) {
        if (parts[i] > 255) return 0;
        bytes[i] = static_cast<unsigned char>(parts[i]);
    }
    return address;
}

}  // namespace

HistoryDatabase::~HistoryDatabase() {
    Close();
}

void HistoryDatabase::Close() {
    if (db) sqlite3_close_v2(db);
    db = nullptr;
}

bool HistoryDatabase::Execute(const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::string HistoryDatabase::LastError() const {
    return db ? sqlite3_errmsg(db) : "no database";
}

bool HistoryDatabase::Open(const std::string& path, std::string& problem, std::string* keptAside) {
    Close();
    for (int attempt = 0; attempt < 2; ++attempt) {
        int opened =
            sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        int result = opened;
        if (opened == SQLITE_OK) {
            sqlite3_busy_timeout(db, 2000);
            // WAL with a sync at every commit: a batch is on the disk when Append returns.
            Statement mode(db, "PRAGMA journal_mode=WAL");
            result = mode.Ready() ? mode.Step() : sqlite3_errcode(db);
            if (result == SQLITE_ROW && mode.Text(0) != "wal") result = SQLITE_CANTOPEN;
            if (result == SQLITE_ROW)
                result = Execute("PRAGMA synchronous=FULL") && Execute(kSchema)
                             ? SQLITE_OK
                             : sqlite3_errcode(db);
        }
        if (result == SQLITE_OK) return true;
        problem = db ? sqlite3_errmsg(db) : sqlite3_errstr(result);
        Close();
        if ((result != SQLITE_NOTADB && result != SQLITE_CORRUPT) || attempt > 0) return false;
        // Not a database, or a damaged one: kept aside with what goes with it, and a new
        // one made in its place.
        std::string aside;
        for (int n = 1; aside.empty() || FileExists(aside); ++n)
            aside = path + ".damaged-" + std::to_string(n);
        if (std::rename(path.c_str(), aside.c_str()) != 0) return false;
        for (const char* companion : {"-wal", "-shm"})
            std::rename((path + companion).c_str(), (aside + companion).c_str());
        if (keptAside) *keptAside = aside;
    }
    return false;
}

bool HistoryDatabase::Commit() {
    if (Execute("COMMIT")) return true;
    Execute("ROLLBACK");
    return false;
}

bool HistoryDatabase::Append(const std::vector<CodeRecord*>& records) {
    if (!db || !Execute("BEGIN IMMEDIATE")) return false;
    Statement insert(db, kInsert);
    bool stored = insert.Ready();
    for (CodeRecord* record : records) {
        if (!stored) break;
        BindRecord(insert, *record);
        stored = insert.Step() == SQLITE_DONE;
        record->databaseId = sqlite3_last_insert_rowid(db);
        insert.Reset();
    }
    if (stored && Commit()) return true;
    if (!stored) Execute("ROLLBACK");
    for (CodeRecord* record : records)
        record->databaseId = 0;
    return false;
}

bool HistoryDatabase::MarkTyped(std::int64_t id, const std::string& at) {
    if (!db) return false;
    Statement update(db, "UPDATE codes SET typed_at = ? WHERE id = ?");
    update.Bind(1, at).Bind(2, id);
    return update.Step() == SQLITE_DONE;
}

bool HistoryDatabase::MarkPaid(std::int64_t id, const std::string& at) {
    if (!db) return false;
    Statement update(db, "UPDATE codes SET paid_at = ? WHERE id = ?");
    update.BindOrNull(1, at).Bind(2, id);
    return update.Step() == SQLITE_DONE;
}

bool HistoryDatabase::MarkRemoved(const std::vector<std::int64_t>& ids, const std::string& at) {
    if (!db || !Execute("BEGIN IMMEDIATE")) return false;
    Statement update(db, "UPDATE codes SET removed_at = ? WHERE id = ? AND removed_at IS NULL");
    bool stored = update.Ready();
    for (std::int64_t id : ids) {
        if (!stored) break;
        update.Bind(1, at).Bind(2, id);
        stored = update.Step() == SQLITE_DONE;
        update.Reset();
    }
    if (stored) return Commit();
    Execute("ROLLBACK");
    return false;
}

std::vector<CodeRecord> HistoryDatabase::ListRows(std::size_t most) {
    std::vector<CodeRecord> rows;
    if (!db) return rows;
    // The first sighting of each row's code before it, from the index on codes.
    Statement select(db,
                     "SELECT id, code, kind, received_at, sender, pasted, valid, due, value, "
                     "typeable, wrong_field, typed_at, paid_at, "
                     "(SELECT MIN(earlier.received_at) FROM codes AS earlier "
                     " WHERE earlier.code = listed.code AND earlier.id < listed.id) "
                     "FROM (SELECT * FROM codes WHERE removed_at IS NULL "
                     "      ORDER BY id DESC LIMIT ?) AS listed ORDER BY id");
    select.Bind(1, static_cast<std::int64_t>(most));
    while (select.Step() == SQLITE_ROW) {
        CodeRecord record;
        record.databaseId = select.Number(0);
        record.code = select.Text(1);
        record.kind = static_cast<CodeKind>(select.Number(2));
        record.kindLetter = KindLetter(record.kind);
        record.receivedAt = select.Text(3);
        record.senderAddress = static_cast<std::uint32_t>(select.Number(4));
        record.fromClipboard = select.Number(5) != 0;
        record.checkDigitsValid = select.Number(6) != 0;
        record.dueDate = select.Text(7);
        record.value = select.Text(8);
        record.typeable = select.Text(9);
        record.wrongField = static_cast<int>(select.Number(10));
        record.typedAt = select.Text(11);
        record.paidAt = select.Text(12);
        record.firstSeenAt = select.Text(13);
        rows.push_back(std::move(record));
    }
    return rows;
}

std::string HistoryDatabase::FirstReceivedAt(const std::string& code) {
    if (!db) return {};
    Statement select(db, "SELECT MIN(received_at) FROM codes WHERE code = ?");
    select.Bind(1, code);
    return select.Step() == SQLITE_ROW ? select.Text(0) : std::string();
}

long HistoryDatabase::ImportJournals(const std::string& folder) {
    if (!db) return -1;
    {
        Statement done(db, "SELECT 1 FROM facts WHERE name = 'journals read'");
        if (done.Step() == SQLITE_ROW) return 0;
    }
    if (!Execute("BEGIN IMMEDIATE")) return -1;
    Statement insert(db, kInsert);
    bool stored = insert.Ready();
    long added = 0;
    LocalDateTime now = LocalNow();
    std::string importedAt = FormatReceivedAt(now);
    // The journals began long after 2000; a month's file is looked for whether or not
    // the clock of the time wrote one.
    for (int year = 2000; stored && year <= now.date.year + 1; ++year) {
        for (int month = 1; stored && month <= 12; ++month) {
            std::string name = JournalFileName(year, month);
            std::FILE* file = std::fopen(JoinPath(folder, name).c_str(), "rb");
            if (!file) continue;
            char buffer[1024];
            for (std::int64_t number = 1; stored && std::fgets(buffer, sizeof buffer, file);
                 ++number) {
                // Without its line end, the file's last line is one that a power cut tore.
                if (std::strchr(buffer, '\n') == nullptr && std::feof(file)) break;
                std::optional<JournalEntry> entry = ParseJournalLine(buffer);
                if (!entry) continue;
                CodeRecord record;
                record.code = entry->code;
                record.kind = entry->kind;
                record.receivedAt = entry->receivedAt;
                record.senderAddress = DottedAddress(entry->sender);
                record.fromClipboard = record.senderAddress == 0;
                CodeInterpretation interpretation =
                    InterpretCode(record.code, record.kind, entry->day);
                record.checkDigitsValid = interpretation.checkDigitsValid;
                record.dueDate = std::move(interpretation.dueDate);
                record.value = std::move(interpretation.value);
                record.typeable = std::move(interpretation.typeable);
                BindRecord(insert, record);
                // Never in this version's list: it left it as it was read in.
                insert.Bind(13, importedAt).Bind(14, name).Bind(15, number);
                stored = insert.Step() == SQLITE_DONE;
                added += sqlite3_changes(db);
                insert.Reset();
            }
            std::fclose(file);
        }
    }
    stored = stored && Execute("INSERT OR REPLACE INTO facts VALUES('journals read', '1')");
    if (stored && Commit()) return added;
    if (!stored) Execute("ROLLBACK");
    return -1;
}
