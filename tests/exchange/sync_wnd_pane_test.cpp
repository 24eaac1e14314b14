// The synchronisation window's message pane: the list of messages with its
// current one, and the pane's counters, navigation buttons (their icons and
// states) and "Очистить", in a host window and inside the synchronisation
// window as the worker's messages reach it.
#include "sync_wnd_fixture.h"

#include "exchange/sync/errmsgwin.h"
#include "exchange/sync/syncmessages.h"
#include "foundation/globals.h"
#include "ui/button.h"
#include "ui/scroll.h"
#include "ui/tooltip.h"

namespace extest {
namespace {

// ---- the list ---------------------------------------------------------------------------------

TEST(SyncMessageList, AnEmptyTextOrNoTextAddsNothing)
{
    SyncMessageList list;
    EXPECT_FALSE(list.Add(nullptr, -1));
    EXPECT_FALSE(list.Add(L"", -1));
    EXPECT_FALSE(list.Add(L"abc", 0));
    EXPECT_EQ(0u, list.Total());
    EXPECT_EQ(0u, list.Number());
    EXPECT_EQ(nullptr, list.Current());
    EXPECT_FALSE(list.CanGoBack());
    EXPECT_FALSE(list.CanGoOn());
}

TEST(SyncMessageList, TheFirstMessageStaysCurrentAsOthersArrive)
{
    SyncMessageList list;
    ASSERT_TRUE(list.Add(L"first", -1));
    ASSERT_TRUE(list.Add(L"second message", 6));   // a length cuts the text
    ASSERT_TRUE(list.Add(L"third", -1));
    EXPECT_EQ(3u, list.Total());
    EXPECT_EQ(1u, list.Number());
    EXPECT_STREQ(L"first", list.Current());
    EXPECT_FALSE(list.CanGoBack());
    EXPECT_TRUE(list.CanGoOn());
    ASSERT_TRUE(list.Next());
    EXPECT_STREQ(L"second", list.Current());
    EXPECT_EQ(6, list.CurrentLength());
    ASSERT_TRUE(list.Next());
    EXPECT_EQ(3u, list.Number());
    EXPECT_FALSE(list.CanGoOn());
    EXPECT_FALSE(list.Next());
    EXPECT_EQ(3u, list.Number());
    ASSERT_TRUE(list.Previous());
    ASSERT_TRUE(list.Previous());
    EXPECT_FALSE(list.Previous());
    EXPECT_STREQ(L"first", list.Current());
}

TEST(SyncMessageList, ClearEmptiesItAndItFillsAgain)
{
    SyncMessageList list;
    list.Add(L"a", -1);
    list.Add(L"b", -1);
    list.Next();
    list.Clear();
    EXPECT_EQ(0u, list.Total());
    EXPECT_EQ(0u, list.Number());
    EXPECT_EQ(nullptr, list.Current());
    list.Add(L"c", -1);
    EXPECT_EQ(1u, list.Number());
    EXPECT_STREQ(L"c", list.Current());
}

// ---- the pane -----------------------------------------------------------------------------------

class MessagePane : public ::testing::Test {
protected:
    void SetUp() override
    {
        DToolTip::RegisterClass();
        DButton::RegisterClass();
        DScroll::RegisterClass();
        ASSERT_TRUE(ErrMsgWin::RegisterClass(hInstance));
        ASSERT_TRUE(pane.Create(host.Hwnd(), 1));
        pane.Show(SW_SHOW);
        MoveWindow(pane.GetHwnd(), 0, 0, 600, 200, TRUE);
        harness::Pump(20);
    }
    void TearDown() override
    {
        pane.Destroy();
        ErrMsgWin::UnregisterClass(hInstance);
    }
    bool Enabled(DButton& button) { return IsWindowEnabled(button.GetHwnd()) != FALSE; }
    void Press(DButton& button)
    {
        ASSERT_TRUE(Enabled(button));
        SendMessageW(button.GetHwnd(), WM_KEYDOWN, VK_SPACE, 0);
        SendMessageW(button.GetHwnd(), WM_KEYUP, VK_SPACE, 0);
    }

