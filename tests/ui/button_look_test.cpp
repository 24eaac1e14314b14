// What the button looks like (pixels read back from the screen), its layout
// numbers, its settings from the registry and its anchoring.
#include "button_fixture.h"

#include <string>

using namespace DButtonStyle;

namespace {

const COLORREF kLight = 0xEFEFEF;
const COLORREF kDark = 0x000000;
const COLORREF kGrey = 0x808080;

class ButtonLook : public ButtonTest {
protected:
    void Settle()
    {
        RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_UPDATENOW);
        harness::Pump(30);
    }
};

TEST_F(ButtonLook, BorderIsRaisedSunkenWhilePressedAndGreyWhenChecked)
{
    ASSERT_TRUE(Make(kVisible | kCheck, L"OK", 20, 20, 80, 30));
    Settle();
    {
        harness::PixelGrab g(Hwnd(), true);
        ASSERT_TRUE(g.Ok());
        EXPECT_EQ(g.At(0, 15), kLight) << "left edge";
        EXPECT_EQ(g.At(40, 0), kLight) << "top edge";
        EXPECT_EQ(g.At(79, 15), kDark) << "right edge";
        EXPECT_EQ(g.At(40, 29), kDark) << "bottom edge";
    }
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    harness::Pump(20);
    {
        harness::PixelGrab g(Hwnd(), true);
        EXPECT_EQ(g.At(0, 15), kDark);
        EXPECT_EQ(g.At(79, 15), kLight);
    }
    Send(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    button->SetCheck(true);
    harness::Pump(20);
    {
        harness::PixelGrab g(Hwnd(), true);
        EXPECT_EQ(g.At(0, 15), kGrey);
        EXPECT_EQ(g.At(79, 15), kGrey);
    }
}

TEST_F(ButtonLook, FaceTakesTheColourSetForIt)
{
    ASSERT_TRUE(Make(kVisible, nullptr));
    button->SetFaceColor(RGB(200, 100, 50));
    EXPECT_TRUE(button->GetState() & DButtonState::kFaceColorSet);
    Settle();
    harness::PixelGrab g(Hwnd());
    EXPECT_EQ(g.At(5, 5), RGB(200, 100, 50));
    EXPECT_EQ(g.Count(RGB(200, 100, 50)), g.Width() * g.Height());
}

TEST_F(ButtonLook, DisabledCaptionIsGreyWithAWhiteShadow)
{
    ASSERT_TRUE(Make(kVisible, L"MMMM"));
    Settle();
    {
        harness::PixelGrab g(Hwnd());
        EXPECT_GT(g.Count(GetSysColor(COLOR_BTNTEXT)), 0) << "enabled caption";
        EXPECT_EQ(g.Count(0x6B6B6B), 0);
    }
    button->Enable(FALSE);
    Settle();
    harness::PixelGrab g(Hwnd());
    EXPECT_GT(g.Count(0x6B6B6B), 0);
    EXPECT_GT(g.Count(0xFFFFFF), 0);
    EXPECT_EQ(g.Count(GetSysColor(COLOR_BTNTEXT)), 0);
}

TEST_F(ButtonLook, CornerArrowTakesTheArrowColour)
{
    ASSERT_TRUE(Make(kVisible | kCornerArrow, nullptr, 20, 20, 80, 42));
    Settle();
    RECT rc;
    GetClientRect(Hwnd(), &rc);   // 78 x 40: the arrow's side is 10
    {
        harness::PixelGrab g(Hwnd());
        EXPECT_EQ(g.At(rc.right - 2, rc.bottom - 2), 0x0000FF);
        EXPECT_NE(g.At(rc.right - 2, rc.bottom - 14), 0x0000FF) << "above the arrow";
        EXPECT_NE(g.At(rc.right - 14, rc.bottom - 2), 0x0000FF) << "left of the arrow";
    }
    button->SetArrowColor(0xFF0000);
    Settle();
    harness::PixelGrab g(Hwnd());
    EXPECT_EQ(g.At(rc.right - 2, rc.bottom - 2), 0xFF0000);
    EXPECT_EQ(g.Count(0x0000FF), 0);
}

TEST_F(ButtonLook, MultiLineCaptionsSplitAtLineFeeds)
{
    ASSERT_TRUE(Make(kMultiLine, L"a\nb\n"));
    EXPECT_EQ(button->LineCount(), 2);
    button->SetText(L"a\n\nb", -1);
    EXPECT_EQ(button->LineCount(), 3);
    std::wstring many;
    for (int i = 0; i < 40; ++i)
        many += L"line\n";
    button->SetText(many.c_str(), -1);
    EXPECT_EQ(button->LineCount(), DButton::kMaxLines);
    button->SetText(L"", 0);
    EXPECT_EQ(button->LineCount(), 0);
    EXPECT_EQ(button->GetTextWidth(), 0);
}

TEST_F(ButtonLook, HeightAndMarginFollowCaptionAndBorder)
{
    ASSERT_TRUE(Make(0, L"Text"));
    int lh = button->GetLineHeight();
    EXPECT_GT(lh, 0);
    EXPECT_EQ(button->CalcHeight(), lh + 3 * lh / 2 + 1);
    EXPECT_EQ(button->GetMargin(), 2);
    EXPECT_GT(button->GetTextWidth(), 0);
    ASSERT_TRUE(Make(kArrangeVMask, L"Text"));
    EXPECT_EQ(button->CalcHeight(), lh + 1) << "0xC0 gives no ideal height: the line height";
    int wide = 0;
    ASSERT_TRUE(Make(0, L"Wider text"));
    wide = button->GetTextWidth();
    button->SetShadowOffset(2);
    EXPECT_EQ(button->GetLineHeight(), lh + 2);
    EXPECT_GT(wide, 0);
}

TEST_F(ButtonLook, SettingTheOwnedIconAgainKeepsIt)
{
    BYTE andMask[32 * 4], xorMask[32 * 4];
    memset(andMask, 0xFF, sizeof(andMask));
    memset(xorMask, 0, sizeof(xorMask));
    HICON first = CreateIcon(nullptr, 32, 32, 1, 1, andMask, xorMask);
    HICON second = CreateIcon(nullptr, 32, 32, 1, 1, andMask, xorMask);
    DButtonDesc d = {60, host->Hwnd(), kOwnsIcon, 0, 0, 60, 50, this, nullptr, first, 32, 32, hInstance, nullptr,
                     &notifyRecord};
    button = new DButton;
    ASSERT_TRUE(button->Create(&d));
    ICONINFO info;
    button->SetIcon(first, 32, 32);
    ASSERT_TRUE(GetIconInfo(first, &info)) << "the same handle again is not destroyed";
    DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    button->SetIcon(second, 32, 32);
    EXPECT_FALSE(GetIconInfo(first, &info)) << "the replaced icon is destroyed";
    delete button;
    button = nullptr;
    EXPECT_FALSE(GetIconInfo(second, &info)) << "the owned icon goes with the button";
}

// ---- settings -------------------------------------------------------------

class ButtonSettingsTest : public ButtonLook {
protected:
    void SetUp() override
    {
        ButtonLook::SetUp();
        path = L"Software\\TobalFluoroUiTest\\" + std::to_wstring(GetCurrentProcessId());
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &settings,
                                  nullptr),
                  0);
        RegCreateKeyExW(settings, L"Button", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &buttonKey, nullptr);
    }
    void TearDown() override
    {
        SetBorder(1);
        RegDeleteValueW(buttonKey, L"Font");
        DButton::LoadSettings(settings);
        RegCloseKey(buttonKey);
        RegDeleteKeyW(settings, L"Button");
        RegCloseKey(settings);
        RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
        ButtonLook::TearDown();
    }
    void SetBorder(DWORD border)
    {
        RegSetValueExW(buttonKey, L"Border", 0, REG_DWORD, reinterpret_cast<BYTE*>(&border), sizeof(border));
    }
    std::wstring path;
    HKEY settings = nullptr;
    HKEY buttonKey = nullptr;
};

