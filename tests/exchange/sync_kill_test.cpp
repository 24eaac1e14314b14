// The re-insertion killed at random moments (a power cut, the task manager):
// whatever moment the kill meets, the database is sound, no row says a file
// is on the hard disk that is not, every file to put back is either back
// with its patient or still waiting in Snimok_dif, no patient came back
// without its image, and the next run puts the rest back.
#include "sync_fixture.h"

#include "common/child_jobs.h"
#include "common/site_checks.h"
#include "exchange/sync/syncsteps.h"
#include "exchange/sync/synctables.h"
#include "foundation/prompt.h"
#include "tools/demosite/sitedatabase.h"

#include <cstdio>

namespace extest {
namespace {

// The channel of a worker that runs without a window: reports go nowhere,
// and no stop ever comes.
class QuietProgress : public ISyncProgress {
public:
    void SetText1(const wchar_t*, int) override {}
    void SetText3(const wchar_t*, int) override {}
    void SetText2(const wchar_t*, int) override {}
    void SetFlag010() override {}
    void SetFlag004() override {}
    void SetFlag020() override {}
    bool WaitCommand(DWORD) override { return false; }
    void DrainCommands() override {}
    HWND GetOwnerWindow() override { return nullptr; }
    void SetFlag040() override {}
    void SetFlag100() override {}
    void SetFlag080() override {}
    void NoOp() override {}
    void SetDiskRequest(DWORD, const wchar_t*, DWORD) override {}
    void BeginUserWait() override {}
    void EndUserWait() override {}
};

int AnswerOk(HWND, const wchar_t*, const wchar_t*, UINT)
{
    return IDOK;
}

// The child: the synchronisation of the site in the folder args[0], on its
// main thread.
int SynchroniseSite(const std::vector<std::wstring>& args)
{
    testfix::ChildSite site(L"", args.at(0) + L"demo.db", args.at(0));
    if (!site.Open())
        return 91;
    SetPromptHook(AnswerOk);
    SetSyncStepObserver([](SyncStep step, void*) { harness::AtStep(harness::kSyncSteps, (int)step); }, nullptr);
    QuietProgress progress;
    SyncStartRecord start;
    start.progress = &progress;
    start.commands = kSyncDatabase;
    SynchrThread worker(start);
    try {
        worker.Run();
        return static_cast<int>(worker.Result());
    } catch (const DODBErrors& e) {
        fwprintf(stderr, L"%ls\n", DatabaseText(e).c_str());
    } catch (...) {
        fwprintf(stderr, L"the synchronisation failed\n");
    }
    return static_cast<int>(kSyncResultFailed);
}
TF_CHILD_JOB(SyncRestore, SynchroniseSite);

class SyncRestoreKill : public SyncDbTest {};

TEST_F(SyncRestoreKill, KilledAnywhereTheReinsertionLeavesASoundSiteAndTheNextRunFinishes)
{
    const long kImages = 40;
    MakeDemoImages(kImages);
    Exec(L"DELETE FROM Snimok;");
    Exec(L"DELETE FROM Patient;");
    {
        TestSyncWindow window;
        ASSERT_EQ(kSyncResultDone, window.Run(kSyncScanHdd).result);
    }
    CreateSyncTables(g_DbSession);
    ASSERT_EQ(kImages, Count(L"Snimok_dif"));
    // Every round kills within [kMinMs, kMaxMs) of its start; each file's
    // transaction is held so long that the rounds, together, do not put them
    // all back, and the kills land inside transactions as often as between.
    const DWORD kMinMs = 250, kMaxMs = 1000;
    harness::RunKillJobs({{
        "re-insertion",
        L"SyncRestore",
        {data_->Path()},
        {},
        static_cast<DWORD>(harness::KillRounds()) * kMaxMs * 3 / 2 / kImages,
        kMinMs,
        kMaxMs,
        {},
        [&] {
            testfix::ExpectSiteConsistent(ImageFolder, false);
            EXPECT_EQ(kImages, Count(L"Snimok") + Count(L"Snimok_dif"));
            EXPECT_EQ(0, Count(L"Patient WHERE Patient NOT IN (SELECT Patient FROM Snimok)"));
        },
        [&](DWORD exitCode) {
            EXPECT_EQ(0u, exitCode);
            testfix::ExpectSiteConsistent(ImageFolder, true);
            EXPECT_EQ(kImages, Count(L"Snimok"));
            EXPECT_EQ(0, Count(L"Snimok_dif"));
        },
    }});
}

}  // namespace
}  // namespace extest
