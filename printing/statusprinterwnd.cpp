#include "printing/statusprinterwnd.h"

#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/messages.h"
#include "foundation/textutil.h"
#include "printing/jobstatus.h"
#include "printing/printsettings.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/gdi.h"
#include "ui/placement.h"
#include "ui/std_controls.h"
#include "ui/window_create.h"

#include <commctrl.h>
#include <winspool.h>

#include <cwchar>

namespace {

bool gRegistered = false;

const wchar_t kPlacementKey[] = L"PrinterStatusWin";
const UINT kColumnIds[StatusPrinterWnd::kColumns] = {IDS_JOB_COLUMN_DOCUMENT, IDS_JOB_COLUMN_AUTHOR,
                                                     IDS_JOB_COLUMN_STATUS,   IDS_JOB_COLUMN_SUBMITTED,
                                                     IDS_JOB_COLUMN_PAGES,    IDS_JOB_COLUMN_PAGES_PRINTED};
const int kButtonWidth = 120;

std::wstring Number(DWORD value)
{
    wchar_t text[16];
    _snwprintf(text, 16, L"%u", static_cast<unsigned>(value));
    text[15] = 0;
    return text;
}

// The time the job was queued (UTC) in local time by the date-and-time
// picture; empty when the spooler gave none.
std::wstring SubmittedText(const SYSTEMTIME& utc)
{
    if (utc.wYear == 0)
        return std::wstring();
    SYSTEMTIME local = utc;
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        local = utc;
    wchar_t text[64] = L"";
    if (FormatSystemTime(text, 64, DateTimePicture, &local) < 0)
        return std::wstring();
    return text;
}

std::wstring StatusColumn(const SpoolJob& job)
{
    return job.statusString.empty() ? JobStatusText(job.status) : job.statusString;
}

bool ReadDword(HKEY key, const wchar_t* name, DWORD* value)
{
    DWORD type = 0, size = sizeof(DWORD);
    return RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
           type == REG_DWORD && size == sizeof(DWORD);
}

bool WriteDword(HKEY key, const wchar_t* name, DWORD value)
{
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
           ERROR_SUCCESS;
}

}  // namespace

// One report of the watcher.
struct StatusPrinterWnd::Report {
    enum Kind { kNotices, kJobs, kError };
    Kind kind;
    unsigned generation;
    std::vector<SpoolNotice> notices;   // kNotices
    std::vector<SpoolJob> jobs;         // kJobs: the whole queue
    DWORD error;                        // kError: the watcher ended on it
};

struct StatusPrinterWnd::WatchStart {
    StatusPrinterWnd* window;
    HANDLE printer;
    HANDLE stop;
    unsigned generation;
    HANDLE change;   // the notification, or null to poll
};

// ---- class ------------------------------------------------------------------------

DMessageMapEntry StatusPrinterWnd::entries[] = {
    MapMessage<WM_CREATE, &StatusPrinterWnd::OnCreate>(),
    MapMessage<WM_DESTROY, &StatusPrinterWnd::OnDestroy>(),
    MapMessage<WM_SIZE, &StatusPrinterWnd::OnSize>(),
    MapMessage<WM_PAINT, &StatusPrinterWnd::OnPaint>(),
    MapMessage<WM_COMMAND, &StatusPrinterWnd::OnCommand>(),
    MapMessage<WM_PRINTERQUEUE, &StatusPrinterWnd::OnPrinterQueue>(),
    DMapEnd(),
};
DMessageMap StatusPrinterWnd::messageMap = {-1, 0, entries};

StatusPrinterWnd& GetStatusPrinterWnd()
{
    static StatusPrinterWnd window;
    return window;
}

void ShowStatusPrinterWnd(HWND)
{
    GetStatusPrinterWnd().Show();
}

