// LocalCopies: tells whether an image of the other database is a copy of an
// image here, so that it is not copied again, and reads the image rows the
// merge compares.
//
// Identities tell an image apart only once a merge has taken it. A database
// copied into another folder, or a workstation installed from another's
// backup, holds copies of this workstation's images without any identity;
// and two workstations that each took a copy of one image and described it
// alike hold two identities for one image. Merged in, each would arrive a
// second time. Such a copy is the same picture of the same patient taken at
// the same time, described and shown as here: an image here is taken for the
// copy when
//   - it belongs to the patient the merge found here by his key columns,
//   - its [Date file] is the copy's,
//   - what the merge carries of an image equals the copy's: brightness,
//     contrast, negative and every further column of the settings (the
//     description among them). A copy that a user described or turned
//     negative there, or one file that two workstations each described, is
//     another image: linking it would lose what the user wrote, since a row
//     marked imported is never offered again;
//   - its ".xmg" holds the same pixels (same width, height and depth),
//   - its copy there, when the other database holds its identity, is not an
//     image carrying what it carries (that image is its copy, and the one
//     offered a picture made twice from one file there). A copy there that
//     was described or changed since is an image of its own, so the image
//     here may be the copy of another one;
//   - no other image of the other database was taken for its copy in this run.
// So two images a user made from one file stay two on either side (each
// takes one image here, and a second import of a file is never refused),
// and no merge alone makes two images that carry the same of one picture.
// An image here marked imported itself is taken like any other: it is the
// copy, but one that this workstation's "Delete Imported" will take, so the
// copy there is left unmarked (importengine.h).
//
// Merges at the same moment. Another merge into this database, running at
// the same moment, may save a copy of the same image, or give an image here
// an identity. So the images saved since the last look, the candidates'
// identities and the values they carry are read inside the image's
// transaction, which serialises the merges' writes: a copy another merge
// saved a moment ago is found like any other. (Keys only grow, and writers
// take turns: an image committed since the last look has a higher key.)
// What the run keeps between images is each file's fingerprint (size, depth
// and a digest of the pixels), read at most once a run, and the images that
// are no candidates any more: those taken for a copy, those it saved, and
// those whose copy there is another image. A file is read again only when
// its fingerprint matches, to compare the pixels themselves. So files
// imported from one CD, which often share their time stamp, cost one read
// each, not one per image offered, and a file imported many times there is
// looked at once for each image it gave here.
#pragma once

#include "database/dberrors.h"
#include "database/dbobject.h"
#include "database/dbparams.h"
#include "database/dbsession.h"
#include "exchange/merge/mergerows.h"
#include "exchange/merge/mergesettings.h"
#include "exchange/merge/mergevalue.h"
#include "images/pixels/picture.h"

#include <windows.h>

#include <stdint.h>

#include <map>
#include <set>
#include <string>
#include <vector>

// The same size, depth and pixels.
bool SamePixels(const DPictureBase& a, const DPictureBase& b);

// What a picture's pixels are known by between two reads of its file: its
// size, depth and a digest of the pixels. Pictures with the same pixels have
// the same fingerprint; the converse holds only almost always.
struct PixelFingerprint {
    bool known = false;   // false: the file could not be read (it matches nothing)
    int32_t width = 0, height = 0, bits = 0;
    uint32_t digest = 0;
};
PixelFingerprint FingerprintOf(const DPictureBase& picture);
bool SameFingerprint(const PixelFingerprint& a, const PixelFingerprint& b);

// Two values the merge carries are the same: both NULL (an empty text counts
// as none), or equal of one kind.
bool SameMergeValue(const MergeValue& a, const MergeValue& b);
bool SameCarried(const std::vector<MergeValue>& a, const std::vector<MergeValue>& b);

