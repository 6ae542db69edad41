#include "ui/history_journal.h"

#include <shlobj.h>

#include "history/journal.h"
#include "ui/history_list.h"
#include "ui/tray_icon.h"
#include "util/debug_trace.h"
#include "util/folders.h"
#include "util/local_time.h"

namespace {

constexpr ULONGLONG kRepeatBalloonPause = 5000;  // milliseconds

void WarnOfRepeat(Program& program, const CodeRecord& record) {
    if (program.settings.warnRepeats == 0) return;
    ULONGLONG now = GetTickCount64();
    if (program.lastRepeatBalloon != 0 && now - program.lastRepeatBalloon < kRepeatBalloonPause)
        return;
    program.lastRepeatBalloon = now;
    std::string text = "Este código já foi lido em " + SpokenReceivedAt(record.firstSeenAt, false);
    if (!record.value.empty() && record.value.rfind("R$", 0) == 0)
        text += " (" + record.value + ")";
    ShowTrayBalloon(program, text);
}

}  // namespace

std::string JournalFolder() {
    char folder[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK)
        return {};
    return std::string(folder) + "\\Zentory";
}

std::string HistoryDatabasePath(const Program& program) {
    return JoinPath(program.journalFolder, "zentory.db");
}

namespace {

// Opens the history, made at the first start, with the earlier version's journals read in.
bool OpenHistory(Program& program) {
    if (!MakeFolders(program.journalFolder)) return false;
    std::string problem, aside;
    if (!program.database.Open(HistoryDatabasePath(program), problem, &aside)) {
        DebugTrace("[E] history database: %s\n", problem.c_str());
        return false;
    }
    if (!aside.empty()) {
        DebugTrace("[E] history database damaged: kept as %s\n", aside.c_str());
        program.databaseAside = aside;
        PostMessageA(program.mainWindow, kJournalFailedMessage, 1, 0);
    }
    if (program.database.ImportJournals(program.journalFolder) < 0)
        DebugTrace("[E] journals not read: %s\n", program.database.LastError().c_str());
    return true;
}

bool StoreMarkNow(Program& program, const PendingMark& pending) {
    return pending.mark == RecordMark::Paid ? program.database.MarkPaid(pending.id, pending.at)
                                            : program.database.MarkTyped(pending.id, pending.at);
}

// The marks that could not be stored before, in the order they were set; false when one
// still cannot be (it and those after it stay).
bool StorePendingMarks(Program& program) {
    auto& marks = program.unwrittenMarks;
    std::size_t stored = 0;
    while (stored < marks.size() && StoreMarkNow(program, marks[stored]))
        ++stored;
    marks.erase(marks.begin(), marks.begin() + static_cast<std::ptrdiff_t>(stored));
    return marks.empty();
}

void TellOfFailureOnce(Program& program) {
    if (program.journalFailureTold) return;
    program.journalFailureTold = true;
    PostMessageA(program.mainWindow, kJournalFailedMessage, 0, 0);
}

}  // namespace

