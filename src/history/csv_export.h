#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "history/code_record.h"
#include "history/history_store.h"

// The history as a spreadsheet file: Windows-1252, CR LF, fields separated by ';', which
// a spreadsheet set up for Brazil opens straight into columns.

// The Save dialog's types: "All" (1), "Txt file (*.txt)" (2), "Planilha CSV (*.csv)" (3).
constexpr int kCsvFilterIndex = 3;

// The header row, in Windows-1252, with its CR LF.
extern const char kCsvHeaderRow[];

// A field as written between separators: in double quotes, each quote doubled, when it
// holds ';', '"', CR or LF; as it is otherwise.
std::string CsvField(std::string_view text);

// The row of one record, with its CR LF.
std::string CsvRow(const CodeRecord& record);

// Writes the header and one row per stored record, oldest first, holding the history
// lock for the whole walk. True when every byte was written.
bool WriteHistoryCsv(const HistoryStore& history, std::FILE* file);

// Whether a file name ends in ".csv", in any letter case.
bool IsCsvFileName(std::string_view name);

// The Save dialog's extension rule for every type: ".csv" added to a name without it
// when the CSV type is chosen; otherwise as WithTxtExtension.
std::string WithExportExtension(std::string name, int filterIndex);

// Writes the header and the whole history to the file, replacing it; false when the file
// cannot be created or written.
bool WriteHistoryCsvFile(const std::string& name, const HistoryStore& history);
