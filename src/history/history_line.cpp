#include "history/history_line.h"

#include "codes/bank_slip.h"
#include "codes/nfe_access_key.h"

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
