// The synchronisation (command 4) step by step with its statements, the
// re-insertion of image files that no row names, the skip codes logged under
// the right file, a second run that changes nothing, and deleted images that
// stay deleted.
#include "sync_fixture.h"

#include "app/recordmaint.h"
#include "common/prompt_script.h"
#include "exchange/sync/synctables.h"

namespace extest {
namespace {

class SyncSteps : public SyncDbTest {
protected:
    // The scans' tables, as a first scan makes them.
    void MakeScanTables()
    {
        TestSyncWindow window;
        ASSERT_EQ(kSyncResultDone, window.Run(kSyncScanHdd).result);
    }
    // A worker on this thread, for one step at a time.
    struct StepWorker {
        SyncProgress progress;
        SyncStartRecord start;
        SynchrThread* worker = nullptr;
        StepWorker()
        {
            start.progress = &progress;
            worker = new SynchrThread(start);
            worker->OpenSession();
        }
        ~StepWorker() { delete worker; }
        SynchrThread* operator->() { return worker; }
    };
    // Every row of Patient and Snimok that the synchronisation may touch.
    std::vector<std::wstring> Database()
    {
        std::vector<std::wstring> rows = Rows(L"SELECT Patient, Name1, Name2, Name3, Birthday, Pol FROM Patient "
                                              L"ORDER BY Patient;");
        for (const std::wstring& r : Rows(L"SELECT Snimok, Patient, [Disk], Arj, [File name] FROM Snimok ORDER BY "
                                          L"Snimok;"))
            rows.push_back(r);
        for (const std::wstring& r : Rows(L"SELECT Arj, Name FROM Arj ORDER BY Arj;"))
            rows.push_back(r);
        return rows;
    }
    // Forgets the image rows (and their patients when `patientsToo`) behind
    // the program's back, leaving the files: what the re-insertion repairs.
    void LoseRows(bool patientsToo)
    {
        Exec(L"DELETE FROM Snimok;");
        if (patientsToo)
            Exec(L"DELETE FROM Patient;");
    }
};

TEST_F(SyncSteps, NewScannedDisksAreRegistered)
{
    MakeScanTables();
    Exec(L"INSERT INTO Arj (Arj, Name) VALUES (11, 'OLD');");
    Exec(L"INSERT INTO Arj_tmp (arj, Name) VALUES (11, 'RENAMED');");
    Exec(L"INSERT INTO Arj_tmp (arj, Name) VALUES (-22, 'NEW');");
    StepWorker step;
    step->AddNewArj();
    EXPECT_EQ((std::vector<std::wstring>{L"-22|NEW", L"11|OLD"}), Rows(L"SELECT Arj, Name FROM Arj ORDER BY Arj;"));
}

TEST_F(SyncSteps, TheHardDiskScanDecidesEveryRowsHardDiskMark)
{
    MakeDemoImages(4);
    const std::vector<std::wstring> names = FileNames(L"Snimok");
    MakeScanTables();
    // Image 0 is marked off the disk but its file is there; image 1 marked on
    // the disk but its file is gone; a row without a file stays as it is.
    Exec(L"UPDATE Snimok SET [Disk]=0 WHERE [File name]='" + names[0] + L"';");
    Exec(L"DELETE FROM Snimok_tmp WHERE [File name]='" + names[1] + L"';");
    ASSERT_TRUE(DeleteFileW(ImagePath(names[1]).c_str()));
    Exec(L"UPDATE Snimok SET [File name]=NULL, [Disk]=1 WHERE [File name]='" + names[2] + L"';");
    StepWorker step;
    step->UpdateDiskFlags();
    EXPECT_EQ(L"1", Scalar(L"SELECT [Disk] FROM Snimok WHERE [File name]='" + names[0] + L"';"));
    EXPECT_EQ(L"0", Scalar(L"SELECT [Disk] FROM Snimok WHERE [File name]='" + names[1] + L"';"));
    EXPECT_EQ(L"1", Scalar(L"SELECT [Disk] FROM Snimok WHERE [File name] IS NULL;"));
    EXPECT_EQ(L"1", Scalar(L"SELECT [Disk] FROM Snimok WHERE [File name]='" + names[3] + L"';"));
}

TEST_F(SyncSteps, ImagesFoundOnAnArchiveDiskLearnTheirDisk)
{
    MakeDemoImages(3);
    const std::vector<std::wstring> names = FileNames(L"Snimok");
    MakeScanTables();
    Exec(L"INSERT INTO Arj_tmp (arj, Name) VALUES (-1698898192, 'ARCH_B');");
    Exec(L"UPDATE Snimok_tmp SET Arj=-1698898192 WHERE [File name]='" + names[1] + L"';");
    CreateSyncTables(g_DbSession);
    EXPECT_EQ(1, Count(L"Snimok_exist"));
    StepWorker step;
    step->AddNewArj();
    step->UpdateArjFromExist();
    EXPECT_EQ(L"-1698898192", Scalar(L"SELECT Arj FROM Snimok WHERE [File name]='" + names[1] + L"';"));
    EXPECT_EQ(2, Count(L"Snimok WHERE Arj IS NULL"));
    EXPECT_EQ(0, Count(L"Snimok_exist"));
}

TEST_F(SyncSteps, ImagesFoundOnlyInFilesComeBackUnderTheirOwnKeys)
{
    MakeDemoImages(6);
    const std::vector<std::wstring> before = Database();
    const std::vector<std::wstring> bri = Rows(L"SELECT Snimok, Bri, Contrast, [Date file] FROM Snimok ORDER BY Snimok;");
    LoseRows(true);
    TestSyncWindow window;
    ASSERT_EQ(kSyncResultDone, window.Run(kSyncScanHdd).result);
    CreateSyncTables(g_DbSession);
    EXPECT_EQ(6, Count(L"Snimok_dif WHERE nodel=0"));
    const SyncReport report = window.Run(kSyncDatabase);
    ASSERT_EQ(kSyncResultDone, report.result) << LastMessage(report);
    EXPECT_EQ(6, report.restored > 0 ? Count(L"Snimok") : -1);
    EXPECT_EQ(0, report.skipped);
    EXPECT_EQ(0, Count(L"Snimok_dif"));
    // Only the patients that had images come back, under their own keys and names.
    std::vector<std::wstring> expected;
    for (const std::wstring& row : before)
        if (row.find(L"|") != std::wstring::npos)
            expected.push_back(row);
    const std::vector<std::wstring> after = Database();
    for (const std::wstring& row : after)
        EXPECT_NE(before.end(), std::find(before.begin(), before.end(), row)) << Narrow(row);
    EXPECT_EQ(6, Count(L"Snimok WHERE [Disk]=1 AND Arj IS NULL"));
    // The file's own date; brightness and contrast from the picture.
    const std::vector<std::wstring> dates = Rows(L"SELECT Snimok, [Date file] FROM Snimok ORDER BY Snimok;");
    for (size_t i = 0; i < dates.size(); ++i)
        EXPECT_EQ(0u, bri[i].find(dates[i].substr(0, dates[i].find(L'|')) + L"|"));
    EXPECT_EQ(0, Count(L"Snimok WHERE Bri IS NULL OR Contrast IS NULL OR Contrast=0"));
}

TEST_F(SyncSteps, ASecondSynchronisationChangesNothing)
{
    MakeDemoImages(4);
    LoseRows(true);
    TestSyncWindow window;
    ASSERT_EQ(kSyncResultDone, window.Run(kSyncScanHdd).result);
    CreateSyncTables(g_DbSession);
    ASSERT_EQ(kSyncResultDone, window.Run(kSyncDatabase).result);
    const std::vector<std::wstring> once = Database();
    ASSERT_EQ(kSyncResultDone, window.Run(kSyncScanHdd).result);
    CreateSyncTables(g_DbSession);
    EXPECT_EQ(0, Count(L"Snimok_dif"));
    const SyncReport again = window.Run(kSyncDatabase);
    EXPECT_EQ(kSyncResultDone, again.result);
    EXPECT_EQ(0, again.restored);
    EXPECT_EQ(once, Database());
}

TEST_F(SyncSteps, EverySkippedFileIsLoggedUnderItsOwnNameWithItsCode)
{
    MakeDemoImages(12);
    const std::vector<std::wstring> all = FileNames(L"Snimok");
    const std::vector<std::wstring> allIds = Rows(L"SELECT Snimok, Patient FROM Snimok ORDER BY [File name];");
    auto patientOf = [&](size_t i) { return allIds[i].substr(allIds[i].find(L'|') + 1); };
    // The files for codes 4 and 5 belong to two patients of their own (whose
    // rows the test changes); the files for codes 2 and 3 to neither.
    size_t for4 = 0, for5 = all.size(), for2 = all.size(), for3 = all.size();
    for (size_t i = 1; i < all.size() && for5 == all.size(); ++i)
        if (patientOf(i) != patientOf(for4))
            for5 = i;
    for (size_t i = 0; i < all.size(); ++i) {
        if (patientOf(i) == patientOf(for4) || patientOf(i) == patientOf(for5))
            continue;
        if (for2 == all.size())
            for2 = i;
        else if (for3 == all.size())
            for3 = i;
    }
    ASSERT_LT(for3, all.size()) << "the demo images belong to too few patients";
    // names[0] for code 2, names[1] for 4, names[2] for 5, names[3] for 3.
    std::vector<std::wstring> names, ids;
    for (size_t k : {for2, for4, for5, for3, for2}) {
        names.push_back(all[k]);
        ids.push_back(allIds[k]);
    }
    auto imageId = [&](int i) { return ids[i].substr(0, ids[i].find(L'|')); };
    auto patientId = [&](int i) { return ids[i].substr(ids[i].find(L'|') + 1); };
    // 1: a file that cannot be decoded.
    const std::wstring unreadable = L"X00000000990000000001";
    {
        HANDLE f = CreateFileW((std::wstring(ImageFolder) + unreadable + L".xmg").c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(f, "DIXG but nothing else", 21, &written, nullptr);
        CloseHandle(f);
    }
    // 2: image 0's file under another name: its image id has a row of another name.
    const std::wstring copied = L"Y00000000990000000002";
    ASSERT_TRUE(CopyFileW(ImagePath(names[0]).c_str(), ImagePath(copied).c_str(), FALSE));
    // 4: image 1's row gone and its patient renamed: the file's patient id is another patient's.
    Exec(L"DELETE FROM Snimok WHERE Snimok=" + imageId(1) + L";");
    // 5: image 2's row gone and a patient with its names under another id.
    Exec(L"DELETE FROM Snimok WHERE Snimok=" + imageId(2) + L";");
    TestSyncWindow window;
    ASSERT_EQ(kSyncResultDone, window.Run(kSyncScanHdd).result);
    ASSERT_NE(patientId(1), patientId(2));
    Exec(L"UPDATE Patient SET Name1='Другой' WHERE Patient=" + patientId(1) + L";");
    Exec(L"INSERT INTO Patient (Name1, Name2, Name3, Birthday, Pol) SELECT Name1, Name2, Name3, Birthday, Pol "
         L"FROM Patient WHERE Patient=" + patientId(2) + L";");
    Exec(L"UPDATE Patient SET Name1='Третий' WHERE Patient=" + patientId(2) + L";");
    CreateSyncTables(g_DbSession);
    // 3: a row that names image 3's file with other ids (set after the tables
    // are made, which leave out named files).
    Exec(L"DELETE FROM Snimok WHERE Snimok=" + imageId(3) + L";");
    Exec(L"INSERT INTO Snimok (Snimok, Patient, [File name]) VALUES (900, " + patientId(4) + L", '" + names[3] +
         L"');");
    Exec(L"INSERT INTO Snimok_dif ([File name], [Disk], Arj) VALUES ('" + names[3] + L"', 1, NULL);");

    PromptScript prompts({IDOK});   // the box about the unreadable file
    const SyncReport report = window.Run(kSyncDatabase);
    EXPECT_EQ(kSyncResultDone, report.result) << LastMessage(report);
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(L"Ошибка функции ReadSnimokDataExc.\nДанный снимок будет пропущен.", prompts.Last().text);
    EXPECT_EQ((std::vector<std::wstring>{L"1|" + unreadable, L"2|" + copied, L"3|" + names[3], L"4|" + names[1],
                                         L"5|" + names[2]}),
              Rows(L"SELECT errcode, fn FROM Msg_tmp ORDER BY errcode;"));
    EXPECT_EQ(5, Count(L"Snimok_dif WHERE nodel=1"));
    // Each skip sets the channel's bit; skips that follow each other before
    // the window reads the channel reach it in one report.
    EXPECT_GE(report.skipped, 1);
    EXPECT_LE(report.skipped, 5);
    EXPECT_EQ(0, Count(L"Snimok WHERE Snimok=" + imageId(1) + L" OR Snimok=" + imageId(2)));
    EXPECT_EQ(5, Count(L"ErrCode_tmp"));
}

TEST_F(SyncSteps, DelImageStaysForTheArchiveJobAndIsNotAskedAbout)
{
    MakeDemoImages(2);
    Exec(L"INSERT INTO DelImage ([File Name], Arj, [Disk]) VALUES ('Q00000000010000000077', NULL, 1);");
    MakeScanTables();
    CreateSyncTables(g_DbSession);
    PromptScript prompts;
    TestSyncWindow window;
    EXPECT_EQ(kSyncResultDone, window.Run(kSyncDatabase).result);
    EXPECT_EQ(0u, prompts.Count());
    EXPECT_EQ(1, Count(L"DelImage"));
}

TEST_F(SyncSteps, AStopBetweenFilesEndsAsStoppedByTheUserKeepingWhatWasPutBack)
{
    MakeDemoImages(3);
    LoseRows(false);
    TestSyncWindow window;
    ASSERT_EQ(kSyncResultDone, window.Run(kSyncScanHdd).result);
    CreateSyncTables(g_DbSession);
    // The stop comes while the first file is put back.
    window.HoldAt(SyncStep::RestoreWritten);
    ASSERT_TRUE(window.Start(kSyncDatabase, L""));
    ASSERT_TRUE(window.WaitHeld());
    window.Progress().SendStop();
    const SyncReport report = window.Finish();
    EXPECT_EQ(kSyncResultStopped, report.result);
    EXPECT_TRUE(report.HasMessage(L"прервано пользователем"));
    EXPECT_EQ(1, Count(L"Snimok"));
    EXPECT_EQ(2, Count(L"Snimok_dif"));
}

}  // namespace
}  // namespace extest
