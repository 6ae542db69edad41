#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "history/history_store.h"
#include "util/civil_date.h"

// Writes one line per stored record, oldest first, each ending in CR LF, holding the
// history lock for the whole walk so that a record arriving meanwhile is written
// completely or not at all. True when every byte was written.
bool WriteHistoryLines(const HistoryStore& history, std::FILE* file, CivilDate today);

// Whether `name` ends in `tail`, in any letter case.
bool EndsWithNoCase(std::string_view name, std::string_view tail);

// Creates the file `name` (replacing one) and has `write` fill it, in binary mode so that
// its CR LF are the same bytes on every platform. False when the file cannot be created,
// `write` fails or the file cannot be closed.
bool WriteNewFile(const std::string& name, const std::function<bool(std::FILE*)>& write);

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
