// The archive window: its status lines, menus and keys, the jobs it starts
// and how it shows them, the deletions by date and of imported images, the
// remove-disk request and the mouse-over help.
#include "archive_fixture.h"

#include "app/inputtext.h"
#include "archive/arjwindow.h"
#include "archive/arjworker.h"
#include "archive/diskprep.h"
#include "archive/formatworker.h"
#include "common/prompt_script.h"
#include "common/window_harness.h"
#include "exchange/disks/arjregistry.h"
#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/button.h"
#include "ui/control_font.h"
#include "ui/scroll.h"
#include "ui/tooltip.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>

using namespace arjtest;

namespace {

const DWORD kSerial = 0x5A5A1234;

std::wstring MenuText(HMENU menu, UINT id)
{
    wchar_t text[128] = L"";
    GetMenuStringW(menu, id, text, 128, MF_BYCOMMAND);
    return text;
}

bool MenuGrey(HMENU menu, UINT id)
{
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE;
    GetMenuItemInfoW(menu, id, FALSE, &info);
    return (info.fState & MFS_GRAYED) != 0;
}

std::wstring StatusBarText(HWND bar)
{
    wchar_t text[256] = L"";
    SendMessageW(bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
    return text;
}

// A date as the program writes it (its date picture).
std::wstring DateText(WORD year, WORD month, WORD day)
{
    SYSTEMTIME st = {year, month, 0, day, 0, 0, 0, 0};
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    wchar_t text[64] = L"";
    FormatFileTime(text, 64, DatePicture, &ft);
    return text;
}

std::wstring WithoutReturns(std::wstring text)
{
    text.erase(std::remove(text.begin(), text.end(), L'\r'), text.end());
    return text;
}

std::wstring ButtonText(DButton& button)
{
    wchar_t text[64] = L"";
    button.GetText(text, 64);
    return text;
}

class ArjWindowTest : public ArchiveDbTest {
protected:
    void SetUp() override
    {
        ArchiveDbTest::SetUp();
        if (HasFatalFailure())
            return;
        patient_ = AddPatient(L"Volkov");
        IsAdministrator = false;
        SetDateTimeFormats();   // the date pictures of the locale, as the settings loader sets them
    }
    void TearDown() override
    {
        window_.reset();
        ArchiveDbTest::TearDown();
    }
    ArjWindow& Open()
    {
        window_.reset(new ArjWindow);
        EXPECT_TRUE(window_->Create(nullptr));
        harness::Pump(50);
        return *window_;
    }
    void Key(WPARAM key)
    {
        SendMessageW(window_->GetHwnd(), WM_KEYDOWN, key, 0);
    }
    // Pumps until no job runs (bounded).
    bool WaitIdle(DWORD timeoutMs = 30000)
    {
        return harness::PumpUntil([this] { return (window_->JobBits() & kJobMask) == 0; }, timeoutMs);
    }
    bool WaitWaiting(DWORD timeoutMs = 30000)
    {
        return harness::PumpUntil([this] { return (window_->JobBits() & kBitWaiting) != 0; }, timeoutMs);
    }
    DiskMedium* ReadyDisk()
    {
        DiskMedium* disk = MakeDisk(0, kSerial, "MO1");
        RegisterDisk(kSerial, L"MO1");
        CreateDirectoryW((disk->Folder() + L"Images").c_str(), nullptr);
        return disk;
    }
    HMENU Menu() { return GetMenu(window_->GetHwnd()); }

    ArchiveClasses classes_;
    std::unique_ptr<ArjWindow> window_;
    LONG patient_ = 0;
};

}  // namespace

TEST_F(ArjWindowTest, OpensCentredWithItsCountsAndLines)
{
    AddImage(patient_, L"W0000000001", 1000);
    AddImage(patient_, L"W0000000002", 1000);
    AddImage(patient_, L"W0000000003", 1000, L"2020-01-01", 100, 0);
    Exec(L"UPDATE Snimok SET Arj=NULL;");
    Exec(L"INSERT INTO DelImage ([File Name], Arj, [Disk]) VALUES ('X1', NULL, 1);");
    BYTE date[8];
    SYSTEMTIME st = {2023, 4, 0, 5, 10, 0, 0, 0};
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    memcpy(date, &ft, 8);
    ArjRegWrite(L"BackupDB", L"LastDBDate", REG_BINARY, date, 8);
    ArjRegWrite(L"BackupDB", L"DiskLastCopyDB", REG_SZ, L"DBDISK", 0);
    const DWORD average = 1048576;
    ArjRegWrite(L"Arj", L"AverageImage", REG_DWORD, &average, sizeof average);

    ArjWindow& window = Open();
    wchar_t title[64] = L"";
    GetWindowTextW(window.GetHwnd(), title, 64);
    EXPECT_EQ(Str(IDS_ARCHIVING_TITLE), title);
    RECT r = {};
    GetWindowRect(window.GetHwnd(), &r);
    EXPECT_GE(r.left, 0);
    EXPECT_GE(r.top, 0);
    EXPECT_LE(r.right, 1280);
    EXPECT_LE(r.bottom, 1024);
    EXPECT_LE(abs((r.left + r.right) / 2 - 640), 2);

    EXPECT_EQ(3, window.NotArchivedCount());
    EXPECT_EQ(1, window.MarkedCount());
    EXPECT_EQ(Str(IDS_MARKED_IMAGES) + L": 1", window.LineText(kInfoMarked));
    EXPECT_EQ(L"Images Not Archived: 3", window.LineText(kInfoNotArchived));
    EXPECT_EQ(L"Images Copied: 0", window.LineText(kInfoCopied));
    EXPECT_EQ(L"Recommended Free Space: 20 MB", window.LineText(kInfoRecommended));
    EXPECT_EQ(L"Last DB Backup On: 05.04.2023", window.LineText(kInfoLastBackup));
    EXPECT_EQ(L"Disk Name: DBDISK", window.LineText(kInfoDiskName));
    EXPECT_EQ(Str(IDS_REMOVABLE_FREE_UNKNOWN), window.LineText(kInfoRemovableFree)) << "no disk in the drive";
    const std::wstring hardDisk = window.LineText(kInfoHardDiskFree);
    EXPECT_EQ(L"Free Space On Hard Disk: " + std::to_wstring(window.HardDiskFreeMb()) + L" Images", hardDisk)
        << "an average of one megabyte: one image per free megabyte";
    EXPECT_EQ(Str(IDS_ARCHIVE_READY), window.StatusText());
    EXPECT_EQ(static_cast<DWORD>(kBitCreated), window.JobBits());

    // Buttons: Start, Stop (disabled), Remove Disk, Close.
    EXPECT_EQ(Str(IDS_START), ButtonText(window.Button(kArjStart)));
    EXPECT_FALSE(IsWindowEnabled(window.Button(kArjStop).GetHwnd()));
    EXPECT_TRUE(IsWindowEnabled(window.Button(kArjRemoveDisk).GetHwnd()));
    for (int i = 0; i + 1 < kArjButtons; ++i) {
        const RECT& a = window.Layout().buttons[i];
        const RECT& b = window.Layout().buttons[i + 1];
        EXPECT_LT(a.right, b.left) << "the buttons stand apart in one row";
        EXPECT_EQ(a.top, b.top);
    }
}

TEST_F(ArjWindowTest, ZeroAverageCountsTwoMegabytesAnImageAndNoMarksSayNothingToDelete)
{
    ArjWindow& window = Open();
    EXPECT_EQ(0u, window.AverageImageSize()) << "no \"AverageImage\": 0";
    EXPECT_EQ(L"Free Space On Hard Disk: " + std::to_wstring(window.HardDiskFreeMb() / 2) + L" Images",
              window.LineText(kInfoHardDiskFree));
    EXPECT_EQ(Str(IDS_NO_IMAGES_MARKED), window.LineText(kInfoMarked));
}

TEST_F(ArjWindowTest, CountThatCannotBeReadShowsTheMarkedLineWithoutANumber)
{
    Exec(L"DROP TABLE DelImage;");
    ArjWindow& window = Open();
    EXPECT_EQ(-1, window.MarkedCount());
    EXPECT_EQ(Str(IDS_MARKED_IMAGES), window.LineText(kInfoMarked));
}

TEST_F(ArjWindowTest, MenuHoldsItsItemsAndTheSettingsOnlyForAdministrators)
{
    IsAdministrator = true;
    ArjWindow& window = Open();
    HMENU menu = Menu();
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(3, GetMenuItemCount(menu));
    EXPECT_EQ(L"Archiving\tF5", MenuText(menu, kCmdArchive));
    EXPECT_EQ(L"Format and Register\tF3", MenuText(menu, kCmdFormatRegister));
    EXPECT_EQ(L"Disk preparetion for archiving DB", MenuText(menu, kCmdPrepareDisk));
    EXPECT_TRUE(MenuText(menu, kCmdDeleteImported).empty()) << "only a mobile site deletes imported images";
    EXPECT_EQ(Str(IDS_DATABASE_ARCHIVING_SETTINGS), MenuText(menu, kCmdSettings));
    (void)window;

    window_.reset();
    IsAdministrator = false;
    MobilMode = 1;
    Open();
    EXPECT_EQ(2, GetMenuItemCount(Menu()));
    EXPECT_EQ(L"Delete Imported", MenuText(Menu(), kCmdDeleteImported));
}

TEST_F(ArjWindowTest, SettingsItemOpensTheBackupSettingsOverTheWindow)
{
    IsAdministrator = true;
    ArjWindow& window = Open();
    ArjRegWrite(L"BackupDB", L"File", REG_SZ, L"clinic.bak", 0);
    HWND owner = nullptr;
    std::wstring file;
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        owner = GetWindow(dialog, GW_OWNER);
        wchar_t text[64] = L"";
        GetDlgItemTextW(dialog, IDC_BACKUP_FILE, text, 64);
        file = text;
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    SendMessageW(window.GetHwnd(), WM_COMMAND, kCmdSettings, 0);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(window.GetHwnd(), owner);
    EXPECT_EQ(L"clinic.bak", file) << "the dialog shows the values the backup job reads";
}

TEST_F(ArjWindowTest, F5RunsTheArchiveJobAndTheStatusFollowsIt)
{
    DiskMedium* disk = ReadyDisk();
    ASSERT_TRUE(InsertDisk(disk));
    const LONG key = AddImage(patient_, L"W0000000011", 5000);
    ArjWindow& window = Open();
    Key(VK_F5);
    EXPECT_EQ(Str(IDS_JOB_ARCHIVING), window.StatusText());
    EXPECT_TRUE(window.TimerRunning());
    EXPECT_EQ(kStatusRunning, window.StatusColour());
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Str(IDS_ARCHIVING_COMPLETE), window.StatusText());
    EXPECT_FALSE(window.TimerRunning());
    EXPECT_EQ(std::to_wstring(static_cast<LONG>(kSerial)),
              Scalar(L"SELECT Arj FROM Snimok WHERE Snimok=" + std::to_wstring(key) + L";"));
    EXPECT_EQ(L"Images Copied: 1", window.LineText(kInfoCopied));
    EXPECT_EQ(L"Images Not Archived: 0", window.LineText(kInfoNotArchived));
    EXPECT_FALSE(MenuGrey(Menu(), kCmdArchive));
    EXPECT_TRUE(IsWindowEnabled(window.Button(kArjStart).GetHwnd()));
    EXPECT_FALSE(IsWindowEnabled(window.Button(kArjStop).GetHwnd()));
    EXPECT_TRUE(window.JobBits() & kBitAverageChanged);
}

