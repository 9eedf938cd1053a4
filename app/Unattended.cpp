#include "app/Unattended.h"
#include "common/Errors.h"
#include "common/VL_Common_Proc.h"
#include "common/WinUtil.h"
#include "install/InstallSequence.h"
#include "install/TargetFolder.h"
#include "resources/resource.h"

#include <string>
#include <vector>

namespace {

// The progress file: every line as the wizard's list would end up holding it, then the outcome.
// Written whole after every change, so that it tells how far a run got even if the run is
// ended from outside. UTF-8 with a byte-order mark and CR LF, which Notepad and the deployment
// tools' log viewers read alike. A file that cannot be written never stops the installation.
class TProgressFile {
public:
    explicit TProgressFile(const std::wstring& path)
        : path_(path.empty() ? path : FullPathName(path)) {}

    void Add(const std::wstring& line) {
        lines_.push_back(line);
        Save();
    }
    void ReplaceLast(const std::wstring& line) {
        if (lines_.empty()) lines_.emplace_back();
        lines_.back() = line;
        Save();
    }
    const std::wstring& Last() const {
        static const std::wstring none;
        return lines_.empty() ? none : lines_.back();
    }

private:
    std::wstring path_;
    std::vector<std::wstring> lines_;

    void Save() const {
        if (path_.empty()) return;
        std::wstring text;
        for (const auto& line : lines_)
            text += line + L"\r\n";
        std::string bytes = "\xEF\xBB\xBF";
        int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<size_t>(n), '\0');
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), n,
                            nullptr, nullptr);
        bytes += utf8;
        UniqueHandle file(CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) return;
        DWORD written = 0;
        WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
};

// Nobody at the screen: no window, no question; the driver question is answered by /DRIVER.
class TUnattendedHost : public TInstallHost {
public:
    TUnattendedHost(TProgressFile& progress, bool driver) : progress_(progress), driver_(driver) {}

    void BeginProgress() override {}
    void AddProgressLine(const std::wstring& text) override { progress_.Add(text); }
    void ReplaceLastProgressLine(const std::wstring& text) override { progress_.ReplaceLast(text); }
    void ProcessMessages() override {}
    bool Ask(const std::wstring&) override { return driver_; }
    void ReportError(const std::wstring&) override {}
    void SetBusy(bool) override {}
    void Finish(bool smallFonts) override {
        // Changing the screen and restarting a workstation nobody watches is not ours to do.
        if (smallFonts)
            progress_.Add(L"В настройках системы выбран \"мелкий\" размер шрифта: для корректной "
                          L"работы программы \"Velmora\" рекомендуется установить \"крупный\".");
    }

private:
    TProgressFile& progress_;
    bool driver_;
};

const wchar_t kInstalled[] = L"Установка завершена.";
const wchar_t kFailedPrefix[] = L"Установка не завершена: ";
const wchar_t kRefusedPrefix[] = L"Установка не начата: ";

std::wstring Widen(const char* text) {
    std::wstring wide;
    for (; text && *text; ++text)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return wide;
}

int Refuse(TProgressFile& progress, const std::wstring& why) {
    progress.Add(kRefusedPrefix + why);
    return ecRefused;
}

int Install(const TCommandLine& commandLine, TProgressFile& progress) {
    if (!commandLine.Error.empty()) return Refuse(progress, commandLine.Error);
    std::wstring target;
    switch (CheckTargetFolder(
        commandLine.Target.value_or(L"C:\\" + ReadStringTableEntry(IDS_DEFAULT_FOLDER)), target)) {
    case TTargetCheck::Empty:
        return Refuse(progress, TargetEmptyText);
    case TTargetCheck::Root:
        return Refuse(progress, std::wstring(TargetRootText) + L" (" + target + L")");
    case TTargetCheck::Accepted:
        break;
    }
    if (DWORD error = CreateTargetFolders(target))
        return Refuse(progress,
                      L"Ошибка при создании каталога! " + target + L": " + SysErrorMessage(error));

    ComInit com; // the desktop shortcut and the updater's release file are COM objects
    TInstallInputs inputs;
    inputs.Target = target;
    inputs.Source = DistributionFolder();
    inputs.InstallDriver = commandLine.Driver;
    inputs.SorvelBrand = IsSorvelBrandName(ReadStringTableEntry(IDS_PRODUCT_NAME));
    inputs.Silent = true;
    TUnattendedHost host(progress, commandLine.Driver);
    try {
        if (RunInstallSequence(inputs, host) == TInstallOutcome::Installed) {
            progress.Add(kInstalled);
            return ecInstalled;
        }
        progress.Add(kFailedPrefix + progress.Last());
    } catch (const EInstallError& e) {
        progress.Add(kFailedPrefix + e.Message);
    } catch (const std::exception& e) {
        progress.Add(kFailedPrefix + Widen(e.what()));
    } catch (...) {
        progress.Add(std::wstring(kFailedPrefix) + L"неизвестная ошибка");
    }
    return ecFailed;
}

} // namespace

int RunUnattended(const TCommandLine& commandLine) {
    TProgressFile progress(commandLine.LogFile);
    try {
        return Install(commandLine, progress);
    } catch (...) {
        // Nothing may escape to a box nobody would answer.
        progress.Add(std::wstring(kFailedPrefix) + L"неизвестная ошибка");
        return ecFailed;
    }
}
