// Copies of the images here among the other database's: see mergecopies.h.
#include "exchange/merge/mergecopies.h"

#include "database/dberrors.h"
#include "database/dbstatement.h"
#include "exchange/merge/mergerows.h"
#include "exchange/merge/mergesql.h"
#include "foundation/files.h"
#include "foundation/dstring.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/messages.h"
#include "foundation/textutil.h"
#include "images/files/datafolders.h"
#include "images/files/xmgfile.h"
#include "resources/strings.h"

#include <objbase.h>
#include <string.h>

#include <vector>

namespace {

size_t PixelCount(const DPictureBase& picture)
{
    return picture.width > 0 && picture.height > 0 ? (size_t)picture.width * (size_t)picture.height : 0;
}

// A digest of the pixels, four 32-bit lanes of two pixels each at a time.
uint32_t Rotate(uint32_t x, int r)
{
    return (x << r) | (x >> (32 - r));
}

uint32_t PixelDigest(const uint16_t* __restrict pixels, size_t count)
{
    const uint32_t kPrime1 = 2654435761u, kPrime2 = 2246822519u, kPrime3 = 3266489917u;
    uint32_t lanes[4] = {kPrime1 + kPrime2, kPrime2, 0, 0u - kPrime1};
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        for (int l = 0; l < 4; ++l) {
            const uint32_t word = (uint32_t)pixels[i + 2 * l] | (uint32_t)pixels[i + 2 * l + 1] << 16;
            lanes[l] = Rotate(lanes[l] + word * kPrime2, 13) * kPrime1;
        }
    }
    uint32_t h = Rotate(lanes[0], 1) + Rotate(lanes[1], 7) + Rotate(lanes[2], 12) + Rotate(lanes[3], 18) +
                 (uint32_t)count;
    for (; i < count; ++i)
        h = Rotate(h + pixels[i] * kPrime3, 17) * kPrime1;
    h ^= h >> 15;
    h *= kPrime2;
    h ^= h >> 13;
    h *= kPrime3;
    return h ^ (h >> 16);
}

}  // namespace

DPicturePtr ReadStoredPicture(const wchar_t* folder, const std::wstring& fileName)
{
    wchar_t path[MAX_PATH];
    if (!BuildStoredFilePath(path, folder, fileName.c_str(), L".xmg"))
        return DPicturePtr();
    DFile file;
    if (!file.Create(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                     nullptr)) {
        LogCallError(GetLastError(), L"CreateFileW", path);
        return DPicturePtr();
    }
    try {
        return SnimokFile::Load(file.Handle(), false, false);
    } catch (const MsgExcept&) {
        LogCallError(ERROR_INVALID_DATA, L"SnimokFile::Load", path);
        return DPicturePtr();
    }
}

bool SamePixels(const DPictureBase& a, const DPictureBase& b)
{
    if (a.width != b.width || a.height != b.height || a.bitsPerPixel != b.bitsPerPixel)
        return false;
    const uint16_t* left = a.GetBits();
    const uint16_t* right = b.GetBits();
    if (!left || !right)
        return false;
    return memcmp(left, right, PixelCount(a) * sizeof(uint16_t)) == 0;
}

PixelFingerprint FingerprintOf(const DPictureBase& picture)
{
    PixelFingerprint fingerprint;
    const uint16_t* bits = picture.GetBits();
    if (!bits)
        return fingerprint;
    fingerprint.known = true;
    fingerprint.width = picture.width;
    fingerprint.height = picture.height;
    fingerprint.bits = picture.bitsPerPixel;
    fingerprint.digest = PixelDigest(bits, PixelCount(picture));
    return fingerprint;
}

bool SameFingerprint(const PixelFingerprint& a, const PixelFingerprint& b)
{
    return a.known && b.known && a.width == b.width && a.height == b.height && a.bits == b.bits &&
           a.digest == b.digest;
}

bool SameMergeValue(const MergeValue& a, const MergeValue& b)
{
    const bool noneA = a.isNull || (a.kind == ValueKind::kText && a.text.empty());
    const bool noneB = b.isNull || (b.kind == ValueKind::kText && b.text.empty());
    if (noneA || noneB)
        return noneA == noneB;
    if (a.kind != b.kind)
        return false;
    switch (a.kind) {
    case ValueKind::kInteger:
        return a.integer == b.integer;
    case ValueKind::kReal:
        return a.real == b.real;
    case ValueKind::kText:
        return a.text == b.text;
    case ValueKind::kDate:
        return CompareFileTime(&a.date, &b.date) == 0;
    default:
        return false;
    }
}