bool StatusPrinterWnd::RegisterClass()
{
    if (gRegistered)
        return true;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    HICON icon = static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_PICTURE_PRINT), IMAGE_ICON, 0, 0,
                                               LR_DEFAULTSIZE));
    HICON smallIcon =
        static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_PICTURE_PRINT), IMAGE_ICON, 16, 16, 0));
    if (!DWindow::RegisterMapClass({kClassName, CS_HREDRAW | CS_VREDRAW,
                                    reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)), nullptr, icon,
                                    smallIcon}))
        return false;
    gRegistered = true;
    return true;
}

void StatusPrinterWnd::UnregisterClass()
{
    GetStatusPrinterWnd().Destroy();
    if (gRegistered)
        UnregisterClassAndIcons(kClassName);   // and the icons it was registered with
    gRegistered = false;
}

StatusPrinterWnd::StatusPrinterWnd()
{
    InitializeCriticalSection(&lock_);
    pending_ = new std::vector<Report>;
}

StatusPrinterWnd::~StatusPrinterWnd()
{
    Destroy();   // our WM_DESTROY handler must run while the object is whole
    StopWatch();
    delete pending_;
    DeleteCriticalSection(&lock_);
}

bool StatusPrinterWnd::Show()
{
    if (hwnd)
        return true;
    if (!Create(WS_EX_TOPMOST | WS_EX_NOPARENTNOTIFY, kClassName, L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                500, 300, nullptr, nullptr, hInstance, nullptr))
        return false;
    return true;
}

// ---- creation and layout ---------------------------------------------------------

LRESULT StatusPrinterWnd::OnCreate(HWND window, LPARAM)
{
    stopEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!stopEvent_)
        return -1;
    SetWindowTextW(window, L"");
    combo_ = CreateWindowExW(0, L"COMBOBOX", nullptr, WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | WS_VSCROLL, 0, 0,
                             100, 200, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kComboId)), hInstance,
                             nullptr);
    list_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, nullptr,
                            WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL, 0, 0, 100, 100,
                            window, nullptr, hInstance, nullptr);
    if (!combo_ || !list_)
        return -1;
    SendMessageW(combo_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    for (int i = 0; i < kColumns; ++i) {
        const std::wstring header = LoadText(kColumnIds[i]);
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.fmt = LVCFMT_LEFT;
        column.cx = 100;
        column.pszText = const_cast<wchar_t*>(header.c_str());
        if (SendMessageW(list_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column)) != i)
            return -1;
    }

    static const DButtonNotify notify = {
        [](void* cookie, DButton* button) {
            StatusPrinterWnd* self = static_cast<StatusPrinterWnd*>(cookie);
            switch (button->ownerValue) {
            case 0: self->Destroy(); break;
            case 1: self->DeleteJob(); break;
            default: self->PurgePrinter(); break;
            }
        },
        nullptr, nullptr, nullptr, nullptr, nullptr,
    };
    const struct {
        UINT caption;
        UINT icon;
    } kButtons[3] = {
        {IDS_EXIT, IDI_CONNECT}, {IDS_DELETE_JOB, IDI_PRINT_DELETE}, {IDS_DELETE_ALL_JOBS, IDI_PRINT_DELETE}};
    for (int i = 0; i < 3; ++i) {
        const std::wstring caption = LoadText(kButtons[i].caption);
        HICON icon = static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(kButtons[i].icon), IMAGE_ICON, IconSize,
                                                   IconSize, 0));
        DButtonDesc desc = {sizeof(DButtonDesc),
                            window,
                            DButtonStyle::kVisible | DButtonStyle::kOwnsIcon | DButtonStyle::kIconBeforeCaption,
                            0, 0, kButtonWidth, 30, this, caption.c_str(), icon, IconSize, IconSize, hInstance,
                            nullptr, &notify};
        buttons_[i].ownerValue = i;
        if (!buttons_[i].Create(&desc)) {
            if (icon)
                DestroyIcon(icon);
            return -1;
        }
    }
    LoadPlacement();
    FillPrinters();
    return 0;
}

