// Image records in the database: see snimokdb.h.
#include "images/files/snimokdb.h"

#include "database/dbbindparam.h"
#include "database/dberrors.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dbsource.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "foundation/dstring.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/textutil.h"
#include "images/files/datafolders.h"
#include "images/files/savefaults.h"
#include "images/files/thumbnails.h"
#include "images/files/xmgfile.h"
#include "resources/strings.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const wchar_t kUpdateViewSql[] =
    L"UPDATE Snimok SET Bri=?, Contrast=?, Negativ=?, xWinCenter=?, yWinCenter=?, Scale=?, Orientation=? "
    L"WHERE Snimok=?;";
const wchar_t kSelectViewSql[] =
    L"SELECT Patient, Bri, Contrast, Negativ, [Date File], xWinCenter, yWinCenter, Scale, Orientation "
    L"FROM Snimok WHERE Snimok=?;";
const wchar_t kSelectPatientSql[] = L"SELECT Name1, Name2, Name3, Birthday, Pol FROM Patient WHERE Patient=?;";
const wchar_t kSelectPatientTxSql[] = L"SELECT Name1, Name2, Name3, Birthday, Pol FROM Patient WHERE patient=?;";
const wchar_t kUpdateFileNameSql[] = L"UPDATE Snimok Set [File Name]=? WHERE Snimok=?;";
const wchar_t kSnimokTable[] = L"Snimok";
// A new row given up for the next key, inside the save's own transaction.
const wchar_t kDeleteNewRowSql[] = L"DELETE FROM Snimok WHERE Snimok=?;";
// Whether a committed row still speaks for a file name: an image's, or a
// file waiting for the deletion jobs.
const wchar_t kImageNamesSql[] = L"SELECT COUNT(*) FROM Snimok WHERE [File name]=?;";
const wchar_t kDeletionNamesSql[] = L"SELECT COUNT(*) FROM DelImage WHERE [File Name]=?;";

// The most keys one save passes over for files that nobody's note accounts for.
const int kMostKeysPassed = 16;
// The saves' notes, in a folder of their own below the image folder: a few
// files, so that looking for them costs nothing beside a folder of images.
const wchar_t kNotesFolder[] = L"Saving\\";

// The columns of a new row, in the order they are bound.
enum NewRowColumn : ULONG {
    kColPatient, kColDisk, kColBri, kColContrast, kColNegativ, kColXCenter, kColYCenter, kColScale,
    kColOrientation, kColDate, kColSnimok, kNewRowColumns
};
const wchar_t* const kNewRowNames[kNewRowColumns] = {
    L"Patient", L"Disk", L"Bri", L"Contrast", L"Negativ", L"xWinCenter", L"yWinCenter", L"Scale",
    L"Orientation", L"Date file", L"Snimok"};

// Runs a one-key query, fetches its first row and hands it to `read`; false
// when the query fails or finds nothing.
template <class Read>
bool ReadRowByKey(const DODBPtr<DODBSession>& session, const wchar_t* sql, DWORD key, Read read)
{
    try {
        BoundStatement query(session, sql);
        if (!query.Params().SetValI4(1, (LONG)key) || !query.First())
            return false;
        read(query.Row());
        return true;
    } catch (const DODBErrors&) {
        return false;
    }
}

bool ReadPatient(const DODBPtr<DODBSession>& session, const wchar_t* sql, DPicture* picture)
{
    if (!picture)
        return false;
    return ReadRowByKey(session, sql, picture->patient.GetPatientId(), [picture](DODBParams* row) {
        wchar_t name[256];
        for (ULONG i = 0; i < 3; ++i) {
            RowText(row, i, name, 256);
            picture->patient.SetName((int)i, name, -1);
        }
        FILETIME birthday = {};
        RowDate(row, 3, &birthday);
        picture->patient.SetBirthday(birthday);
        LONG sex = 0;
        RowInt(row, 4, &sex);
        picture->patient.SetSex((uint32_t)sex);
    });
}

