#pragma once
// Starting another program and waiting for it. Both launchers put the program path in double
// quotes, so a path with blanks (C:\Program Files\...) can never start another program such as
// C:\Program.exe, and build the command line at its full length.
#include "common/WinUtil.h"

#include <windows.h>

#include <functional>
#include <string>

// "The requested operation requires elevation"; older SDK headers lack it.
#ifndef ERROR_ELEVATION_REQUIRED
#define ERROR_ELEVATION_REQUIRED 740L
#endif

// Runs ProgramPath with Parameters (command line: "ProgramPath" + blank + Parameters) in the
// folder of ProgramPath, and waits for it to end without letting window messages run.
// ShowCommand is the SW_ value for the program's first window (0 = hidden).
// Returns the program's exit code. Throws EInstallError "Не смог создать процесс: " + ProgramPath
// when the program cannot be started, and EInstallError when the wait fails.
int RunInFolderAndWait(const std::wstring& ProgramPath, const std::wstring& Parameters,
                       WORD ShowCommand);

// The two ways RunProgram starts a program. Each returns 0 with `process` set (it may stay empty
// when Windows gives no handle), or the Win32 error of the failed start. Tests put in starters
// that fail on purpose.
struct TProgramStarter {
    // CreateProcessW with the installer's own rights, in its current folder.
    std::function<DWORD(const std::wstring& commandLine, WORD showCommand, UniqueHandle& process)>
        AsInvoker;
    // The shell's verb "runas", in the installer's current folder: Windows asks for the user's
    // consent (or an administrator's password) before the program starts.
    std::function<DWORD(const std::wstring& program, const std::wstring& parameters,
                        WORD showCommand, UniqueHandle& process)>
        Elevated;
};
// The starters of the real system.
const TProgramStarter& SystemProgramStarter();

// Runs the program whose path is CommandLine, in the installer's current folder. With Wait it
// blocks until the program ends and returns its exit code; without it returns 0 at once.
// A program that requires administrator rights (its manifest, or Windows' installer detection)
// is started again through the shell with elevation, which shows Windows' consent prompt.
// Returns -1, silently, when the program cannot be started; StartError, when given, receives
// why (the Win32 error, ERROR_CANCELLED when the user declined the prompt), or 0 once started.
int RunProgram(const std::wstring& CommandLine, WORD ShowCommand, bool Wait,
               DWORD* StartError = nullptr);
int RunProgram(const TProgramStarter& Starter, const std::wstring& CommandLine, WORD ShowCommand,
               bool Wait, DWORD* StartError = nullptr);
