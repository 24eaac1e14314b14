// The archive window: class, creation, layout, painting, the status lines,
// the mouse-over help and the worker's reports. See arjwindow.h.
#include "archive/arjwindow.h"

#include "archive/archivebutton.h"
#include "archive/arjworker.h"
#include "archive/workerbase.h"
#include "database/dberrors.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "exchange/disks/arjregistry.h"
#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/textutil.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/formsfont.h"
#include "ui/window_errors.h"

#include <commctrl.h>

#include <cwchar>

namespace {

const wchar_t kNotArchivedSql[] = L"SELECT COUNT(*) FROM Snimok WHERE Arj IS NULL AND [File Name] IS NOT NULL;";
const wchar_t kMarkedSql[] = L"SELECT count(*) FROM DelImage ;";
const wchar_t kArjKey[] = L"Arj";
const wchar_t kAverageImageValue[] = L"AverageImage";

struct ButtonSpec {
    UINT icon;
    UINT caption;
    UINT help;
};
const ButtonSpec kButtonSpecs[kArjButtons] = {
    {IDI_ARCHIVE, IDS_START, IDS_HELP_START_ARCHIVING},
    {IDI_STOP_PROCESS, IDS_ARCHIVE_STOP, IDS_HELP_ABORT},
    {IDI_REMOVE_DISK, IDS_REMOVE_DISK, IDS_HELP_REMOVE_DISK},
    {IDI_CONNECT, IDS_CLOSE, IDS_HELP_CLOSE_WINDOW},
};

std::wstring FormatNumber(UINT id, DWORD_PTR value)
{
    const std::wstring pattern = ArchiveText(id);
    wchar_t* out = nullptr;
    DWORD_PTR args[1] = {value};
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                       FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                   pattern.c_str(), 0, 0, reinterpret_cast<wchar_t*>(&out), 0,
                                   reinterpret_cast<va_list*>(args));
    std::wstring text = n && out ? std::wstring(out, n) : std::wstring();
    if (out)
        LocalFree(out);
    return text;
}

// A wsprintf picture with one "%i".
std::wstring FormatPicture(UINT id, int value)
{
    const std::wstring pattern = ArchiveText(id);
    wchar_t text[300];
    wsprintfW(text, pattern.c_str(), value);
    return text;
}

bool StrictlyInside(const RECT& r, int x, int y)
{
    return x > r.left && x < r.right && y > r.top && y < r.bottom;
}

}  // namespace

DMessageMapEntry ArjWindow::entries[] = {
    MapMessage<WM_PAINT, &ArjWindow::OnPaint>(),
    MapMessage<WM_CREATE, &ArjWindow::OnCreate>(),
    MapMessage<WM_SIZE, &ArjWindow::OnSize>(),
    MapMessage<WM_MOUSEMOVE, &ArjWindow::OnMouseMove>(),
    MapMessage<WM_COMMAND, &ArjWindow::OnCommand>(),
    MapMessage<WM_CLOSE, &ArjWindow::OnClose>(),
    MapMessage<WM_TIMER, &ArjWindow::OnTimer>(),
    MapMessage<WM_DESTROY, &ArjWindow::OnDestroy>(),
    MapMessage<WM_KEYDOWN, &ArjWindow::OnKeyDown>(),
    MapMessage<WM_ARJ_PROGRESS_ANSWER, &ArjWindow::OnProgressAnswer>(),
    MapMessage<WM_ARJ_CONTINUE, &ArjWindow::OnContinueRequest>(),
    MapMessage<WM_ARJ_PROGRESS, &ArjWindow::OnWorkerUpdate>(),
    DMapEnd(),
};
DMessageMap ArjWindow::messageMap = {-1, 0, entries};

const DButtonNotify ArjWindow::kButtonNotify = {&ArjWindow::OnButtonClicked, nullptr, nullptr,
                                                nullptr, nullptr, nullptr};

const DButtonInput ArjWindow::kButtonInput = {
    nullptr, nullptr, &ArjWindow::OnButtonMouseMove, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, &ArjWindow::OnButtonKeyDown, nullptr, nullptr,
};

ArjWindow::ArjWindow()
{
    InitializeCriticalSection(&answer_.lock);
}

