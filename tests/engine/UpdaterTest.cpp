#include "EngineTestSupport.h"

#include "common/Errors.h"
#include "common/WinUtil.h"
#include "install/Updater.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using Names = std::vector<std::wstring>;

namespace {

std::wstring ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EInstallError& e) {
        return e.Message;
    }
    ADD_FAILURE() << "no EInstallError raised";
    return L"";
}

const char kReleaseInfoV1[] = "<?xml version=\"1.0\"?>\r\n"
                              "<ROOT><Version>1</Version><Level>old</Level><Server "
                              "url=\"http://upd\">keep</Server></ROOT>\r\n";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

// --- DateKey and the choice of the newest package --------------------------------------------

TEST(DateKey, ReadsDdMmYyAsYyMmDd) {
    EXPECT_EQ(DateKey(L"C:\\T\\backup\\R2.5_150322"), 220315);
    EXPECT_EQ(DateKey(L"C:\\T\\backup\\R2.5_010124"), 240101);
    EXPECT_EQ(DateKey(L"C:\\T\\backup\\R2.5_311299"), 991231);
    EXPECT_EQ(DateKey(L"010100"), 101);
}

TEST(DateKey, NameWithoutSixDigitsRaisesNamingTheFolder) {
    for (std::wstring folder : {L"C:\\T\\backup\\R2.5_01012x", L"C:\\T\\backup\\R2.5", L"12345",
                                L"C:\\T\\backup\\R_0101 24"}) {
        std::wstring message = ErrorOf([&] { DateKey(folder); });
        EXPECT_NE(message.find(L"\"" + folder + L"\""), std::wstring::npos) << U8(message);
    }
}

