// The merge worker and its progress link: one queued message for any number
// of changes, a lost post tried again, the start handshake, the commands and
// the worker's result (0 done, 1 stopped, 2 failed), its database errors
// shown in a box of its own.
#include "merge_fixture.h"

#include "common/dialog_look.h"
#include "common/prompt_script.h"
#include "exchange/merge/importlink.h"
#include "exchange/merge/importworker.h"
#include "exchange/merge/mergefaults.h"
#include "foundation/textutil.h"
#include "resources/strings.h"

#include <functional>

using namespace mergetest;

namespace {

// A message-only window that receives the link's posts.
class LinkWindow {
public:
    LinkWindow()
    {
        hwnd_ = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        InitializeCriticalSection(&lock_);
        link_.Setup(hwnd_, &lock_, WM_IMPORT_PROGRESS);
    }
    ~LinkWindow()
    {
        link_.Setup(nullptr, nullptr, 0);
        DeleteCriticalSection(&lock_);
        DestroyWindow(hwnd_);
    }
    // The progress messages waiting in the queue, taken out.
    int TakeMessages()
    {
        int n = 0;
        MSG msg;
        while (PeekMessageW(&msg, hwnd_, WM_IMPORT_PROGRESS, WM_IMPORT_PROGRESS, PM_REMOVE))
            ++n;
        return n;
    }
    ImportLink& Link() { return link_; }

private:
    HWND hwnd_ = nullptr;
    CRITICAL_SECTION lock_;
    ImportLink link_;
};

BOOL WINAPI LosePost(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

TEST(MergeLink, ChangesMadeBeforeTheWindowLooksTravelWithOneMessage)
{
    LinkWindow window;
    ImportLink& link = window.Link();
    link.SetText0(L"error", -1);
    link.SetText1(L"status", 6);
    link.SetText2(L"Иванов Иван", -1);
    link.SetText3(nullptr, 4);
    link.SetCount0(12);
    link.SetCount1(3);
    EXPECT_TRUE(link.IsPosted());
    EXPECT_EQ(1, window.TakeMessages()) << "one message for six changes";
    EXPECT_EQ(ImportLink::kText0 | ImportLink::kText1 | ImportLink::kText2 | ImportLink::kText3 |
                  ImportLink::kCount0 | ImportLink::kCount1,
              link.Changes());
    int length = -1;
    EXPECT_STREQ(L"status", link.Text(1, &length));
    EXPECT_EQ(6, length);
    EXPECT_STREQ(L"Иванов Иван", link.Text(2, nullptr));
    EXPECT_STREQ(L"", link.Text(3, &length)) << "a null text is empty";
    EXPECT_EQ(0, length);
    EXPECT_EQ(12u, link.Count(0));

    link.TakeChanges();
    EXPECT_FALSE(link.IsPosted());
    EXPECT_EQ(0u, link.Changes());
    EXPECT_STREQ(L"", link.Text(0, nullptr)) << "the texts were handed over";
    EXPECT_EQ(12u, link.Count(0)) << "the counters stay";

    link.SetFinished();
    EXPECT_EQ(1, window.TakeMessages()) << "the next change posts again";
    EXPECT_TRUE(link.Changed(ImportLink::kFinished));
}

TEST(MergeLink, APostThatFailedIsTriedAgainByTheNextChange)
{
    LinkWindow window;
    ImportLink& link = window.Link();
    ImportLink::PostFunction previous = ImportLink::SetPostFunction(LosePost);
    link.SetText0(L"lost", -1);
    EXPECT_FALSE(link.IsPosted());
    ImportLink::SetPostFunction(previous);
    EXPECT_EQ(0, window.TakeMessages());
    link.SetCount1(1);
    EXPECT_TRUE(link.IsPosted());
    EXPECT_EQ(1, window.TakeMessages());
    EXPECT_TRUE(link.Changed(ImportLink::kText0)) << "the earlier change is still there";
    EXPECT_TRUE(link.Changed(ImportLink::kCount1));
}

TEST(MergeLink, TheTransactionMarkIsSeenFromAnyThread)
{
    ImportLink link;
    EXPECT_FALSE(link.InTransaction());
    link.SetInTransaction(true);
    EXPECT_TRUE(link.InTransaction());
    link.SetInTransaction(false);
    EXPECT_FALSE(link.InTransaction());
}

class MergeWorkerTest : public MergeSites {
protected:
    void SetUp() override
    {
        MergeSites::SetUp();
        ASSERT_TRUE(channel.Create());
        channel.SetClosed();
    }
    void TearDown() override
    {
        if (thread) {
            channel.Post(kImportCommandStop, 0, 0);
            WaitForSingleObject(thread, 30000);
            CloseHandle(thread);
        }
        channel.Close();
        MergeSites::TearDown();
    }
    // Waits (bounded) until the worker has connected and waits for a command.
    bool WaitReady()
    {
        for (int i = 0; i < 3000; ++i) {
            if (link.Text(1) == L"Нажмите пуск для запуска обьединения")
                return true;
            if (link.Finished())
                return false;
            Sleep(10);
        }
        return false;
    }
    DWORD Finish()
    {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 30000));
        DWORD code = 0xDEAD;
        GetExitCodeThread(thread, &code);
        CloseHandle(thread);
        thread = nullptr;
        return code;
    }

    DThreadChannel channel;
    RecordingLink link;
    HANDLE thread = nullptr;
};

