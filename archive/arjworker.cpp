#include "archive/arjworker.h"

#include "archive/arjroom.h"
#include "database/dberrors.h"
#include "database/dbstart.h"
#include "exchange/disks/removabledrive.h"
#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/textutil.h"
#include "images/files/datafolders.h"
#include "images/files/livenames.h"
#include "resources/strings.h"
#include "ui/widgets.h"

#include <cwchar>
#include <functional>
#include <vector>

const wchar_t kBackupDbKey[] = L"BackupDB";
const wchar_t kBackupPathValue[] = L"BackupPath";
const wchar_t kLastFileValue[] = L"LastFile";
const wchar_t kMaxFilesValue[] = L"nMaxFiles";
const wchar_t kBackupFileValue[] = L"File";
const wchar_t kDiskLastCopyValue[] = L"DiskLastCopyDB";
const wchar_t kLastDbDateValue[] = L"LastDBDate";
const wchar_t kDiskCfgName[] = L"diskcfg.ini";
const wchar_t kFreeingImageValue[] = L"FreeingImage";

namespace {

const wchar_t kArchiveListSql[] =
    L"SELECT Snimok, [File Name] FROM Snimok  WHERE Arj IS NULL AND [Disk]=1 AND [File Name] IS NOT NULL;";
const wchar_t kArjCountSql[] = L"SELECT COUNT(*) FROM Arj WHERE Arj=?;";
const wchar_t kStampSql[] = L"UPDATE Snimok SET Arj=? WHERE Snimok=?;";
const wchar_t kPurgeFixSql[] = L"DELETE FROM FixSnimok WHERE [Date fix] < GetDate();";
const wchar_t kDiskNameSql[] = L"Select name from arj where arj=?;";
const wchar_t kMissingFileSql[] =
    L"SELECT Patient.Name1+' '+Patient.Name2+' '+Patient.Name3, Snimok.[Date file] FROM Patient INNER JOIN Snimok "
    L"ON Patient.Patient = Snimok.Patient WHERE [file name] = ?;";

const int kFileNameChars = 260;

std::wstring RootOf(const wchar_t* path)
{
    std::wstring root;
    if (path && path[0]) {
        root += path[0];
        root += L":\\";
    }
    return root;
}

}  // namespace

bool GetFileSizeByName(const wchar_t* path, ULONGLONG* size)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    *size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

