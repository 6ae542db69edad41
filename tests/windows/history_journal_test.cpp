// The history and the codes seen before in the program: rows, balloons, the details, the
// list brought back at a new start.

#include "ui/history_journal.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <memory>

#include "../core/read_file.h"
#include "../core/test_doubles.h"
#include "balloon_tray.h"
#include "dialog_watcher.h"
#include "resource.h"
#include "settings/memory_settings_store.h"
#include "ui/details_dialog.h"
#include "ui/history_list.h"
#include "typing/layouts.h"
#include "ui/main_window.h"

namespace {

const char kBank[] = "00191455700000110009956850418332600000624818";

class HistoryJournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::path(::testing::TempDir()) / "zentory-journal-window";
        std::filesystem::remove_all(folder);
        program.instance = GetModuleHandleA(nullptr);
        program.store = &store;
        program.typer = &typer;
        program.notifyIcon = BalloonTray::NotifyIcon;
        program.journalFolder = folder.string();
        BalloonTray::balloons.clear();
        RegisterMainWindowClass(program.instance);
        ASSERT_TRUE(CreateMainWindow(program));
        ApplyJournalSetting(program);
    }
    void TearDown() override {
        DestroyWindow(program.mainWindow);
        StopJournal(program);  // an open file cannot be removed on Windows
        std::filesystem::remove_all(folder);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    void Receive(const char* code, const char* receivedAt, bool valid = true) {
        CodeRecord record;
        record.code = code;
        record.kindLetter = "B";
        record.checkDigitsValid = valid;
        record.receivedAt = receivedAt;
        record.value = "R$ 110,00";
        MainWindowSink(program).Deliver(record);
        DrainReceiverEvents(program, true);
    }
    // The rows that the history database holds for the list, read as a new start would.
    std::size_t StoredRows() {
        HistoryDatabase reader;
        std::string problem;
        if (!reader.Open(HistoryDatabasePath(program), problem)) return 0;
        return reader.ListRows(500).size();
    }
    bool Checked(int row) { return ListView_GetCheckState(program.list, row) != 0; }
    // Closed and started again: the list as the database gives it back.
    void Restart() {
        StopJournal(program);
        SendMessageA(program.list, LVM_DELETEALLITEMS, 0, 0);
        program.history.Clear();
        StartJournal(program);
    }
    std::string Status() {
        char text[256] = {};
        SendMessageA(program.statusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
        return text;
    }
    int Image(int row) {
        LVITEMA item = {};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        SendMessageA(program.list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    }

    std::filesystem::path folder;
    Program program;
    MemorySettingsStore store;
    RecordingTyper typer;
};

}  // namespace

TEST_F(HistoryJournalTest, EveryRecordIsJournaledAndARepeatIsMarked) {
    Receive(kBank, "2026/12/07 09:05:03");
    Receive("84620000002311301132632914523029359083800000", "2026/12/07 09:06:00");
    Receive(kBank, "2026/12/07 09:07:00");
    EXPECT_EQ(StoredRows(), 3u);
    EXPECT_EQ(Image(0), 1);
    EXPECT_EQ(Image(2), 2);  // read before
    ASSERT_EQ(BalloonTray::balloons.size(), 1u);
    EXPECT_EQ(BalloonTray::balloons[0],
              "Este código já foi lido em 07/12/2026 às 09:05 (R$ 110,00)");

    // Within five seconds: no second balloon.
    Receive(kBank, "2026/12/07 09:07:01");
    EXPECT_EQ(BalloonTray::balloons.size(), 1u);

    // The details of the repeat say when it was first read.
    auto lock = program.history.Lock();
    DetailsRequest request{&program.history, RowItemId(program.list, 2)};
    HWND details = CreateDialogParamA(program.instance, MAKEINTRESOURCEA(IDD_DETAILS), nullptr,
                                      DetailsDialogProcedure, reinterpret_cast<LPARAM>(&request));
    char text[128] = {};
    GetDlgItemTextA(details, IDC_DETAILS_SEEN, text, sizeof text);
    EXPECT_STREQ(text, "Lido antes em 07/12/2026 às 09:05:03");
    DestroyWindow(details);

    // F6 on the first row, and a new start: the other rows come back, the repeat still
    // marked.
    ListView_SetItemState(program.list, 0, LVIS_SELECTED, LVIS_SELECTED);
    DeleteHistoryRows(program);
    StopJournal(program);
    SendMessageA(program.list, LVM_DELETEALLITEMS, 0, 0);
    program.history.Clear();
    StartJournal(program);
    EXPECT_EQ(SendMessageA(program.list, LVM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(Image(1), 2);
}

TEST_F(HistoryJournalTest, NoBalloonWhenTheUserSaysSoAndNoJournalWhenOff) {
    program.settings.warnRepeats = 0;
    program.settings.journal = 0;
    ApplyJournalSetting(program);
    Receive(kBank, "2026/12/07 09:05:03");
    Receive(kBank, "2026/12/07 09:05:04");
    EXPECT_TRUE(BalloonTray::balloons.empty());
    EXPECT_EQ(Image(1), 2);  // still marked
    EXPECT_EQ(StoredRows(), 0u);
}

TEST_F(HistoryJournalTest, AFailingHistoryIsToldOnceAndWrittenWhenItCanBe) {
    StopJournal(program);
    std::filesystem::remove(folder / "zentory.db");
    std::filesystem::create_directories(folder / "zentory.db");  // a folder in the way
    Receive(kBank, "2026/12/07 09:05:03");
    Receive("84620000002311301132632914523029359083800000", "2026/12/07 09:06:00");
    EXPECT_EQ(SendMessageA(program.list, LVM_GETITEMCOUNT, 0, 0), 2);
    int told = 0;
    MSG message;
    while (PeekMessageA(&message, program.mainWindow, kJournalFailedMessage, kJournalFailedMessage,
                        PM_REMOVE))
        ++told;
    EXPECT_EQ(told, 1);
    std::filesystem::remove(folder / "zentory.db");
    Receive(kBank, "2026/12/07 09:07:00");
    EXPECT_EQ(StoredRows(), 3u);
    // A row written late leaves the list for good too.
    ListView_SetItemState(program.list, 0, LVIS_SELECTED, LVIS_SELECTED);
    DeleteHistoryRows(program);
    EXPECT_EQ(StoredRows(), 2u);

    // A paid mark that the history cannot take is kept, and stored with the next batch.
    StopJournal(program);
    std::filesystem::rename(folder / "zentory.db", folder / "kept.db");
    std::filesystem::create_directories(folder / "zentory.db");
    ListView_SetCheckState(program.list, 0, TRUE);
    std::filesystem::remove(folder / "zentory.db");
    std::filesystem::rename(folder / "kept.db", folder / "zentory.db");
    Receive(kBank, "2026/12/07 09:08:00");
    Restart();
    EXPECT_TRUE(Checked(0));
}

TEST(SpokenReceivedAt, WithAndWithoutSeconds) {
    EXPECT_EQ(SpokenReceivedAt("2026/12/07 09:05:03", true), "07/12/2026 às 09:05:03");
    EXPECT_EQ(SpokenReceivedAt("2026/12/07 09:05:03", false), "07/12/2026 às 09:05");
    EXPECT_EQ(SpokenReceivedAt("07/12/2026 09:05:03", true), "");
}

TEST_F(HistoryJournalTest, TheNextKeyTypesTheRowsLeftToPayAndTheMarksLast) {
    program.injector = std::make_unique<KeyboardInjector>(program.settings, store, typer);
    const char* codes[] = {kBank, "84620000002311301132632914523029359083800000",
                           "00092473500000830004240405000030000226026703",
                           "86710000000728242498725119096408256612000003"};
    Receive("12345678901234567890123456789012345678901235", "2026/12/07 09:04:00", false);
    for (const char* code : codes)
        Receive(code, "2026/12/07 09:05:00");
    // The second slip is paid: its box is ticked, as Space or the row's menu do.
    ListView_SetCheckState(program.list, 2, TRUE);
    for (int press = 0; press < 4; ++press)
        SendMessageA(program.mainWindow, WM_HOTKEY, program.nextHotKeyId, 0);
    std::vector<std::string> expected;
    for (int k : {0, 2, 3})
        expected.push_back(*InjectionText(codes[k], CodeKind::BankSlip, ModeTypeable, 0));
    EXPECT_EQ(typer.Texts(), expected);  // the wrong row is never typed
    EXPECT_EQ(Status(), "Nenhum código a pagar na lista.");
    EXPECT_EQ(BalloonTray::balloons.back(), "Nenhum código a pagar na lista.");
    int selected = ListView_GetNextItem(program.list, -1, LVNI_SELECTED);
    EXPECT_EQ(selected, 4);  // the last one typed

    // A new start: the paid mark and the typed ones are back; the filter shows what is left.
    Restart();
    ASSERT_EQ(SendMessageA(program.list, LVM_GETITEMCOUNT, 0, 0), 5);
    EXPECT_TRUE(Checked(2));
    EXPECT_FALSE(Checked(1));
    program.history.ForEach([](const CodeRecord& record) {
        EXPECT_EQ(record.typedAt.empty(), !record.checkDigitsValid || !record.paidAt.empty())
            << record.code;
    });
    SendMessageA(program.filterChoice, CB_SETCURSEL, 1, 0);  // "A pagar"
    SendMessageA(program.mainWindow, WM_COMMAND, MAKEWPARAM(IDC_FILTER_CHOICE, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(program.filterChoice));
    EXPECT_EQ(SendMessageA(program.list, LVM_GETITEMCOUNT, 0, 0), 3);  // nor the wrong one
    SetWindowTextA(program.filterBox, "0009 2473");                    // a typeable line's digits
    EXPECT_EQ(SendMessageA(program.list, LVM_GETITEMCOUNT, 0, 0), 1);
    // Unticked again: no longer paid, after a new start too.
    SetWindowTextA(program.filterBox, "");
    SendMessageA(program.filterChoice, CB_SETCURSEL, 0, 0);
    SendMessageA(program.mainWindow, WM_COMMAND, MAKEWPARAM(IDC_FILTER_CHOICE, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(program.filterChoice));
    ListView_SetCheckState(program.list, 2, FALSE);
    Restart();
    EXPECT_FALSE(Checked(2));
}
