// The database merge engine: see importengine.h.
#include "exchange/merge/importengine.h"

#include "database/dberrors.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "exchange/merge/mergefaults.h"
#include "exchange/merge/mergesql.h"
#include "foundation/dstring.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/textutil.h"
#include "images/files/datafolders.h"
#include "images/files/snimokdb.h"
#include "images/files/xmgfile.h"
#include "resources/strings.h"

#include <stdio.h>

namespace {

// The engine's own texts, as the merge window shows them.
const wchar_t kInitialising[] = L"Идет инициализация...";
const wchar_t kConnecting[] = L"Идет подключение к базе данных...";
const wchar_t kPressStart[] = L"Нажмите пуск для запуска обьединения";
const wchar_t kInitOpenError[] = L"Ошибка функции GetRecSetSnimokE";
const wchar_t kReadError[] = L"Ошибка чтения из файла";
const wchar_t kSourceError[] = L"Ошибка создания src1";
const wchar_t kWaitError[] = L"Ошибка ожидания команды. (функция ImportDBCls::StartUnionE)";
const wchar_t kLowSpace[] = L"Мало свободного места на диске.";
const wchar_t kNoPatient[] = L"Нет пациента с id = %1!u!";
const wchar_t kPatientNotCreated[] = L"Не создана запись пациента.";
const wchar_t kSourceFileError[] = L"Ошибка функции ImportDBCls::LoadSnimokE";

const DWORD kInitFileBytes = 2048;
// Images skipped in a run that the error text names one by one; the rest are
// counted (and each is in the journal), so that a damaged folder does not
// make the text grow with every image.
const DWORD kSkipsNamed = 20;

// An open file, closed at the end of its scope.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE Get() const { return handle_; }
    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// An injected failure of a database step looks as the real one would: a
// posted database error, thrown.
void FailIfInjected(MergeStep step, const wchar_t* source)
{
    DWORD code = 0;
    if (!MergeStepFails(step, &code))
        return;
    const HRESULT hr = code ? (HRESULT)code : E_FAIL;
    DODBSetError(hr, IDS_DB_EXECUTE_COMMAND, source);
    ThrowDatabaseError(hr);
}

std::vector<std::wstring> Names(const std::vector<ColumnSpec>& columns)
{
    std::vector<std::wstring> names;
    for (const ColumnSpec& column : columns)
        names.push_back(column.name);
    return names;
}

// The text of "Нет пациента с id = %1!u!".
std::wstring NoPatientText(LONG id)
{
    const DWORD_PTR args[1] = {(DWORD_PTR)(DWORD)id};
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING |
                                       FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                   kNoPatient, 0, 0, reinterpret_cast<wchar_t*>(&text), 0,
                                   reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(args)));
    std::wstring result = n && text ? std::wstring(text, n) : std::wstring(kNoPatient);
    if (text)
        LocalFree(text);
    return result;
}

// What names a data folder in the ledger of earlier merges: its full path
// without a trailing backslash, upper case.
std::wstring FolderIdentity(const std::wstring& folder)
{
    wchar_t full[MAX_PATH] = {};
    const DWORD n = GetFullPathNameW(folder.c_str(), MAX_PATH, full, nullptr);
    std::wstring identity = n > 0 && n < MAX_PATH ? full : folder;
    while (!identity.empty() && identity.back() == L'\\')
        identity.pop_back();
    if (!identity.empty())
        CharUpperBuffW(&identity[0], (DWORD)identity.size());
    return identity;
}

// A new identity: a GUID in its usual braces, 38 characters.
std::wstring NewIdentity()
{
    GUID guid;
    wchar_t text[40] = {};
    if (FAILED(CoCreateGuid(&guid)) || StringFromGUID2(guid, text, 40) != 39) {
        DODBSetError(E_FAIL, IDS_DB_EXECUTE_COMMAND, L"CoCreateGuid");
        ThrowDatabaseError();
    }
    return text;
}

// A statement with one text parameter, run without rows.
void RunWithText(const DODBPtr<DODBSession>& session, const wchar_t* sql, const std::wstring& text)
{
    BoundStatement statement(session, sql);
    if (!statement.Params().SetStr(1, text.c_str(), (int)text.size()))
        ThrowDatabaseError();
    statement.Run();
}

// The first column of the first row as text; empty when there is none.
std::wstring TextOfFirstRow(BoundStatement& query)
{
    if (!query.First())
        return std::wstring();
    int length = 0;
    const wchar_t* text = RowTextPtr(query.Row(), 0, &length);
    return text ? std::wstring(text, (size_t)length) : std::wstring();
}

