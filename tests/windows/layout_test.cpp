// The layout helper, CenterWindow and the details dialog on real windows.

#include "ui/layout_helper.h"

#include <gtest/gtest.h>

#include <string>

#include "history/headless_rows.h"
#include "resource.h"
#include "ui/about_box.h"
#include "ui/details_dialog.h"
#include "version.h"

namespace {

RECT ClientRectOf(HWND parent, HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

HWND Child(HWND parent, const char* className, DWORD style, int x, int y, int w, int h) {
    return CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
}

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = CreateWindowExA(0, "STATIC", "layout", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(window);
    }
    void TearDown() override { DestroyWindow(window); }
    void Resize(int width, int height) {
        SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
        layout.OnSize(SIZE_RESTORED);
    }
    HWND window = nullptr;
    LayoutHelper layout;
};

}  // namespace

TEST_F(LayoutTest, ChildrenFollowTheGrowthByWhereTheyLie) {
    // Split lines of a 400 x 300 window: x 200, y 201.
    HWND before = Child(window, "EDIT", 0, 10, 10, 100, 20);                      // keeps its place
    HWND across = Child(window, "EDIT", 0, 10, 40, 300, 20);                      // stretches
    HWND beyond = Child(window, "EDIT", 0, 250, 250, 100, 20);                    // moves
    HWND buttonRight = Child(window, "BUTTON", BS_PUSHBUTTON, 150, 70, 120, 20);  // mostly right
    HWND buttonLeft = Child(window, "BUTTON", BS_PUSHBUTTON, 100, 100, 120, 20);  // mostly left
    HWND topOnLine = Child(window, "EDIT", 0, 10, 201, 50, 20);     // top on the line: moves
    HWND bottomOnLine = Child(window, "EDIT", 0, 70, 181, 50, 20);  // bottom on it: stretches
    layout.Attach(window);
    Resize(500, 400);

    EXPECT_EQ(ClientRectOf(window, before).left, 10);
    EXPECT_EQ(ClientRectOf(window, before).right, 110);
    EXPECT_EQ(ClientRectOf(window, across).right, 410);
    EXPECT_EQ(ClientRectOf(window, across).left, 10);
    EXPECT_EQ(ClientRectOf(window, beyond).left, 350);
    EXPECT_EQ(ClientRectOf(window, beyond).top, 350);
    RECT right = ClientRectOf(window, buttonRight);
    EXPECT_EQ(right.left, 250);
    EXPECT_EQ(right.right - right.left, 120);
    EXPECT_EQ(ClientRectOf(window, buttonLeft).left, 100);
    EXPECT_EQ(ClientRectOf(window, topOnLine).top, 301);
    RECT stretched = ClientRectOf(window, bottomOnLine);
    EXPECT_EQ(stretched.top, 181);
    EXPECT_EQ(stretched.bottom, 301);

    // Back to the first size: every child where it started.
    Resize(400, 300);
    EXPECT_EQ(ClientRectOf(window, across).right, 310);
    EXPECT_EQ(ClientRectOf(window, beyond).left, 250);
    EXPECT_EQ(ClientRectOf(window, bottomOnLine).bottom, 201);
    MINMAXINFO limits = {};
    layout.GetMinMaxInfo(&limits);
    EXPECT_EQ(limits.ptMinTrackSize.x, 400);
    EXPECT_EQ(limits.ptMinTrackSize.y, 300);
}

TEST_F(LayoutTest, OverridesAndMinimisedWindows) {
    HWND list = Child(window, "EDIT", 0, 0, 10, 400, 100);  // before the y line
    layout.Attach(window);
    layout.FindOverride(list, true)->vertical = LayoutHelper::Stretch;
    EXPECT_EQ(layout.FindOverride(list, false)->vertical, LayoutHelper::Stretch);
    EXPECT_EQ(layout.FindOverride(nullptr, true), nullptr);
    EXPECT_EQ(layout.FindOverride(window, false), nullptr);
    SetWindowPos(window, nullptr, 0, 0, 400, 350, SWP_NOMOVE | SWP_NOZORDER);
    layout.OnSize(SIZE_MINIMIZED);  // never laid out while minimised
    EXPECT_EQ(ClientRectOf(window, list).bottom, 110);
    layout.OnSize(SIZE_RESTORED);
    EXPECT_EQ(ClientRectOf(window, list).bottom, 160);
}

