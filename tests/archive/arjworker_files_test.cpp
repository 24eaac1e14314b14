// The archive job's work on files, as a clinic meets it: other users save
// while the job copies and deletes; rows whose file names would leave the
// data folders; copies that are not whole; backups onto disks filled to
// their reserve.
#include "archive_fixture.h"

#include "archive/arjworker.h"
#include "common/prompt_script.h"
#include "common/window_harness.h"
#include "database/dberrors.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "exchange/disks/arjregistry.h"
#include "foundation/globals.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

using namespace arjtest;

namespace {

const DWORD kSerial = 0x4D4F3031;

bool EndsWith(const wchar_t* text, const std::wstring& tail)
{
    const size_t length = wcslen(text);
    return length >= tail.size() && _wcsicmp(text + length - tail.size(), tail.c_str()) == 0;
}

// The file operation the seams hold: the first whose path ends with `heldTail`
// waits (20 s at most) for `release` after setting `inside`. A copy may
// also be made to misbehave.
struct FileSeam {
    std::wstring heldTail;
    HANDLE inside = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> held{false};
    // A copy whose target ends with this writes half the source and then
    // reports `shortResult` (TRUE: success) with `shortError`.
    std::wstring shortTail;
    BOOL shortResult = TRUE;
    DWORD shortError = 0;
    ~FileSeam()
    {
        CloseHandle(inside);
        CloseHandle(release);
    }
    void HoldIfDue(const wchar_t* path)
    {
        if (!heldTail.empty() && EndsWith(path, heldTail) && !held.exchange(true)) {
            SetEvent(inside);
            WaitForSingleObject(release, 20000);
        }
    }
};
FileSeam* gSeam = nullptr;

BOOL WINAPI SeamCopy(const wchar_t* source, const wchar_t* target, LPPROGRESS_ROUTINE progress, void* data,
                     BOOL* cancel, DWORD flags)
{
    gSeam->HoldIfDue(target);
    if (!gSeam->shortTail.empty() && EndsWith(target, gSeam->shortTail)) {
        const LONGLONG size = FileSize(source);
        WriteFileOfSize(target, size > 0 ? static_cast<ULONGLONG>(size / 2) : 0);
        SetLastError(gSeam->shortError);
        return gSeam->shortResult;
    }
    return CopyFileExW(source, target, progress, data, cancel, flags);
}

BOOL WINAPI SeamDelete(const wchar_t* path)
{
    gSeam->HoldIfDue(path);
    return DeleteFileW(path);
}

class ArchiveFilesTest : public ArchiveDbTest {
protected:
    void SetUp() override
    {
        ArchiveDbTest::SetUp();
        if (HasFatalFailure())
            return;
        gSeam = &seam_;
        previousCopy_ = SetArchiveCopyRoutine(SeamCopy);
        previousDelete_ = SetArchiveDeleteRoutine(SeamDelete);
        patient_ = AddPatient(L"Morozov");
        backup_ = data_->Path() + L"Backup\\";
    }
    void TearDown() override
    {
        SetEvent(seam_.release);
        SetArchiveCopyRoutine(previousCopy_);
        SetArchiveDeleteRoutine(previousDelete_);
        gSeam = nullptr;
        ArchiveDbTest::TearDown();
    }
    // A registered disk with the archive folder in the drive (0 kilobytes:
    // a plain folder), its reserve 1 MB for the backup.
    DiskMedium* DiskInTheDrive(unsigned kilobytes = 0)
    {
        DiskMedium* disk = ReadyDisk(kilobytes, kSerial, "MO1");
        EXPECT_TRUE(InsertDisk(disk));
        WriteDiskCfg(disk->Folder(), 1, {L"hospital.bak"});
        return disk;
    }
    // The database grows by about `kilobytes` (descriptions of an image).
    void Grow(unsigned kilobytes)
    {
        for (unsigned done = 0; done < kilobytes; done += 100)
            Exec(L"INSERT INTO Snimok (Patient, [Disk], [File name], Apicriz) VALUES (" + std::to_wstring(patient_) +
                 L", 0, NULL, '" + std::wstring(100 * 1024, L'a' + (done / 100) % 26) + L"');");
    }