bool ImageDate(const DODBPtr<DODBSession>& session, LONG image, FILETIME* date)
{
    BoundStatement query(session, kImageDateSql);
    if (!query.Params().SetValI4(1, image))
        ThrowDatabaseError();
    return query.First() && !query.Row()->IsNull(0) && RowDate(query.Row(), 0, date);
}

// A transaction of a session, told to the link while it is open: aborted
// unless committed.
class Transaction {
public:
    Transaction(const DODBPtr<DODBSession>& session, IImportLink* link) : session_(session), link_(link)
    {
        const HRESULT hr = session_->BeginTx();
        if (FAILED(hr))
            throw DODBErrors(hr, TRUE);
        open_ = true;
        link_->SetInTransaction(true);
    }
    ~Transaction()
    {
        if (open_)
            session_->AbortTx();
        link_->SetInTransaction(false);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit()
    {
        const HRESULT hr = session_->CommitSync();
        if (FAILED(hr))
            throw DODBErrors(hr, TRUE);
        open_ = false;
        link_->SetInTransaction(false);
    }

private:
    const DODBPtr<DODBSession>& session_;
    IImportLink* link_;
    bool open_ = false;
};

}  // namespace

ImportDBCls::ImportDBCls(DThreadChannel* channel, IImportLink* link) : channel_(channel), link_(link)
{
}

ImportDBCls::~ImportDBCls()
{
    local_.Release();
    sourceSession_.Release();
    source_.Release();
}

// ---- Init ---------------------------------------------------------------------------

void ImportDBCls::Init()
{
    link_->SetText0(L"", 0);
    link_->SetText2(L"", 0);
    link_->SetText3(L"", 0);
    link_->SetCount0(0);
    link_->SetCount1(0);
    link_->SetCount2(0);
    merged_ = 0;
    skipped_ = 0;
    skippedText_.clear();
    link_->SetText1(kInitialising, -1);

    settings_ = ReadMergeSettings();
    updateSnimokSql_ = BuildUpdateSnimokSql(Names(settings_.snimok));
    copies_.Configure(settings_.snimok);
}

// ---- Connect ------------------------------------------------------------------------

std::wstring ImportDBCls::ReadInitString() const
{
    const std::wstring path = settings_.dbPath + L"\\dbinit.cfg";
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.IsOpen()) {
        const DWORD error = GetLastError();
        LogError(error, (L"CreateFileW " + path).c_str());
        ThrowMergeError(kInitOpenError, error);
    }
    BYTE bytes[kInitFileBytes];
    DWORD read = 0;
    if (!ReadFile(file.Get(), bytes, kInitFileBytes, &read, nullptr)) {
        const DWORD error = GetLastError();
        LogError(error, (L"ReadFile " + path).c_str());
        ThrowMergeError(kReadError, error);
    }
    std::wstring init;
    if (ParseInitFile(bytes, read, &init) != InitFileVerdict::kOk)
        ThrowMergeErrorWith(IDS_MERGE_BAD_INIT_FILE, path.c_str());
    return init;
}

bool ImportDBCls::ColumnExists(const DODBPtr<DODBSession>& session, const wchar_t* column, const wchar_t* table)
{
    BoundStatement query(session, kColumnExistsSql);
    if (!query.Params().SetStr(1, table, -1) || !query.Params().SetStr(2, column, -1))
        ThrowDatabaseError();
    LONG count = 0;
    return query.First() && RowInt(query.Row(), 0, &count) && count > 0;
}

// Runs `sql`, which adds the column `column` of `table` (or the table), when
// the database lacks it. The second look and the statement share a
// transaction, so that two merges meeting one older database at the same
// moment add it once and both go on.
void ImportDBCls::AddUnlessThere(const DODBPtr<DODBSession>& session, const wchar_t* column, const wchar_t* table,
                                 const wchar_t* sql)
{
    if (ColumnExists(session, column, table))
        return;
    FailIfInjected(MergeStep::AddTable, L"ImportDBCls::AddUnlessThere");
    Transaction tx(session, link_);
    if (!ColumnExists(session, column, table)) {
        BoundStatement add(session, sql);
        add.Run();
    }
    tx.Commit();
}

void ImportDBCls::EnsureImportedColumn()
{
    AddUnlessThere(sourceSession_, L"imported", L"Snimok", kAddImportedSql);
}

void ImportDBCls::EnsureIdentityTables(const DODBPtr<DODBSession>& session)
{
    AddUnlessThere(session, kDatabaseKeyColumn, kDatabaseTable, kCreateDatabaseTableSql);
    AddUnlessThere(session, kImageKeyColumn, kImageTable, kCreateImageTableSql);
}

