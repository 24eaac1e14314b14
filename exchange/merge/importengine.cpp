// The database merge engine: see importengine.h.
#include "exchange/merge/importengine.h"

#include "database/dberrors.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "exchange/merge/mergefaults.h"
#include "exchange/merge/mergerows.h"
#include "exchange/merge/mergesql.h"
#include "foundation/dstring.h"
#include "foundation/files.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/textutil.h"
#include "images/files/datafolders.h"
#include "images/files/snimokdb.h"
#include "images/files/xmgfile.h"
#include "resources/strings.h"

namespace {

// The engine's own texts, as the merge window shows them.
const wchar_t kInitialising[] = L"Идет инициализация...";
const wchar_t kWaitError[] = L"Ошибка ожидания команды. (функция ImportDBCls::StartUnionE)";
const wchar_t kLowSpace[] = L"Мало свободного места на диске.";
const wchar_t kPatientNotCreated[] = L"Не создана запись пациента.";
const wchar_t kSourceFileError[] = L"Ошибка функции ImportDBCls::LoadSnimokE";

// Images skipped in a run that the error text names one by one; the rest are
// counted (and each is in the journal), so that a damaged folder does not
// make the text grow with every image.
const DWORD kSkipsNamed = 20;
// Rows to mark in one pair of transactions: the other workstation waits for
// its database meanwhile, a few tens of milliseconds.
const size_t kMarksATransaction = 100;

std::vector<std::wstring> Names(const std::vector<ColumnSpec>& columns)
{
    std::vector<std::wstring> names;
    for (const ColumnSpec& column : columns)
        names.push_back(column.name);
    return names;
}

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

// Gives every image to merge without an identity its identity in the
// other database, in one transaction.
void ImportDBCls::PrepareSource()
{
    bool anything = false;
    for (const SourceImage& image : rows_)
        anything = anything || (image.plan == SourceImage::Plan::kMerge && image.identity.empty());
    if (!anything)
        return;
    MergeTransaction tx(sourceSession_, link_, &openTransactions_);
    for (SourceImage& image : rows_) {
        if (image.plan != SourceImage::Plan::kMerge || !image.identity.empty())
            continue;
        // Another workstation's merge may have given it one since Connect.
        image.identity = ImageIdentity(sourceSession_, image.id);
        if (image.identity.empty()) {
            image.identity = NewIdentity();
            SetImageIdentity(sourceSession_, image.identity, image.id);
        }
    }
    tx.Commit();
}

// What saves here that ended half-way left goes before the images: a merge
// killed after the last image's commit left that save's note, and this run,
// with nothing left to save, would leave it too.
void ImportDBCls::ClearEndedSaves()
{
    MergeTransaction tx(local_, link_, &openTransactions_);
    ClearEndedSnimokSaves(local_);
    tx.Commit();
}

void ImportDBCls::StartUnion()
{
    ClearEndedSaves();
    MarkKept();
    if (state_ == kStopped)
        return;
    PrepareSource();
    MergeImages();
}

// The rows Connect found kept here are marked in batches, each batch reading
// its rows again in its pair of transactions. No image is copied for them
// and none counted.
void ImportDBCls::MarkKept()
{
    std::vector<MarkItem> batch;
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].plan == SourceImage::Plan::kMark)
            batch.push_back(MarkItem{&rows_[i], 0, rows_[i].patientHere});
        const bool last = i + 1 == rows_.size();
        if (batch.size() < kMarksATransaction && !(last && !batch.empty()))
            continue;
        if (StopRequested()) {
            state_ = kStopped;
            return;
        }
        MarkImported(batch);
        batch.clear();
    }
}

