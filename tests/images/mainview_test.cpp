// The main image panel: layouts and slots, toolbar, keys, commands and the
// services of the shell and printing they call, the level controls, and
// picture preparation. (The same commands on the real shell:
// tests/app/viewer_shell_test.cpp.)
#include "viewer_fixture.h"

#include "common/prompt_script.h"
#include "common/window_harness.h"
#include "database/dbstart.h"
#include "imagefiles_fixture.h"
#include "tools/demosite/sitedatabase.h"

#define TF_WIDEN2(x) L##x
#define TF_WIDEN(x) TF_WIDEN2(x)

#include "resources/resource.h"

#include <string.h>

#include <vector>

namespace {

int Ramp(int x, int y)
{
    return 1000 + 3 * x + 7 * y;
}

DPicturePtr PatientPicture(uint32_t patient = 17, int w = 90, int h = 60)
{
    DPicturePtr p = MakePicture(w, h, Ramp);
    p->patient.SetPatientId(patient);
    p->stored = 1;
    p->imageId = 44;
    return p;
}

}  // namespace

class PanelTest : public ViewerTest {
protected:
    void SetUp() override
    {
        ViewerTest::SetUp();
        PrepareSettings() = PrepareSnimokSettings{0, 0, 0};
        ASSERT_EQ(1, CreateMainView(host->Hwnd()));
        panel = MainViewWnd::Instance();
        ASSERT_TRUE(panel);
        EXPECT_EQ(panel, GetSnimokHost());
    }
    void KeyDown(WPARAM key) { SendMessageW(panel->GetHandle(), WM_KEYDOWN, key, 0); }

    MainViewWnd* panel = nullptr;
};

TEST_F(PanelTest, CreatedHiddenFullScreenWithItsToolbar)
{
    EXPECT_EQ(0, CreateMainView(host->Hwnd())) << "one panel";
    EXPECT_FALSE(panel->IsShown());
    RECT w;
    GetWindowRect(panel->GetHandle(), &w);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), w.right - w.left);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), w.bottom - w.top);
    const wchar_t* captions[kPanelButtonCount] = {L"Exit",        L"Save",        L"Windows",      L"Pat Info",
                                                  L"Description", L"Print",       L"Profile",      L"Statistics",
                                                  L"Equalization", L"Imaging modes", L"Negative"};
    for (int row = 0; row < kPanelButtonCount; ++row) {
        DButton* b = panel->GetButton(row);
        ASSERT_TRUE(b) << row;
        wchar_t text[64];
        ASSERT_TRUE(b->GetText(text, 64));
        EXPECT_STREQ(captions[row], text);
    }
    EXPECT_TRUE(panel->GetButton(kButtonNegative)->GetStyle() & DButtonStyle::kCheck);
    EXPECT_TRUE(panel->GetButton(kButtonPrint)->GetStyle() & DButtonStyle::kRightButton);
    EXPECT_EQ(0xFF0000u, panel->GetButton(kButtonPrint)->FaceColor());
    // Rows with a group start 20 pixels below the row above them.
    auto top = [&](int row) {
        RECT r;
        GetWindowRect(panel->GetButton(row)->GetHwnd(), &r);
        return (int)r.top;
    };
    const int h = panel->GetButtonHeight();
    EXPECT_EQ(panel->GetCaptionHeight(), top(kButtonExit));
    EXPECT_EQ(top(kButtonWindows) + h + 20, top(kButtonPatient));
    EXPECT_EQ(top(kButtonPrint) + h + 20, top(kButtonProfile));
    EXPECT_EQ(top(kButtonModes) + 3 * h, top(kButtonNegative)) << "offset and width controls in between";
    EXPECT_EQ(top(kButtonModes) + h, panel->GetOffsetControlRect().top);
}

TEST_F(PanelTest, LayoutCellsAreSeparatedByTwoPixels)
{
    panel->OnSize(MainViewWnd::kToolbarWidth + 1000, panel->GetCaptionHeight() + 700, SIZE_RESTORED);
    panel->SetLayout(5);
    const RECT area = panel->GetViewArea();
    RECT c = panel->GetViewRect(0);
    EXPECT_EQ(498, c.right);
    EXPECT_EQ(229, c.bottom);
    c = panel->GetViewRect(1);
    EXPECT_EQ(area.left + 500, c.left);
    c = panel->GetViewRect(4);
    EXPECT_EQ(area.top + 462, c.top);
}