// The database's identity, made the first time it is asked for.
std::wstring ImportDBCls::DatabaseIdentity(const DODBPtr<DODBSession>& session)
{
    {
        BoundStatement query(session, kDatabaseIdentitySql);
        std::wstring identity = TextOfFirstRow(query);
        if (!identity.empty())
            return identity;
    }
    Transaction tx(session, link_);
    BoundStatement query(session, kDatabaseIdentitySql);
    std::wstring identity = TextOfFirstRow(query);
    if (identity.empty()) {
        identity = NewIdentity();
        RunWithText(session, kInsertDatabaseIdentitySql, identity);
    }
    tx.Commit();
    return identity;
}

void ImportDBCls::RefuseThisDatabase()
{
    sourceDb_ = DatabaseIdentity(sourceSession_);
    localDb_ = DatabaseIdentity(local_);
    if (sourceDb_ != localDb_)
        return;
    // This very database, or a copy of it made elsewhere (a workstation
    // installed from another's backup): a new identity written here is seen
    // at once through the other session only when it is the same database.
    localDb_ = NewIdentity();
    RunWithText(local_, kRenewDatabaseIdentitySql, localDb_);
    if (DatabaseIdentity(sourceSession_) == localDb_)
        ThrowMergeErrorWith(IDS_MERGE_OWN_DATABASE, settings_.dbPath.c_str());
}

void ImportDBCls::ReadIdentities()
{
    sourceIdentities_.clear();
    localImageOf_.clear();
    localIdentityOf_.clear();
    {
        BoundStatement query(sourceSession_, kImageIdentitiesSql);
        query.Execute();
        while (query.Next()) {
            int length = 0;
            const wchar_t* text = RowTextPtr(query.Row(), 0, &length);
            LONG image = 0;
            if (text && RowInt(query.Row(), 1, &image))
                sourceIdentities_[image] = std::wstring(text, (size_t)length);
        }
    }
    BoundStatement query(local_, kImageIdentitiesSql);
    query.Execute();
    while (query.Next()) {
        int length = 0;
        const wchar_t* text = RowTextPtr(query.Row(), 0, &length);
        LONG image = 0;
        if (!text || !RowInt(query.Row(), 1, &image))
            continue;
        localImageOf_[std::wstring(text, (size_t)length)] = image;
        localIdentityOf_[image] = std::wstring(text, (size_t)length);
    }
}

// Adds the (image there, image here) pairs of earlier merges that the ledger
// of `session` names for `folder`, whose image here has no identity yet and
// is not paired already. In the local ledger a row maps the other
// database's key to an image here; in the other database's ledger, one of
// its merges from this folder, the other way round.
void ImportDBCls::ReadLedger(const DODBPtr<DODBSession>& session, const std::wstring& folder, bool local,
                             std::vector<std::pair<LONG, LONG>>* pairs)
{
    if (!ColumnExists(session, kLedgerKeyColumn, kLedgerTable))
        return;
    std::set<LONG> paired;
    for (const auto& pair : *pairs)
        paired.insert(pair.second);
    BoundStatement query(session, kLedgerRowsSql);
    if (!query.Params().SetStr(1, folder.c_str(), (int)folder.size()))
        ThrowDatabaseError();
    query.Execute();
    while (query.Next()) {
        LONG named = 0, own = 0;
        if (!RowInt(query.Row(), 0, &named) || !RowInt(query.Row(), 1, &own))
            continue;
        const LONG there = local ? named : own, here = local ? own : named;
        if (!localIdentityOf_.count(here) && paired.insert(here).second)
            pairs->push_back(std::make_pair(there, here));
    }
}

void ImportDBCls::LinkEarlierMerges()
{
    std::vector<std::pair<LONG, LONG>> pairs;
    ReadLedger(local_, identity_, true, &pairs);
    ReadLedger(sourceSession_, FolderIdentity(DataPath), false, &pairs);
    // The same image only when both rows still show the same picture's date.
    std::vector<std::pair<LONG, LONG>> same;
    for (const auto& pair : pairs) {
        FILETIME there = {}, here = {};
        if (ImageDate(sourceSession_, pair.first, &there) && ImageDate(local_, pair.second, &here) &&
            CompareFileTime(&there, &here) == 0)
            same.push_back(pair);
    }
    if (same.empty())
        return;
    // Their identities, there first: a run ended between the two commits
    // finds the identity there and gives it here the next time.
    std::vector<std::wstring> identities;
    {
        Transaction tx(sourceSession_, link_);
        for (const auto& pair : same) {
            std::wstring identity = ImageIdentity(sourceSession_, pair.first);
            if (identity.empty()) {
                identity = NewIdentity();
                InsertIdentity(sourceSession_, identity, pair.first);
            }
            identities.push_back(identity);
        }
        tx.Commit();
    }
    FailIfInjected(MergeStep::LinkEarlier, L"ImportDBCls::LinkEarlierMerges");
    Transaction tx(local_, link_);
    for (size_t i = 0; i < same.size(); ++i) {
        // A merge running at the same moment may have linked it since.
        if (!ImageIdentity(local_, same[i].second).empty())
            continue;
        BoundStatement query(local_, kImageOfIdentitySql);
        if (!query.Params().SetStr(1, identities[i].c_str(), (int)identities[i].size()))
            ThrowDatabaseError();
        if (!query.First())
            InsertIdentity(local_, identities[i], same[i].second);
    }
    tx.Commit();
}

