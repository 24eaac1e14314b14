// The synchronisation window driven as the staff drive it: its fields and
// buttons at the start, one window at a time, the counts, a whole hard-disk
// synchronisation, the archive-disk loop over two simulated disks with the
// disk service stand-in, cancelling, closing while the worker runs (also
// while the worker waits for a prompt the window owns), the auxiliary
// tables, ejecting the archive disk and choosing the archive location.
#include "sync_wnd_fixture.h"

#include "exchange/disks/arjregistry.h"
#include "exchange/disks/disksrvclient.h"
#include "exchange/sync/synchrrestore.h"
#include "exchange/sync/syncformat.h"
#include "exchange/sync/synctables.h"
#include "foundation/globals.h"
#include "foundation/prompt.h"
#include "resources/resource.h"

#include <commctrl.h>
#include <shlobj.h>

#include <atomic>
#include <mutex>

namespace extest {
namespace {

const DWORD kSerialA = 0x1234ABCD;
const DWORD kSerialB = 0x9ABCDEF0;   // negative as a key

using SyncWindow = SyncWindowTest;

std::wstring MenuState(HMENU menu, UINT id)
{
    return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) ? L"grayed" : L"enabled";
}

// Writes empty ".xmg" files C<n> on a disk folder (the scans read names only).
void MakeEmptyImages(const std::wstring& folder, int count)
{
    for (int i = 0; i < count; ++i) {
        wchar_t name[40];
        _snwprintf(name, 39, L"C%.10u%.10u.xmg", 2u, static_cast<unsigned>(i + 1));
        name[39] = 0;
        HANDLE f = CreateFileW((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(f);
    }
}

TEST_F(SyncWindow, OpensWithTheSettingsValuesTheButtonsStatesAndNoCounts)
{
    ASSERT_TRUE(ArjRegWrite(kSynDbKey, kSynDbImgDir, REG_SZ, L"Q:\\Arch", 0));
    // A label of 32 characters, the most a volume has.
    ASSERT_TRUE(ArjRegWrite(kSynDbKey, kSynDbLastScanDisk, REG_SZ, L"ARCHIVE_OF_THE_CLINIC_2024_WEST7", 0));
    OpenWindow();
    wchar_t title[64] = L"";
    GetWindowTextW(W().GetHwnd(), title, 64);
    EXPECT_STREQ(L"Синхронизация БД", title);
    EXPECT_EQ(owner_, GetWindow(W().GetHwnd(), GW_OWNER));
    EXPECT_TRUE(IsWindowEnabled(owner_));   // the main window stays enabled
    EXPECT_EQ(std::wstring(DataPath), W().FieldText(ScanDbWindow::kDatabasePath));
    EXPECT_EQ(L"Q:\\Arch", W().FieldText(ScanDbWindow::kArchivePath));
    EXPECT_EQ(L"ARCHIVE_OF_THE_CLINIC_2024_WEST7", W().FieldText(ScanDbWindow::kLastDisk));
    EXPECT_EQ(L"0(0)", Counts());
    EXPECT_EQ(L"", Status());
    const bool enabled[ScanDbWindow::kButtonCount] = {false, true, true, true, false, true, true, false, true};
    const wchar_t* texts[ScanDbWindow::kButtonCount] = {L"Указать",    L"Указать",    L"Закрыть",
                                                        L"Сканировать", L"Отмена",     L"Создать ТС",
                                                        L"Синхр. БД",   L"Продолжить", L"Извлечь диск"};
    for (int i = 0; i < ScanDbWindow::kButtonCount; ++i) {
        EXPECT_EQ(enabled[i], Enabled(static_cast<ScanDbWindow::ButtonId>(i))) << i;
        EXPECT_EQ(texts[i], W().ButtonText(static_cast<ScanDbWindow::ButtonId>(i))) << i;
    }
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(W().HddRadio(), BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(W().ArchiveRadio(), BM_GETCHECK, 0, 0));
    // "Сканировать" with neither radio button checked does nothing.
    ASSERT_TRUE(Push(ScanDbWindow::kScan));
    EXPECT_FALSE(W().IsBusy());
    EXPECT_EQ(L"", Status());
}

TEST_F(SyncWindow, OneWindowAtATimeAndItsClassesGoWithIt)
{
    OpenWindow();
    EXPECT_EQ(window_, ScanDbWindow::Current());
    EXPECT_EQ(1, ScanDbWindow::Run(owner_));   // returns at once
    EXPECT_EQ(nullptr, ScanDbWindow::Open(owner_));
    EXPECT_EQ(window_, ScanDbWindow::Current());
    int windows = 0;
    for (HWND w = FindWindowExW(nullptr, nullptr, ScanDbWindow::kClassName, nullptr); w;
         w = FindWindowExW(nullptr, w, ScanDbWindow::kClassName, nullptr)) {
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        windows += process == GetCurrentProcessId();
    }
    EXPECT_EQ(1, windows);
    CloseWindow();
    EXPECT_EQ(nullptr, ScanDbWindow::Current());
    WNDCLASSEXW wc = {sizeof wc};
    EXPECT_FALSE(GetClassInfoExW(hInstance, ScanDbWindow::kClassName, &wc));
    EXPECT_FALSE(GetClassInfoExW(hInstance, ErrMsgWin::kClassName, &wc));
    OpenWindow();   // and it opens again
}

TEST_F(SyncWindow, TheCountsAreTheFreeAndTheSuspectRowsOfSnimokDif)
{
    Exec(L"CREATE TABLE Snimok_dif ([File name] nchar(21) NOT NULL PRIMARY KEY, [Disk] bit NOT NULL, [Arj] int NULL, "
         L"[nodel] bit NOT NULL DEFAULT 0, [fmove] bit NOT NULL DEFAULT 0);");
    for (const wchar_t* row : {L"'A1', 1, NULL, 0", L"'A2', 1, NULL, 0", L"'A3', 0, 5, 0", L"'B1', 1, NULL, 1",
                               L"'B2', 0, 5, 1"})
        Exec(std::wstring(L"INSERT INTO Snimok_dif ([File name], [Disk], [Arj], [nodel]) VALUES (") + row + L");");
    OpenWindow();
    EXPECT_EQ(L"3(2)", Counts());
    EXPECT_EQ(3u, W().Unsynchronised());
    EXPECT_EQ(2u, W().Suspect());
}

TEST_F(SyncWindow, AWholeHardDiskSynchronisationFromTheWindow)
{
    MakeDemoImages(4);
    const std::vector<std::wstring> names = FileNames(L"Snimok");
    ASSERT_EQ(4u, names.size());
    // Two files lose their rows; a copy of a third under another name holds
    // an image id that its row keeps (a suspect file).
    for (int i = 0; i < 2; ++i)
        Exec(L"DELETE FROM Snimok WHERE [File name]='" + names[i] + L"';");
    ASSERT_TRUE(CopyFileW(ImagePath(names[2]).c_str(), ImagePath(L"Z0000000000000000009").c_str(), FALSE));
    PromptScript prompts;
    OpenWindow();

    Choose(false);
    ASSERT_TRUE(Push(ScanDbWindow::kScan));
    EXPECT_TRUE(W().IsBusy());
    EXPECT_EQ(L"Остановить", W().ButtonText(ScanDbWindow::kClose));
    EXPECT_FALSE(Enabled(ScanDbWindow::kCreateTables));
    EXPECT_FALSE(Enabled(ScanDbWindow::kSynchronise));
    EXPECT_FALSE(Enabled(ScanDbWindow::kScan));
    EXPECT_EQ(L"grayed", MenuState(W().CommandsMenu(), IDM_SYNC_DROP_TABLES));
    EXPECT_EQ(L"grayed", MenuState(W().CommandsMenu(), IDM_SYNC_MOVE_SUSPECT));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(L"Процесс сканирования HDD закончен", Status());
    EXPECT_EQ(L"Всего на диске Снимков: 5", W().Pane().CurrentText());
    EXPECT_EQ(L"Закрыть", W().ButtonText(ScanDbWindow::kClose));
    EXPECT_EQ(L"enabled", MenuState(W().CommandsMenu(), IDM_SYNC_DROP_TABLES));

    ASSERT_TRUE(Push(ScanDbWindow::kCreateTables));
    EXPECT_EQ(L"ТС создана", Status());
    EXPECT_EQ(L"3(0)", Counts());

    ASSERT_TRUE(Push(ScanDbWindow::kSynchronise));
    EXPECT_EQ(kSyncDatabase, W().CommandBits());
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(L"Процесс синхронизации БД закончен", Status());
    EXPECT_EQ(0u, prompts.Count());
    // Two files came back; the copy is suspect: the counts follow each file
    // and end where the table stands.
    EXPECT_EQ(4, Count(L"Snimok"));
    EXPECT_EQ((std::vector<std::wstring>{names[0], names[1]}),
              FileNames(L"Snimok", L"[File name] IN ('" + names[0] + L"','" + names[1] + L"') AND [Disk]=1"));
    EXPECT_EQ(L"0(1)", Counts());
    EXPECT_EQ(1, Count(L"Snimok_dif WHERE nodel<>0"));
    EXPECT_EQ(0, Count(L"Snimok_dif WHERE nodel=0"));
    EXPECT_EQ(L"2", Scalar(L"SELECT errcode FROM Msg_tmp;"));
    for (ScanDbWindow::ButtonId b : {ScanDbWindow::kCreateTables, ScanDbWindow::kScan, ScanDbWindow::kSynchronise,
                                     ScanDbWindow::kEject, ScanDbWindow::kClose})
        EXPECT_TRUE(Enabled(b)) << b;
}

class ArchiveLoop : public SyncWindowTest {
protected:
    void SetUp() override
    {
        SyncWindowTest::SetUp();
        ASSERT_TRUE(drive.Leased()) << "no test drive letter is free";
    }
    SimulatedDrive drive;
    TempDir diskA{L"tfwndA"};
    TempDir diskB{L"tfwndB"};
};

TEST_F(ArchiveLoop, TwoDisksScannedInTurnTheServiceEjectingEachUntilCancel)
{
    MakeDemoImages(4);
    const std::vector<std::wstring> names = FileNames(L"Snimok");
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(CopyImage(names[i], diskA.Path()));
    for (int i = 2; i < 4; ++i)
        ASSERT_TRUE(CopyImage(names[i], diskB.Path()));
    DiskService service;
    ASSERT_TRUE(service.Listening());
    ASSERT_TRUE(drive.Insert(diskA.Path(), kSerialA, "ARCH_A"));
    PromptScript prompts;
    OpenWindow();
    W().SetFieldText(ScanDbWindow::kArchivePath, drive.Root().c_str());
    Choose(true);

    ASSERT_TRUE(Push(ScanDbWindow::kScan));
    EXPECT_EQ(L"Продолжить", W().ButtonText(ScanDbWindow::kScan));
    EXPECT_FALSE(Enabled(ScanDbWindow::kScan));
    EXPECT_TRUE(Enabled(ScanDbWindow::kCancel));
    // The disk is scanned, the waiter has the service eject it.
    ASSERT_TRUE(harness::PumpUntil([&] { return !drive.HasDisk(); }, 30000)) << "disk A was not ejected";
    EXPECT_FALSE(W().IsBusy());
    EXPECT_EQ(L"Процесс сканирования МО закончен", Status());
    EXPECT_EQ(L"ARCH_A", W().FieldText(ScanDbWindow::kLastDisk));
    EXPECT_EQ(L"Всего на диске(ARCH_A) Снимков: 2", W().Pane().CurrentText());
    EXPECT_TRUE(W().Waiter().IsRunning());
    EXPECT_TRUE(Enabled(ScanDbWindow::kScan));
    EXPECT_TRUE(Enabled(ScanDbWindow::kCancel));
    EXPECT_FALSE(Enabled(ScanDbWindow::kCreateTables));
    EXPECT_FALSE(Enabled(ScanDbWindow::kSynchronise));
    EXPECT_EQ(L"Закрыть", W().ButtonText(ScanDbWindow::kClose));

    // The next disk goes in: the window scans it by itself, and has it ejected.
    ASSERT_TRUE(drive.Insert(diskB.Path(), kSerialB, "ARCH_B"));
    ASSERT_TRUE(harness::PumpUntil(
        [&] { return W().FieldText(ScanDbWindow::kLastDisk) == L"ARCH_B" && !W().IsBusy() && !drive.HasDisk(); },
        30000))
        << "disk B was not scanned and ejected";
    EXPECT_EQ(2u, W().Pane().Total());

    ASSERT_TRUE(Push(ScanDbWindow::kCancel));
    EXPECT_FALSE(Enabled(ScanDbWindow::kCancel));
    EXPECT_EQ(L"Сканировать", W().ButtonText(ScanDbWindow::kScan));
    EXPECT_TRUE(Enabled(ScanDbWindow::kScan));
    EXPECT_TRUE(Enabled(ScanDbWindow::kCreateTables));
    EXPECT_TRUE(Enabled(ScanDbWindow::kSynchronise));
    EXPECT_FALSE(W().Waiter().IsRunning());
    // Out of the loop, a disk put in is left alone.
    ASSERT_TRUE(drive.Insert(diskA.Path(), kSerialA, "ARCH_A"));
    harness::Pump(800);
    EXPECT_FALSE(W().IsBusy());
    EXPECT_TRUE(drive.HasDisk());
    EXPECT_EQ(2u, W().Pane().Total());

    EXPECT_EQ(2, Count(L"Arj_tmp"));
    EXPECT_EQ(L"ARCH_B", Scalar(L"SELECT Name FROM Arj_tmp WHERE arj=" + std::to_wstring(SerialToKey(kSerialB)) + L";"));
    EXPECT_EQ((std::vector<std::wstring>{names[0], names[1]}),
              FileNames(L"Snimok_tmp", L"Arj=" + std::to_wstring(SerialToKey(kSerialA))));
    EXPECT_EQ((std::vector<std::wstring>{names[2], names[3]}),
              FileNames(L"Snimok_tmp", L"Arj=" + std::to_wstring(SerialToKey(kSerialB))));
    EXPECT_EQ(0u, prompts.Count());
}

TEST_F(ArchiveLoop, CancelDuringADiskScanStopsItAndLeavesTheLoop)
{
    MakeEmptyImages(diskA.Path(), 210);
    ASSERT_TRUE(drive.Insert(diskA.Path(), kSerialA, "ARCH_A"));
    OpenWindow();
    W().SetFieldText(ScanDbWindow::kArchivePath, drive.Root().c_str());
    Choose(true);
    workerHold.Arm(W().Progress(), SyncStep::ScanFileWritten, kScanPastFirstBatch);
    ASSERT_TRUE(Push(ScanDbWindow::kScan));
    ASSERT_TRUE(workerHold.WaitHeld());
    ASSERT_TRUE(Push(ScanDbWindow::kCancel));
    EXPECT_FALSE(Enabled(ScanDbWindow::kCancel));
    EXPECT_FALSE(Enabled(ScanDbWindow::kScan));   // until the worker has ended
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(L"Процесс прерван пользователем", Status());
    EXPECT_EQ(L"Выполнение процедуры прервано пользователем", W().Pane().CurrentText());
    EXPECT_EQ(L"Сканировать", W().ButtonText(ScanDbWindow::kScan));
    EXPECT_TRUE(Enabled(ScanDbWindow::kScan));
    EXPECT_FALSE(Enabled(ScanDbWindow::kCancel));
    EXPECT_TRUE(Enabled(ScanDbWindow::kCreateTables));
    EXPECT_FALSE(W().IsArmed());
    EXPECT_FALSE(W().Waiter().IsRunning());
    EXPECT_EQ(0, Count(L"Snimok_tmp"));
    EXPECT_EQ(L"", W().FieldText(ScanDbWindow::kLastDisk));
    EXPECT_TRUE(drive.HasDisk());
}

TEST_F(ArchiveLoop, CloseWhileAScanRunsStopsTheWorkerAndTheWindowStays)
{
    MakeEmptyImages(diskA.Path(), 210);
    ASSERT_TRUE(drive.Insert(diskA.Path(), kSerialA, "ARCH_A"));
    OpenWindow();
    W().SetFieldText(ScanDbWindow::kArchivePath, drive.Root().c_str());
    Choose(true);
    workerHold.Arm(W().Progress(), SyncStep::ScanFileWritten, kScanPastFirstBatch);
    ASSERT_TRUE(Push(ScanDbWindow::kScan));
    ASSERT_TRUE(workerHold.WaitHeld());
    ASSERT_TRUE(Push(ScanDbWindow::kClose));
    EXPECT_EQ(L"Закрыть", W().ButtonText(ScanDbWindow::kClose));
    EXPECT_FALSE(Enabled(ScanDbWindow::kClose));
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(window_, ScanDbWindow::Current());
    EXPECT_TRUE(IsWindow(W().GetHwnd()));
    EXPECT_EQ(L"Процесс прерван пользователем", Status());
    EXPECT_TRUE(Enabled(ScanDbWindow::kClose));
    EXPECT_EQ(L"Сканировать", W().ButtonText(ScanDbWindow::kScan));
    EXPECT_EQ(0, Count(L"Snimok_tmp"));
    // Idle now: the second close closes.
    const HWND hwnd = W().GetHwnd();
    ASSERT_TRUE(Push(ScanDbWindow::kClose));
    EXPECT_FALSE(IsWindow(hwnd));
}

// The worker's disk prompt is owned by the window. While it is up, the
// window is closed; the window's thread must stay free, or the prompt (and
// with it the worker) could never end.
struct OwnedPromptRun {
    HWND window = nullptr;
    SyncProgress* progress = nullptr;
    HWND closeButton = nullptr;
    HMENU commands = nullptr;
    std::atomic<int> asked{0};
    std::atomic<bool> windowAnswered{false};
    std::atomic<bool> closeDisabledMeanwhile{false};
    std::atomic<bool> stopPostedMeanwhile{false};
    std::atomic<bool> menuGreyedMeanwhile{false};
    std::mutex lock;
    std::vector<std::wstring> others;
};
OwnedPromptRun* gRun = nullptr;

int ClosingPromptHook(HWND owner, const wchar_t* text, const wchar_t*, UINT)
{
    OwnedPromptRun& run = *gRun;
    if (wcsncmp(text, L"Вставте диск", 12) != 0 || owner != run.window) {
        std::lock_guard<std::mutex> guard(run.lock);
        run.others.push_back(text);
        return IDCANCEL;
    }
    if (run.asked++ == 0) {
        PostMessageW(run.window, WM_CLOSE, 0, 0);
        // The window's thread takes the close from its queue whenever it
        // likes (sent messages go first): the window is asked again and
        // again, and must answer each time, until the close has disabled its
        // button.
        bool answered = true;
        bool disabled = false;
        const DWORD start = GetTickCount();
        while (answered && !disabled && GetTickCount() - start < 10000) {
            DWORD_PTR result = 0;
            answered = SendMessageTimeoutW(run.window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result) != 0;
            disabled = !IsWindowEnabled(run.closeButton);
            if (!disabled)
                Sleep(10);
        }
        run.windowAnswered = answered;
        run.closeDisabledMeanwhile = disabled;
        // The close disables its button before it posts the stop: the
        // prompt returns once the stop is there, for the next poll to take.
        run.stopPostedMeanwhile = disabled && run.progress->WaitCommandPosted(30000) == 0;
        run.menuGreyedMeanwhile = (GetMenuState(run.commands, IDM_SYNC_MOVE_SUSPECT, MF_BYCOMMAND) & MF_GRAYED) != 0;
    }
    return IDRETRY;   // "Продолжить": the disk is in the drive
}

TEST_F(ArchiveLoop, CloseWhileTheWorkerWaitsForTheWindowsPromptKeepsTheWindowAnswering)
{
    MakeDemoImages(3);
    const std::vector<std::wstring> names = FileNames(L"Snimok");
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(CopyImage(names[i], diskB.Path()));
        ASSERT_TRUE(DeleteFileW(ImagePath(names[i]).c_str()));
        Exec(L"DELETE FROM Snimok WHERE [File name]='" + names[i] + L"';");
    }
    ASSERT_TRUE(drive.Insert(diskB.Path(), kSerialB, "ARCH_B"));
    {
        TestSyncWindow scans;
        ASSERT_EQ(kSyncResultDone, scans.Run(kSyncScanHdd).result);
        ASSERT_EQ(kSyncResultDone, scans.Run(kSyncScanMo, drive.Root()).result);
    }
    CreateSyncTables(g_DbSession);
    OpenWindow();
    W().SetFieldText(ScanDbWindow::kArchivePath, drive.Root().c_str());

    OwnedPromptRun run;
    run.window = W().GetHwnd();
    run.progress = &W().Progress();
    run.closeButton = W().Button(ScanDbWindow::kClose).GetHwnd();
    run.commands = W().CommandsMenu();
    gRun = &run;
    const PromptHook previous = SetPromptHook(ClosingPromptHook);
    ASSERT_TRUE(Push(ScanDbWindow::kSynchronise));
    EXPECT_TRUE(harness::PumpUntil([&] { return run.asked > 0; }, 30000));
    EXPECT_TRUE(WaitIdle());
    SetPromptHook(previous);
    gRun = nullptr;

    EXPECT_TRUE(run.windowAnswered) << "the window's thread was blocked while the worker's prompt was up";
    EXPECT_TRUE(run.closeDisabledMeanwhile);
    EXPECT_TRUE(run.stopPostedMeanwhile);
    EXPECT_TRUE(run.menuGreyedMeanwhile);
    EXPECT_EQ(1, run.asked.load());
    EXPECT_TRUE(run.others.empty()) << Narrow(run.others.empty() ? L"" : run.others[0]);
    ASSERT_EQ(window_, ScanDbWindow::Current());
    EXPECT_TRUE(IsWindow(W().GetHwnd()));
    EXPECT_EQ(L"Процесс прерван пользователем", Status());
    EXPECT_EQ(L"Процедура прервана пользователем.", W().Pane().CurrentText());
    EXPECT_TRUE(Enabled(ScanDbWindow::kClose));
    EXPECT_EQ(2, Count(L"Snimok"));   // the file before the stop came back, the next did not
    EXPECT_EQ(L"enabled", MenuState(W().CommandsMenu(), IDM_SYNC_MOVE_SUSPECT));
}

TEST_F(ArchiveLoop, TheDiskPromptsEjectReachesTheServiceThroughTheWindow)
{
    MakeDemoImages(2);
    const std::vector<std::wstring> names = FileNames(L"Snimok");
    ASSERT_TRUE(CopyImage(names[0], diskA.Path()));
    ASSERT_TRUE(DeleteFileW(ImagePath(names[0]).c_str()));
    Exec(L"DELETE FROM Snimok WHERE [File name]='" + names[0] + L"';");
    ASSERT_TRUE(drive.Insert(diskA.Path(), kSerialA, "ARCH_A"));
    {
        TestSyncWindow scans;
        ASSERT_EQ(kSyncResultDone, scans.Run(kSyncScanHdd).result);
        ASSERT_EQ(kSyncResultDone, scans.Run(kSyncScanMo, drive.Root()).result);
    }
    CreateSyncTables(g_DbSession);
    DiskService service;
    ASSERT_TRUE(service.Listening());
    OpenWindow();
    W().SetFieldText(ScanDbWindow::kArchivePath, drive.Root().c_str());
    // "Извлечь МО", then "Прервать" once the disk is out.
    PromptScript prompts({kDiskPromptEject, IDABORT});
    ASSERT_TRUE(Push(ScanDbWindow::kSynchronise));
    ASSERT_TRUE(harness::PumpUntil([&] { return !drive.HasDisk() && !W().IsBusy(); }, 30000));
    EXPECT_EQ(2u, prompts.Count());
    EXPECT_EQ(L"Процесс синхронизации БД закончен", Status());
    EXPECT_EQ(1, Count(L"Snimok"));
}

// ---- the auxiliary tables ---------------------------------------------------------------------------

TEST_F(ArchiveLoop, CreatingTheTablesTwiceGivesTheSameRowsAndEmptiesTheLog)
{
    MakeDemoImages(3);
    const std::vector<std::wstring> names = FileNames(L"Snimok");
    Exec(L"DELETE FROM Snimok WHERE [File name]='" + names[0] + L"';");   // its file stays
    ASSERT_TRUE(CopyImage(names[1], diskA.Path()));                          // its row has no disk
    ASSERT_TRUE(drive.Insert(diskA.Path(), kSerialA, "ARCH_A"));
    {
        TestSyncWindow scans;
        ASSERT_EQ(kSyncResultDone, scans.Run(kSyncScanHdd).result);
        ASSERT_EQ(kSyncResultDone, scans.Run(kSyncScanMo, drive.Root()).result);
    }
    OpenWindow();
    ASSERT_TRUE(Push(ScanDbWindow::kCreateTables));
    EXPECT_EQ(L"ТС создана", Status());
    EXPECT_EQ(L"1(0)", Counts());
    const wchar_t kDif[] = L"SELECT [File name], [Disk], Arj, nodel, fmove FROM Snimok_dif ORDER BY [File name];";
    const wchar_t kExist[] = L"SELECT [File name], Arj, snim FROM Snimok_exist ORDER BY [File name];";
    const std::vector<std::wstring> dif = Rows(kDif), exist = Rows(kExist);
    EXPECT_EQ((std::vector<std::wstring>{names[0] + L"|1|NULL|0|0"}), dif);
    ASSERT_EQ(1u, exist.size());
    EXPECT_EQ(0u, exist[0].find(names[1] + L"|" + std::to_wstring(SerialToKey(kSerialA)) + L"|"));
    EXPECT_EQ(5, Count(L"ErrCode_tmp"));
    EXPECT_EQ(0, Count(L"Msg_tmp"));
    Exec(L"INSERT INTO Msg_tmp ([errcode], [fn]) VALUES (2, 'X');");
    Exec(L"UPDATE Snimok_dif SET nodel=1;");

    ASSERT_TRUE(Push(ScanDbWindow::kCreateTables));
    EXPECT_EQ(L"ТС создана", Status());
    EXPECT_EQ(dif, Rows(kDif));
    EXPECT_EQ(exist, Rows(kExist));
    EXPECT_EQ(5, Count(L"ErrCode_tmp"));
    EXPECT_EQ(0, Count(L"Msg_tmp"));
    EXPECT_EQ(L"1(0)", Counts());
}

TEST_F(SyncWindow, DroppingTheTablesAsksFirstAndEndsWithItsMessageAlsoWhenNoneExists)
{
    MakeDemoImages(1);
    {
        TestSyncWindow scans;
        ASSERT_EQ(kSyncResultDone, scans.Run(kSyncScanHdd).result);
    }
    CreateSyncTables(g_DbSession);
    const std::vector<const wchar_t*> tables = {L"Snimok_dif", L"Snimok_exist", L"Snimok_tmp", L"DelSynSnimok",
                                                L"Patient_tmp", L"Arj_tmp",     L"ErrCode_tmp", L"Msg_tmp"};
    for (const wchar_t* table : tables)
        ASSERT_TRUE(SyncTableExists(g_DbSession, table)) << Narrow(table);
    OpenWindow();
    {
        PromptScript prompts({IDNO});
        Command(IDM_SYNC_DROP_TABLES);
        ASSERT_EQ(1u, prompts.Count());
        EXPECT_EQ(L"Удалить вспомогательные таблицы", prompts.Last().text);
        EXPECT_FALSE(prompts.Last().hasCaption);
        EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2), prompts.Last().flags);
        EXPECT_EQ(W().GetHwnd(), prompts.Last().owner);
        EXPECT_TRUE(SyncTableExists(g_DbSession, L"Snimok_dif"));
    }
    for (int pass = 0; pass < 2; ++pass) {
        PromptScript prompts({IDYES, IDOK});
        Command(IDM_SYNC_DROP_TABLES);
        ASSERT_EQ(2u, prompts.Count()) << pass;
        EXPECT_EQ(L"Удаление таблиц закончено.", prompts.Last().text) << pass;
        EXPECT_EQ(L"Сообщение", prompts.Last().caption);
        for (const wchar_t* table : tables)
            EXPECT_FALSE(SyncTableExists(g_DbSession, table)) << Narrow(table);
        EXPECT_EQ(L"0(0)", Counts());
    }
}

