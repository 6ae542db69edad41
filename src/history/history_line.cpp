#include "history/history_line.h"

#include <utility>

#include "codes/interpretation.h"

std::string WithoutControlBytes(std::string text) {
    for (char& c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) c = '?';
    }
    return text;
}

std::string HistoryExportLine(std::string_view code, CodeKind kind, CivilDate reference) {
    FullInterpretation interpretation;
    InterpretCodeFully(code, kind, reference, interpretation);
    return std::move(interpretation.summary);
}