void ImportDBCls::ReadImageRows()
{
    {
        BoundStatement query(sourceSession_, kSourceImagesSql);
        query.Execute();
        while (query.Next()) {
            DODBParams* row = query.Row();
            SourceImage image;
            RowInt(row, 0, &image.id);
            RowInt(row, 1, &image.patient);
            int length = 0;
            const wchar_t* name = RowTextPtr(row, 2, &length);
            if (name)
                image.fileName.assign(name, (size_t)length);
            const auto known = sourceIdentities_.find(image.id);
            if (known != sourceIdentities_.end())
                image.identity = known->second;
            rows_.push_back(std::move(image));
        }
    }
    // An image here already (or deleted here) is not to merge, unless its
    // copy there was described or shown otherwise since. The run reads every
    // row again, so this is only the count the window shows until then.
    toMerge_ = 0;
    for (SourceImage& image : rows_) {
        if (!image.identity.empty() && localImageOf_.count(image.identity)) {
            ImageRow row;
            try {
                image.counted = ReadSourceRow(image, &row) && ImageHere(image.identity, row.carried) != Here::kSame;
            } catch (const MsgExcept&) {
                // Read again when it is merged, and skipped then with the reason.
            }
        }
        toMerge_ += image.counted ? 1 : 0;
    }
    offered_ = toMerge_;
}

void ImportDBCls::Connect()
{
    // The folder must leave room for "\Image\", a file name and ".xmg".
    if (settings_.dbPath.size() + 7 + kStoredFileNameChars + 4 >= MAX_PATH)
        ThrowMergeErrorWith(IDS_MERGE_PATH_TOO_LONG, settings_.dbPath.c_str());
    const std::wstring init = ReadInitString();

    identity_ = FolderIdentity(settings_.dbPath);
    sourceImages_ = settings_.dbPath + L"\\Image\\";
    sourceIcons_ = settings_.dbPath + L"\\Icon\\";

    link_->SetText1(kConnecting, -1);
    source_ = DODBSource::Create();
    if (!source_.IsSet())
        ThrowMergeError(kSourceError, 0);
    HRESULT hr = source_->OpenDataSource(init.c_str());
    if (FAILED(hr))
        throw DODBErrors(hr, TRUE);
    hr = source_->CreateSession(sourceSession_);
    if (FAILED(hr))
        throw DODBErrors(hr, TRUE);
    if (!g_DbSource.IsSet()) {
        DODBSetError(E_FAIL, IDS_DB_CREATE_SESSION, L"ImportDBCls::Connect");
        ThrowDatabaseError();
    }
    hr = g_DbSource->CreateSession(local_);
    if (FAILED(hr))
        throw DODBErrors(hr, TRUE);

    EnsureImportedColumn();
    EnsureIdentityTables(sourceSession_);
    EnsureIdentityTables(local_);
    RefuseThisDatabase();
    ReadIdentities();
    LinkEarlierMerges();
    ReadIdentities();
    ReadImageRows();

    link_->SetCount0(toMerge_);
    link_->SetText1(kPressStart, -1);
}

// ---- StartUnion ---------------------------------------------------------------------

bool ImportDBCls::StopRequested()
{
    if (!channel_)
        return false;
    DThreadChannel::Request request = {};
    const DWORD wait = channel_->Receive(&request, 0);
    if (wait == WAIT_TIMEOUT)
        return false;
    if (wait != 0)
        ThrowMergeError(kWaitError, GetLastError());
    channel_->Reply(1);
    return request.command == 0;
}

void ImportDBCls::CheckFreeSpace()
{
    DWORD code = 0;
    if (MergeStepFails(MergeStep::FreeSpace, &code))
        ThrowMergeError(kLowSpace, 0);
    ULARGE_INTEGER available = {};
    if (!GetDiskFreeSpaceExW(IconFolder, &available, nullptr, nullptr)) {
        const DWORD error = GetLastError();
        LogError(error, (std::wstring(L"GetDiskFreeSpaceExW ") + IconFolder).c_str());
        ThrowMergeError(kLowSpace, error);
    }
    if (available.QuadPart / 1048576 < SpaceArjStart)
        ThrowMergeError(kLowSpace, 0);
}

