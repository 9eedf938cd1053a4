#include "Distribution.h"
#include "TestFonts.h"
#include "TestSupport.h"

#include <windows.h>

#include <stdexcept>

const std::vector<std::wstring> ReleasePackages = {L"R2.5_150322", L"R2.5_311223",
                                                   L"R2.5.1_010124"};

namespace {

const wchar_t* const kFontFiles[] = {L"ARIAL.TTF",  L"ARIALN.TTF", L"COUR.TTF",   L"MICROSS.TTF",
                                     L"TAHOMA.TTF", L"TIMES.TTF",  L"verdana.TTF"};

const wchar_t* const kFirebirdFiles[] = {
    L"aliases.conf", L"firebird.conf", L"fbclient.Dll", L"ib_util.Dll", L"icudt30.Dll",
    L"icuin30.Dll",  L"icuuc30.Dll",   L"msvcp80.Dll",  L"msvcr80.Dll", L"msvcp71.Dll",
    L"msvcr71.Dll",  L"firebird.msg",  L"gbak.exe",     L"gds32.dll"};
const wchar_t* const kIntlFiles[] = {L"fbintl.conf", L"fbintl.dll"};
const wchar_t* const kUdfFiles[] = {L"fbudf.dll", L"ib_udf.dll", L"fbudf.sql", L"ib_udf.sql",
                                    L"ib_udf2.sql"};
const wchar_t* const kSuiteUdf[] = {L"Ferrat.Dll", L"Lumex.Dll", L"Quindal.Dll", L"Varnek.Dll"};

std::string Ascii(const std::wstring& s) {
    return std::string(s.begin(), s.end());
}

// Different bytes for every file, so that a file copied to the wrong name is noticed.
std::string StandIn(const std::wstring& name) {
    std::string text = "Velmora test stand-in for " + Ascii(name) + "\r\n";
    for (int i = 0; i < 64; ++i)
        text += static_cast<char>((i * 37 + name.size() * 11) & 0xFF);
    return text;
}

class Writer {
public:
    Writer(std::wstring root, const DistributionOptions& o) : root_(std::move(root)), o_(o) {}

    bool Omitted(const std::wstring& rel) const {
        for (const auto& omit : o_.Omit)
            if (rel == omit || rel.rfind(omit + L"\\", 0) == 0) return true;
        return false;
    }
    void File(const std::wstring& rel, const std::string& bytes) {
        if (!Omitted(rel)) WriteBytes(root_ + rel, bytes);
    }
    void Folder(const std::wstring& rel) {
        if (!Omitted(rel)) MakeDirs(root_ + rel);
    }
    void Database(const std::wstring& rel) {
        if (Omitted(rel)) return;
        MakeDirs(root_ + rel.substr(0, rel.find_last_of(L'\\')));
        HANDLE h = CreateFileW((root_ + rel).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + U8(rel));
        std::string chunk(1 << 20, '\0');
        uint32_t x = 0x1234567;
        uint64_t left = o_.DatabaseBytes;
        bool ok = true;
        while (left > 0 && ok) {
            size_t n = left < chunk.size() ? static_cast<size_t>(left) : chunk.size();
            for (size_t i = 0; i < n; ++i) {
                x = x * 1103515245u + 12345u;
                chunk[i] = static_cast<char>(x >> 24);
            }
            DWORD written = 0;
            ok = WriteFile(h, chunk.data(), static_cast<DWORD>(n), &written, nullptr) &&
                 written == n;
            left -= n;
        }
        CloseHandle(h);
        if (!ok) throw std::runtime_error("cannot write " + U8(rel));
    }
    void Copy(const std::wstring& from, const std::wstring& rel) {
        if (Omitted(rel)) return;
        MakeDirs(root_ + rel.substr(0, rel.find_last_of(L'\\')));
        if (!CopyFileW(from.c_str(), (root_ + rel).c_str(), FALSE))
            throw std::runtime_error("cannot copy " + U8(from));
    }
    void ReadOnly(const std::wstring& rel) {
        if (!Omitted(rel)) SetFileAttributesW((root_ + rel).c_str(), FILE_ATTRIBUTE_READONLY);
    }

private:
    std::wstring root_;
    const DistributionOptions& o_;
};

std::string ReleaseInfo(const std::wstring& level) {
    return "<?xml version=\"1.0\"?>\r\n<ROOT>\r\n  <Version>1</Version>\r\n  <Level>" +
           Ascii(level) + "</Level>\r\n  <Server>updates.velmora.local</Server>\r\n</ROOT>\r\n";
}

// The release script records that it ran, and where, in the package folder.
const char kInstallCmd[] = "@echo off\r\necho %CD%> release-installed.txt\r\n";

} // namespace

