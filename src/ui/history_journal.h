#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ui/program.h"

// The journal and the codes seen before, in the program: the journal's folder under the
// user's profile, the first sighting of each record as the main thread takes it, the
// warning for a code read before.

// %LOCALAPPDATA%\Zentory; "" when the system does not say where that is.
std::string JournalFolder();

// Opens the journal when "Journal" is on, and reads the codes seen before on a thread of
// its own, so that the window answers at once.
void StartJournal(Program& program);
// Closes the journal and waits for the reading of the codes seen before.
void StopJournal(Program& program);
// Opens or closes the journal for the held "Journal" setting.
void ApplyJournalSetting(Program& program);

// Records just taken from the receiver: each gets its first sighting, all are appended
// to the journal in one batch, and a code read before gets its balloon (at most one
// every 5 seconds, when "WarnRepeats" is on). A journal that cannot be written is told
// once per run, by a message posted to the main window.
void TakeIntoJournal(Program& program, std::vector<ReceiverEvent>& arrived);

// "Arquivo > Abrir pasta do histórico": the folder in Explorer, made when missing.
void OpenJournalFolder(Program& program);

// "07/12/2026 às 09:05:03" (or "... às 09:05" without `seconds`) of a received-at text;
// "" for another text.
std::string SpokenReceivedAt(std::string_view receivedAt, bool seconds);
