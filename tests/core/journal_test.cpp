// The journal on disk and the codes seen before.

#include "history/journal.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "read_file.h"

namespace {

const char kBank[] = "00191455700000110009956850418332600000624818";
const char kNfe[] = "35200714200166000187550010000000046550000044";

CodeRecord Record(const std::string& code, const std::string& receivedAt,
                  CodeKind kind = CodeKind::BankSlip) {
    CodeRecord record;
    record.code = code;
    record.kind = kind;
    record.receivedAt = receivedAt;
    record.senderAddress = 0x1700A8C0;  // 192.168.0.23
    return record;
}

class JournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::path(::testing::TempDir()) /
                 ("zentory-journal-" +
                  std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    std::string File(const char* name) { return (folder / name).string(); }

    std::filesystem::path folder;
};

}  // namespace

TEST(JournalLine, OneLineWhateverTheCodeHolds) {
    EXPECT_EQ(JournalLine(Record(kBank, "2026/12/07 09:05:03")),
              "2026/12/07 09:05:03\t192.168.0.23\t00191455700000110009956850418332600000624818 "
              "R$ 110,00 19/11/2034 0019995687 50418332602 00006248181 1 45570000011000 Banco do "
              "Brasil S.A.");
    std::string forged = JournalLine(Record("1234\r\n\t5", "2026/12/07 09:05:03"));
    EXPECT_EQ(forged.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(std::count(forged.begin(), forged.end(), '\t'), 2);
}

TEST(JournalLine, ReadBack) {
    auto entry = ParseJournalLine(
        JournalLine(Record(kNfe, "2026/12/07 09:05:03", CodeKind::NfeKey)) + "\r\n");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->code, kNfe);
    EXPECT_EQ(entry->receivedAt, "2026/12/07 09:05:03");
    EXPECT_EQ(ParseJournalLine(JournalLine(Record(kBank, "2026/12/07 09:05:03")))->code, kBank);
    for (const char* malformed :
         {"", "\r\n", "2026/12/07 09:05:03", "2026/12/07 09:05:03\t1.2.3.4",
          "2026/13/07 09:05:03\tx\t00191455700000110009956850418332600000624818",
          "2026/12/07 9:05:03\tx\t00191455700000110009956850418332600000624818",
          "2026/12/07 09:05:03\tx\t0019145570000011000995685041833260000062481",
          "2026/12/07 09:05:03\tx\t0019145570000011000995685041833260000062481x",
          "2026/12/07 09:05:03\tx\tNFe 1234 digito verificador invalido"}) {
        EXPECT_FALSE(ParseJournalLine(malformed)) << malformed;
    }
}

TEST_F(JournalTest, AMonthAFileAndAFailingDiskTriedAgain) {
    JournalWriter writer(folder.string() + "/deeper/still");
    CodeRecord november = Record(kBank, "2026/11/30 23:59:59");
    CodeRecord december = Record(kNfe, "2026/12/01 00:00:00", CodeKind::NfeKey);
    ASSERT_TRUE(writer.Append({&november, &december}));
    std::string novemberFile = (folder / "deeper/still/zentory-2026-11.txt").string();
    std::string decemberFile = (folder / "deeper/still/zentory-2026-12.txt").string();
    EXPECT_EQ(ReadWholeFile(novemberFile), JournalLine(november) + "\r\n");
    EXPECT_EQ(ReadWholeFile(decemberFile), JournalLine(december) + "\r\n");

    // A folder where January's file should be: reported, and nothing else is lost.
    std::filesystem::create_directories(folder / "deeper/still/zentory-2027-01.txt");
    CodeRecord january = Record(kBank, "2027/01/02 08:00:00");
    EXPECT_FALSE(writer.Append(january));
    std::filesystem::remove(folder / "deeper/still/zentory-2027-01.txt");
    EXPECT_TRUE(writer.Append(january));
    EXPECT_EQ(ReadWholeFile((folder / "deeper/still/zentory-2027-01.txt").string()),
              JournalLine(january) + "\r\n");

    // A folder that cannot be made.
    std::ofstream(folder / "plain-file") << "x";
    JournalWriter blocked((folder / "plain-file" / "journal").string());
    EXPECT_FALSE(blocked.Append(january));
}

