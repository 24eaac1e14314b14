// The archive-disk scan over simulated disks: two disks in turn (one serial
// above 0x80000000, kept negative in the tables), the disk service stand-in
// ejecting each scanned disk at the disk waiter's request and the test
// inserting the next; a rescan, a stop, an empty drive.
#include "sync_fixture.h"

#include "common/window_harness.h"
#include "exchange/disks/arjregistry.h"
#include "exchange/disks/diskwaiter.h"
#include "exchange/disks/removabledrive.h"
#include "exchange/sync/synctables.h"

#include <algorithm>
#include <cstring>

namespace extest {
namespace {

const DWORD kSerialA = 0x1234ABCD;
const DWORD kSerialB = 0x9ABCDEF0;   // negative as a key

class ArchiveScan : public SyncDbTest {
protected:
    void SetUp() override
    {
        SyncDbTest::SetUp();
        ASSERT_TRUE(drive.Leased()) << "no test drive letter is free";
    }
    std::wstring LastScanDisk()
    {
        wchar_t label[64] = L"";
        DWORD size = 64;
        ArjRegRead(kSynDbKey, kSynDbLastScanDisk, REG_SZ, label, &size);
        return label;
    }
    SimulatedDrive drive;
    TempDir diskA{L"tfdiskA"};
    TempDir diskB{L"tfdiskB"};
};

TEST_F(ArchiveScan, TwoDisksInTurnTheStandInEjectingEachAndTheNextInserted)
{
    MakeDemoImages(5);
    const std::vector<std::wstring> names = FileNames(L"Snimok");
    ASSERT_EQ(5u, names.size());
    // Disk A holds images 0-2, disk B images 2-4 (image 2 on both).
    for (int i = 0; i <= 2; ++i)
        ASSERT_TRUE(CopyImage(names[i], diskA.Path()));
    for (int i = 2; i <= 4; ++i)
        ASSERT_TRUE(CopyImage(names[i], diskB.Path()));
    DiskService service;
    ASSERT_TRUE(service.Listening());
    ASSERT_TRUE(drive.Insert(diskA.Path(), kSerialA, "ARCH_A"));

    TestSyncWindow window;
    SyncReport first = window.Run(kSyncScanMo, drive.Root());
    ASSERT_EQ(kSyncResultDone, first.result) << LastMessage(first);
    EXPECT_TRUE(first.HasMessage(L"Всего на диске(ARCH_A) Снимков: 3"));
    EXPECT_EQ(1, first.lastDisk);
    EXPECT_EQ(L"ARCH_A", LastScanDisk());
    ASSERT_TRUE(first.diskRequest);
    EXPECT_EQ(kSerialA, first.diskSerial);

    // The window hands the request to the disk waiter: eject A, wait for
    // any other disk.
    DiskWaiter waiter;
    waiter.SetOwner(window.Hwnd(), WM_DISK_PRESENT, 2, 0);
    waiter.SetDrivePath(drive.Root().c_str());
    ASSERT_TRUE(waiter.Begin(first.diskSerial, first.diskText.c_str(), 0));
    ASSERT_TRUE(harness::PumpUntil([&] { return !drive.HasDisk(); }, 10000)) << "the stand-in did not eject";
    EXPECT_GE(waiter.EjectRequests(), 1);
    ASSERT_TRUE(drive.Insert(diskB.Path(), kSerialB, "ARCH_B"));
    ASSERT_TRUE(harness::PumpUntil([&] { return !window.diskPresent.empty(); }, 10000));
    EXPECT_EQ(std::vector<WPARAM>{2}, window.diskPresent);
    waiter.Stop();

    SyncReport second = window.Run(kSyncScanMo, drive.Root());
    ASSERT_EQ(kSyncResultDone, second.result);
    EXPECT_TRUE(second.HasMessage(L"Всего на диске(ARCH_B) Снимков: 3"));
    EXPECT_EQ(kSerialB, second.diskSerial);
    EXPECT_EQ(L"ARCH_B", LastScanDisk());

    EXPECT_EQ(L"2", Scalar(L"SELECT COUNT(*) FROM Arj_tmp;"));
    EXPECT_EQ(L"ARCH_A", Scalar(L"SELECT Name FROM Arj_tmp WHERE arj=" + std::to_wstring(SerialToKey(kSerialA)) + L";"));
    EXPECT_EQ(L"ARCH_B", Scalar(L"SELECT Name FROM Arj_tmp WHERE arj=-1698898192;"));
    EXPECT_EQ(L"1", Scalar(L"SELECT COUNT(*) FROM Arj_tmp WHERE arj<0;"));
    const std::wstring a = std::to_wstring(SerialToKey(kSerialA)), b = std::to_wstring(SerialToKey(kSerialB));
    EXPECT_EQ((std::vector<std::wstring>{names[0], names[1]}), FileNames(L"Snimok_tmp", L"Arj=" + a));
    // The disk scanned last wins for the file on both.
    EXPECT_EQ((std::vector<std::wstring>{names[2], names[3], names[4]}), FileNames(L"Snimok_tmp", L"Arj=" + b));
    EXPECT_EQ(0, Count(L"Snimok_tmp WHERE [Disk]<>0"));
}

TEST_F(ArchiveScan, ARescanOfTheSameDiskChangesNothing)
{
    MakeDemoImages(3);
    for (const std::wstring& name : FileNames(L"Snimok"))
        ASSERT_TRUE(CopyImage(name, diskB.Path()));
    ASSERT_TRUE(drive.Insert(diskB.Path(), kSerialB, "ARCH_B"));
    TestSyncWindow window;
    ASSERT_EQ(kSyncResultDone, window.Run(kSyncScanMo, drive.Root()).result);
    const wchar_t kRows[] = L"SELECT Snimok, [File name], [Disk], Arj FROM Snimok_tmp ORDER BY Snimok;";
    const std::vector<std::wstring> before = Rows(kRows);
    ASSERT_EQ(3u, before.size());
    ASSERT_EQ(kSyncResultDone, window.Run(kSyncScanMo, drive.Root()).result);
    EXPECT_EQ(before, Rows(kRows));
    EXPECT_EQ(3, Count(L"Snimok_tmp"));
    EXPECT_EQ(1, Count(L"Arj_tmp"));
}

TEST_F(ArchiveScan, AStopRemovesThePassAndLeavesTheLastDiskAlone)
{
    for (int i = 0; i < 210; ++i) {
        wchar_t name[40];
        _snwprintf(name, 39, L"C%.10u%.10u.xmg", 2u, static_cast<unsigned>(i + 1));
        name[39] = 0;
        HANDLE f = CreateFileW((diskA.Path() + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(f);
    }
    ASSERT_TRUE(drive.Insert(diskA.Path(), kSerialB, "ARCH_B"));  // its key is negative
    TestSyncWindow window;
    window.HoldAt(SyncStep::ScanFileWritten, kScanPastFirstBatch);
    ASSERT_TRUE(window.Start(kSyncScanMo, drive.Root()));
    ASSERT_TRUE(window.WaitHeld());
    EXPECT_TRUE(window.Progress().SendStop());
    const SyncReport report = window.Finish();
    EXPECT_EQ(kSyncResultStopped, report.result);
    EXPECT_TRUE(report.HasMessage(L"Выполнение процедуры прервано пользователем"));
    EXPECT_FALSE(report.diskRequest);
    EXPECT_EQ(0, Count(L"Snimok_tmp"));
    EXPECT_EQ(1, Count(L"Arj_tmp"));
    EXPECT_EQ(L"", LastScanDisk());
}

// Disks are told apart by their serial: a second disk with the label of the
// first and a disk whose label is longer than the 20 characters of the name
// column are scanned like any other, into a table of disks that an earlier
// version made with unique names too, and the synchronisation registers
// all three.
TEST_F(ArchiveScan, DisksOfOneLabelAndOneOfALongLabelAreAllScanned)
{
    MakeDemoImages(3);
    const std::vector<std::wstring> names = FileNames(L"Snimok");
    Exec(L"CREATE TABLE [dbo].[Arj_tmp] ( [arj] [int] NOT NULL CONSTRAINT [PK_ArjTmp] PRIMARY KEY  CLUSTERED ON "
         L"[PRIMARY], [Name] [nvarchar] (20) NOT NULL CONSTRAINT [IX_ArjTmp_Name_Uq] UNIQUE  NONCLUSTERED )");
    struct Disk {
        DWORD serial;
        const char* label;
        const wchar_t* recorded;
    };
    const Disk kDisks[] = {
        {0x21000001, "ARCHIVE", L"ARCHIVE"},
        {0xA1000002, "ARCHIVE", L"ARCHIVE"},
        {0x21000003, "ARCHIVE_OF_THE_CLINIC_2024", L"ARCHIVE_OF_THE_CLINI"},
    };
    TestSyncWindow window;
    std::vector<std::wstring> expected;
    for (size_t i = 0; i < 3; ++i) {
        const Disk& disk = kDisks[i];
        SCOPED_TRACE(disk.label);
        TempDir folder(L"tfdiskL");
        ASSERT_TRUE(CopyImage(names[i], folder.Path()));
        ASSERT_TRUE(drive.Insert(folder.Path(), disk.serial, disk.label));
        const SyncReport report = window.Run(kSyncScanMo, drive.Root());
        ASSERT_EQ(kSyncResultDone, report.result) << LastMessage(report);
        const std::wstring label(disk.label, disk.label + strlen(disk.label));
        EXPECT_EQ(label != disk.recorded, report.HasMessage(L"\"" + label + L"\"")) << LastMessage(report);
        const std::wstring key = std::to_wstring(SerialToKey(disk.serial));
        EXPECT_EQ(std::vector<std::wstring>{names[i]}, FileNames(L"Snimok_tmp", L"Arj=" + key));
        expected.push_back(key + L"|" + disk.recorded);
        ASSERT_TRUE(drive.Eject());
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, Rows(L"SELECT arj, Name FROM Arj_tmp ORDER BY arj;"));
    CreateSyncTables(g_DbSession);
    const SyncReport sync = window.Run(kSyncDatabase, drive.Root());
    EXPECT_EQ(kSyncResultDone, sync.result) << LastMessage(sync);
    EXPECT_EQ(expected, Rows(L"SELECT Arj, Name FROM Arj ORDER BY Arj;"));
    EXPECT_EQ(3, Count(L"Snimok WHERE Arj IS NOT NULL"));
}

TEST_F(ArchiveScan, AnEmptyDriveFailsAtOnceWithTheDrivesError)
{
    ASSERT_TRUE(drive.Insert(diskA.Path(), kSerialA, "ARCH_A"));
    ASSERT_TRUE(drive.Eject());
    TestSyncWindow window;
    const SyncReport report = window.Run(kSyncScanMo, drive.Root());
    EXPECT_EQ(kSyncResultFailed, report.result);
    ASSERT_FALSE(report.messages.empty());
    EXPECT_EQ(0u, report.messages.back().find(L"Error Win32(")) << LastMessage(report);
    RemovableDrive probe;
    EXPECT_FALSE(probe.Query(drive.Root().c_str()));
    EXPECT_TRUE(IsNoDiskError(probe.GetLastError())) << probe.GetLastError();
    EXPECT_EQ(0, Count(L"Snimok_tmp"));
}

}  // namespace
}  // namespace extest
