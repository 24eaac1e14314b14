// The custom message box, driven by messages from a thread timer while its
// own loop runs: every button set, closing, WM_QUIT, an exception, placement,
// and the prompt hook.
#include "ui/msgbox.h"

#include "common/prompt_script.h"
#include "common/window_look.h"
#include "controls_fixture.h"
#include "ui/window_errors.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace {

std::function<void(HWND box)> gAction;
bool gActed;

BOOL CALLBACK FindBoxProc(HWND hwnd, LPARAM out)
{
    wchar_t name[64];
    GetClassNameW(hwnd, name, 64);
    if (wcscmp(name, MsgWnd::kClassName) == 0) {
        *reinterpret_cast<HWND*>(out) = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindBox()
{
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindBoxProc, reinterpret_cast<LPARAM>(&box));
    return box;
}

struct ChildSearch {
    const wchar_t* name;
    std::vector<HWND> found;
};

BOOL CALLBACK ChildSearchProc(HWND h, LPARAM p)
{
    auto* s = reinterpret_cast<ChildSearch*>(p);
    wchar_t name[64];
    GetClassNameW(h, name, 64);
    if (wcscmp(name, s->name) == 0)
        s->found.push_back(h);
    return TRUE;
}

// The children of a class, left to right.
std::vector<HWND> ChildrenOf(HWND parent, const wchar_t* className)
{
    ChildSearch s = {className, {}};
    EnumChildWindows(parent, ChildSearchProc, reinterpret_cast<LPARAM>(&s));
    std::sort(s.found.begin(), s.found.end(), [](HWND a, HWND b) {
        RECT ra, rb;
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return ra.left < rb.left;
    });
    return s.found;
}

void Click(HWND button)
{
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

// Runs `action` on the box once it is open; closes a box left open after 3 s.
void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND box = FindBox();
    if (!box)
        return;
    KillTimer(nullptr, id);
    gActed = true;
    auto action = gAction;
    action(box);
}

void CALLBACK Guard(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (HWND box = FindBox()) {
        ADD_FAILURE() << "the box was still open after 3 s";
        PostMessageW(box, WM_CLOSE, 0, 0);
    }
}

class MsgBoxTest : public ControlsTest {
protected:
    int Run(std::function<void(HWND)> action, UINT type, const wchar_t* text = L"Text", HWND owner = nullptr)
    {
        gAction = std::move(action);
        gActed = false;
        UINT_PTR tick = SetTimer(nullptr, 0, 10, Tick);
        UINT_PTR guard = SetTimer(nullptr, 0, 3000, Guard);
        int result = RunMsgWnd(owner ? owner : Host(), text, L"Caption", type);
        KillTimer(nullptr, tick);
        KillTimer(nullptr, guard);
        return result;
    }
    static bool ClassRegistered()
    {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        return GetClassInfoExW(hInstance, MsgWnd::kClassName, &wc) != FALSE;
    }
};

TEST_F(MsgBoxTest, EveryButtonOfEverySetReturnsItsId)
{
    const std::vector<std::vector<int>> expected = {
        {1}, {1, 2}, {3, 11, 2}, {6, 7, 2},
        {6, 7}, {4, 2}, {2, 10, 11}};
    for (UINT type = 0; type < expected.size(); ++type) {
        for (size_t i = 0; i < expected[type].size(); ++i) {
            size_t count = 0;
            int r = Run(
                [&](HWND box) {
                    std::vector<HWND> buttons = ChildrenOf(box, L"Quil button control");
                    count = buttons.size();
                    if (i < buttons.size())
                        Click(buttons[i]);
                    else
                        PostMessageW(box, WM_CLOSE, 0, 0);
                },
                type);
            EXPECT_EQ(count, expected[type].size()) << "type " << type;
            EXPECT_EQ(r, expected[type][i]) << "type " << type << " button " << i;
            EXPECT_FALSE(ClassRegistered());
        }
    }
}

TEST_F(MsgBoxTest, TypeTwoGivesElevenInTheMiddleAndTwoOnTheRight)
{
    EXPECT_EQ(Run([](HWND box) { Click(ChildrenOf(box, L"Quil button control")[1]); }, 2), 11);
    EXPECT_EQ(Run([](HWND box) { Click(ChildrenOf(box, L"Quil button control")[2]); }, 2), 2);
}

TEST_F(MsgBoxTest, UnknownTypeShowsNothing)
{
    EXPECT_EQ(Run([](HWND) {}, 7), -1);
    EXPECT_FALSE(gActed) << "no box was ever open";
    EXPECT_FALSE(ClassRegistered());
    EXPECT_EQ(ShowMsgWnd(Host(), L"t", L"c", 7), -1) << "and no prompt either";
}

TEST_F(MsgBoxTest, ClosingWithoutAButtonReturnsMinusOne)
{
    EXPECT_EQ(Run([](HWND box) { SendMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0); }, 3), -1);
    EXPECT_EQ(Run([](HWND box) { PostMessageW(box, WM_CLOSE, 0, 0); }, 1), -1);
    EXPECT_FALSE(ClassRegistered());
}