// Gives every listed image without an identity its identity in the other
// database, in one transaction.
void ImportDBCls::PrepareSource()
{
    bool anything = false;
    for (const SourceImage& image : rows_)
        anything = anything || image.identity.empty();
    if (!anything)
        return;
    Transaction tx(sourceSession_, link_);
    for (SourceImage& image : rows_) {
        if (!image.identity.empty())
            continue;
        // Another workstation's merge may have given it one since Connect.
        image.identity = ImageIdentity(sourceSession_, image.id);
        if (image.identity.empty()) {
            image.identity = NewIdentity();
            InsertIdentity(sourceSession_, image.identity, image.id);
        }
    }
    tx.Commit();
}

// What saves here that ended half-way left goes before the images: a merge
// killed after the last image's commit left that save's note, and this run,
// with nothing left to save, would leave it too.
void ImportDBCls::ClearEndedSaves()
{
    Transaction tx(local_, link_);
    ClearEndedSnimokSaves(local_);
    tx.Commit();
}

void ImportDBCls::StartUnion()
{
    ClearEndedSaves();
    PrepareSource();
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (StopRequested()) {
            state_ = kStopped;
            break;
        }
        CheckFreeSpace();
        SourceImage& image = rows_[i];
        const Outcome outcome = MergeImage(image);
        // The count of images to merge follows what each image turned out to be.
        if (image.counted != (outcome != Outcome::kHere)) {
            toMerge_ = image.counted ? toMerge_ - 1 : toMerge_ + 1;
            link_->SetCount0(toMerge_);
        }
        if (outcome == Outcome::kMerged) {
            ++merged_;
            link_->SetCount1(merged_);
        }
    }
}

void ImportDBCls::SkipImage(const SourceImage& image, const MsgExcept& reason)
{
    std::vector<wchar_t> text((size_t)reason.TextLength() + 1);
    reason.GetText(text.data(), (int)text.size());
    LogError(0, (L"ImportDBCls::MergeImage skipped " + image.fileName + L": " + text.data()).c_str());
    ++skipped_;
    link_->SetCount2(skipped_);
    if (skipped_ > kSkipsNamed)
        return;
    const std::wstring format = LoadText(IDS_MERGE_IMAGE_SKIPPED);
    const DWORD_PTR args[2] = {reinterpret_cast<DWORD_PTR>(image.fileName.c_str()),
                               reinterpret_cast<DWORD_PTR>(text.data())};
    DString line;
    line.FormatMessageArgs(format.c_str(), args);
    if (!skippedText_.empty())
        skippedText_ += L"\n";
    skippedText_ += line.Length() ? line.c_str() : format.c_str();
    link_->SetText0(skippedText_.c_str(), (int)skippedText_.size());
}

// ---- one image ----------------------------------------------------------------------

void ImportDBCls::InsertIdentity(const DODBPtr<DODBSession>& session, const std::wstring& identity, LONG image)
{
    BoundStatement insert(session, kInsertImageIdentitySql);
    if (!insert.Params().SetStr(1, identity.c_str(), (int)identity.size()) || !insert.Params().SetValI4(2, image))
        ThrowDatabaseError();
    insert.Run();
}

// Marks the source row imported, in a transaction of the other database that
// reads it once more: only a row that still carries what was merged is
// marked, so that a change made there meanwhile is not lost (the next merge
// takes the row as an image of its own).
void ImportDBCls::MarkImported(const SourceImage& image, const std::vector<MergeValue>& merged)
{
    FailIfInjected(MergeStep::MarkSource, L"ImportDBCls::MarkImported");
    Transaction tx(sourceSession_, link_);
    ImageRow now;
    bool same = false;
    try {
        same = copies_.ReadImage(sourceSession_, image.id, true, &now) && SameCarried(now.carried, merged);
    } catch (const MsgExcept&) {
        // Unreadable now: left for the next merge, which names it.
    }
    if (same) {
        BoundStatement update(sourceSession_, kMarkImportedSql);
        if (!update.Params().SetValI4(1, image.id))
            ThrowDatabaseError();
        update.Run();
    } else {
        LogError(0, (L"ImportDBCls::MarkImported: " + image.fileName +
                     L" was changed in the other database while it was merged; the next merge takes it again")
                        .c_str());
    }
    tx.Commit();
}

void ImportDBCls::LoadPatient(LONG sourcePatient)
{
    BoundStatement query(sourceSession_, BuildLoadPatientSql(Names(settings_.patient)).c_str());
    if (!query.Params().SetValI4(1, sourcePatient))
        ThrowDatabaseError();
    if (!query.First())
        ThrowMergeError(NoPatientText(sourcePatient).c_str(), 0);
    patient_.clear();
    for (size_t i = 0; i < settings_.patient.size(); ++i) {
        MergeValue value;
        if (!ReadMergeValue(query.Row(), (ULONG)i, settings_.patient[i].kind, &value))
            ThrowMergeErrorWith(IDS_MERGE_VALUE_TYPE, settings_.patient[i].name.c_str());
        patient_.push_back(value);
    }
}

