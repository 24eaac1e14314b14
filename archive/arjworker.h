// ArjWorker: one archive job on a thread of its own (procArj).
//
// By the job flags the archive window hands it, in this order: bit 2 frees
// hard-disk space (FreeHardDiskSpace), bit 4 deletes the images marked for
// deletion (DeleteMarked), bit 8 backs the database up onto the archive disk
// (CopyDB), bit 1 purges the expired protections (PurgeFixSnimok), copies
// the images not yet archived to the disk in the archive drive, stamping each
// with the disk's volume serial (ArchiveNewImages), and then frees space
// once more. A step that fails does not stop the following bits; a stop
// signal thrown by any step ends the whole job.
//
// The worker talks to its window only through the WorkerLink: texts, counts,
// the progress bar, and the user's Continue or Stop whenever a disk must be
// inserted or an error needs a decision. A step that asked (kStepAsked)
// waits in PollUserAnswer for the answer and is then repeated; Stop throws
// the stop signal 0 out of the poll.
//
// Step frame (ArchiveNewImages, FreeHardDiskSpace): a DODBErrors is reported
// (ReportDbError) and fails the step; the stop signal 0 sets result 1 and
// fails it; another stop signal only fails it; a failed step whose result is
// not 1 sets result -1. The backup has a frame of its own (CopyDB); the
// marked deletion has none, so its failures end the job. Every way a job
// fails leaves its reason in the window's text boxes and the notice that the
// job stops with an error (or the result -1), so the window never shows a
// failed job as complete.
//
// Database: the worker's own session on the process-wide data source. Work
// lists are read whole before anything is changed, so no open listing holds
// a read snapshot while its rows change. No transaction is ever open while a
// file is copied or deleted: a row changes after the file work it records
// (an image is stamped once its copies on the disk are whole; the stamps
// are written together in short transactions of their own, StampBatch) or
// before it (an image loses [Disk], in a statement of its own, before its
// hard-disk files go), so that other users' saves never wait for a copy and
// a job cut off anywhere leaves no row that tells more than the files do.
//
// File names: every path is built from a row's [File Name], as the row
// holds it, by BuildStoredFilePath, which refuses a name that would leave its
// folder, name a device or name another file than itself; and no step
// deletes or overwrites a file that another live image's row names, in the
// file system's comparison (LiveImageNames, read once a step: DeletablePath).
// Such an image is skipped, the rest is done, and the job ends with the
// names in "Possible fault reason".
//
// Paths: the archive path, the image folder and the icon folder are copied
// at the start, each with its trailing backslash ("E:\Images" names the
// folder "E:\Images\"); the archive root is the first character of the
// archive path + ":\", the hard-disk root that of the image folder.
#pragma once

#include "archive/volumeconfig.h"
#include "archive/workerbase.h"
#include "database/dbstatement.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class DrawnProgressBar;
class LiveImageNames;

// The stamps of archived images (Snimok.Arj), written together: an image is
// added once its copies on the disk are whole, and the stamps waiting are
// written in one short transaction of their own, which holds nothing but the
// updates, once kRows wait or the first has waited kMs, before the worker
// waits for the user, and at the end of the step (also when it ends by a
// stop). A job cut off before a write leaves whole copies without their
// stamps, which the next job simply copies again.
class StampBatch {
public:
    static const size_t kRows = 64;
    static const DWORD kMs = 2000;

    StampBatch(const DODBPtr<DODBSession>& session, BoundStatement& update) : session_(session), update_(update) {}
    // The image's stamp waits; written when the batch is full or old enough.
    void Add(LONG imageKey, DWORD serial);
    // Writes what waits; throws DODBErrors (nothing is written then).
    void Flush();
    // Flush on the way out of a step that failed: a failure is journalled.
    void FlushQuietly();

private:
    DODBPtr<DODBSession> session_;
    BoundStatement& update_;   // "UPDATE Snimok SET Arj=? WHERE Snimok=?;"
    std::vector<std::pair<LONG, DWORD>> waiting_;
    DWORD firstMs_ = 0;
};

// Job flags of the archive worker.
enum ArjJobBit : DWORD {
    kJobArchive = 0x1,
    kJobFreeSpace = 0x2,
    kJobDeleteMarked = 0x4,
    kJobBackup = 0x8,
};

