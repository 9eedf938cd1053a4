// The large-font page's operations: the small-fonts test at several resolutions, the switch
// that must never load a syssetup.dll from the installer's folder, and the restart question
// answered No. The Yes answer ends the Wine session and runs in restart-test.sh.
#include "system/DisplayFonts.h"

#include "MessageBoxAnswer.h"
#include "common/WinUtil.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

// Spelled out here rather than taken from the code under test.
const wchar_t ExpectedQuestion[] =
    L"Изменения в настройки внесены, для того чтобы они\r\n"
    L"вступили в силу, требуется перзагрузить операционную систему.\r\n"
    L"Выполнить перезагрузку сейчас?";

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreatePlainWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = PlainWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VelmoraDisplayFontsTest";
    RegisterClassW(&windowClass);
    return CreateWindowW(windowClass.lpszClassName, L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                         nullptr, nullptr, windowClass.hInstance, nullptr);
}

} // namespace

// The screen resolution is read once per process, so each setting is probed by a new one.
TEST(IsSmallFontsTest, BelowOneHundredPixelsPerInchIsSmall) {
    struct Case {
        DWORD pixelsPerInch;
        bool small;
    } cases[] = {{96, true}, {99, true}, {100, false}, {120, false}};
    LogPixelsOverride logPixels;
    for (const auto& c : cases) {
        logPixels.Set(c.pixelsPerInch);
        int exitCode = RunAndWait(L"\"" + TestExeFolder() + L"SystemProbe.exe\" dpi");
        EXPECT_EQ(exitCode, c.small ? 1 : 0) << c.pixelsPerInch << " pixels per inch";
    }
}

TEST(SwitchToLargeFontsTest, NeverLoadsASyssetupPlantedBesideTheProgram) {
    TempDir dir;
    const std::wstring marker = dir / L"planted syssetup ran";
    SetEnvironmentVariableW(L"VELMORA_FAKE_SYSSETUP_MARKER", marker.c_str());
    // The installer's folder is also its current directory.
    std::wstring previous = GetCurrentDir();
    SetCurrentDirectoryW(TestExeFolder().c_str());
    ASSERT_TRUE(FileExists(TestExeFolder() + L"syssetup.dll"));

    SwitchToLargeFonts();
    bool loaded = GetModuleHandleW(L"syssetup.dll") != nullptr;
    bool ran = PathExists(marker);

    // The plant is live: a plain LoadLibrary would have run it.
    UniqueModule planted(LoadLibraryW(L"syssetup.dll"));
    auto change = reinterpret_cast<DWORD(WINAPI*)(HWND, LPCWSTR)>(
        reinterpret_cast<void*>(GetProcAddress(planted.get(), "SetupChangeFontSize")));
    ASSERT_NE(change, nullptr);
    change(nullptr, L"120");
    EXPECT_TRUE(PathExists(marker));

    SetCurrentDirectoryW(previous.c_str());
    SetEnvironmentVariableW(L"VELMORA_FAKE_SYSSETUP_MARKER", nullptr);
    EXPECT_FALSE(loaded);
    EXPECT_FALSE(ran);
}

TEST(RestartQuestionTest, NoKeepsTheWindowOpen) {
    HWND window = CreatePlainWindow();
    ASSERT_NE(window, nullptr);
    MessageBoxAnswer no(IDNO);

    bool mustClose = ChangeToLargeFontsAndOfferRestart(window, L"Velmora");

    EXPECT_EQ(U8(no.Text()), U8(ExpectedQuestion));
    EXPECT_FALSE(mustClose);
    EXPECT_TRUE(IsWindow(window));
    DestroyWindow(window);
}
