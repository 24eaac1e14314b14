// The worker link and the worker base: reports coalesced into one message,
// the answers of the window, the start handshake and stopping; the texts of
// the reports.
#include "archive_fixture.h"

#include "archive/workerbase.h"
#include "archive/workerlink.h"
#include "common/prompt_script.h"
#include "common/window_harness.h"
#include "database/dberrors.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace arjtest;

namespace {

// A worker routine driven by the test: it signals its start, runs the
// test's body on the link and finishes the job.
struct ScriptedWorker {
    std::function<void(WorkerLink&)> body;
    std::atomic<int> outcome{-100};   // what the body's PollAnswer gave or threw
};
ScriptedWorker* gScripted = nullptr;

DWORD WINAPI ScriptedRoutine(void* param)
{
    WorkerParams* params = static_cast<WorkerParams*>(param);
    WorkerLink* link = params->link;
    SetEvent(params->startEvent);
    if (gScripted && gScripted->body)
        gScripted->body(*link);
    link->JobFinished();
    return 7;
}

DWORD WINAPI DiesBeforeItStarts(void*)
{
    return 3;
}

class WorkerLinkTest : public ::testing::Test {
protected:
    void SetUp() override { gScripted = &script_; }
    void TearDown() override { gScripted = nullptr; }
    ScriptedWorker script_;
    WorkerHost host_;
};

}  // namespace

TEST_F(WorkerLinkTest, ManyReportsBeforeTheWindowReadsArriveAsOneMessageWithTheLatestValues)
{
    HANDLE reported = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    script_.body = [&](WorkerLink& link) {
        link.SetText(L"first", -1);
        link.SetText(L"second fault", 6);
        link.SetText2(L"do this", -1);
        link.SetMarkedCount(5);
        link.SetMarkedCount(4);
        link.SetCounts(10, 1);
        link.SetCounts(9, 2);
        link.SetAverageSize(1234);
        link.NotifyDiskSpace();
        link.NotifyDiskInfo();
        SetEvent(reported);
        WaitForSingleObject(go, 10000);
    };
    WorkerParams params;
    ASSERT_TRUE(host_.Start(ScriptedRoutine, params));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(reported, 10000));
    // Nothing was read yet: one message waits, the bits add up.
    host_.Link().Lock();
    EXPECT_TRUE(host_.Link().IsPosted());
    EXPECT_EQ(static_cast<DWORD>(kLinkText | kLinkText2 | kLinkMarkedCount | kLinkCounts | kLinkAverageSize |
                                 kLinkDiskSpace | kLinkDiskInfo),
              host_.Link().Changes());
    host_.Link().Unlock();
    ASSERT_TRUE(harness::PumpUntil([&] { return host_.Report().messages > 0; }));
    EXPECT_EQ(1, host_.Report().messages);
    ASSERT_EQ(1u, host_.Report().faults.size());
    EXPECT_EQ(L"second", host_.Report().faults[0]);
    EXPECT_EQ(L"do this", host_.Report().actions.at(0));
    EXPECT_EQ(4, host_.Report().marked);
    EXPECT_EQ(9, host_.Report().notArchived);
    EXPECT_EQ(2, host_.Report().copied);
    EXPECT_EQ(1234u, host_.Report().average);
    SetEvent(go);
    const WorkerReport report = host_.Finish();
    EXPECT_TRUE(report.ended);
    EXPECT_EQ(7u, report.exitCode);
    CloseHandle(reported);
    CloseHandle(go);
}

TEST_F(WorkerLinkTest, PollAnswerTimesOutWithZeroGivesContinueAndThrowsOnStop)
{
    std::atomic<int> timedOut{-1}, continued{-1}, stopped{-1};
    HANDLE polled = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    script_.body = [&](WorkerLink& link) {
        timedOut = link.PollAnswer(30);
        link.AskContinue();
        continued = link.PollAnswer(INFINITE);
        link.AskContinue();
        try {
            link.PollAnswer(INFINITE);
        } catch (int signal) {
            stopped = signal;
        }
        SetEvent(polled);
    };
    int asked = 0;
    host_.onAsk = [&](WorkerHost&, const WorkerReport&) { return ++asked == 1 ? kAnswerContinue : kAnswerStop; };
    WorkerParams params;
    ASSERT_TRUE(host_.Start(ScriptedRoutine, params));
    const WorkerReport report = host_.Finish();
    EXPECT_EQ(0, timedOut.load());
    EXPECT_EQ(1, continued.load());
    EXPECT_EQ(0, stopped.load()) << "Stop is thrown as the signal 0";
    EXPECT_EQ(2, report.asks);
    CloseHandle(polled);
}

