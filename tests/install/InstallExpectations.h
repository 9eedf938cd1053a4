#pragma once
// What a whole installation leaves behind and reports, shared by the tests that install through
// the wizard and those that install unattended.
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

inline const wchar_t kDriverQuestion[] = L"Подключите интерфейсный блок и нажмите \"Yes\"?";
inline const wchar_t kExitQuestion[] = L"Установка завершена. Выйти из программы установки?";
inline const wchar_t kFontsKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
inline const wchar_t* const kFontFiles[] = {L"ARIAL.TTF",   L"ARIALN.TTF", L"COUR.TTF",
                                            L"MICROSS.TTF", L"TAHOMA.TTF", L"TIMES.TTF",
                                            L"verdana.TTF"};
inline const std::vector<std::wstring> kRuntime = {
    L"aliases.conf", L"firebird.conf", L"fbclient.Dll", L"ib_util.Dll",
    L"icudt30.Dll",  L"icuin30.Dll",   L"icuuc30.Dll",  L"msvcp80.Dll",
    L"msvcr80.Dll",  L"firebird.msg",  L"gbak.exe",     L"gds32.dll"};
inline const std::vector<std::wstring> kIntl = {L"fbintl.conf", L"fbintl.dll"};
inline const std::vector<std::wstring> kUdf = {L"fbudf.dll", L"ib_udf.dll", L"fbudf.sql",
                                               L"ib_udf.sql", L"ib_udf2.sql"};
inline const std::vector<std::wstring> kSuiteUdf = {L"Ferrat.Dll", L"Lumex.Dll", L"Quindal.Dll",
                                                    L"Varnek.Dll"};

// "Копирование файла <name>...." without its outcome.
std::wstring Copied(const std::wstring& name);
std::wstring WindowsFontsFolder();
// The seven suite fonts removed from Windows, so that a run installs them again.
void RemoveSuiteFonts();
std::optional<std::wstring> FontValue(int index);

struct Link {
    std::wstring path, workingFolder, description, arguments;
};
std::optional<Link> ReadLink(const std::wstring& file);

std::string IniValue(const std::wstring& file, const wchar_t* section, const wchar_t* key);
// The lines of a complete run into a folder the path page created, fonts new to Windows.
std::vector<std::wstring> ExpectedLines(bool driver);
// Distribution path -> installed path of every file the run copies byte for byte.
std::map<std::wstring, std::wstring> CopiedFiles();
FILETIME WriteTime(const std::wstring& path);
