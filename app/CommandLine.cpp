#include "app/CommandLine.h"

#include <cwctype>

const wchar_t CommandLineUsage[] =
    L"Установка комплекса без участия пользователя:\r\n"
    L"\r\n"
    L"Install.exe /S [/D=<каталог>] [/DRIVER] [/LOG=<файл>]\r\n"
    L"\r\n"
    L"/S\tустановить без окон и вопросов\r\n"
    L"/D=<каталог>\tкаталог установки (по умолчанию C:\\Holter); каталог с пробелами "
    L"заключите в кавычки (\"/D=C:\\Program Files\\Velmora\") или укажите последним\r\n"
    L"/DRIVER\tустановить драйвер интерфейсного блока\r\n"
    L"/LOG=<файл>\tзаписать ход установки в файл (UTF-8)\r\n"
    L"/?\tэта справка\r\n"
    L"\r\n"
    L"Коды завершения: 0 - установлено; 1 - ошибка во время установки; "
    L"2 - установка не начата (неверная командная строка или каталог).\r\n"
    L"\r\n"
    L"Без /S ключ /D= только подставляет каталог в окно программы установки.";

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

size_t SkipBlanks(const std::wstring& s, size_t i) {
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    return i;
}

std::wstring Upper(std::wstring s) {
    for (auto& c : s)
        c = static_cast<wchar_t>(std::towupper(c));
    return s;
}

bool StartsWithNoCase(const std::wstring& s, const std::wstring& prefix) {
    return s.size() >= prefix.size() && Upper(s.substr(0, prefix.size())) == prefix;
}

std::wstring TrimBlanksRight(std::wstring s) {
    while (!s.empty() && IsBlank(s.back()))
        s.pop_back();
    return s;
}

// One argument starting at `i` (not a blank): quotes group blanks into it and are dropped.
// `quoted` tells whether it had any quote; `closed` whether every quote was closed.
struct TArgument {
    std::wstring text;
    size_t start = 0;
    size_t end = 0;
    bool quoted = false;
    bool closed = true;
};

TArgument ReadArgument(const std::wstring& s, size_t i) {
    TArgument a;
    a.start = i;
    bool inQuotes = false;
    for (; i < s.size() && (inQuotes || !IsBlank(s[i])); ++i) {
        if (s[i] == L'"') {
            inQuotes = !inQuotes;
            a.quoted = true;
        } else {
            a.text += s[i];
        }
    }
    a.end = i;
    a.closed = !inQuotes;
    return a;
}

} // namespace

std::wstring CommandLineArguments(const std::wstring& commandLine) {
    size_t i = SkipBlanks(commandLine, 0);
    // The program's name: quoted up to the closing quote, or up to the first blank.
    if (i < commandLine.size() && commandLine[i] == L'"') {
        size_t close = commandLine.find(L'"', i + 1);
        i = close == std::wstring::npos ? commandLine.size() : close + 1;
    }
    while (i < commandLine.size() && !IsBlank(commandLine[i]))
        ++i;
    return commandLine.substr(SkipBlanks(commandLine, i));
}

TCommandLine ParseCommandLine(const std::wstring& arguments) {
    TCommandLine result;
    auto refuse = [&](const std::wstring& why) {
        if (result.Error.empty()) result.Error = why;
    };
    for (size_t i = SkipBlanks(arguments, 0); i < arguments.size(); i = SkipBlanks(arguments, i)) {
        TArgument a = ReadArgument(arguments, i);
        i = a.end;
        if (!a.closed)
            refuse(L"Незакрытые кавычки в командной строке: " + arguments.substr(a.start));
        const std::wstring upper = Upper(a.text);
        if (upper == L"/S") {
            result.Silent = true;
        } else if (upper == L"/DRIVER") {
            result.Driver = true;
        } else if (upper == L"/?") {
            result.Help = true;
        } else if (StartsWithNoCase(a.text, L"/D=")) {
            // Unquoted, the target is the rest of the line, blanks and all.
            std::wstring folder =
                a.quoted ? a.text.substr(3) : TrimBlanksRight(arguments.substr(a.start + 3));
            if (!a.quoted) i = arguments.size();
            if (result.Target) refuse(L"Каталог установки указан дважды: /D=" + folder);
            result.Target = folder;
        } else if (StartsWithNoCase(a.text, L"/LOG=")) {
            if (a.text.size() == 5) refuse(L"Не указан файл для ключа /LOG=");
            result.LogFile = a.text.substr(5);
        } else {
            refuse(L"Неизвестный ключ командной строки: " + a.text);
        }
    }
    return result;
}
