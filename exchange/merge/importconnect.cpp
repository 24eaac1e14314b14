// The merge engine's Connect: both databases, their identities, the links of
// earlier merges and the rows to merge with their plans (see importengine.h).
#include "exchange/merge/importengine.h"

#include "database/dberrors.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "exchange/merge/mergefaults.h"
#include "exchange/merge/mergerows.h"
#include "exchange/merge/mergesql.h"
#include "foundation/files.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "images/files/datafolders.h"
#include "resources/strings.h"

#include <algorithm>

namespace {

const wchar_t kConnecting[] = L"Идет подключение к базе данных...";
const wchar_t kPressStart[] = L"Нажмите пуск для запуска обьединения";
const wchar_t kInitOpenError[] = L"Ошибка функции GetRecSetSnimokE";
const wchar_t kReadError[] = L"Ошибка чтения из файла";
const wchar_t kSourceError[] = L"Ошибка создания src1";

const DWORD kInitFileBytes = 2048;
// Pairs of earlier merges linked in one pair of transactions.
const size_t kLinksATransaction = 100;

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

// A statement with one text parameter, run without rows.
void RunWithText(const DODBPtr<DODBSession>& session, const wchar_t* sql, const std::wstring& text)
{
    BoundStatement statement(session, sql);
    if (!statement.Params().SetStr(1, text.c_str(), (int)text.size()))
        ThrowDatabaseError();
    statement.Run();
}

// Every (identity, image) of MergeSnimok that names both: a row that another
// program left unreadable, or whose identity is none, counts as no row.
std::vector<std::pair<std::wstring, LONG>> ImageIdentities(const DODBPtr<DODBSession>& session)
{
    std::vector<std::pair<std::wstring, LONG>> identities;
    BoundStatement query(session, kImageIdentitiesSql);
    query.Execute();
    for (Fetched fetched; (fetched = FetchRow(query)) != Fetched::kEnd;) {
        int length = 0;
        const wchar_t* text = fetched == Fetched::kRow ? RowTextPtr(query.Row(), 0, &length) : nullptr;
        LONG image = 0;
        if (!text || !RowInt(query.Row(), 1, &image))
            continue;
        std::wstring identity(text, (size_t)length);
        if (IsIdentity(identity))
            identities.emplace_back(std::move(identity), image);
    }
    return identities;
}

}  // namespace

