// Copy throughput: one 256 MiB file and a folder of 2,000 small files, copied with
// CopyFileStream (with and without a progress call), with CopyFileW and with CopyFolderTree,
// best of several rounds each.
// Prints MB/s and the ratio to CopyFileW's time side by side.
// Usage: bench_copy [work folder] [--chunks]
//   --chunks also times CopyFileStream on the large file with several chunk sizes.
#include "common/WinUtil.h"
#include "install/FileOperations.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr unsigned long long kLargeSize = 256ull << 20;
constexpr int kSmallCount = 2000;
constexpr std::size_t kSmallSize = 8 << 10;
constexpr int kRounds = 5;
constexpr int kSmallRounds = 3;

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

std::string Pattern(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    unsigned state = seed;
    for (char& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<char>(state >> 16);
    }
    return bytes;
}

bool WriteWhole(const std::wstring& path, const std::string& block, unsigned long long size) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    for (unsigned long long done = 0; done < size;) {
        DWORD part = static_cast<DWORD>(std::min<unsigned long long>(block.size(), size - done));
        DWORD written = 0;
        if (!WriteFile(file.get(), block.data(), part, &written, nullptr) || written != part)
            return false;
        done += part;
    }
    return true;
}

void RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolder(folder + L"\\" + name);
            else
                DeleteFileW((folder + L"\\" + name).c_str());
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

// With a progress call the copy reports between its chunks, as in the wizard.
void IgnoreProgress(unsigned long long, unsigned long long) {}

struct Method {
    std::string label;
    std::function<bool()> copy;
    double best = 1e30;
};

// Runs every method once per round, in turn, so that a burst of load on a shared machine hits
// all of them alike; keeps each method's best time. `reset` runs untimed before every copy.
void TimeInTurn(std::vector<Method>& methods, const std::function<void()>& reset, int rounds) {
    for (int round = 0; round < rounds; ++round)
        for (Method& m : methods) {
            reset();
            double start = Now();
            bool ok = m.copy();
            double seconds = Now() - start;
            if (!ok) std::printf("  %s: copy failed\n", m.label.c_str());
            m.best = std::min(m.best, seconds);
        }
}

// The first method is CopyFileW, the reference of every ratio.
void Report(const std::vector<Method>& methods, double bytes) {
    const double reference = methods.front().best;
    for (const Method& m : methods)
        std::printf("  %-36s %9.1f MB/s   %5.2f x CopyFileW   (%.3f s)\n", m.label.c_str(),
                    bytes / (1 << 20) / m.best, reference / m.best, m.best);
}

std::string KiB(std::size_t bytes) {
    return std::to_string(bytes >> 10) + " KiB";
}

void LargeFile(const std::wstring& work, bool sweepChunks) {
    const std::wstring source = work + L"\\large.bin", target = work + L"\\large.copy";
    if (!WriteWhole(source, Pattern(1 << 20, 1), kLargeSize)) {
        std::printf("cannot write %ls\n", source.c_str());
        return;
    }
    std::vector<Method> methods;
    methods.push_back(
        {"CopyFileW", [&] { return CopyFileW(source.c_str(), target.c_str(), FALSE) != FALSE; }});
    // CopyFileStream flushes its copy to the disk before it replaces the destination; this
    // line shows what the same durability costs CopyFileW.
    methods.push_back({"CopyFileW, then flushed", [&] {
                           if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) return false;
                           UniqueHandle copy(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr,
                                                         OPEN_EXISTING, 0, nullptr));
                           return copy.valid() && FlushFileBuffers(copy.get()) != FALSE;
                       }});
    methods.push_back({"CopyFileStream (chunk " + KiB(CopyFileStreamChunkSize) + ")",
                       [&] { return CopyFileStream(source, target); }});
    methods.push_back({"CopyFileStream, reporting progress",
                       [&] { return CopyFileStream(source, target, IgnoreProgress); }});
    if (sweepChunks)
        for (std::size_t chunk : {64u << 10, 256u << 10, 1u << 20, 4u << 20, 8u << 20})
            methods.push_back({"CopyFileStream, chunk " + KiB(chunk),
                               [&, chunk] { return CopyFileStream(source, target, chunk); }});
    std::printf("One file of %llu MiB (best of %d rounds):\n", kLargeSize >> 20, kRounds);
    TimeInTurn(
        methods, [&] { DeleteFileW(target.c_str()); }, kRounds);
    Report(methods, double(kLargeSize));
    DeleteFileW(target.c_str());
    DeleteFileW(source.c_str());
}

void SmallFiles(const std::wstring& work) {
    const std::wstring source = work + L"\\small", target = work + L"\\small.copy";
    CreateDirectoryW(source.c_str(), nullptr);
    std::vector<std::wstring> names;
    for (int i = 0; i < kSmallCount; ++i) {
        names.push_back(L"\\f" + std::to_wstring(i) + L".udf");
        WriteWhole(source + names.back(), Pattern(kSmallSize, i), kSmallSize);
    }
    std::vector<Method> methods;
    methods.push_back({"CopyFileW, file by file", [&] {
                           for (const auto& n : names)
                               if (!CopyFileW((source + n).c_str(), (target + n).c_str(), FALSE))
                                   return false;
                           return true;
                       }});
    methods.push_back({"CopyFileStream, file by file", [&] {
                           for (const auto& n : names)
                               if (!CopyFileStream(source + n, target + n)) return false;
                           return true;
                       }});
    methods.push_back({"CopyFileStream, reporting progress", [&] {
                           for (const auto& n : names)
                               if (!CopyFileStream(source + n, target + n, IgnoreProgress))
                                   return false;
                           return true;
                       }});
    methods.push_back({"CopyFolderTree", [&] {
                           CopyFolderTree(source, target);
                           return true;
                       }});
    std::printf("A folder of %d files of %s (best of %d rounds):\n", kSmallCount,
                KiB(kSmallSize).c_str(), kSmallRounds);
    TimeInTurn(
        methods,
        [&] {
            RemoveFolder(target);
            CreateDirectoryW(target.c_str(), nullptr);
        },
        kSmallRounds);
    Report(methods, double(kSmallCount) * kSmallSize);
    RemoveFolder(target);
    RemoveFolder(source);
}

} // namespace

int main(int argc, char** argv) {
    bool sweepChunks = false;
    std::wstring work;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--chunks")
            sweepChunks = true;
        else
            work = FromAnsi(arg);
    }
    if (work.empty()) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        work = std::wstring(temp) + L"velmora-bench-copy";
    }
    work = ExcludeTrailingPathDelimiter(work);
    RemoveFolder(work);
    if (!CreateDirectoryW(work.c_str(), nullptr)) {
        std::printf("cannot create the work folder %ls\n", work.c_str());
        return 1;
    }
    std::printf("Work folder: %ls\n", work.c_str());
    try {
        LargeFile(work, sweepChunks);
        SmallFiles(work);
    } catch (...) {
        std::printf("a copy raised an error\n");
        RemoveFolder(work);
        return 1;
    }
    RemoveFolder(work);
    return 0;
}
