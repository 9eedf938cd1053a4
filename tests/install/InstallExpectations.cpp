#include "InstallExpectations.h"
#include "support/Distribution.h"
#include "support/TestFonts.h"
#include "support/TestSupport.h"

#include <objbase.h>
#include <shlobj.h>

std::wstring Copied(const std::wstring& name) {
    return L"Копирование файла " + name + L"....";
}

std::wstring WindowsFontsFolder() {
    wchar_t buf[MAX_PATH];
    GetWindowsDirectoryW(buf, MAX_PATH);
    return std::wstring(buf) + L"\\fonts\\";
}

void RemoveSuiteFonts() {
    HKEY key;
    bool open =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFontsKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS;
    for (int i = 0; i < TestFontCount; ++i) {
        DeleteFileW((WindowsFontsFolder() + kFontFiles[i]).c_str());
        if (open) RegDeleteValueW(key, (TestFontFullName(i) + L" (TrueType)").c_str());
    }
    if (open) RegCloseKey(key);
}

std::optional<std::wstring> FontValue(int index) {
    wchar_t data[MAX_PATH] = L"";
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kFontsKey,
                     (TestFontFullName(index) + L" (TrueType)").c_str(), RRF_RT_REG_SZ, nullptr,
                     data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

std::optional<Link> ReadLink(const std::wstring& file) {
    if (!PathExists(file)) return std::nullopt;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Link link;
    IShellLinkW* shell = nullptr;
    IPersistFile* persist = nullptr;
    bool ok =
        SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&shell))) &&
        SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
        SUCCEEDED(persist->Load(file.c_str(), STGM_READ));
    if (ok) {
        wchar_t buf[1024];
        // The item list keeps the path in Unicode; the plain path of a link may be stored in
        // the ANSI code page only.
        PIDLIST_ABSOLUTE items = nullptr;
        if (SUCCEEDED(shell->GetIDList(&items)) && items && SHGetPathFromIDListW(items, buf)) {
            link.path = buf;
        } else {
            shell->GetPath(buf, 1024, nullptr, SLGP_RAWPATH);
            link.path = buf;
        }
        CoTaskMemFree(items);
        shell->GetWorkingDirectory(buf, 1024);
        link.workingFolder = buf;
        shell->GetDescription(buf, 1024);
        link.description = buf;
        shell->GetArguments(buf, 1024);
        link.arguments = buf;
    }
    if (persist) persist->Release();
    if (shell) shell->Release();
    CoUninitialize();
    if (!ok) return std::nullopt;
    return link;
}

std::string IniValue(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
    wchar_t buf[256];
    GetPrivateProfileStringW(section, key, L"<missing>", buf, 256, file.c_str());
    return U8(buf);
}

std::vector<std::wstring> ExpectedLines(bool driver) {
    std::vector<std::wstring> lines = {L"Создание настроечных файлов....Завершено",
                                       L"Каталог <DTAfb> создан...",
                                       Copied(L"T27.FDB") + L"Завершено"};
    for (auto* set : {&kRuntime, &kIntl, &kUdf, &kSuiteUdf})
        for (const auto& f : *set)
            lines.push_back(Copied(f) + L"Завершено");
    for (int i = 0; i < TestFontCount; ++i)
        lines.push_back(L"Шрифт <" + TestFontFullName(i) + L"> у\u0063тановлен");
    if (driver) {
        lines.push_back(L"Началась установка драйверов устройства...");
        lines.push_back(L"Установка драйверов устройства завершена");
    }
    return lines;
}

std::map<std::wstring, std::wstring> CopiedFiles() {
    std::map<std::wstring, std::wstring> m = {{L"DTAfb\\T27.FDB", L"DTAfb\\T27.FDB"}};
    for (const auto& f : kRuntime)
        m[L"Firebird\\" + f] = f;
    for (const auto& f : kIntl)
        m[L"Firebird\\intl\\" + f] = L"intl\\" + f;
    for (const auto& f : kUdf)
        m[L"Firebird\\udf\\" + f] = L"udf\\" + f;
    for (const auto& f : kSuiteUdf)
        m[L"UDF\\" + f] = L"udf\\" + f;
    for (const auto& p : ReleasePackages) {
        m[L"backup\\" + p + L"\\Install.cmd"] = L"backup\\" + p + L"\\Install.cmd";
        m[L"backup\\" + p + L"\\Orvanta.exe"] = L"backup\\" + p + L"\\Orvanta.exe";
    }
    m[L"Updater\\Updater.exe"] = L"Updater.exe";
    m[L"Updater\\Updater.exe.cfg"] = L"Updater.exe.cfg";
    m[L"FTDIDriverInstall\\FTDIDriverInstall.exe"] = L"FTDIDriverInstall\\FTDIDriverInstall.exe";
    m[L"FTDIDriverInstall\\ftdibus.inf"] = L"FTDIDriverInstall\\ftdibus.inf";
    return m;
}

FILETIME WriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}
