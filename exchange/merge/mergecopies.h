// LocalCopies: tells whether an image of the other database is a copy of an
// image here that never took part in a merge, so that it is not copied again.
//
// Identities tell an image apart only once a merge has taken it. A database
// copied into another folder, or a workstation installed from another's
// backup, holds copies of this workstation's images without any identity;
// merged back, each would arrive a second time. Such a copy keeps its row as
// it was, so it is the same picture of the same patient taken at the same
// time, described and shown as here: an image here is taken for the copy
// when
//   - it belongs to the patient the merge found here by his key columns,
//   - its [Date file] is the copy's (as the ledger of earlier merges links
//     its images),
//   - what the merge carries of an image equals the copy's: brightness,
//     contrast, negative and every further column of the settings (the
//     description among them). A copy that a user described or turned
//     negative there, or one file that two workstations each described, is
//     another image: linking it would lose what the user wrote, since a row
//     marked imported is never offered again;
//   - its ".xmg" holds the same pixels (same width, height and depth),
//   - no image of the other database holds its identity (that image is its
//     copy, and any other one is a picture made twice from one file there),
//   - no other image of the other database was taken for its copy in this run.
// So two images a user made from one file stay two on either side: each
// takes one image here, and a second import of a file is never refused.
//
// Cost. A patient's images here are listed once per run, at his first image
// offered; only those of the copy's date are looked at. Each one's file is
// read at most once a run for its fingerprint (size, depth and a digest of
// the pixels), kept in the list; it is read again only when the fingerprint
// matches, to compare the pixels themselves. So files imported from one CD,
// which often share their time stamp, cost one read each, not one per image
// offered.
//
// Merges at the same moment. Everything the list keeps of an image here but
// its file name, date and fingerprint may change under it: another merge into
// this database, running at the same moment, may give it an identity. So its
// identity and the values it carries are read again inside the image's
// transaction, which serialises the merges' writes: an identity the other
// database holds makes it no candidate, any other identity makes it a copy
// already linked (nothing is written), none lets the caller link it.
#pragma once

#include "database/dbobject.h"
#include "database/dbsession.h"
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

// The identity of an image (MergeSnimok), empty when it has none.
std::wstring ImageIdentity(const DODBPtr<DODBSession>& session, LONG image);

class LocalCopies {
public:
    // The further Snimok columns the merge carries (the settings' "Snimok").
    void Configure(const std::vector<ColumnSpec>& columns);

    // Whether the image here carries `carried` (bri, contrast, negativ, then
    // the further columns). Throws DODBErrors.
    bool CarriesTheSame(const DODBPtr<DODBSession>& session, LONG image, const std::vector<MergeValue>& carried);

    // The image here of the local `patient` that `picture`, dated `date` and
    // carrying `carried` (bri, contrast, negativ, then the further columns),
    // is a copy of (see above), taken for it from now on, with its identity
    // (empty when it has none: the caller links it); 0 when there is none.
    // `held` are the identities the other database holds. Runs on `session`
    // inside the caller's transaction; throws DODBErrors.
    LONG Take(const DODBPtr<DODBSession>& session, DWORD patient, const FILETIME& date, const DPicture& picture,
              const std::vector<MergeValue>& carried, const std::set<std::wstring>& held, std::wstring* identity);

private:
    struct Candidate {
        LONG image = 0;
        std::wstring fileName;
        FILETIME date = {};
        bool fingerprinted = false;
        PixelFingerprint fingerprint;
        bool out = false;    // taken for a copy in this run, or the other database holds its copy
    };
    static std::vector<Candidate> ReadCandidates(const DODBPtr<DODBSession>& session, DWORD patient);

    std::map<DWORD, std::vector<Candidate>> candidates_;   // by local patient
    std::wstring carriedSql_;          // the values an image carries, of one image here
    std::vector<ValueKind> kinds_;     // ... their kinds
};