TEST_F(ArjWindowTest, WaitingWorkerShowsContinueAndF4ResumesIt)
{
    DiskMedium* disk = ReadyDisk();
    const LONG key = AddImage(patient_, L"W0000000021", 5000);
    ArjWindow& window = Open();
    Key(VK_F5);
    ASSERT_TRUE(WaitWaiting()) << Narrow(window.FaultText());
    EXPECT_EQ(L" Continue", ButtonText(window.Button(kArjStart)));
    EXPECT_TRUE(IsWindowEnabled(window.Button(kArjStart).GetHwnd()));
    EXPECT_TRUE(IsWindowEnabled(window.Button(kArjRemoveDisk).GetHwnd()));
    EXPECT_EQ(kStatusWaiting, window.StatusColour());
    EXPECT_EQ(Str(IDS_CHECK_DISK_IN_DRIVE), window.ActionText());
    EXPECT_TRUE(MenuGrey(Menu(), kCmdArchive)) << "the menu stays grey while the job waits";
    Key(VK_F5);   // a second F5 does not start another job: it is Continue
    ASSERT_TRUE(WaitWaiting());
    ASSERT_TRUE(InsertDisk(disk));
    Key(VK_F4);
    EXPECT_EQ(0u, window.JobBits() & kBitWaiting);
    EXPECT_TRUE(window.FaultText().empty());
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Str(IDS_ARCHIVING_COMPLETE), window.StatusText());
    EXPECT_EQ(std::to_wstring(static_cast<LONG>(kSerial)),
              Scalar(L"SELECT Arj FROM Snimok WHERE Snimok=" + std::to_wstring(key) + L";"));
}

