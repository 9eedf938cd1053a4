#include "install/TargetFolder.h"
#include "common/WinUtil.h"

#include <shlwapi.h>

const wchar_t TargetEmptyText[] = L"Не выбран путь для установки программы!";
const wchar_t TargetRootText[] = L"Программу нелзя устанавливать в корневой каталог!";

TTargetCheck CheckTargetFolder(const std::wstring& typed, std::wstring& resolved) {
    const std::wstring trimmed = Trim(typed);
    resolved = trimmed;
    if (trimmed.empty()) return TTargetCheck::Empty;
    // "C:\.\" or "..\.." must not pass as a folder when they name a root. The delimiter goes on
    // first, so that "C:" names the drive and not the current folder on it.
    resolved = IncludeTrailingPathDelimiter(FullPathName(IncludeTrailingPathDelimiter(trimmed)));
    if (resolved.length() <= 3 || PathIsRootW(resolved.c_str())) return TTargetCheck::Root;
    return TTargetCheck::Accepted;
}

namespace {

// One level only: a missing parent is left for the installation to report.
void CreateFolderOneLevel(const std::wstring& folder) {
    if (!DirectoryExists(folder))
        CreateDirectoryW(ExcludeTrailingPathDelimiter(folder).c_str(), nullptr);
}

} // namespace

unsigned long CreateTargetFolders(const std::wstring& target) {
    DWORD error = ERROR_SUCCESS;
    if (!DirectoryExists(target) &&
        !CreateDirectoryW(ExcludeTrailingPathDelimiter(target).c_str(), nullptr))
        error = GetLastError();
    CreateFolderOneLevel(target + L"Settings\\");
    return error;
}
