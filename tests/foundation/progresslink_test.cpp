// The workers' progress link: one posted message for any number of reports,
// quiet reports carried by the next posted one, a failed post tried again,
// the window's lock honoured by a reporting thread, unbinding taking what is
// pending.
#include "foundation/progresslink.h"

#include "test_thread.h"

#include <gtest/gtest.h>

namespace {

const UINT kProgressMessage = WM_APP + 77;

// A message-only window that receives the link's posts, and its lock.
class LinkWindow {
public:
    LinkWindow()
    {
        hwnd_ = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        InitializeCriticalSection(&lock_);
        link_.Bind(hwnd_, &lock_, kProgressMessage);
    }
    ~LinkWindow()
    {
        link_.Unbind();
        DeleteCriticalSection(&lock_);
        DestroyWindow(hwnd_);
    }
    // The progress messages waiting in the queue, taken out.
    int TakeMessages()
    {
        int n = 0;
        MSG msg;
        while (PeekMessageW(&msg, hwnd_, kProgressMessage, kProgressMessage, PM_REMOVE))
            ++n;
        return n;
    }
    HWND Handle() const { return hwnd_; }
    CRITICAL_SECTION* Lock() { return &lock_; }
    DProgressLink& Link() { return link_; }

private:
    HWND hwnd_ = nullptr;
    CRITICAL_SECTION lock_;
    DProgressLink link_;
};

// A post that records its calls and fails the first `gFailures` of them.
int gPosts = 0;
int gFailures = 0;
BOOL WINAPI CountingPost(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ++gPosts;
    if (gFailures > 0) {
        --gFailures;
        return FALSE;
    }
    return PostMessageW(window, message, wParam, lParam);
}

class CountedPosts {
public:
    explicit CountedPosts(int failures)
    {
        gPosts = 0;
        gFailures = failures;
        previous_ = DProgressLink::SetPostFunction(CountingPost);
    }
    ~CountedPosts() { DProgressLink::SetPostFunction(previous_); }

private:
    DProgressLink::PostFunction previous_;
};

TEST(ProgressLink, ReportsBeforeTheWindowTakesThemTravelWithOneMessage)
{
    LinkWindow window;
    DProgressLink& link = window.Link();
    link.SetText(0, L"first", -1, 0x1);
    link.SetText(0, L"second", -1, 0x1);
    link.SetCount(2, 40, 0x2);
    link.Notify(0x80000000);
    EXPECT_TRUE(link.IsPosted());
    EXPECT_EQ(1, window.TakeMessages());
    EXPECT_EQ(0x80000003u, link.Changes());
    EXPECT_STREQ(L"second", link.Text(0)) << "the latest value";
    EXPECT_EQ(6, link.TextLength(0));
    EXPECT_EQ(40u, link.Count(2));

    link.TakeChanges();
    EXPECT_FALSE(link.IsPosted());
    EXPECT_EQ(0u, link.Changes());
    EXPECT_EQ(nullptr, link.Text(0)) << "a text is handed over once";
    EXPECT_EQ(0, link.TextLength(0));
    EXPECT_EQ(40u, link.Count(2)) << "the counters stay";

    link.Notify(0x4);
    EXPECT_EQ(1, window.TakeMessages()) << "the next report posts again";
}

TEST(ProgressLink, ATextIsCopiedToItsLengthAndANullClearsItsSlot)
{
    LinkWindow window;
    DProgressLink& link = window.Link();
    wchar_t source[] = L"abcdef";
    link.SetText(1, source, 3, 0x1);
    source[0] = L'x';
    EXPECT_STREQ(L"abc", link.Text(1)) << "a copy, cut to the length and terminated";
    EXPECT_EQ(3, link.TextLength(1));
    link.SetText(1, L"", -1, 0x1);
    EXPECT_STREQ(L"", link.Text(1));
    link.SetText(1, nullptr, 5, 0x1);
    EXPECT_EQ(nullptr, link.Text(1));
    EXPECT_EQ(0, link.TextLength(1));
    EXPECT_TRUE(link.Changed(0x1)) << "clearing is a report too";
}

TEST(ProgressLink, QuietReportsWaitForTheNextPostedOne)
{
    LinkWindow window;
    DProgressLink& link = window.Link();
    link.SetText(3, L"kept", -1, 0, false);
    link.Notify(0x200, false);
    link.Lock();
    link.PutCount(0, 7);
    link.Mark(0x10, false);
    link.Unlock();
    EXPECT_FALSE(link.IsPosted());
    EXPECT_EQ(0, window.TakeMessages());
    EXPECT_EQ(0x210u, link.Changes());

    link.Lock();
    link.PutText(0, L"a", -1);
    link.PutCount(1, 8);
    link.Mark(0x1);
    link.Unlock();
    EXPECT_EQ(1, window.TakeMessages());
    EXPECT_EQ(0x211u, link.Changes());
    EXPECT_STREQ(L"kept", link.Text(3));
    EXPECT_EQ(7u, link.Count(0));
    EXPECT_EQ(8u, link.Count(1));
}

TEST(ProgressLink, AFailedPostIsTriedAgainByTheNextReport)
{
    LinkWindow window;
    DProgressLink& link = window.Link();
    CountedPosts posts(1);
    link.Notify(0x1);
    EXPECT_FALSE(link.IsPosted());
    EXPECT_EQ(0, window.TakeMessages());
    link.Notify(0x2);
    EXPECT_TRUE(link.IsPosted());
    link.Notify(0x4);
    EXPECT_EQ(2, gPosts) << "nothing is posted while a message is pending";
    EXPECT_EQ(1, window.TakeMessages());
    EXPECT_EQ(0x7u, link.Changes()) << "the report whose post failed still travels";
}

TEST(ProgressLink, AnUnboundLinkStoresButPostsNothingAndUnbindingTakesWhatIsPending)
{
    CountedPosts posts(0);
    DProgressLink link;
    link.SetText(0, L"alone", -1, 0x1);
    EXPECT_EQ(0, gPosts);
    EXPECT_STREQ(L"alone", link.Text(0));
    EXPECT_EQ(nullptr, link.Window());

    LinkWindow window;
    window.Link().SetText(0, L"pending", -1, 0x1);
    ASSERT_EQ(1, gPosts);
    EXPECT_EQ(window.Handle(), window.Link().Window());
    window.Link().Unbind();
    EXPECT_EQ(nullptr, window.Link().Window());
    EXPECT_EQ(0u, window.Link().Changes());
    EXPECT_FALSE(window.Link().IsPosted());
    EXPECT_EQ(nullptr, window.Link().Text(0));
    window.Link().Notify(0x2);
    EXPECT_EQ(1, gPosts) << "unbound: nothing more is posted";
    window.TakeMessages();
}

TEST(ProgressLink, AReportWaitsWhileTheWindowHoldsTheLock)
{
    LinkWindow window;
    DProgressLink& link = window.Link();
    link.Lock();
    Event reporting;
    Thread worker([&] {
        reporting.Set();
        link.SetText(0, L"from the worker", -1, 0x1);
        link.SetCount(0, 5, 0x2);
    });
    ASSERT_TRUE(worker.Started());
    EXPECT_TRUE(reporting.Wait()) << "the worker came to its report";
    EXPECT_FALSE(worker.Join(200)) << "the worker waits for the window's lock";
    EXPECT_EQ(0u, link.Changes());
    link.Unlock();
    ASSERT_TRUE(worker.Join());
    link.Lock();
    EXPECT_EQ(0x3u, link.Changes());
    EXPECT_STREQ(L"from the worker", link.Text(0));
    EXPECT_EQ(5u, link.Count(0));
    link.Unlock();
    EXPECT_EQ(1, window.TakeMessages());
}

}  // namespace
