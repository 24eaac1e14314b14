// The archive's tests: disks of known sizes, a database, and a window in the
// place of the archive window.
//
// - TmpfsDisk: a tmpfs of a given size mounted below the build folder for
//   the object's life (mounting needs root, as CI runs the tests); a disk
//   that cannot be mounted fails the test with the reason. Wine reports the
//   tmpfs's own free space for a drive letter mapped onto its folder, so the
//   hard disk and the archive disks of a test are drive letters (leased
//   through extest::SimulatedDrive) on such disks.
// - ArchiveDbTest: a database made from the site schema through the
//   provider (with a catalog, as the backup names it), the settings root
//   pointed at a private key, the hard disk "Image\" and "Icon\" folders on
//   a tmpfs drive and the archive path on a second drive; helpers to make
//   image rows with files of chosen sizes and to register disks.
// - WorkerHost: a window standing in for the archive window: it starts a
//   worker through the WorkerLink, records every report, answers every
//   question of the worker through the test's callback (Stop when there is
//   none), and waits (bounded) for the worker's end.
#pragma once

#include "archive/workerlink.h"
#include "common/dialog_look.h"
#include "common/fixture_helpers.h"
#include "common/input_text.h"
#include "common/modal_driver.h"
#include "common/settings_root.h"
#include "database/dbstatement.h"
#include "../exchange/disks_fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace arjtest {

std::string Narrow(const std::wstring& text);
// A string-table text.
std::wstring Str(unsigned id);

class TmpfsDisk {
public:
    explicit TmpfsDisk(unsigned kilobytes);
    ~TmpfsDisk();
    TmpfsDisk(const TmpfsDisk&) = delete;
    TmpfsDisk& operator=(const TmpfsDisk&) = delete;

    bool Mounted() const { return mounted_; }
    const std::wstring& Path() const { return path_; }   // Windows path, ends with a backslash
    const std::string& Error() const { return error_; }

private:
    std::string unixPath_;
    std::wstring path_;
    std::string error_;
    bool mounted_ = false;
};

// A disk: a tmpfs (when a size is given) or a plain folder, with the serial
// and label it shows in a drive.
class DiskMedium {
public:
    // kilobytes 0: a folder of the temporary folder instead of a tmpfs.
    DiskMedium(unsigned kilobytes, DWORD serial, const char* label);
    bool Ready() const { return tmpfs_ ? tmpfs_->Mounted() : folder_ != nullptr; }
    const std::string& Error() const;
    const std::wstring& Folder() const;    // ends with a backslash
    DWORD Serial() const { return serial_; }
    const char* Label() const { return label_.c_str(); }
    ULONGLONG FreeBytes() const;

private:
    std::unique_ptr<TmpfsDisk> tmpfs_;
    std::unique_ptr<extest::TempDir> folder_;
    DWORD serial_;
    std::string label_;
};

// What a WorkerHost saw of one job.
struct WorkerReport {
    DWORD exitCode = 0xFFFFFFFF;
    bool ended = false;                     // bit 0x8
    bool stopsWithError = false;            // bit 0x20
    int asks = 0;                           // bits 0x10
    std::vector<std::wstring> faults;       // SetText, in order
    std::vector<std::wstring> actions;      // SetText2, in order
    LONG marked = -99;                      // the last SetMarkedCount
    std::vector<LONG> markedSeen;
    LONG notArchived = -99, copied = -99;   // the last SetCounts
    DWORD average = 0;                      // the last SetAverageSize
    int diskSpace = 0, diskInfo = 0;        // bits 0x100, 0x400
    int messages = 0;                       // WM_ARJ_PROGRESS received
    bool HasFault(const std::wstring& part) const;
    bool HasAction(const std::wstring& part) const;
    std::string Texts() const;              // everything said, for failure messages
};

class WorkerHost {
public:
    WorkerHost();
    ~WorkerHost();
    HWND Hwnd() const { return hwnd_; }
    WorkerLink& Link() { return link_; }

    bool StartArchive(DWORD flags, LONG marked = 0, LONG notArchived = 0, DWORD average = 0);
    bool StartFormat(DWORD flags, const wchar_t* name);
    bool Start(WorkerRoutine routine, const WorkerParams& params);
    // Pumps until the worker reports its end (bounded), then stops the link.
    WorkerReport Finish(DWORD timeoutMs = 60000);
    WorkerReport RunArchive(DWORD flags, LONG marked = 0, LONG notArchived = 0, DWORD average = 0)
    {
        return StartArchive(flags, marked, notArchived, average) ? Finish() : WorkerReport();
    }

