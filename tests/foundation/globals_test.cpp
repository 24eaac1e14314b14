#include "foundation/globals.h"

#include "resources/strings.h"

#include <gtest/gtest.h>

// Before start-up changes anything the values are those of a normal screen
// and of an ordinary user, and string-table texts come from this program.
TEST(Globals, StartValues)
{
    EXPECT_EQ(GetModuleHandleW(nullptr), hInstance);
    EXPECT_EQ(32, IconSize);
    EXPECT_FALSE(IsSmallScreen);
    EXPECT_FALSE(IsAdministrator);
    wchar_t text[64];
    EXPECT_GT(LoadStringW(hInstance, IDS_JOURNAL_CATEGORY_JOURNAL, text, 64), 0);
}
