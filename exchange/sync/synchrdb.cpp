// Command 4, the database synchronisation: new archive disks are registered,
// every image row learns whether its file is on the hard disk and on which
// archive disk, and image files that no row names are put back under the
// patient and image keys written in them (SynchrDB, steps 2 to 6; step 6, the
// archive disks, is synchrrestore.cpp).
//
// Putting one file back (RestoreOne): clear the records -> read the file
// (ReadSnimokDataExc) -> match its patient (MatchPatient) -> match its image
// (MatchSnimok) -> insert (InsertRestored). A file that cannot be decoded or
// whose keys contradict the database is skipped: a Msg_tmp row with the
// reason's code under the file's name, Snimok_dif.nodel = 1, and the
// window's suspect count + 1. The name is in the record before the file is
// read, so even an unreadable file is logged and marked under its name.
// Whatever is wrong with one file (a name no file can have, a file gone
// since the scan, one that cannot be opened or decoded, one without a
// patient name, values the database refuses) ends with that file, named in
// the message pane; the pass goes on with the next.
//
// The patient and the image of one file are written in one transaction, so a
// file skipped at its image, or a worker killed between the two, leaves
// neither behind.
#include "exchange/sync/synchrthread.h"

#include "database/dberrors.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "exchange/sync/imagenames.h"
#include "exchange/sync/syncformat.h"
#include "exchange/sync/syncsql.h"
#include "exchange/sync/syncsteps.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/textutil.h"
#include "images/files/datafolders.h"
#include "resources/strings.h"
#include "images/files/xmgfile.h"

#include <cwchar>

namespace {

const wchar_t kErrorCaption[] = L"Error";

struct ErrCode {
    LONG code;
    const wchar_t* text;
};
const ErrCode kErrCodes[] = {
    {kSkipUnreadable, L"Ошибка функции ReadSnimokDataExc.\nДанный снимок будет пропущен."},
    {kSkipImageIdTaken, L"Id занят другим снимком\nСнимок будет пропущен."},
    {kSkipRowDiffers,
     L"Не соответствует id снимка \nв файле и таблице\nИли несоответствие id снимка и id пациета\n"},
    {kSkipPatientIdTaken, L"Id занят другим пациентом\nСнимок будет пропущен."},
    {kSkipPatientDiffers, L"Не соответствует id пац-та \nв файле и табл.\nВозможно отл-ся пол."},
};

// A transaction of the insertion session: aborted unless committed.
class InsertTx {
public:
    explicit InsertTx(const DODBPtr<DODBSession>& session) : session_(session)
    {
        const HRESULT hr = session_->BeginTx();
        if (FAILED(hr))
            ThrowDatabaseError(hr);
        open_ = true;
    }
    ~InsertTx()
    {
        if (open_)
            session_->AbortTx();
    }
    void Commit()
    {
        open_ = false;
        const HRESULT hr = session_->CommitSync();
        if (FAILED(hr)) {
            session_->AbortTx();
            ThrowDatabaseError(hr);
        }
    }

private:
    DODBPtr<DODBSession> session_;
    bool open_ = false;
};

void RunOn(const DODBPtr<DODBSession>& session, const wchar_t* sql)
{
    BoundStatement(session, sql).Run();
}

// A failure that one row's values cause (a text too long for its column, a
// date out of range, a broken rule of a table): the row is skipped, the run
// goes on. Any other failure is the database's and ends the command.
bool IsRowValueError(const DODBErrors& error)
{
    for (ULONG i = 0; i < error.RecordCount(); ++i) {
        wchar_t state[6] = L"";
        if (error.GetSQLState(i, state) == 5 && state[0] == L'2' && (state[1] == L'2' || state[1] == L'3'))
            return true;
    }
    return false;
}

std::wstring ErrorText(const DODBErrors& error)
{
    wchar_t text[1024] = L"";
    error.GetText(text, 1023);
    return text;
}

// An archive serial as a parameter: signed 32-bit, NULL for none.
void SetSerial(DODBBindParam& params, ULONG ordinal, DWORD serial)
{
    if (serial)
        params.SetValI4(ordinal, SerialToKey(serial));
    else
        params.SetValI4(ordinal, 0, DBSTATUS_S_ISNULL);
}

}  // namespace

void SynchrThread::SynchrDB()
{
    AddNewArj();
    UpdateDiskFlags();
    UpdateArjFromExist();
    if (RestoreHddPictures())
        RestoreArchiveImages();
}

void SynchrThread::AddNewArj()
{
    RunOn(session_, syncsql::kAddNewArj);
}