ArjWindow::~ArjWindow()
{
    Destroy();   // our WM_DESTROY handler must run while the object is whole
    DeleteCriticalSection(&answer_.lock);
}

bool ArjWindow::RegisterClass()
{
    WindowClass cls = {kClassName, CS_HREDRAW | CS_VREDRAW,
                       reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)), nullptr, LoadArchiveIcon()};
    cls.menu = MAKEINTRESOURCEW(IDM_ARCHIVE);
    return DWindow::RegisterMapClass(cls);
}

void ArjWindow::UnregisterClass()
{
    UnregisterClassAndIcons(kClassName);
}

bool ArjWindow::Create(HWND owner)
{
    bool created = false;
    if (!hwnd) {
        const std::wstring title = ArchiveText(IDS_ARCHIVING_TITLE);
        created = DWindow::Create(0, kClassName, title.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 0,
                                  owner, nullptr, hInstance, nullptr);
    }
    if (!created) {
        MessageBoxId(owner, IDS_ARCHIVE_WINDOW_ERROR, MB_OK);
        return false;
    }
    Show(SW_SHOW);
    Update();
    return true;
}

// ---- creation --------------------------------------------------------------------

void ArjWindow::CountImages()
{
    markedCount_ = -1;
    notArchivedCount_ = -1;
    copiedCount_ = 0;
    if (!g_DbSource.IsSet())
        return;
    DODBPtr<DODBSession> session;
    if (FAILED(g_DbSource->CreateSession(session)) || !session.IsSet())
        return;
    try {
        BoundStatement query(session, kNotArchivedSql);
        LONG n = 0;
        if (query.First() && RowInt(query.Row(), 0, &n))
            notArchivedCount_ = n;
    } catch (const DODBErrors&) {
    }
    markedCount_ = CountMarked(session);
}

LONG ArjWindow::CountMarked(const DODBPtr<DODBSession>& session)
{
    try {
        BoundStatement query(session, kMarkedSql);
        LONG n = 0;
        if (query.First() && RowInt(query.Row(), 0, &n))
            return n;
    } catch (const DODBErrors&) {
    }
    return -1;
}

void ArjWindow::MakeFonts()
{
    LOGFONTW base = {};
    if (const LOGFONTW* forms = GetFormsFont()) {
        base = *forms;
    } else {
        base.lfHeight = -17;
        base.lfWeight = FW_NORMAL;
        base.lfCharSet = RUSSIAN_CHARSET;
        base.lfOutPrecision = OUT_TT_ONLY_PRECIS;
        wcscpy(base.lfFaceName, L"Times New Roman");
    }
    LOGFONTW lf = base;
    lf.lfHeight = static_cast<LONG>(base.lfHeight / 1.1);
    lineFont_.Reset(CreateFontIndirectW(&lf));
    lf.lfHeight = static_cast<LONG>(base.lfHeight * 1.5);
    statusFont_.Reset(CreateFontIndirectW(&lf));
    lf.lfHeight = base.lfHeight;
    frameFont_.Reset(CreateFontIndirectW(&lf));
}

bool ArjWindow::MakeButtons()
{
    for (int i = 0; i < kArjButtons; ++i) {
        buttons_[i].ownerValue = i;
        if (!CreateArchiveButton(buttons_[i], hwnd, this, kButtonSpecs[i].caption, kButtonSpecs[i].icon, &kButtonInput,
                                 &kButtonNotify))
            return false;
    }
    EnableButton(kArjStop, false);
    return true;
}

