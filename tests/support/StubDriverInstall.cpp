// Stand-in for the USB driver installer: records that it ran, with its current folder and its
// command line and the show command it was given, in driver-install.log beside itself, and ends by
// itself.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t exe[MAX_PATH * 2], cwd[MAX_PATH * 2];
    GetModuleFileNameW(nullptr, exe, MAX_PATH * 2);
    GetCurrentDirectoryW(MAX_PATH * 2, cwd);
    std::wstring log = exe;
    log = log.substr(0, log.find_last_of(L'\\') + 1) + L"driver-install.log";
    STARTUPINFOW si{};
    GetStartupInfoW(&si);
    std::wstring show =
        (si.dwFlags & STARTF_USESHOWWINDOW) ? std::to_wstring(si.wShowWindow) : L"default";
    std::wstring text = std::wstring(L"ran\r\ncwd=") + cwd + L"\r\ncmd=" + GetCommandLineW() +
                        L"\r\nshow=" + show + L"\r\n";
    HANDLE h = CreateFileW(log.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 2;
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(n - 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), n, nullptr, nullptr);
    DWORD written;
    WriteFile(h, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(h);
    return 0;
}
