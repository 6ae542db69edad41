#pragma once

#include <cstdio>
#include <string>

#include "history/history_store.h"
#include "util/civil_date.h"

// Writes one line per stored record, oldest first, each ending in CR LF, holding the
// history lock for the whole walk so that a record arriving meanwhile is written
// completely or not at all. True when every byte was written.
bool WriteHistoryLines(const HistoryStore& history, std::FILE* file, CivilDate today);

// The Save dialog's extension rule: with the filter "Txt file (*.txt)" (index 2), a name
// that does not end in ".txt" (any letter case) gets ".txt"; with "All" (index 1) the
// name stays as typed.
std::string WithTxtExtension(std::string name, int filterIndex);

// Writes the whole history to the file, replacing it; false when the file cannot be
// created or written.
bool WriteHistoryFile(const std::string& name, const HistoryStore& history, CivilDate today);

// Writes the whole history to the file in the form its name asks for: a spreadsheet's CSV
// when it ends in ".csv" (any letter case), text lines otherwise. False as above.
bool WriteHistoryExport(const std::string& name, const HistoryStore& history, CivilDate today);
