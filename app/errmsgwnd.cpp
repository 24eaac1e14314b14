#include "app/errmsgwnd.h"

#include "foundation/globals.h"
#include "foundation/textutil.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/gdi.h"

#include <cstring>

namespace {

const DWORD kStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU;
const int kLeft = 10, kTop = 10, kWidth = 554, kHeight = 260;
const int kButtonX = 440, kButtonWidth = 100, kButtonHeight = 70;
const int kClearY = 24, kCloseY = 94;

bool gRegistered = false;

void OnClearClicked(void* cookie, DButton*)
{
    static_cast<ErrMsgWindow*>(cookie)->ClearList();
}

void OnCloseClicked(void* cookie, DButton*)
{
    static_cast<ErrMsgWindow*>(cookie)->Hide();
}

}  // namespace

static DMessageMapEntry errEntries[] = {
    MapMessage<WM_CREATE, &ErrMsgWindow::OnCreate>(),
    MapMessage<WM_DESTROY, &ErrMsgWindow::OnDestroy>(),
    MapMessage<WM_SIZE, &ErrMsgWindow::OnSize>(),
    MapMessage<WM_PAINT, &ErrMsgWindow::OnPaint>(),
    MapMessage<WM_CLOSE, &ErrMsgWindow::OnClose>(),
    MapMessage<WM_VSCROLL, &ErrMsgWindow::OnVScroll>(),
    MapMessage<WM_ERRLIST_TAKE_PENDING, &ErrMsgWindow::OnTakePending>(),
    DMapEnd(),
};
DMessageMap ErrMsgWindow::messageMap = {-1, 0, errEntries};

bool ErrMsgWindow::RegisterClass(HINSTANCE instance)
{
    if (gRegistered)
        return true;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_OWNDC | CS_SAVEBITS;
    wc.cbWndExtra = 4;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kClassName;
    if (!DWindow::RegisterClassEx(&wc))
        return false;
    gRegistered = true;
    return true;
}

void ErrMsgWindow::UnregisterClass(HINSTANCE instance)
{
    if (!gRegistered)
        return;
    ::UnregisterClassW(kClassName, instance);
    gRegistered = false;
}

ErrMsgWindow::ErrMsgWindow()
{
    InitializeCriticalSection(&lock_);
}

ErrMsgWindow::~ErrMsgWindow()
{
    EnterCriticalSection(&lock_);
    Record* pending = head_;
    head_ = tail_ = nullptr;
    pendingCount_ = 0;
    posted_ = false;
    LeaveCriticalSection(&lock_);
    FreeChain(pending);
    if (hwnd)
        DestroyWindow(hwnd);
    ClearList();
    DeleteCriticalSection(&lock_);
}

BOOL ErrMsgWindow::Create(HWND parent)
{
    if (hwnd)
        return FALSE;
    wchar_t title[128];
    if (LoadStringW(hInstance, IDS_ERROR_LIST_TITLE, title, 128) <= 0)
        title[0] = 0;
    return DWindow::Create(0, kClassName, title, kStyle, kLeft, kTop, kWidth, kHeight, parent, nullptr, hInstance,
                           nullptr) &&
           hwnd;
}

ErrMsgWindow::Record* ErrMsgWindow::NewRecord(const wchar_t* text, int length)
{
    HANDLE heap = GetProcessHeap();
    Record* record = static_cast<Record*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, sizeof(Record)));
    if (!record)
        return nullptr;
    record->text = static_cast<wchar_t*>(HeapAlloc(heap, 0, (length + 1) * sizeof(wchar_t)));
    if (!record->text) {
        HeapFree(heap, 0, record);
        return nullptr;
    }
    memcpy(record->text, text, length * sizeof(wchar_t));
    record->text[length] = 0;
    record->length = length;
    return record;
}

void ErrMsgWindow::FreeChain(Record* head)
{
    HANDLE heap = GetProcessHeap();
    while (head) {
        Record* next = head->next;
        HeapFree(heap, 0, head->text);
        HeapFree(heap, 0, head);
        head = next;
    }
}