// The registry subkey of the database backup and its values.
extern const wchar_t kBackupDbKey[];          // "BackupDB"
extern const wchar_t kBackupPathValue[];      // "BackupPath"
extern const wchar_t kLastFileValue[];        // "LastFile"
extern const wchar_t kMaxFilesValue[];        // "nMaxFiles"
extern const wchar_t kBackupFileValue[];      // "File"
extern const wchar_t kDiskLastCopyValue[];    // "DiskLastCopyDB"
extern const wchar_t kLastDbDateValue[];      // "LastDBDate"
extern const wchar_t kDiskCfgName[];          // "diskcfg.ini"

// The copy the worker makes of every image and backup file: CopyFileExW,
// unless a test put another in its place (null restores it); returns the
// previous one.
typedef BOOL(WINAPI* ArchiveCopyRoutine)(const wchar_t* source, const wchar_t* target,
                                         LPPROGRESS_ROUTINE progress, void* data, BOOL* cancel, DWORD flags);
ArchiveCopyRoutine SetArchiveCopyRoutine(ArchiveCopyRoutine routine);
// The deletion of every file the worker deletes: DeleteFileW, unless a test
// put another in its place (null restores it); returns the previous one.
typedef BOOL(WINAPI* ArchiveDeleteRoutine)(const wchar_t* path);
ArchiveDeleteRoutine SetArchiveDeleteRoutine(ArchiveDeleteRoutine routine);

// The registry value (subkey "Arj") that names the image whose hard-disk
// files the free-space step is deleting: a job cut off between the row's
// change and the deletion leaves it, and the next free-space step deletes
// the files the row no longer claims.
extern const wchar_t kFreeingImageValue[];   // "FreeingImage"

// The size of a file; false when it cannot be read. The file's attributes
// give it without opening the file (one system call for each image, which
// matters when dozens of large images are archived).
bool GetFileSizeByName(const wchar_t* path, ULONGLONG* size);

// Label buffers of every volume read of the archive: room for any label.
const int kVolumeLabelChars = MAX_PATH + 1;

class ArjWorker {
public:
    explicit ArjWorker(const WorkerParams& params);
    ~ArjWorker();
    ArjWorker(const ArjWorker&) = delete;
    ArjWorker& operator=(const ArjWorker&) = delete;

    // The job sequence; throws stop signals.
    void Run();
    // The user's answer: returns on none (wait 0) or Continue; throws 0 on
    // Stop and -1 on anything else.
    void PollUserAnswer(DWORD waitMs);
    void Finish();

    // The disk in the archive drive: its serial into *serial and, when asked,
    // its label. With a wanted name the disk must have the wanted serial.
    // kStepDone, kStepAsked or kStepFatal.
    int WaitForDisk(DWORD* serial, DWORD wantedSerial, const wchar_t* wantedName, std::wstring* label);
    // Looks the disk's name up in Arj and waits for that disk, asking for it
    // by its name and serial; a serial that Arj does not know reports 734 and
    // throws the stop signal -1.
    int GetDiskName(DWORD archiveSerial);

    int PurgeFixSnimok();
    int ArchiveNewImages();
    // Archives the current image onto the disk in the drive; `live`: the
    // step's live names.
    int CheckDiskRegistered(BoundStatement& count, BoundStatement& update, const LiveImageNames& live);
    // 0 copied, kCopyAsked, kStepFatal, kCopySkipped (a name that names no
    // file of its own on the disk).
    int CopyImageToArj(const LiveImageNames& live);
    // "User's name: ...\nPicture date: ...\n" of the file, or empty.
    std::wstring ReportMissingFile(const wchar_t* fileName);

    // The database backup (bit 8); 1 done, 0 failed.
    int CopyDB();
    int CheckDiskCfg();
    int CopyBackupFile(DWORD* error, const wchar_t* source, const wchar_t* target);
    int ReportCopyError(DWORD error);
    int StoreLastDbDate(const wchar_t* label);
    // CopyFileExW with the progress bar; 1 copied, 0 with the Win32 code.
    int CopyFileRetry(const wchar_t* source, const wchar_t* target, DWORD* error);

    // Free space (bit 2) and the marked images (bit 4).
    int FreeHardDiskSpace();
    int DeleteMarked();
    int NeedsFreeing();
    int StillBelowEnd();
    // Deletes an image's hard-disk files (the paths DeletablePath gave):
    // 1 deleted (or already gone), 0 the user was asked; `beforeAsking`, when
    // given, runs first (the row takes its files back before the question).
    int DeleteImageFiles(const std::wstring& image, const std::wstring& icon,
                         const std::function<void()>& beforeAsking = nullptr);
    // The files of the image a cut-off free-space step left behind.
    void FinishInterruptedFreeing();

