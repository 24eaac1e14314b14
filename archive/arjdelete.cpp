// The archive job's two deletion steps.
//
// Free space (bit 2, and again after archiving): while the drive of the image
// folder has less than SpaceArjStart MB free, the hard-disk copies of images
// that are already archived, not protected (FixSnimok) and still on the hard
// disk are deleted, oldest [Date file] first, until SpaceArjEnd MB are free.
// The rows stay; they only lose [Disk]. The row changes first, in a statement
// of its own, and the files go after it: the database never says "on the
// hard disk" for a file that is gone. Before the row changes, the image's
// name goes into the registry value "FreeingImage" (until the next image's
// or the step's end); a job cut off between the row and the files leaves
// it, and the next free-space step deletes the files that its row no longer
// claims (FinishInterruptedFreeing). A file that cannot be deleted gives its row
// [Disk] back before the user is asked.
//
// Marked images (bit 4): the table DelImage lists the files of images deleted
// in this program (the delete procedures and the archive window record them).
// Each row's files go from the hard disk (when [Disk]) and from its archive
// disk (when Arj; the user is asked for that disk), then the row goes. Files
// already gone count as deleted, so a job cut off between the files and the
// row finishes the row next time. Rows of one disk come together.
//
// Every path comes from a stored name, as the row holds it, through
// DeletablePath: a name that would leave its folder, name a device or name
// another file (a trailing blank, a short-name alias), or whose file a live
// image's row names (another row's, in the file system's comparison:
// LiveImageNames), skips its image, which keeps its row and files, and is
// reported at the job's end. Each step reads the live names once, after its
// work list.
#include "archive/arjworker.h"
#include "database/dberrors.h"
#include "exchange/disks/arjregistry.h"
#include "exchange/disks/removabledrive.h"
#include "foundation/journal.h"
#include "foundation/globals.h"
#include "images/files/livenames.h"
#include "resources/strings.h"

#include <cwchar>
#include <vector>

