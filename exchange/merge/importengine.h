// ImportDBCls: the database merge engine. It copies every image of another
// workstation's database that was not merged yet into this one, with its
// image file and thumbnail, finding its patient here by the configured key
// columns or inserting him.
//
// The other database is reached as the program reaches its own: its
// "dbinit.cfg" (in the folder "DBPath" of the settings) gives the
// initialization string of a second data source in this process, with a
// session of its own. The local database is written through a session of
// the engine's own on the process-wide data source, never through the
// session the windows use.
//
// Life: construct (on the worker's thread) -> Init (settings, texts) ->
// Connect (both databases, the rows to merge read into memory) ->
// StartUnion at most once -> destroy. Every failure throws MsgExcept or
// DODBErrors and ends the run; the worker turns it into the window's error
// text.
//
// One image, the unit of work (MergeImage):
//   1. The ledger MergeLedger knows (source database, source image): the image
//      was copied by an earlier run that ended before it could mark the
//      source; it is only marked now. No second copy.
//   2. Its file name is checked (no folder, no "..", at most 63 characters),
//      its patient read from the other database when it differs from the
//      previous image's, and its ".xmg" read.
//   3. One transaction of the engine's session holds: the patient (found
//      NULL-safely by the key columns, else inserted, the key taken from the
//      insert itself; or his further columns updated), the new image (row,
//      file name, ".xmg", through SaveSnimok), its further Snimok columns and
//      the ledger row. Any failure rolls all of it back and deletes the
//      ".xmg" written; the run ends.
//   4. After the commit: the thumbnail is copied (a missing one is no
//      error), then the source row is marked imported=1.
// So an image is marked only after it is safely here, and a failure between
// the commit and the mark is mended by the ledger at the next run: never a
// duplicate, never an image marked but missing.
//
// Between two images (never inside one) the command channel is polled: a
// stop command ends the loop with state 1. Before each image the free space
// of the local data drive is checked against SpaceArjStart.
#pragma once

#include "database/dbobject.h"
#include "database/dbsession.h"
#include "database/dbsource.h"
#include "exchange/merge/importlink.h"
#include "exchange/merge/mergesettings.h"
#include "exchange/merge/mergevalue.h"
#include "foundation/threadchannel.h"
#include "images/pixels/picture.h"

#include <string>
#include <vector>

class ImportDBCls {
public:
    // The run's result, the worker thread's exit code.
    enum State { kRunning = 0, kStopped = 1, kFailed = 2 };

    // Both are borrowed; the channel may be null (nothing ever stops the run).
    ImportDBCls(DThreadChannel* channel, IImportLink* link);
    ~ImportDBCls();
    ImportDBCls(const ImportDBCls&) = delete;
    ImportDBCls& operator=(const ImportDBCls&) = delete;

    // Clears the link's texts and counters, reads the settings.
    void Init();
    // Opens the other database, gives it the column "imported" and this one
    // the ledger when they lack them, and reads the rows to merge.
    void Connect();
    // The merge loop; returns when every row is done or a stop command came.
    void StartUnion();

    int GetState() const { return state_; }
    void SetState(int state) { state_ = state; }
    DWORD ImagesToMerge() const { return (DWORD)rows_.size(); }
    DWORD MergedCount() const { return merged_; }
    // What names the other database in the ledger: its folder's full path,
    // upper case.
    const std::wstring& SourceIdentity() const { return identity_; }

private:
    struct SourceImage {
        LONG id = 0;                  // Snimok of the other database
        LONG patient = 0;             // its Patient
        std::wstring fileName;
        bool hasBri = false, hasContrast = false, hasNegativ = false;
        LONG bri = 0, contrast = 0, negativ = 0;
        std::vector<MergeValue> extra;   // the further Snimok columns
    };

    std::wstring ReadInitString() const;
    bool ColumnExists(const DODBPtr<DODBSession>& session, const wchar_t* column, const wchar_t* table);
    void EnsureImportedColumn();
    void EnsureLedger();
    void ReadImageRows();

    bool StopRequested();
    void CheckFreeSpace();
    void MergeImage(const SourceImage& image);
    void LoadPatient(LONG sourcePatient);
    bool FindPatient();
    void InsertPatient();
    void UpdatePatient();
    void FormatPatientText();
    DPicturePtr LoadSnimok(const std::wstring& path, const SourceImage& image);
    void UpdateSnimok(DWORD imageId, const SourceImage& image);
    bool LedgerLookup(LONG sourceImage);
    void LedgerInsert(LONG sourceImage, DWORD imageId);
    void MarkImported(LONG sourceImage);

    DThreadChannel* channel_;
    IImportLink* link_;
    int state_ = kRunning;
    MergeSettings settings_;
    std::wstring identity_;
    std::wstring updateSnimokSql_;
    std::wstring patientText_;

    DODBPtr<DODBSource> source_;          // the other database
    DODBPtr<DODBSession> sourceSession_;
    DODBPtr<DODBSession> local_;          // the engine's session on the process-wide source

    std::vector<SourceImage> rows_;       // the rows actually fetched
    DWORD merged_ = 0;

    std::vector<MergeValue> patient_;     // the current source patient, by Patient column
    LONG previousPatient_ = -1;           // the source patient of the previous image
    DWORD localPatient_ = 0;
    bool patientResolved_ = false;        // localPatient_ is committed for previousPatient_
};