    FileSeam seam_;
    WorkerHost host_;
    LONG patient_ = 0;
    std::wstring backup_;

private:
    ArchiveCopyRoutine previousCopy_ = nullptr;
    ArchiveDeleteRoutine previousDelete_ = nullptr;
};

// A save of the main window's session, in a transaction as the program's
// saves run: its failure's text (empty when it went through) and its time.
std::string TimedSave(const std::wstring& sql, double* ms)
{
    const auto start = std::chrono::steady_clock::now();
    std::string failure;
    try {
        HRESULT hr = g_DbSession->BeginTx();
        if (FAILED(hr))
            ThrowDatabaseError(hr);
        BoundStatement(g_DbSession, sql.c_str()).Run();
        hr = g_DbSession->CommitSync();
        if (FAILED(hr))
            ThrowDatabaseError(hr);
    } catch (const DODBErrors& error) {
        g_DbSession->AbortTx();
        wchar_t text[1024] = L"";
        error.GetText(text, 1023);
        failure = Narrow(text) + " ";
    }
    *ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return failure;
}

}  // namespace

// While a job copies or deletes a file, the main window saves a patient, an
// image's description and a new image, each at once.
TEST_F(ArchiveFilesTest, SavesOfTheMainWindowGoThroughWhileAJobWorksOnAFile)
{
    struct Case {
        const char* job;
        DWORD flags;
        const wchar_t* heldTail;   // the file operation held
    };
    const Case cases[] = {
        {"archive", kJobArchive, L"F0000000002.xmg"},
        {"free space", kJobFreeSpace, L"F0000000012.xmg"},
        {"marked images", kJobDeleteMarked, L"F0000000022.xmg"},
        {"backup", kJobBackup, L"hospital.bak.tmp"},
    };
    DiskInTheDrive();
    UseBackupSlots(backup_);
    for (int i = 1; i <= 3; ++i) {
        AddImage(patient_, L"F000000000" + std::to_wstring(i), 20000);
        AddImage(patient_, L"F000000001" + std::to_wstring(i), 20000, (L"2020-01-0" + std::to_wstring(i)).c_str(), 1000,
                 static_cast<LONG>(kSerial));
        Exec(L"INSERT INTO DelImage ([File Name], Arj, [Disk]) VALUES ('F000000002" + std::to_wstring(i) +
             L"', NULL, 1);");
        WriteFileOfSize(HddImage(L"F000000002" + std::to_wstring(i)), 100);
    }
    const LONG image = wcstol(Scalar(L"SELECT MIN(Snimok) FROM Snimok WHERE [File name] IS NOT NULL;").c_str(),
                              nullptr, 10);
    int saved = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.job);
        ResetEvent(seam_.inside);
        ResetEvent(seam_.release);
        seam_.held = false;
        seam_.heldTail = c.heldTail;
        // Free space is always wanted, and never enough, in its own job only.
        SpaceArjStart = SpaceArjEnd = c.flags == kJobFreeSpace ? 0xFFFFFFFF : 0;
        ASSERT_TRUE(host_.StartArchive(c.flags, 3, 3));
        if (!harness::PumpUntil([&] { return WaitForSingleObject(seam_.inside, 0) == WAIT_OBJECT_0; }, 30000)) {
            SetEvent(seam_.release);
            FAIL() << "the job never came to the held file: " << host_.Finish().Texts();
        }
        const std::wstring n = std::to_wstring(++saved);
        const std::wstring saves[] = {
            L"UPDATE Patient SET Name2='Saved" + n + L"' WHERE Patient=" + std::to_wstring(patient_) + L";",
            L"UPDATE Snimok SET Apicriz='Description " + n + L"' WHERE Snimok=" + std::to_wstring(image) + L";",
            L"INSERT INTO Snimok (Patient, [Disk], [Date file], [File name]) VALUES (" + std::to_wstring(patient_) +
                L", 0, '2024-01-01', 'N00000000" + n + L"');",
        };
        for (const std::wstring& save : saves) {
            double ms = 0;
            EXPECT_EQ("", TimedSave(save, &ms)) << Narrow(save);
            EXPECT_LT(ms, 3000.0) << Narrow(save) << ": held up by the job (a held-up save waits 5 s)";
        }
        SetEvent(seam_.release);
        const WorkerReport report = host_.Finish();
        EXPECT_EQ(0u, report.exitCode) << report.Texts();
    }
    EXPECT_EQ(L"Saved4", Scalar(L"SELECT Name2 FROM Patient WHERE Patient=" + std::to_wstring(patient_) + L";"));
}