std::wstring ImportDBCls::ReadInitString() const
{
    const std::wstring path = settings_.dbPath + L"\\dbinit.cfg";
    DFile file;
    if (!file.Create(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)) {
        const DWORD error = GetLastError();
        LogError(error, (L"CreateFileW " + path).c_str());
        ThrowMergeError(kInitOpenError, error);
    }
    BYTE bytes[kInitFileBytes];
    DWORD read = 0;
    if (!file.Read(bytes, kInitFileBytes, &read, nullptr)) {
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
    ThrowIfInjected(MergeStep::AddTable, L"ImportDBCls::AddUnlessThere");
    MergeTransaction tx(session, link_, &openTransactions_);
    if (!ColumnExists(session, column, table)) {
        BoundStatement add(session, sql);
        add.Run();
    }
    tx.Commit();
}

// The column "imported" of the images, which an older database lacks.
void ImportDBCls::EnsureImportedColumn(const DODBPtr<DODBSession>& session)
{
    AddUnlessThere(session, L"imported", L"Snimok", kAddImportedSql);
}

void ImportDBCls::EnsureIdentityTables(const DODBPtr<DODBSession>& session)
{
    AddUnlessThere(session, kDatabaseKeyColumn, kDatabaseTable, kCreateDatabaseTableSql);
    AddUnlessThere(session, kImageKeyColumn, kImageTable, kCreateImageTableSql);
}

// The database's identity, made the first time it is asked for, and made
// anew in place of one that another program left as no identity.
std::wstring ImportDBCls::DatabaseIdentity(const DODBPtr<DODBSession>& session)
{
    std::wstring identity = StoredDatabaseIdentity(session);
    if (!identity.empty())
        return identity;
    MergeTransaction tx(session, link_, &openTransactions_);
    identity = StoredDatabaseIdentity(session);
    if (identity.empty()) {
        identity = NewIdentity();
        BoundStatement clear(session, kClearDatabaseIdentitySql);
        clear.Run();
        RunWithText(session, kInsertDatabaseIdentitySql, identity);
    }
    tx.Commit();
    return identity;
}

void ImportDBCls::RefuseThisDatabase()
{
    sourceDb_ = DatabaseIdentity(sourceSession_);
    localDb_ = DatabaseIdentity(local_);
    if (sourceDb_ == localDb_) {
        // This very database, or a copy of it made elsewhere (a workstation
        // installed from another's backup): a new identity written here is
        // seen at once through the other session only when it is the same
        // database.
        localDb_ = NewIdentity();
        RunWithText(local_, kRenewDatabaseIdentitySql, localDb_);
        if (DatabaseIdentity(sourceSession_) == localDb_)
            ThrowMergeErrorWith(IDS_MERGE_OWN_DATABASE, settings_.dbPath.c_str());
    }
}

void ImportDBCls::ReadIdentities()
{
    sourceIdentities_.clear();
    sourceImageOf_.clear();
    localImageOf_.clear();
    localIdentityOf_.clear();
    for (auto& [identity, image] : ImageIdentities(sourceSession_)) {
        sourceImageOf_[identity] = image;
        sourceIdentities_[image] = identity;
    }
    for (auto& [identity, image] : ImageIdentities(local_)) {
        localImageOf_[identity] = image;
        localIdentityOf_[image] = identity;
    }
}

// Adds the (image there, image here) pairs of earlier merges that the ledger
// of `session` names for `folder`, that a link could give one identity
// (Linkable), and whose image here is not paired already. In the local
// ledger a row maps the other database's key to an image here; in the other
// database's ledger, one of its merges from this folder, the other way round.
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
    for (Fetched fetched; (fetched = FetchRow(query)) != Fetched::kEnd;) {
        LONG named = 0, own = 0;
        if (fetched == Fetched::kBad || !RowInt(query.Row(), 0, &named) || !RowInt(query.Row(), 1, &own))
            continue;
        const LONG there = local ? named : own, here = local ? own : named;
        if (Linkable(there, here) && paired.insert(here).second)
            pairs->push_back(std::make_pair(there, here));
    }
}

// Whether a link could give both images one identity, as Connect read them:
// neither has one; or one has one that the other database holds on no image
// (a merge of a third workstation gave it, or a link ended between its two
// commits). Images that both have one are linked, or are two pictures whose
// copies each have their own: they are left as they are, and no file is read
// for them.
bool ImportDBCls::Linkable(LONG there, LONG here) const
{
    const auto theirs = sourceIdentities_.find(there);
    const auto mine = localIdentityOf_.find(here);
    if (theirs != sourceIdentities_.end())
        return mine == localIdentityOf_.end() && !localImageOf_.count(theirs->second);
    return mine == localIdentityOf_.end() || !sourceImageOf_.count(mine->second);
}

