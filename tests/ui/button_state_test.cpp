// The button's press, click and focus state machine, driven by messages and
// by real input.
#include "button_fixture.h"

#include "ui/window_errors.h"

#include <stdexcept>
#include <string>

using harness::LogMatches;
using namespace DButtonStyle;

namespace {

TEST_F(ButtonTest, DescriptorOfTheWrongSizeOrWithoutNotificationsCreatesNothing)
{
    for (DWORD size : {59u, 61u}) {
        DButtonDesc d = {size, host->Hwnd(), 0, 0, 0, 10, 10, this, L"x", nullptr, 0, 0, hInstance, nullptr, &notifyRecord};
        DButton b;
        EXPECT_FALSE(b.Create(&d)) << size;
        EXPECT_EQ(b.GetHwnd(), nullptr);
    }
    DButtonDesc d = {60, host->Hwnd(), 0, 0, 0, 10, 10, this, L"x", nullptr, 0, 0, hInstance, nullptr, nullptr};
    DButton b;
    EXPECT_FALSE(b.Create(&d));
    EXPECT_FALSE(b.Create(nullptr));
    ASSERT_TRUE(Make(0));
    DButtonDesc again = {60, host->Hwnd(), 0, 0, 0, 10, 10, this, L"x", nullptr, 0, 0, hInstance, nullptr, &notifyRecord};
    EXPECT_FALSE(button->Create(&again)) << "a button has one window";
}

TEST_F(ButtonTest, LeftClickGivesPressedReleasedClicked)
{
    ASSERT_TRUE(Make(kVisible));
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_EQ(GetCapture(), Hwnd());
    EXPECT_EQ(button->GetState() & DButtonState::kLeftPressed, DButtonState::kLeftPressed);
    Send(WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_NE(GetCapture(), Hwnd());
    EXPECT_TRUE(LogMatches(log, {"in ldown 10 10", "pressed", "in lup 10 10", "released", "clicked"}));
}

TEST_F(ButtonTest, LeavingWhilePressedReleasesWithoutClick)
{
    ASSERT_TRUE(Make(kVisible));
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-5, 10));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(-5, 10));
    EXPECT_TRUE(LogMatches(log, {"in ldown 10 10", "pressed", "released", "in lup -5 10"}));
}

// A callback of the press may open a menu or a dialog that takes the mouse:
// the press then ends at once, released but not clicked, and the button does
// not stay sunken until some later button-up happens to reach it.
TEST_F(ButtonTest, LosingTheCaptureEndsThePressWithoutClick)
{
    ASSERT_TRUE(Make(kVisible | DButtonStyle::kRightButton));
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    ASSERT_EQ(GetCapture(), Hwnd());
    SetCapture(host->Hwnd());
    EXPECT_EQ(button->GetState() & DButtonState::kAnyPress, 0u);
    ReleaseCapture();
    Send(WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_TRUE(LogMatches(log, {"in ldown 10 10", "pressed", "released", "in lup 10 10"}));

    log.Clear();
    onEvent = [&](const char* what) {
        if (std::string(what) == "pressed")
            SetCapture(host->Hwnd());   // as TrackPopupMenu does
    };
    Send(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 10));
    onEvent = nullptr;
    EXPECT_EQ(button->GetState() & DButtonState::kAnyPress, 0u);
    ReleaseCapture();
    Send(WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_TRUE(LogMatches(log, {"in rdown", "pressed", "released", "in rup"}));

    // The button's own release of the capture is no loss.
    log.Clear();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_TRUE(LogMatches(log, {"in ldown 10 10", "pressed", "in lup 10 10", "released", "clicked"}));
}

TEST_F(ButtonTest, MovingBackOverWithTheButtonHeldPressesAgain)
{
    ASSERT_TRUE(Make(kVisible));
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, -3));
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(12, 12));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(12, 12));
    EXPECT_TRUE(LogMatches(log, {"in ldown 10 10", "pressed", "released", "pressed", "in move 12 12", "in lup 12 12",
                                 "released", "clicked"}));
}

TEST_F(ButtonTest, StayPressedStyleSurvivesLeavingAndClicksAnywhere)
{
    ASSERT_TRUE(Make(kVisible | kStayPressed));
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-40, 500));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(-40, 500));
    EXPECT_TRUE(LogMatches(log, {"in ldown 10 10", "pressed", "in move -40 500", "in lup -40 500", "released", "clicked"}));
}

