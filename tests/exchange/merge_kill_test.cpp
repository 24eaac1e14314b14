// The merge killed half-way, as a power cut or the task manager ends it: in a
// child process at each step of an image that leaves something behind, and
// at random moments. After every kill both databases are sound, no image is
// here twice, every image the other site marks is here; the next run then
// completes, counts only what was not here yet, and leaves every image once,
// no file left over and no save's note.
#include "exchange_fixture.h"
#include "merge_fixture.h"

#include "common/child_jobs.h"
#include "common/site_checks.h"
#include "exchange/merge/importengine.h"
#include "exchange/merge/mergefaults.h"
#include "foundation/globals.h"
#include "images/files/savefaults.h"

#include <set>

using namespace mergetest;

namespace {

// The merge of the fixture's two sites: its arguments are the settings key,
// the local database and data folder. The exit code is the number of images
// merged, or 1000 and the merge's state when it failed.
int MergeJob(const std::vector<std::wstring>& args)
{
    testfix::ChildSite site(args.at(0), args.at(1), args.at(2));
    if (!site.Open())
        return 991;
    SpaceMin = 0;
    SpaceArjStart = 0;
    SetMergeStepObserver([](MergeStep step, void*) { harness::AtStep(harness::kMergeSteps, (int)step); }, nullptr);
    SetSaveStepObserver([](SaveStep step, void*) { harness::AtStep(harness::kSaveSteps, (int)step); }, nullptr);
    RecordingLink link;
    const int state = RunMerge(link);
    return state == ImportDBCls::kRunning ? (int)link.Counter(1) : 1000 + state;
}

TF_CHILD_JOB(MergeTwoSites, MergeJob);

class MergeKill : public MergeSites {};

// Each death a moment of the second image (the first one's patient is found
// by then) at which the kill leaves something: a row and a note without a
// file, half a file, the file without the thumbnail, everything but the
// commit, a committed image whose save's note and mark are missing, a
// committed image whose mark is missing; and the last image committed with
// its save's note left, where the next run has no image left to save.
TEST_F(MergeKill, KilledAnywhereTheMergeLosesNothingAndTheNextRunTakesEveryImageOnce)
{
    long before = 0;
    harness::RunKillJobs({{
        "merge",
        L"MergeTwoSites",
        {settings->Path(), localPath_ + L"local.db", localPath_},
        {{harness::kSaveSteps, (int)SaveStep::CreateImageFile, 2},
         {harness::kSaveSteps, (int)SaveStep::WriteImageFile, 7},
         {harness::kMergeSteps, (int)MergeStep::Thumbnail, 2},
         {harness::kMergeSteps, (int)MergeStep::Commit, 2},
         {harness::kMergeSteps, (int)MergeStep::AfterCommit, 2},
         {harness::kMergeSteps, (int)MergeStep::MarkSource, 2},
         {harness::kSaveSteps, (int)SaveStep::EndSave, kSourceImages}},
        15,   // about 0.2 s an image: the kills land inside the images
        300,
        2500,
        {},
        [&] {
            testfix::ExpectSiteConsistent(localPath_ + L"Image\\", false);
            testfix::ExpectCheckDbClean(other.Session(), L"the other database");
            std::set<uint64_t> pictures;
            for (const std::wstring& name : testfix::RowsSql(L"SELECT [File name] FROM Snimok WHERE [Disk]=1;"))
                EXPECT_TRUE(pictures.insert(PixelHash(LocalImage(name))).second) << "an image twice: " << Narrow(name);
            ExpectMarkedHere();
            before = Number(L"SELECT COUNT(*) FROM Snimok;");
        },
        [&](DWORD merged) {
            EXPECT_EQ((DWORD)(kSourceImages - before), merged) << "only what was not here yet is counted";
            EXPECT_EQ(kSourceImages, CheckConsistent());
            EXPECT_EQ(kSourceImages, other.Number(L"SELECT COUNT(*) FROM Snimok WHERE imported=1;"));
            EXPECT_TRUE(exchtest::FilesIn(localPath_ + L"Image\\Saving\\", L"*.new").empty()) << "a note is left";
            EXPECT_TRUE(exchtest::FilesIn(localPath_ + L"Icon\\", L"*.tmp").empty());
            EXPECT_EQ(LocalFiles(L"Image").size(), LocalFiles(L"Icon").size()) << "each image its thumbnail";
            testfix::ExpectSiteConsistent(localPath_ + L"Image\\", true);
            UndoMerge();   // the next run merges all over again
            before = 0;
        },
    }});
}

}  // namespace
