// The archive worker's copies: images copied to the archive disk and
// stamped with its serial, the room kept for the reserve with cluster
// rounding, a full disk swapped for another, an unregistered disk, no disk,
// a missing source file, a failed or short copy and a volume configuration
// that cannot be read.
#include "archive_fixture.h"

#include "archive/arjworker.h"
#include "common/prompt_script.h"
#include "database/dbstart.h"
#include "foundation/globals.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

using namespace arjtest;

namespace {

const DWORD kSerial1 = 0x1A2B3C4D;
const DWORD kSerial2 = 0x2B3C4D5E;

class ArchiveCopyTest : public ArchiveDbTest {
protected:
    void SetUp() override
    {
        ArchiveDbTest::SetUp();
        if (HasFatalFailure())
            return;
        patient_ = AddPatient(L"Sidorov");
    }
    static std::wstring Serial(DWORD serial) { return std::to_wstring(static_cast<LONG>(serial)); }
    LONG patient_ = 0;
    WorkerHost host_;
};

// A copy that says it succeeded but wrote half the file.
BOOL WINAPI ShortCopy(const wchar_t* source, const wchar_t* target, LPPROGRESS_ROUTINE, void*, BOOL*, DWORD)
{
    const LONGLONG size = FileSize(source);
    return WriteFileOfSize(target, size > 0 ? static_cast<ULONGLONG>(size / 2) : 0) ? TRUE : FALSE;
}

}  // namespace

TEST_F(ArchiveCopyTest, EveryImageIsCopiedWithItsThumbnailAndStampedWithTheDiskSerial)
{
    DiskMedium* disk = ReadyDisk(2048, kSerial1, "MO1");
    ASSERT_TRUE(InsertDisk(disk));
    const LONG a = AddImage(patient_, L"S0000000001", 100000, L"2021-01-01", 900);
    const LONG b = AddImage(patient_, L"S0000000002", 120000, L"2021-01-02", 800);
    const LONG c = AddImage(patient_, L"S0000000003", 140000, L"2021-01-03", 700);
    const LONG archived = AddImage(patient_, L"S0000000004", 1000, L"2021-01-04", 700, static_cast<LONG>(kSerial1));

    const WorkerReport report = host_.RunArchive(kJobArchive, 0, 3, 0);

    EXPECT_EQ(0u, report.exitCode) << report.Texts();
    EXPECT_EQ(0, report.asks) << report.Texts();
    for (LONG key : {a, b, c, archived})
        EXPECT_EQ(Serial(kSerial1), Stamp(key));
    for (const wchar_t* name : {L"S0000000001", L"S0000000002", L"S0000000003"}) {
        EXPECT_EQ(FileSize(HddImage(name)), FileSize(disk->Folder() + L"Images\\" + name + L".xmg")) << Narrow(name);
        EXPECT_EQ(FileSize(HddIcon(name)), FileSize(disk->Folder() + L"Images\\" + name + L".thb")) << Narrow(name);
        EXPECT_TRUE(Exists(HddImage(name))) << "the hard-disk copy stays";
    }
    EXPECT_FALSE(Exists(disk->Folder() + L"Images\\S0000000004.xmg")) << "an archived image is not copied again";
    EXPECT_EQ(0, report.notArchived);
    EXPECT_EQ(3, report.copied);
    // The rows come in the database's order; whatever it is, the average
    // starts at the first image's size and moves by a tenth, so it ends
    // between the smallest and the largest size.
    EXPECT_GE(report.average, 100000u);
    EXPECT_LE(report.average, 140000u);
}

TEST_F(ArchiveCopyTest, ArchivePathWithoutItsBackslashStillNamesTheFolder)
{
    DiskMedium* disk = ReadyDisk(0, kSerial1, "MO1");
    ASSERT_TRUE(InsertDisk(disk));
    const std::wstring path = ArchivePath;
    ArchivePath[path.size() - 1] = 0;   // "L:\Images"
    const LONG a = AddImage(patient_, L"S0000000011", 5000);
    const WorkerReport report = host_.RunArchive(kJobArchive, 0, 1, 0);
    EXPECT_EQ(0u, report.exitCode) << report.Texts();
    EXPECT_EQ(Serial(kSerial1), Stamp(a));
    EXPECT_TRUE(Exists(disk->Folder() + L"Images\\S0000000011.xmg"));
    EXPECT_FALSE(Exists(disk->Folder() + L"ImagesS0000000011.xmg"));
}

