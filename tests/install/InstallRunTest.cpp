// The installation run through the real Install.exe: a generated distribution, the wizard
// walked as a person would, then the target folder, the registry, the desktop link and the
// journal checked.
#include "E2eDriver.h"
#include "InstallExpectations.h"
#include "common/Errors.h"
#include "common/WinUtil.h"
#include "support/Distribution.h"
#include "support/TestFonts.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>

using namespace e2e;

namespace {

// What a run is asked to do and how the questions on the way are answered.
struct Walk {
    std::wstring target;
    bool driverTicked = true;
    bool driverYes = true;
    bool exitYes = true; // the closing question at the end
    DistributionOptions distribution;
    std::wstring installer;     // another build of the installer
    bool readOnlyMedia = false; // every distribution file read-only, as on a CD
    std::wstring screenshot;    // a picture of the progress page at the closing question
    // A close request (as from the taskbar entry) right behind the press of "Начать установку",
    // so that it arrives while the run lets messages run, before its busy state.
    bool closeRightAfterStart = false;
    bool layOut = true; // false: run again from the distribution laid out before
};

// A picture of the window beside the test, for a person to look at.
void SaveScreenshot(HWND window, const std::wstring& name) {
    EXPECT_TRUE(SaveBmp(CaptureClient(window),
                        TestExeFolder() + L"screenshots\\install_" + name + L".bmp"));
}

// Calls visit(path, attributes) for every file below folder (no trailing "\\").
template <class Visit> void ForEachFileBelow(const std::wstring& folder, Visit visit) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ForEachFileBelow(folder + L"\\" + name, visit);
        else
            visit(folder + L"\\" + name, entry.dwFileAttributes);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

class InstallRun : public ::testing::Test {
protected:
    std::unique_ptr<TempDir> distDir = std::make_unique<TempDir>();
    std::unique_ptr<InstallerProcess> app;
    HWND main = nullptr;
    HWND logList = nullptr;

    void SetUp() override { RemoveSuiteFonts(); }
    void TearDown() override {
        if (app && app->Running()) app->WaitForExit(2000);
        app.reset();
        RemoveSuiteFonts();
    }

    // Starts the installer and walks the wizard up to the press of "Начать установку".
    void StartInstallation(const Walk& w) {
        if (w.layOut) {
            ASSERT_NO_THROW(MakeDistribution(distDir->Path(), w.distribution));
        }
        if (w.readOnlyMedia)
            ForEachFileBelow(ExcludeTrailingPathDelimiter(distDir->Path()),
                             [](const std::wstring& file, DWORD attributes) {
                                 SetFileAttributesW(file.c_str(),
                                                    attributes | FILE_ATTRIBUTE_READONLY);
                             });
        app = std::make_unique<InstallerProcess>(distDir->Path(), L"", w.installer);
        ASSERT_TRUE(app->Started());
        main = app->WaitForMainWindow();
        ASSERT_NE(main, nullptr);
        ASSERT_TRUE(Click(WaitForControl(main, L"Далее", L"Button")));
        ASSERT_NE(WaitForControl(main, L"Выбрать", L"Button"), nullptr);
        HWND path = FindPathField(main);
        ASSERT_NE(path, nullptr);
        ASSERT_TRUE(SetText(path, w.target));
        ASSERT_TRUE(Click(FindControl(main, L"Далее", L"Button")));
        HWND warning = app->WaitForTimedMessage();
        ASSERT_NE(warning, nullptr) << "the options warning did not appear";
        ASSERT_TRUE(AnswerTimedMessage(warning));
        HWND start = WaitForControl(main, L"Начать установку", L"Button");
        ASSERT_NE(start, nullptr);
        HWND driver = FindControl(main, L"Устанавливать драйвер", L"Button");
        ASSERT_NE(driver, nullptr);
        ASSERT_TRUE(IsChecked(driver));
        if (!w.driverTicked) {
            ASSERT_TRUE(Click(driver));
            ASSERT_TRUE(WaitFor([&] { return !IsChecked(driver); }));
        }
        ASSERT_TRUE(Click(start));
        if (w.closeRightAfterStart) PostMessageW(main, WM_CLOSE, 0, 0);
        logList = FindControlIf(
            main, [](HWND h) { return lstrcmpiW(ClassNameOf(h).c_str(), L"ListBox") == 0; }, true);
        ASSERT_NE(logList, nullptr);
    }

    // Answers the message boxes of the run until one with the text `last` (or any other
    // unexpected one) is asked, and returns it unanswered; the driver question, if it comes
    // first, is answered as `w` says.
    HWND WaitForBox(const Walk& w, const std::wstring& last, MessageBoxInfo& info,
                    DWORD timeoutMs = 120000) {
        for (;;) {
            HWND box = app->WaitForMessageBox(timeoutMs);
            if (!box) return nullptr;
            info = ReadMessageBox(box);
            if (info.text != kDriverQuestion || last == kDriverQuestion) return box;
            EXPECT_TRUE(w.driverTicked) << "driver question without the box ticked";
            EXPECT_TRUE(info.hasYes && info.hasNo);
            EXPECT_TRUE(AnswerMessageBox(box, w.driverYes ? IDYES : IDNO));
        }
    }