namespace {

// A file that is not there (or whose folder is not).
bool IsAbsentError(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

ArchiveCopyRoutine volatile gCopyRoutine = nullptr;
ArchiveDeleteRoutine volatile gDeleteRoutine = nullptr;

// At most this many refused names are listed in the window; the rest are
// counted.
const size_t kRefusedListed = 20;

}  // namespace

ArchiveCopyRoutine SetArchiveCopyRoutine(ArchiveCopyRoutine routine)
{
    ArchiveCopyRoutine previous = gCopyRoutine;
    gCopyRoutine = routine;
    return previous;
}

ArchiveDeleteRoutine SetArchiveDeleteRoutine(ArchiveDeleteRoutine routine)
{
    ArchiveDeleteRoutine previous = gDeleteRoutine;
    gDeleteRoutine = routine;
    return previous;
}

BOOL ArjWorker::RemoveFile(const wchar_t* path)
{
    ArchiveDeleteRoutine routine = gDeleteRoutine;
    return routine ? routine(path) : DeleteFileW(path);
}

// ---- stamps ------------------------------------------------------------------------

void StampBatch::Add(LONG imageKey, DWORD serial)
{
    if (waiting_.empty())
        firstMs_ = GetTickCount();
    waiting_.push_back(std::make_pair(imageKey, serial));
    if (waiting_.size() >= kRows || GetTickCount() - firstMs_ >= kMs)
        Flush();
}

void StampBatch::Flush()
{
    if (waiting_.empty())
        return;
    HRESULT hr = session_->BeginTx();
    if (FAILED(hr))
        ThrowDatabaseError(hr);
    try {
        for (const auto& stamp : waiting_) {
            update_.Params().SetValI4(1, SerialToKey(stamp.second));
            update_.Params().SetValI4(2, stamp.first);
            update_.Run();
        }
    } catch (...) {
        session_->AbortTx();
        throw;
    }
    hr = session_->CommitSync();
    if (FAILED(hr)) {
        session_->AbortTx();
        ThrowDatabaseError(hr);
    }
    waiting_.clear();
}

void StampBatch::FlushQuietly()
{
    try {
        Flush();
    } catch (const DODBErrors& error) {
        DODBErrors failure(error);
        if (failure.RecordCount() == 0)
            failure.Collect();
        wchar_t text[1025] = L"";
        failure.GetText(text, 1024);
        LogError(static_cast<DWORD>(failure.Result()), text);
    }
    waiting_.clear();
}

// ---- the thread ------------------------------------------------------------------

DWORD WINAPI procArj(void* param)
{
    return RunWorkerThread<ArjWorker>(param, IDS_PROCARJ_EXCEPTION);
}

ArjWorker::ArjWorker(const WorkerParams& params)
    : archiveRoot_(RootOf(ArchivePath)),
      hardDiskRoot_(RootOf(ImageFolder)),
      link_(params.link),
      flags_(params.jobFlags),
      archivePath_(WithBackslash(ArchivePath)),
      imageFolder_(WithBackslash(ImageFolder)),
      iconFolder_(WithBackslash(IconFolder)),
      marked_(params.markedCount),
      remaining_(params.notArchivedCount),
      averageSize_(params.averageImageSize),
      bar_(static_cast<DrawnProgressBar*>(params.progressBar))
{
    base_.SetLink(link_);
    base_.SetAskHook(&ArjWorker::WriteStampsBeforeAsking, this);
}

ArjWorker::~ArjWorker() = default;

void ArjWorker::WriteStampsBeforeAsking(void* self)
{
    ArjWorker* worker = static_cast<ArjWorker*>(self);
    if (worker->stamps_)
        worker->stamps_->Flush();
}

void ArjWorker::Finish()
{
    if (link_)
        link_->JobFinished();
}

void ArjWorker::PollUserAnswer(DWORD waitMs)
{
    if (link_)
        link_->PollAnswer(waitMs);
}

void ArjWorker::Run()
{
    base_.InitCom();
    if (!base_.OpenSessionAndCommand(g_DbSource)) {
        // The provider's reason goes to the window (RunWorkerJob).
        DODBAddError(E_FAIL, 0, L"ArjWorker::Run");
        ThrowDatabaseError(E_FAIL);
    }
    if (!volume_.SetFolder(archiveRoot_.c_str()) || !volume_.SetFile(kDiskCfgName))
        throw kStopByUser;
    if (flags_.Test(kJobFreeSpace))
        FreeHardDiskSpace();
    if (flags_.Test(kJobDeleteMarked))
        DeleteMarked();
    if (flags_.Test(kJobBackup))
        CopyDB();
    if (flags_.Test(kJobArchive)) {
        if (PurgeFixSnimok() && ArchiveNewImages())
            FreeHardDiskSpace();
    }
    ReportRefusedNames();
}

bool ArjWorker::StoredPath(std::wstring* path, const std::wstring& folder, const std::wstring& name,
                           const wchar_t* extension)
{
    wchar_t built[MAX_PATH];
    if (!BuildStoredFilePath(built, folder.c_str(), name.c_str(), extension)) {
        LogWin32Failure(L"BuildStoredFilePath", name.c_str(), GetLastError());
        Refuse(name);
        return false;
    }
    *path = built;
    return true;
}

bool ArjWorker::DeletablePath(std::wstring* path, const LiveImageNames& live, const std::wstring& folder,
                              const std::wstring& name, const wchar_t* extension, LONG self)
{
    if (live.DeletablePath(path, folder, name, extension, self))
        return true;
    Refuse(name);
    return false;
}

void ArjWorker::Refuse(const std::wstring& name)
{
    for (const std::wstring& known : refused_)
        if (known == name)
            return;
    refused_.push_back(name);
}

void ArjWorker::ReportRefusedNames()
{
    if (refused_.empty())
        return;
    std::wstring names;
    for (size_t i = 0; i < refused_.size() && i < kRefusedListed; ++i) {
        names += names.empty() ? L"\"" : L", \"";
        names += refused_[i];
        names += L'"';
    }
    if (refused_.size() > kRefusedListed) {
        wchar_t more[32];
        _snwprintf(more, 31, L" (+%u)", static_cast<unsigned>(refused_.size() - kRefusedListed));
        more[31] = 0;
        names += more;
    }
    const std::wstring text = FormatArchiveText(IDS_STORED_NAMES_SKIPPED, names.c_str());
    base_.ReportError(ArchiveText(IDS_STORED_NAMES_CHECK).c_str(), text.c_str(), kReportFatal, 0);
    if (base_.GetResult() != 1)
        base_.SetResult(-1);
}

int ArjWorker::RunStep(const std::function<int()>& step)
{
    int done = 0;
    try {
        done = step();
    } catch (const DODBErrors& error) {
        base_.ReportDbError(error, false);
    } catch (int signal) {
        if (signal == kStopByUser)
            base_.SetResult(1);
    }
    if (!done && base_.GetResult() != 1)
        base_.SetResult(-1);
    return done;
}

// ---- the disk in the drive -----------------------------------------------------------

int ArjWorker::WaitForDisk(DWORD* serial, DWORD wantedSerial, const wchar_t* wantedName, std::wstring* label)
{
    std::wstring root;
    if (!GetPathRoot2(archivePath_.c_str(), &root)) {
        return base_.ReportError(L"", ArchiveText(IDS_DRIVE_NAME_ERROR).c_str(), kReportFatal, 0);
    }
    // The label is read only for a caller that keeps it: the serial tells
    // the disks apart, and this runs before every image.
    wchar_t volumeLabel[kVolumeLabelChars] = L"";
    DWORD found = 0;
    if (GetVolumeInformationW(root.c_str(), label ? volumeLabel : nullptr, label ? kVolumeLabelChars : 0, &found,
                              nullptr, nullptr, nullptr, 0)) {
        volumeLabel[kVolumeLabelChars - 1] = 0;
        *serial = found;
        if (label)
            *label = volumeLabel;
        if (wantedName) {
            if (found != wantedSerial) {
                const std::wstring text = FormatArchiveText(IDS_INSERT_WANTED_DISK, wantedName);
                return base_.ReportError(text.c_str(), L"", kReportAsk, 0);
            }
        }
        return kStepDone;
    }
    const DWORD error = GetLastError();
    if (IsNoDiskError(error)) {
        const std::wstring text = wantedName ? FormatArchiveText(IDS_INSERT_NAMED_DISK, wantedName)
                                             : ArchiveText(IDS_CHECK_DISK_IN_DRIVE);
        return base_.ReportError(text.c_str(), L"", kReportAsk, error);
    }
    LogWin32Failure(L"GetVolumeInformationW", root.c_str(), error);
    return base_.ReportError(L"", L"", kReportFatal, error);
}

int ArjWorker::GetDiskName(DWORD archiveSerial)
{
    wchar_t name[65] = L"";
    {
        BoundStatement query(base_.Session(), kDiskNameSql);
        query.Params().SetValI4(1, SerialToKey(archiveSerial));
        if (!query.First()) {
            // The job stops here: no question the worker would not wait for.
            base_.ReportErrorIds(0, IDS_ARCHIVE_DISK_UNKNOWN, kReportFatal, 0);
            throw kStopByProgram;
        }
        if (RowText(query.Row(), 0, name, 65) < 0) {
            DODBSetError(E_FAIL, 0, L"ArjWorker::GetDiskName");
            ThrowDatabaseError(E_FAIL);
        }
    }
    // Names are padded by some databases.
    for (int n = static_cast<int>(wcslen(name)); n > 0 && name[n - 1] == L' '; --n)
        name[n - 1] = 0;
    // Asked for by its name and serial: two disks may carry one label.
    const std::wstring wanted = DiskNameWithSerial(name, archiveSerial);
    DWORD serial = 0;
    return WaitForDisk(&serial, archiveSerial, wanted.c_str(), nullptr);
}

// ---- archiving -------------------------------------------------------------------

int ArjWorker::PurgeFixSnimok()
{
    try {
        BoundStatement purge(base_.Session(), kPurgeFixSql);
        purge.Run();
        return 1;
    } catch (const DODBErrors& error) {
        base_.ReportDbError(error, false);
        return 0;
    }
}

int ArjWorker::ArchiveNewImages()
{
    return RunStep([this]() -> int {
        BoundStatement count(base_.Session(), kArjCountSql, BoundStatement::kPrepared);
        BoundStatement update(base_.Session(), kStampSql, BoundStatement::kPrepared);
        struct Item {
            LONG key;
            std::wstring name;
        };
        std::vector<Item> items;
        LiveImageNames live;
        {
            BoundStatement list(base_.Session(), kArchiveListSql);
            list.Execute();
            while (list.Next()) {
                Item item = {};
                wchar_t name[kFileNameChars + 1] = L"";
                if (!RowInt(list.Row(), 0, &item.key) || RowText(list.Row(), 1, name, kFileNameChars + 1) <= 0) {
                    DODBSetError(E_FAIL, 0, L"ArjWorker::ArchiveNewImages");
                    ThrowDatabaseError(E_FAIL);
                }
                item.name = name;   // as it stands: "L2 " is not "L2" (the name check refuses it)
                live.Track(item.name);
                items.push_back(std::move(item));
            }
        }
        live.Read(base_.Session());
        StampBatch stamps(base_.Session(), update);
        struct Lend {
            StampBatch*& slot;
            ~Lend() { slot = nullptr; }
        } lend{stamps_};
        stamps_ = &stamps;
        try {
            for (const Item& item : items) {
                if (CheckStoredFileName(item.name.c_str()) != StoredNameVerdict::kOk) {
                    Refuse(item.name);
                    continue;
                }
                imageKey_ = item.key;
                fileName_ = item.name;
                DWORD wait = 0;
                for (;;) {
                    PollUserAnswer(wait);
                    const int r = CheckDiskRegistered(count, update, live);
                    if (r == kStepDone)
                        break;
                    stamps.Flush();   // written before any question already; nothing waits on an answer
                    if (r == kStepFatal)
                        throw kStopByProgram;
                    wait = INFINITE;
                }
            }
            stamps.Flush();
        } catch (...) {
            stamps.FlushQuietly();   // the copies made so far are whole
            throw;
        }
        return 1;
    });
}

int ArjWorker::CheckDiskRegistered(BoundStatement& count, BoundStatement& update, const LiveImageNames& live)
{
    const int r = WaitForDisk(&diskSerial_, 0, nullptr, nullptr);
    if (r != kStepDone)
        return r;
    // The disk found registered for the last image needs no second look.
    if (!registeredKnown_ || registeredSerial_ != diskSerial_) {
        registeredKnown_ = false;
        count.Params().SetValI4(1, SerialToKey(diskSerial_));
        LONG registered = 0;
        if (!count.First() || !RowInt(count.Row(), 0, &registered)) {
            DODBSetError(E_FAIL, 0, L"ArjWorker::CheckDiskRegistered");
            ThrowDatabaseError(E_FAIL);
        }
        if (registered != 1)
            return base_.ReportErrorIds(IDS_DISK_NOT_REGISTERED, IDS_DISK_NOT_REGISTERED_CHANGE, kReportAsk, 0);
        registeredSerial_ = diskSerial_;
        registeredKnown_ = true;
    }
    const int c = CopyImageToArj(live);
    if (c == 0) {
        // The copies are whole: the image may be stamped.
        if (stamps_) {
            stamps_->Add(imageKey_, diskSerial_);
        } else {
            update.Params().SetValI4(1, SerialToKey(diskSerial_));
            update.Params().SetValI4(2, imageKey_);
            update.Run();
        }
        ++copied_;
        --remaining_;
        if (link_)
            link_->SetCounts(remaining_, copied_);
        return kStepDone;
    }
    if (c == kCopyAsked)
        return kStepAsked;
    if (c == kStepFatal)
        return kStepFatal;
    return kStepDone;
}

int ArjWorker::CopyImageToArj(const LiveImageNames& live)
{
    try {
        // A copy overwrites the disk's file of the name, and one that is not
        // whole is deleted: not a file another live image's row names.
        std::wstring sourceImage, sourceIcon, targetImage, targetIcon;
        if (!StoredPath(&sourceImage, imageFolder_, fileName_, L".xmg") ||
            !StoredPath(&sourceIcon, iconFolder_, fileName_, L".thb") ||
            !DeletablePath(&targetImage, live, archivePath_, fileName_, L".xmg", imageKey_) ||
            !DeletablePath(&targetIcon, live, archivePath_, fileName_, L".thb", imageKey_))
            return kCopySkipped;

        if (!base_.Checked().IsValid() || base_.Checked().Serial() != diskSerial_) {
            clusterBytes_ = ArchiveClusterBytes();
            if (!volume_.Load() || !volume_.CheckFiles())
                return base_.ReportError(L"", ArchiveText(IDS_VOLUME_CONFIG_ERROR).c_str(), kReportFatal, 0);
            base_.Checked().Set(diskSerial_);
        }

        ULONGLONG freeBytes = 0;
        if (!ArchiveFreeBytes(&freeBytes)) {
            const DWORD error = GetLastError();
            return base_.ReportError(L"", ArchiveText(IDS_DEVICE_NOT_READY_OR_PROTECTED).c_str(), kReportFatal,
                                     error);
        }
        ULONGLONG imageSize = 0, iconSize = 0;
        const bool imageKnown = GetFileSizeByName(sourceImage.c_str(), &imageSize);
        const bool iconKnown = GetFileSizeByName(sourceIcon.c_str(), &iconSize);
        // An image without a thumbnail is archived without one.
        const bool iconAbsent = !iconKnown && GetFileAttributesW(sourceIcon.c_str()) == INVALID_FILE_ATTRIBUTES &&
                                IsAbsentError(GetLastError());
        const ULONGLONG needed =
            AllocatedSize(imageKnown, imageSize, clusterBytes_) + AllocatedSize(iconKnown, iconSize, clusterBytes_);
        if (!RoomForCopy(freeBytes, needed, volume_.Outstanding())) {
            base_.ReportError(ArchiveText(IDS_DISK_FULL).c_str(), L"", kReportAsk, 0);
            return kCopyAsked;
        }

        // Only an image whose copy and whose thumbnail's copy are whole is
        // stamped as archived; a copy that is not whole stays on no disk.
        DWORD error = 0;
        bool copied = CopyWhole(sourceImage.c_str(), targetImage.c_str(), imageKnown ? &imageSize : nullptr,
                                &imageSize, &error) != 0;
        if (copied && !iconAbsent) {
            copied = CopyWhole(sourceIcon.c_str(), targetIcon.c_str(), iconKnown ? &iconSize : nullptr, nullptr,
                               &error) != 0;
            if (!copied)
                RemoveFile(targetImage.c_str());
        }
        ResetBar();
        if (!copied) {
            const std::wstring patientLine = ReportMissingFile(fileName_.c_str());
            std::wstring message;
            switch (error) {
            case ERROR_FILE_NOT_FOUND:
                message = FormatArchiveText(IDS_ARCHIVE_FILE_NOT_FOUND, fileName_.c_str());
                break;
            case ERROR_WRITE_PROTECT:
                message = ArchiveText(IDS_ARCHIVE_DISK_WRITE_PROTECTED);
                break;
            case ERROR_NOT_READY:
                message = ArchiveText(IDS_CHECK_REMOVABLE_DISK);
                break;
            case ERROR_DISK_FULL:
                message = ArchiveText(IDS_DISK_FULL);
                break;
            default:
                message = ArchiveText(IDS_TRY_OTHER_DISK);
                break;
            }
            base_.ReportError(message.c_str(), patientLine.c_str(), kReportAsk, error);
            return kCopyAsked;
        }
        UpdateAverage(imageSize);
        return 0;
    } catch (...) {
        // The user is asked (Continue retries the image, Stop ends the job):
        // a step that waits for an answer must have offered the question.
        ResetBar();
        LogError(0, ArchiveText(IDS_COPY_IMAGE_EXCEPTION).c_str());
        base_.ReportError(ArchiveText(IDS_TRY_OTHER_DISK).c_str(), ArchiveText(IDS_COPY_IMAGE_EXCEPTION).c_str(),
                          kReportAsk, 0);
        return kCopyAsked;
    }
}

ULONGLONG ArjWorker::ArchiveClusterBytes()
{
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    return GetDiskFreeSpaceW(archiveRoot_.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)
               ? static_cast<ULONGLONG>(sectorsPerCluster) * bytesPerSector
               : 0;
}

bool ArjWorker::ArchiveFreeBytes(ULONGLONG* freeBytes)
{
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExW(archiveRoot_.c_str(), &available, &total, &free)) {
        const DWORD error = GetLastError();
        LogWin32Failure(L"GetDiskFreeSpaceExW", archiveRoot_.c_str(), error);
        SetLastError(error);
        return false;
    }
    *freeBytes = free.QuadPart;
    return true;
}

