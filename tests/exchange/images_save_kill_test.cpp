// Saving new images killed half-way, the viewer's save and the import's: in a
// child process at each step of the save that leaves something behind, and
// at random moments. A killed save gives its key back, so the next save of
// the same patient builds the same file name: it must not fail ("File
// exists."), and what the killed save left must not stay behind.
#include "exchange_fixture.h"

#include "common/child_jobs.h"
#include "common/site_checks.h"
#include "exchange/imagefiles/imageimport.h"
#include "foundation/globals.h"
#include "images/files/savefaults.h"
#include "images/files/snimokdb.h"
#include "images/imagefiles_fixture.h"
#include "images/pixels/displaylut.h"
#include "images/viewer/viewerstore.h"
#include "tools/demosite/radiograph.h"

namespace {

const int kSaves = 6;

// Saves kSaves new images of patient 17 the way the program does: "viewer",
// a picture of the panel saved through the viewer's store; "import", an
// ".xmg" from outside read with its own patient, then saved the same way.
// Arguments: data folder, way, the outside file. Exit code 0 when every save
// succeeded.
int SaveJob(const std::vector<std::wstring>& args)
{
    testfix::ChildSite site(L"", args.at(0) + L"test.db", args.at(0));
    if (!site.Open())
        return 91;
    SpaceMin = 0;
    SetSaveStepObserver([](SaveStep step, void*) { harness::AtStep(harness::kSaveSteps, (int)step); }, nullptr);
    std::vector<uint8_t> lut(65536);
    int failed = 0;
    for (int i = 0; i < kSaves; ++i) {
        DPicturePtr picture;
        if (args.at(1) == L"import") {
            HANDLE file = CreateFileW(args.at(2).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
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
        if (picture.Get())
            BuildDisplayLut(lut.data(), picture->displayOffset, picture->displayWidth, 0.0);
        if (!picture.Get() || !DefaultViewerStore().saveNewImage(picture.Get(), lut.data()))
            ++failed;
    }
    return failed ? 1 : 0;
}

TF_CHILD_JOB(SaveNewImages, SaveJob);

class SaveKill : public imgtest::ImageDbTest {};

// The deaths are moments of the second save: a row and a note without a
// file, half an image file, no thumbnail yet, half a thumbnail, everything
// but the commit, a committed image whose note is left.
TEST_F(SaveKill, KilledAnywhereTheNextSavesOfThePatientSucceedAndNothingIsLeft)
{
    SpaceMin = 0;
    Exec(L"INSERT INTO Patient (Patient, Name1, Name2, Name3, Pol) VALUES (17, 'Kuznetsov', 'Ivan', '', 1);");
    // The file the import reads: an image of patient 17, with his names.
    DPicturePtr picture = MakeRadiograph(96, 80, 12, 77, RadiographKind::Chest);
    ASSERT_TRUE(picture.Get());
    picture->patient.SetPatientId(17);
    GetSystemTimeAsFileTime(&picture->imageDate);
    ASSERT_TRUE(SaveSnimokTx(picture, nullptr));
    const std::wstring outside = folder->Path() + L"outside.xmg";
    ASSERT_TRUE(CopyFileW(folder->ImagePath(picture->fileName).c_str(), outside.c_str(), FALSE));

    long committed = 0;
    const auto afterKill = [&] {
        testfix::ExpectSiteConsistent(folder->Path() + L"Image\\", false);
        committed = Count(L"Snimok");
    };
    const auto afterRun = [&](DWORD exitCode) {
        EXPECT_EQ(0u, exitCode) << "every save of the run succeeds";
        EXPECT_EQ(committed + kSaves, Count(L"Snimok"));
        testfix::ExpectSiteConsistent(folder->Path() + L"Image\\", true);
        EXPECT_TRUE(exchtest::FilesIn(folder->Path() + L"Image\\Saving\\", L"*.new").empty()) << "a note is left";
        EXPECT_TRUE(exchtest::FilesIn(folder->Path() + L"Icon\\", L"*.tmp").empty());
        EXPECT_EQ(Count(L"Snimok") - 1, (long)exchtest::FilesIn(folder->Path() + L"Icon\\", L"*.thb").size())
            << "each saved image its thumbnail (the first was saved without)";
        committed = Count(L"Snimok");
    };
    const auto at = [](SaveStep step, int occurrence) {
        return harness::Death{harness::kSaveSteps, (int)step, occurrence};
    };
    // About 0.2 s a save at random moments: the kills land inside the saves.
    harness::RunKillJobs({
        {"viewer",
         L"SaveNewImages",
         {folder->Path(), L"viewer", outside},
         {at(SaveStep::CreateImageFile, 2), at(SaveStep::WriteImageFile, 7), at(SaveStep::CreateIconFile, 2),
          at(SaveStep::WriteIconFile, 2), at(SaveStep::Commit, 2), at(SaveStep::EndSave, 2)},
         15, 300, 1800, {}, afterKill, afterRun},
        {"import",
         L"SaveNewImages",
         {folder->Path(), L"import", outside},
         {at(SaveStep::WriteImageFile, 7), at(SaveStep::Commit, 2), at(SaveStep::EndSave, 2)},
         15, 300, 1800, {}, afterKill, afterRun},
    });
}

}  // namespace
