// The error list, progress and busy windows: the error list's queue fed from
// another thread (one posted message for many texts), its paging and Clear;
// the progress bar's arithmetic and its pixels; the busy window's Exit and
// its text.
#include "app_fixture.h"
#include "dialog_script.h"

#include "app/connectwnd.h"
#include "app/errmsgwnd.h"
#include "app/progresswnd.h"
#include "foundation/globals.h"
#include "resources/strings.h"

#include "common/window_harness.h"

#include <climits>
#include <string>
#include <thread>

using namespace dlgtest;

namespace {

std::wstring Str(UINT id)
{
    wchar_t text[512] = {};
    const int n = LoadStringW(hInstance, id, text, 512);
    return std::wstring(text, n > 0 ? n : 0);
}

std::wstring WindowText(HWND window)
{
    wchar_t text[512] = {};
    const int n = GetWindowTextW(window, text, 512);
    return std::wstring(text, n > 0 ? n : 0);
}

// The messages of a kind waiting in this thread's queue (taken out and put back).
int Waiting(UINT message)
{
    std::vector<MSG> taken;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, message, message, PM_REMOVE))
        taken.push_back(msg);
    for (const MSG& m : taken)
        PostMessageW(m.hwnd, m.message, m.wParam, m.lParam);
    return static_cast<int>(taken.size());
}

class ErrorList : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ErrMsgWindow::RegisterClass(hInstance));
        ASSERT_TRUE(window_.Create(host_.Hwnd()));
    }
    void TearDown() override
    {
        window_.Destroy();
        ErrMsgWindow::UnregisterClass(hInstance);
    }
    apptest::ShellClasses classes_;
    harness::HostWindow host_;
    ErrMsgWindow window_;
};

TEST_F(ErrorList, TenTextsFromAnotherThreadArriveWithOneMessageNewestShown)
{
    EXPECT_FALSE(IsWindowVisible(window_.GetHwnd()));
    EXPECT_EQ(Str(IDS_ERROR_LIST_TITLE), WindowText(window_.GetHwnd()));
    std::thread sender([this] {
        for (int i = 0; i < 10; ++i)
            window_.AddMessage((L"error " + std::to_wstring(i)).c_str(), -1);
    });
    sender.join();
    EXPECT_EQ(1, Waiting(ErrMsgWindow::kTakePendingMessage));
    EXPECT_EQ(0, window_.Count());
    harness::Pump(50);
    ASSERT_EQ(10, window_.Count());
    EXPECT_EQ(9, window_.Current());
    EXPECT_EQ(L"error 9", WindowText(window_.TextView()));
    EXPECT_STREQ(L"error 0", window_.TextAt(0));
    EXPECT_TRUE(IsWindowVisible(window_.GetHwnd()));
    EXPECT_TRUE(IsWindowVisible(window_.ScrollBar()));
    EXPECT_EQ(0, Waiting(ErrMsgWindow::kTakePendingMessage));
}

TEST_F(ErrorList, PagingBackKeepsTheViewWhileNewTextsArrive)
{
    for (const wchar_t* text : {L"a", L"b", L"c"})
        window_.AddMessage(text, -1);
    harness::Pump(30);
    ASSERT_EQ(2, window_.Current());
    SendMessageW(window_.GetHwnd(), WM_VSCROLL, SB_LINEUP, reinterpret_cast<LPARAM>(window_.ScrollBar()));
    SendMessageW(window_.GetHwnd(), WM_VSCROLL, SB_PAGEUP, reinterpret_cast<LPARAM>(window_.ScrollBar()));
    SendMessageW(window_.GetHwnd(), WM_VSCROLL, SB_LINEUP, reinterpret_cast<LPARAM>(window_.ScrollBar()));
    EXPECT_EQ(0, window_.Current());   // not before the first
    EXPECT_EQ(L"a", WindowText(window_.TextView()));
    window_.AddMessage(L"d, with a length", 1);
    harness::Pump(30);
    EXPECT_EQ(4, window_.Count());
    EXPECT_EQ(0, window_.Current());
    EXPECT_EQ(L"a", WindowText(window_.TextView()));
    EXPECT_STREQ(L"d", window_.TextAt(3));
    for (int i = 0; i < 5; ++i)
        SendMessageW(window_.GetHwnd(), WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(window_.ScrollBar()));
    EXPECT_EQ(3, window_.Current());   // not past the last
    // Back on the newest, a new text moves the view on.
    window_.AddMessage(L"e", -1);
    harness::Pump(30);
    EXPECT_EQ(4, window_.Current());
    EXPECT_EQ(L"e", WindowText(window_.TextView()));
}

