#include "system/Fonts.h"

#include "common/Errors.h"
#include "common/WinUtil.h"
#include "install/FileOperations.h"

#include <cstdint>
#include <vector>

const wchar_t* const FontFileNames[FontFileCount] = {L"ARIAL.TTF",   L"ARIALN.TTF", L"COUR.TTF",
                                                     L"MICROSS.TTF", L"TAHOMA.TTF", L"TIMES.TTF",
                                                     L"verdana.TTF"};

const wchar_t FontsRegistryKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

namespace {

// A program whose window does not answer must not hold up the installation.
constexpr UINT FontChangeBroadcastTimeoutMs = 5000;

// Undocumented, so looked up at run time rather than imported.
using TGetFontResourceInfoW = BOOL(WINAPI*)(LPCWSTR fileName, DWORD* size, void* buffer,
                                            DWORD queryType);
constexpr DWORD FontResourceFullName = 1;

// Makes a font visible to GDI for as long as the object lives.
class TemporaryFontResource {
public:
    explicit TemporaryFontResource(const std::wstring& path)
        : path_(path), added_(AddFontResourceW(path_.c_str()) != 0) {}
    ~TemporaryFontResource() {
        if (added_) RemoveFontResourceW(path_.c_str());
    }
    TemporaryFontResource(const TemporaryFontResource&) = delete;
    TemporaryFontResource& operator=(const TemporaryFontResource&) = delete;
    bool Added() const { return added_; }

private:
    std::wstring path_;
    bool added_;
};

uint32_t BigEndian(const std::string& b, size_t at, size_t bytes) {
    uint32_t v = 0;
    for (size_t i = 0; i < bytes; ++i)
        v = (v << 8) | uint8_t(b[at + i]);
    return v;
}

// The full name (name id 4) of a TrueType file, Windows Unicode strings only, US English
// preferred. Used where the system does not answer GetFontResourceInfoW, so that every font
// still gets a registry value of its own instead of all of them sharing " (TrueType)".
std::wstring FullNameFromNameTable(const std::wstring& fontPath) {
    std::string font;
    if (!ReadFileBytes(fontPath, font) || font.size() < 12) return L"";
    size_t tables = BigEndian(font, 4, 2);
    for (size_t t = 0; t < tables && 12 + 16 * (t + 1) <= font.size(); ++t) {
        size_t record = 12 + 16 * t;
        if (font.compare(record, 4, "name") != 0) continue;
        size_t table = BigEndian(font, record + 8, 4);
        if (table + 6 > font.size()) return L"";
        size_t count = BigEndian(font, table + 2, 2);
        size_t strings = table + BigEndian(font, table + 4, 2);
        std::wstring found;
        for (size_t i = 0; i < count && table + 6 + 12 * (i + 1) <= font.size(); ++i) {
            size_t n = table + 6 + 12 * i;
            uint32_t platform = BigEndian(font, n, 2), encoding = BigEndian(font, n + 2, 2);
            uint32_t language = BigEndian(font, n + 4, 2), nameId = BigEndian(font, n + 6, 2);
            size_t length = BigEndian(font, n + 8, 2), offset = BigEndian(font, n + 10, 2);
            if (platform != 3 || encoding > 1 || nameId != 4) continue;
            if (strings + offset + length > font.size()) continue;
            std::wstring name;
            for (size_t c = 0; c + 1 < length; c += 2)
                name += wchar_t(BigEndian(font, strings + offset + c, 2));
            if (language == 0x409) return name;
            if (found.empty()) found = name;
        }
        return found;
    }
    return L"";
}

} // namespace