TEST_F(ButtonSettingsTest, BorderOfThreeTakesSixPixelsEachWay)
{
    SetBorder(3);
    DButton::LoadSettings(settings);
    EXPECT_EQ(DButton::BorderWidthSetting(), 3);
    ASSERT_TRUE(Make(kVisible, nullptr, 20, 20, 80, 30));
    RECT rc;
    GetClientRect(Hwnd(), &rc);
    EXPECT_EQ(rc.right, 74);
    EXPECT_EQ(rc.bottom, 24);
    EXPECT_EQ(button->GetMargin(), 6);
    Settle();
    harness::PixelGrab g(Hwnd(), true);
    EXPECT_EQ(g.At(0, 15), kLight);
    EXPECT_EQ(g.At(2, 15), kLight);
    EXPECT_NE(g.At(3, 15), kLight) << "the face starts after three border pixels";
    EXPECT_EQ(g.At(77, 15), kDark);
}

TEST_F(ButtonSettingsTest, HugeBorderIsClampedAndTinyButtonsCollapse)
{
    SetBorder(100000);
    DButton::LoadSettings(settings);
    EXPECT_EQ(DButton::BorderWidthSetting(), DButton::kMaxBorder);
    ASSERT_TRUE(Make(kVisible, L"x", 0, 0, 20, 10));
    RECT rc;
    GetClientRect(Hwnd(), &rc);
    EXPECT_EQ(rc.right, 0);
    EXPECT_EQ(rc.bottom, 0);
    Settle();   // painting a button without client area is harmless
}

