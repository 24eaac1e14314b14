// Thumbnail cells: where a click opens the image and where the note, what
// archived and removed images refuse, the context menu by state, role and
// move state, its commands, a missing thumbnail file, and painting.
#include "strip_fixture.h"

#include "app/inputtext.h"
#include "app/mainloop.h"
#include "database/dbstart.h"
#include "foundation/globals.h"
#include "resources/strings.h"
#include "ui/window_errors.h"

using namespace striptest;

namespace {

// Records the maintenance commands the cells ask for.
struct ActionLog {
    static std::vector<std::string>& Calls()
    {
        static std::vector<std::string> calls;
        return calls;
    }
    static BOOL& Result()
    {
        static BOOL result = TRUE;
        return result;
    }
    static DWORD& Current()
    {
        static DWORD current = 0;
        return current;
    }
    static IconCellActions Make()
    {
        IconCellActions a = DefaultIconCellActions();
        a.restoreFromArchive = [](HWND, DWORD key) {
            Calls().push_back("restore " + std::to_string(key));
            return Result();
        };
        a.deleteImage = [](HWND, DWORD key) {
            Calls().push_back("delete " + std::to_string(key));
            return Result();
        };
        a.deleteImageComplete = [](HWND, DWORD key) {
            Calls().push_back("delete completely " + std::to_string(key));
            return Result();
        };
        a.moveImage = [](HWND, DWORD key, DWORD patient) {
            Calls().push_back("move " + std::to_string(key) + " to " + std::to_string(patient));
            return Result();
        };
        a.importPicture = [](HWND) { Calls().push_back("import"); };
        a.exportPicture = [](HWND, const DPicturePtr& p) {
            Calls().push_back("export " + std::to_string(p.Get() ? p->imageId : 0));
        };
        a.currentPatient = [](DWORD* key) {
            *key = Current();
            return Current() != 0;
        };
        return a;
    }
};

class CellTest : public StripTest {
protected:
    void SetUp() override
    {
        StripTest::SetUp();
        ActionLog::Calls().clear();
        ActionLog::Result() = TRUE;
        ActionLog::Current() = 0;
        oldActions = SetIconCellActions(ActionLog::Make());
        AddPatient(17, L"Ivanov");
        AddPatient(18, L"Petrov");
        AddImage(701, 17, L"20230501 10:00", L"I00000000170000000701", 1, 0, L"a description");
        AddImage(702, 17, L"20230401 10:00", L"I00000000170000000702", 1, 0, nullptr);
        AddImage(703, 17, L"20230301 10:00", L"I00000000170000000703", 0, 0, L"old");
        AddImage(704, 17, L"20230201 10:00", L"", 1, 0, nullptr);
        ASSERT_EQ(1, strip.Create(host->Hwnd(), &owner, nullptr));
        ASSERT_EQ(1, strip.Layout(0, 0, 194, 20 + 5 * IconSnimok::CellHeight()));
        strip.LoadPatient(17);
        owner.calls.clear();
    }
    void TearDown() override
    {
        strip.Destroy();
        SetIconCellActions(oldActions);
        IconSnimok::CancelMove();
        StripTest::TearDown();
    }
    HWND Cell(int row) { return strip.Row(row)->hwnd; }
    void Click(int row, int x, int y, WPARAM keys = 0)
    {
        SendMessageW(Cell(row), WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(x, y));
        SendMessageW(Cell(row), WM_LBUTTONUP, keys, MAKELPARAM(x, y));
    }
    void RightClick(int row, WPARAM keys = 0)
    {
        SendMessageW(Cell(row), WM_RBUTTONDOWN, MK_RBUTTON | keys, MAKELPARAM(50, 100));
        SendMessageW(Cell(row), WM_RBUTTONUP, keys, MAKELPARAM(50, 100));
    }
    IconStrip strip;
    RecordingOwner owner;
    IconCellActions oldActions = DefaultIconCellActions();
};

TEST_F(CellTest, TheNoteIconOpensTheDescriptionAndTheRestOpensTheImage)
{
    const int caption = strip.Row(0)->GetCaptionHeight();
    Click(0, 191, 2);                 // the note icon of an image with a description
    Click(0, 192 - 32 + 1, caption - 1);
    Click(0, 192 - 32, 2);            // just left of the icon
    Click(0, 191, caption);           // just below the band
    Click(0, 100, 120);               // the thumbnail
    EXPECT_EQ((std::vector<std::string>{"note 701 17", "note 701 17", "open 701 I00000000170000000701",
                                        "open 701 I00000000170000000701", "open 701 I00000000170000000701"}),
              owner.calls);
}

TEST_F(CellTest, TheNoteIconOfAnImageWithoutADescriptionOpensTheImage)
{
    Click(1, 191, 2);
    EXPECT_EQ((std::vector<std::string>{"open 702 I00000000170000000702"}), owner.calls);
}

TEST_F(CellTest, ArchivedRemovedAndEmptyCellsOpenNothing)
{
    Click(2, 100, 120);   // archived
    Click(3, 100, 120);   // removed
    Click(4, 100, 120);   // empty row
    for (int row : {2, 3, 4}) {
        SendMessageW(Cell(row), WM_KEYDOWN, VK_SPACE, 0);
        SendMessageW(Cell(row), WM_KEYUP, VK_SPACE, 0);
    }
    EXPECT_TRUE(owner.calls.empty());
    // The archived image's note icon still opens its description.
    Click(2, 191, 2);
    EXPECT_EQ((std::vector<std::string>{"note 703 17"}), owner.calls);
}

TEST_F(CellTest, SpaceOpensTheImageWhenReleased)
{
    SendMessageW(Cell(1), WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(strip.Row(1)->GetState() & IconSnimok::kSpacePressed);
    EXPECT_TRUE(owner.calls.empty());
    SendMessageW(Cell(1), WM_KEYUP, VK_SPACE, 0);
    EXPECT_FALSE(strip.Row(1)->GetState() & IconSnimok::kSpacePressed);
    EXPECT_EQ((std::vector<std::string>{"open 702 I00000000170000000702"}), owner.calls);
}

// Drives the real mouse: runs alone (see tests.cmake).
using CellRealInput = CellTest;

// A triple click made before the first of it is handled opens the image once;
// a click made after that opens it again.
TEST_F(CellRealInput, ClicksQueuedWhileTheImageOpensOpenNothingMore)
{
    RECT r;
    GetWindowRect(Cell(1), &r);
    harness::MouseMoveTo(r.left + 100, r.top + 120);
    for (int clicks : {3, 1}) {
        for (int click = 0; click < clicks; ++click) {
            harness::MouseButton(harness::Button::Left, true);
            harness::MouseButton(harness::Button::Left, false);
        }
        EXPECT_TRUE(harness::PumpUntil([] { return !HIWORD(GetQueueStatus(QS_INPUT)); }, 5000));
    }
    EXPECT_EQ(2u, owner.calls.size());
}

TEST_F(CellTest, APressDraggedOutOfTheCellIsGivenUp)
{
    SendMessageW(Cell(1), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
    EXPECT_TRUE(strip.Row(1)->GetState() & IconSnimok::kLeftPressed);
    SendMessageW(Cell(1), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(100, 400));
    EXPECT_FALSE(strip.Row(1)->GetState() & IconSnimok::kLeftPressed);
    SendMessageW(Cell(1), WM_LBUTTONUP, 0, MAKELPARAM(100, 400));
    EXPECT_TRUE(owner.calls.empty());
}

TEST_F(CellTest, CtrlRightClickOpensTheNoteAndCtrlShiftTheMenu)
{
    RightClick(1, MK_CONTROL);
    EXPECT_EQ((std::vector<std::string>{"note 702 17"}), owner.calls);
    EXPECT_TRUE(MenuScript::Seen().empty());
    RightClick(1, MK_CONTROL | MK_SHIFT);
    ASSERT_EQ(1u, MenuScript::Seen().size());
    EXPECT_EQ(IconCellCommand::kDescription, MenuScript::Seen()[0][0].id);
    IsAdministrator = true;
    RightClick(4, MK_CONTROL);   // no record: the context menu
    EXPECT_EQ(2u, MenuScript::Seen().size());
    EXPECT_EQ(1u, owner.calls.size());
}

TEST_F(CellTest, TheContextMenuFollowsTheStateAndTheRole)
{
    using namespace IconCellCommand;
    RightClick(0);   // on the hard disk
    RightClick(2);   // archived
    RightClick(3);   // removed
    RightClick(4);   // empty, not an administrator, not moving: no menu at all
    ASSERT_EQ(3u, MenuScript::Seen().size());
    EXPECT_EQ((std::vector<UINT>{kDescription, kDelete, kMove, 0, kExport}), MenuScript::Ids(0));
    EXPECT_EQ((std::vector<UINT>{kDescription, kRestore, kDelete, kMove, 0}), MenuScript::Ids(1));
    EXPECT_EQ((std::vector<UINT>{kDescription, kDelete, kMove, 0}), MenuScript::Ids(2));
    EXPECT_EQ(L"Restore Form Archive", MenuScript::Seen()[1][1].text);
    EXPECT_EQ(L"Move Picture", MenuScript::Seen()[0][2].text);
    IsAdministrator = true;
    RightClick(0);
    RightClick(4);
    EXPECT_EQ((std::vector<UINT>{kDescription, kDelete, kMove, 0, kExport, kImport}), MenuScript::Ids(3));
    EXPECT_EQ((std::vector<UINT>{kImport}), MenuScript::Ids(4));
    EXPECT_EQ(L"Import Picture", MenuScript::Seen()[4][0].text);
}

TEST_F(CellTest, WhileMovingEveryCellOffersPasteWhenAPatientIsCurrent)
{
    using namespace IconCellCommand;
    MenuScript::Answers() = {kMove};
    RightClick(1);   // Move Picture
    EXPECT_TRUE(IconSnimok::IsMoving());
    EXPECT_EQ(702u, IconSnimok::MovingImage());
    MenuScript::Seen().clear();
    RightClick(0);   // no patient current: no paste
    ActionLog::Current() = 18;
    RightClick(0);
    RightClick(4);   // an empty cell too
    ASSERT_EQ(3u, MenuScript::Seen().size());
    EXPECT_EQ((std::vector<UINT>{kDescription, kDelete, 0, kExport}), MenuScript::Ids(0));
    EXPECT_EQ((std::vector<UINT>{kMove, kCancelMove, kDescription, kDelete, 0, kExport}), MenuScript::Ids(1));
    EXPECT_EQ(L"Paste Picture", MenuScript::Seen()[1][0].text);
    EXPECT_EQ(L"Cancel Move", MenuScript::Seen()[1][1].text);
    EXPECT_EQ((std::vector<UINT>{kMove, kCancelMove}), MenuScript::Ids(2));
    // Paste: the image goes to patient 18 and the strip reloads.
    MenuScript::Answers() = {kMove};
    RightClick(4);
    EXPECT_FALSE(IconSnimok::IsMoving());
    EXPECT_EQ((std::vector<std::string>{"move 702 to 18"}), ActionLog::Calls());
    EXPECT_EQ("count 4", owner.calls.back()) << "reloaded";
}

TEST_F(CellTest, PastingAnImageOntoItsOwnPatientDoesNothing)
{
    using namespace IconCellCommand;
    MenuScript::Answers() = {kMove};
    RightClick(1);
    ActionLog::Current() = 17;
    MenuScript::Answers() = {kMove};
    RightClick(0);
    EXPECT_FALSE(IconSnimok::IsMoving());
    EXPECT_TRUE(ActionLog::Calls().empty());
    EXPECT_TRUE(owner.calls.empty()) << "no reload";
}

TEST_F(CellTest, CancelMoveLeavesTheMoveState)
{
    using namespace IconCellCommand;
    MenuScript::Answers() = {kMove};
    RightClick(0);
    ActionLog::Current() = 18;
    MenuScript::Answers() = {kCancelMove};
    RightClick(2);
    EXPECT_FALSE(IconSnimok::IsMoving());
    EXPECT_TRUE(ActionLog::Calls().empty());
}

TEST_F(CellTest, DeletingAskesFirstAndShowsTheRemovedState)
{
    using namespace IconCellCommand;
    {
        PromptScript script({IDNO});
        MenuScript::Answers() = {kDelete};
        RightClick(1);
        ASSERT_EQ(1u, script.Count());
        EXPECT_EQ(L"Do you realy want to delete the image", script.Last().text);
        EXPECT_EQ(L"Deleting Image", script.Last().caption);
    }
    EXPECT_TRUE(ActionLog::Calls().empty());
    {
        PromptScript script({IDYES});
        MenuScript::Answers() = {kDelete};
        RightClick(1);
    }
    EXPECT_EQ((std::vector<std::string>{"delete 702"}), ActionLog::Calls());
    EXPECT_EQ(kIconStateRemoved, strip.Row(1)->GetRecord()->state);
    EXPECT_EQ(4, strip.RecordCount()) << "the image stays in the strip";
}

TEST_F(CellTest, DeletingARemovedImageDeletesItCompletelyAndClosesTheGap)
{
    using namespace IconCellCommand;
    IconCellActions a = ActionLog::Make();
    a.deleteImageComplete = [](HWND, DWORD key) -> BOOL {
        ActionLog::Calls().push_back("delete completely " + std::to_string(key));
        // The database's own procedure removes the row.
        return SUCCEEDED(g_DbSession->ExecSql(L"DELETE FROM Snimok WHERE Snimok=704;", nullptr, nullptr, nullptr,
                                              nullptr))
                   ? TRUE
                   : FALSE;
    };
    SetIconCellActions(a);
    PromptScript script({IDYES});
    MenuScript::Answers() = {kDelete};
    RightClick(3);
    EXPECT_EQ((std::vector<std::string>{"delete completely 704"}), ActionLog::Calls());
    EXPECT_EQ(3, strip.RecordCount());
    EXPECT_EQ(nullptr, strip.Row(3)->GetRecord());
}

TEST_F(CellTest, ARefusedDeleteOrRestoreLeavesTheCellAsItWas)
{
    using namespace IconCellCommand;
    ActionLog::Result() = FALSE;
    PromptScript script({IDYES});
    MenuScript::Answers() = {kDelete, kRestore};
    RightClick(1);
    RightClick(2);
    EXPECT_EQ((std::vector<std::string>{"delete 702", "restore 703"}), ActionLog::Calls());
    EXPECT_EQ(kIconStateShow, strip.Row(1)->GetRecord()->state);
    EXPECT_EQ(kIconStateArchived, strip.Row(2)->GetRecord()->state);
}

TEST_F(CellTest, ARestoredImageShowsItsThumbnailFromTheHardDisk)
{
    WriteThumbnail(L"I00000000170000000703", 200);
    MenuScript::Answers() = {IconCellCommand::kRestore};
    RightClick(2);
    EXPECT_EQ((std::vector<std::string>{"restore 703"}), ActionLog::Calls());
    EXPECT_EQ(kIconStateShow, strip.Row(2)->GetRecord()->state);
    harness::Pump(30);
    harness::PixelGrab grab(Cell(2));
    ASSERT_TRUE(grab.Ok());
    EXPECT_EQ(RGB(200, 200, 200), grab.At(96, strip.Row(2)->GetCaptionHeight() + 96));
}

TEST_F(CellTest, DescriptionAndImportReachTheStripAndTheNeighbours)
{
    IsAdministrator = true;
    MenuScript::Answers() = {IconCellCommand::kDescription, IconCellCommand::kImport};
    RightClick(1);
    RightClick(4);
    EXPECT_EQ((std::vector<std::string>{"note 702 17"}), owner.calls);
    EXPECT_EQ((std::vector<std::string>{"import"}), ActionLog::Calls());
}

TEST_F(CellTest, ExportingAnImageWhoseFileIsMissingShowsTheSystemError)
{
    PromptScript script({IDOK, IDOK});
    MenuScript::Answers() = {IconCellCommand::kExport};
    RightClick(1);
    // The file reader's own message, then the system's text for the error.
    ASSERT_EQ(2u, script.Count());
    EXPECT_EQ(L"File not found.", script.Prompts()[1].text.substr(0, 15));
    EXPECT_TRUE(ActionLog::Calls().empty());
}

// ---- painting ----------------------------------------------------------------

TEST_F(CellTest, AMissingThumbnailShowsAReadErrorAndIsTriedAgain)
{
    WriteThumbnail(L"I00000000170000000701", 90);
    harness::Pump(50);
    IconRecord* missing = strip.Row(1)->GetRecord();
    InvalidateRect(Cell(1), nullptr, FALSE);
    UpdateWindow(Cell(1));
    EXPECT_EQ(kIconStateShow, missing->state) << "not archived, not removed";
    EXPECT_EQ(nullptr, missing->pixels);
    const int caption = strip.Row(1)->GetCaptionHeight();
    {
        harness::PixelGrab grab(Cell(1));
        ASSERT_TRUE(grab.Ok());
        // The grey background with the red caption of the read error.
        EXPECT_EQ(RGB(128, 128, 128), grab.At(3, caption + 3));
        EXPECT_GT(grab.Count(RGB(255, 0, 0), RECT{0, caption, 192, caption + 192}), 20);
    }
    // The file appears: the next paint shows it.
    WriteThumbnail(L"I00000000170000000702", 60);
    InvalidateRect(Cell(1), nullptr, FALSE);
    UpdateWindow(Cell(1));
    ASSERT_NE(nullptr, missing->pixels);
    harness::PixelGrab grab(Cell(1));
    EXPECT_EQ(RGB(60, 60, 60), grab.At(100, caption + 100));
    harness::PixelGrab first(Cell(0));
    EXPECT_EQ(RGB(90, 90, 90), first.At(100, caption + 100));
}

TEST_F(CellTest, TheCaptionBandShowsTheNumberTheDateAndTheNoteIcon)
{
    RedrawWindow(host->Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_ERASE);
    harness::Pump(30);
    harness::PixelGrab grab(Cell(0));
    ASSERT_TRUE(grab.Ok());
    const int caption = strip.Row(0)->GetCaptionHeight();
    const RECT numberArea = {0, 0, 20, caption};
    EXPECT_GT(grab.Count(RGB(255, 0, 0), numberArea), 3) << "the number in red";
    EXPECT_GT(grab.Count(RGB(255, 255, 255), RECT{20, 0, 150, caption}), 10) << "the date in white";
    EXPECT_GT(grab.Count(RGB(0, 0, 255), RECT{20, 0, 150, caption}), 100) << "on the blue band";
    // The note icon covers the band's right end; an image without a description has none.
    const int iconBlue = grab.Count(RGB(0, 0, 255), RECT{160, 0, 192, caption});
    harness::PixelGrab plain(Cell(1));
    EXPECT_LT(iconBlue, plain.Count(RGB(0, 0, 255), RECT{160, 0, 192, caption}));
}

TEST_F(CellTest, AnEmptyCellPaintsItsCaptionIntoAnyDeviceContext)
{
    const int caption = strip.Row(4)->GetCaptionHeight();
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = 192;
    bi.bmiHeader.biHeight = -(caption + 192);
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_TRUE(dib);
    HGDIOBJ old = SelectObject(dc, dib);
    HGDIOBJ fontBefore = GetCurrentObject(dc, OBJ_FONT);
    strip.Row(4)->Draw(dc);
    EXPECT_EQ(fontBefore, GetCurrentObject(dc, OBJ_FONT)) << "the DC leaves as it came";
    GdiFlush();
    const DWORD* px = static_cast<const DWORD*>(bits);
    int white = 0, grey = 0, blue = 0;
    for (int y = 0; y < caption + 192; ++y)
        for (int x = 0; x < 192; ++x) {
            const DWORD p = px[y * 192 + x] & 0xFFFFFF;
            if (y >= caption && p == 0xFFFFFF)
                ++white;
            if (y >= caption && p == 0x808080)
                ++grey;
            if (y < caption && p == 0x0000FF)   // DIB order: blue in the low byte
                ++blue;
        }
    EXPECT_GT(white, 20) << "\"Empty\" in white";
    EXPECT_GT(grey, 192 * 150) << "on the grey background";
    EXPECT_EQ(192 * caption, blue) << "an empty caption band";
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
}

}  // namespace

// ---- the display settings menu -------------------------------------------------

namespace {

// A visible dialog of this thread (the common colour dialog), or null.
BOOL CALLBACK FindDialogProc(HWND w, LPARAM p)
{
    wchar_t name[16] = {};
    GetClassNameW(w, name, 16);
    if (wcscmp(name, L"#32770") == 0 && IsWindowVisible(w)) {
        *reinterpret_cast<HWND*>(p) = w;
        return FALSE;
    }
    return TRUE;
}

HWND OpenDialog()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialogProc, reinterpret_cast<LPARAM>(&found));
    return found;
}

// What the user does in the colour dialog: types red, green and blue into its
// fields and presses OK (or Cancel).
COLORREF gColorToType = 0;
bool gCancelColor = false;
HWND gColorOwner = nullptr;
void CALLBACK AnswerColorDialog(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND dialog = OpenDialog();
    if (!dialog)
        return;   // not up yet
    KillTimer(nullptr, id);
    gColorOwner = GetWindow(dialog, GW_OWNER);
    if (gCancelColor) {
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, (LPARAM)GetDlgItem(dialog, IDCANCEL));
        return;
    }
    const int fields[3] = {706, 707, 708};   // the dialog's red, green and blue fields
    const int values[3] = {GetRValue(gColorToType), GetGValue(gColorToType), GetBValue(gColorToType)};
    for (int i = 0; i < 3; ++i)
        SetDlgItemInt(dialog, fields[i], values[i], FALSE);
    SendMessageW(dialog, WM_COMMAND, IDOK, (LPARAM)GetDlgItem(dialog, IDOK));
}