TEST_F(ArchiveCopyTest, RoomKeepsTheOutstandingReserveAndCountsWholeClustersPlusOne)
{
    DiskMedium* disk = ReadyDisk(4096, kSerial1, "MO1");
    WriteDiskCfg(disk->Folder(), 1, {L"hospital.bak"});   // 1 MB outstanding: the backup is absent
    ASSERT_TRUE(InsertDisk(disk));
    const std::wstring root = std::wstring(1, ArchiveLetter()) + L":\\";
    DWORD sectors = 0, bytes = 0, freeClusters = 0, clusters = 0;
    ASSERT_TRUE(GetDiskFreeSpaceW(root.c_str(), &sectors, &bytes, &freeClusters, &clusters));
    const ULONGLONG cluster = static_cast<ULONGLONG>(sectors) * bytes;
    ASSERT_EQ(4096u, cluster) << "a tmpfs page is the cluster the expectations count in";
    const ULONGLONG freeBytes = disk->FreeBytes();
    const ULONGLONG reserve = 1048576;
    ASSERT_EQ(0u, freeBytes % cluster);
    // The first image leaves exactly one cluster more than the reserve: it
    // goes. The second (one cluster of data and a thumbnail of 100 bytes)
    // would fit byte for byte, but needs two clusters and a thumbnail
    // cluster, more than is left above the reserve: it waits.
    const ULONGLONG first = freeBytes - reserve - 3 * cluster;
    const LONG a = AddImage(patient_, L"S0000000021", static_cast<DWORD>(first), L"2021-01-01", 100);
    const LONG b = AddImage(patient_, L"S0000000022", static_cast<DWORD>(cluster), L"2021-01-02", 100);

    host_.onAsk = [](WorkerHost&, const WorkerReport&) { return kAnswerStop; };
    const WorkerReport report = host_.RunArchive(kJobArchive, 0, 2, 0);

    EXPECT_EQ(Serial(kSerial1), Stamp(a)) << report.Texts();
    EXPECT_EQ(L"<null>", Stamp(b));
    EXPECT_EQ(1, report.asks);
    EXPECT_TRUE(report.HasAction(Str(IDS_DISK_FULL))) << report.Texts();
    EXPECT_EQ(1u, report.exitCode) << "Stop at the question ends the job as stopped by the user";
    EXPECT_FALSE(Exists(disk->Folder() + L"Images\\S0000000022.xmg"));
    EXPECT_GT(disk->FreeBytes(), reserve) << "the reserve stayed free";
}

TEST_F(ArchiveCopyTest, FullDiskIsSwappedForAnotherAndTheJobGoesOn)
{
    DiskMedium* small = ReadyDisk(512, kSerial1, "MO1");
    DiskMedium* large = ReadyDisk(2048, kSerial2, "MO2");
    ASSERT_TRUE(InsertDisk(small));
    std::vector<LONG> keys;
    for (int i = 0; i < 5; ++i)
        keys.push_back(AddImage(patient_, L"S000000003" + std::to_wstring(i), 150000, L"2021-01-01", 1000));

    int asks = 0;
    host_.onAsk = [&](WorkerHost&, const WorkerReport& seen) {
        ++asks;
        EXPECT_TRUE(seen.HasAction(Str(IDS_DISK_FULL))) << seen.Texts();
        EXPECT_EQ(3, Count(L"Snimok WHERE Arj=" + Serial(kSerial1))) << "the stamps so far are committed before asking";
        EjectDisk();
        InsertDisk(large);
        return kAnswerContinue;
    };
    const WorkerReport report = host_.RunArchive(kJobArchive, 0, 5, 0);

    EXPECT_EQ(0u, report.exitCode) << report.Texts();
    EXPECT_EQ(1, asks);
    int onSmall = 0, onLarge = 0;
    for (int i = 0; i < 5; ++i) {
        const std::wstring name = L"S000000003" + std::to_wstring(i);
        const std::wstring stamp = Stamp(keys[i]);
        if (stamp == Serial(kSerial1)) {
            ++onSmall;
            EXPECT_EQ(150000, FileSize(small->Folder() + L"Images\\" + name + L".xmg"));
        } else {
            ++onLarge;
            EXPECT_EQ(Serial(kSerial2), stamp);
            EXPECT_EQ(150000, FileSize(large->Folder() + L"Images\\" + name + L".xmg"));
            EXPECT_FALSE(Exists(small->Folder() + L"Images\\" + name + L".xmg")) << "no partial copy stays behind";
        }
    }
    EXPECT_EQ(3, onSmall);
    EXPECT_EQ(2, onLarge);
    EXPECT_EQ(0, report.notArchived);
    EXPECT_EQ(5, report.copied);
}

