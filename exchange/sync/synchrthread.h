// SynchrThread: the worker of the database synchronisation.
//
// The synchronisation window starts it through SyncProgress::StartThread on
// a thread of its own to run one command (command bits, run in the order 1,
// 2, 4; the window sets one per start):
//   1  scan the hard-disk image folder into Snimok_tmp ([Disk] = 1);
//   2  scan the archive (MO) disk in the archive drive into Arj_tmp and
//      Snimok_tmp ([Arj] = the disk's serial), then ask the window, through a
//      disk request, to have the disk ejected and to wait for the next one;
//   4  synchronise the database (SynchrDB): register the scanned disks in
//      Arj, set Snimok.[Disk] and Snimok.arj from what the scans found, and
//      put image files that no row names back into Patient and Snimok under
//      the keys written in the files, first from the hard disk, then from
//      the archive disks (asking for each disk in turn).
//
// The worker talks to its window only through ISyncProgress: texts, change
// bits and the disk request go out, and between files it polls the channel
// for the window's stop command (CheckCommand, time-out 0).
//
// Database: the worker opens a session of its own on the process-wide data
// source, so that its statements never run on the session the main window
// (which stays enabled) uses meanwhile. Putting one file back runs in
// transactions on a second session of its own (InsertRestored). Work lists
// are read whole into memory before anything is written, so no open listing
// holds a read snapshot while the rows it lists are changed.
//
// What the tables say about files is checked against the files wherever it is
// acted on, since files come and go between a scan and the steps that use it
// (the archive frees images, users delete and copy files):
//   - a scan records only image files (imagenames.h); any other file it
//     finds is reported by name in the message pane and left alone, and a
//     scan that reaches the end of its folder also records that a file it
//     knew is gone (ScanHdd, ScanMoDisk);
//   - a row's [Disk] becomes 1 only when its file is in the image folder when
//     the step runs, and 0 only when it is not (UpdateDiskFlags);
//   - the re-insertion takes each file as it finds it: a file gone since the
//     scan leaves the work tables, one that cannot be read or whose values
//     the database refuses is skipped as unreadable (Msg_tmp code 1, nodel),
//     each named in the message pane, and the pass goes on with the next
//     (RestoreOne). Only failures of the database or of the folder itself
//     end a command.
// Every path built from a name read from a table goes through
// BuildStoredFilePath; a name it refuses is skipped and reported.
//
// Images deleted in this program stay deleted: deleting a patient or an
// image records its files in DelImage (the database's delete procedures do
// it), the marked-deletion job of the archive deletes the files later, and
// until then the scans and the re-insertion pass over every file that
// DelImage names. So the synchronisation leaves DelImage to that job; it no
// longer asks to empty it.
//
// Results (the thread's exit code): 0 done, 1 stopped by the user (every
// stop, whatever the step), 2 failed. Failures travel as exceptions to the
// thread procedure: DODBErrors (the provider's text to the message pane),
// MsgExcept (its text to the pane, its caption to the status line), the
// integers 1 (stop) and -1 (a bad command or a broken channel) thrown by
// CheckCommand. At its end the worker always drains the channel and reports
// "finished" (bit 0x004).
//
// Archive serials are kept in int columns with their bit pattern (serials of
// 0x80000000 and above are negative) and are always bound as signed 32-bit
// values.
#pragma once

#include "database/dberrors.h"
#include "database/dbobject.h"
#include "database/dbsession.h"
#include "exchange/disks/removabledrive.h"
#include "exchange/sync/syncprogress.h"
#include "foundation/globals.h"
#include "images/pixels/picture.h"

#include <windows.h>

#include <initializer_list>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// Command bits.
enum SyncCommand : DWORD {
    kSyncScanHdd = 1,
    kSyncScanMo = 2,
    kSyncDatabase = 4,
    kSyncBusyMask = 7,
};

// What the window hands the worker at start. The worker copies what it needs
// and keeps only the channel.
struct SyncStartRecord {
    ISyncProgress* progress = nullptr;
    DWORD commands = 0;                      // SyncCommand bits
    wchar_t archivePath[kFolderChars] = {};  // its first character names the archive drive
    wchar_t databasePath[kFolderChars] = {};
    HANDLE startEvent = nullptr;             // manual reset; set once the thread runs
    LANGID language = 0;                     // the starter's, for the worker's texts (0: as it is)
    LCID locale = 0;
};

// The thread procedure; returns the result.
DWORD WINAPI SynchrThreadProc(void* startRecord);

// Error codes of Msg_tmp (why a file was skipped) and their texts.
enum SyncSkipCode : LONG {
    kSkipUnreadable = 1,       // the file could not be read
    kSkipImageIdTaken = 2,     // its image id belongs to another file's row
    kSkipRowDiffers = 3,       // a row names the file with other ids
    kSkipPatientIdTaken = 4,   // its patient id belongs to another patient
    kSkipPatientDiffers = 5,   // its patient (names, birthday) has another id
};

class SynchrThread {
public:
    static const int kNameChars = 260;   // a found file name, without extension
    static const int kFileNameChars = 31;

    explicit SynchrThread(const SyncStartRecord& start);
    ~SynchrThread();

    // The commands; throws as described above.
    void Run();
    // Opens the worker's own session (Run does it first).
    void OpenSession();
    DWORD Result() const { return result_; }
    void SetResult(DWORD result) { result_ = result; }
    ISyncProgress* Progress() const { return progress_; }
    void DrainCommands() { progress_->DrainCommands(); }

    // --- scans ---
    void RunScanHdd();
    void RunScanMo();
    bool TableExists(const wchar_t* name);
    bool CreateTmpTables();
    bool ScanHdd(const wchar_t* folder);
    bool ScanMoDisk();
    // The disk's Arj_tmp row, unless the disk has one; a label longer than
    // the column is shortened and reported.
    void AddArjTmp(DWORD serial, const wchar_t* label);
    void ClearDiskRows(DWORD serial);