TEST_F(ArjWindowTest, EscapeStopsAWaitingJobAndThenClosesTheWindow)
{
    AddImage(patient_, L"W0000000031", 5000);
    ArjWindow& window = Open();
    Key(VK_F5);
    ASSERT_TRUE(WaitWaiting());
    Key(VK_ESCAPE);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Str(IDS_ARCHIVING_USER_STOPPED), window.StatusText());
    EXPECT_TRUE(IsWindow(window.GetHwnd()));
    Key(VK_ESCAPE);
    EXPECT_FALSE(IsWindow(window.GetHwnd())) << "with no job, Escape closes the window";
    DWORD average = 7, size = sizeof average;
    EXPECT_FALSE(ArjRegRead(L"Arj", L"AverageImage", REG_DWORD, &average, &size)) << "no copy, no new average";
}

TEST_F(ArjWindowTest, CloseWritesTheAverageImageSizeItLearnt)
{
    DiskMedium* disk = ReadyDisk();
    ASSERT_TRUE(InsertDisk(disk));
    AddImage(patient_, L"W0000000041", 70000);
    ArjWindow& window = Open();
    Key(VK_F5);
    ASSERT_TRUE(WaitIdle());
    SendMessageW(window.GetHwnd(), WM_CLOSE, 0, 0);
    DWORD average = 0, size = sizeof average;
    ASSERT_TRUE(ArjRegRead(L"Arj", L"AverageImage", REG_DWORD, &average, &size));
    EXPECT_EQ(70000u, average);
}

