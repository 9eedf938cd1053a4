// Loads "planted.dll" by name, as a careless LoadLibrary would, from beside itself.
//   DllProbe restricted   after RestrictDllSearchPath
//   DllProbe open         without it
// Exit code 1 when the planted DLL was loaded, 0 when not, 2 on bad usage.
#include "common/WinUtil.h"

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    if (wcscmp(argv[1], L"restricted") == 0)
        RestrictDllSearchPath();
    else if (wcscmp(argv[1], L"open") != 0)
        return 2;
    return LoadLibraryW(L"planted.dll") ? 1 : 0;
}