void SynchrThread::UpdateDiskFlags()
{
    // The scan says which files it found; the image folder says which are
    // there now. A row is marked on the hard disk only when its file is
    // there, and off it only when it is not: a file freed or deleted after
    // the scan, or an image saved after it, keeps the mark its file gives.
    struct Row {
        LONG snimok;
        std::wstring key;
    };
    auto listRows = [this](const wchar_t* sql) {
        std::vector<Row> rows;
        BoundStatement list(session_, sql);
        list.Execute();
        while (list.Next()) {
            Row row = {0, L""};
            RowInt(list.Row(), 0, &row.snimok);
            int length = 0;
            const wchar_t* name = RowTextPtr(list.Row(), 1, &length);
            if (name)
                row.key = FileNameKey(name, length);
            rows.push_back(row);
        }
        return rows;
    };
    const std::vector<Row> found = listRows(syncsql::kListFoundOffDisk);
    const std::vector<Row> marked = listRows(syncsql::kListOnDisk);
    std::unordered_set<std::wstring> present;
    DWORD error = 0;
    if (!ListImageFiles(imageFolder_, &present, &error))
        FormatWin32Error(nullptr, error, nullptr);
    std::vector<std::pair<LONG, int>> changes;
    for (const Row& row : found)
        if (present.count(row.key))
            changes.emplace_back(row.snimok, 1);
    for (const Row& row : marked)
        if (!present.count(row.key))
            changes.emplace_back(row.snimok, 0);
    if (changes.empty())
        return;
    InsertTx tx(session_);
    BoundStatement update(session_, syncsql::kSetRowDiskFlag, BoundStatement::kPrepared);
    for (const auto& change : changes) {
        update.Params().SetValI4(1, change.second);
        update.Params().SetValI4(2, change.first);
        update.Run();
    }
    tx.Commit();
}

void SynchrThread::UpdateArjFromExist()
{
    struct Pair {
        LONG arj, snimok;
        std::wstring name;
    };
    std::vector<Pair> pairs;
    {
        BoundStatement list(session_, syncsql::kListExist);
        list.Execute();
        while (list.Next()) {
            Pair p = {0, 0, L""};
            RowInt(list.Row(), 0, &p.arj);
            RowInt(list.Row(), 1, &p.snimok);
            int length = 0;
            const wchar_t* name = RowTextPtr(list.Row(), 2, &length);
            if (name)
                p.name.assign(name, static_cast<size_t>(length));
            while (!p.name.empty() && p.name.back() == L' ')
                p.name.pop_back();
            pairs.push_back(p);
        }
    }
    BoundStatement update(session_, syncsql::kSetArjFromExist, BoundStatement::kPrepared);
    for (const Pair& p : pairs) {
        update.Params().SetValI4(1, p.arj);
        update.Params().SetValI4(2, p.snimok);
        try {
            update.Run();
        } catch (const DODBErrors& e) {
            // A disk no longer registered: this image keeps what it had.
            if (!IsRowValueError(e))
                throw;
            const std::wstring text = ErrorText(e);
            Report(IDS_SYNC_ARCHIVE_NOT_SET,
                   {reinterpret_cast<DWORD_PTR>(p.name.c_str()), reinterpret_cast<DWORD_PTR>(text.c_str())});
        }
    }
    RunOn(session_, syncsql::kEmptyExist);
}

std::vector<SynchrThread::WorkItem> SynchrThread::LoadWorkList(const wchar_t* fillSql)
{
    RunOn(session_, syncsql::kEmptyWorkList);
    RunOn(session_, fillSql);
    std::vector<WorkItem> items;
    BoundStatement list(session_, syncsql::kListWork);
    list.Execute();
    while (list.Next()) {
        wchar_t name[kFileNameChars + 1];
        if (RowText(list.Row(), 0, name, kFileNameChars + 1) < 0)
            continue;
        WorkItem item;
        item.name = name;
        while (!item.name.empty() && item.name.back() == L' ')
            item.name.pop_back();
        item.arj = 0;
        RowInt(list.Row(), 1, &item.arj);
        items.push_back(item);
    }
    return items;
}

bool SynchrThread::RestoreHddPictures()
{
    const std::vector<WorkItem> items = LoadWorkList(syncsql::kFillHddWorkList);
    for (const WorkItem& item : items) {
        CheckCommand(0);
        RestoreOne(imageFolder_, item, 1, nullptr);
    }
    return true;
}

