// The main patient window on a demo site: the filtered load and its status
// texts, the buttons, the keys, the menus of the Exit button and of the list.
#include "mainwnd_fixture.h"

#include "app_fixture.h"

#include "../common/prompt_script.h"
#include "../common/settings_root.h"
#include "../common/window_harness.h"
#include "app/exchangeservices.h"
#include "app/iconsnimok.h"
#include "app/iconstrip.h"
#include "app/mainmenus.h"
#include "app/mainpatientwnd.h"
#include "app/plugins.h"
#include "app/mainwnd_neighbours.h"
#include "app/startup.h"
#include "database/dbstart.h"
#include "forms/kartlayout.h"
#include "forms/kartwnd.h"
#include "forms/patientlookup.h"
#include "foundation/globals.h"
#include "foundation/prompt.h"
#include "images/viewer/mainviewwnd.h"
#include "resources/strings.h"
#include "tools/demosite/sitebuilder.h"
#include "ui/button.h"
#include "ui/listview.h"
#include "ui/window_create.h"

#include <algorithm>
#include <cwchar>
#include <functional>
#include <set>

using namespace mainwndtest;

namespace {

std::wstring Str(UINT id)
{
    wchar_t text[512];
    const int n = LoadStringW(hInstance, id, text, 512);
    return n > 0 ? std::wstring(text, n) : std::wstring();
}

std::wstring ButtonText(DButton* button)
{
    wchar_t text[256] = {};
    return button && button->GetText(text, 256) ? std::wstring(text) : std::wstring();
}

// Runs steps one by one from a thread timer of the test thread while a modal
// window (the patient card) runs its loop; the steps left over when the
// script goes are dropped.
class StepScript {
public:
    explicit StepScript(std::vector<std::function<void()>> steps)
    {
        steps_ = std::move(steps);
        next_ = 0;
        timer_ = SetTimer(nullptr, 0, 30, Tick);
    }
    ~StepScript()
    {
        KillTimer(nullptr, timer_);
        steps_.clear();
    }
    size_t Done() const { return next_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        if (next_ >= steps_.size()) {
            KillTimer(nullptr, id);
            return;
        }
        std::function<void()> step = steps_[next_++];
        step();
    }
    static std::vector<std::function<void()>> steps_;
    static size_t next_;
    UINT_PTR timer_;
};
std::vector<std::function<void()>> StepScript::steps_;
size_t StepScript::next_ = 0;

BOOL CALLBACK FindKartProc(HWND w, LPARAM p)
{
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    if (wcscmp(name, DbKartWindow::kClassName) == 0 && IsWindowVisible(w)) {
        *reinterpret_cast<HWND*>(p) = w;
        return FALSE;
    }
    return TRUE;
}

// The open patient card of this thread, or null.
DbKartWindow* OpenKart()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindKartProc, reinterpret_cast<LPARAM>(&found));
    return found ? WindowObject<DbKartWindow>(found) : nullptr;
}

std::wstring FieldText(DbKartWindow* card, int field)
{
    wchar_t text[128] = {};
    GetWindowTextW(card->Layout().fields[field]->control, text, 128);
    return text;
}

// The card's fields in "Patient.cfg".
enum { kKartName1, kKartName2 };

// Drains a WM_QUIT left by the window, so that a test can see whether one came.
bool TakeQuit()
{
    MSG msg;
    bool quit = false;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        quit = true;
    return quit;
}

// Types a text that is no date into the text input window and presses Enter.
void CALLBACK AnswerTimeInput(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    HWND input = harness::FindOwnWindow(L"InpTextWnd");
    HWND edit = input ? FindWindowExW(input, nullptr, L"EDIT", nullptr) : nullptr;
    if (edit) {
        SetWindowTextW(edit, L"no date at all");
        SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
    }
}

}  // namespace

using MainWindowLoad = MainWndSite;

TEST_F(MainWindowLoad, ShowsEveryDemoPatientSortedByNameWithTheCounts)
{
    OpenWindow();
    std::vector<DWORD> keys = ListKeys();
    ASSERT_EQ(patients_.size(), keys.size());
    // "main.cfg" orders by the family name: the first row is the smallest Name1.
    const long first = QueryInt(L"SELECT Patient FROM Patient ORDER BY Name1, Name2, Name3;");
    EXPECT_EQ(static_cast<DWORD>(first), keys[0]);
    EXPECT_EQ(Str(IDS_LIST_READ_SUCCESS), StatusText(kPartListState));
    EXPECT_EQ(std::to_wstring(patients_.size()), StatusText(kPartPatientCount));
    EXPECT_EQ(Str(IDS_STATUS_PATIENTS), StatusText(kPartPatientsLabel));
    EXPECT_EQ(Str(IDS_STATUS_PICTURES), StatusText(kPartPicturesLabel));
    EXPECT_FALSE(StatusText(kPartClock).empty());
    // The list selects its first row, and that patient is current: his name
    // shows and his pictures are counted.
    EXPECT_EQ(0, MainPatientWindow::Instance().GetList()->GetSelectedRow());
    DWORD key = 0;
    EXPECT_NE(0u, gPatientLookup.GetIds(&key));
    EXPECT_EQ(keys[0], key);
    const size_t demo = std::find(patients_.begin(), patients_.end(), first) - patients_.begin();
    ASSERT_LT(demo, DemoPatients().size());
    EXPECT_EQ(0u, CaptionText().find(std::wstring(DemoPatients()[demo].name1) + L" ")) << CaptionText().size();
    EXPECT_EQ(L"0", StatusText(kPartPictureCount));
}