TEST(ChooseNewestPackage, TableOfChoices) {
    struct Case {
        const char* what;
        Names packages;
        std::wstring expected;
    };
    const std::wstring b = L"C:\\T\\backup\\";
    const Case cases[] = {
        {"greatest YYMMDD wins",
         {b + L"R2.5_150322", b + L"R2.5_311223", b + L"R2.5_010124"},
         b + L"R2.5_010124"},
        {"two-digit year decides: 99 beats 24",
         {b + L"R2.5_010124", b + L"R1.0_311299"},
         b + L"R1.0_311299"},
        {"equal keys: first in case-insensitive order",
         {b + L"b_010124", b + L"a_010124", b + L"B2_010124"},
         b + L"a_010124"},
        {"equal keys: case-insensitive, not ordinal, order",
         {b + L"R_010124", b + L"q_010124"},
         b + L"q_010124"},
        {"WithOutAnswer never takes part",
         {b + L"WithOutAnswer", b + L"R2.5_150322"},
         b + L"R2.5_150322"},
        {"a single package", {b + L"R2.5_150322"}, b + L"R2.5_150322"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseNewestPackage(L"C:\\T\\backup", c.packages), c.expected) << c.what;
}

TEST(ChooseNewestPackage, NoPackageRaisesNamingTheBackupFolder) {
    for (const Names& packages : {Names{}, Names{L"C:\\T\\backup\\WithOutAnswer"}}) {
        std::wstring message = ErrorOf([&] { ChooseNewestPackage(L"C:\\T\\backup", packages); });
        EXPECT_NE(message.find(L"\"C:\\T\\backup\""), std::wstring::npos) << U8(message);
    }
}

TEST(ReleaseLevelOf, DropsTheFirstCharacterOfTheFolderName) {
    EXPECT_EQ(ReleaseLevelOf(L"C:\\T\\backup\\R2.5.1_010124"), L"2.5.1_010124");
    EXPECT_EQ(ReleaseLevelOf(L"C:\\T\\backup\\R2.5.1_010124\\"), L"2.5.1_010124");
}

// --- UpdateReleaseLevel --------------------------------------------------------------------

TEST(UpdateReleaseLevel, Version1GetsNewLevelAndKeepsTheRest) {
    TempDir dir;
    WriteBytes(dir / L"ReleaseInfo", kReleaseInfoV1);
    UpdateReleaseLevel(dir.Path(), L"2.5.1_010124");
    std::string text = ReadBytes(dir / L"ReleaseInfo");
    EXPECT_TRUE(Contains(text, "<Level>2.5.1_010124</Level>")) << text;
    EXPECT_TRUE(Contains(text, "<Version>1</Version>")) << text;
    EXPECT_TRUE(Contains(text, "<Server url=\"http://upd\">keep</Server>")) << text;
    EXPECT_FALSE(Contains(text, "old")) << text;
    EXPECT_EQ(NamesIn(dir.Path()), Names{L"ReleaseInfo"});
}

TEST(UpdateReleaseLevel, RejectedFilesRaiseAndStayUnchanged) {
    struct Case {
        const char* what;
        std::string content;
        std::wstring expected; // whole message, or empty to check only the prefix
    };
    const std::wstring prefix = L"Cannot get release information, error: ";
    const Case cases[] = {
        {"version 2", "<ROOT><Version>2</Version><Level>old</Level></ROOT>",
         prefix + L"unknown release file version"},
        {"missing version counts as 0", "<ROOT><Level>old</Level></ROOT>",
         prefix + L"unknown release file version"},
        {"version not a number", "<ROOT><Version>one</Version><Level>old</Level></ROOT>", L""},
        {"malformed XML", "<ROOT><Version>1</Version><Level>old</ROOT>", L""},
        {"empty file", "", L""},
        {"no ROOT", "<Release><Version>1</Version><Level>old</Level></Release>", L""},
        {"no Level", "<ROOT><Version>1</Version></ROOT>", L""},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteBytes(dir / L"ReleaseInfo", c.content);
        std::wstring message = ErrorOf([&] { UpdateReleaseLevel(dir.Path(), L"2.5_010124"); });
        if (c.expected.empty())
            EXPECT_TRUE(message.starts_with(prefix) && message.size() > prefix.size())
                << c.what << ": " << U8(message);
        else
            EXPECT_EQ(message, c.expected) << c.what;
        EXPECT_EQ(ReadBytes(dir / L"ReleaseInfo"), c.content) << c.what;
        EXPECT_EQ(NamesIn(dir.Path()), Names{L"ReleaseInfo"}) << c.what;
    }
}

TEST(UpdateReleaseLevel, MissingFileRaises) {
    TempDir dir;
    EXPECT_EQ(ErrorOf([&] { UpdateReleaseLevel(dir.Path(), L"2.5_010124"); }),
              L"Release info file does not exist");
}

TEST(UpdateReleaseLevel, ReadOnlyFileIsNotSilentlyLeftStale) {
    TempDir dir;
    WriteBytes(dir / L"ReleaseInfo", kReleaseInfoV1);
    SetFileAttributesW((dir / L"ReleaseInfo").c_str(), FILE_ATTRIBUTE_READONLY);
    std::wstring message = ErrorOf([&] { UpdateReleaseLevel(dir.Path(), L"2.5_010124"); });
    EXPECT_TRUE(message.starts_with(L"Cannot get release information, error: ")) << U8(message);
    EXPECT_EQ(ReadBytes(dir / L"ReleaseInfo"), kReleaseInfoV1);
}

TEST(UpdateReleaseLevel, ComIsBalancedForTheCaller) {
    TempDir dir;
    WriteBytes(dir / L"ReleaseInfo", kReleaseInfoV1);
    UpdateReleaseLevel(dir.Path(), L"a");
    // Had the routine left COM initialised, this would answer S_FALSE.
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(hr, S_OK);
    if (SUCCEEDED(hr)) CoUninitialize();
}

// --- HandOverToUpdater ---------------------------------------------------------------------

// A distribution with three dated packages, "WithOutAnswer" and the updater files (read-only,
// as they come from a CD), installed into a target under C:\Program Files whose name has a blank
// and Cyrillic letters, with the decoy C:\Program.exe in place.
class HandOver : public testing::Test {
protected:
    void SetUp() override {
        for (const wchar_t* name :
             {L"R2.5_150322", L"R2.5_311223", L"R2.5_010124", L"WithOutAnswer"})
            WriteReleaseScript(source + L"backup\\" + name + L"\\Install.cmd");
        WriteBytes(source + L"Updater\\ReleaseInfo", kReleaseInfoV1);
        WriteBytes(source + L"Updater\\Updater.exe.cfg", "cfg");
        WriteBytes(source + L"Updater\\Updater.exe", "MZ");
        SetReadOnlyAttr(source + L"Updater\\ReleaseInfo");
        SetReadOnlyAttr(source + L"Updater\\Updater.exe.cfg");
        MakeDirs(target);
    }
    void TearDown() override {
        // The hand-over leaves the target as the current folder, which keeps it from going.
        cwd.Restore();
        RemoveTreeWhenFree(target);
    }
    static void SetReadOnlyAttr(const std::wstring& f) {
        SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_READONLY);
    }

    SpawnDir dist;
    std::wstring source = dist.Path();
    std::wstring target =
        L"C:\\Program Files\\Velmora Тест " + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CurrentDirGuard cwd;
};

