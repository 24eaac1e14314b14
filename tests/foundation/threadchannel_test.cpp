#include "foundation/threadchannel.h"

#include "test_thread.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr DWORD kStop = 0;

// The worker's usual loop: block for a command, answer it, end on kStop.
void ServeUntilStop(DThreadChannel& channel, std::vector<DThreadChannel::Request>* seen)
{
    for (;;) {
        DThreadChannel::Request request = {};
        if (channel.Receive(&request, INFINITE) != 0)
            return;
        if (seen)
            seen->push_back(request);
        channel.Reply(request.command * 100 + request.argument);
        if (request.command == kStop)
            return;
    }
}

TEST(ThreadChannel, CreateAndCloseOnlyOnce)
{
    DThreadChannel channel;
    EXPECT_FALSE(channel.Close());
    ASSERT_TRUE(channel.Create());
    EXPECT_FALSE(channel.Create());
    // The existing handles were kept: the channel still works.
    EXPECT_EQ(0u, channel.Post(1, 2, 0));
    DThreadChannel::Request request = {};
    EXPECT_EQ(0u, channel.Receive(&request, 0));
    EXPECT_EQ(1u, request.command);
    EXPECT_TRUE(channel.Close());
    EXPECT_FALSE(channel.Close());
    ASSERT_TRUE(channel.Create());
}

TEST(ThreadChannel, RequestsAndRepliesBetweenTwoThreads)
{
    DThreadChannel channel;
    ASSERT_TRUE(channel.Create());
    std::vector<DThreadChannel::Request> seen;
    DWORD workerThread = 0;
    Thread worker([&] {
        workerThread = GetCurrentThreadId();
        ServeUntilStop(channel, &seen);
    });
    ASSERT_TRUE(worker.Started());
    for (DWORD i = 1; i <= 20; ++i) {
        ASSERT_EQ(0u, channel.Post(i, i + 1, 2000));
        DWORD reply = 0;
        ASSERT_EQ(0u, channel.WaitReply(&reply, 2000));
        EXPECT_EQ(i * 100 + i + 1, reply);
    }
    DWORD reply = 0;
    EXPECT_EQ(0u, channel.Send(kStop, 7, &reply));
    EXPECT_EQ(7u, reply);
    ASSERT_TRUE(worker.Join());
    EXPECT_NE(GetCurrentThreadId(), workerThread);
    ASSERT_EQ(21u, seen.size());
    EXPECT_EQ(5u, seen[4].command);
    EXPECT_EQ(6u, seen[4].argument);
}

TEST(ThreadChannel, WaitReplyWithNothingPostedReturnsAtOnce)
{
    DThreadChannel channel;
    ASSERT_TRUE(channel.Create());
    DWORD reply = 12345;
    DWORD start = GetTickCount();
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), channel.WaitReply(&reply, INFINITE));
    EXPECT_LT(GetTickCount() - start, 500u);
    EXPECT_EQ(12345u, reply);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), channel.WaitReplied(INFINITE));
}

TEST(ThreadChannel, ClientTimesOutWhileTheWorkerIsBusy)
{
    DThreadChannel channel;
    ASSERT_TRUE(channel.Create());
    Event answerNow;
    Thread worker([&] {
        DThreadChannel::Request request = {};
        if (channel.Receive(&request, 2000) != 0)
            return;
        answerNow.Wait(2000);
        channel.Reply(request.argument + 1);
    });
    ASSERT_EQ(0u, channel.Post(3, 41, 1000));
    DWORD reply = 0;
    DWORD start = GetTickCount();
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), channel.WaitReply(&reply, 50));
    EXPECT_GE(GetTickCount() - start, 40u);
    EXPECT_EQ(0u, reply);
    answerNow.Set();
    EXPECT_EQ(0u, channel.WaitReply(&reply, 2000));
    EXPECT_EQ(42u, reply);
    ASSERT_TRUE(worker.Join());
}

TEST(ThreadChannel, WorkerTimesOutWhenNothingIsPosted)
{
    DThreadChannel channel;
    ASSERT_TRUE(channel.Create());
    DWORD waited = 0, result = 0;
    Thread worker([&] {
        DThreadChannel::Request request = {};
        DWORD start = GetTickCount();
        result = channel.Receive(&request, 60);
        waited = GetTickCount() - start;
    });
    ASSERT_TRUE(worker.Join());
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), result);
    EXPECT_GE(waited, 50u);
}

