// The installation run. Its order, lines and outcomes are those the clinic's technicians know
// from the wizard; the unattended mode runs the very same steps.
#include "install/InstallSequence.h"
#include "common/Errors.h"
#include "common/VL_Common_Proc.h"
#include "common/WinUtil.h"
#include "install/FileOperations.h"
#include "install/ProcessLaunch.h"
#include "install/Updater.h"
#include "resources/resource.h"
#include "system/DisplayFonts.h"
#include "system/Fonts.h"
#include "system/Shortcut.h"

#include <oleauto.h>

#include <vector>

namespace {

const wchar_t kDone[] = L"Завершено";
const wchar_t kFailed[] = L"ОШИБКА!!!";
const wchar_t kDatabaseKept[] = L"Пропущено: база данных уже существует";

// Database-server runtime files copied into the target itself, for each CBWindows choice.
const std::vector<std::wstring> kRuntimeModern = {
    L"aliases.conf", L"firebird.conf", L"fbclient.Dll", L"ib_util.Dll",
    L"icudt30.Dll",  L"icuin30.Dll",   L"icuuc30.Dll",  L"msvcp80.Dll",
    L"msvcr80.Dll",  L"firebird.msg",  L"gbak.exe",     L"gds32.dll"};
const std::vector<std::wstring> kRuntimeXP = {
    L"aliases.conf", L"firebird.conf", L"fbclient.Dll", L"ib_util.Dll", L"icudt30.Dll",
    L"icuin30.Dll",  L"icuuc30.Dll",   L"msvcp71.Dll",  L"msvcr71.Dll", L"firebird.msg"};
const std::vector<std::wstring> kIntlFiles = {L"fbintl.conf", L"fbintl.dll"};
const std::vector<std::wstring> kUdfFiles = {L"fbudf.dll", L"ib_udf.dll", L"fbudf.sql",
                                             L"ib_udf.sql", L"ib_udf2.sql"};
const std::vector<std::wstring> kSuiteUdfFiles = {L"Ferrat.Dll", L"Lumex.Dll", L"Quindal.Dll",
                                                  L"Varnek.Dll"};

// Writes one value of an INI file, keeping every other section and key of it.
void WriteIniString(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                    const std::wstring& value) {
    if (!WritePrivateProfileStringW(section, key, value.c_str(), file.c_str()))
        throw EInstallError(L"Не удалось записать файл \"" + file + L"\". " +
                            SysErrorMessage(GetLastError()));
}

// The counter file of a new installation: a 16-bit zero, a 32-bit zero and the current local
// time as days since 1899-12-30 (the fraction is the time of day), little-endian, 14 bytes.
void WriteLastNum(const std::wstring& file) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    double days = 0;
    SystemTimeToVariantTime(&now, &days);
    unsigned char record[14] = {};
    memcpy(record + 6, &days, sizeof days);
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    bool ok = WriteFile(h, record, sizeof record, &written, nullptr) && written == sizeof record;
    CloseHandle(h);
    // A torn record would be taken for a real one by the suite; without it the next
    // installation writes a new one.
    if (!ok) DeleteFileW(file.c_str());
}

// Busy from the settings to the last runtime file: the host refuses to close and shows the
// hourglass. Left on every way out, a raised error included.
class TBusyState {
public:
    explicit TBusyState(TInstallHost& host) : host_(host) { host_.SetBusy(true); }
    ~TBusyState() { Leave(); }
    void Leave() {
        if (busy_) host_.SetBusy(false);
        busy_ = false;
    }
    TBusyState(const TBusyState&) = delete;
    TBusyState& operator=(const TBusyState&) = delete;

private:
    TInstallHost& host_;
    bool busy_ = true;
};

// One run of the sequence: its inputs and the progress line reported last.
class TInstallRun {
public:
    TInstallRun(const TInstallInputs& inputs, TInstallHost& host) : in(inputs), host(host) {}
    TInstallOutcome Execute();

private:
    const TInstallInputs& in;
    TInstallHost& host;
    std::wstring target;
    std::wstring source;
    std::wstring lineText;