void ErrMsgWindow::AddMessage(const wchar_t* text, int length)
{
    if (!text)
        return;
    if (length < 0)
        length = lstrlenW(text);
    Record* record = NewRecord(text, length);
    if (!record)
        return;
    EnterCriticalSection(&lock_);
    record->previous = tail_;
    if (tail_)
        tail_->next = record;
    else
        head_ = record;
    tail_ = record;
    ++pendingCount_;
    // Only a message that was really posted is on its way: without a window
    // the texts wait for the next one.
    if (!posted_ && hwnd && PostMessageW(hwnd, kTakePendingMessage, 0, 0))
        posted_ = true;
    LeaveCriticalSection(&lock_);
}

int ErrMsgWindow::Current() const
{
    if (count_ == 0 || !scrollBar_)
        return -1;
    SCROLLINFO info = {sizeof info, SIF_POS};
    SendMessageW(scrollBar_, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(&info));
    return info.nPos < 0 ? 0 : (info.nPos >= count_ ? count_ - 1 : info.nPos);
}

const wchar_t* ErrMsgWindow::TextAt(int index) const
{
    return index >= 0 && index < count_ ? list_[index]->text : nullptr;
}

void ErrMsgWindow::UpdateScrollBar(int position)
{
    if (!scrollBar_)
        return;
    if (count_ > 1) {
        SendMessageW(scrollBar_, SBM_SETRANGE, 0, count_ - 1);
        SendMessageW(scrollBar_, SBM_SETPOS, position, TRUE);
        ShowWindow(scrollBar_, SW_SHOW);
    } else {
        SendMessageW(scrollBar_, SBM_SETRANGE, 0, 0);
        SendMessageW(scrollBar_, SBM_SETPOS, 0, FALSE);
        ShowWindow(scrollBar_, SW_HIDE);
    }
}

void ErrMsgWindow::ShowCurrent()
{
    const wchar_t* text = TextAt(Current());
    SetWindowTextW(textView_, text ? text : L"");
}

void ErrMsgWindow::OnTakePending()
{
    const int current = Current();
    const bool atLast = count_ == 0 || current == count_ - 1;
    Record* taken = nullptr;
    int takenCount = 0;
    EnterCriticalSection(&lock_);
    if (posted_) {
        taken = head_;
        takenCount = pendingCount_;
        head_ = tail_ = nullptr;
        pendingCount_ = 0;
        posted_ = false;
    }
    LeaveCriticalSection(&lock_);
    if (taken) {
        HANDLE heap = GetProcessHeap();
        Record** grown = static_cast<Record**>(HeapAlloc(heap, 0, (count_ + takenCount) * sizeof(Record*)));
        if (!grown) {
            FreeChain(taken);   // no room: these texts are lost, the list stays whole
            return;
        }
        for (int i = 0; i < count_; ++i)
            grown[i] = list_[i];
        if (count_ > 0) {
            list_[count_ - 1]->next = taken;
            taken->previous = list_[count_ - 1];
        }
        for (Record* r = taken; r; r = r->next)
            grown[count_++] = r;
        if (list_)
            HeapFree(heap, 0, list_);
        list_ = grown;
    }
    UpdateScrollBar(atLast ? count_ - 1 : current);
    ShowCurrent();
    if (!IsWindowVisible(hwnd))
        ShowWindow(hwnd, SW_SHOW);
}

void ErrMsgWindow::ClearList()
{
    if (count_ > 0)
        FreeChain(list_[0]);   // the taken records form one chain, oldest first
    if (list_)
        HeapFree(GetProcessHeap(), 0, list_);
    list_ = nullptr;
    count_ = 0;
    UpdateScrollBar(0);
    if (textView_)
        SetWindowTextW(textView_, L"");
}

void ErrMsgWindow::Hide()
{
    if (hwnd)
        ShowWindow(hwnd, SW_HIDE);
}

