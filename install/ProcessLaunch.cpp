#include "install/ProcessLaunch.h"

#include "common/Errors.h"
#include "common/WinUtil.h"

#include <shellapi.h>

#include <vector>

namespace {

// CreateProcessW refuses longer command lines (the terminating zero included).
constexpr std::size_t kMaxCommandLine = 32767;

std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

// The folder part of a program path: "C:\X\a.cmd" gives "C:\X", "C:\a.cmd" keeps the root
// "C:\", "C:a.cmd" gives "C:".
std::wstring FolderOfProgram(const std::wstring& path) {
    std::size_t last = path.find_last_of(L"\\:");
    if (last == std::wstring::npos) return {};
    if (path[last] == L'\\' && last > 0 && path[last - 1] != L'\\' && path[last - 1] != L':')
        return path.substr(0, last);
    return path.substr(0, last + 1);
}

struct StartedProcess {
    UniqueHandle process;
    UniqueHandle thread;
};

// Starts commandLine with a new console and the given show command; false, with the reason in
// GetLastError, when Windows refuses.
bool StartProcess(const std::wstring& commandLine, const std::wstring& folder, WORD showCommand,
                  StartedProcess& started) {
    if (commandLine.size() >= kMaxCommandLine) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    // CreateProcessW may write into its command line, so it gets a copy of its own.
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showCommand;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info))
        return false;
    started.process.reset(info.hProcess);
    started.thread.reset(info.hThread);
    return true;
}

DWORD ExitCodeOf(HANDLE process) {
    DWORD code = 0;
    if (!GetExitCodeProcess(process, &code))
        throw EInstallError(L"Не удалось узнать код завершения процесса: " +
                            SysErrorMessage(GetLastError()));
    return code;
}

} // namespace

int RunInFolderAndWait(const std::wstring& ProgramPath, const std::wstring& Parameters,
                       WORD ShowCommand) {
    StartedProcess started;
    if (!StartProcess(Quoted(ProgramPath) + L" " + Parameters, FolderOfProgram(ProgramPath),
                      ShowCommand, started))
        throw EInstallError(L"Не смог создать процесс: " + ProgramPath);
    DWORD waited;
    while ((waited = WaitForSingleObject(started.process.get(), 100)) == WAIT_TIMEOUT) {
    }
    if (waited > 0xFFFF)
        throw EInstallError(L"Ошибка ожидания процесса " + ProgramPath + L": " +
                            SysErrorMessage(GetLastError()));
    return static_cast<int>(ExitCodeOf(started.process.get()));
}

const TProgramStarter& SystemProgramStarter() {
    static const TProgramStarter starter{
        [](const std::wstring& commandLine, WORD showCommand, UniqueHandle& process) -> DWORD {
            StartedProcess started;
            if (!StartProcess(commandLine, L"", showCommand, started)) return GetLastError();
            process = std::move(started.process);
            return 0;
        },
        [](const std::wstring& program, const std::wstring& parameters, WORD showCommand,
           UniqueHandle& process) -> DWORD {
            const std::wstring folder = GetCurrentDir();
            SHELLEXECUTEINFOW info{};
            info.cbSize = sizeof info;
            info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
            info.lpVerb = L"runas";
            info.lpFile = program.c_str();
            info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
            info.lpDirectory = folder.c_str();
            info.nShow = showCommand;
            if (!ShellExecuteExW(&info)) return GetLastError();
            process.reset(info.hProcess);
            return 0;
        }};
    return starter;
}

int RunProgram(const std::wstring& CommandLine, WORD ShowCommand, bool Wait, DWORD* StartError) {
    return RunProgram(SystemProgramStarter(), CommandLine, ShowCommand, Wait, StartError);
}

int RunProgram(const TProgramStarter& Starter, const std::wstring& CommandLine, WORD ShowCommand,
               bool Wait, DWORD* StartError) {
    // A caller that already quoted the path keeps its own quoting.
    const bool quoted = !CommandLine.empty() && CommandLine.front() == L'"';
    UniqueHandle process;
    DWORD error =
        Starter.AsInvoker(quoted ? CommandLine : Quoted(CommandLine), ShowCommand, process);
    if (error == ERROR_ELEVATION_REQUIRED) {
        std::wstring program = CommandLine, parameters;
        if (quoted) {
            std::size_t close = CommandLine.find(L'"', 1);
            program = CommandLine.substr(1, close == std::wstring::npos ? close : close - 1);
            if (close != std::wstring::npos) parameters = Trim(CommandLine.substr(close + 1));
        }
        error = Starter.Elevated(program, parameters, ShowCommand, process);
    }
    if (StartError) *StartError = error;
    if (error) return -1;
    if (!Wait || !process.valid()) return 0;
    if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    if (!GetExitCodeProcess(process.get(), &code)) return -1;
    return static_cast<int>(code);
}
