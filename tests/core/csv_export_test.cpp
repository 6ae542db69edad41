#include "history/csv_export.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "history/headless_rows.h"
#include "history/history_export.h"
#include "read_file.h"
#include "reception/receiver.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Reads CSV as a spreadsheet does: ';' between fields, a field in double quotes may hold
// ';', CR, LF and doubled quotes, every row ends in CR LF. A line end that is not CR LF
// outside quotes, or a stray quote, fails the test.
Rows ReadCsv(const std::string& bytes) {
    Rows rows;
    std::vector<std::string> row;
    std::string field;
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (bytes[i] == '"' && field.empty()) {
            for (++i;; ++i) {
                if (i >= bytes.size()) {
                    ADD_FAILURE() << "unterminated quoted field";
                    return rows;
                }
                if (bytes[i] == '"') {
                    if (i + 1 < bytes.size() && bytes[i + 1] == '"') {
                        ++i;
                    } else {
                        break;
                    }
                }
                field += bytes[i];
            }
            ++i;
            if (i < bytes.size() && bytes[i] != ';' && bytes[i] != '\r')
                ADD_FAILURE() << "text after a closing quote at byte " << i;
            continue;
        }
        char c = bytes[i];
        if (c == ';') {
            row.push_back(field);
            field.clear();
            ++i;
        } else if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            row.push_back(field);
            rows.push_back(row);
            row.clear();
            field.clear();
            i += 2;
        } else {
            if (c == '\r' || c == '\n' || c == '"')
                ADD_FAILURE() << "bare " << int(c) << " at byte " << i;
            field += c;
            ++i;
        }
    }
    if (!row.empty() || !field.empty()) ADD_FAILURE() << "last row without CR LF";
    return rows;
}

std::uint32_t Address(unsigned char a, unsigned char b, unsigned char c, unsigned char d) {
    const unsigned char bytes[4] = {a, b, c, d};
    std::uint32_t address;
    std::memcpy(&address, bytes, sizeof address);
    return address;
}

// A record as the receiver makes it of a datagram that arrived at 09:05:03 on 7 Dec 2026.
CodeRecord Received(const std::string& code, int kindByte) {
    ReceiverState state;
    CodeRecord record;
    FillScanRecord(state, code, kindByte, Address(192, 168, 0, 10), {{2026, 12, 7}, 9, 5, 3},
                   record);
    return record;
}

std::string TempName(const char* name) {
    return ::testing::TempDir() + name;
}

// The written file, read back and removed.
std::string Exported(const HistoryStore& history, const std::string& name) {
    EXPECT_TRUE(WriteHistoryExport(name, history, {2026, 12, 7}));
    std::string bytes = ReadWholeFile(name);
    std::remove(name.c_str());
    return bytes;
}

const std::string kBankSlip = "00191455700000110009956850418332600000624818";
const std::string kHeader = std::string("Recebido em;Remetente;Tipo;DV;Linha digit") + char(0xE1) +
                            "vel;Valor;Vencimento;Banco ou segmento;C" + char(0xF3) +
                            "digo de barras;Primeira leitura";

}  // namespace

TEST(CsvField, QuotedOnlyWhenASeparatorQuoteOrLineEndIsInside) {
    EXPECT_EQ(CsvField("110,00"), "110,00");
    EXPECT_EQ(CsvField(""), "");
    EXPECT_EQ(CsvField("a b'c=d"), "a b'c=d");
    EXPECT_EQ(CsvField("a;b"), "\"a;b\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("\""), "\"\"\"\"");
    EXPECT_EQ(CsvField("a\r\nb"), "\"a\r\nb\"");
    EXPECT_EQ(CsvField("a\nb"), "\"a\nb\"");
    EXPECT_EQ(CsvField("a\rb"), "\"a\rb\"");
    EXPECT_EQ(ReadCsv(CsvField("x;\"y\"\r\nz") + ";" + CsvField("") + "\r\n"),
              (Rows{{"x;\"y\"\r\nz", ""}}));
}