TEST_F(ArjWindowTest, F8WithoutMarkedImagesDoesNothingAndF6ClearsTheDisk)
{
    ArjWindow& window = Open();
    Key(VK_F8);
    EXPECT_EQ(0u, window.JobBits() & kJobMask);
    EXPECT_EQ(Str(IDS_ARCHIVE_READY), window.StatusText());
    Key(VK_F6);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Str(IDS_CLEARING_COMPLETE), window.StatusText());
}

TEST_F(ArjWindowTest, F8DeletesTheMarkedImagesAndTheCountFollows)
{
    Exec(L"INSERT INTO DelImage ([File Name], Arj, [Disk]) VALUES ('M0000000001', NULL, 1);");
    WriteFileOfSize(HddImage(L"M0000000001"), 100);
    ArjWindow& window = Open();
    EXPECT_EQ(1, window.MarkedCount());
    Key(VK_F8);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Str(IDS_DELETING_COMPLETE), window.StatusText());
    EXPECT_EQ(0, window.MarkedCount());
    EXPECT_EQ(Str(IDS_NO_IMAGES_MARKED), window.LineText(kInfoMarked));
    EXPECT_FALSE(Exists(HddImage(L"M0000000001")));
}

TEST_F(ArjWindowTest, FormatNamesAreCheckedBeforeAnyJob)
{
    ArjWindow& window = Open();
    struct Case {
        const wchar_t* typed;
        unsigned fault;
    };
    const Case cases[] = {{L"Disk", IDS_DISK_NAME_INVALID},
                          {L"", IDS_DISK_NAME_NOT_DEFINED},
                          {L"NAMEOFTHIRTEEN", IDS_DISK_NAME_TOO_LONG}};
    for (const Case& c : cases) {
        ModalDriver driver;
        driver.Then(InpTextWnd::kClassName, [&](HWND input) { return AnswerInputText(input, c.typed); });
        Key(VK_F3);
        EXPECT_TRUE(driver.Done());
        EXPECT_EQ(Str(c.fault), window.FaultText()) << Narrow(c.typed);
        EXPECT_EQ(Str(IDS_FORMATTING_PROGRAM_STOPPED), window.StatusText());
        EXPECT_EQ(0u, window.JobBits() & kJobMask);
        EXPECT_FALSE(window.Link().HasThread());
    }
}

