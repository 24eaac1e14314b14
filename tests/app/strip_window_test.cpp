// The "Pictures" window and the road end to end: its placement, its modal
// loop and WM_QUIT, a failed creation, choosing images, notes; and a click on
// a thumbnail that shows the image in the main image panel, Ctrl + right
// click that opens its note, typing and saving, and reopening.
#include "strip_fixture.h"

#include "app/iconsbar.h"
#include "app/notesnimok.h"
#include "database/dbstart.h"
#include "foundation/globals.h"
#include "images/viewer/mainviewwnd.h"
#include "images/files/xmgfile.h"
#include "tools/demosite/sitebuilder.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "ui/window_errors.h"
#include "common/window_harness.h"

#include <algorithm>
#include <functional>

using namespace striptest;

namespace {

std::function<void(IconsBar*)> gWhileOpen;
int gSeen = 0;
void CALLBACK WhileOpen(HWND, UINT, UINT_PTR id, DWORD)
{
    IconsBar* bar = IconsBar::Current();
    if (!bar)
        return;
    KillTimer(nullptr, id);
    ++gSeen;
    auto f = gWhileOpen;
    if (f)
        f(bar);
}

class StripWindowTest : public StripTest {
protected:
    void SetUp() override
    {
        StripTest::SetUp();
        gSeen = 0;
        gWhileOpen = nullptr;
    }
    int RunBar(DWORD patient, int x, int y, int flags, std::function<void(IconsBar*)> f)
    {
        gWhileOpen = f;
        SetTimer(nullptr, 0, 20, &WhileOpen);
        return IconsBar::Run(host->Hwnd(), patient, x, y, flags);
    }
};

TEST_F(StripWindowTest, PlacedAtTheLeftTopWithAClientOneCellWide)
{
    RECT window = {}, client = {};
    EXPECT_EQ(1, RunBar(21, 16, 0, 0, [&](IconsBar* bar) {
                  GetWindowRect(bar->GetHwnd(), &window);
                  GetClientRect(bar->GetHwnd(), &client);
                  wchar_t title[64] = {};
                  GetWindowTextW(bar->GetHwnd(), title, 64);
                  EXPECT_STREQ(L"Pictures", title);
                  EXPECT_TRUE(IsWindowEnabled(host->Hwnd())) << "the owner stays enabled";
                  EXPECT_EQ(HTCLIENT, SendMessageW(bar->GetHwnd(), WM_NCHITTEST, 0,
                                                   MAKELPARAM(window.left + 60, window.top + 5)))
                      << "the caption does not drag";
                  PostMessageW(bar->GetHwnd(), WM_CLOSE, 0, 0);
              }));
    EXPECT_EQ(1, gSeen);
    EXPECT_EQ(16, window.left);
    EXPECT_EQ(0, window.top);
    EXPECT_EQ(194, client.right);
    const int screen = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_LE(window.bottom, screen);
    EXPECT_EQ(screen - 70, client.bottom);
}

TEST_F(StripWindowTest, PlacementFlagsPutTheWindowByItsEdgesOrCentre)
{
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    RECT frame = {0, 0, 194, GetSystemMetrics(SM_CYSCREEN) - 70};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int W = frame.right - frame.left, H = frame.bottom - frame.top;
    const int SW = GetSystemMetrics(SM_CXSCREEN), SH = GetSystemMetrics(SM_CYSCREEN);
    RECT r = IconsBar::PlaceWindow(600, 0, IconsBar::kRightEdgeAtX, style, 0);
    EXPECT_EQ(600 - W, r.left);
    r = IconsBar::PlaceWindow(100, 0, IconsBar::kRightEdgeAtX, style, 0);
    EXPECT_EQ(0, r.left);
    r = IconsBar::PlaceWindow(400, 0, IconsBar::kCentredOnX, style, 0);
    EXPECT_EQ(400 - W / 2, r.left);
    r = IconsBar::PlaceWindow(SW - 10, 0, IconsBar::kCentredOnX, style, 0);
    EXPECT_EQ(SW - W, r.left);
    r = IconsBar::PlaceWindow(SW - 50, 0, 0, style, 0);
    EXPECT_EQ(SW - W, r.left) << "never past the right edge";
    r = IconsBar::PlaceWindow(16, 300, IconsBar::kBottomEdgeAtY, style, 0);
    EXPECT_EQ(0, r.top);
    EXPECT_EQ(300, r.bottom);
    r = IconsBar::PlaceWindow(16, SH - 10, IconsBar::kCentredOnY, style, 0);
    EXPECT_EQ(20, r.bottom - r.top);
    EXPECT_EQ(SH - 20, r.top);
    r = IconsBar::PlaceWindow(16, 100, IconsBar::kCentredOnY, style, 0);
    EXPECT_EQ(0, r.top);
    EXPECT_EQ(200, r.bottom);
    r = IconsBar::PlaceWindow(16, 500, 0, style, 0);
    EXPECT_EQ(500, r.top);
    EXPECT_EQ(SH, r.bottom) << "cut at the screen's bottom";
    EXPECT_EQ(std::min(H, SH - 500), r.bottom - r.top);
}

TEST_F(StripWindowTest, AQuitRequestEndsTheLoopAndIsPostedAgain)
{
    EXPECT_EQ(1, RunBar(21, 16, 0, 0, [](IconsBar*) { PostQuitMessage(3); }));
    EXPECT_FALSE(IconsBar::Current());
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(3u, msg.wParam);
}

TEST_F(StripWindowTest, ACreationThatFailsShowsItsMessageAndReturnsZero)
{
    Exec(L"DROP TABLE Snimok;");   // loading the patient in WM_CREATE throws
    PromptScript script({IDOK, IDOK});
    EXPECT_EQ(0, IconsBar::Run(host->Hwnd(), 21, 16, 0, 0));
    ASSERT_EQ(2u, script.Count()) << "the database's text, then the window's";
    EXPECT_EQ(L"Error creating window \"Pictures\"", script.Last().text);
    EXPECT_FALSE(harness::FindOwnWindow(IconsBar::kClassName));
    EXPECT_EQ(0, gSeen);
}

TEST_F(StripWindowTest, ChoosingAnImageWhoseFileCannotBeLoadedStillCloses)
{
    AddPatient(21, L"Sidorov");
    AddImage(950, 21, L"20230101 10:00", L"S00000000210000000950");
    PromptScript script({IDOK, IDOK, IDOK});
    EXPECT_EQ(1, RunBar(21, 16, 0, 0, [](IconsBar* bar) {
                  HWND cell = bar->Strip().Row(0)->hwnd;
                  SendMessageW(cell, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
                  SendMessageW(cell, WM_LBUTTONUP, 0, MAKELPARAM(100, 100));
              }));
    EXPECT_EQ(1, gSeen);
    EXPECT_FALSE(harness::FindOwnWindow(IconsBar::kClassName));
}

TEST_F(StripWindowTest, TwoNotesShowOneReadOnlyWindowThatSwitches)
{
    AddPatient(21, L"Sidorov");
    AddImage(951, 21, L"20230201 10:00", L"S00000000210000000951", 1, 0, L"second");
    AddImage(952, 21, L"20230101 10:00", L"S00000000210000000952", 1, 0, L"first");
    EXPECT_EQ(1, RunBar(21, 16, 0, 0, [](IconsBar* bar) {
                  for (int row : {0, 1}) {
                      HWND cell = bar->Strip().Row(row)->hwnd;
                      SendMessageW(cell, WM_RBUTTONDOWN, MK_RBUTTON | MK_CONTROL, MAKELPARAM(100, 100));
                      SendMessageW(cell, WM_RBUTTONUP, MK_CONTROL, MAKELPARAM(100, 100));
                  }
                  NoteSnimokWnd& note = bar->Note();
                  ASSERT_TRUE(note.GetHwnd());
                  EXPECT_FALSE(note.IsEditable());
                  EXPECT_EQ(952u, note.GetImageId());
                  EXPECT_EQ(bar->GetHwnd(), GetWindow(note.GetHwnd(), GW_OWNER));
                  wchar_t text[32] = {};
                  GetWindowTextW(note.GetEdit(), text, 32);
                  EXPECT_STREQ(L"first", text);
                  PostMessageW(bar->GetHwnd(), WM_CLOSE, 0, 0);
              }));
    EXPECT_FALSE(harness::FindOwnWindow(NoteSnimokWnd::kClassName)) << "the note goes with the window";
}

TEST_F(StripWindowTest, ACommandThatFailsIsShownOverTheWindowWhileItIsOpen)
{
    AddPatient(21, L"Sidorov");
    AddImage(951, 21, L"20230201 10:00", L"S00000000210000000951");
    const bool wasAdministrator = IsAdministrator;
    IsAdministrator = true;   // "Import Picture" is offered
    IconCellActions actions = DefaultIconCellActions();
    actions.importPicture = [](HWND) { throw MsgExcept(nullptr, 0, L"The import failed.", -1); };
    const IconCellActions old = SetIconCellActions(actions);
    MenuScript::Answers() = {IconCellCommand::kImport};
    PromptScript script({IDOK});
    HWND window = nullptr;
    EXPECT_EQ(1, RunBar(21, 16, 0, 0, [&](IconsBar* bar) {
                  window = bar->GetHwnd();
                  HWND cell = bar->Strip().Row(0)->hwnd;
                  PostMessageW(cell, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(50, 100));
                  PostMessageW(cell, WM_RBUTTONUP, 0, MAKELPARAM(50, 100));
                  PostMessageW(window, WM_CLOSE, 0, 0);
              }));
    SetIconCellActions(old);
    IsAdministrator = wasAdministrator;
    ASSERT_EQ(1u, script.Count()) << "shown by the window's own loop";
    EXPECT_EQ(L"The import failed.", script.Last().text);
    EXPECT_EQ(window, script.Last().owner);
    EXPECT_FALSE(HasWindowException());
}


// ---- the note over the viewer ----------------------------------------------------

// The user's hand: a click in the middle of a window, and keys typed.
void ClickCentre(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    harness::MouseMoveTo((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    harness::Pump(20);
    harness::MouseButton(harness::Button::Left, true);
    harness::Pump(20);
    harness::MouseButton(harness::Button::Left, false);
    harness::Pump(30);
}

void Press(WORD key)
{
    harness::Key(key, true);
    harness::Key(key, false);
    harness::Pump(10);
}

// Whether the user sees the window: it is visible and what lies at its middle
// on the screen is the window itself or one of its children.
bool SeenOnScreen(HWND window)
{
    if (!window || !IsWindowVisible(window))
        return false;
    RECT r;
    GetWindowRect(window, &r);
    HWND at = WindowFromPoint(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    return at && GetAncestor(at, GA_ROOT) == window;
}

// Drives the real mouse and keyboard: runs alone (see tests.cmake).
using StripWindowRealInput = StripWindowTest;

TEST_F(StripWindowRealInput, TheDescriptionOpensOverTheViewerFromItsButtonAndFromEnter)
{
    std::wstring error;
    const std::vector<long> patients = FillSiteTables(error);
    ASSERT_FALSE(patients.empty()) << std::string(error.begin(), error.end());
    ASSERT_TRUE(MakeSiteImages({patients[0]}, 1, 400, 500, error)) << std::string(error.begin(), error.end());
    const std::wstring key = Scalar(L"SELECT MAX(Snimok) FROM Snimok WHERE Patient=" + std::to_wstring(patients[0]) + L";");
    const std::wstring fileName = Scalar(L"SELECT [File name] FROM Snimok WHERE Snimok=" + key + L";");
    ASSERT_TRUE(RegisterViewerClasses());
    ASSERT_EQ(1, CreateMainView(host->Hwnd()));
    DPicturePtr picture = LoadPictureFileEx((DWORD)std::stoul(key), fileName.c_str());
    ASSERT_TRUE(picture.Get());
    ShowMainViewRefresh(picture);
    MainViewWnd* panel = MainViewWnd::Instance();
    ASSERT_TRUE(panel->IsShown());
    SnimokWnd* view = panel->GetActiveView();
    ASSERT_TRUE(view);
    ASSERT_TRUE(view->Note()) << "the shell makes each view's note";
    NoteSnimokWnd& note = dynamic_cast<NoteSnimokWnd&>(*view->Note());

    // The Description button, clicked: the note opens over the viewer.
    ClickCentre(panel->GetButton(kButtonDescription)->GetHwnd());
    ASSERT_TRUE(harness::PumpUntil([&] { return note.GetHwnd() != nullptr; }, 10000));
    harness::Pump(50);
    EXPECT_TRUE(note.IsEditable());
    EXPECT_EQ(panel->GetHandle(), GetWindow(note.GetHwnd(), GW_OWNER)) << "owned by the viewer's window";
    EXPECT_TRUE(IsWindowVisible(note.GetHwnd()));
    EXPECT_TRUE(SeenOnScreen(note.GetHwnd())) << "over the full-screen viewer";
    harness::ScreenShot(L"note_over_viewer");

    // Typed into, saved with its button.
    ClickCentre(note.GetEdit());
    for (WORD k : {'H', 'E', 'A', 'L', 'E', 'D'})
        Press(k);
    EXPECT_TRUE(note.IsChanged());
    ClickCentre(note.GetButton(NoteSnimokWnd::kSave)->GetHwnd());
    ASSERT_TRUE(harness::PumpUntil([&] { return note.GetHwnd() == nullptr; }, 10000));
    EXPECT_EQ(L"healed", Scalar(L"SELECT Apicriz FROM Snimok WHERE Snimok=" + key + L";"));

    // Enter on the viewer opens it again, with what was saved.
    SetForegroundWindow(panel->GetHandle());
    SetFocus(panel->GetHandle());
    harness::Pump(30);
    Press(VK_RETURN);
    ASSERT_TRUE(harness::PumpUntil([&] { return note.GetHwnd() != nullptr; }, 10000));
    harness::Pump(50);
    EXPECT_TRUE(SeenOnScreen(note.GetHwnd()));
    wchar_t text[32] = {};
    GetWindowTextW(note.GetEdit(), text, 32);
    EXPECT_STREQ(L"healed", text);
    // Esc leaves it unchanged and closes it without a question.
    Press(VK_ESCAPE);
    EXPECT_TRUE(harness::PumpUntil([&] { return note.GetHwnd() == nullptr; }, 10000));
    DestroyMainView();
    UnregisterViewerClasses();
}

// ---- end to end ----------------------------------------------------------------

// The main patient window's side of the strip, as it opens images and notes.
struct MainWindowOwner : IconStripOwner {
    int OpenImage(DWORD key, const wchar_t* fileName) override
    {
        DPicturePtr picture = LoadPictureFileEx(key, fileName);
        if (picture.Get()) {
            ShowMainViewRefresh(picture);
            CloseSnimokNote();
        }
        return 1;
    }
    void ShowNote(DWORD key, DWORD patient) override { ShowSnimokNote(key, patient); }
    int OnKey(WPARAM) override { return 0; }
    void ImagesCounted(int) override {}
};

TEST_F(StripWindowTest, EndToEndClickOpensTheImageAndTheNoteIsWrittenAndReadBack)
{
    std::wstring error;
    const std::vector<long> patients = FillSiteTables(error);
    ASSERT_FALSE(patients.empty()) << std::string(error.begin(), error.end());
    ASSERT_TRUE(MakeSiteImages({patients[0]}, 3, 400, 500, error)) << std::string(error.begin(), error.end());
    ASSERT_TRUE(RegisterViewerClasses());
    ASSERT_EQ(1, CreateMainView(host->Hwnd()));
    SetSnimokNoteOwner(host->Hwnd());
    MainWindowOwner owner;
    IconStrip strip;
    ASSERT_EQ(1, strip.Create(host->Hwnd(), &owner, nullptr));
    ASSERT_EQ(1, strip.Layout(0, 0, 194, 20 + 3 * IconSnimok::CellHeight()));
    strip.LoadPatient((DWORD)patients[0]);
    ASSERT_EQ(3, strip.RecordCount());
    harness::Pump(30);
    // The thumbnails were written by the save: the first cell shows pixels.
    RedrawWindow(host->Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    EXPECT_NE(nullptr, strip.Record(0)->pixels);

    // A click on the thumbnail shows the image in the panel.
    HWND cell = strip.Row(0)->hwnd;
    SendMessageW(cell, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 120));
    SendMessageW(cell, WM_LBUTTONUP, 0, MAKELPARAM(100, 120));
    MainViewWnd* panel = MainViewWnd::Instance();
    ASSERT_TRUE(panel);
    ASSERT_TRUE(panel->GetActiveView());
    ASSERT_TRUE(panel->GetActiveView()->GetPicture().Get());
    EXPECT_EQ((uint32_t)strip.Record(0)->key, panel->GetActiveView()->GetPicture()->imageId);
    ShowWindow(panel->GetHandle(), SW_HIDE);

    // Ctrl + right click opens its note (read-only from the strip) ...
    SendMessageW(cell, WM_RBUTTONDOWN, MK_RBUTTON | MK_CONTROL, MAKELPARAM(100, 120));
    SendMessageW(cell, WM_RBUTTONUP, MK_CONTROL, MAKELPARAM(100, 120));
    ASSERT_TRUE(GlobalSnimokNote().GetHwnd());
    EXPECT_EQ((DWORD)strip.Record(0)->key, GlobalSnimokNote().GetImageId());
    CloseSnimokNote();

    // ... and in the image's own view the note is written and saved.
    const DWORD key = (DWORD)strip.Record(0)->key;
    ASSERT_TRUE(panel->GetActiveView()->Note());
    NoteSnimokWnd& editable = static_cast<NoteSnimokWnd&>(*panel->GetActiveView()->Note());
    panel->GetActiveView()->OpenNote();
    ASSERT_TRUE(editable.GetHwnd());
    SetFocus(editable.GetEdit());
    SendMessageW(editable.GetEdit(), EM_REPLACESEL, TRUE, (LPARAM)L"Consolidated fracture.");
    EXPECT_TRUE(editable.IsChanged()) << "typing marks the note changed";
    editable.SaveAndClose();
    EXPECT_EQ(L"Consolidated fracture.", Scalar(L"SELECT Apicriz FROM Snimok WHERE Snimok=" + std::to_wstring(key) + L";"));

    // Reopened, the strip flags the description and the note shows it.
    strip.Reload();
    EXPECT_EQ(44, strip.Record(0)->noteLength);
    SendMessageW(cell, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(191, 2));
    SendMessageW(cell, WM_LBUTTONUP, 0, MAKELPARAM(191, 2));
    ASSERT_TRUE(GlobalSnimokNote().GetHwnd());
    wchar_t text[64] = {};
    GetWindowTextW(GlobalSnimokNote().GetEdit(), text, 64);
    EXPECT_STREQ(L"Consolidated fracture.", text);
    CloseSnimokNote();
    strip.Destroy();
    SetSnimokNoteOwner(nullptr);
    UnregisterViewerClasses();
}

}  // namespace
