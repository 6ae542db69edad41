#pragma once

#include <string>
#include <cstdint>
#include <string_view>
#include <vector>

#include "ui/program.h"

// The history and the codes seen before, in the program: the database under the user's
// profile, the list's rows brought back at start, the first sighting of each record as the
// main thread takes it, the warning for a code read before.

// %LOCALAPPDATA%\Zentory; "" when the system does not say where that is.
std::string JournalFolder();
// The history database in that folder: zentory.db.
std::string HistoryDatabasePath(const Program& program);

// Opens the history when "Journal" is on (the earlier version's monthly journals are read
// into it at the first start), and puts the rows the list held at the last close back.
void StartJournal(Program& program);
void StopJournal(Program& program);
// Opens or closes the history for the held "Journal" setting.
void ApplyJournalSetting(Program& program);

// Records just taken from the receiver: each gets its first sighting, all are stored in one
// batch, committed before their rows show, and a code read before gets its balloon (at most
// one every 5 seconds, when "WarnRepeats" is on). Records that cannot be stored are kept
// and stored with the next batch that can be; the failure is told once per run, by a
// message posted to the main window.
void TakeIntoJournal(Program& program, std::vector<ReceiverEvent>& arrived);

// A record shown in the list was typed or marked paid (or no longer is, with `at` empty).
// The history remembers it; one that it cannot take now is kept with the program and
// stored with the next batch or mark that can be, and the failure is told once per run.
void StoreMark(Program& program, const CodeRecord& record, RecordMark mark, const std::string& at);

// The rows of these records left the list (F6); they stay in the history.
void ForgetListRows(Program& program, const std::vector<std::int64_t>& ids);

// "Arquivo > Abrir pasta do histórico": the folder in Explorer, made when missing.
void OpenJournalFolder(Program& program);

// "07/12/2026 às 09:05:03" (or "... às 09:05" without `seconds`) of a received-at text;
// "" for another text.
std::string SpokenReceivedAt(std::string_view receivedAt, bool seconds);