namespace {

const wchar_t kFreeListSql[] =
    L"SELECT Snimok, [File Name] FROM Snimok WHERE Arj IS NOT NULL AND [Disk]=1 AND [File Name] IS NOT NULL AND "
    L"Snimok NOT IN (SELECT Snimok FROM FixSnimok) ORDER BY [Date file];";
const wchar_t kUnsetDiskSql[] = L"UPDATE Snimok SET [Disk]=0 WHERE Snimok=?;";
const wchar_t kResetDiskSql[] = L"UPDATE Snimok SET [Disk]=1 WHERE Snimok=?;";
const wchar_t kFreeingStateSql[] = L"SELECT [Disk], Snimok FROM Snimok WHERE [File Name]=?;";
const wchar_t kArjSettingsKey[] = L"Arj";
const wchar_t kMarkedListSql[] = L"SELECT DelSnimok, [File Name], Arj, [Disk] FROM DelImage ORDER BY Arj;";
const wchar_t kDeleteMarkedRowSql[] = L"DELETE FROM DelImage WHERE DelSnimok=?;";

const int kNameChars = 256;

// A file that is not there needs no deleting.
bool IsAbsent(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

[[noreturn]] void BadRow(const wchar_t* source)
{
    DODBSetError(E_FAIL, 0, source);
    ThrowDatabaseError(E_FAIL);
}

}  // namespace

ULONGLONG ArjWorker::HardDiskFreeMB()
{
    ULARGE_INTEGER available, total, freeBytes;
    if (!GetDiskFreeSpaceExW(hardDiskRoot_.c_str(), &available, &total, &freeBytes)) {
        const DWORD error = GetLastError();
        LogWin32Failure(L"GetDiskFreeSpaceExW", hardDiskRoot_.c_str(), error);
        base_.ReportError(L"", ArchiveText(IDS_DEVICE_NOT_READY_OR_PROTECTED).c_str(), kReportFatal, error);
        throw kStopByProgram;
    }
    return freeBytes.QuadPart / 1048576ull;
}

int ArjWorker::NeedsFreeing()
{
    return HardDiskFreeMB() < SpaceArjStart ? 1 : 0;
}

int ArjWorker::StillBelowEnd()
{
    return HardDiskFreeMB() < SpaceArjEnd ? 1 : 0;
}

int ArjWorker::FreeHardDiskSpace()
{
    FinishInterruptedFreeing();
    // Outside the step's frame: a disk whose free space cannot be read ends
    // the whole job.
    if (!NeedsFreeing())
        return 1;
    return RunStep([this]() -> int {
        BoundStatement unset(base_.Session(), kUnsetDiskSql, BoundStatement::kPrepared);
        BoundStatement reset(base_.Session(), kResetDiskSql, BoundStatement::kPrepared);
        struct Item {
            LONG key;
            std::wstring name;
        };
        std::vector<Item> items;
        LiveImageNames live;
        {
            BoundStatement list(base_.Session(), kFreeListSql);
            list.Execute();
            while (list.Next()) {
                Item item = {};
                wchar_t name[kNameChars + 1] = L"";
                if (!RowInt(list.Row(), 0, &item.key) || RowText(list.Row(), 1, name, kNameChars + 1) <= 0)
                    BadRow(L"ArjWorker::FreeHardDiskSpace");
                item.name = name;
                live.Track(item.name);
                items.push_back(std::move(item));
            }
        }
        live.Read(base_.Session());
        for (const Item& item : items) {
            // A file that another live row names too stays: it is that
            // image's file on the hard disk as well.
            std::wstring image, icon;
            if (!DeletablePath(&image, live, imageFolder_, item.name, L".xmg", item.key) ||
                !DeletablePath(&icon, live, iconFolder_, item.name, L".thb", item.key))
                continue;   // the row keeps its mark, and the job's end names it
            DWORD wait = 0;
            for (;;) {
                PollUserAnswer(wait);
                ArjRegWrite(kArjSettingsKey, kFreeingImageValue, REG_SZ, item.name.c_str(), 0);
                unset.Params().SetValI4(1, item.key);
                unset.Run();
                // A file that is still there is still the image's, while
                // the user decides and whatever he decides.
                const auto giveBack = [&] {
                    reset.Params().SetValI4(1, item.key);
                    reset.Run();
                };
                if (DeleteImageFiles(image, icon, giveBack))
                    break;
                wait = INFINITE;
            }
            if (!StillBelowEnd())
                break;
        }
        ArjRegWrite(kArjSettingsKey, kFreeingImageValue, REG_SZ, L"", 0);
        return 1;
    });
}

void ArjWorker::FinishInterruptedFreeing()
{
    wchar_t name[kNameChars + 1] = L"";
    DWORD chars = kNameChars + 1;
    if (!ArjRegRead(kArjSettingsKey, kFreeingImageValue, REG_SZ, name, &chars) || !name[0])
        return;
    try {
        LONG disk = 1, key = LiveImageNames::kNoRow;
        {
            BoundStatement query(base_.Session(), kFreeingStateSql);
            query.Params().SetStr(1, name, -1);
            if (!query.First() || !RowInt(query.Row(), 0, &disk) || !RowInt(query.Row(), 1, &key))
                disk = 1;
        }
        // Only an image whose row says its files are gone from the hard disk
        // loses them; a row that still claims them (the job was cut off
        // before the change) or none at all keeps them, and so does a file
        // that another live row names.
        if (disk == 0) {
            LiveImageNames live;
            live.Track(name);
            live.Read(base_.Session());
            std::wstring image, icon;
            if (DeletablePath(&image, live, imageFolder_, name, L".xmg", key) &&
                DeletablePath(&icon, live, iconFolder_, name, L".thb", key)) {
                RemoveFile(image.c_str());
                RemoveFile(icon.c_str());
            }
        }
    } catch (const DODBErrors& error) {
        base_.ReportDbError(error, false);
        return;
    }
    ArjRegWrite(kArjSettingsKey, kFreeingImageValue, REG_SZ, L"", 0);
}

int ArjWorker::DeleteImageFiles(const std::wstring& image, const std::wstring& icon,
                                const std::function<void()>& beforeAsking)
{
    if (!RemoveFile(image.c_str())) {
        const DWORD error = GetLastError();
        if (!IsAbsent(error)) {
            LogWin32Failure(L"DeleteFileW", image.c_str(), error);
            if (beforeAsking)
                beforeAsking();
            const UINT id = error == ERROR_WRITE_PROTECT ? IDS_DELETE_DISK_WRITE_PROTECTED
                                                          : IDS_UNKNOWN_ERROR_CALL_SERVICE;
            base_.ReportError(ArchiveText(id).c_str(), L"", kReportAsk, error);
            return 0;
        }
    }
    RemoveFile(icon.c_str());
    return 1;
}

int ArjWorker::DeleteMarked()
{
    BoundStatement remove(base_.Session(), kDeleteMarkedRowSql, BoundStatement::kPrepared);
    struct Item {
        LONG key;
        std::wstring name;
        bool archived;
        DWORD serial;
        bool onDisk;
    };
    std::vector<Item> items;
    LiveImageNames live;
    {
        BoundStatement list(base_.Session(), kMarkedListSql);
        list.Execute();
        while (list.Next()) {
            Item item = {};
            wchar_t name[kNameChars + 1] = L"";
            LONG arj = 0, disk = 0;
            if (!RowInt(list.Row(), 0, &item.key) || RowText(list.Row(), 1, name, kNameChars + 1) <= 0 ||
                !RowInt(list.Row(), 3, &disk))
                BadRow(L"ArjWorker::DeleteMarked");
            item.archived = RowInt(list.Row(), 2, &arj);
            if (!item.archived && !list.Row()->IsNull(2))
                BadRow(L"ArjWorker::DeleteMarked");
            item.name = name;
            item.serial = KeyToSerial(arj);
            item.onDisk = disk != 0;
            live.Track(item.name);
            items.push_back(std::move(item));
        }
    }
    live.Read(base_.Session());
    // A file that is still there after DeleteFileW stops the job with its text.
    const auto removeOrStop = [this](const std::wstring& path, UINT text, const std::wstring& name) {
        if (RemoveFile(path.c_str()))
            return;
        const DWORD error = GetLastError();
        if (IsAbsent(error))
            return;
        LogWin32Failure(L"DeleteFileW", path.c_str(), error);
        base_.ReportError(FormatArchiveText(text, name.c_str()).c_str(), L"", kReportFatal, error);
        throw kStopByProgram;
    };
    for (const Item& item : items) {
        // The archive disk's paths are built once the row's disk is in the
        // drive: a name is checked against the files of the folder it names.
        // The row is no image's any more: a live row that names its file in
        // the file system's comparison keeps the file.
        std::wstring hddIcon, hddImage, arjIcon, arjImage;
        if (!DeletablePath(&hddIcon, live, iconFolder_, item.name, L".thb", LiveImageNames::kNoRow) ||
            !DeletablePath(&hddImage, live, imageFolder_, item.name, L".xmg", LiveImageNames::kNoRow))
            continue;   // the row stays, and the job's end names it
        DWORD wait = 0;
        bool refused = false;
        for (;;) {
            PollUserAnswer(wait);
            if (item.onDisk) {
                removeOrStop(hddIcon, IDS_DELETE_HDD_ICON_ERROR, item.name);
                removeOrStop(hddImage, IDS_DELETE_HDD_IMAGE_ERROR, item.name);
            }
            if (!item.archived)
                break;
            const int r = GetDiskName(item.serial);
            if (r == kStepAsked) {
                wait = INFINITE;
                continue;
            }
            if (r != kStepDone)
                throw kStopByProgram;
            refused = !DeletablePath(&arjIcon, live, archivePath_, item.name, L".thb", LiveImageNames::kNoRow) ||
                      !DeletablePath(&arjImage, live, archivePath_, item.name, L".xmg", LiveImageNames::kNoRow);
            if (refused)
                break;
            // The image only when its thumbnail is gone.
            removeOrStop(arjIcon, IDS_DELETE_REMOVABLE_ICON_ERROR, item.name);
            removeOrStop(arjImage, IDS_DELETE_REMOVABLE_IMAGE_ERROR, item.name);
            break;
        }
        if (refused)
            continue;   // the row stays, and the job's end names it
        remove.Params().SetValI4(1, item.key);
        remove.Run();
        --marked_;
        if (marked_ >= 0 && link_)
            link_->SetMarkedCount(marked_);
    }
    return 1;
}
