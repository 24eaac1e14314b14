// The program end to end, on a fresh demo site: it starts, shows its main
// window, ends with exit code 0 on WM_CLOSE leaving its journal records, and
// a second instance ends at once.
#include "app_fixture.h"
#include "demo_site.h"
#include "disk_service.h"

#include "foundation/journal.h"

#include <string>

namespace {

struct WindowSearch {
    DWORD process;
    const wchar_t* className;
    HWND found;
    std::wstring seen;   // every top-level window of the process, for the failure report
};

BOOL CALLBACK FindOfProcess(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != search->process)
        return TRUE;
    wchar_t name[128] = L"", title[256] = L"";
    GetClassNameW(hwnd, name, 128);
    GetWindowTextW(hwnd, title, 256);
    search->seen += std::wstring(L"[") + name + L": " + title + L"] ";
    if (!wcscmp(name, search->className) && IsWindowVisible(hwnd))
        search->found = hwnd;
    return TRUE;
}

// Waits (bounded) for a visible top-level window of the class in the process.
HWND WaitForWindow(DWORD process, const wchar_t* className, DWORD ms, std::wstring* seen)
{
    const DWORD start = GetTickCount();
    WindowSearch search = {process, className, nullptr, L""};
    while (GetTickCount() - start < ms) {
        search.found = nullptr;
        search.seen.clear();
        EnumWindows(FindOfProcess, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            break;
        Sleep(50);
    }
    if (seen)
        *seen = search.seen;
    return search.found;
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out.push_back(c < 128 ? static_cast<char>(c) : '?');
    return out;
}

const wchar_t kMainClass[] = L"Main patient window";

class Program : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(site.Build()); }
    apptest::DemoSite site;
};

TEST_F(Program, StartsOnAFreshSiteAndEndsOnClose)
{
    site.Install();
    apptest::ChildProcess program(TF_PROGRAM_EXE, L"", site.Folder());
    ASSERT_TRUE(program.Started());
    std::wstring seen;
    HWND main = WaitForWindow(program.Id(), kMainClass, 30000, &seen);
    ASSERT_NE(nullptr, main) << "windows of the program: " << Narrow(seen);

    PostMessageW(main, WM_CLOSE, 0, 0);
    DWORD code = 99;
    ASSERT_TRUE(program.Wait(20000, &code));
    EXPECT_EQ(0u, code);

    const std::vector<apptest::JournalEntry> journal = apptest::ReadJournalFile(site.JournalPath());
    EXPECT_TRUE(apptest::HasEntry(journal, kJournalOpenedCode, L"Journal opened"));
    EXPECT_TRUE(apptest::HasEntry(journal, kJournalClosedCode, L"Journal closed"));
}

TEST_F(Program, ASecondInstanceEndsAtOnceAndLeavesTheFirstAlone)
{
    site.Install();
    apptest::ChildProcess first(TF_PROGRAM_EXE, L"", site.Folder());
    std::wstring seen;
    HWND main = WaitForWindow(first.Id(), kMainClass, 30000, &seen);
    ASSERT_NE(nullptr, main) << Narrow(seen);

    apptest::ChildProcess second(TF_PROGRAM_EXE, L"", site.Folder());
    ASSERT_TRUE(second.Started());
    DWORD code = 99;
    ASSERT_TRUE(second.Wait(10000, &code)) << "the second instance did not end";
    EXPECT_EQ(0u, code);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(first.Handle(), 0));
    EXPECT_TRUE(IsWindow(main));

    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(first.Wait(20000, &code));
    EXPECT_EQ(0u, code);
}

// With a disk service configured the program waits for its pipe, then goes on.
TEST_F(Program, WaitsForTheDiskServiceWhenOneIsConfigured)
{
    const std::wstring server = apptest::TestServerName();
    apptest::DiskService service(apptest::PipeOf(server));
    ASSERT_TRUE(service.Listening());
    site.Install(server);
    apptest::ChildProcess program(TF_PROGRAM_EXE, L"", site.Folder());
    std::wstring seen;
    HWND main = WaitForWindow(program.Id(), kMainClass, 30000, &seen);
    ASSERT_NE(nullptr, main) << Narrow(seen);
    PostMessageW(main, WM_CLOSE, 0, 0);
    DWORD code = 99;
    ASSERT_TRUE(program.Wait(20000, &code));
    EXPECT_EQ(0u, code);
}

// Clients of the disk service that connect and never write do not keep the
// program on its "Connecting to server" window.
TEST_F(Program, SilentClientsOfTheDiskServiceDoNotHoldUpTheStart)
{
    const std::wstring server = apptest::TestServerName();
    const std::wstring pipe = apptest::PipeOf(server);
    apptest::DiskService service(pipe);
    ASSERT_TRUE(service.Listening());
    apptest::SilentClient first(pipe), second(pipe);
    ASSERT_TRUE(first.Connected());
    ASSERT_TRUE(second.Connected());
    site.Install(server);
    apptest::ChildProcess program(TF_PROGRAM_EXE, L"", site.Folder());
    std::wstring seen;
    HWND main = WaitForWindow(program.Id(), kMainClass, 30000, &seen);
    ASSERT_NE(nullptr, main) << Narrow(seen);
    PostMessageW(main, WM_CLOSE, 0, 0);
    DWORD code = 99;
    ASSERT_TRUE(program.Wait(20000, &code));
    EXPECT_EQ(0u, code);
}

// A journal held by another process: the program says why it cannot start
// (a message box of its own, naming the journal and the reason) and ends
// when the user has read it.
TEST_F(Program, AJournalThatCannotBeOpenedIsExplainedBeforeTheProgramEnds)
{
    site.Install();
    HANDLE holder = CreateFileW(site.JournalPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    apptest::ChildProcess program(TF_PROGRAM_EXE, L"", site.Folder());
    ASSERT_TRUE(program.Started());
    std::wstring seen;
    HWND box = WaitForWindow(program.Id(), L"#32770", 30000, &seen);
    ASSERT_NE(nullptr, box) << "windows of the program: " << Narrow(seen);
    wchar_t text[1024] = L"";
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    const std::wstring shown = text;
    EXPECT_NE(std::wstring::npos, shown.find(L"zelk.ju")) << Narrow(shown);
    EXPECT_NE(std::wstring::npos, shown.find(L"(error 32)")) << Narrow(shown);
    EXPECT_EQ(nullptr, WaitForWindow(program.Id(), kMainClass, 100, nullptr));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    DWORD code = 99;
    EXPECT_TRUE(program.Wait(20000, &code));
    CloseHandle(holder);
}

}  // namespace