bool SynchrThread::RestoreOne(const std::wstring& folder, const WorkItem& item, int diskFlag,
                              RemovableDrive* archiveDrive)
{
    ClearRecords();
    wcsncpy(image_.fileName, item.name.c_str(), kFileNameChars);
    image_.fileName[kFileNameChars] = 0;
    image_.archiveSerial = KeyToSerial(item.arj);
    std::wstring base = folder;
    if (base.empty() || base.back() != L'\\')
        base += L'\\';
    wchar_t path[MAX_PATH];
    if (!BuildStoredFilePath(path, base.c_str(), item.name.c_str(), L".xmg")) {
        const std::wstring shown = base + item.name + L".xmg";
        SkipUnreadable(shown.c_str(), LoadText(IDS_SYNC_NAME_REFUSED));
        return true;
    }
    const FileRead read = ReadSnimokDataExc(path);
    if (read == FileRead::kGone) {
        const DWORD error = GetLastError();
        if (archiveDrive) {
            // A disk taken out of the drive loses every file at once: only a
            // file missing from the disk that is in the drive is gone.
            if (!archiveDrive->Query() || archiveDrive->GetSerial() != image_.archiveSerial)
                return false;
        } else if (GetFileAttributesW(base.c_str()) == INVALID_FILE_ATTRIBUTES) {
            // Not the file but the image folder is gone: no file can be told
            // apart from another, and nothing is forgotten.
            FormatWin32Error(L"Ошибка функции SynchrThread::ReadSn", error, nullptr);
        }
        ForgetGoneFile(path, item, archiveDrive ? image_.archiveSerial : 0);
    }
    if (read != FileRead::kRead)
        return true;
    try {
        bool patientExists = false, imageExists = false;
        if (!MatchPatient(&patientExists))
            return true;
        if (!MatchSnimok(&imageExists))
            return true;
        InsertRestored(patientExists, imageExists, diskFlag);
    } catch (const DODBErrors& e) {
        if (!IsRowValueError(e))
            throw;
        SkipUnreadable(path, ErrorText(e));
    }
    return true;
}

void SynchrThread::SkipUnreadable(const wchar_t* path, const std::wstring& reason)
{
    LogMessage(kSkipUnreadable);
    MarkNoDel();
    Report(IDS_SYNC_FILE_UNREADABLE, {reinterpret_cast<DWORD_PTR>(path), reinterpret_cast<DWORD_PTR>(reason.c_str())});
}

void SynchrThread::ForgetGoneFile(const wchar_t* path, const WorkItem& item, DWORD archiveSerial)
{
    // The hard-disk pass hands a file that is still on an archive disk to the
    // archive pass, which lists its work after this one; a file gone from
    // its archive disk keeps its hard-disk copy, if any. A row that then
    // says the file lies nowhere goes.
    const int nameLength = static_cast<int>(item.name.size());
    InsertTx tx(session_);
    if (archiveSerial) {
        for (const wchar_t* sql : {syncsql::kGoneFromDiskDif, syncsql::kGoneFromDiskTmp, syncsql::kForgetGoneDiskTmp}) {
            BoundStatement statement(session_, sql);
            statement.Params().SetStr(1, item.name.c_str(), nameLength);
            if (sql != syncsql::kGoneFromDiskDif)
                statement.Params().SetValI4(2, SerialToKey(archiveSerial));
            statement.Run();
        }
    } else {
        for (const wchar_t* sql :
             {syncsql::kGoneFromHddDif, syncsql::kForgetGoneDif, syncsql::kGoneFromHddTmp, syncsql::kForgetGoneTmp}) {
            BoundStatement statement(session_, sql);
            statement.Params().SetStr(1, item.name.c_str(), nameLength);
            statement.Run();
        }
    }
    tx.Commit();
    Report(IDS_SYNC_FILE_GONE, {reinterpret_cast<DWORD_PTR>(path)});
}