// The view centre in the coordinates of the full-size raster (the file's).
void StoredCentre(const DPicture* picture, LONG* x, LONG* y)
{
    *x = picture->viewCentreX;
    *y = picture->viewCentreY;
    if ((picture->stateFlags & DPictureBase::kReduced) && picture->width > 0 && picture->height > 0) {
        *x = (LONG)((long long)*x * picture->fullWidth / picture->width);
        *y = (LONG)((long long)*y * picture->fullHeight / picture->height);
    }
}

[[noreturn]] void ThrowId(UINT id)
{
    MsgExcept message;
    message.SetTextId(id);
    throw message;
}

[[noreturn]] void ThrowSystemText(DWORD code)
{
    throw MsgExcept(nullptr, 0, ErrorCodeText(code).c_str(), -1);
}

// A database error as a message with its text.
[[noreturn]] void ThrowDatabaseMessage(const DODBErrors& errors)
{
    wchar_t text[1024] = {};
    errors.GetText(text, 1023);
    throw MsgExcept(nullptr, 0, text, -1);
}

// An injected failure looks to the caller as the real one would: a posted
// database error.
bool InjectedDatabaseFailure(SaveStep step, UINT id, const wchar_t* source)
{
    DWORD code = 0;
    if (!SaveStepFails(step, &code))
        return false;
    DODBSetError((HRESULT)code, id, source);
    return true;
}

// What a failed save gives back to the picture.
struct PictureIdentity {
    uint32_t imageId;
    wchar_t fileName[32];
    int32_t stored;
    PatientInfo patient;

    explicit PictureIdentity(const DPicture* p) : imageId(p->imageId), stored(p->stored), patient(p->patient)
    {
        memcpy(fileName, p->fileName, sizeof fileName);
    }
    void Restore(DPicture* p) const
    {
        p->imageId = imageId;
        memcpy(p->fileName, fileName, sizeof fileName);
        p->stored = stored;
        p->patient = patient;
    }
};

bool IsFileNameLetter(wchar_t c)
{
    if (c < 32 || (c >= 0xD800 && c <= 0xDFFF) || c == 0x7F)
        return false;
    return wcschr(L"\\/:*?\"<>|", c) == nullptr;
}

// Steps 3 to 5: the new row, whose key the database gives. A database error
// reaches the caller as a message with the error's text.
DWORD InsertNewRow(const DODBPtr<DODBSession>& session, DPicture* picture)
{
    try {
        if (InjectedDatabaseFailure(SaveStep::OpenRowset, IDS_DB_NO_ROWSET_CHANGE, L"SaveSnimok"))
            ThrowDatabaseError();
        NewTableRow table(session, kSnimokTable);
        DODBParams* r = table.BindColumns(kNewRowColumns, kNewRowNames);
        LONG centreX = 0, centreY = 0;
        StoredCentre(picture, &centreX, &centreY);
        FILETIME date = picture->imageDate;
        if (FAILED(SetNumber(r, kColPatient, picture->patient.GetPatientId())) || FAILED(SetNumber(r, kColDisk, 1)) ||
            FAILED(SetNumber(r, kColBri, picture->displayOffset)) ||
            FAILED(SetNumber(r, kColContrast, picture->displayWidth)) ||
            FAILED(SetNumber(r, kColNegativ, picture->negative)) || FAILED(SetNumber(r, kColXCenter, centreX)) ||
            FAILED(SetNumber(r, kColYCenter, centreY)) || FAILED(SetNumber(r, kColScale, (float)picture->scale)) ||
            FAILED(SetNumber(r, kColOrientation, picture->orientation)) ||
            FAILED(r->SetValue(kColDate, &date, 0, DBSTATUS_S_OK)) || FAILED(r->SetStatus(kColSnimok, DBSTATUS_S_DEFAULT)))
            ThrowDatabaseError();
        if (InjectedDatabaseFailure(SaveStep::InsertRow, IDS_DB_INSERT_ROW, L"SaveSnimok"))
            ThrowDatabaseError();
        table.Insert(r);
        LONG newId = 0;
        if (!RowInt(r, kColSnimok, &newId) || newId <= 0) {
            DODBSetError(E_FAIL, IDS_DB_INSERT_ROW, L"SaveSnimok");
            ThrowDatabaseError();
        }
        return (DWORD)newId;
    } catch (const DODBErrors& errors) {
        ThrowDatabaseMessage(errors);
    }
}

