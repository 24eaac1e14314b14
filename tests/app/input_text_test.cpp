// The text input window: Enter, Escape, the capacity, the prefill, the
// position, and the WM_QUIT it posts again.
#include "app_fixture.h"

#include "app/inputtext.h"
#include "foundation/globals.h"
#include "ui/window_create.h"

#include <functional>
#include <string>

namespace {

std::function<void()> gOnTimer;

void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (gOnTimer)
        gOnTimer();
}

BOOL CALLBACK FindInputWindow(HWND hwnd, LPARAM out)
{
    wchar_t name[64];
    if (GetClassNameW(hwnd, name, 64) && !wcscmp(name, InpTextWnd::kClassName)) {
        *reinterpret_cast<HWND*>(out) = hwnd;
        return FALSE;
    }
    return TRUE;
}

// This thread's input window (other test processes have their own).
HWND InputWindow()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindInputWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

void CALLBACK Watchdog(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (HWND window = InputWindow()) {
        ADD_FAILURE() << "the input window was still open after 3 s";
        DestroyWindow(window);
    }
}

// Runs `action` from inside the input's own loop; a test that does not end
// the input fails after 3 s instead of hanging.
void WhileOpen(std::function<void()> action)
{
    gOnTimer = std::move(action);
    SetTimer(nullptr, 0, 50, TimerProc);
    SetTimer(nullptr, 0, 3000, Watchdog);
}

HWND EditOf(HWND window)
{
    return WindowObject<InpTextWnd>(window)->GetEdit();
}

void Type(HWND edit, const std::wstring& text)
{
    for (wchar_t c : text)
        SendMessageW(edit, WM_CHAR, c, 1);
}

void Press(HWND edit, WPARAM key)
{
    SendMessageW(edit, WM_KEYDOWN, key, 1);
}

class InputTextRun : public ::testing::Test {
protected:
    void TearDown() override { gOnTimer = nullptr; }
    apptest::ShellClasses classes;
};

// Drives the real mouse and keyboard: runs alone (see tests.cmake).
using InputTextRunRealInput = InputTextRun;

TEST_F(InputTextRunRealInput, EnterReturnsTheTypedText)
{
    wchar_t buffer[32] = L"old";
    WhileOpen([] {
        HWND edit = EditOf(InputWindow());
        Type(edit, L"Иванов");
        Press(edit, VK_RETURN);
    });
    EXPECT_EQ(6, InputText(nullptr, buffer, 32, L"Name", FALSE));
    EXPECT_STREQ(L"Иванов", buffer);
    EXPECT_EQ(nullptr, InputWindow());
}

TEST_F(InputTextRunRealInput, EnterOnAnEmptyFieldReturnsZero)
{
    wchar_t buffer[8] = L"old";
    WhileOpen([] { Press(EditOf(InputWindow()), VK_RETURN); });
    EXPECT_EQ(0, InputText(nullptr, buffer, 8, L"Name", FALSE));
    EXPECT_STREQ(L"", buffer);
}

TEST_F(InputTextRunRealInput, EscapeCancelsAndLeavesTheBuffer)
{
    wchar_t buffer[8] = L"old";
    WhileOpen([] {
        HWND edit = EditOf(InputWindow());
        Type(edit, L"new");
        Press(edit, VK_ESCAPE);
    });
    EXPECT_EQ(-1, InputText(nullptr, buffer, 8, L"Name", FALSE));
    EXPECT_STREQ(L"old", buffer);
}

TEST_F(InputTextRunRealInput, ThePrefillIsShownAndTheTitleSet)
{
    wchar_t buffer[16] = L"Petrov";
    std::wstring shown, title;
    WhileOpen([&] {
        HWND window = InputWindow();
        wchar_t text[64];
        GetWindowTextW(EditOf(window), text, 64);
        shown = text;
        GetWindowTextW(window, text, 64);
        title = text;
        Type(EditOf(window), L"!");   // replaces the selected prefill
        Press(EditOf(window), VK_RETURN);
    });
    EXPECT_EQ(1, InputText(nullptr, buffer, 16, L"Patient", TRUE));
    EXPECT_EQ(L"Petrov", shown);
    EXPECT_EQ(L"Patient", title);
}