    // --- the synchronisation (command 4) ---
    void SynchrDB();
    void AddNewArj();
    void UpdateDiskFlags();
    void UpdateArjFromExist();
    bool RestoreHddPictures();
    bool RestoreArchiveImages();
    // 0 abort, 1 the disk is in the drive, 2 ignore this disk.
    int AskForArchiveDisk(DWORD serial, RemovableDrive& drive);
    // How reading one file went.
    enum class FileRead {
        kRead,      // the records are filled
        kSkipped,   // unreadable: logged, marked and reported
        kGone,      // the file, or its folder, is not there (any more)
    };
    FileRead ReadSnimokDataExc(const wchar_t* path);
    bool MatchPatient(bool* exists);
    bool MatchSnimok(bool* exists);
    void InsertRestored(bool patientExists, bool imageExists, int diskFlag);
    void LogMessage(LONG code);
    void MarkNoDel();
    bool CheckDate(FILETIME* date, const wchar_t* name);
    // Fills ErrCode_tmp with the texts of the skip codes (for the window's
    // table creation).
    static void WriteErrCodes(const DODBPtr<DODBSession>& session);

    // Polls the channel: returns on no command or continue; throws 1 (stop)
    // or -1.
    void CheckCommand(DWORD timeout);
    // Every prompt of the worker: the user's answer is waited for as a wait
    // for the user (SyncUserWait), the only time the worker may be
    // terminated, so nothing but the prompt runs inside it.
    int Ask(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags);
    // A database error shown with the caption "Error" (its text is taken
    // before the prompt).
    void ShowDbError(const DODBErrors& error);
    // Throws MsgExcept: "%1\nError Win32(%2!u!)\n%3", "%1", "Error
    // Win32(%1!u!)\n%2" or "Нет сообщений", by what is given.
    [[noreturn]] static void FormatWin32Error(const wchar_t* text, DWORD code, const wchar_t* caption);

    const wchar_t* ImageFolderPath() const { return imageFolder_; }
    const DODBPtr<DODBSession>& Session() const { return session_; }

    // The restored records of the file being put back.
    struct RestoredImage {
        LONG imageId;
        wchar_t fileName[kFileNameChars + 1];
        FILETIME date;
        DWORD archiveSerial;   // 0: none
        LONG brightness;
        LONG contrast;
        LONG negative;
    };
    struct RestoredPatient {
        LONG patientId;
        wchar_t names[3][65];
        int nameLengths[3];
        FILETIME birthday;
        LONG sex;
    };
    const RestoredImage& Image() const { return image_; }
    const RestoredPatient& Patient() const { return patient_; }

private:
    struct TmpRow {
        LONG key;      // Snimok_tmp.Snimok, 0 for a row inserted by this scan
        bool onDisk;   // [Disk]
        LONG arj;      // [Arj], 0 for NULL
        bool seen;     // the scan has met its file
    };
    // One entry of a re-insertion work list.
    struct WorkItem {
        std::wstring name;
        LONG arj;      // 0 for NULL
    };

    void LoadTmpRows(std::unordered_map<std::wstring, TmpRow>& rows);
    void LoadMarkedNames();
    bool IsMarkedForDeletion(const std::wstring& key) const;
    std::vector<WorkItem> LoadWorkList(const wchar_t* fillSql);
    void ClearRecords();
    // Puts one file of `folder` back; `archiveDrive` is the drive of the
    // archive pass (null: the hard-disk pass). False when the file was not
    // found because its archive disk is no longer in the drive (nothing is
    // recorded then); true when the file is done with, put back or not.
    bool RestoreOne(const std::wstring& folder, const WorkItem& item, int diskFlag, RemovableDrive* archiveDrive);
    // The file of the image record is skipped: Msg_tmp code 1, nodel, and the
    // file named in the message pane with the reason.
    void SkipUnreadable(const wchar_t* path, const std::wstring& reason);
    // The file of the work item is not where the scan found it: the work
    // tables forget that place (the row goes when the file lies nowhere
    // else), and the pane names it.
    void ForgetGoneFile(const wchar_t* path, const WorkItem& item, DWORD archiveSerial);
    // A message for the pane from a string-table format and inserts.
    void Report(UINT formatId, std::initializer_list<DWORD_PTR> inserts);
    // Walks a folder search from its first entry to its end: for each image
    // file calls `onImage` (its name and FileNameKey), reports each odd file,
    // polls for the stop command before each entry. Throws on a failed search.
    template <class OnImage>
    void ScanFolder(HANDLE find, WIN32_FIND_DATAW& data, const std::wstring& pattern, OnImage onImage);
    // Rebuilds Arj_tmp (and Snimok_tmp, which refers to it) without the
    // uniqueness of the disk's name that tables of earlier versions have,
    // keeping their rows.
    void DropArjTmpNameRule();

    ISyncProgress* progress_;
    DWORD commands_;
    DWORD result_ = kSyncResultDone;
    wchar_t imageFolder_[kFolderChars];
    wchar_t databasePath_[kFolderChars];
    wchar_t archivePath_[kFolderChars];
    DPicturePtr picture_;                       // the image file last read
    DODBPtr<DODBSession> session_;              // the worker's own
    DODBPtr<DODBSession> insertSession_;        // InsertRestored's own
    std::unordered_set<std::wstring> marked_;   // DelImage's file names (upper case)
    RestoredImage image_;
    RestoredPatient patient_;
    bool comInitialized_ = false;
};

// The upper-case form of a file name, as the database compares them.
std::wstring FileNameKey(const wchar_t* name, int length = -1);
