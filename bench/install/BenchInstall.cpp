// Installation time through the real wizard: starts Install.exe in a distribution folder,
// walks it to the options page, clears the driver box (so that no question waits for a person
// inside the measured time), and measures from the click on "Начать установку" to the
// appearance of the closing question. tools/bench-install.sh sets it beside `cp -r`.
//   bench_install DISTRIBUTION TARGET
// Prints when each step's result appeared on disk and "install_seconds=S" on success. The steps
// are watched by looking at files only: asking the installer anything while it copies would
// wait for it and change what is measured.
#include "E2eDriver.h"
#include "support/Distribution.h"
#include "support/TestFonts.h"
#include "support/TestSupport.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace e2e;

namespace {

const wchar_t kExitQuestion[] = L"Установка завершена. Выйти из программы установки?";
const wchar_t kFontsKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const wchar_t* const kFontFiles[] = {L"ARIAL.TTF",  L"ARIALN.TTF", L"COUR.TTF",   L"MICROSS.TTF",
                                     L"TAHOMA.TTF", L"TIMES.TTF",  L"verdana.TTF"};
const DWORD kRunTimeoutMs = 900000;

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

void Fail(const std::string& what) {
    throw std::runtime_error(what);
}

// Every run installs the fonts afresh, as on a clinic's computer that has never had them;
// otherwise the second run would measure less work than the first.
void RemoveSuiteFonts() {
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    HKEY key;
    bool open =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFontsKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS;
    for (int i = 0; i < TestFontCount; ++i) {
        DeleteFileW((std::wstring(windows) + L"\\fonts\\" + kFontFiles[i]).c_str());
        if (open) RegDeleteValueW(key, (TestFontFullName(i) + L" (TrueType)").c_str());
    }
    if (open) RegCloseKey(key);
}

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

// A file whose appearance marks the end of a step, in the order the installer takes them.
struct Milestone {
    const char* step;
    std::wstring file;
    double at = -1;
};

std::vector<Milestone> Milestones(const std::wstring& target) {
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    return {
        {"settings written", target + L"Settings\\holter.ini"},
        // A copy claims its destination's name when it begins: a file marks the end of the copy
        // before it.
        {"database copied (first runtime file begun)", target + L"aliases.conf"},
        {"runtime, intl, udf and suite libraries copied", target + L"udf\\Varnek.Dll"},
        {"fonts copied (last font file)", std::wstring(windows) + L"\\fonts\\verdana.TTF"},
        {"release packages and updater copied", target + L"Updater.exe.cfg"},
        {"release script ran (its marker file)",
         target + L"backup\\" + NewestReleasePackage + L"\\release-installed.txt"},
        {"desktop shortcut written", DesktopFolder() + L"\\Velmora.lnk"},
    };
}

int Run(const std::wstring& distribution, const std::wstring& target) {
    RemoveSuiteFonts();
    RemoveTree(target);
    std::vector<Milestone> milestones = Milestones(target);
    for (const auto& m : milestones)
        if (PathExists(m.file)) DeleteFileW(m.file.c_str());
    InstallerProcess app(distribution);
    if (!app.Started()) Fail("Install.exe could not be started");
    HWND main = app.WaitForMainWindow();
    if (!main) Fail("the wizard window did not appear");
    HWND start = WalkToStart(app, main, target);

    HWND box = nullptr;
    const double begin = Now();
    ClickOrFail(start, "Start");
    bool asked = WaitFor(
        [&] {
            for (auto& m : milestones)
                if (m.at < 0 && GetFileAttributesW(m.file.c_str()) != INVALID_FILE_ATTRIBUTES)
                    m.at = Now() - begin;
            box = app.WaitForMessageBox(0);
            return box != nullptr || !app.Running();
        },
        kRunTimeoutMs);
    const double seconds = Now() - begin;
    if (!asked || !box) Fail("the closing question did not come");
    MessageBoxInfo info = ReadMessageBox(box);
    if (info.text != kExitQuestion) Fail("the installer asked something else: " + U8(info.text));
    if (!AnswerMessageBox(box, IDYES) || !app.WaitForExit()) Fail("Yes did not end the installer");

    double previous = 0;
    for (const auto& m : milestones) {
        if (m.at < 0) {
            printf("step: %-48s not seen\n", m.step);
            continue;
        }
        printf("step: %-48s at %7.3f s  (+%.3f s)\n", m.step, m.at, m.at - previous);
        previous = m.at;
    }
    printf("step: %-48s at %7.3f s  (+%.3f s)\n", "closing question", seconds, seconds - previous);
    printf("install_seconds=%.3f\n", seconds);
    fflush(stdout);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        fwprintf(stderr, L"usage: bench_install DISTRIBUTION TARGET\n");
        return 2;
    }
    try {
        return Run(argv[1], argv[2]);
    } catch (const std::exception& e) {
        fprintf(stderr, "bench_install: %s\n", e.what());
        return 1;
    }
}
