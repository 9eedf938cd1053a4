#include "system/Shortcut.h"

#include "common/Errors.h"
#include "common/WinUtil.h"

#include <shlobj.h>

namespace {

struct ShellFolderValue {
    const wchar_t* key;
    const wchar_t* subkey;
    const wchar_t* value;
};

// Indexed by TShortcutLocation up to slStartMenu.
const ShellFolderValue ShellFolderValues[] = {
    {L"Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer", L"Shell Folders", L"Desktop"},
    {L"Software\\MicroSoft\\Windows\\CurrentVersion\\GrpConv", L"MapGroups", L"Quick Launch"},
    {L"Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer", L"Shell Folders", L"SendTo"},
    {L"Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer", L"Shell Folders", L"Start Menu"},
};

// A string value of HKEY_CURRENT_USER, or "" when the key or the value is missing.
std::wstring ReadShellFolder(const ShellFolderValue& row) {
    UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, row.key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS)
        return L"";
    UniqueRegKey subkey;
    if (RegOpenKeyExW(key.get(), row.subkey, 0, KEY_QUERY_VALUE, subkey.put()) != ERROR_SUCCESS)
        return L"";
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(subkey.get(), row.value, nullptr, &type, nullptr, &bytes) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return L"";
    // One character more, zeroed: registry strings need not be terminated.
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(subkey.get(), row.value, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(text.data()), &bytes) != ERROR_SUCCESS)
        return L"";
    text.resize(wcslen(text.c_str()));
    return text;
}

std::wstring LocationFolder(TShortcutLocation location, const std::wstring& subfolder) {
    if (location <= slStartMenu) return ReadShellFolder(ShellFolderValues[location]);
    if (location == slFolder) return subfolder;
    return L"";
}

void CreateShellLink(ComPtr<IShellLinkW>& link, ComPtr<IPersistFile>& file) {
    HRESULT hr =
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                         IID_IShellLinkW, link.put_void());
    if (SUCCEEDED(hr)) hr = link->QueryInterface(IID_IPersistFile, file.put_void());
    if (FAILED(hr)) throw EInstallError(L"Не удалось создать ярлык: " + SysErrorMessage(DWORD(hr)));
}

} // namespace

std::wstring ShortcutFileName(const std::wstring& linkName) {
    size_t folderEnd = linkName.find_last_of(L"\\:");
    size_t dot = linkName.find_last_of(L'.');
    bool hasExtension =
        dot != std::wstring::npos && (folderEnd == std::wstring::npos || dot > folderEnd);
    std::wstring withLnk = (hasExtension ? linkName.substr(0, dot) : linkName) + L".lnk";
    return folderEnd == std::wstring::npos ? withLnk : withLnk.substr(folderEnd + 1);
}

void AddShortcut(const std::wstring& target, TShortcutLocation location,
                 const std::wstring& subfolder, const std::wstring& workingFolder,
                 const std::wstring& arguments, const std::wstring& description,
                 const std::wstring& linkName, std::wstring& linkPath) {
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    CreateShellLink(link, file);
    // The shell reports nothing worth acting on here: a link that cannot be written is simply
    // missing afterwards, and the path tried is still handed back.
    link->SetPath(target.c_str());
    link->SetArguments(arguments.c_str());
    link->SetDescription(description.c_str());

    std::wstring fileName = ShortcutFileName(linkName.empty() ? target : linkName);
    std::wstring folder = LocationFolder(location, subfolder);
    if (folder.empty()) return;
    std::wstring path = !subfolder.empty() && location != slFolder
                            ? folder + L"\\" + subfolder + L"\\" + fileName
                            : folder + L"\\" + fileName;

    link->SetWorkingDirectory(
        (workingFolder.empty() ? target.substr(0, target.find_last_of(L"\\:") + 1) : workingFolder)
            .c_str());
    file->Save(path.c_str(), FALSE);
    linkPath = path;
}
