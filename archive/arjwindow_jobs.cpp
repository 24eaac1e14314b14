// The archive window's commands, keys and jobs: starting an archive or a
// format job, answering a worker that waits, the end texts, closing, the
// deletions by date and of imported images, the remove-disk request. See
// arjwindow.h for the job state.
#include "archive/arjwindow.h"

#include "app/backupdlg.h"
#include "app/inputtext.h"
#include "archive/arjworker.h"
#include "archive/diskprep.h"
#include "archive/diskprops.h"
#include "archive/formatworker.h"
#include "archive/workerbase.h"
#include "database/dberrors.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "exchange/disks/arjregistry.h"
#include "exchange/disks/disksrvclient.h"
#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "resources/strings.h"

#include <cwchar>

namespace {

const wchar_t kCountBeforeSql[] = L"SELECT Count(*) FROM Snimok WHERE [date file] < ? AND nodelete = 0;";
const wchar_t kMarkBeforeSql[] =
    L"INSERT INTO DelImage ( [File Name], Arj, [Disk] ) SELECT [File Name], Arj, [Disk] FROM Snimok WHERE [date "
    L"file] < ? AND [File Name] IS NOT NULL AND nodelete = 0AND [File Name] NOT IN( SELECT [File name] FROM "
    L"DelImage);";
const wchar_t kDeleteBeforeSql[] = L"DELETE FROM Snimok WHERE [date file] < ? AND nodelete = 0;";
const wchar_t kCountImportedSql[] = L"SELECT Count(*) FROM Snimok WHERE Imported=1;";
const wchar_t kMarkImportedSql[] =
    L"INSERT INTO DelImage ([File Name], Arj, [Disk]) SELECT [File Name], Arj, [Disk] FROM Snimok WHERE Imported=1 "
    L"AND [File Name] IS NOT NULL;";
const wchar_t kDeleteImportedSql[] = L"DELETE FROM Snimok WHERE Imported=1;";
const wchar_t kArjKey[] = L"Arj";
const wchar_t kAverageImageValue[] = L"AverageImage";
const wchar_t kDefaultDiskName[] = L"Disk";
const wchar_t kDeleteQuestion[] = L"ВНИМАНИЕ Будет удалено  снимков: %1!u! шт.\nПродолжить удаление снимков?";
const wchar_t kDeleteQuestionCaption[] = L"Сообщение";

const UINT kMenuItems[] = {kCmdArchive,        kCmdFreeSpace,  kCmdFormat,       kCmdDeleteBefore, kCmdRegister,
                           kCmdFormatRegister, kCmdProperties, kCmdDeleteMarked, kCmdBackup,       kCmdEject};

// One count of a "SELECT Count(*)" with the date; throws DODBErrors.
LONG CountWithDate(const DODBPtr<DODBSession>& session, const wchar_t* sql, const FILETIME* date)
{
    BoundStatement query(session, sql);
    if (date)
        query.Params().SetValDate(1, *date);
    LONG count = 0;
    if (!query.First() || !RowInt(query.Row(), 0, &count)) {
        DODBSetError(E_FAIL, 0, L"ArjWindow");
        ThrowDatabaseError(E_FAIL);
    }
    return count;
}

}  // namespace

// ---- starting and answering -----------------------------------------------------------

