// The archive job's database backup (bit 8): the server writes a full backup
// into the next of the rotating slot folders, then the backup file is
// copied to the root of the archive disk in the drive, provided the disk was
// prepared for backups (it carries "diskcfg.ini").
//
// Registry "BackupDB": "BackupPath" (the folder of the slot folders; when it
// is missing, DataPath + "Backup\", as the backup settings keep it),
// "LastFile" (the slot used last; missing counts as 0), "nMaxFiles" (the
// number of slots; required, 0 refused), "File" (the backup's file name,
// required). After a copy: "LastFile", "DiskLastCopyDB" (the disk's label)
// and "LastDBDate" (the local time as a FILETIME).
//
// The slot advances only once the backup has reached an archive disk. The
// disk keeps one copy under "File". The disk preparation reserves room for
// the backup files it lists, and the archive job fills the rest of the disk
// with images; so a disk that already holds a backup has room for the next
// one beside it only while it is not full. The new copy is written beside
// the old one under a temporary name and then takes its place whenever the
// disk has room for both, so that a copy that fails leaves the previous
// backup whole; on a disk filled to its reserve the old copy goes first and
// the new one is written into its room. A copy is whole or not at all (its
// size is checked, and a partial copy removed), and a partial copy left by
// a job cut off is removed before the next.
#include "archive/arjroom.h"
#include "archive/arjworker.h"
#include "database/dberrors.h"
#include "database/dbrowset.h"
#include "database/dbstart.h"
#include "exchange/disks/arjregistry.h"
#include "exchange/disks/removabledrive.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/settingskey.h"
#include "resources/strings.h"

#include <cwchar>

namespace {

const int kRegTextChars = 257;   // "BackupPath" and "File": up to 256 characters
const wchar_t kCopySuffix[] = L".tmp";

// A registry value that cannot be read: its name and the Win32 code.
struct RegReadFailure {
    const wchar_t* name;
    DWORD error;
};

void ReadText(HKEY key, const wchar_t* name, wchar_t* out, bool required)
{
    DWORD type = REG_NONE;
    DWORD bytes = (kRegTextChars - 1) * sizeof(wchar_t);
    out[0] = 0;
    const LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &bytes);
    if (rc == ERROR_FILE_NOT_FOUND && !required)
        return;
    if (rc != ERROR_SUCCESS)
        throw RegReadFailure{name, static_cast<DWORD>(rc)};
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw RegReadFailure{name, static_cast<DWORD>(ERROR_INVALID_DATA)};
    out[bytes / sizeof(wchar_t) < static_cast<DWORD>(kRegTextChars) ? bytes / sizeof(wchar_t) : kRegTextChars - 1] =
        0;
}

DWORD ReadDword(HKEY key, const wchar_t* name, bool required)
{
    DWORD type = REG_NONE, value = 0, bytes = sizeof value;
    const LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes);
    if (rc == ERROR_FILE_NOT_FOUND && !required)
        return 0;
    if (rc != ERROR_SUCCESS)
        throw RegReadFailure{name, static_cast<DWORD>(rc)};
    if (type != REG_DWORD || bytes != sizeof value)
        throw RegReadFailure{name, static_cast<DWORD>(ERROR_INVALID_DATA)};
    return value;
}

// The data source's current catalog; throws DODBErrors.
std::wstring CurrentCatalog()
{
    if (!g_DbSource.IsSet()) {
        DODBSetError(E_FAIL, 0, L"ArjWorker::CopyDB");
        ThrowDatabaseError(E_FAIL);
    }
    DBPROPID id = DBPROP_CURRENTCATALOG;
    DBPROPIDSET idSet = {&id, 1, DBPROPSET_DATASOURCE};
    ULONG count = 0;
    DBPROPSET* sets = nullptr;
    const HRESULT hr = g_DbSource->GetProperties(1, &idSet, &count, &sets);
    std::wstring catalog;
    if (SUCCEEDED(hr) && count == 1 && sets[0].cProperties == 1 && sets[0].rgProperties[0].vValue.vt == VT_BSTR &&
        sets[0].rgProperties[0].vValue.bstrVal)
        catalog = sets[0].rgProperties[0].vValue.bstrVal;
    if (sets)
        DODBFreePropertySets(count, sets);
    if (FAILED(hr))
        ThrowDatabaseError(hr);
    return catalog;
}

}  // namespace

