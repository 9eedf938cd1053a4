// The unattended installation through the real Install.exe: Install.exe /S with the switches a
// deployment script passes, watched from outside for windows, its exit code and its progress
// file, then the installed folder checked as after a run through the wizard.
#include "E2eDriver.h"
#include "InstallExpectations.h"
#include "support/Distribution.h"
#include "support/TestFonts.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace e2e;

namespace {

const wchar_t kInstalled[] = L"Установка завершена.";
const wchar_t kFailed[] = L"Установка не завершена: ";
const wchar_t kRefused[] = L"Установка не начата: ";
const wchar_t kLargeFontsAdvice[] =
    L"В настройках системы выбран \"мелкий\" размер шрифта: для корректной работы программы "
    L"\"Velmora\" рекомендуется установить \"крупный\".";

bool StartsWith(const std::wstring& s, const std::wstring& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// The progress file's lines; fails the test unless it is UTF-8 with a byte-order mark and every
// line ends in CR LF.
std::vector<std::wstring> ProgressLines(const std::wstring& file) {
    std::string bytes;
    try {
        bytes = ReadBytes(file);
    } catch (const std::exception&) {
        ADD_FAILURE() << "no progress file " << U8(file);
        return {};
    }
    EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF") << "no byte-order mark";
    bytes.erase(0, 3);
    for (size_t i = bytes.find('\n'); i != std::string::npos; i = bytes.find('\n', i + 1))
        EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "a line without CR LF at " << i;
    EXPECT_TRUE(bytes.size() >= 2 && bytes.substr(bytes.size() - 2) == "\r\n");
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                static_cast<int>(bytes.size()), nullptr, 0);
    EXPECT_TRUE(n > 0 || bytes.empty()) << "not UTF-8";
    std::wstring text(static_cast<size_t>(std::max(n, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return SplitLines(text);
}

void ExpectLines(const std::vector<std::wstring>& actual,
                 const std::vector<std::wstring>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i)
        EXPECT_EQ(U8(actual[i]), U8(expected[i])) << "line " << i;
}

class Unattended : public ::testing::Test {
protected:
    std::unique_ptr<TempDir> distDir = std::make_unique<TempDir>();
    DistributionOptions distribution;

    void SetUp() override { RemoveSuiteFonts(); }
    void TearDown() override { RemoveSuiteFonts(); }

    std::wstring Dist(const std::wstring& rel = L"") const { return distDir->Path() + rel; }

    // Runs Install.exe with `arguments` to its end; every visible window it shows meanwhile
    // counts in `windowsSeen`. Returns the exit code, or -1 when it did not end in time.
    long Run(const std::wstring& arguments, int* windowsSeen = nullptr) {
        if (!PathExists(Dist(L"DTAfb"))) MakeDistribution(Dist(), distribution);
        InstallerProcess app(Dist(), L"", L"", arguments);
        EXPECT_TRUE(app.Started());
        if (!app.Started()) return -1;
        int seen = 0;
        DWORD code = 0;
        bool ended = false;
        for (DWORD waited = 0; !ended && waited < 180000; waited += 20) {
            seen += static_cast<int>(app.TopWindows().size());
            ended = app.WaitForExit(20, &code);
        }
        if (windowsSeen) *windowsSeen = seen;
        EXPECT_TRUE(ended) << "the unattended run did not end";
        return ended ? static_cast<long>(code) : -1;
    }
};

TEST_F(Unattended, DefaultTargetAtSmallFontsInstallsAllButTheDriverWithoutAWindow) {
    LogPixelsOverride dpi(96);
    const std::wstring target = L"C:\\Holter\\";
    RemoveTree(target);
    DeleteFileW((DesktopFolder() + L"\\Velmora.lnk").c_str());

    int windows = -1;
    EXPECT_EQ(Run(L"/S /LOG=progress.txt", &windows), 0);
    EXPECT_EQ(windows, 0) << "a window appeared during an unattended run";

    auto expected = ExpectedLines(false);
    expected.push_back(kLargeFontsAdvice);
    expected.push_back(kInstalled);
    ExpectLines(ProgressLines(Dist(L"progress.txt")), expected);
    for (const auto& [from, to] : CopiedFiles()) {
        if (StartsWith(from, L"FTDIDriverInstall")) continue;
        EXPECT_EQ(ReadBytes(Dist(from)), ReadBytes(target + to)) << U8(to);
    }
    EXPECT_FALSE(PathExists(target + L"FTDIDriverInstall"));
    EXPECT_EQ(IniValue(target + L"Settings\\holter.ini", L"options", L"HardwareType"), "1");
    EXPECT_TRUE(PathExists(target + L"Settings\\lastnum.dta"));
    EXPECT_NE(ReadBytes(target + L"ReleaseInfo").find("<Level>2.5.1_010124</Level>"),
              std::string::npos);
    auto link = ReadLink(DesktopFolder() + L"\\Velmora.lnk");
    ASSERT_TRUE(link.has_value());
    EXPECT_EQ(U8(link->path), U8(target + L"Orvanta.exe"));
    EXPECT_FALSE(FontValue(0).value_or(L"").empty()) << "the fonts were not registered";
    EXPECT_EQ(SplitLines(ReadAnsi(Dist(L"TestHolter.log"))).size(), 1u)
        << "the suite's log has one entry per run";
    RemoveTree(target);
}

TEST_F(Unattended, TargetsWithBlanksAndCyrillicLettersBothWaysOfGivingThem) {
    LogPixelsOverride dpi(120);
    struct Case {
        const char* name;
        std::wstring folder;
        std::wstring arguments;
        bool driver;
    } cases[] = {
        {"quoted, with the driver", Dist(L"Программы Вельмора\\"),
         L"/S /DRIVER \"/D=" + Dist(L"Программы Вельмора") + L"\" /LOG=p1.txt", true},
        {"unquoted and last, no driver", Dist(L"Комплекс Вельмора 2\\"),
         L"/LOG=p2.txt /s /D=" + Dist(L"Комплекс Вельмора 2") + L"  ", false},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveSuiteFonts();
        EXPECT_EQ(Run(c.arguments), 0);
        auto expected = ExpectedLines(c.driver);
        expected.push_back(kInstalled);
        ExpectLines(ProgressLines(Dist(L"p" + std::to_wstring(++n) + L".txt")), expected);
        EXPECT_EQ(ReadBytes(Dist(L"DTAfb\\T27.FDB")), ReadBytes(c.folder + L"DTAfb\\T27.FDB"));
        EXPECT_EQ(PathExists(c.folder + L"FTDIDriverInstall\\driver-install.log"), c.driver)
            << "the driver installer ran or not as /DRIVER says";
    }
}

TEST_F(Unattended, RefusedCommandLinesInstallNothing) {
    MakeDistribution(Dist(), distribution);
    WriteBytes(Dist(L"a file"), "not a folder");
    struct Case {
        const char* name;
        std::wstring arguments;
        std::wstring reason; // the refusal's line starts with it
        std::wstring mustNotExist;
    } cases[] = {
        {"a drive's root", L"/S /LOG=p.txt /D=C:\\",
         L"Программу нелзя устанавливать в корневой каталог!", L"C:\\Settings"},
        {"a root by another name", L"/S /LOG=p.txt \"/D=C:\\Windows\\..\\.\"",
         L"Программу нелзя устанавливать в корневой каталог!", L"C:\\Settings"},
        {"an empty target", L"/S /LOG=p.txt \"/D=  \"", L"Не выбран путь для установки программы!",
         L"C:\\Holter"},
        {"an unknown switch", L"/S /SILENT /LOG=p.txt",
         L"Неизвестный ключ командной строки: /SILENT", L"C:\\Holter"},
        {"an unclosed quote", L"/S /LOG=p.txt \"/D=C:\\Velmora", L"Незакрытые кавычки",
         L"C:\\Velmora"},
        {"a target that cannot be created", L"/S /LOG=p.txt /D=" + Dist(L"a file\\Holter"),
         L"Ошибка при создании каталога!", Dist(L"a file\\Holter")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(L"C:\\Holter\\");
        DeleteFileW(Dist(L"p.txt").c_str());
        int windows = -1;
        EXPECT_EQ(Run(c.arguments, &windows), 2);
        EXPECT_EQ(windows, 0);
        auto lines = ProgressLines(Dist(L"p.txt"));
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_TRUE(StartsWith(lines[0], kRefused + c.reason)) << U8(lines[0]);
        EXPECT_FALSE(PathExists(c.mustNotExist));
        EXPECT_FALSE(PathExists(L"C:\\DTAfb"));
        EXPECT_FALSE(FontValue(0).has_value()) << "fonts were installed";
    }
}

TEST_F(Unattended, AMissingRuntimeFileFailsWithTheErrorLast) {
    distribution.Omit.insert(L"Firebird\\ib_util.Dll");
    EXPECT_EQ(Run(L"/S /LOG=p.txt \"/D=" + Dist(L"Holter") + L"\""), 1);
    auto lines = ProgressLines(Dist(L"p.txt"));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], Copied(L"fbclient.Dll") + L"Завершено");
    EXPECT_EQ(lines[lines.size() - 2], Copied(L"ib_util.Dll")) << "the failed file has no outcome";
    EXPECT_TRUE(StartsWith(lines.back(), kFailed)) << U8(lines.back());
    EXPECT_NE(lines.back().find(L"ib_util.Dll"), std::wstring::npos) << U8(lines.back());
    EXPECT_FALSE(PathExists(Dist(L"Holter\\icudt30.Dll")));
    EXPECT_FALSE(PathExists(Dist(L"Holter\\ReleaseInfo")));
}

TEST_F(Unattended, ASecondRunKeepsTheDatabase) {
    LogPixelsOverride dpi(120);
    const std::wstring args = L"/S /LOG=p.txt /D=" + Dist(L"Holter");
    ASSERT_EQ(Run(args), 0);
    const std::string patients = "patient records that must survive";
    WriteBytes(Dist(L"Holter\\DTAfb\\T27.FDB"), patients);
    EXPECT_EQ(Run(args), 0);
    EXPECT_EQ(ReadBytes(Dist(L"Holter\\DTAfb\\T27.FDB")), patients);
    auto lines = ProgressLines(Dist(L"p.txt"));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], Copied(L"T27.FDB") + L"Пропущено: база данных уже существует");
    EXPECT_EQ(lines.back(), kInstalled);
}