TEST_F(ButtonTest, RightAndMiddleClicksNeedTheirStyleBits)
{
    ASSERT_TRUE(Make(kVisible));
    Send(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    Send(WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
    Send(WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(5, 5));
    Send(WM_MBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(LogMatches(log, {"in rdown", "in rup", "in mdown", "in mup"}));

    log.Clear();
    ASSERT_TRUE(Make(kVisible | kRightButton | kMiddleButton));
    Send(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(button->GetState() & DButtonState::kRightPressed, DButtonState::kRightPressed);
    Send(WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
    Send(WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(5, 5));
    Send(WM_MBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(LogMatches(log, {"in rdown", "pressed", "in rup", "released", "right clicked", "in mdown", "pressed",
                                 "in mup", "released", "middle clicked"}));
}

TEST_F(ButtonTest, SpaceClicksAndFocusLossReleasesWithoutClick)
{
    ASSERT_TRUE(Make(kVisible));
    SetFocus(Hwnd());
    Send(WM_KEYDOWN, VK_SPACE, 0);
    Send(WM_KEYDOWN, VK_SPACE, 0x40000000);   // auto-repeat: no second press
    Send(WM_KEYUP, VK_SPACE, 0xC0000000);
    EXPECT_TRUE(LogMatches(log, {"in focus", "pressed", "in keydown 32", "in keydown 32", "released", "clicked",
                                 "in keyup 32"}));
    log.Clear();
    Send(WM_KEYDOWN, VK_SPACE, 0);
    SetFocus(host->Hwnd());
    EXPECT_TRUE(LogMatches(log, {"pressed", "in keydown 32", "released", "in unfocus"}));
    log.Clear();
    Send(WM_KEYUP, VK_SPACE, 0xC0000000);
    EXPECT_TRUE(LogMatches(log, {"in keyup 32"})) << "the release after focus loss is no click";
}

TEST_F(ButtonTest, ClickCallbackMayDeleteTheButton)
{
    ASSERT_TRUE(Make(kVisible));
    HWND h = Hwnd();
    onEvent = [this](const char* what) {
        if (std::string(what) == "released") {
            delete button;
            button = nullptr;
        }
    };
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_FALSE(IsWindow(h));
    EXPECT_TRUE(LogMatches(log, {"in ldown 10 10", "pressed", "in lup 10 10", "released"}))
        << "nothing runs on the deleted button after the callback";
}

TEST_F(ButtonTest, PressCallbackMayDestroyTheWindowDuringAMove)
{
    ASSERT_TRUE(Make(kVisible));
    HWND h = Hwnd();
    onEvent = [this](const char* what) {
        if (std::string(what) == "pressed")
            button->Destroy();
    };
    SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(button->GetHwnd(), nullptr);
    EXPECT_TRUE(LogMatches(log, {"pressed"}));
}

TEST_F(ButtonTest, ExceptionFromACallbackReachesTheLoopAndTheButtonLives)
{
    ASSERT_TRUE(Make(kVisible));
    onEvent = [](const char* what) {
        if (std::string(what) == "clicked")
            throw std::runtime_error("from the owner");
    };
    PostMessageW(Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    PostMessageW(Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    MSG msg;
    bool thrown = false;
    for (int i = 0; i < 2 && PeekMessageW(&msg, Hwnd(), 0, 0, PM_REMOVE); ++i) {
        try {
            DispatchMessageChecked(msg);
        } catch (const std::runtime_error&) {
            thrown = true;
        }
    }
    EXPECT_TRUE(thrown);
    EXPECT_TRUE(IsWindow(Hwnd()));
    EXPECT_EQ(button->GetState() & DButtonState::kAnyPress, 0u);
}

TEST_F(ButtonTest, MouseActivationTakesTheFocusUnlessTheStyleSaysNo)
{
    ASSERT_TRUE(Make(kVisible));
    SetFocus(host->Hwnd());
    EXPECT_EQ(Send(WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(host->Hwnd()), MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
              MA_ACTIVATE);
    EXPECT_EQ(GetFocus(), Hwnd());
    ASSERT_TRUE(Make(kVisible | kNoFocusOnClick));
    SetFocus(host->Hwnd());
    Send(WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(host->Hwnd()), MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
    EXPECT_EQ(GetFocus(), host->Hwnd());
}

// Drives the real mouse and keyboard: runs alone (see tests.cmake).
using ButtonRealInput = ButtonTest;

TEST_F(ButtonRealInput, RealClickPressesClicksAndFocuses)
{
    ASSERT_TRUE(Make(kVisible));
    SetFocus(host->Hwnd());
    POINT p = ScreenOf(15, 12);
    harness::MouseMoveTo(p.x, p.y);
    harness::PumpUntil([this] { return log.Lines().size() > 0; }, 500);
    log.Clear();
    harness::MouseButton(harness::Button::Left, true);
    harness::PumpUntil([this] { return log.Contains("pressed"); }, 10000);
    harness::MouseButton(harness::Button::Left, false);
    harness::PumpUntil([this] { return log.Contains("clicked"); }, 10000);
    EXPECT_TRUE(LogMatches(log.Without("in move"), {"?in focus", "in ldown 15 12", "pressed", "in lup 15 12", "released",
                                                    "clicked"}));
    EXPECT_EQ(GetFocus(), Hwnd()) << "the click took the focus";
}

TEST_F(ButtonRealInput, RealDragOffTheButtonGivesNoClick)
{
    ASSERT_TRUE(Make(kVisible));
    POINT p = ScreenOf(15, 12);
    harness::MouseMoveTo(p.x, p.y);
    harness::Pump(50);
    harness::MouseButton(harness::Button::Left, true);
    harness::PumpUntil([this] { return log.Contains("pressed"); }, 10000);
    harness::MouseMoveTo(p.x + 150, p.y + 100);
    harness::PumpUntil([this] { return log.Contains("released"); }, 10000);
    harness::MouseButton(harness::Button::Left, false);
    harness::Pump(50);
    EXPECT_TRUE(log.Contains("pressed"));
    EXPECT_TRUE(log.Contains("released"));
    EXPECT_FALSE(log.Contains("clicked"));
}

TEST_F(ButtonRealInput, DisabledButtonGetsNoRealInput)
{
    ASSERT_TRUE(Make(kVisible));
    button->Enable(FALSE);
    EXPECT_FALSE(IsWindowEnabled(Hwnd()));
    POINT p = ScreenOf(15, 12);
    harness::MouseMoveTo(p.x, p.y);
    harness::Pump(30);
    harness::MouseButton(harness::Button::Left, true);
    harness::MouseButton(harness::Button::Left, false);
    harness::Pump(80);
    EXPECT_FALSE(log.Contains("clicked"));
    button->Enable(TRUE);
    EXPECT_TRUE(IsWindowEnabled(Hwnd()));
}

TEST_F(ButtonTest, CheckOnlyForCheckButtons)
{
    ASSERT_TRUE(Make(0));
    EXPECT_FALSE(button->SetCheck(true));
    EXPECT_FALSE(button->GetCheck());
    ASSERT_TRUE(Make(kCheck));
    EXPECT_TRUE(button->SetCheck(true));
    EXPECT_TRUE(button->GetCheck());
    EXPECT_TRUE(button->SetCheck(true));
    EXPECT_TRUE(button->SetCheck(false));
    EXPECT_FALSE(button->GetCheck());
}

TEST_F(ButtonTest, CopiedRecordsOutliveTheCallersRecords)
{
    DButtonNotify* notify = new DButtonNotify(notifyRecord);
    DButtonInput* input = new DButtonInput(inputRecord);
    DButtonDesc d = {60, host->Hwnd(), kVisible | kCopyNotify | kCopyInput, 0, 0, 50, 20, this, L"x", nullptr, 0, 0,
                     hInstance, input, notify};
    button = new DButton;
    ASSERT_TRUE(button->Create(&d));
    *notify = DButtonNotify{};
    *input = DButtonInput{};
    delete notify;
    delete input;
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_TRUE(LogMatches(log, {"in ldown 3 3", "pressed", "in lup 3 3", "released", "clicked"}));
}

TEST_F(ButtonTest, CopyInputStyleWithoutARecordHasNoInputCallbacks)
{
    DButtonDesc d = {60, host->Hwnd(), kVisible | kCopyInput, 0, 0, 50, 20, this, L"x", nullptr, 0, 0,
                     hInstance, nullptr, &notifyRecord};
    button = new DButton;
    ASSERT_TRUE(button->Create(&d));
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_TRUE(LogMatches(log, {"pressed", "released", "clicked"}));
}

TEST_F(ButtonTest, DestroyedButtonCanBeCreatedAgain)
{
    ASSERT_TRUE(Make(kVisible));
    EXPECT_TRUE(button->Destroy());
    EXPECT_EQ(button->GetHwnd(), nullptr);
    DButtonDesc d = {60, host->Hwnd(), kVisible, 0, 0, 50, 20, this, L"again", nullptr, 0, 0, hInstance,
                     nullptr, &notifyRecord};
    EXPECT_TRUE(button->Create(&d));
    wchar_t text[6];
    EXPECT_TRUE(button->GetText(text, 6));
    EXPECT_STREQ(text, L"again");
    EXPECT_FALSE(button->GetText(text, 5));
}

}  // namespace
