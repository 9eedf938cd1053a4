#pragma once
// Common routines of the suite: the program's string table and the clinical dictionaries.
#include <array>
#include <string>

// Text of the string-table entry `id` of the program's own module, at most 254 characters;
// empty when there is no such entry.
std::wstring ReadStringTableEntry(unsigned id);

extern std::array<std::wstring, 3> BodyTypes;
extern std::array<std::wstring, 22> Diagnoses;
extern std::array<std::wstring, 9> Medications;
extern std::array<std::wstring, 5> ConductionTypes;
extern std::wstring LabelFailure;
extern std::wstring LabelMark;
extern std::wstring LabelN;
extern std::wstring LabelS;

// Fills the dictionaries and labels from a language file; an empty name means Russian texts.
void LoadDictionaries(const std::wstring& languageFile);

namespace VL_Common_Proc {
void Initialization();
void Finalization();
} // namespace VL_Common_Proc