// A row whose file name would leave its folder, name a device or another file (a trailing blank, a short name,
// a name another live image's row gives the file in another case): its image is skipped, nothing outside the
// folders or of the other file is copied or deleted, the other images are done, and the job ends with the names in
// the window.
TEST_F(ArchiveFilesTest, NamesThatLeaveTheFoldersAreSkippedAndNamed)
{
    DiskMedium* disk = DiskInTheDrive();
    const std::wstring outside = data_->Path();   // the folder above "Image\" and "Icon\"
    // Files no row names as they are: one on the hard disk, one on the archive disk only; and their short names.
    const std::wstring other = L"L0000000000000001", arjOther = L"L0000000000000002";
    ASSERT_TRUE(WriteFileOfSize(HddImage(other), 5000));
    ASSERT_TRUE(WriteFileOfSize(ArchiveFile(arjOther, L".xmg"), 4000));
    ASSERT_TRUE(WriteFileOfSize(ArchiveFile(arjOther, L".thb"), 400));
    const auto shortName = [](const std::wstring& path) {
        wchar_t shortPath[MAX_PATH] = L"";
        EXPECT_GT(GetShortPathNameW(path.c_str(), shortPath, MAX_PATH), 0u) << Narrow(path);
        const std::wstring name = wcsrchr(shortPath, L'\\') ? wcsrchr(shortPath, L'\\') + 1 : L"";
        return name.substr(0, name.rfind(L'.'));
    };
    const std::wstring alias = shortName(HddImage(other)), arjAlias = shortName(ArchiveFile(arjOther, L".xmg"));
    ASSERT_NE(alias, arjAlias);
    struct Case {
        const char* job;
        DWORD flags;
        std::vector<std::wstring> refused;   // rows of the job's table
        std::wstring twin;                   // a live image whose files a refused row names in another case
        std::vector<std::wstring> live;      // live image rows beside the job's table (padded as a column gives it)
    };
    const Case cases[] = {
        {"marked images", kJobDeleteMarked,
         {L"..\\victim", L"CON", L"x:y", L"ж0000000001", arjAlias, other, other + L" ", alias}, L"Ж0000000001",
         {L"Ж0000000001 ", alias}},
        {"marked images, a long name whose short name only a live row outside the table gives", kJobDeleteMarked,
         {L"ж0000000001", other}, L"Ж0000000001", {L"Ж0000000001 ", alias}},
        {"archive", kJobArchive, {L"..\\Outside", L"COM1.old", L"S0000000003", L"s0000000003", other + L" ", alias},
         L"S0000000003", {}},
        {"free space", kJobFreeSpace, {L"..\\Freed", L"AUX", L"Ё0000000002", L"ё0000000002", other + L" ", alias},
         L"Ё0000000002", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.job);
        SpaceArjStart = SpaceArjEnd = c.flags == kJobFreeSpace ? 0xFFFFFFFF : 0;
        // A good row beside the bad ones, and files where the bad names point.
        const std::wstring good = std::wstring(L"OK") + (c.flags == kJobDeleteMarked ? L"1" : c.flags == kJobArchive ? L"2" : L"3");
        LONG goodKey = 0;
        if (c.flags == kJobDeleteMarked) {
            for (const std::wstring& name : c.refused)
                Exec(L"INSERT INTO DelImage ([File Name], Arj, [Disk]) VALUES ('" + name + L"', " +
                     std::to_wstring(static_cast<LONG>(kSerial)) + L", 1);");
            Exec(L"INSERT INTO DelImage ([File Name], Arj, [Disk]) VALUES ('" + good + L"', NULL, 1);");
            WriteFileOfSize(HddImage(good), 100);
        } else {
            const LONG arj = c.flags == kJobFreeSpace ? static_cast<LONG>(kSerial) : 0;
            for (const std::wstring& name : c.refused)
                Exec(L"INSERT INTO Snimok (Patient, [Disk], Arj, [Date file], [File name]) VALUES (" +
                     std::to_wstring(patient_) + L", 1, " + (arj ? std::to_wstring(arj) : L"NULL") +
                     L", '2019-01-01', '" + name + L"');");
            goodKey = AddImage(patient_, good, 1000, L"2019-06-01", 100, arj);
        }
        if (c.flags == kJobFreeSpace) {
            // The twin (the first of the rows its name matches without case) is the image a step cut off between
            // its row and its files left: its files go first.
            Exec(L"UPDATE Snimok SET [Disk]=0 WHERE Snimok=(SELECT MIN(Snimok) FROM Snimok WHERE [File name]='" +
                 c.twin + L"');");
            ASSERT_TRUE(ArjRegWrite(L"Arj", kFreeingImageValue, REG_SZ, c.twin.c_str(), 0));
        }
        for (const std::wstring& name : c.live)
            Exec(L"INSERT INTO Snimok (Patient, [Disk], Arj, [File name]) VALUES (" + std::to_wstring(patient_) +
                 L", 1, " + std::to_wstring(static_cast<LONG>(kSerial)) + L", '" + name + L"');");
        for (const wchar_t* name : {L"victim", L"Outside", L"Freed"}) {
            WriteFileOfSize(outside + name + L".xmg", 100);
            WriteFileOfSize(outside + name + L".thb", 100);
        }
        WriteFileOfSize(HddImage(c.twin), 700);
        WriteFileOfSize(HddIcon(c.twin), 70);
        WriteFileOfSize(ArchiveFile(c.twin, L".xmg"), 300);

        const WorkerReport report = host_.RunArchive(c.flags, 4, 3);

        EXPECT_EQ(static_cast<DWORD>(-1), report.exitCode) << report.Texts();
        EXPECT_TRUE(report.stopsWithError);
        for (const std::wstring& name : c.refused)
            EXPECT_TRUE(report.HasFault(L"\"" + name + L"\"")) << Narrow(name) << ": " << report.Texts();
        EXPECT_TRUE(report.HasAction(Str(IDS_STORED_NAMES_CHECK))) << report.Texts();
        for (const wchar_t* name : {L"victim", L"Outside", L"Freed"}) {
            EXPECT_TRUE(Exists(outside + name + L".xmg")) << Narrow(name);
            EXPECT_TRUE(Exists(outside + name + L".thb")) << Narrow(name);
            EXPECT_FALSE(Exists(disk->Folder() + name + L".xmg")) << "nothing reaches the disk's root";
        }
        EXPECT_EQ(5000, FileSize(HddImage(other)));
        EXPECT_FALSE(Exists(ArchiveFile(other, L".xmg")));
        EXPECT_EQ(4000, FileSize(ArchiveFile(arjOther, L".xmg")));
        EXPECT_EQ(400, FileSize(ArchiveFile(arjOther, L".thb")));
        EXPECT_EQ(700, FileSize(HddImage(c.twin)));
        EXPECT_EQ(70, FileSize(HddIcon(c.twin)));
        EXPECT_EQ(300, FileSize(ArchiveFile(c.twin, L".xmg")));
        const long rows = static_cast<long>(c.refused.size());
        if (c.flags == kJobDeleteMarked) {
            EXPECT_FALSE(Exists(HddImage(good)));
            EXPECT_EQ(rows, Count(L"DelImage")) << "the refused rows stay";
            Exec(L"DELETE FROM DelImage;");
            Exec(L"DELETE FROM Snimok;");
        } else if (c.flags == kJobArchive) {
            EXPECT_EQ(std::to_wstring(static_cast<LONG>(kSerial)), Stamp(goodKey));
            EXPECT_EQ(rows, Count(L"Snimok WHERE Arj IS NULL")) << "the refused images are not stamped";
            EXPECT_TRUE(Exists(disk->Folder() + L"Images\\" + good + L".xmg"));
            Exec(L"DELETE FROM Snimok;");
        } else {
            EXPECT_EQ(L"0", DiskFlag(goodKey));
            EXPECT_FALSE(Exists(HddImage(good)));
            EXPECT_EQ(rows - 1, Count(L"Snimok WHERE [Disk]=1")) << "the refused images keep their mark";
        }
    }
}

