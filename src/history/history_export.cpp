#include "history/history_export.h"

#include "history/csv_export.h"
#include "history/history_line.h"

#include <cctype>

bool WriteHistoryLines(const HistoryStore& history, std::FILE* file, CivilDate today) {
    bool written = true;
    history.ForEach([&](const CodeRecord& record) {
        std::string line = WithoutControlBytes(HistoryExportLine(record.code, record.kind, today));
        line += "\r\n";
        written = written && std::fwrite(line.data(), 1, line.size(), file) == line.size();
    });
    return written && std::fflush(file) == 0;
}

std::string WithTxtExtension(std::string name, int filterIndex) {
    if (filterIndex != 2) return name;
    std::string tail = name.size() >= 4 ? name.substr(name.size() - 4) : std::string();
    for (char& c : tail)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (tail != ".txt") name += ".txt";
    return name;
}

bool WriteHistoryFile(const std::string& name, const HistoryStore& history, CivilDate today) {
    // Binary mode with explicit CR LF: the same bytes on every platform.
    std::FILE* file = std::fopen(name.c_str(), "wb");
    if (!file) return false;
    bool written = WriteHistoryLines(history, file, today);
    return std::fclose(file) == 0 && written;
}

bool WriteHistoryExport(const std::string& name, const HistoryStore& history, CivilDate today) {
    return IsCsvFileName(name) ? WriteHistoryCsvFile(name, history)
                               : WriteHistoryFile(name, history, today);
}
