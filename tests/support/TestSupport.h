#pragma once
// Helpers shared by the tests: a fresh temporary folder per test, small file helpers and
// starting the test's own helper programs.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// A new empty folder under %TEMP%, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // The folder with a trailing "\".
    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + name; }

private:
    std::wstring path_;
};

// Removes a file or a whole folder tree; read-only files included. Missing paths are fine.
void RemoveTree(const std::wstring& path);

// Whole files as bytes. WriteBytes creates missing parent folders.
void WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path); // throws std::runtime_error when unreadable
bool PathExists(const std::wstring& path);
// Names in a folder (files and folders, hidden ones included), sorted.
std::vector<std::wstring> NamesIn(const std::wstring& folder);
// Sets the length of an existing file; growth is a run of zero bytes that the host's file
// system keeps as a hole, so a file of gigabytes costs no disk space. False on failure.
bool SetFileLength(const std::wstring& path, uint64_t bytes);
void MakeDirs(const std::wstring& path);

// Text in the ANSI code page (as the program writes INI and log files).
void WriteAnsi(const std::wstring& path, const std::wstring& text);
std::wstring ReadAnsi(const std::wstring& path);

// Lines of a text file; CR LF, LF or CR end a line.
std::vector<std::wstring> SplitLines(const std::wstring& text);

// The folder of the running test executable, with a trailing "\".
std::wstring TestExeFolder();

// Starts a program with a command line and waits for it; returns its exit code, or -1 when it
// could not be started or did not end within `timeoutMs`.
int RunAndWait(const std::wstring& commandLine, const std::wstring& currentDir = L"",
               DWORD timeoutMs = 120000);

// A name whose existence the system cannot tell, as on a share with a transient error: a
// symbolic link to itself on the host (made with the host's ln, which Wine starts like any
// program), so that every look at it fails with "cannot resolve the name". Removed again when
// the object goes.
class UnresolvableName {
public:
    explicit UnresolvableName(const std::wstring& path);
    ~UnresolvableName();
    UnresolvableName(const UnresolvableName&) = delete;
    UnresolvableName& operator=(const UnresolvableName&) = delete;
    bool Made() const { return made_; }

private:
    std::wstring path_;
    std::wstring hostPath_;
    bool made_ = false;
};

// The current user's desktop folder, as the shell folders in the registry name it.
std::wstring DesktopFolder();

// The screen resolution that processes started from now on see (GetDeviceCaps follows
// HKCU\Control Panel\Desktop\LogPixels for a new process); the earlier value comes back when
// the object goes.
class LogPixelsOverride {
public:
    LogPixelsOverride();
    explicit LogPixelsOverride(DWORD pixelsPerInch) : LogPixelsOverride() { Set(pixelsPerInch); }
    ~LogPixelsOverride();
    LogPixelsOverride(const LogPixelsOverride&) = delete;
    LogPixelsOverride& operator=(const LogPixelsOverride&) = delete;
    void Set(DWORD pixelsPerInch);

private:
    bool had_ = false;
    DWORD saved_ = 0;
};

// UTF-8 for GoogleTest messages.
std::string U8(const std::wstring& s);
