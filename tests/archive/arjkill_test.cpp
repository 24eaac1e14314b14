// The archive jobs killed at random moments, as a power cut or the task
// manager would end them: the archive copy, the free-space step and the
// backup run in a child process that is terminated; after each kill the
// database is sound, no row says more than the files do (a stamped image has
// its whole copy on the disk, an image on the hard disk its file there, the
// disk's backup is a whole database), and the next run completes and leaves
// nothing behind. TF_KILL_ROUNDS=20 ./test.sh -R ArchiveKill runs it longer.
#include "archive_fixture.h"

#include "archive/arjworker.h"
#include "common/child_jobs.h"
#include "common/site_checks.h"
#include "database/dbstart.h"
#include "exchange/disks/arjregistry.h"
#include "foundation/globals.h"
#include "foundation/settingskey.h"

#include <objbase.h>

#include <gtest/gtest.h>

using namespace arjtest;

namespace {

const DWORD kSerial = 0x4B494C4C;
DWORD gFileDelayMs = 0;

// Every copy and deletion of the job takes a while, so that the kills fall
// inside it.
BOOL WINAPI SlowCopy(const wchar_t* source, const wchar_t* target, LPPROGRESS_ROUTINE progress, void* data,
                     BOOL* cancel, DWORD flags)
{
    Sleep(gFileDelayMs);
    return CopyFileExW(source, target, progress, data, cancel, flags);
}

BOOL WINAPI SlowDelete(const wchar_t* path)
{
    Sleep(gFileDelayMs / 4);
    return DeleteFileW(path);
}

// The child: one archive job on the site the test made. Arguments: the
// database file, the data folder, the archive path, the settings key (below
// HKCU), the job flags, the delay of each copy. The exit code is the job's
// result word.
int RunArchiveJob(const std::vector<std::wstring>& args)
{
    if (args.size() != 6)
        return 98;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    static std::wstring settingsPath;
    settingsPath = args[3];
    SetSettingsRoot(SettingsRoot{HKEY_CURRENT_USER, settingsPath.c_str()});
    g_DbSource = DODBSource::Create();
    if (!g_DbSource.IsSet() ||
        FAILED(g_DbSource->OpenDataSource(
            (L"Provider=ZelkSQLite.1;Data Source=" + args[0] + L";Initial Catalog=Hospital").c_str())) ||
        FAILED(g_DbSource->CreateSession(g_DbSession)))
        return 97;
    testfix::UseDataFolders(args[1]);
    wcscpy(ArchivePath, args[2].c_str());
    SpaceArjStart = 0xFFFFFFFF;   // space is always wanted and never enough: every archived image goes
    SpaceArjEnd = 0xFFFFFFFF;
    gFileDelayMs = wcstoul(args[5].c_str(), nullptr, 10);
    SetArchiveCopyRoutine(SlowCopy);
    SetArchiveDeleteRoutine(SlowDelete);
    WorkerLink link;
    WorkerParams params;
    params.jobFlags = wcstoul(args[4].c_str(), nullptr, 10);
    params.startEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!link.StartArchiveThread(nullptr, nullptr, &params))
        return 96;
    WaitForSingleObject(link.Thread(), INFINITE);
    const DWORD result = link.Stop();
    link.Reset();
    return static_cast<int>(result);
}

TF_CHILD_JOB(ArchiveJob, RunArchiveJob);

class ArchiveKillTest : public ArchiveDbTest {
protected:
    void SetUp() override
    {
        ArchiveDbTest::SetUp();
        if (HasFatalFailure())
            return;
        patient_ = AddPatient(L"Zaitsev");
        disk_ = MakeDisk(0, kSerial, "KILL");
        RegisterDisk(kSerial, L"KILL");
        CreateDirectoryW((disk_->Folder() + L"Images").c_str(), nullptr);
        ASSERT_TRUE(InsertDisk(disk_));
        WriteDiskCfg(disk_->Folder(), 1, {L"hospital.bak"});
        UseBackupSlots(data_->Path() + L"Backup\\");
    }
    std::vector<std::wstring> Args(DWORD flags, DWORD delayMs)
    {
        return {databaseFile_, data_->Path(), ArchivePath, settingsKey_->Path(), std::to_wstring(flags),
                std::to_wstring(delayMs)};
    }
    // The site after a kill (or at the end): sound, and no row says more
    // than its files.
    void ExpectSiteTellsTheTruth(bool finished)
    {
        testfix::ExpectSiteConsistent(hddImages_, finished);
        const testfix::ArchiveAgreement archive =
            testfix::CompareArchiveWithFiles(hddImages_, hddIcons_, ArchivePath);
        EXPECT_TRUE(archive.stampedWithoutCopy.empty())
            << "stamped without a whole copy on the disk: " << testfix::JoinNames(archive.stampedWithoutCopy);
        if (finished) {
            EXPECT_TRUE(archive.freedWithFile.empty())
                << "freed images whose file is still there: " << testfix::JoinNames(archive.freedWithFile);
        }
    }

