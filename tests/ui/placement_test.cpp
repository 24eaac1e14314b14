// Window placements in the registry, below a settings root of each test's
// own (HKCU\Software\TobalFluoroTests\<suite>.<test>): a key with a value
// missing is no placement, only an existing key is written, and a placement
// off the screen is brought back onto the work area.
#include "ui/placement.h"

#include <string>

#include <gtest/gtest.h>

namespace {

class PlacementTest : public testing::Test {
protected:
    void SetUp() override
    {
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = std::string(info->test_suite_name()) + "." + info->name();
        root_ = L"Software\\TobalFluoroTests\\" + std::wstring(name.begin(), name.end());
        RegDeleteTreeW(HKEY_CURRENT_USER, root_.c_str());
        old_ = SetSettingsRoot(SettingsRoot{HKEY_CURRENT_USER, root_.c_str()});
        window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 40, 50, 300, 200, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(window);
    }
    void TearDown() override
    {
        DestroyWindow(window);
        SetSettingsRoot(old_);
        RegDeleteTreeW(HKEY_CURRENT_USER, root_.c_str());
    }
    void SetDword(const wchar_t* subKey, const wchar_t* name, DWORD value)
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, (root_ + L"\\" + subKey).c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
        EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4));
        RegCloseKey(key);
    }

    std::wstring root_;
    SettingsRoot old_ = {};
    HWND window = nullptr;
};

TEST_F(PlacementTest, APlacementWithAMissingValueIsNoPlacement)
{
    SetDword(L"Somewhere", L"x", 10);
    SetDword(L"Somewhere", L"y", 20);
    SetDword(L"Somewhere", L"cx", 300);
    PlacementRect p = {1, 2, 3, 4};
    EXPECT_FALSE(LoadWindowPlacement(p, L"Somewhere"));
    EXPECT_EQ(1, p.x);
    SetDword(L"Somewhere", L"cy", 200);
    ASSERT_TRUE(LoadWindowPlacement(p, L"Somewhere"));
    EXPECT_EQ(10, p.x);
    EXPECT_EQ(20, p.y);
    EXPECT_EQ(300, p.cx);
    EXPECT_EQ(200, p.cy);
    EXPECT_FALSE(LoadWindowPlacement(p, L"Nowhere"));
    EXPECT_FALSE(SaveWindowPlacement(window, L"Nowhere", true)) << "only an existing key is written";
}

TEST_F(PlacementTest, APlacementOffTheScreenIsBroughtBack)
{
    CreateDefaultWindowPlacement(PlacementRect{5000, -300, 400, 600}, L"Far");
    PlacementRect p = {};
    ASSERT_TRUE(LoadWindowPlacement(p, L"Far"));
    MONITORINFO info = {sizeof info};
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
    EXPECT_EQ(info.rcWork.right - 400, p.x);
    EXPECT_EQ(info.rcWork.top, p.y);
    EXPECT_EQ(400, p.cx);
    CreateDefaultWindowPlacement(PlacementRect{-50, 100, 9000, 9000}, L"Huge");
    ASSERT_TRUE(LoadWindowPlacement(p, L"Huge"));
    EXPECT_EQ(info.rcWork.left, p.x);
    EXPECT_EQ(info.rcWork.right - info.rcWork.left, p.cx);
    EXPECT_EQ(info.rcWork.bottom - info.rcWork.top, p.cy);
    EXPECT_EQ(info.rcWork.top, p.y);
}

TEST_F(PlacementTest, AWindowsPlacementIsWrittenIntoItsExistingKeyAndReadBack)
{
    CreateDefaultWindowPlacement(PlacementRect{10, 20, 30, 40}, L"Here");
    ASSERT_TRUE(SaveWindowPlacement(window, L"Here", false));
    PlacementRect p = {};
    ASSERT_TRUE(LoadWindowPlacement(p, L"Here"));
    EXPECT_EQ(40, p.x);
    EXPECT_EQ(50, p.y);
    EXPECT_EQ(30, p.cx) << "the size stays without withSize";
    EXPECT_EQ(40, p.cy);
    ASSERT_TRUE(SaveWindowPlacement(window, L"Here", true));
    ASSERT_TRUE(LoadWindowPlacement(p, L"Here"));
    EXPECT_EQ(300, p.cx);
    EXPECT_EQ(200, p.cy);
}

}  // namespace