void StatusPrinterWnd::OnSize(int width, int height, WPARAM)
{
    if (!combo_)
        return;
    MoveWindow(combo_, 0, 0, width, 200, TRUE);
    RECT comboRect = {};
    ::GetWindowRect(combo_, &comboRect);
    const int comboHeight = comboRect.bottom - comboRect.top;
    int buttonHeight = buttons_[0].GetLineHeight() * 3 / 2 + buttons_[0].GetMargin();
    if (buttonHeight < buttons_[0].CalcHeight())
        buttonHeight = buttons_[0].CalcHeight();
    // 120 pixels, or what the longest caption needs beside its icon.
    int buttonWidth = kButtonWidth;
    for (DButton& button : buttons_) {
        const int needed = button.GetTextWidth() + IconSize + button.GetMargin() + 8;
        if (needed > buttonWidth)
            buttonWidth = needed;
    }
    for (int i = 0; i < 3; ++i)
        buttons_[i].Move(width - buttonWidth, comboHeight + i * buttonHeight, buttonWidth, buttonHeight, TRUE);
    MoveWindow(list_, 0, comboHeight, width - buttonWidth - 1 > 0 ? width - buttonWidth - 1 : 0,
               height - comboHeight > 0 ? height - comboHeight : 0, TRUE);
}

void StatusPrinterWnd::OnPaint()
{
    DPaintScope paint(hwnd);
    RECT client;
    ::GetClientRect(hwnd, &client);
    FillRect(paint.Dc(), &client, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)));
}

void StatusPrinterWnd::OnDestroy()
{
    StopWatch();
    if (stopEvent_)
        CloseHandle(stopEvent_);
    stopEvent_ = nullptr;
    SavePlacement();
    for (DButton& button : buttons_)
        button.Destroy();
    if (list_)
        DestroyWindow(list_);
    list_ = nullptr;
    combo_ = nullptr;
    EnterCriticalSection(&lock_);
    pending_->clear();
    posted_ = false;
    LeaveCriticalSection(&lock_);
}

LRESULT StatusPrinterWnd::OnCommand(UINT id, UINT code, LPARAM control)
{
    if (id == kComboId && code == CBN_SELCHANGE) {
        const int selected = static_cast<int>(SendMessageW(combo_, CB_GETCURSEL, 0, 0));
        if (selected < 0) {
            StartWatch(nullptr);
        } else {
            const int length = static_cast<int>(SendMessageW(combo_, CB_GETLBTEXTLEN, selected, 0));
            std::wstring name(length > 0 ? length : 0, L'\0');
            SendMessageW(combo_, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(&name[0]));
            name.resize(wcslen(name.c_str()));
            StartWatch(name.c_str());
        }
        return 0;
    }
    if (id == kRefreshId) {
        FillJobs();
        return 0;
    }
    return DefWindowProcW(hwnd, WM_COMMAND, MAKEWPARAM(id, code), control);
}

// ---- printers and jobs -------------------------------------------------------------

bool StatusPrinterWnd::FillPrinters()
{
    std::vector<std::wstring> names;
    const DWORD error = GetSpooler().ListPrinters(&names);
    SendMessageW(combo_, CB_RESETCONTENT, 0, 0);
    if (error != ERROR_SUCCESS) {
        LogError(error, L"EnumPrintersW (printer status window)");
        return false;
    }
    for (const std::wstring& name : names)
        SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (!names.empty()) {
        SendMessageW(combo_, CB_SETCURSEL, 0, 0);
        StartWatch(names[0].c_str());
    }
    return true;
}

void StatusPrinterWnd::StopWatch()
{
    if (watcher_) {
        SetEvent(stopEvent_);
        if (WaitForSingleObject(watcher_, INFINITE) != WAIT_OBJECT_0)
            TerminateThread(watcher_, 0);
        CloseHandle(watcher_);
        watcher_ = nullptr;
    }
    if (printer_)
        GetSpooler().CloseQueue(printer_);
    printer_ = nullptr;
    polling_ = false;
}

