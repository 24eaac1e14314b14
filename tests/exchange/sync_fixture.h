// The synchronisation's tests: a data folder of the test's own ("Image\",
// "Icon\" as the program's folders), a demo database made from the site
// schema through the provider (demo patients and images), the settings root
// pointed at a private key, and a test window in the place of the
// synchronisation window: it receives the channel's reports, starts the
// worker with one command and waits (bounded) for it to finish.
#pragma once

#include "common/fixture_helpers.h"
#include "common/settings_root.h"
#include "database/dbstatement.h"
#include "disks_fixture.h"
#include "exchange/sync/syncprogress.h"
#include "exchange/sync/synchrthread.h"
#include "exchange/sync/syncsteps.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace extest {

// What the test window saw of one procedure.
struct SyncReport {
    DWORD result = 0xFFFFFFFF;          // the worker's exit code
    bool finished = false;              // bit 0x004 arrived
    std::vector<std::wstring> messages; // texts 1, in order
    std::vector<std::wstring> statuses; // texts 2, in order
    int restored = 0;                   // bits 0x100
    int skipped = 0;                    // bits 0x080
    int ejects = 0;                     // bits 0x040
    int lastDisk = 0;                   // bits 0x020
    bool diskRequest = false;           // bit 0x200 with its values
    DWORD diskSerial = 0;
    std::wstring diskText;
    int progressMessages = 0;           // WM_SYNC_PROGRESS received
    bool HasMessage(const std::wstring& part) const;
};

// The file a scan has reached once it has committed its first batch of 200:
// a stopped disk scan takes back rows it had committed.
const int kScanPastFirstBatch = 201;

// Holds the worker at a step until the window has posted a command (a stop,
// a continue, any other), so that the command meets a worker still at work
// however fast the machine runs it. It is the step observer from Arm until
// it is destroyed, which its owner lets happen only after the worker ended.
class WorkerHold {
public:
    WorkerHold();
    ~WorkerHold();
    WorkerHold(const WorkerHold&) = delete;
    WorkerHold& operator=(const WorkerHold&) = delete;
    // Holds the worker of `progress` the `occurrence`-th time it reaches `step`.
    void Arm(SyncProgress& progress, SyncStep step, int occurrence = 1);
    bool Held() const { return WaitForSingleObject(held_, 0) == WAIT_OBJECT_0; }
    // Pumps until the worker is held (bounded); false when it never came.
    bool WaitHeld(DWORD timeoutMs = 30000);

private:
    static void Observe(SyncStep step, void* context);

    SyncProgress* progress_ = nullptr;
    SyncStep step_ = SyncStep::ScanFileWritten;
    int occurrence_ = 1;
    std::atomic<int> reached_{0};
    HANDLE held_;
};

// A top-level window standing in for the synchronisation window.
class TestSyncWindow {
public:
    TestSyncWindow();
    ~TestSyncWindow();
    HWND Hwnd() const { return hwnd_; }
    SyncProgress& Progress() { return progress_; }

    // Starts the worker with the command and the archive location; false
    // when the start failed.
    bool Start(DWORD command, const std::wstring& archivePath);
    // Pumps messages until the worker reports the end (bounded), then waits
    // for the thread and resets the channel as the window does.
    SyncReport Finish(DWORD timeoutMs = 60000);
    // Start and Finish.
    SyncReport Run(DWORD command, const std::wstring& archivePath = L"");

    // Called for each WM_SYNC_PROGRESS after the report is recorded (under
    // the lock); tests hook the disk request or a stop here.
    std::function<void(TestSyncWindow&)> onProgress;
    std::vector<WPARAM> diskPresent;   // WM_DISK_PRESENT received (wParam)
    const SyncReport& Report() const { return report_; }
    // Holds this window's worker at a step until a command is posted.
    void HoldAt(SyncStep step, int occurrence = 1) { hold_.Arm(progress_, step, occurrence); }
    bool WaitHeld() { return hold_.WaitHeld(); }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void OnProgress();

    HWND hwnd_ = nullptr;
    CRITICAL_SECTION lock_;
    SyncProgress progress_;
    SyncStartRecord start_;
    SyncReport report_;
    WorkerHold hold_;   // destroyed after the destructor has ended the worker
};

class SyncDbTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Demo patients (FillSiteTables) and `images` small demo images saved the
    // system's way (row, ".xmg", ".thb").
    void MakeDemoImages(int images);
    // Runs one statement on the process-wide session; fails the test on error.
    void Exec(const std::wstring& sql);
    std::wstring Scalar(const std::wstring& sql);
    long Count(const std::wstring& sqlFrom);   // "SELECT COUNT(*) FROM " + sqlFrom
    // Every row of a query, its columns joined by "|" (NULL for NULL).
    std::vector<std::wstring> Rows(const std::wstring& sql);
    // The image rows' file names, ordered.
    std::vector<std::wstring> FileNames(const std::wstring& table, const std::wstring& where = L"");
    std::wstring ImagePath(const std::wstring& name) const { return data_->Path() + L"Image\\" + name + L".xmg"; }
    // Copies a hard-disk image file to a folder (an archive disk).
    bool CopyImage(const std::wstring& name, const std::wstring& folder);

    std::vector<long> patients;
    TempDir* data_ = nullptr;
    HKEY settings_ = nullptr;   // the settings root's key
    std::unique_ptr<PrivateSettingsKey> settingsKey_;
};

// A text as UTF-8, for test messages.
std::string Narrow(const std::wstring& text);
// The last message of a report, as UTF-8.
inline std::string LastMessage(const SyncReport& report)
{
    return report.messages.empty() ? std::string("<no message>") : Narrow(report.messages.back());
}

}  // namespace extest
