#include "dialog_script.h"

#include "app/inputtext.h"
#include "ui/window_create.h"

#include "common/window_harness.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <vector>

namespace dlgtest {
namespace {

DialogScript* gScript = nullptr;

void CALLBACK TickProc(HWND, UINT, UINT_PTR, DWORD)
{
    if (gScript)
        gScript->Tick();
}

void CALLBACK ExpireProc(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (gScript)
        gScript->Expire();
}

bool IsClass(HWND window, const wchar_t* name)
{
    wchar_t found[64] = {};
    GetClassNameW(window, found, 64);
    return wcscmp(found, name) == 0;
}

bool IsModalCandidate(HWND window)
{
    return IsWindowVisible(window) && IsWindowEnabled(window) &&
           (IsClass(window, L"#32770") || IsClass(window, InpTextWnd::kClassName));
}

BOOL CALLBACK FindActive(HWND window, LPARAM out)
{
    if (IsModalCandidate(window)) {
        *reinterpret_cast<HWND*>(out) = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CancelOne(HWND window, LPARAM)
{
    if (IsClass(window, L"#32770") && IsWindowVisible(window))
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    else if (IsClass(window, InpTextWnd::kClassName))
        PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    return TRUE;
}

}  // namespace

DialogScript::DialogScript(DWORD timeoutMs)
{
    gScript = this;
    timer_ = SetTimer(nullptr, 0, 20, TickProc);
    watchdog_ = SetTimer(nullptr, 0, timeoutMs, ExpireProc);
}

DialogScript::~DialogScript()
{
    if (timer_)
        KillTimer(nullptr, timer_);
    if (watchdog_ && !expired_)
        KillTimer(nullptr, watchdog_);
    gScript = nullptr;
    EXPECT_TRUE(steps_.empty()) << steps_.size() << " dialog step(s) never ran";
}

DialogScript& DialogScript::Then(int markerId, Step step)
{
    steps_.push_back(Entry{markerId, std::move(step)});
    return *this;
}

DialogScript& DialogScript::ThenInput(Step step)
{
    steps_.push_back(Entry{-1, std::move(step)});
    return *this;
}

void DialogScript::Tick()
{
    if (steps_.empty() || expired_)
        return;
    HWND window = ActiveModalWindow();
    if (!window)
        return;
    const Entry& next = steps_.front();
    const bool isInput = IsClass(window, InpTextWnd::kClassName);
    if (next.markerId == -1 ? !isInput : (isInput || (next.markerId != 0 && !GetDlgItem(window, next.markerId))))
        return;
    // Off the queue first: the step may open a nested dialog, whose loop
    // runs the next steps from this same timer.
    Step step = std::move(steps_.front().step);
    steps_.pop_front();
    step(window);
}

void DialogScript::Expire()
{
    expired_ = true;
    ADD_FAILURE() << "the dialogs were still open after the time-out; " << steps_.size() << " step(s) left";
    steps_.clear();
    EnumThreadWindows(GetCurrentThreadId(), CancelOne, 0);
}

HWND ActiveModalWindow()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindActive, reinterpret_cast<LPARAM>(&found));
    return found;
}

void Click(HWND dialog, int id)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void SetText(HWND dialog, int id, const std::wstring& text)
{
    SetDlgItemTextW(dialog, id, text.c_str());
}

std::wstring Text(HWND dialog, int id)
{
    wchar_t text[1024] = {};
    const int n = GetDlgItemTextW(dialog, id, text, 1024);
    return std::wstring(text, n > 0 ? n : 0);
}

std::wstring Title(HWND window)
{
    wchar_t text[256] = {};
    const int n = GetWindowTextW(window, text, 256);
    return std::wstring(text, n > 0 ? n : 0);
}

bool SelectComboData(HWND dialog, int id, DWORD data)
{
    HWND combo = GetDlgItem(dialog, id);
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i)
        if (static_cast<DWORD>(SendMessageW(combo, CB_GETITEMDATA, i, 0)) == data) {
            SendMessageW(combo, CB_SETCURSEL, i, 0);
            return true;
        }
    return false;
}

LRESULT SelectedComboData(HWND dialog, int id)
{
    HWND combo = GetDlgItem(dialog, id);
    const LRESULT selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    return selected < 0 ? -1 : SendMessageW(combo, CB_GETITEMDATA, selected, 0);
}

void SelectListLine(HWND dialog, int id, int line)
{
    HWND list = GetDlgItem(dialog, id);
    SendMessageW(list, LB_SETCURSEL, line, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

std::wstring ListLine(HWND dialog, int id, int line)
{
    HWND list = GetDlgItem(dialog, id);
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, line, 0);
    if (length < 0)
        return std::wstring();
    std::wstring text(length + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, line, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(length);
    return text;
}

int ListCount(HWND dialog, int id)
{
    return static_cast<int>(SendMessageW(GetDlgItem(dialog, id), LB_GETCOUNT, 0, 0));
}

int FocusedId(HWND dialog)
{
    HWND focus = GetFocus();
    return focus && GetParent(focus) == dialog ? GetDlgCtrlID(focus) : 0;
}

void TypeAndEnter(HWND input, const std::wstring& text)
{
    HWND edit = WindowObject<InpTextWnd>(input)->GetEdit();
    for (wchar_t c : text)
        SendMessageW(edit, WM_CHAR, c, 1);
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
}

}  // namespace dlgtest