// The pairs whose two images are one picture: the same [Date file] and the
// same pixels, compared as the copy rule compares them (the fingerprint, then
// the pixels). A ledger row names keys, and a key may since name another
// picture: a database recreated in the folder of an earlier merge, whose
// files imported from one CD share their time stamp. A file that cannot be
// read here or there links nothing. The files are read only for pairs whose
// dates match, each once: the pairs of one image there come together.
std::vector<std::pair<LONG, LONG>> ImportDBCls::SamePictures(std::vector<std::pair<LONG, LONG>> pairs)
{
    std::sort(pairs.begin(), pairs.end());
    std::vector<std::pair<LONG, LONG>> same;
    LONG there = 0;
    bool dated = false, read = false;
    FILETIME thereDate = {};
    std::wstring thereName;
    DPicturePtr picture;
    PixelFingerprint fingerprint;
    for (const auto& pair : pairs) {
        if (pair.first != there) {
            there = pair.first;
            dated = ImageDate(sourceSession_, there, &thereDate, &thereName);
            read = false;
            picture = DPicturePtr();
        }
        FILETIME hereDate = {};
        std::wstring hereName;
        if (!dated || !ImageDate(local_, pair.second, &hereDate, &hereName) ||
            CompareFileTime(&thereDate, &hereDate) != 0)
            continue;
        if (!read) {
            picture = ReadStoredPicture(sourceImages_.c_str(), thereName);
            fingerprint = picture.Get() ? FingerprintOf(*picture.Get()) : PixelFingerprint();
            read = true;
        }
        if (!picture.Get())
            continue;
        const DPicturePtr here = ReadStoredPicture(ImageFolder, hereName);
        if (here.Get() && SameFingerprint(FingerprintOf(*here.Get()), fingerprint) &&
            SamePixels(*here.Get(), *picture.Get()))
            same.push_back(pair);
    }
    return same;
}

// Gives both images of a pair one identity, as both databases hold them now,
// inside their pair of transactions: the one either has, unless the other
// database holds it on another image; a new one when neither has one. Images
// that both have one keep them: another merge linked them meanwhile, or gave
// them as they stand. What a run ended between the two commits leaves (the
// image there with an identity that the image here lacks) is Linkable, and
// the next merge finishes it.
void ImportDBCls::LinkPair(LONG there, LONG here)
{
    const std::wstring theirs = ImageIdentity(sourceSession_, there), mine = ImageIdentity(local_, here);
    if (theirs.empty() && mine.empty()) {
        const std::wstring identity = NewIdentity();
        SetImageIdentity(sourceSession_, identity, there);
        SetImageIdentity(local_, identity, here);
    } else if (theirs.empty()) {
        if (!ImageOfIdentity(sourceSession_, mine))
            SetImageIdentity(sourceSession_, mine, there);
    } else if (mine.empty()) {
        if (!ImageOfIdentity(local_, theirs))
            SetImageIdentity(local_, theirs, here);
    }
}

void ImportDBCls::LinkEarlierMerges()
{
    std::vector<std::pair<LONG, LONG>> pairs;
    ReadLedger(local_, identity_, true, &pairs);
    ReadLedger(sourceSession_, FolderIdentity(DataPath), false, &pairs);
    const std::vector<std::pair<LONG, LONG>> same = SamePictures(std::move(pairs));
    for (size_t first = 0; first < same.size(); first += kLinksATransaction) {
        ThrowIfInjected(MergeStep::LinkEarlier, L"ImportDBCls::LinkEarlierMerges");
        PairTransaction tx(sourceSession_, local_, SourceFirst(), link_, &openTransactions_);
        for (size_t i = first; i < same.size() && i < first + kLinksATransaction; ++i)
            LinkPair(same[i].first, same[i].second);
        tx.Commit(MergeStep::LinkCommitted);
    }
}

// The patient here that the merge finds for the other database's patient
// `sourcePatient` by the key columns, as for a new image (0: none); false
// when his row there cannot be read: his images are merged, which names
// them.
bool ImportDBCls::PatientHere(LONG sourcePatient, DWORD* patient)
{
    try {
        LoadPatient(sourcePatient);
    } catch (const MsgExcept&) {
        return false;
    }
    *patient = FindPatient() ? localPatient_ : 0;
    return true;
}