// What the user types into the text input window, then Enter.
const wchar_t* gTextToType = L"";
void CALLBACK AnswerTextInput(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND input = harness::FindOwnWindow(L"InpTextWnd");
    HWND edit = input ? FindWindowExW(input, nullptr, L"EDIT", nullptr) : nullptr;
    if (!edit)
        return;
    KillTimer(nullptr, id);
    SetWindowTextW(edit, gTextToType);
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
}

class CellSettingsTest : public CellTest {
protected:
    void SetUp() override
    {
        CellTest::SetUp();
        ASSERT_TRUE(InpTextWnd::RegisterClass());   // the date format is typed in it
    }
    void TearDown() override
    {
        // The settings are the process's: back to the defaults for the tests after.
        settings->SetDword(L"CCap", 0xFF0000, L"IconParam");
        settings->SetDword(L"CBack", 0x808080, L"IconParam");
        settings->SetDword(L"CCapNum", 0x0000FF, L"IconParam");
        settings->SetDword(L"CCapTxt", 0xFFFFFF, L"IconParam");
        settings->Delete(L"DateFormat", L"IconParam");
        IconSnimok::LoadSettings(settings->Key());
        InpTextWnd::UnregisterClass();
        CellTest::TearDown();
    }
    DWORD StoredDword(const wchar_t* name)
    {
        DWORD value = 0, size = sizeof value, type = 0;
        HKEY key = settings->Sub(L"IconParam");
        if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
            return 0xFFFFFFFF;
        return value;
    }
    std::wstring StoredString(const wchar_t* name)
    {
        wchar_t value[64] = {};
        DWORD size = sizeof value - sizeof(wchar_t), type = 0;
        HKEY key = settings->Sub(L"IconParam");
        if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS)
            return L"<none>";
        return value;
    }
};

