// The wait for the disk service: the service present, absent then Exit, the
// server name empty; the wait never spins.
#include "app_fixture.h"
#include "disk_service.h"

#include "app/connectwnd.h"
#include "foundation/globals.h"
#include "ui/window_create.h"

#include <memory>

#include <functional>

namespace {

std::function<void()> gOnTimer;

void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (gOnTimer)
        gOnTimer();
}

// Runs `action` on this thread after `ms`, from inside whatever loop runs then.
void After(DWORD ms, std::function<void()> action)
{
    gOnTimer = std::move(action);
    SetTimer(nullptr, 0, ms, TimerProc);
}

BOOL CALLBACK FindConnectWindow(HWND hwnd, LPARAM out)
{
    wchar_t name[64];
    if (GetClassNameW(hwnd, name, 64) && !wcscmp(name, ConnectWindow::kClassName)) {
        *reinterpret_cast<HWND*>(out) = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND ConnectWindowHandle()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindConnectWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

void PressExit()
{
    HWND window = ConnectWindowHandle();
    ASSERT_NE(nullptr, window);
    ConnectWindow* object = WindowObject<ConnectWindow>(window);
    HWND button = object->GetExitButton()->GetHwnd();
    ASSERT_NE(nullptr, button);
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

class PipeWait : public ::testing::Test {
protected:
    void SetUp() override { wcscpy(saved, ServerName); }
    void TearDown() override
    {
        wcscpy(ServerName, saved);
        gOnTimer = nullptr;
    }
    void UseServer(const std::wstring& server) { wcscpy(ServerName, server.c_str()); }

    wchar_t saved[kServerNameChars];
    apptest::ShellClasses classes;
};

TEST_F(PipeWait, AnEmptyServerNameMeansNoWait)
{
    UseServer(L"");
    const DWORD start = GetTickCount();
    EXPECT_TRUE(WaitForArchiveServer());
    EXPECT_LT(GetTickCount() - start, 2000u) << "a wait, with its window and thread, lasts the close timer";
}

TEST_F(PipeWait, AListeningServiceEndsTheWaitAtOnce)
{
    const std::wstring server = apptest::TestServerName();
    apptest::DiskService service(apptest::PipeOf(server));
    ASSERT_TRUE(service.Listening());
    UseServer(server);
    const DWORD start = GetTickCount();
    EXPECT_TRUE(WaitForArchiveServer());
    EXPECT_LT(GetTickCount() - start, 2000u) << "shorter than the close timer";
    EXPECT_EQ(nullptr, ConnectWindowHandle());
}

TEST_F(PipeWait, AServiceThatStartsLaterIsFound)
{
    const std::wstring server = apptest::TestServerName();
    UseServer(server);
    std::unique_ptr<apptest::DiskService> service;
    bool windowShown = false;
    After(300, [&] {
        windowShown = ConnectWindowHandle() != nullptr;
        service.reset(new apptest::DiskService(apptest::PipeOf(server)));
    });
    EXPECT_TRUE(WaitForArchiveServer());
    EXPECT_TRUE(windowShown);
    ASSERT_TRUE(service && service->Listening());
}

// Without the service the thread must rest between tries (WaitNamedPipeW
// fails at once for a missing pipe), and Exit is answered at once, not after
// the close timer.
TEST_F(PipeWait, AbsentThenExitEndsWithoutSpinning)
{
    UseServer(apptest::TestServerName());
    double cpuAtPress = 0;
    DWORD pressedAt = 0;
    const DWORD start = GetTickCount();
    const double cpuStart = apptest::ProcessCpuMs();
    After(800, [&] {
        cpuAtPress = apptest::ProcessCpuMs();
        pressedAt = GetTickCount();
        PressExit();
    });
    EXPECT_FALSE(WaitForArchiveServer());
    const DWORD answered = GetTickCount() - pressedAt;
    // The thread answers within a fifth of a second; the close timer would
    // take 2.5 s, far beyond what a loaded machine adds.
    EXPECT_LT(answered, 1500u) << "the thread must answer at once, not the close timer";
    const double wall = static_cast<double>(pressedAt - start);
    EXPECT_LT(cpuAtPress - cpuStart, wall * 0.3) << "cpu " << (cpuAtPress - cpuStart) << " ms in " << wall << " ms";
    EXPECT_EQ(nullptr, ConnectWindowHandle());
}

TEST_F(PipeWait, AQuitRequestEndsTheWaitAndIsNotPassedOn)
{
    UseServer(apptest::TestServerName());
    After(200, [] { PostQuitMessage(3); });
    EXPECT_FALSE(WaitForArchiveServer());
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST(PipeWaitThreadRun, TheStopEventIsAnsweredWithinAFifthOfASecond)
{
    wchar_t saved[kServerNameChars];
    wcscpy(saved, ServerName);
    wcscpy(ServerName, apptest::TestServerName().c_str());
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = StartPipeWaitThread(stop, nullptr, 0);
    ASSERT_NE(nullptr, thread);
    Sleep(300);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(thread, 0));
    SetEvent(stop);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 250));
    DWORD code = 99;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(kPipeWaitCancelled, code);
    CloseHandle(thread);
    CloseHandle(stop);
    wcscpy(ServerName, saved);
}

TEST(PipeWaitThreadRun, TheResultIsPostedToTheWindow)
{
    wchar_t saved[kServerNameChars];
    wcscpy(saved, ServerName);
    const std::wstring server = apptest::TestServerName();
    apptest::DiskService service(apptest::PipeOf(server));
    ASSERT_TRUE(service.Listening());
    wcscpy(ServerName, server.c_str());
    HWND target = CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = StartPipeWaitThread(stop, target, kPipeWaitMessage);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 2000));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, target, kPipeWaitMessage, kPipeWaitMessage, PM_REMOVE));
    EXPECT_EQ(kPipeAvailable, msg.wParam);
    CloseHandle(thread);
    CloseHandle(stop);
    DestroyWindow(target);
    wcscpy(ServerName, saved);
}