TEST_F(WorkerLinkTest, AnyOtherAnswerThrowsMinusOne)
{
    std::atomic<int> thrown{100};
    HANDLE waiting = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    script_.body = [&](WorkerLink& link) {
        SetEvent(waiting);
        try {
            link.PollAnswer(INFINITE);
        } catch (int signal) {
            thrown = signal;
        }
    };
    WorkerParams params;
    ASSERT_TRUE(host_.Start(ScriptedRoutine, params));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(waiting, 10000));
    EXPECT_TRUE(host_.Link().SendAnswer(5, 5000, 5000));
    host_.Finish();
    EXPECT_EQ(-1, thrown.load());
    CloseHandle(waiting);
}

TEST_F(WorkerLinkTest, AfterTheJobFinishedAContinueIsDroppedNotLeftWaiting)
{
    script_.body = [](WorkerLink&) {};
    WorkerParams params;
    ASSERT_TRUE(host_.Start(ScriptedRoutine, params));
    ASSERT_TRUE(harness::PumpUntil([&] { return host_.Report().ended; }, 10000));
    const DWORD start = GetTickCount();
    EXPECT_FALSE(host_.Link().SendAnswer(kAnswerContinue, INFINITE, INFINITE));
    EXPECT_FALSE(host_.Link().SendStop()) << "the channel was closed by the worker";
    EXPECT_LT(GetTickCount() - start, 3000u);
    host_.Finish();
}

TEST_F(WorkerLinkTest, StartFailsAtOnceWhenTheWorkerEndsBeforeItSignals)
{
    WorkerParams params;
    const DWORD start = GetTickCount();
    EXPECT_FALSE(host_.Start(DiesBeforeItStarts, params));
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_FALSE(host_.Link().HasThread());
    // The link is free for the next job.
    script_.body = [](WorkerLink&) {};
    WorkerParams next;
    ASSERT_TRUE(host_.Start(ScriptedRoutine, next));
    EXPECT_TRUE(host_.Finish().ended);
}

TEST_F(WorkerLinkTest, SecondStartWhileOneRunsIsRefused)
{
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    script_.body = [&](WorkerLink&) { WaitForSingleObject(go, 10000); };
    WorkerParams params;
    ASSERT_TRUE(host_.Start(ScriptedRoutine, params));
    WorkerParams again;
    again.startEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(host_.Link().StartWorker(ScriptedRoutine, nullptr, host_.Hwnd(), &again));
    CloseHandle(again.startEvent);
    SetEvent(go);
    host_.Finish();
    CloseHandle(go);
}

TEST_F(WorkerLinkTest, StopOfAThreadThatEndsInTimeAsksNothing)
{
    PromptScript prompts;
    HANDLE stopping = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    script_.body = [&](WorkerLink&) {
        // Busy without a poll until the window waits for its end (the
        // window's thread answers a sent message only in that wait), then
        // it ends by itself.
        WaitForSingleObject(stopping, 30000);
        DWORD_PTR result = 0;
        SendMessageTimeoutW(host_.Hwnd(), WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
    };
    WorkerParams params;
    ASSERT_TRUE(host_.Start(ScriptedRoutine, params));
    SetEvent(stopping);
    EXPECT_EQ(7u, host_.Link().Stop());
    CloseHandle(stopping);
    EXPECT_EQ(0u, prompts.Count());
    EXPECT_EQ(0u, host_.Link().Stop()) << "no thread: 0";
    host_.Link().Reset();
}

TEST_F(WorkerLinkTest, StopAsksWhileTheThreadWaitsForTheUserAndTerminatesItOnNo)
{
    PromptScript prompts({IDYES, IDNO});
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    script_.body = [&](WorkerLink& link) {
        // A prompt of its own that nobody answers.
        UserWaitScope<WorkerLink> wait(&link);
        WaitForSingleObject(never, INFINITE);
    };
    WorkerParams params;
    ASSERT_TRUE(host_.Start(ScriptedRoutine, params));
    EXPECT_EQ(static_cast<DWORD>(-1), host_.Link().Stop());
    ASSERT_EQ(2u, prompts.Count());
    EXPECT_EQ(Str(IDS_WORKER_NOT_TERMINATING), prompts.Last().text);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_TASKMODAL), prompts.Last().flags & (MB_YESNO | MB_TASKMODAL));
    host_.Link().Reset();
    CloseHandle(never);
}