int ArjWorker::CopyDB()
{
    int done = 0;
    try {
        // The registry.
        wchar_t backupPath[kRegTextChars] = L"";
        wchar_t fileName[kRegTextChars] = L"";
        DWORD slot = 0;
        try {
            HKEY key = nullptr;
            if (OpenSettingsKey(kBackupDbKey, KEY_READ, false, &key) != ERROR_SUCCESS)
                throw MsgExcept(IDS_REGISTRY_OPEN_FAILED);
            try {
                ReadText(key, kBackupPathValue, backupPath, false);
                const DWORD lastFile = ReadDword(key, kLastFileValue, false);
                const DWORD maxFiles = ReadDword(key, kMaxFilesValue, true);
                if (maxFiles == 0)
                    throw MsgExcept(IDS_INVALID_MAX_FILES);
                slot = NextBackupSlot(lastFile, maxFiles);
                ReadText(key, kBackupFileValue, fileName, true);
            } catch (...) {
                RegCloseKey(key);
                throw;
            }
            RegCloseKey(key);
        } catch (const RegReadFailure& failure) {
            const std::wstring text = ArchiveText(IDS_REGISTRY_VALUE_READ_ERROR) + failure.name;
            base_.ReportError(L"", text.c_str(), kReportFatal, failure.error);
            throw kStopByProgram;
        } catch (const MsgExcept& message) {
            wchar_t text[256] = L"";
            message.GetText(text, 256);
            base_.ReportError(L"", text, kReportFatal, 0);
            throw kStopByProgram;
        }
        std::wstring slotFolder = backupPath[0] ? std::wstring(backupPath) : std::wstring(DataPath) + L"Backup\\";
        wchar_t number[16];
        _snwprintf(number, 15, L"%u\\", static_cast<unsigned>(slot));
        number[15] = 0;
        const std::wstring backupFile = slotFolder + number + fileName;
        const std::wstring diskTarget = archiveRoot_ + fileName;

        // The backup itself.
        const std::wstring catalog = CurrentCatalog();
        {
            const std::wstring statement = BackupStatement(catalog.c_str(), backupFile.c_str());
            BoundStatement backup(base_.Session(), statement.c_str());
            backup.Run();   // the backup is complete when the call returns
        }

        // Onto a prepared archive disk.
        DWORD wait = 0;
        for (;;) {
            PollUserAnswer(wait);
            DWORD serial = 0;
            std::wstring label;
            int r = WaitForDisk(&serial, 0, nullptr, &label);
            if (r == kStepDone && !CheckDiskCfg())
                r = base_.ReportErrorIds(IDS_DISK_NOT_PREPARED_FOR_BACKUP, IDS_INSERT_ANOTHER_DISK, kReportAsk, 0);
            if (r == kStepDone) {
                DWORD error = 0;
                if (!CopyBackupFile(&error, backupFile.c_str(), diskTarget.c_str())) {
                    r = ReportCopyError(error);
                } else {
                    if (!ArjRegWrite(kBackupDbKey, kLastFileValue, REG_DWORD, &slot, sizeof slot))
                        throw MsgExcept(L"Ошибка записи в реестр");
                    if (!StoreLastDbDate(label.c_str()))
                        throw MsgExcept(IDS_REGISTRY_WRITE_ERROR);
                    if (link_)
                        link_->NotifyDiskInfo();
                }
            }
            if (r == kStepDone)
                break;
            if (r == kStepFatal)
                throw kStopByProgram;
            wait = INFINITE;
        }
        done = 1;
    } catch (int signal) {
        if (signal == kStopByUser)
            base_.SetResult(1);
    } catch (const MsgExcept& message) {
        wchar_t text[256] = L"";
        message.GetText(text, 256);
        base_.ReportError(L"", text, kReportFatal, 0);
    } catch (const DODBErrors& error) {
        // The database's reason (no rights, no slot folder, no room) stands
        // in the window's fault text: said once, with its reason.
        base_.ReportDbError(error, false);
    } catch (...) {
        LogError(0, ArchiveText(IDS_COPY_DB_EXCEPTION).c_str());
        base_.ReportError(L"", ArchiveText(IDS_COPY_DB_EXCEPTION).c_str(), kReportFatal, 0);
        base_.Prompt(ArchiveText(IDS_COPY_DB_EXCEPTION).c_str());
    }
    if (!done && base_.GetResult() != 1)
        base_.SetResult(-1);
    return done;
}

