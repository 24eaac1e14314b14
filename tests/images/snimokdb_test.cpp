// Image records: view settings read with their NULL defaults and written
// back, the patient read, and saving a new image in its own transaction,
// with a failure injected at each step leaving no row, no file and the
// picture as it was.
#include "images/files/snimokdb.h"

#include "common/dialog_look.h"
#include "common/prompt_script.h"
#include "database/dbstart.h"
#include "images/files/datafolders.h"
#include "images/pixels/displaylut.h"
#include "images/files/savefaults.h"
#include "images/files/xmgfile.h"
#include "imagefiles_fixture.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>

using namespace imgtest;

namespace {

const wchar_t kNewName[] = L"K00000000170000000305";

class SnimokDbTest : public ImageDbTest
{
protected:
    void SetUp() override
    {
        ImageDbTest::SetUp();
        // Patient 17; the next image key the database gives is 305.
        Exec(L"INSERT INTO Patient (Patient, Name1, Name2, Name3, Birthday, Pol) "
             L"VALUES (17, 'Kuznetsov', 'Ivan', 'Petrovich', NULL, 1);");
        Exec(L"INSERT INTO Snimok (Snimok, Patient) VALUES (304, 17);");
        BuildDisplayLut(lut.data(), 0, 4096, 0.0);
    }
    void TearDown() override
    {
        InjectSaveFailure(SaveStep::None, 0);
        ImageDbTest::TearDown();
    }

    // An imported picture of patient 17, not yet in the database.
    DPicturePtr Imported(int width = 300, int height = 200)
    {
        DPicturePtr p = PatternPicture(width, height, 12);
        p->patient.SetPatientId(17);
        p->displayOffset = -10;
        p->displayWidth = 900;
        p->negative = 1;
        p->viewCentreX = 120;
        p->viewCentreY = 80;
        p->scale = 2.0;
        p->orientation = 0;
        SYSTEMTIME day = {2020, 1, 3, 1, 10, 20, 30, 0};    // whole seconds: the database keeps them exactly
        SystemTimeToFileTime(&day, &p->imageDate);
        return p;
    }

