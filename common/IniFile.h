#pragma once
// Typed reads and writes of Windows INI files through the profile API, with the rules the
// suite uses: Booleans are integers, integers are decimal or 0x-hexadecimal, floats use the
// program-wide decimal separator, and anything unreadable gives the caller's default.
#include <cstdint>
#include <optional>
#include <string>

std::optional<std::wstring> IniReadString(const std::wstring& file, const std::wstring& section,
                                          const std::wstring& key);
std::wstring IniReadString(const std::wstring& file, const std::wstring& section,
                           const std::wstring& key, const std::wstring& def);
int32_t IniReadInteger(const std::wstring& file, const std::wstring& section,
                       const std::wstring& key, int32_t def);
bool IniReadBool(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                 bool def);
double IniReadFloat(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                    double def);

// Text to number by the suite's rules; nullopt when the text is not such a number.
std::optional<int32_t> ParseInteger(const std::wstring& text);
std::optional<double> ParseFloat(const std::wstring& text);