LRESULT ArjWindow::OnCreate(HWND, LPARAM createStruct)
{
    CountImages();

    statusBar_ = CreateStatusWindowW(WS_CHILD | WS_VISIBLE, L"", hwnd, 0);
    if (!statusBar_)
        return -1;
    if (StatusFont)
        SendMessageW(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(StatusFont), FALSE);

    InitializeCriticalSection(&lock_);
    lockReady_ = true;
    readyText_ = ArchiveText(IDS_ARCHIVE_READY);
    copiedText_ = ArchiveText(IDS_COPIED_IMAGES);
    notArchivedText_ = ArchiveText(IDS_IMAGES_NOT_ARCHIVED);
    statusText_ = readyText_;
    jobBits_ |= kBitCreated;
    averageImageSize_ = 2000000;
    recommendedFreeMb_ = SpaceMin;
    dataFolder_ = DataPath;
    imageFolder_ = ImageFolder;
    iconFolder_ = IconFolder;
    archivePath_ = ArchivePath;
    removableLetter_ = archivePath_.empty() ? 0 : archivePath_[0];
    ShowLastDbDate();

    if (!MakeButtons())
        return -1;

    DWORD average = 0, size = sizeof average;
    averageImageSize_ = ArjRegRead(kArjKey, kAverageImageValue, REG_DWORD, &average, &size) ? average : 0;

    MakeFonts();
    faultPanel_.Create(hwnd, hInstance);
    actionPanel_.Create(hwnd, hInstance);
    faultPanel_.SetFont(lineFont_.Get());
    actionPanel_.SetFont(lineFont_.Get());
    faultPanel_.SetColor(kLineGrey);
    actionPanel_.SetColor(kLineGrey);
    faultFrame_.Init(hwnd, frameFont_.Get());
    actionFrame_.Init(hwnd, frameFont_.Get());
    statusFrame_.Init(hwnd, frameFont_.Get());
    copyFrame_.Init(hwnd, frameFont_.Get());
    infoFrame_.Init(hwnd, frameFont_.Get());
    progressBar_.Init(hwnd);

    // Geometry from the screen.
    RECT bar = {};
    ::GetWindowRect(statusBar_, &bar);
    int textHeight = buttons_[kArjStart].GetLineHeight();
    if (textHeight <= 0)
        textHeight = 16;
    metrics_ = ComputeArjMetrics(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), textHeight,
                                 bar.bottom - bar.top);

    // The menu.
    HMENU menu = GetMenu(hwnd);
    if (menu) {
        if (MobilMode == 0)
            DeleteMenu(menu, kCmdDeleteImported, MF_BYCOMMAND);
        if (IsAdministrator) {
            HMENU settings = CreatePopupMenu();
            const std::wstring item = ArchiveText(IDS_DATABASE_ARCHIVING_SETTINGS);
            const std::wstring popup = ArchiveText(IDS_SETTINGS);
            AppendMenuW(settings, MF_STRING, kCmdSettings, item.c_str());
            AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(settings), popup.c_str());
        }
    }

    const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(createStruct);
    RECT r = {0, 0, metrics_.clientWidth, metrics_.clientHeight};
    AdjustWindowRectEx(&r, cs->style, menu != nullptr, cs->dwExStyle);
    const int width = r.right - r.left, height = r.bottom - r.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    // The menu bar may wrap: the client area must still hold the layout.
    RECT client = {};
    ::GetClientRect(hwnd, &client);
    if (client.bottom < metrics_.clientHeight)
        SetWindowPos(hwnd, nullptr, x, y, width, height + metrics_.clientHeight - client.bottom,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    MeasureHardDisk();
    MeasureRemovable();
    return 0;
}

void ArjWindow::OnDestroy()
{
    KillTimer();
    link_.Stop();
    link_.Reset();
    for (DButton& b : buttons_)
        if (b.GetHwnd())
            DestroyWindow(b.GetHwnd());
    if (statusBar_) {
        DestroyWindow(statusBar_);
        statusBar_ = nullptr;
    }
    lineFont_.Reset();
    statusFont_.Reset();
    frameFont_.Reset();
    if (lockReady_) {
        DeleteCriticalSection(&lock_);
        lockReady_ = false;
    }
}

