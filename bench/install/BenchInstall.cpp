// Timings for tools/bench-install.sh, each run inside the Wine session that runs the programs:
//   bench_install wizard DISTRIBUTION TARGET
//       Starts Install.exe in a distribution folder, walks it to the options page, clears the
//       driver box (so that no question waits for a person inside the measured time) and
//       measures from the click on "Начать установку" to the closing question, step by step.
//   bench_install nsis INSTALLER TARGET
//       Runs an NSIS installer silently into TARGET and measures it from its start to its end.
//   bench_install startup PROGRAM [FOLDER]
//       Starts a window program (in FOLDER, default its own folder) and measures until its
//       window is visible and painted, and until the program first waits for input.
//   bench_install fonts DISTRIBUTION
//       Installs the seven fonts the way the wizard does, each part timed apart, to show where
//       a font's time goes.
//   bench_install hand-over DISTRIBUTION TARGET
//       The hand-over to the updater as the wizard does it, each part timed apart: the copies,
//       the release script alone, and recording the level in ReleaseInfo.
//   bench_install nsis-check TARGET
//       Fails unless the NSIS installer did the work it is compared for.
//   bench_install nsis-defines
//       The newest release package and the fonts' full names, for building the NSIS installer.
// Every mode prints "name=seconds" lines for the script to collect.
//
// The steps of a wizard run are seen from outside only: files and folders appearing in the
// target, and the progress list read with LB_GETTEXT from a thread of its own (the installer
// answers between its steps; the file watch must not wait for that).
#include "E2eDriver.h"
#include "support/Distribution.h"
#include "support/TestFonts.h"
#include "support/TestSupport.h"
#include "common/WinUtil.h"
#include "install/FileOperations.h"
#include "install/ProcessLaunch.h"
#include "install/Updater.h"
#include "system/Fonts.h"

#include <atomic>
#include <cstdio>
#include <exception>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace e2e;