bool ImportDBCls::FindPatient()
{
    FailIfInjected(MergeStep::FindPatient, L"ImportDBCls::FindPatient");
    std::vector<std::wstring> keys;
    std::vector<bool> isNull;
    for (size_t i = 0; i < settings_.patient.size(); ++i) {
        if (!settings_.patient[i].key)
            continue;
        keys.push_back(settings_.patient[i].name);
        isNull.push_back(patient_[i].isNull);
    }
    BoundStatement query(local_, BuildFindPatientSql(keys, isNull).c_str());
    ULONG ordinal = 1;
    for (size_t i = 0; i < settings_.patient.size(); ++i) {
        if (!settings_.patient[i].key || patient_[i].isNull)
            continue;
        if (!BindMergeValue(query.Params(), ordinal++, patient_[i], settings_.patient[i].type))
            ThrowDatabaseError();
    }
    LONG id = 0;
    if (query.First() && RowInt(query.Row(), 0, &id) && id > 0) {
        localPatient_ = (DWORD)id;
        return true;
    }
    localPatient_ = 0;
    return false;
}

void ImportDBCls::InsertPatient()
{
    FailIfInjected(MergeStep::InsertPatient, L"ImportDBCls::InsertPatient");
    std::vector<const wchar_t*> names;
    for (const ColumnSpec& column : settings_.patient)
        names.push_back(column.name.c_str());
    const ULONG keyIndex = (ULONG)names.size();
    names.push_back(L"Patient");

    NewTableRow table(local_, L"Patient");
    DODBParams* row = table.BindColumns((ULONG)names.size(), names.data());
    for (size_t i = 0; i < settings_.patient.size(); ++i) {
        if (FAILED(WriteMergeValue(row, (ULONG)i, patient_[i])))
            ThrowMergeErrorWith(IDS_MERGE_VALUE_TYPE, settings_.patient[i].name.c_str());
    }
    if (FAILED(row->SetStatus(keyIndex, DBSTATUS_S_DEFAULT)))
        ThrowDatabaseError();
    table.Insert(row);
    // The key the database gave this very row, read back from the insert.
    LONG id = 0;
    if (!RowInt(row, keyIndex, &id) || id <= 0)
        ThrowMergeError(kPatientNotCreated, 0);
    localPatient_ = (DWORD)id;
}

void ImportDBCls::UpdatePatient()
{
    FailIfInjected(MergeStep::UpdatePatient, L"ImportDBCls::UpdatePatient");
    std::vector<std::wstring> columns;
    for (const ColumnSpec& column : settings_.patient)
        if (!column.key)
            columns.push_back(column.name);
    if (columns.empty())
        return;
    BoundStatement update(local_, BuildUpdatePatientSql(columns).c_str());
    ULONG ordinal = 1;
    for (size_t i = 0; i < settings_.patient.size(); ++i) {
        if (settings_.patient[i].key)
            continue;
        if (!BindMergeValue(update.Params(), ordinal++, patient_[i], settings_.patient[i].type))
            ThrowDatabaseError();
    }
    if (!update.Params().SetValI4(ordinal, (LONG)localPatient_))
        ThrowDatabaseError();
    update.Run();
}

void ImportDBCls::FormatPatientText()
{
    patientText_.clear();
    if (settings_.formatString.empty())
        return;
    // Every insert the template may name has a value, so that a template
    // asking for more inserts than there are entries reads no stray memory.
    const size_t kInserts = 99;
    std::vector<std::wstring> values(kInserts, L" ");
    for (size_t i = 0; i < settings_.format.size() && i < kInserts; ++i) {
        const int column = settings_.format[i].column;
        if (column >= 0 && (size_t)column < patient_.size())
            values[i] = MergeValueText(patient_[(size_t)column]);
    }
    std::vector<DWORD_PTR> args;
    for (const std::wstring& value : values)
        args.push_back(reinterpret_cast<DWORD_PTR>(value.c_str()));
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING |
                                       FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                   settings_.formatString.c_str(), 0, 0, reinterpret_cast<wchar_t*>(&text), 0,
                                   reinterpret_cast<va_list*>(args.data()));
    patientText_ = n && text ? std::wstring(text, n) : settings_.formatString;
    if (text)
        LocalFree(text);
}