TEST_F(ArchiveCopyTest, UnregisteredDiskAsksAndTakesCopiesOnceRegistered)
{
    DiskMedium* disk = MakeDisk(0, kSerial1, "NEW");
    CreateDirectoryW((disk->Folder() + L"Images").c_str(), nullptr);
    ASSERT_TRUE(InsertDisk(disk));
    const LONG a = AddImage(patient_, L"S0000000041", 3000);
    host_.onAsk = [&](WorkerHost&, const WorkerReport& seen) {
        EXPECT_TRUE(seen.HasAction(Str(IDS_DISK_NOT_REGISTERED))) << seen.Texts();
        EXPECT_TRUE(seen.HasFault(Str(IDS_DISK_NOT_REGISTERED_CHANGE))) << seen.Texts();
        RegisterDisk(kSerial1, L"NEW");
        return kAnswerContinue;
    };
    const WorkerReport report = host_.RunArchive(kJobArchive, 0, 1, 0);
    EXPECT_EQ(0u, report.exitCode) << report.Texts();
    EXPECT_EQ(1, report.asks);
    EXPECT_EQ(Serial(kSerial1), Stamp(a));
}

TEST_F(ArchiveCopyTest, StopAtTheUnregisteredDiskEndsAsStoppedByTheUser)
{
    DiskMedium* disk = MakeDisk(0, kSerial1, "NEW");
    ASSERT_TRUE(InsertDisk(disk));
    const LONG a = AddImage(patient_, L"S0000000042", 3000);
    const WorkerReport report = host_.RunArchive(kJobArchive, 0, 1, 0);
    EXPECT_EQ(1u, report.exitCode) << report.Texts();
    EXPECT_EQ(L"<null>", Stamp(a));
    EXPECT_FALSE(Exists(disk->Folder() + L"Images\\S0000000042.xmg"));
}

TEST_F(ArchiveCopyTest, NoDiskInTheDriveAsksUntilOneIsInserted)
{
    DiskMedium* disk = ReadyDisk(0, kSerial1, "MO1");
    const LONG a = AddImage(patient_, L"S0000000051", 3000);
    host_.onAsk = [&](WorkerHost&, const WorkerReport& seen) {
        EXPECT_TRUE(seen.HasAction(Str(IDS_CHECK_DISK_IN_DRIVE))) << seen.Texts();
        EXPECT_FALSE(seen.faults.empty() || seen.faults.back().empty()) << "the system's reason is shown";
        InsertDisk(disk);
        return kAnswerContinue;
    };
    const WorkerReport report = host_.RunArchive(kJobArchive, 0, 1, 0);
    EXPECT_EQ(0u, report.exitCode) << report.Texts();
    EXPECT_EQ(1, report.asks);
    EXPECT_EQ(Serial(kSerial1), Stamp(a));
}

TEST_F(ArchiveCopyTest, MissingSourceFileNamesThePatientAndTheImage)
{
    DiskMedium* disk = ReadyDisk(0, kSerial1, "MO1");
    ASSERT_TRUE(InsertDisk(disk));
    const LONG a = AddImage(patient_, L"S0000000061", 3000);
    DeleteFileW(HddImage(L"S0000000061").c_str());
    PromptScript prompts;
    const WorkerReport report = host_.RunArchive(kJobArchive, 0, 1, 0);
    EXPECT_EQ(1u, report.exitCode);
    EXPECT_TRUE(report.HasAction(L"S0000000061")) << report.Texts();
    EXPECT_TRUE(report.HasFault(L"Sidorov Ivan Petrovich")) << report.Texts();
    EXPECT_EQ(L"<null>", Stamp(a));
    EXPECT_EQ(0u, prompts.Count());
}

