#include "install/FileOperations.h"

#include "common/Errors.h"
#include "common/WinUtil.h"

#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <string_view>

// Measured with bench/copy under Wine: 64 KiB chunks lose a quarter of the throughput, 1 MiB is
// as fast as 4 MiB, and 8 MiB is no faster.
const std::size_t CopyFileStreamChunkSize = 1 << 20;

namespace {

// Entries the folder enumeration skips, as Explorer hides them from a user too.
constexpr DWORD kHiddenOrSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

bool IsDirectory(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Calls visit(entry) for every entry matching pattern except "." and "..".
template <class Visit> void ForEachEntry(const std::wstring& pattern, Visit visit) {
    WIN32_FIND_DATAW entry;
    UniqueFindHandle find(FindFirstFileW(pattern.c_str(), &entry));
    if (!find.valid()) return;
    do {
        if (!IsDotEntry(entry.cFileName)) visit(entry);
    } while (FindNextFileW(find.get(), &entry));
}

// What the shell copied from a CD keeps the medium's read-only bit, which would stop the next
// installation from replacing it; every file below folder loses it.
void ClearReadOnlyInTree(const std::wstring& folder) {
    ForEachEntry(folder + L"\\*", [&](const WIN32_FIND_DATAW& entry) {
        const std::wstring path = folder + L"\\" + entry.cFileName;
        if (IsDirectory(entry))
            ClearReadOnlyInTree(path);
        else if (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(path.c_str(), entry.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
    });
}

// Creates folder and every missing parent; failures are left for the caller's next step to meet.
void ForceDirectories(const std::wstring& folder) {
    std::wstring path = ExcludeTrailingPathDelimiter(folder);
    if (path.empty() || DirectoryExists(path)) return;
    std::wstring parent = ExtractFilePath(path);
    if (!parent.empty() && parent.size() < path.size()) ForceDirectories(parent);
    CreateDirectoryW(path.c_str(), nullptr);
}

[[noreturn]] void RaiseFileError(const wchar_t* what, const std::wstring& path, DWORD error) {
    throw EInstallError(std::wstring(what) + L" \"" + path + L"\": " + SysErrorMessage(error));
}

UniqueHandle OpenSourceExclusive(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) RaiseFileError(L"Не удалось открыть файл", path, GetLastError());
    return file;
}

// Holds the destination exclusively until the new copy replaces it, so that a destination in
// use by another program, in a missing folder or read-only is refused before any byte moves.
// A destination that does not exist yet is reserved by an empty placeholder, which the caller
// removes again when the copy does not complete (`created` tells it so).
UniqueHandle ReserveDestination(const std::wstring& path, bool& created) {
    created = false;
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid() && GetLastError() == ERROR_FILE_NOT_FOUND) {
        file.reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        created = file.valid();
    }
    if (!file.valid()) RaiseFileError(L"Не удалось создать файл", path, GetLastError());
    return file;
}

std::wstring TempNameBeside(const std::wstring& path) {
    return path + L".~" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
}

bool IsDiskFull(DWORD error) {
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

// Copies exactly `size` bytes; a short read counts as a failed transfer.
bool TransferBytes(HANDLE from, HANDLE to, ULONGLONG size, std::size_t chunkSize) {
    const DWORD chunk = static_cast<DWORD>(std::clamp<std::size_t>(chunkSize, 4096, 1u << 30));
    std::unique_ptr<char[]> buffer(new char[chunk]);
    for (ULONGLONG left = size; left > 0;) {
        DWORD want = static_cast<DWORD>(std::min<ULONGLONG>(left, chunk));
        DWORD got = 0, written = 0;
        if (!ReadFile(from, buffer.get(), want, &got, nullptr) || got != want) return false;
        if (!WriteFile(to, buffer.get(), got, &written, nullptr) || written != got) return false;
        left -= got;
    }
    return FlushFileBuffers(to) != FALSE;
}

// The last-write time the suite's other programs expect: the source's local time in the 2-second
// DOS form, converted back.
void StampLikeSource(HANDLE source, HANDLE target) {
    FILETIME utc, local;
    WORD dosDate, dosTime;
    if (!GetFileTime(source, nullptr, nullptr, &utc) || !FileTimeToLocalFileTime(&utc, &local) ||
        !FileTimeToDosDateTime(&local, &dosDate, &dosTime) ||
        !DosDateTimeToFileTime(dosDate, dosTime, &local) || !LocalFileTimeToFileTime(&local, &utc))
        return;
    SetFileTime(target, nullptr, nullptr, &utc);
}

} // namespace

void CreateFolderIfMissing(const std::wstring& Folder) {
    if (DirectoryExists(Folder)) return;
    CreateDirectoryW(Folder.c_str(), nullptr);
}

void ListSubfolders(const std::wstring& Folder, std::vector<std::wstring>& List) {
    ForEachEntry(Folder + L"*", [&](const WIN32_FIND_DATAW& entry) {
        if (!IsDirectory(entry) || (entry.dwFileAttributes & kHiddenOrSystem)) return;
        if (std::wstring_view(entry.cFileName) == L"WithOutAnswer") return;
        List.push_back(Folder + entry.cFileName);
    });
}

void CopyFolderTree(const std::wstring& Source, const std::wstring& Destination) {
    ForceDirectories(Destination);
    const std::wstring from = IncludeTrailingPathDelimiter(Source);
    const std::wstring to = IncludeTrailingPathDelimiter(Destination);
    ForEachEntry(from + L"*.*", [&](const WIN32_FIND_DATAW& entry) {
        if (IsDirectory(entry)) return;
        const std::wstring copy = to + entry.cFileName;
        if (CopyFileW((from + entry.cFileName).c_str(), copy.c_str(), FALSE) &&
            (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY))
            SetReadOnlyAttribute(copy, false);
    });
    ForEachEntry(from + L"*.*", [&](const WIN32_FIND_DATAW& entry) {
        if (!IsDirectory(entry) || (entry.dwFileAttributes & kHiddenOrSystem)) return;
        CopyFolderTree(from + entry.cFileName, to + entry.cFileName);
    });
}

bool CopyFileStream(const std::wstring& SourceFile, const std::wstring& DestinationFile) {
    return CopyFileStream(SourceFile, DestinationFile, CopyFileStreamChunkSize);
}

bool CopyFileStream(const std::wstring& SourceFile, const std::wstring& DestinationFile,
                    std::size_t ChunkSize) {
    UniqueHandle source = OpenSourceExclusive(SourceFile);
    bool placeholder = false;
    UniqueHandle reserved = ReserveDestination(DestinationFile, placeholder);
    // The placeholder is replaced by the complete copy (a plain file, not one deleted on close:
    // a name pending deletion, held by a virus scanner say, could not take the copy's place).
    auto dropPlaceholder = [&] {
        reserved.reset();
        if (placeholder) DeleteFileW(DestinationFile.c_str());
    };

    const std::wstring tempName = TempNameBeside(DestinationFile);
    UniqueHandle temp(CreateFileW(tempName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!temp.valid()) {
        DWORD error = GetLastError();
        dropPlaceholder();
        if (IsDiskFull(error)) return false;
        RaiseFileError(L"Не удалось создать файл", DestinationFile, error);
    }

    LARGE_INTEGER size;
    bool copied = GetFileSizeEx(source.get(), &size) &&
                  TransferBytes(source.get(), temp.get(), size.QuadPart, ChunkSize);
    if (copied) StampLikeSource(source.get(), temp.get());
    temp.reset();
    if (!copied) {
        DeleteFileW(tempName.c_str());
        dropPlaceholder();
        return false;
    }

    reserved.reset();
    if (!MoveFileExW(tempName.c_str(), DestinationFile.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DWORD error = GetLastError();
        DeleteFileW(tempName.c_str());
        dropPlaceholder();
        RaiseFileError(L"Не удалось заменить файл", DestinationFile, error);
    }
    return true;
}

void SetReadOnlyAttribute(const std::wstring& FileName, bool ReadOnly) {
    DWORD attributes = GetFileAttributesW(FileName.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (ReadOnly)
        attributes |= FILE_ATTRIBUTE_READONLY;
    else
        attributes &= ~FILE_ATTRIBUTE_READONLY;
    SetFileAttributesW(FileName.c_str(), attributes);
}

bool ShellCopyFolder(const std::wstring& Source, const std::wstring& Destination, bool Silent) {
    // The shell reads lists of paths, each list ended by a second zero.
    std::wstring from = ExcludeTrailingPathDelimiter(Source) + L'\0';
    std::wstring to = ExcludeTrailingPathDelimiter(Destination) + L'\0';
    SHFILEOPSTRUCTW operation{};
    operation.hwnd = nullptr;
    operation.wFunc = FO_COPY;
    operation.pFrom = from.c_str();
    operation.pTo = to.c_str();
    operation.fFlags = FOF_FILESONLY;
    if (Silent)
        operation.fFlags |= FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
    // A copy the user cancelled halfway can come back as 0 with the aborted flag set.
    bool copied = SHFileOperationW(&operation) == 0 && !operation.fAnyOperationsAborted;
    // Also after a partial copy: whatever arrived must be replaceable by the next installation.
    ClearReadOnlyInTree(ExcludeTrailingPathDelimiter(Destination));
    return copied;
}