TEST_F(ArjWindowTest, ShiftF3RegistersTheDiskInTheDrive)
{
    DiskMedium* disk = MakeDisk(0, kSerial, "NEWDISK");
    ASSERT_TRUE(InsertDisk(disk));
    ArjWindow& window = Open();
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    Key(VK_F3);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(Str(IDS_JOB_REGISTERING), window.StatusText());
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Str(IDS_REGISTERING_COMPLETE), window.StatusText());
    EXPECT_EQ(L"NEWDISK", Scalar(L"SELECT Name FROM Arj;"));
}

TEST_F(ArjWindowTest, DeleteBeforeADateMarksTheImagesAndDeletesTheirFiles)
{
    const LONG old = AddImage(patient_, L"W0000000051", 100, L"2010-03-01");
    const LONG kept = AddImage(patient_, L"W0000000052", 100, L"2022-03-01");
    const LONG protectedImage = AddImage(patient_, L"W0000000053", 100, L"2010-03-02");
    Exec(L"UPDATE Snimok SET NoDelete=1 WHERE Snimok=" + std::to_wstring(protectedImage) + L";");
    ArjWindow& window = Open();
    std::wstring offered;
    ModalDriver driver;
    driver.Then(InpTextWnd::kClassName, [&](HWND input) {
        wchar_t text[64] = L"";
        GetWindowTextW(WindowObject<InpTextWnd>(input)->GetEdit(), text, 64);
        offered = text;
        return AnswerInputText(input, DateText(2015, 1, 1).c_str());
    });
    PromptScript prompts({IDYES, IDYES});
    SendMessageW(window.GetHwnd(), WM_COMMAND, kCmdDeleteBefore, 0);
    const std::wstring typed = DateText(2015, 1, 1);
    EXPECT_TRUE(driver.Done());

    // The offered date is three years back.
    FILETIME now, local;
    GetSystemTimeAsFileTime(&now);
    FileTimeToLocalFileTime(&now, &local);
    ULARGE_INTEGER t = {{local.dwLowDateTime, local.dwHighDateTime}};
    t.QuadPart -= 1095ull * 24 * 3600 * 10000000ull;
    FILETIME before = {t.LowPart, t.HighPart};
    wchar_t expected[64] = L"";
    FormatFileTime(expected, 64, DatePicture, &before);
    EXPECT_EQ(expected, offered);

    ASSERT_EQ(2u, prompts.Count());
    EXPECT_EQ(Str(IDS_CONFIRM_DELETE_BEFORE) + L" " + typed, prompts.Prompts()[0].text);
    EXPECT_EQ(Str(IDS_DELETING_IMAGES_CAPTION), prompts.Prompts()[0].caption);
    EXPECT_EQ(L"ВНИМАНИЕ Будет удалено  снимков: 1 шт.\nПродолжить удаление снимков?",
              WithoutReturns(prompts.Prompts()[1].text));
    EXPECT_EQ(L"Сообщение", prompts.Prompts()[1].caption);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Str(IDS_DELETING_COMPLETE), window.StatusText());
    EXPECT_EQ(0, Count(L"Snimok WHERE Snimok=" + std::to_wstring(old)));
    EXPECT_EQ(1, Count(L"Snimok WHERE Snimok=" + std::to_wstring(kept)));
    EXPECT_EQ(1, Count(L"Snimok WHERE Snimok=" + std::to_wstring(protectedImage)));
    EXPECT_FALSE(Exists(HddImage(L"W0000000051")));
    EXPECT_TRUE(Exists(HddImage(L"W0000000052")));
    EXPECT_EQ(0, Count(L"DelImage"));
}

