// The merge window: see importwnd.h.
#include "exchange/merge/importwnd.h"

#include "exchange/merge/importworker.h"
#include "exchange/disks/disksrvclient.h"
#include "exchange/merge/mergesql.h"
#include "foundation/dstring.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/settingskey.h"
#include "foundation/textutil.h"
#include "resources/resource.h"
#include "ui/formsfont.h"
#include "ui/gdi.h"
#include "ui/window_errors.h"

#include <initializer_list>
#include <vector>

namespace {

// The window's own texts.
const wchar_t kRegisterError[] = L"Ошибка регистрации окна\nимпорта базы данных";
const wchar_t kCreateError[] = L"Ошибка создания окна";
const wchar_t* const kFrameLabels[ImportLayout::kFrames] = {L"Информация", L"Импорт", L"Статус", L"Ошибка"};
const wchar_t* const kButtonTexts[ImportLayout::kButtons] = {L"Пуск", L"Стоп", L"Извлечь", L"Закрыть"};
const UINT kButtonIcons[ImportLayout::kButtons] = {IDI_MAIN_MERGE, IDI_STOP_PROCESS, IDI_MERGE_EJECT, IDI_CONNECT};
const wchar_t kNotMergedFormat[] = L"Не импортировано снимков: %1!u!";
const wchar_t kMergedFormat[] = L"Импортировано снимков: %1!u!";
const wchar_t kPatientFormat[] = L"Пациент: %1";
const wchar_t kImageFormat[] = L"Снимок: %1";
const wchar_t kPatientLabel[] = L"Пациент:";
const wchar_t kImageLabel[] = L"Снимок:";
const wchar_t kMergeDone[] = L"Обьединение успешно завершено";
const wchar_t kMergeStopped[] = L"Обьединение прервано пользователем";
const wchar_t kMergeFailed[] = L"Обьединение прервано из-за ошибки";
const wchar_t kMergeDoneWithSkips[] =
    L"Обьединение завершено: импортировано снимков: %1!u!, не удалось импортировать: %2!u!";

const DWORD kReplyPoll = 100;   // ms between looks at the worker while a command waits

// FormatMessageW of a template with its inserts.
std::wstring FormatArgs(const wchar_t* format, std::initializer_list<DWORD_PTR> inserts)
{
    const std::vector<DWORD_PTR> args(inserts);
    DString text;
    return text.FormatMessageArgs(format, args.data()) > 0 ? std::wstring(text.c_str(), (size_t)text.Length())
                                                           : std::wstring();
}

std::wstring FormatOne(const wchar_t* format, DWORD_PTR insert)
{
    return FormatArgs(format, {insert});
}

std::wstring FormatText(const wchar_t* format, const wchar_t* text)
{
    return FormatOne(format, reinterpret_cast<DWORD_PTR>(text ? text : L""));
}

// "DBPath" of the merge settings (empty when missing).
std::wstring ConfiguredDbPath()
{
    HKEY key = nullptr;
    if (OpenSettingsKey(L"ImportSettings", KEY_READ, false, &key) != ERROR_SUCCESS)
        return std::wstring();
    wchar_t path[261] = {};
    DWORD type = 0, size = sizeof path - sizeof(wchar_t);
    if (RegQueryValueExW(key, L"DBPath", nullptr, &type, reinterpret_cast<BYTE*>(path), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        path[0] = 0;
    path[size / sizeof(wchar_t) < 260 ? size / sizeof(wchar_t) : 260] = 0;
    RegCloseKey(key);
    return path;
}

}  // namespace

// ---- RunImportDbWnd -------------------------------------------------------------------

void RunImportDbWnd(HWND owner)
{
    if (!ImportDbWnd::RegisterClass(hInstance)) {
        ShowPrompt(owner, kRegisterError, nullptr, MB_OK);
        return;
    }
    {
        ImportDbWnd window;
        try {
            if (!window.Create(owner, hInstance))
                throw MsgExcept(kCreateError);
        } catch (const MsgExcept& message) {
            window.Destroy();
            message.Show(owner, MB_OK);
        } catch (...) {
            window.Destroy();
            ShowPrompt(owner, kCreateError, nullptr, MB_OK);
        }
        // The window's messages and the worker's end, whichever comes first:
        // a worker whose last message was lost still ends its run here.
        while (window.GetHwnd()) {
            MSG msg;
            if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    window.Destroy();
                    PostQuitMessage(static_cast<int>(msg.wParam));
                    break;
                }
                TranslateMessage(&msg);
                DispatchMessageShowing(msg, window.GetHwnd());
                continue;
            }
            HANDLE worker = window.Worker();
            const DWORD wait = MsgWaitForMultipleObjectsEx(worker ? 1 : 0, worker ? &worker : nullptr, INFINITE,
                                                           QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            if (worker && wait == WAIT_OBJECT_0)
                window.OnWorkerEnded();
        }
    }
    ImportDbWnd::UnregisterClass(hInstance);
}

// ---- class and creation ---------------------------------------------------------------

DMessageMapEntry ImportDbWnd::entries[] = {
    MapMessage<WM_PAINT, &ImportDbWnd::OnPaint>(),
    MapMessage<WM_SIZE, &ImportDbWnd::OnSize>(),
    MapMessage<WM_CREATE, &ImportDbWnd::OnCreate>(),
    MapMessage<WM_DESTROY, &ImportDbWnd::OnDestroy>(),
    MapMessage<WM_IMPORT_PROGRESS, &ImportDbWnd::OnProgress>(),
    DMapEnd(),
};
DMessageMap ImportDbWnd::messageMap = {-1, 0, entries};

const DButtonNotify ImportDbWnd::kNotify[ImportLayout::kButtons] = {
    {[](void* cookie, DButton*) { static_cast<ImportDbWnd*>(cookie)->OnStart(); }},
    {[](void* cookie, DButton*) { static_cast<ImportDbWnd*>(cookie)->OnStop(); }},
    {[](void* cookie, DButton*) { static_cast<ImportDbWnd*>(cookie)->EjectDisk(); }},
    {[](void* cookie, DButton*) { static_cast<ImportDbWnd*>(cookie)->OnClose(); }},
};

ImportDbWnd::ImportDbWnd() = default;

ImportDbWnd::~ImportDbWnd()
{
    Destroy();   // our WM_DESTROY handler must run while the object is whole
}

bool ImportDbWnd::RegisterClass(HINSTANCE instance)
{
    WindowClass cls = {kClassName};
    cls.background = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
    cls.icon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_MAIN_MERGE), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    cls.smallIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_MAIN_MERGE), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    cls.instance = instance;
    return DWindow::RegisterMapClass(cls);
}

