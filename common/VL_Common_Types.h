#pragma once
// Types shared by the suite's programs.
#include <cstdint>
#include <string>

enum THViewType : uint8_t {
    hvtStandart,
    hvtFragment,
    hvtOnline,
    hvtTest,
    hvtSaveSkr,
    hvtSaveDin,
    hvtAD,
    hvtNone
};

// Recorder types.
enum Tregtype : uint8_t {
    RegType_TRVECG,
    RegType_TRVECG_AD2005,
    RegType_ECGBP2008,
    RegType_TRVECG_ADVuvorer,
    RegType_ADBP2005,
    RegType_Vuvorer_AD,
    RegType_Vuvorer_ECG,
    RegType_Vuvorer_ECGAD
};

struct TSettings {
    THViewType HViewType = hvtStandart;
    bool DebugPrint = false;
    bool DebugMy = false;
    bool PoverkaView = false;
    bool HviewDebug = false;
    bool GroupProcess = false;
    bool doformshow = false;
    bool EnabledScrining = false;
    bool ECGAtRestWork = false;
    bool OnlyDecode = false;
    bool SaveSwap = false;
    bool MinmVEnabled = false;
    double ChannelGain = 0;
    double ChannelGain12 = 0;
    int32_t HardwareType = 0;
    uint8_t FilterType = 0;
    bool CorrectProbeli = false;
    bool forMVD = false;
    bool forGE = false;
    uint8_t Person = 0;
    std::wstring LanguageSetting;
    uint8_t New_Reg = 0;
    Tregtype DefaultRegType = RegType_TRVECG;
    bool NurseMode = false;
    bool DoctorMode = false;
    bool EMIASTESTINGMODE = false;
    bool EMIASEMULATINGMODE = false;
    bool RegEmulating = false;
    bool AriadnaSearchTesting = false;
    bool UserIsMS = false;
    bool PraktikaSearchTesting = false;
    bool PraktikaTesting = false;
};