bool SameCarried(const std::vector<MergeValue>& a, const std::vector<MergeValue>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!SameMergeValue(a[i], b[i]))
            return false;
    return true;
}

namespace {

// The identity in the first column of the first row of a query that has its
// parameters: empty when there is none, or it is no identity or cannot be read.
std::wstring IdentityOfFirstRow(BoundStatement& query)
{
    if (!FirstReadableRow(query))
        return std::wstring();
    int length = 0;
    const wchar_t* text = RowTextPtr(query.Row(), 0, &length);
    const std::wstring identity = text ? std::wstring(text, (size_t)length) : std::wstring();
    return IsIdentity(identity) ? identity : std::wstring();
}

}  // namespace

std::wstring ImageIdentity(const DODBPtr<DODBSession>& session, LONG image)
{
    BoundStatement query(session, kIdentityOfImageSql);
    if (!query.Params().SetValI4(1, image))
        ThrowDatabaseError();
    return IdentityOfFirstRow(query);
}

LONG ImageOfIdentity(const DODBPtr<DODBSession>& session, const std::wstring& identity)
{
    if (!IsIdentity(identity))
        return 0;
    BoundStatement query(session, kImageOfIdentitySql);
    if (!query.Params().SetStr(1, identity.c_str(), (int)identity.size()))
        ThrowDatabaseError();
    LONG image = 0;
    return FirstReadableRow(query) && RowInt(query.Row(), 0, &image) ? image : 0;
}

void SetImageIdentity(const DODBPtr<DODBSession>& session, const std::wstring& identity, LONG image)
{
    BoundStatement renew(session, kRenewImageIdentitySql);
    if (!renew.Params().SetStr(1, identity.c_str(), (int)identity.size()) || !renew.Params().SetValI4(2, image))
        ThrowDatabaseError();
    if (renew.Run() > 0)
        return;
    BoundStatement insert(session, kInsertImageIdentitySql);
    if (!insert.Params().SetStr(1, identity.c_str(), (int)identity.size()) || !insert.Params().SetValI4(2, image))
        ThrowDatabaseError();
    insert.Run();
}

std::wstring StoredDatabaseIdentity(const DODBPtr<DODBSession>& session)
{
    BoundStatement query(session, kDatabaseIdentitySql);
    return IdentityOfFirstRow(query);
}

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

bool ImageDate(const DODBPtr<DODBSession>& session, LONG image, FILETIME* date, std::wstring* fileName)
{
    BoundStatement query(session, kImageDateSql);
    if (!query.Params().SetValI4(1, image))
        ThrowDatabaseError();
    if (!FirstReadableRow(query) || query.Row()->IsNull(0) || !RowDate(query.Row(), 0, date))
        return false;
    if (fileName) {
        int length = 0;
        const wchar_t* name = RowTextPtr(query.Row(), 1, &length);
        fileName->assign(name ? name : L"", name ? (size_t)length : 0);
    }
    return true;
}

void LocalCopies::Configure(const std::vector<ColumnSpec>& columns)
{
    kinds_.assign(3, ValueKind::kInteger);
    std::vector<std::wstring> further;
    for (const ColumnSpec& column : columns) {
        further.push_back(column.name);
        kinds_.push_back(column.kind);
    }
    carriedSql_ = BuildCarriedValuesSql(further);
    listedSql_ = BuildListedImagesSql(further);
    identifiedSql_ = BuildIdentifiedImagesSql(further);
    names_ = CarriedValuesColumns(further);
    listed_.clear();
    out_.clear();
}

void LocalCopies::RowAt(DODBParams* values, Fetched fetched, const std::vector<std::wstring>& leading,
                        ImageRow* row) const
{
    *row = ImageRow();
    const ULONG first = (ULONG)leading.size();
    const ULONG n = first + (ULONG)kinds_.size();
    // The name and the patient first: they name and file the image whatever
    // else cannot be read.
    int length = 0;
    const wchar_t* name = RowTextPtr(values, n + 1, &length);
    if (name)
        row->fileName.assign(name, (size_t)length);
    RowInt(values, n + 3, &row->patient);
    if (fetched == Fetched::kBad) {
        std::vector<std::wstring> names(leading);
        names.insert(names.end(), names_.begin(), names_.end());
        throw BadRowReason(values, names, L"Snimok");
    }
    for (size_t i = 0; i < kinds_.size(); ++i) {
        MergeValue value;
        if (!ReadMergeValue(values, first + (ULONG)i, kinds_[i], &value))
            ThrowMergeErrorWith(IDS_MERGE_VALUE_TYPE, names_[i].c_str());
        row->carried.push_back(value);
    }
    LONG number = 0;
    row->onDisk = RowInt(values, n, &number) && number != 0;
    row->imported = RowInt(values, n + 2, &number) && number != 0;
}

