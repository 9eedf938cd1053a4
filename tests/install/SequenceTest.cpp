// The installation run in process, against a host that records what the run tells it: how each
// fault of the distribution or the target ends the run, and that the busy state is always left.
#include "InstallExpectations.h"
#include "common/Errors.h"
#include "common/WinUtil.h"
#include "install/InstallSequence.h"
#include "install/TargetFolder.h"
#include "support/Distribution.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

class TRecorder : public TInstallHost {
public:
    std::vector<std::wstring> lines;
    std::vector<std::wstring> events; // busy, questions, errors, finish, in order
    bool answer = true;

    void BeginProgress() override { events.push_back(L"begin"); }
    void AddProgressLine(const std::wstring& text) override { lines.push_back(text); }
    void ReplaceLastProgressLine(const std::wstring& text) override {
        ASSERT_FALSE(lines.empty()) << "an outcome before any line";
        lines.back() = text;
    }
    void ProcessMessages() override {}
    bool Ask(const std::wstring& question) override {
        events.push_back(L"ask " + question);
        return answer;
    }
    void ReportError(const std::wstring& text) override { events.push_back(L"error " + text); }
    void SetBusy(bool busy) override { events.push_back(busy ? L"busy" : L"idle"); }
    void Finish(bool) override { events.push_back(L"finish"); }

    bool Has(const std::wstring& event) const {
        return std::find(events.begin(), events.end(), event) != events.end();
    }
    // Busy entered and left as often.
    bool BusyBalanced() const {
        int depth = 0;
        for (const auto& e : events) {
            if (e == L"busy") ++depth;
            if (e == L"idle") --depth;
            if (depth < 0 || depth > 1) return false;
        }
        return depth == 0;
    }
};

// The run changes the current folder (the hand-over leaves the target current); every case
// starts from the same one. The desktop link is a COM object, as in the program.
class Sequence : public ::testing::Test {
protected:
    wchar_t saved[MAX_PATH] = L"";
    std::unique_ptr<ComInit> com;
    void SetUp() override {
        GetCurrentDirectoryW(MAX_PATH, saved);
        com = std::make_unique<ComInit>();
        RemoveSuiteFonts();
    }
    void TearDown() override {
        SetCurrentDirectoryW(saved);
        RemoveSuiteFonts();
        com.reset();
    }
};

enum class Ends { Installed, Stopped, Raises };