// A copy that says it succeeded but is not whole, or that fails half-way,
// is removed from the disk, and nothing records it: the image is not
// stamped, the previous backup stays the disk's backup.
TEST_F(ArchiveFilesTest, CopiesThatAreNotWholeAreRemovedAndNotRecorded)
{
    struct Case {
        const char* what;
        DWORD flags;
        const wchar_t* shortTail;
        BOOL result;
        DWORD error;
        unsigned action;   // what the user is asked
    };
    const Case cases[] = {
        {"a thumbnail that reports success for half", kJobArchive, L".thb", TRUE, 0, IDS_TRY_OTHER_DISK},
        {"a thumbnail cut off by a full disk", kJobArchive, L".thb", FALSE, ERROR_DISK_FULL, IDS_DISK_FULL},
        {"a backup that reports success for half", kJobBackup, L"hospital.bak.tmp", TRUE, 0, IDS_TRY_OTHER_DISK},
    };
    DiskMedium* disk = DiskInTheDrive();
    UseBackupSlots(backup_);
    const std::wstring oldBackup = disk->Folder() + L"hospital.bak";
    ASSERT_TRUE(WriteFileOfSize(oldBackup, 20000));
    const LONG key = AddImage(patient_, L"C0000000001", 30000, L"2021-01-01", 3000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        seam_.shortTail = c.shortTail;
        seam_.shortResult = c.result;
        seam_.shortError = c.error;
        const WorkerReport report = host_.RunArchive(c.flags, 0, 1);   // Stop at the question
        EXPECT_EQ(1u, report.exitCode) << report.Texts();
        EXPECT_EQ(1, report.asks);
        EXPECT_TRUE(report.HasAction(Str(c.action))) << report.Texts();
        EXPECT_EQ(L"<null>", Stamp(key));
        EXPECT_FALSE(Exists(disk->Folder() + L"Images\\C0000000001.xmg"));
        EXPECT_FALSE(Exists(disk->Folder() + L"Images\\C0000000001.thb"));
        EXPECT_EQ(20000, FileSize(oldBackup));
        EXPECT_FALSE(Exists(oldBackup + L".tmp"));
    }
    DWORD last = 0, size = sizeof last;
    EXPECT_FALSE(ArjRegRead(L"BackupDB", L"LastFile", REG_DWORD, &last, &size)) << "no backup reached the disk";
}

