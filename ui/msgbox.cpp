// The custom message box.
#include "ui/msgbox.h"

#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "resources/strings.h"
#include "ui/formsfont.h"
#include "ui/window_errors.h"
#include "ui/gdi.h"

namespace {

struct ButtonSet {
    int count;
    const wchar_t* captions[3];
    int results[3];
};

// By type (MB_OK .. MB_CANCELTRYCONTINUE), left to right. The results are the
// archive window's: "Повторить" of type 2 answers 11.
const ButtonSet kButtonSets[] = {
    {1, {L"Ок"}, {IDOK}},
    {2, {L"Ок", L"Отмена"}, {IDOK, IDCANCEL}},
    {3, {L"Прервать", L"Повторить", L"Пропустить"}, {IDABORT, 11, IDCANCEL}},
    {3, {L"Да", L"Нет", L"Отмена"}, {IDYES, IDNO, IDCANCEL}},
    {2, {L"Да", L"Нет"}, {IDYES, IDNO}},
    {2, {L"Повтор", L"Отмена"}, {IDRETRY, IDCANCEL}},
    {3, {L"Отмена", L"Попытка", L"Продолжение"}, {IDCANCEL, 10, 11}},
};
constexpr UINT kTypeCount = sizeof(kButtonSets) / sizeof(kButtonSets[0]);

const wchar_t kFrameCaption[] = L"Сообщение";

int gRegistrations;   // boxes open on this thread's way through RunMsgWnd

// Whether a prompt hook answers instead of the real box.
bool PromptHookInstalled() { return GetPromptHook() != nullptr; }

// The point moved so that a window of the size lies inside the work area of
// the monitor nearest to it.
POINT KeepOnScreen(POINT at, int width, int height)
{
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST), &mi);
    const RECT& work = mi.rcWork;
    if (at.x + width > work.right)
        at.x = work.right - width;
    if (at.y + height > work.bottom)
        at.y = work.bottom - height;
    if (at.x < work.left)
        at.x = work.left;
    if (at.y < work.top)
        at.y = work.top;
    return at;
}

}  // namespace

// ---- the window ----------------------------------------------------------------

DMessageMapEntry MsgWnd::entries[] = {
    MapMessage<WM_CREATE, &MsgWnd::OnCreate>(),
    MapMessage<WM_DESTROY, &MsgWnd::OnDestroy>(),
    MapMessage<WM_SIZE, &MsgWnd::OnSize>(),
    MapMessage<WM_PAINT, &MsgWnd::OnPaint>(),
    MapMessage<WM_CLOSE, &MsgWnd::OnClose>(),
    DMapEnd(),
};
DMessageMap MsgWnd::messageMap = {-1, 0, entries};

const DButtonNotify MsgWnd::kButtonNotify = {
    [](void* cookie, DButton* button) { static_cast<MsgWnd*>(cookie)->Finish(static_cast<int>(button->ownerValue)); },
    nullptr, nullptr, nullptr, nullptr, nullptr,
};

MsgWnd::MsgWnd(const wchar_t* text, const wchar_t* caption, UINT type, int* result)
    : text_(text), caption_(caption), type_(type), result_(result)
{
}

MsgWnd::~MsgWnd()
{
    Destroy();   // our WM_DESTROY handler must run while the object is whole
}

bool MsgWnd::RegisterClass(HINSTANCE instance)
{
    WindowClass cls{kClassName};
    cls.background = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
    cls.instance = instance;
    return DWindow::RegisterMapClass(cls);
}

void MsgWnd::UnregisterClass(HINSTANCE instance)
{
    ::UnregisterClassW(kClassName, instance);
}

bool MsgWnd::Create(HWND owner, DWORD style, void* param, HMENU menu, DWORD exStyle)
{
    if (hwnd)
        return false;
    return DWindow::Create(exStyle, kClassName, caption_, style, 0, 0, 0, 0, owner, menu, hInstance, param);
}

void MsgWnd::Finish(int result)
{
    if (result_)
        *result_ = result;
    Destroy();
}

