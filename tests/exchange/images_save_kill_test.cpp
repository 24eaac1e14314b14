// Saving a new image killed half-way, the viewer's save and the import's: in a
// child process at each step of the save that leaves something behind, and
// at random moments. A killed save gives its key back, so the next save of
// the same patient builds the same file name: it must not fail ("File
// exists."), and what the killed save left must not stay behind.
#include "exchange_fixture.h"
#include "kill_steps.h"

#include "common/child_jobs.h"
#include "common/prompt_script.h"
#include "common/site_checks.h"
#include "common/test_files.h"
#include "database/dbstart.h"
#include "exchange/imagefiles/imageimport.h"
#include "foundation/globals.h"
#include "images/files/snimokdb.h"
#include "images/imagefiles_fixture.h"
#include "images/pixels/displaylut.h"
#include "images/viewer/viewerstore.h"
#include "tools/demosite/radiograph.h"
#include "tools/demosite/sitedatabase.h"

#include <objbase.h>

namespace {

// Saves `count` new images of patient 17 the way the program does: "viewer",
// a picture of the panel saved through the viewer's store; "import", an
// ".xmg" from outside read with its own patient, then saved the same way.
// Arguments: database file, data folder, way, count, the outside file, the
// death (kill_steps.h). Exit code 0 when every save succeeded.
int SaveJob(const std::vector<std::wstring>& args)
{
    if (args.size() < 7 || FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return 90;
    std::wstring error;
    if (!OpenSiteDatabase(args[0], error))
        return 91;
    testfix::UseDataFolders(args[1]);
    SpaceMin = 0;
    killsteps::Install(args, 5);
    const bool import = args[2] == L"import";
    const int count = _wtoi(args[3].c_str());
    std::vector<uint8_t> lut(65536);
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        DPicturePtr picture;
        if (import) {
            HANDLE file = CreateFileW(args[4].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                      nullptr);
            picture = ImportXmgFile(file, 0, 0);
            CloseHandle(file);
        } else {
            picture = MakeRadiograph(96, 80, 12, GetTickCount() + (unsigned)i, RadiographKind::Chest);
            if (picture.Get()) {
                picture->patient.SetPatientId(17);
                GetSystemTimeAsFileTime(&picture->imageDate);
            }
        }
        if (!picture.Get()) {
            ++failed;
            continue;
        }
        BuildDisplayLut(lut.data(), picture->displayOffset, picture->displayWidth, 0.0);
        if (!DefaultViewerStore().saveNewImage(picture.Get(), lut.data()))
            ++failed;
    }
    CloseSiteDatabase();
    return failed ? 1 : 0;
}

TF_CHILD_JOB(SaveNewImages, SaveJob);

class SaveKill : public imgtest::ImageDbTest {
protected:
    void SetUp() override
    {
        ImageDbTest::SetUp();
        SpaceMin = 0;
        Exec(L"INSERT INTO Patient (Patient, Name1, Name2, Name3, Pol) VALUES (17, 'Kuznetsov', 'Ivan', '', 1);");
        // The file the import reads: an image of patient 17, with his names.
        DPicturePtr picture = MakeRadiograph(96, 80, 12, 77, RadiographKind::Chest);
        ASSERT_TRUE(picture.Get());
        picture->patient.SetPatientId(17);
        GetSystemTimeAsFileTime(&picture->imageDate);
        ASSERT_TRUE(SaveSnimokTx(picture, nullptr));
        outside_ = folder->Path() + L"outside.xmg";
        ASSERT_TRUE(CopyFileW(folder->ImagePath(picture->fileName).c_str(), outside_.c_str(), FALSE));
    }

    std::vector<std::wstring> JobArgs(const wchar_t* way, int count, const killsteps::Death& death)
    {
        std::vector<std::wstring> args = {folder->Path() + L"test.db", folder->Path(), way, std::to_wstring(count),
                                          outside_};
        for (const std::wstring& arg : killsteps::Arguments(death))
            args.push_back(arg);
        return args;
    }