TEST_F(MsgBoxTest, QuitPostedInsideEndsTheBoxAndIsPostedAgain)
{
    EXPECT_EQ(Run([](HWND) { PostQuitMessage(7); }, 4), -1);
    EXPECT_EQ(FindBox(), nullptr);
    EXPECT_FALSE(ClassRegistered());
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

LRESULT CALLBACK ThrowerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP) {
        try {
            throw std::runtime_error("inside the box's loop");
        } catch (...) {
            KeepWindowException();
        }
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(MsgBoxTest, ExceptionInsideDestroysTheBoxAndTellsTheOwner)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ThrowerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MsgBoxTest thrower";
    RegisterClassExW(&wc);
    HWND thrower = CreateWindowExW(0, wc.lpszClassName, nullptr, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                   wc.hInstance, nullptr);
    ASSERT_NE(thrower, nullptr);
    PromptScript script({IDOK});
    int r = Run([thrower](HWND) { PostMessageW(thrower, WM_APP, 0, 0); }, 0);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(FindBox(), nullptr);
    EXPECT_FALSE(ClassRegistered());
    ASSERT_EQ(script.Count(), 1u);
    EXPECT_TRUE(script.Last().text == L"Unhandled exception");
    EXPECT_EQ(script.Last().owner, Host());
    EXPECT_FALSE(HasWindowException());
    DestroyWindow(thrower);
    UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

TEST_F(MsgBoxTest, LongTextShowsThePanelsScrollBar)
{
    std::wstring longText;
    for (int i = 0; i < 60; ++i)
        longText += L"A line of the message " + std::to_wstring(i) + L"\n";
    bool shortShown = true, longShown = false;
    Run(
        [&](HWND box) {
            shortShown = IsWindowVisible(ChildrenOf(box, L"Quil scroll control").at(0)) != FALSE;
            Click(ChildrenOf(box, L"Quil button control")[0]);
        },
        0, L"Short");
    Run(
        [&](HWND box) {
            longShown = IsWindowVisible(ChildrenOf(box, L"Quil scroll control").at(0)) != FALSE;
            Click(ChildrenOf(box, L"Quil button control")[0]);
        },
        0, longText.c_str());
    EXPECT_FALSE(shortShown);
    EXPECT_TRUE(longShown);
}

TEST_F(MsgBoxTest, BoxIsPlacedOnScreenWithoutOwnerAndNearAnEdge)
{
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &mi);
    auto inside = [&](HWND box) {
        RECT r;
        GetWindowRect(box, &r);
        return r.left >= mi.rcWork.left && r.top >= mi.rcWork.top && r.right <= mi.rcWork.right &&
               r.bottom <= mi.rcWork.bottom;
    };
    bool ok = false;
    gAction = nullptr;
    UINT_PTR tick = SetTimer(nullptr, 0, 10, Tick);
    gAction = [&](HWND box) {
        ok = inside(box);
        Click(ChildrenOf(box, L"Quil button control")[0]);
    };
    EXPECT_EQ(RunMsgWnd(nullptr, L"No owner", L"Caption", 0), IDOK);
    KillTimer(nullptr, tick);
    EXPECT_TRUE(ok) << "without an owner";

    host.reset();
    host.reset(new harness::HostWindow(60, 60, mi.rcWork.right - 70, mi.rcWork.bottom - 70));
    ok = false;
    EXPECT_EQ(Run(
                  [&](HWND box) {
                      ok = inside(box);
                      Click(ChildrenOf(box, L"Quil button control")[0]);
                  },
                  0),
              IDOK);
    EXPECT_TRUE(ok) << "an owner in the bottom-right corner";
}

TEST_F(MsgBoxTest, WithAPromptHookTheHookAnswers)
{
    PromptScript script({IDRETRY});
    EXPECT_EQ(ShowMsgWnd(Host(), L"Disk full", L"Archive", MB_RETRYCANCEL), IDRETRY);
    ASSERT_EQ(script.Count(), 1u);
    EXPECT_TRUE(script.Last().text == L"Disk full");
    EXPECT_TRUE(script.Last().caption == L"Archive");
    EXPECT_EQ(script.Last().flags, static_cast<UINT>(MB_RETRYCANCEL));
    EXPECT_EQ(FindBox(), nullptr);
}

}  // namespace

// The buttons of every set show their captions whole (Russian in either
// language: the box is the Russian archive window's own).
TEST_F(MsgBoxTest, EveryButtonSetShowsItsCaptionsWhole)
{
    for (UINT type = MB_OK; type <= MB_CANCELTRYCONTINUE; ++type) {
        std::wstring fault = L"not opened";
        Run(
            [&](HWND box) {
                fault = harness::WindowTextFault(box, true);
                PostMessageW(box, WM_CLOSE, 0, 0);
            },
            type);
        EXPECT_EQ(L"", fault) << "type " << type;
    }
}
