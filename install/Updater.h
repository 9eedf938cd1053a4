#pragma once
// Hand-over of a new installation to the suite's updater: release packages, updater files, the
// newest package's Install.cmd and the release level in the updater's ReleaseInfo file.
#include <string>
#include <vector>

// Copies {Source}backup into {Target}backup and {Source}Updater into {Target}, makes ReleaseInfo
// and Updater.exe.cfg writable, runs Install.cmd of the newest package (hidden, waiting for it)
// and records that package's release level in {Target}ReleaseInfo. Source and Target end with
// "\". Leaves Target as the current folder. Adds nothing to the progress list.
// Throws EInstallError when there is no package, a package name lacks its date, Install.cmd
// cannot be started or ReleaseInfo cannot be updated.
void HandOverToUpdater(const std::wstring& Source, const std::wstring& Target);

// Sets the Level element of {TargetFolder}ReleaseInfo (XML: ROOT with Version and Level) to
// Level; only Version 1 files are accepted. TargetFolder ends with "\".
// Throws EInstallError "Release info file does not exist" when the file is missing, and
// "Cannot get release information, error: " + cause when it cannot be read, has another version,
// lacks ROOT or Level, or cannot be saved; the file is then left as it was.
void UpdateReleaseLevel(const std::wstring& TargetFolder, const std::wstring& Level);

// The date of a package folder as YYMMDD, from the last six characters (DDMMYY) of its path.
// Throws EInstallError naming the folder when they are not six digits.
int DateKey(const std::wstring& PackageFolder);

// The newest of the package folders (full paths) found in BackupFolder: the greatest DateKey;
// among equal keys the first in case-insensitive alphabetical order. "WithOutAnswer" is never
// a package. Throws EInstallError naming BackupFolder when there is no package.
std::wstring ChooseNewestPackage(const std::wstring& BackupFolder,
                                 std::vector<std::wstring> Packages);

// The release level of a package folder: its name without the first character
// ("...\R2.5.1_010124" gives "2.5.1_010124").
std::wstring ReleaseLevelOf(const std::wstring& PackageFolder);
