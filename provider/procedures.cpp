// The database's stored procedures and BACKUP DATABASE: see session.h.
//
// sp_delete_snimok(@Snimok)          the image row stays without a file: [File name]
//                                    NULL, [Disk] 0, Arj NULL; its FixSnimok row goes
// sp_delete_snimok_complete(@Snimok) the image's FixSnimok row and the image row go
// sp_delete_patient(@Patient)        the FixSnimok rows and rows of the patient's
//                                    images go, then the patient's row
// Each delete first records the files of the images it deletes in DelImage
// (name, archive disk, whether on the hard disk), as the archive window does
// when it deletes images: the archive's marked-deletion job removes the files
// from the hard disk and the archive disk later, and until then the
// synchronisation passes over them, so a deleted image never comes back.
// sp_cpy_smk(@New, @Old)             Apicriz, DiagHelp and NoDelete of the old image
//                                    row are copied to the new one
// Each runs inside a savepoint: when a step fails, the steps before it are
// undone and the failure is posted as the step's own.
#include "provider/datasource.h"
#include "provider/errors.h"
#include "provider/session.h"

#include "sqlite3.h"

namespace zelk {
namespace {

struct Step {
    const wchar_t* sql;  // ?1 and ?2 are the procedure's arguments
};

const Step kDeleteSnimok[] = {
    {L"INSERT INTO DelImage (\"File Name\", Arj, \"Disk\") SELECT \"File name\", Arj, \"Disk\" FROM Snimok "
     L"WHERE Snimok = ?1 AND \"File name\" IS NOT NULL AND \"File name\" <> '' AND \"File name\" NOT IN "
     L"(SELECT \"File Name\" FROM DelImage)"},
    {L"DELETE FROM FixSnimok WHERE Snimok = ?1"},
    {L"UPDATE Snimok SET \"File name\" = NULL, \"Disk\" = 0, Arj = NULL WHERE Snimok = ?1"},
};
const Step kDeleteSnimokComplete[] = {
    {L"INSERT INTO DelImage (\"File Name\", Arj, \"Disk\") SELECT \"File name\", Arj, \"Disk\" FROM Snimok "
     L"WHERE Snimok = ?1 AND \"File name\" IS NOT NULL AND \"File name\" <> '' AND \"File name\" NOT IN "
     L"(SELECT \"File Name\" FROM DelImage)"},
    {L"DELETE FROM FixSnimok WHERE Snimok = ?1"},
    {L"DELETE FROM Snimok WHERE Snimok = ?1"},
};
const Step kDeletePatient[] = {
    {L"INSERT INTO DelImage (\"File Name\", Arj, \"Disk\") SELECT \"File name\", Arj, \"Disk\" FROM Snimok "
     L"WHERE Patient = ?1 AND \"File name\" IS NOT NULL AND \"File name\" <> '' AND \"File name\" NOT IN "
     L"(SELECT \"File Name\" FROM DelImage)"},
    {L"DELETE FROM FixSnimok WHERE Snimok IN (SELECT Snimok FROM Snimok WHERE Patient = ?1)"},
    {L"DELETE FROM Snimok WHERE Patient = ?1"},
    {L"DELETE FROM Patient WHERE Patient = ?1"},
};
const Step kCopySnimok[] = {
    {L"UPDATE Snimok SET (Apicriz, DiagHelp, NoDelete) = (SELECT o.Apicriz, o.DiagHelp, o.NoDelete FROM Snimok AS o "
     L"WHERE o.Snimok = ?2) WHERE Snimok = ?1 AND EXISTS (SELECT 1 FROM Snimok AS o WHERE o.Snimok = ?2)"},
};

const wchar_t* ProcedureName(Procedure p)
{
    switch (p) {
    case Procedure::DeletePatient:
        return L"sp_delete_patient";
    case Procedure::DeleteSnimok:
        return L"sp_delete_snimok";
    case Procedure::DeleteSnimokComplete:
        return L"sp_delete_snimok_complete";
    case Procedure::CopySnimok:
        return L"sp_cpy_smk";
    default:
        return L"?";
    }
}

// The arguments are int parameters: a value that is no whole number is refused.
bool BindArgument(sqlite3_stmt* stmt, int index, const InValue& v)
{
    switch (v.kind) {
    case InValue::Integer:
        return sqlite3_bind_int64(stmt, index, v.integer) == SQLITE_OK;
    case InValue::Real:
        return sqlite3_bind_int64(stmt, index, static_cast<sqlite3_int64>(v.real)) == SQLITE_OK;
    case InValue::Text: {
        std::wstring text(v.text ? v.text : L"", v.length);
        wchar_t* end = nullptr;
        long long n = wcstoll(text.c_str(), &end, 10);
        if (text.empty() || (end && *end))
            return false;
        return sqlite3_bind_int64(stmt, index, n) == SQLITE_OK;
    }
    default:
        return sqlite3_bind_null(stmt, index) == SQLITE_OK;
    }
}

}  // namespace

HRESULT Session::RunProcedure(Procedure procedure, const std::vector<InValue>& arguments, const std::wstring& statement)
{
    const Step* steps = nullptr;
    size_t count = 0;
    switch (procedure) {
    case Procedure::DeleteSnimok:
        steps = kDeleteSnimok;
        count = sizeof(kDeleteSnimok) / sizeof(Step);
        break;
    case Procedure::DeleteSnimokComplete:
        steps = kDeleteSnimokComplete;
        count = sizeof(kDeleteSnimokComplete) / sizeof(Step);
        break;
    case Procedure::DeletePatient:
        steps = kDeletePatient;
        count = sizeof(kDeletePatient) / sizeof(Step);
        break;
    case Procedure::CopySnimok:
        steps = kCopySnimok;
        count = sizeof(kCopySnimok) / sizeof(Step);
        break;
    default:
        return PostError(IID_ICommand, DB_E_ERRORSINCOMMAND, L"42000", 2812, L"The stored procedure does not exist.",
                         L"Statement: " + statement);
    }
    std::wstring name = ProcedureName(procedure);
    int rc = sqlite3_exec(db_, "SAVEPOINT zelk_procedure", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return PostSqliteError(IID_ICommand, db_, rc, L"SAVEPOINT", name);
    int failedCode = SQLITE_OK;
    std::wstring failedMessage, failedStep;
    bool badArgument = false;
    for (size_t i = 0; i < count && failedCode == SQLITE_OK && !badArgument; ++i) {
        sqlite3_stmt* stmt = nullptr;
        rc = sqlite3_prepare16_v2(db_, steps[i].sql, -1, &stmt, nullptr);
        if (rc == SQLITE_OK) {
            int parameters = sqlite3_bind_parameter_count(stmt);
            for (int k = 1; k <= parameters && !badArgument; ++k)
                badArgument = static_cast<size_t>(k) > arguments.size() || !BindArgument(stmt, k, arguments[k - 1]);
            if (!badArgument) {
                while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
                }
                if (rc == SQLITE_DONE)
                    rc = SQLITE_OK;
            }
        }
        if (rc != SQLITE_OK) {
            failedCode = sqlite3_extended_errcode(db_);
            if ((failedCode & 0xff) != (rc & 0xff))
                failedCode = rc;
            failedMessage = FromUtf8(sqlite3_errmsg(db_));
            failedStep = steps[i].sql;
        }
        sqlite3_finalize(stmt);
    }
    if (failedCode == SQLITE_OK && !badArgument) {
        rc = sqlite3_exec(db_, "RELEASE zelk_procedure", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            return PostSqliteError(IID_ICommand, db_, rc, L"RELEASE", name);
        return S_OK;
    }
    // Undo the steps already done; the transaction around, if any, stays open.
    sqlite3_exec(db_, "ROLLBACK TO zelk_procedure; RELEASE zelk_procedure", nullptr, nullptr, nullptr);
    if (badArgument)
        return PostError(IID_ICommand, DB_E_ERRORSINCOMMAND, L"22018", 245,
                         L"The arguments of the stored procedure " + name + L" must be whole numbers.",
                         L"Statement: " + statement);
    return PostSqliteFailure(IID_ICommand, failedCode, failedMessage, L"sqlite3_step",
                             name + L" at \"" + failedStep + L"\"");
}

namespace {

// Copies the open database into a new file at `file` (the backup API takes a
// consistent snapshot page by page); *target is the file's connection, to be
// closed by the caller. An SQLite result code.
int WriteBackupOf(sqlite3* db, const std::wstring& file, sqlite3** target)
{
    std::string utf8 = ToUtf8(file);
    int rc = sqlite3_open_v2(utf8.c_str(), target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    sqlite3_backup* backup = sqlite3_backup_init(*target, "main", db, "main");
    if (!backup)
        return sqlite3_extended_errcode(*target);
    rc = sqlite3_backup_step(backup, -1);
    const int finish = sqlite3_backup_finish(backup);
    rc = rc == SQLITE_DONE ? finish : rc;
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(*target, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    return rc;
}

// What writing a backup takes beyond the database's pages: the new file's
// rollback journal and, while its journal mode is put back from the WAL
// that the copied header names, its "-wal" file and its 32 KiB "-shm" index.
const ULONGLONG kBackupWorkRoom = 64 * 1024;

// The room a backup at `path` has on its disk.
struct BackupRoom {
    ULONGLONG needed = 0;    // the database's pages and the work room
    ULONGLONG free = 0;      // bytes the disk still takes
    ULONGLONG old = 0;       // bytes of the previous backup at the path
    bool known = false;      // needed and free could be measured
    bool oldExists = false;  // a previous backup is there

    // Beside the previous backup, or wherever room is not known: only the
    // write tells, and it costs the previous backup nothing.
    bool FitsBeside() const { return !known || free >= needed; }
    // The previous backup is given up only for a backup known to fit in the
    // room it leaves.
    bool FitsInsteadOfOld() const { return known && oldExists && free + old >= needed; }
};

bool DatabaseBytes(sqlite3* db, ULONGLONG* bytes)
{
    sqlite3_stmt* size = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT page_count * page_size FROM pragma_page_count(), pragma_page_size()", -1, &size,
                           nullptr) != SQLITE_OK)
        return false;
    const bool read = sqlite3_step(size) == SQLITE_ROW;
    if (read)
        *bytes = static_cast<ULONGLONG>(sqlite3_column_int64(size, 0));
    sqlite3_finalize(size);
    return read;
}

BackupRoom MeasureBackupRoom(sqlite3* db, const std::wstring& path)
{
    BackupRoom room;
    WIN32_FILE_ATTRIBUTE_DATA old;
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &old)) {
        room.oldExists = true;
        room.old = (static_cast<ULONGLONG>(old.nFileSizeHigh) << 32) | old.nFileSizeLow;
    }
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring(L".\\") : path.substr(0, slash + 1);
    ULARGE_INTEGER available;
    ULONGLONG pages = 0;
    room.known = DatabaseBytes(db, &pages) && GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr);
    room.needed = pages + kBackupWorkRoom;
    room.free = room.known ? available.QuadPart : 0;
    return room;
}