// The other database's rows still to merge, by patient, each with what this
// run does with it (see importengine.h): the images here that hold their
// identities and the rows there are read with two statements, not one per
// row, and the patient of a run of rows once, so that a merge back of images
// that are all here costs next to nothing. A row whose values cannot be read
// is listed with the reason, which skips it when its turn comes. Every row to
// merge or to mark is read again when its turn comes: the count is what the
// window shows until then.
void ImportDBCls::ListImageRows()
{
    struct Held {
        bool readable = false;
        ImageRow row;
    };
    std::map<LONG, Held> held;   // the images here that hold an identity
    {
        BoundStatement query(local_, copies_.IdentifiedSql().c_str());
        query.Execute();
        for (Fetched fetched; (fetched = FetchRow(query)) != Fetched::kEnd;) {
            LONG image = 0;
            if (!RowInt(query.Row(), 0, &image))
                continue;
            Held& here = held[image];
            try {
                copies_.RowAt(query.Row(), fetched, {L"Snimok"}, &here.row);
                here.readable = true;
            } catch (const MsgExcept&) {
                // not to be compared: a copy comes beside it
            }
        }
    }
    rows_.clear();
    std::vector<ImageRow> listed;   // the rows' values, by row
    {
        BoundStatement query(sourceSession_, copies_.ListedSql().c_str());
        query.Execute();
        for (Fetched fetched; (fetched = FetchRow(query)) != Fetched::kEnd;) {
            DODBParams* values = query.Row();
            SourceImage image;
            if (!RowInt(values, 0, &image.id)) {
                LogError(0, L"ImportDBCls::ListImageRows: an image row of the other database without a readable key");
                continue;
            }
            ImageRow row;
            try {
                copies_.RowAt(values, fetched, {L"Snimok"}, &row);
                image.fileName = row.fileName;
            } catch (const MsgExcept& reason) {
                std::vector<wchar_t> text((size_t)reason.TextLength() + 1);
                reason.GetText(text.data(), (int)text.size());
                image.unreadable = text.data();
                // What names it when its name is what cannot be read: its key.
                image.fileName = row.fileName.empty() ? std::to_wstring(image.id) : row.fileName;
            }
            image.patient = row.patient;
            const auto identity = sourceIdentities_.find(image.id);
            if (identity != sourceIdentities_.end())
                image.identity = identity->second;
            rows_.push_back(std::move(image));
            listed.push_back(std::move(row));
        }
    }
    // The plans. The rows come by patient: each patient there is looked for
    // here once for a run of his rows.
    toMerge_ = 0;
    LONG patientThere = -1;
    bool patientRead = false;
    DWORD patientHere = 0;
    for (size_t i = 0; i < rows_.size(); ++i) {
        SourceImage& image = rows_[i];
        const auto here = image.identity.empty() ? localImageOf_.end() : localImageOf_.find(image.identity);
        if (image.unreadable.empty() && here != localImageOf_.end()) {
            if (image.patient != patientThere) {
                patientThere = image.patient;
                patientRead = PatientHere(image.patient, &patientHere);
            }
            // An image here not to be compared, or a patient there that
            // cannot be read: merged, which names what cannot be read.
            const auto found = held.find(here->second);
            Here what = Here::kOther;
            if (patientRead && (found == held.end() || found->second.readable))
                what = HereOf(found == held.end() ? nullptr : &found->second.row, listed[i].carried, patientHere);
            image.patientHere = patientHere;
            image.plan = what == Here::kKept   ? SourceImage::Plan::kMark
                         : what == Here::kGone ? SourceImage::Plan::kLeave
                                               : SourceImage::Plan::kMerge;
        }
        toMerge_ += image.plan == SourceImage::Plan::kMerge ? 1 : 0;
    }
    // Each image's patient is read again when its turn comes.
    previousPatient_ = -1;
    patientResolved_ = false;
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

    // Both keep the mark: the other database's rows are marked there, and
    // whether an image here is marked decides whether a row there may be.
    EnsureImportedColumn(sourceSession_);
    EnsureImportedColumn(local_);
    EnsureIdentityTables(sourceSession_);
    EnsureIdentityTables(local_);
    RefuseThisDatabase();
    ReadIdentities();
    LinkEarlierMerges();
    ReadIdentities();
    ListImageRows();

    link_->SetCount0(toMerge_);
    link_->SetText1(kPressStart, -1);
}