TEST(CsvExport, HeaderIsWindows1252OnEveryPlatform) {
    // "á" and "ó" as one byte each: a UTF-8 literal would be two bytes natively.
    HistoryStore history;
    std::string bytes = Exported(history, TempName("zentory-csv-header.csv"));
    EXPECT_EQ(bytes, kHeader + "\r\n");
    EXPECT_EQ(ReadCsv(bytes), (Rows{{"Recebido em", "Remetente", "Tipo", "DV", "Linha digit\xE1vel",
                                     "Valor", "Vencimento", "Banco ou segmento",
                                     "C\xF3"
                                     "digo de barras",
                                     "Primeira leitura"}}));
}

TEST(CsvExport, MixedHistoryRoundTripsThroughAReader) {
    HistoryStore history;
    HeadlessHistoryRows rows;
    CodeRecord bank = Received(kBankSlip, 1);
    bank.firstSeenAt = "2026/12/06 18:00:59";
    CodeRecord collection = Received("84620000002311301132632914523029359083800000", 1);
    collection.senderAddress = Address(10, 0, 0, 255);
    CodeRecord nfe = Received("12345678901234567890123456789012345678901235", 3);
    CodeRecord wrongDigit = Received("00197455700000110009956850418332600000624818", 1);
    CodeRecord tooShort = Received("0019145", 1);
    // 44 bytes, as an NF-e key: the formatted key carries them into a second field.
    std::string forged = "=1;\"2\r\n" + std::string(37, '7');
    CodeRecord injected = Received(forged, 3);
    for (const CodeRecord& record : {bank, collection, nfe, wrongDigit, tooShort, injected})
        history.AppendWithCap(record, rows);

    std::string bytes = Exported(history, TempName("zentory-csv-mixed.csv"));
    Rows read = ReadCsv(bytes);
    ASSERT_EQ(read.size(), 7u);
    for (const auto& row : read)
        EXPECT_EQ(row.size(), 10u);
    const std::string at = "07/12/2026 09:05:03";
    const std::string from = "192.168.0.10";
    EXPECT_EQ(read[1],
              (std::vector<std::string>{at, from, "Boleto", "sim",
                                        "00199.95687 50418.332602 00006.248181 1 45570000011000",
                                        "110,00", "19/11/2034", "Banco do Brasil S.A.",
                                        "=\"" + kBankSlip + "\"", "06/12/2026 18:00:59"}));
    EXPECT_EQ(read[2], (std::vector<std::string>{
                           at, "10.0.0.255", "Concession\xE1ria", "sim",
                           "84620000002-0 31130113263-6 29145230293-3 59083800000-8", "231,13", "",
                           "Telco", "=\"84620000002311301132632914523029359083800000\"", ""}));
    EXPECT_EQ(read[3], (std::vector<std::string>{
                           at, from, "NF-e", "sim",
                           "12-3456-78.901.234/5678-90-12-345-678.901.234-567.890.123-5", "", "",
                           "", "=\"12345678901234567890123456789012345678901235\"", ""}));
    // A wrong check digit is told by "DV"; the rest is what the list shows.
    EXPECT_EQ(read[4],
              (std::vector<std::string>{at, from, "Boleto", "n\xE3o",
                                        "00199.95687 50418.332602 00006.248181 7 45570000011000",
                                        "110,00", "19/11/2034", "Banco do Brasil S.A.",
                                        "=\"00197455700000110009956850418332600000624818\"", ""}));
    EXPECT_EQ(read[5], (std::vector<std::string>{at, from, "Boleto", "n\xE3o", "", "", "", "",
                                                 "=\"0019145\"", ""}));
    // Control bytes became '?'; the ';' and '"' came back through the quoting; the
    // formula-like start got its apostrophe, and inside ="..." the quote is doubled.
    EXPECT_EQ(read[6], (std::vector<std::string>{
                           at, from, "NF-e", "n\xE3o",
                           "'=1-;\"2?-?7.777.777/7777-77-77-777-777.777.777-777.777.777-7", "", "",
                           "", "=\"=1;\"\"2??" + std::string(37, '7') + "\"", ""}));
}

