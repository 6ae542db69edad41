#include "history/history_line.h"

#include "codes/bank_slip.h"
#include "codes/nfe_access_key.h"

std::string WithoutControlBytes(std::string text) {
    for (char& c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) c = '?';
    }
    return text;
}

std::string HistoryExportLine(std::string_view code, CodeKind kind, CivilDate reference) {
    if (kind == CodeKind::NfeKey) {
        std::string line = "NFe ";
        line += code;
        line += ' ';
        line += NfeAccessKey(code).FormattedKey();
        return line;
    }
    return BankSlip(code).SummaryText(reference);
}