void ImportDbWnd::UnregisterClass(HINSTANCE instance)
{
    UnregisterClassAndIcons(kClassName, instance);
}

bool ImportDbWnd::Create(HWND owner, HINSTANCE instance)
{
    if (hwnd)
        return false;
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    if (!DWindow::Create(0, kClassName, kTitle, style, 0, 0, 0, 0, owner, nullptr, instance, nullptr) || !hwnd)
        return false;
    const int areaWidth = GetSystemMetrics(SM_CXFULLSCREEN), areaHeight = GetSystemMetrics(SM_CYFULLSCREEN);
    const int clientWidth = areaWidth * 3 / 4;
    const int clientHeight = ImportMinClientHeight(fontHeight_, buttons_[0].CalcHeight()) + 1;
    RECT frame = {0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(hwnd, nullptr, (areaWidth - width) / 2, (areaHeight - height) / 2, width, height,
                 SWP_NOZORDER | SWP_SHOWWINDOW);
    UpdateWindow(hwnd);
    worker_ = StartImportThread(&channel_, &link_);
    return true;
}

LRESULT ImportDbWnd::OnCreate(HWND window, LPARAM)
{
    InitializeCriticalSection(&lock_);
    lockReady_ = true;
    worker_ = nullptr;
    running_ = false;

    for (int i = 0; i < ImportLayout::kButtons; ++i) {
        HICON icon = static_cast<HICON>(
            LoadImageW(hInstance, MAKEINTRESOURCEW(kButtonIcons[i]), IMAGE_ICON, IconSize, IconSize, 0));
        DButtonDesc desc = {sizeof(DButtonDesc), window, DButtonStyle::kToolButton | DButtonStyle::kIconBeforeCaption,
                            0, 0, 0, 0, this, kButtonTexts[i], icon, IconSize, IconSize, hInstance, nullptr,
                            &kNotify[i]};
        if (!buttons_[i].Create(&desc)) {
            if (icon)
                DestroyIcon(icon);
            return -1;
        }
    }
    EnableWindow(buttons_[ImportLayout::kStop].GetHwnd(), FALSE);

    font_ = CreateFontIndirectW(GetFormsFont());
    if (HDC display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr)) {
        {
            ScopedSelect select(display, font_);
            TEXTMETRICW tm = {};
            GetTextMetricsW(display, &tm);
            fontHeight_ = tm.tmHeight + tm.tmExternalLeading;
        }
        DeleteDC(display);
    }

    for (int i = 0; i < ImportLayout::kPanes; ++i) {
        panes_[i].Create(window, hInstance);
        panes_[i].SetColor(kLineBackground);
        panes_[i].SetFont(font_);
    }
    for (int i = 0; i < ImportLayout::kFrames; ++i)
        frames_[i].Init(window, font_);
    lines_[ImportLayout::kPatientLine].text = kPatientLabel;
    lines_[ImportLayout::kImageLine].text = kImageLabel;

    channel_.Create();
    channel_.SetClosed();
    link_.Setup(window, &lock_, WM_IMPORT_PROGRESS);
    return 0;
}