TEST(CenterWindow, CentresAndKeepsOnTheScreen) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HWND reference = CreateWindowExA(0, "STATIC", "ref", WS_POPUP | WS_VISIBLE, 100, 100, 400, 300,
                                     nullptr, nullptr, instance, nullptr);
    HWND window = CreateWindowExA(0, "STATIC", "win", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                                  instance, nullptr);
    CenterWindow(reference, window);
    RECT r;
    GetWindowRect(window, &r);
    EXPECT_EQ(r.left, 200);
    EXPECT_EQ(r.top, 200);

    SetWindowPos(reference, nullptr, -300, -250, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    CenterWindow(reference, window);
    GetWindowRect(window, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);

    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(reference, MONITOR_DEFAULTTONEAREST), &monitor);
    SetWindowPos(reference, nullptr, monitor.rcWork.right - 100, monitor.rcWork.bottom - 50, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
    CenterWindow(reference, window);
    GetWindowRect(window, &r);
    EXPECT_EQ(r.right, monitor.rcWork.right);
    EXPECT_EQ(r.bottom, monitor.rcWork.bottom);

    // A hidden owner (the main window in the tray): centred in the work area.
    ShowWindow(reference, SW_HIDE);
    CenterWindow(reference, window);
    GetWindowRect(window, &r);
    EXPECT_EQ(r.left, (monitor.rcWork.left + monitor.rcWork.right - 200) / 2);
    DestroyWindow(window);
    DestroyWindow(reference);
}

TEST(CenterWindow, StaysOnTheOwnersMonitorLeftOfAndAboveThePrimaryOne) {
    // A monitor at x -1920..0, y -1080..0, its taskbar taking the bottom 40 pixels.
    const RECT leftMonitor = {-1920, -1080, 0, -40};
    POINT centred = CenteredPosition({-1500, -900, -700, -300}, {200, 100}, leftMonitor);
    EXPECT_EQ(centred.x, -1200);
    EXPECT_EQ(centred.y, -650);
    // Over an owner half off its monitor's edges: inside that monitor, not at 0, 0.
    POINT clamped = CenteredPosition({-2100, -1200, -1900, -1100}, {300, 200}, leftMonitor);
    EXPECT_EQ(clamped.x, -1920);
    EXPECT_EQ(clamped.y, -1080);
    clamped = CenteredPosition({-100, -100, 100, 100}, {300, 200}, leftMonitor);
    EXPECT_EQ(clamped.x, -300);
    EXPECT_EQ(clamped.y, -240);
    // Larger than the work area: its top left corner stays visible.
    clamped = CenteredPosition({-1920, -1080, 0, -40}, {2500, 1500}, leftMonitor);
    EXPECT_EQ(clamped.x, -1920);
    EXPECT_EQ(clamped.y, -1080);
}

namespace {

// Opens the details dialog modeless for the record, to read its controls.
HWND OpenDetails(HistoryStore& history, int itemId, DetailsRequest& request) {
    request = {&history, itemId};
    return CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_DETAILS), nullptr,
                              DetailsDialogProcedure, reinterpret_cast<LPARAM>(&request));
}

std::string Text(HWND dialog, int id = 0) {
    char text[256] = {};
    if (id) {
        GetDlgItemTextA(dialog, id, text, sizeof text);
    } else {
        GetWindowTextA(dialog, text, sizeof text);
    }
    return text;
}

}  // namespace

TEST(DetailsDialog, BankSlip) {
    HistoryStore history;
    HeadlessHistoryRows rows;
    CodeRecord record;
    record.code = "00191455700000110009956850418332600000624818";
    int id = history.AppendWithCap(record, rows).listItemId;
    DetailsRequest request;
    HWND dialog = OpenDetails(history, id, request);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(Text(dialog), "Boleto bancário");
    EXPECT_EQ(Text(dialog, IDC_DETAILS_BARCODE), record.code);
    EXPECT_EQ(Text(dialog, IDC_DETAILS_FIELD1), "00199.95687");
    EXPECT_EQ(Text(dialog, IDC_DETAILS_FIELD4), "1");
    EXPECT_EQ(Text(dialog, IDC_DETAILS_FIELD5), "45570000011000");
    EXPECT_EQ(Text(dialog, IDC_DETAILS_VALUE), "R$ 110,00");
    EXPECT_EQ(Text(dialog, IDC_DETAILS_DUE_DATE).size(), 10u);
    EXPECT_EQ(Text(dialog, IDC_DETAILS_ISSUER), "Banco do Brasil S.A.");
    // The dialog itself is never shown here: its children's own style tells what shows.
    for (int shown : {IDC_DETAILS_FIELD5, IDC_DETAILS_DUE_DATE, IDC_DETAILS_DATE_LABEL}) {
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(dialog, shown), GWL_STYLE) & WS_VISIBLE) << shown;
    }
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    DestroyWindow(dialog);
}

