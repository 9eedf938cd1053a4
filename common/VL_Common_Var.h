#pragma once
// Common variables of the suite: where the program lives, its settings and its language.
// Set once at start-up and read-only afterwards.
#include "common/VL_Common_Types.h"

#include <string>

extern std::wstring ProgramPath;
extern TSettings Settings;
extern std::wstring LanguageCode;
extern std::wstring LanguageFile;
extern std::wstring AtesInPath;
extern std::wstring AtesOutPath;

// Fills Settings from ProgramPath + "Settings\holter.ini".
void ReadSettings();
// LanguageCode and LanguageFile from Settings.LanguageSetting ("ENG", exactly, selects English).
void ChooseLanguage();
// The same rules for any settings file: the reader behind ReadSettings.
TSettings ReadSettingsFile(const std::wstring& iniFile);

namespace VL_Common_Var {
void Initialization();
void Finalization();
} // namespace VL_Common_Var
