// The class rows of the viewer's windows: each registers its class and takes
// it away again.
#include "images/viewer/profilewnd.h"
#include "images/viewer/snimokwnd.h"
#include "images/viewer/statwnd.h"

#include "foundation/globals.h"

#include <gtest/gtest.h>

namespace {

bool ClassExists(const wchar_t* name)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    return GetClassInfoExW(hInstance, name, &wc) != FALSE;
}

struct ClassRow {
    bool (*registerRow)();
    void (*unregisterRow)();
    const wchar_t* name;
};

TEST(ViewerClassRows, EachRowRegistersAndUnregistersItsClass)
{
    const ClassRow rows[] = {
        {RegisterSnimokWnd, UnregisterSnimokWnd, L"Snimok window"},
        {RegisterProfileWnd, UnregisterProfileWnd, L"Profile"},
        {RegisterStatisticsWnd, UnregisterStatisticsWnd, L"Statistics window"},
    };
    for (const ClassRow& row : rows) {
        EXPECT_FALSE(ClassExists(row.name)) << row.name;
        ASSERT_TRUE(row.registerRow()) << row.name;
        EXPECT_TRUE(ClassExists(row.name)) << row.name;
        row.unregisterRow();
        EXPECT_FALSE(ClassExists(row.name)) << row.name;
        // A second start registers it again.
        ASSERT_TRUE(row.registerRow()) << row.name;
        EXPECT_TRUE(ClassExists(row.name)) << row.name;
        row.unregisterRow();
    }
}

}  // namespace
