// The main window built hidden in this process and driven by messages.

#include "ui/main_window.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <atomic>
#include <string>
#include <thread>

#include "../core/test_doubles.h"
#include "codes/nfe_access_key.h"
#include "dialog_watcher.h"
#include "resource.h"
#include "settings/memory_settings_store.h"
#include "ui/history_list.h"
#include "ui/tray_icon.h"
#include "test_program.h"

namespace {

const char kBank[] = "00191455700000110009956850418332600000624818";
const char kCollection[] = "84620000002311301132632914523029359083800000";
const char kNfe[] = "12345678901234567890123456789012345678901235";

CodeRecord Record(const char* code, CodeKind kind, bool valid, std::uint32_t sender = 0x0100007F) {
    CodeRecord record;
    record.code = code;
    record.kind = kind;
    record.kindLetter = KindLetter(kind);
    record.checkDigitsValid = valid;
    record.senderAddress = sender;
    record.typeable = std::string("typeable ") + code;
    record.value = "R$ 1,00";
    return record;
}

class MainWindowTest : public ::testing::Test, protected TestProgram {
protected:
    void SetUp() override {
        program.hotKeyId = GlobalAddAtomA("ZentoryTestHotkey");
        window = CreateMainWindow(program);
        ASSERT_TRUE(window);
    }
    void TearDown() override {
        if (IsWindow(window)) DestroyWindow(window);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    // Hands records over as the receiver thread does, and lets the window take them all.
    void Receive(CodeRecord record) {
        MainWindowSink sink(program);
        sink.Deliver(std::move(record));
        TakeEverything();
    }
    void TakeEverything() {
        do {
            SendMessageA(window, kReceiverEventsMessage, 0, 0);
        } while (!program.backlog.empty());
    }
    int Rows() { return static_cast<int>(SendMessageA(program.list, LVM_GETITEMCOUNT, 0, 0)); }
    std::string Cell(int row, int column) {
        char text[260] = {};
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(program.list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        return text;
    }
    const CodeRecord* RecordAt(int row) {
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        SendMessageA(program.list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        return reinterpret_cast<const CodeRecord*>(item.lParam);
    }
    void Select(int row) {
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED;
        item.state = LVIS_SELECTED;
        SendMessageA(program.list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
        SendMessageA(program.list, LVM_SETSELECTIONMARK, 0, row);
    }
    void Command(UINT id) { SendMessageA(window, WM_COMMAND, id, 0); }
    void Deselect() {
        LVITEMA none = {};
        none.stateMask = LVIS_SELECTED;
        SendMessageA(program.list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(&none));
    }
    void DoubleClick(int row) {
        NMITEMACTIVATE activate = {};
        activate.hdr.hwndFrom = program.list;
        activate.hdr.idFrom = IDC_HISTORY_LIST;
        activate.hdr.code = NM_DBLCLK;
        activate.iItem = row;
        SendMessageA(window, WM_NOTIFY, IDC_HISTORY_LIST, reinterpret_cast<LPARAM>(&activate));
    }
    // Hands `count` records numbered from `first` to the queue without waking the window.
    void Queue(int first, int count) {
        for (int i = first; i < first + count; ++i) {
            ReceiverEvent event;
            event.record = Record(kBank, CodeKind::BankSlip, true);
            event.record.sequenceIndex = i;
            program.pending.Push(std::move(event));
        }
    }
    std::vector<int> RowSequence() {
        std::vector<int> sequence;
        for (int row = 0; row < Rows(); ++row)
            sequence.push_back(RecordAt(row)->sequenceIndex);
        return sequence;
    }
    void ClickColumn(int column) {
        NMLISTVIEW click = {};
        click.hdr.hwndFrom = program.list;
        click.hdr.idFrom = IDC_HISTORY_LIST;
        click.hdr.code = LVN_COLUMNCLICK;
        click.iItem = -1;
        click.iSubItem = column;
        SendMessageA(window, WM_NOTIFY, IDC_HISTORY_LIST, reinterpret_cast<LPARAM>(&click));
    }

    HWND window = nullptr;
};

}  // namespace

TEST_F(MainWindowTest, StartsHiddenWithGridStatusAndToolbar) {
    EXPECT_FALSE(IsWindowVisible(window));
    char text[128] = {};
    SendMessageA(program.statusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "Text");
    SendMessageA(program.statusBar, SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "Injeção de teclado ativada (digitável)");
    EXPECT_TRUE(GetMenuState(GetMenu(window), IDM_GRID, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_TRUE(SendMessageA(program.list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_GRIDLINES);
    EXPECT_EQ(SendMessageA(program.toolbar, TB_BUTTONCOUNT, 0, 0), 5);

    MainWindowSink(program).ShowStatus("Esperando dados na porta 6666 UDP");
    SendMessageA(window, kReceiverEventsMessage, 0, 0);
    SendMessageA(program.statusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "Esperando dados na porta 6666 UDP");
}

TEST_F(MainWindowTest, RowsShowTheirRecordsWithTheirImages) {
    Receive(Record(kBank, CodeKind::BankSlip, true, 0x0A00000A));
    Receive(Record(kCollection, CodeKind::CollectionSlip, false));
    Receive(Record(kNfe, CodeKind::NfeKey, true));
    ASSERT_EQ(Rows(), 3);
    EXPECT_EQ(Cell(0, 0), "B");
    EXPECT_EQ(Cell(0, 1), "10.0.0.10");
    EXPECT_EQ(Cell(0, 2), std::string("typeable ") + kBank);
    EXPECT_EQ(Cell(0, 3), "R$ 1,00");
    EXPECT_EQ(Cell(1, 0), "C");
    EXPECT_EQ(Cell(2, 5), kNfe);
    for (int row = 0; row < 3; ++row) {
        LVITEMA item = {};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        SendMessageA(program.list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(item.iImage, row == 1 ? 0 : 1) << row;
    }
}

TEST_F(MainWindowTest, TheCapKeepsStableIds) {
    for (int i = 1; i <= 500; ++i) {
        CodeRecord record = Record(kBank, CodeKind::BankSlip, true);
        record.sequenceIndex = i;
        ReceiverEvent event;
        event.record = std::move(record);
        program.pending.Push(std::move(event));
    }
    DrainReceiverEvents(program);
    EXPECT_EQ(Rows(), 100);  // one slice per wake-up; the window answers between slices
    TakeEverything();
    EXPECT_EQ(Rows(), 500);
    CodeRecord last = Record(kBank, CodeKind::BankSlip, true);
    last.sequenceIndex = 501;
    Receive(last);
    ASSERT_EQ(Rows(), 301);
    EXPECT_EQ(program.history.Count(), 301u);
    for (int row = 0; row < 301; ++row) {
        const CodeRecord* record = RecordAt(row);
        ASSERT_EQ(record->sequenceIndex, 201 + row);
        EXPECT_EQ(program.history.FindByItemId(RowItemId(program.list, row)), record);
    }
}

TEST_F(MainWindowTest, DeleteRemovesTheSelectedRowsOrEverything) {
    for (int i = 0; i < 5; ++i) {
        CodeRecord record = Record(kBank, CodeKind::BankSlip, true);
        record.sequenceIndex = i;
        Receive(record);
    }
    Select(2);
    Select(3);
    Command(IDM_DELETE);
    ASSERT_EQ(Rows(), 3);
    EXPECT_EQ(program.history.Count(), 3u);
    int expected[] = {0, 1, 4};
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(RecordAt(row)->sequenceIndex, expected[row]);
        EXPECT_EQ(program.history.FindByItemId(RowItemId(program.list, row)), RecordAt(row));
    }
    // None selected: a question first, "Não" the default button and the answer that
    // keeps everything.
    Deselect();
    std::atomic<bool> noIsDefault{false};
    {
        DialogWatcher question("zentory", [&](HWND box) {
            LONG style = GetWindowLongA(GetDlgItem(box, IDNO), GWL_STYLE);
            noIsDefault = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
            PostMessageA(box, WM_COMMAND, IDNO, 0);
        });
        Command(IDM_DELETE);
        EXPECT_EQ(question.Text(), "Apagar todos os 3 códigos da lista?");
    }
    EXPECT_TRUE(noIsDefault);
    EXPECT_EQ(Rows(), 3);
    EXPECT_EQ(program.history.Count(), 3u);
    {
        DialogWatcher question("zentory", DialogWatcher::Press(IDYES));
        Command(IDM_DELETE);
        EXPECT_TRUE(question.Seen());
    }
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(program.history.Count(), 0u);
    {
        DialogWatcher question("zentory", DialogWatcher::Press(IDYES));
        Command(IDM_DELETE);  // nothing to delete: nothing to ask
        EXPECT_FALSE(question.Seen());
    }
}

TEST_F(MainWindowTest, RecordsArrivingAtOnceLeaveWhatTheCapWouldLeave) {
    Queue(1, 100);
    TakeEverything();
    Queue(101, 600);
    TakeEverything();
    std::vector<int> expected;
    for (int i = 201; i <= 700; ++i)
        expected.push_back(i);
    EXPECT_EQ(RowSequence(), expected);

    // Arrivals while a backlog is still being shown slice by slice.
    Queue(701, 150);
    DrainReceiverEvents(program);
    Queue(851, 60);
    TakeEverything();
    // 910 in all: the cap leaves the newest 301 + (910 - 501) % 200 = 310.
    expected.clear();
    for (int i = 601; i <= 910; ++i)
        expected.push_back(i);
    EXPECT_EQ(RowSequence(), expected);
    for (int row = 0; row < Rows(); ++row)
        ASSERT_EQ(program.history.FindByItemId(RowItemId(program.list, row)), RecordAt(row));
}

TEST_F(MainWindowTest, AFloodThatFillsTheQueueKeepsTheStatusAndTheRightRows) {
    MainWindowSink(program).ShowStatus("Esperando dados na porta 6666 UDP");
    Queue(1, 6000);                               // 1000 more than the queue holds
    EXPECT_EQ(program.pending.Dropped(), 1001u);  // 6000 records and a status, 5000 kept
    TakeEverything();
    char text[128] = {};
    SendMessageA(program.statusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "Esperando dados na porta 6666 UDP");
    // 6000 appended one by one leave 301 + (6000 - 501) % 200 = 400: 5601 to 6000.
    std::vector<int> expected;
    for (int i = 5601; i <= 6000; ++i)
        expected.push_back(i);
    EXPECT_EQ(RowSequence(), expected);
}

TEST_F(MainWindowTest, SaveTakesEveryWaitingRecordFirst) {
    Queue(1, 250);  // handed over, no wake-up handled yet
    DialogWatcher cancel("Save log", DialogWatcher::Press(IDCANCEL));
    Command(IDM_SAVE);
    EXPECT_TRUE(cancel.Seen());  // not "nothing to save"
    EXPECT_EQ(program.history.Count(), 250u);
    EXPECT_EQ(Rows(), 250);
}

TEST_F(MainWindowTest, ActivatingANfeRowOpensOnlyAWellFormedKey) {
    static std::vector<std::string> opened;
    opened.clear();
    program.openAddress = [](HWND, const char* address) { opened.push_back(address); };
    Receive(Record(kNfe, CodeKind::NfeKey, true));
    CodeRecord hostile = Record(kNfe, CodeKind::NfeKey, false);
    hostile.code = "123456789012345678901234567890123456\" & calc";  // 44 bytes
    ASSERT_EQ(hostile.code.size(), 44u);
    Receive(hostile);
    DoubleClick(0);
    EXPECT_EQ(opened, (std::vector<std::string>{NfeQueryAddress(kNfe)}));
    {
        DialogWatcher warning("zentory", DialogWatcher::Press(IDOK));
        DoubleClick(1);
        EXPECT_EQ(warning.Text(), "Chave de NF-e inválida: o código não tem 44 dígitos.");
    }
    EXPECT_EQ(opened.size(), 1u);
}

TEST_F(MainWindowTest, ActivatingASlipShowsThatVeryRowAfterASortAndADelete) {
    const char* codes[] = {"00191455700000110009956850418332600000624818",
                           "00092473500000830004240405000030000226026703",
                           "84620000002311301132632914523029359083800000"};
    std::uint32_t senders[] = {0x0300000A, 0x0100000A, 0x0200000A};  // 10.0.0.3, .1, .2
    for (int i = 0; i < 3; ++i)
        Receive(Record(codes[i], i == 2 ? CodeKind::CollectionSlip : CodeKind::BankSlip, true,
                       senders[i]));
    auto shownBarcode = [&](int row) {
        std::string barcode;
        auto read = [&](HWND dialog) {
            char text[64] = {};
            GetDlgItemTextA(dialog, IDC_DETAILS_BARCODE, text, sizeof text);
            barcode = text;
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        };
        DialogWatcher bank("Boleto bancário", read);
        DialogWatcher collection("Consessionária", read);
        DoubleClick(row);
        return barcode;
    };
    ClickColumn(1);  // by sender: 10.0.0.1, 10.0.0.2, 10.0.0.3
    EXPECT_EQ(shownBarcode(0), codes[1]);
    EXPECT_EQ(shownBarcode(2), codes[0]);
    Select(0);
    Command(IDM_DELETE);
    EXPECT_EQ(shownBarcode(0), codes[2]);
}

TEST_F(MainWindowTest, SortingByAddressOrdersTheTextAndNewRowsGoToTheBottom) {
    Receive(Record(kBank, CodeKind::BankSlip, true, 0x0100000A));  // 10.0.0.1
    Receive(Record(kBank, CodeKind::BankSlip, true, 0x01000009));  // 9.0.0.1
    Receive(Record(kBank, CodeKind::BankSlip, true, 0x0100A8C0));  // 192.168.0.1
    ClickColumn(1);
    EXPECT_EQ(Cell(0, 1), "10.0.0.1");
    EXPECT_EQ(Cell(1, 1), "192.168.0.1");
    EXPECT_EQ(Cell(2, 1), "9.0.0.1");
    Receive(Record(kBank, CodeKind::BankSlip, true, 0x01000001));  // 1.0.0.1
    EXPECT_EQ(Cell(3, 1), "1.0.0.1");
    ClickColumn(5);
    ClickColumn(9);  // no such column: nothing happens
    EXPECT_EQ(Rows(), 4);
}

TEST_F(MainWindowTest, GridToggleAndStriping) {
    Command(IDM_GRID);
    EXPECT_FALSE(GetMenuState(GetMenu(window), IDM_GRID, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_FALSE(SendMessageA(program.list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_GRIDLINES);
    NMLVCUSTOMDRAW draw = {};
    draw.nmcd.dwDrawStage = CDDS_PREPAINT;
    EXPECT_EQ(CustomDrawHistoryList(window, &draw), CDRF_NOTIFYITEMDRAW);
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.dwItemSpec = 2;
    EXPECT_EQ(CustomDrawHistoryList(window, &draw), CDRF_NEWFONT);
    EXPECT_EQ(draw.clrTextBk, RGB(240, 255, 240));
    draw.nmcd.dwItemSpec = 3;
    draw.clrTextBk = 0;
    EXPECT_EQ(CustomDrawHistoryList(window, &draw), 0);
    EXPECT_EQ(draw.clrTextBk, 0u);
    Command(IDM_GRID);
    EXPECT_TRUE(GetMenuState(GetMenu(window), IDM_GRID, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_EQ(CustomDrawHistoryList(window, &draw), CDRF_DODEFAULT);
}

TEST_F(MainWindowTest, HotKeyTypesTheSelectedRowAgain) {
    CodeRecord bank = Record(kBank, CodeKind::BankSlip, true);
    Receive(bank);
    Receive(Record(kNfe, CodeKind::NfeKey, true));
    SendMessageA(window, WM_HOTKEY, program.hotKeyId, 0);  // no selection: nothing
    EXPECT_TRUE(typer.Texts().empty());
    Select(1);
    SendMessageA(window, WM_HOTKEY, program.hotKeyId, 0);
    Select(0);
    SendMessageA(window, WM_HOTKEY, program.hotKeyId, 0);
    EXPECT_EQ(typer.Texts(),
              (std::vector<std::string>{kNfe, "00199956875041833260200006248181145570000011000"}));
    program.settings.injectionMode = 0;
    SendMessageA(window, WM_HOTKEY, program.hotKeyId, 0);
    EXPECT_EQ(typer.Texts().size(), 2u);
}

TEST_F(MainWindowTest, HotKeyTypesNothingOnceNoRowIsSelected) {
    for (const char* code : {kNfe, kBank, kCollection})
        Receive(Record(code, CodeKind::NfeKey, true));
    // The selection mark stays on a row the user deselected...
    Select(1);
    Deselect();
    SendMessageA(window, WM_HOTKEY, program.hotKeyId, 0);
    // ...and moves to the neighbour of a row deleted with F6.
    Select(0);
    Command(IDM_DELETE);
    ASSERT_EQ(Rows(), 2);
    SendMessageA(window, WM_HOTKEY, program.hotKeyId, 0);
    EXPECT_TRUE(typer.Texts().empty());
    Select(1);
    SendMessageA(window, WM_HOTKEY, program.hotKeyId, 0);
    EXPECT_EQ(typer.Texts(), (std::vector<std::string>{kCollection}));
}

TEST_F(MainWindowTest, MinimiseHidesAndShowBringsBack) {
    ShowWindow(window, SW_SHOWNORMAL);
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(IsWindowVisible(window));
    Command(IDM_SHOW);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));
}

TEST_F(MainWindowTest, SavingAnEmptyHistoryWarns) {
    std::atomic<bool> seen{false};
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 500 && !done; ++i) {
            if (HWND box = FindWindowA("#32770", "zentory")) {
                seen = true;
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(10);
        }
    });
    Command(IDM_SAVE);
    done = true;
    watchdog.join();
    EXPECT_TRUE(seen);
}

TEST(ModeStatusText, EveryMode) {
    EXPECT_STREQ(ModeStatusText(-3), "Injeção de teclado desativada");
    EXPECT_STREQ(ModeStatusText(0), "Injeção de teclado desativada");
    EXPECT_STREQ(ModeStatusText(2), "Injeção de teclado ativada (código de barras)");
    EXPECT_STREQ(ModeStatusText(7), "Injeção de teclado ativada (código de barras)");
    EXPECT_STREQ(ModeStatusText(3), "Injeção de teclado ativada (digitável com TAB)");
    EXPECT_STREQ(ModeStatusText(4), "Injeção de teclado ativada (digitável CUSTOM)");
}

TEST_F(MainWindowTest, TrayClicksShowTheWindowAndTraceAllButMoves) {
    TraceRecorder traces;
    SendMessageA(window, kTrayMessage, 500, WM_MOUSEMOVE);
    EXPECT_TRUE(traces.Traces().empty());
    SendMessageA(window, kTrayMessage, 500, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(traces.Count("TrayCallback(500,513)\n"), 1);

    RECT workArea = {0, 0, 1024, 738};
    POINT clamped = ClampIntoWorkArea({1500, 900}, workArea);
    EXPECT_EQ(clamped.x, 1024);
    EXPECT_EQ(clamped.y, 738);
    clamped = ClampIntoWorkArea({-5, -7}, workArea);
    EXPECT_EQ(clamped.x, 0);
    EXPECT_EQ(clamped.y, 0);
}

namespace {

// The tray as the main window sees it: every call, and a taskbar that may not be there.
struct FakeTray {
    static BOOL WINAPI NotifyIcon(DWORD command, PNOTIFYICONDATAA data) {
        calls.push_back(command);
        EXPECT_EQ(data->uID, kTrayIconId);
        if (command == NIM_DELETE) return TRUE;
        return present ? TRUE : FALSE;
    }
    static inline std::vector<DWORD> calls;
    static inline bool present = true;
};

}  // namespace

TEST(MainWindowTray, TheIconComesBackWithTheTaskbarAndGoesWithTheWindow) {
    Program program;
    MemorySettingsStore store;
    RecordingTyper typer;
    program.instance = GetModuleHandleA(nullptr);
    program.store = &store;
    program.typer = &typer;
    program.notifyIcon = FakeTray::NotifyIcon;
    FakeTray::calls.clear();
    FakeTray::present = false;  // logon: the taskbar is not up yet
    RegisterMainWindowClass(program.instance);
    HWND window = CreateMainWindow(program);
    ASSERT_TRUE(window);
    // Added once the window shows, not while it is made.
    EXPECT_TRUE(FakeTray::calls.empty());
    MSG posted;
    while (PeekMessageA(&posted, window, 0, 0, PM_REMOVE))
        DispatchMessageA(&posted);
    EXPECT_EQ(FakeTray::calls, (std::vector<DWORD>{NIM_ADD, NIM_MODIFY}));

    // The retry timer tries again until the taskbar takes the icon, then stops.
    constexpr UINT_PTR kTrayRetryTimer = 2;
    SendMessageA(window, WM_TIMER, kTrayRetryTimer, 0);
    EXPECT_EQ(FakeTray::calls.size(), 4u);
    FakeTray::present = true;
    SendMessageA(window, WM_TIMER, kTrayRetryTimer, 0);
    EXPECT_EQ(FakeTray::calls.back(), static_cast<DWORD>(NIM_ADD));

    // Explorer restarts: the icon is added again.
    FakeTray::calls.clear();
    SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_EQ(FakeTray::calls, (std::vector<DWORD>{NIM_ADD}));

    FakeTray::calls.clear();
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(FakeTray::calls, (std::vector<DWORD>{NIM_DELETE}));
    EXPECT_FALSE(IsWindow(window));
    MSG message;  // the quit message that closing posts
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}
