// The synchronisation window's commands and the worker's reports: starting
// and ending the three procedures, the archive-disk loop with the disk
// waiter, stopping, the auxiliary tables, the counts, ejecting the archive
// disk and choosing the archive location. See syncwnd.h for the states.
#include "exchange/sync/syncwnd.h"

#include "database/dberrors.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "exchange/disks/arjregistry.h"
#include "exchange/disks/disksrvclient.h"
#include "exchange/sync/syncdialogs.h"
#include "exchange/sync/syncformat.h"
#include "exchange/sync/synctables.h"
#include "foundation/prompt.h"
#include "resources/resource.h"

#include <cwchar>
#include <vector>

namespace {

const wchar_t kMessageCaption[] = L"Сообщение";
const wchar_t kCountFree[] = L" SELECT count(*) FROM Snimok_dif WHERE nodel=0;";
const wchar_t kCountSuspect[] = L" SELECT count(*) FROM Snimok_dif WHERE nodel<>0;";

LONG CountOf(const wchar_t* sql)
{
    BoundStatement query(g_DbSession, sql);
    LONG count = 0;
    if (query.First())
        RowInt(query.Row(), 0, &count);
    return count;
}

}  // namespace

// What one WM_SYNC_PROGRESS carried: taken out of the channel under the
// lock, acted on after it is left (acting may show a box or wait for the
// worker's end, which must not hold the worker's reports up meanwhile).
struct ScanDbWindow::Report {
    DWORD changes = 0;
    std::vector<std::wstring> messages;   // texts 1, in order
    std::wstring status;    // text 2
    bool hasStatus = false;
    DWORD diskSerial = 0;
    DWORD diskValue = 0;
    std::wstring diskText;
};

// ---- buttons and menu ---------------------------------------------------------------------

void ScanDbWindow::OnButton(ButtonId button)
{
    switch (button) {
    case kBrowseArchive:
        ChooseArchivePath();
        break;
    case kClose:
        CloseRequest();
        break;
    case kScan:
        Scan();
        break;
    case kCancel:
        CancelArchiveLoop();
        break;
    case kCreateTables:
        CreateTables();
        break;
    case kSynchronise:
        SynchroniseDatabase();
        break;
    case kEject:
        EjectArchiveDisk();
        break;
    case kBrowseDatabase:   // the database path is the settings' own
    case kContinue:         // nothing to continue: the archive loop goes on by itself
    default:
        break;
    }
}

LRESULT ScanDbWindow::OnCommand(UINT id, UINT, LPARAM)
{
    switch (id) {
    case IDM_SYNC_MOVE_SUSPECT:
        if (!IsBusy()) {
            RunSuspectMoveDialog(hwnd, FieldText(kArchivePath).c_str());
            ShowCounts();
        }
        break;
    case IDM_SYNC_DROP_TABLES:
        if (!IsBusy() && ShowPrompt(hwnd, L"Удалить вспомогательные таблицы", nullptr,
                                    MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) == IDYES)
            DropTables();
        break;
    case IDM_SYNC_DISKS_SCANNED:
        RunArchiveDiskListDialog(hwnd, 1);
        break;
    case IDM_SYNC_DISKS_NOT_SCANNED:
        RunArchiveDiskListDialog(hwnd, 3);
        break;
    case IDM_SYNC_DISKS_REGISTERED:
        RunArchiveDiskListDialog(hwnd, 2);
        break;
    default:
        break;
    }
    return 0;
}

void ScanDbWindow::OnClose()
{
    CloseRequest();
}

// ---- the procedures ------------------------------------------------------------------------

