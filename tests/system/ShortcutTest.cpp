// Desktop and other shell-folder links, written by the real shell-link object and read back
// through IShellLinkW.
#include "system/Shortcut.h"

#include "common/WinUtil.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <optional>

namespace {

const wchar_t ExplorerKey[] = L"Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer";

struct LinkFields {
    std::wstring path, workingFolder, description, arguments;
};

LinkFields ReadLink(const std::wstring& linkFile) {
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IShellLinkW, link.put_void()));
    EXPECT_HRESULT_SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.put_void()));
    EXPECT_HRESULT_SUCCEEDED(file->Load(linkFile.c_str(), STGM_READ));
    wchar_t buffer[1024];
    LinkFields fields;
    buffer[0] = 0;
    link->GetPath(buffer, 1024, nullptr, SLGP_RAWPATH);
    fields.path = buffer;
    buffer[0] = 0;
    link->GetWorkingDirectory(buffer, 1024);
    fields.workingFolder = buffer;
    buffer[0] = 0;
    link->GetDescription(buffer, 1024);
    fields.description = buffer;
    buffer[0] = 0;
    link->GetArguments(buffer, 1024);
    fields.arguments = buffer;
    return fields;
}

std::optional<std::wstring> ReadUserString(const std::wstring& key, const std::wstring& value) {
    UniqueRegKey k;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_QUERY_VALUE, k.put()) != 0)
        return std::nullopt;
    wchar_t data[1024] = {};
    DWORD bytes = sizeof(data) - sizeof(wchar_t);
    if (RegQueryValueExW(k.get(), value.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                         &bytes) != 0)
        return std::nullopt;
    return std::wstring(data);
}

void WriteUserString(const std::wstring& key, const std::wstring& value,
                     const std::optional<std::wstring>& data) {
    UniqueRegKey k;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, k.put(), nullptr),
              0);
    if (!data) {
        RegDeleteValueW(k.get(), value.c_str());
        return;
    }
    RegSetValueExW(k.get(), value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data->c_str()),
                   DWORD((data->size() + 1) * sizeof(wchar_t)));
}

// Points one shell folder of the prefix's user somewhere else for the length of a test.
class ShellFolderOverride {
public:
    ShellFolderOverride(const std::wstring& value, const std::wstring& folder)
        : value_(value), saved_(ReadUserString(Key(), value)) {
        WriteUserString(Key(), value_, folder);
    }
    ~ShellFolderOverride() { WriteUserString(Key(), value_, saved_); }

private:
    static std::wstring Key() { return std::wstring(ExplorerKey) + L"\\Shell Folders"; }
    std::wstring value_;
    std::optional<std::wstring> saved_;
};

class ShortcutTest : public ::testing::Test {
protected:
    ComInit com_;
    TempDir dir_;

    std::wstring Desktop() {
        auto desktop = ReadUserString(std::wstring(ExplorerKey) + L"\\Shell Folders", L"Desktop");
        EXPECT_TRUE(desktop.has_value()) << "the prefix has no Desktop shell folder";
        return desktop.value_or(L"");
    }
};

// The link stays on the prefix's desktop unless removed: reruns must start clean.
class DesktopLink {
public:
    explicit DesktopLink(std::wstring path) : path_(std::move(path)) { DeleteFileW(path_.c_str()); }
    ~DesktopLink() { DeleteFileW(path_.c_str()); }
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

} // namespace