void ArjWindow::OnSize(int width, int height, WPARAM)
{
    if (statusBar_)
        SendMessageW(statusBar_, WM_SIZE, 0, 0);
    layout_ = LayoutArjWindow(metrics_, width, height);
    for (int i = 0; i < kArjButtons; ++i) {
        const RECT& b = layout_.buttons[i];
        buttons_[i].Move(b.left, b.top, b.right - b.left, b.bottom - b.top, TRUE);
    }
    const RECT& f = layout_.faultBox;
    faultPanel_.SetRect(f.left, f.top, f.right - f.left, f.bottom - f.top);
    faultPanel_.SetText(faultText_.c_str(), static_cast<int>(faultText_.size()));
    const RECT& a = layout_.actionBox;
    actionPanel_.SetRect(a.left, a.top, a.right - a.left, a.bottom - a.top);
    actionPanel_.SetText(actionText_.c_str(), static_cast<int>(actionText_.size()));
    const auto frame = [](DrawnGroupFrame& target, const RECT& r, UINT caption) {
        target.SetRect(r.left, r.top, r.right, r.bottom, ArchiveText(caption).c_str());
    };
    frame(faultFrame_, layout_.faultFrame, IDS_FRAME_FAULT_REASON);
    frame(actionFrame_, layout_.actionFrame, IDS_FRAME_TROUBLESHOOTING);
    frame(statusFrame_, layout_.statusFrame, IDS_FRAME_STATUS);
    frame(copyFrame_, layout_.copyFrame, IDS_FRAME_COPYING_IMAGE);
    frame(infoFrame_, layout_.infoFrame, IDS_FRAME_INFORMATION);
    const RECT& p = layout_.progressBar;
    progressBar_.SetRect(p.left, p.top, p.right, p.bottom, 20);
}

// ---- the status lines -------------------------------------------------------------

void ArjWindow::ShowLastDbDate()
{
    lastDbDate_.clear();
    lastDbDisk_.clear();
    BYTE bytes[8] = {};
    DWORD size = sizeof bytes;
    if (ArjRegRead(kBackupDbKey, kLastDbDateValue, REG_BINARY, bytes, &size) && size == 8) {
        FILETIME date;
        date.dwLowDateTime = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<DWORD>(bytes[3]) << 24);
        date.dwHighDateTime = bytes[4] | (bytes[5] << 8) | (bytes[6] << 16) | (static_cast<DWORD>(bytes[7]) << 24);
        wchar_t text[64] = L"";
        if (FormatFileTime(text, 64, L"dd.MM.yyyy", &date) > 0)
            lastDbDate_ = text;
    }
    wchar_t disk[65] = L"";
    DWORD chars = 65;
    if (ArjRegRead(kBackupDbKey, kDiskLastCopyValue, REG_SZ, disk, &chars))
        lastDbDisk_ = disk;
}

void ArjWindow::MeasureHardDisk()
{
    const wchar_t root[4] = {dataFolder_.empty() ? L'\0' : dataFolder_[0], L':', L'\\', 0};
    ULARGE_INTEGER available, total, freeBytes;
    if (lockReady_)
        EnterCriticalSection(&lock_);
    if (root[0] && GetDiskFreeSpaceExW(root, &available, &total, &freeBytes)) {
        hardDiskFreeMb_ = freeBytes.QuadPart / 1048576ull;
        hardDiskMeasured_ = true;
    } else {
        hardDiskFreeMb_ = 0;
        hardDiskMeasured_ = false;
    }
    if (lockReady_)
        LeaveCriticalSection(&lock_);
}

void ArjWindow::MeasureRemovable()
{
    wchar_t root[8] = L"";
    if (removableLetter_)
        _snwprintf(root, 7, L"%lc:\\", removableLetter_);
    root[7] = 0;
    ULARGE_INTEGER available, total, freeBytes;
    if (lockReady_)
        EnterCriticalSection(&lock_);
    if (root[0] && GetDiskFreeSpaceExW(root, &available, &total, &freeBytes)) {
        removableFreeMb_ = freeBytes.QuadPart / 1048576ull;
        removableMeasured_ = true;
        wchar_t label[kVolumeLabelChars] = L"";
        DWORD serial = 0;
        if (GetVolumeInformationW(root, label, kVolumeLabelChars, &serial, nullptr, nullptr, nullptr, 0))
            removableLabel_ = label;
    } else {
        removableFreeMb_ = 0;
        removableMeasured_ = false;
    }
    if (lockReady_)
        LeaveCriticalSection(&lock_);
}

namespace {

DWORD ImagesIn(ULONGLONG freeMb, DWORD averageImageSize)
{
    if (averageImageSize == 0)
        return static_cast<DWORD>(freeMb / 2);
    return static_cast<DWORD>(static_cast<double>(freeMb) / (averageImageSize / 1048576.0));
}

}  // namespace