TEST(CsvExport, AmountsAndDatesAsSpreadsheetsReadThem) {
    HistoryStore history;
    HeadlessHistoryRows rows;
    // The largest amount a bank slip can carry: no thousands separator, no "R$".
    const std::string freeField = "9956850418332600000624818";
    CodeRecord largest = Received(
        "00193"
        "9999"
        "9999999999" +
            freeField,
        1);
    // Due factor 0000 ("N/A") and a zero amount ("R$ N/A"): both empty cells.
    CodeRecord none = Received(
        "00191"
        "0000"
        "0000000000" +
            freeField,
        1);
    CodeRecord grouped;
    grouped.value = "R$ 1.234,56";
    grouped.receivedAt = "not a time";
    for (const CodeRecord& record : {largest, none, grouped})
        history.AppendWithCap(record, rows);
    ASSERT_EQ(largest.value, "R$ 99999999,99");
    ASSERT_EQ(none.value, "R$ N/A");
    ASSERT_EQ(none.dueDate, "N/A");

    Rows read = ReadCsv(Exported(history, TempName("zentory-csv-amounts.csv")));
    ASSERT_EQ(read.size(), 4u);
    EXPECT_EQ(read[1][5], "99999999,99");
    EXPECT_EQ(read[2][5], "");
    EXPECT_EQ(read[2][6], "");
    EXPECT_EQ(read[3][5], "1234,56");
    EXPECT_EQ(read[3][0], "not a time");
}

TEST(CsvExport, TextsThatLookLikeFormulasStayText) {
    HistoryStore history;
    HeadlessHistoryRows rows;
    CodeRecord record;
    for (const char* start : {"=", "+", "-", "@"}) {
        record.typeable = std::string(start) + "HYPERLINK(\"x\")";
        history.AppendWithCap(record, rows);
    }
    // Too long for a formula's text: written as text, made inert the same way.
    record.code = "=" + std::string(300, '1');
    history.AppendWithCap(record, rows);

    Rows read = ReadCsv(Exported(history, TempName("zentory-csv-formulas.csv")));
    ASSERT_EQ(read.size(), 6u);
    EXPECT_EQ(read[1][4], "'=HYPERLINK(\"x\")");
    EXPECT_EQ(read[2][4], "'+HYPERLINK(\"x\")");
    EXPECT_EQ(read[3][4], "'-HYPERLINK(\"x\")");
    EXPECT_EQ(read[4][4], "'@HYPERLINK(\"x\")");
    EXPECT_EQ(read[5][8], "'=" + std::string(300, '1'));
}

TEST(WriteHistoryExport, TheNameChoosesTheForm) {
    HistoryStore history;
    HeadlessHistoryRows rows;
    history.AppendWithCap(Received(kBankSlip, 1), rows);
    const std::string textLine = kBankSlip + " R$ 110,00";

    std::string upper = Exported(history, TempName("zentory-export-form.CSV"));
    EXPECT_EQ(upper.rfind(kHeader + "\r\n", 0), 0u);
    std::string text = Exported(history, TempName("zentory-export-form.csv.txt"));
    EXPECT_EQ(text.rfind(textLine, 0), 0u);
    std::string plain = Exported(history, TempName("zentory-export-form"));
    EXPECT_EQ(plain.rfind(textLine, 0), 0u);

    // A folder, and a folder that does not exist: reported.
    EXPECT_FALSE(
        WriteHistoryExport(::testing::TempDir() + "no-such-folder/x.csv", history, {2026, 12, 7}));
    EXPECT_FALSE(WriteHistoryCsvFile(::testing::TempDir(), history));
}

TEST(WithExportExtension, TheFileFollowsTheChosenType) {
    EXPECT_EQ(WithExportExtension("codigos", kCsvFilterIndex), "codigos.csv");
    EXPECT_EQ(WithExportExtension("codigos.CsV", kCsvFilterIndex), "codigos.CsV");
    EXPECT_EQ(WithExportExtension("codigos.txt", kCsvFilterIndex), "codigos.txt.csv");
    EXPECT_EQ(WithExportExtension("csv", kCsvFilterIndex), "csv.csv");
    EXPECT_EQ(WithExportExtension("codigos.csv", 2), "codigos.csv.txt");
    EXPECT_EQ(WithExportExtension("codigos", 2), "codigos.txt");
    EXPECT_EQ(WithExportExtension("codigos.csv", 1), "codigos.csv");
    EXPECT_TRUE(IsCsvFileName("C:\\Dados\\BOLETOS.CSV"));
    EXPECT_FALSE(IsCsvFileName("boletos.csv.txt"));
    EXPECT_FALSE(IsCsvFileName("csv"));
}