TEST_F(ArjWindowTest, DeleteBeforeADateStopsAtAnInvalidDateOrANo)
{
    AddImage(patient_, L"W0000000061", 100, L"2010-03-01");
    ArjWindow& window = Open();
    {
        ModalDriver driver;
        driver.Then(InpTextWnd::kClassName, [](HWND input) { return AnswerInputText(input, L"32.13.2015"); });
        SendMessageW(window.GetHwnd(), WM_COMMAND, kCmdDeleteBefore, 0);
        EXPECT_EQ(Str(IDS_INVALID_DATE_FORMAT), window.FaultText());
        EXPECT_EQ(Str(IDS_DELETION_PAUSED), window.StatusText());
    }
    {
        ModalDriver driver;
        driver.Then(InpTextWnd::kClassName,
                    [](HWND input) { return AnswerInputText(input, DateText(2015, 1, 1).c_str()); });
        PromptScript prompts({IDNO});
        SendMessageW(window.GetHwnd(), WM_COMMAND, kCmdDeleteBefore, 0);
        EXPECT_EQ(Str(IDS_DELETING_PROGRAM_STOPPED), window.StatusText());
    }
    EXPECT_EQ(1, Count(L"Snimok"));
    EXPECT_EQ(0, Count(L"DelImage"));
}

TEST_F(ArjWindowTest, DeleteImportedAsksFirstAndDeletesOnlyOnYes)
{
    MobilMode = 1;
    const LONG imported = AddImage(patient_, L"W0000000071", 100);
    AddImage(patient_, L"W0000000072", 100);
    Exec(L"UPDATE Snimok SET imported=1 WHERE Snimok=" + std::to_wstring(imported) + L";");
    ArjWindow& window = Open();
    {
        PromptScript prompts({IDNO});
        SendMessageW(window.GetHwnd(), WM_COMMAND, kCmdDeleteImported, 0);
        ASSERT_EQ(1u, prompts.Count());
        EXPECT_NE(std::wstring::npos, prompts.Last().text.find(L"(1)")) << Narrow(prompts.Last().text);
        EXPECT_EQ(2, Count(L"Snimok"));
        EXPECT_EQ(0u, window.JobBits() & kJobMask);
    }
    PromptScript prompts({IDYES});
    SendMessageW(window.GetHwnd(), WM_COMMAND, kCmdDeleteImported, 0);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(1, Count(L"Snimok"));
    EXPECT_FALSE(Exists(HddImage(L"W0000000071")));
    EXPECT_TRUE(Exists(HddImage(L"W0000000072")));
    EXPECT_EQ(Str(IDS_DELETING_COMPLETE), window.StatusText());
}