int ArjWindow::StartArchiving(UINT statusText, DWORD flags)
{
    if (jobBits_ & kBitWaiting) {
        Resume();
        return 1;
    }
    if (jobBits_ & kJobMask)
        return 0;
    jobBits_ |= flags;
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!event) {
        jobBits_ &= ~flags;
        return 0;
    }
    params_ = WorkerParams();
    params_.kind = 1;
    params_.link = &link_;
    params_.markedCount = markedCount_;
    params_.notArchivedCount = notArchivedCount_;
    params_.jobFlags = jobBits_;
    params_.averageImageSize = averageImageSize_;
    params_.progressBar = &progressBar_;
    params_.startEvent = event;

    jobState_ = 0;
    ClearBoxes();
    MeasureRemovable();
    RedrawLine(kInfoRemovableFree);
    statusColour_ = kStatusRunning;
    SetStatusTextId(statusText);
    EnableButton(kArjStop, true);
    EnableButton(kArjStart, false);
    EnableButton(kArjRemoveDisk, false);
    UpdateMenuState(false);
    StartTimer();

    if (link_.StartArchiveThread(&lock_, hwnd, &params_))
        return 1;
    jobBits_ &= ~flags;
    EnableButton(kArjStop, false);
    EnableButton(kArjStart, true);
    EnableButton(kArjRemoveDisk, true);
    KillTimer();
    SetFault(ArchiveText(IDS_ARCHIVE_THREAD_ERROR).c_str());
    jobBits_ &= ~kJobMask;
    UpdateMenuState(true);
    return 0;
}

int ArjWindow::FormatDisk()
{
    if (jobBits_ & (kJobArchive | kJobFreeSpace | kJobDeleteMarked | kJobBackup))
        return 0;
    const DWORD mode = jobBits_ & (kJobFormat | kJobRegister);
    wcscpy(diskName_, kDefaultDiskName);
    if (jobBits_ & kJobFormat) {
        const int length = InputText(hwnd, diskName_, kNameChars, IDS_ENTER_NEW_DISK_NAME, TRUE);
        UINT refusal = 0;
        if (length <= 0)
            refusal = IDS_DISK_NAME_NOT_DEFINED;
        else if (wcscmp(diskName_, kDefaultDiskName) == 0)
            refusal = IDS_DISK_NAME_INVALID;
        else if (wcslen(diskName_) > static_cast<size_t>(kDiskNameMaxChars))
            refusal = IDS_DISK_NAME_TOO_LONG;   // the disk service takes no longer name
        if (refusal) {
            SetFault(ArchiveText(refusal).c_str());
            SetAction(L"");
            SetStatusTextId(IDS_FORMATTING_PROGRAM_STOPPED);
            jobBits_ &= ~kJobMask;
            jobState_ = 1;
            return 0;
        }
    }
    jobState_ = 0;
    ClearBoxes();
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!event) {
        SetAction(ArchiveText(IDS_FORMAT_THREAD_ERROR).c_str());
        jobBits_ &= ~kJobMask;
        return 0;
    }
    params_ = WorkerParams();
    params_.kind = 1;
    params_.link = &link_;
    params_.jobFlags = jobBits_;
    params_.diskName = diskName_;
    params_.startEvent = event;

    UINT text = 0;
    if (mode == (kJobFormat | kJobRegister))
        text = IDS_JOB_FORMAT_REGISTER;
    else if (mode == kJobRegister)
        text = IDS_JOB_REGISTERING;
    else if (mode == kJobFormat)
        text = IDS_JOB_FORMATTING;
    if (!text) {
        CloseHandle(event);
        return 0;
    }
    SetStatusTextId(text);
    SetButtonCaption(kArjStop, IDS_STOP);
    statusColour_ = kStatusRunning;
    EnableButton(kArjRemoveDisk, false);
    UpdateMenuState(false);
    StartTimer();
    if (link_.StartFormatThread(&lock_, hwnd, &params_))
        return 1;
    SetAction(ArchiveText(IDS_FORMAT_THREAD_ERROR).c_str());
    link_.Reset();
    UpdateMenuState(true);
    KillTimer();
    jobBits_ &= ~kJobMask;
    return 0;
}

void ArjWindow::StartFormatCommand(DWORD mode)
{
    if (!MenuItemEnabled(kCmdFormatRegister))
        return;
    jobBits_ &= ~(kJobFormat | kJobRegister);
    jobBits_ |= mode;
    if (!FormatDisk())
        jobBits_ &= ~(kJobFormat | kJobRegister);
}

