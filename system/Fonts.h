#pragma once
// Installing the suite's TrueType fonts into Windows: copy into the fonts folder, register for
// all users, tell running programs, report a progress line per font.
#include <functional>
#include <string>

// The fonts the suite's programs need, in the order they are installed.
constexpr int FontFileCount = 7;
extern const wchar_t* const FontFileNames[FontFileCount];

// Where the fonts are registered for all users (under HKEY_LOCAL_MACHINE).
extern const wchar_t FontsRegistryKey[];

using TAddProgressLine = std::function<void(const std::wstring&)>;

// The full name Windows reports for a font file, or "" when it cannot be read.
std::wstring GetFontFaceName(const std::wstring& fontPath);

// The Windows folder with a trailing "\", or "" when Windows does not report it.
std::wstring GetWindowsFolder();

// The distribution's "fonts\" folder beside the running executable, and the Windows fonts
// folder ("fonts\" alone, relative to the current directory, when there is no Windows folder).
std::wstring FontsSourceFolder();
std::wstring FontsDestinationFolder();

// The progress line for an installed font.
std::wstring FontInstalledLine(const std::wstring& description);

// Installs one font unless the destination already has a file of that name. Both folders end
// with "\". Throws EInstallError when the source cannot be read, the destination cannot be
// written or the registry value cannot be set; the fonts after it are then not attempted.
void InstallFontFile(const std::wstring& sourceFolder, const std::wstring& destinationFolder,
                     const std::wstring& fileName, const TAddProgressLine& addProgressLine);

// Every font of FontFileNames in order; the first error ends the step.
void InstallFontFiles(const std::wstring& sourceFolder, const std::wstring& destinationFolder,
                      const TAddProgressLine& addProgressLine);