TEST_F(Sequence, FaultsEndTheRunWhereTheyHappenAndAlwaysLeaveTheBusyState) {
    wchar_t smallDisk[8] = L"";
    GetEnvironmentVariableW(L"VELMORA_TEST_SMALL_DISK", smallDisk, 8);
    struct Case {
        const char* name;
        std::set<std::wstring> omit;
        uint64_t databaseBytes;
        bool onSmallDisk;       // the target on a 1 MiB disk
        const wchar_t* blocker; // a file where the run wants a folder
        Ends ends;
        std::wstring lastLine;             // the progress list's last line
        std::optional<std::wstring> error; // the error box the host was asked for
        const wchar_t* raisedNames;        // what the raised error names
    } cases[] = {
        {"the database is missing",
         {L"DTAfb\\T27.FDB"},
         4096,
         false,
         nullptr,
         Ends::Raises,
         Copied(L"T27.FDB"),
         std::nullopt,
         L"T27.FDB"},
        {"a runtime file is missing",
         {L"Firebird\\gbak.exe"},
         4096,
         false,
         nullptr,
         Ends::Raises,
         Copied(L"gbak.exe"),
         std::nullopt,
         L"gbak.exe"},
        {"an udf file is missing",
         {L"Firebird\\udf\\ib_udf.sql"},
         4096,
         false,
         nullptr,
         Ends::Raises,
         Copied(L"ib_udf.sql"),
         std::nullopt,
         L"ib_udf.sql"},
        {"the disk is full",
         {},
         3 << 20,
         true,
         nullptr,
         Ends::Stopped,
         Copied(L"T27.FDB") + L"ОШИБКА!!!",
         std::nullopt,
         nullptr},
        {"the database folder is a file",
         {},
         4096,
         false,
         L"DTAfb",
         Ends::Stopped,
         L"Ошибка при создании каталога <DTAfb>!",
         L"Ошибка при создании каталога <DTAfb>!",
         nullptr},
        {"no release package to hand over",
         {L"backup"},
         4096,
         false,
         nullptr,
         Ends::Raises,
         L"Установка драйверов устройства завершена",
         std::nullopt,
         nullptr},
        {"complete",
         {},
         4096,
         false,
         nullptr,
         Ends::Installed,
         L"Установка драйверов устройства завершена",
         std::nullopt,
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.onSmallDisk && !smallDisk[0]) {
            std::printf("skipped \"%s\": no small disk (VELMORA_TEST_SMALL_DISK) in this run\n",
                        c.name);
            continue;
        }
        TempDir dist, work;
        DistributionOptions options;
        options.Omit = c.omit;
        options.DatabaseBytes = c.databaseBytes;
        ASSERT_NO_THROW(MakeDistribution(dist.Path(), options));
        const std::wstring target =
            c.onSmallDisk ? std::wstring(smallDisk) + L"Holter\\" : work.Path() + L"Holter\\";
        RemoveTree(target);
        ASSERT_EQ(CreateTargetFolders(target), 0u);
        if (c.blocker) WriteBytes(target + c.blocker, "in the way");

        TInstallInputs inputs;
        inputs.Target = target;
        inputs.Source = dist.Path();
        inputs.Silent = true;
        TRecorder host;
        std::optional<TInstallOutcome> outcome;
        std::wstring raised;
        try {
            outcome = RunInstallSequence(inputs, host);
        } catch (const EInstallError& e) {
            raised = e.Message.empty() ? L"(empty)" : e.Message;
        } catch (const std::exception&) {
            raised = L"(other)";
        }
        SetCurrentDirectoryW(saved);

        switch (c.ends) {
        case Ends::Installed:
            EXPECT_EQ(outcome, TInstallOutcome::Installed) << U8(raised);
            EXPECT_TRUE(host.Has(L"finish"));
            EXPECT_TRUE(host.Has(L"ask " + std::wstring(kDriverQuestion)));
            break;
        case Ends::Stopped:
            EXPECT_EQ(outcome, TInstallOutcome::Stopped) << U8(raised);
            EXPECT_FALSE(host.Has(L"finish"));
            break;
        case Ends::Raises:
            EXPECT_FALSE(outcome.has_value());
            EXPECT_FALSE(raised.empty()) << "the run did not raise";
            if (c.raisedNames) {
                EXPECT_NE(raised.find(c.raisedNames), std::wstring::npos) << U8(raised);
            }
            EXPECT_FALSE(host.Has(L"finish"));
            break;
        }
        ASSERT_FALSE(host.lines.empty());
        EXPECT_EQ(U8(host.lines.back()), U8(c.lastLine));
        EXPECT_EQ(host.Has(L"error " + c.error.value_or(L"")), c.error.has_value());
        EXPECT_TRUE(host.BusyBalanced()) << "the busy state was not left";
        EXPECT_EQ(host.events.front(), L"begin");
        RemoveTree(target);
    }
}

TEST_F(Sequence, ATargetThatCannotBeCreatedStopsBeforeTheBusyState) {
    TempDir dist, work;
    ASSERT_NO_THROW(MakeDistribution(dist.Path()));
    TInstallInputs inputs;
    inputs.Target = work.Path() + L"missing parent\\Holter";
    inputs.Source = dist.Path();
    TRecorder host;
    EXPECT_EQ(RunInstallSequence(inputs, host), TInstallOutcome::Stopped);
    EXPECT_EQ(host.lines, std::vector<std::wstring>{L"Ошибка при создании каталога!"});
    EXPECT_TRUE(host.Has(L"error Ошибка при создании каталога!"));
    EXPECT_FALSE(host.Has(L"busy"));
}

TEST_F(Sequence, TheDriverQuestionFollowsTheChoiceAndTheAnswer) {
    struct Case {
        const char* name;
        bool chosen, yes, asked, installed;
    } cases[] = {{"not chosen", false, true, false, false},
                 {"answered No", true, false, true, false},
                 {"answered Yes", true, true, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dist, work;
        ASSERT_NO_THROW(MakeDistribution(dist.Path()));
        ASSERT_EQ(CreateTargetFolders(work.Path() + L"Holter\\"), 0u); // as the path page does
        TInstallInputs inputs;
        inputs.Target = work.Path() + L"Holter";
        inputs.Source = dist.Path();
        inputs.InstallDriver = c.chosen;
        inputs.Silent = true;
        TRecorder host;
        host.answer = c.yes;
        EXPECT_EQ(RunInstallSequence(inputs, host), TInstallOutcome::Installed);
        SetCurrentDirectoryW(saved);
        EXPECT_EQ(host.Has(L"ask " + std::wstring(kDriverQuestion)), c.asked);
        EXPECT_EQ(host.lines.back() == L"Установка драйверов устройства завершена", c.installed);
        EXPECT_EQ(PathExists(work.Path() + L"Holter\\FTDIDriverInstall\\driver-install.log"),
                  c.installed);
        RemoveSuiteFonts();
    }
}

} // namespace
