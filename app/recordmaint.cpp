// Patient and image record maintenance: see recordmaint.h.
#include "app/recordmaint.h"

#include "app/diskhelpers.h"
#include "images/files/datafolders.h"
#include "database/dberrors.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/textutil.h"
#include "images/pixels/picture.h"
#include "images/files/livenames.h"
#include "images/files/snimokdb.h"
#include "images/files/xmgfile.h"
#include "resources/strings.h"

#include <cstring>
#include <cwchar>
#include <string>

namespace {

const wchar_t kPatientNameSql[] = L"SELECT Name1, Name2, Name3, Birthday FROM Patient WHERE Patient=?;";
const wchar_t kDeletePatientSql[] = L"{ call sp_delete_patient(?) }";
const wchar_t kDeleteImageSql[] = L"{ call sp_delete_snimok(?) }";
const wchar_t kDeleteImageCompleteSql[] = L"{ call sp_delete_snimok_complete(?) }";
const wchar_t kMoveRowSql[] = L"SELECT [File name], [Disk], [Date file], [Arj] FROM Snimok WHERE Snimok=?;";
const wchar_t kMoveByRowSql[] = L"UPDATE Snimok Set Patient=? WHERE Snimok=?;";
const wchar_t kCopyRecordSql[] = L"{ call sp_cpy_smk(?, ?) };";
// A moved image keeps its identity among the workstations (the merge's), so
// that a merge does not bring it back as a new image of its former patient.
const wchar_t kIdentityTableSql[] =
    L"SELECT COUNT(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME='MergeSnimok' AND COLUMN_NAME='Snimok';";
const wchar_t kMoveIdentitySql[] = L"UPDATE MergeSnimok SET Snimok=? WHERE Snimok=?;";
const wchar_t kRestoreRowSql[] =
    L"SELECT Snimok.[File Name], Snimok.[Disk], Snimok.[Arj], Arj.[Name] FROM Snimok LEFT JOIN Arj ON "
    L"Snimok.Arj=Arj.Arj WHERE Snimok.Snimok=?;";
const wchar_t kMarkRestoredSql[] = L"UPDATE Snimok SET [Disk]=1 WHERE Snimok=?;";
const wchar_t kArchiveNameSql[] = L"SELECT name FROM arj WHERE arj=?;";

const int kNameChars = 64;

BOOL RealVolumeSerial(const wchar_t* root, DWORD* serial)
{
    return GetVolumeInformationW(root, nullptr, 0, serial, nullptr, nullptr, nullptr, 0);
}

VolumeSerialFunction gVolumeSerial = RealVolumeSerial;
MoveStep gMoveFault = MoveStep::None;

// The injected failure of a move step, posted as the database would post it.
void FailIfInjected(MoveStep step)
{
    if (gMoveFault != step)
        return;
    gMoveFault = MoveStep::None;
    DODBSetError(E_FAIL, 678, L"MoveImageToPatient");
    ThrowDatabaseError();
}

// A statement on the process-wide session with integer parameters, in
// order. Throws DODBErrors.
struct KeyStatement : BoundStatement {
    KeyStatement(const wchar_t* sql, std::initializer_list<LONG> values) : BoundStatement(g_DbSession, sql)
    {
        ULONG ordinal = 1;
        for (LONG value : values)
            if (!Params().SetValI4(ordinal++, value))
                ThrowDatabaseError();
    }
    // A number column of the current row; 0 for NULL.
    LONG Int(ULONG i) const
    {
        LONG value = 0;
        RowInt(Row(), i, &value);
        return value;
    }
    // A text column of the current row into the buffer ("" for NULL).
    void Text(ULONG i, wchar_t* buffer, int capacity) const { RowText(Row(), i, buffer, capacity); }
};

std::wstring FolderFile(const wchar_t* folder, const wchar_t* name, const wchar_t* extension)
{
    std::wstring path = folder;
    path += name;
    path += extension;
    return path;
}

// The box of a file error by its code (string 1, 4 or 7); OK is a retry.
int FileErrorBoxFor(DWORD code)
{
    int answer;
    const UINT flags = MB_OKCANCEL | MB_SYSTEMMODAL | MB_TOPMOST;
    if (code == ERROR_NOT_READY)
        answer = MessageBoxIdCaption(nullptr, IDS_MO_NOT_READY, 0, flags);
    else if (code == ERROR_WRITE_PROTECT)
        answer = MessageBoxIdCaption(nullptr, IDS_MO_WRITE_PROTECTED, 0, flags);
    else {
        // The text's insert is a wsprintf "%i".
        wchar_t pattern[256];
        if (LoadStringW(hInstance, IDS_INTERNAL_FILE_ERROR, pattern, 256) <= 0)
            pattern[0] = 0;
        wchar_t text[300];
        _snwprintf(text, 300, pattern, static_cast<int>(code));
        text[299] = 0;
        answer = ShowPrompt(nullptr, text, nullptr, flags);
    }
    return answer == IDOK ? 1 : 3;
}

// The "wrong disk" box for a named disk; TRUE for OK.
BOOL WrongDiskBox(const wchar_t* diskName)
{
    wchar_t pattern[256];
    if (LoadStringW(hInstance, IDS_MO_DISK_WRONG_LABEL, pattern, 256) <= 0)
        pattern[0] = 0;
    wchar_t text[512];
    // The pattern's one insert is a wsprintf "%s".
    std::wstring format = pattern;
    const size_t at = format.find(L"%s");
    if (at != std::wstring::npos)
        format.replace(at, 2, L"%ls");
    _snwprintf(text, 512, format.c_str(), diskName);
    text[511] = 0;
    return ShowPrompt(nullptr, text, nullptr, MB_OKCANCEL | MB_SYSTEMMODAL | MB_TOPMOST) == IDOK;
}

// Renames a thumbnail (paths the live-name check gave); a failure is ignored.
void MoveImageFile(const std::wstring& from, const std::wstring& to)
{
    MoveFileW(from.c_str(), to.c_str());
}

// Deletes the new image of a move whose later step failed: its record, its
// image file, and gives the thumbnail its old path back.
void UndoNewImage(HWND owner, DWORD newKey, const wchar_t* newName, const std::wstring& oldIcon, bool thumbnailMoved)
{
    DeleteImageRecordComplete(owner, newKey);
    DeleteFileW(FolderFile(ImageFolder, newName, L".xmg").c_str());
    const std::wstring newIcon = FolderFile(IconFolder, newName, L".thb");
    if (thumbnailMoved)
        MoveImageFile(newIcon, oldIcon);
    else
        DeleteFileW(newIcon.c_str());
}

// The image's files on the hard disk that a step deletes or overwrites
// (LiveImageNames::DeletablePath, the live names read after the image's
// row); false when the stored name cannot name files of the image's own.
bool OwnFilePaths(const wchar_t* name, DWORD imageKey, std::wstring* image, std::wstring* icon)
{
    LiveImageNames live;
    live.Track(name);
    live.Read(g_DbSession);
    const LONG self = static_cast<LONG>(imageKey);
    return live.DeletablePath(image, ImageFolder, name, L".xmg", self) &&
           live.DeletablePath(icon, IconFolder, name, L".thb", self);
}

// The box for a stored name that cannot name a file of its own: the image
// stays as it is. FALSE.
BOOL RefuseStoredName(HWND owner, const wchar_t* caption, const wchar_t* name)
{
    MessageBoxIdFormat(owner, caption, MB_OK | MB_ICONEXCLAMATION, IDS_STORED_NAMES_SKIPPED, name);
    return FALSE;
}

// An archived image's files on the archive disk, and their places on the
// hard disk (deleted again when the row cannot follow the copies).
struct RestorePaths {
    std::wstring archiveImage, archiveIcon;
    std::wstring image, icon;
};

// The archive disk's paths, built once the disk is in the drive: a name is
// checked against the files of the folder it names. False when the name
// cannot name a file of its own there.
bool ArchivePaths(const wchar_t* name, RestorePaths* paths)
{
    wchar_t image[MAX_PATH], icon[MAX_PATH];
    if (!BuildStoredFilePath(image, ArchivePath, name, L".xmg") ||
        !BuildStoredFilePath(icon, ArchivePath, name, L".thb")) {
        LogCallError(GetLastError(), L"BuildStoredFilePath", name);
        return false;
    }
    paths->archiveImage = image;
    paths->archiveIcon = icon;
    return true;
}

// Deletes the copies a restore made on the hard disk (checked paths): 0 done,
// else the answer of the error box for a failing ".xmg".
int DeleteImageFilesChecked(const RestorePaths& paths)
{
    if (!DeleteFileW(paths.image.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        LogCallError(GetLastError(), L"DeleteFileW", paths.image.c_str());
        const int answer = ShowFileErrorBox();
        if (answer != 2)
            return answer;
    }
    DeleteFileW(paths.icon.c_str());
    return 0;
}

// Copies the image file and its thumbnail from the archive disk; neither
// copy overwrites a file. 0 done, 1 retry chosen, 2 the disk was changed,
// 3 cancelled.
int CopyImageFromArchive(const RestorePaths& paths)
{
    if (CopyFileW(paths.archiveImage.c_str(), paths.image.c_str(), TRUE)) {
        // A missing archive thumbnail does not stop the restore.
        CopyFileW(paths.archiveIcon.c_str(), paths.icon.c_str(), TRUE);
        return 0;
    }
    const DWORD error = GetLastError();
    LogCallError(error, L"CopyFileW", paths.archiveImage.c_str());
    if (error == ERROR_MEDIA_CHANGED)
        return 2;
    return FileErrorBoxFor(error);
}

}  // namespace

VolumeSerialFunction SetVolumeSerialFunction(VolumeSerialFunction function)
{
    VolumeSerialFunction previous = gVolumeSerial;
    gVolumeSerial = function ? function : RealVolumeSerial;
    return previous;
}

void InjectMoveFailure(MoveStep step)
{
    gMoveFault = step;
}

// ---- patients -------------------------------------------------------------------------

BOOL GetPatientNameForPrompt(HWND owner, DWORD patientKey)
{
    wchar_t names[3][kNameChars];
    wchar_t birthday[64] = L"";
    try {
        KeyStatement query(kPatientNameSql, {static_cast<LONG>(patientKey)});
        if (!query.First())
            return FALSE;
        for (ULONG i = 0; i < 3; ++i)
            query.Text(i, names[i], kNameChars);
        FILETIME date;
        if (RowDate(query.Row(), 3, &date) && FormatFileTime(birthday, 64, DatePicture, &date) < 0)
            birthday[0] = 0;
    } catch (...) {
        return FALSE;
    }
    const int answer = MessageBoxIdFormat(owner, IDS_PATIENT_DELETE,
                                          MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SYSTEMMODAL,
                                          IDS_CONFIRM_DELETE_PATIENT, names[0], names[1], names[2], birthday);
    // Only an explicit Yes deletes: a box that failed to show is no consent.
    return answer == IDYES;
}

BOOL DeletePatient(DWORD patientKey, HWND owner)
{
    if (!GetPatientNameForPrompt(owner, patientKey))
        return FALSE;
    try {
        KeyStatement(kDeletePatientSql, {static_cast<LONG>(patientKey)}).Run();
        return TRUE;
    } catch (const DODBErrors& error) {
        wchar_t caption[256];
        if (LoadStringW(hInstance, IDS_DELETE_PATIENT_ERROR, caption, 256) <= 0)
            caption[0] = 0;
        error.ShowMessage(owner, caption, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
}

// ---- images ---------------------------------------------------------------------------

static BOOL RunImageDelete(HWND owner, const wchar_t* sql, DWORD imageKey)
{
    try {
        KeyStatement(sql, {static_cast<LONG>(imageKey)}).Run();
        return TRUE;
    } catch (const DODBErrors& error) {
        wchar_t caption[256];
        if (LoadStringW(hInstance, IDS_DELETE_IMAGE_ERROR, caption, 256) <= 0)
            caption[0] = 0;
        error.ShowMessage(owner, caption, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
}

BOOL DeleteImageRecord(HWND owner, DWORD imageKey)
{
    return RunImageDelete(owner, kDeleteImageSql, imageKey);
}

BOOL DeleteImageRecordComplete(HWND owner, DWORD imageKey)
{
    return RunImageDelete(owner, kDeleteImageCompleteSql, imageKey);
}

BOOL MoveImageToPatient(HWND owner, DWORD imageKey, DWORD newPatientKey)
{
    wchar_t caption[256];
    if (LoadStringW(hInstance, IDS_MOVING_PICTURE_FILE, caption, 256) <= 0)
        caption[0] = 0;
    wchar_t oldName[kSnimokFileNameChars + 1] = L"";
    std::wstring oldImage, oldIcon;   // deleted and renamed by the move
    DPicturePtr picture;
    try {
        // 1. The image's row.
        bool onHardDisk;
        {
            KeyStatement query(kMoveRowSql, {static_cast<LONG>(imageKey)});
            if (!query.First())
                throw MsgExcept(IDS_MOVE_PICTURE_NOT_FOUND, caption);
            query.Text(0, oldName, kSnimokFileNameChars + 1);
            onHardDisk = query.Int(1) != 0;
        }
        // 2. Its file, brought back from the archive first when it is only there.
        if (oldName[0]) {
            if (!OwnFilePaths(oldName, imageKey, &oldImage, &oldIcon))
                return RefuseStoredName(owner, caption, oldName);
            if (!onHardDisk && !RestoreImageFromArchive(owner, imageKey))
                throw MsgExcept(IDS_MOVE_RESTORE_ERROR, caption);
            try {
                picture = LoadPictureFileEx(imageKey, oldName, owner);
            } catch (int) {
                picture.Reset();
            }
            if (!picture.Get())
                throw MsgExcept(IDS_MOVE_LOAD_ERROR, caption);
        }
        if (!picture.Get()) {
            // 4. No file: only the row changes hands.
            KeyStatement(kMoveByRowSql, {static_cast<LONG>(newPatientKey), static_cast<LONG>(imageKey)}).Run();
            return TRUE;
        }
    } catch (const MsgExcept& message) {
        message.Show(owner, MB_OK);
        return FALSE;
    } catch (const DODBErrors& error) {
        error.ShowMessage(owner, caption, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }

    // 3. A new image of the new patient, in its own transaction. The save
    // shows its own failures and leaves nothing behind.
    DPicture* p = picture.Get();
    p->patient.SetPatientId(newPatientKey);
    p->imageId = 0;
    p->stored = 0;
    if (!SaveSnimokTx(picture, nullptr))
        return FALSE;
    const DWORD newKey = p->imageId;
    wchar_t newName[32];
    wcsncpy(newName, p->fileName, 31);
    newName[31] = 0;

    MoveImageFile(oldIcon, FolderFile(IconFolder, newName, L".thb"));
    try {
        FailIfInjected(MoveStep::CopyRecord);
        KeyStatement(kCopyRecordSql, {static_cast<LONG>(newKey), static_cast<LONG>(imageKey)}).Run();
        FailIfInjected(MoveStep::DeleteOldRecord);
        KeyStatement(kDeleteImageCompleteSql, {static_cast<LONG>(imageKey)}).Run();
    } catch (const DODBErrors& error) {
        error.ShowMessage(owner, caption, MB_OK | MB_ICONEXCLAMATION);
        UndoNewImage(owner, newKey, newName, oldIcon, true);
        return FALSE;
    }
    // The old file belongs to no record any more.
    DeleteFileW(oldImage.c_str());
    // The identity follows the image; without it the move is still whole.
    try {
        KeyStatement tables(kIdentityTableSql, {});
        if (tables.First() && tables.Int(0) > 0)
            KeyStatement(kMoveIdentitySql, {static_cast<LONG>(newKey), static_cast<LONG>(imageKey)}).Run();
    } catch (const DODBErrors& error) {
        LogError((DWORD)error.Result(), L"MoveImageToPatient: the image's merge identity stays with its old key");
    }
    return TRUE;
}

BOOL RestoreImageFromArchive(HWND owner, DWORD imageKey)
{
    if (!IsDataDiskSpaceEnough()) {
        MessageBoxId(owner, IDS_MAIN_DISK_ALMOST_FULL, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    wchar_t caption[256];
    if (LoadStringW(hInstance, IDS_RESTORING_FROM_ARCHIVE, caption, 256) <= 0)
        caption[0] = 0;
    try {
        wchar_t name[kSnimokFileNameChars + 1];
        wchar_t diskName[kNameChars];
        DWORD expected;
        {
            KeyStatement query(kRestoreRowSql, {static_cast<LONG>(imageKey)});
            if (!query.First())
                return FALSE;
            query.Text(0, name, kSnimokFileNameChars + 1);
            if (!name[0] || query.Int(1) != 0)
                return FALSE;
            expected = static_cast<DWORD>(query.Int(2));
            query.Text(3, diskName, kNameChars);
        }
        // The copies go only where no other live image's row names a file:
        // they are deleted again when the row cannot follow them.
        RestorePaths paths;
        if (!OwnFilePaths(name, imageKey, &paths.image, &paths.icon))
            return RefuseStoredName(owner, caption, name);
        // The disk, then the copy; a retry asked for at the copy, or a disk
        // changed under it, starts again with the disk.
        for (;;) {
            DWORD serial = 0;
            if (!CheckArchiveVolume(&serial, expected, diskName))
                return FALSE;
            if (!ArchivePaths(name, &paths))
                return RefuseStoredName(owner, caption, name);
            const int copied = CopyImageFromArchive(paths);
            if (copied == 0)
                break;
            if (copied == 3)
                return FALSE;
        }
        try {
            KeyStatement(kMarkRestoredSql, {static_cast<LONG>(imageKey)}).Run();
        } catch (const DODBErrors&) {
            // The record still says "archived": the copies must go too.
            DeleteImageFilesChecked(paths);
            throw;
        }
        return TRUE;
    } catch (const DODBErrors& error) {
        error.ShowMessage(owner, caption, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
}

// ---- files -----------------------------------------------------------------------------

BOOL CheckArchiveVolume(DWORD* serial, DWORD expected, const wchar_t* diskName)
{
    // The box names the disk with its serial: two disks may carry one label.
    const std::wstring wanted = diskName ? DiskNameWithSerial(diskName, expected) : std::wstring();
    for (;;) {
        wchar_t root[kFolderChars];
        if (!GetPathRoot(ArchivePath, root, kFolderChars))
            return FALSE;
        DWORD found = 0;
        if (gVolumeSerial(root, &found)) {
            if (serial)
                *serial = found;
            if (!diskName || found == expected)
                return TRUE;
            if (!WrongDiskBox(wanted.c_str()))
                return FALSE;
            continue;
        }
        const DWORD error = GetLastError();
        // Wine reports a drive without its disk as "path not found" on the
        // bare root; both mean that the disk is not there.
        if (error == ERROR_NOT_READY || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_DRIVE ||
            error == ERROR_NO_MEDIA_IN_DRIVE) {
            const BOOL again = diskName ? WrongDiskBox(wanted.c_str()) : DiskNotReadyBox() == IDOK;
            if (!again)
                return FALSE;
            continue;
        }
        if (error == ERROR_NO_VOLUME_LABEL) {
            if (MessageBoxById(IDS_MO_DISK_UNLABELED, MB_YESNO | MB_SYSTEMMODAL | MB_TOPMOST) == IDYES)
                continue;
            return FALSE;
        }
        ShowLastErrorBox();
        return FALSE;
    }
}

int ShowFileErrorBox()
{
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND)
        return 2;
    return FileErrorBoxFor(error);
}

int DiskNotReadyBox()
{
    return MessageBoxIdCaption(nullptr, IDS_MO_NOT_READY, 0, MB_OKCANCEL | MB_SYSTEMMODAL | MB_TOPMOST);
}

BOOL CopyImageFiles(const wchar_t* name, BOOL toHardDisk)
{
    const std::wstring diskImage = FolderFile(ImageFolder, name, L".xmg");
    const std::wstring diskIcon = FolderFile(IconFolder, name, L".thb");
    const std::wstring archiveImage = FolderFile(ArchivePath, name, L".xmg");
    const std::wstring archiveIcon = FolderFile(ArchivePath, name, L".thb");
    if (toHardDisk)
        return CopyFileW(archiveImage.c_str(), diskImage.c_str(), FALSE) &&
               CopyFileW(archiveIcon.c_str(), diskIcon.c_str(), FALSE);
    return CopyFileW(diskImage.c_str(), archiveImage.c_str(), FALSE) &&
           CopyFileW(diskIcon.c_str(), archiveIcon.c_str(), FALSE);
}

BOOL DeleteImageFiles(const wchar_t* name, BOOL hardDisk)
{
    const wchar_t* imageFolder = hardDisk ? ImageFolder : ArchivePath;
    const wchar_t* iconFolder = hardDisk ? IconFolder : ArchivePath;
    if (!DeleteFileW(FolderFile(imageFolder, name, L".xmg").c_str()))
        return FALSE;
    DeleteFileW(FolderFile(iconFolder, name, L".thb").c_str());
    return TRUE;
}

BOOL GetArchiveNameAndCheckDisk(DWORD archiveKey)
{
    wchar_t name[kNameChars];
    {
        KeyStatement query(kArchiveNameSql, {static_cast<LONG>(archiveKey)});
        if (!query.First())
            return FALSE;
        query.Text(0, name, kNameChars);
    }
    DWORD serial = 0;
    return CheckArchiveVolume(&serial, archiveKey, name);
}

BOOL HasEnoughFreeSpace()
{
    wchar_t root[kFolderChars];
    ULARGE_INTEGER available;
    if (!GetPathRoot(ImageFolder, root, kFolderChars) || !GetDiskFreeSpaceExW(root, &available, nullptr, nullptr))
        return FALSE;
    return available.QuadPart / (1024 * 1024) >= SpaceArjEnd;
}

int AskCancelBox()
{
    return MessageBoxIdCaption(nullptr, IDS_CHANGE_MO_DISK, 0, MB_OKCANCEL | MB_TOPMOST) == IDOK ? 2 : 3;
}

int AskRetryStub()
{
    return 0;
}
