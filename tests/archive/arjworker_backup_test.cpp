// The database backup: the server's backup into the rotating slot folders,
// its copy onto a prepared archive disk, the registry values it leaves, and
// a copy that fails without costing the disk its previous backup.
#include "archive_fixture.h"

#include "archive/arjworker.h"
#include "exchange/disks/arjregistry.h"
#include "foundation/globals.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

using namespace arjtest;

namespace {

const DWORD kSerial = 0x31415926;

class BackupTest : public ArchiveDbTest {
protected:
    void SetUp() override
    {
        ArchiveDbTest::SetUp();
        if (HasFatalFailure())
            return;
        backup_ = data_->Path() + L"Backup\\";
        CreateDirectoryW(backup_.c_str(), nullptr);
        for (int i = 1; i <= 3; ++i)
            CreateDirectoryW((backup_ + std::to_wstring(i)).c_str(), nullptr);
        SetText(L"BackupPath", backup_);
        SetText(L"File", L"hospital.bak");
        SetDword(L"nMaxFiles", 3);
    }
    void SetText(const wchar_t* name, const std::wstring& value)
    {
        ASSERT_TRUE(ArjRegWrite(L"BackupDB", name, REG_SZ, value.c_str(), 0));
    }
    void SetDword(const wchar_t* name, DWORD value)
    {
        ASSERT_TRUE(ArjRegWrite(L"BackupDB", name, REG_DWORD, &value, sizeof value));
    }
    DWORD LastFile()
    {
        DWORD value = 0, size = sizeof value;
        return ArjRegRead(L"BackupDB", L"LastFile", REG_DWORD, &value, &size) ? value : 0xFFFFFFFF;
    }
    std::wstring Text(const wchar_t* name)
    {
        wchar_t value[300] = L"";
        DWORD chars = 300;
        ArjRegRead(L"BackupDB", name, REG_SZ, value, &chars);
        return value;
    }
    DiskMedium* PreparedDisk(unsigned kilobytes, const char* label)
    {
        DiskMedium* disk = MakeDisk(kilobytes, kSerial, label);
        WriteDiskCfg(disk->Folder(), 1, {L"hospital.bak"});
        return disk;
    }
    std::wstring backup_;
    WorkerHost host_;
};

}  // namespace

TEST_F(BackupTest, SlotsRotateAndTheDiskGetsEachBackup)
{
    DiskMedium* disk = PreparedDisk(0, "DBDISK");
    ASSERT_TRUE(InsertDisk(disk));
    const DWORD slots[] = {1, 2, 3, 1};
    for (DWORD slot : slots) {
        AddPatient(L"Another");   // every backup differs from the last
        const WorkerReport report = host_.RunArchive(kJobBackup);
        ASSERT_EQ(0u, report.exitCode) << report.Texts();
        EXPECT_EQ(slot, LastFile());
        const std::wstring made = backup_ + std::to_wstring(slot) + L"\\hospital.bak";
        ASSERT_TRUE(Exists(made)) << Narrow(made);
        EXPECT_EQ(FileSize(made), FileSize(disk->Folder() + L"hospital.bak"));
        EXPECT_FALSE(Exists(disk->Folder() + L"hospital.bak.tmp"));
        EXPECT_GE(report.diskInfo, 1);
        EXPECT_GE(report.diskSpace, 1);
    }
    EXPECT_EQ(L"DBDISK", Text(L"DiskLastCopyDB"));
    BYTE date[8] = {};
    DWORD size = sizeof date;
    EXPECT_TRUE(ArjRegRead(L"BackupDB", L"LastDBDate", REG_BINARY, date, &size));
    EXPECT_EQ(8u, size);
    EXPECT_GT(FileSize(backup_ + L"1\\hospital.bak"), 0);
}

TEST_F(BackupTest, LoweredSlotCountStartsAgainAtOneAndAMissingPathMeansTheDataFolder)
{
    DiskMedium* disk = PreparedDisk(0, "DBDISK");
    ASSERT_TRUE(InsertDisk(disk));
    SetDword(L"LastFile", 7);
    const WorkerReport report = host_.RunArchive(kJobBackup);
    ASSERT_EQ(0u, report.exitCode) << report.Texts();
    EXPECT_EQ(1u, LastFile());
    EXPECT_TRUE(Exists(backup_ + L"1\\hospital.bak"));

    // Without "BackupPath" the backups go below the data folder, as the
    // backup settings keep them.
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(settings_, L"BackupDB", 0, KEY_SET_VALUE, &key));
    RegDeleteValueW(key, L"BackupPath");
    RegCloseKey(key);
    const WorkerReport second = host_.RunArchive(kJobBackup);
    ASSERT_EQ(0u, second.exitCode) << second.Texts();
    EXPECT_EQ(2u, LastFile());
    EXPECT_TRUE(Exists(std::wstring(DataPath) + L"Backup\\2\\hospital.bak"));
}

