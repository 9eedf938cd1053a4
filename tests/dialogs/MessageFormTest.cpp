// The timed message window, driven from a second thread while the test's own thread runs the
// window's modal loop inside ShowMessageForm, as the wizard does.
#include "DialogDriver.h"
#include "support/TestSupport.h"
#include "common/Errors.h"
#include "dialogs/MessageForm.h"
#include "dialogs/ScreenMonitorManager.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cwctype>
#include <limits>
#include <string>
#include <thread>

namespace {

const wchar_t* const FormClass = TFMessageform::ClassName;

// Runs `drive` on a second thread while this thread shows the window; joins before returning.
template <class Drive>
bool ShowDriven(const std::wstring& text, TMessageType type, int32_t seconds, Drive drive) {
    std::thread driver(drive);
    bool result = false;
    try {
        result = ShowMessageForm(text, type, L"Проверка", seconds);
    } catch (...) {
        driver.join();
        throw;
    }
    driver.join();
    return result;
}

// The seconds label: two blanks, a whole number, "с".
bool ParseCountdown(const std::wstring& text, int& seconds) {
    if (text.size() < 4 || text.compare(0, 2, L"  ") != 0 || text.back() != L'с') return false;
    std::wstring digits = text.substr(2, text.size() - 3);
    for (wchar_t c : digits)
        if (!std::iswdigit(c)) return false;
    seconds = std::stoi(digits);
    return true;
}

// MyScreen for one test; the wizard's start-up creates it once, the tests create it as needed.
class ScreenSelected {
public:
    ScreenSelected() {
        MyScreen = &screen_;
        SelectMonitor(0);
    }
    ~ScreenSelected() { MyScreen = nullptr; }
    TmyScreen& Screen() { return screen_; }

private:
    TmyScreen screen_;
};

TEST(MessageForm, TimesOutByItselfAsCancel) {
    for (TMessageType type : {mtMessage, mtDialog}) {
        SCOPED_TRACE(static_cast<int>(type));
        bool appeared = false;
        bool gone = false;
        bool result = ShowDriven(L"Окно закроется само", type, 1, [&] {
            appeared = WaitForVisibleWindow(FormClass) != nullptr;
            gone = WaitForNoVisibleWindow(FormClass);
        });
        EXPECT_TRUE(appeared);
        EXPECT_TRUE(gone);
        EXPECT_FALSE(result);
        EXPECT_EQ(FindWindowW(FormClass, nullptr), nullptr) << "the window outlived the call";
    }
}

struct AnswerCase {
    const char* name;
    TMessageType type;
    const wchar_t* button; // nullptr: the close box
    bool expected;
    bool cancelVisible;
};

class MessageFormAnswer : public testing::TestWithParam<AnswerCase> {};

TEST_P(MessageFormAnswer, ReturnsTrueOnlyForOK) {
    const AnswerCase& c = GetParam();
    // Another window of the thread: it must take no input while the message is up.
    HWND other = CreateWindowExW(0, L"Static", L"другое окно", WS_OVERLAPPED | WS_VISIBLE, 0, 0,
                                 100, 50, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    bool clicked = false;
    bool cancelVisible = false;
    bool otherDisabled = false;
    bool result = ShowDriven(L"Вопрос?", c.type, 120, [&] {
        HWND form = WaitForVisibleWindow(FormClass);
        if (!form) return;
        otherDisabled = !IsWindowEnabled(other);
        HWND cancel = FindControl(form, L"Отмена");
        cancelVisible = cancel && IsWindowVisible(cancel);
        if (!c.button) {
            PostCloseBox(form);
            clicked = true;
        } else if (HWND b = FindControl(form, c.button)) {
            PostClick(b);
            clicked = true;
        }
    });
    EXPECT_TRUE(clicked);
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(cancelVisible, c.cancelVisible);
    EXPECT_TRUE(otherDisabled);
    EXPECT_TRUE(IsWindowEnabled(other)) << "the other window stayed disabled";
    DestroyWindow(other);
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, MessageFormAnswer,
    testing::Values(AnswerCase{"OkDialog", mtDialog, L"OK", true, true},
                    AnswerCase{"OkMessage", mtMessage, L"OK", true, false},
                    AnswerCase{"Cancel", mtDialog, L"Отмена", false, true},
                    AnswerCase{"CloseBoxDialog", mtDialog, nullptr, false, true},
                    AnswerCase{"CloseBoxMessage", mtMessage, nullptr, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

// The keyboard from the moment the window shows: the focus is on "OK" without a Tab, Enter and
// Space press it, Esc acts as the close box; keys go to the focused control as the keyboard
// delivers them. "OK" is never framed as the default button.
struct KeyCase {
    const char* name;
    TMessageType type;
    UINT key;
    bool expected;
};

class MessageFormKeys : public testing::TestWithParam<KeyCase> {};

TEST_P(MessageFormKeys, FocusStartsOnOK) {
    const KeyCase& c = GetParam();
    const DWORD uiThread = GetCurrentThreadId();
    bool focusOnOk = false;
    bool framedAsDefault = true;
    bool typed = false;
    bool result = ShowDriven(L"Вопрос?", c.type, 120, [&] {
        HWND form = WaitForVisibleWindow(FormClass);
        if (!form) return;
        HWND ok = FindControl(form, L"OK");
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        focusOnOk = WaitFor(
            [&] { return GetGUIThreadInfo(uiThread, &info) && ok && info.hwndFocus == ok; });
        framedAsDefault = (GetWindowLongW(ok, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
        if (!focusOnOk) {
            PostCloseBox(form);
            return;
        }
        const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(c.key, MAPVK_VK_TO_VSC)) << 16;
        PostMessageW(ok, WM_KEYDOWN, c.key, 1 | scan);
        PostMessageW(ok, WM_KEYUP, c.key, 1 | scan | (3u << 30));
        typed = true;
        if (!WaitForNoVisibleWindow(FormClass)) PostCloseBox(form);
    });
    EXPECT_TRUE(focusOnOk);
    EXPECT_FALSE(framedAsDefault);
    EXPECT_TRUE(typed);
    EXPECT_EQ(result, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Keys, MessageFormKeys,
                         testing::Values(KeyCase{"EnterMessage", mtMessage, VK_RETURN, true},
                                         KeyCase{"EnterDialog", mtDialog, VK_RETURN, true},
                                         KeyCase{"SpaceMessage", mtMessage, VK_SPACE, true},
                                         KeyCase{"SpaceDialog", mtDialog, VK_SPACE, true},
                                         KeyCase{"EscMessage", mtMessage, VK_ESCAPE, false},
                                         KeyCase{"EscDialog", mtDialog, VK_ESCAPE, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MessageForm, StopKeepsTheWindowOpenUntilAnswered) {
    bool stripHidden = false;
    bool stillOpen = false;
    bool result = ShowDriven(L"Остановите отсчёт", mtMessage, 1, [&] {
        HWND form = WaitForVisibleWindow(FormClass);
        if (!form) return;
        HWND stop = FindControl(form, L"остановить");
        HWND label = FindControl(form, L"Окно закроется через", L"Static");
        if (!stop || !label) return;
        PostClick(stop);
        stripHidden = WaitFor([&] { return !IsWindowVisible(stop) && !IsWindowVisible(label); });
        // Three times the 1-second countdown: had it still run, the window would be gone.
        Sleep(3000);
        stillOpen = IsWindow(form) && IsWindowVisible(form);
        PostClick(FindControl(form, L"OK"));
    });
    EXPECT_TRUE(stripHidden);
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(result);
}

TEST(MessageForm, SecondsLabelCountsDownFromTheInterval) {
    // seconds 0 keeps the 20-second design interval; 7 sets its own.
    for (int32_t seconds : {0, 7}) {
        SCOPED_TRACE(seconds);
        const int interval = seconds == 0 ? 20 : seconds;
        std::wstring before;
        std::wstring after;
        bool result = ShowDriven(L"Отсчёт", mtDialog, seconds, [&] {
            HWND form = WaitForVisibleWindow(FormClass);
            if (!form) return;
            HWND sec = FindControl(form, L"  сек", L"Static");
            if (!sec) return;
            before = WindowText(sec);
            WaitFor([&] { return WindowText(sec) != before; });
            after = WindowText(sec);
            PostClick(FindControl(form, L"OK"));
        });
        EXPECT_EQ(before, L"  сек");
        int left = -1;
        ASSERT_TRUE(ParseCountdown(after, left)) << U8(after);
        EXPECT_GE(left, 0);
        EXPECT_LT(left, interval);
        EXPECT_TRUE(result);
    }
}

TEST(MessageForm, CountdownIsIntervalLessElapsedRounded) {
    TFMessageform form;
    form.StopTimerInterval = 20000;
    form.Showmes(L"Без кнопок", mtMessage, L"", false);
    HWND sec = FindControl(form.Handle, L"  сек", L"Static");
    ASSERT_NE(sec, nullptr);
    // Shown 5.2 s ago: 14.8 s remain, read as 15.
    form.tt -= 5.2 / 86400;
    form.StayUpTimerTimer();
    EXPECT_EQ(WindowText(sec), L"  15с");
    form.tt -= 1.0 / 86400;
    form.StayUpTimerTimer();
    EXPECT_EQ(WindowText(sec), L"  14с");
}

TEST(MessageForm, NonModalShowHasNoButtonsAndReturnsFalse) {
    TFMessageform form;
    EXPECT_FALSE(form.Showmes(L"Сообщение", mtDialog, L"Заголовок", false));
    EXPECT_TRUE(IsWindowVisible(form.Handle));
    EXPECT_EQ(WindowText(form.Handle), L"Заголовок");
    for (HWND b : {form.btnOK, form.btnCancel, form.btnStop, form.lblClose, form.lblSec})
        EXPECT_FALSE(IsWindowVisible(b));
    EXPECT_TRUE((GetWindowLongW(form.Handle, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
}

struct PlacementCase {
    int32_t screenWidth;
    int32_t screenHeight;
};

class MessageFormPlacement : public testing::TestWithParam<PlacementCase> {};

// Height of `text` wrapped at the window's width in Tahoma of 10 points at the screen's DPI.
int WrappedHeight(const std::wstring& text, int width, int pixelsPerInch) {
    HFONT font = CreateFontW(-MulDiv(10, pixelsPerInch, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                             FALSE, RUSSIAN_CHARSET, 0, 0, 0, 0, L"Tahoma");
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    RECT r{0, 0, width, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    return r.bottom;
}

TEST_P(MessageFormPlacement, BottomOnMiddleLineCentredOnMonitor) {
    ScreenSelected selected;
    TmyScreen& screen = selected.Screen();
    screen.Width = GetParam().screenWidth;
    screen.Height = GetParam().screenHeight;
    const TMonitor monitor = screen.GetMonitor(screen.Monitornumber);

    std::wstring text;
    for (int i = 0; i < 40; ++i)
        text += L"Длинный текст предупреждения переносится. ";
    text += L"\r\nНовая строка.";
    TFMessageform form;
    form.Showmes(text, mtMessage, L"", false);

    RECT r{};
    GetWindowRect(form.Handle, &r);
    const int height = r.bottom - r.top;
    const int width = r.right - r.left;
    const int label = WrappedHeight(text, TFMessageform::DesignClientWidth, screen.PixelsPerInch);
    EXPECT_GT(label, 100) << "the text should wrap to many lines";
    EXPECT_EQ(height, label + 24 + 16 + 60);
    EXPECT_EQ(r.top, screen.Height / 2 - height);
    EXPECT_EQ(r.left, monitor.Left + (screen.Width - width) / 2);
    RECT client{};
    GetClientRect(form.Handle, &client);
    EXPECT_EQ(client.right, TFMessageform::DesignClientWidth);
}

INSTANTIATE_TEST_SUITE_P(Screens, MessageFormPlacement,
                         testing::Values(PlacementCase{1920, 1080}, PlacementCase{1280, 1024},
                                         PlacementCase{1367, 769}));

TEST(MessageForm, ShortTextMakesAShorterWindowThanLongText) {
    ScreenSelected selected;
    auto heightFor = [](const std::wstring& text) {
        TFMessageform form;
        form.Showmes(text, mtMessage, L"", false);
        RECT r{};
        GetWindowRect(form.Handle, &r);
        return r.bottom - r.top;
    };
    EXPECT_LT(heightFor(L"Коротко"), heightFor(L"Строка 1\nСтрока 2\nСтрока 3\nСтрока 4"));
}

TEST(MessageForm, SecondsOutOfRangeAreRefusedBeforeShowing) {
    const int32_t bad[] = {-1, std::numeric_limits<int32_t>::min(), 2147484,
                           std::numeric_limits<int32_t>::max()};
    for (int32_t seconds : bad) {
        SCOPED_TRACE(seconds);
        EXPECT_THROW(ShowMessageForm(L"Никогда не показывается", mtMessage, L"", seconds),
                     EInstallError);
        EXPECT_EQ(FindWindowW(FormClass, nullptr), nullptr);
    }
}

TEST(MessageForm, LargestSecondsValueIsAccepted) {
    bool shown = false;
    bool result = ShowDriven(L"Долго", mtMessage, 2147483, [&] {
        HWND form = WaitForVisibleWindow(FormClass);
        shown = form != nullptr;
        if (form) PostClick(FindControl(form, L"OK"));
    });
    EXPECT_TRUE(shown);
    EXPECT_TRUE(result);
}

} // namespace