TEST_F(HandOver, RunsNewestScriptAndRecordsItsLevel) {
    DecoyProgramExe decoy;
    ProbeOutput decoyRan(dist / L"decoy.txt");

    HandOverToUpdater(source, target);

    EXPECT_EQ(NamesIn(target + L"backup"),
              (Names{L"R2.5_010124", L"R2.5_150322", L"R2.5_311223", L"WithOutAnswer"}));
    for (const wchar_t* name : {L"R2.5_150322", L"R2.5_311223", L"WithOutAnswer"})
        EXPECT_FALSE(PathExists(target + L"backup\\" + name + L"\\ran.txt")) << U8(name);
    EXPECT_TRUE(PathExists(target + L"backup\\R2.5_010124\\ran.txt"));
    EXPECT_FALSE(decoyRan.Written()) << "C:\\Program.exe was started";

    EXPECT_EQ(ReadBytes(target + L"Updater.exe"), "MZ");
    EXPECT_EQ(GetFileAttributesW((target + L"Updater.exe.cfg").c_str()) & FILE_ATTRIBUTE_READONLY,
              0u);
    EXPECT_EQ(GetFileAttributesW((target + L"ReleaseInfo").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_TRUE(Contains(ReadBytes(target + L"ReleaseInfo"), "<Level>2.5_010124</Level>"));
    EXPECT_EQ(IncludeTrailingPathDelimiter(GetCurrentDir()), target);
}

TEST_F(HandOver, KeepsAnExistingBackupFolderWhateverItsCase) {
    MakeDirs(target + L"BACKUP\\R0_010190");
    WriteReleaseScript(target + L"BACKUP\\R0_010190\\Install.cmd");
    HandOverToUpdater(source, target);
    EXPECT_EQ(NamesIn(target),
              (Names{L"BACKUP", L"ReleaseInfo", L"Updater.exe", L"Updater.exe.cfg"}));
    // 90 beats 24: only the two-digit year counts.
    EXPECT_TRUE(PathExists(target + L"BACKUP\\R0_010190\\ran.txt"));
    EXPECT_TRUE(Contains(ReadBytes(target + L"ReleaseInfo"), "<Level>0_010190</Level>"));
}

TEST_F(HandOver, NoPackageRaisesNamingTheFolderAndRunsNothing) {
    RemoveTree(source + L"backup");
    WriteReleaseScript(source + L"backup\\WithOutAnswer\\Install.cmd");
    std::wstring message = ErrorOf([&] { HandOverToUpdater(source, target); });
    EXPECT_NE(message.find(target + L"backup"), std::wstring::npos) << U8(message);
    EXPECT_FALSE(PathExists(target + L"backup\\WithOutAnswer\\ran.txt"));
    EXPECT_TRUE(Contains(ReadBytes(target + L"ReleaseInfo"), "<Level>old</Level>"));
}

TEST_F(HandOver, UndatedPackageRaisesNamingIt) {
    WriteReleaseScript(source + L"backup\\Rtest\\Install.cmd");
    std::wstring message = ErrorOf([&] { HandOverToUpdater(source, target); });
    EXPECT_NE(message.find(target + L"backup\\Rtest"), std::wstring::npos) << U8(message);
}

TEST_F(HandOver, ScriptThatCannotStartRaisesAndTargetBecomesCurrent) {
    DeleteFileW((source + L"backup\\R2.5_010124\\Install.cmd").c_str());
    std::wstring message = ErrorOf([&] { HandOverToUpdater(source, target); });
    EXPECT_EQ(message, L"Не смог создать процесс: " + target + L"backup\\R2.5_010124\\Install.cmd");
    EXPECT_EQ(IncludeTrailingPathDelimiter(GetCurrentDir()), target);
}
