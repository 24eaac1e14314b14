// The archive job's two deletion steps.
//
// Free space (bit 2, and again after archiving): while the drive of the image
// folder has less than SpaceArjStart MB free, the hard-disk copies of images
// that are already archived, not protected (FixSnimok) and still on the hard
// disk are deleted, oldest [Date file] first, until SpaceArjEnd MB are free.
// The rows stay; they only lose [Disk].
//
// Marked images (bit 4): the table DelImage lists the files of images deleted
// in this program (the delete procedures and the archive window record them).
// Each row's files go from the hard disk (when [Disk]) and from its archive
// disk (when Arj; the user is asked for that disk), then the row goes. Files
// already gone count as deleted. Rows of one disk come together.
#include "archive/arjworker.h"
#include "database/dberrors.h"
#include "exchange/disks/removabledrive.h"
#include "foundation/globals.h"
#include "resources/strings.h"

#include <cwchar>
#include <vector>

namespace {

const wchar_t kFreeListSql[] =
    L"SELECT Snimok, [File Name] FROM Snimok WHERE Arj IS NOT NULL AND [Disk]=1 AND [File Name] IS NOT NULL AND "
    L"Snimok NOT IN (SELECT Snimok FROM FixSnimok) ORDER BY [Date file];";
const wchar_t kUnsetDiskSql[] = L"UPDATE Snimok SET [Disk]=0 WHERE Snimok=?;";
const wchar_t kMarkedListSql[] = L"SELECT DelSnimok, [File Name], Arj, [Disk] FROM DelImage ORDER BY Arj;";
const wchar_t kDeleteMarkedRowSql[] = L"DELETE FROM DelImage WHERE DelSnimok=?;";

const int kNameChars = 256;

// A file that is not there needs no deleting.
bool IsAbsent(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

void TrimRight(wchar_t* text)
{
    for (int n = static_cast<int>(wcslen(text)); n > 0 && text[n - 1] == L' '; --n)
        text[n - 1] = 0;
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
        LogWin32Failure(L"GetDiskFreeSpaceExW", hardDiskRoot_.c_str(), GetLastError());
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
    // Outside the step's frame: a disk whose free space cannot be read ends
    // the whole job.
    if (!NeedsFreeing())
        return 1;
    return RunStep([this]() -> int {
        BoundStatement unset(base_.Session(), kUnsetDiskSql, BoundStatement::kPrepared);
        struct Item {
            LONG key;
            std::wstring name;
        };
        std::vector<Item> items;
        {
            BoundStatement list(base_.Session(), kFreeListSql);
            list.Execute();
            while (list.Next()) {
                Item item = {};
                wchar_t name[kNameChars + 1] = L"";
                if (!RowInt(list.Row(), 0, &item.key) || RowText(list.Row(), 1, name, kNameChars + 1) <= 0)
                    BadRow(L"ArjWorker::FreeHardDiskSpace");
                TrimRight(name);
                item.name = name;
                items.push_back(std::move(item));
            }
        }
        RowBatch batch(base_.Session());
        struct Lend {
            RowBatch*& slot;
            ~Lend() { slot = nullptr; }
        } lend{batch_};
        batch_ = &batch;
        for (const Item& item : items) {
            DWORD wait = 0;
            for (;;) {
                PollUserAnswer(wait);
                if (DeleteImageFiles(item.name.c_str()))
                    break;
                wait = INFINITE;   // the question committed the batch
            }
            batch.Begin();
            unset.Params().SetValI4(1, item.key);
            unset.Run();
            batch.Changed();
            if (!StillBelowEnd())
                break;
        }
        batch.Commit();
        return 1;
    });
}

int ArjWorker::DeleteImageFiles(const wchar_t* name)
{
    const std::wstring image = imageFolder_ + name + L".xmg";
    if (!DeleteFileW(image.c_str())) {
        const DWORD error = GetLastError();
        if (!IsAbsent(error)) {
            LogWin32Failure(L"DeleteFileW", image.c_str(), error);
            const UINT id = error == ERROR_WRITE_PROTECT ? IDS_DELETE_DISK_WRITE_PROTECTED
                                                          : IDS_UNKNOWN_ERROR_CALL_SERVICE;
            base_.ReportError(ArchiveText(id).c_str(), L"", kReportAsk, error);
            return 0;
        }
    }
    const std::wstring icon = iconFolder_ + name + L".thb";
    DeleteFileW(icon.c_str());
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
            TrimRight(name);
            item.name = name;
            item.serial = KeyToSerial(arj);
            item.onDisk = disk != 0;
            items.push_back(std::move(item));
        }
    }
    for (const Item& item : items) {
        DWORD wait = 0;
        for (;;) {
            PollUserAnswer(wait);
            if (item.onDisk) {
                const std::wstring icon = iconFolder_ + item.name + L".thb";
                if (!DeleteFileW(icon.c_str()) && !IsAbsent(GetLastError())) {
                    const DWORD error = GetLastError();
                    LogWin32Failure(L"DeleteFileW", icon.c_str(), error);
                    base_.ReportError(FormatArchiveText(IDS_DELETE_HDD_ICON_ERROR, item.name.c_str()).c_str(), L"",
                                      kReportFatal, error);
                    throw kStopByProgram;
                }
                const std::wstring image = imageFolder_ + item.name + L".xmg";
                if (!DeleteFileW(image.c_str()) && !IsAbsent(GetLastError())) {
                    const DWORD error = GetLastError();
                    LogWin32Failure(L"DeleteFileW", image.c_str(), error);
                    base_.ReportError(FormatArchiveText(IDS_DELETE_HDD_IMAGE_ERROR, item.name.c_str()).c_str(), L"",
                                      kReportFatal, error);
                    throw kStopByProgram;
                }
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
            const std::wstring icon = archivePath_ + item.name + L".thb";
            const std::wstring image = archivePath_ + item.name + L".xmg";
            UINT failed = 0;
            DWORD error = 0;
            if (!DeleteFileW(icon.c_str()) && !IsAbsent(error = GetLastError()))
                failed = IDS_DELETE_REMOVABLE_ICON_ERROR;
            else if (!DeleteFileW(image.c_str()) && !IsAbsent(error = GetLastError()))
                failed = IDS_DELETE_REMOVABLE_IMAGE_ERROR;
            if (failed) {
                LogWin32Failure(L"DeleteFileW",
                                failed == IDS_DELETE_REMOVABLE_ICON_ERROR ? icon.c_str() : image.c_str(), error);
                base_.ReportError(FormatArchiveText(failed, item.name.c_str()).c_str(), L"", kReportFatal, error);
                throw kStopByProgram;
            }
            break;
        }
        remove.Params().SetValI4(1, item.key);
        remove.Run();
        --marked_;
        if (marked_ >= 0 && link_)
            link_->SetMarkedCount(marked_);
    }
    return 1;
}