    std::vector<uint8_t> lut = std::vector<uint8_t>(kLutSize);
};

// --- Names --------------------------------------------------------------------------

TEST(SnimokFileName, IsTheLetterAndTwoTenDigitNumbers)
{
    wchar_t name[32];
    FormatSnimokFileName(name, L'K', 17, 305);
    EXPECT_STREQ(kNewName, name);
    FormatSnimokFileName(name, L'Ж', 4294967295u, 1);
    EXPECT_STREQ(L"Ж42949672950000000001", name);
}

TEST(SnimokFileName, LetterThatCannotStartAFileNameBecomesAnUnderscore)
{
    wchar_t name[32];
    for (wchar_t letter : {L'\0', L'\t', L'\\', L'/', L':', L'*', L'?', L'"', L'<', L'>', L'|', (wchar_t)0xD801}) {
        FormatSnimokFileName(name, letter, 17, 305);
        EXPECT_STREQ(L"_00000000170000000305", name) << (int)letter;
        EXPECT_EQ(21u, wcslen(name));
    }
}

// --- Reading ------------------------------------------------------------------------

TEST_F(SnimokDbTest, NullViewSettingsGiveTheirDefaults)
{
    Exec(L"INSERT INTO Snimok (Snimok, Patient, Bri, Contrast, Negativ) VALUES (50, 17, 10, 300, 1);");
    DPicturePtr p = PatternPicture(1025, 33, 12);
    p->imageId = 50;
    p->scale = 7.0;
    p->orientation = 3;
    ASSERT_TRUE(ReadPictureViewSettings(p.Get()));
    EXPECT_EQ(17u, p->patient.GetPatientId());
    EXPECT_EQ(10, p->displayOffset);
    EXPECT_EQ(300, p->displayWidth);
    EXPECT_EQ(1, p->negative);
    EXPECT_EQ(512, p->viewCentreX);
    EXPECT_EQ(16, p->viewCentreY);
    EXPECT_DOUBLE_EQ(1.0, p->scale);
    EXPECT_EQ(0, p->orientation);
}

TEST_F(SnimokDbTest, StoredViewSettingsAreRead)
{
    Exec(L"INSERT INTO Snimok (Snimok, Patient, Bri, Contrast, Negativ, xWinCenter, yWinCenter, Scale, Orientation) "
         L"VALUES (51, 17, -5, 4000, 0, 7, 9, 2.5, 5);");
    DPicturePtr p = PatternPicture(100, 100, 12);
    p->imageId = 51;
    ASSERT_TRUE(ReadPictureViewSettings(p.Get()));
    EXPECT_EQ(-5, p->displayOffset);
    EXPECT_EQ(4000, p->displayWidth);
    EXPECT_EQ(7, p->viewCentreX);
    EXPECT_EQ(9, p->viewCentreY);
    EXPECT_DOUBLE_EQ(2.5, p->scale);
    EXPECT_EQ(5, p->orientation);
}

TEST_F(SnimokDbTest, MissingRowIsNotRead)
{
    DPicturePtr p = PatternPicture(10, 10, 12);
    p->imageId = 999;
    EXPECT_FALSE(ReadPictureViewSettings(p.Get()));
    EXPECT_FALSE(ReadPictureViewSettings(nullptr));
}

TEST_F(SnimokDbTest, PatientIsReadByItsId)
{
    Exec(L"INSERT INTO Patient (Patient, Name1, Name2, Name3, Pol) VALUES (18, 'Петрова', 'Анна', NULL, 0);");
    DPicturePtr p = PatternPicture(10, 10, 12);
    p->patient.SetPatientId(18);
    p->patient.SetSex(5);
    ASSERT_TRUE(ReadPatientForPicture(p.Get()));
    EXPECT_STREQ(L"Петрова", p->patient.GetName(0));
    EXPECT_STREQ(L"Анна", p->patient.GetName(1));
    EXPECT_STREQ(L"", p->patient.GetName(2));
    EXPECT_EQ(0u, p->patient.GetSex());
    p->patient.SetPatientId(19);
    EXPECT_FALSE(ReadPatientForPicture(p.Get()));
    p->patient.SetPatientId(17);
    EXPECT_TRUE(ReadPatientForPicture2(g_DbSession, p.Get()));
    EXPECT_STREQ(L"Kuznetsov", p->patient.GetName(0));
    EXPECT_EQ(1u, p->patient.GetSex());
}

// --- Writing view settings ------------------------------------------------------------

TEST_F(SnimokDbTest, ViewSettingsAreWrittenBackWithTheThumbnail)
{
    Exec(L"INSERT INTO Snimok (Snimok, Patient, [File name]) VALUES (60, 17, 'K00000000170000000060');");
    DPicturePtr p = Imported();
    p->imageId = 60;
    p->stored = 1;
    wcscpy(p->fileName, L"K00000000170000000060");
    p->orientation = 6;
    ASSERT_TRUE(SaveImageViewSettings(p, lut.data()));
    EXPECT_EQ(L"-10", Scalar(L"SELECT Bri FROM Snimok WHERE Snimok=60;"));
    EXPECT_EQ(L"900", Scalar(L"SELECT Contrast FROM Snimok WHERE Snimok=60;"));
    EXPECT_EQ(L"1", Scalar(L"SELECT Negativ FROM Snimok WHERE Snimok=60;"));
    EXPECT_EQ(L"120", Scalar(L"SELECT xWinCenter FROM Snimok WHERE Snimok=60;"));
    EXPECT_EQ(L"80", Scalar(L"SELECT yWinCenter FROM Snimok WHERE Snimok=60;"));
    EXPECT_EQ(L"6", Scalar(L"SELECT Orientation FROM Snimok WHERE Snimok=60;"));
    DPicturePtr q = PatternPicture(300, 200, 12);
    q->imageId = 60;
    ASSERT_TRUE(ReadPictureViewSettings(q.Get()));
    EXPECT_DOUBLE_EQ(2.0, q->scale);
    EXPECT_EQ(36864u, ReadBytes(folder->IconPath(L"K00000000170000000060")).size());
}

TEST_F(SnimokDbTest, ViewCentreOfAReducedPictureIsStoredAtFullSize)
{
    Exec(L"INSERT INTO Snimok (Snimok, Patient) VALUES (61, 17);");
    DPicturePtr p = Imported(300, 200);
    p->imageId = 61;
    p->stored = 1;
    wcscpy(p->fileName, L"K00000000170000000061");
    p->Reduce(2);
    p->ApplySharpen();
    p->viewCentreX = 60;
    p->viewCentreY = 40;
    ASSERT_TRUE(SaveImageViewSettings(p, lut.data()));
    EXPECT_EQ(L"120", Scalar(L"SELECT xWinCenter FROM Snimok WHERE Snimok=61;"));
    EXPECT_EQ(L"80", Scalar(L"SELECT yWinCenter FROM Snimok WHERE Snimok=61;"));
}

TEST_F(SnimokDbTest, ImportedPictureHasNoViewSettingsToWrite)
{
    DPicturePtr p = Imported();
    p->imageId = 304;
    EXPECT_FALSE(SaveImageViewSettings(p, lut.data()));
    EXPECT_EQ(L"<null>", Scalar(L"SELECT Bri FROM Snimok WHERE Snimok=304;"));
    EXPECT_TRUE(folder->Files(L"Icon").empty());
}

TEST_F(SnimokDbTest, DatabaseErrorOfTheViewSettingsIsShownUnderItsCaption)
{
    DPicturePtr p = Imported();
    p->imageId = 304;
    p->stored = 1;
    DODBPtr<DODBSession> kept = g_DbSession;
    g_DbSession.Release();
    PromptScript script({IDOK});
    EXPECT_FALSE(SaveImageViewSettings(p, lut.data()));
    g_DbSession = kept;
    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(L"Saving picture attributes", script.Last().caption);
}

// --- Saving a new image -------------------------------------------------------------

TEST_F(SnimokDbTest, NewImageGetsItsRowItsNameAndBothFiles)
{
    DPicturePtr p = Imported();
    ASSERT_TRUE(SaveSnimokTx(p, lut.data()));
    EXPECT_EQ(305u, p->imageId);
    EXPECT_STREQ(kNewName, p->fileName);
    EXPECT_EQ(1, p->stored);
    EXPECT_STREQ(L"Kuznetsov", p->patient.GetName(0));
    EXPECT_EQ(2, Count(L"Snimok"));
    EXPECT_EQ(kNewName, Scalar(L"SELECT [File name] FROM Snimok WHERE Snimok=305;"));
    EXPECT_EQ(L"17", Scalar(L"SELECT Patient FROM Snimok WHERE Snimok=305;"));
    EXPECT_EQ(L"1", Scalar(L"SELECT Disk FROM Snimok WHERE Snimok=305;"));
    EXPECT_EQ(L"900", Scalar(L"SELECT Contrast FROM Snimok WHERE Snimok=305;"));
    EXPECT_EQ(L"120", Scalar(L"SELECT xWinCenter FROM Snimok WHERE Snimok=305;"));
    EXPECT_TRUE(Exists(folder->ImagePath(kNewName)));
    EXPECT_EQ(36864u, ReadBytes(folder->IconPath(kNewName)).size());

    // Opened again as the panel opens it.
    DPicturePtr q = LoadPictureFileEx(305, kNewName);
    ASSERT_TRUE(q.Get());
    EXPECT_EQ(1, q->stored);
    EXPECT_EQ(305u, q->imageId);
    EXPECT_STREQ(kNewName, q->fileName);
    EXPECT_STREQ(L"Kuznetsov", q->patient.GetName(0));
    EXPECT_EQ(-10, q->displayOffset);
    EXPECT_DOUBLE_EQ(2.0, q->scale);
    EXPECT_EQ(p->imageDate.dwHighDateTime, q->imageDate.dwHighDateTime);
    EXPECT_EQ(p->imageDate.dwLowDateTime, q->imageDate.dwLowDateTime);
    EXPECT_EQ(0, memcmp(p->GetBits(), q->GetBits(), 300 * 200 * 2));

    // A second save of the stored picture is an UPDATE, not a new row.
    p->displayWidth = 1234;
    ASSERT_TRUE(SaveImageViewSettings(p, lut.data()));
    EXPECT_EQ(2, Count(L"Snimok"));
    EXPECT_EQ(L"1234", Scalar(L"SELECT Contrast FROM Snimok WHERE Snimok=305;"));
}

TEST_F(SnimokDbTest, NewImageWithoutATableWritesNoThumbnail)
{
    DPicturePtr p = Imported();
    ASSERT_TRUE(SaveSnimokTx(p, nullptr));
    EXPECT_TRUE(Exists(folder->ImagePath(kNewName)));
    EXPECT_TRUE(folder->Files(L"Icon").empty());
}

TEST_F(SnimokDbTest, ReducedPictureIsSavedAtFullResolution)
{
    DPicturePtr p = Imported(300, 200);
    p->spacingX = p->spacingY = 0.2;
    p->Reduce(2);
    p->ApplySharpen();
    p->viewCentreX = 60;
    p->viewCentreY = 40;
    ASSERT_TRUE(SaveSnimokTx(p, lut.data()));
    EXPECT_EQ(L"120", Scalar(L"SELECT xWinCenter FROM Snimok WHERE Snimok=305;"));
    EXPECT_EQ(L"80", Scalar(L"SELECT yWinCenter FROM Snimok WHERE Snimok=305;"));
    std::wstring message;
    DPicturePtr q = LoadFile(folder->ImagePath(kNewName), false, false, &message);
    ASSERT_TRUE(q.Get());
    EXPECT_EQ(300, q->width);
    EXPECT_EQ(200, q->height);
    EXPECT_EQ(0, memcmp(PatternRaster(300, 200, 12).data(), q->GetBits(), 300 * 200 * 2));
}

TEST_F(SnimokDbTest, NameWhoseFirstLetterCannotStartAFileNameStillGivesTwentyOneCharacters)
{
    Exec(L"UPDATE Patient SET Name1='' WHERE Patient=17;");
    DPicturePtr p = Imported();
    ASSERT_TRUE(SaveSnimokTx(p, lut.data()));
    EXPECT_STREQ(L"_00000000170000000305", p->fileName);
    EXPECT_TRUE(Exists(folder->ImagePath(L"_00000000170000000305")));
}

// What a failed save must leave: the one row that was there, no file, and the
// picture as it was.
void ExpectNothingSaved(SnimokDbTest* test, const DPicturePtr& p)
{
    (void)test;
    EXPECT_EQ(0u, p->imageId);
    EXPECT_STREQ(L"", p->fileName);
    EXPECT_EQ(0, p->stored);
    EXPECT_STREQ(L"", p->patient.GetName(0));
}

struct FailureCase {
    SaveStep step;
    int skip;
    size_t prompts;
    const char* name;
};

class SnimokSaveFailureTest : public SnimokDbTest, public ::testing::WithParamInterface<FailureCase>
{
};

TEST_P(SnimokSaveFailureTest, LeavesNoRowNoFileAndThePictureUnchanged)
{
    const FailureCase c = GetParam();
    DPicturePtr p = Imported();
    InjectSaveFailure(c.step, c.step == SaveStep::Commit ? (DWORD)E_FAIL : (DWORD)ERROR_DISK_FULL, c.skip);
    PromptScript script(std::vector<int>(c.prompts, IDOK));
    EXPECT_FALSE(SaveSnimokTx(p, lut.data()));
    EXPECT_EQ(c.prompts, script.Count());
    EXPECT_EQ(1, Count(L"Snimok"));
    EXPECT_TRUE(folder->Files(L"Image").empty());
    EXPECT_TRUE(folder->Files(L"Icon").empty());
    ExpectNothingSaved(this, p);

    // Nothing stands in the way of the next attempt.
    InjectSaveFailure(SaveStep::None, 0);
    EXPECT_TRUE(SaveSnimokTx(p, lut.data()));
    EXPECT_STREQ(kNewName, p->fileName);
}

const FailureCase kFailures[] = {
    {SaveStep::CreateSession, 0, 0, "CreateSession"},
    {SaveStep::BeginTx, 0, 0, "BeginTx"},
    {SaveStep::FreeSpace, 0, 1, "FreeSpace"},
    {SaveStep::OpenRowset, 0, 1, "OpenRowset"},
    {SaveStep::InsertRow, 0, 1, "InsertRow"},
    {SaveStep::UpdateFileName, 0, 2, "UpdateOfNoRow"},
    {SaveStep::CreateImageFile, 0, 1, "CreateImageFile"},
    {SaveStep::WriteImageFile, 0, 1, "WriteHeader"},
    {SaveStep::WriteImageFile, 1, 1, "WriteInformation"},
    {SaveStep::WriteImageFile, 2, 1, "WriteTexts"},
    {SaveStep::WriteImageFile, 3, 1, "WritePixels"},
    {SaveStep::Commit, 0, 1, "Commit"},
};

INSTANTIATE_TEST_SUITE_P(EachStep, SnimokSaveFailureTest, ::testing::ValuesIn(kFailures),
                         [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST_F(SnimokDbTest, UpdateOfNoRowSaysNotUpdatedThenPictureIsNotFound)
{
    DPicturePtr p = Imported();
    InjectSaveFailure(SaveStep::UpdateFileName, 0);
    PromptScript script({IDOK, IDOK});
    EXPECT_FALSE(SaveSnimokTx(p, lut.data()));
    ASSERT_EQ(2u, script.Count());
    EXPECT_EQ(L"Not updated", script.Prompts()[0].text);
    EXPECT_EQ(L"Picture is not found", script.Prompts()[1].text);
}

TEST_F(SnimokDbTest, CommitFailureDeletesBothFilesItWrote)
{
    DPicturePtr p = Imported();
    InjectSaveFailure(SaveStep::Commit, (DWORD)E_FAIL);
    PromptScript script({IDOK});
    EXPECT_FALSE(SaveSnimokTx(p, lut.data()));
    EXPECT_TRUE(folder->Files(L"Image").empty());
    EXPECT_TRUE(folder->Files(L"Icon").empty());
    EXPECT_EQ(1, Count(L"Snimok"));
}

TEST_F(SnimokDbTest, MissingPatientIsSaidAndNothingIsSaved)
{
    DPicturePtr p = Imported();
    p->patient.SetPatientId(99);
    PromptScript script({IDOK});
    EXPECT_FALSE(SaveSnimokTx(p, lut.data()));
    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(L"Patient is not found", script.Last().text);
    EXPECT_TRUE(script.Last().flags & MB_SYSTEMMODAL);
    EXPECT_EQ(1, Count(L"Snimok"));
    EXPECT_EQ(0u, p->imageId);
    EXPECT_EQ(99u, p->patient.GetPatientId());
}

TEST_F(SnimokDbTest, ImageFileThatNoSaveAccountsForIsKeptAndTheNextKeyTaken)
{
    // A file of the new name that no row names and no save's note accounts
    // for: whose it is nobody knows, so it stays, and the image takes 306.
    WriteBytes(folder->ImagePath(kNewName), {7, 7, 7});
    DPicturePtr p = Imported();
    EXPECT_TRUE(SaveSnimokTx(p, lut.data()));
    EXPECT_EQ(306u, p->imageId);
    EXPECT_STREQ(L"K00000000170000000306", p->fileName);
    EXPECT_EQ(std::vector<BYTE>({7, 7, 7}), ReadBytes(folder->ImagePath(kNewName)));
    EXPECT_EQ(L"<none>", Scalar(L"SELECT Snimok FROM Snimok WHERE Snimok=305;"));
    EXPECT_EQ(L"K00000000170000000306", Scalar(L"SELECT [File name] FROM Snimok WHERE Snimok=306;"));
    std::vector<std::wstring> files = folder->Files(L"Image");
    std::sort(files.begin(), files.end());
    EXPECT_EQ(std::vector<std::wstring>({L"K00000000170000000305.xmg", L"K00000000170000000306.xmg"}), files)
        << "the save's note is gone";
}

// A free space measured below the minimum is refused under the caption for too little disk space, saying how
// much must stay free, in the running language: the box of every save.
TEST_F(SnimokDbTest, FreeSpaceBelowTheMinimumIsRefusedUnderItsCaption)
{
    const struct { LANGID language; const wchar_t *caption, *text; } said[] = {
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), L"The disk space is not enougth",
         L"The image disk is almost full: less than 4294967295 MB is free"},
        {MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), L"Недостаточно места на диске",
         L"Диск снимков почти заполнен: на нём свободно меньше 4294967295 МБ"}};
    SpaceMin = 0xFFFFFFFF;
    for (const auto& s : said) {
        harness::ThreadLanguage speaking(s.language);
        PromptScript script({IDOK});
        EXPECT_FALSE(SaveSnimokTx(Imported(), lut.data()));
        ASSERT_EQ(1u, script.Count());
        EXPECT_EQ(s.caption, script.Last().caption) << "it was measured: it is below the minimum";
        EXPECT_EQ(0u, script.Last().text.find(s.text)) << "the text says why";
    }
    SpaceMin = 0;
    EXPECT_EQ(1, Count(L"Snimok"));
}