void ArjWindow::Resume()
{
    link_.SendAnswer(kAnswerContinue, INFINITE, INFINITE);
    ClearBoxes();
    MeasureRemovable();
    RedrawLine(kInfoRemovableFree);
    jobState_ = 0;
    EnableButton(kArjRemoveDisk, false);
    SetStatusColour(kStatusRunning);
    jobBits_ &= ~kBitWaiting;
    SetButtonCaption(kArjStart, IDS_ARCHIVE_START);
    EnableButton(kArjStart, false);
}

void ArjWindow::StopJob()
{
    try {
        if (jobBits_ & kJobMask) {
            if (!link_.SendStop())
                AfterJob();
        }
        EnableButton(kArjStop, false);
        SetButtonCaption(kArjStart, IDS_ARCHIVE_START);
    } catch (...) {
        MessageBoxId(hwnd, IDS_STOP_EXCEPTION, MB_OK);
    }
}

void ArjWindow::StopWorkerQuick()
{
    if (link_.HasThread())
        link_.SendAnswer(kAnswerStop, 3000, 3000);
}

void ArjWindow::AfterJob()
{
    // How the job ended: the worker's result (1 stopped by the user, -1
    // stopped by the program or terminated), or the notice that it stops
    // with an error (a format job that refuses its disk ends with result 0
    // and that notice). Only a job that ended with neither is complete; any
    // other keeps its reason in the text boxes.
    const DWORD code = link_.Stop();
    int reason = kEndComplete;
    if (code == 1)
        reason = kEndByUser;
    else if (code != 0 || jobState_ != 0)
        reason = kEndByProgram;
    ShowJobResult(reason);
    if (code == static_cast<DWORD>(-1))
        SetStatusColour(kStatusTerminated);
    jobBits_ &= ~(kBitWaiting | kJobMask);
    UpdateMenuState(true);
    EnableButton(kArjRemoveDisk, true);
    SetButtonCaption(kArjStart, IDS_ARCHIVE_START);
    EnableButton(kArjStart, true);
    EnableButton(kArjStop, false);
    link_.Reset();
}

void ArjWindow::ShowJobResult(int reason)
{
    struct EndTexts {
        UINT byUser, complete, byProgram;
    };
    static const EndTexts kArchiving = {IDS_ARCHIVING_USER_STOPPED, IDS_ARCHIVING_COMPLETE,
                                        IDS_ARCHIVING_PROGRAM_STOPPED};
    static const EndTexts kDeleting = {IDS_DELETING_USER_STOPPED, IDS_DELETING_COMPLETE, IDS_DELETING_PROGRAM_STOPPED};
    static const EndTexts kFormat = {IDS_FORMATTING_USER_STOPPED, IDS_FORMATTING_COMPLETE,
                                     IDS_FORMATTING_PROGRAM_STOPPED};
    static const EndTexts kRegister = {IDS_REGISTERING_USER_STOPPED, IDS_REGISTERING_COMPLETE,
                                       IDS_REGISTERING_PROGRAM_STOPPED};
    static const EndTexts kBoth = {IDS_FORMAT_REGISTER_USER_STOPPED, IDS_FORMAT_REGISTER_COMPLETE,
                                   IDS_FORMAT_REGISTER_PROGRAM_STOPPED};
    static const EndTexts kClearing = {IDS_CLEARING_USER_STOPPED, IDS_CLEARING_COMPLETE, IDS_CLEARING_PROGRAM_STOPPED};
    const EndTexts* texts = nullptr;
    const DWORD mode = jobBits_ & (kJobFormat | kJobRegister);
    if (jobBits_ & (kJobArchive | kJobBackup))
        texts = &kArchiving;
    else if (jobBits_ & kJobDeleteMarked)
        texts = &kDeleting;
    else if (mode == kJobFormat)
        texts = &kFormat;
    else if (mode == kJobRegister)
        texts = &kRegister;
    else if (mode == (kJobFormat | kJobRegister))
        texts = &kBoth;
    else if (jobBits_ & kJobFreeSpace)
        texts = &kClearing;
    if (!texts)
        return;
    const UINT id = reason == kEndByUser ? texts->byUser : reason == kEndComplete ? texts->complete
                                                                                   : texts->byProgram;
    KillTimer();
    blinkOn_ = false;
    SetStatusTextId(id);
    if (reason == kEndComplete)
        ClearBoxes();
    if (texts == &kDeleting)
        RedrawLine(kInfoMarked);
}