// Gives the new row up, so that the next insert of this transaction takes
// the next key.
void DeleteNewRow(const DODBPtr<DODBSession>& session, DWORD key)
{
    try {
        BoundStatement remove(session, kDeleteNewRowSql);
        if (!remove.Params().SetValI4(1, (LONG)key))
            ThrowDatabaseError();
        remove.Run();
    } catch (const DODBErrors& errors) {
        ThrowDatabaseMessage(errors);
    }
}

LONG CountNamed(const DODBPtr<DODBSession>& session, const wchar_t* sql, const wchar_t* name)
{
    BoundStatement query(session, sql);
    if (!query.Params().SetStr(1, name, -1))
        ThrowDatabaseError();
    LONG count = 0;
    if (!query.First() || !RowInt(query.Row(), 0, &count))
        ThrowDatabaseError(E_FAIL);
    return count;
}

bool NamedByARow(const DODBPtr<DODBSession>& session, const wchar_t* name)
{
    return CountNamed(session, kImageNamesSql, name) > 0 || CountNamed(session, kDeletionNamesSql, name) > 0;
}

// Deletes a file when it is there; a failure other than its absence is
// journalled and returned.
bool DeleteIfThere(const wchar_t* folder, const wchar_t* name, const wchar_t* extension)
{
    wchar_t path[MAX_PATH];
    if (!BuildStoredFilePath(path, folder, name, extension))
        return false;
    if (DeleteFileW(path)) {
        JournalWrite(kJournalCatApplication, 0, (std::wstring(L"Unfinished save's file deleted: ") + path).c_str());
        return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return true;
    LogCallError(error, L"DeleteFileW", path);
    return false;
}

// The ten digits of a key, as the end of a new image's file name has them.
void KeyDigits(wchar_t* out, DWORD key)
{
    _snwprintf(out, 11, L"%.10u", (unsigned)key);
    out[10] = 0;
}

// Clears what the save of `key` left when it ended without removing its note
// (see snimokdb.h). A note that is still open belongs to a save that runs,
// and is left alone. Database errors throw.
void ClearEndedSave(const DODBPtr<DODBSession>& session, DWORD key)
{
    wchar_t notePath[MAX_PATH];
    if (!BuildSaveNotePath(notePath, key))
        return;
    HANDLE note = CreateFileW(notePath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (note == INVALID_HANDLE_VALUE)
        return;   // gone meanwhile, or its save still runs
    wchar_t name[kStoredFileNameChars + 1] = {};
    DWORD read = 0;
    const BOOL ok = ReadFile(note, name, kStoredFileNameChars * sizeof(wchar_t), &read, nullptr);
    CloseHandle(note);
    name[ok ? read / sizeof(wchar_t) : 0] = 0;

    // The note speaks only for a name of its own key.
    wchar_t digits[11];
    KeyDigits(digits, key);
    const size_t length = wcslen(name);
    bool cleared = true;
    if (length > 10 && wcscmp(name + length - 10, digits) == 0 &&
        CheckStoredFileName(name) == StoredNameVerdict::kOk && !NamedByARow(session, name)) {
        cleared = DeleteIfThere(ImageFolder, name, L".xmg");
        cleared = DeleteIfThere(IconFolder, name, L".thb") && cleared;
        cleared = DeleteIfThere(IconFolder, name, L".thb.tmp") && cleared;
    }
    // A note whose files could not all go stays, for the next save.
    if (cleared && !DeleteFileW(notePath))
        LogCallError(GetLastError(), L"DeleteFileW", notePath);
}

// Every note of the notes' folder; each is named by its key.
void ClearEndedSaves(const DODBPtr<DODBSession>& session)
{
    const std::wstring pattern = std::wstring(ImageFolder) + kNotesFolder + L"*.new";
    std::vector<DWORD> keys;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        wchar_t* end = nullptr;
        const unsigned long key = wcstoul(found.cFileName, &end, 10);
        if (end == found.cFileName + 10 && wcscmp(end, L".new") == 0)
            keys.push_back((DWORD)key);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    for (DWORD key : keys)
        ClearEndedSave(session, key);
}

// Opens the save's note for its key and writes the file name into it; the
// note stays open (and unshared) until EndSnimokSave. The notes' folder is
// made by the first save.
void OpenSaveNote(SnimokFilesWritten* files, DWORD key, const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    if (!BuildSaveNotePath(path, key))
        ThrowSystemText(ERROR_FILENAME_EXCED_RANGE);
    HANDLE note = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (note == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND) {
        CreateDirectoryW((std::wstring(ImageFolder) + kNotesFolder).c_str(), nullptr);
        note = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (note == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        LogCallError(error, L"CreateFileW", path);
        ThrowSystemText(error);
    }
    files->note = note;
    files->noteKey = key;
    const DWORD bytes = (DWORD)(wcslen(name) * sizeof(wchar_t));
    DWORD written = 0;
    if (!WriteFile(note, name, bytes, &written, nullptr) || written != bytes) {
        const DWORD error = GetLastError();
        LogCallError(error, L"WriteFile", path);
        ThrowSystemText(error ? error : ERROR_WRITE_FAULT);
    }
}

}  // namespace

bool BuildSaveNotePath(wchar_t* out, DWORD key)
{
    wchar_t name[24];
    _snwprintf(name, 23, L"%ls%.10u", kNotesFolder, (unsigned)key);
    name[23] = 0;
    return BuildDataFilePath(out, ImageFolder, name, L".new");
}

void EndSnimokSave(SnimokFilesWritten* files, bool committed)
{
    if (!files)
        return;
    if (!committed) {
        DeleteSnimokFiles(files->fileName, files->image, files->icon);
        files->image = files->icon = false;
    }
    if (!files->note)
        return;
    CloseHandle(files->note);
    files->note = nullptr;
    DWORD code = 0;
    if (committed && SaveStepFails(SaveStep::EndSave, &code))
        return;   // the note stays, as a kill here would leave it
    wchar_t path[MAX_PATH];
    if (BuildSaveNotePath(path, files->noteKey) && !DeleteFileW(path))
        LogCallError(GetLastError(), L"DeleteFileW", path);
}

void FormatSnimokFileName(wchar_t* buffer, wchar_t letter, DWORD patientId, DWORD imageId)
{
    if (!IsFileNameLetter(letter))
        letter = L'_';
    _snwprintf(buffer, kSnimokFileNameChars + 1, L"%c%.10u%.10u", letter, (unsigned)patientId, (unsigned)imageId);
    buffer[kSnimokFileNameChars] = 0;
}

void ClearEndedSnimokSaves(const DODBPtr<DODBSession>& session)
{
    ClearEndedSaves(session);
}

void DeleteSnimokFiles(const wchar_t* fileName, bool image, bool icon)
{
    wchar_t path[MAX_PATH];
    if (image && BuildDataFilePath(path, ImageFolder, fileName, L".xmg") && !DeleteFileW(path))
        LogError(GetLastError(), L"Error delete snimok file");
    if (icon && BuildDataFilePath(path, IconFolder, fileName, L".thb") && !DeleteFileW(path))
        LogError(GetLastError(), L"Error delete icon file");
}

bool ReadPictureViewSettings(DPicture* picture)
{
    if (!picture)
        return false;
    return ReadRowByKey(g_DbSession, kSelectViewSql, picture->imageId, [picture](DODBParams* r) {
        LONG value = 0;
        picture->patient.SetPatientId(RowInt(r, 0, &value) ? (uint32_t)value : 0);
        picture->displayOffset = RowInt(r, 1, &value) ? value : 0;
        picture->displayWidth = RowInt(r, 2, &value) ? value : 0;
        picture->negative = RowInt(r, 3, &value) ? value : 0;
        FILETIME date = {};
        RowDate(r, 4, &date);
        picture->imageDate = date;
        picture->viewCentreX = RowInt(r, 5, &value) ? value : picture->width / 2;
        picture->viewCentreY = RowInt(r, 6, &value) ? value : picture->height / 2;
        double scale = 1.0;
        picture->scale = RowDouble(r, 7, &scale) ? scale : 1.0;
        picture->orientation = RowInt(r, 8, &value) ? value : 0;
    });
}

bool ReadPatientForPicture(DPicture* picture)
{
    return ReadPatient(g_DbSession, kSelectPatientSql, picture);
}

bool ReadPatientForPicture2(const DODBPtr<DODBSession>& session, DPicture* picture)
{
    return ReadPatient(session, kSelectPatientTxSql, picture);
}

bool SaveImageViewSettings(const DPicturePtr& handle, const uint8_t* lut)
{
    DPicture* picture = handle.Get();
    if (!picture || picture->stored != 1)
        return false;
    try {
        BoundStatement update(g_DbSession, kUpdateViewSql);
        LONG centreX = 0, centreY = 0;
        StoredCentre(picture, &centreX, &centreY);
        DODBBindParam& params = update.Params();
        if (!params.SetValI4(1, picture->displayOffset) || !params.SetValI4(2, picture->displayWidth) ||
            !params.SetValI4(3, picture->negative) || !params.SetValI4(4, centreX) || !params.SetValI4(5, centreY) ||
            !params.SetValR4(6, (float)picture->scale) || !params.SetValI4(7, picture->orientation) ||
            !params.SetValI4(8, (LONG)picture->imageId))
            ThrowDatabaseError();
        update.Run();
        StoreIcon(picture->fileName, picture->GetWorkBits(), picture->width, picture->height, picture->viewCentreX,
                  picture->viewCentreY, picture->scale, lut);
        return true;
    } catch (const DODBErrors& errors) {
        wchar_t caption[256] = {};
        LoadStringW(hInstance, IDS_SAVING_PICTURE_ATTRIBUTES, caption, 256);
        errors.ShowMessage(nullptr, caption, MB_OK | MB_ICONERROR);
        return false;
    } catch (...) {
        return false;
    }
}

bool UpdateSnimokFileName(const DODBPtr<DODBSession>& session, const wchar_t* fileName, DWORD imageId)
{
    BoundStatement update(session, kUpdateFileNameSql);
    if (!update.Params().SetStr(1, fileName, -1) || !update.Params().SetValI4(2, (LONG)imageId))
        ThrowDatabaseError();
    DBROWCOUNT affected = update.Run();
    if (SaveStepFails(SaveStep::UpdateFileName))
        affected = 0;
    if (affected <= 0) {
        ShowPrompt(nullptr, L"Not updated", nullptr, MB_OK);
        return false;
    }
    return true;
}

namespace {

// Why the image disk takes no new image, for whoever shows the save's
// failure (the panel's box, the merge window's error text). `code` is the
// last error of the free-space check: 0 when the space was measured and is
// below the minimum, else why it could not be measured (a missing drive).
MsgExcept DataDiskRoomMessage(DWORD code)
{
    MsgExcept message;
    if (code == 0) {
        DString text;
        text.FormatMessage(LoadText(IDS_IMAGE_DISK_ALMOST_FULL).c_str(), static_cast<unsigned>(SpaceMin));
        message.SetCaptionId(IDS_DISK_SPACE_NOT_ENOUGH);
        message.SetText(text.c_str(), -1);
    } else {
        message.SetCaptionId(IDS_CANT_CALCULATE_FREE_SPACE);
        message.SetText(ErrorCodeText(code).c_str(), -1);
    }
    return message;
}

}  // namespace

void SaveSnimok(const DPicturePtr& handle, const DODBPtr<DODBSession>& session, const uint8_t* lut,
                SnimokFilesWritten* written)
{
    DPicture* picture = handle.Get();
    if (!picture)
        throw MsgExcept(nullptr, 0, L"Internal Error", -1);
    SnimokFilesWritten local;
    SnimokFilesWritten& files = written ? *written : local;
    ZeroMemory(&files, sizeof files);
    const PictureIdentity before(picture);

    try {
        // 1. Room on the data disk.
        if (!IsDataDiskSpaceEnough()) {
            const DWORD code = GetLastError();
            LogError(code, L"error save snimok(GetFreeSpace())");
            throw DataDiskRoomMessage(code);
        }

        // 2. The patient the image belongs to.
        if (!ReadPatientForPicture2(session, picture))
            ThrowId(IDS_PATIENT_NOT_FOUND);

        // What saves that ended half-way left goes first.
        try {
            ClearEndedSaves(session);
        } catch (const DODBErrors& errors) {
            ThrowDatabaseMessage(errors);
        }

        // 3. to 8. The new row, its file name from the key, the note, the
        // row's file name, the image file (which deletes what it wrote when
        // it fails). A file of that name that no note accounted for is kept,
        // and the next key taken.
        for (int passed = 0;; ++passed) {
            picture->imageId = InsertNewRow(session, picture);
            FormatSnimokFileName(picture->fileName, picture->patient.GetName(0)[0], picture->patient.GetPatientId(),
                                 picture->imageId);
            memcpy(files.fileName, picture->fileName, sizeof files.fileName);
            OpenSaveNote(&files, picture->imageId, picture->fileName);
            if (!UpdateSnimokFileName(session, picture->fileName, picture->imageId))
                ThrowId(IDS_PICTURE_NOT_FOUND);
            DWORD error = 0;
            if (WritePictureFile(handle, &error))
                break;
            if (error != ERROR_FILE_EXISTS || passed == kMostKeysPassed)
                ThrowSystemText(error);
            wchar_t text[96];
            _snwprintf(text, 95, L"Image file %ls kept: no save accounts for it; the next key is taken",
                       picture->fileName);
            text[95] = 0;
            JournalWrite(kJournalCatWarning, 0, text);
            EndSnimokSave(&files, false);
            DeleteNewRow(session, picture->imageId);
        }
        files.image = true;

        // 9. The thumbnail, as the view shows the picture; it does not fail the save.
        if (lut)
            files.icon = StoreIcon(picture->fileName, picture->GetWorkBits(), picture->width, picture->height,
                                   picture->viewCentreX, picture->viewCentreY, picture->scale, lut);

        // 10.
        picture->stored = 1;
    } catch (...) {
        EndSnimokSave(&files, false);
        before.Restore(picture);
        throw;
    }
    if (!written)
        EndSnimokSave(&files, true);
}

bool SaveSnimokTx(const DPicturePtr& handle, const uint8_t* lut)
{
    DPicture* picture = handle.Get();
    if (!picture || !g_DbSource.IsSet())
        return false;
    DODBPtr<DODBSession> session;
    DWORD code = 0;
    if (SaveStepFails(SaveStep::CreateSession, &code) || FAILED(g_DbSource->CreateSession(session)) ||
        !session.IsSet())
        return false;
    if (SaveStepFails(SaveStep::BeginTx, &code) || FAILED(session->BeginTx()))
        return false;

    const PictureIdentity before(picture);
    SnimokFilesWritten files;
    ZeroMemory(&files, sizeof files);
    // The transaction ends before a failure is shown: the user's reading
    // must not hold other saves off.
    try {
        SaveSnimok(handle, session, lut, &files);
    } catch (const MsgExcept& message) {
        session->AbortTx();
        message.Show(nullptr, MB_OK | MB_SYSTEMMODAL);
        return false;
    } catch (const DODBErrors& errors) {
        session->AbortTx();
        errors.ShowMessage(nullptr, nullptr, MB_OK | MB_SYSTEMMODAL);
        return false;
    } catch (...) {
        session->AbortTx();
        return false;
    }

    HRESULT committed = E_FAIL;
    DWORD injected = 0;
    if (SaveStepFails(SaveStep::Commit, &injected)) {
        committed = (HRESULT)injected;
        DODBSetError(committed, IDS_DB_TRANSACTION_COMMIT, L"SaveSnimokTx");
    } else {
        committed = session->CommitSync();
    }
    if (FAILED(committed)) {
        DODBErrors errors(committed, TRUE);
        EndSnimokSave(&files, false);
        session->AbortTx();
        before.Restore(picture);
        errors.ShowMessage(nullptr, nullptr, MB_OK | MB_SYSTEMMODAL);
        return false;
    }
    EndSnimokSave(&files, true);
    return true;
}
