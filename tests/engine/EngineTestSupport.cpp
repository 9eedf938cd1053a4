#include "EngineTestSupport.h"

#include "common/WinUtil.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <stdexcept>

void RemoveTreeWhenFree(const std::wstring& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        RemoveTree(path);
        if (!PathExists(ExcludeTrailingPathDelimiter(path))) return;
        Sleep(50);
    }
}

std::string PatternBytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    unsigned state = seed * 2654435761u + 1;
    for (char& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<char>(state >> 16);
    }
    return bytes;
}

CurrentDirGuard::CurrentDirGuard() : saved_(GetCurrentDir()) {}
void CurrentDirGuard::Restore() {
    SetCurrentDirectoryW(saved_.c_str());
}

ProbeOutput::ProbeOutput(std::wstring path) : path_(std::move(path)) {
    DeleteFileW(path_.c_str());
    SetEnvironmentVariableW(L"VELMORA_PROBE_OUT", path_.c_str());
}
ProbeOutput::~ProbeOutput() {
    SetEnvironmentVariableW(L"VELMORA_PROBE_OUT", nullptr);
    DeleteFileW(path_.c_str());
}
bool ProbeOutput::Written() const {
    return PathExists(path_);
}
std::vector<std::wstring> ProbeOutput::Lines() const {
    return SplitLines(FromUtf8(ReadBytes(path_)));
}
std::wstring ProbeOutput::CommandLine() const {
    auto lines = Lines();
    return lines.empty() ? L"" : lines[0];
}
std::wstring ProbeOutput::CurrentFolder() const {
    auto lines = Lines();
    return lines.size() < 2 ? L"" : lines[1];
}

std::wstring ProbeExe() {
    return TestExeFolder() + L"engine_probe.exe";
}

DecoyProgramExe::DecoyProgramExe() {
    if (!CopyFileW(ProbeExe().c_str(), L"C:\\Program.exe", FALSE))
        throw std::runtime_error("cannot place the decoy C:\\Program.exe");
}
DecoyProgramExe::~DecoyProgramExe() {
    DeleteFileW(L"C:\\Program.exe");
}

void WriteReleaseScript(const std::wstring& path) {
    WriteAnsi(path, L"@echo off\r\necho ran> ran.txt\r\nexit /b 3\r\n");
}

SYSTEMTIME LocalWriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    FILETIME local;
    SYSTEMTIME result{};
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
        FileTimeToLocalFileTime(&data.ftLastWriteTime, &local))
        FileTimeToSystemTime(&local, &result);
    return result;
}

void SetLocalWriteTime(const std::wstring& path, const SYSTEMTIME& local) {
    FILETIME localTime, utc;
    SystemTimeToFileTime(&local, &localTime);
    LocalFileTimeToFileTime(&localTime, &utc);
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + U8(path));
    SetFileTime(h, nullptr, nullptr, &utc);
    CloseHandle(h);
}