TEST_F(CellSettingsTest, ShiftRightClickOffersTheDisplaySettings)
{
    MenuScript::Answers() = {0};
    RightClick(0, MK_SHIFT);
    ASSERT_EQ(1u, MenuScript::Seen().size());
    const std::vector<TrackedItem>& items = MenuScript::Seen()[0];
    ASSERT_EQ(10u, items.size());
    EXPECT_EQ(L"Font", items[0].text);
    EXPECT_EQ(L"Date Format", items[1].text);
    EXPECT_EQ(L"Caption Color", items[2].text);
    EXPECT_EQ(L"Background Color", items[3].text);
    EXPECT_EQ(L"Color Number", items[4].text);
    EXPECT_EQ(L"Color Caption Text", items[5].text);
    for (UINT i = 0; i < 10; ++i)
        EXPECT_EQ(i + 1, items[i].id);
    EXPECT_TRUE(owner.calls.empty()) << "nothing opens";
    EXPECT_EQ(L"<none>", StoredString(L"DateFormat")) << "nothing chosen, nothing stored";
}

TEST_F(CellSettingsTest, AChosenCaptionColourIsUsedAtOnceAndStored)
{
    gColorToType = RGB(10, 200, 30);
    gCancelColor = false;
    gColorOwner = nullptr;
    MenuScript::Answers() = {IconCellCommand::kFirstColor};   // "Caption Color"
    SetTimer(nullptr, 0, 50, AnswerColorDialog);
    RightClick(0, MK_SHIFT);
    EXPECT_EQ(GetAncestor(Cell(0), GA_ROOT), gColorOwner) << "the dialog is modal to the window of the cell";
    EXPECT_EQ(RGB(10, 200, 30), IconSnimok::CaptionColor());
    EXPECT_EQ((DWORD)RGB(10, 200, 30), StoredDword(L"CCap"));
    // The cells show it when they next paint.
    InvalidateRect(Cell(1), nullptr, FALSE);
    UpdateWindow(Cell(1));
    harness::PixelGrab grab(Cell(1));
    ASSERT_TRUE(grab.Ok());
    EXPECT_GT(grab.Count(RGB(10, 200, 30), RECT{20, 0, 150, strip.Row(1)->GetCaptionHeight()}), 100);
    // Read back by the settings loader (the next start).
    settings->SetDword(L"CCap", 0xFF0000, L"IconParam");
    IconSnimok::LoadSettings(settings->Key());
    EXPECT_EQ(0xFF0000u, IconSnimok::CaptionColor());
    settings->SetDword(L"CCap", RGB(10, 200, 30), L"IconParam");
    IconSnimok::LoadSettings(settings->Key());
    EXPECT_EQ(RGB(10, 200, 30), IconSnimok::CaptionColor());
}

