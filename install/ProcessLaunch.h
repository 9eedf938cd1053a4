#pragma once
// Starting another program and waiting for it. Both launchers put the program path in double
// quotes, so a path with blanks (C:\Program Files\...) can never start another program such as
// C:\Program.exe, and build the command line at its full length.
#include <windows.h>

#include <string>

// Runs ProgramPath with Parameters (command line: "ProgramPath" + blank + Parameters) in the
// folder of ProgramPath, and waits for it to end without letting window messages run.
// ShowCommand is the SW_ value for the program's first window (0 = hidden).
// Returns the program's exit code. Throws EInstallError "Не смог создать процесс: " + ProgramPath
// when the program cannot be started, and EInstallError when the wait fails.
int RunInFolderAndWait(const std::wstring& ProgramPath, const std::wstring& Parameters,
                       WORD ShowCommand);

// Runs the program whose path is CommandLine, in the installer's current folder. With Wait it
// blocks until the program ends and returns its exit code; without it returns 0 at once.
// Returns -1, silently, when the program cannot be started.
int RunProgram(const std::wstring& CommandLine, WORD ShowCommand, bool Wait);