TEST(ShortcutFileNameTest, ExtensionReplacedAndFolderDropped) {
    struct Case {
        const wchar_t* name;
        const wchar_t* expected;
    } cases[] = {
        {L"Velmora", L"Velmora.lnk"},
        {L"Suite 2.5", L"Suite 2.lnk"},
        {L"D:\\App\\Run.exe", L"Run.lnk"},
        {L"C:\\dir.x\\name", L"name.lnk"},
        {L"A:b.c", L"b.lnk"},
        {L"archive.tar.gz", L"archive.tar.lnk"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(U8(ShortcutFileName(c.name)), U8(c.expected)) << U8(c.name);
}

TEST_F(ShortcutTest, InstallerDesktopLinkStartsTheSuiteInTheTargetFolder) {
    std::wstring target = dir_ / L"Orvanta.exe";
    WriteBytes(target, "MZ");
    const std::wstring description =
        L"Комплекс суточного мониторирования электрокардиограмм \"Velmora\"";
    DesktopLink expected(Desktop() + L"\\Velmora.lnk");

    std::wstring linkPath;
    AddShortcut(target, slDesktop, L"", L"", L"", description, L"Velmora", linkPath);

    EXPECT_EQ(U8(linkPath), U8(expected.Path()));
    ASSERT_TRUE(FileExists(linkPath));
    LinkFields link = ReadLink(linkPath);
    EXPECT_EQ(U8(link.path), U8(target));
    EXPECT_EQ(U8(link.workingFolder), U8(dir_.Path()));
    EXPECT_EQ(U8(link.description), U8(description));
    EXPECT_EQ(link.arguments, L"");
}

TEST_F(ShortcutTest, EmptyLinkNameTakesTheTargetName) {
    std::wstring target = dir_ / L"App\\Run.exe";
    WriteBytes(target, "MZ");
    DesktopLink expected(Desktop() + L"\\Run.lnk");

    std::wstring linkPath;
    AddShortcut(target, slDesktop, L"", L"", L"", L"", L"", linkPath);

    EXPECT_EQ(U8(linkPath), U8(expected.Path()));
    ASSERT_TRUE(FileExists(linkPath));
    EXPECT_EQ(U8(ReadLink(linkPath).workingFolder), U8(dir_ / L"App\\"));
}

TEST_F(ShortcutTest, FolderLocationWithArgumentsAndWorkingFolder) {
    std::wstring links = dir_ / L"Links";
    MakeDirs(links);
    std::wstring target = dir_ / L"Suite.exe";

    std::wstring linkPath;
    AddShortcut(target, slFolder, links, L"C:\\Work", L"/fast \"a b\"", L"text", L"Suite 2.5",
                linkPath);

    // The subfolder is the whole folder: it is not appended a second time.
    EXPECT_EQ(U8(linkPath), U8(links + L"\\Suite 2.lnk"));
    ASSERT_TRUE(FileExists(linkPath));
    LinkFields link = ReadLink(linkPath);
    EXPECT_EQ(U8(link.path), U8(target));
    EXPECT_EQ(U8(link.workingFolder), "C:\\Work");
    EXPECT_EQ(U8(link.arguments), "/fast \"a b\"");
    EXPECT_EQ(U8(link.description), "text");
}

TEST_F(ShortcutTest, StartMenuSubfolderIsUsedButNeverCreated) {
    std::wstring startMenu = ExcludeTrailingPathDelimiter(dir_ / L"Start Menu");
    MakeDirs(startMenu + L"\\Present");
    ShellFolderOverride redirect(L"Start Menu", startMenu);
    std::wstring target = dir_ / L"Run.exe";

    std::wstring present, missing;
    AddShortcut(target, slStartMenu, L"Present", L"", L"", L"", L"", present);
    AddShortcut(target, slStartMenu, L"Missing\\Deeper", L"", L"", L"", L"", missing);

    EXPECT_EQ(U8(present), U8(startMenu + L"\\Present\\Run.lnk"));
    EXPECT_TRUE(FileExists(present));
    // A link that could not be written still reports where it was meant to go.
    EXPECT_EQ(U8(missing), U8(startMenu + L"\\Missing\\Deeper\\Run.lnk"));
    EXPECT_FALSE(PathExists(startMenu + L"\\Missing"));
}

TEST_F(ShortcutTest, NoFolderLeavesTheOutParameterAsItWas) {
    ShellFolderOverride emptyValue(L"Start Menu", L"");
    struct Case {
        uint8_t location;
        const char* why;
    } cases[] = {{5, "unknown code"}, {255, "highest byte"}, {slStartMenu, "empty shell folder"}};
    for (const auto& c : cases) {
        std::wstring linkPath = L"unchanged";
        AddShortcut(dir_ / L"Run.exe", TShortcutLocation(c.location), L"", L"", L"", L"", L"",
                    linkPath);
        EXPECT_EQ(U8(linkPath), "unchanged") << c.why;
    }
}
