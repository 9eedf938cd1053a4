#pragma once
// A generated distribution folder: every file and folder the installer reads, with small
// stand-ins for the programs it only copies or starts. The tests, the demo and the benchmarks
// all lay out their distributions with it.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

struct DistributionOptions {
    // Size of DTAfb\T27.FDB; its bytes are a fixed pseudo-random sequence.
    uint64_t DatabaseBytes = 256 * 1024;
    // Paths relative to the distribution folder (files or whole folders) that are left out,
    // e.g. L"Firebird\\gbak.exe" or L"FTDIDriverInstall".
    std::set<std::wstring> Omit;
};

// The release packages of backup\, oldest first as dated; the newest is the one installed.
extern const std::vector<std::wstring> ReleasePackages;
constexpr const wchar_t* NewestReleasePackage = L"R2.5.1_010124";
// What the level in ReleaseInfo reads before an installation.
constexpr const wchar_t* DistributedReleaseLevel = L"2.5_150322";

// Lays out the distribution in `folder` (created when missing; ends with "\" or not).
// Throws std::runtime_error when something cannot be written.
void MakeDistribution(const std::wstring& folder, const DistributionOptions& options = {});

// Relative paths of every file that MakeDistribution writes with the default options.
std::vector<std::wstring> DistributionFiles();

// A Unix path of the build (as CMake knows it) in the form Wine opens: Z:\...
std::wstring WinePathFromUnix(const std::string& unixPath);

// The folder with the helper programs built for the tests (stand-in driver installer).
std::wstring TestProgramsFolder();
