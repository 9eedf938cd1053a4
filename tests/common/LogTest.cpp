// The journal: bounded file, newest first, CR LF, ANSI, the additional file and the dump.
#include "common/Errors.h"
#include "common/WinUtil.h"
#include "common/unitMyLog.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>

namespace {

// The message part of a file line, or "<no stamp>" when the line does not start with a time
// stamp "DD?MM?YYYY HH?NN?SS: " (any separators).
std::wstring MessageOf(const std::wstring& line) {
    const std::wstring shape = L"dd?dd?dddd dd?dd?dd: ";
    if (line.size() < shape.size()) return L"<no stamp>";
    for (size_t i = 0; i < shape.size(); ++i) {
        bool digit = iswdigit(line[i]);
        if ((shape[i] == L'd') != digit) return L"<no stamp>";
        if (shape[i] != L'd' && shape[i] != L'?' && shape[i] != line[i]) return L"<no stamp>";
    }
    return line.substr(shape.size());
}

std::vector<std::wstring> FileLines(const std::wstring& path) {
    return SplitLines(ReadAnsi(path));
}

struct LogTest : ::testing::Test {
    TempDir dir;
    std::wstring main = dir / L"main.log";
    std::wstring extra = dir / L"extra.log";
    TMyLog log;
    void SetUp() override { log.SetLogFileName(main); }
};

TEST_F(LogTest, NewestEntryFirstEveryLineEndedByCrLf) {
    log.AddMessage(L"first", false);
    log.AddMessage(L"second", false);
    std::string bytes = ReadBytes(main);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    auto lines = FileLines(main);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(MessageOf(lines[0]), L"second");
    EXPECT_EQ(MessageOf(lines[1]), L"first");
}

TEST_F(LogTest, TextIsWrittenInTheAnsiCodePageWithoutByteOrderMark) {
    // Letters outside ASCII in both Western and Cyrillic code pages.
    const std::wstring text = L"\u00DCbung \u0416";
    log.AddMessage(text, false);
    std::string bytes = ReadBytes(main);
    EXPECT_NE(bytes.find(": " + ToAnsi(text) + "\r\n"), std::string::npos);
    EXPECT_EQ(bytes.find(ToUtf8(L"\u00DC")), std::string::npos) << "not UTF-8";
    EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF");
}

TEST_F(LogTest, EntriesOfEarlierRunsAreKept) {
    WriteAnsi(main, L"old 1\r\nold 2\nold 3\r");
    TMyLog again;
    again.SetLogFileName(main);
    again.AddMessage(L"new", false);
    auto lines = FileLines(main);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(MessageOf(lines[0]), L"new");
    EXPECT_EQ(lines[1], L"old 1");
    EXPECT_EQ(lines[2], L"old 2");
    EXPECT_EQ(lines[3], L"old 3");
}

TEST_F(LogTest, The1001stEntryDropsTheOldest) {
    for (int i = 1; i <= 1001; ++i)
        log.AddMessage(L"m" + std::to_wstring(i), false);
    auto lines = FileLines(main);
    ASSERT_EQ(lines.size(), 1000u);
    EXPECT_EQ(MessageOf(lines.front()), L"m1001");
    EXPECT_EQ(MessageOf(lines.back()), L"m2");
}

TEST_F(LogTest, AnOversizedOldFileIsTrimmedByTheFirstMessage) {
    std::wstring old;
    for (int i = 0; i < 1500; ++i)
        old += L"old " + std::to_wstring(i) + L"\r\n";
    WriteAnsi(main, old);
    log.SetLogFileName(main);
    log.AddMessage(L"new", false);
    auto lines = FileLines(main);
    ASSERT_EQ(lines.size(), 1000u);
    EXPECT_EQ(MessageOf(lines[0]), L"new");
    EXPECT_EQ(lines[1], L"old 0");
    EXPECT_EQ(lines[999], L"old 998");
}

// A log grown to gigabytes (here a hole of zero bytes, no line ends, larger than a 32-bit
// process can hold) is read only as far as the list keeps: the newest 1000 entries are the
// first 1000 lines. A file that never gets to a line end starts the list empty.
TEST_F(LogTest, AHugeFileIsReadOnlyAsFarAsTheListKeeps) {
    const struct {
        const char* name;
        int headLines;
        size_t entries;
    } cases[] = {{"1005 lines, then gigabytes", 1005, 1000}, {"gigabytes, no line end", 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring head;
        for (int i = 0; i < c.headLines; ++i)
            head += L"old " + std::to_wstring(i) + L"\r\n";
        WriteAnsi(main, head);
        ASSERT_TRUE(SetFileLength(main, 3ull << 30));

        TMyLog again;
        ASSERT_NO_THROW(again.SetLogFileName(main));
        ASSERT_EQ(again.Entries().size(), c.entries);
        again.AddMessage(L"new", false);
        auto lines = FileLines(main);
        ASSERT_EQ(lines.size(), std::min<size_t>(c.entries + 1, 1000));
        EXPECT_EQ(MessageOf(lines[0]), L"new");
        if (c.entries) {
            EXPECT_EQ(lines[1], L"old 0");
            EXPECT_EQ(lines[999], L"old 998");
        }
    }
}

TEST_F(LogTest, AMultiLineMessageIsOneEntryNowAndSeveralAfterARestart) {
    log.AddMessage(L"a\r\nb", false);
    EXPECT_EQ(log.Entries().size(), 1u);
    auto lines = FileLines(main);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(MessageOf(lines[0]), L"a");
    EXPECT_EQ(lines[1], L"b");
    TMyLog again;
    again.SetLogFileName(main);
    EXPECT_EQ(again.Entries().size(), 2u);
}

TEST_F(LogTest, AdditionalFileGetsItsOwnCopy) {
    log.SetAddLogFileName(extra);
    log.AddMessage(L"both", false);
    log.AddMessage(L"only extra", true);
    auto m = FileLines(main), e = FileLines(extra);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(MessageOf(m[0]), L"both");
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(MessageOf(e[0]), L"only extra");
    EXPECT_EQ(MessageOf(e[1]), L"both");
}

TEST_F(LogTest, OnlyAdditionalWithoutAnAdditionalFileWritesNothing) {
    log.AddMessage(L"x", true);
    EXPECT_FALSE(PathExists(main));
    log.SetAddLogFileName(extra);
    log.SetAddLogFileName(L"");
    log.AddMessage(L"main only", false);
    EXPECT_EQ(FileLines(main).size(), 1u);
    EXPECT_FALSE(PathExists(extra));
}

TEST_F(LogTest, ByteArrayDumpIsTwoUpperHexDigitsAndABlankPerByte) {
    static uint8_t block[32768] = {};
    log.AddByteArray(L"zeros:", block);
    std::wstring expected = L"zeros:";
    for (int i = 0; i < 32768; ++i)
        expected += L"00 ";
    ASSERT_EQ(log.Entries().size(), 1u);
    EXPECT_EQ(MessageOf(log.Entries()[0]), expected);

    block[0] = 0xAB;
    block[32767] = 0x0f;
    log.AddByteArray(L"", block);
    std::wstring dump = MessageOf(log.Entries()[0]);
    EXPECT_EQ(dump.size(), 98304u);
    EXPECT_EQ(dump.substr(0, 6), L"AB 00 ");
    EXPECT_EQ(dump.substr(dump.size() - 3), L"0F ");
}

TEST_F(LogTest, AFailedWriteRaisesAndKeepsTheEntryForTheNextMessage) {
    // A folder where the file should be: the write cannot replace it.
    CreateDirectoryW(main.c_str(), nullptr);
    EXPECT_THROW(log.AddMessage(L"lost?", false), EInstallError);
    RemoveDirectoryW(main.c_str());
    log.AddMessage(L"later", false);
    auto lines = FileLines(main);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(MessageOf(lines[1]), L"lost?");
    EXPECT_FALSE(PathExists(main + L".new")) << "no temporary file is left behind";
}

TEST_F(LogTest, AFileHeldOpenByAnotherProgramIsNeitherReadNorTorn) {
    log.AddMessage(L"kept", false);
    std::string before = ReadBytes(main);
    HANDLE h = CreateFileW(main.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    TMyLog other;
    other.SetLogFileName(main);
    EXPECT_TRUE(other.Entries().empty());
    EXPECT_THROW(other.AddMessage(L"blocked", false), EInstallError);
    CloseHandle(h);
    EXPECT_EQ(ReadBytes(main), before);
}

TEST(LogTimeStamp, UsesTheWorkstationSeparators) {
    wchar_t oldDate[16], oldTime[16];
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, oldDate, 16);
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, oldTime, 16);
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, L"."));
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, L":"));
    SYSTEMTIME t{};
    t.wYear = 2020;
    t.wMonth = 12;
    t.wDay = 25;
    t.wHour = 14;
    t.wMinute = 3;
    t.wSecond = 5;
    std::wstring dotted = LogTimeStamp(t);
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, L"-"));
    std::wstring dashed = LogTimeStamp(t);
    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, oldDate);
    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, oldTime);
    EXPECT_EQ(dotted, L"25.12.2020 14:03:05");
    EXPECT_EQ(dashed, L"25-12-2020 14:03:05");
}

} // namespace
