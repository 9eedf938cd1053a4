#pragma once
// The installation run: settings, database, database-server runtime, fonts, driver, updater
// hand-over, desktop shortcut, in this order, each step reported as a progress line. It knows
// nothing of windows: it talks to its surroundings only through TInstallHost, which the wizard's
// main window implements for a person at the screen and the unattended mode for nobody.
#include <string>

// What the run needs from its surroundings.
class TInstallHost {
public:
    virtual ~TInstallHost() = default;

    // The run begins: an empty progress list is shown.
    virtual void BeginProgress() = 0;
    // Adds a line at the end of the progress list.
    virtual void AddProgressLine(const std::wstring& text) = 0;
    // Replaces the line added last (its outcome appended, or how far a long step has got).
    virtual void ReplaceLastProgressLine(const std::wstring& text) = 0;
    // Lets pending window messages run, so that the new line shows and the window answers.
    virtual void ProcessMessages() = 0;
    // A yes/no question; true for Yes.
    virtual bool Ask(const std::wstring& question) = 0;
    // An error that stops the run, before the line that repeats it is added.
    virtual void ReportError(const std::wstring& text) = 0;
    // The busy state: closing refused, the busy pointer shown.
    virtual void SetBusy(bool busy) = 0;
    // Everything is installed. `smallFonts`: the screen runs below 100 pixels per inch.
    virtual void Finish(bool smallFonts) = 0;
};

// The run's inputs, taken once at its start.
struct TInstallInputs {
    // The target folder as the user gave it; made absolute (against the current folder, the
    // distribution folder) and given a trailing "\" by the run.
    std::wstring Target;
    // The distribution folder, with a trailing "\".
    std::wstring Source;
    bool InstallDriver = true;
    // The database-server runtime set: 0 for the newer systems, anything else the older one.
    int RuntimeSet = 0;
    // The alternative brand writes btooth.ini.
    bool SorvelBrand = false;
    // No shell window or question of the system's own may appear (the driver folder's copy).
    bool Silent = false;
};

enum class TInstallOutcome {
    Installed, // every step done, the host's Finish called
    Stopped,   // a step failed and the run ended there, as its last progress line says
};

// Runs the whole installation. Errors that end the run (a file that cannot be opened or
// created, the updater hand-over) are not caught here: they propagate to the caller after the
// busy state has been left.
TInstallOutcome RunInstallSequence(const TInstallInputs& inputs, TInstallHost& host);

// Whether `productName` names the alternative brand, by the user's locale's upper case.
bool IsSorvelBrandName(const std::wstring& productName);

// The folder of the running executable, with a trailing "\": the distribution folder.
std::wstring DistributionFolder();
