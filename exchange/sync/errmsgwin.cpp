#include "exchange/sync/errmsgwin.h"

#include "foundation/globals.h"
#include "foundation/prompt.h"
#include "resources/resource.h"
#include "ui/formsfont.h"
#include "ui/gdi.h"

#include <cstdlib>

namespace {

const int kMargin = 5;
const int kIconSize = 32;
const int kNavButtonSize = kIconSize + 8;   // a square around the 32 x 32 icon

HICON LoadPaneIcon(UINT id)
{
    return static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(id), IMAGE_ICON, kIconSize, kIconSize, 0));
}

int TextWidth(HWND hwnd, HFONT font, const wchar_t* text)
{
    HDC dc = GetDC(hwnd);
    SIZE size = {};
    {
        ScopedSelect select(dc, font);
        GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
    }
    ReleaseDC(hwnd, dc);
    return size.cx;
}

std::wstring WindowText(HWND hwnd)
{
    wchar_t text[64] = L"";
    GetWindowTextW(hwnd, text, 64);
    return text;
}

}  // namespace

DMessageMapEntry ErrMsgWin::entries[] = {
    MapMessage<WM_CREATE, &ErrMsgWin::OnCreate>(),
    MapMessage<WM_DESTROY, &ErrMsgWin::OnDestroy>(),
    MapMessage<WM_SIZE, &ErrMsgWin::OnSize>(),
    MapMessage<WM_PAINT, &ErrMsgWin::OnPaint>(),
    MapMessage<WM_CLOSE, &ErrMsgWin::OnClose>(),
    DMapEnd(),
};
DMessageMap ErrMsgWin::messageMap = {-1, 0, entries};

const DButtonNotify ErrMsgWin::kButtonNotify = {
    [](void* cookie, DButton* button) {
        ErrMsgWin* pane = static_cast<ErrMsgWin*>(cookie);
        switch (button->ownerValue) {
        case kClear:
            pane->Clear();
            break;
        case kPrevious:
            pane->Previous();
            break;
        case kNext:
            pane->Next();
            break;
        }
    },
    nullptr, nullptr, nullptr, nullptr, nullptr,
};

ErrMsgWin::ErrMsgWin()
{
    InitializeCriticalSection(&lock_);
}

ErrMsgWin::~ErrMsgWin()
{
    EnterCriticalSection(&lock_);
    list_.Clear();
    Destroy();   // our WM_DESTROY handler must run while the object is whole
    LeaveCriticalSection(&lock_);
    DeleteCriticalSection(&lock_);
}

bool ErrMsgWin::RegisterClass(HINSTANCE instance)
{
    WindowClass cls = {kClassName, 0, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1))};
    cls.instance = instance;
    return DWindow::RegisterMapClass(cls);
}

void ErrMsgWin::UnregisterClass(HINSTANCE instance)
{
    UnregisterClassAndIcons(kClassName, instance);
}

bool ErrMsgWin::Create(HWND parent, int id, DWORD style)
{
    if (!hwnd)
        DWindow::Create(0, kClassName, nullptr, style ? style : WS_CHILD | WS_BORDER, 0, 0, 0, 0, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), hInstance, nullptr);
    return hwnd != nullptr;
}

