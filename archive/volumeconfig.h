// ArjVolumeConfig: the room an archive disk keeps for database backups.
//
// An archive disk may carry "diskcfg.ini" in its root: a reserve in megabytes
// and the names of the backup files the reserve is meant for. Load reads the
// file, CheckFiles looks the listed files up on the disk, and what is left of
// the reserve once the files present are counted is the outstanding reserve,
// which the archive worker keeps free when it copies images (Compare). The
// same reader takes the preparation template "d:\cfg\diskcfg.ini", whose
// minreserv, step, nsteps and ncopies fill the preparation window's choices.
//
// The file is text in the description language's lexical rules (blanks, line
// ends and /* */ comments between statements), one "keyword = value" per
// statement:
//   reserv     unsigned number   reserve in MB
//   file       "name"            a backup file below the disk's root; repeats
//   minreserv  unsigned number   smallest reserve offered (MB)
//   step       unsigned number   step between offered reserves (MB)
//   nsteps     unsigned number   number of offered reserves
//   ncopies    unsigned number   number of copies offered
// Keywords are found by the forms engine's lookup: ignoring case, the first
// keyword of the list above that the identifier begins with ("Files" is file,
// "reservation" is reserv). A later statement overrides an earlier one of the
// same keyword, except file, whose names add up.
//
// State: Load starts from an empty table (FreeTable) every time; the four
// template values keep what the last file read set.
#pragma once

#include "foundation/files.h"

#include <windows.h>

#include <string>
#include <vector>

class ArjVolumeConfig {
public:
    static constexpr int kMaxFileNameChars = 260;   // a File statement's name
    static constexpr DWORD kDefaultMinReserv = 150;
    static constexpr DWORD kDefaultStep = 100;
    static constexpr DWORD kDefaultNSteps = 4;
    static constexpr DWORD kDefaultNCopies = 1;

    // Faults of Parse (thrown as int): an identifier that is no keyword, a
    // File statement whose name cannot be kept. The lexer's own faults (a
    // missing "=", a bad number or string) come as its DescFault codes.
    static constexpr int kUnknownKeyword = 1;
    static constexpr int kBadFile = 2;

    struct ReserveFile {
        std::wstring name;
        ULONGLONG size;   // bytes; 0 until checked or when absent
    };

    ArjVolumeConfig() = default;

    // Stores the folder with a trailing backslash (an empty folder becomes
    // "\"); the full path is folder + file name when a name is set. 1.
    int SetFolder(const wchar_t* folder);
    // Stores the file name; the full path is folder + name when a folder is
    // set. 1.
    int SetFile(const wchar_t* fileName);

    // Reads the file at the full path: 1. A missing file is a disk without a
    // reserve (1, nothing listed). Throws a Win32 code (DWORD) when the file
    // cannot be opened or read (87 without a full path or for text that
    // cannot be read), and Parse's faults for text it cannot take.
    int Load();
    // Parses the text under the cursor; 1, or an int thrown as above.
    int Parse(DTextScan& scan);
    // Looks each listed file up below the folder and works out the
    // outstanding reserve: 1, or 0 when a listed file exists but cannot be
    // examined.
    int CheckFiles();
    // 1 when the value is strictly greater than the outstanding reserve.
    int Compare(ULONGLONG value) const { return value > outstanding_ ? 1 : 0; }

    DWORD GetMinReserv() const { return minReserv_; }
    DWORD GetStep() const { return step_; }
    DWORD GetNSteps() const { return nSteps_; }
    DWORD GetNCopies() const { return nCopies_; }

    ULONGLONG Reserve() const { return reserve_; }
    ULONGLONG Outstanding() const { return outstanding_; }
    const std::vector<ReserveFile>& Files() const { return files_; }
    const std::wstring& Folder() const { return folder_; }
    const std::wstring& FullPath() const { return fullPath_; }

    // Reserve and outstanding reserve 0, no listed files.
    void FreeTable();
    // FreeTable, and the names forgotten.
    void Free();

private:
    void MakeFullPath();

    std::wstring fileName_;
    std::wstring fullPath_;              // folder + file name, or empty
    std::wstring folder_;                // ends with a backslash, or empty when never set
    bool folderSet_ = false;
    ULONGLONG reserve_ = 0;              // bytes: Reserv x 1,048,576
    ULONGLONG outstanding_ = 0;          // what the listed files present leave of the reserve
    std::vector<ReserveFile> files_;     // in the order of the file
    DWORD minReserv_ = kDefaultMinReserv;   // MB
    DWORD step_ = kDefaultStep;             // MB
    DWORD nSteps_ = kDefaultNSteps;
    DWORD nCopies_ = kDefaultNCopies;
};

// The text of a "diskcfg.ini" that reserves `reserveMb` megabytes for
// `copies` backups named `backupFile`: the byte-order mark, the comment
// "/* Unicode text. */", an empty line, "Reserv=<MB>", then one File line
// for the name and one for each of name1 .. name<copies - 1> (at most 102
// lines in all). Lines end with CR LF. Empty for 0 copies.
std::wstring BuildDiskCfgText(DWORD reserveMb, const wchar_t* backupFile, DWORD copies);
