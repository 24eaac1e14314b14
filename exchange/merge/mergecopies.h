// LocalCopies: tells whether an image of the other database is a copy of an
// image here that never took part in a merge, so that it is not copied again.
//
// Identities tell an image apart only once a merge has taken it. A database
// copied into another folder, or a workstation installed from another's
// backup, holds copies of this workstation's images without any identity;
// merged back, each would arrive a second time. Such a copy keeps its row as
// it was, so it is the same picture of the same patient taken at the same
// time: an image here is taken for the copy when
//   - it belongs to the patient the merge found here by his key columns,
//   - its [Date file] is the copy's (as the ledger of earlier merges links
//     its images),
//   - its ".xmg" holds the same pixels (same width, height and depth),
//   - no image of the other database holds its identity (that image is its
//     copy, and any other one is a picture made twice from one file there),
//   - no other image of the other database was taken for its copy in this run.
// So two images a user made from one file stay two on either side: each
// takes one image here, and a second import of a file is never refused.
//
// A patient's images here are listed once per run, at his first image
// offered (without those whose identity the other database holds, such as
// the images this run copies); only those of the copy's date are read. An
// image that a merge running at the same moment brings is not listed: the
// identity check of the image's transaction finds it.
#pragma once

#include "database/dbobject.h"
#include "database/dbsession.h"
#include "images/pixels/picture.h"

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

// The same size, depth and pixels.
bool SamePixels(const DPictureBase& a, const DPictureBase& b);

class LocalCopies {
public:
    // The image here of the local `patient` that `picture`, dated `date`, is
    // a copy of (see above), taken for it from now on, with its identity
    // (empty when it has none); 0 when there is none. `held` are the
    // identities the other database holds. Runs on `session` (inside the
    // caller's transaction); throws DODBErrors.
    LONG Take(const DODBPtr<DODBSession>& session, DWORD patient, const FILETIME& date, const DPicture& picture,
              const std::set<std::wstring>& held, std::wstring* identity);

private:
    struct Candidate {
        LONG image = 0;
        std::wstring fileName, identity;
        FILETIME date = {};
        bool taken = false;    // taken for a copy in this run
    };
    static std::vector<Candidate> ReadCandidates(const DODBPtr<DODBSession>& session, DWORD patient,
                                                 const std::set<std::wstring>& held);

    std::map<DWORD, std::vector<Candidate>> candidates_;   // by local patient
};
