// Start-up and the end: the crash record, the terminate handler, the exit
// action, the cycle requests, the working folder and the display check.
#include "app_fixture.h"

#include "app/startup.h"
#include "common/settings_root.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "resources/strings.h"

#include <cstring>
#include <exception>
#include <stdexcept>

namespace {

std::vector<UINT> gExitCalls;
BOOL gExitResult = TRUE;

BOOL FakeExitWindows(UINT flags, DWORD)
{
    gExitCalls.push_back(flags);
    if (!gExitResult)
        SetLastError(ERROR_ACCESS_DENIED);
    return gExitResult;
}

class ExitAction : public ::testing::Test {
protected:
    void SetUp() override
    {
        gExitCalls.clear();
        gExitResult = TRUE;
        previous = SetExitWindowsFunction(FakeExitWindows);
    }
    void TearDown() override
    {
        SetExitWindowsFunction(previous);
        CurrentExitAction = kExitNone;
    }
    ExitWindowsFunction previous = nullptr;
    apptest::TempFolder folder;
};

TEST_F(ExitAction, NoneLeavesWindowsAloneAndClosesTheJournal)
{
    apptest::OpenJournal journal(folder.Path());
    CurrentExitAction = kExitNone;
    ShutdownIfRequested();
    EXPECT_TRUE(gExitCalls.empty());
    EXPECT_FALSE(JournalIsMapped());
}

TEST_F(ExitAction, PowerOffAndShutdownGoThroughTheOneFunction)
{
    CurrentExitAction = kExitPowerOff;
    ShutdownIfRequested();
    CurrentExitAction = kExitShutdown;
    ShutdownIfRequested();
    CurrentExitAction = kExitLogoff;
    ShutdownIfRequested();
    EXPECT_EQ((std::vector<UINT>{8, 1, 0}), gExitCalls);
}

TEST_F(ExitAction, ARefusalIsRecordedAsShutdown)
{
    apptest::OpenJournal journal(folder.Path());
    gExitResult = FALSE;
    CurrentExitAction = kExitShutdown;
    ShutdownWindows();
    EXPECT_TRUE(apptest::HasEntry(journal.Entries(), ERROR_ACCESS_DENIED, L"Shutdown"));
}

TEST(ExceptionNames, TheCrashFilterNamesTheCommonCodes)
{
    EXPECT_STREQ(L"ACCESS VIOLATION", ExceptionName(0xC0000005));
    EXPECT_STREQ(L"STACK OVERFLOW", ExceptionName(0xC00000FD));
    EXPECT_STREQ(L"FLOAT: DIVIDE BY ZERO", ExceptionName(0xC000008E));
    EXPECT_STREQ(L"DIVIDE BY ZERO", ExceptionName(0xC0000094));
    EXPECT_STREQ(L"BREAKPOINT", ExceptionName(0x80000003));
    EXPECT_STREQ(L"Unknown Exception", ExceptionName(0x12345678));
    EXPECT_STREQ(L"Unknown Exception", ExceptionName(kTerminateCode));
}

std::wstring gFatalName;

void FakeFatalExit(const wchar_t* name)
{
    gFatalName = name;
    ExitThread(7);   // ends the failing thread only
}

DWORD WINAPI ThrowingThread(void*)
{
    throw std::runtime_error("nobody catches this");
}

DWORD WINAPI FaultingThread(void*)
{
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = 0xC0000094;
    EXCEPTION_POINTERS pointers = {&record, nullptr};
    return App::UnhandledExceptionFilter(&pointers);
}

class FatalFailure : public ::testing::Test {
protected:
    void SetUp() override
    {
        gFatalName.clear();
        previous = SetFatalExitFunction(FakeFatalExit);
    }
    void TearDown() override { SetFatalExitFunction(previous); }

    DWORD RunThread(LPTHREAD_START_ROUTINE body)
    {
        HANDLE thread = CreateThread(nullptr, 0, body, nullptr, 0, nullptr);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 5000));
        DWORD code = 0;
        GetExitCodeThread(thread, &code);
        CloseHandle(thread);
        return code;
    }

    FatalExitFunction previous = nullptr;
    apptest::TempFolder folder;
};

TEST_F(FatalFailure, TheCrashFilterRecordsTheCodeAndEndsWithItsName)
{
    apptest::OpenJournal journal(folder.Path());
    EXPECT_EQ(7u, RunThread(FaultingThread));
    EXPECT_EQ(L"DIVIDE BY ZERO", gFatalName);
    EXPECT_TRUE(apptest::HasEntry(journal.Entries(), 0xC0000094, L"Exception in program"));
}