TEST_F(CellSettingsTest, EachColourGoesUnderItsOwnNameAndCancelKeepsIt)
{
    const wchar_t* names[4] = {L"CCap", L"CBack", L"CCapNum", L"CCapTxt"};
    COLORREF (*current[4])() = {&IconSnimok::CaptionColor, &IconSnimok::BackgroundColor, &IconSnimok::NumberColor,
                                &IconSnimok::CaptionTextColor};
    for (int i = 0; i < 4; ++i) {
        gColorToType = RGB(20 + i, 40 + i, 60 + i);
        gCancelColor = false;
        MenuScript::Answers() = {(int)IconCellCommand::kFirstColor + i};
        SetTimer(nullptr, 0, 50, AnswerColorDialog);
        RightClick(1, MK_SHIFT);
        EXPECT_EQ(gColorToType, current[i]()) << i;
        EXPECT_EQ((DWORD)gColorToType, StoredDword(names[i])) << i;
    }
    // Cancel changes nothing.
    gCancelColor = true;
    MenuScript::Answers() = {IconCellCommand::kFirstColor + 1};
    SetTimer(nullptr, 0, 50, AnswerColorDialog);
    RightClick(1, MK_SHIFT);
    EXPECT_EQ(RGB(21, 41, 61), IconSnimok::BackgroundColor());
    EXPECT_EQ((DWORD)RGB(21, 41, 61), StoredDword(L"CBack"));
}