    LONG patient_ = 0;
    DiskMedium* disk_ = nullptr;
};

}  // namespace

TEST_F(ArchiveKillTest, JobsKilledAnywhereLeaveTheSiteTruthfulAndTheNextRunCompletes)
{
    struct Case {
        const char* job;
        DWORD flags;
        DWORD delayMs;                  // of each copy (a deletion takes a quarter)
        DWORD minKillMs, maxKillMs;     // after the child's start
        std::function<void()> setup;
        std::function<void()> afterKill;   // puts back work for the next round (after the checks)
        std::function<void()> atEnd;
    };
    std::vector<std::wstring> names;
    for (int i = 0; i < 12; ++i)
        names.push_back(L"K00000000" + std::to_wstring(10 + i));
    bool backupSeen = false;
    const std::wstring diskBackup = disk_->Folder() + L"hospital.bak";
    const Case cases[] = {
        {"archive copy", kJobArchive, 120, 300, 3000,
         [&] {
             for (const std::wstring& name : names)
                 AddImage(patient_, name, 150000, L"2020-01-01", 3000);
         },
         [&] { Exec(L"UPDATE Snimok SET Arj=NULL;"); },   // archived all over again
         [&] { EXPECT_EQ(0, Count(L"Snimok WHERE Arj IS NULL")); }},
        {"free space", kJobFreeSpace, 120, 300, 2500,
         [&] {
             // More images, archived as the archive job leaves them.
             for (int i = 0; i < 40; ++i) {
                 const std::wstring name = L"K0000000" + std::to_wstring(100 + i);
                 AddImage(patient_, name, 2000, L"2020-02-01", 200);
                 CopyFileW(HddImage(name).c_str(), ArchiveFile(name, L".xmg").c_str(), FALSE);
                 CopyFileW(HddIcon(name).c_str(), ArchiveFile(name, L".thb").c_str(), FALSE);
             }
             Exec(L"UPDATE Snimok SET Arj=" + std::to_wstring(static_cast<LONG>(kSerial)) + L";");
         },
         [&] {
             // The images the kill freed come back from the disk; one it cut
             // off between its row and its file stays as it was left.
             for (const std::wstring& row : Rows(L"SELECT Snimok, [File name] FROM Snimok WHERE [Disk]=0;")) {
                 const std::wstring key = row.substr(0, row.find(L'|')), name = row.substr(row.find(L'|') + 1);
                 if (Exists(HddImage(name)))
                     continue;
                 CopyFileW(ArchiveFile(name, L".xmg").c_str(), HddImage(name).c_str(), FALSE);
                 CopyFileW(ArchiveFile(name, L".thb").c_str(), HddIcon(name).c_str(), FALSE);
                 Exec(L"UPDATE Snimok SET [Disk]=1 WHERE Snimok=" + key + L";");
             }
         },
         [&] {
             EXPECT_EQ(0, Count(L"Snimok WHERE [Disk]=1"));
             wchar_t freeing[64] = L"";
             DWORD chars = 64;
             ArjRegRead(L"Arj", kFreeingImageValue, REG_SZ, freeing, &chars);
             EXPECT_STREQ(L"", freeing);
         }},
        {"backup", kJobBackup, 1200, 300, 2200, [&] {},
         [&] {
             // Once the disk had a whole backup it keeps one: it has room
             // for the next beside it.
             if (backupSeen) {
                 EXPECT_TRUE(Exists(diskBackup)) << "a kill cost the disk its backup";
             }
             if (Exists(diskBackup)) {
                 backupSeen = true;
                 testfix::ExpectDatabaseFileSound(diskBackup);
             }
             AddPatient(L"Between two backups");
         },
         [&] {
             testfix::ExpectDatabaseFileSound(diskBackup);
             EXPECT_FALSE(Exists(diskBackup + L".tmp"));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.job);
        c.setup();
        const harness::KillLoopResult result =
            harness::RunKillLoop(L"ArchiveJob", Args(c.flags, c.delayMs), c.minKillMs, c.maxKillMs, [&](int) {
                ExpectSiteTellsTheTruth(false);
                c.afterKill();
            });
        EXPECT_GT(result.killed, 0) << "no kill fell inside the job (" << result.finishedEarly << " ended first)";
        EXPECT_EQ(0u, result.finalExitCode);
        ExpectSiteTellsTheTruth(true);
        c.atEnd();
    }
}
