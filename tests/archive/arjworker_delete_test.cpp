// The archive job's deletions: hard-disk space freed by thresholds, oldest
// archived images first; and the images marked in DelImage deleted from the
// hard disk and from their archive disks, disk after disk.
#include "archive_fixture.h"

#include "archive/arjworker.h"
#include "common/prompt_script.h"
#include "foundation/globals.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

using namespace arjtest;

namespace {

const DWORD kSerial1 = 0x10203040;
const DWORD kSerial2 = 0x20304050;
const DWORD kImageBytes = 1048576;
const DWORD kThumbBytes = 1000;

class FreeSpaceTest : public ArchiveDbTest {
protected:
    void SetUp() override
    {
        ArchiveDbTest::SetUp();
        if (HasFatalFailure())
            return;
        MakeHardDisk(8192);
        if (HasFatalFailure())
            return;
        RegisterDisk(kSerial1, L"MO1");
        patient_ = AddPatient(L"Kuznetsov");
        // Oldest first: one not archived, one protected, then four archived.
        notArchived_ = AddImage(patient_, L"K0000000001", kImageBytes, L"2019-01-01", kThumbBytes);
        protected_ = AddImage(patient_, L"K0000000002", kImageBytes, L"2019-02-01", kThumbBytes, Arj());
        Exec(L"INSERT INTO FixSnimok (Snimok, [Date fix]) VALUES (" + std::to_wstring(protected_) +
             L", '2101-01-01');");
        for (int i = 3; i <= 6; ++i)
            archived_.push_back(AddImage(patient_, L"K000000000" + std::to_wstring(i), kImageBytes,
                                         (L"2019-0" + std::to_wstring(i) + L"-01").c_str(), kThumbBytes, Arj()));
    }
    static LONG Arj() { return static_cast<LONG>(kSerial1); }
    ULONGLONG FreeMb() const { return hdd_->FreeBytes() / 1048576; }
    std::wstring Disk(LONG key)
    {
        return Scalar(L"SELECT [Disk] FROM Snimok WHERE Snimok=" + std::to_wstring(key) + L";");
    }

    LONG patient_ = 0, notArchived_ = 0, protected_ = 0;
    std::vector<LONG> archived_;
    WorkerHost host_;
};

}  // namespace

TEST_F(FreeSpaceTest, OldestArchivedImagesGoUntilTheEndThresholdIsReached)
{
    const ULONGLONG freeBytes = hdd_->FreeBytes();
    SpaceArjStart = static_cast<DWORD>(freeBytes / 1048576 + 1);
    SpaceArjEnd = static_cast<DWORD>(freeBytes / 1048576 + 3);
    // How many deletions reach the end threshold: each frees the image and
    // the thumbnail's page.
    size_t expected = 0;
    while ((freeBytes + expected * (kImageBytes + 4096)) / 1048576 < SpaceArjEnd)
        ++expected;
    ASSERT_LE(expected, archived_.size());

    const WorkerReport report = host_.RunArchive(kJobFreeSpace);

    EXPECT_EQ(0u, report.exitCode) << report.Texts();
    for (size_t i = 0; i < archived_.size(); ++i) {
        const std::wstring name = L"K000000000" + std::to_wstring(i + 3);
        const bool gone = i < expected;
        EXPECT_EQ(gone ? L"0" : L"1", Disk(archived_[i])) << Narrow(name);
        EXPECT_EQ(!gone, Exists(HddImage(name))) << Narrow(name);
        EXPECT_EQ(!gone, Exists(HddIcon(name))) << Narrow(name);
    }
    EXPECT_EQ(L"1", Disk(notArchived_)) << "an image that is on no archive disk stays";
    EXPECT_EQ(L"1", Disk(protected_)) << "a protected image stays, however old";
    EXPECT_TRUE(Exists(HddImage(L"K0000000001")));
    EXPECT_TRUE(Exists(HddImage(L"K0000000002")));
    EXPECT_EQ(std::to_wstring(Arj()), Scalar(L"SELECT Arj FROM Snimok WHERE Snimok=" +
                                              std::to_wstring(archived_[0]) + L";"))
        << "the archive disk is kept";
    EXPECT_GE(FreeMb(), SpaceArjEnd);
}

TEST_F(FreeSpaceTest, FreeSpaceExactlyAtTheStartThresholdDeletesNothing)
{
    SpaceArjStart = static_cast<DWORD>(FreeMb());
    SpaceArjEnd = SpaceArjStart + 10;
    const WorkerReport report = host_.RunArchive(kJobFreeSpace);
    EXPECT_EQ(0u, report.exitCode) << report.Texts();
    EXPECT_EQ(6, Count(L"Snimok WHERE [Disk]=1"));
}

TEST_F(FreeSpaceTest, EndReachedAfterTheFirstDeletionTakesExactlyOneImage)
{
    const ULONGLONG freeBytes = hdd_->FreeBytes();
    SpaceArjStart = static_cast<DWORD>(freeBytes / 1048576 + 1);
    SpaceArjEnd = static_cast<DWORD>((freeBytes + kImageBytes + 4096) / 1048576);
    const WorkerReport report = host_.RunArchive(kJobFreeSpace);
    EXPECT_EQ(0u, report.exitCode) << report.Texts();
    EXPECT_EQ(L"0", Disk(archived_[0]));
    EXPECT_EQ(5, Count(L"Snimok WHERE [Disk]=1"));
}

