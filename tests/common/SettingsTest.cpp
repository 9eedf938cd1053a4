// Reading the suite's settings file, the language choice and the program-wide number format.
#include "common/IniFile.h"
#include "common/NumberFormat.h"
#include "common/VL_Common_Var.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct KeyCase {
    const wchar_t* key;
    std::function<double(const TSettings&)> field;
    double def;
    const wchar_t* valid; // a readable value ...
    double validValue;    // ... and what it gives
    const wchar_t* invalid;
};

double B(bool b) {
    return b ? 1 : 0;
}

const std::vector<KeyCase>& Keys() {
    static const std::vector<KeyCase> keys = {
        {L"forGE", [](auto& s) { return B(s.forGE); }, 0, L"1", 1, L"true"},
        {L"FilterType", [](auto& s) { return s.FilterType; }, 0, L"0x10", 16, L"256"},
        {L"DefaultRegType", [](auto& s) { return s.DefaultRegType; }, 0, L"258", 2, L"two"},
        {L"doformshow", [](auto& s) { return B(s.doformshow); }, 1, L"0", 0, L"no"},
        {L"DebugPrint", [](auto& s) { return B(s.DebugPrint); }, 0, L"5", 1, L"yes"},
        {L"DebugMy", [](auto& s) { return B(s.DebugMy); }, 0, L"-1", 1, L"1.0"},
        {L"MinmVEnabled", [](auto& s) { return B(s.MinmVEnabled); }, 0, L"0x1", 1, L"on"},
        {L"PoverkaView", [](auto& s) { return B(s.PoverkaView); }, 0, L"2", 1, L""},
        {L"HviewDebug", [](auto& s) { return B(s.HviewDebug); }, 0, L"1", 1, L"x"},
        {L"ECGAtRestWork", [](auto& s) { return B(s.ECGAtRestWork); }, 0, L"1", 1, L"x"},
        {L"onlydecode", [](auto& s) { return B(s.OnlyDecode); }, 0, L"1", 1, L"x"},
        {L"saveswap", [](auto& s) { return B(s.SaveSwap); }, 0, L"1", 1, L"x"},
        {L"Channel1Gain", [](auto& s) { return s.ChannelGain; }, 1.0, L"0.5", 0.5, L"0,5"},
        {L"Channel2Gain", [](auto& s) { return s.ChannelGain12; }, 1.0, L"2.25", 2.25, L"2,25"},
        {L"GroupProcess", [](auto& s) { return B(s.GroupProcess); }, 0, L"1", 1, L"x"},
        {L"EnabledScrining", [](auto& s) { return B(s.EnabledScrining); }, 0, L"1", 1, L"x"},
        {L"HardwareType", [](auto& s) { return s.HardwareType; }, 1, L"0x7FFFFFFF", 2147483647,
         L"1e3"},
        {L"new_reg", [](auto& s) { return s.New_Reg; }, 0, L"255", 255, L"-1"},
        {L"NurseMode", [](auto& s) { return B(s.NurseMode); }, 1, L"0", 0, L"x"},
        {L"DoctorMode", [](auto& s) { return B(s.DoctorMode); }, 1, L"0", 0, L"x"},
        {L"EMIASTESTINGMODE", [](auto& s) { return B(s.EMIASTESTINGMODE); }, 0, L"1", 1, L"x"},
        {L"EMIASEMULATINGMODE", [](auto& s) { return B(s.EMIASEMULATINGMODE); }, 0, L"1", 1, L"x"},
        {L"RegEmulating", [](auto& s) { return B(s.RegEmulating); }, 0, L"1", 1, L"x"},
        {L"AriadnaSearchTesting", [](auto& s) { return B(s.AriadnaSearchTesting); }, 0, L"1", 1,
         L"x"},
        {L"UserIsMS", [](auto& s) { return B(s.UserIsMS); }, 0, L"1", 1, L"x"},
        {L"PraktikaSearchTesting", [](auto& s) { return B(s.PraktikaSearchTesting); }, 0, L"1", 1,
         L"x"},
        {L"PraktikaTesting", [](auto& s) { return B(s.PraktikaTesting); }, 0, L"1", 1, L"x"},
    };
    return keys;
}

std::wstring Ini(const std::vector<std::pair<std::wstring, std::wstring>>& kv,
                 const std::wstring& section = L"options") {
    std::wstring text = L"[" + section + L"]\r\n";
    for (auto& [k, v] : kv)
        text += k + L"=" + v + L"\r\n";
    return text;
}

TEST(Settings, MissingFileGivesEveryDefault) {
    TempDir dir;
    TSettings s = ReadSettingsFile(dir / L"holter.ini");
    for (auto& k : Keys())
        EXPECT_EQ(k.field(s), k.def) << U8(k.key);
    EXPECT_EQ(s.LanguageSetting, L"");
    EXPECT_EQ(s.HViewType, hvtStandart);
    EXPECT_FALSE(s.forMVD);
    EXPECT_FALSE(s.CorrectProbeli);
    EXPECT_EQ(s.Person, 0);
}

