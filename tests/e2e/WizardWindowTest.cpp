// The main window built in the test's own process: the state the installation sequence relies
// on, the progress list's methods and the brand check.
#include "app/Main.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

std::wstring ListLine(HWND list, int index) {
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length < 0) return L"<none>";
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

TEST(WizardWindow, StartsOnWelcomePageReadyForTheInstallation) {
    TFMain form;
    EXPECT_TRUE(form.FCanClose);
    EXPECT_EQ(form.InsatallPages.ActivePage(), form.tsStart);
    EXPECT_FALSE(IsWindowEnabled(form.BtnExit));
    EXPECT_TRUE(form.DriverInstallChecked());
    EXPECT_EQ(form.WindowsIndex(), 0);
    EXPECT_FALSE(IsWindowVisible(form.CBWindows));

    LONG style = GetWindowLongW(form.LogList, GWL_STYLE);
    EXPECT_FALSE(style & WS_VISIBLE) << "the progress list starts hidden";
    EXPECT_FALSE(style & WS_TABSTOP) << "focus moves skip the progress list";
    EXPECT_TRUE(style & LBS_HASSTRINGS) << "automation reads the lines";
    EXPECT_EQ(SendMessageW(form.LogList, LB_GETITEMHEIGHT, 0, 0), 18);
}

TEST(WizardWindow, ProgressListAddsReplacesAndClearsLines) {
    TFMain form;
    EXPECT_EQ(form.AddLogLine(L"Создание папок"), 0);
    EXPECT_EQ(form.AddLogLine(L"Копирование базы данных"), 1);
    EXPECT_EQ(form.AddLogLine(L"Установка шрифтов"), 2);
    form.SetLogLine(1, L"Копирование базы данныхЗавершено");
    EXPECT_EQ(SendMessageW(form.LogList, LB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(U8(ListLine(form.LogList, 0)), U8(L"Создание папок"));
    EXPECT_EQ(U8(ListLine(form.LogList, 1)), U8(L"Копирование базы данныхЗавершено"));
    EXPECT_EQ(U8(ListLine(form.LogList, 2)), U8(L"Установка шрифтов"));

    form.SetLogLine(3, L"no such line"); // out of range: nothing is added
    form.SetLogLine(-1, L"no such line");
    EXPECT_EQ(SendMessageW(form.LogList, LB_GETCOUNT, 0, 0), 3);

    form.ClearLog();
    EXPECT_EQ(SendMessageW(form.LogList, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(form.AddLogLine(L"again"), 0);
}

TEST(WizardWindow, ProgressListKeepsTheNewestLineInSight) {
    TFMain form;
    form.ShowLog();
    for (int i = 0; i < 60; ++i)
        form.AddLogLine(L"line " + std::to_wstring(i));
    RECT r;
    GetClientRect(form.LogList, &r);
    LRESULT itemHeight = SendMessageW(form.LogList, LB_GETITEMHEIGHT, 0, 0);
    ASSERT_GT(itemHeight, 0);
    LRESULT top = SendMessageW(form.LogList, LB_GETTOPINDEX, 0, 0);
    LRESULT visible = (r.bottom - r.top) / itemHeight;
    EXPECT_GT(top, 0);
    EXPECT_GE(top + visible, 60) << "the last line is below the visible part";
}

TEST(WizardWindow, PageSwitchRunsShowHandlerOnlyOnChange) {
    TFMain form;
    int shown = 0;
    form.InsatallPages.OnShow = [&](TPanel& page) {
        if (&page == form.tsCancel) ++shown;
    };
    form.SetActivePage(*form.tsCancel);
    form.SetActivePage(*form.tsCancel);
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(GetWindowLongW(form.tsStart->Handle, GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(GetWindowLongW(form.tsCancel->Handle, GWL_STYLE) & WS_VISIBLE);
}

TEST(WizardWindow, CloseIsGrantedExactlyWhenAllowed) {
    for (bool allowed : {false, true}) {
        TFMain form;
        form.FCanClose = allowed;
        SendMessageW(form.Handle, WM_CLOSE, 0, 0);
        EXPECT_EQ(form.Handle == nullptr, allowed);
        MSG msg; // the granted close posts the end of the message loop; keep it from the next case
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
}

TEST(WizardWindow, BrandIsSorvelInAnyLetterCase) {
    struct Case {
        const wchar_t* name;
        bool sorvel;
    };
    const Case cases[] = {
        {L"Sorvel", true},   {L"sorvel", true},  {L"SORVEL", true},   {L"sOrVeL", true},
        {L"Velmora", false}, {L"", false},       {L"Sorvel ", false}, {L"Sorve", false},
        {L"Sorvell", false}, {L"Ѕorvel", false}, // Cyrillic Ѕ, not Latin S
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsSorvelBrandName(c.name), c.sorvel) << U8(c.name);
}

} // namespace