TEST_F(FreeSpaceTest, ImageThatCannotBeDeletedIsAskedAboutAndRetried)
{
    SpaceArjStart = static_cast<DWORD>(FreeMb() + 1);
    SpaceArjEnd = SpaceArjStart + 1;
    // The oldest archived image's file is held open without sharing.
    HANDLE held = CreateFileW(HddImage(L"K0000000003").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    host_.onAsk = [&](WorkerHost&, const WorkerReport& seen) {
        EXPECT_TRUE(seen.HasAction(Str(IDS_UNKNOWN_ERROR_CALL_SERVICE))) << seen.Texts();
        EXPECT_EQ(L"1", Disk(archived_[0])) << "while the user decides, the row says where its file is";
        CloseHandle(held);
        held = INVALID_HANDLE_VALUE;
        return kAnswerContinue;
    };
    const WorkerReport report = host_.RunArchive(kJobFreeSpace);
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);
    EXPECT_EQ(1, report.asks) << report.Texts();
    EXPECT_EQ(0u, report.exitCode);
    EXPECT_EQ(L"0", Disk(archived_[0]));
    EXPECT_FALSE(Exists(HddImage(L"K0000000003")));
}

TEST_F(FreeSpaceTest, ArchivingFreesSpaceBeforeAndAfterItsCopies)
{
    DiskMedium* disk = MakeDisk(0, kSerial1, "MO1");
    CreateDirectoryW((disk->Folder() + L"Images").c_str(), nullptr);
    ASSERT_TRUE(InsertDisk(disk));
    SpaceArjStart = static_cast<DWORD>(FreeMb() + 1);
    SpaceArjEnd = SpaceArjStart + 1;
    const WorkerReport report = host_.RunArchive(kJobArchive | kJobFreeSpace, 0, 1);
    EXPECT_EQ(0u, report.exitCode) << report.Texts();
    EXPECT_EQ(std::to_wstring(Arj()), Scalar(L"SELECT Arj FROM Snimok WHERE Snimok=" + std::to_wstring(notArchived_) +
                                              L";"));
    EXPECT_EQ(L"0", Disk(archived_[0]));
}

// ---- marked images ----------------------------------------------------------------------

namespace {

class MarkedTest : public ArchiveDbTest {
protected:
    void SetUp() override
    {
        ArchiveDbTest::SetUp();
        if (HasFatalFailure())
            return;
        RegisterDisk(kSerial1, L"MO1");
        RegisterDisk(kSerial2, L"MO2");
        mo1_ = MakeDisk(0, kSerial1, "MO1");
        mo2_ = MakeDisk(0, kSerial2, "MO2");
        for (DiskMedium* disk : {mo1_, mo2_})
            CreateDirectoryW((disk->Folder() + L"Images").c_str(), nullptr);
    }
    // A DelImage row; the files where the row says they are.
    void Mark(const std::wstring& name, DiskMedium* disk, bool onHardDisk)
    {
        Exec(L"INSERT INTO DelImage ([File Name], Arj, [Disk]) VALUES ('" + name + L"', " +
             (disk ? std::to_wstring(static_cast<LONG>(disk->Serial())) : std::wstring(L"NULL")) + L", " +
             (onHardDisk ? L"1" : L"0") + L");");
        if (onHardDisk) {
            WriteFileOfSize(HddImage(name), 2000);
            WriteFileOfSize(HddIcon(name), 200);
        }
        if (disk) {
            WriteFileOfSize(disk->Folder() + L"Images\\" + name + L".xmg", 2000);
            WriteFileOfSize(disk->Folder() + L"Images\\" + name + L".thb", 200);
        }
    }
    bool Anywhere(const std::wstring& name)
    {
        for (const std::wstring& path : {HddImage(name), HddIcon(name), mo1_->Folder() + L"Images\\" + name + L".xmg",
                                         mo1_->Folder() + L"Images\\" + name + L".thb",
                                         mo2_->Folder() + L"Images\\" + name + L".xmg",
                                         mo2_->Folder() + L"Images\\" + name + L".thb"})
            if (Exists(path))
                return true;
        return false;
    }
    DiskMedium* mo1_ = nullptr;
    DiskMedium* mo2_ = nullptr;
    WorkerHost host_;
};

}  // namespace

