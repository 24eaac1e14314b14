#include "printing/printstatewnd.h"

#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/textutil.h"
#include "printing/jobstatus.h"
#include "printing/spooler.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/formsfont.h"
#include "ui/gdi.h"
#include "ui/threadwait.h"
#include "ui/window_create.h"
#include "ui/window_errors.h"

#include <winspool.h>

#include <cwchar>

namespace {

bool gRegistered = false;

const UINT kLabelIds[5] = {IDS_PRINT_STATE_PRINTER, IDS_PRINT_STATE_STATUS, IDS_PRINT_STATE_POSITION,
                           IDS_PRINT_STATE_PAGES, IDS_PRINT_STATE_PRINTED};
const int kClientWidth = 599;
const COLORREF kStateBackground = RGB(0xDE, 0xDE, 0xDE);
const COLORREF kFailedBackground = RGB(0xF4, 0xC8, 0xC8);   // the state band of a failed print
const COLORREF kBarFrameLight = RGB(0xDF, 0xDF, 0xDF);
const COLORREF kBarPrinted = RGB(0, 0, 0xFF);
const COLORREF kBarLeft = RGB(0x80, 0x80, 0x80);

class Lock {
public:
    explicit Lock(CRITICAL_SECTION& section) : section_(section) { EnterCriticalSection(&section_); }
    ~Lock() { LeaveCriticalSection(&section_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    CRITICAL_SECTION& section_;
};

void CloseAndClear(HANDLE& handle)
{
    if (handle)
        CloseHandle(handle);
    handle = nullptr;
}

void DrawLine(HDC dc, int x1, int y1, int x2, int y2, COLORREF color)
{
    DGdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, color));
    ScopedSelect select(dc, pen.Get());
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

}  // namespace

// ---- class ------------------------------------------------------------------------

DMessageMapEntry DocPrintStateWnd::entries[] = {
    MapMessage<WM_CREATE, &DocPrintStateWnd::OnCreate>(),
    MapMessage<WM_DESTROY, &DocPrintStateWnd::OnDestroy>(),
    MapMessage<WM_SIZE, &DocPrintStateWnd::OnSize>(),
    MapMessage<WM_PAINT, &DocPrintStateWnd::OnPaint>(),
    MapMessage<WM_CLOSE, &DocPrintStateWnd::OnClose>(),
    MapMessage<WM_COMMAND, &DocPrintStateWnd::OnCommand>(),
    DMapEnd(),
};
DMessageMap DocPrintStateWnd::messageMap = {-1, 0, entries};

bool DocPrintStateWnd::RegisterClass()
{
    if (gRegistered)
        return true;
    HICON icon = static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_PICTURE_PRINT), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    HICON smallIcon = static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_PICTURE_PRINT), IMAGE_ICON,
                                                    GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    if (!DWindow::RegisterMapClass({kClassName, 0, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)),
                                    nullptr, icon, smallIcon}))
        return false;
    gRegistered = true;
    return true;
}

void DocPrintStateWnd::UnregisterClass()
{
    if (gRegistered)
        UnregisterClassAndIcons(kClassName);   // and the icons it was registered with
    gRegistered = false;
}

// ---- life -----------------------------------------------------------------------------

DocPrintStateWnd::DocPrintStateWnd()
{
    InitializeCriticalSection(&lock_);
}

DocPrintStateWnd::~DocPrintStateWnd()
{
    Stop();
    StopWatcher();
    CloseAndClear(abortEvent_);
    DeleteCriticalSection(&lock_);
}

struct DocPrintStateWnd::StartParams {
    HANDLE ready;
    DocPrintStateWnd* window;
    HWND parent;
    const wchar_t* title;
    bool created;
    LANGID language;   // the starter's, so that the window speaks it too
    LCID locale;
};

DWORD WINAPI DocPrintStateWnd::UiThreadProc(void* param)
{
    StartParams* start = static_cast<StartParams*>(param);
    DocPrintStateWnd* self = start->window;
    SetThreadUILanguage(start->language);
    SetThreadLocale(start->locale);
    bool created = false;
    try {
        created = self->CreateOnThisThread(start->parent, start->title);
    } catch (...) {
        created = false;
    }
    start->created = created;
    SetEvent(start->ready);   // `start` belongs to the starter from here on
    if (!created)
        return static_cast<DWORD>(-1);
    MSG message;
    while (self->hwnd && GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageShowing(message);
    }
    return 0;
}