LRESULT MsgWnd::OnCreate(HWND, LPARAM createStruct)
{
    if (type_ >= kTypeCount) {
        if (result_)
            *result_ = -1;
        return -1;
    }
    const ButtonSet& set = kButtonSets[type_];
    static const DButtonInput kNoInput = {};
    for (int i = 0; i < set.count; ++i) {
        DButtonDesc d = {sizeof(DButtonDesc), hwnd,     DButtonStyle::kToolButton, 0, 0, 0, 0, this, set.captions[i],
                         nullptr,             0,        0,          hInstance, &kNoInput, &kButtonNotify};
        buttons_[i].ownerValue = set.results[i];
        if (!buttons_[i].Create(&d))
            return -1;
        count_ = i + 1;
    }

    // The forms font, nine tenths as high.
    LOGFONTW lf = *GetFormsFont();
    lf.lfHeight = static_cast<LONG>(lf.lfHeight * 0.9);
    font_ = CreateFontIndirectW(&lf);

    panel_.Create(hwnd, hInstance);
    panel_.SetFont(font_);
    panel_.SetColor(GetSysColor(COLOR_WINDOW));
    panel_.SetText(text_, -1);
    frame_.Init(hwnd, font_);

    buttonHeight_ = static_cast<int>(buttons_[0].CalcHeight() * 1.1);
    int clientWidth = kMarginLeft + kThreeButtonsWidth + kMarginRight;
    int clientHeight = kMarginTop + buttonHeight_ + kTextToButtons + kTextHeight + kMarginBottom;
    const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(createStruct);
    RECT r = {0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&r, cs->style, FALSE, cs->dwExStyle);
    int width = r.right - r.left, height = r.bottom - r.top;
    POINT at;
    RECT ownerRect;
    if (cs->hwndParent && ::GetWindowRect(cs->hwndParent, &ownerRect)) {
        at = POINT{ownerRect.left + clientWidth / 2, ownerRect.top + clientHeight / 2};
    } else {
        // No owner: the middle of the primary monitor.
        at = POINT{(GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2};
    }
    at = KeepOnScreen(at, width, height);
    SetWindowPos(hwnd, nullptr, at.x, at.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}

void MsgWnd::OnSize(int width, int height, WPARAM)
{
    frame_.SetRect(kMarginLeft, kMarginTop, width - kMarginRight, kMarginTop + kTextHeight, kFrameCaption);
    panel_.SetRect(kMarginLeft + kPanelInset, kMarginTop + kPanelTop, width - 2 * (kMarginLeft + kPanelInset),
                   height - 100 - buttonHeight_);
    // The text was set before the panel had a size: measured again now, or
    // the bar would show for any text.
    panel_.SetText(text_, -1);
    if (count_ == 0)
        return;
    int gap = (width - kButtonWidth * count_) / (count_ + 1);
    int y = kMarginTop + kTextHeight + kTextToButtons;
    for (int i = 1; i <= count_; ++i)
        buttons_[i - 1].Move(i * gap + (i - 1) * kButtonWidth, y, kButtonWidth, buttonHeight_, TRUE);
}

void MsgWnd::OnPaint()
{
    DPaintScope paint(hwnd);
    frame_.Draw(paint.Dc());
    panel_.Draw(paint.Dc());
}

void MsgWnd::OnClose()
{
    Destroy();   // the result stays -1
}

void MsgWnd::OnDestroy()
{
    for (DButton& b : buttons_)
        if (b.GetHwnd())
            DestroyWindow(b.GetHwnd());
    count_ = 0;
    if (font_)
        DeleteObject(font_);
    font_ = nullptr;
}

// ---- the call -----------------------------------------------------------------------

int RunMsgWnd(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type)
{
    int result = -1;
    if (gRegistrations++ == 0 && !MsgWnd::RegisterClass(hInstance)) {
        gRegistrations = 0;
        return -1;
    }
    {
        MsgWnd box(text, caption, type, &result);
        try {
            if (box.Create(owner, WS_POPUP | WS_CAPTION, nullptr, nullptr, 0)) {
                box.Show(SW_SHOW);
                MSG msg;
                while (box.GetHwnd()) {
                    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
                    if (got == 0) {
                        PostQuitMessage(static_cast<int>(msg.wParam));   // the outer loop ends too
                        break;
                    }
                    if (got == -1)
                        break;
                    TranslateMessage(&msg);
                    DispatchMessageChecked(msg);
                }
            }
        } catch (...) {
            box.Destroy();
            MessageBoxId(owner, IDS_UNHANDLED_EXCEPTION, MB_OK | MB_ICONSTOP);
        }
        box.Destroy();
    }
    if (--gRegistrations == 0)
        MsgWnd::UnregisterClass(hInstance);
    return result;
}

int ShowMsgWnd(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type)
{
    if (type >= kTypeCount)
        return -1;
    if (PromptHookInstalled())
        return ShowPrompt(owner, text, caption, type);
    return RunMsgWnd(owner, text, caption, type);
}