void ImportDbWnd::OnDestroy()
{
    destroying_ = true;
    if (worker_) {
        SendStop();
        OnThreadEnd();
    }
    for (DButton& button : buttons_)
        button.Destroy();
    for (ScrollTextPanel& pane : panes_)
        pane.ReleaseText();
    for (PanelLine& line : lines_)
        line.text.clear();
    if (font_)
        DeleteObject(font_);
    font_ = nullptr;
    channel_.Close();
    link_.Setup(nullptr, nullptr, 0);
    if (lockReady_) {
        DeleteCriticalSection(&lock_);
        lockReady_ = false;
    }
}

// ---- layout and painting --------------------------------------------------------------

void ImportDbWnd::OnSize(int width, int, WPARAM)
{
    layout_ = ComputeImportLayout(width, fontHeight_, buttons_[0].CalcHeight());
    for (int i = 0; i < ImportLayout::kFrames; ++i) {
        const RECT& r = layout_.frames[i];
        frames_[i].SetRect(r.left, r.top, r.right, r.bottom, kFrameLabels[i]);
    }
    for (int i = 0; i < ImportLayout::kLines; ++i)
        lines_[i].rect = layout_.lines[i];
    for (int i = 0; i < ImportLayout::kPanes; ++i) {
        const RECT& r = layout_.panes[i];
        panes_[i].SetRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
    for (int i = 0; i < ImportLayout::kButtons; ++i) {
        const RECT& r = layout_.buttons[i];
        buttons_[i].Move(r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
    InvalidateRect(hwnd, nullptr, TRUE);
}

void ImportDbWnd::DrawLine(HDC dc, const PanelLine& line) const
{
    RECT r = line.rect;
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    if (line.sunken) {
        DGdiObject<HPEN> dark(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DDKSHADOW)));
        DGdiObject<HPEN> light(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DHILIGHT)));
        {
            ScopedSelect pen(dc, dark.Get());
            MoveToEx(dc, r.left, r.bottom - 1, nullptr);
            LineTo(dc, r.left, r.top);
            LineTo(dc, r.right - 1, r.top);
        }
        {
            ScopedSelect pen(dc, light.Get());
            MoveToEx(dc, r.right - 1, r.top, nullptr);
            LineTo(dc, r.right - 1, r.bottom - 1);
            LineTo(dc, r.left - 1, r.bottom - 1);
        }
        InflateRect(&r, -1, -1);
    }
    FillSolidRect(dc, &r, line.back);
    ScopedSelect font(dc, font_);
    const COLORREF oldText = SetTextColor(dc, line.color);
    const COLORREF oldBack = SetBkColor(dc, line.back);
    const int oldMode = SetBkMode(dc, OPAQUE);
    // 4 pixels in from the sides, centred on one line.
    RECT text = {r.left + 4, r.top, r.right - 4, r.bottom};
    DrawTextW(dc, line.text.c_str(), (int)line.text.size(), &text,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    SetBkMode(dc, oldMode);
    SetBkColor(dc, oldBack);
    SetTextColor(dc, oldText);
}

