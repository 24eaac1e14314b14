// The hard-disk scan: every ".xmg" of the image folder recorded in
// Snimok_tmp, a rescan that changes nothing, a stop in the middle.
#include "sync_fixture.h"

#include "common/prompt_script.h"
#include "exchange/sync/syncformat.h"
#include "foundation/textutil.h"
#include "resources/strings.h"

#include <algorithm>

namespace extest {
namespace {

const wchar_t kTmpRows[] = L"SELECT Snimok, [File name], [Disk], Arj FROM Snimok_tmp ORDER BY [File name];";

void WriteEmptyFile(const std::wstring& path)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(f);
}

class HardDiskScan : public SyncDbTest {};

TEST_F(HardDiskScan, RecordsEveryImageFileOnceWithItsHardDiskMark)
{
    MakeDemoImages(6);
    TestSyncWindow window;
    const SyncReport report = window.Run(kSyncScanHdd);
    EXPECT_EQ(kSyncResultDone, report.result);
    EXPECT_TRUE(report.HasMessage(L"Всего на диске Снимков: 6"));
    ASSERT_FALSE(report.statuses.empty());
    EXPECT_EQ(L"Снимок: 6", report.statuses.back());
    EXPECT_EQ(FileNames(L"Snimok"), FileNames(L"Snimok_tmp", L"[Disk]=1 AND Arj IS NULL"));
    EXPECT_EQ(6, Count(L"Snimok_tmp"));
    EXPECT_EQ(0, Count(L"Arj_tmp"));
    EXPECT_EQ(0, Count(L"Patient_tmp"));
}

TEST_F(HardDiskScan, ARescanChangesNothing)
{
    MakeDemoImages(5);
    TestSyncWindow window;
    EXPECT_EQ(kSyncResultDone, window.Run(kSyncScanHdd).result);
    const std::vector<std::wstring> first = Rows(kTmpRows);
    ASSERT_EQ(5u, first.size());
    EXPECT_EQ(kSyncResultDone, window.Run(kSyncScanHdd).result);
    EXPECT_EQ(first, Rows(kTmpRows));
}

TEST_F(HardDiskScan, AnEmptyFolderIsNoErrorAndReportsNoTotal)
{
    TestSyncWindow window;
    const SyncReport report = window.Run(kSyncScanHdd);
    EXPECT_EQ(kSyncResultDone, report.result);
    EXPECT_FALSE(report.HasMessage(L"Всего на диске"));
    EXPECT_EQ(0, Count(L"Snimok_tmp"));
}

TEST_F(HardDiskScan, AFileFoundOnAnArchiveDiskKeepsItsDiskAndGetsTheHardDiskMark)
{
    MakeDemoImages(2);
    const std::vector<std::wstring> names = FileNames(L"Snimok");
    TestSyncWindow window;
    ASSERT_EQ(kSyncResultDone, window.Run(kSyncScanHdd).result);   // makes the tables
    Exec(L"DELETE FROM Snimok_tmp;");
    Exec(L"INSERT INTO Arj_tmp (arj, Name) VALUES (-5, 'ARCH5');");
    Exec(L"INSERT INTO Snimok_tmp ([File name], [Disk], Arj) VALUES ('" + names[0] + L"', 0, -5);");
    ASSERT_EQ(kSyncResultDone, window.Run(kSyncScanHdd).result);
    EXPECT_EQ(L"-5", Scalar(L"SELECT Arj FROM Snimok_tmp WHERE [File name]='" + names[0] + L"';"));
    EXPECT_EQ(L"1", Scalar(L"SELECT [Disk] FROM Snimok_tmp WHERE [File name]='" + names[0] + L"';"));
    EXPECT_EQ(2, Count(L"Snimok_tmp"));
}

// Every odd entry a "*.xmg" search can meet, in one folder beside two image
// files: each odd file is named in the message pane and left out, a folder
// is passed over in silence, and the image files are recorded. (The file
// system's own names go through "\\?\", which keeps device names and
// trailing blanks as they are.)
TEST_F(HardDiskScan, OddFilesAreNamedInThePaneAndTheRestIsScanned)
{
    MakeDemoImages(2);
    const std::vector<std::wstring> names = FileNames(L"Snimok");
    const std::wstring folder = ImageFolder;
    const std::vector<std::wstring> odd = {
        names[0] + L" - Copy.xmg",          // a file manager's copy: 28 characters
        L"A000000000100000000077.xmg",      // 22 characters
        L"A00000000010000000007.old.xmg",   // a dot before ".xmg"
        L"CON.xmg", L"AUX.xmg", L"COM1.xmg",
        L".xmg",
        L"B0000000001000000000 .xmg",       // a trailing blank
    };
    for (const std::wstring& name : odd)
        WriteEmptyFile(L"\\\\?\\" + folder + name);
    ASSERT_TRUE(CreateDirectoryW((folder + L"Folder.xmg").c_str(), nullptr));
    TestSyncWindow window;
    const SyncReport report = window.Run(kSyncScanHdd);
    EXPECT_EQ(kSyncResultDone, report.result) << LastMessage(report);
    EXPECT_EQ(names, FileNames(L"Snimok_tmp"));
    const std::wstring format = LoadText(IDS_SYNC_ODD_FILE);
    std::vector<std::wstring> named, shown;
    for (const std::wstring& name : odd)
        named.push_back(syncfmt::Format(format.c_str(), {reinterpret_cast<DWORD_PTR>(name.c_str())}));
    for (const std::wstring& message : report.messages)
        if (message.find(L"Folder.xmg") != std::wstring::npos || message.rfind(format.substr(0, format.find(L"%1")), 0) == 0)
            shown.push_back(message);
    std::sort(named.begin(), named.end());
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(named, shown);
    EXPECT_TRUE(report.HasMessage(L"Всего на диске Снимков: 2")) << LastMessage(report);
    for (const std::wstring& name : odd)
        DeleteFileW((L"\\\\?\\" + folder + name).c_str());
}

TEST_F(HardDiskScan, FilesMarkedForDeletionAreNotRecorded)
{
    MakeDemoImages(3);
    const std::vector<std::wstring> names = FileNames(L"Snimok");
    Exec(L"INSERT INTO DelImage ([File Name], Arj, [Disk]) VALUES ('" + names[1] + L"', NULL, 1);");
    TestSyncWindow window;
    const SyncReport report = window.Run(kSyncScanHdd);
    EXPECT_EQ(kSyncResultDone, report.result);
    EXPECT_EQ((std::vector<std::wstring>{names[0], names[2]}), FileNames(L"Snimok_tmp"));
}

TEST_F(HardDiskScan, TheWorkerRunsOnASessionOfItsOwn)
{
    MakeDemoImages(2);
    // Without the process-wide session (the main window's) the worker still
    // works: it opens its own on the data source.
    g_DbSession.Release();
    TestSyncWindow window;
    const SyncReport report = window.Run(kSyncScanHdd);
    EXPECT_EQ(kSyncResultDone, report.result) << LastMessage(report);
    ASSERT_TRUE(SUCCEEDED(g_DbSource->CreateSession(g_DbSession)));
    EXPECT_EQ(2, Count(L"Snimok_tmp"));
}

TEST_F(HardDiskScan, AStopEndsTheScanAsStoppedByTheUserKeepingWhatWasRecorded)
{
    for (int i = 0; i < 3; ++i) {
        wchar_t name[32];
        _snwprintf(name, 31, L"B%.10u%.10u.xmg", 1u, static_cast<unsigned>(i + 1));
        name[31] = 0;
        WriteEmptyFile(std::wstring(ImageFolder) + name);
    }
    TestSyncWindow window;
    window.HoldAt(SyncStep::ScanFileWritten, 2);
    ASSERT_TRUE(window.Start(kSyncScanHdd, L""));
    ASSERT_TRUE(window.WaitHeld());
    EXPECT_TRUE(window.Progress().SendStop());
    const SyncReport report = window.Finish();
    EXPECT_EQ(kSyncResultStopped, report.result);
    EXPECT_TRUE(report.HasMessage(L"Выполнение процедуры прервано пользователем"));
    EXPECT_FALSE(report.HasMessage(L"Всего на диске"));
    EXPECT_EQ(2, Count(L"Snimok_tmp"));
}

}  // namespace
}  // namespace extest
