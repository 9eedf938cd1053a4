#pragma once
// The unattended installation (Install.exe /S): the wizard's run with no window at all, the
// questions answered from the command line, the progress lines written to the /LOG= file.
#include "app/CommandLine.h"

// Exit codes of an unattended run.
enum TUnattendedExitCode : int {
    ecInstalled = 0,
    ecFailed = 1,  // the run started and failed; the progress file's last line says why
    ecRefused = 2, // nothing was installed: bad command line, target refused or not creatable
};

// Runs the installation as the command line asks and returns its exit code. Never throws.
int RunUnattended(const TCommandLine& commandLine);
