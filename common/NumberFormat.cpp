#include "common/NumberFormat.h"

#include <cmath>
#include <cstdio>

TFormatSettings FormatSettings;

std::wstring FormatNumber(double value, int decimals) {
    wchar_t buf[400];
    swprintf(buf, 400, L"%.*f", decimals, std::fabs(value));
    std::wstring digits = buf;
    size_t dot = digits.find(L'.');
    std::wstring whole = digits.substr(0, dot);
    std::wstring frac = dot == std::wstring::npos ? L"" : digits.substr(dot + 1);
    std::wstring grouped;
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0) grouped += FormatSettings.ThousandSeparator;
        grouped += whole[i];
    }
    bool negative = std::signbit(value) && value != 0;
    std::wstring out = (negative ? L"-" : L"") + grouped;
    if (!frac.empty()) out += FormatSettings.DecimalSeparator + frac;
    return out;
}
