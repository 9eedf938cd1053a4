// The installation run behind "Начать установку": settings, database, database-server runtime,
// fonts, driver, updater hand-over, desktop shortcut, in this order, each step reported as a
// line of the progress list. Errors that end the run are not caught here: they reach the
// application's error box, after the busy state has been left.
#include "ui/Application.h"
#include "app/Main.h"
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

// Busy from the settings to the last runtime file: the window refuses to close and shows the
// hourglass. Left on every way out, a raised error included.
class TBusyState {
public:
    explicit TBusyState(TFMain& form) : form_(form) {
        form_.FCanClose = false;
        Application.SetBusyCursor(true);
    }
    ~TBusyState() { Leave(); }
    void Leave() {
        form_.FCanClose = true;
        Application.SetBusyCursor(false);
    }
    TBusyState(const TBusyState&) = delete;
    TBusyState& operator=(const TBusyState&) = delete;

private:
    TFMain& form_;
};

} // namespace

// One run of the sequence: the wizard's inputs and the progress line reported last.
class TInstallRun {
public:
    explicit TInstallRun(TFMain& form) : f(form) {}
    void Execute();

private:
    TFMain& f;
    std::wstring target;
    std::wstring source;
    int line = -1;

    void AddLine(const std::wstring& text) {
        line = f.AddLogLine(text);
        lineText = text;
    }
    void AppendOutcome(const std::wstring& outcome) { f.SetLogLine(line, lineText + outcome); }
    std::wstring lineText;

    void Fail(const std::wstring& text) {
        MessageBoxW(f.Handle, text.c_str(), Application.Title.c_str(), MB_OK | MB_ICONERROR);
        AddLine(text);
    }
    bool CreateTargetFolder();
    void WriteSettings();
    bool CreateDatabaseFolder();
    bool CopyDatabase();
    bool CopyFiles(const std::wstring& from, const std::wstring& to,
                   const std::vector<std::wstring>& names, bool stopOnFailure);
    bool CopyOne(const std::wstring& from, const std::wstring& to, const std::wstring& name);
    void InstallDriver();
    void CreateDesktopShortcut();
    void Finish();
};

