#include "common/WinUtil.h"
#include "common/Errors.h"

#include <algorithm>
#include <vector>

std::wstring SysErrorMessage(unsigned long code) {
    wchar_t* buf = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
    std::wstring text = n ? std::wstring(buf, n) : L"error " + std::to_wstring(code);
    if (buf) LocalFree(buf);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    return text;
}

namespace {
std::string Narrow(UINT cp, const std::wstring& s) {
    if (s.empty()) return {};
    int n = WideCharToMultiByte(cp, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(cp, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}
std::wstring Widen(UINT cp, const std::string& s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}
} // namespace

std::string ToAnsi(const std::wstring& s) {
    return Narrow(CP_ACP, s);
}
std::wstring FromAnsi(const std::string& s) {
    return Widen(CP_ACP, s);
}
std::string ToUtf8(const std::wstring& s) {
    return Narrow(CP_UTF8, s);
}
std::wstring FromUtf8(const std::string& s) {
    return Widen(CP_UTF8, s);
}

std::wstring ModuleFileName(HMODULE module) {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(module, buf.data(), static_cast<DWORD>(buf.size()));
        if (n < buf.size()) return std::wstring(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

std::wstring ExtractFilePath(const std::wstring& path) {
    size_t pos = path.find_last_of(L"\\/:");
    return pos == std::wstring::npos ? std::wstring() : path.substr(0, pos + 1);
}

std::wstring ExtractFileName(const std::wstring& path) {
    size_t pos = path.find_last_of(L"\\/:");
    return pos == std::wstring::npos ? path : path.substr(pos + 1);
}

std::wstring IncludeTrailingPathDelimiter(const std::wstring& path) {
    if (!path.empty() && path.back() == L'\\') return path;
    return path + L'\\';
}

std::wstring ExcludeTrailingPathDelimiter(const std::wstring& path) {
    if (!path.empty() && path.back() == L'\\') return path.substr(0, path.size() - 1);
    return path;
}

bool FileExists(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

TPathProbe ProbePath(const std::wstring& path) {
    TPathProbe probe;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        probe.Error = GetLastError();
        if (probe.Error == ERROR_FILE_NOT_FOUND || probe.Error == ERROR_PATH_NOT_FOUND)
            probe.State = TPathState::Absent;
        return probe;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        probe.State = TPathState::Folder;
    } else {
        probe.State = TPathState::File;
        probe.Size = (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return probe;
}

std::wstring GetCurrentDir() {
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    std::wstring s(n, L'\0');
    n = GetCurrentDirectoryW(n, s.data());
    s.resize(n);
    return s;
}

std::wstring FullPathName(const std::wstring& path) {
    DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
    if (n == 0 || n >= full.size()) return path;
    full.resize(n);
    return full;
}

std::wstring Trim(const std::wstring& s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] <= L' ')
        ++b;
    while (e > b && s[e - 1] <= L' ')
        --e;
    return s.substr(b, e - b);
}

std::wstring UpperCaseLocale(const std::wstring& s) {
    if (s.empty()) return s;
    int n = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_UPPERCASE, s.data(), static_cast<int>(s.size()),
                         nullptr, 0);
    std::wstring out(n, L'\0');
    LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_UPPERCASE, s.data(), static_cast<int>(s.size()),
                 out.data(), n);
    return out;
}

bool SameTextLocale(const std::wstring& a, const std::wstring& b) {
    return UpperCaseLocale(a) == UpperCaseLocale(b);
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
    UniqueHandle f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.valid()) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(f.get(), &size)) return false;
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
        if (!ReadFile(f.get(), bytes.data() + done, want, &got, nullptr)) return false;
        if (got == 0) break;
        done += got;
    }
    bytes.resize(done);
    return true;
}

DWORD WriteFileReplacing(const std::wstring& path, const std::string& bytes, bool flush) {
    std::wstring temp = path + L".new";
    {
        UniqueHandle f(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!f.valid()) return GetLastError();
        DWORD written = 0;
        if (!WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr) ||
            written != bytes.size() || (flush && !FlushFileBuffers(f.get()))) {
            DWORD err = GetLastError();
            f.reset();
            DeleteFileW(temp.c_str());
            return err ? err : ERROR_WRITE_FAULT;
        }
    }
    if (!MoveFileExW(temp.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | (flush ? MOVEFILE_WRITE_THROUGH : 0))) {
        DWORD err = GetLastError();
        DeleteFileW(temp.c_str());
        return err;
    }
    return 0;
}

// The installer runs from folders full of other DLLs (the distribution, a downloads folder).
void RestrictDllSearchPath() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
}