    // The names skipped because they cannot name a file of the folders.
    const std::vector<std::wstring>& RefusedNames() const { return refused_; }

    WorkerBase& Base() { return base_; }
    DWORD DiskSerial() const { return diskSerial_; }
    LONG MarkedCounter() const { return marked_; }
    LONG RemainingCounter() const { return remaining_; }
    LONG CopiedCounter() const { return copied_; }
    DWORD AverageSize() const { return averageSize_; }
    ULONGLONG ClusterBytes() const { return clusterBytes_; }
    const ArjVolumeConfig& VolumeConfig() const { return volume_; }
    const std::wstring& ArchivePathCopy() const { return archivePath_; }

    // Copy progress routine data.
    struct CopyProgressData {
        BOOL firstCall;
        DrawnProgressBar* bar;
    };
    static DWORD CALLBACK CopyProgress(LARGE_INTEGER total, LARGE_INTEGER transferred, LARGE_INTEGER streamSize,
                                       LARGE_INTEGER streamTransferred, DWORD streamNumber, DWORD reason,
                                       HANDLE source, HANDLE destination, void* data);

private:
    // The common step frame around a step that returns 1 or 0.
    int RunStep(const std::function<int()>& step);
    // Free MB of the hard disk; throws the stop signal -1 when unreadable.
    ULONGLONG HardDiskFreeMB();
    int CopyWithBar(const wchar_t* source, const wchar_t* target, DWORD* error);
    // Copies a file whole: CopyWithBar, then the copy's size checked against
    // the source's (read before the copy when known, else after it; into
    // *size when asked). A copy that is not whole (a full disk leaves one; a
    // faulty drive may report success for half) is deleted. 1 copied, 0 with
    // the Win32 code (ERROR_WRITE_FAULT for a copy of the wrong size).
    int CopyWhole(const wchar_t* source, const wchar_t* target, const ULONGLONG* knownSize, ULONGLONG* size,
                  DWORD* error);
    // DeleteFileW through the tests' seam.
    static BOOL RemoveFile(const wchar_t* path);
    void ResetBar();
    void UpdateAverage(ULONGLONG size);
    // The ask hook: the stamps waiting are written before the user is asked.
    static void WriteStampsBeforeAsking(void* self);
    // The path of a stored name below a folder; false (the name kept for the
    // job's report) when the name may not be used there.
    bool StoredPath(std::wstring* path, const std::wstring& folder, const std::wstring& name, const wchar_t* extension);
    // The path of a file the step deletes or overwrites
    // (LiveImageNames::DeletablePath); false (the name kept for the job's
    // report) when the name may not be used there or a live image's row
    // other than `self` (LiveImageNames::kNoRow: any) names the file.
    bool DeletablePath(std::wstring* path, const LiveImageNames& live, const std::wstring& folder,
                       const std::wstring& name, const wchar_t* extension, LONG self);
    void Refuse(const std::wstring& name);
    // Ends the job with the refused names in the window's text boxes.
    void ReportRefusedNames();
    // The archive disk's cluster size (0 when unknown) and free bytes (false
    // with the last error when they cannot be read).
    ULONGLONG ArchiveClusterBytes();
    bool ArchiveFreeBytes(ULONGLONG* freeBytes);

    DWORD diskSerial_ = 0;               // the disk last identified in the archive drive
    std::wstring archiveRoot_;           // "E:\"
    std::wstring hardDiskRoot_;          // "C:\"
    ULONGLONG clusterBytes_ = 0;         // of the archive disk; 0 when unknown
    ArjVolumeConfig volume_;             // the archive disk's "diskcfg.ini"
    WorkerBase base_;
    WorkerLink* link_;
    JobFlags flags_;
    std::wstring fileName_;              // the image being archived
    std::wstring archivePath_;           // each with its trailing backslash
    std::wstring imageFolder_;
    std::wstring iconFolder_;
    LONG marked_;                        // images marked for deletion still to do
    LONG remaining_;                     // images not yet archived
    LONG copied_ = 0;                    // copied in this job
    DWORD averageSize_;                  // bytes
    LONG imageKey_ = 0;                  // Snimok key of the image being archived
    StampBatch* stamps_ = nullptr;       // the archive step's stamps, while it runs
    DrawnProgressBar* bar_;
    std::vector<std::wstring> refused_;  // stored names that name no file of the folders
    DWORD registeredSerial_ = 0;         // the disk last found in Arj
    bool registeredKnown_ = false;
};
