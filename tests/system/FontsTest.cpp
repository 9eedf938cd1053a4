// The font step: real fixture fonts copied into a fonts folder, registered under HKLM, and the
// progress lines the wizard shows.
#include "system/Fonts.h"

#include "common/Errors.h"
#include "common/WinUtil.h"
#include "support/TestFonts.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>

namespace {

std::optional<std::wstring> ReadFontValue(const std::wstring& name) {
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, FontsRegistryKey, 0, KEY_QUERY_VALUE, key.put()) != 0)
        return std::nullopt;
    wchar_t data[512] = {};
    DWORD type = 0, bytes = sizeof(data) - sizeof(wchar_t);
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data),
                         &bytes) != 0 ||
        type != REG_SZ)
        return std::nullopt;
    return std::wstring(data);
}

void SetFontValue(const std::wstring& name, const std::wstring& data) {
    UniqueRegKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, FontsRegistryKey, 0, KEY_SET_VALUE, key.put()), 0);
    RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   DWORD((data.size() + 1) * sizeof(wchar_t)));
}

std::wstring ValueName(int index) {
    return TestFontFullName(index) + L" (TrueType)";
}

// The registrations of the fixture fonts, removed before and after each test so that reruns in
// the same prefix start clean.
class FixtureRegistrations {
public:
    FixtureRegistrations() { Remove(); }
    ~FixtureRegistrations() { Remove(); }

private:
    static void Remove() {
        UniqueRegKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, FontsRegistryKey, 0, KEY_SET_VALUE, key.put()) != 0)
            return;
        for (int i = 0; i < TestFontCount; ++i)
            RegDeleteValueW(key.get(), ValueName(i).c_str());
    }
};

std::wstring ExpectedLine(int index) {
    // Spelled out here rather than taken from the code under test.
    return L"Шрифт <" + TestFontFullName(index) + L"> у" + L"c" + L"тановлен";
}

FILETIME WriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

class FontStepTest : public ::testing::Test {
protected:
    FixtureRegistrations registrations_;
    TempDir dir_;
    const std::wstring source_ = dir_ / L"dist\\fonts\\";
    const std::wstring destination_ = dir_ / L"windows\\fonts\\";
    std::vector<std::wstring> lines_;

    void SetUp() override {
        MakeDirs(destination_);
        for (int i = 0; i < FontFileCount; ++i)
            WriteBytes(source_ + FontFileNames[i], MakeTestFont(i));
    }

    void RunStep() {
        InstallFontFiles(source_, destination_,
                         [this](const std::wstring& line) { lines_.push_back(line); });
    }
};

} // namespace

TEST(TestFontsTest, EachFixtureReportsItsOwnFullName) {
    TempDir dir;
    std::set<std::wstring> names;
    for (int i = 0; i < TestFontCount; ++i) {
        std::wstring path = dir / (L"f" + std::to_wstring(i) + L".ttf");
        WriteBytes(path, MakeTestFont(i));
        EXPECT_EQ(U8(GetFontFaceName(path)), U8(TestFontFullName(i))) << i;
        names.insert(TestFontFullName(i));
    }
    EXPECT_EQ(names.size(), size_t(TestFontCount));
}

TEST(GetFontFaceNameTest, UnreadableFontsHaveNoName) {
    TempDir dir;
    WriteBytes(dir / L"text.ttf", "not a font at all");
    EXPECT_EQ(GetFontFaceName(dir / L"missing.ttf"), L"");
    EXPECT_EQ(GetFontFaceName(dir / L"text.ttf"), L"");
}

TEST(GetWindowsFolderTest, EndsWithDelimiterAndHoldsTheFontsFolder) {
    std::wstring windows = GetWindowsFolder();
    ASSERT_FALSE(windows.empty());
    EXPECT_EQ(windows.back(), L'\\');
    EXPECT_EQ(U8(FontsDestinationFolder()), U8(windows + L"fonts\\"));
    EXPECT_TRUE(DirectoryExists(FontsDestinationFolder()));
}

TEST_F(FontStepTest, InstallsAllSevenInListOrder) {
    RunStep();

    ASSERT_EQ(lines_.size(), size_t(FontFileCount));
    for (int i = 0; i < FontFileCount; ++i) {
        EXPECT_EQ(U8(lines_[i]), U8(ExpectedLine(i)));
        // The word is written with a Latin "c"; a Cyrillic "с" would be a different line.
        EXPECT_EQ(lines_[i].find(L'\u0441'), std::wstring::npos);
        EXPECT_EQ(ReadBytes(destination_ + FontFileNames[i]), MakeTestFont(i)) << i;
        // The data keeps the file name exactly, "verdana.TTF" included.
        EXPECT_EQ(U8(ReadFontValue(ValueName(i)).value_or(L"<none>")), U8(FontFileNames[i]));
    }
}

