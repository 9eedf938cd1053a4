#include "install/FileOperations.h"

#include "common/Errors.h"
#include "common/WinUtil.h"

#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>

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

// Holds an existing destination exclusively until the new copy replaces it, so that one in use
// by another program, read-only or in a missing folder is refused before any byte moves. A
// destination that does not exist yet is not created here: until the copy is complete nothing
// may appear under its name, or an interrupted run would leave an empty file that later runs
// take for the real one. The empty handle stands for "no destination yet".
UniqueHandle HoldExistingDestination(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) RaiseFileError(L"Не удалось создать файл", path, error);
    }
    return file;
}

// The temporary copy's name: the destination's, then ".~", the process id and ".tmp".
std::wstring TempNameBeside(const std::wstring& path) {
    return path + L".~" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
}

bool IsTempNameOf(std::wstring_view name, std::wstring_view destinationName) {
    constexpr std::wstring_view mark = L".~", tail = L".tmp";
    if (name.size() <= destinationName.size() + mark.size() + tail.size()) return false;
    auto same = [](std::wstring_view a, std::wstring_view b) {
        return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                    static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
    };
    std::wstring_view id =
        name.substr(destinationName.size() + mark.size(),
                    name.size() - destinationName.size() - mark.size() - tail.size());
    return same(name.substr(0, destinationName.size()), destinationName) &&
           name.substr(destinationName.size(), mark.size()) == mark &&
           same(name.substr(name.size() - tail.size()), tail) &&
           std::all_of(id.begin(), id.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// Removes the temporary copies that interrupted earlier runs left beside `path`. One that a
// copy running now holds open cannot be deleted and stays.
void RemoveLeftoverTemps(const std::wstring& path) {
    const std::wstring folder = ExtractFilePath(path);
    const std::wstring name = path.substr(folder.size());
    ForEachEntry(path + L".~*.tmp", [&](const WIN32_FIND_DATAW& entry) {
        if (!IsDirectory(entry) && IsTempNameOf(entry.cFileName, name))
            DeleteFileW((folder + entry.cFileName).c_str());
    });
}

// The temporary copy beside the destination; removed again unless it took the destination's
// name. Others may open it, so that a second handle can flush it.
class TTempCopy {
public:
    explicit TTempCopy(std::wstring name)
        : name_(std::move(name)),
          file_(CreateFileW(name_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~TTempCopy() {
        file_.reset();
        if (!placed_) DeleteFileW(name_.c_str());
    }
    TTempCopy(const TTempCopy&) = delete;
    TTempCopy& operator=(const TTempCopy&) = delete;
    bool Created() const { return file_.valid(); }
    HANDLE Handle() const { return file_.get(); }
    const std::wstring& Name() const { return name_; }
    void Close() { file_.reset(); }
    void Placed() { placed_ = true; }

private:
    std::wstring name_;
    UniqueHandle file_;
    bool placed_ = false;
};

bool IsDiskFull(DWORD error) {
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
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

// Bytes written between two flushes that run beside a copy. Starting the disk writes early leaves
// little for the final flush: with bench/copy, one flush at the end cost a 256 MiB copy 40 % of
// its speed, flushes every 16 MiB beside it cost nothing.
constexpr unsigned long long kFlushStep = 16ull << 20;

// Flushes a file that is being written, on a thread of its own, each time another kFlushStep
// bytes have been written. It flushes through a handle of its own, since Windows runs the calls
// on one synchronous handle one after the other and the copy would wait for every flush. The
// copy wakes it through a condition variable rather than an event: under Wine an event is a
// call to the server, which stands still while it flushes a file, so the copy would wait for
// every flush all the same.
class TBackgroundFlush {
public:
    explicit TBackgroundFlush(const std::wstring& path)
        : file_(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {
        if (!file_.valid()) return;
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            // Without the thread the final flush does all the work, as it would anyway.
        }
    }
    ~TBackgroundFlush() { Finish(); }
    TBackgroundFlush(const TBackgroundFlush&) = delete;
    TBackgroundFlush& operator=(const TBackgroundFlush&) = delete;

    void Written(unsigned long long done) {
        if (!thread_.joinable() || done - requested_ < kFlushStep) return;
        requested_ = done;
        Signal(pending_);
    }
    // Waits for a flush under way; false when any flush failed.
    bool Finish() {
        if (thread_.joinable()) {
            Signal(stop_);
            thread_.join();
        }
        return !failed_;
    }

private:
    void Signal(bool& flag) {
        AcquireSRWLockExclusive(&lock_);
        flag = true;
        ReleaseSRWLockExclusive(&lock_);
        WakeConditionVariable(&wake_);
    }
    void Run() {
        for (;;) {
            AcquireSRWLockExclusive(&lock_);
            while (!pending_ && !stop_)
                SleepConditionVariableSRW(&wake_, &lock_, INFINITE, 0);
            const bool stop = stop_;
            pending_ = false;
            ReleaseSRWLockExclusive(&lock_);
            if (stop) return;
            if (!FlushFileBuffers(file_.get())) failed_ = true;
        }
    }

    UniqueHandle file_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE wake_ = CONDITION_VARIABLE_INIT;
    bool pending_ = false; // guarded by lock_
    bool stop_ = false;    // guarded by lock_
    std::atomic<bool> failed_{false};
    unsigned long long requested_ = 0;
    std::thread thread_;
};

// Moves one file's bytes into the temporary copy, stamps it and flushes it, on the calling thread;
// with a progress callback, that thread reports between chunks (a window's thread lets its
// messages run there). A worker thread for the bytes was tried and was slower under Wine: its
// hand-offs go through the server, which stands still while a flush runs.
class TTransfer {
public:
    TTransfer(HANDLE source, const TTempCopy& target, std::size_t chunkSize)
        : source_(source), target_(target),
          chunk_(static_cast<DWORD>(std::clamp<std::size_t>(chunkSize, 4096, 1u << 30))),
          buffer_(new char[chunk_]) {}

    bool Run(const CopyProgress& progress) {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(source_, &size)) return false;
        total_ = static_cast<unsigned long long>(size.QuadPart);
        if (!progress) return Move();
        progress(0, total_);
        if (!Move(&progress)) return false;
        progress(total_, total_);
        return true;
    }

private:
    // Copies exactly the size taken at the start; a short read counts as a failed transfer.
    // An exception thrown by the progress callback passes on, leaving the copy unfinished.
    bool Move(const CopyProgress* progress = nullptr) {
        std::optional<TBackgroundFlush> flush;
        if (total_ > kFlushStep) flush.emplace(target_.Name());
        ULONGLONG reported = GetTickCount64();
        for (unsigned long long done = 0; done < total_;) {
            if (progress && GetTickCount64() - reported >= CopyProgressIntervalMs) {
                (*progress)(done, total_);
                reported = GetTickCount64();
            }
            DWORD want = static_cast<DWORD>(std::min<unsigned long long>(total_ - done, chunk_));
            DWORD got = 0, written = 0;
            if (!ReadFile(source_, buffer_.get(), want, &got, nullptr) || got != want) return false;
            if (!WriteFile(target_.Handle(), buffer_.get(), got, &written, nullptr) ||
                written != got)
                return false;
            done += got;
            if (flush) flush->Written(done);
        }
        if (flush && !flush->Finish()) return false;
        // Stamped after the last write, which would otherwise set the time of now.
        StampLikeSource(source_, target_.Handle());
        return FlushFileBuffers(target_.Handle()) != FALSE;
    }

    HANDLE source_;
    const TTempCopy& target_;
    DWORD chunk_;
    std::unique_ptr<char[]> buffer_;
    unsigned long long total_ = 0;
};

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

bool CopyFileStream(const std::wstring& SourceFile, const std::wstring& DestinationFile,
                    const CopyProgress& Progress) {
    return CopyFileStream(SourceFile, DestinationFile, CopyFileStreamChunkSize, Progress);
}

bool CopyFileStream(const std::wstring& SourceFile, const std::wstring& DestinationFile,
                    std::size_t ChunkSize, const CopyProgress& Progress) {
    UniqueHandle source = OpenSourceExclusive(SourceFile);
    UniqueHandle held = HoldExistingDestination(DestinationFile);
    RemoveLeftoverTemps(DestinationFile);

    TTempCopy temp(TempNameBeside(DestinationFile));
    if (!temp.Created()) {
        DWORD error = GetLastError();
        if (IsDiskFull(error)) return false;
        RaiseFileError(L"Не удалось создать файл", DestinationFile, error);
    }
    bool copied = TTransfer(source.get(), temp, ChunkSize).Run(Progress);
    temp.Close();
    if (!copied) return false;

    // The copy is complete on the disk: only now does anything take the destination's name.
    held.reset();
    if (!MoveFileExW(temp.Name().c_str(), DestinationFile.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        RaiseFileError(L"Не удалось заменить файл", DestinationFile, GetLastError());
    temp.Placed();
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
