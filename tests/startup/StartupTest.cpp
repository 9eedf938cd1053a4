// The real Install.exe started from a distribution folder: where it looks for its files, its
// one journal entry, and a journal that cannot be written.
#include "support/Distribution.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

const wchar_t kMainCaption[] = L"Установка комплекса";

struct Started {
    PROCESS_INFORMATION pi{};
    ~Started() {
        if (pi.hProcess) {
            if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(pi.hProcess, 9);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
};

// Copies Install.exe into `folder` and starts it with `cwd` as its working folder.
// `environment` is a double-zero-terminated block, or empty for the test's own.
void Start(Started& s, const std::wstring& folder, const std::wstring& cwd,
           const std::wstring& environment = L"") {
    std::wstring exe = folder + L"Install.exe";
    ASSERT_TRUE(CopyFileW(WinePathFromUnix(INSTALL_EXE_UNIX).c_str(), exe.c_str(), FALSE));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring cmd = L"\"" + exe + L"\"";
    ASSERT_TRUE(
        CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                       environment.empty() ? nullptr : const_cast<wchar_t*>(environment.c_str()),
                       cwd.c_str(), &si, &s.pi));
}

struct FindData {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK MatchMainWindow(HWND h, LPARAM p) {
    auto* d = reinterpret_cast<FindData*>(p);
    DWORD owner = 0;
    GetWindowThreadProcessId(h, &owner);
    wchar_t text[128] = {};
    GetWindowTextW(h, text, 128);
    if (owner == d->pid && IsWindowVisible(h) && std::wstring(text) == kMainCaption) {
        d->found = h;
        return FALSE;
    }
    return TRUE;
}

HWND MainWindowOf(DWORD pid) {
    FindData d{pid, nullptr};
    EnumWindows(MatchMainWindow, reinterpret_cast<LPARAM>(&d));
    return d.found;
}

HWND WaitForMainWindow(const Started& s) {
    for (int i = 0; i < 600; ++i) {
        if (HWND h = MainWindowOf(s.pi.dwProcessId)) return h;
        if (WaitForSingleObject(s.pi.hProcess, 50) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
}

// Closes the main window as the close box does and returns the exit code.
DWORD CloseAndWait(const Started& s, HWND main) {
    PostMessageW(main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(s.pi.hProcess, 30000) != WAIT_OBJECT_0) return 0xDEAD;
    DWORD code = 0;
    GetExitCodeProcess(s.pi.hProcess, &code);
    return code;
}

bool EndsWith(const std::wstring& s, const std::wstring& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(Startup, FindsItsFilesBesideTheExecutableAndWritesOneJournalEntry) {
    TempDir dist, elsewhere;
    WriteAnsi(dist / L"TestHolter.log", L"01/01/2020 10:00:00: an earlier run\r\n");
    Started s;
    Start(s, dist.Path(), elsewhere.Path());
    HWND main = WaitForMainWindow(s);
    ASSERT_NE(main, nullptr) << "the main window did not appear";
    auto lines = SplitLines(ReadAnsi(dist / L"TestHolter.log"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(EndsWith(lines[0], L": VL_Common_VAR_INIT")) << U8(lines[0]);
    EXPECT_EQ(lines[1], L"01/01/2020 10:00:00: an earlier run");
    EXPECT_FALSE(PathExists(elsewhere / L"TestHolter.log"));
    // The taskbar shows the application title: the entry belongs to the unowned window that
    // owns the main window, whose own caption stays short.
    HWND owner = GetWindow(main, GW_OWNER);
    ASSERT_NE(owner, nullptr);
    wchar_t title[128] = {};
    GetWindowTextW(owner, title, 128);
    EXPECT_EQ(U8(title), U8(L"Установка комплекса \"Velmora\""));
    EXPECT_TRUE(IsWindowVisible(owner));
    EXPECT_EQ(GetWindow(owner, GW_OWNER), nullptr);
    EXPECT_FALSE(GetWindowLongW(owner, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(CloseAndWait(s, main), 0u);
    EXPECT_EQ(SplitLines(ReadAnsi(dist / L"TestHolter.log")).size(), 2u)
        << "nothing else is written to the journal during a run";
}

TEST(Startup, AJournalThatCannotBeWrittenDoesNotStopTheProgram) {
    // A folder where the journal should be: it can be neither read nor replaced.
    TempDir dist;
    CreateDirectoryW((dist / L"TestHolter.log").c_str(), nullptr);
    Started s;
    Start(s, dist.Path(), dist.Path());
    HWND main = WaitForMainWindow(s);
    ASSERT_NE(main, nullptr) << "the main window did not appear";
    EXPECT_EQ(CloseAndWait(s, main), 0u);
}

// A journal grown to gigabytes (a hole of zero bytes after its entries, more than a 32-bit
// process can hold): start-up reads only the entries it keeps and trims the file as usual.
TEST(Startup, AJournalOfGigabytesDoesNotStopTheProgram) {
    TempDir dist;
    std::wstring entries;
    for (int i = 0; i < 1005; ++i)
        entries += L"01/01/2020 10:00:00: run " + std::to_wstring(i) + L"\r\n";
    WriteAnsi(dist / L"TestHolter.log", entries);
    ASSERT_TRUE(SetFileLength(dist / L"TestHolter.log", 3ull << 30));
    Started s;
    Start(s, dist.Path(), dist.Path());
    HWND main = WaitForMainWindow(s);
    ASSERT_NE(main, nullptr) << "the main window did not appear";
    EXPECT_EQ(CloseAndWait(s, main), 0u);
    auto lines = SplitLines(ReadAnsi(dist / L"TestHolter.log"));
    ASSERT_EQ(lines.size(), 1000u);
    EXPECT_TRUE(EndsWith(lines[0], L": VL_Common_VAR_INIT")) << U8(lines[0]);
    EXPECT_EQ(lines[1], L"01/01/2020 10:00:00: run 0");
    EXPECT_EQ(lines[999], L"01/01/2020 10:00:00: run 998");
}

// From Windows 8.1 on, a program that does not declare DPI awareness is told 96 pixels per
// inch at any display scale, and the large-font check would always find small fonts. The
// declaration is read here as the system reads it: through an activation context made from the
// program's own manifest. System awareness, not per monitor: the layout stays in pixels.
TEST(Startup, TheManifestDeclaresSystemDpiAwareness) {
    const std::wstring exe = WinePathFromUnix(INSTALL_EXE_UNIX);
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = exe.c_str();
    context.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    HANDLE handle = CreateActCtxW(&context);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE) << GetLastError();
    const wchar_t* const settings = L"http://schemas.microsoft.com/SMI/2005/WindowsSettings";
    wchar_t value[64] = L"";
    SIZE_T length = 0;
    EXPECT_TRUE(QueryActCtxSettingsW(0, handle, settings, L"dpiAware", value, 64, &length))
        << GetLastError();
    EXPECT_EQ(U8(value), "true");
    wchar_t perMonitor[64] = L"";
    EXPECT_FALSE(QueryActCtxSettingsW(0, handle,
                                      L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                                      L"dpiAwareness", perMonitor, 64, &length))
        << U8(perMonitor);
    ReleaseActCtx(handle);
}

TEST(Startup, AJournalHeldOpenByAnotherProgramDoesNotStopTheProgram) {
    TempDir dist;
    WriteAnsi(dist / L"TestHolter.log", L"held\r\n");
    HANDLE held = CreateFileW((dist / L"TestHolter.log").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Started s;
    Start(s, dist.Path(), dist.Path());
    HWND main = WaitForMainWindow(s);
    EXPECT_NE(main, nullptr) << "the main window did not appear";
    if (main) {
        EXPECT_EQ(CloseAndWait(s, main), 0u);
    }
    CloseHandle(held);
    EXPECT_EQ(ReadAnsi(dist / L"TestHolter.log"), L"held\r\n");
}

TEST(Startup, TheJournalEntryGoesToTheEventLog) {
    // With WINEDEBUG=+eventlog Wine traces the text that ReportEventW receives on the standard
    // error it inherited, which the test's runner sends to the file named here.
    wchar_t errPath[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"VELMORA_TEST_STDERR", errPath, MAX_PATH))
        GTEST_SKIP() << "run through tools/wine-run-capture.sh to see Wine's trace";
    size_t before = ReadBytes(errPath).size();
    std::wstring env;
    wchar_t* block = GetEnvironmentStringsW();
    for (wchar_t* p = block; *p; p += wcslen(p) + 1)
        if (_wcsnicmp(p, L"WINEDEBUG=", 10) != 0) env.append(p).push_back(L'\0');
    FreeEnvironmentStringsW(block);
    env.append(L"WINEDEBUG=+eventlog").push_back(L'\0');
    TempDir dist;
    {
        Started s;
        Start(s, dist.Path(), dist.Path(), env);
        HWND main = WaitForMainWindow(s);
        ASSERT_NE(main, nullptr);
        EXPECT_EQ(CloseAndWait(s, main), 0u);
    }
    std::string trace = ReadBytes(errPath).substr(before);
    size_t at = trace.find("trace:eventlog:ReportEventW");
    ASSERT_NE(at, std::string::npos) << trace.substr(0, 2000);
    std::string line = trace.substr(at, trace.find('\n', at) - at);
    EXPECT_NE(line.find("L\"VL_Common_VAR_INIT\""), std::string::npos) << line;
    EXPECT_EQ(trace.find("ReportEventW", at + 1 + line.size()), std::string::npos)
        << "one report per run";
}

} // namespace

namespace {

TEST(Startup, ADllPlantedBesideTheProgramIsNotLoaded) {
    TempDir dir;
    ASSERT_TRUE(CopyFileW(WinePathFromUnix(DLL_PROBE_UNIX).c_str(), (dir / L"DllProbe.exe").c_str(),
                          FALSE));
    ASSERT_TRUE(CopyFileW(WinePathFromUnix(PLANTED_DLL_UNIX).c_str(),
                          (dir / L"planted.dll").c_str(), FALSE));
    TempDir elsewhere;
    const std::wstring probe = L"\"" + dir / L"DllProbe.exe" + L"\" ";
    EXPECT_EQ(RunAndWait(probe + L"open", elsewhere.Path()), 1) << "the probe finds the DLL at all";
    EXPECT_EQ(RunAndWait(probe + L"restricted", elsewhere.Path()), 0);
}

} // namespace