    // After a run to the end: rows and files agree, each image has its
    // thumbnail, nothing of a killed save is left.
    void ExpectNothingLeftOver()
    {
        testfix::ExpectSiteConsistent(folder->Path() + L"Image\\", true);
        const std::wstring image = folder->Path() + L"Image\\", icon = folder->Path() + L"Icon\\";
        EXPECT_TRUE(exchtest::FilesIn(image + L"Saving\\", L"*.new").empty()) << "a save's note is left";
        EXPECT_TRUE(exchtest::FilesIn(icon, L"*.tmp").empty());
        EXPECT_EQ(Count(L"Snimok") - 1, (long)exchtest::FilesIn(icon, L"*.thb").size())
            << "each saved image its thumbnail (the first was saved without)";
    }

    std::wstring outside_;
};

struct StepDeath {
    const char* name;
    const wchar_t* way;
    SaveStep step;
    int occurrence;
};

// Moments of the second save of a run of three: a row and a note without a
// file, half an image file, no thumbnail yet, half a thumbnail, everything
// but the commit, a committed image whose note is left.
const StepDeath kStepDeaths[] = {
    {"ViewerBeforeTheImageFile", L"viewer", SaveStep::CreateImageFile, 2},
    {"ViewerInsideTheImageFile", L"viewer", SaveStep::WriteImageFile, 7},
    {"ViewerBeforeTheThumbnail", L"viewer", SaveStep::CreateIconFile, 2},
    {"ViewerInsideTheThumbnail", L"viewer", SaveStep::WriteIconFile, 2},
    {"ViewerBeforeTheCommit", L"viewer", SaveStep::Commit, 2},
    {"ViewerAfterTheCommit", L"viewer", SaveStep::EndSave, 2},
    {"ImportInsideTheImageFile", L"import", SaveStep::WriteImageFile, 7},
    {"ImportBeforeTheCommit", L"import", SaveStep::Commit, 2},
    {"ImportAfterTheCommit", L"import", SaveStep::EndSave, 2},
};

class SaveKillAtStep : public SaveKill, public ::testing::WithParamInterface<StepDeath> {
};

TEST_P(SaveKillAtStep, TheNextSavesOfThePatientSucceedAndNothingIsLeft)
{
    const StepDeath& d = GetParam();
    killsteps::Death death;
    death.kind = killsteps::Kind::Save;
    death.step = (int)d.step;
    death.occurrence = d.occurrence;
    harness::ChildProcess child;
    ASSERT_TRUE(child.Start(L"SaveNewImages", JobArgs(d.way, 3, death)));
    ASSERT_EQ((DWORD)harness::ChildProcess::kKilledExitCode, child.Wait(60000)) << "the save dies at its step";
    testfix::ExpectSiteConsistent(folder->Path() + L"Image\\", false);
    const long committed = Count(L"Snimok");

    ASSERT_TRUE(child.Start(L"SaveNewImages", JobArgs(d.way, 3, killsteps::Death())));
    EXPECT_EQ(0u, child.Wait(60000)) << "every save of the next run succeeds";
    EXPECT_EQ(committed + 3, Count(L"Snimok"));
    ExpectNothingLeftOver();
}

INSTANTIATE_TEST_SUITE_P(Steps, SaveKillAtStep, ::testing::ValuesIn(kStepDeaths),
                         [](const ::testing::TestParamInfo<StepDeath>& info) { return info.param.name; });

TEST_F(SaveKill, AtRandomMomentsTheNextRunSucceedsAndNothingIsLeft)
{
    killsteps::Death slow;
    slow.pauseMs = 15;   // about 0.2 s a save: the kills land inside the saves
    for (const wchar_t* way : {L"viewer", L"import"}) {
        SCOPED_TRACE(testing::Message() << (way[0] == L'v' ? "viewer" : "import"));
        const harness::KillLoopResult result = harness::RunKillLoop(
            L"SaveNewImages", JobArgs(way, 6, slow), 300, 1800,
            [this](int) { testfix::ExpectSiteConsistent(folder->Path() + L"Image\\", false); });
        EXPECT_EQ(0u, result.finalExitCode);
        EXPECT_GT(result.killed, 0);
        ExpectNothingLeftOver();
    }
}

}  // namespace