// Drives the real mouse and keyboard: runs alone (see tests.cmake).
using MainWindowLoadRealInput = MainWindowLoad;

TEST_F(MainWindowLoadRealInput, ABrokenListDescriptionLeavesTheListEmptyWithError)
{
    // A file the description language cannot read.
    HANDLE file = CreateFileW((folder_ + L"Cfg\\main.cfg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    const char broken[] = "list { { \"Family name\", ";
    DWORD written = 0;
    WriteFile(file, broken, sizeof broken - 1, &written, nullptr);
    CloseHandle(file);
    PromptScript prompts({IDOK, IDOK, IDOK});   // the description's own error message
    OpenWindow();
    EXPECT_EQ(0, MainPatientWindow::Instance().GetList()->GetRowCount());
    EXPECT_EQ(Str(IDS_LIST_READ_ERROR), StatusText(kPartListState));
    EXPECT_EQ(L"0", StatusText(kPartPatientCount));
    EXPECT_GE(prompts.Count(), 1u);
}

TEST_F(MainWindowLoad, AFailingQueryLeavesTheListEmptyWithError)
{
    ASSERT_TRUE(Exec(L"DROP TABLE Patient_Missing_Check;") || true);
    // The list's table is renamed away under the description.
    HANDLE file = CreateFileW((folder_ + L"Cfg\\main.cfg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    const wchar_t text[] = L"\xFEFFtable = \"NoSuchTable\"\nkey = \"Patient\"\nlist {\n"
                           L"{ \"Family name\", \"Name1\", varchar(40), width = 200 }\n}\n";
    DWORD written = 0;
    WriteFile(file, text, sizeof text - sizeof(wchar_t), &written, nullptr);
    CloseHandle(file);
    OpenWindow();
    EXPECT_EQ(0, MainPatientWindow::Instance().GetList()->GetRowCount());
    EXPECT_EQ(Str(IDS_LIST_READ_ERROR), StatusText(kPartListState));
}

TEST_F(MainWindowLoad, MovingToARowShowsThePatientAndCountsHisPictures)
{
    const DWORD patient = static_cast<DWORD>(patients_[2]);
    MakeImages(patient, 3);
    OpenWindow();
    const int row = ListRow(patient);
    ASSERT_GE(row, 0);
    DListView* list = MainPatientWindow::Instance().GetList();
    list->SelectItem(row);
    MainPatientWindow::Instance().OnListRowChange(row);
    const SitePatient& demo = DemoPatients()[2];
    const std::wstring caption = CaptionText();
    EXPECT_EQ(0u, caption.find(std::wstring(demo.name1) + L" " + demo.name2)) << caption.size();
    EXPECT_EQ(L"3", StatusText(kPartPictureCount));
    DWORD key = 0;
    EXPECT_NE(0u, gPatientLookup.GetIds(&key));
    EXPECT_EQ(patient, key);
    // No row: nobody is current and no pictures.
    MainPatientWindow::Instance().OnListRowChange(-1);
    EXPECT_EQ(L"", CaptionText());
    EXPECT_EQ(L"0", StatusText(kPartPictureCount));
    EXPECT_EQ(0u, gPatientLookup.GetIds(&key));
}

TEST_F(MainWindowLoad, ReloadKeepsTheCurrentPatientAndShowsNewRows)
{
    OpenWindow();
    const DWORD patient = static_cast<DWORD>(patients_[4]);
    MainPatientWindow::Instance().OnListRowChange(ListRow(patient));
    ASSERT_TRUE(Exec(L"INSERT INTO Patient (Name1, Name2) VALUES ('Aaronson', 'Abe');"));
    PressKey(VK_F5);
    EXPECT_EQ(patients_.size() + 1, ListKeys().size());
    EXPECT_EQ(std::to_wstring(patients_.size() + 1), StatusText(kPartPatientCount));
    const DListView* list = MainPatientWindow::Instance().GetList();
    ASSERT_GE(list->GetSelectedRow(), 0);
    EXPECT_EQ(patient, ListKeys()[list->GetSelectedRow()]);
    DWORD key = 0;
    gPatientLookup.GetIds(&key);
    EXPECT_EQ(patient, key);
}

TEST_F(MainWindowLoad, F3RunsTheFilterFormAndACancelChangesNothing)
{
    OpenWindow();
    // The form was shown at the start and cancelled: the list is loaded anyway.
    EXPECT_EQ(1, filterFormsClosed);
    ASSERT_EQ(patients_.size(), ListKeys().size());
    ASSERT_TRUE(Exec(L"DELETE FROM Patient WHERE Patient=" + std::to_wstring(patients_[0]) + L";"));
    PressKey(VK_F3);
    EXPECT_EQ(2, filterFormsClosed);
    // Cancelled again (nothing set): the list and its status stay as they were.
    EXPECT_EQ(patients_.size(), ListKeys().size());
    EXPECT_EQ(Str(IDS_LIST_READ_SUCCESS), StatusText(kPartListState));
}

// A filter file reduced to a comment: the start and F3 each say that the file
// cannot be read (the journal says why), no filter window appears, and the
// main window stays enabled and usable.
TEST_F(MainWindowLoad, AFilterFileWithoutFieldsIsAnErrorAndTheWindowStaysUsable)
{
    HANDLE file =
        CreateFileW((folder_ + L"Cfg\\MainFilt.cfg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    const wchar_t text[] = L"\xFEFF// The filter of the patient list.\n";
    DWORD written = 0;
    WriteFile(file, text, sizeof text - sizeof(wchar_t), &written, nullptr);
    CloseHandle(file);
    apptest::OpenJournal journal(folder_);
    PromptScript prompts({IDOK, IDOK, IDOK, IDOK});
    OpenWindow();
    Pump(100);
    EXPECT_EQ(0, filterFormsClosed);
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(L"File \"MainFilt.cfg\" interpretating error", prompts.Last().text);
    EXPECT_TRUE(apptest::HasEntry(journal.Entries(), 0, L"File \"MainFilt.cfg\" describes no fields"));
    HWND main = MainPatientWindow::GetHwnd();
    EXPECT_TRUE(IsWindowEnabled(main));

    PressKey(VK_F3);
    Pump(100);
    EXPECT_EQ(0, filterFormsClosed);
    EXPECT_EQ(2u, prompts.Count());
    EXPECT_TRUE(IsWindowEnabled(main));
}

// ---- buttons ----------------------------------------------------------------------------

using MainWindowButtons = MainWndSite;

TEST_F(MainWindowButtons, WithoutImportSettingsTheMergeButtonIsAbsent)
{
    OpenWindow();
    MainPatientWindow& w = MainPatientWindow::Instance();
    ASSERT_EQ(6, w.GetButtonCount());
    const UINT captions[6] = {IDS_NEW_PATIENT, IDS_PATIENT_INFO, IDS_DELETE, IDS_ARCHIVING_BUTTON, IDS_PRINT, IDS_EXIT};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(Str(captions[i]), ButtonText(w.GetButtonAt(i))) << i;
    EXPECT_EQ(nullptr, w.GetButton(kRowMerge));
    // The buttons are stacked one pixel apart; Exit after an extra half button.
    RECT print, archiving, exitRect;
    GetWindowRect(w.GetButton(kRowArchiving)->GetHwnd(), &archiving);
    GetWindowRect(w.GetButton(kRowPrint)->GetHwnd(), &print);
    GetWindowRect(w.GetButton(kRowExit)->GetHwnd(), &exitRect);
    const int b = w.ButtonHeight();
    EXPECT_EQ(archiving.bottom + 1, print.top);
    EXPECT_EQ(print.bottom + 1 + b / 2, exitRect.top);
    EXPECT_EQ(MainPatientWindow::kButtonColumnWidth, print.right - print.left);
}

TEST_F(MainWindowButtons, WithImportSettingsTheMergeButtonFollowsArchiving)
{
    ImportSettingsPresent = TRUE;
    OpenWindow();
    MainPatientWindow& w = MainPatientWindow::Instance();
    ASSERT_EQ(7, w.GetButtonCount());
    EXPECT_EQ(Str(IDS_MERGE_DATABASES), ButtonText(w.GetButtonAt(4)));
    EXPECT_EQ(Str(IDS_PRINT), ButtonText(w.GetButtonAt(5)));
    RECT archiving, merge;
    GetWindowRect(w.GetButton(kRowArchiving)->GetHwnd(), &archiving);
    GetWindowRect(w.GetButton(kRowMerge)->GetHwnd(), &merge);
    EXPECT_EQ(archiving.bottom + 1, merge.top);
}

HWND gArchivingOwner = nullptr;
int gArchivingRuns = 0;

TEST_F(MainWindowButtons, ArchivingOpensTheSynchronisationWindowOwnedByTheMainWindowThenReloads)
{
    OpenWindow();
    ExchangeServices recording = {};
    recording.runScanDbWindow = [](HWND owner) {
        gArchivingOwner = owner;
        ++gArchivingRuns;
        // The list changes while the window runs.
        g_DbSession->ExecSql(L"INSERT INTO Patient (Name1, Name2) VALUES ('Aaronson', 'Abe');", nullptr, nullptr,
                             nullptr, nullptr);
    };
    const ExchangeServices previous = SetExchangeServices(recording);
    PromptScript prompts;
    MainPatientWindow& w = MainPatientWindow::Instance();
    SendMessageW(w.GetButton(kRowArchiving)->GetHwnd(), WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(w.GetButton(kRowArchiving)->GetHwnd(), WM_KEYUP, VK_SPACE, 0);
    SetExchangeServices(previous);
    EXPECT_EQ(0u, prompts.Count());
    EXPECT_EQ(1, gArchivingRuns);
    EXPECT_EQ(MainPatientWindow::GetHwnd(), gArchivingOwner);
    // The list is read again after the synchronisation window.
    EXPECT_EQ(std::to_wstring(patients_.size() + 1), StatusText(kPartPatientCount));
}

// ---- keys -------------------------------------------------------------------------------

using MainWindowKeys = MainWndSite;

TEST_F(MainWindowKeys, ControlDeleteAsksAndDeletesOnlyOnYes)
{
    OpenWindow();
    const DWORD patient = static_cast<DWORD>(patients_[1]);
    MainPatientWindow::Instance().OnListRowChange(ListRow(patient));
    {
        PromptScript prompts({IDNO});
        PressKey(VK_DELETE, false, true);
        ASSERT_EQ(1u, prompts.Count());
        EXPECT_EQ(Str(IDS_PATIENT_DELETE), prompts.Last().caption);
    }
    EXPECT_EQ(1, Count(L"Patient", L"Patient=" + std::to_wstring(patient)));
    {
        // Delete without Control is not the command.
        PromptScript none;
        PressKey(VK_DELETE);
        EXPECT_EQ(0u, none.Count());
    }
    PromptScript prompts({IDYES});
    PressKey(VK_DELETE, false, true);
    EXPECT_EQ(0, Count(L"Patient", L"Patient=" + std::to_wstring(patient)));
    EXPECT_EQ(-1, ListRow(patient));
    EXPECT_EQ(std::to_wstring(patients_.size() - 1), StatusText(kPartPatientCount));
    // He is no longer current: the reloaded list's selected row is.
    DWORD key = 0;
    EXPECT_NE(0u, gPatientLookup.GetIds(&key));
    EXPECT_NE(patient, key);
    EXPECT_EQ(ListKeys()[MainPatientWindow::Instance().GetList()->GetSelectedRow()], key);
}

TEST_F(MainWindowKeys, ShiftEnterAndInsertOpenThePatientCard)
{
    OpenWindow();
    const size_t rows = ListKeys().size();
    struct Seen {
        bool open = false;
        bool ownerDisabled = false;
        LONG key = -1;
        int flag = -1;
        std::wstring name1;
    };
    auto look = [](Seen& seen) {
        DbKartWindow* card = OpenKart();
        seen.open = card != nullptr;
        if (!card)
            return;
        seen.ownerDisabled = !IsWindowEnabled(MainPatientWindow::GetHwnd());
        seen.key = card->Key();
        seen.flag = card->Flag();
        seen.name1 = FieldText(card, kKartName1);
        PostMessageW(card->GetHwnd(), WM_CLOSE, 0, 0);
    };
    // Insert: an empty card for a new patient, modal over the window.
    Seen fresh;
    {
        StepScript steps({[&] { look(fresh); }});
        PressKey(VK_INSERT);
        EXPECT_EQ(1u, steps.Done());
    }
    EXPECT_TRUE(fresh.open);
    EXPECT_TRUE(fresh.ownerDisabled);
    EXPECT_EQ(0, fresh.flag);
    EXPECT_EQ(L"", fresh.name1);
    EXPECT_EQ(nullptr, OpenKart());
    EXPECT_TRUE(IsWindowEnabled(MainPatientWindow::GetHwnd()));

    // Shift+Enter: the card of the current patient; closed without saving,
    // nothing changes.
    const DWORD patient = static_cast<DWORD>(patients_[3]);
    MainPatientWindow::Instance().OnListRowChange(ListRow(patient));
    Seen current;
    {
        StepScript steps({[&] { look(current); }});
        PressKey(VK_RETURN, true);
        EXPECT_EQ(1u, steps.Done());
    }
    EXPECT_TRUE(current.open);
    EXPECT_EQ(static_cast<LONG>(patient), current.key);
    EXPECT_GT(current.flag, 0);
    EXPECT_EQ(std::wstring(DemoPatients()[3].name1), current.name1);
    EXPECT_EQ(rows, ListKeys().size());
    DWORD key = 0;
    EXPECT_NE(0u, gPatientLookup.GetIds(&key));
    EXPECT_EQ(patient, key);
}

TEST_F(MainWindowKeys, ShiftEnterWithoutACurrentPatientOpensNoCard)
{
    OpenWindow();
    MainPatientWindow::Instance().OnListRowChange(-1);
    bool opened = false;
    StepScript steps({[&] {
        if (DbKartWindow* card = OpenKart()) {
            opened = true;
            PostMessageW(card->GetHwnd(), WM_CLOSE, 0, 0);
        }
    }});
    PressKey(VK_RETURN, true);
    Pump(100);
    EXPECT_FALSE(opened);
}

TEST_F(MainWindowKeys, TheCardSavingANewPatientShowsHimInTheList)
{
    OpenWindow();
    const size_t rows = ListKeys().size();
    bool saved = false;
    StepScript steps({
        [&] {
            DbKartWindow* card = OpenKart();
            ASSERT_NE(nullptr, card);
            SetWindowTextW(card->Layout().fields[kKartName1]->control, L"Zimmermann");
            SetWindowTextW(card->Layout().fields[kKartName2]->control, L"Zoe");
            SendMessageW(card->Layout().fields[kKartName1]->control, WM_KEYDOWN, VK_F2, 1);
            saved = card->Flag() > 0;
        },
        [&] {
            DbKartWindow* card = OpenKart();
            ASSERT_NE(nullptr, card);
            SendMessageW(card->Layout().fields[kKartName1]->control, WM_KEYDOWN, VK_ESCAPE, 1);
        },
    });
    PromptScript script;   // no question is expected
    PressKey(VK_INSERT);
    EXPECT_EQ(2u, steps.Done());
    EXPECT_TRUE(saved);
    EXPECT_EQ(nullptr, OpenKart());
    const long key = QueryInt(L"SELECT Patient FROM Patient WHERE Name1='Zimmermann' AND Name2='Zoe';");
    ASSERT_GT(key, 0);
    // The list was read again: it holds him, he is the selected row and the
    // current patient, and the counts follow.
    EXPECT_EQ(rows + 1, ListKeys().size());
    const int row = ListRow(static_cast<DWORD>(key));
    ASSERT_GE(row, 0);
    EXPECT_EQ(row, MainPatientWindow::Instance().GetList()->GetSelectedRow());
    DWORD current = 0;
    EXPECT_NE(0u, gPatientLookup.GetIds(&current));
    EXPECT_EQ(static_cast<DWORD>(key), current);
    EXPECT_EQ(0u, CaptionText().find(L"Zimmermann Zoe")) << CaptionText().size();
    EXPECT_EQ(std::to_wstring(rows + 1), StatusText(kPartPatientCount));
    EXPECT_EQ(L"0", StatusText(kPartPictureCount));
}

TEST_F(MainWindowKeys, ArrowsMoveTheFocusBetweenButtonsAndList)
{
    OpenWindow();
    MainPatientWindow& w = MainPatientWindow::Instance();
    SetFocus(w.GetList()->GetHwnd());
    SendMessageW(w.GetList()->GetHwnd(), WM_KEYDOWN, VK_LEFT, 1);
    EXPECT_EQ(w.GetButtonAt(0)->GetHwnd(), GetFocus());
    SendMessageW(w.GetButtonAt(0)->GetHwnd(), WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_EQ(w.GetButtonAt(1)->GetHwnd(), GetFocus());
    SendMessageW(w.GetButtonAt(1)->GetHwnd(), WM_KEYDOWN, VK_UP, 1);
    EXPECT_EQ(w.GetButtonAt(0)->GetHwnd(), GetFocus());
    SendMessageW(w.GetButtonAt(0)->GetHwnd(), WM_KEYDOWN, VK_UP, 1);
    EXPECT_EQ(w.GetButtonAt(0)->GetHwnd(), GetFocus());
    SendMessageW(w.GetButtonAt(0)->GetHwnd(), WM_KEYDOWN, VK_RIGHT, 1);
    EXPECT_EQ(w.GetList()->GetHwnd(), GetFocus());
}

// ---- the window's frame ------------------------------------------------------------------

using MainWindowFrame = MainWndSite;

TEST_F(MainWindowFrame, FillsTheScreenAndTheFrameNeverMovesIt)
{
    OpenWindow();
    HWND hwnd = MainPatientWindow::GetHwnd();
    RECT r;
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), r.right - r.left);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), r.bottom - r.top);
    // The caption is no place to drag from.
    EXPECT_EQ(HTCLIENT, SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(r.left + 200, r.top + 5)));
    // System commands other than "Version" are swallowed.
    SendMessageW(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(IsIconic(hwnd));
    HMENU system = GetSystemMenu(hwnd, FALSE);
    ASSERT_EQ(1, GetMenuItemCount(system));
    EXPECT_EQ(MainPatientWindow::kVersionCommand, GetMenuItemID(system, 0));
}

TEST_F(MainWindowFrame, CloseFromOutsideEndsTheProgram)
{
    OpenWindow();
    TakeQuit();
    MainLoopEnded = FALSE;
    SendMessageW(MainPatientWindow::GetHwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(TakeQuit());
}

// ---- exit menu ----------------------------------------------------------------------------

using MainWindowExitMenu = MainWndSite;

TEST_F(MainWindowExitMenu, AdministratorsMayAlsoExitAndRestart)
{
    OpenWindow();
    MenuScript menus;
    MainPatientWindow& w = MainPatientWindow::Instance();
    EXPECT_EQ(0, w.ExitMenu(w.GetButton(kRowExit)));
    EXPECT_EQ((std::vector<UINT>{kExitProgram, kRestartProgram, kSwitchOff, kExitAndLogoff}), menus.LastIds());
    EXPECT_EQ(Str(IDS_EXIT_PROGRAM), menus.Last()[0].text);
    // At the button's right edge, in its middle.
    RECT r;
    GetWindowRect(w.GetButton(kRowExit)->GetHwnd(), &r);
    EXPECT_EQ(r.right, menus.LastPoint().x);
    EXPECT_EQ((r.top + r.bottom) / 2, menus.LastPoint().y);
}

TEST_F(MainWindowExitMenu, OthersMaySwitchOffOrLogOffOnly)
{
    IsAdministrator = false;
    OpenWindow();
    MenuScript menus;
    MainPatientWindow& w = MainPatientWindow::Instance();
    w.ExitMenu(w.GetButton(kRowExit));
    EXPECT_EQ((std::vector<UINT>{kSwitchOff, kExitAndLogoff}), menus.LastIds());
    EXPECT_EQ(Str(IDS_SWITCH_OFF_COMPUTER), menus.Last()[0].text);
    EXPECT_EQ(Str(IDS_EXIT_AND_LOGOFF), menus.Last()[1].text);
}

TEST_F(MainWindowExitMenu, AMobilSiteMayEjectItsDatabaseDisk)
{
    MobilMode = 1;
    OpenWindow();
    MenuScript menus(kEjectDatabaseDisk);
    TakeQuit();
    MainLoopEnded = FALSE;
    EjectRequested = FALSE;
    RestartRequested = FALSE;
    // A right click on Exit runs the chosen item.
    HWND exitButton = MainPatientWindow::Instance().GetButton(kRowExit)->GetHwnd();
    SendMessageW(exitButton, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    SendMessageW(exitButton, WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
    ASSERT_EQ(1, menus.Count());
    EXPECT_EQ(kEjectDatabaseDisk, static_cast<int>(menus.LastIds().back()));
    EXPECT_TRUE(EjectRequested);
    EXPECT_TRUE(RestartRequested);
    EXPECT_TRUE(TakeQuit());
    EjectRequested = FALSE;
    RestartRequested = FALSE;
}

TEST_F(MainWindowExitMenu, ExitProgramNeverShutsWindowsDown)
{
    ConfiguredExitAction = kExitShutdown;
    CurrentExitAction = kExitShutdown;
    MainLoopEnded = FALSE;
    RunExitCommand(kExitProgram);
    EXPECT_EQ(kExitNone, CurrentExitAction);
    RunExitCommand(kSwitchOff);
    EXPECT_EQ(kExitShutdown, CurrentExitAction);
    RunExitCommand(kExitAndLogoff);
    EXPECT_EQ(kExitLogoff, CurrentExitAction);
    CurrentExitAction = kExitNone;
    TakeQuit();
}

// ---- service menu ------------------------------------------------------------------------

using MainWindowServiceMenu = MainWndSite;

TEST_F(MainWindowServiceMenu, OthersSeePrinterStatusHeaderAndTime)
{
    IsAdministrator = false;
    OpenWindow();
    MenuScript menus;
    SendMessageW(MainPatientWindow::Instance().GetList()->GetHwnd(), WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
    ASSERT_EQ(1, menus.Count());
    EXPECT_EQ((std::vector<UINT>{kServicePrinterStatus, kServicePrintHeader, kServiceSetTime}), menus.LastIds());
    EXPECT_EQ(Str(IDS_SET_NEW_TIME), menus.Last()[2].text);
}

TEST_F(MainWindowServiceMenu, AdministratorsSeeEveryCommand)
{
    OpenWindow();
    MenuScript menus;
    ShowServiceMenu(MainPatientWindow::GetHwnd(), 10, 10, 0);
    ASSERT_EQ(1, menus.Count());
    EXPECT_EQ((std::vector<UINT>{kServicePrinterStatus, kServicePrintHeader, kServiceSetTime, kServiceShowForm,
                                 kServiceExplorer, kServiceImportPicture, kServiceExportPicture, kServiceDicomStatus,
                                 kServiceReports, kServiceShowJournal, 0, kServiceFonts, kServiceSettings,
                                 kServicePrepareSettings}),
              menus.LastIds());
    EXPECT_EQ(L"Explorer", menus.Last()[4].text);
    EXPECT_EQ(L"DICOM status", menus.Last()[7].text);
    EXPECT_EQ(L"", menus.Last()[10].text);   // the separator
    // At the client point, on the screen.
    POINT p = {10, 10};
    ClientToScreen(MainPatientWindow::GetHwnd(), &p);
    EXPECT_EQ(p.x, menus.LastPoint().x);
    EXPECT_EQ(p.y, menus.LastPoint().y);
}

TEST_F(MainWindowServiceMenu, CommandsStillToComeSayThatTheyAreNotAvailable)
{
    OpenWindow();
    for (int command : {kServicePrinterStatus, kServicePrintHeader, kServiceImportPicture, kServiceDicomStatus,
                        kServiceReports, kServiceFonts}) {
        PromptScript prompts({IDOK});
        MenuScript menus(command);
        ShowServiceMenu(MainPatientWindow::GetHwnd(), 10, 10, 0);
        ASSERT_EQ(1u, prompts.Count()) << command;
        EXPECT_EQ(Str(IDS_NOT_AVAILABLE_YET), prompts.Last().text) << command;
    }
}

TEST_F(MainWindowServiceMenu, SetNewTimeWithAWrongTextSetsNothing)
{
    // The text input window is answered from a timer: the text is replaced
    // by one that is no date, then Enter.
    OpenWindow();
    PromptScript prompts;   // no box may show
    static HWND owner;
    owner = MainPatientWindow::GetHwnd();
    SetTimer(nullptr, 0, 100, AnswerTimeInput);
    OnServiceCommand(owner, kServiceSetTime, 0);
    EXPECT_EQ(0u, prompts.Count());
}

TEST(ExplorerCommandLine, QuotesTheFolder)
{
    wchar_t line[MAX_PATH];
    ExplorerCommandLine(line, MAX_PATH, L"C:\\Program Files\\Tobal");
    EXPECT_STREQ(L" \"C:\\Program Files\\Tobal\"", line);
}

// ---- report menu ------------------------------------------------------------------------

TEST(ReportMenu, ListsTheReportsOfTheKeyAndGivesTheChosenFile)
{
    const std::wstring path = L"Software\\TobalFluoroTests\\reports-" + std::to_wstring(GetCurrentProcessId());
    SettingsRootScope root(HKEY_CURRENT_USER, path.c_str());
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, (path + L"\\PrintReport").c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    const wchar_t today[] = L"Today.cfg";
    const wchar_t period[] = L"ImagesPeriod.cfg";
    RegSetValueExW(key, L"Today's patients", 0, REG_SZ, reinterpret_cast<const BYTE*>(today), sizeof today);
    RegSetValueExW(key, L"Images of a period", 0, REG_SZ, reinterpret_cast<const BYTE*>(period), sizeof period);
    DWORD number = 5;
    RegSetValueExW(key, L"Not text", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(key);

    wchar_t name[261], data[261];
    // The values come in the registry's order: find each by its text.
    std::vector<TrackedItem> items;
    {
        MenuScript menus(0);
        EXPECT_FALSE(ReportMenu(nullptr, 100, 200, name, data));
        ASSERT_EQ(1, menus.Count());
        items = menus.Last();
        EXPECT_EQ((std::vector<UINT>{1, 2, 3}), menus.LastIds());
        EXPECT_EQ(100, menus.LastPoint().x);
        EXPECT_EQ(200, menus.LastPoint().y);
    }
    auto idOf = [&](const wchar_t* text) {
        for (const TrackedItem& item : items)
            if (item.text == text)
                return static_cast<int>(item.id);
        return 0;
    };
    ASSERT_NE(0, idOf(L"Today's patients"));
    {
        MenuScript menus(idOf(L"Today's patients"));
        BOOL chosen = FALSE;
        try {
            chosen = ReportMenu(nullptr, 100, 200, name, data);
        } catch (DWORD code) {
            FAIL() << "the report menu failed with " << code;
        }
        ASSERT_TRUE(chosen);
        EXPECT_STREQ(L"Today's patients", name);
        EXPECT_STREQ(today, data);
    }
    {
        MenuScript menus(idOf(L"Not text"));
        EXPECT_THROW(ReportMenu(nullptr, 0, 0, name, data), DWORD);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    MenuScript menus(1);
    EXPECT_THROW(ReportMenu(nullptr, 0, 0, name, data), DWORD);
    EXPECT_EQ(0, menus.Count());
}

TEST(PluginMenu, ThereAreItemsWhenThePluginsKeyHasSubkeys)
{
    const std::wstring path = L"Software\\TobalFluoroTests\\plugins-" + std::to_wstring(GetCurrentProcessId());
    SettingsRootScope root(HKEY_CURRENT_USER, path.c_str());
    // The plug-ins are read once per process: each look reads them afresh.
    auto readAgain = [] {
        gPluginList.Clear();
        LoadPlugins();
    };
    readAgain();
    EXPECT_EQ(0, HasPluginMenuItems()) << "no key";
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, (path + L"\\Plugins").c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    readAgain();
    EXPECT_EQ(0, HasPluginMenuItems()) << "an empty key";
    HKEY plugin;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key, L"Viewer", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &plugin, nullptr));
    RegCloseKey(plugin);
    RegCloseKey(key);
    readAgain();
    EXPECT_EQ(1, HasPluginMenuItems());
    gPluginList.Clear();
    RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
}

// ---- the image panel and the images the window opens ------------------------------

namespace {

using MainWindowImages = MainWndSite;

TEST_F(MainWindowImages, AnImagePanelThatCannotBeMadeFailsTheWindow)
{
    UnregisterMainViewSnimokWnd();   // its class is gone: the panel cannot be made
    EXPECT_FALSE(MainPatientWindow::Create());
    EXPECT_EQ(nullptr, MainPatientWindow::GetHwnd());
    EXPECT_FALSE(harness::FindOwnWindow(MainPatientWindow::kClassName));
    ASSERT_TRUE(RegisterMainViewSnimokWnd());
    EXPECT_TRUE(MainPatientWindow::Create()) << "with the class back it opens";
    ASSERT_TRUE(MainViewWnd::Instance());
    EXPECT_EQ(MainPatientWindow::GetHwnd(), GetWindow(MainViewWnd::Instance()->GetHandle(), GW_OWNER));
}

// The thumbnail of the image, clicked by the user's hand.
void ClickThumbnail(HWND cell)
{
    RECT r;
    GetWindowRect(cell, &r);
    harness::MouseMoveTo((r.left + r.right) / 2, r.bottom - 40);
    harness::Pump(20);
    harness::MouseButton(harness::Button::Left, true);
    harness::Pump(20);
    harness::MouseButton(harness::Button::Left, false);
}

// While the real error box is up: what the user sees and does.
struct BoxWatch {
    int boxesSeen = 0;
    bool ownerEnabled = true;
    HWND cell = nullptr;
    int clicks = 0;
};
BoxWatch gBoxWatch;
BOOL CALLBACK FindBox(HWND w, LPARAM p)
{
    wchar_t name[16] = {};
    GetClassNameW(w, name, 16);
    if (wcscmp(name, L"#32770") == 0 && IsWindowVisible(w)) {
        *reinterpret_cast<HWND*>(p) = w;
        return FALSE;
    }
    return TRUE;
}
BOOL CALLBACK CountBoxes(HWND w, LPARAM p)
{
    wchar_t name[16] = {};
    GetClassNameW(w, name, 16);
    if (wcscmp(name, L"#32770") == 0 && IsWindowVisible(w))
        ++*reinterpret_cast<int*>(p);
    return TRUE;
}
void CALLBACK WatchBox(HWND, UINT, UINT_PTR id, DWORD)
{
    int boxes = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountBoxes, reinterpret_cast<LPARAM>(&boxes));
    if (boxes == 0)
        return;
    gBoxWatch.boxesSeen = boxes > gBoxWatch.boxesSeen ? boxes : gBoxWatch.boxesSeen;
    if (gBoxWatch.clicks < 2) {
        // The impatient user clicks the thumbnail again meanwhile.
        gBoxWatch.ownerEnabled = gBoxWatch.ownerEnabled && IsWindowEnabled(MainPatientWindow::GetHwnd());
        ++gBoxWatch.clicks;
        ClickThumbnail(gBoxWatch.cell);
        return;
    }
    KillTimer(nullptr, id);
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
    if (box)
        PostMessageW(box, WM_COMMAND, IDOK, 0);
}

// Drives the real mouse and keyboard: runs alone (see tests.cmake).
using MainWindowImagesRealInput = MainWindowImages;

TEST_F(MainWindowImagesRealInput, ADamagedImagesMessageIsModalToTheWindow)
{
    const DWORD patient = static_cast<DWORD>(patients_[0]);
    const std::vector<DWORD> images = MakeImages(patient, 1);
    ASSERT_EQ(1u, images.size());
    // The image's file is damaged on the disk.
    wchar_t fileName[64] = {};
    {
        const long key = QueryInt(L"SELECT Snimok FROM Snimok WHERE Snimok=" + std::to_wstring(images[0]) + L";");
        ASSERT_EQ((long)images[0], key);
    }
    OpenWindow();
    MainPatientWindow& window = MainPatientWindow::Instance();
    const int row = ListRow(patient);
    ASSERT_GE(row, 0);
    window.GetList()->SelectItem(row);
    Pump(50);
    IconStrip& strip = window.GetStrip();
    ASSERT_EQ(1, strip.RecordCount());
    wcsncpy(fileName, strip.Record(0)->fileName, 63);
    HANDLE file = CreateFileW((folder_ + L"Image\\" + fileName + L".xmg").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, "DIXG and nothing else", 21, &written, nullptr);
    CloseHandle(file);
    HWND cell = strip.Row(0)->hwnd;
    {
        // Its message names the window as its owner.
        PromptScript script({IDOK});
        SendMessageW(cell, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 120));
        SendMessageW(cell, WM_LBUTTONUP, 0, MAKELPARAM(100, 120));
        ASSERT_EQ(1u, script.Count());
        EXPECT_EQ(MainPatientWindow::GetHwnd(), script.Last().owner);
    }
    // The real box: the window takes no clicks while it is up, so clicking
    // the thumbnail again opens no second load and no second box.
    SetForegroundWindow(MainPatientWindow::GetHwnd());
    Pump(30);
    gBoxWatch = BoxWatch{};
    gBoxWatch.cell = cell;
    PromptHook old = SetPromptHook(nullptr);
    SetTimer(nullptr, 0, 150, WatchBox);
    ClickThumbnail(cell);
    Pump(300);
    SetPromptHook(old);
    EXPECT_EQ(2, gBoxWatch.clicks);
    EXPECT_EQ(1, gBoxWatch.boxesSeen) << "one box at a time";
    EXPECT_FALSE(gBoxWatch.ownerEnabled) << "the window waits for the box";
    EXPECT_TRUE(IsWindowEnabled(MainPatientWindow::GetHwnd())) << "and is enabled again after it";
}

// Whether the screen (not what the window holds) shows more than one colour
// across the window's middle: a window raised from below shows blank there.
bool ScreenShowsAPicture(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    HDC screen = GetDC(nullptr);
    std::set<COLORREF> seen;
    for (int step = 1; step < 10; ++step)
        seen.insert(GetPixel(screen, r.left + (r.right - r.left) * step / 10, (r.top + r.bottom) / 2));
    ReleaseDC(nullptr, screen);
    return seen.size() > 1;
}

// A click on a thumbnail with the panel below the main window (as a note of
// the main window left with Escape leaves it): the image opens in the panel
// brought to the front, active with the focus and painted there.
TEST_F(MainWindowImagesRealInput, AThumbnailOpensInThePanelInFrontWithTheFocus)
{
    IconStrip& strip = ChoosePatientWithImages(static_cast<DWORD>(patients_[0]), 2);
    RECT r;
    GetWindowRect(strip.Row(0)->hwnd, &r);
    const POINT click = {(r.left + r.right) / 2, r.bottom - 40};
    const auto onTop = [&] { return GetAncestor(WindowFromPoint(click), GA_ROOT); };
    ASSERT_EQ(1, MainPatientWindow::Instance().OpenImage((DWORD)strip.Record(1)->key, strip.Record(1)->fileName));
    SetForegroundWindow(MainPatientWindow::GetHwnd());
    ASSERT_TRUE(harness::PumpUntil([&] { return onTop() == MainPatientWindow::GetHwnd(); }));
    harness::MouseMoveTo(click.x, click.y);
    harness::MouseButton(harness::Button::Left, true);
    harness::MouseButton(harness::Button::Left, false);
    SnimokWnd* view = nullptr;
    ASSERT_TRUE(harness::PumpUntil([&] {
        view = MainViewWnd::Instance()->GetActiveView();
        return view && view->GetPicture().Get() && view->GetPicture()->imageId == (uint32_t)strip.Record(0)->key;
    }));
    const HWND panel = MainViewWnd::Instance()->GetHandle();
    EXPECT_EQ(panel, onTop());
    EXPECT_EQ(panel, GetForegroundWindow());
    EXPECT_TRUE(GetFocus() == panel || IsChild(panel, GetFocus()));
    EXPECT_TRUE(harness::PumpUntil([&] { return ScreenShowsAPicture(view->GetHwnd()); }));
}

TEST_F(MainWindowImages, TheImagePanelsCaptionIsReadFromTheDatabase)
{
    const DWORD patient = static_cast<DWORD>(patients_[0]);
    IconStrip& strip = ChoosePatientWithImages(patient, 1);
    ASSERT_EQ(1, strip.RecordCount());
    HWND cell = strip.Row(0)->hwnd;
    SendMessageW(cell, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 120));
    SendMessageW(cell, WM_LBUTTONUP, 0, MAKELPARAM(100, 120));
    MainViewWnd* panel = MainViewWnd::Instance();
    ASSERT_TRUE(panel && panel->IsShown());
    const std::wstring name1 = L"Kuznetsova";
    EXPECT_EQ(CaptionText(), panel->GetCaption()) << "the line the main window shows for him";
    // An edit of the patient reaches the caption when the panel reads him again.
    ASSERT_TRUE(Exec(L"UPDATE Patient SET Name1=N'" + name1 + L"' WHERE Patient=" + std::to_wstring(patient) + L";"));
    panel->ReloadPatient();
    EXPECT_EQ(0u, std::wstring(panel->GetCaption()).find(name1 + L" ")) << std::string(name1.begin(), name1.end());
    // A patient deleted meanwhile is said to be gone and no longer shown.
    ASSERT_TRUE(Exec(L"DELETE FROM Snimok WHERE Patient=" + std::to_wstring(patient) + L";"));
    ASSERT_TRUE(Exec(L"DELETE FROM Patient WHERE Patient=" + std::to_wstring(patient) + L";"));
    {
        PromptScript script({IDOK});
        panel->ReloadPatient();
        ASSERT_EQ(1u, script.Count());
        EXPECT_EQ(Str(IDS_PATIENT_NOT_FOUND), script.Last().text);   // in the running language
    }
    EXPECT_EQ(std::wstring::npos, std::wstring(panel->GetCaption()).find(name1));
}

}  // namespace
