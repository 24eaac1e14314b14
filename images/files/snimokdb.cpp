// Image records in the database: see snimokdb.h.
#include "images/files/snimokdb.h"

#include "database/dbbindparam.h"
#include "database/dbcommand.h"
#include "database/dberrors.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dbsource.h"
#include "database/dbstart.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "images/files/datafolders.h"
#include "images/files/savefaults.h"
#include "images/files/thumbnails.h"
#include "images/files/xmgfile.h"
#include "resources/strings.h"

#include <stdio.h>
#include <string.h>

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

// The columns of a new row, in the order they are bound.
enum NewRowColumn : ULONG {
    kColPatient, kColDisk, kColBri, kColContrast, kColNegativ, kColXCenter, kColYCenter, kColScale,
    kColOrientation, kColDate, kColSnimok, kNewRowColumns
};
const wchar_t* const kNewRowNames[kNewRowColumns] = {
    L"Patient", L"Disk", L"Bri", L"Contrast", L"Negativ", L"xWinCenter", L"yWinCenter", L"Scale",
    L"Orientation", L"Date file", L"Snimok"};

// --- Reading and writing values of a row block whatever type the provider
// gave the column ---------------------------------------------------------------

bool HasValue(DODBParams* row, ULONG index)
{
    return index < row->GetCount() && row->IsOk(index);
}

}  // namespace

bool ColumnInt(DODBParams* row, ULONG index, LONG* out)
{
    if (!row || !HasValue(row, index))
        return false;
    const BYTE* p = static_cast<const BYTE*>(row->GetValuePtr(index));
    switch (row->GetWType(index)) {
    case DBTYPE_I1: *out = *reinterpret_cast<const signed char*>(p); return true;
    case DBTYPE_UI1: *out = *p; return true;
    case DBTYPE_I2: { SHORT v; memcpy(&v, p, 2); *out = v; return true; }
    case DBTYPE_UI2: { USHORT v; memcpy(&v, p, 2); *out = v; return true; }
    case DBTYPE_BOOL: { SHORT v; memcpy(&v, p, 2); *out = v ? 1 : 0; return true; }
    case DBTYPE_I4:
    case DBTYPE_UI4: { LONG v; memcpy(&v, p, 4); *out = v; return true; }
    case DBTYPE_I8:
    case DBTYPE_UI8: { LONGLONG v; memcpy(&v, p, 8); *out = (LONG)v; return true; }
    case DBTYPE_R4: { float v; memcpy(&v, p, 4); *out = (LONG)v; return true; }
    case DBTYPE_R8: { double v; memcpy(&v, p, 8); *out = (LONG)v; return true; }
    default: return false;
    }
}

bool ColumnDate(DODBParams* row, ULONG index, FILETIME* out)
{
    if (!row || !HasValue(row, index) || row->GetWType(index) != DBTYPE_FILETIME)
        return false;
    memcpy(out, row->GetValuePtr(index), sizeof *out);
    return true;
}