TEST_F(MarkedTest, FilesGoFromTheHardDiskAndFromEachArchiveDiskInTurn)
{
    Mark(L"D0000000001", nullptr, true);    // only on the hard disk: no disk prompt
    Mark(L"D0000000002", mo1_, true);
    Mark(L"D0000000003", mo2_, false);
    Mark(L"D0000000004", mo1_, false);
    Mark(L"D0000000005", nullptr, false);   // already gone everywhere
    ASSERT_TRUE(InsertDisk(mo1_));
    std::vector<std::wstring> prompts;
    host_.onAsk = [&](WorkerHost&, const WorkerReport& seen) {
        prompts.push_back(seen.actions.empty() ? L"" : seen.actions.back());
        EjectDisk();
        InsertDisk(mo2_);
        return kAnswerContinue;
    };
    const WorkerReport report = host_.RunArchive(kJobDeleteMarked, 5);

    EXPECT_EQ(0u, report.exitCode) << report.Texts();
    ASSERT_EQ(1u, prompts.size()) << "one disk change: the rows of a disk come together";
    EXPECT_NE(std::wstring::npos, prompts[0].find(L"MO2 (2030-4050)")) << "the disk's name and serial: "
                                                                       << Narrow(prompts[0]);
    for (const wchar_t* name : {L"D0000000001", L"D0000000002", L"D0000000003", L"D0000000004", L"D0000000005"})
        EXPECT_FALSE(Anywhere(name)) << Narrow(name);
    EXPECT_EQ(0, Count(L"DelImage"));
    EXPECT_EQ(0, report.marked);
    ASSERT_FALSE(report.markedSeen.empty());
}

TEST_F(MarkedTest, MoreRowsThanTheWindowCountedStopTheCounterAtZero)
{
    Mark(L"D0000000011", nullptr, true);
    Mark(L"D0000000012", nullptr, true);
    Mark(L"D0000000013", nullptr, true);
    const WorkerReport report = host_.RunArchive(kJobDeleteMarked, 1);
    EXPECT_EQ(0u, report.exitCode) << report.Texts();
    EXPECT_EQ(0, Count(L"DelImage"));
    for (LONG seen : report.markedSeen)
        EXPECT_GE(seen, 0);
    EXPECT_EQ(0, report.marked);
}

TEST_F(MarkedTest, DiskThatArjDoesNotKnowStopsTheJob)
{
    DiskMedium* stranger = MakeDisk(0, 0x77777777, "X");
    Mark(L"D0000000021", stranger, true);
    ASSERT_TRUE(InsertDisk(mo1_));
    const WorkerReport report = host_.RunArchive(kJobDeleteMarked, 1);
    EXPECT_EQ(static_cast<DWORD>(-1), report.exitCode);
    EXPECT_TRUE(report.HasFault(Str(IDS_ARCHIVE_DISK_UNKNOWN))) << report.Texts();
    EXPECT_EQ(1, Count(L"DelImage")) << "the row stays for a later job";
    EXPECT_FALSE(Exists(HddImage(L"D0000000021"))) << "the hard-disk files went first";
}

TEST_F(MarkedTest, StopWhileWaitingForTheDiskEndsTheJobAndKeepsTheRow)
{
    Mark(L"D0000000031", mo2_, false);
    ASSERT_TRUE(InsertDisk(mo1_));
    const WorkerReport report = host_.RunArchive(kJobDeleteMarked, 1);
    EXPECT_EQ(static_cast<DWORD>(-1), report.exitCode) << "the marked deletion has no frame: its stop reaches the job";
    EXPECT_EQ(1, report.asks);
    EXPECT_TRUE(report.HasAction(L"MO2")) << report.Texts();
    EXPECT_EQ(1, Count(L"DelImage"));
    EXPECT_TRUE(Exists(mo2_->Folder() + L"Images\\D0000000031.xmg"));
}

TEST_F(MarkedTest, ArchiveFileThatCannotBeDeletedStopsTheJobWithItsName)
{
    Mark(L"D0000000041", mo1_, false);
    ASSERT_TRUE(InsertDisk(mo1_));
    const std::wstring path = std::wstring(ArchivePath) + L"D0000000041.thb";
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    const WorkerReport report = host_.RunArchive(kJobDeleteMarked, 1);
    CloseHandle(held);
    EXPECT_EQ(static_cast<DWORD>(-1), report.exitCode);
    EXPECT_TRUE(report.HasAction(L"D0000000041")) << report.Texts();
    EXPECT_TRUE(report.stopsWithError);
    EXPECT_EQ(1, Count(L"DelImage"));
    EXPECT_TRUE(Exists(mo1_->Folder() + L"Images\\D0000000041.xmg")) << "the image waits for its thumbnail";
}

TEST_F(MarkedTest, DeletingAnImageRecordsItsFilesForTheJob)
{
    const LONG patient = AddPatient(L"Orlov");
    const LONG key = AddImage(patient, L"D0000000051", 2000, L"2020-01-01", 200, static_cast<LONG>(kSerial1));
    WriteFileOfSize(mo1_->Folder() + L"Images\\D0000000051.xmg", 2000);
    Exec(L"{ call sp_delete_snimok_complete(" + std::to_wstring(key) + L") }");
    ASSERT_EQ(1, Count(L"DelImage"));
    ASSERT_TRUE(InsertDisk(mo1_));
    const WorkerReport report = host_.RunArchive(kJobDeleteMarked, 1);
    EXPECT_EQ(0u, report.exitCode) << report.Texts();
    EXPECT_FALSE(Anywhere(L"D0000000051"));
    EXPECT_EQ(0, Count(L"DelImage"));
}