TEST(DetailsDialog, CollectionSlipLaysTheBlocksOutAnew) {
    HistoryStore history;
    HeadlessHistoryRows rows;
    CodeRecord record;
    record.code = "84620000002311301132632914523029359083800000";
    int id = history.AppendWithCap(record, rows).listItemId;
    DetailsRequest request;
    HWND dialog = OpenDetails(history, id, request);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(Text(dialog), "Consessionária");
    EXPECT_EQ(Text(dialog, IDC_DETAILS_FIELD1), "84620000002-0");
    EXPECT_EQ(Text(dialog, IDC_DETAILS_FIELD4), "59083800000-8");
    EXPECT_EQ(Text(dialog, IDC_DETAILS_VALUE), "R$ 231,13");
    EXPECT_EQ(Text(dialog, IDC_DETAILS_ISSUER), "Telco");
    for (int hidden : {IDC_DETAILS_FIELD5, IDC_DETAILS_DUE_DATE, IDC_DETAILS_DATE_LABEL}) {
        EXPECT_FALSE(GetWindowLongA(GetDlgItem(dialog, hidden), GWL_STYLE) & WS_VISIBLE) << hidden;
    }
    RECT barcode = ClientRectOf(dialog, GetDlgItem(dialog, IDC_DETAILS_BARCODE));
    int width = (barcode.right - barcode.left - 30) / 4;
    RECT first = ClientRectOf(dialog, GetDlgItem(dialog, IDC_DETAILS_FIELD1));
    for (int i = 0; i < 4; ++i) {
        RECT block = ClientRectOf(dialog, GetDlgItem(dialog, IDC_DETAILS_FIELD1 + i));
        EXPECT_EQ(block.left, first.left + i * (width + 10)) << i;
        EXPECT_EQ(block.right - block.left, width);
        EXPECT_EQ(block.bottom - block.top, barcode.bottom - barcode.top);
    }
    DestroyWindow(dialog);
}

TEST(DetailsDialog, UnknownIdLeavesTheResourceTexts) {
    HistoryStore history;
    DetailsRequest request;
    HWND dialog = OpenDetails(history, 12345, request);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(Text(dialog), "Boleto");
    EXPECT_EQ(Text(dialog, IDC_DETAILS_BARCODE), "");
    EXPECT_EQ(Text(dialog, IDC_DETAILS_ISSUER), "Tipo");
    DestroyWindow(dialog);
}

TEST(AboutBox, LinkLosesItsUnderlineUnderThePointerAndEscapeCloses) {
    HWND about =
        CreateDialogParamA(GetModuleHandleA(nullptr), "ABOUT", nullptr, AboutBoxProcedure, 0);
    ASSERT_TRUE(about);
    HWND link = GetDlgItem(about, IDC_ABOUT_LINK);
    auto underlined = [&] {
        LOGFONTA font = {};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0)), sizeof font,
                   &font);
        return font.lfUnderline != 0;
    };
    char product[64] = {};
    GetDlgItemTextA(about, IDC_ABOUT_PRODUCT, product, sizeof product);
    EXPECT_EQ(std::string(product), "Zentory " ZENTORY_VERSION_TEXT);
    EXPECT_TRUE(underlined());
    RECT box = ClientRectOf(about, link);
    LPARAM overLink = MAKELPARAM((box.left + box.right) / 2, (box.top + box.bottom) / 2);
    SendMessageA(about, WM_MOUSEMOVE, 0, overLink);
    EXPECT_FALSE(underlined());
    SendMessageA(about, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(underlined());
    ShowWindow(about, SW_SHOW);
    SendMessageA(about, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(IsWindowVisible(about));
    DestroyWindow(about);
}