std::wstring ArjWindow::LineText(int line)
{
    switch (line) {
    case kInfoMarked:
        if (markedCount_ == 0)
            return ArchiveText(IDS_NO_IMAGES_MARKED);
        if (markedCount_ > 0) {
            wchar_t count[32];
            wsprintfW(count, L": %i", static_cast<int>(markedCount_));
            return ArchiveText(IDS_MARKED_IMAGES) + count;
        }
        return ArchiveText(IDS_MARKED_IMAGES);
    case kInfoRecommended: {
        wchar_t number[32];
        _snwprintf(number, 31, L"%I64i", static_cast<LONGLONG>(recommendedFreeMb_));
        number[31] = 0;
        return FormatArchiveText(IDS_RECOMMENDED_FREE_SPACE, number);
    }
    case kInfoRemovableFree:
        if (!removableMeasured_)
            return ArchiveText(IDS_REMOVABLE_FREE_UNKNOWN);
        return FormatNumber(IDS_REMOVABLE_FREE_IMAGES, ImagesIn(removableFreeMb_, averageImageSize_));
    case kInfoHardDiskFree:
        if (!hardDiskMeasured_)
            return ArchiveText(IDS_HARD_DISK_FREE_UNKNOWN);
        return FormatNumber(IDS_HARD_DISK_FREE_IMAGES, ImagesIn(hardDiskFreeMb_, averageImageSize_));
    case kInfoCopied:
        return FormatPicture(IDS_IMAGES_COPIED_COUNT, copiedCount_ < 0 ? 0 : copiedCount_);
    case kInfoNotArchived:
        return FormatPicture(IDS_IMAGES_NOT_ARCHIVED_COUNT, notArchivedCount_ < 0 ? 0 : notArchivedCount_);
    case kInfoDiskName:
        return ArchiveText(IDS_DISK_NAME_LABEL) + L" " + lastDbDisk_;
    case kInfoLastBackup:
        return ArchiveText(IDS_LAST_BACKUP_LABEL) + L" " + lastDbDate_;
    default:
        return std::wstring();
    }
}

