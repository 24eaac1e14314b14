// Copies of the images here among the other database's: see mergecopies.h.
#include "exchange/merge/mergecopies.h"

#include "database/dberrors.h"
#include "database/dbstatement.h"
#include "exchange/merge/mergesql.h"
#include "foundation/files.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/messages.h"
#include "images/files/datafolders.h"
#include "images/files/xmgfile.h"

#include <string.h>

#include <vector>

namespace {

size_t PixelCount(const DPictureBase& picture)
{
    return picture.width > 0 && picture.height > 0 ? (size_t)picture.width * (size_t)picture.height : 0;
}

// The picture of an image here, or an empty handle when its file cannot be
// read: a damaged file here is no copy of anything, and no reason to stop.
DPicturePtr ReadLocalPicture(const std::wstring& fileName)
{
    wchar_t path[MAX_PATH];
    if (!BuildStoredFilePath(path, ImageFolder, fileName.c_str(), L".xmg"))
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

std::wstring ImageIdentity(const DODBPtr<DODBSession>& session, LONG image)
{
    BoundStatement query(session, kIdentityOfImageSql);
    if (!query.Params().SetValI4(1, image))
        ThrowDatabaseError();
    if (!query.First())
        return std::wstring();
    int length = 0;
    const wchar_t* text = RowTextPtr(query.Row(), 0, &length);
    return text ? std::wstring(text, (size_t)length) : std::wstring();
}

void LocalCopies::Configure(const std::vector<ColumnSpec>& columns)
{
    std::vector<std::wstring> names;
    kinds_.assign(3, ValueKind::kInteger);   // bri, contrast, negativ
    for (const ColumnSpec& column : columns) {
        names.push_back(column.name);
        kinds_.push_back(column.kind);
    }
    carriedSql_ = BuildCarriedValuesSql(names);
    candidates_.clear();
}

std::vector<LocalCopies::Candidate> LocalCopies::ReadCandidates(const DODBPtr<DODBSession>& session, DWORD patient)
{
    std::vector<Candidate> candidates;
    BoundStatement query(session, kPatientImagesSql);
    if (!query.Params().SetValI4(1, (LONG)patient))
        ThrowDatabaseError();
    query.Execute();
    while (query.Next()) {
        Candidate c;
        int length = 0;
        const wchar_t* name = RowTextPtr(query.Row(), 1, &length);
        if (!RowInt(query.Row(), 0, &c.image) || !name)
            continue;
        c.fileName.assign(name, (size_t)length);
        if (query.Row()->IsNull(2) || !RowDate(query.Row(), 2, &c.date))
            continue;   // an image of no date is no copy's
        candidates.push_back(c);
    }
    return candidates;
}

bool LocalCopies::CarriesTheSame(const DODBPtr<DODBSession>& session, LONG image,
                                 const std::vector<MergeValue>& carried)
{
    BoundStatement query(session, carriedSql_.c_str());
    if (!query.Params().SetValI4(1, image))
        ThrowDatabaseError();
    if (!query.First() || carried.size() != kinds_.size())
        return false;
    for (size_t i = 0; i < kinds_.size(); ++i) {
        MergeValue here;
        if (!ReadMergeValue(query.Row(), (ULONG)i, kinds_[i], &here) || !SameMergeValue(here, carried[i]))
            return false;
    }
    return true;
}

LONG LocalCopies::Take(const DODBPtr<DODBSession>& session, DWORD patient, const FILETIME& date,
                       const DPicture& picture, const std::vector<MergeValue>& carried,
                       const std::set<std::wstring>& held, std::wstring* identity)
{
    auto listed = candidates_.find(patient);
    if (listed == candidates_.end())
        listed = candidates_.emplace(patient, ReadCandidates(session, patient)).first;
    identity->clear();
    PixelFingerprint mine;
    for (Candidate& c : listed->second) {
        if (c.out || CompareFileTime(&c.date, &date) != 0)
            continue;
        if (!c.fingerprinted) {
            DPicturePtr local = ReadLocalPicture(c.fileName);
            if (local.Get())
                c.fingerprint = FingerprintOf(*local.Get());
            c.fingerprinted = true;
        }
        if (!mine.known)
            mine = FingerprintOf(picture);
        if (!SameFingerprint(c.fingerprint, mine) || !CarriesTheSame(session, c.image, carried))
            continue;
        const std::wstring now = ImageIdentity(session, c.image);
        if (!now.empty() && held.count(now)) {
            c.out = true;   // its copy there is another image
            continue;
        }
        DPicturePtr local = ReadLocalPicture(c.fileName);
        if (!local.Get() || !SamePixels(picture, *local.Get()))
            continue;
        c.out = true;
        *identity = now;
        return c.image;
    }
    return 0;
}