TEST_F(WorkerLinkTest, StopWaitsOnAfterNoForAWorkerBusyOutsideAWaitForTheUserUntilItsNextPoll)
{
    PromptScript prompts({IDNO});
    std::atomic<int> stopped{100};
    std::atomic<bool> waitedOn{false};
    script_.body = [&](WorkerLink& link) {
        // Busy with its work (a copy, a transaction) until the user has
        // given up and the window has looked at it since: after the No the
        // window's thread answers a sent message only in its wait for a
        // worker it may terminate, which it has looked at first.
        for (int i = 0; i < 1000 && prompts.Count() == 0; ++i)
            Sleep(20);
        DWORD_PTR result = 0;
        SendMessageTimeoutW(host_.Hwnd(), WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
        waitedOn = true;
        try {
            link.PollAnswer(0);
        } catch (int signal) {
            stopped = signal;
        }
    };
    WorkerParams params;
    ASSERT_TRUE(host_.Start(ScriptedRoutine, params));
    EXPECT_EQ(7u, host_.Link().Stop()) << "it ended by itself, not terminated";
    EXPECT_EQ(1u, prompts.Count());
    EXPECT_TRUE(waitedOn);
    EXPECT_EQ(0, stopped.load()) << "the stop reaches its next poll";
    host_.Link().Reset();
}

TEST_F(WorkerLinkTest, StopTakesAWorkerWaitingForAnAnswerOutWithoutAsking)
{
    PromptScript prompts;
    std::atomic<int> stopped{100};
    HANDLE waiting = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    script_.body = [&](WorkerLink& link) {
        SetEvent(waiting);
        try {
            link.PollAnswer(INFINITE);
        } catch (int signal) {
            stopped = signal;
        }
    };
    WorkerParams params;
    ASSERT_TRUE(host_.Start(ScriptedRoutine, params));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(waiting, 10000));
    EXPECT_EQ(7u, host_.Link().Stop());
    EXPECT_EQ(0u, prompts.Count());
    EXPECT_EQ(0, stopped.load());
    host_.Link().Reset();
    CloseHandle(waiting);
}

// ---- the worker base ---------------------------------------------------------------

TEST_F(WorkerLinkTest, ReportsPutTheirTextsInTheBoxesAndAskOrStop)
{
    std::atomic<int> fatal{0}, ask{0};
    script_.body = [&](WorkerLink& link) {
        WorkerBase base;
        base.SetLink(&link);
        fatal = base.ReportError(L"action", L"plain fault", kReportFatal, 0);
        for (int i = 0; i < 1000 && link.IsPosted(); ++i)
            Sleep(5);   // read apart from the next report
        ask = base.ReportError(L"", L"then", kReportAsk, ERROR_ACCESS_DENIED);
        try {
            link.PollAnswer(INFINITE);
        } catch (int) {
        }
    };
    WorkerParams params;
    ASSERT_TRUE(host_.Start(ScriptedRoutine, params));
    const WorkerReport report = host_.Finish();
    EXPECT_EQ(kStepFatal, fatal.load());
    EXPECT_EQ(kStepAsked, ask.load());
    EXPECT_TRUE(report.stopsWithError);
    EXPECT_EQ(1, report.asks);
    ASSERT_GE(report.faults.size(), 2u);
    EXPECT_EQ(L"plain fault", report.faults[0]) << "error 0 leaves the text unchanged";
    EXPECT_EQ(L"action", report.actions[0]);
    const std::wstring& coded = report.faults[1];
    EXPECT_EQ(0u, coded.find(WorkerBase::Win32ErrorText(ERROR_ACCESS_DENIED, L"").substr(0, 12))) << Narrow(coded);
    EXPECT_NE(std::wstring::npos, coded.find(L"(5)")) << Narrow(coded);
    EXPECT_NE(std::wstring::npos, coded.find(SystemErrorText(ERROR_ACCESS_DENIED))) << Narrow(coded);
    EXPECT_EQ(L"then", coded.substr(coded.size() - 4));
}

TEST_F(WorkerLinkTest, DatabaseErrorAlwaysLeavesMinusOneAndCanEndTheJob)
{
    std::atomic<int> result{0};
    script_.body = [&](WorkerLink& link) {
        WorkerBase base;
        base.SetLink(&link);
        base.SetResult(1);
        DODBSetError(E_FAIL, IDS_DB_CREATE_COMMAND, L"test");
        DODBErrors error(E_FAIL, TRUE);
        base.ReportDbError(error, true);
        result = base.GetResult();
    };
    WorkerParams params;
    ASSERT_TRUE(host_.Start(ScriptedRoutine, params));
    const WorkerReport report = host_.Finish();
    EXPECT_EQ(-1, result.load());
    EXPECT_TRUE(report.stopsWithError);
    ASSERT_FALSE(report.faults.empty());
    EXPECT_NE(std::wstring::npos, report.faults.back().find(Str(IDS_DB_CREATE_COMMAND))) << report.Texts();
    EXPECT_TRUE(report.actions.back().empty());
}

TEST(JobFlagsTest, SetTestAndCheckedDisk)
{
    JobFlags flags;
    EXPECT_EQ(0, flags.Test(0xFFFFFFFF));
    flags.Set(0x2 | 0x8);
    EXPECT_EQ(1, flags.Test(0x8));
    EXPECT_EQ(1, flags.Test(0x1 | 0x2));
    EXPECT_EQ(0, flags.Test(0x1 | 0x4));
    CheckedDisk disk;
    EXPECT_FALSE(disk.IsValid());
    disk.Set(0xABCD);
    EXPECT_TRUE(disk.IsValid());
    EXPECT_EQ(0xABCDu, disk.Serial());
}
