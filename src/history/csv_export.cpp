#include "history/csv_export.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "codes/interpretation.h"
#include "history/history_export.h"
#include "history/history_line.h"
#include "util/join.h"
#include "util/text_encoding.h"

// Windows-1252 bytes spelled out: the Windows build turns the sources' UTF-8 literals into
// Windows-1252, the native one keeps them UTF-8, and the file must be the same on both.
// "C\xF3" "digo" is split because 'd' would otherwise continue the escape.
const char kCsvHeaderRow[] =
    "Recebido em;Remetente;Tipo;DV;Linha digit\xE1vel;Valor;Vencimento;Banco ou segmento;"
    "C\xF3"
    "digo de barras;Primeira leitura\r\n";

namespace {

// The text in double quotes, its own quotes doubled: a CSV field or a formula's constant.
std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') quoted += '"';
    }
    quoted += '"';
    return quoted;
}

// The longest text a spreadsheet formula may hold as a constant.
constexpr std::size_t kLongestFormulaText = 255;

// "07/12/2026 09:05:03" of a record's "2026/12/07 09:05:03", which spreadsheets set up for
// Brazil read as a date and time; any other text as it is.
std::string DayFirstTimestamp(const std::string& stamp) {
    constexpr std::string_view kShape = "0000/00/00 00:00:00";  // '0' for any digit
    bool shaped = stamp.size() == kShape.size();
    for (std::size_t i = 0; shaped && i < stamp.size(); ++i) {
        shaped = kShape[i] == '0' ? std::isdigit(static_cast<unsigned char>(stamp[i])) != 0
                                  : stamp[i] == kShape[i];
    }
    if (!shaped) return WithoutControlBytes(stamp);
    return stamp.substr(8, 2) + '/' + stamp.substr(5, 2) + '/' + stamp.substr(0, 4) +
           stamp.substr(10);
}

// "1234,56" of "R$ 1234,56": a number a spreadsheet can add up. Empty for a code without
// an amount ("R$ N/A") and for an invoice key.
std::string PlainAmount(std::string value) {
    if (value.rfind("R$ ", 0) == 0) value.erase(0, 3);
    if (value == "N/A") return {};
    // A plain number: no thousands separator, should an amount ever carry one.
    value.erase(std::remove(value.begin(), value.end(), '.'), value.end());
    return WithoutControlBytes(value);
}

// A text that came with a code, kept a text: one starting as a formula would otherwise be
// run by the spreadsheet that opens the file, so it gets an apostrophe in front, which
// the cell then shows.
std::string InertText(const std::string& text) {
    std::string clean = WithoutControlBytes(text);
    if (!clean.empty() && std::string_view("=+-@").find(clean[0]) != std::string_view::npos)
        clean.insert(clean.begin(), '\'');
    return clean;
}

// The barcode as ="0019...": a spreadsheet reads bare digits as a number and keeps 15 of
// the 44 (1,9E+42), strips the leading zeros, and a leading apostrophe or TAB would stay
// in the cell as a character. A formula whose value is the text shows exactly the code
// and stays text when copied; its quotes doubled, whatever the code holds is only text.
// A code too long for a formula constant (never a real one) is written as inert text.
std::string BarcodeCell(const std::string& code) {
    std::string clean = WithoutControlBytes(code);
    if (clean.size() > kLongestFormulaText) return InertText(clean);
    return "=" + Quoted(clean);
}

const char* KindName(CodeKind kind) {
    switch (kind) {
        case CodeKind::BankSlip: return "Boleto";
        case CodeKind::CollectionSlip: return "Concession\xE1ria";
        case CodeKind::Pix: return "Pix";
        default: return "NF-e";
    }
}

}  // namespace

std::string CsvField(std::string_view text) {
    if (text.find_first_of(";\"\r\n") == std::string_view::npos) return std::string(text);
    return Quoted(text);
}

std::string CsvRow(const CodeRecord& record) {
    std::string dueDate = record.dueDate == "N/A" ? std::string() : record.dueDate;
    std::array<std::string, 10> fields = {
        DayFirstTimestamp(record.receivedAt),
        SenderText(record),
        KindName(record.kind),
        record.checkDigitsValid ? "sim" : "n\xE3o",
        InertText(record.typeable),
        PlainAmount(record.value),
        WithoutControlBytes(dueDate),
        InertText(IssuerName(record.code, record.kind)),
        // A Pix code's name and city may carry UTF-8; the file is Windows-1252.
        BarcodeCell(record.kind == CodeKind::Pix ? Utf8ToWindows1252(record.code) : record.code),
        DayFirstTimestamp(record.firstSeenAt),
    };
    for (std::string& field : fields)
        field = CsvField(field);
    return Join(fields, ";") + "\r\n";
}

bool WriteHistoryCsv(const HistoryStore& history, std::FILE* file) {
    std::string_view header = kCsvHeaderRow;
    bool written = std::fwrite(header.data(), 1, header.size(), file) == header.size();
    history.ForEach([&](const CodeRecord& record) {
        std::string row = CsvRow(record);
        written = written && std::fwrite(row.data(), 1, row.size(), file) == row.size();
    });
    return written && std::fflush(file) == 0;
}

bool IsCsvFileName(std::string_view name) {
    return EndsWithNoCase(name, ".csv");
}

std::string WithExportExtension(std::string name, int filterIndex) {
    if (filterIndex != kCsvFilterIndex) return WithTxtExtension(std::move(name), filterIndex);
    if (!IsCsvFileName(name)) name += ".csv";
    return name;
}

bool WriteHistoryCsvFile(const std::string& name, const HistoryStore& history) {
    return WriteNewFile(name, [&](std::FILE* file) { return WriteHistoryCsv(history, file); });
}