bool DocPrintStateWnd::CreateOnThisThread(HWND parent, const wchar_t* title)
{
    if (!Create(WS_EX_TOPMOST, kClassName, title, WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 0, parent, nullptr,
                hInstance, nullptr))
        return false;
    // The client area: 599 pixels wide, 11 rows and the button high, in the
    // middle of the screen.
    RECT frame = {0, 0, kClientWidth, 11 * rowHeight_ + buttonHeight_ - 1};
    AdjustWindowRectEx(&frame, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_TOPMOST);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(hwnd, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    return true;
}

bool DocPrintStateWnd::Start(HWND parent, const wchar_t* title)
{
    if (hwnd || uiThread_)
        return false;
    if (!abortEvent_)
        abortEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!abortEvent_)
        return false;
    ResetEvent(abortEvent_);
    StartParams start = {CreateEventW(nullptr, TRUE, FALSE, nullptr), this, parent, title, false,
                         GetThreadUILanguage(), GetThreadLocale()};
    if (!start.ready)
        return false;
    DWORD id = 0;
    uiThread_ = CreateThread(nullptr, 0, UiThreadProc, &start, 0, &id);
    if (uiThread_) {
        HANDLE both[2] = {start.ready, uiThread_};
        WaitAnsweringSent(2, both, INFINITE);
    }
    CloseHandle(start.ready);
    if (!uiThread_ || !start.created) {
        if (uiThread_)
            WaitForSingleObject(uiThread_, INFINITE);
        CloseAndClear(uiThread_);
        return false;
    }
    return true;
}

bool DocPrintStateWnd::Stop()
{
    if (!uiThread_)
        return false;
    if (hwnd)
        PostMessageW(hwnd, WM_COMMAND, 0, 0);
    const bool ended = WaitAnsweringSent(uiThread_, INFINITE) == WAIT_OBJECT_0;
    if (!ended)
        TerminateThread(uiThread_, 0);
    CloseAndClear(uiThread_);
    return ended;
}

// ---- the printing thread's side ---------------------------------------------------

bool DocPrintStateWnd::SetStateText(UINT stringId)
{
    wchar_t text[256] = L"";
    LoadStringW(hInstance, stringId, text, 256);
    return SetStateTextStr(text);
}

bool DocPrintStateWnd::SetStateTextStr(const wchar_t* text)
{
    if (!hwnd || !text || !*text)
        return false;
    {
        Lock lock(lock_);
        state_ = text;
    }
    Invalidate(StateBand());
    return true;
}

bool DocPrintStateWnd::ShowFailure(const wchar_t* text)
{
    if (!hwnd)
        return false;
    {
        Lock lock(lock_);
        failed_ = true;
        if (text && *text)
            state_ = text;
    }
    Invalidate(RECT{0, 0, clientWidth_, clientHeight_});
    return true;
}

bool DocPrintStateWnd::SetPrinterName(const wchar_t* name)
{
    {
        Lock lock(lock_);
        if (watching_)
            return false;
        printerName_ = name ? name : L"";
    }
    Invalidate(DetailRow(0));
    return true;
}

bool DocPrintStateWnd::IsAbortRequested() const
{
    return abortEvent_ && WaitForSingleObject(abortEvent_, 0) == WAIT_OBJECT_0;
}

bool DocPrintStateWnd::WaitForClose(DWORD timeout)
{
    return abortEvent_ && WaitAnsweringSent(abortEvent_, timeout) == WAIT_OBJECT_0;
}

void DocPrintStateWnd::ResetAbort()
{
    if (abortEvent_)
        ResetEvent(abortEvent_);
}

bool DocPrintStateWnd::WaitJob(DWORD timeout)
{
    if (!hwnd || !watcherThread_ || !jobEndEvent_)
        return false;
    {
        Lock lock(lock_);
        waiting_ = true;
    }
    const bool ended = WaitAnsweringSent(jobEndEvent_, timeout) == WAIT_OBJECT_0;
    {
        Lock lock(lock_);
        waiting_ = false;
    }
    return ended;
}

DocPrintStateWnd::View DocPrintStateWnd::Read() const
{
    Lock lock(lock_);
    wchar_t pages[64] = L"";
    if (!failed_ || totalPages_ > 0 || pagesPrinted_ > 0)
        _snwprintf(pages, 63, L"%u/%u", static_cast<unsigned>(totalPages_), static_cast<unsigned>(pagesPrinted_));
    return View{state_,        printerName_, status_, position_, totalPages_, pagesPrinted_, totalBytes_,
                bytesPrinted_, watching_,    polling_, waiting_,  jobId_,      failed_,       pages,
                failed_ ? notPrinted_ : labels_[4]};
}

