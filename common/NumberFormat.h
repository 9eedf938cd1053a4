#pragma once
// The program-wide number format: every number the program formats or parses uses it.
#include <string>

struct TFormatSettings {
    wchar_t DecimalSeparator = L'.';
    wchar_t ThousandSeparator = L' ';
};
extern TFormatSettings FormatSettings;

// value with `decimals` digits after the decimal separator and thousands grouped.
std::wstring FormatNumber(double value, int decimals);