LRESULT ErrMsgWindow::OnCreate(HWND, LPARAM)
{
    static const DButtonNotify clearNotify = {&OnClearClicked, nullptr, nullptr, nullptr, nullptr, nullptr};
    static const DButtonNotify closeNotify = {&OnCloseClicked, nullptr, nullptr, nullptr, nullptr, nullptr};
    wchar_t clearText[64], closeText[64];
    if (LoadStringW(hInstance, IDS_ERROR_LIST_CLEAR, clearText, 64) <= 0)
        clearText[0] = 0;
    if (LoadStringW(hInstance, IDS_CLOSE, closeText, 64) <= 0)
        closeText[0] = 0;
    const DWORD style = DButtonStyle::kVisible | DButtonStyle::kOwnsIcon;
    DButtonDesc clear = {60,        hwnd,          style,
                         kButtonX,  kClearY,       kButtonWidth,
                         kButtonHeight, this,      clearText,
                         LoadIconRes(IDI_CLEAR_LIST), IconSize, IconSize,
                         hInstance, nullptr,       &clearNotify};
    if (!clear_.Create(&clear)) {
        if (clear.icon)
            DestroyIcon(clear.icon);
        return -1;
    }
    DButtonDesc close = {60,        hwnd,          style,
                         kButtonX,  kCloseY,       kButtonWidth,
                         kButtonHeight, this,      closeText,
                         LoadIconRes(IDI_CONNECT), IconSize, IconSize,
                         hInstance, nullptr,       &closeNotify};
    if (!close_.Create(&close)) {
        if (close.icon)
            DestroyIcon(close.icon);
        return -1;
    }
    textView_ = CreateWindowExW(WS_EX_STATICEDGE, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 3,
                                24, 411, 188, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextId)), hInstance,
                                nullptr);
    scrollBar_ = CreateWindowExW(0, L"SCROLLBAR", nullptr, WS_CHILD | SBS_VERT, 415, 24, 20, 188, hwnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kScrollId)), hInstance, nullptr);
    if (textView_)
        SendMessageW(textView_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    if (scrollBar_) {
        SCROLLINFO info = {sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 1, 0, 0};
        SendMessageW(scrollBar_, SBM_SETSCROLLINFO, FALSE, reinterpret_cast<LPARAM>(&info));
    }
    return 0;
}

void ErrMsgWindow::OnDestroy()
{
    clear_.Destroy();
    close_.Destroy();
    if (textView_)
        DestroyWindow(textView_);
    if (scrollBar_)
        DestroyWindow(scrollBar_);
    textView_ = scrollBar_ = nullptr;
}

void ErrMsgWindow::OnSize(int, int, WPARAM)
{
    if (clear_.GetHwnd())
        MoveWindow(clear_.GetHwnd(), kButtonX, kClearY, kButtonWidth, kButtonHeight, TRUE);
    if (close_.GetHwnd())
        MoveWindow(close_.GetHwnd(), kButtonX, kCloseY, kButtonWidth, kButtonHeight, TRUE);
}

void ErrMsgWindow::OnPaint()
{
    DPaintScope paint(hwnd);
    RECT client;
    ::GetClientRect(hwnd, &client);
    FillRect(paint.Dc(), &client, GetSysColorBrush(COLOR_BTNFACE));
}

void ErrMsgWindow::OnClose()
{
    Hide();
}

void ErrMsgWindow::OnVScroll(int code, int, LPARAM)
{
    int position = Current();
    switch (code) {
    case SB_LINEUP:
    case SB_PAGEUP:
        if (position > 0)
            --position;
        break;
    case SB_LINEDOWN:
    case SB_PAGEDOWN:
        if (position >= 0 && position < count_ - 1)
            ++position;
        break;
    default:
        break;
    }
    if (position >= 0 && scrollBar_)
        SendMessageW(scrollBar_, SBM_SETPOS, position, TRUE);
    ShowCurrent();
}
