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

#include <gtest/gtest.h>

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

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void OnProgress();

    HWND hwnd_ = nullptr;
    CRITICAL_SECTION lock_;
    SyncProgress progress_;
    SyncStartRecord start_;
    SyncReport report_;
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
