#include "install/ProcessLaunch.h"

#include "common/Errors.h"
#include "common/WinUtil.h"

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

// Starts commandLine with a new console and the given show command; false when Windows refuses.
bool StartProcess(const std::wstring& commandLine, const std::wstring& folder, WORD showCommand,
                  StartedProcess& started) {
    if (commandLine.size() >= kMaxCommandLine) return false;
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

int RunProgram(const std::wstring& CommandLine, WORD ShowCommand, bool Wait) {
    // A caller that already quoted the path keeps its own quoting.
    std::wstring commandLine =
        !CommandLine.empty() && CommandLine.front() == L'"' ? CommandLine : Quoted(CommandLine);
    StartedProcess started;
    if (!StartProcess(commandLine, L"", ShowCommand, started)) return -1;
    if (!Wait) return 0;
    if (WaitForSingleObject(started.process.get(), INFINITE) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    if (!GetExitCodeProcess(started.process.get(), &code)) return -1;
    return static_cast<int>(code);
}