std::wstring Kilobytes(ULONGLONG bytes)
{
    wchar_t text[32];
    _snwprintf(text, 31, L"%I64u KB", (bytes + 1023) / 1024);
    text[31] = 0;
    return text;
}

// The failure of a backup the disk has no room for.
HRESULT PostNoRoom(const std::wstring& path, const BackupRoom& room, const std::wstring& statement)
{
    std::wstring text = L"The database backup cannot be written to \"" + path + L"\": the disk has no room for it.";
    if (room.known)
        text += L" The backup needs " + Kilobytes(room.needed) + L", the disk has " + Kilobytes(room.free) +
                L" free" + (room.oldExists ? L" beside the previous backup of " + Kilobytes(room.old) : L"") + L".";
    if (room.oldExists)
        text += L" The previous backup is kept.";
    return PostError(IID_ICommand, DB_E_ERRORSINCOMMAND, L"HY000", 3202, text, L"Statement: " + statement);
}

HRESULT PostWriteFailure(const std::wstring& path, const std::wstring& reason, const std::wstring& statement)
{
    return PostError(IID_ICommand, DB_E_ERRORSINCOMMAND, L"42000", 3201,
                     L"The database backup cannot be written to \"" + path + L"\": " + reason + L".",
                     L"Statement: " + statement);
}