#ifndef _WIN32
// December's file on a full disk (/dev/full): the batch that runs on into January says so,
// though January's file takes its line.
TEST_F(JournalTest, AMonthLeftWithinABatchIsOnTheDiskOrTheBatchFails) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    std::filesystem::create_directories(folder);
    std::filesystem::create_symlink("/dev/full", folder / "zentory-2026-12.txt");
    JournalWriter writer(folder.string());
    CodeRecord december = Record(kBank, "2026/12/31 23:59:59");
    CodeRecord january = Record(kNfe, "2027/01/01 00:00:00", CodeKind::NfeKey);
    EXPECT_FALSE(writer.Append({&december, &january}));
    EXPECT_EQ(ReadWholeFile(File("zentory-2027-01.txt")), JournalLine(january) + "\r\n");
}
#endif

TEST_F(JournalTest, SeenBeforeWithinNinetyDays) {
    JournalWriter writer(folder.string());
    CodeRecord old = Record(kBank, "2026/09/07 10:00:00");  // 91 days before 7 Dec
    CodeRecord edge = Record(kNfe, "2026/09/08 10:00:00", CodeKind::NfeKey);  // 90 days
    CodeRecord again = Record(kNfe, "2026/12/01 10:00:00", CodeKind::NfeKey);
    ASSERT_TRUE(writer.Append({&old, &edge, &again}));
    std::ofstream(folder / "zentory-2026-10.txt", std::ios::binary) << "rubbish\r\n\r\n\t\t\r\n";

    SeenCodes seen;
    EXPECT_EQ(seen.NoteSighting(kBank, "2026/12/07 09:00:00"), "");  // this run, before loading
    seen.Load(folder.string(), {2026, 12, 7});
    EXPECT_EQ(seen.Count(), 2u);
    EXPECT_EQ(seen.NoteSighting(kNfe, "2026/12/07 09:30:00"), "2026/09/08 10:00:00");
    EXPECT_EQ(seen.NoteSighting(kBank, "2026/12/07 09:31:00"), "2026/12/07 09:00:00");
    EXPECT_EQ(
        seen.NoteSighting("84620000002311301132632914523029359083800000", "2026/12/07 09:32:00"),
        "");
}

// A power cut in the middle of a line, with the zeros that an extended but unwritten end
// leaves: the lines before it count, the torn one does not while it is the last (though it
// holds a whole code), and the next line appended is not glued to it.
TEST_F(JournalTest, ALineTornByAPowerCut) {
    const char kCollection[] = "84620000002311301132632914523029359083800000";
    {
        JournalWriter writer(folder.string());
        ASSERT_TRUE(writer.Append(Record(kBank, "2026/12/07 09:00:00")));
    }
    std::string torn = JournalLine(Record(kNfe, "2026/12/07 09:01:00", CodeKind::NfeKey));
    std::ofstream(File("zentory-2026-12.txt"), std::ios::binary | std::ios::app)
        << torn.substr(0, torn.size() - 3) << std::string(512, '\0');
    SeenCodes before;
    before.Load(folder.string(), {2026, 12, 7});
    EXPECT_EQ(before.Count(), 1u);

    JournalWriter writer(folder.string());
    ASSERT_TRUE(writer.Append(Record(kCollection, "2026/12/07 09:05:00")));
    EXPECT_EQ(ReadWholeFile(File("zentory-2026-12.txt")),
              JournalLine(Record(kBank, "2026/12/07 09:00:00")) + "\r\n" +
                  torn.substr(0, torn.size() - 3) + "\r\n" +
                  JournalLine(Record(kCollection, "2026/12/07 09:05:00")) + "\r\n");
}

TEST_F(JournalTest, TheNewestHundredThousandCodesAreKept) {
    std::filesystem::create_directories(folder);
    {
        std::ofstream file(folder / "zentory-2026-12.txt", std::ios::binary);
        char code[45];
        for (int i = 0; i < static_cast<int>(SeenCodes::kMaxCodes) + 10; ++i) {
            std::snprintf(code, sizeof code, "%044d", i);
            // Later codes arrived later.
            int second = i / 10000;
            char time[32];
            std::snprintf(time, sizeof time, "2026/12/06 10:%02d:%02d", second / 60, second % 60);
            file << time << "\t10.0.0.1\t" << code << " x\r\n";
        }
    }
    SeenCodes seen;
    seen.Load(folder.string(), {2026, 12, 7});
    EXPECT_EQ(seen.Count(), SeenCodes::kMaxCodes);
    char newest[45];
    std::snprintf(newest, sizeof newest, "%044d", static_cast<int>(SeenCodes::kMaxCodes) + 9);
    EXPECT_NE(seen.NoteSighting(newest, "2026/12/07 09:00:00"), "");
}