TEST_F(SnimokDbTest, ThumbnailFailureDoesNotFailTheSave)
{
    for (SaveStep step : {SaveStep::CreateIconFile, SaveStep::WriteIconFile}) {
        DPicturePtr p = Imported();
        InjectSaveFailure(step, ERROR_DISK_FULL);
        EXPECT_TRUE(SaveSnimokTx(p, lut.data()));
        EXPECT_TRUE(Exists(folder->ImagePath(p->fileName)));
        EXPECT_FALSE(Exists(folder->IconPath(p->fileName)));
    }
    EXPECT_EQ(3, Count(L"Snimok"));
}

TEST_F(SnimokDbTest, SaveInsideTheCallersTransactionReportsWhatItWrote)
{
    DODBPtr<DODBSession> session;
    ASSERT_TRUE(SUCCEEDED(g_DbSource->CreateSession(session)));
    ASSERT_TRUE(SUCCEEDED(session->BeginTx()));
    DPicturePtr p = Imported();
    SnimokFilesWritten written;
    SaveSnimok(p, session, lut.data(), &written);
    EXPECT_TRUE(written.image);
    EXPECT_TRUE(written.icon);
    EXPECT_STREQ(kNewName, written.fileName);
    EXPECT_TRUE(written.note) << "the save's note stays open until the caller ends the save";
    EndSnimokSave(&written, false);
    ASSERT_TRUE(SUCCEEDED(session->AbortTx()));
    EXPECT_EQ(1, Count(L"Snimok"));
    EXPECT_TRUE(folder->Files(L"Image").empty());
    EXPECT_TRUE(folder->Files(L"Icon").empty());
}

TEST_F(SnimokDbTest, LoadingAnImageWhoseRowIsGoneThrowsZero)
{
    DPicturePtr p = Imported();
    ASSERT_TRUE(SaveSnimokTx(p, lut.data()));
    Exec(L"DELETE FROM Snimok WHERE Snimok=305;");
    EXPECT_THROW(LoadPictureFileEx(305, kNewName), int);
}

}  // namespace