TEST_F(ArjWindowTest, RemoveDiskAsksTheServiceAndShowsItsRefusal)
{
    extest::DiskService service;
    ASSERT_TRUE(service.Listening());
    DiskMedium* disk = ReadyDisk();
    ASSERT_TRUE(InsertDisk(disk));
    ArjWindow& window = Open();
    Key(VK_F2);
    EXPECT_TRUE(window.FaultText().empty()) << Narrow(window.FaultText());
    EXPECT_FALSE(archiveDrive_->HasDisk()) << "the disk was ejected";

    Key(VK_F2);   // nothing left to eject: the service says so
    EXPECT_EQ(Str(IDS_DISK_REMOVE_ERROR), window.FaultText());
    EXPECT_FALSE(window.ActionText().empty());
    EXPECT_TRUE(window.JobBits() & kBitRemoveError);

    ASSERT_TRUE(InsertDisk(disk));
    Key(VK_F2);
    EXPECT_TRUE(window.FaultText().empty()) << "an earlier remove error is cleared first";
    EXPECT_EQ(0u, window.JobBits() & kBitRemoveError);
}

TEST_F(ArjWindowTest, RemoveDiskWithoutTheServiceSaysThePipeCannotBeOpened)
{
    ArjWindow& window = Open();
    PromptScript prompts({IDOK});
    SendMessageW(window.GetHwnd(), WM_COMMAND, kCmdEject, 0);
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(Str(IDS_PIPE_CREATE_ERROR), prompts.Last().text);
    EXPECT_EQ(window.GetHwnd(), prompts.Last().owner);
}

TEST_F(ArjWindowTest, MouseOverTheLinesShowsTheirHelpInTheStatusBar)
{
    ArjWindow& window = Open();
    const auto centre = [&](const RECT& r) { return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2); };
    const struct {
        RECT rect;
        std::wstring help;
    } areas[] = {
        {window.Layout().actionBox, Str(IDS_HELP_TROUBLESHOOTING)},
        {window.Layout().faultBox, Str(IDS_HELP_FAULT_REASON)},
        {window.Layout().statusLine, Str(IDS_HELP_STATUS)},
        {window.Layout().info[kInfoMarked], Str(IDS_HELP_MARKED)},
        {window.Layout().info[kInfoNotArchived], Str(IDS_HELP_NOT_ARCHIVED)},
        {window.Layout().info[kInfoCopied], Str(IDS_HELP_COPIED)},
        {window.Layout().info[kInfoRecommended], Str(IDS_HELP_RECOMMENDED)},
        {window.Layout().info[kInfoHardDiskFree],
         L"Hard Disk  Free Space " + std::to_wstring(window.HardDiskFreeMb()) + L" MB"},
    };
    for (const auto& area : areas) {
        SendMessageW(window.GetHwnd(), WM_MOUSEMOVE, 0, centre(area.rect));
        EXPECT_EQ(area.help, StatusBarText(window.StatusBar()));
    }
    SendMessageW(window.GetHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    EXPECT_TRUE(StatusBarText(window.StatusBar()).empty());
}