    // A whole run up to the closing question; the progress lines are read while it is asked,
    // then it is answered as `w` says.
    std::vector<std::wstring> RunToTheEnd(const Walk& w) {
        StartInstallation(w);
        if (HasFatalFailure()) return {};
        MessageBoxInfo info;
        HWND box = WaitForBox(w, kExitQuestion, info);
        EXPECT_EQ(U8(info.text), U8(kExitQuestion));
        EXPECT_TRUE(info.hasYes && info.hasNo);
        std::vector<std::wstring> lines = Lines();
        if (!w.screenshot.empty()) SaveScreenshot(main, w.screenshot);
        if (!box) return lines;
        EXPECT_TRUE(AnswerMessageBox(box, w.exitYes ? IDYES : IDNO));
        if (w.exitYes) {
            DWORD code = 1;
            EXPECT_TRUE(app->WaitForExit(20000, &code)) << "Yes did not end the installer";
            EXPECT_EQ(code, 0u);
        }
        return lines;
    }

    std::vector<std::wstring> Lines() const { return ListBoxLines(logList); }
    std::wstring LastLine() const {
        auto lines = Lines();
        return lines.empty() ? std::wstring() : lines.back();
    }
    // The line of a file's copy, or an empty text while there is none (or the window does not
    // answer).
    std::wstring CopyLine(const std::wstring& name) const {
        for (auto& line : Lines())
            if (line.rfind(Copied(name), 0) == 0) return line;
        return L"";
    }