TEST_F(InputTextRunRealInput, ATitleByStringId)
{
    wchar_t buffer[8];
    std::wstring title;
    WhileOpen([&] {
        wchar_t text[64];
        GetWindowTextW(InputWindow(), text, 64);
        title = text;
        Press(EditOf(InputWindow()), VK_ESCAPE);
    });
    InputText(nullptr, buffer, 8, 54, FALSE);   // "Exit"
    EXPECT_EQ(L"Exit", title);
}

// The buffer takes capacity - 1 characters: typing stops there, so the text
// returned is exactly what the field showed and nothing typed is lost.
TEST_F(InputTextRunRealInput, TypingStopsAtCapacityLessOne)
{
    wchar_t buffer[64];
    std::wstring shown;
    WhileOpen([&] {
        HWND edit = EditOf(InputWindow());
        Type(edit, std::wstring(70, L'x'));
        wchar_t text[128];
        GetWindowTextW(edit, text, 128);
        shown = text;
        Press(edit, VK_RETURN);
    });
    EXPECT_EQ(63, InputText(nullptr, buffer, 64, L"Long", FALSE));
    EXPECT_EQ(63u, shown.size());
    EXPECT_EQ(shown, std::wstring(buffer));
}

TEST_F(InputTextRun, AQuitRequestCancelsAndIsPostedAgain)
{
    wchar_t buffer[8] = L"old";
    WhileOpen([] {
        Type(EditOf(InputWindow()), L"abc");
        PostQuitMessage(5);
    });
    EXPECT_EQ(-1, InputText(nullptr, buffer, 8, L"Name", FALSE));
    EXPECT_EQ(nullptr, InputWindow());
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(5u, msg.wParam);
}

TEST_F(InputTextRunRealInput, TheOwnerIsDisabledWhileItRuns)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 10, 10, 50, 50, nullptr, nullptr,
                                 nullptr, nullptr);
    wchar_t buffer[8];
    bool disabledMeanwhile = false;
    HWND ownerSeen = nullptr;
    WhileOpen([&] {
        disabledMeanwhile = !IsWindowEnabled(owner);
        ownerSeen = GetWindow(InputWindow(), GW_OWNER);
        Press(EditOf(InputWindow()), VK_RETURN);
    });
    EXPECT_EQ(0, InputText(owner, buffer, 8, L"Name", FALSE));
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_EQ(owner, ownerSeen);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

TEST_F(InputTextRunRealInput, AlignmentPutsTheBottomRightCornerAtThePoint)
{
    wchar_t buffer[8];
    RECT placed = {};
    WhileOpen([&] {
        GetWindowRect(InputWindow(), &placed);
        Press(EditOf(InputWindow()), VK_ESCAPE);
    });
    InputTextAt(nullptr, buffer, 8, L"Name", FALSE, 700, 500, InputAlign::kRight | InputAlign::kBottom);
    EXPECT_EQ(700, placed.right);
    EXPECT_EQ(500, placed.bottom);
    EXPECT_EQ(400, placed.right - placed.left);
}

TEST_F(InputTextRun, TheButtonAcceptsToo)
{
    wchar_t buffer[8];
    WhileOpen([] {
        HWND window = InputWindow();
        Type(EditOf(window), L"ok");
        HWND button = WindowObject<InpTextWnd>(window)->GetButton()->GetHwnd();
        SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    });
    EXPECT_EQ(2, InputText(nullptr, buffer, 8, L"Name", FALSE));
    EXPECT_STREQ(L"ok", buffer);
}

TEST_F(InputTextRun, WithoutItsClassTheInputFails)
{
    InpTextWnd::UnregisterClass();
    wchar_t buffer[8] = L"old";
    EXPECT_EQ(-1, InputText(nullptr, buffer, 8, L"Name", FALSE));
    EXPECT_TRUE(InpTextWnd::RegisterClass());
}

}  // namespace