bool LocalCopies::ReadImage(const DODBPtr<DODBSession>& session, LONG image, ImageRow* row)
{
    BoundStatement query(session, carriedSql_.c_str());
    if (!query.Params().SetValI4(1, image))
        ThrowDatabaseError();
    query.Execute();
    const Fetched fetched = FetchRow(query);
    if (fetched == Fetched::kEnd)
        return false;
    RowAt(query.Row(), fetched, {}, row);
    return true;
}

bool LocalCopies::CopyThere(const DODBPtr<DODBSession>& source, const std::wstring& identity, const ImageRow& here)
{
    const LONG there = ImageOfIdentity(source, identity);
    ImageRow row;
    try {
        return there != 0 && ReadImage(source, there, &row) && !row.Deleted() &&
               SameCarried(row.carried, here.carried);
    } catch (const MsgExcept&) {
        return true;   // not to be compared: the image offered arrives as one of its own
    }
}

// The images of `patient` here, those saved since the last look added.
std::vector<LocalCopies::Candidate>& LocalCopies::Candidates(const DODBPtr<DODBSession>& session, DWORD patient)
{
    Listed& listed = listed_[patient];
    BoundStatement query(session, kPatientImagesSinceSql);
    if (!query.Params().SetValI4(1, (LONG)patient) || !query.Params().SetValI4(2, listed.last))
        ThrowDatabaseError();
    query.Execute();
    for (Fetched fetched; (fetched = FetchRow(query)) != Fetched::kEnd;) {
        if (fetched == Fetched::kBad)
            continue;   // a row that cannot be read is no copy of anything
        Candidate c;
        int length = 0;
        const wchar_t* name = RowTextPtr(query.Row(), 1, &length);
        if (!RowInt(query.Row(), 0, &c.image) || !name)
            continue;
        listed.last = c.image > listed.last ? c.image : listed.last;
        c.fileName.assign(name, (size_t)length);
        if (!query.Row()->IsNull(2) && RowDate(query.Row(), 2, &c.date))
            listed.images.push_back(c);   // an image of no date is no copy's
    }
    return listed.images;
}

LONG LocalCopies::Take(const DODBPtr<DODBSession>& session, const DODBPtr<DODBSession>& source, DWORD patient,
                       const FILETIME& date, const DPicture& picture, const std::vector<MergeValue>& carried,
                       std::wstring* identity)
{
    identity->clear();
    PixelFingerprint mine;
    for (Candidate& c : Candidates(session, patient)) {
        if (out_.count(c.image) || CompareFileTime(&c.date, &date) != 0)
            continue;
        if (!c.fingerprinted) {
            DPicturePtr local = ReadStoredPicture(ImageFolder, c.fileName);
            if (local.Get())
                c.fingerprint = FingerprintOf(*local.Get());
            c.fingerprinted = true;
        }
        if (!mine.known)
            mine = FingerprintOf(picture);
        // What it carries and names now: it may have been described, deleted
        // or moved off the disk since it was listed.
        ImageRow here;
        try {
            if (!SameFingerprint(c.fingerprint, mine) || !ReadImage(session, c.image, &here) ||
                here.fileName != c.fileName || !here.onDisk || !SameCarried(here.carried, carried))
                continue;
        } catch (const MsgExcept&) {
            continue;   // an image here that cannot be read is no copy of anything
        }
        const std::wstring now = ImageIdentity(session, c.image);
        if (!now.empty() && CopyThere(source, now, here)) {
            out_.insert(c.image);   // its copy there is another image
            continue;
        }
        DPicturePtr local = ReadStoredPicture(ImageFolder, c.fileName);
        if (!local.Get() || !SamePixels(picture, *local.Get()))
            continue;
        out_.insert(c.image);
        *identity = now;
        return c.image;
    }
    return 0;
}