TEST_F(ArchiveCopyTest, CopyOfTheWrongSizeIsNotStampedAndNotKept)
{
    DiskMedium* disk = ReadyDisk(0, kSerial1, "MO1");
    ASSERT_TRUE(InsertDisk(disk));
    const LONG a = AddImage(patient_, L"S0000000071", 30000);
    SetArchiveCopyRoutine(ShortCopy);
    const WorkerReport report = host_.RunArchive(kJobArchive, 0, 1, 0);
    SetArchiveCopyRoutine(nullptr);
    EXPECT_EQ(1u, report.exitCode) << report.Texts();
    EXPECT_EQ(1, report.asks);
    EXPECT_TRUE(report.HasAction(Str(IDS_TRY_OTHER_DISK))) << report.Texts();
    EXPECT_EQ(L"<null>", Stamp(a));
    EXPECT_FALSE(Exists(disk->Folder() + L"Images\\S0000000071.xmg"));
}

TEST_F(ArchiveCopyTest, UnreadableVolumeConfigurationAsksInsteadOfWaitingSilently)
{
    DiskMedium* disk = ReadyDisk(0, kSerial1, "MO1");
    HANDLE file = CreateFileW((disk->Folder() + L"diskcfg.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                              nullptr);
    const char bad[] = "Reserv=1\r\nBogus=2\r\n";
    DWORD written = 0;
    WriteFile(file, bad, sizeof bad - 1, &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(InsertDisk(disk));
    const LONG a = AddImage(patient_, L"S0000000081", 3000);
    PromptScript prompts;
    int asks = 0;
    host_.onAsk = [&](WorkerHost&, const WorkerReport& seen) {
        ++asks;
        EXPECT_TRUE(seen.HasFault(Str(IDS_COPY_IMAGE_EXCEPTION))) << seen.Texts();
        if (asks == 1) {
            DeleteFileW((disk->Folder() + L"diskcfg.ini").c_str());
            return kAnswerContinue;   // the disk is read again and takes the copy
        }
        return kAnswerStop;
    };
    const WorkerReport report = host_.RunArchive(kJobArchive, 0, 1, 0);
    EXPECT_EQ(1, asks);
    EXPECT_EQ(0u, report.exitCode) << report.Texts();
    EXPECT_EQ(Serial(kSerial1), Stamp(a));
    EXPECT_EQ(0u, prompts.Count());
}

TEST_F(ArchiveCopyTest, NothingToArchiveEndsCompleteAndTheProtectionsThatRanOutGo)
{
    DiskMedium* disk = ReadyDisk(0, kSerial1, "MO1");
    ASSERT_TRUE(InsertDisk(disk));
    const LONG a = AddImage(patient_, L"S0000000091", 1000, L"2021-01-01", 100, static_cast<LONG>(kSerial1));
    const LONG b = AddImage(patient_, L"S0000000092", 1000, L"2021-01-01", 100, static_cast<LONG>(kSerial1));
    Exec(L"INSERT INTO FixSnimok (Snimok, [Date fix]) VALUES (" + std::to_wstring(a) + L", '2001-01-01');");
    Exec(L"INSERT INTO FixSnimok (Snimok, [Date fix]) VALUES (" + std::to_wstring(b) + L", '2101-01-01');");
    const WorkerReport report = host_.RunArchive(kJobArchive, 0, 0, 0);
    EXPECT_EQ(0u, report.exitCode) << report.Texts();
    EXPECT_EQ(0, report.asks);
    EXPECT_EQ(-99, report.copied) << "no copy, no counts";
    EXPECT_EQ(1, Count(L"FixSnimok"));
    EXPECT_EQ(std::to_wstring(b), Scalar(L"SELECT Snimok FROM FixSnimok;"));
}
