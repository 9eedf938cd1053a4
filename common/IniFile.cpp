#include "common/IniFile.h"
#include "common/NumberFormat.h"

#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <cwchar>
#include <vector>

std::optional<std::wstring> IniReadString(const std::wstring& file, const std::wstring& section,
                                          const std::wstring& key) {
    // A default no INI value can hold tells a missing key from an empty one.
    static const wchar_t missing[] = L"\x01\x02missing\x02\x01";
    std::vector<wchar_t> buf(512);
    for (;;) {
        DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), missing, buf.data(),
                                           static_cast<DWORD>(buf.size()), file.c_str());
        if (n + 1 < buf.size()) {
            std::wstring value(buf.data(), n);
            if (value == missing) return std::nullopt;
            return value;
        }
        buf.resize(buf.size() * 4);
    }
}

std::wstring IniReadString(const std::wstring& file, const std::wstring& section,
                           const std::wstring& key, const std::wstring& def) {
    return IniReadString(file, section, key).value_or(def);
}

std::optional<int32_t> ParseInteger(const std::wstring& text) {
    if (text.empty()) return std::nullopt;
    const wchar_t* p = text.c_str();
    bool negative = false;
    if (*p == L'-' || *p == L'+') negative = *p++ == L'-';
    int base = 10;
    if (p[0] == L'0' && (p[1] == L'x' || p[1] == L'X')) {
        base = 16;
        p += 2;
    }
    if (*p == 0) return std::nullopt;
    unsigned long long value = 0;
    for (; *p; ++p) {
        int d;
        if (*p >= L'0' && *p <= L'9')
            d = *p - L'0';
        else if (base == 16 && *p >= L'a' && *p <= L'f')
            d = *p - L'a' + 10;
        else if (base == 16 && *p >= L'A' && *p <= L'F')
            d = *p - L'A' + 10;
        else
            return std::nullopt;
        value = value * base + d;
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    if (base == 16 && !negative) return static_cast<int32_t>(static_cast<uint32_t>(value));
    if (negative) {
        if (value > 0x80000000ull) return std::nullopt;
        return static_cast<int32_t>(-static_cast<long long>(value));
    }
    if (value > 0x7FFFFFFFull) return std::nullopt;
    return static_cast<int32_t>(value);
}

std::optional<double> ParseFloat(const std::wstring& text) {
    // Accepted: [sign] digits [sep digits] [e [sign] digits], with at least one digit in front
    // of the exponent; the separator is the program-wide decimal separator.
    std::wstring c;
    size_t i = 0, n = text.size();
    if (i < n && (text[i] == L'+' || text[i] == L'-')) c += text[i++];
    size_t digits = 0;
    while (i < n && iswdigit(text[i])) {
        c += text[i++];
        ++digits;
    }
    if (i < n && text[i] == FormatSettings.DecimalSeparator) {
        c += L'.';
        ++i;
        while (i < n && iswdigit(text[i])) {
            c += text[i++];
            ++digits;
        }
    }
    if (digits == 0) return std::nullopt;
    if (i < n && (text[i] == L'e' || text[i] == L'E')) {
        c += text[i++];
        if (i < n && (text[i] == L'+' || text[i] == L'-')) c += text[i++];
        size_t expDigits = 0;
        while (i < n && iswdigit(text[i])) {
            c += text[i++];
            ++expDigits;
        }
        if (expDigits == 0) return std::nullopt;
    }
    if (i != n) return std::nullopt;
    errno = 0;
    double v = wcstod(c.c_str(), nullptr);
    if (errno == ERANGE) return std::nullopt;
    return v;
}

int32_t IniReadInteger(const std::wstring& file, const std::wstring& section,
                       const std::wstring& key, int32_t def) {
    auto text = IniReadString(file, section, key);
    if (!text) return def;
    return ParseInteger(*text).value_or(def);
}

bool IniReadBool(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                 bool def) {
    return IniReadInteger(file, section, key, def ? 1 : 0) != 0;
}

double IniReadFloat(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                    double def) {
    auto text = IniReadString(file, section, key);
    if (!text) return def;
    return ParseFloat(*text).value_or(def);
}
