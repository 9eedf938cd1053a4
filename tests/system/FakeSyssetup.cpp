// A syssetup.dll as an attacker would plant it beside the installer: its SetupChangeFontSize
// leaves a marker file (path from VELMORA_FAKE_SYSSETUP_MARKER) to show that it ran.
#include <windows.h>

extern "C" __declspec(dllexport) DWORD WINAPI SetupChangeFontSize(HWND, LPCWSTR) {
    wchar_t marker[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"VELMORA_FAKE_SYSSETUP_MARKER", marker, MAX_PATH) == 0) return 0;
    HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return 0;
}