TEST_F(ErrorList, ASingleTextHidesTheScrollBarAndANullTextIsIgnored)
{
    window_.AddMessage(nullptr, -1);
    window_.AddMessage(L"only", -1);
    harness::Pump(30);
    EXPECT_EQ(1, window_.Count());
    EXPECT_FALSE(IsWindowVisible(window_.ScrollBar()));
    EXPECT_EQ(L"only", WindowText(window_.TextView()));
}

TEST_F(ErrorList, ClearEmptiesTheListButKeepsTextsStillPending)
{
    window_.AddMessage(L"one", -1);
    window_.AddMessage(L"two", -1);
    harness::Pump(30);
    window_.AddMessage(L"pending", -1);   // queued, its message not yet taken
    SendMessageW(window_.ClearButton().GetHwnd(), WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(window_.ClearButton().GetHwnd(), WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(0, window_.Count());
    EXPECT_EQ(-1, window_.Current());
    EXPECT_EQ(L"", WindowText(window_.TextView()));
    EXPECT_FALSE(IsWindowVisible(window_.ScrollBar()));
    harness::Pump(30);
    ASSERT_EQ(1, window_.Count());
    EXPECT_STREQ(L"pending", window_.TextAt(0));
}

TEST_F(ErrorList, CloseOnlyHidesAndANewTextShowsTheWindowAgain)
{
    window_.AddMessage(L"first", -1);
    harness::Pump(30);
    ASSERT_TRUE(IsWindowVisible(window_.GetHwnd()));
    SendMessageW(window_.CloseButton().GetHwnd(), WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(window_.CloseButton().GetHwnd(), WM_KEYUP, VK_SPACE, 0);
    EXPECT_FALSE(IsWindowVisible(window_.GetHwnd()));
    EXPECT_TRUE(IsWindow(window_.GetHwnd()));
    window_.AddMessage(L"second", -1);
    harness::Pump(30);
    EXPECT_TRUE(IsWindowVisible(window_.GetHwnd()));
    SendMessageW(window_.GetHwnd(), WM_CLOSE, 0, 0);   // the caption's close box
    EXPECT_FALSE(IsWindowVisible(window_.GetHwnd()));
    EXPECT_TRUE(IsWindow(window_.GetHwnd()));
    EXPECT_FALSE(window_.Create(host_.Hwnd()));   // one window per object
}

TEST_F(ErrorList, TheWindowInBothLanguages)
{
    for (LANGID lang : {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)}) {
        ThreadLanguage language(lang);
        const bool russian = PRIMARYLANGID(lang) == LANG_RUSSIAN;
        ErrMsgWindow window;
        ASSERT_TRUE(window.Create(host_.Hwnd()));
        window.AddMessage(russian ? L"Ошибка записи файла \"C:\\Data\\Image\\A1.xmg\": диск заполнен"
                                  : L"Error writing the file \"C:\\Data\\Image\\A1.xmg\": the disk is full",
                          -1);
        window.AddMessage(russian ? L"Нет связи с сервером" : L"The server does not answer", -1);
        harness::Pump(50);
        wchar_t clear[64] = {}, close[64] = {};
        window.ClearButton().GetText(clear, 64);
        window.CloseButton().GetText(close, 64);
        EXPECT_EQ(Str(IDS_ERROR_LIST_CLEAR), clear);
        EXPECT_EQ(Str(IDS_CLOSE), close);
        for (const std::wstring& text : {WindowText(window.GetHwnd()), std::wstring(clear), std::wstring(close)})
            EXPECT_TRUE(TextInLanguage(text, russian));
        // The buttons sit right of the text and its scroll bar, inside the window.
        RECT text, scroll, button, client;
        GetWindowRect(window.TextView(), &text);
        GetWindowRect(window.ScrollBar(), &scroll);
        GetWindowRect(window.ClearButton().GetHwnd(), &button);
        GetClientRect(window.GetHwnd(), &client);
        EXPECT_LE(text.right, scroll.left);
        EXPECT_LE(scroll.right, button.left);
        POINT corner = {client.right, client.bottom};
        ClientToScreen(window.GetHwnd(), &corner);
        EXPECT_LE(button.right, corner.x);
        SaveWindowPicture(window.GetHwnd(), russian ? L"errorlist_ru" : L"errorlist_en");
        window.Destroy();
    }
}

// ---- progress --------------------------------------------------------------------------

TEST(ProgressBarLayout, FillsInProportionWithinTheMiddleHalf)
{
    ProgressBarRects r = ProgressBarLayout(240, 80, false, 0, 100, 50);
    EXPECT_EQ(60, r.filled.left);
    EXPECT_EQ(20, r.filled.top);
    EXPECT_EQ(60, r.filled.bottom);
    EXPECT_EQ(120, r.filled.right);
    EXPECT_EQ(120, r.rest.left);
    EXPECT_EQ(180, r.rest.right);
    r = ProgressBarLayout(240, 80, true, 0, 100, 100);   // with Cancel: the upper half
    EXPECT_EQ(10, r.filled.top);
    EXPECT_EQ(30, r.filled.bottom);
    EXPECT_EQ(180, r.filled.right);
}

TEST(ProgressBarLayout, MinEqualToMaxDrawsHalfFull)
{
    const ProgressBarRects r = ProgressBarLayout(240, 80, false, 7, 7, 1000);
    EXPECT_EQ(60 + 120, r.filled.right);
}

TEST(ProgressBarLayout, ThePositionIsHeldWithinTheRange)
{
    EXPECT_EQ(60, ProgressBarLayout(240, 80, false, 10, 20, -5).filled.right);
    EXPECT_EQ(180, ProgressBarLayout(240, 80, false, 10, 20, 999).filled.right);
    // A range given the other way round still fills from min.
    EXPECT_EQ(90, ProgressBarLayout(240, 80, false, 100, 0, 75).filled.right);
}

TEST(ProgressBarLayout, TheWholeThirtyTwoBitRangeIsComputedWithoutOverflow)
{
    // (max - min) and width x (pos - min) both overflow 32 bits here.
    EXPECT_EQ(60 + 60, ProgressBarLayout(240, 80, false, INT_MIN, INT_MAX, 0).filled.right);
    EXPECT_EQ(180, ProgressBarLayout(240, 80, false, INT_MIN, INT_MAX, INT_MAX).filled.right);
    EXPECT_EQ(60, ProgressBarLayout(240, 80, false, INT_MIN, INT_MAX, INT_MIN).filled.right);
    EXPECT_EQ(2000 / 4 + 1000 / 2, ProgressBarLayout(2000, 80, false, 0, 2000000000, 1000000000).filled.right);
}

int gCancels = 0;
void CountCancel(void* cookie)
{
    gCancels += *static_cast<int*>(cookie);
}

class Progress : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(RegisterProgressWnd(hInstance)); }
    void TearDown() override
    {
        window_.Destroy();
        UnregisterProgressWnd(hInstance);
    }
    apptest::ShellClasses classes_;
    harness::ScreenLock lock_;
    ProgressWnd window_;
};

