// The database backup settings and their dialog ("Backup Database Settings",
// opened from the Program Settings dialog).
//
// Registry: subkey "BackupDB" below the settings root (created when missing):
//   "File"        REG_SZ     the backup file's name; missing: backups are not set up
//   "BackupPath"  REG_SZ     the folder of the backups; missing or empty:
//                            DataPath + "Backup\"
//   "nMaxFiles"   REG_DWORD  the number of numbered backup folders, "1" to "n"
//   "LastFile"    REG_DWORD  the number of the last backup written (the backup
//                            job writes it; the dialog only shows it)
// A value of another type or size reads as missing.
#pragma once

#include "foundation/registry.h"

#include <windows.h>

#include <string>

class BackupDBSettings {
public:
    // Opens (creating) the key and reads the values. FALSE when the key can
    // be neither opened nor created.
    BOOL Load();
    // Writes the values: with a file name "File", "BackupPath" (deleted when
    // no folder was set) and "nMaxFiles"; without one, all four are deleted.
    BOOL Save();
    // Takes the dialog's fields; FALSE (the field at fault focused) when
    // "Max Count" is not a number.
    BOOL ReadDialog(HWND dialog);
    BOOL ShowInDialog(HWND dialog) const;
    // Makes the backup folder and its numbered folders 1 to nMaxFiles;
    // folders that exist already are kept. Nothing to do without a file
    // name. A folder that cannot be made shows string 289 over the owner and
    // gives FALSE.
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