// ---- the archive disk and its location ----------------------------------------------------------------

TEST_F(ArchiveLoop, EjectAsksTheServiceForTheArchiveLocationsDrive)
{
    DiskService service;
    ASSERT_TRUE(service.Listening());
    ASSERT_TRUE(drive.Insert(diskA.Path(), kSerialA, "ARCH_A"));
    OpenWindow();
    W().SetFieldText(ScanDbWindow::kArchivePath, (drive.Root() + L"Images").c_str());
    {
        PromptScript prompts;
        ASSERT_TRUE(Push(ScanDbWindow::kEject));
        EXPECT_EQ(0u, prompts.Count());
        EXPECT_FALSE(drive.HasDisk());
    }
    // With no drive to name, the service says why: its text, no caption.
    W().SetFieldText(ScanDbWindow::kArchivePath, L"");
    PromptScript prompts({IDOK});
    ASSERT_TRUE(Push(ScanDbWindow::kEject));
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_FALSE(prompts.Last().text.empty());
    EXPECT_FALSE(prompts.Last().hasCaption);
}

TEST_F(SyncWindow, EjectWithoutTheServiceSaysThatThePipeCannotBeOpenedAndWhy)
{
    const std::wstring pipe = L"\\\\.\\pipe\\" + UniqueName(L"TfNoDiskSrv");
    const wchar_t* previous = SetDiskSrvPipeName(pipe.c_str());
    OpenWindow();
    W().SetFieldText(ScanDbWindow::kArchivePath, L"K:\\");
    PromptScript prompts({IDOK, IDOK});
    ASSERT_TRUE(Push(ScanDbWindow::kEject));
    SetDiskSrvPipeName(previous);
    ASSERT_EQ(2u, prompts.Count());
    EXPECT_EQ(L"Ошибка открытия канала", prompts.Prompts()[0].text);
    EXPECT_FALSE(prompts.Prompts()[0].hasCaption);
    EXPECT_EQ(W().GetHwnd(), prompts.Prompts()[0].owner);
    EXPECT_EQ(syncfmt::SystemText(ERROR_FILE_NOT_FOUND), prompts.Prompts()[1].text);
}

