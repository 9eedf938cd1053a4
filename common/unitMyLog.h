#pragma once
// The suite's diagnostic journal: a bounded text file beside the executable, newest entry
// first, plus an optional additional file, and an information event per message.
#include "common/WinUtil.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TMyLog {
public:
    TMyLog();

    void AddMessage(const std::wstring& Message, bool OnlyAddLogfile);
    void AddByteArray(const std::wstring& Message, const uint8_t (&BA)[32768]);
    void SetLogFileName(const std::wstring& value);
    void SetAddLogFileName(const std::wstring& value);

    // Read access for the program and its tests.
    const std::wstring& GetLogFileName() const { return LogFileName; }
    const std::vector<std::wstring>& Entries() const { return List; }

private:
    std::unique_ptr<CriticalSection> Lock;
    std::wstring LogFileName;
    std::wstring AddLogFilename;
    int32_t LogMaxSize = 1000;
    std::vector<std::wstring> List;
    std::unique_ptr<std::vector<std::wstring>> AddList;
    uint8_t LogType = 0;
};

// Time stamp of an entry: DD/MM/YYYY HH:NN:SS with the workstation's separators.
std::wstring LogTimeStamp(const SYSTEMTIME& t);
// The first maxLines lines of a text file in the ANSI code page; CR LF, LF and CR each end a
// line. Reads no further than those lines (and never more than 128 MiB), so a file of any size
// loads in bounded time and memory. Returns an empty list when the file is missing or cannot be
// read, or when loading fails in any other way.
std::vector<std::wstring> LoadLines(const std::wstring& fileName, size_t maxLines) noexcept;

extern TMyLog* MyLog;

namespace unitMyLog {
void Initialization();
void Finalization();
} // namespace unitMyLog