void ImportDBCls::MergeImages()
{
    for (SourceImage& image : rows_) {
        if (image.plan != SourceImage::Plan::kMerge)
            continue;
        if (StopRequested()) {
            state_ = kStopped;
            break;
        }
        CheckFreeSpace();
        // The count of images to merge follows what each image turned out to be.
        const Outcome outcome = MergeImage(image);
        if (outcome == Outcome::kHere) {
            link_->SetCount0(--toMerge_);
        } else if (outcome == Outcome::kMerged) {
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

// The other database's patient of an image, read when he is not the
// previous image's. Throws MsgExcept as LoadPatient.
void ImportDBCls::UsePatient(LONG sourcePatient)
{
    if (sourcePatient == previousPatient_)
        return;
    patientResolved_ = false;
    previousPatient_ = -1;
    LoadPatient(sourcePatient);
    previousPatient_ = sourcePatient;
    FormatPatientText();
}

// The source patient's carried columns; MsgExcept when he has no row there
// or it cannot be read (his images alone fail).
void ImportDBCls::LoadPatient(LONG sourcePatient)
{
    const std::vector<std::wstring> names = Names(settings_.patient);
    BoundStatement query(sourceSession_, BuildLoadPatientSql(names).c_str());
    if (!query.Params().SetValI4(1, sourcePatient))
        ThrowDatabaseError();
    query.Execute();
    const Fetched fetched = FetchRow(query);
    if (fetched == Fetched::kBad)
        throw BadRowReason(query.Row(), names, L"Patient");
    if (fetched == Fetched::kEnd) {
        const std::wstring format = LoadText(IDS_MERGE_NO_PATIENT);
        const DWORD_PTR args[1] = {(DWORD_PTR)(DWORD)sourcePatient};
        DString text;
        text.FormatMessageArgs(format.c_str(), args);
        throw MsgExcept(IdOrText(text.Length() ? text.c_str() : format.c_str()));
    }
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
    ThrowIfInjected(MergeStep::FindPatient, L"ImportDBCls::FindPatient");
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
    ThrowIfInjected(MergeStep::InsertPatient, L"ImportDBCls::InsertPatient");
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
    ThrowIfInjected(MergeStep::UpdatePatient, L"ImportDBCls::UpdatePatient");
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
    DFile file;
    bool open = false;
    if (MergeStepFails(MergeStep::OpenSource, &code))
        SetLastError(code ? code : ERROR_FILE_NOT_FOUND);
    else
        open = file.Create(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (!open) {
        const DWORD error = GetLastError();
        LogError(error, (L"CreateFileW " + path).c_str());
        ThrowMergeError(kSourceFileError, error);
    }
    DPicturePtr picture = SnimokFile::Load(file.Handle(), false, false);
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
    ThrowIfInjected(MergeStep::UpdateColumns, L"ImportDBCls::UpdateSnimok");
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
    if (!copies_.ReadImage(sourceSession_, image.id, row) || row->imported || !row->onDisk || row->Deleted())
        return false;
    image.fileName = row->fileName;
    image.patient = row->patient;
    const std::wstring identity = ImageIdentity(sourceSession_, image.id);
    if (!identity.empty())
        image.identity = identity;
    return true;
}

// What the image here whose row is `here` (null: it has none) is to a copy
// carrying `carried` whose patient is `patient` here (0: none is). Deleted
// here (its row gone, or kept without a file): a user deleted it on purpose,
// and the merge does not bring it back; filed under another patient: a user
// moved it, or its copy, since a merge took it, and neither workstation's
// correction may go (see importengine.h); marked imported here: this
// workstation's "Delete Imported" takes it, so it keeps nothing for the copy.
ImportDBCls::Here ImportDBCls::HereOf(const ImageRow* here, const std::vector<MergeValue>& carried, DWORD patient)
{
    if (!here || here->Deleted() || patient == 0 || here->patient != (LONG)patient)
        return Here::kGone;
    if (!SameCarried(here->carried, carried))
        return Here::kOther;
    return here->imported ? Here::kGone : Here::kKept;
}

// What the image of `identity` here is to a copy carrying `carried` of the
// current patient, and which image that is (*image; 0 when none). The
// patient is looked for here unless he is known already.
ImportDBCls::Here ImportDBCls::ImageHere(const std::wstring& identity, const std::vector<MergeValue>& carried,
                                         LONG* image)
{
    *image = identity.empty() ? 0 : ImageOfIdentity(local_, identity);
    if (!*image)
        return Here::kNone;
    ImageRow row;
    try {
        if (!copies_.ReadImage(local_, *image, &row))
            return Here::kGone;
    } catch (const MsgExcept&) {
        return Here::kOther;   // not to be compared: the copy comes beside it
    }
    if (!patientResolved_)
        FindPatient();   // 0 when he is not here
    return HereOf(&row, carried, localPatient_);
}

// A copy there that carries other values than its image here is an image of
// its own: it takes a new identity there, committed before anything is
// written here, so that a run ended after it merges it the next time as it
// would now.
void ImportDBCls::RenewIdentity(SourceImage& image)
{
    const std::wstring renewed = NewIdentity();
    MergeTransaction tx(sourceSession_, link_, &openTransactions_);
    SetImageIdentity(sourceSession_, renewed, image.id);
    tx.Commit();
    image.identity = renewed;
}

ImportDBCls::Outcome ImportDBCls::MergeImage(SourceImage& image)
{
    link_->SetText3(image.fileName.c_str(), (int)image.fileName.size());
    if (!image.unreadable.empty()) {
        SkipImage(image, MsgExcept(IdOrText(image.unreadable.c_str())));
        return Outcome::kSkipped;
    }
    for (;;) {
        // 1. The row as it is now and its patient, and 2. its identity here.
        // A row or a patient that cannot be read fails only its image; the
        // images after it still come.
        ImageRow now;
        Here here = Here::kNone;
        LONG hereImage = 0;
        try {
            if (!ReadSourceRow(image, &now))
                return Outcome::kHere;   // nothing to merge any more
            UsePatient(image.patient);
            here = ImageHere(image.identity, now.carried, &hereImage);
        } catch (const MsgExcept& reason) {
            SkipImage(image, reason);
            return Outcome::kSkipped;
        }
        if (here == Here::kKept)
            MarkImported({MarkItem{&image, hereImage, localPatient_}});
        if (here == Here::kKept || here == Here::kGone)
            return Outcome::kHere;
        if (here == Here::kOther)
            RenewIdentity(image);

        // 3. The picture.
        DPicturePtr picture;
        try {
            link_->SetText2(patientText_.c_str(), (int)patientText_.size());
            link_->SetText3(image.fileName.c_str(), (int)image.fileName.size());
            picture = ReadSourcePicture(image, now.carried);
        } catch (const MsgExcept& reason) {
            SkipImage(image, reason);
            return Outcome::kSkipped;
        }

        // 4. The patient, the image, what it carries, its thumbnail and identity, together.
        MergeTransaction tx(local_, link_, &openTransactions_);
        SnimokFilesWritten files = {};
        LONG copy = 0;
        try {
            if (ImageOfIdentity(local_, image.identity))
                continue;   // another merge brought it meanwhile: look again (the transaction ends unwritten)
            if (!patientResolved_) {
                if (FindPatient())
                    UpdatePatient();
                else
                    InsertPatient();
            }
            copy = TakeCopyHere(image, *picture.Get(), now.carried);
            if (!copy) {
                picture->patient.SetPatientId(localPatient_);
                ThrowIfInjected(MergeStep::SaveImage, L"ImportDBCls::MergeImage");
                SaveSnimok(picture, local_, nullptr, &files);
                UpdateSnimok(picture->imageId, now.carried);
                CopyThumbnail(image, picture->fileName, &files.icon);
                ThrowIfInjected(MergeStep::Ledger, L"ImportDBCls::InsertIdentity");
                SetImageIdentity(local_, image.identity, (LONG)picture->imageId);
                ThrowIfInjected(MergeStep::Commit, L"ImportDBCls::MergeImage");
            }
            tx.Commit();
        } catch (...) {
            EndSnimokSave(&files, false);
            patientResolved_ = false;
            throw;
        }
        EndSnimokSave(&files, true);
        patientResolved_ = true;
        if (!copy)
            copies_.Saved((LONG)picture->imageId);

        // 5. The mark in the other database.
        DWORD code = 0;
        if (MergeStepFails(MergeStep::AfterCommit, &code))
            ThrowMergeError(IdOrText(0), code);
        MarkImported({MarkItem{&image, copy ? copy : (LONG)picture->imageId, localPatient_}});
        return copy ? Outcome::kHere : Outcome::kMerged;
    }
}

// A copy of an image here (mergecopies.h) is not copied again: the image here
// takes its identity, when it has none, and is that image's copy from now on.
// The image here, 0 when there is none.
LONG ImportDBCls::TakeCopyHere(const SourceImage& image, const DPicture& picture,
                               const std::vector<MergeValue>& carried)
{
    FILETIME date;
    if (!ImageDate(sourceSession_, image.id, &date))
        return 0;
    std::wstring identity;
    const LONG copy = copies_.Take(local_, sourceSession_, localPatient_, date, picture, carried, &identity);
    if (copy && identity.empty())
        SetImageIdentity(local_, image.identity, copy);
    return copy;
}

// ---- the mark -----------------------------------------------------------------------

// Whether the image here of `item` keeps the row there, read as `there`: it
// is not deleted, not marked imported, filed under the item's patient while
// the row there is still of the patient it was found for, carries the same,
// and is held so until the pair of transactions ends. Throws MsgExcept when
// a row cannot be read.
bool ImportDBCls::KeptHere(const MarkItem& item, const ImageRow& there)
{
    // A batch's row is looked up by its identity as it is now: another merge
    // may have renewed it.
    const LONG here = item.here ? item.here : ImageOfIdentity(local_, ImageIdentity(sourceSession_, item.image->id));
    if (!here)
        return false;
    BoundStatement hold(local_, kHoldKeptImageSql);
    if (!hold.Params().SetValI4(1, here))
        ThrowDatabaseError();
    ImageRow row;
    if (hold.Run() == 0 || !copies_.ReadImage(local_, here, &row) || row.Deleted())
        return false;   // marked imported or gone here: "Delete Imported" takes it, or took it
    if (row.patient != (LONG)item.patient || there.patient != item.image->patient)
        return false;   // moved to another patient on either side: each keeps its own
    if (SameCarried(row.carried, there.carried))
        return true;
    if (item.here)
        LogError(0, (L"ImportDBCls::MarkImported: " + item.image->fileName +
                     L" was changed in the other database while it was merged; the next merge takes it again")
                        .c_str());
    return false;
}

// Whether a pair of transactions begins with the other database's: the order
// of the identities as they are now. A merge between either database and a
// copy of it (equal identities) may have renewed one since Connect, and every
// merge must see the same order.
bool ImportDBCls::SourceFirst()
{
    return StoredDatabaseIdentity(sourceSession_) < StoredDatabaseIdentity(local_);
}

// Marks imported each item's row there that is still to mark (not marked,
// on the disk) and whose image here keeps it (KeptHere), in one pair of
// transactions; a row that cannot be read is left for the next merge, which
// names it.
void ImportDBCls::MarkImported(const std::vector<MarkItem>& items)
{
    const bool sourceFirst = SourceFirst();
    ThrowIfInjected(MergeStep::MarkSource, L"ImportDBCls::MarkImported");
    PairTransaction tx(sourceSession_, local_, sourceFirst, link_, &openTransactions_);
    for (const MarkItem& item : items) {
        ImageRow there;
        try {
            if (!copies_.ReadImage(sourceSession_, item.image->id, &there) || there.imported || !there.onDisk ||
                there.Deleted() || !KeptHere(item, there))
                continue;
        } catch (const MsgExcept&) {
            continue;
        }
        BoundStatement mark(sourceSession_, kMarkImportedSql);
        if (!mark.Params().SetValI4(1, item.image->id))
            ThrowDatabaseError();
        mark.Run();
    }
    tx.Commit();
}
