#include "system/Fonts.h"

#include "support/TestFonts.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>

TEST(TestFontsTest, EachFixtureReportsItsOwnFullName) {
    TempDir dir;
    std::set<std::wstring> names;
    for (int i = 0; i < TestFontCount; ++i) {
        std::wstring path = dir / (L"f" + std::to_wstring(i) + L".ttf");
        WriteBytes(path, MakeTestFont(i));
        EXPECT_EQ(U8(GetFontFaceName(path)), U8(TestFontFullName(i))) << i;
        names.insert(TestFontFullName(i));
    }
    EXPECT_EQ(names.size(), size_t(TestFontCount));
}