// The identity of an image (MergeSnimok), empty when it has none (or one
// that is no identity, or cannot be read: mergerows.h).
std::wstring ImageIdentity(const DODBPtr<DODBSession>& session, LONG image);
// The image that holds an identity, 0 when none does (or `identity` is none).
LONG ImageOfIdentity(const DODBPtr<DODBSession>& session, const std::wstring& identity);
// Gives an image its identity, in place of any it had (one that was no
// identity among them). Throws DODBErrors.
void SetImageIdentity(const DODBPtr<DODBSession>& session, const std::wstring& identity, LONG image);
// The database's identity (MergeDatabase) as it stands: empty when it has
// none, or one that is no identity or cannot be read.
std::wstring StoredDatabaseIdentity(const DODBPtr<DODBSession>& session);
// A new identity: a GUID in its usual braces. Throws DODBErrors.
std::wstring NewIdentity();
// [Date file] of an image, and its [File name] (empty when it has none);
// false when it has no date or it cannot be read.
bool ImageDate(const DODBPtr<DODBSession>& session, LONG image, FILETIME* date, std::wstring* fileName = nullptr);
// The picture of a stored file name's ".xmg" in `folder`, or an empty handle
// when it cannot be read (the failure is journalled): a damaged file is no
// copy of anything, and no reason to stop.
DPicturePtr ReadStoredPicture(const wchar_t* folder, const std::wstring& fileName);

// An image row as the merge compares it.
struct ImageRow {
    std::vector<MergeValue> carried;   // bri, contrast, negativ, then the further columns
    bool onDisk = false;               // [Disk] is not 0
    std::wstring fileName;             // empty: the image was deleted, its row kept
    bool imported = false;             // marked imported: the archive's "Delete Imported" takes it
    LONG patient = 0;                  // its Patient (0 when it cannot be read)
    bool Deleted() const { return fileName.empty(); }
};

class LocalCopies {
public:
    // The further Snimok columns the merge carries (the settings' "Snimok").
    void Configure(const std::vector<ColumnSpec>& columns);

    // The image row in the columns of a fetched row that follow those named
    // `leading`, of ListedSql or IdentifiedSql (leading: Snimok) or of the row
    // of one image (none). Throws MsgExcept as ReadImage, its name and
    // patient read.
    void RowAt(DODBParams* values, Fetched fetched, const std::vector<std::wstring>& leading, ImageRow* row) const;
    // The other database's rows still to merge, and the images here that hold
    // an identity, with their image rows (mergesql.h).
    const std::wstring& ListedSql() const { return listedSql_; }
    const std::wstring& IdentifiedSql() const { return identifiedSql_; }

    // Reads an image's row. False when there is no such row. Throws
    // MsgExcept when a value is not of its column's kind or cannot be read,
    // such as a text of more than 32,768 characters (that row alone),
    // DODBErrors for other failures.
    bool ReadImage(const DODBPtr<DODBSession>& session, LONG image, ImageRow* row);

    // The image here of the local `patient` that `picture`, dated `date` and
    // carrying `carried` (bri, contrast, negativ, then the further columns),
    // is a copy of (see above), taken for it from now on, with its identity
    // (empty when it has none: the caller links it); 0 when there is none.
    // `source` is the other database's session. Runs on `session` inside the
    // caller's transaction; throws DODBErrors.
    LONG Take(const DODBPtr<DODBSession>& session, const DODBPtr<DODBSession>& source, DWORD patient,
              const FILETIME& date, const DPicture& picture, const std::vector<MergeValue>& carried,
              std::wstring* identity);
    // An image this run saved here for an image there: that one is its copy,
    // so it is no copy of any other.
    void Saved(LONG image) { out_.insert(image); }

private:
    struct Candidate {
        LONG image = 0;
        std::wstring fileName;
        FILETIME date = {};
        bool fingerprinted = false;   // its file was read (the fingerprint is unknown when it failed)
        PixelFingerprint fingerprint;
    };
    struct Listed {
        LONG last = 0;                     // the highest key listed
        std::vector<Candidate> images;
    };
    std::vector<Candidate>& Candidates(const DODBPtr<DODBSession>& session, DWORD patient);
    // Whether the other database holds `identity` on an image that carries
    // what `here` carries: that image is the copy of the image here. A row
    // there that cannot be read counts as such an image: the image here is
    // then nobody else's copy.
    bool CopyThere(const DODBPtr<DODBSession>& source, const std::wstring& identity, const ImageRow& here);

    std::map<DWORD, Listed> listed_;       // the images here of each patient met in this run
    std::set<LONG> out_;                   // images here taken for a copy in this run or saved by it, or
                                           // whose copy there is another image: no candidates any more
    std::wstring carriedSql_;              // an image's row
    std::wstring listedSql_, identifiedSql_;
    std::vector<ValueKind> kinds_;         // the kinds of the carried values
    std::vector<std::wstring> names_;      // the columns of the row, in order
};
