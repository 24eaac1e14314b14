// The control library's font and initialization rows, and the settings
// broadcast to the program's own windows on every thread.
#include "common/window_harness.h"
#include "foundation/globals.h"
#include "ui/button.h"
#include "ui/control_font.h"
#include "ui/init_rows.h"
#include "ui/tooltip.h"

#include <string>
#include <vector>

namespace {

bool ClassExists(const wchar_t* name)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    return GetClassInfoExW(hInstance, name, &wc) != 0;
}

TEST(ControlFontTest, IsACyrillicTrueTypeFontUntilFreed)
{
    ASSERT_TRUE(DControl::InitFont());
    ASSERT_NE(ControlFont, nullptr);
    LOGFONTW lf = {};
    ASSERT_EQ(GetObjectW(ControlFont, sizeof(lf), &lf), static_cast<int>(sizeof(lf)));
    EXPECT_EQ(lf.lfCharSet, RUSSIAN_CHARSET);
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);
    EXPECT_EQ(lf.lfOutPrecision, OUT_TT_ONLY_PRECIS);
    EXPECT_EQ(lf.lfQuality, PROOF_QUALITY);
    EXPECT_EQ(lf.lfFaceName[0], 0);
    HFONT font = ControlFont;
    DControl::FreeFont();
    EXPECT_EQ(ControlFont, nullptr);
    EXPECT_EQ(GetObjectType(font), 0u);
}

// ---- initialization rows --------------------------------------------------

std::vector<std::string> gRowLog;
bool InitA() { gRowLog.push_back("init A"); return true; }
void UninitA() { gRowLog.push_back("uninit A"); }
bool InitB() { gRowLog.push_back("init B"); return true; }
void UninitB() { gRowLog.push_back("uninit B"); }
bool InitFails() { gRowLog.push_back("init C"); return false; }
void UninitC() { gRowLog.push_back("uninit C"); }
bool InitD() { gRowLog.push_back("init D"); return true; }
void UninitD() { gRowLog.push_back("uninit D"); }

TEST(InitRowsTest, FailingRowUndoesTheRowsBeforeItInReverse)
{
    const InitRow rows[] = {
        {InitA, UninitA, L"A"}, {InitB, UninitB, L"B"}, {InitFails, UninitC, L"C"}, {InitD, UninitD, L"D"},
    };
    gRowLog.clear();
    size_t failed = 99;
    EXPECT_FALSE(RunInitRows(rows, 4, &failed));
    EXPECT_EQ(failed, 2u);
    EXPECT_EQ(gRowLog, (std::vector<std::string>{"init A", "init B", "init C", "uninit B", "uninit A"}));
    gRowLog.clear();
    EXPECT_TRUE(RunInitRows(rows, 2, &failed));
    UndoInitRows(rows, 2);
    EXPECT_EQ(gRowLog, (std::vector<std::string>{"init A", "init B", "uninit B", "uninit A"}));
}

TEST(InitRowsTest, ControlRowsRegisterTheirClassesInOrder)
{
    ASSERT_EQ(ControlLibraryRowCount, 7u);
    EXPECT_STREQ(ControlLibraryRows[0].name, L"Initialization DControl");
    EXPECT_STREQ(ControlLibraryRows[1].name, L"Register DToolTip");
    EXPECT_STREQ(ControlLibraryRows[2].name, L"Register DButton");
    EXPECT_STREQ(ControlLibraryRows[3].name, L"Register DHeader");
    EXPECT_STREQ(ControlLibraryRows[4].name, L"Register DScroll");
    EXPECT_STREQ(ControlLibraryRows[5].name, L"Register DListView");
    EXPECT_STREQ(ControlLibraryRows[6].name, L"Register DUpDown");
    ASSERT_TRUE(RunInitRows(ControlLibraryRows, ControlLibraryRowCount, nullptr));
    EXPECT_NE(ControlFont, nullptr);
    EXPECT_TRUE(ClassExists(L"DToolTip"));
    EXPECT_TRUE(ClassExists(L"Quil button control"));
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    GetClassInfoExW(hInstance, L"Quil button control", &wc);
    EXPECT_EQ(wc.style, 0x223u);
    EXPECT_EQ(wc.cbWndExtra, 4);
    EXPECT_EQ(wc.hbrBackground, nullptr);
    EXPECT_FALSE(DButton::RegisterClass()) << "a class is registered once";
    UndoInitRows(ControlLibraryRows, ControlLibraryRowCount);
    EXPECT_FALSE(ClassExists(L"DToolTip"));
    EXPECT_FALSE(ClassExists(L"Quil button control"));
    EXPECT_EQ(ControlFont, nullptr);
}