namespace {

bool ColumnDouble(DODBParams* row, ULONG index, double* out)
{
    if (!HasValue(row, index))
        return false;
    const BYTE* p = static_cast<const BYTE*>(row->GetValuePtr(index));
    switch (row->GetWType(index)) {
    case DBTYPE_R4: { float v; memcpy(&v, p, 4); *out = v; return true; }
    case DBTYPE_R8: { double v; memcpy(&v, p, 8); *out = v; return true; }
    default: {
        LONG v = 0;
        if (!ColumnInt(row, index, &v))
            return false;
        *out = v;
        return true;
    }
    }
}


// Writes an integer or a float into a binding of whatever fixed type it has.
HRESULT SetNumber(DODBParams* row, ULONG index, double value)
{
    BYTE bytes[8] = {};
    switch (row->GetWType(index)) {
    case DBTYPE_I1:
    case DBTYPE_UI1: bytes[0] = (BYTE)(LONG)value; break;
    case DBTYPE_I2:
    case DBTYPE_UI2: { SHORT v = (SHORT)(LONG)value; memcpy(bytes, &v, 2); break; }
    case DBTYPE_BOOL: { SHORT v = value != 0 ? VARIANT_TRUE : VARIANT_FALSE; memcpy(bytes, &v, 2); break; }
    case DBTYPE_I4:
    case DBTYPE_UI4: { LONG v = (LONG)value; memcpy(bytes, &v, 4); break; }
    case DBTYPE_I8:
    case DBTYPE_UI8: { LONGLONG v = (LONGLONG)value; memcpy(bytes, &v, 8); break; }
    case DBTYPE_R4: { float v = (float)value; memcpy(bytes, &v, 4); break; }
    case DBTYPE_R8: memcpy(bytes, &value, 8); break;
    default: return E_FAIL;
    }
    return row->SetValue(index, bytes, 0, DBSTATUS_S_OK);
}

// Runs a one-key query and fetches its first row; false when it fails or
// finds nothing.
bool QueryByKey(const DODBPtr<DODBSession>& session, const wchar_t* sql, DWORD key, DODBPtr<DODBRowset>& rowset,
                DODBPtr<DODBParams>& row)
{
    if (!session.IsSet())
        return false;
    DODBPtr<DODBCommand> command;
    if (!session->CreateCommand(command) || FAILED(command->SetCmdText(sql)))
        return false;
    DODBPtr<DODBBindParam> params;
    if (!params.CreateNew() || !params->SetValI4(1, (LONG)key))
        return false;
    if (!command->ExecuteBind(rowset, &row, params, nullptr))
        return false;
    return rowset->GetNextData(row.Get()) != FALSE;
}

bool ReadPatient(const DODBPtr<DODBSession>& session, const wchar_t* sql, DPicture* picture)
{
    if (!picture)
        return false;
    DODBPtr<DODBRowset> rowset;
    DODBPtr<DODBParams> row;
    if (!QueryByKey(session, sql, picture->patient.GetPatientId(), rowset, row))
        return false;
    wchar_t name[256];
    for (ULONG i = 0; i < 3; ++i) {
        name[0] = 0;
        if (HasValue(row.Get(), i) && row->GetStr(i, name, 256) < 0)
            name[0] = 0;
        picture->patient.SetName((int)i, name, -1);
    }
    FILETIME birthday = {};
    ColumnDate(row.Get(), 3, &birthday);
    picture->patient.SetBirthday(birthday);
    LONG sex = 0;
    ColumnInt(row.Get(), 4, &sex);
    picture->patient.SetSex((uint32_t)sex);
    return true;
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

// The database error posted on this thread as a message.
[[noreturn]] void ThrowDatabaseMessage(HRESULT result)
{
    DODBErrors errors(result, TRUE);
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

}  // namespace

void FormatSnimokFileName(wchar_t* buffer, wchar_t letter, DWORD patientId, DWORD imageId)
{
    if (!IsFileNameLetter(letter))
        letter = L'_';
    _snwprintf(buffer, kSnimokFileNameChars + 1, L"%c%.10u%.10u", letter, (unsigned)patientId, (unsigned)imageId);
    buffer[kSnimokFileNameChars] = 0;
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
    DODBPtr<DODBRowset> rowset;
    DODBPtr<DODBParams> row;
    if (!QueryByKey(g_DbSession, kSelectViewSql, picture->imageId, rowset, row))
        return false;
    DODBParams* r = row.Get();
    LONG value = 0;
    picture->patient.SetPatientId(ColumnInt(r, 0, &value) ? (uint32_t)value : 0);
    picture->displayOffset = ColumnInt(r, 1, &value) ? value : 0;
    picture->displayWidth = ColumnInt(r, 2, &value) ? value : 0;
    picture->negative = ColumnInt(r, 3, &value) ? value : 0;
    FILETIME date = {};
    ColumnDate(r, 4, &date);
    picture->imageDate = date;
    picture->viewCentreX = ColumnInt(r, 5, &value) ? value : picture->width / 2;
    picture->viewCentreY = ColumnInt(r, 6, &value) ? value : picture->height / 2;
    double scale = 1.0;
    picture->scale = ColumnDouble(r, 7, &scale) ? scale : 1.0;
    picture->orientation = ColumnInt(r, 8, &value) ? value : 0;
    return true;
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
        if (!g_DbSession.IsSet()) {
            DODBSetError(E_FAIL, IDS_DB_CREATE_COMMAND, L"SaveImageViewSettings");
            throw DODBErrors(E_FAIL, TRUE);
        }
        DODBPtr<DODBCommand> command;
        if (!g_DbSession->CreateCommand(command) || FAILED(command->SetCmdText(kUpdateViewSql)))
            throw DODBErrors(E_FAIL, TRUE);
        LONG centreX = 0, centreY = 0;
        StoredCentre(picture, &centreX, &centreY);
        DODBPtr<DODBBindParam> params;
        if (!params.CreateNew() || !params->SetValI4(1, picture->displayOffset) ||
            !params->SetValI4(2, picture->displayWidth) || !params->SetValI4(3, picture->negative) ||
            !params->SetValI4(4, centreX) || !params->SetValI4(5, centreY) ||
            !params->SetValR4(6, (float)picture->scale) || !params->SetValI4(7, picture->orientation) ||
            !params->SetValI4(8, (LONG)picture->imageId))
            throw DODBErrors(E_FAIL, TRUE);
        if (!command->ExecuteBindNR(params, nullptr))
            throw DODBErrors(E_FAIL, TRUE);
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
    DODBPtr<DODBCommand> command;
    if (!session.IsSet() || !session->CreateCommand(command) || FAILED(command->SetCmdText(kUpdateFileNameSql)))
        throw DODBErrors(E_FAIL, TRUE);
    DODBPtr<DODBBindParam> params;
    if (!params.CreateNew() || !params->SetStr(1, fileName, -1) || !params->SetValI4(2, (LONG)imageId))
        throw DODBErrors(E_FAIL, TRUE);
    DBROWCOUNT affected = 0;
    if (!command->ExecuteBindNR(params, &affected))
        throw DODBErrors(E_FAIL, TRUE);
    if (SaveStepFails(SaveStep::UpdateFileName))
        affected = 0;
    if (affected <= 0) {
        ShowPrompt(nullptr, L"Not updated", nullptr, MB_OK);
        return false;
    }
    return true;
}

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
            MsgExcept message;
            message.SetCaptionId(IDS_CANT_CALCULATE_FREE_SPACE);
            if (code != 0) {
                wchar_t* text = nullptr;
                DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                                  FORMAT_MESSAGE_IGNORE_INSERTS,
                                              nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
                if (length)
                    message.SetText(text, (int)length);
                if (text)
                    LocalFree(text);
            }
            throw message;
        }

