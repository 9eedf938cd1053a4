#pragma once
// Small owning types over Win32 handles and the string and path helpers used everywhere.
#include <windows.h>
#include <objbase.h>

#include <string>
#include <utility>

// Owns a kernel handle; treats both NULL and INVALID_HANDLE_VALUE as "none".
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : h_(h) {}
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, nullptr);
        }
        return *this;
    }
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    HANDLE release() { return std::exchange(h_, nullptr); }
    void reset(HANDLE h = nullptr) {
        if (valid()) CloseHandle(h_);
        h_ = h;
    }

private:
    HANDLE h_ = nullptr;
};

class UniqueFindHandle {
public:
    explicit UniqueFindHandle(HANDLE h) : h_(h) {}
    ~UniqueFindHandle() {
        if (valid()) FindClose(h_);
    }
    UniqueFindHandle(const UniqueFindHandle&) = delete;
    UniqueFindHandle& operator=(const UniqueFindHandle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

class UniqueRegKey {
public:
    UniqueRegKey() = default;
    ~UniqueRegKey() {
        if (k_) RegCloseKey(k_);
    }
    UniqueRegKey(const UniqueRegKey&) = delete;
    UniqueRegKey& operator=(const UniqueRegKey&) = delete;
    HKEY get() const { return k_; }
    HKEY* put() {
        if (k_) {
            RegCloseKey(k_);
            k_ = nullptr;
        }
        return &k_;
    }

private:
    HKEY k_ = nullptr;
};

class UniqueModule {
public:
    explicit UniqueModule(HMODULE m) : m_(m) {}
    ~UniqueModule() {
        if (m_) FreeLibrary(m_);
    }
    UniqueModule(const UniqueModule&) = delete;
    UniqueModule& operator=(const UniqueModule&) = delete;
    HMODULE get() const { return m_; }

private:
    HMODULE m_;
};

// A COM interface pointer that releases on every path.
template <class T> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    explicit operator bool() const { return p_ != nullptr; }
    void reset() {
        if (p_) {
            p_->Release();
            p_ = nullptr;
        }
    }

private:
    T* p_ = nullptr;
};

// Balances a successful CoInitialize/CoInitializeEx on the same thread.
class ComInit {
public:
    explicit ComInit(DWORD model = COINIT_APARTMENTTHREADED)
        : ok_(SUCCEEDED(CoInitializeEx(nullptr, model))) {}
    ~ComInit() {
        if (ok_) CoUninitialize();
    }
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;

private:
    bool ok_;
};

class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&cs_); }
    ~CriticalSection() { DeleteCriticalSection(&cs_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Enter() { EnterCriticalSection(&cs_); }
    void Leave() { LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION cs_;
};

class Locked {
public:
    explicit Locked(CriticalSection& cs) : cs_(cs) { cs_.Enter(); }
    ~Locked() { cs_.Leave(); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    CriticalSection& cs_;
};

// Lets only the system folder supply the DLLs the process loads by name from now on, so that a
// DLL planted beside the program or in the current folder is never loaded.
void RestrictDllSearchPath();

// Conversions between UTF-16 and the ANSI code page or UTF-8.
std::string ToAnsi(const std::wstring& s);
std::wstring FromAnsi(const std::string& s);
std::string ToUtf8(const std::wstring& s);
std::wstring FromUtf8(const std::string& s);

// Paths.
std::wstring ModuleFileName(HMODULE module = nullptr);
std::wstring ExtractFilePath(const std::wstring& path); // folder part with its trailing delimiter
std::wstring ExtractFileName(const std::wstring& path);
std::wstring IncludeTrailingPathDelimiter(const std::wstring& path);
std::wstring ExcludeTrailingPathDelimiter(const std::wstring& path);
bool FileExists(const std::wstring& path);      // an existing file, not a folder
bool DirectoryExists(const std::wstring& path); // an existing folder

// What a path names, for a decision to create or replace something. Only "file not found" and
// "path not found" mean Absent; any other failure to look (access denied, a share with a
// transient error, a name the system cannot resolve) is Unknown, never taken for absent.
enum class TPathState { Absent, File, Folder, Unknown };
struct TPathProbe {
    TPathState State = TPathState::Unknown;
    DWORD Error = 0;    // the Win32 error of a failed look
    ULONGLONG Size = 0; // the size in bytes of a File
};
TPathProbe ProbePath(const std::wstring& path);
std::wstring GetCurrentDir();
// The absolute form of a path, resolved against the current folder; the path itself when it
// cannot be resolved.
std::wstring FullPathName(const std::wstring& path);

// Text.
std::wstring Trim(const std::wstring& s); // drops control characters and blanks at both ends
std::wstring UpperCaseLocale(const std::wstring& s); // upper case by the user's locale
bool SameTextLocale(const std::wstring& a, const std::wstring& b);

// Whole-file access for small files; ReadFileBytes returns false when the file cannot be read.
bool ReadFileBytes(const std::wstring& path, std::string& bytes);
// Writes bytes to a file beside `path` and moves it over `path`, so that a failure never leaves
// a truncated file. With `flush`, the data is on disk before it replaces the old file; without
// it, a crash soon after the write may lose the new content (never leaving a mixture). Returns
// the Win32 error code, or 0 on success.
DWORD WriteFileReplacing(const std::wstring& path, const std::string& bytes, bool flush = true);
