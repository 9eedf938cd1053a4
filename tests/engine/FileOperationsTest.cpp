#include "EngineTestSupport.h"

#include "common/Errors.h"
#include "common/WinUtil.h"
#include "install/FileOperations.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using Names = std::vector<std::wstring>;

// --- CreateFolderIfMissing -----------------------------------------------------------------

TEST(CreateFolderIfMissing, CreatesOneLevelOnlyAndKeepsWhatExists) {
    TempDir dir;
    CreateFolderIfMissing(dir / L"Settings");
    EXPECT_TRUE(DirectoryExists(dir / L"Settings"));

    WriteBytes(dir / L"Settings\\holter.ini", "x");
    CreateFolderIfMissing(dir / L"Settings\\");
    EXPECT_EQ(ReadBytes(dir / L"Settings\\holter.ini"), "x");

    CreateFolderIfMissing(dir / L"a\\b");
    EXPECT_FALSE(PathExists(dir / L"a"));
}

// --- ProbePath -----------------------------------------------------------------------------

// Only "not found" means absent: a decision to replace something must never rest on a look
// that failed for another reason.
TEST(ProbePath, OnlyNotFoundMeansAbsent) {
    TempDir dir;
    WriteBytes(dir / L"T27.FDB", "records");
    WriteBytes(dir / L"empty.FDB", "");
    MakeDirs(dir / L"DTAfb");
    UnresolvableName unresolvable(dir / L"loop.FDB");
    ASSERT_TRUE(unresolvable.Made());
    struct Case {
        std::wstring path;
        TPathState state;
        ULONGLONG size;
    } cases[] = {
        {dir / L"T27.FDB", TPathState::File, 7},
        {dir / L"empty.FDB", TPathState::File, 0},
        {dir / L"DTAfb", TPathState::Folder, 0},
        {dir / L"missing.FDB", TPathState::Absent, 0},
        {dir / L"missing\\T27.FDB", TPathState::Absent, 0},
        {dir / L"loop.FDB", TPathState::Unknown, 0},
        {dir / L"bad<name", TPathState::Unknown, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.path));
        TPathProbe probe = ProbePath(c.path);
        EXPECT_EQ(static_cast<int>(probe.State), static_cast<int>(c.state));
        EXPECT_EQ(probe.Size, c.size);
        if (c.state == TPathState::Unknown) {
            EXPECT_NE(probe.Error, 0u);
        }
    }
}

// --- ListSubfolders ------------------------------------------------------------------------