TEST(ThreadChannel, SecondPostBeforeTheReplyTimesOutAndKeepsTheFirst)
{
    DThreadChannel channel;
    ASSERT_TRUE(channel.Create());
    ASSERT_EQ(0u, channel.Post(1, 10, 0));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), channel.Post(2, 20, 30));

    DThreadChannel::Request request = {};
    Thread worker([&] {
        if (channel.Receive(&request, 1000) == 0)
            channel.Reply(5);
    });
    ASSERT_TRUE(worker.Join());
    EXPECT_EQ(1u, request.command);
    EXPECT_EQ(10u, request.argument);
    // Still no room until the reply is collected.
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), channel.Post(3, 30, 0));
    DWORD reply = 0;
    EXPECT_EQ(0u, channel.WaitReply(&reply, 0));
    EXPECT_EQ(5u, reply);
    EXPECT_EQ(0u, channel.Post(3, 30, 0));
}

TEST(ThreadChannel, PostBlocksUntilTheWorkerAnswersAndTheClientCollects)
{
    DThreadChannel channel;
    ASSERT_TRUE(channel.Create());
    ASSERT_EQ(0u, channel.Post(1, 0, 0));
    DWORD secondPost = 1;
    Event posting;
    Thread poster([&] {
        posting.Set();
        secondPost = channel.Post(2, 0, 3000);
    });
    // This thread plays the worker here; the second post waits for the slot.
    DThreadChannel::Request request = {};
    ASSERT_EQ(0u, channel.Receive(&request, 0));
    ASSERT_EQ(0u, channel.Reply(9));
    ASSERT_TRUE(posting.Wait());
    EXPECT_FALSE(poster.Join(30)) << "answered but not collected: the slot is not free yet";
    DWORD reply = 0;
    ASSERT_EQ(0u, channel.WaitReply(&reply, 0));
    ASSERT_TRUE(poster.Join());
    EXPECT_EQ(0u, secondPost);
    ASSERT_EQ(0u, channel.Receive(&request, 0));
    EXPECT_EQ(2u, request.command);
}

TEST(ThreadChannel, EmptyReceiveChangesNothing)
{
    DThreadChannel channel;
    ASSERT_TRUE(channel.Create());
    DThreadChannel::Request request = {77, 88};
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), channel.Receive(&request, 0));
    EXPECT_EQ(77u, request.command);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), channel.WaitPosted(0));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), channel.WaitReplied(0));
    // Still Empty: a post goes straight in and is taken once.
    EXPECT_EQ(0u, channel.Post(4, 5, 0));
    EXPECT_EQ(0u, channel.WaitPosted(0));
    EXPECT_EQ(0u, channel.Receive(&request, 0));
    EXPECT_EQ(4u, request.command);
    EXPECT_EQ(5u, request.argument);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), channel.Receive(&request, 0));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), channel.WaitPosted(0));
}

TEST(ThreadChannel, ReplyWithNothingPostedIsRefused)
{
    DThreadChannel channel;
    ASSERT_TRUE(channel.Create());
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), channel.Reply(99));
    ASSERT_EQ(0u, channel.Post(1, 0, 0));
    // The refused answer did not mark the new request as answered.
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), channel.WaitReplied(0));
    DWORD reply = 1;
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), channel.WaitReply(&reply, 0));
    EXPECT_EQ(1u, reply);
    DThreadChannel::Request request = {};
    ASSERT_EQ(0u, channel.Receive(&request, 0));
    ASSERT_EQ(0u, channel.Reply(3));
    EXPECT_EQ(0u, channel.WaitReplied(0));
    EXPECT_EQ(0u, channel.WaitReply(&reply, 0));
    EXPECT_EQ(3u, reply);
}

