#include "common/unitMyLog.h"
#include "common/Errors.h"

#include <string_view>

TMyLog* MyLog = nullptr;

namespace {

constexpr size_t kLoadChunkBytes = 64 * 1024;
// Far above a thousand entries of any size this log writes (the longest, a byte-array dump, is
// about 100 KB); a file that has not given its lines by then is no such log, and reading on
// would only exhaust the memory of a 32-bit process.
constexpr size_t kLoadBudgetBytes = 128 * 1024 * 1024;

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

std::vector<std::wstring> LoadLines(const std::wstring& fileName, size_t maxLines) noexcept {
    // The newest entries are the first lines, so a log grown to any size (hundreds of megabytes
    // on a workstation nobody cleans) costs no more than the lines the list keeps. Whatever goes
    // wrong here, memory included, must not stop the program: the list then starts empty.
    try {
        std::vector<std::wstring> lines;
        UniqueHandle file(CreateFileW(fileName.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file.valid()) return {};
        std::string chunk(kLoadChunkBytes, '\0');
        std::string line; // bytes of the line being read
        bool afterCarriageReturn = false;
        for (size_t total = 0; lines.size() < maxLines && total < kLoadBudgetBytes;) {
            DWORD got = 0;
            if (!ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got,
                          nullptr))
                return {};
            if (got == 0) {
                if (!line.empty()) lines.push_back(FromAnsi(line));
                break;
            }
            total += got;
            std::string_view rest(chunk.data(), got);
            while (!rest.empty() && lines.size() < maxLines) {
                // CR LF is one line end; the LF may come at the start of the next chunk.
                if (afterCarriageReturn && rest.front() == '\n') rest.remove_prefix(1);
                afterCarriageReturn = false;
                size_t end = rest.find_first_of("\r\n");
                if (end == std::string_view::npos) {
                    line.append(rest);
                    break;
                }
                line.append(rest.substr(0, end));
                lines.push_back(FromAnsi(line));
                line.clear();
                afterCarriageReturn = rest[end] == '\r';
                rest.remove_prefix(end + 1);
            }
        }
        return lines;
    } catch (...) {
        return {};
    }
}

TMyLog::TMyLog()
    : Lock(std::make_unique<CriticalSection>()),
      LogFileName(ExtractFilePath(ModuleFileName()) + L"TestHolter.log") {
    // An unreadable file (say on a CD that cannot be opened) simply gives an empty list.
    List = LoadLines(LogFileName, static_cast<size_t>(LogMaxSize));
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
    List = LoadLines(value, static_cast<size_t>(LogMaxSize));
    if (!Lock) Lock = std::make_unique<CriticalSection>();
}

void TMyLog::SetAddLogFileName(const std::wstring& value) {
    AddLogFilename = value;
    if (!AddList) AddList = std::make_unique<std::vector<std::wstring>>();
    *AddList = LoadLines(value, static_cast<size_t>(LogMaxSize));
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