TEST_F(PanelTest, EveryLayoutPlacesOneAndNineViewsInTheirCells)
{
    const int cap = GetSystemMetrics(SM_CYCAPTION);
    for (int mode = 0; mode < MainViewWnd::kLayoutCount; ++mode) {
        for (double scale : {-1.0, -2.0, -3.0, 1.0}) {
            for (int filled : {1, MainViewWnd::kMaxViews}) {
                panel->DeleteAllViews();
                panel->SetLayout(mode);
                const int count = MainViewWnd::kLayouts[mode].views;
                ASSERT_EQ(count, panel->GetViewCount());
                for (int i = 0; i < count && i < filled; ++i) {
                    DPicturePtr p = PatientPicture(17, 300, 200);
                    p->scale = scale;
                    panel->SetActiveView(panel->GetView(i));
                    ASSERT_TRUE(panel->AddSnimok(p));
                }
                for (int i = 0; i < MainViewWnd::kMaxViews; ++i) {
                    SnimokWnd* v = panel->GetView(i);
                    if (i >= count) {
                        EXPECT_FALSE(v) << mode << " " << i;
                        continue;
                    }
                    ASSERT_TRUE(v && v->GetHwnd());
                    EXPECT_EQ(count > 1, v->HasCaption());
                    const RECT cell = panel->GetViewRect(i);
                    RECT w;
                    GetWindowRect(v->GetHwnd(), &w);
                    MapWindowPoints(nullptr, panel->GetHandle(), reinterpret_cast<POINT*>(&w), 2);
                    const int ww = w.right - w.left, wh = w.bottom - w.top;
                    EXPECT_EQ(cell.left + (cell.right - ww) / 2, w.left) << mode << " " << i << " " << scale;
                    EXPECT_EQ(cell.top + (cell.bottom - wh) / 2, w.top) << mode << " " << i << " " << scale;
                    if (!v->GetSnimok().Get()) {
                        EXPECT_EQ(cell.right, ww);
                        EXPECT_EQ(cell.bottom, wh);
                        continue;
                    }
                    const int areaH = cell.bottom - (count > 1 ? cap : 0);
                    EXPECT_LE(v->GetViewWidth(), cell.right);
                    EXPECT_LE(v->GetViewHeight(), areaH);
                    if (scale == -1.0) {
                        EXPECT_EQ(cell.right, v->GetViewWidth());
                    } else if (scale == -2.0) {
                        EXPECT_EQ(areaH, v->GetViewHeight());
                    } else if (scale == -3.0) {
                        EXPECT_TRUE(v->GetViewWidth() == cell.right || v->GetViewHeight() == areaH);
                    }
                }
            }
        }
    }
}

TEST_F(PanelTest, FewerViewsDeleteTheRestAndActivateTheFirst)
{
    panel->SetLayout(6);
    for (int i = 0; i < 9; ++i)
        EXPECT_TRUE(panel->GetView(i));
    panel->SetActiveView(panel->GetView(5));
    panel->SetLayout(1);
    EXPECT_EQ(2, panel->GetViewCount());
    EXPECT_FALSE(panel->GetView(2));
    EXPECT_EQ(panel->GetView(0), panel->GetActiveView());
    EXPECT_TRUE(panel->GetView(0)->IsActive());
    EXPECT_FALSE(panel->GetView(1)->IsActive());
}

TEST_F(PanelTest, PictureOpenedAgainGoesToTheActiveOrTheFirstFreeView)
{
    panel->SetLayout(3);
    panel->SetActiveView(panel->GetView(2));
    DPicturePtr a = PatientPicture();
    ShowMainViewAgain(a);
    EXPECT_EQ(a.Get(), panel->GetView(2)->GetSnimok().Get());
    panel->ClearActiveView();
    DPicturePtr b = PatientPicture();
    ShowMainViewAgain(b);
    EXPECT_EQ(b.Get(), panel->GetView(0)->GetSnimok().Get());
    panel->ClearActiveView();
    ShowMainViewAgain(PatientPicture());
    EXPECT_TRUE(panel->GetView(1)->GetSnimok().Get());
    panel->ClearActiveView();
    DPicturePtr d = PatientPicture();
    ShowMainViewAgain(d);
    EXPECT_EQ(d.Get(), panel->GetView(3)->GetSnimok().Get());
    panel->ClearActiveView();
    DPicturePtr e = PatientPicture();
    ShowMainViewAgain(e);
    EXPECT_EQ(e.Get(), panel->GetView(3)->GetSnimok().Get()) << "all four hold one: the last";
}

TEST_F(PanelTest, ShowMainViewShowsThePatientAndEqualizes)
{
    DPicturePtr p = PatientPicture(17);
    ShowMainView(p);
    EXPECT_TRUE(panel->IsShown());
    EXPECT_TRUE(panel->shown);
    EXPECT_EQ(17u, panel->GetPatientId());
    EXPECT_STREQ(L"Patient 17", panel->GetCaption());
    ASSERT_TRUE(panel->GetActiveView());
    EXPECT_EQ(p.Get(), panel->GetActiveView()->GetSnimok().Get());
    EXPECT_NE(255, p->displayWidth) << "the automatic window was applied";
    EXPECT_EQ(p->displayOffset, panel->GetLevelOffset());
    EXPECT_EQ(p->displayWidth, panel->GetLevelWidth());
    EXPECT_EQ(p->displayWidth, panel->GetLevelWidthDefault());
    EXPECT_EQ(std::vector<std::string>{"patient"}, StoreLog::Calls());
    // A picture of no patient shows nothing.
    ShowMainView(PatientPicture(0));
    EXPECT_FALSE(panel->GetView(0)->GetSnimok().Get());
}

