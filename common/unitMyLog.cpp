#include "common/unitMyLog.h"
#include "common/Errors.h"

TMyLog* MyLog = nullptr;

namespace {

std::wstring LocaleText(LCTYPE type, const wchar_t* fallback) {
    wchar_t buf[16];
    int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buf, 16);
    return n > 1 ? std::wstring(buf, n - 1) : std::wstring(fallback);
}

std::wstring TwoDigits(int v) {
    wchar_t b[8];
    wsprintfW(b, L"%02d", v);
    return b;
}

std::wstring MakeEntry(const std::wstring& message) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return LogTimeStamp(t) + L": " + message;
}

void AddTrimmed(std::vector<std::wstring>& list, std::wstring entry, size_t maxSize) {
    list.insert(list.begin(), std::move(entry));
    while (list.size() > maxSize)
        list.pop_back();
}

void WriteLines(const std::wstring& fileName, const std::vector<std::wstring>& list) {
    std::wstring text;
    for (const auto& line : list) {
        text += line;
        text += L"\r\n";
    }
    // Not flushed: the log is a record for people, and waiting for the disk at start-up (while
    // other programs write a lot) would hold up the first window for nothing it protects.
    if (DWORD err = WriteFileReplacing(fileName, ToAnsi(text), false))
        throw EInstallError(L"Не удалось записать файл \"" + fileName + L"\". " +
                            SysErrorMessage(err));
}

void ReportToEventLog(const std::wstring& message) {
    HANDLE source = RegisterEventSourceW(nullptr, L"Velmora");
    const wchar_t* strings[1] = {message.c_str()};
    ReportEventW(source, EVENTLOG_INFORMATION_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
    if (source) DeregisterEventSource(source);
}

} // namespace

std::wstring LogTimeStamp(const SYSTEMTIME& t) {
    // Read every time: the workstation's separators may change while the program runs.
    const std::wstring dateSep = LocaleText(LOCALE_SDATE, L"/");
    const std::wstring timeSep = LocaleText(LOCALE_STIME, L":");
    wchar_t year[8];
    wsprintfW(year, L"%04d", t.wYear);
    return TwoDigits(t.wDay) + dateSep + TwoDigits(t.wMonth) + dateSep + year + L" " +
           TwoDigits(t.wHour) + timeSep + TwoDigits(t.wMinute) + timeSep + TwoDigits(t.wSecond);
}

std::vector<std::wstring> LoadLines(const std::wstring& fileName) {
    std::vector<std::wstring> lines;
    std::string bytes;
    if (!ReadFileBytes(fileName, bytes)) return lines;
    std::wstring text = FromAnsi(bytes);
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\r' && text[i] != L'\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

TMyLog::TMyLog()
    : Lock(std::make_unique<CriticalSection>()),
      LogFileName(ExtractFilePath(ModuleFileName()) + L"TestHolter.log") {
    // An unreadable file (say on a CD that cannot be opened) simply gives an empty list.
    List = LoadLines(LogFileName);
}

void TMyLog::AddMessage(const std::wstring& Message, bool OnlyAddLogfile) {
    {
        Locked guard(*Lock);
        if (!OnlyAddLogfile) {
            AddTrimmed(List, MakeEntry(Message), static_cast<size_t>(LogMaxSize));
            WriteLines(LogFileName, List);
        }
        if (!AddLogFilename.empty()) {
            AddTrimmed(*AddList, MakeEntry(Message), static_cast<size_t>(LogMaxSize));
            WriteLines(AddLogFilename, *AddList);
        }
    }
    ReportToEventLog(Message);
}

void TMyLog::AddByteArray(const std::wstring& Message, const uint8_t (&BA)[32768]) {
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring text = Message;
    text.reserve(Message.size() + 3 * sizeof BA);
    for (uint8_t b : BA) {
        text += digits[b >> 4];
        text += digits[b & 15];
        text += L' ';
    }
    AddMessage(text, false);
}

void TMyLog::SetLogFileName(const std::wstring& value) {
    LogFileName = value;
    LogMaxSize = 1000;
    List = LoadLines(value);
    if (!Lock) Lock = std::make_unique<CriticalSection>();
}

void TMyLog::SetAddLogFileName(const std::wstring& value) {
    AddLogFilename = value;
    if (!AddList) AddList = std::make_unique<std::vector<std::wstring>>();
    *AddList = LoadLines(value);
    if (!Lock) Lock = std::make_unique<CriticalSection>();
}

namespace unitMyLog {
void Initialization() {
    MyLog = new TMyLog;
}
void Finalization() {
    delete MyLog;
    MyLog = nullptr;
}
} // namespace unitMyLog