DPicturePtr ImportDBCls::LoadSnimok(const std::wstring& path, const std::vector<MergeValue>& carried)
{
    DWORD code = 0;
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (MergeStepFails(MergeStep::OpenSource, &code)) {
        SetLastError(code ? code : ERROR_FILE_NOT_FOUND);
    } else {
        handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    }
    FileHandle file(handle);
    if (!file.IsOpen()) {
        const DWORD error = GetLastError();
        LogError(error, (L"CreateFileW " + path).c_str());
        ThrowMergeError(kSourceFileError, error);
    }
    DPicturePtr picture = SnimokFile::Load(file.Get(), false, false);
    if (!picture.Get())
        ThrowMergeError(kSourceFileError, 0);
    // bri, contrast and negativ; a NULL keeps the file's own value until the
    // row is written (UpdateSnimok carries the NULL).
    if (!carried[0].isNull)
        picture->displayOffset = (LONG)carried[0].integer;
    if (!carried[1].isNull)
        picture->displayWidth = (LONG)carried[1].integer;
    if (!carried[2].isNull)
        picture->negative = (LONG)carried[2].integer;
    picture->viewCentreX = picture->width / 2;
    picture->viewCentreY = picture->height / 2;
    return picture;
}

void ImportDBCls::UpdateSnimok(DWORD imageId, const std::vector<MergeValue>& carried)
{
    FailIfInjected(MergeStep::UpdateColumns, L"ImportDBCls::UpdateSnimok");
    if (carried[0].isNull || carried[1].isNull || carried[2].isNull) {
        // The save wrote the file's own display values in place of NULLs.
        BoundStatement display(local_, kCarryDisplaySql);
        for (ULONG i = 0; i < 3; ++i)
            if (!BindMergeValue(display.Params(), i + 1, carried[i], DBTYPE_I4))
                ThrowDatabaseError();
        if (!display.Params().SetValI4(4, (LONG)imageId))
            ThrowDatabaseError();
        display.Run();
    }
    if (updateSnimokSql_.empty())
        return;
    BoundStatement update(local_, updateSnimokSql_.c_str());
    ULONG ordinal = 1;
    for (size_t i = 0; i < settings_.snimok.size(); ++i) {
        if (!BindMergeValue(update.Params(), ordinal++, carried[3 + i], settings_.snimok[i].type))
            ThrowDatabaseError();
    }
    if (!update.Params().SetValI4(ordinal, (LONG)imageId))
        ThrowDatabaseError();
    update.Run();
}

void ImportDBCls::CopyThumbnail(const SourceImage& image, const wchar_t* newName, bool* copied)
{
    wchar_t from[MAX_PATH], to[MAX_PATH];
    if (!BuildStoredFilePath(from, sourceIcons_.c_str(), image.fileName.c_str(), L".thb") ||
        !BuildStoredFilePath(to, IconFolder, newName, L".thb"))
        return;
    DWORD code = 0;
    if (!MergeStepFails(MergeStep::Thumbnail, &code) && CopyFileW(from, to, FALSE))
        *copied = true;
    else if (GetLastError() != ERROR_FILE_NOT_FOUND)
        LogCallError(GetLastError(), L"CopyFileW", from);
}

DPicturePtr ImportDBCls::ReadSourcePicture(const SourceImage& image, const std::vector<MergeValue>& carried)
{
    wchar_t path[MAX_PATH];
    if (!BuildStoredFilePath(path, sourceImages_.c_str(), image.fileName.c_str(), L".xmg"))
        ThrowMergeErrorWith(IDS_MERGE_BAD_FILE_NAME, image.fileName.c_str());
    return LoadSnimok(path, carried);
}

// The other database's row of the image as it is now, its identity there
// read again (another merge may have renewed it). False when the row is no
// longer to merge: deleted, marked, or moved off the disk there meanwhile.
// Throws MsgExcept when the row cannot be read.
bool ImportDBCls::ReadSourceRow(SourceImage& image, ImageRow* row)
{
    if (!copies_.ReadImage(sourceSession_, image.id, true, row) || row->imported || !row->onDisk || row->Deleted())
        return false;
    image.fileName = row->fileName;
    const std::wstring identity = ImageIdentity(sourceSession_, image.id);
    if (!identity.empty())
        image.identity = identity;
    return true;
}

ImportDBCls::Here ImportDBCls::ImageHere(const std::wstring& identity, const std::vector<MergeValue>& carried)
{
    const LONG image = identity.empty() ? 0 : ImageOfIdentity(local_, identity);
    if (!image)
        return Here::kNone;
    // Deleted here (its row gone, or kept without a file): a user deleted it
    // on purpose, and the merge does not bring it back.
    ImageRow row;
    try {
        if (!copies_.ReadImage(local_, image, false, &row) || row.Deleted())
            return Here::kSame;
    } catch (const MsgExcept&) {
        return Here::kOther;   // not to be compared: the copy comes beside it
    }
    return SameCarried(row.carried, carried) ? Here::kSame : Here::kOther;
}

