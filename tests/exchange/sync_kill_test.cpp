// The re-insertion killed at random moments (a power cut, the task manager):
// whatever moment the kill meets, the database is sound, no row says a file
// is on the hard disk that is not, every file to put back is either back
// with its patient or still waiting in Snimok_dif, no patient came back
// without its image, and the next run puts the rest back.
// TF_KILL_ROUNDS=20 ./test.sh -R SyncRestoreKill runs the long version.
#include "sync_fixture.h"

#include "common/child_jobs.h"
#include "common/site_checks.h"
#include "common/test_files.h"
#include "exchange/sync/syncsteps.h"
#include "exchange/sync/synctables.h"
#include "foundation/prompt.h"
#include "tools/demosite/sitedatabase.h"

#include <objbase.h>

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

DWORD gHoldMs = 0;

// The child: the synchronisation of the site in the folder args[0], on its
// main thread; each file's transaction is held args[1] ms, so that the job
// outlasts the kills and they land inside transactions as often as between.
int SynchroniseSite(const std::vector<std::wstring>& args)
{
    if (args.size() < 2)
        return 90;
    gHoldMs = static_cast<DWORD>(_wtoi(args[1].c_str()));
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    testfix::UseDataFolders(args[0]);
    std::wstring error;
    if (!OpenSiteDatabase(args[0] + L"demo.db", error))
        return 91;
    SetPromptHook(AnswerOk);
    SetSyncStepObserver([](SyncStep, void*) { Sleep(gHoldMs); }, nullptr);
    QuietProgress progress;
    SyncStartRecord start;
    start.progress = &progress;
    start.commands = kSyncDatabase;
    DWORD result = kSyncResultFailed;
    {
        SynchrThread worker(start);
        try {
            worker.Run();
            result = worker.Result();
        } catch (const DODBErrors& e) {
            fwprintf(stderr, L"%ls\n", DatabaseText(e).c_str());
        } catch (...) {
            fwprintf(stderr, L"the synchronisation failed\n");
        }
    }
    CloseSiteDatabase();
    return static_cast<int>(result);
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
    // Every round kills within [kMinMs, kMaxMs) of its start; the files are
    // held so long that the rounds, together, do not put them all back.
    const DWORD kMinMs = 250, kMaxMs = 1000;
    const DWORD hold = static_cast<DWORD>(harness::KillRounds()) * kMaxMs * 3 / 2 / kImages;
    const harness::KillLoopResult result =
        harness::RunKillLoop(L"SyncRestore", {data_->Path(), std::to_wstring(hold)}, kMinMs, kMaxMs, [&](int) {
            testfix::ExpectSiteConsistent(ImageFolder, false);
            EXPECT_EQ(kImages, Count(L"Snimok") + Count(L"Snimok_dif"));
            EXPECT_EQ(0, Count(L"Patient WHERE Patient NOT IN (SELECT Patient FROM Snimok)"));
        });
    EXPECT_GT(result.killed, 0);
    EXPECT_EQ(0u, result.finalExitCode);
    testfix::ExpectSiteConsistent(ImageFolder, true);
    EXPECT_EQ(kImages, Count(L"Snimok"));
    EXPECT_EQ(0, Count(L"Snimok_dif"));
}

}  // namespace
}  // namespace extest