void ArjWindow::UpdateMenuState(bool enable)
{
    HMENU menu = hwnd ? GetMenu(hwnd) : nullptr;
    if (!menu)
        return;
    for (UINT id : kMenuItems) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STATE;
        info.fState = enable ? MFS_ENABLED : MFS_GRAYED | MFS_DISABLED;
        SetMenuItemInfoW(menu, id, FALSE, &info);
    }
    DrawMenuBar(hwnd);
}

bool ArjWindow::MenuItemEnabled(UINT id) const
{
    HMENU menu = hwnd ? GetMenu(hwnd) : nullptr;
    if (!menu)
        return false;
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE;
    if (!GetMenuItemInfoW(menu, id, FALSE, &info))
        return false;
    return (info.fState & (MFS_GRAYED | MFS_DISABLED)) == 0;
}

// ---- closing ----------------------------------------------------------------------

void ArjWindow::CloseWindow()
{
    if (jobBits_ & kBitAverageChanged) {
        const DWORD average = averageImageSize_;
        ArjRegWrite(kArjKey, kAverageImageValue, REG_DWORD, &average, sizeof average);
    }
    StopJob();
    Destroy();
}

void ArjWindow::OnClose()
{
    CloseWindow();
}

// ---- keys and commands --------------------------------------------------------------

void ArjWindow::OnKeyDown(WPARAM key, LPARAM)
{
    OnKey(key);
}

bool ArjWindow::OnKey(WPARAM key)
{
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const bool control = GetKeyState(VK_CONTROL) < 0;
    switch (key) {
    case VK_F5:
        StartArchiving(IDS_JOB_ARCHIVING, kJobArchive);
        return true;
    case VK_F6:
        if (MenuItemEnabled(kCmdFreeSpace))
            StartArchiving(IDS_JOB_CLEARING_DISK, kJobFreeSpace);
        return true;
    case VK_F8:
        if (markedCount_ > 0)
            StartArchiving(IDS_JOB_DELETING_IMAGES, kJobDeleteMarked);
        return true;
    case VK_F3:
        StartFormatCommand(control ? kJobFormat : shift ? kJobRegister : kJobFormat | kJobRegister);
        return true;
    case VK_F2:
        if (buttons_[kArjRemoveDisk].GetHwnd() && IsWindowEnabled(buttons_[kArjRemoveDisk].GetHwnd()))
            EjectViaDiskSrv();
        return true;
    case VK_RETURN:
        if (shift && MenuItemEnabled(kCmdProperties)) {
            ShowRemovableDiskProperties(hwnd, archivePath_.c_str());
            return true;
        }
        return false;
    case VK_F4:
        if (jobBits_ & kBitWaiting)
            Resume();
        return true;
    case VK_ESCAPE:
        if (buttons_[kArjStop].GetHwnd() && IsWindowEnabled(buttons_[kArjStop].GetHwnd()))
            StopJob();
        else
            CloseWindow();
        return true;
    default:
        return false;
    }
}

LRESULT ArjWindow::OnCommand(UINT id, UINT, LPARAM)
{
    OnCommandId(id);
    return 0;
}