TEST_F(Unattended, WithoutSilentTheTargetFillsThePathFieldAndHelpShowsTheUsage) {
    MakeDistribution(Dist(), distribution);
    {
        InstallerProcess app(Dist(), L"", L"", L"\"/D=C:\\Program Files\\Вельмора\"");
        HWND main = app.WaitForMainWindow();
        ASSERT_NE(main, nullptr) << "the wizard did not start";
        ASSERT_TRUE(Click(WaitForControl(main, L"Далее", L"Button")));
        ASSERT_NE(WaitForControl(main, L"Выбрать", L"Button"), nullptr);
        HWND path = FindPathField(main);
        ASSERT_NE(path, nullptr);
        EXPECT_EQ(U8(GetText(path)), U8(L"C:\\Program Files\\Вельмора"));
    }
    InstallerProcess help(Dist(), L"", L"", L"/?");
    HWND box = help.WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    MessageBoxInfo info = ReadMessageBox(box);
    EXPECT_NE(info.text.find(L"/S"), std::wstring::npos) << U8(info.text);
    EXPECT_NE(info.text.find(L"/LOG="), std::wstring::npos) << U8(info.text);
    EXPECT_TRUE(AnswerMessageBox(box, IDOK));
    DWORD code = 1;
    EXPECT_TRUE(help.WaitForExit(DefaultTimeoutMs, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(help.WaitForMainWindow(0), nullptr);
}

} // namespace