TEST_F(BackupTest, ZeroSlotsIsRefusedAndNothingIsBackedUp)
{
    DiskMedium* disk = PreparedDisk(0, "DBDISK");
    ASSERT_TRUE(InsertDisk(disk));
    SetDword(L"nMaxFiles", 0);
    const WorkerReport report = host_.RunArchive(kJobBackup);
    EXPECT_EQ(static_cast<DWORD>(-1), report.exitCode);
    EXPECT_TRUE(report.HasFault(Str(IDS_INVALID_MAX_FILES))) << report.Texts();
    EXPECT_FALSE(Exists(disk->Folder() + L"hospital.bak"));
    EXPECT_EQ(0xFFFFFFFFu, LastFile());
}

TEST_F(BackupTest, MissingValueIsNamedInTheReport)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(settings_, L"BackupDB", 0, KEY_SET_VALUE, &key));
    RegDeleteValueW(key, L"File");
    RegCloseKey(key);
    const WorkerReport report = host_.RunArchive(kJobBackup);
    EXPECT_EQ(static_cast<DWORD>(-1), report.exitCode);
    EXPECT_TRUE(report.HasFault(Str(IDS_REGISTRY_VALUE_READ_ERROR) + L"File")) << report.Texts();
}

TEST_F(BackupTest, DiskWithoutDiskcfgIsRefusedUntilAPreparedOneIsInserted)
{
    DiskMedium* plain = MakeDisk(0, 0x12121212, "PLAIN");
    DiskMedium* prepared = PreparedDisk(0, "DBDISK");
    ASSERT_TRUE(InsertDisk(plain));
    host_.onAsk = [&](WorkerHost&, const WorkerReport& seen) {
        EXPECT_TRUE(seen.HasAction(Str(IDS_DISK_NOT_PREPARED_FOR_BACKUP))) << seen.Texts();
        EXPECT_TRUE(seen.HasFault(Str(IDS_INSERT_ANOTHER_DISK))) << seen.Texts();
        EjectDisk();
        InsertDisk(prepared);
        return kAnswerContinue;
    };
    const WorkerReport report = host_.RunArchive(kJobBackup);
    EXPECT_EQ(0u, report.exitCode) << report.Texts();
    EXPECT_EQ(1, report.asks);
    EXPECT_FALSE(Exists(plain->Folder() + L"hospital.bak"));
    EXPECT_TRUE(Exists(prepared->Folder() + L"hospital.bak"));
}

TEST_F(BackupTest, FailedCopyKeepsThePreviousBackupWhole)
{
    DiskMedium* disk = PreparedDisk(64, "SMALL");
    const std::wstring old = disk->Folder() + L"hospital.bak";
    ASSERT_TRUE(WriteFileOfSize(old, 20000));
    ASSERT_TRUE(InsertDisk(disk));
    for (int i = 0; i < 200; ++i)
        AddPatient(L"Padding the backup");   // larger than the disk's room
    const WorkerReport report = host_.RunArchive(kJobBackup);
    EXPECT_EQ(1u, report.exitCode) << "Stop at the full disk: " << report.Texts();
    EXPECT_TRUE(report.HasAction(Str(IDS_DISK_FULL))) << report.Texts();
    EXPECT_EQ(20000, FileSize(old)) << "the old backup is untouched";
    EXPECT_FALSE(Exists(old + L".tmp"));
    EXPECT_EQ(0xFFFFFFFFu, LastFile()) << "the slot advances only when the disk has the backup";
}

TEST_F(BackupTest, BackupIntoAFolderWithAQuoteInItsName)
{
    DiskMedium* disk = PreparedDisk(0, "DBDISK");
    ASSERT_TRUE(InsertDisk(disk));
    const std::wstring quoted = data_->Path() + L"O'Brien\\";
    CreateDirectoryW(quoted.c_str(), nullptr);
    CreateDirectoryW((quoted + L"1").c_str(), nullptr);
    SetText(L"BackupPath", quoted);
    const WorkerReport report = host_.RunArchive(kJobBackup);
    EXPECT_EQ(0u, report.exitCode) << report.Texts();
    EXPECT_TRUE(Exists(quoted + L"1\\hospital.bak"));
}

TEST_F(BackupTest, DatabaseRefusingTheBackupFailsTheStepWithAMessage)
{
    DiskMedium* disk = PreparedDisk(0, "DBDISK");
    ASSERT_TRUE(InsertDisk(disk));
    RemoveDirectoryW((backup_ + L"1").c_str());   // the slot folder is missing
    const WorkerReport report = host_.RunArchive(kJobBackup);   // with no box: any would fail the test
    EXPECT_EQ(static_cast<DWORD>(-1), report.exitCode);
    EXPECT_TRUE(report.stopsWithError);
    EXPECT_TRUE(report.HasFault(backup_ + L"1\\hospital.bak")) << "the database's reason: " << report.Texts();
    EXPECT_FALSE(Exists(disk->Folder() + L"hospital.bak"));
}