void ScanDbWindow::Scan()
{
    if (SendMessageW(hddRadio_.GetHwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED) {
        SetStatus(L"Сканирование HDD");
        if (!StartProcedure(kSyncScanHdd))
            SetStatus(L"Сканирование HDD прервано");
    }
    if (SendMessageW(archiveRadio_.GetHwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED) {
        SetStatus(L"Сканирование MO");
        if (!StartProcedure(kSyncScanMo))
            SetStatus(L"Сканирование MO прервано");
    }
}

void ScanDbWindow::SynchroniseDatabase()
{
    SetStatus(L"Синхронизация БД");
    if (!StartProcedure(kSyncDatabase))
        SetStatus(L"Синхронизация БД прервана");
}

bool ScanDbWindow::StartProcedure(DWORD command)
{
    if (IsBusy())
        return false;
    flags_.commands |= command;
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!started) {
        flags_.commands &= ~command;
        ShowPrompt(hwnd, L"Ошибка создания объекта Событие", kMessageCaption, MB_OK);
        return false;
    }
    start_ = SyncStartRecord();
    GetWindowTextW(fields_[kArchivePath].GetHwnd(), start_.archivePath, kFolderChars);
    GetWindowTextW(fields_[kDatabasePath].GetHwnd(), start_.databasePath, kFolderChars);
    EnterCriticalSection(&lock_);
    flags_.result = 0;
    LeaveCriticalSection(&lock_);
    for (ButtonId button : {kCreateTables, kScan, kSynchronise, kContinue})
        EnableButton(button, false);
    SetButtonText(kClose, L"Остановить");
    SetBusyMenu(true);

    start_.progress = &progress_;
    start_.commands = command;
    start_.startEvent = started;
    if (progress_.StartThread(&lock_, hwnd, &start_)) {
        if (command == kSyncScanMo) {
            const std::wstring archive = start_.archivePath;
            const std::wstring root = archive.empty() ? std::wstring() : archive.substr(0, 1) + L":\\";
            waiter_.SetDrivePath(root.c_str());
            SetButtonText(kScan, L"Продолжить");
            EnableButton(kScan, false);
            EnableButton(kCancel, true);
        }
        return true;
    }
    flags_.commands &= ~command;
    for (ButtonId button : {kCreateTables, kEject, kScan, kSynchronise})
        EnableButton(button, true);
    SetButtonText(kClose, L"Закрыть");
    flags_.commands = 0;
    SetBusyMenu(false);
    return false;
}

void ScanDbWindow::EndProcedure()
{
    const DWORD result = progress_.StopThread();
    // A worker terminated in a dialog it showed over this window leaves the
    // window disabled.
    if (result == kSyncResultTerminated && !IsWindowEnabled(hwnd))
        EnableWindow(hwnd, TRUE);
    EnterCriticalSection(&lock_);
    flags_.result = result;
    LeaveCriticalSection(&lock_);
    const DWORD commands = flags_.commands;
    const bool stopAsked = stopping_;
    stopping_ = false;
    EnableButton(kClose, true);

    // A disk scan that did not end well, or was asked to stop (it may have
    // ended well just before the stop reached it), leaves the archive loop.
    if ((result != kSyncResultDone || stopAsked) && (commands & kSyncScanMo))
        LeaveArchiveLoop();
    if (result == kSyncResultStopped) {
        SetStatus(L"Процесс прерван пользователем");
        ShowCounts();
    } else if (result == kSyncResultDone) {
        if (commands & kSyncScanHdd)
            SetStatus(L"Процесс сканирования HDD закончен");
        if ((commands & kSyncScanMo) && stopAsked)
            SetStatus(L"Процесс сканирования МО закончен");
        if ((commands & kSyncScanMo) && !stopAsked) {
            // The loop goes on: the next disk is awaited while "Отмена" is
            // enabled, and the buttons that would leave it stay as they are.
            SetStatus(L"Процесс сканирования МО закончен");
            EnableButton(kScan, true);
            if (armed_) {
                armed_ = false;
                waiter_.SetMessageParams(2, 0);
                waiter_.Start();
            }
            flags_.commands = 0;
            progress_.Reset();
            SetButtonText(kClose, L"Закрыть");
            SetBusyMenu(false);
            return;
        }
        if (commands & kSyncDatabase)
            SetStatus(L"Процесс синхронизации БД закончен");
    }
    // The counts followed the files one report at a time; several files may
    // share a report, so a synchronisation ends with the table's own counts.
    if ((commands & kSyncDatabase) && result != kSyncResultStopped)
        ShowCounts();
    RestoreIdleButtons();
}

void ScanDbWindow::RestoreIdleButtons()
{
    flags_.commands = 0;
    for (ButtonId button : {kCreateTables, kScan, kEject, kSynchronise})
        EnableButton(button, true);
    SetButtonText(kClose, L"Закрыть");
    progress_.Reset();
    SetBusyMenu(false);
}

void ScanDbWindow::LeaveArchiveLoop()
{
    SetButtonText(kScan, L"Сканировать");
    EnableButton(kScan, true);
    EnableButton(kCancel, false);
    armed_ = false;
    waiter_.Stop();
}

void ScanDbWindow::CancelArchiveLoop()
{
    EnableButton(kCancel, false);
    SetButtonText(kScan, L"Сканировать");
    waiter_.Stop();
    armed_ = false;
    if (IsBusy()) {
        // The disk being scanned is given up; its end restores the rest.
        StopWorker();
        return;
    }
    EnableButton(kScan, true);
    progress_.Reset();
    EnableButton(kCreateTables, true);
    EnableButton(kSynchronise, true);
}

void ScanDbWindow::CloseRequest()
{
    if (!IsBusy()) {
        Destroy();
        return;
    }
    SetButtonText(kClose, L"Закрыть");
    EnableButton(kClose, false);
    StopWorker();
}

void ScanDbWindow::StopWorker()
{
    if (stopping_)
        return;
    switch (progress_.PostStop()) {
    case SyncProgress::StopPost::kPosted:
    case SyncProgress::StopPost::kFinishing:
        // Its "finished" report ends the procedure (EndProcedure).
        stopping_ = true;
        break;
    case SyncProgress::StopPost::kFailed:
        // No way to tell it: wait for it here (it may be terminated).
        EndProcedure();
        break;
    }
}

void ScanDbWindow::StopWorkerForGood()
{
    if (!progress_.IsRunning())
        return;
    progress_.PostStop();
    // The channel waits for its end with this thread's windows painted and
    // what other threads send answered (a prompt of the worker owned by this
    // window); a worker that does not end is asked about, and terminated
    // only while it waits for the user.
    progress_.StopThread();
    flags_.commands = 0;
    stopping_ = false;
}

void ScanDbWindow::SetBusyMenu(bool busy)
{
    if (!commandsMenu_)
        return;
    for (UINT id : {IDM_SYNC_MOVE_SUSPECT, IDM_SYNC_DROP_TABLES})
        EnableMenuItem(commandsMenu_, id, MF_BYCOMMAND | (busy ? MF_GRAYED : MF_ENABLED));
}

// ---- the worker's reports ------------------------------------------------------------------

void ScanDbWindow::OnProgress()
{
    if (!lockMade_)
        return;
    Report report;
    EnterCriticalSection(&lock_);
    report.changes = progress_.Changes();
    if (report.changes & kSyncText1)
        report.messages = progress_.Messages();
    if ((report.changes & kSyncText2) && progress_.Text2()) {
        report.hasStatus = true;
        report.status = progress_.Text2();
    }
    if (report.changes & kSyncDiskRequest) {
        report.diskSerial = progress_.DiskSerial();
        report.diskValue = progress_.DiskValue();
        report.diskText = progress_.DiskText() ? progress_.DiskText() : L"";
    }
    progress_.ClearTexts();
    LeaveCriticalSection(&lock_);

    const DWORD changes = report.changes;
    if ((changes & kSyncDiskRequest) && !stopping_) {
        waiter_.SetRequest(report.diskSerial, report.diskText.c_str(), report.diskValue);
        armed_ = true;
    }
    for (const std::wstring& message : report.messages)
        pane_.AddMessage(message.c_str(), static_cast<int>(message.size()));
    if (report.hasStatus)
        SetStatus(report.status.c_str());
    if (changes & kSyncLastDisk)
        ReadLastScanDisk();
    if (changes & kSyncFinished)
        EndProcedure();
    if (changes & kSyncSkipped) {
        // A skipped file was an unsynchronised one: it moves to the suspects.
        ++suspect_;
        if (unsynchronised_ > 0)
            --unsynchronised_;
        ShowCountsField();
    }
    if (changes & kSyncRestored) {
        if (unsynchronised_ > 0)
            --unsynchronised_;
        ShowCountsField();
    }
    if (changes & kSyncEject)
        EjectArchiveDisk();
}

void ScanDbWindow::OnDiskPresent(WPARAM wParam, LPARAM)
{
    // The next archive disk is in the drive: its scan, while the loop runs.
    if (wParam == 2 && IsWindowEnabled(buttons_[kCancel].GetHwnd()))
        StartProcedure(kSyncScanMo);
}

// ---- tables and counts ----------------------------------------------------------------------

void ScanDbWindow::ShowCounts()
{
    unsynchronised_ = suspect_ = 0;
    try {
        if (SyncTableExists(g_DbSession, L"Snimok_dif")) {
            unsynchronised_ = static_cast<UINT>(CountOf(kCountFree));
            suspect_ = static_cast<UINT>(CountOf(kCountSuspect));
        }
    } catch (const DODBErrors& e) {
        e.ShowMessage(hwnd, kMessageCaption, MB_OK);
    }
    ShowCountsField();
}

void ScanDbWindow::ShowCountsField()
{
    const std::wstring text = std::to_wstring(unsynchronised_) + L"(" + std::to_wstring(suspect_) + L")";
    fields_[kCounts].SetText(text.c_str());
}

void ScanDbWindow::CreateTables()
{
    try {
        CreateSyncTables(
            g_DbSession, [](void* self, const wchar_t* text) { static_cast<ScanDbWindow*>(self)->SetStatus(text); },
            this);
        ShowCounts();
        SetStatus(L"ТС создана");
    } catch (const DODBErrors& e) {
        const int length = e.GetText(nullptr, 0);
        std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
        const int copied = e.GetText(text.data(), length);
        pane_.AddMessage(copied > 0 ? text.data() : L"Ошибка создания TC", copied > 0 ? copied : -1);
        SetStatus(L"Ошибка создания TC");
    }
}

void ScanDbWindow::DropTables()
{
    try {
        DropSyncTables(g_DbSession);
    } catch (const DODBErrors& e) {
        e.ShowMessage(hwnd, nullptr, MB_OK);
        ShowCounts();
        return;
    }
    ShowPrompt(hwnd, L"Удаление таблиц закончено.", kMessageCaption, MB_OK);
    ShowCounts();
}

// ---- the archive disk -------------------------------------------------------------------------

void ScanDbWindow::EjectArchiveDisk()
{
    wchar_t path[128] = L"";
    GetWindowTextW(fields_[kArchivePath].GetHwnd(), path, 128);
    const DiskSrvOutcome outcome = EjectDiskViaDiskSrv(path[0]);
    if (outcome.step == kDiskSrvDone) {
        if (outcome.result == 0)
            ShowPrompt(hwnd, outcome.text, nullptr, MB_OK);
        return;
    }
    const wchar_t* failure = outcome.failedAt == kDiskSrvOpenFailed    ? L"Ошибка открытия канала"
                             : outcome.failedAt == kDiskSrvWriteFailed ? L"Ошибка записи в канал"
                                                                       : L"Ошибка чтения из канала";
    ShowPrompt(hwnd, failure, nullptr, MB_OK);
    ShowPrompt(hwnd, syncfmt::SystemText(outcome.error).c_str(), nullptr, MB_OK);
}

void ScanDbWindow::ChooseArchivePath()
{
    wchar_t path[MAX_PATH] = L"";
    if (!BrowseForFolder(hwnd, path))
        return;
    ArjRegWrite(kSynDbKey, kSynDbImgDir, REG_SZ, path, 0);
    fields_[kArchivePath].SetText(path);
}

// ---- small helpers ----------------------------------------------------------------------------

void ScanDbWindow::SetStatus(const wchar_t* text)
{
    fields_[kStatus].SetText(text);
}

void ScanDbWindow::EnableButton(ButtonId button, bool enable)
{
    EnableWindow(buttons_[button].GetHwnd(), enable ? TRUE : FALSE);
}

void ScanDbWindow::SetButtonText(ButtonId button, const wchar_t* text)
{
    buttons_[button].SetText(text, -1);
}
