#include "system/DisplayFonts.h"

#include "common/WinUtil.h"

const wchar_t RestartQuestion[] =
    L"Изменения в настройки внесены, для того чтобы они\r\n"
    L"вступили в силу, требуется перзагрузить операционную систему.\r\n"
    L"Выполнить перезагрузку сейчас?";

namespace {

constexpr int LargeFontsMinimumPixelsPerInch = 100;
constexpr UINT ForcedReboot = EWX_REBOOT | EWX_FORCE;

using TSetupChangeFontSize = DWORD(WINAPI*)(HWND owner, LPCWSTR pixelsPerInch);

class ScreenDC {
public:
    ScreenDC() : dc_(GetDC(nullptr)) {}
    ~ScreenDC() {
        if (dc_) ReleaseDC(nullptr, dc_);
    }
    ScreenDC(const ScreenDC&) = delete;
    ScreenDC& operator=(const ScreenDC&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// From the system folder only: the installer runs from a folder that anyone may have filled,
// and a syssetup.dll planted there must never be loaded.
HMODULE LoadSystemLibrary(const wchar_t* name) {
    HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
    // Systems without the search flags (Vista, 7 without KB2533623) get the full path.
    wchar_t system[MAX_PATH];
    UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    return LoadLibraryW((IncludeTrailingPathDelimiter(system) + name).c_str());
}

void EnableShutdownPrivilege() {
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &rawToken))
        return;
    UniqueHandle token(rawToken);
    TOKEN_PRIVILEGES privileges{};
    if (!LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid)) return;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    TOKEN_PRIVILEGES previous{};
    DWORD previousLength = 0;
    // A refusal is not reported: ExitWindowsEx then fails on its own.
    AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof(previous), &previous,
                          &previousLength);
}

} // namespace

bool IsSmallFonts() {
    ScreenDC screen;
    return GetDeviceCaps(screen.get(), LOGPIXELSX) < LargeFontsMinimumPixelsPerInch;
}

void SwitchToLargeFonts() {
    UniqueModule syssetup(LoadSystemLibrary(L"syssetup.dll"));
    if (!syssetup.get()) return;
    auto changeFontSize = reinterpret_cast<TSetupChangeFontSize>(
        reinterpret_cast<void*>(GetProcAddress(syssetup.get(), "SetupChangeFontSize")));
    if (!changeFontSize) return;
    // What it reports changes nothing: the restart question follows either way.
    changeFontSize(nullptr, L"120");
}

bool RestartWindows(UINT flags) {
    EnableShutdownPrivilege();
    return ExitWindowsEx(flags, 0) != 0;
}

bool ChangeToLargeFontsAndOfferRestart(HWND owner, const std::wstring& caption) {
    SwitchToLargeFonts();
    if (MessageBoxW(owner, RestartQuestion, caption.c_str(), MB_YESNO | MB_ICONWARNING) != IDYES)
        return false;
    RestartWindows(ForcedReboot);
    return true;
}