bool StatusPrinterWnd::StartWatch(const wchar_t* printerName)
{
    StopWatch();
    EnterCriticalSection(&lock_);
    ++generation_;
    pending_->clear();
    const unsigned generation = generation_;
    LeaveCriticalSection(&lock_);
    if (!printerName || !*printerName) {
        FillJobs();
        return true;
    }
    Spooler& spooler = GetSpooler();
    DWORD error = 0;
    printer_ = spooler.OpenQueue(printerName, PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_USE, &error);
    if (!printer_ && error == ERROR_ACCESS_DENIED)
        printer_ = spooler.OpenQueue(printerName, PRINTER_ACCESS_USE, &error);
    if (!printer_) {
        LogError(error, L"OpenPrinterW (printer status window)");
        FillJobs();
        return false;
    }
    HANDLE change = spooler.FindFirstChange(printer_, 0, kQueueWatchFields, &error);
    if (!change)
        LogError(error, L"FindFirstPrinterChangeNotification (the printer queue is polled)");
    polling_ = change == nullptr;
    ResetEvent(stopEvent_);
    WatchStart* start = new WatchStart{this, printer_, stopEvent_, generation, change};
    DWORD id = 0;
    watcher_ = CreateThread(nullptr, 131072, WatcherProc, start, STACK_SIZE_PARAM_IS_A_RESERVATION, &id);
    if (!watcher_) {
        if (change)
            spooler.FindCloseChange(change);
        delete start;
        FillJobs();
        return false;
    }
    FillJobs();
    return true;
}

DWORD WINAPI StatusPrinterWnd::WatcherProc(void* param)
{
    WatchStart start = *static_cast<WatchStart*>(param);
    delete static_cast<WatchStart*>(param);
    Spooler& spooler = GetSpooler();
    DWORD result = ERROR_SUCCESS;
    for (;;) {
        if (!start.change) {
            if (WaitForSingleObject(start.stop, kPollInterval) != WAIT_TIMEOUT)
                break;
            Report report{Report::kJobs, start.generation, {}, {}, 0};
            const DWORD error = spooler.ListJobs(start.printer, 0, kMaxJobs, &report.jobs);
            if (error != ERROR_SUCCESS)
                continue;   // the next round asks again
            start.window->Post(std::move(report));
            continue;
        }
        HANDLE handles[2] = {start.stop, start.change};
        const DWORD waited = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (waited == WAIT_OBJECT_0)
            break;
        if (waited != WAIT_OBJECT_0 + 1) {
            result = GetLastError();
            break;
        }
        SpoolChanges changes;
        const DWORD error = spooler.FindNextChange(start.change, false, &changes);
        if (error != ERROR_SUCCESS) {
            start.window->Post(Report{Report::kError, start.generation, {}, {}, error});
            result = error;
            break;
        }
        if (changes.overflow) {
            Report report{Report::kJobs, start.generation, {}, {}, 0};
            if (spooler.ListJobs(start.printer, 0, kMaxJobs, &report.jobs) == ERROR_SUCCESS)
                start.window->Post(std::move(report));
        } else if (!changes.notices.empty()) {
            start.window->Post(Report{Report::kNotices, start.generation, std::move(changes.notices), {}, 0});
        }
    }
    if (start.change)
        spooler.FindCloseChange(start.change);
    return result;
}

void StatusPrinterWnd::Post(Report&& report)
{
    EnterCriticalSection(&lock_);
    const bool current = report.generation == generation_;
    if (current)
        pending_->push_back(std::move(report));
    const bool post = current && !posted_;
    if (post)
        posted_ = true;
    HWND window = hwnd;
    LeaveCriticalSection(&lock_);
    if (post && window)
        PostMessageW(window, WM_PRINTERQUEUE, 0, 0);
}

void StatusPrinterWnd::OnPrinterQueue()
{
    std::vector<Report> reports;
    EnterCriticalSection(&lock_);
    reports.swap(*pending_);
    posted_ = false;
    const unsigned generation = generation_;
    LeaveCriticalSection(&lock_);
    for (const Report& report : reports) {
        if (report.generation != generation)
            continue;
        switch (report.kind) {
        case Report::kNotices: ApplyNotices(report.notices); break;
        case Report::kJobs: SyncJobs(report.jobs); break;
        case Report::kError: ShowErrorCodeBox(report.error); break;
        }
    }
}