    // Called when the worker asks (after the report is recorded and the
    // lock left); the answer to send: kAnswerContinue or kAnswerStop.
    std::function<DWORD(WorkerHost&, const WorkerReport&)> onAsk;
    const WorkerReport& Report() const { return report_; }
    void* ProgressBar() { return bar_; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void OnProgress();

    HWND hwnd_ = nullptr;
    CRITICAL_SECTION lock_;
    WorkerLink link_;
    WorkerParams params_;
    std::wstring diskName_;
    WorkerReport report_;
    void* bar_ = nullptr;   // a DrawnProgressBar on the window
};

class ArchiveDbTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The hard disk: a tmpfs of `kilobytes` in its own drive with "Image\"
    // and "Icon\" (DataPath is its root).
    void MakeHardDisk(unsigned kilobytes);
    // A disk for the archive drive; a tmpfs of `kilobytes` (0: a plain folder).
    DiskMedium* MakeDisk(unsigned kilobytes, DWORD serial, const char* label);
    // The same, registered in Arj under its label, with the archive folder
    // on it.
    DiskMedium* ReadyDisk(unsigned kilobytes, DWORD serial, const char* label);
    // Puts the disk into the archive drive (the archive path is
    // "<letter>:\Images\"), or takes it out.
    bool InsertDisk(DiskMedium* disk);
    bool EjectDisk();
    wchar_t ArchiveLetter() const { return archiveDrive_->Letter(); }

    LONG AddPatient(const wchar_t* name1);
    // An image row (Disk 1, Arj NULL unless given) with its ".xmg" of
    // `bytes` bytes and ".thb" of `thumbBytes` on the hard disk; the key.
    LONG AddImage(LONG patient, const std::wstring& fileName, DWORD bytes, const wchar_t* date = L"2020-01-01",
                  DWORD thumbBytes = 1000, LONG arj = 0);
    void RegisterDisk(DWORD serial, const wchar_t* name);
    // The backup's settings: `slots` slot folders made below `folder`,
    // "hospital.bak".
    void UseBackupSlots(const std::wstring& folder, DWORD slots = 1);
    // "diskcfg.ini" with the reserve (MB) and the listed names in the folder.
    void WriteDiskCfg(const std::wstring& folder, DWORD reserveMb, const std::vector<std::wstring>& names);

    void Exec(const std::wstring& sql) { testfix::ExecSetupSql(sql); }
    std::wstring Scalar(const std::wstring& sql) { return testfix::ScalarSql(sql); }
    long Count(const std::wstring& sqlFrom);
    std::vector<std::wstring> Rows(const std::wstring& sql);
    // The image's archive stamp and hard-disk mark ("<null>" for NULL).
    std::wstring Stamp(LONG key)
    {
        return Scalar(L"SELECT Arj FROM Snimok WHERE Snimok=" + std::to_wstring(key) + L";");
    }
    std::wstring DiskFlag(LONG key)
    {
        return Scalar(L"SELECT [Disk] FROM Snimok WHERE Snimok=" + std::to_wstring(key) + L";");
    }

    std::wstring HddImage(const std::wstring& name) const { return hddImages_ + name + L".xmg"; }
    std::wstring HddIcon(const std::wstring& name) const { return hddIcons_ + name + L".thb"; }
    std::wstring ArchiveFile(const std::wstring& name, const wchar_t* extension) const
    {
        return std::wstring(ArchivePathText()) + name + extension;
    }
    static const wchar_t* ArchivePathText();

    std::unique_ptr<extest::TempDir> data_;
    std::vector<std::unique_ptr<DiskMedium>> disks_;     // before the drives: they go after them
    std::unique_ptr<DiskMedium> hdd_;
    std::unique_ptr<extest::SimulatedDrive> hddDrive_;
    std::unique_ptr<extest::SimulatedDrive> archiveDrive_;
    std::wstring hddImages_, hddIcons_;
    std::wstring databaseFile_;
    HKEY settings_ = nullptr;                           // the settings root's key
    std::unique_ptr<PrivateSettingsKey> settingsKey_;
};

// Writes a file of `bytes` bytes (a pattern); false when it cannot.
bool WriteFileOfSize(const std::wstring& path, ULONGLONG bytes);
// The file's size; -1 when it cannot be read.
LONGLONG FileSize(const std::wstring& path);
bool Exists(const std::wstring& path);

// Steps against the modal windows this thread opens (common/modal_driver.h),
// every 50 ms, 15 s at most for a step's window; a failed step also closes
// the text input window.
class ModalDriver : public harness::ModalDriver {
public:
    ModalDriver();
};

// A visible, enabled window of the class on this thread, or null.
using harness::FindThreadWindow;
// Types the text into the text input window and accepts it.
using harness::AnswerInputText;
// The whole window as a BMP in $TF_SHOT_DIR (or the build folder).
bool SaveWindowPicture(HWND window, const std::wstring& name);

// Puts the thread in a language for the object's life.
using harness::ThreadLanguage;

// The window classes the archive window and the disk preparation window
// stand on, registered for the object's life.
struct ArchiveClasses {
    ArchiveClasses();
    ~ArchiveClasses();
    ArchiveClasses(const ArchiveClasses&) = delete;
    ArchiveClasses& operator=(const ArchiveClasses&) = delete;
};

}  // namespace arjtest