std::wstring ErrorCode(const wchar_t* what, DWORD code)
{
    wchar_t text[16];
    _snwprintf(text, 15, L"%lu", code);
    text[15] = 0;
    return std::wstring(what) + L" (error " + text + L")";
}

}  // namespace

HRESULT Session::Backup(const std::wstring& catalog, const std::wstring& path, const std::wstring& statement)
{
    std::wstring current = source_->Catalog();
    if (!SameName(catalog, current))
        return PostError(IID_ICommand, DB_E_ERRORSINCOMMAND, L"42000", 911,
                         L"The database \"" + catalog + L"\" cannot be backed up here: the open database is \"" +
                             current + L"\".",
                         L"Statement: " + statement);
    // WITH INIT: the backup file is written anew. It is written beside the
    // old one and put in its place only when complete, so a failed backup
    // never costs the previous one while the disk has room for both. On a
    // disk without room for a second copy the old one makes room, so that
    // backups go on where the disk holds one; but only for a backup known to
    // fit in the room the old one leaves, else the old one stays whole and
    // the backup fails saying so.
    const std::wstring partial = path + L".partial";
    DeleteFileW(partial.c_str());
    BackupRoom room = MeasureBackupRoom(db_, path);
    bool insteadOfOld = !room.FitsBeside();
    sqlite3* target = nullptr;
    int rc = SQLITE_OK;
    for (;;) {
        if (insteadOfOld) {
            if (!room.FitsInsteadOfOld())
                return PostNoRoom(path, room, statement);
            if (!DeleteFileW(path.c_str()))
                return PostWriteFailure(path, ErrorCode(L"the previous backup cannot be removed", GetLastError()),
                                        statement);
        }
        rc = WriteBackupOf(db_, partial, &target);
        if ((rc & 0xff) != SQLITE_FULL)
            break;
        sqlite3_close_v2(target);
        target = nullptr;
        DeleteFileW(partial.c_str());
        room = MeasureBackupRoom(db_, path);
        if (insteadOfOld || !room.oldExists)
            return PostNoRoom(path, room, statement);
        insteadOfOld = true;   // it did not fit beside the old one: in its room, if it fits there
    }
    std::wstring message = target ? FromUtf8(sqlite3_errmsg(target)) : FromUtf8(sqlite3_errstr(rc));
    sqlite3_close_v2(target);
    if (rc == SQLITE_OK && !MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        rc = SQLITE_CANTOPEN;
        message = ErrorCode(L"the file cannot be replaced", GetLastError());
    }
    if (rc != SQLITE_OK) {
        DeleteFileW(partial.c_str());
        return PostWriteFailure(path, message, statement);
    }
    return S_OK;
}

