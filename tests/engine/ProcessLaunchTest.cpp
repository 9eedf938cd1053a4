#include "EngineTestSupport.h"

#include "common/Errors.h"
#include "common/WinUtil.h"
#include "install/ProcessLaunch.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Runs RunInFolderAndWait expecting EInstallError; returns its message.
std::wstring StartErrorMessage(const std::wstring& program) {
    try {
        RunInFolderAndWait(program, L"", SW_HIDE);
    } catch (const EInstallError& e) {
        return e.Message;
    }
    ADD_FAILURE() << "no error raised starting " << U8(program);
    return L"";
}

// A folder whose path has blanks and Cyrillic letters, with the probe copied into it.
struct ProbeInAwkwardFolder {
    SpawnDir dir;
    std::wstring folder = dir / L"Velmora Тест\\папка с пробелами";
    std::wstring program = folder + L"\\FTDIDriverInstall.exe";
    ProbeInAwkwardFolder() {
        MakeDirs(folder);
        if (!CopyFileW(ProbeExe().c_str(), program.c_str(), FALSE)) ADD_FAILURE() << "no probe";
    }
};

} // namespace

TEST(RunInFolderAndWait, QuotesPathKeepsTrailingBlankRunsInProgramFolderReturnsExitCode) {
    ProbeInAwkwardFolder probe;
    ProbeOutput out(probe.dir / L"probe.txt");
    EXPECT_EQ(RunInFolderAndWait(probe.program, L"", SW_HIDE), 3);
    ASSERT_TRUE(out.Written());
    EXPECT_EQ(out.CommandLine(), L"\"" + probe.program + L"\" ");
    EXPECT_EQ(out.CurrentFolder(), probe.folder);
}

TEST(RunInFolderAndWait, PassesParametersAfterTheBlank) {
    ProbeInAwkwardFolder probe;
    ProbeOutput out(probe.dir / L"probe.txt");
    EXPECT_EQ(RunInFolderAndWait(probe.program, L"/S /D=x", SW_HIDE), 3);
    EXPECT_EQ(out.CommandLine(), L"\"" + probe.program + L"\" /S /D=x");
}

TEST(RunInFolderAndWait, ScriptInFolderWithBlanksNeverStartsProgramExe) {
    CurrentDirGuard cwd;
    DecoyProgramExe decoy;
    TempDir dir;
    ProbeOutput decoyRan(dir / L"decoy.txt");
    const std::wstring folder = L"C:\\Program Files\\Velmora Тест " +
                                std::to_wstring(GetCurrentProcessId()) + L"\\R2.5_010124";
    struct Cleanup {
        std::wstring folder;
        ~Cleanup() { RemoveTreeWhenFree(ExtractFilePath(folder)); }
    } cleanup{folder};
    MakeDirs(folder);
    WriteReleaseScript(folder + L"\\Install.cmd");

    EXPECT_EQ(RunInFolderAndWait(folder + L"\\Install.cmd", L"", SW_HIDE), 3);
    EXPECT_TRUE(PathExists(folder + L"\\ran.txt")) << "the script did not run in its own folder";
    EXPECT_FALSE(decoyRan.Written()) << "C:\\Program.exe was started";
}

TEST(RunInFolderAndWait, ProgramThatCannotStartRaisesNamingIt) {
    TempDir dir;
    const std::wstring missing = dir / L"backup\\R2.5_010124\\Install.cmd";
    EXPECT_EQ(StartErrorMessage(missing), L"Не смог создать процесс: " + missing);

    // Longer than the 32767 characters Windows accepts in a command line.
    const std::wstring tooLong = dir / (std::wstring(33000, L'a') + L".exe");
    EXPECT_EQ(StartErrorMessage(tooLong), L"Не смог создать процесс: " + tooLong);
}

TEST(RunProgram, QuotesPathRunsInCurrentFolderAndReturnsExitCode) {
    ProbeInAwkwardFolder probe;
    CurrentDirGuard cwd;
    ASSERT_TRUE(SetCurrentDirectoryW(probe.dir.Path().c_str()));
    ProbeOutput out(probe.dir / L"probe.txt");
    EXPECT_EQ(RunProgram(probe.program, SW_HIDE, true), 3);
    ASSERT_TRUE(out.Written());
    EXPECT_EQ(out.CommandLine(), L"\"" + probe.program + L"\"");
    EXPECT_EQ(IncludeTrailingPathDelimiter(out.CurrentFolder()), probe.dir.Path());
}

