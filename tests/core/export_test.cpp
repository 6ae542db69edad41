#include "history/history_export.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "history/headless_rows.h"
#include "history/history_line.h"
#include "read_file.h"
#include "settings/command_line.h"

TEST(WithTxtExtension, TheSaveDialogRule) {
    EXPECT_EQ(WithTxtExtension("codigos", 2), "codigos.txt");
    EXPECT_EQ(WithTxtExtension("codigos.TXT", 2), "codigos.TXT");
    EXPECT_EQ(WithTxtExtension("codigos.csv", 2), "codigos.csv.txt");
    EXPECT_EQ(WithTxtExtension("a", 2), "a.txt");
    EXPECT_EQ(WithTxtExtension("", 2), ".txt");
    EXPECT_EQ(WithTxtExtension("codigos", 1), "codigos");
}

TEST(ExportFileNameOption, QuotedPlainCutAndMissing) {
    EXPECT_EQ(ExportFileNameOption("-f codigos.txt"), "codigos.txt");
    EXPECT_EQ(ExportFileNameOption("x -f   \"C:\\Meus Documentos\\boletos.txt\" y"),
              "C:\\Meus Documentos\\boletos.txt");
    EXPECT_EQ(ExportFileNameOption("-f a b"), "a");
    EXPECT_EQ(ExportFileNameOption("-f a\tb"), "a");
    EXPECT_EQ(ExportFileNameOption("-f \"unterminated name"), "unterminated name");
    EXPECT_EQ(ExportFileNameOption("-f " + std::string(300, 'n')), std::string(255, 'n'));
    EXPECT_EQ(ExportFileNameOption("-f \"" + std::string(300, 'q') + "\""), std::string(255, 'q'));
    EXPECT_EQ(ExportFileNameOption("-f "), "");
    EXPECT_EQ(ExportFileNameOption("-f"), "");
    EXPECT_EQ(ExportFileNameOption("-fx name"), "");
    EXPECT_EQ(ExportFileNameOption(""), "");
}

TEST(WriteHistoryFile, MixedHistoryBytesAndFailures) {
    HistoryStore history;
    HeadlessHistoryRows rows;
    CodeRecord nfe;
    nfe.code = "12345678901234567890123456789012345678901235";
    nfe.kind = CodeKind::NfeKey;
    CodeRecord bank;
    bank.code = "00191455700000110009956850418332600000624818";
    CodeRecord wrong;
    wrong.code = "00197455700000110009956850418332600000624818";
    for (const CodeRecord& record : {nfe, bank, wrong})
        history.AppendWithCap(record, rows);

    std::string name = ::testing::TempDir() + "zentory-export-test.txt";
    ASSERT_TRUE(WriteHistoryFile(name, history, {2008, 1, 1}));
    std::string bytes = ReadWholeFile(name);
    std::remove(name.c_str());
    EXPECT_EQ(bytes,
              "NFe 12345678901234567890123456789012345678901235 "
              "12-3456-78.901.234/5678-90-12-345-678.901.234-567.890.123-5\r\n"
              "00191455700000110009956850418332600000624818 R$ 110,00 30/03/2010 0019995687 "
              "50418332602 00006248181 1 45570000011000 Banco do Brasil S.A.\r\n"
              "00197455700000110009956850418332600000624818 digito verificador invalido\r\n");

    // A folder as file name, and a folder that does not exist: reported, not pretended.
    EXPECT_FALSE(WriteHistoryFile(::testing::TempDir(), history, {2008, 1, 1}));
    EXPECT_FALSE(
        WriteHistoryFile(::testing::TempDir() + "no-such-folder/x.txt", history, {2008, 1, 1}));
}

TEST(WriteHistoryFile, AnyCodeStaysOneLine) {
    // A datagram can carry any bytes: CR LF, TAB, DEL or a zero inside a code would forge
    // lines or fields in the saved file. Each is written as '?'.
    HistoryStore history;
    HeadlessHistoryRows rows;
    CodeRecord forged;
    forged.code = std::string("1234567890\r\nNFe 0000\t\x7f") + '\0' + "x";
    forged.kind = CodeKind::NfeKey;
    CodeRecord slip;
    slip.code = "0019145570000011000995685\n418332600000624818";
    history.AppendWithCap(forged, rows);
    history.AppendWithCap(slip, rows);

    std::string name = ::testing::TempDir() + "zentory-export-control.txt";
    ASSERT_TRUE(WriteHistoryFile(name, history, {2008, 1, 1}));
    std::string bytes = ReadWholeFile(name);
    std::remove(name.c_str());
    EXPECT_EQ(bytes,
              "NFe 1234567890??NFe 0000???x \r\n"
              "0019145570000011000995685?418332600000624818 digito verificador invalido\r\n");
    EXPECT_EQ(WithoutControlBytes(std::string("\x1f\x20~\x7f\x80\xe9", 6)),
              std::string("? ~?\x80\xe9", 6));
}
