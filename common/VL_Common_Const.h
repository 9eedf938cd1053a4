#pragma once
// The suite's clinical vocabulary with its Russian texts and translation keys.
#include <array>
#include <string>

struct TDictEntry {
    const wchar_t* Key; // nullptr: the entry is never translated
    const wchar_t* Text;
};

extern const std::array<TDictEntry, 3> BodyTypesDefault;
extern const std::array<TDictEntry, 22> DiagnosesDefault;
extern const std::array<TDictEntry, 9> MedicationsDefault;
extern const std::array<TDictEntry, 5> ConductionTypesDefault;
extern const TDictEntry LabelFailureDefault;
extern const TDictEntry LabelMarkDefault;
extern const TDictEntry LabelNDefault;
extern const TDictEntry LabelSDefault;