    std::wstring Target(const std::wstring& rel = L"") const {
        return distDir->Path() + L"Holter\\" + rel;
    }
    // A new distribution folder for another run in the same test.
    void NewDistribution() {
        app.reset();
        distDir = std::make_unique<TempDir>();
    }
};

// Whether two files hold the same bytes, compared piece by piece: a database of gigabytes does
// not fit into the test's memory.
bool SameBytes(const std::wstring& a, const std::wstring& b) {
    UniqueHandle x(CreateFileW(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    UniqueHandle y(CreateFileW(b.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!x.valid() || !y.valid()) return false;
    std::string p(1 << 20, '\0'), q(1 << 20, '\0');
    for (;;) {
        DWORD gotP = 0, gotQ = 0;
        if (!ReadFile(x.get(), p.data(), static_cast<DWORD>(p.size()), &gotP, nullptr) ||
            !ReadFile(y.get(), q.data(), static_cast<DWORD>(q.size()), &gotQ, nullptr) ||
            gotP != gotQ || memcmp(p.data(), q.data(), gotP) != 0)
            return false;
        if (gotP == 0) return true;
    }
}

// One line of a list box in another process; empty when it does not answer within 5 s.
std::wstring ListBoxLine(HWND listBox, int index) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(listBox, LB_GETTEXTLEN, index, 0, SMTO_ABORTIFHUNG, 5000, &length) ||
        length == static_cast<DWORD_PTR>(LB_ERR))
        return L"";
    // The figure or the outcome can lengthen the line meanwhile; LB_GETTEXT knows no buffer size.
    std::wstring line(length + 1 + ListBoxLineSlack, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(listBox, LB_GETTEXT, index, reinterpret_cast<LPARAM>(line.data()),
                             SMTO_ABORTIFHUNG, 5000, &copied))
        return L"";
    line.resize(wcslen(line.c_str()));
    return line;
}

// The figure of a copy line that shows how far the copy has got ("....  37%"), or -1 when the
// line is not one.
int CopyPercent(const std::wstring& line, const std::wstring& name) {
    const std::wstring head = Copied(name) + L" ";
    if (line.size() < head.size() + 2 || line.compare(0, head.size(), head) != 0 ||
        line.back() != L'%')
        return -1;
    const std::wstring figure = line.substr(head.size(), line.size() - head.size() - 1);
    if (figure.size() > 3 || !std::all_of(figure.begin(), figure.end(), iswdigit)) return -1;
    return std::stoi(figure);
}

TEST_F(InstallRun, CompleteRunAtLargeFonts) {
    LogPixelsOverride dpi(120);
    DeleteFileW((DesktopFolder() + L"\\Velmora.lnk").c_str());
    Walk w;
    w.target = Target();
    w.screenshot = L"dpi120_progress";
    auto lines = RunToTheEnd(w);
    ASSERT_FALSE(HasFatalFailure());

    auto expected = ExpectedLines(true);
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(U8(lines[i]), U8(expected[i])) << i;

    for (const auto& [from, to] : CopiedFiles())
        EXPECT_EQ(ReadBytes(distDir->Path() + from), ReadBytes(Target(to))) << U8(to);
    EXPECT_FALSE(PathExists(Target(L"msvcp71.Dll")));
    EXPECT_FALSE(PathExists(Target(L"btooth.ini")));
    // The stream copies carry the source's time, to the even second below.
    ULARGE_INTEGER src, dst;
    FILETIME s = WriteTime(distDir->Path() + L"Firebird\\gbak.exe"),
             d = WriteTime(Target(L"gbak.exe"));
    src.LowPart = s.dwLowDateTime, src.HighPart = s.dwHighDateTime;
    dst.LowPart = d.dwLowDateTime, dst.HighPart = d.dwHighDateTime;
    EXPECT_LE(dst.QuadPart, src.QuadPart);
    EXPECT_LT(src.QuadPart - dst.QuadPart, 20000000u);
    EXPECT_EQ(dst.QuadPart % 20000000u, 0u);

    const std::wstring ini = Target(L"Settings\\holter.ini");
    EXPECT_EQ(IniValue(ini, L"options", L"FilterType"), "0");
    EXPECT_EQ(IniValue(ini, L"options", L"HardwareType"), "1");
    std::string lastnum = ReadBytes(Target(L"Settings\\lastnum.dta"));
    ASSERT_EQ(lastnum.size(), 14u);
    EXPECT_EQ(lastnum.substr(0, 6), std::string(6, '\0'));
    double days = 0;
    memcpy(&days, lastnum.data() + 6, 8);
    SYSTEMTIME now;
    GetLocalTime(&now);
    double today = 0;
    SystemTimeToVariantTime(&now, &today);
    EXPECT_NEAR(days, today, 1.0 / 24) << "the local date and time of the run";

    for (int i = 0; i < TestFontCount; ++i) {
        EXPECT_EQ(ReadBytes(WindowsFontsFolder() + kFontFiles[i]),
                  ReadBytes(distDir->Path() + L"fonts\\" + kFontFiles[i]));
        EXPECT_EQ(FontValue(i), std::optional<std::wstring>(kFontFiles[i])) << i;
    }

    // The driver installer ran hidden, from the target's copy, in the installer's folder.
    std::string driverLog = ReadBytes(Target(L"FTDIDriverInstall\\driver-install.log"));
    EXPECT_NE(driverLog.find("show=0"), std::string::npos) << driverLog;
    EXPECT_NE(
        driverLog.find("cwd=" + U8(distDir->Path().substr(0, distDir->Path().size() - 1)) + "\r\n"),
        std::string::npos)
        << driverLog;
    EXPECT_NE(driverLog.find(U8(Target(L"FTDIDriverInstall\\FTDIDriverInstall.exe"))),
              std::string::npos)
        << driverLog;

    // Only the newest release package's script ran, in its own folder.
    for (const auto& p : ReleasePackages) {
        std::wstring marker = Target(L"backup\\" + p + L"\\release-installed.txt");
        EXPECT_EQ(PathExists(marker), p == NewestReleasePackage) << U8(p);
    }
    EXPECT_NE(ReadBytes(Target(L"backup\\") + NewestReleasePackage + L"\\release-installed.txt")
                  .find(U8(Target(L"backup\\") + NewestReleasePackage)),
              std::string::npos);
    EXPECT_FALSE(PathExists(Target(L"backup\\WithOutAnswer\\release-installed.txt")));
    std::string info = ReadBytes(Target(L"ReleaseInfo"));
    EXPECT_NE(info.find("<Level>2.5.1_010124</Level>"), std::string::npos) << info;
    EXPECT_NE(info.find("<Version>1</Version>"), std::string::npos) << info;
    EXPECT_FALSE(GetFileAttributesW(Target(L"ReleaseInfo").c_str()) & FILE_ATTRIBUTE_READONLY);

    auto link = ReadLink(DesktopFolder() + L"\\Velmora.lnk");
    ASSERT_TRUE(link.has_value()) << "no desktop link";
    EXPECT_EQ(U8(link->path), U8(Target(L"Orvanta.exe")));
    EXPECT_EQ(U8(link->workingFolder), U8(Target()));
    EXPECT_EQ(U8(link->description),
              U8(L"Комплекс суточного мониторирования электрокардиограмм \"Velmora\""));
    EXPECT_EQ(link->arguments, L"");

    EXPECT_EQ(SplitLines(ReadAnsi(distDir->Path() + L"TestHolter.log")).size(), 1u);
}

TEST_F(InstallRun, SmallFontsEndOnTheLargeFontPage) {
    LogPixelsOverride dpi(96);
    Walk w;
    w.target = Target();
    w.driverTicked = false;
    StartInstallation(w);
    ASSERT_FALSE(HasFatalFailure());
    HWND change = WaitForControl(main, L"Изменить настройки", L"Button", 120000);
    ASSERT_NE(change, nullptr) << "the large-font page did not appear";
    SaveScreenshot(main, L"dpi96_largefont");
    EXPECT_EQ(app->WaitForMessageBox(500), nullptr) << "no closing question at small fonts";
    EXPECT_EQ(Lines().size(), ExpectedLines(false).size());
    ASSERT_TRUE(Click(FindControl(main, L"Выход", L"Button")));
    EXPECT_TRUE(app->WaitForExit());
}

// Why Windows would refuse to start a program, as the system words it.
std::wstring StartFailure(const std::wstring& program) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, nullptr, &si, &pi))
        return SysErrorMessage(GetLastError());
    TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return L"<it starts>";
}

