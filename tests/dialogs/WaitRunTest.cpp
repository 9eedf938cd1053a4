// The launch-progress window: its captions and its bar.
#include "support/TestSupport.h"
#include "dialogs/WaitRun.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Caption(HWND wnd) {
    wchar_t buf[256] = {};
    GetWindowTextW(wnd, buf, 256);
    return buf;
}

int BarPosition(const TFWaitRun& w) {
    return static_cast<int>(SendMessageW(w.ProgressBar, PBM_GETPOS, 0, 0));
}

TEST(WaitRun, CreatedHiddenOnTopWithLaunchingCaption) {
    TFWaitRun w;
    EXPECT_FALSE(IsWindowVisible(w.Handle));
    EXPECT_TRUE((GetWindowLongW(w.Handle, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
    EXPECT_EQ(GetWindowLongW(w.Handle, GWL_STYLE) & WS_SYSMENU, 0) << "it has no close box";
    EXPECT_EQ(Caption(w.Handle), L"Launching ");
    EXPECT_EQ(BarPosition(w), 0);
}

struct CaptionCase {
    uint8_t typemessage;
    const wchar_t* caption;
};

TEST(WaitRun, ShowTakesTheCaptionFromTypemessage) {
    const CaptionCase cases[] = {
        {0, L"Launching "},
        {1, L"Launching "},
        {2, L"Запись данных ЭКГ"},
        {3, L"Преобразование данных ЭКГ в формат Velmora"},
        {4, L""},
        {5, L"Launching "},
        {255, L"Launching "},
    };
    TFWaitRun w;
    for (const CaptionCase& c : cases) {
        SCOPED_TRACE(c.typemessage);
        // Set while hidden: the caption changes only when the window is shown.
        SetWindowTextW(w.Handle, L"x");
        w.typemessage = c.typemessage;
        EXPECT_EQ(Caption(w.Handle), L"x");
        w.Show();
        EXPECT_TRUE(IsWindowVisible(w.Handle));
        EXPECT_EQ(Caption(w.Handle), c.caption);
        w.Hide();
    }
}

TEST(WaitRun, NextStepsTheBarAndRestartsAfterTheLastStep) {
    TFWaitRun w;
    w.Show();
    for (int i = 1; i <= TFWaitRun::BarMax; ++i) {
        w.Next(L"Шаг " + std::to_wstring(i));
        ASSERT_EQ(BarPosition(w), i);
    }
    EXPECT_EQ(Caption(w.LblProgress), L"Шаг 25");
    w.Next(L"Шаг 26");
    EXPECT_LE(BarPosition(w), 1) << "the 26th step starts the bar again";
    EXPECT_EQ(Caption(w.LblProgress), L"Шаг 26");
}

TEST(WaitRun, NextRunsPendingMessages) {
    TFWaitRun w;
    const UINT probe = WM_APP + 7; // ignored by the window; only a message loop takes it out
    ASSERT_TRUE(PostMessageW(w.Handle, probe, 0, 0));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, w.Handle, probe, probe, PM_NOREMOVE));
    w.Next(L"Шаг");
    EXPECT_FALSE(PeekMessageW(&msg, w.Handle, probe, probe, PM_NOREMOVE));
}

} // namespace
