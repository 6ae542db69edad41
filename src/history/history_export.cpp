#include "history/history_export.h"

#include "history/csv_export.h"
#include "history/history_line.h"

#include <algorithm>
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

bool EndsWithNoCase(std::string_view name, std::string_view tail) {
    if (name.size() < tail.size()) return false;
    return std::equal(tail.begin(), tail.end(), name.end() - tail.size(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
}

bool WriteNewFile(const std::string& name, const std::function<bool(std::FILE*)>& write) {
    std::FILE* file = std::fopen(name.c_str(), "wb");
    if (!file) return false;
    bool written = write(file);
    return std::fclose(file) == 0 && written;
}

std::string WithTxtExtension(std::string name, int filterIndex) {
    if (filterIndex == 2 && !EndsWithNoCase(name, ".txt")) name += ".txt";
    return name;
}

bool WriteHistoryFile(const std::string& name, const HistoryStore& history, CivilDate today) {
    return WriteNewFile(name,
                        [&](std::FILE* file) { return WriteHistoryLines(history, file, today); });
}

bool WriteHistoryExport(const std::string& name, const HistoryStore& history, CivilDate today) {
    return IsCsvFileName(name) ? WriteHistoryCsvFile(name, history)
                               : WriteHistoryFile(name, history, today);
}