TEST_F(ButtonSettingsTest, FontFromTheRegistryIsUsedByNewButtons)
{
    ASSERT_TRUE(Make(0, L"Text"));
    int before = button->GetLineHeight();
    LOGFONTW lf = {};
    lf.lfHeight = -40;
    wcscpy(lf.lfFaceName, L"DejaVu Sans");
    RegSetValueExW(buttonKey, L"Font", 0, REG_BINARY, reinterpret_cast<BYTE*>(&lf), sizeof(lf));
    DButton::LoadSettings(settings);
    ASSERT_TRUE(Make(0, L"Text"));
    EXPECT_GE(button->GetLineHeight(), 40);
    EXPECT_GT(button->GetLineHeight(), before);
    LOGFONTW small = lf;
    small.lfHeight = -10;
    EXPECT_TRUE(button->SetFont(small));
    EXPECT_LT(button->GetLineHeight(), 40);
    DButton unmade;
    EXPECT_FALSE(unmade.SetFont(small)) << "no window";
}

TEST_F(ButtonSettingsTest, MissingKeyLeavesTheDefaults)
{
    HKEY empty;
    RegCreateKeyExW(settings, L"Empty", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &empty, nullptr);
    DButton::LoadSettings(empty);
    EXPECT_EQ(DButton::BorderWidthSetting(), 1);
    RegCloseKey(empty);
    RegDeleteKeyW(settings, L"Empty");
}

// ---- anchoring ------------------------------------------------------------

TEST_F(ButtonLook, AnchoredButtonsFollowTheParentsEdges)
{
    DButton* left = nullptr;
    host->SetHook([&](HWND, UINT m, WPARAM, LPARAM, bool&) -> LRESULT {
        if (m == WM_SIZE) {
            for (DButton* b : {button, left})
                if (b && b->GetHwnd())
                    SetWindowPos(b->GetHwnd(), nullptr, 0, 0, 0, 0,
                                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        return 0;
    });
    ASSERT_TRUE(Make(kVisible | kAnchorRight | kAnchorBottom, L"R", 5, 5, 50, 20));
    auto where = [this](HWND h) {
        RECT r;
        GetWindowRect(h, &r);
        MapWindowPoints(nullptr, host->Hwnd(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    RECT r = where(Hwnd());
    EXPECT_EQ(r.left, 250);
    EXPECT_EQ(r.top, 180);
    left = new DButton;
    DButtonDesc d = {60, host->Hwnd(), kVisible | kAnchorLeft | kAnchorTop | kAnchorRight, 70, 70, 30, 20, this,
                     L"L", nullptr, 0, 0, hInstance, nullptr, &notifyRecord};
    ASSERT_TRUE(left->Create(&d));
    r = where(left->GetHwnd());
    EXPECT_EQ(r.left, 0) << "left wins over right";
    EXPECT_EQ(r.top, 0);

    SetWindowPos(host->Hwnd(), nullptr, 0, 0, 400, 260, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    r = where(Hwnd());
    EXPECT_EQ(r.left, 350);
    EXPECT_EQ(r.top, 240);
    r = where(left->GetHwnd());
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    host->SetHook(nullptr);
    delete left;
}

}  // namespace