TEST_F(Progress, DrawsTheBarInBlueOnGreyAndCancelCallsTheOwner)
{
    int step = 1;
    const ProgressCancel cancel = {&step, CountCancel};
    ProgressWndDesc desc = {nullptr, 200, 200, 300, 100, hInstance, ProgressWnd::kHasCancel, 0, 4, 1,
                            L"Copying", &cancel};
    ASSERT_TRUE(window_.Create(desc));
    EXPECT_FALSE(window_.Create(desc));   // exists already
    EXPECT_TRUE(GetWindowLongW(window_.GetHwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    harness::Pump(50);
    RECT client;
    GetClientRect(window_.GetHwnd(), &client);
    const ProgressBarRects bar = ProgressBarLayout(client.right, client.bottom, true, 0, 4, 1);
    {
        harness::PixelGrab grab(window_.GetHwnd());
        ASSERT_TRUE(grab.Ok());
        const int filled = (bar.filled.right - bar.filled.left) * (bar.filled.bottom - bar.filled.top);
        EXPECT_EQ(filled, grab.Count(ProgressWnd::kBarColor));
        EXPECT_EQ(ProgressWnd::kBackColor, grab.At(bar.rest.right - 1, bar.rest.top));
    }
    window_.SetPos(4);
    harness::Pump(50);
    {
        harness::PixelGrab grab(window_.GetHwnd());
        const RECT full = ProgressBarLayout(client.right, client.bottom, true, 0, 4, 4).filled;
        EXPECT_EQ((full.right - full.left) * (full.bottom - full.top), grab.Count(ProgressWnd::kBarColor));
    }
    // The Cancel button, below the bar.
    DButton* button = window_.GetCancelButton();
    ASSERT_NE(nullptr, button);
    RECT r;
    GetWindowRect(button->GetHwnd(), &r);
    MapWindowPoints(nullptr, window_.GetHwnd(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(client.right / 3, r.left);
    EXPECT_EQ(client.bottom / 2 + 1, r.top);
    wchar_t caption[64] = {};
    button->GetText(caption, 64);
    EXPECT_EQ(Str(IDS_CANCEL), caption);
    gCancels = 0;
    SendMessageW(button->GetHwnd(), WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(button->GetHwnd(), WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(1, gCancels);
    SaveWindowPicture(window_.GetHwnd(), L"progress_en");
}

TEST_F(Progress, DefaultSizeAndPlaceWithoutAButton)
{
    ProgressWndDesc desc = {nullptr, kProgressDefault, kProgressDefault, kProgressDefault, kProgressDefault,
                            hInstance, 0, 0, 0, 0, L"", nullptr};
    ASSERT_TRUE(window_.Create(desc));
    RECT r;
    GetWindowRect(window_.GetHwnd(), &r);
    EXPECT_EQ(240, r.right - r.left);
    EXPECT_EQ(80, r.bottom - r.top);
    EXPECT_EQ((GetSystemMetrics(SM_CXFULLSCREEN) - 240) / 2, r.left);
    EXPECT_EQ(nullptr, window_.GetCancelButton());
    harness::Pump(50);
    RECT client;
    GetClientRect(window_.GetHwnd(), &client);
    const ProgressBarRects bar = ProgressBarLayout(client.right, client.bottom, false, 0, 0, 0);
    harness::PixelGrab grab(window_.GetHwnd());
    // min = max: half full.
    EXPECT_EQ((bar.filled.right - bar.filled.left) * (bar.filled.bottom - bar.filled.top),
              grab.Count(ProgressWnd::kBarColor));
    EXPECT_EQ(client.right / 4 + client.right / 2, bar.filled.right);
}

TEST_F(Progress, TheCancelButtonInRussian)
{
    ThreadLanguage russian(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
    ProgressWndDesc desc = {nullptr, 200, 200, 300, 100, hInstance, ProgressWnd::kHasCancel, 0, 10, 3,
                            L"Копирование", nullptr};
    ASSERT_TRUE(window_.Create(desc));
    wchar_t caption[64] = {};
    window_.GetCancelButton()->GetText(caption, 64);
    EXPECT_STREQ(L"Отмена", caption);
    // Pressing Cancel without an owner's callback does nothing.
    SendMessageW(window_.GetCancelButton()->GetHwnd(), WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(window_.GetCancelButton()->GetHwnd(), WM_KEYUP, VK_SPACE, 0);
    harness::Pump(50);
    SaveWindowPicture(window_.GetHwnd(), L"progress_ru");
}

// ---- the busy window ------------------------------------------------------------------------

class BusyWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(RegisterRunProgWnd(hInstance));
        stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    void TearDown() override
    {
        window_.Destroy();
        UnregisterRunProgWnd(hInstance);
        CloseHandle(stop_);
    }
    void Exit()
    {
        HWND button = window_.GetExitButton()->GetHwnd();
        SendMessageW(button, WM_KEYDOWN, VK_SPACE, 0);
        SendMessageW(button, WM_KEYUP, VK_SPACE, 0);
    }
    apptest::ShellClasses classes_;
    harness::ScreenLock lock_;
    RunProgWnd window_;
    HANDLE stop_ = nullptr;
};

TEST_F(BusyWindow, ExitAsksToStopAndASecondPressWaitsForTheTimer)
{
    ASSERT_TRUE(window_.Create(nullptr, hInstance, L"Busy", stop_));
    wchar_t name[64] = {};
    GetClassNameW(window_.GetHwnd(), name, 64);
    EXPECT_STREQ(L"RunProgWnd Class", name);
    EXPECT_FALSE(window_.Create(nullptr, hInstance, L"Busy", stop_));
    Exit();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(stop_, 0));
    EXPECT_TRUE(window_.IsCloseTimerRunning());
    Exit();   // the timer runs: nothing happens
    EXPECT_NE(nullptr, window_.GetHwnd());
    SendMessageW(window_.GetHwnd(), WM_TIMER, ConnectWindow::kCloseTimerId, 0);
    EXPECT_EQ(nullptr, window_.GetHwnd());
}

TEST_F(BusyWindow, ExitClosesAtOnceWhenTheStopWasAskedElsewhere)
{
    ASSERT_TRUE(window_.Create(nullptr, hInstance, L"Busy", stop_));
    SetEvent(stop_);
    Exit();
    EXPECT_EQ(nullptr, window_.GetHwnd());
}

TEST_F(BusyWindow, AQuitInItsLoopAsksToStopAndEndsIt)
{
    ASSERT_TRUE(window_.Create(nullptr, hInstance, L"Busy", stop_));
    PostQuitMessage(0);
    window_.MessageLoop();
    EXPECT_EQ(nullptr, window_.GetHwnd());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(stop_, 0));
}

TEST_F(BusyWindow, ItsTextIsDrawnAboveTheAnimation)
{
    ASSERT_TRUE(window_.Create(nullptr, hInstance, L"Copying", stop_));
    ASSERT_GT(window_.TextBandHeight(), 0);
    RECT animation;
    GetWindowRect(window_.GetAnimation(), &animation);
    MapWindowPoints(nullptr, window_.GetHwnd(), reinterpret_cast<POINT*>(&animation), 2);
    EXPECT_EQ(window_.TextBandHeight(), animation.top);
    harness::Pump(30);
    RECT band;
    GetClientRect(window_.GetHwnd(), &band);
    band.bottom = window_.TextBandHeight();
    const COLORREF background = GetSysColor(COLOR_WINDOW);
    {
        harness::PixelGrab grab(window_.GetHwnd());
        const int area = band.right * band.bottom;
        EXPECT_EQ(area, grab.Count(background, band));   // no text yet
    }
    window_.SetText(L"Copying the pictures", -1);
    harness::Pump(50);
    {
        harness::PixelGrab grab(window_.GetHwnd());
        EXPECT_LT(grab.Count(background, band), band.right * band.bottom);   // the text's pixels
    }
    SaveWindowPicture(window_.GetHwnd(), L"busy_en");
    // The connect wait window (its class registered with the shell's)
    // keeps its whole area for the animation.
    ConnectWindow connect;
    ASSERT_TRUE(connect.Create(nullptr, hInstance, L"Connect", stop_));
    EXPECT_EQ(0, connect.TextBandHeight());
    connect.Destroy();
}

TEST_F(BusyWindow, ItsExitButtonInRussian)
{
    ThreadLanguage russian(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
    ASSERT_TRUE(window_.Create(nullptr, hInstance, L"Копирование", stop_));
    window_.SetText(L"Копирование снимков на диск", -1);
    wchar_t caption[64] = {};
    window_.GetExitButton()->GetText(caption, 64);
    EXPECT_STREQ(L"Выход", caption);
    harness::Pump(50);
    SaveWindowPicture(window_.GetHwnd(), L"busy_ru");
}

}  // namespace