void ArjWindow::DrawLine(HDC dc, int line)
{
    const RECT& r = layout_.info[line];
    if (r.right <= r.left)
        return;
    FillSolidRect(dc, &r, kLineGrey);
    {
        DGdiObject<HPEN> black(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
        DGdiObject<HPEN> white(CreatePen(PS_SOLID, 1, RGB(255, 255, 255)));
        ScopedSelect pen(dc, black.Get());
        MoveToEx(dc, r.left, r.bottom - 1, nullptr);
        LineTo(dc, r.left, r.top);
        LineTo(dc, r.right - 1, r.top);
        ScopedSelect light(dc, white.Get());
        LineTo(dc, r.right - 1, r.bottom - 1);
        LineTo(dc, r.left, r.bottom - 1);
    }
    const std::wstring text = LineText(line);
    ScopedSelect font(dc, lineFont_.Get());
    const int mode = SetBkMode(dc, TRANSPARENT);
    const COLORREF colour = SetTextColor(dc, RGB(0, 0, 0));
    RECT t = {r.left + 2, r.top, r.right - 2, r.bottom};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &t,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SetTextColor(dc, colour);
    SetBkMode(dc, mode);
}

void ArjWindow::DrawStatusLine(HDC dc)
{
    const RECT& r = layout_.statusLine;
    if (r.right <= r.left)
        return;
    FillSolidRect(dc, &r, blinkOn_ ? statusColour_ : kLineGrey);
    ScopedSelect font(dc, statusFont_.Get());
    const int mode = SetBkMode(dc, TRANSPARENT);
    const COLORREF colour = SetTextColor(dc, RGB(0, 0, 0));
    RECT t = r;
    DrawTextW(dc, statusText_.c_str(), static_cast<int>(statusText_.size()), &t,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetTextColor(dc, colour);
    SetBkMode(dc, mode);
}

void ArjWindow::RedrawLine(int line)
{
    if (!hwnd)
        return;
    HDC dc = GetDC();
    if (dc) {
        DrawLine(dc, line);
        ReleaseDC(dc);
    }
}

void ArjWindow::RedrawStatus()
{
    if (!hwnd)
        return;
    HDC dc = GetDC();
    if (dc) {
        DrawStatusLine(dc);
        ReleaseDC(dc);
    }
}

void ArjWindow::OnPaint()
{
    DPaintScope paint(hwnd);
    const HDC dc = paint.Dc();
    DrawLine(dc, kInfoMarked);
    const bool blink = blinkOn_;
    blinkOn_ = false;   // the line is painted grey; the timer gives it its colour
    DrawStatusLine(dc);
    blinkOn_ = blink;
    statusFrame_.Draw(dc);
    for (int line : {kInfoRecommended, kInfoRemovableFree, kInfoHardDiskFree, kInfoCopied, kInfoNotArchived,
                     kInfoLastBackup, kInfoDiskName})
        DrawLine(dc, line);
    infoFrame_.Draw(dc);
    progressBar_.Draw(dc);
    copyFrame_.Draw(dc);
    actionPanel_.Draw(dc);
    actionFrame_.Draw(dc);
    faultPanel_.Draw(dc);
    faultFrame_.Draw(dc);
    // The separator under the menu bar.
    RECT client = {};
    ::GetClientRect(hwnd, &client);
    DGdiObject<HPEN> black(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
    DGdiObject<HPEN> white(CreatePen(PS_SOLID, 1, RGB(255, 255, 255)));
    ScopedSelect pen(dc, black.Get());
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, client.right, 0);
    ScopedSelect light(dc, white.Get());
    MoveToEx(dc, 0, 1, nullptr);
    LineTo(dc, client.right, 1);
}

void ArjWindow::SetStatusText(const wchar_t* text)
{
    statusText_ = text ? text : L"";
    RedrawStatus();
}

void ArjWindow::SetStatusTextId(UINT id)
{
    SetStatusText(ArchiveText(id).c_str());
}

void ArjWindow::SetStatusColour(COLORREF colour)
{
    statusColour_ = colour;
    KillTimer();
    StartTimer();
}

void ArjWindow::StartTimer()
{
    if (hwnd && SetTimer(hwnd, kBlinkTimer, kBlinkMs, nullptr))
        timerOn_ = true;
}

void ArjWindow::KillTimer()
{
    if (hwnd && timerOn_)
        ::KillTimer(hwnd, kBlinkTimer);
    timerOn_ = false;
}

void ArjWindow::OnTimer(WPARAM id, LPARAM)
{
    if (id != kBlinkTimer)
        return;
    RedrawStatus();
    blinkOn_ = !blinkOn_;
}

void ArjWindow::SetFault(const wchar_t* text)
{
    faultText_ = text ? text : L"";
    faultPanel_.SetText(faultText_.c_str(), static_cast<int>(faultText_.size()));
}

void ArjWindow::SetAction(const wchar_t* text)
{
    actionText_ = text ? text : L"";
    actionPanel_.SetText(actionText_.c_str(), static_cast<int>(actionText_.size()));
}

void ArjWindow::ClearBoxes()
{
    SetFault(L"");
    SetAction(L"");
}

// ---- mouse-over help ----------------------------------------------------------------

void ArjWindow::SetHelp(const std::wstring& text)
{
    if (text == helpText_)
        return;
    helpText_ = text;
    if (statusBar_)
        SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(helpText_.c_str()));
}

void ArjWindow::OnMouseMove(int x, int y, WPARAM)
{
    std::wstring text;
    if (StrictlyInside(layout_.actionBox, x, y))
        text = ArchiveText(IDS_HELP_TROUBLESHOOTING);
    else if (StrictlyInside(layout_.faultBox, x, y))
        text = ArchiveText(IDS_HELP_FAULT_REASON);
    else if (StrictlyInside(layout_.statusLine, x, y))
        text = ArchiveText(IDS_HELP_STATUS);
    else if (StrictlyInside(layout_.info[kInfoMarked], x, y))
        text = ArchiveText(IDS_HELP_MARKED);
    else if (StrictlyInside(layout_.info[kInfoNotArchived], x, y))
        text = ArchiveText(IDS_HELP_NOT_ARCHIVED);
    else if (StrictlyInside(layout_.info[kInfoRemovableFree], x, y))
        text = FormatNumber(IDS_HELP_REMOVABLE_FREE, static_cast<DWORD>(removableFreeMb_));
    else if (StrictlyInside(layout_.info[kInfoCopied], x, y))
        text = ArchiveText(IDS_HELP_COPIED);
    else if (StrictlyInside(layout_.info[kInfoHardDiskFree], x, y))
        text = FormatNumber(IDS_HELP_HARD_DISK_FREE, static_cast<DWORD>(hardDiskFreeMb_));
    else if (StrictlyInside(layout_.info[kInfoRecommended], x, y))
        text = ArchiveText(IDS_HELP_RECOMMENDED);
    SetHelp(text);
}

void ArjWindow::OnButtonMouseMove(void* cookie, DButton* button, WPARAM, int, int)
{
    ArjWindow* self = static_cast<ArjWindow*>(cookie);
    const int index = static_cast<int>(button->ownerValue);
    if (index >= 0 && index < kArjButtons)
        self->SetHelp(ArchiveText(kButtonSpecs[index].help));
}

void ArjWindow::OnButtonKeyDown(void* cookie, DButton*, WPARAM key, LPARAM)
{
    static_cast<ArjWindow*>(cookie)->OnKey(key);
}

void ArjWindow::EnableButton(int index, bool enable)
{
    if (buttons_[index].GetHwnd())
        buttons_[index].Enable(enable ? TRUE : FALSE);
}

void ArjWindow::SetButtonCaption(int index, UINT id)
{
    const std::wstring caption = ArchiveText(id);
    if (buttons_[index].GetHwnd())
        buttons_[index].SetText(caption.c_str(), -1);
}

// ---- the worker's reports -------------------------------------------------------------

void ArjWindow::OnWorkerUpdate()
{
    if (!lockReady_)
        return;
    EnterCriticalSection(&lock_);
    const DWORD changes = link_.Changes();
    if (changes & kLinkText2)
        SetAction(link_.Text2());
    if (changes & kLinkText)
        SetFault(link_.Text());
    if (changes & kLinkMarkedCount) {
        markedCount_ = link_.MarkedCount();
        RedrawLine(kInfoMarked);
    }
    if (changes & kLinkCounts) {
        notArchivedCount_ = link_.NotArchivedCount();
        copiedCount_ = link_.CopiedCount();
        RedrawLine(kInfoNotArchived);
        RedrawLine(kInfoCopied);
    }
    if (changes & kLinkAverageSize) {
        averageImageSize_ = link_.AverageImageSize();
        jobBits_ |= kBitAverageChanged;
        RedrawLine(kInfoRemovableFree);
    }
    if (changes & kLinkDiskSpace) {
        MeasureRemovable();
        RedrawLine(kInfoRemovableFree);
    }
    if (changes & kLinkDiskInfo) {
        ShowLastDbDate();
        RedrawLine(kInfoLastBackup);
        RedrawLine(kInfoDiskName);
    }
    if (changes & kLinkStopsWithError)
        jobState_ = 1;
    if (changes & kLinkAskContinue) {
        // The worker waits for the user.
        jobBits_ |= kBitWaiting;
        SetButtonCaption(kArjStart, IDS_CONTINUE);
        EnableButton(kArjStart, true);
        EnableButton(kArjRemoveDisk, true);
        SetStatusColour(kStatusWaiting);
        if (jobBits_ & 0x800)
            EnableButton(kArjStop, true);
        MessageBeep(MB_ICONEXCLAMATION);
    }
    if (changes & kLinkJobEnded)
        AfterJob();   // the end text by how the worker ended
    link_.ClearTexts();
    LeaveCriticalSection(&lock_);
}

void ArjWindow::OnProgressAnswer(WPARAM, LPARAM)
{
    EnterCriticalSection(&answer_.lock);
    if (answer_.state == 3) {
        progressBar_.SetTotal(answer_.total);
        progressBar_.SetPos(answer_.position);
    }
    answer_.state = 0;
    answer_.total = 0;
    answer_.position = 0;
    LeaveCriticalSection(&answer_.lock);
}

void ArjWindow::OnContinueRequest(WPARAM wParam, LPARAM lParam)
{
    if (wParam == 11 && lParam == 12) {
        MeasureHardDisk();
        RedrawLine(kInfoHardDiskFree);
    }
    if (lParam == 14) {
        MeasureRemovable();
        RedrawLine(kInfoRemovableFree);
    }
    if (!link_.SendAnswer(kAnswerContinue, 3000, 3000))
        AfterJob();
}