TEST_F(InstallRun, DriverStepFollowsTheBoxAndTheAnswer) {
    LogPixelsOverride dpi(120);
    enum class Installer { Distributed, Missing, NotAProgram };
    struct Case {
        const char* name;
        bool ticked, yes;
        Installer installer;
        bool linesExpected;
    } cases[] = {{"not ticked", false, true, Installer::Distributed, false},
                 {"answered No", true, false, Installer::Distributed, false},
                 {"no driver folder", true, true, Installer::Missing, true},
                 {"installer cannot start", true, true, Installer::NotAProgram, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NewDistribution();
        Walk w;
        w.target = Target();
        w.driverTicked = c.ticked;
        w.driverYes = c.yes;
        if (c.installer == Installer::Missing) w.distribution.Omit.insert(L"FTDIDriverInstall");
        if (c.installer == Installer::NotAProgram) {
            WriteBytes(distDir->Path() + L"FTDIDriverInstall\\FTDIDriverInstall.exe",
                       "not a program");
            w.distribution.Omit.insert(L"FTDIDriverInstall\\FTDIDriverInstall.exe");
        }
        RemoveSuiteFonts();
        auto lines = RunToTheEnd(w);
        ASSERT_FALSE(HasFatalFailure());
        const std::wstring notDone = L"Установка драйверов устройства не выполнена: ";
        bool started = false, ended = false;
        for (const auto& l : lines) {
            started |= l == L"Началась установка драйверов устройства...";
            ended |= l == L"Установка драйверов устройства завершена" || l.rfind(notDone, 0) == 0;
        }
        EXPECT_EQ(started, c.linesExpected);
        EXPECT_EQ(ended, c.linesExpected);
        if (c.linesExpected && !lines.empty()) {
            // Nothing ran, so nothing is reported as done: the line says why.
            const std::wstring reason =
                StartFailure(w.target + L"FTDIDriverInstall\\FTDIDriverInstall.exe");
            EXPECT_EQ(U8(lines.back()), U8(notDone + reason));
        }
        EXPECT_FALSE(PathExists(w.target + L"FTDIDriverInstall\\driver-install.log"));
        EXPECT_TRUE(PathExists(w.target + L"ReleaseInfo")) << "the run went on to the end";
    }
}

TEST_F(InstallRun, ASecondRunKeepsTheDatabaseTheCounterAndOtherSettings) {
    LogPixelsOverride dpi(120);
    Walk w;
    w.target = Target();
    w.driverTicked = false;
    RunToTheEnd(w);
    ASSERT_FALSE(HasFatalFailure());

    // The clinic has worked with the installation meanwhile.
    const std::wstring ini = Target(L"Settings\\holter.ini");
    WritePrivateProfileStringW(L"options", L"FilterType", L"5", ini.c_str());
    WritePrivateProfileStringW(L"options", L"LanguageSetting", L"ENG", ini.c_str());
    WritePrivateProfileStringW(L"printer", L"Margins", L"12", ini.c_str());
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, ini.c_str());
    const std::string patients = "patient records that must survive";
    WriteBytes(Target(L"DTAfb\\T27.FDB"), patients);
    const std::string counter = ReadBytes(Target(L"Settings\\lastnum.dta"));

    app.reset();
    auto lines = RunToTheEnd(w);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], L"Создание настроечных файлов....Завершено");
    EXPECT_EQ(lines[1], Copied(L"T27.FDB") + L"Пропущено: база данных уже существует")
        << "an existing DTAfb gets no line of its own";
    EXPECT_EQ(ReadBytes(Target(L"DTAfb\\T27.FDB")), patients);
    EXPECT_EQ(ReadBytes(Target(L"Settings\\lastnum.dta")), counter);
    EXPECT_EQ(IniValue(ini, L"options", L"FilterType"), "0");
    EXPECT_EQ(IniValue(ini, L"options", L"HardwareType"), "1");
    EXPECT_EQ(IniValue(ini, L"options", L"LanguageSetting"), "ENG");
    EXPECT_EQ(IniValue(ini, L"printer", L"Margins"), "12");
}

