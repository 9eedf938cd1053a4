#pragma once
// The checks a target folder passes before anything is created in it, for the path page and
// for the unattended mode alike.
#include <string>

enum class TTargetCheck {
    Accepted,
    Empty, // nothing given
    Root,  // the folder that would be used is a drive's (or a share's) root
};

// Trims `typed`, makes it absolute against the current folder (the distribution folder) and
// gives it a trailing "\"; `resolved` receives that folder, which is the one to check and use.
TTargetCheck CheckTargetFolder(const std::wstring& typed, std::wstring& resolved);

// What the path page says about a refused folder.
extern const wchar_t TargetEmptyText[];
extern const wchar_t TargetRootText[];

// Creates the accepted target and its "Settings" subfolder, one level each, as the path page
// does before the run. Returns ERROR_SUCCESS when the target is there afterwards, otherwise the
// system's reason why it could not be created (a missing Settings folder is left for the run).
unsigned long CreateTargetFolders(const std::wstring& target);
