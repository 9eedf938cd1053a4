#include "common/unitMyLog.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(Log, Smoke) {
    TempDir dir;
    TMyLog log;
    log.SetLogFileName(dir / L"a.log");
    log.AddMessage(L"hello", false);
    auto lines = SplitLines(ReadAnsi(dir / L"a.log"));
    ASSERT_EQ(lines.size(), 1u);
}
