#pragma once
// Shell links (".lnk" files) into the current user's shell folders or a given folder.
#include <cstdint>
#include <string>

// Passed as one byte; codes above slFolder are accepted and write nothing.
enum TShortcutLocation : uint8_t {
    slDesktop = 0,
    slQuickLaunch = 1,
    slSendTo = 2,
    slStartMenu = 3,
    slFolder = 4, // the subfolder argument is the complete folder
};

// Writes a link to `target`. An empty `workingFolder` means the target's folder, an empty
// `linkName` the target's file name. `linkPath` receives the path of the link file tried,
// whether or not the shell could write it; it is left as it was when there is no folder for
// `location`. Needs COM on the calling thread; throws EInstallError when the shell-link
// object cannot be created.
void AddShortcut(const std::wstring& target, TShortcutLocation location,
                 const std::wstring& subfolder, const std::wstring& workingFolder,
                 const std::wstring& arguments, const std::wstring& description,
                 const std::wstring& linkName, std::wstring& linkPath);

// The link's file name for a link name (or target path): extension replaced by ".lnk",
// folder part dropped.
std::wstring ShortcutFileName(const std::wstring& linkName);