// An empty T27.FDB holds no records (an interrupted copy leaves one): it is replaced.
TEST_F(InstallRun, AnEmptyDatabaseIsReplacedByTheDistributedOne) {
    LogPixelsOverride dpi(120);
    WriteBytes(Target(L"DTAfb\\T27.FDB"), "");
    Walk w;
    w.target = Target();
    w.driverTicked = false;
    auto lines = RunToTheEnd(w);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(U8(lines[1]), U8(Copied(L"T27.FDB") + L"Завершено"));
    EXPECT_TRUE(ReadBytes(Target(L"DTAfb\\T27.FDB")) ==
                ReadBytes(distDir->Path() + L"DTAfb\\T27.FDB"));
}

// A database whose presence cannot be told (a share with a transient error) is never copied
// over: the run stops there with an error box naming the file and the system's reason.
TEST_F(InstallRun, ADatabaseWhosePresenceCannotBeToldStopsTheRunUntouched) {
    LogPixelsOverride dpi(120);
    MakeDirs(Target(L"DTAfb"));
    const std::wstring database = Target(L"DTAfb\\T27.FDB");
    UnresolvableName unresolvable(database);
    ASSERT_TRUE(unresolvable.Made());
    const std::wstring reason = SysErrorMessage(ProbePath(database).Error);
    Walk w;
    w.target = Target();
    w.driverTicked = false;
    StartInstallation(w);
    ASSERT_FALSE(HasFatalFailure());
    HWND box = app->WaitForMessageBox(60000);
    ASSERT_NE(box, nullptr);
    MessageBoxInfo info = ReadMessageBox(box);
    EXPECT_NE(info.text.find(database), std::wstring::npos) << U8(info.text);
    EXPECT_NE(info.text.find(reason), std::wstring::npos) << U8(info.text);
    EXPECT_TRUE(AnswerMessageBox(box, IDOK));
    auto lines = Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(U8(lines.back()), U8(Copied(L"T27.FDB") + L"ОШИБКА!!!"));
    EXPECT_EQ(static_cast<int>(ProbePath(database).State), static_cast<int>(TPathState::Unknown))
        << "the name was replaced";
    EXPECT_FALSE(PathExists(Target(L"aliases.conf"))) << "the run went on";
    HWND exit = FindControl(main, L"Выход", L"Button");
    ASSERT_NE(exit, nullptr);
    EXPECT_FALSE(IsWindowEnabled(exit));
    PressCloseBox(main);
    EXPECT_TRUE(app->WaitForExit()) << "the busy state was not left";
}

// Installed from a CD, whose files are all read-only: nothing the run puts into the target
// may keep that bit, or the next installation from a newer CD could not replace it.
TEST_F(InstallRun, AnInstallationFromReadOnlyMediaLeavesNothingReadOnly) {
    LogPixelsOverride dpi(120);
    Walk w;
    w.target = Target();
    w.readOnlyMedia = true;
    RunToTheEnd(w);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(GetFileAttributesW((distDir->Path() + L"Updater\\Updater.exe").c_str()) &
                FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(PathExists(Target(L"FTDIDriverInstall\\ftdibus.inf")));
    std::vector<std::string> readOnly;
    int files = 0;
    ForEachFileBelow(ExcludeTrailingPathDelimiter(Target()),
                     [&](const std::wstring& file, DWORD attributes) {
                         ++files;
                         if (attributes & FILE_ATTRIBUTE_READONLY) readOnly.push_back(U8(file));
                     });
    EXPECT_GT(files, 30);
    EXPECT_EQ(readOnly, std::vector<std::string>{});
}

TEST_F(InstallRun, AMissingRuntimeFileEndsTheRunWithAnErrorBox) {
    Walk w;
    w.target = Target();
    w.distribution.Omit.insert(L"Firebird\\ib_util.Dll");
    StartInstallation(w);
    ASSERT_FALSE(HasFatalFailure());
    HWND box = app->WaitForMessageBox(60000);
    ASSERT_NE(box, nullptr);
    MessageBoxInfo info = ReadMessageBox(box);
    EXPECT_NE(info.text.find(L"ib_util.Dll"), std::wstring::npos) << U8(info.text);
    EXPECT_TRUE(info.hasOk);
    EXPECT_TRUE(AnswerMessageBox(box, IDOK));
    auto lines = Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.back(), Copied(L"ib_util.Dll")) << "the failed file's line has no outcome";
    EXPECT_EQ(lines[lines.size() - 2], Copied(L"fbclient.Dll") + L"Завершено");
    EXPECT_FALSE(PathExists(Target(L"icudt30.Dll")));
    HWND exit = FindControl(main, L"Выход", L"Button");
    ASSERT_NE(exit, nullptr);
    EXPECT_FALSE(IsWindowEnabled(exit));
    EXPECT_EQ(app->WaitForMessageBox(500), nullptr);
    PressCloseBox(main);
    EXPECT_TRUE(app->WaitForExit()) << "the busy state was not left";
}