bool TInstallRun::CopyOne(const std::wstring& from, const std::wstring& to,
                          const std::wstring& name) {
    AddLine(L"Копирование файла " + name + L"....");
    Application.ProcessMessages();
    // A database of gigabytes on a slow disk takes long enough for Windows to call a window that
    // does not answer hung and offer to end it, halfway through the copy. So the messages run
    // while it copies, and a copy that runs longer than kShowPercentAfterMs shows on its line
    // how far it has got, the figure changing at most every kPercentEveryMs.
    constexpr ULONGLONG kShowPercentAfterMs = 500, kPercentEveryMs = 250;
    const ULONGLONG start = GetTickCount64();
    ULONGLONG shownAt = start;
    int shown = -1;
    auto showProgress = [&](unsigned long long done, unsigned long long total) {
        Application.ProcessMessages();
        const ULONGLONG now = GetTickCount64();
        if (total == 0 || now - start < kShowPercentAfterMs || now - shownAt < kPercentEveryMs)
            return;
        const int percent = static_cast<int>(done * 100 / total);
        if (percent == shown) return;
        f.SetLogLine(line, lineText + L" " + std::to_wstring(percent) + L"%");
        shown = percent;
        shownAt = now;
    };
    bool copied = false;
    try {
        copied = CopyFileStream(from + name, to + name, showProgress);
    } catch (...) {
        // The error's box names the file; its line is left without an outcome, and without a
        // figure that would claim how far the copy got.
        if (shown >= 0) f.SetLogLine(line, lineText);
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

bool TInstallRun::CreateTargetFolder() {
    if (DirectoryExists(target)) return true;
    if (!CreateDirectoryW(target.c_str(), nullptr)) {
        Fail(L"Ошибка при создании каталога!");
        return false;
    }
    AddLine(L"Каталог создан...");
    Application.ProcessMessages();
    return true;
}

void TInstallRun::WriteSettings() {
    const std::wstring ini = target + L"Settings\\holter.ini";
    WriteIniString(ini, L"options", L"FilterType", L"0");
    WriteIniString(ini, L"options", L"HardwareType", L"1");
}

bool TInstallRun::CreateDatabaseFolder() {
    const std::wstring folder = target + L"DTAfb";
    if (DirectoryExists(folder)) return true;
    if (!CreateDirectoryW(folder.c_str(), nullptr)) {
        Fail(L"Ошибка при создании каталога <DTAfb>!");
        return false;
    }
    AddLine(L"Каталог <DTAfb> создан...");
    Application.ProcessMessages();
    return true;
}

// A clinic's patient records live in the database: an existing one is never replaced.
bool TInstallRun::CopyDatabase() {
    const std::wstring name = L"T27.FDB";
    if (FileExists(target + L"DTAfb\\" + name)) {
        AddLine(L"Копирование файла " + name + L"....");
        AppendOutcome(kDatabaseKept);
        Application.ProcessMessages();
        return true;
    }
    return CopyOne(source + L"DTAfb\\", target + L"DTAfb\\", name);
}

void TInstallRun::InstallDriver() {
    if (!f.DriverInstallChecked()) return;
    if (MessageBoxW(f.Handle, L"Подключите интерфейсный блок и нажмите \"Yes\"?",
                    Application.Title.c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    if (DirectoryExists(source + L"FTDIDriverInstall"))
        ShellCopyFolder(source + L"FTDIDriverInstall", target + L"FTDIDriverInstall");
    AddLine(L"Началась установка драйверов устройства...");
    UpdateWindow(f.LogList);
    RunProgram(target + L"FTDIDriverInstall\\FTDIDriverInstall.exe", SW_HIDE, true);
    AddLine(L"Установка драйверов устройства завершена");
}

void TInstallRun::CreateDesktopShortcut() {
    const std::wstring product = ReadStringTableEntry(IDS_PRODUCT_NAME);
    const std::wstring description =
        ReadStringTableEntry(IDS_SUITE_DESCRIPTION) + L" \"" + product + L"\"";
    std::wstring linkPath;
    AddShortcut(target + ReadStringTableEntry(IDS_MAIN_PROGRAM), slDesktop, L"", L"", L"",
                description, product, linkPath);
}

void TInstallRun::Finish() {
    EnableWindow(f.BtnExit, TRUE);
    if (IsSmallFonts()) {
        f.SetActivePage(*f.tsChangeFontSize);
        return;
    }
    if (MessageBoxW(f.Handle, L"Установка завершена. Выйти из программы установки?",
                    Application.Title.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES)
        f.Close();
}

void TInstallRun::Execute() {
    // A relative folder typed on the path page means one inside the distribution folder, the
    // current folder until the updater hand-over moves it; from there on it must be absolute.
    target = IncludeTrailingPathDelimiter(FullPathName(Trim(f.PathText())));
    f.ClearLog();
    f.ShowLog();
    f.SetActivePage(*f.tsProgressInstall);
    Application.ProcessMessages();
    f.Fcopyfrom = IncludeTrailingPathDelimiter(ExtractFilePath(ModuleFileName()));
    source = f.Fcopyfrom;

    if (!CreateTargetFolder()) return;
    WriteSettings();
    {
        TBusyState busy(f);
        Application.ProcessMessages();
        AddLine(L"Создание настроечных файлов....");
        Application.ProcessMessages();
        CreateFolderIfMissing(target + L"Settings\\");
        AppendOutcome(kDone);

        if (!CreateDatabaseFolder() || !CopyDatabase()) return;
        const auto& runtime = f.WindowsIndex() == 0 ? kRuntimeModern : kRuntimeXP;
        if (!CopyFiles(source + L"Firebird\\", target, runtime, true)) return;
        CreateFolderIfMissing(target + L"intl");
        if (!CopyFiles(source + L"Firebird\\intl\\", target + L"intl\\", kIntlFiles, true)) return;
        CreateFolderIfMissing(target + L"udf");
        if (!CopyFiles(source + L"Firebird\\udf\\", target + L"udf\\", kUdfFiles, true)) return;
        CopyFiles(source + L"UDF\\", target + L"udf\\", kSuiteUdfFiles, false);

        if (DirectoryExists(target + L"Settings") && !FileExists(target + L"Settings\\lastnum.dta"))
            WriteLastNum(target + L"Settings\\lastnum.dta");
        if (IsSorvelBrand) WriteIniString(target + L"btooth.ini", L"Common", L"Disk", L"I");
    }
    try {
        f.InstallFonts();
    } catch (...) {
        // Fonts the workstation lacks are a cosmetic matter; the installation goes on.
    }
    InstallDriver();
    HandOverToUpdater(source, target);
    CreateDesktopShortcut();
    Finish();
}

void TFMain::BtnInsatallClick() {
    TInstallRun(*this).Execute();
}

void TFMain::InstallFonts() {
    for (const wchar_t* name : FontFileNames)
        InstallFont(name);
}

void TFMain::InstallFont(const std::wstring& FileName) {
    InstallFontFile(FontsSourceFolder(), FontsDestinationFolder(), FileName,
                    [this](const std::wstring& text) { AddLogLine(text); });
}

void TFMain::BtnChangeFontClick() {
    if (ChangeToLargeFontsAndOfferRestart(Handle, Application.Title)) Close();
}
