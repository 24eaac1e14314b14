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

std::vector<LocalCopies::Candidate> LocalCopies::ReadCandidates(const DODBPtr<DODBSession>& session, DWORD patient,
                                                                const std::set<std::wstring>& held)
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
        if (const wchar_t* guid = RowTextPtr(query.Row(), 2, &length))
            c.identity.assign(guid, (size_t)length);
        if (query.Row()->IsNull(3) || !RowDate(query.Row(), 3, &c.date))
            continue;   // an image of no date is no copy's
        if (c.identity.empty() || !held.count(c.identity))
            candidates.push_back(c);
    }
    return candidates;
}

LONG LocalCopies::Take(const DODBPtr<DODBSession>& session, DWORD patient, const FILETIME& date,
                       const DPicture& picture, const std::set<std::wstring>& held, std::wstring* identity)
{
    auto listed = candidates_.find(patient);
    if (listed == candidates_.end())
        listed = candidates_.emplace(patient, ReadCandidates(session, patient, held)).first;
    identity->clear();
    for (Candidate& c : listed->second) {
        if (c.taken || CompareFileTime(&c.date, &date) != 0)
            continue;
        DPicturePtr local = ReadLocalPicture(c.fileName);
        if (!local.Get() || !SamePixels(picture, *local.Get()))
            continue;
        c.taken = true;
        *identity = c.identity;
        return c.image;
    }
    return 0;
}