namespace {

const wchar_t kExitQuestion[] = L"Установка завершена. Выйти из программы установки?";
const wchar_t kFontsKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const wchar_t* const kFontFiles[] = {L"ARIAL.TTF",  L"ARIALN.TTF", L"COUR.TTF",   L"MICROSS.TTF",
                                     L"TAHOMA.TTF", L"TIMES.TTF",  L"verdana.TTF"};
const DWORD kRunTimeoutMs = 900000;
// Short enough to place a step to a few milliseconds, long enough to leave the installer the CPU.
const DWORD kWatchIntervalMs = 2;

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

void Fail(const std::string& what) {
    throw std::runtime_error(what);
}

std::wstring WindowsFolder() {
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    return windows;
}

// Every run installs the fonts afresh, as on a clinic's computer that has never had them;
// otherwise the second run would measure less work than the first.
void RemoveSuiteFonts() {
    const std::wstring fonts = WindowsFolder() + L"\\fonts\\";
    HKEY key;
    bool open =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFontsKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS;
    for (int i = 0; i < TestFontCount; ++i) {
        DeleteFileW((fonts + kFontFiles[i]).c_str());
        if (open) RegDeleteValueW(key, (TestFontFullName(i) + L" (TrueType)").c_str());
    }
    if (open) RegCloseKey(key);
}

bool AllSuiteFontsInstalled() {
    const std::wstring fonts = WindowsFolder() + L"\\fonts\\";
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFontsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    bool all = true;
    for (int i = 0; i < TestFontCount && all; ++i)
        all = PathExists(fonts + kFontFiles[i]) &&
              RegQueryValueExW(key, (TestFontFullName(i) + L" (TrueType)").c_str(), nullptr,
                               nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return all;
}

std::wstring WithDelimiter(std::wstring folder) {
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

void PrepareTarget(const std::wstring& target) {
    RemoveSuiteFonts();
    RemoveTree(target);
    DeleteFileW((DesktopFolder() + L"\\Velmora.lnk").c_str());
}

void PrintSeconds(const char* name, double seconds) {
    printf("%s=%.4f\n", name, seconds);
}

// ---- The wizard ------------------------------------------------------------------------------

void ClickOrFail(HWND button, const char* what) {
    if (!button || !Click(button)) Fail(std::string("cannot press ") + what);
}

// Up to the options page, with the driver box cleared; returns the "Начать установку" button.
HWND WalkToStart(InstallerProcess& app, HWND main, const std::wstring& target) {
    ClickOrFail(WaitForControl(main, L"Далее", L"Button"), "Next on the welcome page");
    if (!WaitForControl(main, L"Выбрать", L"Button")) Fail("no path page");
    HWND path = FindControlIf(main, [](HWND h) {
        return lstrcmpiW(ClassNameOf(h).c_str(), L"Edit") == 0 &&
               !(GetWindowLongW(h, GWL_STYLE) & ES_READONLY);
    });
    if (!path || !SetText(path, target)) Fail("the target folder could not be typed in");
    ClickOrFail(FindControl(main, L"Далее", L"Button"), "Next on the path page");
    HWND warning = app.WaitForTimedMessage();
    if (!warning || !AnswerTimedMessage(warning)) Fail("the options warning was not answered");
    HWND start = WaitForControl(main, L"Начать установку", L"Button");
    HWND driver = FindControl(main, L"Устанавливать драйвер", L"Button");
    if (!start || !driver) Fail("no options page");
    if (IsChecked(driver)) {
        ClickOrFail(driver, "the driver box");
        if (!WaitFor([&] { return !IsChecked(driver); })) Fail("the driver box stayed ticked");
    }
    return start;
}

// Counts the lines of the progress list whenever the installer answers, and notes when each
// count was first seen. Only counts: Wine sizes the cross-process buffer of an LB_GETTEXT by
// asking the length first, and a line that grows in between (a copy's outcome appended)
// overruns it in the installer. The texts are read once the installer waits for an answer.
class ProgressListWatch {
public:
    ProgressListWatch(HWND list, double begin) : list_(list), begin_(begin) {
        thread_ = std::thread([this] { Watch(); });
    }
    ~ProgressListWatch() { Stop(); }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    // When the list was first seen with more than `count` lines, or -1.
    double MoreThan(size_t count) {
        std::lock_guard<std::mutex> lock(mutex_);
        return count < firstSeen_.size() ? firstSeen_[count] : -1;
    }

private:
    void Watch() {
        while (!stop_ && IsWindow(list_)) {
            // Waits while the installer works between two of its message pumps: the answer
            // comes when the list can have changed.
            LRESULT count = SendMessageW(list_, LB_GETCOUNT, 0, 0);
            if (count > 0) {
                std::lock_guard<std::mutex> lock(mutex_);
                while (firstSeen_.size() < size_t(count))
                    firstSeen_.push_back(Now() - begin_);
            }
            Sleep(kWatchIntervalMs);
        }
    }

    HWND list_;
    double begin_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    // firstSeen_[n]: when more than n lines were first seen.
    std::vector<double> firstSeen_;
    std::thread thread_;
};

// A file-system sign that a step has ended, in the order the installer takes the steps.
struct FileMark {
    std::function<bool()> reached;
    double at = -1;
};

bool IsFolder(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsWritableFile(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES &&
           !(a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
}

// The file was written after `since` (a FILETIME of the bench's clock).
bool WrittenAfter(const std::wstring& path, const FILETIME& since) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
           CompareFileTime(&data.ftLastWriteTime, &since) > 0;
}

// The index of the first line that begins with `prefix`, or the number of lines.
size_t LineIndex(const std::vector<std::wstring>& lines, const std::wstring& prefix) {
    size_t i = 0;
    while (i < lines.size() && lines[i].rfind(prefix, 0) != 0)
        ++i;
    return i;
}

int Wizard(const std::wstring& distribution, const std::wstring& targetArgument) {
    const std::wstring target = WithDelimiter(targetArgument);
    PrepareTarget(target);
    InstallerProcess app(distribution);
    if (!app.Started()) Fail("Install.exe could not be started");
    HWND main = app.WaitForMainWindow();
    if (!main) Fail("the wizard window did not appear");
    HWND start = WalkToStart(app, main, target);
    HWND list = FindControlIf(
        main, [](HWND h) { return lstrcmpiW(ClassNameOf(h).c_str(), L"ListBox") == 0; }, true);
    if (!list) Fail("no progress list");

    FILETIME started;
    GetSystemTimeAsFileTime(&started);
    const std::wstring lastRelease = target + L"backup\\" + NewestReleasePackage;
    // The level is recorded by saving ReleaseInfo anew; its copy keeps the distribution's time.
    std::vector<FileMark> marks = {
        {[&] { return IsFolder(target + L"DTAfb"); }},
        {[&] { return PathExists(target + L"Settings\\lastnum.dta"); }},
        {[&] { return IsFolder(target + L"backup"); }},
        {[&] { return IsWritableFile(target + L"Updater.exe.cfg"); }},
        {[&] { return PathExists(lastRelease + L"\\release-installed.txt"); }},
        {[&] { return WrittenAfter(target + L"ReleaseInfo", started); }},
        {[&] { return PathExists(DesktopFolder() + L"\\Velmora.lnk"); }},
    };
    enum { mSettings, mRuntime, mHandOver, mScript, mScriptRan, mLevel, mShortcut };

    HWND box = nullptr;
    const double begin = Now();
    ProgressListWatch progress(list, begin);
    ClickOrFail(start, "Start");
    const double deadline = begin + kRunTimeoutMs / 1000.0;
    for (;;) {
        const double now = Now() - begin;
        for (auto& m : marks)
            if (m.at < 0 && m.reached()) m.at = now;
        box = app.WaitForMessageBox(0);
        if (box || !app.Running() || Now() > deadline) break;
        Sleep(kWatchIntervalMs);
    }
    const double seconds = Now() - begin;
    if (!box) Fail("the closing question did not come");
    progress.Stop();
    MessageBoxInfo info = ReadMessageBox(box);
    if (info.text != kExitQuestion) Fail("the installer asked something else: " + U8(info.text));
    // The installer waits for the answer: its list holds still. The database is done when the line
    // of the next copy is added.
    const std::vector<std::wstring> lines = ListBoxLines(list);
    const size_t databaseLine = LineIndex(lines, L"Копирование файла T27.FDB....");
    if (databaseLine + 1 >= lines.size() ||
        lines[databaseLine].find(L"Завершено") == std::wstring::npos)
        Fail("the database was not copied");
    const double database = progress.MoreThan(databaseLine + 1);
    if (!AnswerMessageBox(box, IDYES) || !app.WaitForExit()) Fail("Yes did not end the installer");

    std::vector<std::pair<const char*, double>> ends = {
        {"settings", marks[mSettings].at},
        {"database", database},
        {"runtime files", marks[mRuntime].at},
        {"fonts", marks[mHandOver].at},
        // The driver box was cleared: the step asks nothing and does nothing, so it ends where
        // the fonts end.
        {"driver (box cleared)", marks[mHandOver].at},
        {"hand-over: packages and updater copied", marks[mScript].at},
        {"hand-over: release script", marks[mScriptRan].at},
        {"hand-over: release level recorded", marks[mLevel].at},
        {"shortcut", marks[mShortcut].at},
        {"closing question", seconds},
    };
    double previous = 0;
    for (const auto& [step, at] : ends) {
        if (at < 0 || at < previous) Fail(std::string("the end of the step was not seen: ") + step);
        printf("step %s=%.4f\n", step, at - previous);
        previous = at;
    }
    PrintSeconds("wizard", seconds);
    return 0;
}

// ---- An NSIS installer ---------------------------------------------------------------------

int Nsis(const std::wstring& installer, const std::wstring& targetArgument) {
    const std::wstring target = WithDelimiter(targetArgument);
    PrepareTarget(target);
    // /D takes the rest of the command line, unquoted, and no trailing delimiter.
    std::wstring commandLine =
        L"\"" + installer + L"\" /S /D=" + target.substr(0, target.size() - 1);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const double begin = Now();
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi))
        Fail("the NSIS installer could not be started");
    WaitForSingleObject(pi.hProcess, kRunTimeoutMs);
    const double seconds = Now() - begin;
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (code != 0) Fail("the NSIS installer failed");
    PrintSeconds("nsis", seconds);
    return 0;
}

// Checks that the NSIS installer did the work it is compared for.
int NsisCheck(const std::wstring& targetArgument) {
    const std::wstring target = WithDelimiter(targetArgument);
    const std::wstring files[] = {
        target + L"Settings\\holter.ini",
        target + L"DTAfb\\T27.FDB",
        target + L"gds32.dll",
        target + L"intl\\fbintl.dll",
        target + L"udf\\Varnek.Dll",
        target + L"Updater.exe.cfg",
        target + L"backup\\" + NewestReleasePackage + L"\\release-installed.txt",
        DesktopFolder() + L"\\Velmora.lnk",
    };
    for (const auto& f : files)
        if (!PathExists(f)) Fail("the NSIS installer did not write " + U8(f));
    if (!AllSuiteFontsInstalled()) Fail("the NSIS installer did not install the fonts");
    return 0;
}

// ---- A font, part by part ----------------------------------------------------------------

class PartTimer {
public:
    void Start() { at_ = Now(); }
    void Stop(const char* part) {
        const double now = Now();
        for (auto& [name, total] : parts_)
            if (name == part) {
                total += now - at_;
                at_ = now;
                return;
            }
        parts_.push_back({part, now - at_});
        at_ = now;
    }
    void Print(const char* what) const {
        for (const auto& [name, total] : parts_)
            printf("%s %s=%.4f\n", what, name.c_str(), total);
    }

private:
    double at_ = 0;
    std::vector<std::pair<std::string, double>> parts_;
};

void BroadcastFontChange() {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
}

int Fonts(const std::wstring& distribution) {
    RemoveSuiteFonts();
    const std::wstring source = WithDelimiter(distribution) + L"fonts\\";
    const std::wstring destination = WindowsFolder() + L"\\fonts\\";
    PartTimer timer;
    for (const wchar_t* file : kFontFiles) {
        timer.Start();
        const std::wstring name = GetFontFaceName(source + file);
        timer.Stop("name read from the file");
        if (!CopyFileStream(source + file, destination + file)) Fail("a font was not copied");
        timer.Stop("copied (flushed)");
        HKEY key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFontsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            Fail("the fonts key cannot be opened");
        const std::wstring value = name + L" (TrueType)";
        RegSetValueExW(key, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(file),
                       DWORD((wcslen(file) + 1) * sizeof(wchar_t)));
        timer.Stop("registry value written");
        RegFlushKey(key);
        timer.Stop("registry flushed");
        RegCloseKey(key);
        AddFontResourceW((destination + file).c_str());
        timer.Stop("added");
        BroadcastFontChange();
        timer.Stop("announced (two broadcasts)");
        RemoveFontResourceW((destination + file).c_str());
        timer.Stop("withdrawn");
        BroadcastFontChange();
        timer.Stop("announced (two broadcasts)");
    }
    timer.Print("font");
    RemoveSuiteFonts();
    return 0;
}

// ---- The hand-over, part by part -------------------------------------------------------------

int HandOver(const std::wstring& distribution, const std::wstring& targetArgument) {
    const std::wstring source = WithDelimiter(distribution);
    const std::wstring target = WithDelimiter(targetArgument);
    RemoveTree(target);
    MakeDirs(target);
    ComInit com; // the wizard's thread has COM from its start
    PartTimer timer;
    timer.Start();
    CreateFolderIfMissing(target + L"backup");
    CopyFolderTree(source + L"backup", target + L"backup");
    CopyFolderTree(source + L"Updater", target);
    SetReadOnlyAttribute(target + L"ReleaseInfo", false);
    SetReadOnlyAttribute(target + L"Updater.exe.cfg", false);
    std::vector<std::wstring> packages;
    ListSubfolders(target + L"backup\\", packages);
    const std::wstring newest = ChooseNewestPackage(target + L"backup", std::move(packages));
    timer.Stop("packages and updater copied");
    SetCurrentDirectoryW((newest + L"\\").c_str());
    RunInFolderAndWait(newest + L"\\Install.cmd", L"", SW_HIDE);
    SetCurrentDirectoryW(target.c_str());
    timer.Stop("release script started and ended");
    UpdateReleaseLevel(target, ReleaseLevelOf(newest));
    timer.Stop("release level recorded");
    if (!PathExists(newest + L"\\release-installed.txt")) Fail("the release script did not run");
    timer.Print("hand-over");
    SetCurrentDirectoryW(source.c_str());
    RemoveTree(target);
    return 0;
}

// ---- Start-up ------------------------------------------------------------------------------

// A visible top-level window of the process with an area (an application window that only
// carries the taskbar entry has none), or nullptr.
HWND VisibleWindowOf(DWORD processId) {
    for (HWND wnd = GetTopWindow(nullptr); wnd; wnd = GetWindow(wnd, GW_HWNDNEXT)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(wnd, &pid);
        RECT r;
        if (pid == processId && IsWindowVisible(wnd) && GetWindowRect(wnd, &r) &&
            r.right - r.left > 1 && r.bottom - r.top > 1)
            return wnd;
    }
    return nullptr;
}

// Two moments of a start: the window painted, that is visible and answering a message sent to
// it (a program answers only when it waits for messages, and a window's first paint comes
// with its showing, before that); and the program idle, its first wait for input with nothing
// left to do.
int Startup(const std::wstring& program, const std::wstring& folderArgument) {
    const std::wstring folder =
        folderArgument.empty() ? program.substr(0, program.find_last_of(L'\\')) : folderArgument;
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const double begin = Now();
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &si, &pi))
        Fail("the program could not be started");
    CloseHandle(pi.hThread);
    HWND window = nullptr;
    while (!(window = VisibleWindowOf(pi.dwProcessId)) && Now() - begin < 30 &&
           WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT)
        Sleep(kWatchIntervalMs);
    DWORD_PTR result = 0;
    const bool answered =
        window && SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
    const double painted = Now() - begin;
    WaitForInputIdle(pi.hProcess, 30000);
    const double idle = Now() - begin;
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    if (!window || !answered) Fail("the program showed no window that answers");
    PrintSeconds("painted", painted);
    PrintSeconds("idle", idle);
    return 0;
}