// A disk that holds a backup and no room for a second one beside it: the archive disk filled with images up to
// its reserve, the slot folder's disk. The next backup takes the old one's place and the job completes; one that
// fits in neither place leaves the old one whole.
TEST_F(ArchiveFilesTest, BackupsGoOnOnDisksWithRoomForOne)
{
    Grow(900);   // a backup of about 0.9 MB, inside a reserve of 1 MB
    DiskMedium* disk = DiskInTheDrive(3072);
    TmpfsDisk slotDisk(1536);
    ASSERT_TRUE(slotDisk.Mounted()) << slotDisk.Error();
    UseBackupSlots(slotDisk.Path());
    for (int i = 0; i < 25; ++i)
        AddImage(patient_, L"B00000000" + std::to_wstring(10 + i), 100000);

    // The first backup: the slot disk and the archive disk have room for it.
    const WorkerReport first = host_.RunArchive(kJobBackup);
    ASSERT_EQ(0u, first.exitCode) << first.Texts();
    const LONGLONG oldSize = FileSize(disk->Folder() + L"hospital.bak");
    ASSERT_GT(oldSize, 800 * 1024);
    // Images fill the archive disk up to its reserve: the job asks for
    // another disk (Stop).
    const WorkerReport images = host_.RunArchive(kJobArchive, 0, 25);
    ASSERT_TRUE(images.HasAction(Str(IDS_DISK_FULL))) << images.Texts();
    ASSERT_GT(Count(L"Snimok WHERE Arj IS NOT NULL"), 10);
    ASSERT_LT(disk->FreeBytes(), static_cast<ULONGLONG>(oldSize)) << "no room for a second backup";

    AddPatient(L"After the images");   // the next backup differs
    const WorkerReport second = host_.RunArchive(kJobBackup);

    EXPECT_EQ(0u, second.exitCode) << second.Texts();
    const std::wstring slot = slotDisk.Path() + L"1\\hospital.bak";
    EXPECT_GT(FileSize(slot), 0);
    EXPECT_EQ(FileSize(slot), FileSize(disk->Folder() + L"hospital.bak")) << "the disk holds the new backup whole";
    EXPECT_FALSE(Exists(disk->Folder() + L"hospital.bak.tmp"));
    EXPECT_FALSE(Exists(slot + L".partial"));
    DWORD last = 0, size = sizeof last;
    EXPECT_TRUE(ArjRegRead(L"BackupDB", L"LastFile", REG_DWORD, &last, &size));
    EXPECT_EQ(1u, last);

    const LONGLONG previous = FileSize(slot);
    Grow(900);
    const WorkerReport third = host_.RunArchive(kJobBackup);
    EXPECT_EQ(static_cast<DWORD>(-1), third.exitCode) << third.Texts();
    EXPECT_EQ(previous, FileSize(slot)) << "the previous backup made room for one that does not fit";
}