std::wstring ArjWorker::ReportMissingFile(const wchar_t* fileName)
{
    try {
        BoundStatement query(base_.Session(), kMissingFileSql);
        query.Params().SetStr(1, fileName, -1);
        if (!query.First()) {
            DODBSetError(E_FAIL, IDS_RECORD_NOT_FOUND, L"ArjWorker::ReportMissingFile");
            ThrowDatabaseError(E_FAIL);
        }
        wchar_t name[129] = L"";
        RowText(query.Row(), 0, name, 129);
        FILETIME date = {};
        wchar_t dateText[64] = L"";
        if (RowDate(query.Row(), 1, &date))
            FormatFileTime(dateText, 64, DateTimePicture, &date);
        return FormatArchiveText(IDS_MISSING_FILE_DETAILS, name, dateText);
    } catch (const DODBErrors& error) {
        error.ShowMessage(nullptr, ArchiveText(IDS_ERROR).c_str(), MB_OK);
        return std::wstring();
    }
}

// ---- copying -----------------------------------------------------------------------

DWORD CALLBACK ArjWorker::CopyProgress(LARGE_INTEGER total, LARGE_INTEGER transferred, LARGE_INTEGER,
                                       LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE, void* data)
{
    try {
        CopyProgressData* progress = static_cast<CopyProgressData*>(data);
        if (progress && progress->bar) {
            if (progress->firstCall) {
                progress->bar->SetTotal(total.QuadPart / 1024);
                progress->firstCall = FALSE;
            }
            progress->bar->SetPos(transferred.QuadPart / 1024);
        }
    } catch (...) {
    }
    return PROGRESS_CONTINUE;
}