TEST_F(InstallRun, ASuiteLibraryThatFillsTheDiskFailsAndTheNextIsStillCopied) {
    wchar_t small[8] = L"";
    if (!GetEnvironmentVariableW(L"VELMORA_TEST_SMALL_DISK", small, 8))
        GTEST_SKIP() << "no small disk (VELMORA_TEST_SMALL_DISK) in this run";
    LogPixelsOverride dpi(120);
    RemoveTree(std::wstring(small) + L"Velmora");
    Walk w;
    w.target = std::wstring(small) + L"Velmora\\";
    w.driverTicked = false;
    w.distribution.DatabaseBytes = 4096;
    // A library larger than the whole disk: its copy fails once the disk is full.
    WriteBytes(distDir->Path() + L"UDF\\Lumex.Dll", std::string(2 << 20, 'L'));
    w.distribution.Omit.insert(L"UDF\\Lumex.Dll");
    auto lines = RunToTheEnd(w);
    RemoveTree(std::wstring(small) + L"Velmora");
    ASSERT_FALSE(HasFatalFailure());
    auto at = std::find(lines.begin(), lines.end(), Copied(L"Lumex.Dll") + L"ОШИБКА!!!");
    ASSERT_NE(at, lines.end());
    ASSERT_NE(at + 1, lines.end());
    EXPECT_EQ(*(at + 1), Copied(L"Quindal.Dll") + L"Завершено");
}

TEST_F(InstallRun, ATargetWithBlanksAndCyrillicLetters) {
    LogPixelsOverride dpi(120);
    const std::wstring target = L"C:\\Program Files\\Велмора тест\\";
    RemoveTree(target);
    Walk w;
    w.target = target;
    auto lines = RunToTheEnd(w);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(lines.size(), ExpectedLines(true).size());
    EXPECT_EQ(ReadBytes(distDir->Path() + L"Firebird\\gds32.dll"),
              ReadBytes(target + L"gds32.dll"));
    EXPECT_TRUE(PathExists(target + L"FTDIDriverInstall\\driver-install.log"));
    EXPECT_TRUE(
        PathExists(target + L"backup\\" + NewestReleasePackage + L"\\release-installed.txt"));
    auto link = ReadLink(DesktopFolder() + L"\\Velmora.lnk");
    ASSERT_TRUE(link.has_value());
    EXPECT_EQ(U8(link->path), U8(target + L"Orvanta.exe"));
    RemoveTree(target);
}

// Also a target typed relative to the installer's folder, which the whole run, the updater
// hand-over and the link included, must take as that folder.
TEST_F(InstallRun, TheAlternativeBrandIntoARelativeFolder) {
    LogPixelsOverride dpi(120);
    DeleteFileW((DesktopFolder() + L"\\Sorvel.lnk").c_str());
    Walk w;
    w.target = L"Holter";
    w.driverTicked = false;
    w.installer = WinePathFromUnix(VELMORA_INSTALL_SORVEL_EXE);
    RunToTheEnd(w);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(IniValue(Target(L"btooth.ini"), L"Common", L"Disk"), "I");
    EXPECT_NE(ReadBytes(Target(L"ReleaseInfo")).find("<Level>2.5.1_010124</Level>"),
              std::string::npos);
    auto link = ReadLink(DesktopFolder() + L"\\Sorvel.lnk");
    ASSERT_TRUE(link.has_value()) << "no desktop link named after the brand";
    EXPECT_EQ(U8(link->path), U8(Target(L"Orvanta.exe")));
    DeleteFileW((DesktopFolder() + L"\\Sorvel.lnk").c_str());
}

TEST_F(InstallRun, ACloseRequestWhileBusyIsRefused) {
    LogPixelsOverride dpi(120);
    Walk w;
    w.target = Target();
    w.driverTicked = false;
    w.distribution.DatabaseBytes = 48ull << 20;
    StartInstallation(w);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitFor(
        [&] {
            auto l = Lines();
            // With or without its outcome yet: either way the copying has begun.
            return std::any_of(l.begin(), l.end(), [](const std::wstring& t) {
                return t.rfind(Copied(L"T27.FDB"), 0) == 0;
            });
        },
        60000))
        << "the database line did not appear";
    PressCloseBox(main);
    MessageBoxInfo info;
    HWND box = WaitForBox(w, kExitQuestion, info);
    EXPECT_EQ(U8(info.text), U8(kExitQuestion)) << "the run went on to its end";
    if (box) {
        EXPECT_TRUE(AnswerMessageBox(box, IDYES));
    }
    EXPECT_TRUE(app->WaitForExit());
    EXPECT_EQ(ReadBytes(Target(L"DTAfb\\T27.FDB")).size(), 48ull << 20);
}

// A close request that comes in after the press but before the busy state is refused like one
// during it: granted, it would leave the rest of the run to work on a window that is gone.
TEST_F(InstallRun, ACloseRequestRightAfterTheStartIsRefusedAndTheRunGoesOn) {
    LogPixelsOverride dpi(120);
    Walk w;
    w.target = Target();
    w.driverTicked = false;
    w.closeRightAfterStart = true;
    std::vector<std::wstring> lines = RunToTheEnd(w);
    EXPECT_EQ(lines.size(), ExpectedLines(false).size());
    EXPECT_EQ(ReadBytes(Target(L"DTAfb\\T27.FDB")).size(), 256u * 1024);
}