void ArjWindow::OnCommandId(UINT id)
{
    switch (id) {
    case kCmdArchive:
        StartArchiving(IDS_JOB_ARCHIVING, kJobArchive);
        break;
    case kCmdFreeSpace:
        StartArchiving(IDS_JOB_CLEARING_DISK, kJobFreeSpace);
        break;
    case kCmdDeleteMarked:
        StartArchiving(IDS_JOB_DELETING_IMAGES, kJobDeleteMarked);
        break;
    case kCmdDeleteBefore:
        DeleteImagesBefore();
        break;
    case kCmdDeleteImported:
        DeleteImportedPictures();
        break;
    case kCmdBackup:
        StartArchiving(IDS_JOB_BACKUP_DATABASE, kJobBackup);
        break;
    case kCmdFormatRegister:
        StartFormatCommand(kJobFormat | kJobRegister);
        break;
    case kCmdFormat:
        StartFormatCommand(kJobFormat);
        break;
    case kCmdRegister:
        StartFormatCommand(kJobRegister);
        break;
    case kCmdEject:
        EjectViaDiskSrv();
        break;
    case kCmdProperties:
        ShowRemovableDiskProperties(hwnd, archivePath_.c_str());
        break;
    case kCmdPrepareDisk:
        DBDiskPreparation::Run(hwnd);
        break;
    case kCmdSettings:
        RunBackupSettingsDlg(hwnd);
        break;
    default:
        break;
    }
}

void ArjWindow::OnButtonClicked(void* cookie, DButton* button)
{
    ArjWindow* self = static_cast<ArjWindow*>(cookie);
    switch (button->ownerValue) {
    case kArjStart:
        self->StartArchiving(IDS_JOB_ARCHIVING, kJobArchive);
        break;
    case kArjStop:
        self->StopJob();
        break;
    case kArjRemoveDisk:
        self->EjectViaDiskSrv();
        break;
    case kArjClose:
        self->CloseWindow();
        break;
    default:
        break;
    }
}

void ArjWindow::OnAppCommand(int code)
{
    switch (code) {
    case 1:
        StartArchiving(IDS_JOB_ARCHIVING, kJobArchive);
        break;
    case 2:
        StartArchiving(IDS_JOB_CLEARING_DISK, kJobFreeSpace);
        break;
    case 4:
        StartArchiving(IDS_JOB_DELETING_IMAGES, kJobDeleteMarked);
        break;
    case 8:
        ShowRemovableDiskProperties(hwnd, archivePath_.c_str());
        break;
    case 16:
        jobBits_ |= kBitAppCommand;
        if (!StartArchiving(IDS_JOB_ARCHIVING, kJobArchive))
            jobBits_ &= ~kBitAppCommand;
        break;
    default:
        break;
    }
}

// ---- deleting images ------------------------------------------------------------------

template <class Body>
bool ArjWindow::RunMarking(Body&& body)
{
    DODBPtr<DODBSession> session;
    bool inTransaction = false;
    try {
        if (!g_DbSource.IsSet()) {
            DODBSetError(E_FAIL, 0, L"ArjWindow");
            ThrowDatabaseError(E_FAIL);
        }
        HRESULT hr = g_DbSource->CreateSession(session);
        if (FAILED(hr))
            ThrowDatabaseError(hr);
        hr = session->BeginTx();
        if (FAILED(hr))
            ThrowDatabaseError(hr);
        inTransaction = true;
        body(session);
        hr = session->CommitSync();
        if (FAILED(hr))
            ThrowDatabaseError(hr);
        inTransaction = false;
        markedCount_ = CountMarked(session);
        RedrawLine(kInfoMarked);
        return true;
    } catch (const DODBErrors& error) {
        DODBErrors failure(error);
        if (failure.RecordCount() == 0)
            failure.Collect();
        if (inTransaction)
            session->AbortTx();
        wchar_t text[1025] = L"";
        failure.GetText(text, 1024);
        LogError(static_cast<DWORD>(failure.Result()), text);
        SetAction(L"");
        SetFault(text);
        return false;
    }
}

void ArjWindow::MarkImagesBefore(const DODBPtr<DODBSession>& session, const FILETIME& date)
{
    BoundStatement mark(session, kMarkBeforeSql);
    mark.Params().SetValDate(1, date);
    mark.Run();
    BoundStatement remove(session, kDeleteBeforeSql);
    remove.Params().SetValDate(1, date);
    remove.Run();
}