void ImportDbWnd::OnPaint()
{
    DPaintScope paint(hwnd);
    RECT client;
    ::GetClientRect(hwnd, &client);
    FillRect(paint.Dc(), &client, GetSysColorBrush(COLOR_MENU));
    frames_[ImportLayout::kInfoFrame].Draw(paint.Dc());
    DrawLine(paint.Dc(), lines_[ImportLayout::kNotMergedLine]);
    DrawLine(paint.Dc(), lines_[ImportLayout::kMergedLine]);
    frames_[ImportLayout::kImportFrame].Draw(paint.Dc());
    DrawLine(paint.Dc(), lines_[ImportLayout::kPatientLine]);
    DrawLine(paint.Dc(), lines_[ImportLayout::kImageLine]);
    frames_[ImportLayout::kStatusFrame].Draw(paint.Dc());
    panes_[ImportLayout::kStatusPane].Draw(paint.Dc());
    frames_[ImportLayout::kErrorFrame].Draw(paint.Dc());
    panes_[ImportLayout::kErrorPane].Draw(paint.Dc());
}

void ImportDbWnd::SetLine(int i, const std::wstring& text)
{
    lines_[i].text = text;
    if (hwnd && !destroying_)
        InvalidateRect(hwnd, &lines_[i].rect, FALSE);
}

void ImportDbWnd::SetPane(int i, const std::wstring& text)
{
    paneTexts_[i] = text;
    if (!destroying_)
        panes_[i].SetText(text.c_str(), (int)text.size());
}

std::wstring ImportDbWnd::PaneText(int i) const
{
    return i >= 0 && i < ImportLayout::kPanes ? paneTexts_[i] : std::wstring();
}

// ---- the worker's reports -------------------------------------------------------------

void ImportDbWnd::OnProgress()
{
    if (!lockReady_)
        return;
    bool finished = false;
    EnterCriticalSection(&lock_);
    if (link_.Changed(ImportLink::kCount0))
        SetLine(ImportLayout::kNotMergedLine, FormatOne(kNotMergedFormat, link_.Count(0)));
    if (link_.Changed(ImportLink::kCount1))
        SetLine(ImportLayout::kMergedLine, FormatOne(kMergedFormat, link_.Count(1)));
    merged_ = link_.Count(1);
    skipped_ = link_.Count(2);
    if (link_.Changed(ImportLink::kText2))
        SetLine(ImportLayout::kPatientLine, FormatText(kPatientFormat, link_.Text(2, nullptr)));
    if (link_.Changed(ImportLink::kText3))
        SetLine(ImportLayout::kImageLine, FormatText(kImageFormat, link_.Text(3, nullptr)));
    if (link_.Changed(ImportLink::kText1))
        SetPane(ImportLayout::kStatusPane, link_.Text(1, nullptr));
    if (link_.Changed(ImportLink::kText0))
        SetPane(ImportLayout::kErrorPane, link_.Text(0, nullptr));
    finished = link_.Changed(ImportLink::kFinished);
    link_.TakeChanges();
    LeaveCriticalSection(&lock_);
    if (finished && worker_)
        OnThreadEnd();
}

void ImportDbWnd::OnWorkerEnded()
{
    OnProgress();
    if (worker_)
        OnThreadEnd();
}