TEST_F(SyncWindow, TheFolderBrowserCancelledChangesNothingAndAChosenFolderIsKept)
{
    ASSERT_TRUE(ArjRegWrite(kSynDbKey, kSynDbImgDir, REG_SZ, L"Q:\\Arch", 0));
    OpenWindow();
    {
        DialogDriver driver;
        driver.Then(L"#32770", nullptr, [](HWND dialog) {
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return true;
        });
        ASSERT_TRUE(Push(ScanDbWindow::kBrowseArchive));
        EXPECT_TRUE(driver.Done());
    }
    EXPECT_EQ(L"Q:\\Arch", W().FieldText(ScanDbWindow::kArchivePath));
    wchar_t stored[131] = L"";
    DWORD size = 131;
    ASSERT_TRUE(ArjRegRead(kSynDbKey, kSynDbImgDir, REG_SZ, stored, &size));
    EXPECT_STREQ(L"Q:\\Arch", stored);

    // Wine's browser finds a folder in its tree by the items' dates as it
    // filled them: a folder of the temporary folder, where the other tests
    // make and remove theirs, is not found once its parent has changed. So
    // the folder chosen is one of the test's own below the drive's root.
    TempDir browsed(L"tfbrowse", L"C:\\");
    const std::wstring chosen = browsed.Path() + L"Image";
    ASSERT_TRUE(CreateDirectoryW(chosen.c_str(), nullptr));
    {
        DialogDriver driver;
        driver.Then(L"#32770", nullptr, [&chosen](HWND dialog) {
            // The browser fills its tree as it opens: select the folder until
            // the tree shows it selected, then accept.
            SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(chosen.c_str()));
            HWND tree = FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr);
            const HTREEITEM item =
                tree ? reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)) : nullptr;
            wchar_t text[64] = L"";
            TVITEMW info = {};
            info.mask = TVIF_TEXT;
            info.hItem = item;
            info.pszText = text;
            info.cchTextMax = 64;
            if (!item || !SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&info)) ||
                wcscmp(text, L"Image") != 0)
                return false;
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            return true;
        });
        ASSERT_TRUE(Push(ScanDbWindow::kBrowseArchive));
        EXPECT_TRUE(driver.Done());
    }
    const std::wstring field = W().FieldText(ScanDbWindow::kArchivePath);
    EXPECT_EQ(0, _wcsicmp(chosen.c_str(), field.c_str())) << Narrow(field);
    size = 131;
    ASSERT_TRUE(ArjRegRead(kSynDbKey, kSynDbImgDir, REG_SZ, stored, &size));
    EXPECT_EQ(field, stored);
}

}  // namespace
}  // namespace extest
