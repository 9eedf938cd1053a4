#include "common/VL_Common_Var.h"
#include "common/Errors.h"
#include "common/IniFile.h"
#include "common/NumberFormat.h"
#include "common/WinUtil.h"
#include "common/unitMyLog.h"

std::wstring ProgramPath;
TSettings Settings;
std::wstring LanguageCode;
std::wstring LanguageFile;
std::wstring AtesInPath;
std::wstring AtesOutPath;

namespace {

// A byte-sized key: values outside 0..255 are as unreadable as a word would be.
uint8_t ReadByte(const std::wstring& file, const wchar_t* key, uint8_t def) {
    int32_t v = IniReadInteger(file, L"options", key, def);
    return v >= 0 && v <= 255 ? static_cast<uint8_t>(v) : def;
}

} // namespace

TSettings ReadSettingsFile(const std::wstring& f) {
    FormatSettings.DecimalSeparator = L'.';
    FormatSettings.ThousandSeparator = L' ';

    const std::wstring o = L"options";
    TSettings s;
    s.forMVD = false;
    s.forGE = IniReadBool(f, o, L"forGE", false);
    s.Person = 0;
    s.FilterType = ReadByte(f, L"FilterType", 0);
    s.DefaultRegType = static_cast<Tregtype>(IniReadInteger(f, o, L"DefaultRegType", 0) & 0xFF);
    s.doformshow = IniReadBool(f, o, L"doformshow", true);
    s.DebugPrint = IniReadBool(f, o, L"DebugPrint", false);
    s.DebugMy = IniReadBool(f, o, L"DebugMy", false);
    s.MinmVEnabled = IniReadBool(f, o, L"MinmVEnabled", false);
    s.PoverkaView = IniReadBool(f, o, L"PoverkaView", false);
    s.HviewDebug = IniReadBool(f, o, L"HviewDebug", false);
    s.ECGAtRestWork = IniReadBool(f, o, L"ECGAtRestWork", false);
    s.OnlyDecode = IniReadBool(f, o, L"onlydecode", false);
    s.SaveSwap = IniReadBool(f, o, L"saveswap", false);
    s.ChannelGain = IniReadFloat(f, o, L"Channel1Gain", 1.0);
    s.ChannelGain12 = IniReadFloat(f, o, L"Channel2Gain", 1.0);
    s.GroupProcess = IniReadBool(f, o, L"GroupProcess", false);
    s.EnabledScrining = IniReadBool(f, o, L"EnabledScrining", false);
    s.HardwareType = IniReadInteger(f, o, L"HardwareType", 1);
    s.LanguageSetting = IniReadString(f, o, L"LanguageSetting", L"");
    s.New_Reg = ReadByte(f, L"new_reg", 0);
    s.NurseMode = IniReadBool(f, o, L"NurseMode", true);
    s.DoctorMode = IniReadBool(f, o, L"DoctorMode", true);
    s.EMIASTESTINGMODE = IniReadBool(f, o, L"EMIASTESTINGMODE", false);
    s.EMIASEMULATINGMODE = IniReadBool(f, o, L"EMIASEMULATINGMODE", false);
    s.RegEmulating = IniReadBool(f, o, L"RegEmulating", false);
    s.AriadnaSearchTesting = IniReadBool(f, o, L"AriadnaSearchTesting", false);
    s.UserIsMS = IniReadBool(f, o, L"UserIsMS", false);
    s.PraktikaSearchTesting = IniReadBool(f, o, L"PraktikaSearchTesting", false);
    s.PraktikaTesting = IniReadBool(f, o, L"PraktikaTesting", false);
    return s;
}

void ChooseLanguage() {
    LanguageFile.clear();
    LanguageCode = L"RUS";
    if (Settings.LanguageSetting == L"ENG") {
        LanguageFile = ProgramPath + L"Settings\\" + L"EngView.lng";
        LanguageCode = L"ENG";
    }
}

void ReadSettings() {
    Settings = ReadSettingsFile(ProgramPath + L"Settings\\holter.ini");
}

namespace VL_Common_Var {

void Initialization() {
    ProgramPath = ExtractFilePath(ModuleFileName());
    ReadSettings();
    ChooseLanguage();
    AtesInPath = ProgramPath + L"AtesIn\\";
    AtesOutPath = ProgramPath + L"AtesOut\\";
    try {
        MyLog->AddMessage(L"VL_Common_VAR_INIT", false);
    } catch (const EInstallError&) {
        // Started from a CD or a write-protected share: the entry stays in memory and the
        // installer goes on; the log is only a diagnostic aid.
    }
}

void Finalization() {
    ProgramPath.clear();
    LanguageFile.clear();
    LanguageCode.clear();
    AtesInPath.clear();
    AtesOutPath.clear();
    Settings = TSettings{};
}

} // namespace VL_Common_Var