TEST(ThreadChannel, PollingWorkerAnswersBetweenUnitsOfWork)
{
    DThreadChannel channel;
    ASSERT_TRUE(channel.Create());
    Event started;
    LONG units = 0;
    DWORD polls = 0;
    Thread worker([&] {
        started.Set();
        for (;;) {
            InterlockedIncrement(&units);  // one unit of work
            DThreadChannel::Request request = {};
            ++polls;
            DWORD result = channel.ReceiveAndAck(&request, static_cast<DWORD>(units), 0);
            if (result == 0 && request.command == kStop)
                return;
            if (result != 0 && result != WAIT_TIMEOUT)
                return;
            Sleep(1);
        }
    });
    ASSERT_TRUE(started.Wait(2000));
    // The worker has polled between units before the stop comes.
    for (DWORD start = GetTickCount(); InterlockedCompareExchange(&units, 0, 0) < 2;) {
        ASSERT_LT(GetTickCount() - start, 10000u) << "the worker did not get to its second unit";
        Sleep(1);
    }
    ASSERT_EQ(0u, channel.Post(kStop, 0, 1000));
    DWORD reply = 0;
    ASSERT_EQ(0u, channel.WaitReply(&reply, 2000));
    ASSERT_TRUE(worker.Join());
    EXPECT_GT(polls, 1u);
    EXPECT_GE(reply, 1u);
    EXPECT_EQ(static_cast<DWORD>(units), reply);
}

// A worker that polls with time-out 0 once it sees a request posted takes
// it at that poll: a posted request is never behind the poster's hold on
// the slot, or a worker that polls for the last time then would miss a stop.
TEST(ThreadChannel, APostSeenByTheWorkerIsTakenByItsNextPoll)
{
    DThreadChannel channel;
    ASSERT_TRUE(channel.Create());
    const DWORD kPosts = 500;
    DWORD missed = 0;
    Thread worker([&] {
        for (DWORD i = 0; i < kPosts; ++i) {
            DThreadChannel::Request request = {};
            if (channel.WaitPosted(10000) != 0)
                return;
            if (channel.Receive(&request, 0) != 0) {
                ++missed;
                if (channel.Receive(&request, 10000) != 0)
                    return;
            }
            channel.Reply(request.command);
        }
    });
    ASSERT_TRUE(worker.Started());
    for (DWORD i = 0; i < kPosts; ++i) {
        ASSERT_EQ(0u, channel.Post(i, 0, 10000));
        DWORD reply = kPosts;
        ASSERT_EQ(0u, channel.WaitReply(&reply, 10000));
        ASSERT_EQ(i, reply);
    }
    ASSERT_TRUE(worker.Join());
    EXPECT_EQ(0u, missed);
}

TEST(ThreadChannel, ClosedChannelAcceptsNothing)
{
    DThreadChannel channel;
    ASSERT_TRUE(channel.Create());
    channel.SetClosed();
    EXPECT_TRUE(channel.IsClosed());
    EXPECT_EQ(0u, channel.Post(1, 2, INFINITE));
    DThreadChannel::Request request = {};
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), channel.Receive(&request, 0));
    DWORD reply = 0;
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), channel.WaitReply(&reply, 0));
    EXPECT_EQ(static_cast<DWORD>(WAIT_FAILED), channel.Send(1, 2, &reply));
    channel.SetOpen();
    EXPECT_FALSE(channel.IsClosed());
    EXPECT_EQ(0u, channel.Post(1, 2, 0));
    // Create clears the mark.
    channel.SetClosed();
    channel.Close();
    ASSERT_TRUE(channel.Create());
    EXPECT_FALSE(channel.IsClosed());
}

TEST(ThreadChannel, PostAfterClosingReachesNoWorker)
{
    // The owner marks the channel closed while the worker runs: later posts
    // go nowhere, and the worker ends when its wait for commands times out.
    DThreadChannel channel;
    ASSERT_TRUE(channel.Create());
    DWORD received = 0;
    Thread worker([&] {
        DThreadChannel::Request request = {};
        while (channel.Receive(&request, 100) == 0) {
            ++received;
            channel.Reply(0);
        }
    });
    DWORD reply;
    ASSERT_EQ(0u, channel.Send(1, 0, &reply));
    channel.SetClosed();
    EXPECT_EQ(0u, channel.Post(2, 0, 0));
    ASSERT_TRUE(worker.Join());
    EXPECT_EQ(1u, received);
}

TEST(ThreadChannel, UncreatedChannelFailsInsteadOfWaiting)
{
    DThreadChannel channel;
    DThreadChannel::Request request = {};
    DWORD reply = 0;
    EXPECT_EQ(static_cast<DWORD>(WAIT_FAILED), channel.Post(1, 2, INFINITE));
    EXPECT_EQ(static_cast<DWORD>(WAIT_FAILED), channel.Receive(&request, INFINITE));
    EXPECT_EQ(static_cast<DWORD>(WAIT_FAILED), channel.WaitReply(&reply, INFINITE));
    EXPECT_EQ(static_cast<DWORD>(WAIT_FAILED), channel.Reply(1));
}

}  // namespace