TEST_F(FontStepTest, SecondRunChangesNothing) {
    RunStep();
    lines_.clear();
    SetFontValue(ValueName(0), L"kept.ttf");
    FILETIME before = WriteTime(destination_ + FontFileNames[6]);
    WriteBytes(source_ + FontFileNames[6], "a different file that must not be copied");

    RunStep();

    EXPECT_TRUE(lines_.empty());
    EXPECT_EQ(U8(ReadFontValue(ValueName(0)).value_or(L"")), "kept.ttf");
    FILETIME after = WriteTime(destination_ + FontFileNames[6]);
    EXPECT_EQ(CompareFileTime(&before, &after), 0);
    EXPECT_EQ(ReadBytes(destination_ + FontFileNames[6]), MakeTestFont(6));
}

TEST_F(FontStepTest, FontAlreadyInTheFolderIsSkipped) {
    WriteBytes(destination_ + L"COUR.TTF", "the workstation's own font");

    RunStep();

    EXPECT_EQ(lines_.size(), size_t(FontFileCount - 1));
    EXPECT_EQ(ReadBytes(destination_ + L"COUR.TTF"), "the workstation's own font");
    EXPECT_FALSE(ReadFontValue(ValueName(2)).has_value());
    EXPECT_TRUE(ReadFontValue(ValueName(3)).has_value());
}

TEST_F(FontStepTest, MissingFontEndsTheStepAfterTheFontsBeforeIt) {
    DeleteFileW((source_ + L"ARIALN.TTF").c_str());

    EXPECT_THROW(RunStep(), EInstallError);

    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_EQ(U8(lines_[0]), U8(ExpectedLine(0)));
    EXPECT_TRUE(FileExists(destination_ + L"ARIAL.TTF"));
    for (int i = 1; i < FontFileCount; ++i) {
        EXPECT_FALSE(PathExists(destination_ + FontFileNames[i])) << i;
        EXPECT_FALSE(ReadFontValue(ValueName(i)).has_value()) << i;
    }
}

TEST_F(FontStepTest, UnwritableDestinationRegistersNothing) {
    std::wstring missingFolder = dir_ / L"no such folder\\fonts\\";

    EXPECT_THROW(InstallFontFile(source_, missingFolder, L"ARIAL.TTF",
                                 [this](const std::wstring& line) { lines_.push_back(line); }),
                 EInstallError);

    EXPECT_TRUE(lines_.empty());
    EXPECT_FALSE(ReadFontValue(ValueName(0)).has_value());
}

TEST_F(FontStepTest, AFontWhosePresenceCannotBeToldIsLeftAlone) {
    const std::wstring font = destination_ + L"ARIAL.TTF";
    UnresolvableName unresolvable(font);
    ASSERT_TRUE(unresolvable.Made());
    const TPathProbe before = ProbePath(font);

    try {
        InstallFontFile(source_, destination_, L"ARIAL.TTF",
                        [this](const std::wstring& line) { lines_.push_back(line); });
        ADD_FAILURE() << "no error raised";
    } catch (const EInstallError& e) {
        EXPECT_NE(e.Message.find(font), std::wstring::npos) << U8(e.Message);
        EXPECT_NE(e.Message.find(SysErrorMessage(before.Error)), std::wstring::npos)
            << U8(e.Message);
    }

    EXPECT_TRUE(lines_.empty());
    EXPECT_EQ(static_cast<int>(ProbePath(font).State), static_cast<int>(TPathState::Unknown));
    EXPECT_FALSE(ReadFontValue(ValueName(0)).has_value());
}

// The one test on the prefix's real fonts folder; what it adds is removed again.
TEST(FontStepWindowsTest, InstallsIntoTheWindowsFontsFolder) {
    FixtureRegistrations registrations;
    TempDir dir;
    const std::wstring fileName = L"verdana.TTF";
    WriteBytes(dir / fileName, MakeTestFont(6));
    const std::wstring installed = FontsDestinationFolder() + fileName;
    ASSERT_FALSE(PathExists(installed)) << "left over from an earlier run: " << U8(installed);
    std::vector<std::wstring> lines;

    InstallFontFile(dir.Path(), FontsDestinationFolder(), fileName,
                    [&](const std::wstring& line) { lines.push_back(line); });

    EXPECT_EQ(ReadBytes(installed), MakeTestFont(6));
    EXPECT_EQ(U8(ReadFontValue(ValueName(6)).value_or(L"")), "verdana.TTF");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(U8(lines[0]), U8(ExpectedLine(6)));
    DeleteFileW(installed.c_str());
}