// A backup that fits the slot's disk by the database's pages alone, with no room for what writing it takes beside
// them: the previous backup, small enough that the new one would fit in its room by the pages too, is not given up
// for it, and the step fails with the database's reason.
TEST_F(ArchiveFilesTest, BackupThatFitsByItsPagesAloneKeepsThePreviousOne)
{
    Grow(200);
    DiskInTheDrive();
    TmpfsDisk slotDisk(2048);
    ASSERT_TRUE(slotDisk.Mounted()) << slotDisk.Error();
    UseBackupSlots(slotDisk.Path());
    const std::wstring slot = slotDisk.Path() + L"1\\hospital.bak";
    const WorkerReport first = host_.RunArchive(kJobBackup);
    ASSERT_EQ(0u, first.exitCode) << first.Texts();
    const LONGLONG pages = FileSize(slot);   // a backup is the database's pages
    ASSERT_GT(pages, 0);

    const LONGLONG previous = 16 * 1024;
    ASSERT_TRUE(WriteFileOfSize(slot, previous));
    ULARGE_INTEGER available = {}, total = {}, freeBytes = {};
    ASSERT_TRUE(GetDiskFreeSpaceExW(slotDisk.Path().c_str(), &available, &total, &freeBytes));
    ASSERT_GE(freeBytes.QuadPart, static_cast<ULONGLONG>(pages));
    ASSERT_TRUE(WriteFileOfSize(slotDisk.Path() + L"filler", freeBytes.QuadPart - pages));
    ASSERT_TRUE(GetDiskFreeSpaceExW(slotDisk.Path().c_str(), &available, &total, &freeBytes));
    ASSERT_EQ(static_cast<ULONGLONG>(pages), freeBytes.QuadPart) << "the disk has room for the pages alone";

    const WorkerReport second = host_.RunArchive(kJobBackup);

    EXPECT_EQ(static_cast<DWORD>(-1), second.exitCode) << second.Texts();
    EXPECT_TRUE(second.HasFault(L"no room")) << second.Texts();
    EXPECT_EQ(previous, FileSize(slot)) << "the previous backup is kept";
    EXPECT_FALSE(Exists(slot + L".partial"));
}