// ---- the window thread's side ---------------------------------------------------------

// The abort is set before anything that can end the printing code's wait for
// the job: the deletion (the watcher ends the wait as soon as the spooler has
// dropped the job) and the job-end event. Whoever that wait releases then
// finds the abort already asked. A refused deletion that the user does not
// give up on takes back only an abort this call set.
void DocPrintStateWnd::CancelJob()
{
    bool waiting;
    {
        Lock lock(lock_);
        waiting = waiting_;
    }
    const bool askedBefore = IsAbortRequested();
    if (abortEvent_)
        SetEvent(abortEvent_);
    if (!waiting)
        return;
    const DWORD error = printer_ ? GetSpooler().DeleteJob(printer_, jobId_) : ERROR_INVALID_HANDLE;
    if (error != ERROR_SUCCESS &&
        MessageBoxIdFormat(hwnd, IDS_PRINT, MB_OKCANCEL | MB_ICONEXCLAMATION, IDS_CANCEL_JOBS_ERROR, error) != IDOK) {
        if (abortEvent_ && !askedBefore)
            ResetEvent(abortEvent_);
        return;
    }
    if (jobEndEvent_)
        SetEvent(jobEndEvent_);
}

LRESULT DocPrintStateWnd::OnCreate(HWND window, LPARAM)
{
    for (int i = 0; i < 5; ++i)
        labels_[i] = LoadText(kLabelIds[i]);
    notPrinted_ = LoadText(IDS_PRINT_STATE_NOT_PRINTED);
    font_ = CreateFontIndirectW(GetFormsFont());
    if (!font_)
        return -1;
    HDC dc = ::GetDC(window);
    {
        ScopedSelect select(dc, font_);
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        rowHeight_ = metrics.tmHeight > 0 ? metrics.tmHeight : 16;
    }
    ::ReleaseDC(window, dc);

    static const DButtonNotify notify = {
        [](void* cookie, DButton*) { static_cast<DocPrintStateWnd*>(cookie)->CancelJob(); },
        nullptr, nullptr, nullptr, nullptr,
        [](void*, DButton* button) {
            const std::wstring tip = LoadText(IDS_TIP_INTERRUPT_PRINTING);
            button->SetToolTip(8, tip.c_str(), static_cast<int>(tip.size()));
        },
    };
    const std::wstring caption = LoadText(IDS_CANCEL);
    HICON icon = static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_CONNECT), IMAGE_ICON, IconSize,
                                               IconSize, 0));
    DButtonDesc desc = {sizeof(DButtonDesc), window,   DButtonStyle::kToolButton | DButtonStyle::kIconBeforeCaption,
                        0,                   0,        10,
                        10,                  this,     caption.c_str(),
                        icon,                IconSize, IconSize,
                        hInstance,           nullptr,  &notify};
    if (!cancel_.Create(&desc)) {
        if (icon)
            DestroyIcon(icon);
        return -1;
    }
    buttonHeight_ = cancel_.CalcHeight();
    return 0;
}

void DocPrintStateWnd::OnDestroy()
{
    StopWatcher();
    cancel_.Destroy();
    if (font_)
        DeleteObject(font_);
    font_ = nullptr;
    PostQuitMessage(0);
}

void DocPrintStateWnd::OnSize(int width, int height, WPARAM)
{
    clientWidth_ = width;
    clientHeight_ = height;
    labelWidth_ = width / 3;
    detailTop_ = 4 * rowHeight_;
    if (cancel_.GetHwnd())
        cancel_.Move(width / 4, height - buttonHeight_ - 4, width / 2, buttonHeight_, TRUE);
}

void DocPrintStateWnd::OnClose()
{
    CancelJob();
}

LRESULT DocPrintStateWnd::OnCommand(UINT, UINT, LPARAM)
{
    Destroy();
    return 0;
}

RECT DocPrintStateWnd::StateBand() const
{
    return RECT{0, 0, clientWidth_, 4 * rowHeight_ - rowHeight_ / 2};
}

RECT DocPrintStateWnd::DetailRow(int row) const
{
    const int top = detailTop_ + row * rowHeight_;
    return RECT{0, top, clientWidth_, top + rowHeight_};
}