void StartJournal(Program& program) {
    if (program.journalFolder.empty()) program.journalFolder = JournalFolder();
    ApplyJournalSetting(program);
    if (!program.database.IsOpen()) return;
    // The rows the list held when the program closed, oldest first.
    ListViewRows rows(program.list, &program.filter);
    auto lock = program.history.Lock();
    SendMessageA(program.list, WM_SETREDRAW, FALSE, 0);
    for (CodeRecord& record : program.database.ListRows(HistoryStore::kCapacity)) {
        program.seenCodes.NoteSighting(record.code, record.receivedAt);
        program.history.AppendWithCap(std::move(record), rows);
    }
    SendMessageA(program.list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(program.list, nullptr, FALSE);
}

void StopJournal(Program& program) {
    program.database.Close();
}

void ApplyJournalSetting(Program& program) {
    if (program.settings.journal == 0 || program.journalFolder.empty()) {
        program.database.Close();
    } else if (!program.database.IsOpen()) {
        OpenHistory(program);
    }
}

void TakeIntoJournal(Program& program, std::vector<ReceiverEvent>& arrived) {
    std::vector<CodeRecord*> batch;
    const CodeRecord* repeat = nullptr;
    for (ReceiverEvent& event : arrived) {
        if (!IsRecordEvent(event)) continue;
        CodeRecord& record = event.record;
        // The whole history, and what this run has taken but not yet written.
        std::string stored = program.database.FirstReceivedAt(record.code);
        std::string thisRun = program.seenCodes.NoteSighting(record.code, record.receivedAt);
        record.firstSeenAt =
            stored.empty() || (!thisRun.empty() && thisRun < stored) ? thisRun : stored;
        if (!record.firstSeenAt.empty()) repeat = &record;
        batch.push_back(&record);
    }
    if (program.settings.journal != 0 && !program.journalFolder.empty() &&
        (!batch.empty() || !program.unwritten.empty())) {
        if (!program.database.IsOpen()) OpenHistory(program);
        // What could not be written before goes first, in the order it came.
        std::vector<CodeRecord*> all;
        for (CodeRecord& waiting : program.unwritten)
            all.push_back(&waiting);
        all.insert(all.end(), batch.begin(), batch.end());
        if (program.database.Append(all)) {
            // The shown copies of what was written late get their ids, for F6 and the marks.
            for (const CodeRecord& written : program.unwritten) {
                program.history.SetDatabaseId(written);
                for (ReceiverEvent& waiting : program.backlog)
                    if (IsRecordEvent(waiting) && IsSameTaking(waiting.record, written))
                        waiting.record.databaseId = written.databaseId;
            }
            program.unwritten.clear();
            StorePendingMarks(program);
        } else {
            DebugTrace("[E] history database: %s\n", program.database.LastError().c_str());
            for (const CodeRecord* record : batch)
                program.unwritten.push_back(*record);
            TellOfFailureOnce(program);
        }
    }
    if (repeat) WarnOfRepeat(program, *repeat);
}

void StoreMark(Program& program, const CodeRecord& record, RecordMark mark, const std::string& at) {
    if (record.databaseId == 0) {
        // Not stored yet itself: the mark goes with the record when it is.
        for (CodeRecord& waiting : program.unwritten) {
            if (waiting.databaseId != 0 || !IsSameTaking(record, waiting)) continue;
            (mark == RecordMark::Paid ? waiting.paidAt : waiting.typedAt) = at;
        }
        return;
    }
    if (program.settings.journal == 0 || program.journalFolder.empty()) return;
    program.unwrittenMarks.push_back({record.databaseId, mark, at});
    if (!program.database.IsOpen()) OpenHistory(program);
    if (program.database.IsOpen() && StorePendingMarks(program)) return;
    DebugTrace("[E] mark not stored: %s\n", program.database.LastError().c_str());
    TellOfFailureOnce(program);
}

void ForgetListRows(Program& program, const std::vector<std::int64_t>& ids) {
    if (ids.empty() || !program.database.IsOpen()) return;
    if (!program.database.MarkRemoved(ids, FormatReceivedAt(LocalNow())))
        DebugTrace("[E] rows not removed: %s\n", program.database.LastError().c_str());
}

void OpenJournalFolder(Program& program) {
    if (program.journalFolder.empty()) program.journalFolder = JournalFolder();
    if (program.journalFolder.empty() || !MakeFolders(program.journalFolder)) {
        MessageBoxA(program.mainWindow, "Não foi possível abrir a pasta do histórico.", "zentory",
                    MB_OK | MB_ICONWARNING);
        return;
    }
    program.openAddress(program.mainWindow, program.journalFolder.c_str());
}

std::string SpokenReceivedAt(std::string_view text, bool seconds) {
    if (!ReceivedAtDate(text)) return {};
    std::string spoken;
    spoken.append(text.substr(8, 2)).append("/").append(text.substr(5, 2)).append("/");
    spoken.append(text.substr(0, 4)).append(" às ").append(text.substr(11, seconds ? 8 : 5));
    return spoken;
}