TEST_F(MergeWorkerTest, StartsOnlyOnceItRunsAndClosingBeforeStartEndsWithResultZero)
{
    thread = StartImportThread(&channel, &link);
    ASSERT_NE(nullptr, thread);
    EXPECT_FALSE(channel.IsClosed()) << "the worker opened the channel before the starter went on";
    ASSERT_TRUE(WaitReady());
    DWORD reply = 0;
    ASSERT_EQ(0u, channel.Send(kImportCommandStop, 0, &reply));
    EXPECT_EQ(1u, reply);
    EXPECT_EQ(kImportResultDone, Finish());
    EXPECT_TRUE(link.Finished());
    EXPECT_TRUE(channel.IsClosed());
    EXPECT_EQ(0, CheckConsistent());
}

TEST_F(MergeWorkerTest, TheWorkersTextsAreInItsStartersLanguage)
{
    // The merge's own refusals come from the string table in the language of
    // the window that started the worker, whatever the system's.
    for (const wchar_t* column : {L"Name1", L"Name2", L"Name3", L"Birthday"})
        settings->SetDword(std::wstring(L"ImportSettings\\Patient\\") + column, L"Req", 0);
    for (const LANGID language : {MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)}) {
        std::wstring expected;
        {
            harness::ThreadLanguage speaking(language);
            expected = LoadText(IDS_MERGE_NO_KEY_COLUMN);
            thread = StartImportThread(&channel, &link);
        }
        ASSERT_NE(nullptr, thread);
        EXPECT_EQ(kImportResultFailed, Finish());
        EXPECT_EQ(expected, link.Text(0));
        EXPECT_TRUE(harness::TextInLanguage(link.Text(0), language == MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)));
    }
}

TEST_F(MergeWorkerTest, StartMergesEverythingAndEndsWithResultZero)
{
    thread = StartImportThread(&channel, &link);
    ASSERT_TRUE(WaitReady());
    DWORD reply = 0;
    ASSERT_EQ(0u, channel.Send(12345, 0, &reply));
    EXPECT_EQ(0u, reply) << "not a command: answered 0, the worker waits on";
    ASSERT_EQ(0u, channel.Send(kImportCommandStart, 0, &reply));
    EXPECT_EQ(1u, reply);
    EXPECT_EQ(kImportResultDone, Finish());
    EXPECT_EQ((DWORD)kSourceImages, link.Counter(1));
    EXPECT_EQ(kSourceImages, CheckConsistent());
    EXPECT_TRUE(link.EverInTransaction());
}

struct StopInside {
    HANDLE inside;     // the worker is inside the second image's transaction
    HANDLE posted;     // the test has posted the stop
};

TEST_F(MergeWorkerTest, AStopDuringTheMergeEndsTheLoopAfterTheCurrentImage)
{
    StopInside events = {CreateEventW(nullptr, TRUE, FALSE, nullptr), CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    static int ledgerRows;
    ledgerRows = 0;
    SetMergeStepObserver(
        [](MergeStep step, void* context) {
            StopInside* e = static_cast<StopInside*>(context);
            if (step == MergeStep::Ledger && ++ledgerRows == 2) {
                SetEvent(e->inside);
                WaitForSingleObject(e->posted, 10000);
            }
        },
        &events);
    thread = StartImportThread(&channel, &link);
    ASSERT_TRUE(WaitReady());
    DWORD reply = 0;
    ASSERT_EQ(0u, channel.Send(kImportCommandStart, 0, &reply));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(events.inside, 10000));
    ASSERT_EQ(0u, channel.Post(kImportCommandStop, 0, INFINITE));
    SetEvent(events.posted);
    ASSERT_EQ(0u, channel.WaitReply(&reply, 10000));
    EXPECT_EQ(1u, reply);
    EXPECT_EQ(kImportResultStopped, Finish());
    EXPECT_EQ(2u, link.Counter(1)) << "the image in hand was finished, no other begun";
    EXPECT_EQ(2, CheckConsistent());
    EXPECT_EQ(2, other.Number(L"SELECT COUNT(*) FROM Snimok WHERE imported=1;"));
    CloseHandle(events.inside);
    CloseHandle(events.posted);
}

TEST_F(MergeWorkerTest, AFailedConnectEndsWithResultTwoBeforeAnyCommand)
{
    DeleteFileW((OtherPath() + L"\\dbinit.cfg").c_str());
    thread = StartImportThread(&channel, &link);
    ASSERT_NE(nullptr, thread);
    EXPECT_EQ(kImportResultFailed, Finish());
    EXPECT_EQ(0u, link.Text(0).find(L"Ошибка функции GetRecSetSnimokE")) << Narrow(link.Text(0));
    EXPECT_TRUE(link.Finished());
    EXPECT_TRUE(channel.IsClosed());
    DWORD reply = 0;
    EXPECT_NE(0u, channel.Send(kImportCommandStart, 0, &reply)) << "nothing is posted to an ended worker";
}

TEST_F(MergeWorkerTest, ADatabaseErrorIsShownByTheWorkerAndEndsWithResultTwo)
{
    PromptScript prompts({IDOK});
    InjectMergeFailure(MergeStep::Ledger, E_FAIL, 1);
    thread = StartImportThread(&channel, &link);
    ASSERT_TRUE(WaitReady());
    DWORD reply = 0;
    ASSERT_EQ(0u, channel.Send(kImportCommandStart, 0, &reply));
    EXPECT_EQ(kImportResultFailed, Finish());
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(L"Err", prompts.Last().caption);
    EXPECT_EQ(nullptr, prompts.Last().owner);
    EXPECT_NE(std::wstring::npos, link.Text(0).find(L"ImportDBCls::InsertIdentity")) << Narrow(link.Text(0));
    EXPECT_EQ(prompts.Last().text, link.Text(0).substr(0, prompts.Last().text.size()));
    EXPECT_EQ(1, CheckConsistent());
}

}  // namespace