TEST_F(CellSettingsTest, ADateFormatTypedIsUsedAtOnceAndStored)
{
    const std::wstring before = IconSnimok::DateFormat();
    gTextToType = L"yyyy-MM-dd";
    MenuScript::Answers() = {IconCellCommand::kDateFormat};
    SetTimer(nullptr, 0, 50, AnswerTextInput);
    RightClick(0, MK_SHIFT);
    EXPECT_STREQ(L"yyyy-MM-dd", IconSnimok::DateFormat());
    EXPECT_EQ(L"yyyy-MM-dd", StoredString(L"DateFormat"));
    // An empty answer keeps the format.
    gTextToType = L"";
    MenuScript::Answers() = {IconCellCommand::kDateFormat};
    SetTimer(nullptr, 0, 50, AnswerTextInput);
    RightClick(0, MK_SHIFT);
    EXPECT_STREQ(L"yyyy-MM-dd", IconSnimok::DateFormat());
    // The loader reads it back; without it the default picture returns.
    IconSnimok::LoadSettings(settings->Key());
    EXPECT_STREQ(L"yyyy-MM-dd", IconSnimok::DateFormat());
    settings->Delete(L"DateFormat", L"IconParam");
    IconSnimok::LoadSettings(settings->Key());
    EXPECT_EQ(before, IconSnimok::DateFormat());
}

}  // namespace