// What Windows hears when it asks whether the session may end: no while the run is under way,
// its busy state included; yes before and after it, and the end of the session then ends the
// program as its close box would.
TEST_F(InstallRun, TheSessionMayEndOnlyOutsideTheRun) {
    LogPixelsOverride dpi(120);
    auto sessionMayEnd = [&] {
        DWORD_PTR answer = 0;
        EXPECT_TRUE(SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                        SMTO_ABORTIFHUNG, 10000, &answer));
        return answer != 0;
    };
    auto closeIsRefused = [&] {
        PostMessageW(main, WM_CLOSE, 0, 0); // as the taskbar entry's "Close window"
        return !WaitFor([&] { return !IsWindow(main); }, 1000);
    };
    auto endSession = [&] {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000,
                            &ignored);
        DWORD code = 1;
        EXPECT_TRUE(app->WaitForExit(DefaultTimeoutMs, &code)) << "the session end left it running";
        EXPECT_EQ(code, 0u);
    };

    // A file where the database folder should be: the run stops with an error box inside its
    // busy state.
    Walk busy;
    busy.target = Target();
    busy.driverTicked = false;
    MakeDirs(Target());
    WriteBytes(Target(L"DTAfb"), "not a folder");
    {
        app = std::make_unique<InstallerProcess>(distDir->Path());
        main = app->WaitForMainWindow();
        ASSERT_NE(main, nullptr);
        EXPECT_TRUE(sessionMayEnd()) << "on the welcome page";
        app.reset();
    }
    StartInstallation(busy);
    ASSERT_FALSE(HasFatalFailure());
    HWND box = app->WaitForMessageBox(60000);
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(U8(ReadMessageBox(box).text), U8(L"Ошибка при создании каталога <DTAfb>!"));
    EXPECT_FALSE(sessionMayEnd()) << "in the busy state";
    EXPECT_TRUE(closeIsRefused()) << "in the busy state";
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    EXPECT_TRUE(WaitFor([&] { return sessionMayEnd(); })) << "after a run that stopped";
    endSession();

    // After the busy state the run still goes on, through the driver question and the closing
    // question.
    NewDistribution();
    Walk rest;
    rest.target = Target();
    StartInstallation(rest);
    ASSERT_FALSE(HasFatalFailure());
    for (const wchar_t* question : {kDriverQuestion, kExitQuestion}) {
        SCOPED_TRACE(U8(question));
        MessageBoxInfo info;
        box = WaitForBox(rest, question, info);
        ASSERT_NE(box, nullptr);
        ASSERT_EQ(U8(info.text), U8(question));
        EXPECT_FALSE(sessionMayEnd());
        EXPECT_TRUE(closeIsRefused());
        ASSERT_TRUE(AnswerMessageBox(box, IDNO));
    }
    EXPECT_TRUE(WaitFor([&] { return sessionMayEnd(); })) << "after the run";
    endSession();
}

// A database this large takes seconds to copy here, long enough to watch the copy from outside.
constexpr uint64_t kLongCopyBytes = 2048ull << 20;

// A run whose database copy takes seconds, with no question on the way.
Walk LongCopyWalk(const std::wstring& target) {
    Walk w;
    w.target = target;
    w.driverTicked = false;
    w.distribution.DatabaseBytes = kLongCopyBytes;
    return w;
}