TEST(InitRowsTest, ControlRowsAreUndoneWhenALaterRowFails)
{
    std::vector<InitRow> rows(ControlLibraryRows, ControlLibraryRows + ControlLibraryRowCount);
    rows.push_back({InitFails, UninitC, L"Register something"});
    gRowLog.clear();
    size_t failed = 0;
    EXPECT_FALSE(RunInitRows(rows.data(), rows.size(), &failed));
    EXPECT_EQ(failed, ControlLibraryRowCount);
    EXPECT_FALSE(ClassExists(L"DToolTip"));
    EXPECT_FALSE(ClassExists(L"Quil button control"));
    EXPECT_EQ(ControlFont, nullptr);
    // Everything can be brought up again afterwards.
    ASSERT_TRUE(RunInitRows(ControlLibraryRows, ControlLibraryRowCount, nullptr));
    UndoInitRows(ControlLibraryRows, ControlLibraryRowCount);
}

// ---- settings broadcast ---------------------------------------------------

struct Received {
    std::wstring name;
    DWORD kind = 99, one = 0, size = 0;
    LONG height = 0;
    DWORD thread = 0;
    int count = 0;
};
Received gMain, gWorker;
const wchar_t kListenerClass[] = L"Font change listener";

LRESULT CALLBACK ListenerProc(HWND hwnd, UINT m, WPARAM w, LPARAM l)
{
    if (m == WM_FONTCHANGED_APP) {
        const FontChangeNotice* n = reinterpret_cast<const FontChangeNotice*>(w);
        Received& r = GetWindowLongPtrW(hwnd, GWLP_USERDATA) ? gWorker : gMain;
        r.name = n->name;
        r.kind = n->kind;
        r.one = n->one;
        r.size = n->dataSize;
        r.height = n->font.lfHeight;
        r.thread = GetCurrentThreadId();
        ++r.count;
        return 0;
    }
    return DefWindowProcW(hwnd, m, w, l);
}

DWORD WINAPI WorkerUi(void* ready)
{
    HWND h = CreateWindowExW(0, kListenerClass, nullptr, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, hInstance, nullptr);
    SetWindowLongPtrW(h, GWLP_USERDATA, 1);
    SetEvent(ready);
    MSG msg;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 5000) {
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0) {
            bool quit = false;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT)
                    quit = true;
                DispatchMessageW(&msg);
            }
            if (quit)
                break;
        }
    }
    DestroyWindow(h);
    return 0;
}

class Broadcast : public ::testing::Test {
protected:
    void SetUp() override
    {
        gMain = Received();
        gWorker = Received();
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = ListenerProc;
        wc.hInstance = hInstance;
        wc.lpszClassName = kListenerClass;
        RegisterClassExW(&wc);
        hidden = CreateWindowExW(0, kListenerClass, nullptr, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, hInstance, nullptr);
        ASSERT_NE(hidden, nullptr);
        ASSERT_FALSE(IsWindowVisible(hidden));
        ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread = CreateThread(nullptr, 0, WorkerUi, ready, 0, &threadId);
        ASSERT_EQ(WaitForSingleObject(ready, 2000), WAIT_OBJECT_0);
    }
    void TearDown() override
    {
        PostThreadMessageW(threadId, WM_QUIT, 0, 0);
        EXPECT_EQ(WaitForSingleObject(thread, 3000), WAIT_OBJECT_0);
        CloseHandle(thread);
        CloseHandle(ready);
        DestroyWindow(hidden);
        UnregisterClassW(kListenerClass, hInstance);
    }
    HWND hidden = nullptr;
    HANDLE ready = nullptr;
    HANDLE thread = nullptr;
    DWORD threadId = 0;
};

TEST_F(Broadcast, ReachesAHiddenWindowAndAWindowOfASecondUiThread)
{
    LOGFONTW lf = {};
    lf.lfHeight = -17;
    DWORD start = GetTickCount();
    BroadcastFontChange(L"Button", lf);
    EXPECT_LT(GetTickCount() - start, 900u) << "no receiver timed out";
    for (Received* r : {&gMain, &gWorker}) {
        EXPECT_EQ(r->count, 1);
        EXPECT_EQ(r->name, L"Button");
        EXPECT_EQ(r->kind, 0u);
        EXPECT_EQ(r->one, 1u);
        EXPECT_EQ(r->size, 92u);
        EXPECT_EQ(r->height, -17);
    }
    EXPECT_EQ(gMain.thread, GetCurrentThreadId());
    EXPECT_EQ(gWorker.thread, threadId) << "delivered on the window's own thread";
}

TEST_F(Broadcast, OverlongNameIsCutToTheRecord)
{
    std::wstring name(300, L'N');
    LOGFONTW lf = {};
    BroadcastFontChange(name.c_str(), lf);
    EXPECT_EQ(gMain.name, std::wstring(255, L'N'));
    EXPECT_EQ(gWorker.name, std::wstring(255, L'N'));
}

}  // namespace