// The NSIS yardstick's defines that only the generated distribution knows.
int NsisDefines() {
    printf("NEWEST=%s\n", U8(NewestReleasePackage).c_str());
    for (int i = 0; i < TestFontCount; ++i)
        printf("FONT%d=%s\n", i, U8(TestFontFullName(i)).c_str());
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    try {
        int status = 2;
        if (mode == L"wizard" && argc == 4)
            status = Wizard(argv[2], argv[3]);
        else if (mode == L"nsis" && argc == 4)
            status = Nsis(argv[2], argv[3]);
        else if (mode == L"fonts" && argc == 3)
            status = Fonts(argv[2]);
        else if (mode == L"hand-over" && argc == 4)
            status = HandOver(argv[2], argv[3]);
        else if (mode == L"nsis-check" && argc == 3)
            status = NsisCheck(argv[2]);
        else if (mode == L"startup" && (argc == 3 || argc == 4))
            status = Startup(argv[2], argc == 4 ? argv[3] : L"");
        else if (mode == L"nsis-defines" && argc == 2)
            status = NsisDefines();
        else
            fwprintf(stderr, L"usage: bench_install wizard DISTRIBUTION TARGET | nsis INSTALLER "
                             L"TARGET | fonts DISTRIBUTION | hand-over DISTRIBUTION TARGET | "
                             L"nsis-check TARGET | startup PROGRAM [FOLDER] | "
                             L"nsis-defines\n");
        fflush(stdout);
        return status;
    } catch (const std::exception& e) {
        fprintf(stderr, "bench_install: %s\n", e.what());
        return 1;
    }
}
