#pragma once
// The installer's command line, for IT departments that install the suite on many workstations
// from a deployment tool or a login script:
//   Install.exe [/S] [/D=<folder>] [/DRIVER] [/LOG=<file>] [/?]
// Switches are not case-sensitive. A target with blanks is given either as one quoted argument
// ("/D=C:\Program Files\Velmora") or as the last argument, unquoted, which takes the rest of the
// command line (/D=C:\Program Files\Velmora).
#include <optional>
#include <string>

struct TCommandLine {
    bool Silent = false;                // /S: install with no window at all
    bool Driver = false;                // /DRIVER: install the USB driver (unattended only)
    bool Help = false;                  // /?: show the usage
    std::optional<std::wstring> Target; // /D=
    std::wstring LogFile;               // /LOG=: the progress file of an unattended run
    // Why the command line cannot be followed (unknown switch, malformed); empty when it can.
    std::wstring Error;
};

// The arguments of a whole command line as GetCommandLineW gives it: everything after the
// program's name.
std::wstring CommandLineArguments(const std::wstring& commandLine);

// Reads the arguments. Never throws: whatever cannot be understood is described in Error, while
// every switch that could be read is still set (so that /S keeps a refusal silent).
TCommandLine ParseCommandLine(const std::wstring& arguments);

// The text of the usage box.
extern const wchar_t CommandLineUsage[];
