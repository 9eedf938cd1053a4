// Lays out a distribution folder for the demo and the benchmarks:
//   MakeDistribution.exe FOLDER [--database-mb N] [--omit RELATIVE-PATH]...
#include "Distribution.h"
#include "TestSupport.h"

#include <cstdio>
#include <cwchar>
#include <exception>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        fwprintf(stderr, L"usage: MakeDistribution FOLDER [--database-mb N] [--omit PATH]...\n");
        return 2;
    }
    DistributionOptions options;
    for (int i = 2; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--database-mb" && i + 1 < argc)
            options.DatabaseBytes = static_cast<uint64_t>(_wtoi(argv[++i])) << 20;
        else if (a == L"--omit" && i + 1 < argc)
            options.Omit.insert(argv[++i]);
        else {
            fwprintf(stderr, L"MakeDistribution: unknown argument %ls\n", argv[i]);
            return 2;
        }
    }
    try {
        MakeDistribution(argv[1], options);
    } catch (const std::exception& e) {
        fprintf(stderr, "MakeDistribution: %s\n", e.what());
        return 1;
    }
    return 0;
}
