// The history database in a folder of the test's own: what the list held comes back after
// a close, with its paid marks; "read before" sees the whole history; the earlier
// version's journals are read in once; a damaged file is kept aside, never overwritten.

#include "history/history_database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "history/journal.h"
#include "read_file.h"

namespace {

const char kBank[] = "00191455700000110009956850418332600000624818";
const char kCollection[] = "84620000002311301132632914523029359083800000";

CodeRecord Record(const char* code, const char* receivedAt) {
    CodeRecord record;
    record.code = code;
    record.kind = code[0] == '8' ? CodeKind::CollectionSlip : CodeKind::BankSlip;
    record.kindLetter = KindLetter(record.kind);
    record.receivedAt = receivedAt;
    record.senderAddress = 0x1400A8C0;  // 192.168.0.20
    record.checkDigitsValid = true;
    record.value = "R$ 110,00";
    return record;
}

class HistoryDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder =
            std::filesystem::temp_directory_path() /
            ("zentory-db-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        path = (folder / "zentory.db").string();
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::filesystem::path folder;
    std::string path;
};

}  // namespace

TEST_F(HistoryDatabaseTest, TheListAndItsMarksOutlastAClose) {
    std::string problem;
    {
        HistoryDatabase db;
        ASSERT_TRUE(db.Open(path, problem)) << problem;
        CodeRecord first = Record(kBank, "2026/12/07 09:05:03");
        CodeRecord second = Record(kCollection, "2026/12/07 09:06:00");
        CodeRecord third = Record(kBank, "2026/12/08 10:00:00");
        third.paidAt = "";
        ASSERT_TRUE(db.Append({&first, &second}));
        EXPECT_EQ(db.FirstReceivedAt(kBank), "2026/12/07 09:05:03");
        ASSERT_TRUE(db.Append({&third}));
        EXPECT_GT(second.databaseId, first.databaseId);
        EXPECT_TRUE(db.MarkPaid(second.databaseId, "2026/12/08 11:00:00"));
        EXPECT_TRUE(db.MarkTyped(third.databaseId, "2026/12/08 11:01:00"));
        EXPECT_TRUE(db.MarkRemoved({first.databaseId}, "2026/12/08 11:02:00"));
    }
    HistoryDatabase db;
    ASSERT_TRUE(db.Open(path, problem)) << problem;
    std::vector<CodeRecord> rows = db.ListRows(500);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].code, kCollection);
    EXPECT_EQ(rows[0].paidAt, "2026/12/08 11:00:00");
    EXPECT_EQ(rows[0].kindLetter, "C");
    EXPECT_EQ(rows[0].value, "R$ 110,00");
    EXPECT_EQ(rows[0].senderAddress, 0x1400A8C0u);
    EXPECT_EQ(rows[1].typedAt, "2026/12/08 11:01:00");
    // The removed row still counts as read before.
    EXPECT_EQ(rows[1].firstSeenAt, "2026/12/07 09:05:03");
    EXPECT_EQ(db.ListRows(1).at(0).databaseId, rows[1].databaseId);

    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    sqlite3_stmt* mode = nullptr;
    sqlite3_prepare_v2(raw, "PRAGMA journal_mode", -1, &mode, nullptr);
    ASSERT_EQ(sqlite3_step(mode), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(mode, 0)), "wal");
    sqlite3_finalize(mode);
    sqlite3_close(raw);
}

TEST_F(HistoryDatabaseTest, JournalsAreReadOnceAndADamagedFileIsKeptAside) {
    {
        std::ofstream journal(folder / JournalFileName(2026, 11), std::ios::binary);
        journal << JournalLine(Record(kBank, "2026/11/30 23:59:59")) << "\r\n";
        journal << "not a journal line\r\n";
        journal << JournalLine(Record(kCollection, "2026/11/30 23:59:59")) << "\r\n";
        // A line that a power cut tore is not read.
        journal << JournalLine(Record("35200714200166000187550010000000046550000044",
                                      "2026/11/30 23:59:59"))
                       .substr(0, 30);
    }
    {
        std::ofstream damaged(path, std::ios::binary);
        damaged << "this is not a database, and it must not be lost";
    }
    HistoryDatabase db;
    std::string problem, aside;
    ASSERT_TRUE(db.Open(path, problem, &aside)) << problem;
    EXPECT_EQ(aside, path + ".damaged-1");
    EXPECT_EQ(ReadWholeFile(aside), "this is not a database, and it must not be lost");

    EXPECT_EQ(db.ImportJournals(folder.string()), 2);
    EXPECT_EQ(db.ImportJournals(folder.string()), 0);
    EXPECT_EQ(db.FirstReceivedAt(kCollection), "2026/11/30 23:59:59");
    EXPECT_TRUE(db.ListRows(500).empty());
}