SynchrThread::FileRead SynchrThread::ReadSnimokDataExc(const wchar_t* path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        LogWin32Failure(L"CreateFileW", path, error);
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || IsNoDiskError(error)) {
            SetLastError(error);
            return FileRead::kGone;
        }
        const std::wstring system = syncfmt::SystemText(error);
        SkipUnreadable(path, syncfmt::Format(L"Error Win32(%1!u!)\n%2", {error, reinterpret_cast<DWORD_PTR>(system.c_str())}));
        return FileRead::kSkipped;
    }
    try {
        picture_ = SnimokFile::Load(file, true, true);
    } catch (...) {
        picture_.Reset();
    }
    CloseHandle(file);
    if (!picture_.Get()) {
        LogMessage(kSkipUnreadable);
        Ask(nullptr, kErrCodes[0].text, nullptr, MB_OK);
        MarkNoDel();
        const std::wstring reason = LoadText(IDS_SYNC_NOT_IMAGE_FILE);
        Report(IDS_SYNC_FILE_UNREADABLE, {reinterpret_cast<DWORD_PTR>(path), reinterpret_cast<DWORD_PTR>(reason.c_str())});
        return FileRead::kSkipped;
    }
    DPicture* picture = picture_.Get();
    const PatientInfo& info = picture->patient;
    int named = 0;
    for (int i = 0; i < 3; ++i)
        named += info.GetNameLength(i) > 0;
    if (!named) {
        SkipUnreadable(path, LoadText(IDS_SYNC_NO_PATIENT_NAME));
        return FileRead::kSkipped;
    }
    image_.imageId = static_cast<LONG>(picture->imageId);
    image_.date = picture->imageDate;
    const PixelRect centre = {picture->width / 3, picture->height / 3, 2 * picture->width / 3,
                              2 * picture->height / 3};
    int offset = 0, width = 0;
    picture->AutoWindow(&centre, &offset, &width, true);
    image_.brightness = offset;
    image_.contrast = width;
    image_.negative = 0;

    patient_.patientId = static_cast<LONG>(info.GetPatientId());
    patient_.sex = static_cast<LONG>(info.GetSex());
    patient_.birthday = info.GetBirthday();
    for (int i = 0; i < 3 && i < PatientInfo::GetNameCount(); ++i) {
        int length = info.GetNameLength(i);
        if (length > 64)
            length = 64;
        if (length) {
            wmemcpy(patient_.names[i], info.GetName(i), length);
            patient_.names[i][length] = 0;
            patient_.nameLengths[i] = length;
        }
    }
    return FileRead::kRead;
}

bool SynchrThread::MatchPatient(bool* exists)
{
    *exists = false;
    CheckDate(&patient_.birthday, L"д.р. пациента.");
    {
        BoundStatement query(session_, syncsql::kFindPatientByNames);
        for (int i = 0; i < 3; ++i)
            query.Params().SetStr(i + 1, patient_.names[i], patient_.nameLengths[i]);
        query.Params().SetValDate(4, patient_.birthday);
        if (query.First()) {
            LONG id = 0;
            RowInt(query.Row(), 0, &id);
            if (id == patient_.patientId) {
                *exists = true;
                return true;
            }
            LogMessage(kSkipPatientDiffers);
            MarkNoDel();
            return false;
        }
    }
    BoundStatement byId(session_, syncsql::kFindPatientById);
    byId.Params().SetValI4(1, patient_.patientId);
    if (!byId.First())
        return true;
    LogMessage(kSkipPatientIdTaken);
    MarkNoDel();
    return false;
}

bool SynchrThread::MatchSnimok(bool* exists)
{
    *exists = false;
    {
        BoundStatement query(session_, syncsql::kFindSnimokByName);
        query.Params().SetStr(1, image_.fileName, static_cast<int>(wcslen(image_.fileName)));
        if (query.First()) {
            LONG snimok = 0, patient = 0;
            RowInt(query.Row(), 0, &snimok);
            RowInt(query.Row(), 1, &patient);
            if (snimok == image_.imageId && patient == patient_.patientId) {
                *exists = true;
                return true;
            }
            LogMessage(kSkipRowDiffers);
            MarkNoDel();
            return false;
        }
    }
    BoundStatement byId(session_, syncsql::kFindSnimokById);
    byId.Params().SetValI4(1, image_.imageId);
    if (!byId.First())
        return true;
    LogMessage(kSkipImageIdTaken);
    MarkNoDel();
    return false;
}