// ---- failures of the cells' commands -------------------------------------------

namespace {

TEST_F(CellTest, AFailedReloadIsShownByTheProgramLoopWhenItHappens)
{
    ActionLog::Current() = 18;
    // Move the first image, and paste it to the current patient: the paste
    // reloads the strip, and the database has lost its table meanwhile.
    MenuScript::Answers() = {IconCellCommand::kMove, IconCellCommand::kMove};
    auto post = [&](int row) {
        PostMessageW(Cell(row), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(50, 100));
        PostMessageW(Cell(row), WM_RBUTTONUP, 0, MAKELPARAM(50, 100));
    };
    post(0);
    PostMessageW(host->Hwnd(), WM_NULL, 0, 0);
    Exec(L"DROP TABLE Snimok;");
    post(1);
    PostQuitMessage(0);
    PromptScript script({IDOK});
    EXPECT_EQ(0, kProgramCycleSteps.runMessageLoop());
    EXPECT_EQ((std::vector<std::string>{"move 701 to 18"}), ActionLog::Calls());
    ASSERT_EQ(1u, script.Count()) << "the failure is shown when it happens";
    EXPECT_EQ(host->Hwnd(), script.Last().owner) << "over the window of the strip";
    EXPECT_FALSE(script.Last().text.empty());
    EXPECT_FALSE(HasWindowException()) << "nothing is left to surface later";
}

}  // namespace