int ArjWorker::CopyWithBar(const wchar_t* source, const wchar_t* target, DWORD* error)
{
    CopyProgressData data = {TRUE, bar_};
    ArchiveCopyRoutine routine = gCopyRoutine;
    const BOOL copied = routine ? routine(source, target, CopyProgress, &data, nullptr, 0)
                                : CopyFileExW(source, target, CopyProgress, &data, nullptr, 0);
    if (copied)
        return 1;
    *error = GetLastError();
    LogWin32Failure(L"CopyFileExW", target, *error);
    return 0;
}

int ArjWorker::CopyWhole(const wchar_t* source, const wchar_t* target, const ULONGLONG* knownSize, ULONGLONG* size,
                         DWORD* error)
{
    int copied = CopyWithBar(source, target, error);
    if (copied) {
        ULONGLONG sourceSize = knownSize ? *knownSize : 0, written = 0;
        if (!knownSize && !GetFileSizeByName(source, &sourceSize)) {
            copied = 0;
            *error = ERROR_READ_FAULT;
        } else if (!GetFileSizeByName(target, &written) || written != sourceSize) {
            copied = 0;
            *error = ERROR_WRITE_FAULT;
            LogWin32Failure(L"CopyFileExW (the copy is not whole)", target, *error);
        } else if (size) {
            *size = sourceSize;
        }
    }
    // What a full disk or a faulty drive left is no copy. A source that is
    // not there wrote nothing: whatever has the target's name stays.
    if (!copied && !IsAbsentError(*error))
        RemoveFile(target);
    return copied;
}

void ArjWorker::ResetBar()
{
    if (bar_)
        bar_->Reset();
}

void ArjWorker::UpdateAverage(ULONGLONG size)
{
    if ((size & 0xFFFFFFFFull) == 0xFFFFFFFFull)
        return;
    averageSize_ = NextAverageSize(averageSize_, static_cast<DWORD>(size));
    if (link_)
        link_->SetAverageSize(averageSize_);
}