TEST(Launchers, LongCommandLinesAreNotCutShort) {
    SpawnDir dir;
    // A program path just under MAX_PATH: its quoted form no longer fits 255 characters.
    std::wstring folder = dir.Path();
    while (folder.size() < 240)
        folder += std::wstring(std::min<size_t>(60, 240 - folder.size()), L'd') + L"\\";
    MakeDirs(folder);
    const std::wstring program = folder + std::wstring(254 - folder.size(), L'p') + L".exe";
    ASSERT_TRUE(CopyFileW(ProbeExe().c_str(), program.c_str(), FALSE));
    ProbeOutput out(dir / L"probe.txt");

    EXPECT_EQ(RunProgram(program, SW_HIDE, true), 3);
    EXPECT_EQ(out.CommandLine(), L"\"" + program + L"\"");

    const std::wstring parameters = L"/log " + std::wstring(600, L'x');
    EXPECT_EQ(RunInFolderAndWait(program, parameters, SW_HIDE), 3);
    EXPECT_EQ(out.CommandLine(), L"\"" + program + L"\" " + parameters);
}

TEST(RunProgram, ProgramThatCannotStartGivesMinusOne) {
    TempDir dir;
    EXPECT_EQ(RunProgram(dir / L"FTDIDriverInstall\\FTDIDriverInstall.exe", SW_HIDE, true), -1);
    EXPECT_EQ(RunProgram(dir / (std::wstring(33000, L'a') + L".exe"), SW_HIDE, true), -1);
}

// A driver installer that requires administrator rights makes CreateProcessW fail with
// ERROR_ELEVATION_REQUIRED; it is then started through the shell with elevation, hidden, and
// waited for. Wine never asks for elevation, so the starters here fail on purpose and otherwise
// start the probe (exit code 3) for real.
TEST(RunProgram, ElevationRequiredIsRetriedThroughTheShellAndOtherFailuresAreReported) {
    ProbeInAwkwardFolder probe;
    struct Case {
        const char* name;
        DWORD asInvoker; // 0: starts the probe
        DWORD elevated;  // 0: starts the probe
        int result;
        DWORD startError;
        bool elevatedAsked;
    } cases[] = {
        {"starts as the user", 0, ERROR_ACCESS_DENIED, 3, 0, false},
        {"needs elevation, consent given", ERROR_ELEVATION_REQUIRED, 0, 3, 0, true},
        {"needs elevation, declined", ERROR_ELEVATION_REQUIRED, ERROR_CANCELLED, -1,
         ERROR_CANCELLED, true},
        {"missing program", ERROR_FILE_NOT_FOUND, 0, -1, ERROR_FILE_NOT_FOUND, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::wstring> elevatedCalls;
        TProgramStarter starter{
            [&](const std::wstring& commandLine, WORD show, UniqueHandle& process) -> DWORD {
                EXPECT_EQ(commandLine, L"\"" + probe.program + L"\"");
                if (c.asInvoker) return c.asInvoker;
                return SystemProgramStarter().AsInvoker(commandLine, show, process);
            },
            [&](const std::wstring& program, const std::wstring& parameters, WORD show,
                UniqueHandle& process) -> DWORD {
                elevatedCalls.push_back(program + L"|" + parameters + L"|" + std::to_wstring(show));
                if (c.elevated) return c.elevated;
                return SystemProgramStarter().AsInvoker(L"\"" + program + L"\"", show, process);
            }};
        DWORD startError = 12345;
        EXPECT_EQ(RunProgram(starter, probe.program, SW_HIDE, true, &startError), c.result);
        EXPECT_EQ(startError, c.startError);
        if (c.elevatedAsked) {
            EXPECT_EQ(elevatedCalls, std::vector<std::wstring>{probe.program + L"||0"});
        } else {
            EXPECT_TRUE(elevatedCalls.empty());
        }
    }
}

// The shell's start with elevation, as far as Wine shows it: the same program with its
// parameters, in the installer's current folder, waited for with its exit code.
TEST(RunProgram, TheShellStartsTheProgramWithItsParametersInTheCurrentFolder) {
    ProbeInAwkwardFolder probe;
    CurrentDirGuard cwd;
    ASSERT_TRUE(SetCurrentDirectoryW(probe.dir.Path().c_str()));
    ProbeOutput out(probe.dir / L"probe.txt");
    TProgramStarter starter = SystemProgramStarter();
    starter.AsInvoker = [](const std::wstring&, WORD, UniqueHandle&) -> DWORD {
        return ERROR_ELEVATION_REQUIRED;
    };
    DWORD startError = 12345;
    EXPECT_EQ(RunProgram(starter, L"\"" + probe.program + L"\" /quiet", SW_HIDE, true, &startError),
              3);
    EXPECT_EQ(startError, 0u);
    ASSERT_TRUE(out.Written());
    EXPECT_NE(out.CommandLine().find(L"/quiet"), std::wstring::npos) << U8(out.CommandLine());
    EXPECT_EQ(IncludeTrailingPathDelimiter(out.CurrentFolder()), probe.dir.Path());
}