        // 2. The patient the image belongs to.
        if (!ReadPatientForPicture2(session, picture))
            ThrowId(IDS_PATIENT_NOT_FOUND);

        // 3. to 5. The new row; the database gives its key.
        DODBPtr<DODBRowset> rowset;
        if (InjectedDatabaseFailure(SaveStep::OpenRowset, IDS_DB_NO_ROWSET_CHANGE, L"SaveSnimok") ||
            !session->OpenRowsetForChange(kSnimokTable, rowset))
            ThrowDatabaseMessage(E_FAIL);
        DODBPtr<DODBParams> row;
        if (FAILED(rowset->CreateParams(kNewRowColumns, kNewRowNames, row)))
            ThrowDatabaseMessage(E_FAIL);
        LONG centreX = 0, centreY = 0;
        StoredCentre(picture, &centreX, &centreY);
        DODBParams* r = row.Get();
        FILETIME date = picture->imageDate;
        if (FAILED(SetNumber(r, kColPatient, picture->patient.GetPatientId())) ||
            FAILED(SetNumber(r, kColDisk, 1)) || FAILED(SetNumber(r, kColBri, picture->displayOffset)) ||
            FAILED(SetNumber(r, kColContrast, picture->displayWidth)) ||
            FAILED(SetNumber(r, kColNegativ, picture->negative)) || FAILED(SetNumber(r, kColXCenter, centreX)) ||
            FAILED(SetNumber(r, kColYCenter, centreY)) || FAILED(SetNumber(r, kColScale, (float)picture->scale)) ||
            FAILED(SetNumber(r, kColOrientation, picture->orientation)) ||
            FAILED(r->SetValue(kColDate, &date, 0, DBSTATUS_S_OK)) ||
            FAILED(r->SetStatus(kColSnimok, DBSTATUS_S_DEFAULT)))
            ThrowDatabaseMessage(E_FAIL);
        if (InjectedDatabaseFailure(SaveStep::InsertRow, IDS_DB_INSERT_ROW, L"SaveSnimok") ||
            !rowset->InsertRow(r) || !rowset->GetData(r))
            ThrowDatabaseMessage(E_FAIL);
        LONG newId = 0;
        if (!ColumnInt(r, kColSnimok, &newId) || newId <= 0) {
            DODBSetError(E_FAIL, IDS_DB_INSERT_ROW, L"SaveSnimok");
            ThrowDatabaseMessage(E_FAIL);
        }
        picture->imageId = (uint32_t)newId;
        rowset.Release();

        // 6. The file name from the new key.
        FormatSnimokFileName(picture->fileName, picture->patient.GetName(0)[0], picture->patient.GetPatientId(),
                             picture->imageId);
        memcpy(files.fileName, picture->fileName, sizeof files.fileName);

        // 7. The row learns its file name.
        if (!UpdateSnimokFileName(session, picture->fileName, picture->imageId))
            ThrowId(IDS_PICTURE_NOT_FOUND);

        // 8. The image file; it deletes what it wrote when it fails.
        SavePictureFile(handle);
        files.image = true;

        // 9. The thumbnail, as the view shows the picture; it does not fail the save.
        if (lut)
            files.icon = StoreIcon(picture->fileName, picture->GetWorkBits(), picture->width, picture->height,
                                   picture->viewCentreX, picture->viewCentreY, picture->scale, lut);

        // 10.
        picture->stored = 1;
    } catch (...) {
        DeleteSnimokFiles(files.fileName, files.image, files.icon);
        files.image = files.icon = false;
        before.Restore(picture);
        throw;
    }
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
    try {
        SaveSnimok(handle, session, lut, &files);
    } catch (const MsgExcept& message) {
        message.Show(nullptr, MB_OK | MB_SYSTEMMODAL);
        session->AbortTx();
        return false;
    } catch (const DODBErrors& errors) {
        errors.ShowMessage(nullptr, nullptr, MB_OK | MB_SYSTEMMODAL);
        session->AbortTx();
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
        errors.ShowMessage(nullptr, nullptr, MB_OK | MB_SYSTEMMODAL);
        session->AbortTx();
        DeleteSnimokFiles(files.fileName, files.image, files.icon);
        before.Restore(picture);
        return false;
    }
    return true;
}
