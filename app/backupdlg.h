// The database backup settings and their dialog ("Backup Database Settings",
// opened from the Program Settings dialog).
//
// Registry: subkey "BackupDB" below the settings root (created when missing):
//   "File"        REG_SZ     the backup file's name; missing: backups are not set up
//   "BackupPath"  REG_SZ     the folder of the backups; missing or empty:
//                            DataPath + "Backup\"
//   "nMaxFiles"   REG_DWORD  the number of numbered backup folders, "1" to "n";
//                            the dialog takes 1 to kMaxBackupFolders
//   "LastFile"    REG_DWORD  the number of the last backup written (the backup
//                            job writes it; the dialog only shows it)
// A value of another type or size reads as missing.
//
// The numbered folders are made on a thread of their own while the dialog
// waits for it with its windows painted (ui/threadwait.h): a folder on a slow
// or busy disk never leaves the dialog blank. Nothing of the dialog runs
// meanwhile, so Save cannot start a second round.
#pragma once

#include "foundation/registry.h"

#include <windows.h>

#include <string>

// The most numbered backup folders the dialog takes: more than three months
// of daily copies, each a whole database, is more than any clinic keeps. A
// larger "Max Count" is refused with a message, and nothing is saved.
const DWORD kMaxBackupFolders = 100;

class BackupDBSettings {
public:
    // Opens (creating) the key and reads the values. FALSE when the key can
    // be neither opened nor created.
    BOOL Load();
    // Writes the values: with a file name "File", "BackupPath" (deleted when
    // no folder was set) and "nMaxFiles"; without one, all four are deleted.
    BOOL Save();
    // Takes the dialog's fields; FALSE (the field at fault focused, the
    // settings as they were) when "Max Count" is not a number, and also
    // (saying so over the dialog) when it lies outside 1 to kMaxBackupFolders.
    BOOL ReadDialog(HWND dialog);
    BOOL ShowInDialog(HWND dialog) const;
    // Makes the backup folder and its numbered folders 1 to nMaxFiles;
    // folders that exist already are kept. Nothing to do without a file
    // name. A folder that cannot be made shows string 289 over the owner and
    // gives FALSE. The folders are made on a thread of their own; the
    // calling thread keeps its windows painted until it ends.
    BOOL PrepareFolders(HWND owner = nullptr);

    DWORD MaxFiles() const { return maxFiles_; }
    DWORD LastFile() const { return lastFile_; }
    bool PathSet() const { return pathSet_; }
    // The folder of the backups, ending with "\".
    const std::wstring& Path() const { return path_; }
    const std::wstring& FileName() const { return fileName_; }

private:
    DWORD maxFiles_ = 0;      // "nMaxFiles"
    DWORD lastFile_ = 0;      // "LastFile"
    bool pathSet_ = false;    // "BackupPath" names a folder of its own
    DRegKeyHandle key_;       // "BackupDB", read and write
    std::wstring path_;       // the backup folder
    std::wstring fileName_;   // "File"; empty: not set up
};

// The dialog; modal, owned by `owner`.
void RunBackupSettingsDlg(HWND owner);

// The call that makes one backup folder (CreateDirectoryW unless a test put a
// slower or failing one in its place; null puts CreateDirectoryW back).
typedef BOOL(WINAPI* BackupFolderCall)(const wchar_t* path, SECURITY_ATTRIBUTES* security);
void SetBackupFolderCall(BackupFolderCall call);