TEST(ListSubfolders, KeepsOnlyVisibleSubfoldersOtherThanWithOutAnswer) {
    TempDir dir;
    MakeDirs(dir / L"A");
    MakeDirs(dir / L"WithOutAnswer");
    MakeDirs(dir / L"Hidden");
    SetFileAttributesW((dir / L"Hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    WriteBytes(dir / L"plain.txt", "x");

    Names list;
    ListSubfolders(dir.Path(), list);
    EXPECT_EQ(list, Names{dir / L"A"});
}

TEST(ListSubfolders, ExclusionIsCaseSensitiveAndListIsAppendedTo) {
    TempDir dir;
    MakeDirs(dir / L"withoutanswer");
    Names list{L"earlier"};
    ListSubfolders(dir.Path(), list);
    EXPECT_EQ(list, (Names{L"earlier", dir / L"withoutanswer"}));
}

TEST(ListSubfolders, MissingFolderAppendsNothing) {
    TempDir dir;
    Names list;
    ListSubfolders(dir / L"missing\\", list);
    EXPECT_TRUE(list.empty());
}

// --- CopyFolderTree ------------------------------------------------------------------------

TEST(CopyFolderTree, CopiesFilesAndVisibleSubfoldersIntoNewNestedDestination) {
    TempDir dir;
    const std::wstring src = dir / L"src";
    WriteBytes(src + L"\\a.txt", "a");
    WriteBytes(src + L"\\hidden.txt", "h");
    SetFileAttributesW((src + L"\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    WriteBytes(src + L"\\intl\\fbintl.conf", "conf");
    WriteBytes(src + L"\\intl\\deep\\x.bin", PatternBytes(70000, 1));
    WriteBytes(src + L"\\secret\\s.txt", "s");
    SetFileAttributesW((src + L"\\secret").c_str(), FILE_ATTRIBUTE_HIDDEN);

    const std::wstring dst = dir / L"out\\nested\\dst";
    CopyFolderTree(src, dst);

    EXPECT_EQ(NamesIn(dst), (Names{L"a.txt", L"hidden.txt", L"intl"}));
    EXPECT_EQ(ReadBytes(dst + L"\\intl\\fbintl.conf"), "conf");
    EXPECT_EQ(ReadBytes(dst + L"\\intl\\deep\\x.bin"), PatternBytes(70000, 1));
}

TEST(CopyFolderTree, ReplacesSameNamesAndKeepsDestinationOnlyFiles) {
    TempDir dir;
    WriteBytes(dir / L"src\\ReleaseInfo", "new");
    WriteBytes(dir / L"dst\\ReleaseInfo", "old and longer");
    WriteBytes(dir / L"dst\\mine.txt", "mine");
    // The updater's files go into the target folder itself, given with its trailing "\".
    CopyFolderTree(dir / L"src", dir / L"dst\\");
    EXPECT_EQ(ReadBytes(dir / L"dst\\ReleaseInfo"), "new");
    EXPECT_EQ(ReadBytes(dir / L"dst\\mine.txt"), "mine");
}

TEST(CopyFolderTree, MissingSourceStillCreatesDestination) {
    TempDir dir;
    CopyFolderTree(dir / L"missing", dir / L"a\\b");
    EXPECT_TRUE(DirectoryExists(dir / L"a\\b"));
    EXPECT_TRUE(NamesIn(dir / L"a\\b").empty());
}

// --- CopyFileStream ------------------------------------------------------------------------

struct CopyCase {
    const char* name;
    std::size_t size;
    long long earlierSize; // -1: no destination before the copy
};

class CopyFileStreamCopies : public testing::TestWithParam<CopyCase> {};

TEST_P(CopyFileStreamCopies, DestinationIsExactCopyAndNoTempFileRemains) {
    const CopyCase& c = GetParam();
    TempDir dir;
    const std::string bytes = PatternBytes(c.size, 7);
    WriteBytes(dir / L"src.bin", bytes);
    if (c.earlierSize >= 0)
        WriteBytes(dir / L"out\\dst.bin", PatternBytes(c.earlierSize, 9));
    else
        MakeDirs(dir / L"out");

    EXPECT_TRUE(CopyFileStream(dir / L"src.bin", dir / L"out\\dst.bin"));
    EXPECT_TRUE(ReadBytes(dir / L"out\\dst.bin") == bytes);
    EXPECT_EQ(NamesIn(dir / L"out"), Names{L"dst.bin"});
    EXPECT_EQ(ReadBytes(dir / L"src.bin").size(), c.size);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, CopyFileStreamCopies,
    testing::Values(CopyCase{"Empty", 0, -1}, CopyCase{"EmptyOverExisting", 0, 5000},
                    CopyCase{"OneByte", 1, -1},
                    CopyCase{"ChunkMinusOne", CopyFileStreamChunkSize - 1, -1},
                    CopyCase{"ChunkPlusOne", CopyFileStreamChunkSize + 1, -1},
                    CopyCase{"SeveralChunksOverLongerFile", 3 * CopyFileStreamChunkSize + 7,
                             static_cast<long long>(5 * CopyFileStreamChunkSize)}),
    [](const testing::TestParamInfo<CopyCase>& info) { return std::string(info.param.name); });

TEST(CopyFileStream, SmallChunksCopyTheSameBytes) {
    TempDir dir;
    const std::string bytes = PatternBytes(100003, 3);
    WriteBytes(dir / L"src.bin", bytes);
    EXPECT_TRUE(CopyFileStream(dir / L"src.bin", dir / L"dst.bin", 4096));
    EXPECT_TRUE(ReadBytes(dir / L"dst.bin") == bytes);
}

TEST(CopyFileStream, TimeStampIsSourceLocalTimeRoundedDownToEvenSecond) {
    struct Case {
        WORD second, milliseconds, expectedSecond;
    };
    for (Case c : {Case{33, 700, 32}, Case{32, 0, 32}, Case{59, 999, 58}, Case{0, 1, 0}}) {
        TempDir dir;
        WriteBytes(dir / L"src.bin", "data");
        SYSTEMTIME source{2023, 5, 0, 17, 10, 20, c.second, c.milliseconds};
        SetLocalWriteTime(dir / L"src.bin", source);

        ASSERT_TRUE(CopyFileStream(dir / L"src.bin", dir / L"dst.bin"));
        SYSTEMTIME got = LocalWriteTime(dir / L"dst.bin");
        EXPECT_EQ(got.wYear, 2023);
        EXPECT_EQ(got.wMonth, 5);
        EXPECT_EQ(got.wDay, 17);
        EXPECT_EQ(got.wHour, 10);
        EXPECT_EQ(got.wMinute, 20);
        EXPECT_EQ(got.wSecond, c.expectedSecond) << "source second " << c.second;
        EXPECT_EQ(got.wMilliseconds, 0);
    }
}

// Runs CopyFileStream expecting EInstallError; returns its message.
std::wstring CopyErrorMessage(const std::wstring& from, const std::wstring& to) {
    try {
        CopyFileStream(from, to);
    } catch (const EInstallError& e) {
        return e.Message;
    }
    ADD_FAILURE() << "no error raised copying " << U8(from) << " to " << U8(to);
    return L"";
}

TEST(CopyFileStream, MissingSourceRaisesNamingItAndLeavesDestinationAlone) {
    TempDir dir;
    WriteBytes(dir / L"dst.bin", "earlier");
    std::wstring message = CopyErrorMessage(dir / L"missing.bin", dir / L"dst.bin");
    EXPECT_NE(message.find(dir / L"missing.bin"), std::wstring::npos) << U8(message);
    EXPECT_EQ(ReadBytes(dir / L"dst.bin"), "earlier");
    EXPECT_EQ(NamesIn(dir.Path()), Names{L"dst.bin"});
}

TEST(CopyFileStream, SourceHeldOpenWithoutSharingRaisesNamingIt) {
    TempDir dir;
    WriteBytes(dir / L"src.bin", "new");
    UniqueHandle held(CreateFileW((dir / L"src.bin").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.valid());
    std::wstring message = CopyErrorMessage(dir / L"src.bin", dir / L"dst.bin");
    EXPECT_NE(message.find(dir / L"src.bin"), std::wstring::npos) << U8(message);
    EXPECT_FALSE(PathExists(dir / L"dst.bin"));
}

TEST(CopyFileStream, DestinationHeldOpenWithoutSharingRaisesAndStaysIntact) {
    TempDir dir;
    WriteBytes(dir / L"src.bin", PatternBytes(5000, 1));
    WriteBytes(dir / L"out\\T27.FDB", "patient data");
    std::wstring message;
    {
        UniqueHandle held(CreateFileW((dir / L"out\\T27.FDB").c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held.valid());
        message = CopyErrorMessage(dir / L"src.bin", dir / L"out\\T27.FDB");
    }
    EXPECT_NE(message.find(dir / L"out\\T27.FDB"), std::wstring::npos) << U8(message);
    EXPECT_EQ(ReadBytes(dir / L"out\\T27.FDB"), "patient data");
    EXPECT_EQ(NamesIn(dir / L"out"), Names{L"T27.FDB"});
}

TEST(CopyFileStream, DestinationInMissingFolderRaisesNamingIt) {
    TempDir dir;
    WriteBytes(dir / L"src.bin", "x");
    std::wstring message = CopyErrorMessage(dir / L"src.bin", dir / L"missing\\dst.bin");
    EXPECT_NE(message.find(dir / L"missing\\dst.bin"), std::wstring::npos) << U8(message);
    EXPECT_FALSE(PathExists(dir / L"missing"));
}

TEST(CopyFileStream, DestinationThatIsAFolderRaises) {
    TempDir dir;
    WriteBytes(dir / L"src.bin", "x");
    MakeDirs(dir / L"dst.bin");
    std::wstring message = CopyErrorMessage(dir / L"src.bin", dir / L"dst.bin");
    EXPECT_NE(message.find(dir / L"dst.bin"), std::wstring::npos) << U8(message);
    EXPECT_TRUE(DirectoryExists(dir / L"dst.bin"));
}

// The small drive is a 1 MiB tmpfs: a 2 MiB copy must fail there for real.
TEST(CopyFileStream, FullDiskGivesFalseAndKeepsEarlierDestination) {
    wchar_t drive[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"VELMORA_TEST_SMALL_DISK", drive, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        GTEST_SKIP() << "VELMORA_TEST_SMALL_DISK is not set: no small disk to fill";
    TempDir dir;
    const std::string big = PatternBytes(2 << 20, 5);
    WriteBytes(dir / L"src.bin", big);

    const std::wstring folder = IncludeTrailingPathDelimiter(drive) + L"engine-" +
                                std::to_wstring(GetCurrentProcessId()) + L"\\";
    struct Cleanup {
        std::wstring folder;
        ~Cleanup() { RemoveTree(folder); }
    } cleanup{folder};
    const std::string earlier = PatternBytes(64 << 10, 6);
    WriteBytes(folder + L"T27.FDB", earlier);

    EXPECT_FALSE(CopyFileStream(dir / L"src.bin", folder + L"T27.FDB"));
    EXPECT_TRUE(ReadBytes(folder + L"T27.FDB") == earlier);
    EXPECT_FALSE(CopyFileStream(dir / L"src.bin", folder + L"new.bin"));
    EXPECT_EQ(NamesIn(folder), Names{L"T27.FDB"});
}

// --- Copies from read-only media ------------------------------------------------------------

// A CD's files are read-only; their installed copies must not be, or the next installation
// from a newer CD could not replace them.
TEST(CopyFromReadOnlyMedia, CopiesAreNotReadOnly) {
    TempDir dir;
    const std::wstring cd = dir / L"cd";
    WriteBytes(cd + L"\\Updater.exe", "u");
    WriteBytes(cd + L"\\R2.5_150322\\Install.cmd", "p");
    for (const wchar_t* name : {L"\\Updater.exe", L"\\R2.5_150322\\Install.cmd"})
        ASSERT_TRUE(SetFileAttributesW((cd + name).c_str(), FILE_ATTRIBUTE_READONLY));
    MakeDirs(dir / L"target");

    CopyFolderTree(cd, dir / L"tree");
    EXPECT_TRUE(ShellCopyFolder(cd, dir / L"target\\FTDIDriverInstall"));

    for (const std::wstring& copy :
         {dir / L"tree\\Updater.exe", dir / L"tree\\R2.5_150322\\Install.cmd",
          dir / L"target\\FTDIDriverInstall\\Updater.exe"}) {
        SCOPED_TRACE(U8(copy));
        DWORD attributes = GetFileAttributesW(copy.c_str());
        ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, 0u);
    }
}

// While a copy runs (seen from its progress calls), nothing carries the destination's name but
// what was there before, and the one new file is the temporary copy beside it. The last call
// comes once the copy is complete, just before it takes the name.
TEST(CopyFileStream, NothingTakesTheDestinationsNameUntilTheCopyIsComplete) {
    for (bool earlier : {false, true}) {
        SCOPED_TRACE(earlier ? "over an earlier file" : "no earlier file");
        TempDir dir;
        const std::string bytes = PatternBytes(5 * 4096 + 11, 4);
        WriteBytes(dir / L"src.bin", bytes);
        if (earlier)
            WriteBytes(dir / L"out\\T27.FDB", "patient data");
        else
            MakeDirs(dir / L"out");

        std::vector<unsigned long long> calls;
        auto progress = [&](unsigned long long done, unsigned long long total) {
            EXPECT_EQ(total, bytes.size());
            calls.push_back(done);
            EXPECT_EQ(PathExists(dir / L"out\\T27.FDB"), earlier) << "after " << done;
            Names names = NamesIn(dir / L"out");
            std::erase(names, L"T27.FDB");
            ASSERT_EQ(names.size(), 1u) << "the temporary copy is the one new file";
            EXPECT_EQ(names[0].rfind(L"T27.FDB.~", 0), 0u) << U8(names[0]);
            if (done == total) {
                EXPECT_TRUE(ReadBytes(dir / L"out\\" + names[0]) == bytes)
                    << "complete before it takes the name";
            }
        };
        ASSERT_TRUE(CopyFileStream(dir / L"src.bin", dir / L"out\\T27.FDB", 4096, progress));
        EXPECT_TRUE(ReadBytes(dir / L"out\\T27.FDB") == bytes);
        EXPECT_EQ(NamesIn(dir / L"out"), Names{L"T27.FDB"});
        ASSERT_GE(calls.size(), 2u);
        EXPECT_EQ(calls.front(), 0u);
        EXPECT_EQ(calls.back(), bytes.size());
        EXPECT_TRUE(std::is_sorted(calls.begin(), calls.end()));
    }
}

// An exception from the progress call (the window's thread ended the run) drops the copy.
TEST(CopyFileStream, AnExceptionFromProgressLeavesTheDestinationAsItWas) {
    struct Stop {};
    struct Case {
        const char* name;
        bool earlier;
        bool atTheEnd; // thrown at the last call rather than the first
    } cases[] = {{"first call, no earlier file", false, false},
                 {"last call, no earlier file", false, true},
                 {"last call, over an earlier file", true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string bytes = PatternBytes(3 * CopyFileStreamChunkSize + 5, 8);
        WriteBytes(dir / L"src.bin", bytes);
        if (c.earlier)
            WriteBytes(dir / L"out\\dst.bin", "earlier");
        else
            MakeDirs(dir / L"out");
        auto progress = [&](unsigned long long done, unsigned long long total) {
            if (c.atTheEnd ? done == total : done == 0) throw Stop{};
        };
        EXPECT_THROW(CopyFileStream(dir / L"src.bin", dir / L"out\\dst.bin", progress), Stop);
        if (c.earlier) {
            EXPECT_EQ(ReadBytes(dir / L"out\\dst.bin"), "earlier");
            EXPECT_EQ(NamesIn(dir / L"out"), Names{L"dst.bin"});
        } else {
            EXPECT_EQ(NamesIn(dir / L"out"), Names{});
        }
    }
}

// What an interrupted run left beside the destination goes; what only looks alike, and the
// temporary copy of a copy still running (held open), stay.
TEST(CopyFileStream, RemovesTheTemporaryCopiesOfInterruptedRuns) {
    TempDir dir;
    WriteBytes(dir / L"src.bin", "new database");
    const Names leftovers = {L"T27.FDB.~4242.tmp", L"T27.FDB.~1.TMP", L"t27.fdb.~77.tmp"};
    const Names others = {L"Other.FDB.~5.tmp", L"T27.FDB.~.tmp",      L"T27.FDB.~12x.tmp",
                          L"T27.FDB.tmp",      L"T27.FDB.~5.tmp.bak", L"running.T27.FDB.~6.tmp"};
    for (const auto& name : leftovers)
        WriteBytes(dir / (L"out\\" + name), PatternBytes(70000, 2));
    for (const auto& name : others)
        WriteBytes(dir / (L"out\\" + name), "x");
    WriteBytes(dir / L"out\\T27.FDB.~999.tmp", "in use");
    UniqueHandle running(CreateFileW((dir / L"out\\T27.FDB.~999.tmp").c_str(), GENERIC_WRITE,
                                     FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(running.valid());

    ASSERT_TRUE(CopyFileStream(dir / L"src.bin", dir / L"out\\T27.FDB"));
    EXPECT_EQ(ReadBytes(dir / L"out\\T27.FDB"), "new database");
    Names expected = others;
    expected.push_back(L"T27.FDB");
    expected.push_back(L"T27.FDB.~999.tmp");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(NamesIn(dir / L"out"), expected);
}

// --- SetReadOnlyAttribute ------------------------------------------------------------------

TEST(SetReadOnlyAttribute, SetsAndClearsOnlyTheReadOnlyBit) {
    TempDir dir;
    const std::wstring file = dir / L"ReleaseInfo";
    WriteBytes(file, "x");
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN);

    const DWORD before = GetFileAttributesW(file.c_str());
    ASSERT_NE(before & FILE_ATTRIBUTE_HIDDEN, 0u);
    SetReadOnlyAttribute(file, true);
    EXPECT_EQ(GetFileAttributesW(file.c_str()), before | FILE_ATTRIBUTE_READONLY);
    SetReadOnlyAttribute(file, false);
    EXPECT_EQ(GetFileAttributesW(file.c_str()), before);

    SetReadOnlyAttribute(dir / L"missing", false);
    EXPECT_FALSE(PathExists(dir / L"missing"));
}

// --- ShellCopyFolder -----------------------------------------------------------------------

// Only the folder's own files are checked: Wine's shell applies FOF_FILESONLY to the folder's
// content and leaves its subfolders out, where Windows copies them.
TEST(ShellCopyFolder, CopiesFolderToNewDestination) {
    TempDir dir;
    WriteBytes(dir / L"FTDIDriverInstall\\FTDIDriverInstall.exe", PatternBytes(3000, 2));
    WriteBytes(dir / L"FTDIDriverInstall\\ftdibus.inf", "inf");
    MakeDirs(dir / L"target");

    EXPECT_TRUE(
        ShellCopyFolder(dir / L"FTDIDriverInstall\\", dir / L"target\\FTDIDriverInstall\\"));
    EXPECT_TRUE(ReadBytes(dir / L"target\\FTDIDriverInstall\\FTDIDriverInstall.exe") ==
                PatternBytes(3000, 2));
    EXPECT_EQ(ReadBytes(dir / L"target\\FTDIDriverInstall\\ftdibus.inf"), "inf");
}
