// The archive jobs killed at random moments, as a power cut or the task
// manager would end them: the archive copy, the free-space step and the
// backup run in a child process that is terminated; after each kill the
// database is sound, no row says more than the files do (a stamped image has
// its whole copy on the disk, an image on the hard disk its file there, the
// disk's backup is a whole database), and the next run completes and leaves
// nothing behind. The free-space step also dies before and between an image's
// two deletes.
#include "archive_fixture.h"

#include "archive/arjworker.h"
#include "common/child_jobs.h"
#include "common/site_checks.h"
#include "exchange/disks/arjregistry.h"
#include "foundation/globals.h"

#include <gtest/gtest.h>

using namespace arjtest;

namespace {

const DWORD kSerial = 0x4B494C4C;

// Every copy and deletion of the job pauses (a deletion a quarter as long),
// so that the kills fall inside it.
BOOL WINAPI SlowCopy(const wchar_t* source, const wchar_t* target, LPPROGRESS_ROUTINE progress, void* data,
                     BOOL* cancel, DWORD flags)
{
    harness::AtStep(harness::kArchiveSteps, 1);
    return CopyFileExW(source, target, progress, data, cancel, flags);
}

BOOL WINAPI SlowDelete(const wchar_t* path)
{
    harness::AtStep(harness::kArchiveSteps, 2, 1);
    return DeleteFileW(path);
}

// The child: one archive job on the site the test made. Arguments: the
// settings key (below HKCU), the database file, the data folder, the archive
// path, the job flags. The exit code is the job's result word.
int RunArchiveJob(const std::vector<std::wstring>& args)
{
    testfix::ChildSite site(args.at(0), args.at(1), args.at(2));
    if (!site.Open())
        return 97;
    wcscpy(ArchivePath, args.at(3).c_str());
    SpaceArjStart = 0xFFFFFFFF;   // space is always wanted and never enough: every archived image goes
    SpaceArjEnd = 0xFFFFFFFF;
    SetArchiveCopyRoutine(SlowCopy);
    SetArchiveDeleteRoutine(SlowDelete);
    WorkerLink link;
    WorkerParams params;
    params.jobFlags = wcstoul(args.at(4).c_str(), nullptr, 10);
    params.startEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!link.StartArchiveThread(nullptr, nullptr, &params))
        return 96;
    WaitForSingleObject(link.Thread(), INFINITE);
    const DWORD result = link.Stop();
    link.Reset();
    return static_cast<int>(result);
}

TF_CHILD_JOB(ArchiveJob, RunArchiveJob);

class ArchiveKill : public ArchiveDbTest {
protected:
    // The site after a kill (or at the end): sound, and no row says more
    // than its files.
    void ExpectSiteTellsTheTruth(bool finished)
    {
        testfix::ExpectSiteConsistent(hddImages_, finished);
        testfix::ExpectArchiveTellsTheTruth(hddImages_, hddIcons_, ArchivePath, finished);
    }
    harness::KillJob Row(const char* name, DWORD flags, DWORD pauseMs, DWORD maxKillMs, std::function<void()> setup,
                         std::function<void()> afterKill, std::function<void()> atEnd,
                         std::vector<harness::Death> deaths = {})
    {
        return {name, L"ArchiveJob",
                {settingsKey_->Path(), databaseFile_, data_->Path(), ArchivePath, std::to_wstring(flags)},
                deaths, pauseMs, 300, maxKillMs, setup,
                [this, afterKill] {
                    ExpectSiteTellsTheTruth(false);
                    afterKill();
                },
                [this, atEnd](DWORD exitCode) {
                    EXPECT_EQ(0u, exitCode);
                    ExpectSiteTellsTheTruth(true);
                    atEnd();
                }};
    }
};

}  // namespace

TEST_F(ArchiveKill, JobsKilledAnywhereLeaveTheSiteTruthfulAndTheNextRunCompletes)
{
    const LONG patient = AddPatient(L"Zaitsev");
    DiskMedium* disk = ReadyDisk(0, kSerial, "KILL");
    ASSERT_TRUE(InsertDisk(disk));
    WriteDiskCfg(disk->Folder(), 1, {L"hospital.bak"});
    UseBackupSlots(data_->Path() + L"Backup\\");
    bool backupSeen = false;
    // The images a free-space run freed come back from the disk; one cut off
    // between its row and its file stays as it was left.
    const auto bringBackFreed = [&] {
        for (const std::wstring& row : Rows(L"SELECT Snimok, [File name] FROM Snimok WHERE [Disk]=0;")) {
            const std::wstring key = row.substr(0, row.find(L'|')), name = row.substr(row.find(L'|') + 1);
            if (Exists(HddImage(name)))
                continue;
            CopyFileW(ArchiveFile(name, L".xmg").c_str(), HddImage(name).c_str(), FALSE);
            CopyFileW(ArchiveFile(name, L".thb").c_str(), HddIcon(name).c_str(), FALSE);
            Exec(L"UPDATE Snimok SET [Disk]=1 WHERE Snimok=" + key + L";");
        }
    };
    const std::wstring diskBackup = disk->Folder() + L"hospital.bak";
    harness::RunKillJobs({
        Row("archive copy", kJobArchive, 120, 3000,
            [&] {
                for (int i = 0; i < 12; ++i)
                    AddImage(patient, L"K00000000" + std::to_wstring(10 + i), 150000, L"2020-01-01", 3000);
            },
            [&] { Exec(L"UPDATE Snimok SET Arj=NULL;"); },   // archived all over again
            [&] { EXPECT_EQ(0, Count(L"Snimok WHERE Arj IS NULL")); }),
        Row("free space", kJobFreeSpace, 120, 2500,
            [&] {
                // More images, archived as the archive job leaves them.
                for (int i = 0; i < 40; ++i) {
                    const std::wstring name = L"K0000000" + std::to_wstring(100 + i);
                    AddImage(patient, name, 2000, L"2020-02-01", 200);
                    CopyFileW(HddImage(name).c_str(), ArchiveFile(name, L".xmg").c_str(), FALSE);
                    CopyFileW(HddIcon(name).c_str(), ArchiveFile(name, L".thb").c_str(), FALSE);
                }
                Exec(L"UPDATE Snimok SET Arj=" + std::to_wstring(static_cast<LONG>(kSerial)) + L";");
            },
            bringBackFreed,
            [&] {
                EXPECT_EQ(0, Count(L"Snimok WHERE [Disk]=1"));
                wchar_t freeing[64] = L"";
                DWORD chars = 64;
                ArjRegRead(L"Arj", kFreeingImageValue, REG_SZ, freeing, &chars);
                EXPECT_STREQ(L"", freeing);
                for (const std::wstring& name : Rows(L"SELECT [File name] FROM Snimok;"))
                    EXPECT_FALSE(Exists(HddIcon(name))) << Narrow(name) << ": a freed image's thumbnail stays";
                bringBackFreed();   // work for the runs that follow
            },
            {{harness::kArchiveSteps, 2, 1}, {harness::kArchiveSteps, 2, 2}}),
        Row("backup", kJobBackup, 1200, 2200, {},
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
            }),
    });
}