int ArjWorker::CheckDiskCfg()
{
    const std::wstring path = archiveRoot_ + kDiskCfgName;
    HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(file);
    return 1;
}

int ArjWorker::CopyBackupFile(DWORD* error, const wchar_t* source, const wchar_t* target)
{
    const std::wstring partial = std::wstring(target) + kCopySuffix;
    RemoveFile(partial.c_str());   // what a job cut off left only takes room
    ULONGLONG newSize = 0, oldSize = 0, freeBytes = 0, cluster = 0;
    if (!GetFileSizeByName(source, &newSize)) {
        *error = GetLastError();
        LogWin32Failure(L"GetFileAttributesExW", source, *error);
        return 0;
    }
    if (GetFileSizeByName(target, &oldSize) && ArchiveFreeBytes(&freeBytes)) {
        cluster = ArchiveClusterBytes();
        const ULONGLONG needed = AllocatedSize(true, newSize, cluster);
        if (!RoomForCopy(freeBytes, needed, 0)) {
            if (!RoomForCopy(freeBytes + AllocatedSize(true, oldSize, cluster), needed, 0)) {
                // Not even in the old copy's room: the old one stays.
                *error = ERROR_DISK_FULL;
                return 0;
            }
            LogError(0, (std::wstring(L"CopyDB: no room for a second backup beside ") + target +
                         L"; the new backup takes the old one's place")
                            .c_str());
            if (!RemoveFile(target)) {
                *error = GetLastError();
                LogWin32Failure(L"DeleteFileW", target, *error);
                return 0;
            }
        }
    }
    if (!CopyFileRetry(source, partial.c_str(), error))
        return 0;
    if (!MoveFileExW(partial.c_str(), target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        *error = GetLastError();
        LogWin32Failure(L"MoveFileExW", target, *error);
        RemoveFile(partial.c_str());
        return 0;
    }
    return 1;
}

int ArjWorker::CopyFileRetry(const wchar_t* source, const wchar_t* target, DWORD* error)
{
    const int copied = CopyWhole(source, target, nullptr, nullptr, error);
    if (copied && link_)
        link_->NotifyDiskSpace();
    ResetBar();
    return copied;
}

int ArjWorker::ReportCopyError(DWORD error)
{
    UINT id = IDS_TRY_OTHER_DISK;
    if (error == ERROR_WRITE_PROTECT)
        id = IDS_ARCHIVE_DISK_WRITE_PROTECTED;
    else if (IsNoDiskError(error))
        id = IDS_CHECK_REMOVABLE_DISK;
    else if (error == ERROR_DISK_FULL)
        id = IDS_DISK_FULL;
    return base_.ReportError(ArchiveText(id).c_str(), L"", kReportAsk, error);
}

int ArjWorker::StoreLastDbDate(const wchar_t* label)
{
    FILETIME now, local;
    GetSystemTimeAsFileTime(&now);
    FileTimeToLocalFileTime(&now, &local);
    if (!ArjRegWrite(kBackupDbKey, kDiskLastCopyValue, REG_SZ, label ? label : L"", 0))
        return 0;
    BYTE bytes[8];
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<BYTE>(local.dwLowDateTime >> (8 * i));
        bytes[4 + i] = static_cast<BYTE>(local.dwHighDateTime >> (8 * i));
    }
    return ArjRegWrite(kBackupDbKey, kLastDbDateValue, REG_BINARY, bytes, sizeof bytes) ? 1 : 0;
}
