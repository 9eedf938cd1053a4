#include "TestSupport.h"
#include "common/WinUtil.h"

#include <shellapi.h>

#include <algorithm>
#include <stdexcept>

TempDir::TempDir() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        std::wstring p = std::wstring(base) + L"vt" + std::to_wstring(GetCurrentProcessId()) +
                         L"_" + std::to_wstring(GetTickCount()) + L"_" + std::to_wstring(++counter);
        if (CreateDirectoryW(p.c_str(), nullptr)) {
            path_ = p + L"\\";
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error("cannot create a temporary folder");
    }
}

TempDir::~TempDir() {
    RemoveTree(path_);
}

void RemoveTree(const std::wstring& path) {
    std::wstring p = path;
    while (!p.empty() && p.back() == L'\\')
        p.pop_back();
    DWORD a = GetFileAttributesW(p.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesW(p.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
    if (!(a & FILE_ATTRIBUTE_DIRECTORY) || (a & FILE_ATTRIBUTE_REPARSE_POINT)) {
        if (a & FILE_ATTRIBUTE_DIRECTORY)
            RemoveDirectoryW(p.c_str());
        else
            DeleteFileW(p.c_str());
        return;
    }
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((p + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring n = fd.cFileName;
            if (n != L"." && n != L"..") RemoveTree(p + L"\\" + n);
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(p.c_str());
}

void MakeDirs(const std::wstring& path) {
    std::wstring p = path;
    while (!p.empty() && p.back() == L'\\')
        p.pop_back();
    if (p.empty() || PathExists(p)) return;
    size_t slash = p.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 2) MakeDirs(p.substr(0, slash));
    CreateDirectoryW(p.c_str(), nullptr);
}

bool PathExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos) MakeDirs(path.substr(0, slash));
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + U8(path));
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    if (!ok || written != bytes.size()) throw std::runtime_error("cannot write " + U8(path));
}

std::string ReadBytes(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + U8(path));
    std::string out;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0)
        out.append(buf, got);
    CloseHandle(h);
    return out;
}

void WriteAnsi(const std::wstring& path, const std::wstring& text) {
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), s.data(), n, nullptr,
                        nullptr);
    WriteBytes(path, s);
}

std::wstring ReadAnsi(const std::wstring& path) {
    std::string s = ReadBytes(path);
    int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\r' && text[i] != L'\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

std::wstring TestExeFolder() {
    wchar_t buf[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH * 4);
    std::wstring p(buf, n);
    return p.substr(0, p.find_last_of(L'\\') + 1);
}

int RunAndWait(const std::wstring& commandLine, const std::wstring& currentDir, DWORD timeoutMs) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = commandLine;
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        currentDir.empty() ? nullptr : currentDir.c_str(), &si, &pi))
        return -1;
    DWORD wait = WaitForSingleObject(pi.hProcess, timeoutMs);
    DWORD code = static_cast<DWORD>(-1);
    if (wait == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    else
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

bool SetFileLength(const std::wstring& path, uint64_t bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER length;
    length.QuadPart = static_cast<LONGLONG>(bytes);
    bool ok = SetFilePointerEx(file, length, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return ok;
}

namespace {
// The host path of a Windows path, by Wine's own export (its result is on the process heap).
std::wstring HostPath(const std::wstring& path) {
    using UnixNameFn = char*(CDECL*)(const wchar_t*);
    auto unixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* host = unixName ? unixName(path.c_str()) : nullptr;
    if (!host) return L"";
    std::string text = host;
    HeapFree(GetProcessHeap(), 0, host);
    return std::wstring(text.begin(), text.end());
}
} // namespace

UnresolvableName::UnresolvableName(const std::wstring& path)
    : path_(path), hostPath_(HostPath(path)) {
    if (hostPath_.empty()) return;
    const std::wstring name = hostPath_.substr(hostPath_.find_last_of(L'/') + 1);
    // Wine passes on no exit code of a host program and may not wait for it: the link is
    // looked for until it is there.
    RunAndWait(L"Z:\\bin\\ln -s \"" + name + L"\" \"" + hostPath_ + L"\"", L"", 30000);
    for (int i = 0; i < 100 && !made_; ++i) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        made_ = !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
                GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND;
        if (!made_) Sleep(50);
    }
}

UnresolvableName::~UnresolvableName() {
    if (hostPath_.empty()) return;
    RunAndWait(L"Z:\\bin\\rm -f \"" + hostPath_ + L"\"", L"", 30000);
    // Gone before the caller removes the folder that held it (see the constructor).
    for (int i = 0;
         i < 100 && GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES &&
         GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND;
         ++i)
        Sleep(50);
}

std::string U8(const std::wstring& s) {
    if (s.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::wstring DesktopFolder() {
    wchar_t buf[MAX_PATH] = L"";
    DWORD size = sizeof buf;
    RegGetValueW(HKEY_CURRENT_USER,
                 L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                 L"Desktop", RRF_RT_REG_SZ, nullptr, buf, &size);
    return buf;
}

namespace {
const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
} // namespace

LogPixelsOverride::LogPixelsOverride() {
    DWORD size = sizeof saved_;
    had_ = RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", RRF_RT_REG_DWORD, nullptr,
                        &saved_, &size) == ERROR_SUCCESS;
}

LogPixelsOverride::~LogPixelsOverride() {
    if (had_)
        Set(saved_);
    else
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels");
}

void LogPixelsOverride::Set(DWORD pixelsPerInch) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", REG_DWORD, &pixelsPerInch,
                    sizeof pixelsPerInch);
}

std::vector<std::wstring> NamesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((IncludeTrailingPathDelimiter(folder) + L"*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}