// A copy there that carries other values than its image here is an image of
// its own: it takes a new identity there, committed before anything is
// written here, so that a run ended after it merges it the next time as it
// would now.
void ImportDBCls::RenewIdentity(SourceImage& image)
{
    const std::wstring renewed = NewIdentity();
    Transaction tx(sourceSession_, link_);
    BoundStatement renew(sourceSession_, kRenewImageIdentitySql);
    if (!renew.Params().SetStr(1, renewed.c_str(), (int)renewed.size()) || !renew.Params().SetValI4(2, image.id))
        ThrowDatabaseError();
    if (renew.Run() == 0)
        InsertIdentity(sourceSession_, renewed, image.id);
    tx.Commit();
    image.identity = renewed;
}

ImportDBCls::Outcome ImportDBCls::MergeImage(SourceImage& image)
{
    link_->SetText3(image.fileName.c_str(), (int)image.fileName.size());
    for (;;) {
        // 1. The row as it is now, and 2. its identity here. A row that
        // cannot be read fails only itself; the images after it still come.
        ImageRow now;
        Here here = Here::kNone;
        try {
            if (!ReadSourceRow(image, &now))
                return Outcome::kHere;   // nothing to merge any more
            here = ImageHere(image.identity, now.carried);
        } catch (const MsgExcept& reason) {
            SkipImage(image, reason);
            return Outcome::kSkipped;
        }
        if (here == Here::kSame) {
            MarkImported(image, now.carried);
            return Outcome::kHere;
        }
        if (here == Here::kOther)
            RenewIdentity(image);

        // 3. The patient, the picture.
        if (image.patient != previousPatient_) {
            patientResolved_ = false;
            LoadPatient(image.patient);
            previousPatient_ = image.patient;
            FormatPatientText();
        }
        link_->SetText2(patientText_.c_str(), (int)patientText_.size());
        link_->SetText3(image.fileName.c_str(), (int)image.fileName.size());
        DPicturePtr picture;
        try {
            picture = ReadSourcePicture(image, now.carried);
        } catch (const MsgExcept& reason) {
            SkipImage(image, reason);
            return Outcome::kSkipped;
        }

        // 4. The patient, the image, what it carries, its thumbnail and identity, together.
        Transaction tx(local_, link_);
        SnimokFilesWritten files = {};
        bool copyHere = false;
        try {
            if (ImageOfIdentity(local_, image.identity))
                continue;   // another merge brought it meanwhile: look again (the transaction ends unwritten)
            if (!patientResolved_) {
                if (FindPatient())
                    UpdatePatient();
                else
                    InsertPatient();
            }
            copyHere = TakeCopyHere(image, *picture.Get(), now.carried);
            if (!copyHere) {
                picture->patient.SetPatientId(localPatient_);
                FailIfInjected(MergeStep::SaveImage, L"ImportDBCls::MergeImage");
                SaveSnimok(picture, local_, nullptr, &files);
                UpdateSnimok(picture->imageId, now.carried);
                CopyThumbnail(image, picture->fileName, &files.icon);
                FailIfInjected(MergeStep::Ledger, L"ImportDBCls::InsertIdentity");
                InsertIdentity(local_, image.identity, (LONG)picture->imageId);
                FailIfInjected(MergeStep::Commit, L"ImportDBCls::MergeImage");
            }
            tx.Commit();
        } catch (...) {
            EndSnimokSave(&files, false);
            patientResolved_ = false;
            throw;
        }
        EndSnimokSave(&files, true);
        patientResolved_ = true;
        if (!copyHere)
            copies_.Saved((LONG)picture->imageId);

        // 5. The mark in the other database.
        DWORD code = 0;
        if (MergeStepFails(MergeStep::AfterCommit, &code))
            ThrowMergeError(IdOrText(0), code);
        MarkImported(image, now.carried);
        return copyHere ? Outcome::kHere : Outcome::kMerged;
    }
}

// A copy of an image here (mergecopies.h) is not copied again: the image here
// takes its identity, when it has none, and is that image's copy from now on.
bool ImportDBCls::TakeCopyHere(const SourceImage& image, const DPicture& picture,
                               const std::vector<MergeValue>& carried)
{
    FILETIME date;
    if (!ImageDate(sourceSession_, image.id, &date))
        return false;
    std::wstring identity;
    const LONG copy = copies_.Take(local_, sourceSession_, localPatient_, date, picture, carried, &identity);
    if (!copy)
        return false;
    if (identity.empty())
        InsertIdentity(local_, image.identity, copy);
    return true;
}