    void AddLine(const std::wstring& text) {
        host.AddProgressLine(text);
        lineText = text;
    }
    void AppendOutcome(const std::wstring& outcome) {
        host.ReplaceLastProgressLine(lineText + outcome);
    }
    void Fail(const std::wstring& text) {
        host.ReportError(text);
        AddLine(text);
    }
    bool CreateFolderReported(const std::wstring& folder, const wchar_t* created,
                              const wchar_t* failed);
    void WriteSettings();
    bool CopyDatabase();
    bool CopyFiles(const std::wstring& from, const std::wstring& to,
                   const std::vector<std::wstring>& names, bool stopOnFailure);
    bool CopyOne(const std::wstring& from, const std::wstring& to, const std::wstring& name);
    void InstallDriver();
    void CreateDesktopShortcut();
};

bool TInstallRun::CopyOne(const std::wstring& from, const std::wstring& to,
                          const std::wstring& name) {
    AddLine(L"Копирование файла " + name + L"....");
    host.ProcessMessages();
    // A database of gigabytes on a slow disk takes long enough for Windows to call a window that
    // does not answer hung and offer to end it, halfway through the copy. So the messages run
    // while it copies, and a copy that runs longer than kShowPercentAfterMs shows on its line
    // how far it has got, the figure changing at most every kPercentEveryMs.
    constexpr ULONGLONG kShowPercentAfterMs = 500, kPercentEveryMs = 250;
    const ULONGLONG start = GetTickCount64();
    ULONGLONG shownAt = start;
    int shown = -1;
    auto showProgress = [&](unsigned long long done, unsigned long long total) {
        host.ProcessMessages();
        const ULONGLONG now = GetTickCount64();
        if (total == 0 || now - start < kShowPercentAfterMs || now - shownAt < kPercentEveryMs)
            return;
        const int percent = static_cast<int>(done * 100 / total);
        if (percent == shown) return;
        host.ReplaceLastProgressLine(lineText + L" " + std::to_wstring(percent) + L"%");
        shown = percent;
        shownAt = now;
    };
    bool copied = false;
    try {
        copied = CopyFileStream(from + name, to + name, showProgress);
    } catch (...) {
        // The error's box names the file; its line is left without an outcome, and without a
        // figure that would claim how far the copy got.
        if (shown >= 0) host.ReplaceLastProgressLine(lineText);
        throw;
    }
    AppendOutcome(copied ? kDone : kFailed);
    return copied;
}

bool TInstallRun::CopyFiles(const std::wstring& from, const std::wstring& to,
                            const std::vector<std::wstring>& names, bool stopOnFailure) {
    for (const auto& name : names)
        if (!CopyOne(from, to, name) && stopOnFailure) return false;
    return true;
}

// One folder level, reported as a line; a failure is shown as an error and stops the run.
bool TInstallRun::CreateFolderReported(const std::wstring& folder, const wchar_t* created,
                                       const wchar_t* failed) {
    if (DirectoryExists(folder)) return true;
    if (!CreateDirectoryW(folder.c_str(), nullptr)) {
        Fail(failed);
        return false;
    }
    AddLine(created);
    host.ProcessMessages();
    return true;
}

void TInstallRun::WriteSettings() {
    const std::wstring ini = target + L"Settings\\holter.ini";
    WriteIniString(ini, L"options", L"FilterType", L"0");
    WriteIniString(ini, L"options", L"HardwareType", L"1");
}

// A clinic's patient records live in the database: an existing one is never replaced, and
// neither is one whose existence cannot be told (a share with a transient error, access
// denied). An empty file holds no records (an interrupted copy can leave one), so it is
// replaced like a missing one.
bool TInstallRun::CopyDatabase() {
    const std::wstring name = L"T27.FDB";
    const std::wstring database = target + L"DTAfb\\" + name;
    const TPathProbe present = ProbePath(database);
    if (present.State == TPathState::Unknown) {
        AddLine(L"Копирование файла " + name + L"....");
        AppendOutcome(kFailed);
        throw EInstallError(L"Не удалось выяснить, есть ли уже база данных \"" + database +
                            L"\": " + SysErrorMessage(present.Error));
    }
    if (present.State == TPathState::File && present.Size > 0) {
        AddLine(L"Копирование файла " + name + L"....");
        AppendOutcome(kDatabaseKept);
        host.ProcessMessages();
        return true;
    }
    return CopyOne(source + L"DTAfb\\", target + L"DTAfb\\", name);
}

