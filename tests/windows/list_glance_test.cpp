// Due dates and totals at a glance: the history list's custom draw at a pinned day, and the
// selection's total in the status bar, on the main window built hidden in this process.

#include "ui/main_window.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <string>

#include "../core/test_doubles.h"
#include "resource.h"
#include "settings/memory_settings_store.h"
#include "ui/history_list.h"
#include "ui/selection_status.h"
#include "test_program.h"

namespace {

const char kBank[] = "00191455700000110009956850418332600000624818";
const char kCollection[] = "84620000002311301132632914523029359083800000";
const char kNfe[] = "12345678901234567890123456789012345678901235";

constexpr COLORREF kRed = RGB(204, 0, 0);
constexpr COLORREF kStripe = RGB(240, 255, 240);
constexpr COLORREF kUntouched = RGB(1, 2, 3);

CodeRecord Record(const char* code, CodeKind kind, const char* value, const char* due = "") {
    CodeRecord record;
    record.code = record.typeable = code;
    record.kind = kind;
    record.kindLetter = KindLetter(kind);
    record.value = value;
    record.dueDate = due;
    return record;
}

LOGFONTA Shape(HFONT font) {
    LOGFONTA shape = {};
    GetObjectA(font, sizeof shape, &shape);
    return shape;
}

class ListGlanceTest : public ::testing::Test, protected TestProgram {
protected:
    void SetUp() override {
        program.today = [] { return CivilDate{2034, 11, 19}; };
        window = CreateMainWindow(program);
        ASSERT_TRUE(window);
        listFont = reinterpret_cast<HFONT>(SendMessageA(program.list, WM_GETFONT, 0, 0));
        ASSERT_TRUE(listFont);
        listText = static_cast<COLORREF>(SendMessageA(program.list, LVM_GETTEXTCOLOR, 0, 0));
    }
    void TearDown() override {
        DeleteDC(dc);
        if (IsWindow(window)) DestroyWindow(window);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    void Receive(CodeRecord record) {
        MainWindowSink(program).Deliver(std::move(record));
        do {
            SendMessageA(window, kReceiverEventsMessage, 0, 0);
        } while (!program.backlog.empty());
    }
    void SetSelected(int row, bool selected) {
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED;
        item.state = selected ? LVIS_SELECTED : 0;
        SendMessageA(program.list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
    }
    std::string StatusText(int part) {
        char text[128] = {};
        SendMessageA(program.statusBar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(text));
        return text;
    }
    // The total comes once the changes are over: lets the window's messages and timers run
    // until part 2 shows `expected`, or two seconds pass; returns what it shows then.
    std::string SelectionTextOnceSettled(const std::string& expected) {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 2000; Sleep(2)) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
            if (StatusText(2) == expected) break;
        }
        return StatusText(2);
    }

