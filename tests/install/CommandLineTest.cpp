// The installer's command line, read in process.
#include "app/CommandLine.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(CommandLine, TheProgramsNameIsNotAnArgument) {
    EXPECT_EQ(CommandLineArguments(L"\"C:\\Dist 1\\Install.exe\" /S /D=x"), L"/S /D=x");
    EXPECT_EQ(CommandLineArguments(L"Install.exe   /S"), L"/S");
    EXPECT_EQ(CommandLineArguments(L"\"C:\\Dist\\Install.exe\""), L"");
    EXPECT_EQ(CommandLineArguments(L"Install.exe"), L"");
}

TEST(CommandLine, Switches) {
    struct Case {
        std::wstring arguments;
        bool silent, driver, help;
        std::optional<std::wstring> target;
        std::wstring log;
        std::wstring error; // the start of the refusal, empty when accepted
    } cases[] = {
        {L"", false, false, false, std::nullopt, L"", L""},
        {L"/S", true, false, false, std::nullopt, L"", L""},
        {L"/s /driver /Log=C:\\p.txt", true, true, false, std::nullopt, L"C:\\p.txt", L""},
        {L"/?", false, false, true, std::nullopt, L"", L""},
        {L"/S \"/D=C:\\Program Files\\Вельмора\" /DRIVER", true, true, false,
         L"C:\\Program Files\\Вельмора", L"", L""},
        {L"/S /D=\"C:\\Program Files\\Velmora\\\"", true, false, false,
         L"C:\\Program Files\\Velmora\\", L"", L""},
        // Unquoted, the target takes the rest of the line: switches after it are part of it.
        {L"/S /D=C:\\Program Files\\Velmora  ", true, false, false, L"C:\\Program Files\\Velmora",
         L"", L""},
        {L"/D=C:\\Velmora /S", false, false, false, L"C:\\Velmora /S", L"", L""},
        {L"/S /D=", true, false, false, L"", L"", L""},
        {L"/S /SILENT", true, false, false, std::nullopt, L"",
         L"Неизвестный ключ командной строки: /SILENT"},
        {L"C:\\Velmora /S", true, false, false, std::nullopt, L"",
         L"Неизвестный ключ командной строки: C:\\Velmora"},
        {L"/S \"/D=C:\\Velmora", true, false, false, L"C:\\Velmora", L"", L"Незакрытые кавычки"},
        {L"/S /LOG=", true, false, false, std::nullopt, L"", L"Не указан файл"},
        {L"\"/D=C:\\A\" \"/D=C:\\B\"", false, false, false, L"C:\\B", L"",
         L"Каталог установки указан дважды"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.arguments));
        TCommandLine r = ParseCommandLine(c.arguments);
        EXPECT_EQ(r.Silent, c.silent);
        EXPECT_EQ(r.Driver, c.driver);
        EXPECT_EQ(r.Help, c.help);
        EXPECT_EQ(r.Target.has_value(), c.target.has_value());
        EXPECT_EQ(U8(r.Target.value_or(L"-")), U8(c.target.value_or(L"-")));
        EXPECT_EQ(U8(r.LogFile), U8(c.log));
        // Accepted lines have no error; a refusal's reason starts as given.
        EXPECT_EQ(U8(r.Error.substr(0, std::max<size_t>(c.error.size(), 1))), U8(c.error));
    }
}

} // namespace
