#pragma once
// File and folder routines of the installation engine. They keep no state; each reports trouble
// in the one form its caller relies on (see each declaration).
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// Creates Folder, one level only, unless it already exists as a folder. Failures are silent.
void CreateFolderIfMissing(const std::wstring& Folder);

// Appends to List the full path (Folder + name) of every subfolder of Folder, in the order the
// file system delivers them. Folder must end with "\". Hidden and system subfolders, "." and ".."
// and the one named exactly "WithOutAnswer" are left out. A missing folder appends nothing.
void ListSubfolders(const std::wstring& Folder, std::vector<std::wstring>& List);

// Copies the files of Source (hidden and system files included) into Destination, replacing
// files of the same name, then descends into its subfolders (hidden and system ones skipped).
// The copies are never read-only, also when Source is (a CD), so that a later installation can
// replace them.
// Destination is created with its missing parents. Every failure is silent and the copy goes
// on with the next entry; a missing Source leaves just the (empty) Destination behind.
void CopyFolderTree(const std::wstring& Source, const std::wstring& Destination);

// Reports how far a copy has got: bytes written so far and the source's size.
using CopyProgress = std::function<void(unsigned long long Done, unsigned long long Total)>;

// Copies one file so that DestinationFile ends up either as the complete copy or exactly as it
// was: the bytes go to a temporary file beside it (the only file the copy creates), which is
// flushed to the disk and only then takes the destination's name. Temporary files that an
// interrupted earlier copy left beside DestinationFile are removed.
// The copy carries the source's last-write time, rounded down to an even second.
// Returns false when the transfer fails (read error, disk full).
// Throws EInstallError naming the file when SourceFile cannot be opened or DestinationFile
// cannot be created (missing folder, held open by another program, read-only).
//
// With Progress, Progress is called between the chunks of the transfer: first with 0, then about
// every CopyProgressIntervalMs while the bytes move, and last with the total once the copy is
// complete on the disk, just before it takes the destination's name. Flushes run beside the
// transfer, so that the final one is short. A window's thread can let its messages run there. An
// exception thrown by Progress abandons the copy (the destination stays as it was, the temporary
// file is removed) and passes on.
bool CopyFileStream(const std::wstring& SourceFile, const std::wstring& DestinationFile,
                    const CopyProgress& Progress = {});
// The same with an explicit transfer chunk size, for the copy benchmark.
bool CopyFileStream(const std::wstring& SourceFile, const std::wstring& DestinationFile,
                    std::size_t ChunkSize, const CopyProgress& Progress = {});
// The chunk size the other form uses (chosen with bench/copy).
extern const std::size_t CopyFileStreamChunkSize;
// How often Progress is called while a copy runs.
constexpr unsigned CopyProgressIntervalMs = 50;

// Sets or clears the read-only bit of FileName, keeping its other attributes. Failures, a
// missing file included, are silent.
void SetReadOnlyAttribute(const std::wstring& FileName, bool ReadOnly);

// Copies the folder Source to Destination through the Windows shell, which shows its own
// progress window and questions, unless Silent: then nothing is shown, files of the same name
// are replaced and errors are only reported. Returns true when the shell reports success. The
// files below Destination are left without the read-only bit that a copy from a CD carries.
bool ShellCopyFolder(const std::wstring& Source, const std::wstring& Destination,
                     bool Silent = false);