TEST_F(PanelTest, LevelControlsSetTheWindowOfTheActivePicture)
{
    DPicturePtr p = PatientPicture();
    ShowMainViewRefresh(p);
    p->displayWidth = 1000;
    panel->SetLevelScrolls(panel->GetActiveView(), 1);
    EXPECT_EQ(4, panel->GetLevelStep());
    panel->OnWidthChanged(100, true);
    EXPECT_EQ(100, p->displayWidth);
    EXPECT_EQ(1, panel->GetLevelStep());
    panel->OnWidthChanged(0, false);
    EXPECT_EQ(1, p->displayWidth) << "the width never goes below 1";
    panel->OnOffsetChanged(-1000, false);
    EXPECT_EQ(-1000, p->displayOffset);
    // The table follows: offset -1000, width 1: 1000 and above are white.
    EXPECT_EQ(0, panel->GetActiveView()->GetLut()[999]);
    EXPECT_EQ(255, panel->GetActiveView()->GetLut()[1001]);
    EXPECT_EQ(MainViewWnd::kLevelRange, 65535);
}

TEST_F(PanelTest, UpDownsFollowThePictureAndResetToItsWindow)
{
    DPicturePtr p = PatientPicture();
    p->displayOffset = -300;
    p->displayWidth = 1000;
    ShowMainViewRefresh(p);
    DUpDown& offset = panel->OffsetControl();
    DUpDown& width = panel->WidthControl();
    ASSERT_TRUE(offset.GetHwnd());
    ASSERT_TRUE(width.GetHwnd());
    DUpDownInfo info = {DUpDownMask::kMin | DUpDownMask::kMax | DUpDownMask::kValue | DUpDownMask::kDefault |
                        DUpDownMask::kStep};
    ASSERT_TRUE(width.GetInfo(&info));
    EXPECT_EQ(1, info.minimum);
    EXPECT_EQ(65535, info.maximum);
    EXPECT_EQ(1000, info.value);
    EXPECT_EQ(1000, info.defaultValue);
    EXPECT_EQ(-4, info.step);
    ASSERT_TRUE(offset.GetInfo(&info));
    EXPECT_EQ(-65535, info.minimum);
    EXPECT_EQ(65535, info.maximum);
    EXPECT_EQ(-300, info.value);
    EXPECT_EQ(4, info.step);
    // A change, then a right click on the width control: back to the picture's window.
    DUpDownInfo change = {DUpDownMask::kValue, 0, 0, 700, 0, 0};
    width.SetInfo(&change);
    panel->OnWidthChanged(700, true);
    EXPECT_EQ(700, p->displayWidth);
    SendMessageW(width.GetHwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(2, 2));
    EXPECT_EQ(1000, width.GetValue());
    EXPECT_EQ(1000, p->displayWidth);
    RECT r;
    GetWindowRect(offset.GetHwnd(), &r);
    MapWindowPoints(nullptr, panel->GetHandle(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(panel->GetOffsetControlRect().top, r.top);
}

TEST_F(PanelTest, SaveWritesSettingsOfAStoredPictureAndSavesAnImportedOne)
{
    DPicturePtr p = PatientPicture();
    ShowMainViewRefresh(p);
    StoreLog::Calls().clear();
    panel->Command(kButtonSave, false);
    EXPECT_EQ(std::vector<std::string>{"settings"}, StoreLog::Calls());
    EXPECT_EQ(panel->GetActiveView()->GetLut(), StoreLog::LastLut());
    p->stored = 0;
    StoreLog::Calls().clear();
    panel->Command(kButtonSave, false);
    EXPECT_EQ(std::vector<std::string>{"new image"}, StoreLog::Calls());
    EXPECT_EQ(1, p->stored);
    StoreLog::Calls().clear();
    panel->Command(kButtonSave, false);
    EXPECT_EQ(std::vector<std::string>{"settings"}, StoreLog::Calls()) << "saved once, updated afterwards";
}

TEST_F(PanelTest, CommandsCallTheirServicesWithThePanelsPatientAndPicture)
{
    DPicturePtr p = PatientPicture(21);
    ShowMainViewRefresh(p);
    StandInCalls().clear();
    panel->Command(kButtonPatient, false);
    panel->Command(kButtonDescription, false);
    panel->Command(kButtonDescription, true);
    ASSERT_EQ(3u, StandInCalls().size());
    EXPECT_EQ("OpenPatientCard", StandInCalls()[0].name);
    EXPECT_EQ(21u, StandInCalls()[0].a) << "the panel's patient";
    EXPECT_EQ(1, StandInCalls()[0].flag);
    EXPECT_EQ("NoteCreate", StandInCalls()[1].name) << "a stored picture's note opens at once";
    EXPECT_EQ(21u, StandInCalls()[1].a);
    EXPECT_EQ(44u, StandInCalls()[1].b);
    EXPECT_EQ(1, StandInCalls()[1].flag) << "editable";
    EXPECT_EQ("SetNoteFromTemplateMenu", StandInCalls()[2].name);
    EXPECT_EQ(44u, StandInCalls()[2].b);
    RECT button;
    GetWindowRect(panel->GetButton(kButtonDescription)->GetHwnd(), &button);
    EXPECT_EQ(button.right, StandInCalls()[2].x) << "at the button's right edge";
    EXPECT_EQ((button.top + button.bottom) / 2, StandInCalls()[2].y) << "and its middle";
}

TEST_F(PanelTest, WithoutServicesTheCommandsDoNothing)
{
    SetViewerServices(ViewerServices{});
    DPicturePtr p = PatientPicture(21);
    ShowMainViewRefresh(p);
    ASSERT_FALSE(panel->GetActiveView()->Note()) << "no note object without the shell";
    MenuScript::Answers() = {1};
    for (int button : {kButtonPatient, kButtonDescription, kButtonPrint}) {
        panel->Command(button, false);
        panel->Command(button, true);
    }
    SendMessageW(panel->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(panel->GetHandle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    KeyDown(VK_ESCAPE);
    EXPECT_TRUE(StandInCalls().empty());
    EXPECT_FALSE(panel->IsShown()) << "Exit still hides the panel";
}

TEST_F(PanelTest, KeysRunTheCommands)
{
    DPicturePtr p = PatientPicture();
    ShowMainViewRefresh(p);
    KeyDown('N');
    EXPECT_EQ(1, p->negative);
    EXPECT_TRUE(panel->GetButton(kButtonNegative)->GetCheck());
    KeyDown('N');
    EXPECT_EQ(0, p->negative);
    KeyDown('P');
    EXPECT_EQ(kToolProfile, GetPanelMode());
    KeyDown('E');
    EXPECT_EQ(kToolWindowMeanSd, GetPanelMode());
    KeyDown('A');
    EXPECT_EQ(kToolWindowMinMax, GetPanelMode());
    KeyDown('S');
    EXPECT_TRUE(StatisticsWnd::Instance().Exists());
    KeyDown(VK_ESCAPE);
    EXPECT_FALSE(panel->IsShown());
    EXPECT_FALSE(panel->shown);
    EXPECT_FALSE(StatisticsWnd::Instance().Exists());
    EXPECT_FALSE(panel->GetView(0));
    EXPECT_EQ(0u, panel->GetPatientId());
    ASSERT_FALSE(StandInCalls().empty());
    EXPECT_EQ("ShowMainPatientWindow", StandInCalls().back().name);
}

TEST_F(PanelTest, ToolbarButtonsWalkWithTheArrowKeys)
{
    ShowMainViewRefresh(PatientPicture());
    SetFocus(panel->GetButton(kButtonSave)->GetHwnd());
    SendMessageW(panel->GetButton(kButtonSave)->GetHwnd(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(panel->GetButton(kButtonWindows)->GetHwnd(), GetFocus());
    SendMessageW(panel->GetButton(kButtonWindows)->GetHwnd(), WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(panel->GetButton(kButtonSave)->GetHwnd(), GetFocus());
    SendMessageW(panel->GetButton(kButtonSave)->GetHwnd(), WM_KEYDOWN, 'P', 0);
    EXPECT_EQ(kToolProfile, GetPanelMode()) << "other keys reach the panel";
}

// A key pressed while a window/level control has the focus is the panel's
// key: the keyboard's message goes to the focused control, which hands it on.
TEST_F(PanelTest, KeysPressedOnTheLevelControlsRunThePanelsCommands)
{
    // The focus is the active window's: no other test's window may take the activation meanwhile.
    harness::ScreenLock lock;
    DPicturePtr p = PatientPicture();
    ShowMainViewRefresh(p);
    SetForegroundWindow(panel->GetHandle());
    HWND focused = nullptr;
    auto press = [&](WPARAM key) {
        // Another test's window may have taken the activation since the last key.
        SetForegroundWindow(panel->GetHandle());
        SetFocus(focused);
        ASSERT_EQ(focused, GetFocus()) << "the key goes to the control";
        PostMessageW(focused, WM_KEYDOWN, key, 1);
        PostMessageW(focused, WM_KEYUP, key, 0xC0000001);
        harness::Pump(20);
    };
    for (DUpDown* control : {&panel->OffsetControl(), &panel->WidthControl()}) {
        const bool offset = control == &panel->OffsetControl();
        SetPanelMode(kToolNone);
        SetFocus(control->GetHwnd());
        focused = control->GetHwnd();
        press('N');
        EXPECT_EQ(1, p->negative) << (offset ? "offset" : "width");
        EXPECT_TRUE(panel->GetButton(kButtonNegative)->GetCheck());
        press('N');
        EXPECT_EQ(0, p->negative);
        press('P');
        EXPECT_EQ(kToolProfile, GetPanelMode()) << (offset ? "offset" : "width");
        press('E');
        EXPECT_EQ(kToolWindowMeanSd, GetPanelMode());
    }
    // Escape, the panel's Exit, from the width control.
    press(VK_ESCAPE);
    EXPECT_FALSE(panel->IsShown());
}

// The panel's class erases with the system colour brush value 5, the menu
// colour (COLOR_MENU + 1).
TEST_F(PanelTest, TheClassBackgroundIsTheSystemBrushValueFive)
{
    WNDCLASSEXW cls = {};
    cls.cbSize = sizeof cls;
    ASSERT_TRUE(GetClassInfoExW(hInstance, MainViewWnd::kClassName, &cls));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(5)), cls.hbrBackground);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1)), cls.hbrBackground);
    EXPECT_EQ(static_cast<UINT>(CS_DBLCLKS | CS_OWNDC | CS_NOCLOSE), cls.style);
}

// Drives the real mouse and keyboard: runs alone (see tests.cmake).
using PanelRealInput = PanelTest;

TEST_F(PanelRealInput, ClickingAToolbarButtonRunsItsCommand)
{
    DPicturePtr p = PatientPicture();
    ShowMainViewRefresh(p);
    RECT r;
    GetWindowRect(panel->GetButton(kButtonNegative)->GetHwnd(), &r);
    harness::MouseMoveTo((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    harness::Pump(30);
    harness::MouseButton(harness::Button::Left, true);
    harness::Pump(30);
    harness::MouseButton(harness::Button::Left, false);
    harness::PumpUntil([&] { return p->negative == 1; }, 10000);
    EXPECT_EQ(1, p->negative);
}

TEST_F(PanelTest, ImagingModesMenuForAdministratorsAndOthers)
{
    DPicturePtr p = PatientPicture(17, 90, 60);
    ShowMainViewRefresh(p);
    MenuScript::Answers() = {100};
    panel->Command(kButtonModes, false);
    ASSERT_EQ(1u, MenuScript::Seen().size());
    EXPECT_EQ(4u, MenuScript::Seen()[0].size()) << "only the turns and mirrors";
    EXPECT_EQ(60, p->width) << "rotated right";
    IsAdministrator = true;
    MenuScript::Answers() = {22};
    panel->Command(kButtonModes, false);
    const std::vector<TrackedItem>& admin = MenuScript::Seen()[1];
    EXPECT_EQ(L"Filter", admin[0].text);
    EXPECT_EQ(L"Interpolate", admin[1].text);
    EXPECT_TRUE(admin[1].state & MFS_CHECKED);
    EXPECT_EQ(30, p->width) << "reduced by 2";
    MenuScript::Answers() = {3};
    panel->Command(kButtonModes, false);
    EXPECT_EQ(20u, MenuScript::Seen()[2][7].id) << "restore original size for a reduced picture";
    EXPECT_EQ(22u, MenuScript::Seen()[2][9].id);
    EXPECT_TRUE(MenuScript::Seen()[2][9].state & MFS_CHECKED) << "the current reduction";
    EXPECT_TRUE(MenuScript::Seen()[2][9].state & MFS_GRAYED);
    EXPECT_FALSE(MenuScript::Seen()[1][7].id == 20u) << "no restore item at full size";
    EXPECT_EQ(0, panel->GetActiveView()->GetSmooth());
}

TEST_F(PanelTest, LayoutMenuChoosesTheLayout)
{
    ShowMainViewRefresh(PatientPicture());
    MenuScript::Answers() = {9};
    panel->Command(kButtonWindows, false);
    ASSERT_EQ(1u, MenuScript::Seen().size());
    EXPECT_EQ(9u, MenuScript::Seen()[0].size());
    EXPECT_EQ(6, panel->GetLayoutMode());
    EXPECT_EQ(9, panel->GetViewCount());
}

namespace {

// Keys as the user presses them: the modifier held while the key goes down
// and up.
void Chord(WORD modifier, WORD key)
{
    if (modifier)
        harness::Key(modifier, true);
    harness::Key(key, true);
    harness::Key(key, false);
    if (modifier)
        harness::Key(modifier, false);
    harness::Pump(40);
}

}  // namespace

TEST_F(PanelRealInput, KeysWithShiftAndCtrlRunTheirCommands)
{
    DPicturePtr p = PatientPicture();
    p->stored = 0;
    ShowMainViewRefresh(p);
    SetForegroundWindow(panel->GetHandle());
    SetFocus(panel->GetHandle());
    harness::Pump(30);
    ASSERT_EQ(panel->GetHandle(), GetFocus());
    {
        // Enter: Description (which first asks to save the new picture).
        PromptScript script({IDNO});
        Chord(0, VK_RETURN);
        ASSERT_EQ(1u, script.Count());
        EXPECT_EQ(L"Picture Not Saved/nSave?", script.Last().text);
    }
    // Shift + Enter: the patient card of the picture's patient.
    StandInCalls().clear();
    Chord(VK_SHIFT, VK_RETURN);
    ASSERT_EQ(1u, StandInCalls().size()) << "Shift + Enter opens the card";
    EXPECT_EQ("OpenPatientCard", StandInCalls()[0].name);
    EXPECT_EQ(p->patient.GetPatientId(), StandInCalls()[0].a);
    SetFocus(panel->GetHandle());
    harness::Pump(20);
    StandInCalls().clear();
    Chord(VK_CONTROL, 'P');
    ASSERT_EQ(1u, StandInCalls().size()) << "Ctrl + P prints";
    EXPECT_EQ("PrintSnimokWithCfg", StandInCalls()[0].name);
    EXPECT_EQ(0, StandInCalls()[0].flag) << "without asking";
    EXPECT_EQ(kToolNone, GetPanelMode());
    Chord(0, 'P');
    EXPECT_EQ(kToolProfile, GetPanelMode()) << "P alone is the profile tool";
    SetPanelMode(kToolNone);

    // Ctrl with the keypad's + and -: sharpen (MFilter, else 3) and restore.
    Chord(VK_CONTROL, VK_ADD);
    EXPECT_EQ(3, p->sharpenAmount);
    PrepareSettings().mFilter = 2;
    Chord(VK_CONTROL, VK_ADD);
    EXPECT_EQ(2, p->sharpenAmount);
    Chord(0, VK_ADD);
    EXPECT_EQ(2, p->sharpenAmount) << "without Ctrl nothing";
    Chord(VK_CONTROL, VK_SUBTRACT);
    EXPECT_EQ(0, p->sharpenAmount);
    EXPECT_EQ(0, memcmp(p->source, p->work, (size_t)p->width * p->height * sizeof(uint16_t)));
}

TEST_F(PanelRealInput, EqualizationWithCtrlTakesTheWholePictureAndWithShiftItsMiddleThird)
{
    DPicturePtr p = PatientPicture();
    ShowMainViewRefresh(p);
    SetForegroundWindow(panel->GetHandle());
    SetFocus(panel->GetHandle());
    harness::Pump(30);
    const PixelRect third = {p->width / 3, p->height / 3, 2 * p->width / 3, 2 * p->height / 3};
    int offset = 0, width = 0;
    // A (minimum and maximum): with Ctrl over every pixel ...
    Chord(VK_CONTROL, 'A');
    EXPECT_EQ(-1000, p->displayOffset);
    EXPECT_EQ(3 * 89 + 7 * 59, p->displayWidth);
    EXPECT_EQ(kToolNone, GetPanelMode()) << "no tool is armed";
    EXPECT_EQ(p->displayOffset, panel->GetLevelOffset()) << "the controls follow";
    EXPECT_EQ(p->displayWidth, panel->GetLevelWidth());
    // ... with Shift over the middle third.
    Chord(VK_SHIFT, 'A');
    p->RangeWindow(&third, &offset, &width, false);
    EXPECT_EQ(offset, p->displayOffset);
    EXPECT_EQ(width, p->displayWidth);
    EXPECT_LT(p->displayOffset, -1000) << "the middle is brighter than the corner";
    EXPECT_LT(p->displayWidth, 3 * 89 + 7 * 59);
    // E (mean and deviation), the same two ways.
    Chord(VK_CONTROL, 'E');
    p->AutoWindow(nullptr, &offset, &width, false);
    EXPECT_EQ(offset, p->displayOffset);
    EXPECT_EQ(width, p->displayWidth);
    const int wholeWidth = width;
    Chord(VK_SHIFT, 'E');
    p->AutoWindow(&third, &offset, &width, false);
    EXPECT_EQ(offset, p->displayOffset);
    EXPECT_EQ(width, p->displayWidth);
    EXPECT_NE(wholeWidth, p->displayWidth);
    EXPECT_EQ(kToolNone, GetPanelMode());
    // Without either, the tools are armed.
    Chord(0, 'E');
    EXPECT_EQ(kToolWindowMeanSd, GetPanelMode());
}

TEST_F(PanelRealInput, StatisticsGrowsWithinTheScreenFromItsPlaceAtTheBottom)
{
    DPicturePtr p = PatientPicture();
    ShowMainViewRefresh(p);
    IsAdministrator = true;
    panel->Command(kButtonStatistics, false);
    StatisticsWnd& stats = StatisticsWnd::Instance();
    ASSERT_TRUE(stats.Exists());
    MONITORINFO info = {sizeof info};
    GetMonitorInfoW(MonitorFromWindow(stats.GetHwnd(), MONITOR_DEFAULTTONEAREST), &info);
    const RECT work = info.rcWork;
    RECT before;
    GetWindowRect(stats.GetHwnd(), &before);
    EXPECT_EQ(0, before.left);
    EXPECT_EQ(work.bottom < GetSystemMetrics(SM_CYSCREEN) ? work.bottom : GetSystemMetrics(SM_CYSCREEN), before.bottom);
    // Ctrl + Statistics measures the whole picture: six more lines.
    SetForegroundWindow(panel->GetHandle());
    SetFocus(panel->GetHandle());
    harness::Pump(20);
    harness::Key(VK_CONTROL, true);
    harness::Pump(30);
    panel->Command(kButtonStatistics, false);
    harness::Key(VK_CONTROL, false);
    harness::Pump(30);
    RECT after;
    GetWindowRect(stats.GetHwnd(), &after);
    EXPECT_GT(after.bottom - after.top, before.bottom - before.top) << "grown by the statistics";
    EXPECT_EQ(before.bottom, after.bottom) << "grown upward: the bottom stays on the screen's";
    EXPECT_GE(after.top, work.top);
    harness::ScreenShot(L"statistics_grown");
    // Closed and opened again with its statistics, it opens whole at the bottom.
    stats.Destroy();
    panel->Command(kButtonStatistics, false);
    RECT again;
    GetWindowRect(stats.GetHwnd(), &again);
    EXPECT_EQ(after.bottom - after.top, again.bottom - again.top);
    EXPECT_EQ(before.bottom, again.bottom);
    // Dragged up the screen, it stays where it was put as it measures.
    SetWindowPos(stats.GetHwnd(), nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const PixelRect whole = {0, 0, -1, -1};
    stats.CalcRect(p.Get(), &whole);
    GetWindowRect(stats.GetHwnd(), &again);
    EXPECT_EQ(200, again.top);
    EXPECT_EQ(300, again.left);
}

TEST_F(PanelTest, TheProfileWindowOpensBesideTheToolbar)
{
    DPicturePtr p = PatientPicture();
    ShowMainViewRefresh(p);
    SnimokWnd* view = panel->GetActiveView();
    ASSERT_TRUE(view);
    const RECT toolbar = panel->GetToolbarScreenRect();
    ASSERT_EQ(MainViewWnd::kToolbarWidth, toolbar.right - toolbar.left);
    // The Profile button, then a line drawn on the picture.
    panel->Command(kButtonProfile, false);
    ASSERT_EQ(kToolProfile, GetPanelMode());
    SendMessageW(view->GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(view->GetHwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 40));
    SendMessageW(view->GetHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(60, 40));
    ASSERT_TRUE(view->Profile().Exists());
    // The restricted window's place is (100, 0): over the toolbar's edge.
    RECT r;
    GetWindowRect(view->Profile().GetHwnd(), &r);
    EXPECT_EQ(toolbar.right, r.left) << "beside the toolbar, moved only as far as needed";
    EXPECT_EQ(0, r.top);
    view->Profile().Destroy();
}

TEST_F(PanelTest, StatisticsCommandOpensThenMeasures)
{
    DPicturePtr p = PatientPicture();
    ShowMainViewRefresh(p);
    panel->Command(kButtonStatistics, false);
    EXPECT_TRUE(StatisticsWnd::Instance().Exists());
    panel->Command(kButtonStatistics, false);
    EXPECT_EQ(kToolNone, GetPanelMode()) << "other users get no region tool here";
    IsAdministrator = true;
    panel->Command(kButtonStatistics, false);
    EXPECT_EQ(kToolRectStats, GetPanelMode());
    panel->Command(kButtonStatistics, true);
    EXPECT_EQ(kToolLineStats, GetPanelMode());
}

TEST_F(PanelTest, CaptionIconOpensTheStripAndTheServiceMenuAtItsCorner)
{
    ShowMainViewRefresh(PatientPicture(21));
    StandInCalls().clear();
    SendMessageW(panel->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(panel->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 5));
    SendMessageW(panel->GetHandle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(40, 5));
    SendMessageW(panel->GetHandle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    ASSERT_EQ(2u, StandInCalls().size()) << "only clicks on the icon count";
    EXPECT_EQ("RunImageStrip", StandInCalls()[0].name);
    EXPECT_EQ(21u, StandInCalls()[0].a);
    EXPECT_EQ(16, StandInCalls()[0].x);
    EXPECT_EQ(0, StandInCalls()[0].y);
    EXPECT_EQ("ShowServiceMenu", StandInCalls()[1].name);
    EXPECT_EQ(16, StandInCalls()[1].x);
    EXPECT_EQ(0, StandInCalls()[1].y);
}

// ---- preparation ----

TEST_F(PanelTest, OrientationIsAppliedOncePerPicture)
{
    DPicturePtr p = PatientPicture(17, 90, 60);
    p->orientation = 4;   // stored turned: shown turned clockwise
    ShowMainViewRefresh(p);
    EXPECT_EQ(60, p->width);
    ShowMainViewAgain(p);
    EXPECT_EQ(60, p->width) << "not turned a second time";
    EXPECT_EQ(4, p->orientation);
}

TEST_F(PanelTest, AutomaticWindowRegionIncludesTheLastRowAndColumn)
{
    DPicturePtr p = MakePicture(4, 4, [](int x, int y) { return x == 3 && y == 3 ? 4000 : 100; });
    const PixelRect r = {2, 2, 4, 4};
    ASSERT_EQ(1, PrepareSnimokForView(1, &r, p.Get()));
    EXPECT_EQ(-100, p->displayOffset);
    EXPECT_GT(p->displayWidth, 1000) << "the bright corner pixel counts";
    const PixelRect off = {4, 0, 8, 2};
    EXPECT_THROW(PrepareSnimokForView(1, &off, p.Get()), int);
    const PixelRect empty = {2, 2, 2, 3};
    EXPECT_THROW(PrepareSnimokForView(1, &empty, p.Get()), int);
}

TEST_F(PanelTest, EnhancementFollowsTheSettings)
{
    DPicturePtr p = MakePicture(40, 40, [](int x, int y) { return (x * 37 + y * 11) % 3 ? 100 : 3000; });
    PrepareSettings() = PrepareSnimokSettings{4, 0, 0};
    PrepareSnimokForView(0, nullptr, p.Get());
    EXPECT_EQ(4, p->sharpenAmount);
    PrepareSettings() = PrepareSnimokSettings{3, 1, 0};
    DPicturePtr flat = MakePicture(40, 40, [](int, int) { return 500; });
    PrepareSnimokForView(0, nullptr, flat.Get());
    EXPECT_EQ(0, flat->sharpenAmount) << "fails the contrast test";
    PrepareSnimokForView(0, nullptr, p.Get());
    EXPECT_EQ(3, p->sharpenAmount) << "passes it";
}

TEST_F(PanelTest, PrepareSettingsComeFromTheRegistry)
{
    wchar_t path[MAX_PATH];
    _snwprintf(path, MAX_PATH, L"%ls\\PrepareSnimok", SettingsKeyPath);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, path);
    LoadPrepareSnimokSettings();
    EXPECT_EQ(3, PrepareSettings().mFilter);
    EXPECT_EQ(1, PrepareSettings().autoMFilter);
    EXPECT_EQ(0, PrepareSettings().equalizeOld);
    PrepareSettings() = PrepareSnimokSettings{2, 0, 5};
    ASSERT_EQ(1, SavePrepareSnimokSettings());
    PrepareSettings() = PrepareSnimokSettings{};
    LoadPrepareSnimokSettings();
    EXPECT_EQ(2, PrepareSettings().mFilter);
    EXPECT_EQ(0, PrepareSettings().autoMFilter);
    EXPECT_EQ(5, PrepareSettings().equalizeOld);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, path);
}

TEST_F(PanelTest, PrepareDialogStoresTheChoice)
{
    PrepareSettings() = PrepareSnimokSettings{3, 0, 1};
    HWND dlg = CreatePrepareSnimokDlg(host->Hwnd());
    ASSERT_TRUE(dlg);
    HWND combo = GetDlgItem(dlg, IDC_PREPARE_FILTER);
    EXPECT_EQ(4, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(2, SendMessageW(combo, CB_GETCURSEL, 0, 0)) << "medium";
    SendMessageW(combo, CB_SETCURSEL, 3, 0);
    CheckDlgButton(dlg, IDC_PREPARE_AUTO, BST_CHECKED);
    SendMessageW(dlg, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(4, PrepareSettings().mFilter);
    EXPECT_EQ(1, PrepareSettings().autoMFilter);
    if (IsWindow(dlg))
        DestroyWindow(dlg);
    wchar_t path[MAX_PATH];
    _snwprintf(path, MAX_PATH, L"%ls\\PrepareSnimok", SettingsKeyPath);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, path);
}

// The Negative button shows the picture's state as the user sees it: a
// negative picture's button looks checked, a positive one's does not, and
// the look follows the N key and the picture shown.
TEST_F(PanelTest, TheNegativeButtonLooksCheckedForANegativePicture)
{
    DPicturePtr positive = PatientPicture();
    DPicturePtr negative = PatientPicture(17, 90, 60);
    negative->negative = 1;
    DButton* button = panel->GetButton(kButtonNegative);
    auto looks = [&] {
        RedrawWindow(button->GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
        harness::Pump(20);
        harness::PixelGrab grab(button->GetHwnd(), true);
        std::vector<COLORREF> pixels;
        for (int y = 0; y < grab.Height(); ++y)
            for (int x = 0; x < grab.Width(); ++x)
                pixels.push_back(grab.At(x, y));
        return pixels;
    };
    ShowMainViewRefresh(positive);
    const std::vector<COLORREF> unchecked = looks();
    ShowMainViewRefresh(negative);
    const std::vector<COLORREF> checked = looks();
    size_t differing = 0;
    for (size_t i = 0; i < unchecked.size() && i < checked.size(); ++i)
        differing += unchecked[i] != checked[i];
    EXPECT_GT(differing, unchecked.size() / 4) << "a checked button must be told from an unchecked one at a glance";
    KeyDown('N');
    EXPECT_EQ(unchecked, looks()) << "N made the picture positive";
    KeyDown('N');
    EXPECT_EQ(checked, looks());
}