    // One custom-draw notification as the list sends it to the main window, answered with
    // the dialog's message result. A cell comes with colours and a font left over from the
    // cell before it.
    LRESULT Draw(NMLVCUSTOMDRAW& draw, DWORD stage, int row = 0, int column = 0) {
        draw.nmcd.hdr = {program.list, IDC_HISTORY_LIST, static_cast<UINT>(NM_CUSTOMDRAW)};
        draw.nmcd.dwDrawStage = stage;
        draw.nmcd.hdc = dc;
        draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        SendMessageA(program.list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        draw.nmcd.lItemlParam = stage == CDDS_PREPAINT ? 0 : item.lParam;
        draw.iSubItem = column;
        return SendMessageA(window, WM_NOTIFY, IDC_HISTORY_LIST, reinterpret_cast<LPARAM>(&draw));
    }
    LRESULT Row(int row, NMLVCUSTOMDRAW& draw) {
        draw.clrText = draw.clrTextBk = kUntouched;
        return Draw(draw, CDDS_ITEMPREPAINT, row);
    }
    NMLVCUSTOMDRAW Cell(int row, int column) {
        NMLVCUSTOMDRAW draw = {};
        draw.clrText = kRed;
        draw.clrTextBk = kUntouched;
        SelectObject(dc, GetStockObject(SYSTEM_FONT));
        EXPECT_EQ(Draw(draw, CDDS_ITEMPREPAINT | CDDS_SUBITEM, row, column), CDRF_NEWFONT);
        return draw;
    }
    HFONT SelectedFont() { return static_cast<HFONT>(GetCurrentObject(dc, OBJ_FONT)); }

    HWND window = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT listFont = nullptr;
    COLORREF listText = 0;
};

}  // namespace

TEST_F(ListGlanceTest, DueDatesStandOutAgainstThePinnedDay) {
    enum { kOverdue, kDueToday, kLater, kNoDate, kMalformed };
    for (const char* due : {"18/11/2034", "19/11/2034", "20/11/2034", "", "31/02/2034"})
        Receive(Record(kBank, CodeKind::BankSlip, "R$ 110,00", due));

    // The grid is on: no stripes, yet every row is looked at, and only the two that stand
    // out are drawn cell by cell; the others are left alone.
    NMLVCUSTOMDRAW draw = {};
    EXPECT_EQ(Draw(draw, CDDS_PREPAINT), CDRF_NOTIFYITEMDRAW);
    EXPECT_EQ(Row(kOverdue, draw), CDRF_NOTIFYSUBITEMDRAW);
    EXPECT_EQ(Row(kDueToday, draw), CDRF_NOTIFYSUBITEMDRAW);
    for (int row : {kLater, kNoDate, kMalformed}) {
        EXPECT_EQ(Row(row, draw), CDRF_DODEFAULT) << row;
        EXPECT_EQ(draw.clrText, kUntouched) << row;
        EXPECT_EQ(draw.clrTextBk, kUntouched) << row;
    }

    // Overdue: the "Data" cell red; every other cell back to the list's colour and font.
    EXPECT_EQ(Cell(kOverdue, 4).clrText, kRed);
    EXPECT_EQ(SelectedFont(), listFont);
    for (int column : {0, 3, 5}) {
        NMLVCUSTOMDRAW cell = Cell(kOverdue, column);
        EXPECT_EQ(cell.clrText, listText) << column;
        EXPECT_NE(cell.clrTextBk, kUntouched) << column;
        EXPECT_EQ(SelectedFont(), listFont) << column;
    }
    // Due today: the "Data" cell bold in the list's face and colour; the next cell plain.
    EXPECT_EQ(Cell(kDueToday, 4).clrText, listText);
    EXPECT_EQ(Shape(SelectedFont()).lfWeight, FW_BOLD);
    EXPECT_STREQ(Shape(SelectedFont()).lfFaceName, Shape(listFont).lfFaceName);
    Cell(kDueToday, 5);
    EXPECT_EQ(SelectedFont(), listFont);

    // The day is taken at the start of each paint: a day later, today's slip is overdue and
    // tomorrow's due.
    program.today = [] { return CivilDate{2034, 11, 20}; };
    Draw(draw, CDDS_PREPAINT);
    EXPECT_EQ(Cell(kDueToday, 4).clrText, kRed);
    EXPECT_EQ(SelectedFont(), listFont);
    EXPECT_EQ(Row(kLater, draw), CDRF_NOTIFYSUBITEMDRAW);
    Cell(kLater, 4);
    EXPECT_EQ(Shape(SelectedFont()).lfWeight, FW_BOLD);

    // Grid off: even rows keep their stripe in every cell, an odd row's cells lose it.
    SendMessageA(window, WM_COMMAND, IDM_GRID, 0);
    EXPECT_EQ(Row(kLater, draw), CDRF_NEWFONT | CDRF_NOTIFYSUBITEMDRAW);
    EXPECT_EQ(draw.clrTextBk, kStripe);
    EXPECT_EQ(Row(kNoDate, draw), CDRF_DODEFAULT);
    for (int column : {0, 4})
        EXPECT_EQ(Cell(kLater, column).clrTextBk, kStripe) << column;
    EXPECT_NE(Cell(kDueToday, 4).clrTextBk, kStripe);
}

TEST_F(ListGlanceTest, TheStatusBarTotalsTheSelectedRows) {
    MainWindowSink(program).ShowStatus("Esperando dados na porta 6666 UDP");
    Receive(Record(kBank, CodeKind::BankSlip, "R$ 110,00", "19/11/2034"));
    Receive(Record(kCollection, CodeKind::CollectionSlip, "R$ 231,13"));
    Receive(Record(kNfe, CodeKind::NfeKey, ""));
    Receive(Record(kBank, CodeKind::BankSlip, "R$ N/A", "N/A"));
    Receive(Record(kCollection, CodeKind::CollectionSlip, "R$ 1.234,56"));

    SetSelected(0, true);
    SetSelected(1, true);
    EXPECT_EQ(SelectionTextOnceSettled("2 selecionados: R$ 341,13"), "2 selecionados: R$ 341,13");
    SetSelected(2, true);  // the NF-e key counts, and adds nothing
    EXPECT_EQ(SelectionTextOnceSettled("3 selecionados: R$ 341,13"), "3 selecionados: R$ 341,13");
    SetSelected(-1, true);  // every row at once
    EXPECT_EQ(SelectionTextOnceSettled("5 selecionados: R$ 1.575,69"),
              "5 selecionados: R$ 1.575,69");
    EXPECT_EQ(StatusText(0), "Esperando dados na porta 6666 UDP");
    EXPECT_EQ(StatusText(1), "Injeção de teclado ativada (digitável)");

    SetSelected(-1, false);
    SetSelected(4, true);
    EXPECT_EQ(SelectionTextOnceSettled(""), "") << "one row shows its own value";
    SetSelected(1, true);
    EXPECT_EQ(SelectionTextOnceSettled("2 selecionados: R$ 1.465,69"),
              "2 selecionados: R$ 1.465,69");
    SendMessageA(window, WM_COMMAND, IDM_DELETE, 0);  // F6: the selected rows go
    ASSERT_EQ(SendMessageA(program.list, LVM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(SelectionTextOnceSettled(""), "");
}

TEST_F(ListGlanceTest, DatesAndValuesSortByWhatTheyMeanAndTheStatusTellsWhatIsLeft) {
    const char* dues[] = {"16/05/2035", "19/11/2034", "18/11/2034", ""};
    const char* values[] = {"R$ 830,00", "R$ 110,00", "R$ 9,90", "R$ 1.234,56"};
    // Four slips: a slip is its code, and one scanned twice is paid once.
    const char* codes[] = {kBank, "00092473500000830004240405000030000226026703",
                           "34193131900045703727407862182743401113552839", kCollection};
    for (int k = 0; k < 4; ++k) {
        CodeRecord record = Record(codes[k], k < 3 ? CodeKind::BankSlip : CodeKind::CollectionSlip,
                                   values[k], dues[k]);
        record.checkDigitsValid = true;
        Receive(record);
    }
    EXPECT_EQ(SelectionTextOnceSettled("4 a pagar: R$ 2.184,46 (1 vencido)"),
              "4 a pagar: R$ 2.184,46 (1 vencido)");
    auto column = [&](int shown) {
        std::string texts;
        for (int row = 0; row < 4; ++row) {
            const CodeRecord* record = RecordOfListRow(program.list, row);
            texts += (shown == 4 ? record->dueDate : record->value) + ";";
        }
        return texts;
    };
    SortHistoryList(program.list, 4);  // a row without a date last
    EXPECT_EQ(column(4), "18/11/2034;19/11/2034;16/05/2035;;");
    SortHistoryList(program.list, 3);
    EXPECT_EQ(column(3), "R$ 9,90;R$ 110,00;R$ 830,00;R$ 1.234,56;");
    ListView_SetCheckState(program.list, 0, TRUE);  // the overdue one is paid
    EXPECT_EQ(SelectionTextOnceSettled("3 a pagar: R$ 2.174,56"), "3 a pagar: R$ 2.174,56");
}

TEST_F(ListGlanceTest, TheCapDroppingSelectedRowsChangesTheTotal) {
    for (int i = 0; i < 500; ++i)
        Receive(Record(kBank, CodeKind::BankSlip, i < 2 ? "R$ 1.000,00" : "R$ 1,00"));
    for (int row : {0, 1, 300, 301})
        SetSelected(row, true);
    EXPECT_EQ(SelectionTextOnceSettled("4 selecionados: R$ 2.002,00"),
              "4 selecionados: R$ 2.002,00");
    Receive(Record(kBank, CodeKind::BankSlip, "R$ 1,00"));  // the oldest 200 rows go
    EXPECT_EQ(SelectionTextOnceSettled("2 selecionados: R$ 2,00"), "2 selecionados: R$ 2,00");
}

TEST_F(ListGlanceTest, StatusPartsFollowTheWindowsWidth) {
    int edges[3] = {};
    ASSERT_EQ(SendMessageA(program.statusBar, SB_GETPARTS, 3, reinterpret_cast<LPARAM>(edges)), 3);
    EXPECT_LT(0, edges[0]);
    EXPECT_LT(edges[0], edges[1]);
    EXPECT_EQ(edges[2], -1);
    // A wider window widens the reception part; the others keep their widths.
    RECT outer;
    GetWindowRect(window, &outer);
    SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left + 200, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    int wider[3] = {};
    SendMessageA(program.statusBar, SB_GETPARTS, 3, reinterpret_cast<LPARAM>(wider));
    EXPECT_EQ(wider[0], edges[0] + 200);
    EXPECT_EQ(wider[1] - wider[0], edges[1] - edges[0]);

    // Too narrow for all three: a third for the reception text, the rest in proportion.
    EXPECT_EQ(StatusPartEdges(900, 250, 200), (std::array<int, 3>{450, 700, -1}));
    EXPECT_EQ(StatusPartEdges(300, 300, 100), (std::array<int, 3>{100, 250, -1}));
    EXPECT_EQ(StatusPartEdges(0, 300, 100), (std::array<int, 3>{0, 0, -1}));
}
