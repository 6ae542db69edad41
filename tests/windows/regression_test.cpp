// Rules of the main window and the configuration dialog that once had nothing guarding
// them: mode buttons, the history cap after a sort, the hot key, the tray icon at
// close, the toolbar.

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "../core/test_doubles.h"
#include "resource.h"
#include "settings/memory_settings_store.h"
#include "ui/config_dialog.h"
#include "ui/history_list.h"
#include "ui/main_window.h"
#include "ui/tray_icon.h"
#include "test_program.h"

namespace {

const char kBank[] = "00191455700000110009956850418332600000624818";

class RegressionTest : public ::testing::Test, protected TestProgram {
protected:
    void SetUp() override { program.hotKeyId = GlobalAddAtomA("ZentoryRegressionHotkey"); }
    void TearDown() override {
        if (dialog && IsWindow(dialog)) DestroyWindow(dialog);
        if (window && IsWindow(window)) DestroyWindow(window);
        Pump();  // also takes the WM_QUIT that closing the main window posts
    }
    void CreateMain() {
        window = CreateMainWindow(program);
        ASSERT_TRUE(window);
    }
    void Pump() {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    }

    HWND window = nullptr;
    HWND dialog = nullptr;
};

struct ModeButton {
    int id;
    std::int32_t mode;
};

// Every radio button of the dialog with the mode it stands for.
const ModeButton kModeButtons[] = {{IDC_CONFIG_MODE_OFF, ModeOff},
                                   {IDC_CONFIG_MODE_TYPEABLE, ModeTypeable},
                                   {IDC_CONFIG_MODE_TYPEABLE_TAB, ModeTypeableTab},
                                   {IDC_CONFIG_MODE_RAW, ModeRaw},
                                   {IDC_CONFIG_MODE_CUSTOM, ModeCustom}};

}  // namespace

TEST_F(RegressionTest, EachModeButtonStandsForItsOwnMode) {
    CreateMain();
    auto open = [&] {
        dialog = CreateDialogParamA(program.instance, MAKEINTRESOURCEA(IDD_CONFIGURATION), window,
                                    ConfigDialogProcedure, reinterpret_cast<LPARAM>(&program));
        ShowWindow(dialog, SW_SHOW);
        return dialog != nullptr;
    };
    for (const ModeButton& held : kModeButtons) {
        program.settings.injectionMode = held.mode;
        ASSERT_TRUE(open());
        for (const ModeButton& button : kModeButtons) {
            EXPECT_EQ(IsDlgButtonChecked(dialog, button.id) == BST_CHECKED, button.id == held.id)
                << "held mode " << held.mode << ", button " << button.id;
        }
        DestroyWindow(dialog);
    }

    // Saving: each button from a dialog that opened with another mode checked.
    for (std::size_t i = 0; i < std::size(kModeButtons); ++i) {
        const ModeButton& chosen = kModeButtons[i];
        program.settings.injectionMode = kModeButtons[(i + 1) % std::size(kModeButtons)].mode;
        ASSERT_TRUE(open());
        SendMessageA(GetDlgItem(dialog, chosen.id), BM_CLICK, 0, 0);
        SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        EXPECT_FALSE(IsWindowVisible(dialog)) << chosen.id;  // saved and closed
        EXPECT_EQ(program.settings.injectionMode, chosen.mode) << chosen.id;
        EXPECT_EQ(store.ReadRegDword(kSettingsKey, kInjectionModeValue), chosen.mode) << chosen.id;
        DestroyWindow(dialog);
    }
}

namespace {

// Record i shows the value (i * 37) % 500 ("R$ 037,00" for record 1): sorting by value
// scatters the arrival order over the whole list.
std::string ValueOf(int i) {
    char value[32];
    std::snprintf(value, sizeof value, "R$ %03d,00", (i * 37) % 500);
    return value;
}

// Records first to last, as the receiver hands them over.
void QueueRecords(Program& program, int first, int last) {
    for (int i = first; i <= last; ++i) {
        ReceiverEvent event;
        event.record.code = kBank;
        event.record.kindLetter = "B";
        event.record.checkDigitsValid = true;
        event.record.sequenceIndex = i;
        event.record.value = ValueOf(i);
        event.record.typeable = "typeable " + std::to_string(i);
        program.pending.Push(std::move(event));
    }
}

}  // namespace