bool StatusPrinterWnd::FillJobs()
{
    if (!list_)
        return false;
    SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
    if (!printer_)
        return true;
    std::vector<SpoolJob> jobs;
    const DWORD error = GetSpooler().ListJobs(printer_, 0, kMaxJobs, &jobs);
    if (error != ERROR_SUCCESS) {
        LogError(error, L"EnumJobsW (printer status window)");
        return false;
    }
    for (const SpoolJob& job : jobs)
        if (AppendJob(job) < 0)
            break;
    return true;
}

int StatusPrinterWnd::FindRow(DWORD jobId) const
{
    LVFINDINFOW find = {};
    find.flags = LVFI_PARAM;
    find.lParam = static_cast<LPARAM>(jobId);
    return static_cast<int>(
        SendMessageW(list_, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

int StatusPrinterWnd::AppendJob(const SpoolJob& job)
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<wchar_t*>(job.document.c_str());
    item.lParam = static_cast<LPARAM>(job.id);
    const int row = static_cast<int>(SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row >= 0)
        SetRowTexts(row, job);
    return row;
}

void StatusPrinterWnd::SetCell(int row, int column, const std::wstring& text)
{
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(list_, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

void StatusPrinterWnd::SetRowTexts(int row, const SpoolJob& job)
{
    SetCell(row, 0, job.document);
    SetCell(row, 1, job.user);
    SetCell(row, 2, StatusColumn(job));
    SetCell(row, 3, SubmittedText(job.submitted));
    SetCell(row, 4, Number(job.totalPages));
    SetCell(row, 5, Number(job.pagesPrinted));
}

void StatusPrinterWnd::ApplyNotices(const std::vector<SpoolNotice>& notices)
{
    Spooler& spooler = GetSpooler();
    for (const SpoolNotice& notice : notices) {
        if (notice.kind == SpoolNotice::kPrinter) {
            // The queue is empty: so is the list (nothing is purged).
            if (notice.field == PRINTER_NOTIFY_FIELD_CJOBS && notice.number == 0)
                SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
            continue;
        }
        int row = FindRow(notice.id);
        if (row < 0) {
            SpoolJob job;
            if (!printer_ || spooler.ReadJob(printer_, notice.id, &job) != ERROR_SUCCESS)
                continue;
            row = AppendJob(job);
            if (row < 0)
                continue;
        }
        switch (notice.field) {
        case JOB_NOTIFY_FIELD_USER_NAME: SetCell(row, 1, notice.text); break;
        case JOB_NOTIFY_FIELD_DOCUMENT: SetCell(row, 0, notice.text); break;
        case JOB_NOTIFY_FIELD_STATUS_STRING: SetCell(row, 2, notice.text); break;
        case JOB_NOTIFY_FIELD_TOTAL_PAGES: SetCell(row, 4, Number(notice.number)); break;
        case JOB_NOTIFY_FIELD_PAGES_PRINTED: SetCell(row, 5, Number(notice.number)); break;
        case JOB_NOTIFY_FIELD_STATUS:
            if ((notice.number & JOB_STATUS_DELETED) || !printer_ ||
                spooler.ReadJob(printer_, notice.id, nullptr) != ERROR_SUCCESS)
                SendMessageW(list_, LVM_DELETEITEM, row, 0);
            else
                SetCell(row, 2, JobStatusText(notice.number));
            break;
        default:
            break;
        }
    }
}

void StatusPrinterWnd::SyncJobs(const std::vector<SpoolJob>& jobs)
{
    // Rows of jobs the queue no longer has go; the others are brought up to
    // date in place (the selection stays on its job); new jobs follow.
    const std::vector<DWORD> rows = RowJobs();
    for (int row = static_cast<int>(rows.size()) - 1; row >= 0; --row) {
        bool present = false;
        for (const SpoolJob& job : jobs)
            present = present || job.id == rows[row];
        if (!present)
            SendMessageW(list_, LVM_DELETEITEM, row, 0);
    }
    for (const SpoolJob& job : jobs) {
        const int row = FindRow(job.id);
        if (row >= 0)
            SetRowTexts(row, job);
        else if (AppendJob(job) < 0)
            break;
    }
}

std::vector<DWORD> StatusPrinterWnd::RowJobs() const
{
    std::vector<DWORD> ids;
    const int count = list_ ? static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0)) : 0;
    for (int row = 0; row < count; ++row) {
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        SendMessageW(list_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        ids.push_back(static_cast<DWORD>(item.lParam));
    }
    return ids;
}

std::wstring StatusPrinterWnd::CellText(int row, int column) const
{
    return ListViewText(list_, row, column);
}

void StatusPrinterWnd::DeleteJob()
{
    const int row = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (row < 0 || !printer_)
        return;
    const std::vector<DWORD> ids = RowJobs();
    const DWORD error = GetSpooler().DeleteJob(printer_, ids[row]);
    if (error != ERROR_SUCCESS)
        ShowErrorCodeBox(error);
}

void StatusPrinterWnd::PurgePrinter()
{
    if (!printer_)
        return;
    DWORD first = ERROR_SUCCESS;
    for (DWORD id : RowJobs()) {
        const DWORD error = GetSpooler().DeleteJob(printer_, id);
        if (error != ERROR_SUCCESS && first == ERROR_SUCCESS)
            first = error;
    }
    if (first != ERROR_SUCCESS)
        ShowErrorCodeBox(first);
}

// ---- placement --------------------------------------------------------------------------

void StatusPrinterWnd::LoadPlacement()
{
    PrintKey key;
    if (key.Open(kPlacementKey, KEY_READ, false) != ERROR_SUCCESS)
        return;
    DWORD rect[4];
    const wchar_t* names[4] = {L"x", L"y", L"w", L"h"};
    for (int i = 0; i < 4; ++i)
        if (!ReadDword(key.Get(), names[i], &rect[i]))
            return;
    PlacementRect placement = {static_cast<int>(rect[0]), static_cast<int>(rect[1]), static_cast<int>(rect[2]),
                               static_cast<int>(rect[3])};
    ClampToWorkArea(placement);
    MoveWindow(hwnd, placement.x, placement.y, placement.cx, placement.cy, TRUE);
    for (int column = 0; column < kColumns; ++column) {
        wchar_t name[8];
        _snwprintf(name, 8, L"%i", column + 1);
        name[7] = 0;
        DWORD width = 0;
        if (!ReadDword(key.Get(), name, &width))
            return;
        SendMessageW(list_, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(static_cast<int>(width), 0));
    }
}

void StatusPrinterWnd::SavePlacement()
{
    RECT rect;
    if (!hwnd || !::GetWindowRect(hwnd, &rect))
        return;
    PrintKey key;
    if (key.Open(kPlacementKey, KEY_WRITE, true) != ERROR_SUCCESS)
        return;
    WriteDword(key.Get(), L"x", static_cast<DWORD>(rect.left));
    WriteDword(key.Get(), L"y", static_cast<DWORD>(rect.top));
    WriteDword(key.Get(), L"w", static_cast<DWORD>(rect.right - rect.left));
    WriteDword(key.Get(), L"h", static_cast<DWORD>(rect.bottom - rect.top));
    for (int column = 0; list_ && column < kColumns; ++column) {
        const int width = static_cast<int>(SendMessageW(list_, LVM_GETCOLUMNWIDTH, column, 0));
        if (width < 0)
            break;
        wchar_t name[8];
        _snwprintf(name, 8, L"%i", column + 1);
        name[7] = 0;
        WriteDword(key.Get(), name, static_cast<DWORD>(width));
    }
}