void TInstallRun::InstallDriver() {
    if (!in.InstallDriver) return;
    if (!host.Ask(L"Подключите интерфейсный блок и нажмите \"Yes\"?")) return;
    if (DirectoryExists(source + L"FTDIDriverInstall"))
        ShellCopyFolder(source + L"FTDIDriverInstall", target + L"FTDIDriverInstall", in.Silent);
    AddLine(L"Началась установка драйверов устройства...");
    host.ProcessMessages();
    // The exit code says nothing reliable about the driver; a program that never ran does.
    DWORD startError = 0;
    RunProgram(target + L"FTDIDriverInstall\\FTDIDriverInstall.exe", SW_HIDE, true, &startError);
    AddLine(startError
                ? L"Установка драйверов устройства не выполнена: " + SysErrorMessage(startError)
                : std::wstring(L"Установка драйверов устройства завершена"));
}

void TInstallRun::CreateDesktopShortcut() {
    const std::wstring product = ReadStringTableEntry(IDS_PRODUCT_NAME);
    const std::wstring description =
        ReadStringTableEntry(IDS_SUITE_DESCRIPTION) + L" \"" + product + L"\"";
    std::wstring linkPath;
    AddShortcut(target + ReadStringTableEntry(IDS_MAIN_PROGRAM), slDesktop, L"", L"", L"",
                description, product, linkPath);
}

TInstallOutcome TInstallRun::Execute() {
    // A relative folder means one inside the distribution folder, the current folder until the
    // updater hand-over moves it; from there on it must be absolute.
    target = IncludeTrailingPathDelimiter(FullPathName(Trim(in.Target)));
    source = IncludeTrailingPathDelimiter(in.Source);
    host.BeginProgress();
    host.ProcessMessages();

    if (!CreateFolderReported(target, L"Каталог создан...", L"Ошибка при создании каталога!"))
        return TInstallOutcome::Stopped;
    WriteSettings();
    {
        TBusyState busy(host);
        host.ProcessMessages();
        AddLine(L"Создание настроечных файлов....");
        host.ProcessMessages();
        CreateFolderIfMissing(target + L"Settings\\");
        AppendOutcome(kDone);

        if (!CreateFolderReported(target + L"DTAfb", L"Каталог <DTAfb> создан...",
                                  L"Ошибка при создании каталога <DTAfb>!") ||
            !CopyDatabase())
            return TInstallOutcome::Stopped;
        const auto& runtime = in.RuntimeSet == 0 ? kRuntimeModern : kRuntimeXP;
        if (!CopyFiles(source + L"Firebird\\", target, runtime, true))
            return TInstallOutcome::Stopped;
        CreateFolderIfMissing(target + L"intl");
        if (!CopyFiles(source + L"Firebird\\intl\\", target + L"intl\\", kIntlFiles, true))
            return TInstallOutcome::Stopped;
        CreateFolderIfMissing(target + L"udf");
        if (!CopyFiles(source + L"Firebird\\udf\\", target + L"udf\\", kUdfFiles, true))
            return TInstallOutcome::Stopped;
        CopyFiles(source + L"UDF\\", target + L"udf\\", kSuiteUdfFiles, false);

        if (DirectoryExists(target + L"Settings") && !FileExists(target + L"Settings\\lastnum.dta"))
            WriteLastNum(target + L"Settings\\lastnum.dta");
        if (in.SorvelBrand) WriteIniString(target + L"btooth.ini", L"Common", L"Disk", L"I");
    }
    try {
        InstallFontFiles(source + L"fonts\\", FontsDestinationFolder(),
                         [this](const std::wstring& text) { AddLine(text); });
    } catch (...) {
        // Fonts the workstation lacks are a cosmetic matter; the installation goes on.
    }
    InstallDriver();
    HandOverToUpdater(source, target);
    CreateDesktopShortcut();
    host.Finish(IsSmallFonts());
    return TInstallOutcome::Installed;
}

} // namespace

TInstallOutcome RunInstallSequence(const TInstallInputs& inputs, TInstallHost& host) {
    return TInstallRun(inputs, host).Execute();
}

bool IsSorvelBrandName(const std::wstring& productName) {
    return SameTextLocale(productName, L"Sorvel");
}

std::wstring DistributionFolder() {
    return IncludeTrailingPathDelimiter(ExtractFilePath(ModuleFileName()));
}