std::wstring GetFontFaceName(const std::wstring& fontPath) {
    HMODULE gdi = GetModuleHandleW(L"gdi32.dll");
    auto getInfo = gdi ? reinterpret_cast<TGetFontResourceInfoW>(
                             reinterpret_cast<void*>(GetProcAddress(gdi, "GetFontResourceInfoW")))
                       : nullptr;
    if (!getInfo) return L"";
    TemporaryFontResource font(fontPath);
    if (!font.Added()) return L"";

    DWORD size = 0;
    // Where the export is there but does not answer (Wine's is a stub), every font would be
    // registered under the same bare " (TrueType)"; the file's own name table says the same.
    if (!getInfo(fontPath.c_str(), &size, nullptr, FontResourceFullName))
        return FullNameFromNameTable(fontPath);
    if (size == 0) return L"";
    // One character more than reported, zeroed, so the text is terminated whatever comes back.
    std::vector<wchar_t> name(size / sizeof(wchar_t) + 1, L'\0');
    DWORD bufferSize = size;
    if (!getInfo(fontPath.c_str(), &bufferSize, name.data(), FontResourceFullName)) return L"";
    return name.data();
}

std::wstring GetWindowsFolder() {
    wchar_t buffer[MAX_PATH];
    UINT length = GetWindowsDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return L"";
    return IncludeTrailingPathDelimiter(buffer);
}

std::wstring FontsSourceFolder() {
    return ExtractFilePath(ModuleFileName()) + L"fonts\\";
}

std::wstring FontsDestinationFolder() {
    return GetWindowsFolder() + L"fonts\\";
}

std::wstring FontInstalledLine(const std::wstring& description) {
    // The "c" of "уcтановлен" is the Latin letter; the line is matched as it stands.
    return L"Шрифт <" + description + L"> у\u0063тановлен";
}

namespace {

void RegisterFont(const std::wstring& valueName, const std::wstring& fileName) {
    UniqueRegKey key;
    LSTATUS status =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, FontsRegistryKey, 0, KEY_ALL_ACCESS, key.put());
    if (status == ERROR_SUCCESS)
        status = RegSetValueExW(key.get(), valueName.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(fileName.c_str()),
                                DWORD((fileName.size() + 1) * sizeof(wchar_t)));
    // The value must be on disk before the installer can be ended or the machine restarted.
    if (status == ERROR_SUCCESS) status = RegFlushKey(key.get());
    if (status != ERROR_SUCCESS)
        throw EInstallError(L"Не удалось записать в реестр значение \"" + valueName + L"\": " +
                            SysErrorMessage(DWORD(status)));
}

void BroadcastFontChange() {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG,
                        FontChangeBroadcastTimeoutMs, &result);
}

// Running programs learn that the font set changed; the registry value makes the font part of
// it from the next start of Windows on.
void AnnounceFont(const std::wstring& fontPath) {
    AddFontResourceW(fontPath.c_str());
    BroadcastFontChange();
    RemoveFontResourceW(fontPath.c_str());
    BroadcastFontChange();
}

} // namespace

void InstallFontFile(const std::wstring& sourceFolder, const std::wstring& destinationFolder,
                     const std::wstring& fileName, const TAddProgressLine& addProgressLine) {
    const std::wstring destination = destinationFolder + fileName;
    // A font already there stays; one whose presence cannot be told is not overwritten blindly.
    const TPathProbe present = ProbePath(destination);
    if (present.State == TPathState::File) return;
    if (present.State == TPathState::Unknown)
        throw EInstallError(L"Не удалось выяснить, установлен ли шрифт \"" + destination + L"\": " +
                            SysErrorMessage(present.Error));
    const std::wstring description = GetFontFaceName(sourceFolder + fileName);
    // Registering a font whose file did not arrive would report it installed when it is not.
    if (!CopyFileStream(sourceFolder + fileName, destination))
        throw EInstallError(L"Ошибка при копировании файла <" + fileName + L">");
    RegisterFont(description + L" (TrueType)", fileName);
    AnnounceFont(destination);
    addProgressLine(FontInstalledLine(description));
}

void InstallFontFiles(const std::wstring& sourceFolder, const std::wstring& destinationFolder,
                      const TAddProgressLine& addProgressLine) {
    for (const wchar_t* fileName : FontFileNames)
        InstallFontFile(sourceFolder, destinationFolder, fileName, addProgressLine);
}