HRESULT Session::CheckDatabase(const std::wstring& statement)
{
    sqlite3_stmt* check = nullptr;
    int rc = sqlite3_prepare_v2(db_, "PRAGMA integrity_check(20)", -1, &check, nullptr);
    if (rc != SQLITE_OK)
        return PostSqliteFailure(IID_ICommand, rc, FromUtf8(sqlite3_errmsg(db_)), L"sqlite3_prepare_v2",
                                 L"PRAGMA integrity_check");
    std::wstring findings;
    while ((rc = sqlite3_step(check)) == SQLITE_ROW) {
        const unsigned char* line = sqlite3_column_text(check, 0);
        std::wstring text = line ? FromUtf8(reinterpret_cast<const char*>(line)) : std::wstring();
        if (text == L"ok")
            continue;
        findings += findings.empty() ? L"" : L"; ";
        findings += text;
    }
    const std::wstring message = FromUtf8(sqlite3_errmsg(db_));
    sqlite3_finalize(check);
    if (rc != SQLITE_DONE)
        return PostSqliteFailure(IID_ICommand, rc, message, L"sqlite3_step", L"PRAGMA integrity_check");
    if (!findings.empty())
        return PostError(IID_ICommand, DB_E_ERRORSINCOMMAND, L"HY000", 8939,
                         L"The database is damaged: " + findings + L".", L"Statement: " + statement);
    return S_OK;
}

}  // namespace zelk