void ArjWindow::DeleteImagesBefore()
{
    if (jobBits_ & kJobDeleteMarked)
        return;
    ClearBoxes();
    statusColour_ = kStatusRunning;
    SetStatusTextId(IDS_JOB_DELETING_IMAGES);

    // The default: three years ago.
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    FILETIME local;
    FileTimeToLocalFileTime(&now, &local);
    ULARGE_INTEGER t;
    t.LowPart = local.dwLowDateTime;
    t.HighPart = local.dwHighDateTime;
    t.QuadPart -= 1095ull * 24 * 3600 * 10000000ull;
    FILETIME before = {t.LowPart, t.HighPart};
    wchar_t text[kNameChars] = L"";
    FormatFileTime(text, kNameChars, DatePicture, &before);

    RECT r = {};
    GetWindowRect(&r);
    const int length = InputTextAt(hwnd, text, kNameChars, IDS_ENTER_DELETE_BEFORE_DATE, TRUE, r.left + 10,
                                   r.top + 10, InputAlign::kLeft | InputAlign::kTop);
    if (length <= 0)
        return;
    FILETIME date = {};
    if (!ParseDateToFileTime(text, &date, kParseDate)) {
        SetFault(ArchiveText(IDS_INVALID_DATE_FORMAT).c_str());
        SetStatusTextId(IDS_DELETION_PAUSED);
        return;
    }
    const std::wstring confirm = ArchiveText(IDS_CONFIRM_DELETE_BEFORE) + L" " + text;
    if (MessageBoxIdCaption(hwnd, confirm.c_str(), IDS_DELETING_IMAGES_CAPTION, MB_YESNO | MB_DEFBUTTON2) != IDYES) {
        SetStatusTextId(IDS_DELETING_PROGRAM_STOPPED);
        return;
    }
    LONG count = 0;
    if (!RunMarking(
            [&](const DODBPtr<DODBSession>& session) { count = CountWithDate(session, kCountBeforeSql, &date); }))
        return;
    if (MessageBoxIdFormat(hwnd, kDeleteQuestionCaption, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2,
                           kDeleteQuestion, static_cast<DWORD_PTR>(count)) != IDYES) {
        SetStatusTextId(IDS_DELETING_PROGRAM_STOPPED);
        return;
    }
    if (!RunMarking([&](const DODBPtr<DODBSession>& session) { MarkImagesBefore(session, date); }))
        return;
    jobBits_ &= ~kJobDeleteMarked;
    StartArchiving(IDS_JOB_DELETING_IMAGES, kJobDeleteMarked);
}

void ArjWindow::DeleteImportedPictures()
{
    LONG count = 0;
    if (!RunMarking(
            [&](const DODBPtr<DODBSession>& session) { count = CountWithDate(session, kCountImportedSql, nullptr); }))
        return;
    // Deleting every imported image is asked first, as the deletion by date is.
    if (MessageBoxIdFormat(hwnd, IDS_DELETING_IMAGES_CAPTION, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2,
                           IDS_CONFIRM_DELETE_IMPORTED, static_cast<DWORD_PTR>(count)) != IDYES)
        return;
    const bool marked = RunMarking([](const DODBPtr<DODBSession>& session) {
        BoundStatement mark(session, kMarkImportedSql);
        mark.Run();
        BoundStatement remove(session, kDeleteImportedSql);
        remove.Run();
    });
    if (marked)
        StartArchiving(IDS_JOB_DELETING_IMAGES, kJobDeleteMarked);
}

// ---- the remove-disk request ----------------------------------------------------------

void ArjWindow::EjectViaDiskSrv()
{
    if (jobBits_ & kBitRemoveError) {
        ClearBoxes();
        jobBits_ &= ~kBitRemoveError;
    }
    const DiskSrvOutcome outcome = EjectDiskViaDiskSrv(removableLetter_);
    if (outcome.step != kDiskSrvDone) {
        MessageBoxId(hwnd, DiskSrvFailureTextId(outcome), MB_OK);
        return;
    }
    if (outcome.result == 0) {
        jobBits_ |= kBitRemoveError;
        SetFault(ArchiveText(IDS_DISK_REMOVE_ERROR).c_str());
        SetAction(outcome.text);
    }
}
