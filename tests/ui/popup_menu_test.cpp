// The one door of popup menus: a tracker installed by a test sees every menu
// with TPM_RETURNCMD added and gives the choice back; null restores the real
// one.
#include "ui/popupmenu.h"

#include <gtest/gtest.h>

namespace {

struct Seen {
    HMENU menu = nullptr;
    UINT flags = 0;
    int x = 0, y = 0;
    HWND owner = nullptr;
};
Seen gSeen;

int Choose7(HMENU menu, UINT flags, int x, int y, HWND owner)
{
    gSeen = Seen{menu, flags, x, y, owner};
    return 7;
}

TEST(PopupMenu, AnInstalledTrackerAnswersWithTheReturnCommandFlagAdded)
{
    HMENU menu = CreatePopupMenu();
    ASSERT_TRUE(menu);
    AppendMenuW(menu, MF_STRING, 7, L"Seven");
    EXPECT_EQ(nullptr, SetPopupTracker(&Choose7)) << "the real tracker was installed";
    HWND owner = GetDesktopWindow();
    EXPECT_EQ(7, TrackPopup(menu, TPM_VERTICAL, 12, 34, owner));
    EXPECT_EQ(menu, gSeen.menu);
    EXPECT_EQ(UINT(TPM_VERTICAL | TPM_RETURNCMD), gSeen.flags);
    EXPECT_EQ(12, gSeen.x);
    EXPECT_EQ(34, gSeen.y);
    EXPECT_EQ(owner, gSeen.owner);
    EXPECT_EQ(&Choose7, SetPopupTracker(nullptr)) << "the test's tracker comes back";
    EXPECT_EQ(nullptr, SetPopupTracker(nullptr));
    DestroyMenu(menu);
}

}  // namespace
