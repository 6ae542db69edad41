// The main window moved to monitors of other scales, by the message Windows sends then.

#include "ui/dpi.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "ui/main_window.h"
#include "test_program.h"

namespace {

// What a user sees of the window's scale.
struct Look {
    SIZE button;  // toolbar button, pixels
    int toolbarImage;
    int rowImage;
    int fontHeight;  // the list's font, pixels
    int statusHeight;
    int column;  // width of the widest column
    RECT window;
};

class MainWindowDpi : public ::testing::Test, protected TestProgram {
protected:
    void SetUp() override {
        window = CreateMainWindow(program);
        ASSERT_TRUE(window);
    }
    void TearDown() override { DestroyWindow(window); }

    Look Now() {
        Look look = {};
        LRESULT size = SendMessageA(program.toolbar, TB_GETBUTTONSIZE, 0, 0);
        look.button = {LOWORD(size), HIWORD(size)};
        int height = 0;
        ImageList_GetIconSize(
            reinterpret_cast<HIMAGELIST>(SendMessageA(program.toolbar, TB_GETIMAGELIST, 0, 0)),
            &look.toolbarImage, &height);
        ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(
                                  SendMessageA(program.list, LVM_GETIMAGELIST, LVSIL_SMALL, 0)),
                              &look.rowImage, &height);
        LOGFONTA font = {};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(program.list, WM_GETFONT, 0, 0)),
                   sizeof font, &font);
        look.fontHeight = std::abs(font.lfHeight);
        RECT status;
        GetWindowRect(program.statusBar, &status);
        look.statusHeight = status.bottom - status.top;
        look.column = static_cast<int>(SendMessageA(program.list, LVM_GETCOLUMNWIDTH, 2, 0));
        GetWindowRect(window, &look.window);
        return look;
    }
    void MoveTo(UINT dpi, RECT suggested) {
        SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&suggested));
    }
    // The filter sits under the toolbar, and the list fills the client area between the
    // filter and the status bar.
    void ExpectTheListBetweenTheBars() {
        RECT client, toolbar, filter, list, status;
        GetClientRect(window, &client);
        GetWindowRect(program.toolbar, &toolbar);
        GetWindowRect(program.filterBox, &filter);
        GetWindowRect(program.list, &list);
        GetWindowRect(program.statusBar, &status);
        EXPECT_GE(filter.top, toolbar.bottom);
        EXPECT_GE(list.top, filter.bottom);
        EXPECT_LE(list.top, filter.bottom + 8);
        EXPECT_EQ(list.bottom, status.top);
        EXPECT_EQ(list.right - list.left, client.right);
    }

    HWND window = nullptr;
};

TEST_F(MainWindowDpi, AtAnotherScaleItLooksAsIfItHadStartedThere) {
    UINT start = DpiOfWindow(window);
    ASSERT_EQ(start, 96u) << "the test prefix runs at 100 %";
    Look before = Now();
    EXPECT_EQ(before.toolbarImage, 24);
    EXPECT_EQ(before.rowImage, 16);

    RECT wider = {40, 30, 40 + MulDiv(before.window.right - before.window.left, 3, 2),
                  30 + MulDiv(before.window.bottom - before.window.top, 3, 2)};
    MoveTo(144, wider);
    Look at150 = Now();
    EXPECT_EQ(at150.window.left, wider.left);
    EXPECT_EQ(at150.window.right, wider.right);
    EXPECT_EQ(at150.window.bottom, wider.bottom);
    EXPECT_EQ(at150.toolbarImage, 36);
    EXPECT_EQ(at150.rowImage, 24);
    EXPECT_GE(at150.button.cx * 10, before.button.cx * 14);
    EXPECT_GE(at150.button.cy * 10, before.button.cy * 14);
    EXPECT_NEAR(at150.fontHeight, before.fontHeight * 3 / 2, 1);
    EXPECT_GT(at150.statusHeight, before.statusHeight);
    EXPECT_NEAR(at150.column, before.column * 3 / 2, 1);
    ExpectTheListBetweenTheBars();
    MINMAXINFO limits = {};
    SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_GT(limits.ptMinTrackSize.x, before.window.right - before.window.left);

    MoveTo(192, wider);
    EXPECT_EQ(Now().toolbarImage, 48);
    EXPECT_EQ(Now().rowImage, 32);

    // And back: as it started.
    MoveTo(96, before.window);
    Look after = Now();
    EXPECT_EQ(after.button.cx, before.button.cx);
    EXPECT_EQ(after.button.cy, before.button.cy);
    EXPECT_EQ(after.toolbarImage, 24);
    EXPECT_EQ(after.rowImage, 16);
    EXPECT_EQ(after.fontHeight, before.fontHeight);
    EXPECT_EQ(after.statusHeight, before.statusHeight);
    EXPECT_NEAR(after.column, before.column, 1);
    EXPECT_TRUE(EqualRect(&after.window, &before.window));
    ExpectTheListBetweenTheBars();
}

TEST(Dpi, SizesScaleFromOneHundredPercent) {
    EXPECT_EQ(ScaleToDpi(24, 96), 24);
    EXPECT_EQ(ScaleToDpi(24, 120), 30);
    EXPECT_EQ(ScaleToDpi(24, 144), 36);
    EXPECT_EQ(ScaleToDpi(16, 192), 32);
    EXPECT_EQ(SystemMetricForDpi(SM_CXSMICON, 144), 24);
}

}  // namespace