TEST(Settings, EveryKeyIsReadAndAnUnreadableValueGivesItsDefault) {
    TempDir dir;
    std::vector<std::pair<std::wstring, std::wstring>> good, bad;
    for (auto& k : Keys()) {
        good.emplace_back(k.key, k.valid);
        bad.emplace_back(k.key, k.invalid);
    }
    good.emplace_back(L"LanguageSetting", L"ENG");
    WriteAnsi(dir / L"good.ini", Ini(good));
    WriteAnsi(dir / L"bad.ini", Ini(bad));
    TSettings g = ReadSettingsFile(dir / L"good.ini");
    TSettings b = ReadSettingsFile(dir / L"bad.ini");
    for (auto& k : Keys()) {
        EXPECT_EQ(k.field(g), k.validValue) << U8(k.key) << "=" << U8(k.valid);
        EXPECT_EQ(k.field(b), k.def) << U8(k.key) << "=" << U8(k.invalid);
    }
    EXPECT_EQ(g.LanguageSetting, L"ENG");
    EXPECT_EQ(g.DefaultRegType, RegType_ECGBP2008);
}

TEST(Settings, KeysOutsideTheOptionsSectionAreNotRead) {
    TempDir dir;
    WriteAnsi(dir / L"h.ini", Ini({{L"HardwareType", L"7"}, {L"doformshow", L"0"}}, L"other"));
    TSettings s = ReadSettingsFile(dir / L"h.ini");
    EXPECT_EQ(s.HardwareType, 1);
    EXPECT_TRUE(s.doformshow);
}

TEST(Settings, ReadingNeverWritesTheFile) {
    TempDir dir;
    const std::wstring text = Ini({{L"HardwareType", L"3"}});
    WriteAnsi(dir / L"h.ini", text);
    ReadSettingsFile(dir / L"h.ini");
    ReadSettingsFile(dir / L"missing.ini");
    EXPECT_EQ(ReadAnsi(dir / L"h.ini"), text);
    EXPECT_FALSE(PathExists(dir / L"missing.ini"));
}

TEST(NumberFormat, PointAndBlankAfterTheSettingsAreRead) {
    TempDir dir;
    FormatSettings.DecimalSeparator = L',';
    FormatSettings.ThousandSeparator = L'.';
    ReadSettingsFile(dir / L"none.ini");
    EXPECT_EQ(FormatNumber(1234.5, 1), L"1 234.5");
    EXPECT_EQ(FormatNumber(-1234567, 0), L"-1 234 567");
    EXPECT_EQ(FormatNumber(999, 2), L"999.00");
}

TEST(Parsing, IntegersAndFloatsByTheSuitesRules) {
    struct {
        const wchar_t* text;
        bool ok;
        int32_t value;
    } ints[] = {{L"0", true, 0},      {L"-12", true, -12},       {L"0x10", true, 16},
                {L"0XfF", true, 255}, {L"0xFFFFFFFF", true, -1}, {L"2147483648", false, 0},
                {L" 1", false, 0},    {L"1 ", false, 0},         {L"0x", false, 0},
                {L"", false, 0},      {L"12a", false, 0},        {L"-2147483648", true, INT32_MIN}};
    for (auto& c : ints) {
        auto v = ParseInteger(c.text);
        EXPECT_EQ(v.has_value(), c.ok) << U8(c.text);
        if (c.ok && v) {
            EXPECT_EQ(*v, c.value) << U8(c.text);
        }
    }
    FormatSettings.DecimalSeparator = L'.';
    struct {
        const wchar_t* text;
        bool ok;
        double value;
    } floats[] = {{L"0.5", true, 0.5}, {L"-2", true, -2},  {L"1e3", true, 1000},
                  {L".5", true, 0.5},  {L"0,5", false, 0}, {L"", false, 0},
                  {L"1.", true, 1},    {L"e3", false, 0},  {L"1e", false, 0}};
    for (auto& c : floats) {
        auto v = ParseFloat(c.text);
        EXPECT_EQ(v.has_value(), c.ok) << U8(c.text);
        if (c.ok && v) {
            EXPECT_DOUBLE_EQ(*v, c.value) << U8(c.text);
        }
    }
}

TEST(Language, OnlyExactlyEngSelectsEnglish) {
    ProgramPath = L"C:\\Dist\\";
    struct {
        const wchar_t* setting;
        const wchar_t* code;
        const wchar_t* file;
    } cases[] = {{L"ENG", L"ENG", L"C:\\Dist\\Settings\\EngView.lng"},
                 {L"eng", L"RUS", L""},
                 {L"ENG ", L"RUS", L""},
                 {L"", L"RUS", L""},
                 {L"RUS", L"RUS", L""}};
    for (auto& c : cases) {
        Settings.LanguageSetting = c.setting;
        ChooseLanguage();
        EXPECT_EQ(LanguageCode, c.code) << U8(c.setting);
        EXPECT_EQ(LanguageFile, c.file) << U8(c.setting);
    }
    Settings = TSettings{};
}

} // namespace