LRESULT ErrMsgWin::OnCreate(HWND, LPARAM)
{
    LOGFONTW lf = *GetFormsFont();
    lf.lfHeight = static_cast<LONG>(lf.lfHeight * 0.9);
    font_ = CreateFontIndirectW(&lf);
    rowHeight_ = static_cast<int>(std::abs(lf.lfHeight) * 1.5);

    struct ButtonEntry {
        const wchar_t* caption;
        UINT icon;
    };
    static const ButtonEntry kEntries[kButtonCount] = {
        {L"Очистить", IDI_SYNC_CLEAR},
        {nullptr, IDI_SYNC_PREV_OFF},
        {nullptr, IDI_SYNC_NEXT_OFF},
    };
    for (int i = 0; i < kButtonCount; ++i) {
        DButtonDesc d = {sizeof(DButtonDesc), hwnd, DButtonStyle::kVisible | DButtonStyle::kOwnsIcon, 0, 0, 0, 0, this,
                         kEntries[i].caption, LoadPaneIcon(kEntries[i].icon), kIconSize, kIconSize, hInstance, nullptr,
                         &kButtonNotify};
        buttons_[i].ownerValue = i;
        if (!buttons_[i].Create(&d))
            return -1;
        if (font_ && kEntries[i].caption)
            buttons_[i].SetFont(lf);
    }
    enabled_[kClear] = true;
    EnableWindow(buttons_[kPrevious].GetHwnd(), FALSE);
    EnableWindow(buttons_[kNext].GetHwnd(), FALSE);

    panel_.Create(hwnd, hInstance);
    panel_.SetFont(font_);
    panel_.SetColor(GetSysColor(COLOR_WINDOW));

    struct LabelEntry {
        StaticCtl* control;
        const wchar_t* text;
        DWORD align;
    };
    const LabelEntry labels[] = {
        {&totalCaption_, L"Всего сообщений:", SS_LEFTNOWORDWRAP},
        {&numberCaption_, L"Текущее сообщение:", SS_LEFTNOWORDWRAP},
        {&totalValue_, L"0", SS_LEFTNOWORDWRAP},
        {&numberValue_, L"0", SS_LEFTNOWORDWRAP},
    };
    for (const LabelEntry& label : labels) {
        label.control->Create(hwnd, WS_CHILD | WS_VISIBLE | SS_CENTERIMAGE | label.align);
        label.control->SetFont(font_, FALSE);
        label.control->SetText(label.text);
    }
    const int total = TextWidth(hwnd, font_, L"Всего сообщений:");
    const int number = TextWidth(hwnd, font_, L"Текущее сообщение:");
    captionWidth_ = (total > number ? total : number) + 2 * kMargin;
    valueWidth_ = TextWidth(hwnd, font_, L"00000000") + 2 * kMargin;
    return 0;
}

void ErrMsgWin::OnDestroy()
{
    for (DButton& button : buttons_)
        if (button.GetHwnd())
            DestroyWindow(button.GetHwnd());
    if (font_)
        DeleteObject(font_);
    font_ = nullptr;
}

void ErrMsgWin::OnSize(int width, int height, WPARAM)
{
    Layout(width, height);
}

void ErrMsgWin::Layout(int width, int height)
{
    // Two rows of counters, the navigation buttons beside them, centred on
    // the rows; below, the text panel and the clear button to its right.
    const int rows = 2 * rowHeight_;
    const int topHeight = rows > kNavButtonSize ? rows : kNavButtonSize;
    const int rowsTop = kMargin + (topHeight - rows) / 2;
    const int valueX = kMargin + captionWidth_;
    totalCaption_.Move(kMargin, rowsTop, captionWidth_, rowHeight_, TRUE);
    totalValue_.Move(valueX, rowsTop, valueWidth_, rowHeight_, TRUE);
    numberCaption_.Move(kMargin, rowsTop + rowHeight_, captionWidth_, rowHeight_, TRUE);
    numberValue_.Move(valueX, rowsTop + rowHeight_, valueWidth_, rowHeight_, TRUE);
    const int navX = valueX + valueWidth_ + kMargin;
    const int navY = kMargin + (topHeight - kNavButtonSize) / 2;
    buttons_[kPrevious].Move(navX, navY, kNavButtonSize, kNavButtonSize, TRUE);
    buttons_[kNext].Move(navX + kNavButtonSize + kMargin, navY, kNavButtonSize, kNavButtonSize, TRUE);

    const int panelTop = kMargin + topHeight + kMargin;
    const int clearWidth = buttons_[kClear].GetTextWidth() + 4 * kMargin > kIconSize + 4 * kMargin
                               ? buttons_[kClear].GetTextWidth() + 4 * kMargin
                               : kIconSize + 4 * kMargin;
    int clearHeight = buttons_[kClear].CalcHeight() + 2 * kMargin;
    int panelHeight = height - panelTop - kMargin;
    if (panelHeight < 0)
        panelHeight = 0;
    if (clearHeight > panelHeight && panelHeight > 0)
        clearHeight = panelHeight;
    int panelWidth = width - clearWidth - 3 * kMargin;
    if (panelWidth < 0)
        panelWidth = 0;
    panel_.SetRect(kMargin, panelTop, panelWidth, panelHeight);
    buttons_[kClear].Move(width - kMargin - clearWidth, panelTop, clearWidth, clearHeight, TRUE);
    // Measured again at the new width.
    panel_.SetText(list_.Current(), list_.CurrentLength());
    InvalidateRect(hwnd, nullptr, TRUE);
}