std::wstring WinePathFromUnix(const std::string& unixPath) {
    std::wstring w = L"Z:";
    for (char c : unixPath)
        w += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return w;
}

std::wstring TestProgramsFolder() {
    return WinePathFromUnix(VELMORA_TEST_PROGRAMS_DIR) + L"\\";
}

void MakeDistribution(const std::wstring& folder, const DistributionOptions& options) {
    std::wstring root = folder;
    if (root.empty() || root.back() != L'\\') root += L'\\';
    MakeDirs(root);
    Writer w(root, options);

    w.Database(L"DTAfb\\T27.FDB");
    for (auto f : kFirebirdFiles)
        w.File(std::wstring(L"Firebird\\") + f, StandIn(f));
    for (auto f : kIntlFiles)
        w.File(std::wstring(L"Firebird\\intl\\") + f, StandIn(f));
    for (auto f : kUdfFiles)
        w.File(std::wstring(L"Firebird\\udf\\") + f, StandIn(f));
    for (auto f : kSuiteUdf)
        w.File(std::wstring(L"UDF\\") + f, StandIn(f));
    for (int i = 0; i < TestFontCount; ++i)
        w.File(std::wstring(L"fonts\\") + kFontFiles[i], MakeTestFont(i));

    w.Copy(TestProgramsFolder() + L"StubDriverInstall.exe",
           L"FTDIDriverInstall\\FTDIDriverInstall.exe");
    w.File(L"FTDIDriverInstall\\ftdibus.inf", StandIn(L"ftdibus.inf"));

    for (const auto& p : ReleasePackages) {
        w.File(L"backup\\" + p + L"\\Install.cmd", kInstallCmd);
        w.File(L"backup\\" + p + L"\\Orvanta.exe", StandIn(L"Orvanta.exe " + p));
    }
    // Not a package: never chosen, although it sits among them.
    w.File(L"backup\\WithOutAnswer\\Install.cmd", kInstallCmd);

    w.File(L"Updater\\Updater.exe", StandIn(L"Updater.exe"));
    w.File(L"Updater\\Updater.exe.cfg", "[updater]\r\nsource=backup\r\n");
    w.File(L"Updater\\ReleaseInfo", ReleaseInfo(DistributedReleaseLevel));
    // Distribution media often carry read-only files.
    w.ReadOnly(L"Updater\\ReleaseInfo");
    w.ReadOnly(L"Updater\\Updater.exe.cfg");

    w.File(L"Settings\\holter.ini", "[options]\r\nHardwareType=3\r\nFilterType=2\r\n"
                                    "Channel1Gain=1.5\r\nLanguageSetting=RUS\r\n"
                                    "[printer]\r\nMargins=10\r\n");
    w.File(L"Settings\\EngView.lng", "[VL_Messages]\r\nNormo=Normosthenic\r\nIBS=CHD\r\n"
                                     "[VL_Common_Proc]\r\nSbo=FAILURE\r\nMet=MARK\r\n");
}

std::vector<std::wstring> DistributionFiles() {
    std::vector<std::wstring> files = {L"DTAfb\\T27.FDB"};
    for (auto f : kFirebirdFiles)
        files.push_back(std::wstring(L"Firebird\\") + f);
    for (auto f : kIntlFiles)
        files.push_back(std::wstring(L"Firebird\\intl\\") + f);
    for (auto f : kUdfFiles)
        files.push_back(std::wstring(L"Firebird\\udf\\") + f);
    for (auto f : kSuiteUdf)
        files.push_back(std::wstring(L"UDF\\") + f);
    for (auto f : kFontFiles)
        files.push_back(std::wstring(L"fonts\\") + f);
    files.push_back(L"FTDIDriverInstall\\FTDIDriverInstall.exe");
    files.push_back(L"FTDIDriverInstall\\ftdibus.inf");
    for (const auto& p : ReleasePackages) {
        files.push_back(L"backup\\" + p + L"\\Install.cmd");
        files.push_back(L"backup\\" + p + L"\\Orvanta.exe");
    }
    files.push_back(L"backup\\WithOutAnswer\\Install.cmd");
    for (auto f : {L"Updater.exe", L"Updater.exe.cfg", L"ReleaseInfo"})
        files.push_back(std::wstring(L"Updater\\") + f);
    files.push_back(L"Settings\\holter.ini");
    files.push_back(L"Settings\\EngView.lng");
    return files;
}