    harness::HostWindow host{640, 240};
    ErrMsgWin pane;
};

TEST_F(MessagePane, StartsEmptyWithBothNavigationButtonsGreyed)
{
    EXPECT_EQ(L"0", pane.TotalLabel());
    EXPECT_EQ(L"0", pane.NumberLabel());
    EXPECT_FALSE(Enabled(pane.PreviousButton()));
    EXPECT_FALSE(Enabled(pane.NextButton()));
    EXPECT_TRUE(Enabled(pane.ClearButton()));
    pane.AddMessage(L"", -1);
    pane.AddMessage(nullptr, 5);
    EXPECT_EQ(L"0", pane.TotalLabel());
    EXPECT_EQ(0u, pane.Total());
}

TEST_F(MessagePane, ThreeMessagesShowTheFirstAndNextTwiceReachesTheLast)
{
    pane.AddMessage(L"Всего на диске Снимков: 4", -1);
    EXPECT_EQ(L"1", pane.TotalLabel());
    EXPECT_EQ(L"1", pane.NumberLabel());
    EXPECT_FALSE(Enabled(pane.NextButton()));
    pane.AddMessage(L"second", -1);
    pane.AddMessage(L"third", -1);
    EXPECT_EQ(L"3", pane.TotalLabel());
    EXPECT_EQ(L"1", pane.NumberLabel());
    EXPECT_EQ(L"Всего на диске Снимков: 4", pane.CurrentText());
    EXPECT_EQ(static_cast<int>(wcslen(L"Всего на диске Снимков: 4")), pane.Panel().GetLength());
    EXPECT_FALSE(Enabled(pane.PreviousButton()));
    EXPECT_TRUE(Enabled(pane.NextButton()));

    Press(pane.NextButton());
    EXPECT_EQ(L"2", pane.NumberLabel());
    EXPECT_EQ(L"second", pane.CurrentText());
    EXPECT_TRUE(Enabled(pane.PreviousButton()));
    Press(pane.NextButton());
    EXPECT_EQ(L"3", pane.NumberLabel());
    EXPECT_EQ(L"third", pane.CurrentText());
    EXPECT_FALSE(Enabled(pane.NextButton()));

    // A new message at the end enables "next" again, without moving.
    pane.AddMessage(L"fourth", -1);
    EXPECT_EQ(L"4", pane.TotalLabel());
    EXPECT_EQ(L"3", pane.NumberLabel());
    EXPECT_TRUE(Enabled(pane.NextButton()));

    Press(pane.PreviousButton());
    Press(pane.PreviousButton());
    EXPECT_EQ(L"1", pane.NumberLabel());
    EXPECT_EQ(L"Всего на диске Снимков: 4", pane.CurrentText());
    EXPECT_FALSE(Enabled(pane.PreviousButton()));
}

TEST_F(MessagePane, ClearShowsNoughtsAndGreysBothButtons)
{
    pane.AddMessage(L"a", -1);
    pane.AddMessage(L"b", -1);
    Press(pane.NextButton());
    ASSERT_TRUE(Enabled(pane.PreviousButton()));
    Press(pane.ClearButton());
    EXPECT_EQ(L"0", pane.TotalLabel());
    EXPECT_EQ(L"0", pane.NumberLabel());
    EXPECT_EQ(L"", pane.CurrentText());
    EXPECT_EQ(0, pane.Panel().GetLength());
    EXPECT_FALSE(Enabled(pane.PreviousButton()));
    EXPECT_FALSE(Enabled(pane.NextButton()));
    pane.AddMessage(L"c", -1);
    EXPECT_EQ(L"1", pane.NumberLabel());
    EXPECT_EQ(L"c", pane.CurrentText());
}

TEST_F(MessagePane, TheCountersStandLeftOfTheButtonsAndThePanelBelowThem)
{
    pane.AddMessage(L"a long message that wraps over several lines of the pane's text panel", -1);
    RECT previous, next, clear, paneRect;
    GetWindowRect(pane.NextButton().GetHwnd(), &next);
    GetWindowRect(pane.PreviousButton().GetHwnd(), &previous);
    GetWindowRect(pane.ClearButton().GetHwnd(), &clear);
    GetWindowRect(pane.GetHwnd(), &paneRect);
    EXPECT_LE(previous.right, next.left);
    EXPECT_EQ(previous.top, next.top);
    EXPECT_LE(next.bottom, clear.top);
    EXPECT_LE(clear.right, paneRect.right);
    EXPECT_LE(clear.bottom, paneRect.bottom);
    EXPECT_GT(previous.left, paneRect.left + 100);   // the counters come first
}

// ---- inside the window ---------------------------------------------------------------------------

using WindowPane = SyncWindowTest;

TEST_F(WindowPane, TheWorkersMessagesReachThePaneAndTheTableErrorsToo)
{
    MakeDemoImages(3);
    OpenWindow();
    Choose(false);
    ASSERT_TRUE(Push(ScanDbWindow::kScan));
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(1u, W().Pane().Total());
    EXPECT_EQ(L"Всего на диске Снимков: 3", W().Pane().CurrentText());
    // Snimok_dif without its flag columns: filling it fails, and the
    // provider's text is the pane's second message.
    Exec(L"CREATE TABLE Snimok_dif ([File name] nchar(21) NOT NULL, [Disk] bit NOT NULL);");
    ASSERT_TRUE(Push(ScanDbWindow::kCreateTables));
    EXPECT_EQ(L"Ошибка создания TC", Status());
    EXPECT_EQ(2u, W().Pane().Total());
    EXPECT_EQ(L"2", W().Pane().TotalLabel());
    EXPECT_EQ(L"1", W().Pane().NumberLabel());
}

}  // namespace
}  // namespace extest