void ErrMsgWin::OnPaint()
{
    DPaintScope paint(hwnd);
    panel_.Draw(paint.Dc());
}

void ErrMsgWin::OnClose()
{
    Destroy();
}

void ErrMsgWin::AddMessage(const wchar_t* text, int length)
{
    EnterCriticalSection(&lock_);
    const bool wasEmpty = list_.Total() == 0;
    if (list_.Add(text, length)) {
        if (wasEmpty)
            ShowCurrent();
        else
            UpdateNavigation();
        ShowTotal();
    }
    LeaveCriticalSection(&lock_);
}

void ErrMsgWin::Previous()
{
    if (!list_.Previous()) {
        ShowPrompt(hwnd, L"Нет сообщений.", L"Message", MB_OK);
        return;
    }
    ShowCurrent();
}

void ErrMsgWin::Next()
{
    if (!list_.CanGoOn())
        return;
    if (!list_.Next()) {
        ShowPrompt(hwnd, L"Нет сообщений.", L"Message", MB_OK);
        return;
    }
    ShowCurrent();
}

void ErrMsgWin::Clear()
{
    list_.Clear();
    ShowCurrent();
    ShowTotal();
}

void ErrMsgWin::ShowCurrent()
{
    if (hwnd) {
        panel_.SetText(list_.Current() ? list_.Current() : L"", list_.CurrentLength());
        InvalidateRect(hwnd, nullptr, TRUE);
        numberValue_.SetText(std::to_wstring(list_.Number()).c_str());
    }
    UpdateNavigation();
}

void ErrMsgWin::ShowTotal()
{
    if (hwnd)
        totalValue_.SetText(std::to_wstring(list_.Total()).c_str());
}

void ErrMsgWin::UpdateNavigation()
{
    SetNavigation(kPrevious, list_.CanGoBack());
    SetNavigation(kNext, list_.CanGoOn());
}

void ErrMsgWin::SetNavigation(ButtonIndex button, bool enabled)
{
    if (!buttons_[button].GetHwnd() || enabled_[button] == enabled)
        return;
    enabled_[button] = enabled;
    static const UINT kIcons[kButtonCount][2] = {
        {IDI_SYNC_CLEAR, IDI_SYNC_CLEAR},
        {IDI_SYNC_PREV_OFF, IDI_SYNC_PREV},
        {IDI_SYNC_NEXT_OFF, IDI_SYNC_NEXT},
    };
    buttons_[button].SetIcon(LoadPaneIcon(kIcons[button][enabled ? 1 : 0]), kIconSize, kIconSize);
    EnableWindow(buttons_[button].GetHwnd(), enabled ? TRUE : FALSE);
}

std::wstring ErrMsgWin::CurrentText() const
{
    return list_.Current() ? std::wstring(list_.Current(), static_cast<size_t>(list_.CurrentLength())) : L"";
}

std::wstring ErrMsgWin::TotalLabel() const
{
    return WindowText(totalValue_.GetHwnd());
}

std::wstring ErrMsgWin::NumberLabel() const
{
    return WindowText(numberValue_.GetHwnd());
}
