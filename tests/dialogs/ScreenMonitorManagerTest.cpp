// Screen metrics against the figures Windows (Wine) reports for the same display.
#include "support/TestSupport.h"
#include "ui/Application.h"
#include "common/Errors.h"
#include "dialogs/ScreenMonitorManager.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

BOOL CALLBACK AddRect(HMONITOR m, HDC, LPRECT, LPARAM data) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(m, &info);
    reinterpret_cast<std::vector<RECT>*>(data)->push_back(info.rcMonitor);
    return TRUE;
}

std::vector<RECT> MonitorRects() {
    std::vector<RECT> rects;
    EnumDisplayMonitors(nullptr, nullptr, AddRect, reinterpret_cast<LPARAM>(&rects));
    return rects;
}

int ScreenDpi() {
    HDC dc = GetDC(nullptr);
    int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi;
}

class ScreenTest : public testing::Test {
protected:
    void SetUp() override { MyScreen = &screen; }
    void TearDown() override { MyScreen = nullptr; }
    TmyScreen screen;
};

TEST_F(ScreenTest, CreateTakesTheWholeDesktopFigures) {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(screen.MonitorCount, static_cast<int>(MonitorRects().size()));
    EXPECT_GE(screen.MonitorCount, 1);
    EXPECT_EQ(screen.WorkAreaWidth, work.right - work.left);
    EXPECT_EQ(screen.WorkAreaHeight, work.bottom - work.top);
    EXPECT_EQ(screen.Width, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(screen.Height, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(screen.PixelsPerInch, ScreenDpi());
    EXPECT_EQ(screen.Monitornumber, 0);
    EXPECT_EQ(screen.ScaleKoef, 0.0) << "no scale factor until a monitor is selected";
    EXPECT_EQ(screen.FScreen, GetDesktopWindow());
}

TEST_F(ScreenTest, SelectMonitorBeyondTheListSelectsTheFirst) {
    const std::vector<RECT> rects = MonitorRects();
    ASSERT_FALSE(rects.empty());
    for (int index : {0, 1, 3, 255}) {
        SCOPED_TRACE(index);
        screen.Monitornumber = -1;
        SelectMonitor(static_cast<uint8_t>(index));
        const int expected = index < static_cast<int>(rects.size()) ? index : 0;
        const RECT& r = rects[expected];
        EXPECT_EQ(screen.Monitornumber, expected);
        EXPECT_EQ(screen.Width, r.right - r.left);
        EXPECT_EQ(screen.Height, r.bottom - r.top);
        EXPECT_EQ(screen.WorkAreaWidth, r.right - r.left);
        EXPECT_EQ(screen.WorkAreaHeight, r.bottom - r.top);
        EXPECT_DOUBLE_EQ(screen.ScaleKoef, screen.PixelsPerInch / 96.0);
    }
}

TEST_F(ScreenTest, ScaleKoefFollowsTheScreenResolution) {
    SelectMonitor(0);
    EXPECT_DOUBLE_EQ(screen.ScaleKoef, ScreenDpi() / 96.0);
    // The factor is a plain division of whatever resolution was read at creation.
    for (auto [ppi, koef] : {std::pair{96, 1.0}, {120, 1.25}, {144, 1.5}}) {
        screen.PixelsPerInch = ppi;
        SelectMonitor(0);
        EXPECT_DOUBLE_EQ(screen.ScaleKoef, koef);
    }
}

// With a task bar the work area is smaller than the monitor; the selected monitor's figures
// are its full size all the same.
TEST(ScreenWorkArea, SelectedMonitorFiguresAreTheFullMonitorNotItsWorkArea) {
    RECT saved{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &saved, 0));
    const RECT monitor = MonitorRects().at(0);
    RECT reduced = monitor;
    reduced.bottom -= 40;
    if (!SystemParametersInfoW(SPI_SETWORKAREA, 0, &reduced, 0))
        GTEST_SKIP() << "the work area cannot be changed here";
    TmyScreen screen;
    MyScreen = &screen;
    const int createdWorkHeight = screen.WorkAreaHeight;
    SelectMonitor(0);
    const int selectedWorkHeight = screen.WorkAreaHeight;
    MyScreen = nullptr;
    SystemParametersInfoW(SPI_SETWORKAREA, 0, &saved, 0);

    EXPECT_EQ(createdWorkHeight, reduced.bottom - reduced.top);
    EXPECT_EQ(selectedWorkHeight, monitor.bottom - monitor.top);
}

TEST_F(ScreenTest, GetMonitorOutsideTheListRaises) {
    const int count = static_cast<int>(MonitorRects().size());
    EXPECT_THROW(screen.GetMonitor(-1), EInstallError);
    EXPECT_THROW(screen.GetMonitor(count), EInstallError);
    const TMonitor m = screen.GetMonitor(count - 1);
    const RECT r = MonitorRects().back();
    EXPECT_EQ(m.Left, r.left);
    EXPECT_EQ(m.Top, r.top);
    EXPECT_EQ(m.Width, r.right - r.left);
    EXPECT_EQ(m.Height, r.bottom - r.top);
    EXPECT_NE(m.Handle, nullptr);
}

TEST_F(ScreenTest, CursorKeepsTheValueWrittenAndSetsTheBusyPointer) {
    EXPECT_EQ(screen.GetCursor(), crDefault);
    screen.SetCursor(crHourGlass);
    EXPECT_EQ(screen.GetCursor(), crHourGlass);
    EXPECT_TRUE(Application.BusyCursor());
    // An identifier the screen has no shape for is kept all the same.
    screen.SetCursor(12345);
    EXPECT_EQ(screen.GetCursor(), 12345);
    EXPECT_FALSE(Application.BusyCursor());
    screen.SetCursor(crDefault);
}

} // namespace
