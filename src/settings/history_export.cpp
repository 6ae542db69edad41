#include "settings/history_export.h"

#include "settings/history_line.h"

bool WriteHistoryLines(const HistoryStore& history, std::FILE* file, CivilDate today) {
    bool written = true;
    history.ForEach([&](const CodeRecord& record) {
        std::string line = HistoryExportLine(record.code, record.kind, today);
        line += "\r\n";
        written = written && std::fwrite(line.data(), 1, line.size(), file) == line.size();
    });
    return written && std::fflush(file) == 0;
}