void ImportDbWnd::OnThreadEnd()
{
    if (!worker_)
        return;
    DWORD wait = WaitForSingleObject(worker_, INFINITE);
    while (wait != WAIT_OBJECT_0) {
        // The wait itself failed: end the thread only when it holds no
        // transaction, else give it the time to finish.
        if (!link_.InTransaction() && TerminateThread(worker_, (DWORD)-1))
            break;
        wait = WaitForSingleObject(worker_, kReplyPoll);
    }
    DWORD code = kImportResultFailed;
    if (!GetExitCodeThread(worker_, &code))
        code = kImportResultFailed;
    CloseHandle(worker_);
    worker_ = nullptr;
    lastResult_ = code;
    if (running_) {
        EnableWindow(buttons_[ImportLayout::kStart].GetHwnd(), TRUE);
        running_ = false;
    }
    EnableWindow(buttons_[ImportLayout::kStop].GetHwnd(), FALSE);
    if (code == 0 || code == 1) {
        SetLine(ImportLayout::kPatientLine, std::wstring());
        SetLine(ImportLayout::kImageLine, std::wstring());
        // Images that could not be read make it no full success: the end
        // says what came and what did not.
        SetPane(ImportLayout::kStatusPane, code == 1     ? std::wstring(kMergeStopped)
                                           : skipped_ ? FormatArgs(kMergeDoneWithSkips, {merged_, skipped_})
                                                      : std::wstring(kMergeDone));
    } else {
        SetPane(ImportLayout::kStatusPane, kMergeFailed);
    }
    EnableWindow(buttons_[ImportLayout::kEject].GetHwnd(), TRUE);
}

// ---- commands -------------------------------------------------------------------------

bool ImportDbWnd::SendCommand(DWORD command)
{
    if (!worker_ || channel_.IsClosed())
        return false;
    if (channel_.Post(command, 0, INFINITE) != 0)
        return false;
    for (;;) {
        DWORD reply = 0;
        const DWORD wait = channel_.WaitReply(&reply, kReplyPoll);
        if (wait == 0)
            return true;
        if (wait != WAIT_TIMEOUT)
            return false;
        // Ended without an answer (it closed the channel first): nothing will answer.
        if (WaitForSingleObject(worker_, channel_.IsClosed() ? kReplyPoll : 0) == WAIT_OBJECT_0)
            return false;
    }
}

bool ImportDbWnd::SendStart()
{
    return SendCommand(kImportCommandStart);
}

bool ImportDbWnd::SendStop()
{
    if (channel_.IsClosed())
        return true;
    return SendCommand(kImportCommandStop) || channel_.IsClosed();
}

void ImportDbWnd::ResetChannel()
{
    // A run may leave an unanswered request in the slot: every worker gets a
    // fresh channel.
    channel_.Close();
    channel_.Create();
    channel_.SetClosed();
}

void ImportDbWnd::OnStart()
{
    if (!worker_) {
        EnableWindow(buttons_[ImportLayout::kEject].GetHwnd(), FALSE);
        ResetChannel();
        worker_ = StartImportThread(&channel_, &link_);
        if (!worker_) {
            EnableWindow(buttons_[ImportLayout::kEject].GetHwnd(), TRUE);
            return;
        }
    }
    if (!SendStart())
        return;   // the worker ended first; its end report sets the buttons
    EnableWindow(buttons_[ImportLayout::kStart].GetHwnd(), FALSE);
    EnableWindow(buttons_[ImportLayout::kStop].GetHwnd(), TRUE);
    running_ = true;
}

void ImportDbWnd::OnStop()
{
    if (!worker_)
        return;
    if (!SendStop())
        MessageBeep(MB_ICONEXCLAMATION);
}

void ImportDbWnd::OnClose()
{
    OnStop();
    Destroy();
}

void ImportDbWnd::EjectDisk()
{
    if (worker_)
        return;
    const wchar_t letter = DriveLetterOfFolder(ConfiguredDbPath().c_str());
    if (!letter) {
        MessageBeep(MB_ICONEXCLAMATION);
        return;
    }
    // Its answer is not shown; a failed step is journalled by the client.
    EjectDiskViaDiskSrv(letter);
}