TEST_F(RegressionTest, TheCapAfterASortDropsTheOldestByArrival) {
    CreateMain();
    auto takeEverything = [&] {
        do {
            SendMessageA(window, kReceiverEventsMessage, 0, 0);
        } while (!program.backlog.empty());
    };
    auto cell = [&](int row, int column) {
        char text[128] = {};
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(program.list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        return std::string(text);
    };
    auto recordAt = [&](int row) {
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        SendMessageA(program.list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        return reinterpret_cast<const CodeRecord*>(item.lParam);
    };

    QueueRecords(program, 1, 500);
    takeEverything();
    ASSERT_EQ(SendMessageA(program.list, LVM_GETITEMCOUNT, 0, 0), 500);
    NMLISTVIEW click = {};
    click.hdr.hwndFrom = program.list;
    click.hdr.idFrom = IDC_HISTORY_LIST;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = 3;  // "Valor"
    SendMessageA(window, WM_NOTIFY, IDC_HISTORY_LIST, reinterpret_cast<LPARAM>(&click));
    ASSERT_EQ(cell(0, 3), "R$ 000,00");  // sorted: record 500 first
    ASSERT_EQ(recordAt(0)->sequenceIndex, 500);

    QueueRecords(program, 501, 501);
    takeEverything();
    ASSERT_EQ(SendMessageA(program.list, LVM_GETITEMCOUNT, 0, 0), 301);
    EXPECT_EQ(program.history.Count(), 301u);
    std::set<int> shown;
    for (int row = 0; row < 301; ++row) {
        const CodeRecord* record = recordAt(row);
        ASSERT_TRUE(record) << row;
        ASSERT_EQ(program.history.FindByReference(record), record) << row;  // still stored
        EXPECT_EQ(program.history.FindByItemId(RowItemId(program.list, row)), record) << row;
        int i = record->sequenceIndex;
        shown.insert(i);
        EXPECT_EQ(cell(row, 3), ValueOf(i)) << row;
        EXPECT_EQ(cell(row, 2), "typeable " + std::to_string(i)) << row;
    }
    EXPECT_EQ(shown.size(), 301u);
    EXPECT_EQ(*shown.begin(), 201);
    EXPECT_EQ(*shown.rbegin(), 501);
    EXPECT_EQ(recordAt(300)->sequenceIndex, 501);  // the newest row goes to the bottom
}

namespace {

// Tries to take Ctrl+Alt+B on a thread of its own, as another program would (a thread
// that already holds the key would only replace its own registration): 0 when it could,
// and gave it back at once, else the error.
DWORD TryToTakeTheHotKey() {
    DWORD error = 0;
    std::thread other([&] {
        if (RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, 'B')) {
            UnregisterHotKey(nullptr, 1);
        } else {
            error = GetLastError();
        }
    });
    other.join();
    return error;
}

}  // namespace

TEST_F(RegressionTest, TheHotKeyIsTakenOnlyWithArguments) {
    if (TryToTakeTheHotKey() != 0) GTEST_SKIP() << "Ctrl+Alt+B belongs to another program";

    program.hotKeyEnabled = false;  // started without arguments
    CreateMain();
    EXPECT_EQ(TryToTakeTheHotKey(), 0u);
    DestroyWindow(window);

    program.hotKeyEnabled = true;
    CreateMain();
    EXPECT_EQ(TryToTakeTheHotKey(), static_cast<DWORD>(ERROR_HOTKEY_ALREADY_REGISTERED));
    DestroyWindow(window);
    EXPECT_EQ(TryToTakeTheHotKey(), 0u);  // the window's key went with it
}

namespace {

// Whether the notification area holds the icon of a window: only an existing icon can
// be modified.
bool TrayIconPresent(HWND owner) {
    NOTIFYICONDATAA data = {};
    data.cbSize = sizeof data;
    data.hWnd = owner;
    data.uID = kTrayIconId;
    data.uFlags = NIF_TIP;
    lstrcpynA(data.szTip, "Zentory", sizeof data.szTip);
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

// Looks at the tray in the last message the main window gets, after everything that
// closing does: once the window is gone the icon cannot be seen any more, whether or not
// it was removed (Wine drops a dead window's icon by itself).
WNDPROC gMainProcedure = nullptr;
int gIconAtDestroy = -1;

LRESULT CALLBACK WatchDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCDESTROY) gIconAtDestroy = TrayIconPresent(window) ? 1 : 0;
    return CallWindowProcA(gMainProcedure, window, message, wParam, lParam);
}

}  // namespace

TEST_F(RegressionTest, ClosingTheMainWindowRemovesTheTrayIcon) {
    CreateMain();
    Pump();  // the icon comes once the window shows
    if (!TrayIconPresent(window)) {
        GTEST_SKIP() << "no notification area (Wine's null display driver)";
    }
    gIconAtDestroy = -1;
    gMainProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchDestroy)));
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(gIconAtDestroy, 0);
}

TEST_F(RegressionTest, ToolbarButtonsCommandsAndTips) {
    CreateMain();
    struct Expected {
        int command;  // 0: a separator
        const char* tip;
    };
    const Expected expected[] = {{IDM_SAVE, "Salvar (F2)"},
                                 {0, nullptr},
                                 {IDM_DELETE, "Apagar (F6)"},
                                 {0, nullptr},
                                 {IDM_CONFIGURATION, "Configuração (F8)"}};
    ASSERT_EQ(SendMessageA(program.toolbar, TB_BUTTONCOUNT, 0, 0), 5);
    int image = 0;
    for (int i = 0; i < 5; ++i) {
        TBBUTTON button = {};
        ASSERT_TRUE(
            SendMessageA(program.toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button)));
        if (expected[i].command == 0) {
            EXPECT_TRUE(button.fsStyle & BTNS_SEP) << i;
            continue;
        }
        EXPECT_FALSE(button.fsStyle & BTNS_SEP) << i;
        EXPECT_EQ(button.idCommand, expected[i].command) << i;
        EXPECT_EQ(button.iBitmap, image++) << i;  // save, delete, settings pictures in order
        EXPECT_TRUE(button.fsState & TBSTATE_ENABLED) << i;

        // The tip the toolbar asks its parent for.
        char text[80] = {};
        NMTBGETINFOTIPA tip = {};
        tip.hdr.hwndFrom = program.toolbar;
        tip.hdr.idFrom = IDC_TOOLBAR;
        tip.hdr.code = TBN_GETINFOTIPA;
        tip.pszText = text;
        tip.cchTextMax = sizeof text;
        tip.iItem = button.idCommand;
        SendMessageA(window, WM_NOTIFY, IDC_TOOLBAR, reinterpret_cast<LPARAM>(&tip));
        EXPECT_STREQ(text, expected[i].tip) << i;
    }
}