void SynchrThread::InsertRestored(bool patientExists, bool imageExists, int diskFlag)
{
    if (!insertSession_.IsSet()) {
        const HRESULT hr = g_DbSource.IsSet() ? g_DbSource->CreateSession(insertSession_) : E_FAIL;
        if (FAILED(hr))
            ThrowDatabaseError(hr);
    }
    const DODBPtr<DODBSession>& session = insertSession_;
    const int nameLength = static_cast<int>(wcslen(image_.fileName));
    InsertTx tx(session);
    if (!patientExists) {
        RunOn(session, syncsql::kPatientIdentityOn);
        BoundStatement insert(session, syncsql::kInsertPatient);
        insert.Params().SetValI4(1, patient_.patientId);
        for (int i = 0; i < 3; ++i)
            insert.Params().SetStr(i + 2, patient_.names[i], patient_.nameLengths[i]);
        insert.Params().SetValDate(5, patient_.birthday);
        insert.Params().SetValI4(6, patient_.sex);
        insert.Run();
        RunOn(session, syncsql::kPatientIdentityOff);
    }
    RunOn(session, syncsql::kSnimokIdentityOn);
    if (imageExists) {
        // The row names this file already and learns where it was found. A
        // file of the hard disk is there (it was just read); a file of an
        // archive disk tells nothing of the hard disk, and a file found on no
        // archive disk tells nothing of the row's archive disk.
        BoundStatement update(session, !diskFlag ? syncsql::kUpdateRestoredArj
                                       : image_.archiveSerial ? syncsql::kUpdateRestored
                                                              : syncsql::kUpdateRestoredDisk);
        ULONG ordinal = 1;
        if (!diskFlag || image_.archiveSerial)
            SetSerial(update.Params(), ordinal++, image_.archiveSerial);
        if (diskFlag)
            update.Params().SetValI4(ordinal++, diskFlag);
        update.Params().SetValI4(ordinal, image_.imageId);
        update.Run();
    } else {
        BoundStatement insert(session, syncsql::kInsertRestored);
        insert.Params().SetValI4(1, image_.imageId);
        insert.Params().SetValI4(2, patient_.patientId);
        SetSerial(insert.Params(), 3, image_.archiveSerial);
        insert.Params().SetValDate(4, image_.date);
        insert.Params().SetStr(5, image_.fileName, nameLength);
        insert.Params().SetValI4(6, diskFlag);
        insert.Params().SetValI4(7, image_.brightness);
        insert.Params().SetValI4(8, image_.contrast);
        insert.Params().SetValI4(9, image_.negative);
        insert.Run();
    }
    BoundStatement remove(session, syncsql::kDeleteRestoredDif);
    remove.Params().SetStr(1, image_.fileName, nameLength);
    remove.Run();
    RunOn(session, syncsql::kSnimokIdentityOff);
    ReachSyncStep(SyncStep::RestoreWritten);
    tx.Commit();
    progress_->SetFlag100();
}

void SynchrThread::LogMessage(LONG code)
{
    try {
        BoundStatement insert(session_, syncsql::kLogMessage);
        insert.Params().SetValI4(1, code);
        insert.Params().SetStr(2, image_.fileName, static_cast<int>(wcslen(image_.fileName)));
        insert.Run();
    } catch (const DODBErrors& e) {
        ShowDbError(e);
    }
}

void SynchrThread::MarkNoDel()
{
    try {
        BoundStatement update(session_, syncsql::kMarkNoDel);
        update.Params().SetStr(1, image_.fileName, static_cast<int>(wcslen(image_.fileName)));
        update.Run();
        progress_->SetFlag080();
    } catch (const DODBErrors& e) {
        ShowDbError(e);
        const std::wstring text = syncfmt::Format(L"Флаг nodel не установлен\nфайл = %1,\n ser= %2!u!",
                                                  {reinterpret_cast<DWORD_PTR>(image_.fileName),
                                                   image_.archiveSerial});
        Ask(nullptr, text.c_str(), nullptr, MB_OK);
    }
}

bool SynchrThread::CheckDate(FILETIME* date, const wchar_t* name)
{
    SYSTEMTIME st;
    const bool good = FileTimeToSystemTime(date, &st) && st.wYear <= 9990 && st.wMonth <= 12 && st.wDay <= 31;
    if (good)
        return true;
    const std::wstring text = syncfmt::Format(
        L"Возможно неправильный формат даты.\nПараметр - %1\nЗаменить значение параметра текущей датой?",
        {reinterpret_cast<DWORD_PTR>(name ? name : L"Нет имени параметра")});
    if (Ask(nullptr, text.c_str(), nullptr, MB_YESNO) == IDYES) {
        SYSTEMTIME today;
        GetSystemTime(&today);
        today.wHour = today.wMinute = today.wSecond = today.wMilliseconds = 0;
        SystemTimeToFileTime(&today, date);
    }
    return false;
}

void SynchrThread::WriteErrCodes(const DODBPtr<DODBSession>& session)
{
    try {
        for (const ErrCode& row : kErrCodes) {
            BoundStatement insert(session, syncsql::kWriteErrCode);
            insert.Params().SetValI4(1, row.code);
            insert.Params().SetStr(2, row.text, static_cast<int>(wcslen(row.text)));
            insert.Run();
        }
    } catch (const DODBErrors& e) {
        e.ShowMessage(nullptr, kErrorCaption, MB_OK);
    }
}