TEST_F(FatalFailure, AnExceptionThatEndsAThreadWritesTheSameRecord)
{
    apptest::OpenJournal journal(folder.Path());
    std::terminate_handler before = std::set_terminate(App::TerminateHandler);
    EXPECT_EQ(7u, RunThread(ThrowingThread));
    std::set_terminate(before);
    EXPECT_EQ(L"Unknown Exception", gFatalName);
    EXPECT_TRUE(apptest::HasEntry(journal.Entries(), kTerminateCode, L"Exception in program"));
}

class CycleRequests : public ::testing::Test {
protected:
    void TearDown() override
    {
        MainLoopEnded = RestartRequested = FALSE;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    static bool QuitPosted()
    {
        MSG msg;
        return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && msg.wParam == 0;
    }
};

TEST_F(CycleRequests, QuitPostsWmQuitWithCodeZero)
{
    EXPECT_EQ(1, RequestQuit());
    EXPECT_TRUE(QuitPosted());
}

TEST_F(CycleRequests, QuitAfterTheLoopEndedPostsNothing)
{
    MainLoopEnded = TRUE;
    EXPECT_EQ(1, RequestQuit());
    EXPECT_FALSE(QuitPosted());
}

TEST_F(CycleRequests, RestartSetsItsFlagAndQuits)
{
    EXPECT_EQ(1, RequestRestart());
    EXPECT_TRUE(RestartRequested);
    EXPECT_TRUE(QuitPosted());
}

TEST(DefaultDirectory, DefDirBecomesTheCurrentFolder)
{
    apptest::TempFolder folder;
    apptest::TestKey key;
    wchar_t before[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, before);
    key.SetString(L"DefDir", folder.Path());
    SettingsRootScope root(key.Root(), key.Path());
    SetDefaultDirectory();
    wchar_t now[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, now);
    SetCurrentDirectoryW(before);
    EXPECT_EQ(0, lstrcmpiW((folder.Path().substr(0, folder.Path().size() - 1)).c_str(), now)) << now;
}

TEST(DefaultDirectory, AMissingOrEmptyValueOrFolderChangesNothing)
{
    apptest::TestKey key;
    wchar_t before[MAX_PATH], now[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, before);
    {
        SettingsRootScope root(key.Root(), key.Path());
        SetDefaultDirectory();
        key.SetString(L"DefDir", L"");
        SetDefaultDirectory();
        key.SetString(L"DefDir", L"C:\\no\\such\\folder");
        SetDefaultDirectory();
    }
    SettingsRootScope missing(key.Root(), L"Software\\TobalFluoroTests\\missing");
    SetDefaultDirectory();
    GetCurrentDirectoryW(MAX_PATH, now);
    EXPECT_STREQ(before, now);
}

TEST(Display, ATrueColourScreenOfFullWidthKeepsLargeIcons)
{
    ASSERT_GE(GetSystemMetrics(SM_CXFULLSCREEN), 1280);   // the test display is 1280 x 1024 x 24
    EXPECT_TRUE(CheckDisplay());
    EXPECT_FALSE(IsSmallScreen);
    EXPECT_EQ(32, IconSize);
}

// String-table texts follow the application locale on this thread.
TEST(Locale, TheThreadLocaleAndItsTextsFollowTheApplicationLocale)
{
    const LCID before = GetThreadLocale();
    wchar_t text[64] = L"";
    SetThreadLocale(0x419);
    SetApplicationLocale();
    EXPECT_EQ(0x419u, GetThreadLocale());
    LoadStringW(hInstance, IDS_EXIT, text, 64);
    EXPECT_STREQ(L"Выход", text);
    SetThreadLocale(0x409);
    SetApplicationLocale();
    EXPECT_EQ(0x409u, GetThreadLocale());
    LoadStringW(hInstance, IDS_EXIT, text, 64);
    EXPECT_STREQ(L"Exit", text);
    SetThreadLocale(before);
    SetApplicationLocale();
}

}  // namespace

namespace {

TEST(BrightnessCurve, ThreeChannelsFallBehindByHalfAndWholeWidth)
{
    BYTE table[1024];
    memset(table, 0xAB, sizeof table);
    EXPECT_EQ(256, MakeBrightnessCurve(table, 100, FALSE));
    EXPECT_EQ(0, table[0]);
    EXPECT_EQ(0, table[4 * 30 + 1]);
    EXPECT_EQ(150, table[4 * 200 + 1]);
    EXPECT_EQ(100, table[4 * 200 + 2]);
    EXPECT_EQ(0xAB, table[4 * 200 + 3]);   // the fourth byte is not touched
    MakeBrightnessCurve(table, 100, TRUE);
    EXPECT_EQ(200, table[4 * 55]);
    EXPECT_EQ(100, table[4 * 55 + 2]);
}

}  // namespace
