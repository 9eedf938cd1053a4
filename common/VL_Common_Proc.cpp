#include "common/VL_Common_Proc.h"
#include "common/IniFile.h"
#include "common/VL_Common_Const.h"
#include "common/VL_Common_Var.h"

#include <windows.h>

std::array<std::wstring, 3> BodyTypes;
std::array<std::wstring, 22> Diagnoses;
std::array<std::wstring, 9> Medications;
std::array<std::wstring, 5> ConductionTypes;
std::wstring LabelFailure;
std::wstring LabelMark;
std::wstring LabelN;
std::wstring LabelS;

std::wstring ReadStringTableEntry(unsigned id) {
    wchar_t buf[255];
    int n = LoadStringW(GetModuleHandleW(nullptr), id, buf, 255);
    return n > 0 ? std::wstring(buf, n) : std::wstring();
}

namespace {

std::wstring Translated(const std::wstring& file, const wchar_t* section, const TDictEntry& e) {
    if (file.empty() || !e.Key) return e.Text;
    return IniReadString(file, section, e.Key).value_or(e.Text);
}

template <size_t N>
void Fill(std::array<std::wstring, N>& dict, const std::array<TDictEntry, N>& defaults,
          const std::wstring& file) {
    for (size_t i = 0; i < N; ++i)
        dict[i] = Translated(file, L"VL_Messages", defaults[i]);
}

} // namespace

void LoadDictionaries(const std::wstring& file) {
    Fill(BodyTypes, BodyTypesDefault, file);
    Fill(Diagnoses, DiagnosesDefault, file);
    Fill(Medications, MedicationsDefault, file);
    Fill(ConductionTypes, ConductionTypesDefault, file);
    LabelFailure = Translated(file, L"VL_Common_Proc", LabelFailureDefault);
    LabelMark = Translated(file, L"VL_Common_Proc", LabelMarkDefault);
    LabelN = Translated(file, L"VL_Common_Proc", LabelNDefault);
    LabelS = Translated(file, L"VL_Common_Proc", LabelSDefault);
}

namespace VL_Common_Proc {

void Initialization() {
    LoadDictionaries(LanguageFile);
}

void Finalization() {
    BodyTypes = {};
    Diagnoses = {};
    Medications = {};
    ConductionTypes = {};
    LabelFailure.clear();
    LabelMark.clear();
    LabelN.clear();
    LabelS.clear();
}

} // namespace VL_Common_Proc
