#pragma once
// Fixtures shared by the engine tests.
#include <windows.h>

#include "support/TestSupport.h"

#include <string>
#include <vector>

// Removes a folder tree, retrying for a few seconds while it is still in use: under Wine the
// console host of a program started in a folder can hold that folder a moment after the
// program has ended.
void RemoveTreeWhenFree(const std::wstring& path);

// A temporary folder that programs are started in.
class SpawnDir : public TempDir {
public:
    ~SpawnDir() { RemoveTreeWhenFree(Path()); }
};

// Deterministic bytes that differ from position to position, so a shifted or truncated copy
// cannot compare equal.
std::string PatternBytes(std::size_t size, unsigned seed);

// Restores the process's current folder when it goes.
class CurrentDirGuard {
public:
    CurrentDirGuard();
    ~CurrentDirGuard() { Restore(); }
    void Restore();
    CurrentDirGuard(const CurrentDirGuard&) = delete;
    CurrentDirGuard& operator=(const CurrentDirGuard&) = delete;

private:
    std::wstring saved_;
};

// Sets VELMORA_PROBE_OUT for the probe program started while it lives.
class ProbeOutput {
public:
    explicit ProbeOutput(std::wstring path);
    ~ProbeOutput();
    ProbeOutput(const ProbeOutput&) = delete;
    ProbeOutput& operator=(const ProbeOutput&) = delete;
    bool Written() const;
    std::wstring CommandLine() const;
    std::wstring CurrentFolder() const;

private:
    std::vector<std::wstring> Lines() const;
    std::wstring path_;
};

// The probe program built beside the test executable.
std::wstring ProbeExe();

// A copy of the probe at C:\Program.exe for the time the object lives: what an unquoted
// command line starting with C:\Program Files\... would run.
class DecoyProgramExe {
public:
    DecoyProgramExe();
    ~DecoyProgramExe();
    DecoyProgramExe(const DecoyProgramExe&) = delete;
    DecoyProgramExe& operator=(const DecoyProgramExe&) = delete;
};

// A release script that leaves "ran.txt" in its current folder and ends with exit code 3.
void WriteReleaseScript(const std::wstring& path);

// Last-write time of a file as local time.
SYSTEMTIME LocalWriteTime(const std::wstring& path);
void SetLocalWriteTime(const std::wstring& path, const SYSTEMTIME& local);
