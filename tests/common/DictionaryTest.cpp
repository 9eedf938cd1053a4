// The clinical dictionaries, translated from the language file where it has a key.
#include "common/VL_Common_Const.h"
#include "common/VL_Common_Proc.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

template <size_t N>
void ExpectRussian(const std::array<std::wstring, N>& dict,
                   const std::array<TDictEntry, N>& defaults, const char* name) {
    for (size_t i = 0; i < N; ++i)
        EXPECT_EQ(dict[i], defaults[i].Text) << name << " " << i;
}

TEST(Dictionaries, RussianTextsWithoutALanguageFile) {
    LoadDictionaries(L"");
    ExpectRussian(BodyTypes, BodyTypesDefault, "BodyTypes");
    ExpectRussian(Diagnoses, DiagnosesDefault, "Diagnoses");
    ExpectRussian(Medications, MedicationsDefault, "Medications");
    ExpectRussian(ConductionTypes, ConductionTypesDefault, "ConductionTypes");
    EXPECT_EQ(BodyTypes[0], L"Нормостеник");
    EXPECT_EQ(Diagnoses[21], L"Сахарный диабет");
    EXPECT_EQ(Medications[5], L"Антогонисты \u0043\u0061"); // Latin C and a
    EXPECT_EQ(ConductionTypes[3], L"WPW");
    EXPECT_EQ(ConductionTypes[4], L"Не определен");
    EXPECT_EQ(LabelFailure, L"СБОЙ");
    EXPECT_EQ(LabelMark, L"МЕТКА");
    EXPECT_EQ(LabelN, L"н");
    EXPECT_EQ(LabelS, L"с");
}

TEST(Dictionaries, MissingLanguageFileKeepsRussian) {
    TempDir dir;
    LoadDictionaries(dir / L"EngView.lng");
    ExpectRussian(Diagnoses, DiagnosesDefault, "Diagnoses");
    EXPECT_EQ(LabelMark, L"МЕТКА");
}

TEST(Dictionaries, OnlyKeysInTheirOwnSectionTranslate) {
    TempDir dir;
    WriteAnsi(dir / L"EngView.lng", L"[VL_Messages]\r\n"
                                    L"Normo=Normosthenic\r\n"
                                    L"IBS=CHD\r\n"
                                    L"BLN=\r\n"
                                    L"Sbo=FAILURE in wrong section\r\n"
                                    L"[VL_Common_Proc]\r\n"
                                    L"Met=MARK\r\n"
                                    L"Normo=wrong section too\r\n");
    LoadDictionaries(dir / L"EngView.lng");
    EXPECT_EQ(BodyTypes[0], L"Normosthenic");
    EXPECT_EQ(Diagnoses[3], L"CHD");
    EXPECT_EQ(ConductionTypes[1], L"") << "an empty value is a translation too";
    EXPECT_EQ(LabelMark, L"MARK");
    EXPECT_EQ(LabelFailure, L"СБОЙ");
    EXPECT_EQ(BodyTypes[1], L"Гиперстеник");
    EXPECT_EQ(Diagnoses[2], L"Нарушение мозгового кровообращения");
    EXPECT_EQ(Medications[0], L"сердечные гликозиды");
}

TEST(Dictionaries, UnkeyedEntriesReadTheSameInEveryLanguage) {
    TempDir dir;
    // Even a file that names the texts themselves cannot change the two unkeyed entries.
    WriteAnsi(dir / L"EngView.lng", L"[VL_Messages]\r\nWPW=changed\r\n(none)=changed\r\n");
    LoadDictionaries(dir / L"EngView.lng");
    EXPECT_EQ(Diagnoses[21], L"Сахарный диабет");
    EXPECT_EQ(ConductionTypes[3], L"WPW");
}

TEST(StringTable, TheProgramsEntries) {
    EXPECT_EQ(ReadStringTableEntry(0), L"Holter");
    EXPECT_EQ(ReadStringTableEntry(1), L"Velmora");
    EXPECT_EQ(ReadStringTableEntry(2), L"Комплекс суточного мониторирования электрокардиограмм");
    EXPECT_EQ(ReadStringTableEntry(3), L"21");
    EXPECT_EQ(ReadStringTableEntry(4), L"Orvanta.exe");
    for (unsigned id = 5; id <= 21; ++id)
        EXPECT_FALSE(ReadStringTableEntry(id).empty()) << id;
}

TEST(StringTable, MissingEntryIsEmptyAndLongOnesAreCut) {
    EXPECT_EQ(ReadStringTableEntry(22), L"");
    EXPECT_EQ(ReadStringTableEntry(4000), L"");
    // Entry 900 of the test's own table holds 300 characters.
    std::wstring longText = ReadStringTableEntry(900);
    EXPECT_EQ(longText.size(), 254u);
    EXPECT_EQ(longText, std::wstring(254, L'x'));
}

} // namespace
