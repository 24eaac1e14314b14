// The merge killed half-way, as a power cut or the task manager ends it: in a
// child process at each step of an image that leaves something behind, and
// at random moments. After every kill both databases are sound, no image is
// here twice, every image the other site marks is here; the next run then
// completes, with every image once, no file left over and no save's note.
#include "exchange_fixture.h"
#include "kill_steps.h"
#include "merge_fixture.h"

#include "common/child_jobs.h"
#include "common/settings_root.h"
#include "common/site_checks.h"
#include "common/test_files.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "exchange/merge/importengine.h"
#include "foundation/globals.h"
#include "tools/demosite/sitedatabase.h"

#include <objbase.h>

#include <set>

using namespace mergetest;

namespace {

// The merge of the fixture's two sites, run to its end in a child: its
// arguments are the settings key, the local database and data folder, and the
// death (kill_steps.h). The exit code is the merge's state, 3 when it failed.
int MergeJob(const std::vector<std::wstring>& args)
{
    if (args.size() < 5 || FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return 90;
    SettingsRootScope root(HKEY_CURRENT_USER, args[0].c_str());
    std::wstring error;
    if (!OpenSiteDatabase(args[1], error))
        return 91;
    testfix::UseDataFolders(args[2]);
    SpaceMin = 0;
    SpaceArjStart = 0;
    killsteps::Install(args, 3);
    RecordingLink link;
    int state = 3;
    {
        ImportDBCls engine(nullptr, &link);
        try {
            engine.Init();
            engine.Connect();
            engine.StartUnion();
            state = engine.GetState();
        } catch (...) {
            state = 3;
        }
    }
    CloseSiteDatabase();
    return state;
}

TF_CHILD_JOB(MergeTwoSites, MergeJob);

class MergeKill : public MergeSites {
protected:
    std::vector<std::wstring> JobArgs(const killsteps::Death& death)
    {
        std::vector<std::wstring> args = {settings->Path(), localPath_ + L"local.db", localPath_};
        for (const std::wstring& arg : killsteps::Arguments(death))
            args.push_back(arg);
        return args;
    }

    // What any kill may leave: both databases sound, the rows and files
    // agreeing, no image here twice, and every image marked there here.
    void ExpectNothingLostNothingTwice()
    {
        testfix::ExpectSiteConsistent(localPath_ + L"Image\\", false);
        const HRESULT hr = other.Session()->ExecSql(L"DBCC CHECKDB", nullptr, nullptr, nullptr, nullptr);
        EXPECT_TRUE(SUCCEEDED(hr)) << "the other database is sound";
        std::set<uint64_t> pictures;
        for (const std::wstring& name : testfix::RowsSql(L"SELECT [File name] FROM Snimok WHERE [Disk]=1;"))
            EXPECT_TRUE(pictures.insert(PixelHash(LocalImage(name))).second) << "an image twice: " << Narrow(name);
        std::set<std::wstring> here;
        for (const std::wstring& guid : testfix::RowsSql(L"SELECT Guid FROM MergeSnimok;"))
            here.insert(guid);
        BoundStatement marked(other.Session(),
                              L"SELECT g.Guid FROM Snimok s JOIN MergeSnimok g ON g.Snimok=s.Snimok WHERE s.imported=1;");
        marked.Execute();
        while (marked.Next()) {
            wchar_t guid[64] = {};
            RowText(marked.Row(), 0, guid, 64);
            EXPECT_TRUE(here.count(guid)) << "an image marked there is not here";
        }
    }

    // After a run to the end: every image once, nothing left over.
    void ExpectMergedWhole()
    {
        EXPECT_EQ(kSourceImages, CheckConsistent());
        EXPECT_EQ(kSourceImages, other.Number(L"SELECT COUNT(*) FROM Snimok WHERE imported=1;"));
        EXPECT_TRUE(exchtest::FilesIn(localPath_ + L"Image\\Saving\\", L"*.new").empty()) << "a save's note is left";
        EXPECT_TRUE(exchtest::FilesIn(localPath_ + L"Icon\\", L"*.tmp").empty());
        EXPECT_EQ(LocalFiles(L"Image").size(), LocalFiles(L"Icon").size()) << "each image its thumbnail";
        testfix::ExpectSiteConsistent(localPath_ + L"Image\\", true);
    }
};

struct StepDeath {
    const char* name;
    killsteps::Kind kind;
    int step;
    int occurrence;
};

// Each a moment of the second image (the first one's patient is found by
// then) at which the kill leaves something: a row and a note without a file,
// half a file, the file without the thumbnail, everything but the commit, a
// committed image whose save's note and mark are missing, a committed image
// whose mark is missing.
const StepDeath kStepDeaths[] = {
    {"BeforeTheImageFile", killsteps::Kind::Save, (int)SaveStep::CreateImageFile, 2},
    {"InsideTheImageFile", killsteps::Kind::Save, (int)SaveStep::WriteImageFile, 7},
    {"BeforeTheThumbnail", killsteps::Kind::Merge, (int)MergeStep::Thumbnail, 2},
    {"BeforeTheCommit", killsteps::Kind::Merge, (int)MergeStep::Commit, 2},
    {"AfterTheCommit", killsteps::Kind::Merge, (int)MergeStep::AfterCommit, 2},
    {"BeforeTheMark", killsteps::Kind::Merge, (int)MergeStep::MarkSource, 2},
};

class MergeKillAtStep : public MergeKill, public ::testing::WithParamInterface<StepDeath> {
};

TEST_P(MergeKillAtStep, TheNextRunCompletesWithEveryImageOnce)
{
    const StepDeath& d = GetParam();
    killsteps::Death death;
    death.kind = d.kind;
    death.step = d.step;
    death.occurrence = d.occurrence;
    harness::ChildProcess child;
    ASSERT_TRUE(child.Start(L"MergeTwoSites", JobArgs(death)));
    ASSERT_EQ((DWORD)harness::ChildProcess::kKilledExitCode, child.Wait(60000)) << "the merge dies at its step";
    ExpectNothingLostNothingTwice();
    const long before = Number(L"SELECT COUNT(*) FROM Snimok;");
    EXPECT_GE(before, 1);

    RecordingLink link;
    std::wstring error;
    ASSERT_EQ(ImportDBCls::kRunning, RunMerge(link, &error)) << Narrow(error);
    EXPECT_EQ((DWORD)(kSourceImages - before), link.Counter(1)) << "only what was not here yet is counted";
    ExpectMergedWhole();
}

INSTANTIATE_TEST_SUITE_P(Steps, MergeKillAtStep, ::testing::ValuesIn(kStepDeaths),
                         [](const ::testing::TestParamInfo<StepDeath>& info) { return info.param.name; });

TEST_F(MergeKill, AtRandomMomentsEveryImageOnce)
{
    killsteps::Death slow;
    slow.pauseMs = 15;   // about 0.2 s an image: the kills land inside the images
    const harness::KillLoopResult result = harness::RunKillLoop(
        L"MergeTwoSites", JobArgs(slow), 300, 2500, [this](int) { ExpectNothingLostNothingTwice(); });
    EXPECT_EQ((DWORD)ImportDBCls::kRunning, result.finalExitCode);
    EXPECT_GT(result.killed, 0);
    ExpectMergedWhole();
}

}  // namespace