// While a copy of seconds runs, the window answers every time it is asked, refuses to close, keeps
// its buttons, and the copy's line shows a growing figure; the run ends as any other does.
TEST_F(InstallRun, ALongCopyKeepsTheWindowAnsweringAndShowsHowFarItHasGot) {
    LogPixelsOverride dpi(120);
    Walk w = LongCopyWalk(Target());
    StartInstallation(w);
    ASSERT_FALSE(HasFatalFailure());
    HWND exit = FindControl(main, L"Выход", L"Button");
    ASSERT_NE(exit, nullptr);
    ASSERT_TRUE(WaitFor([&] { return !CopyLine(L"T27.FDB").empty(); }, 60000))
        << "the database line did not appear";

    // Only that line is read while polling: every message to the installer waits for its next
    // turn at its messages, and the whole list would take many turns.
    auto all = Lines();
    const auto index = std::find_if(all.begin(), all.end(),
                                    [](auto& l) { return l.rfind(Copied(L"T27.FDB"), 0) == 0; }) -
                       all.begin();
    ASSERT_LT(index, static_cast<std::ptrdiff_t>(all.size()));
    int polls = 0, unanswered = 0;
    std::vector<int> figures;
    bool closePressed = false;
    std::wstring line;
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 120000;) {
        DWORD_PTR result = 0;
        ++polls;
        if (!SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 500, &result)) ++unanswered;
        line = ListBoxLine(logList, static_cast<int>(index));
        if (line != Copied(L"T27.FDB")) {
            const int figure = CopyPercent(line, L"T27.FDB");
            if (figure < 0) break; // the outcome, or the run has gone on
            if (figures.empty() || figures.back() != figure) figures.push_back(figure);
            EXPECT_FALSE(IsWindowEnabled(exit)) << "the exit button is enabled during the copy";
            if (!closePressed) PressCloseBox(main);
            closePressed = true;
        }
        Sleep(20);
    }
    EXPECT_EQ(unanswered, 0) << "of " << polls << " polls during the copy";
    EXPECT_TRUE(closePressed) << "no figure was seen on the line: " << U8(line);
    ASSERT_GE(figures.size(), 2u) << "the figure did not grow";
    EXPECT_TRUE(std::is_sorted(figures.begin(), figures.end()));
    EXPECT_LE(figures.back(), 100);

    MessageBoxInfo info;
    HWND box = WaitForBox(w, kExitQuestion, info);
    EXPECT_EQ(U8(info.text), U8(kExitQuestion)) << "the close request ended the run";
    auto lines = Lines();
    auto expected = ExpectedLines(false);
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(U8(lines[i]), U8(expected[i])) << i;
    EXPECT_TRUE(SameBytes(distDir->Path() + L"DTAfb\\T27.FDB", Target(L"DTAfb\\T27.FDB")));
    if (box) {
        EXPECT_TRUE(AnswerMessageBox(box, IDYES));
    }
    EXPECT_TRUE(app->WaitForExit());
}

// The installer ended halfway through the database (as a user ends a window that seems hung):
// nothing carries the database's name, and the next run copies the database as on a new
// workstation, removing what the interrupted one left.
TEST_F(InstallRun, AnInterruptedDatabaseCopyLeavesNothingAndTheNextRunInstallsIt) {
    LogPixelsOverride dpi(120);
    Walk w = LongCopyWalk(Target());
    StartInstallation(w);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitFor([&] { return CopyPercent(CopyLine(L"T27.FDB"), L"T27.FDB") >= 0; }, 60000))
        << "the database copy was not seen under way";
    const DWORD pid = app->Id();
    app.reset(); // ends the process at once

    EXPECT_FALSE(PathExists(Target(L"DTAfb\\T27.FDB")));
    auto left = NamesIn(Target(L"DTAfb"));
    EXPECT_EQ(left, std::vector<std::wstring>{L"T27.FDB.~" + std::to_wstring(pid) + L".tmp"})
        << "the temporary copy is all that is left";

    w.layOut = false;
    auto lines = RunToTheEnd(w);
    ASSERT_FALSE(HasFatalFailure());
    auto at = std::find_if(lines.begin(), lines.end(), [](const std::wstring& l) {
        return l.rfind(Copied(L"T27.FDB"), 0) == 0;
    });
    ASSERT_NE(at, lines.end());
    EXPECT_EQ(U8(*at), U8(Copied(L"T27.FDB") + L"Завершено"));
    EXPECT_TRUE(SameBytes(distDir->Path() + L"DTAfb\\T27.FDB", Target(L"DTAfb\\T27.FDB")));
    EXPECT_EQ(NamesIn(Target(L"DTAfb")), std::vector<std::wstring>{L"T27.FDB"});
}

// Something else takes the database's name while the copy runs (here a folder, which no file
// can replace): the error box names the file, the line loses its figure and gets no outcome,
// and the temporary copy goes.
TEST_F(InstallRun, ANameTakenDuringALongCopyEndsTheRunWithItsLineWithoutOutcome) {
    Walk w = LongCopyWalk(Target());
    StartInstallation(w);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitFor([&] { return CopyPercent(CopyLine(L"T27.FDB"), L"T27.FDB") >= 0; }, 60000))
        << "the database copy was not seen under way";
    ASSERT_TRUE(CreateDirectoryW(Target(L"DTAfb\\T27.FDB").c_str(), nullptr));

    HWND box = app->WaitForMessageBox(120000);
    ASSERT_NE(box, nullptr);
    MessageBoxInfo info = ReadMessageBox(box);
    EXPECT_NE(info.text.find(Target(L"DTAfb\\T27.FDB")), std::wstring::npos) << U8(info.text);
    EXPECT_EQ(U8(LastLine()), U8(Copied(L"T27.FDB")));
    EXPECT_TRUE(AnswerMessageBox(box, IDOK));
    EXPECT_EQ(NamesIn(Target(L"DTAfb")), std::vector<std::wstring>{L"T27.FDB"});
    EXPECT_TRUE(DirectoryExists(Target(L"DTAfb\\T27.FDB")));
    PressCloseBox(main);
    EXPECT_TRUE(app->WaitForExit()) << "the busy state was not left";
}

} // namespace