RECT DocPrintStateWnd::BarInside() const
{
    RECT bar = DetailRow(5);
    return RECT{20 + 1, bar.top + 1, clientWidth_ - 21 - 1, bar.bottom - 1};
}

void DocPrintStateWnd::Invalidate(const RECT& rect)
{
    if (hwnd)
        InvalidateRect(hwnd, &rect, FALSE);
}

void DocPrintStateWnd::OnPaint()
{
    DPaintScope paint(hwnd);
    Paint(paint.Dc());
}

void DocPrintStateWnd::Paint(HDC dc)
{
    const View view = Read();
    ScopedSelect select(dc, font_);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));

    // The state band, and a black and a light line under it.
    RECT band = StateBand();
    FillSolidRect(dc, &band, view.failed ? kFailedBackground : kStateBackground);
    RECT text = {1, 0, band.right, band.bottom};
    DrawTextW(dc, view.state.c_str(), static_cast<int>(view.state.size()), &text, DT_NOPREFIX);
    DrawLine(dc, 0, band.bottom, clientWidth_, band.bottom, RGB(0, 0, 0));
    DrawLine(dc, 0, band.bottom + 1, clientWidth_, band.bottom + 1, GetSysColor(COLOR_BTNHIGHLIGHT));

    // The details on the window's background.
    RECT details = {0, band.bottom + 2, clientWidth_, DetailRow(6).top};
    FillSolidRect(dc, &details, GetSysColor(COLOR_WINDOW));
    for (int row = 0; row < 4; ++row) {
        RECT label = DetailRow(row);
        label.right = labelWidth_;
        DrawTextW(dc, labels_[row].c_str(), static_cast<int>(labels_[row].size()), &label,
                  DT_NOPREFIX | DT_SINGLELINE | DT_RIGHT);
    }
    RECT printed = DetailRow(4);
    DrawTextW(dc, view.outcome.c_str(), static_cast<int>(view.outcome.size()), &printed,
              DT_NOPREFIX | DT_SINGLELINE | DT_CENTER);

    wchar_t values[4][64] = {};
    const std::wstring* texts[2] = {&view.printer, &view.status};
    for (int row = 0; row < 4; ++row) {
        if (row > 0 && !view.watching)
            break;
        RECT value = DetailRow(row);
        value.left = labelWidth_ + 4;
        const wchar_t* shown = values[row];
        int length = -1;
        if (row < 2) {
            shown = texts[row]->c_str();
            length = static_cast<int>(texts[row]->size());
        } else if (row == 2) {
            _snwprintf(values[row], 63, L"%u", static_cast<unsigned>(view.position));
        } else {
            shown = view.pages.c_str();
            length = static_cast<int>(view.pages.size());
        }
        DrawTextW(dc, shown, length, &value, DT_NOPREFIX | DT_SINGLELINE);
    }

    // The bar: black top and left, light bottom and right; blue for the bytes
    // printed, grey for the rest.
    RECT bar = DetailRow(5);
    bar.left = 20;
    bar.right = clientWidth_ - 21;
    DrawLine(dc, bar.left, bar.top, bar.right, bar.top, RGB(0, 0, 0));
    DrawLine(dc, bar.left, bar.top, bar.left, bar.bottom, RGB(0, 0, 0));
    DrawLine(dc, bar.left, bar.bottom - 1, bar.right, bar.bottom - 1, kBarFrameLight);
    DrawLine(dc, bar.right - 1, bar.top, bar.right - 1, bar.bottom, kBarFrameLight);
    const RECT inside = BarInside();
    const int done =
        view.failed ? 0 : PrintedBarWidth(inside.right - inside.left, view.bytesPrinted, view.totalBytes);
    RECT blue = {inside.left, inside.top, inside.left + done, inside.bottom};
    RECT grey = {inside.left + done, inside.top, inside.right, inside.bottom};
    FillSolidRect(dc, &blue, kBarPrinted);
    FillSolidRect(dc, &grey, kBarLeft);

    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
}

// ---- values the watcher sets --------------------------------------------------------

void DocPrintStateWnd::SetStatusText(const std::wstring& text)
{
    {
        Lock lock(lock_);
        status_ = text;
    }
    Invalidate(DetailRow(1));
}

void DocPrintStateWnd::SetJobValue(DWORD DocPrintStateWnd::*field, DWORD value, int row)
{
    {
        Lock lock(lock_);
        this->*field = value;
    }
    Invalidate(row == 5 ? BarInside() : DetailRow(row));
}