class ConnectWindowRun : public ::testing::Test {
protected:
    void SetUp() override { stop = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    void TearDown() override { CloseHandle(stop); }
    apptest::ShellClasses classes;
    HANDLE stop = nullptr;
};

TEST_F(ConnectWindowRun, TheFirstExitSetsTheStopEventAndASecondDoesNothing)
{
    ConnectWindow window;
    ASSERT_TRUE(window.Create(nullptr, hInstance, L"Connecting to server", stop));
    EXPECT_FALSE(window.Create(nullptr, hInstance, L"again", stop));
    window.RequestClose();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(stop, 0));
    EXPECT_TRUE(window.IsCloseTimerRunning());
    window.RequestClose();
    EXPECT_TRUE(IsWindow(window.GetHwnd()));
    // The thread's answer ends it.
    PostMessageW(window.GetHwnd(), kPipeWaitMessage, kPipeWaitCancelled, 0);
    window.RunLoop();
    EXPECT_EQ(nullptr, window.GetHwnd());
}

TEST_F(ConnectWindowRun, WithoutTheAnimationFileTheWindowStillWorks)
{
    ConnectWindow window;
    ASSERT_TRUE(window.Create(nullptr, hInstance, L"Connecting to server", stop));
    EXPECT_FALSE(window.IsAnimationPlaying());   // no "connect.avi" in the test's folder
    RECT client, button;
    GetClientRect(window.GetHwnd(), &client);
    GetWindowRect(window.GetExitButton()->GetHwnd(), &button);
    MapWindowPoints(nullptr, window.GetHwnd(), reinterpret_cast<POINT*>(&button), 2);
    EXPECT_EQ(client.bottom, button.bottom);   // the button sits at the bottom
    EXPECT_GE(button.right - button.left, 100);
    // Its size: a quarter of the usable screen, centred.
    RECT outer;
    GetWindowRect(window.GetHwnd(), &outer);
    EXPECT_EQ(GetSystemMetrics(SM_CXFULLSCREEN) / 4, outer.right - outer.left);
    EXPECT_EQ((GetSystemMetrics(SM_CXFULLSCREEN) - (outer.right - outer.left)) / 2, outer.left);
    window.Destroy();
}

}  // namespace

#include "app/stopwnd.h"

namespace {

// The "Stoped process" window: its button sets the caller's event; the
// settings broadcast ends the window.
TEST(StopWindow, TheButtonSetsTheEventAndTheBroadcastEndsIt)
{
    apptest::ShellClasses classes;
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    StopProcessWnd window;
    ASSERT_TRUE(window.Create(event, L"Copying", -1));
    EXPECT_FALSE(window.Create(event, L"again", -1));
    EXPECT_STREQ(L"Copying", window.Title());
    // The class background is brush value 5, the menu colour.
    EXPECT_EQ(COLOR_MENU + 1, static_cast<int>(GetClassLongW(window.GetHwnd(), GCL_HBRBACKGROUND)));
    HWND button = window.GetButton()->GetHwnd();
    ASSERT_NE(nullptr, button);
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 0));
    SendMessageW(window.GetHwnd(), 0x8001, 0, 0);
    EXPECT_EQ(nullptr, window.GetHwnd());
    CloseHandle(event);
}

}  // namespace