// However a job ends, the window shows it from what the worker told it: a
// job that failed is "Interrupted By Program" with the fault's text kept in
// its boxes (the worker's result, or its notice that the job stops with an
// error, which a format job that refuses its disk ends with alone); a
// backup that reached its disk shows that disk and the date on its lines.
TEST_F(ArjWindowTest, EveryJobEndsAsTheWorkerSaysAndTheWindowShowsWhy)
{
    UseBackupSlots(data_->Path() + L"Backup\\");
    DiskMedium* disk = ReadyDisk();
    ASSERT_TRUE(InsertDisk(disk));
    WriteDiskCfg(disk->Folder(), 1, {L"hospital.bak"});
    SYSTEMTIME today;
    GetLocalTime(&today);
    wchar_t date[16];
    _snwprintf(date, 15, L"%02u.%02u.%04u", today.wDay, today.wMonth, today.wYear);
    date[15] = 0;

    struct Case {
        const char* what;
        std::wstring setup;               // statements before the window opens
        std::function<void()> start;      // what the user does
        unsigned status;                  // the end text
        std::wstring fault;               // part of "Possible fault reason"; empty: both boxes empty
        std::vector<std::pair<int, std::wstring>> lines;
    };
    const Case cases[] = {
        {"a marked image of a disk Arj does not know",
         L"INSERT INTO DelImage ([File Name], Arj, [Disk]) VALUES ('U0000000001', 2004318071, 1);",
         [&] { Key(VK_F8); }, IDS_DELETING_PROGRAM_STOPPED, Str(IDS_ARCHIVE_DISK_UNKNOWN), {}},
        {"a marked row without a name", L"INSERT INTO DelImage ([File Name], Arj, [Disk]) VALUES ('', NULL, 1);",
         [&] { Key(VK_F8); }, IDS_DELETING_PROGRAM_STOPPED, L"ArjWorker::DeleteMarked", {}},
        {"an image whose name leaves the image folder",
         L"INSERT INTO Snimok (Patient, [Disk], [Date file], [File name]) VALUES (" + std::to_wstring(patient_) +
             L", 1, '2020-01-01', '..\\Outside');",
         [&] { Key(VK_F5); }, IDS_ARCHIVING_PROGRAM_STOPPED, L"\"..\\Outside\"", {}},
        {"a disk name another disk has", L"INSERT INTO Arj (Arj, Name) VALUES (77, 'TAKEN');",
         [&] {
             EjectDisk();
             ModalDriver driver;
             driver.Then(InpTextWnd::kClassName, [](HWND input) { return AnswerInputText(input, L"TAKEN"); });
             Key(VK_F3);
             EXPECT_TRUE(driver.Done());
         },
         IDS_FORMAT_REGISTER_PROGRAM_STOPPED, L"TAKEN", {}},
        {"a backup", L"", [&] { SendMessageW(window_->GetHwnd(), WM_COMMAND, kCmdBackup, 0); },
         IDS_ARCHIVING_COMPLETE, L"",
         {{kInfoDiskName, L"Disk Name: MO1"}, {kInfoLastBackup, std::wstring(L"Last DB Backup On: ") + date}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Exec(L"DELETE FROM DelImage;");
        Exec(L"DELETE FROM Snimok;");
        if (!c.setup.empty())
            Exec(c.setup);
        InsertDisk(disk);
        ArjWindow& window = Open();
        c.start();
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(Str(c.status), window.StatusText());
        if (c.fault.empty()) {
            EXPECT_TRUE(window.FaultText().empty()) << Narrow(window.FaultText());
            EXPECT_TRUE(window.ActionText().empty()) << Narrow(window.ActionText());
        } else {
            EXPECT_NE(std::wstring::npos, window.FaultText().find(c.fault)) << Narrow(window.FaultText());
        }
        for (const auto& line : c.lines)
            EXPECT_EQ(line.second, window.LineText(line.first));
    }
}

// The workers speak the language of the program that starts them.
TEST_F(ArjWindowTest, WorkerTextsAreInTheProgramsLanguage)
{
    AddImage(patient_, L"W0000000081", 5000);
    ThreadLanguage russian(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
    ArjWindow& window = Open();
    Key(VK_F5);   // no disk in the drive: the worker asks for one
    ASSERT_TRUE(WaitWaiting());
    EXPECT_EQ(Str(IDS_CHECK_DISK_IN_DRIVE), window.ActionText());
    EXPECT_NE(std::wstring::npos, window.ActionText().find(L"диск")) << Narrow(window.ActionText());
    Key(VK_ESCAPE);
    ASSERT_TRUE(WaitIdle());
}
