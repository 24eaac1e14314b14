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
// Connect (both databases, the rows to merge listed) ->
// StartUnion at most once -> destroy. Every failure throws MsgExcept or
// DODBErrors and ends the run; the worker turns it into the window's error
// text.
//
// Identities. An image may travel: A merges B, B merges A, a third
// workstation merges either, a database is recreated in the same folder or
// installed from another's backup. Neither a folder nor a key tells an
// image apart across databases, so each image that takes part in a merge
// has an identity, a GUID kept in the table MergeSnimok (Guid, Snimok) of
// every database that holds it; its copies carry the same identity. An image
// without one has never left its database; it gets one (in its own
// database, committed) when a merge first takes it. Each database has an
// identity too, one row of MergeDatabase, by which a merge of a database with
// itself is refused. The merge gives an older database, on either side, the
// tables it lacks, as it gives the other one the column "imported".
//
// The mark. "imported" tells this workstation's archive that the image is
// kept elsewhere: its "Delete Imported" deletes every row so marked. So a
// row there is marked only where this workstation keeps the image in a row
// that its own "Delete Imported" will not take: an image here of the same
// values, filed under the patient the merge finds here for the row's patient
// (by the key columns, as for a new image), not deleted and not marked
// imported itself. An image found here marked, or deleted here, leaves the
// row there unmarked: it is not copied, not marked, not counted (a deleted
// image stays deleted here; the other workstation keeps its copy and what was
// written on it). So does an image here filed under another patient: one of
// the two was moved to another patient since the merge that took it, and
// each workstation keeps its own, as it keeps an edit (a mark would let the
// other workstation's "Delete Imported" take the correction). Each mark is set
// in one transaction of each database (MarkImported: PairTransaction, begun
// in the order of the databases' identities), which holds the image here
// unmarked (kHoldKeptImageSql) while the row there is read again and marked:
// no other merge marks the image here meanwhile. So every mark is set while
// another copy is unmarked, and of the copies of any image the last marked
// leaves one unmarked: "Delete Imported" run on every workstation, in any
// order, leaves every picture somewhere.
//
// Connect: both databases given the column "imported" (EnsureImportedColumn)
// and the identity tables -> both identities (equal identities are told apart
// by writing a new one here: only this very database shows it at once; a
// copy of it made elsewhere is another database) -> the images of earlier
// merges that are one picture linked (below) -> the other database's rows
// not marked imported are listed, each with its plan (SourceImage::Plan):
// those whose identity is here on an image of the patient found for theirs
// that carries what they carry (the brightness, contrast, negative and
// further columns: see mergecopies.h) are to mark when that image is kept,
// left alone when it is marked or deleted here or filed under another
// patient; the rest are to merge, and only they are counted. Each source patient of those rows is
// read there and found here once.
//
// StartUnion: the rows to mark are marked in batches, a pair of transactions
// each (MarkKept); then one transaction of the other database gives every
// image to merge without an identity a new one; then, image by image
// (MergeImage):
//   1. Its row is read again: what it carries is what it carries now, not
//      when the window opened. A row marked or deleted there meanwhile
//      is passed over. A row that cannot be read fails that image alone.
//      Its patient is read from the other database when he differs from the
//      previous image's.
//   2. Its identity here: on the same image kept here, the row is only
//      marked; on the same image marked or deleted here, or filed under
//      another patient than the one found for the row's, it is left alone.
//      On an image that carries other values (the copy there, or the image
//      here, was described or changed since) it is an image of its own: it
//      takes a new identity there first, in a transaction of its own, so that
//      it is never marked without being here.
//   3. Its file name is checked (a stored name: BuildStoredFilePath) and its
//      ".xmg" read. A patient, a name or a file
//      that cannot be read fails that image alone (SkipImage): it is named
//      in the error text and the journal, left unmarked so that the next
//      merge offers it again, and counted (counter 2); the run goes on.
//   4. One transaction of the engine's session holds: a last look whether
//      its identity arrived meanwhile (then nothing is written and it goes
//      back to 2), the patient (found NULL-safely by the key columns, else
//      inserted, the key taken from the insert itself; or his further
//      columns updated), a look for an image here that it is a copy of
//      (mergecopies.h: then it is only linked), else the new image (row,
//      file name, ".xmg", through SaveSnimok), the values it carries (NULL
//      as NULL), its thumbnail (a missing one is no error) and its identity
//      row. Any failure deletes the files written and rolls all of it back;
//      the run ends.
//   5. After the commit the save is ended (its note removed) and the source
//      row is marked as above, when the image here (the new one, or the copy
//      linked) keeps it and both still carry the same: a row changed there
//      since step 1 is left unmarked, and the next merge takes its new
//      values as an image of its own. Only now is the image counted as
//      merged, or, when it was here already, taken off the count of images
//      to merge.
// So an image is marked only after it is safely here with the values it
// has when it is marked, and a failure between the commit and the mark is
// mended by the identity at the next run: never a duplicate, never an image
// marked but missing, never one counted that was not copied. Database
// errors and a full disk still end the run: they would fail every image
// after. A row of either database that another program left unreadable
// (mergerows.h) fails only its own image.
//
// Earlier merges wrote MergeLedger (folder of the other database, its key ->
// image here) instead of identities, in the database that took the images:
// the rows of the local ledger for the folder merged now, and the rows of the
// other database's ledger for this workstation's data folder (its merges from
// here). A key names a row, not a picture: a database recreated in that
// folder since holds other pictures under the same keys, often of the same
// [Date file] (files imported from one CD share their time stamp). So a row
// links its two images only when they are one picture, as the copy rule
// tells it (mergecopies.h): the same [Date file] and the same pixels (the
// fingerprint, then the pixels); a file that cannot be read on either side
// links nothing. A row not linked is an image of its own there, and the copy
// rule decides about it as about any other. The link gives both images one
// identity: the one either has (a merge of a third workstation gave it), a
// new one when neither has one; never one that the other database holds on
// another image, and never a second one to an image that has one. Rows whose
// images both have one are linked (or two pictures): they are passed over
// without reading a file, so the files are read only for rows not linked yet
// whose dates match, each file once a run. The rows are linked in batches,
// each in a pair of transactions (as the marks) that reads both identities
// again: two merges linking one image at the same moment take turns, and
// the second finds the first's identity. A run ended between the two commits
// leaves the image there with an identity that the image here lacks, and the
// next merge finishes the link; so each row ends with one identity.
//
// Between two images (never inside one) the command channel is polled: a
// stop command ends the loop with state 1. Before each image the free space
// of the local data drive is checked against SpaceArjStart.
#pragma once

#include "database/dbobject.h"
#include "database/dbsession.h"
#include "database/dbsource.h"
#include "exchange/merge/importlink.h"
#include "exchange/merge/mergecopies.h"
#include "exchange/merge/mergesettings.h"
#include "exchange/merge/mergevalue.h"
#include "exchange/merge/mergetx.h"
#include "foundation/messages.h"
#include "foundation/threadchannel.h"
#include "images/pixels/picture.h"

#include <map>
#include <set>
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
    // Opens the other database, gives both databases what they lack (the
    // column "imported", the identity tables, their identities), refuses this
    // very database, and reads the rows to merge.
    void Connect();
    // The merge loop; returns when every row is done or a stop command came.
    void StartUnion();

    // What became of one offered image.
    enum class Outcome { kMerged, kHere, kSkipped };

    int GetState() const { return state_; }
    void SetState(int state) { state_ = state; }
    // The images to merge as Connect counted them.
    DWORD ImagesToMerge() const { return offered_; }
    DWORD MergedCount() const { return merged_; }
    DWORD SkippedCount() const { return skipped_; }
    // What named the other database in the ledger of earlier merges: its
    // folder's full path, upper case.
    const std::wstring& SourceIdentity() const { return identity_; }
    // The databases' identities, known after Connect.
    const std::wstring& SourceDatabase() const { return sourceDb_; }
    const std::wstring& LocalDatabase() const { return localDb_; }

private:
    struct SourceImage {
        // What the run does with it, as Connect found it.
        enum class Plan {
            kMerge,   // not here: merged (and counted among the images to merge)
            kMark,    // here and kept: only marked
            kLeave,   // here but marked or deleted here: left alone
        };
        LONG id = 0;                  // Snimok of the other database
        LONG patient = 0;             // its Patient
        DWORD patientHere = 0;        // the patient found here for it (kMark: its image is his)
        std::wstring fileName;        // as listed, then as read again
        std::wstring identity;        // its GUID; empty until it has one
        Plan plan = Plan::kMerge;
        std::wstring unreadable;      // why its listed row cannot be read; empty when it can
    };
    // What the image of an identity here is to a copy: there is none, it is
    // the same image and kept here, the same image gone from here for it
    // (marked imported, deleted, or filed under another patient than the one
    // found for the copy's), or it carries other values.
    enum class Here { kNone, kKept, kGone, kOther };
    // A row there to mark, the image here that keeps it (0: the image of its
    // identity, looked up when it is marked) and the patient here it must be
    // filed under.
    struct MarkItem {
        const SourceImage* image;
        LONG here;
        DWORD patient;
    };

    std::wstring ReadInitString() const;
    bool ColumnExists(const DODBPtr<DODBSession>& session, const wchar_t* column, const wchar_t* table);
    void AddUnlessThere(const DODBPtr<DODBSession>& session, const wchar_t* column, const wchar_t* table,
                        const wchar_t* sql);
    void EnsureImportedColumn(const DODBPtr<DODBSession>& session);
    void EnsureIdentityTables(const DODBPtr<DODBSession>& session);
    std::wstring DatabaseIdentity(const DODBPtr<DODBSession>& session);
    void RefuseThisDatabase();
    void ReadIdentities();
    void ReadLedger(const DODBPtr<DODBSession>& session, const std::wstring& folder, bool local,
                    std::vector<std::pair<LONG, LONG>>* pairs);
    bool Linkable(LONG there, LONG here) const;
    std::vector<std::pair<LONG, LONG>> SamePictures(std::vector<std::pair<LONG, LONG>> pairs);
    void LinkPair(LONG there, LONG here);
    void LinkEarlierMerges();
    bool SourceFirst();
    bool PatientHere(LONG sourcePatient, DWORD* patient);
    void ListImageRows();
    void ClearEndedSaves();
    void PrepareSource();

    bool StopRequested();
    void CheckFreeSpace();
    void MarkKept();
    void MergeImages();
    Outcome MergeImage(SourceImage& image);
    bool ReadSourceRow(SourceImage& image, ImageRow* row);
    static Here HereOf(const ImageRow* here, const std::vector<MergeValue>& carried, DWORD patient);
    Here ImageHere(const std::wstring& identity, const std::vector<MergeValue>& carried, LONG* image);
    void RenewIdentity(SourceImage& image);
    DPicturePtr ReadSourcePicture(const SourceImage& image, const std::vector<MergeValue>& carried);
    void SkipImage(const SourceImage& image, const MsgExcept& reason);
    LONG TakeCopyHere(const SourceImage& image, const DPicture& picture, const std::vector<MergeValue>& carried);
    void UsePatient(LONG sourcePatient);
    void LoadPatient(LONG sourcePatient);
    bool FindPatient();
    void InsertPatient();
    void UpdatePatient();
    void FormatPatientText();
    DPicturePtr LoadSnimok(const std::wstring& path, const std::vector<MergeValue>& carried);
    void UpdateSnimok(DWORD imageId, const std::vector<MergeValue>& carried);
    void CopyThumbnail(const SourceImage& image, const wchar_t* newName, bool* copied);
    void MarkImported(const std::vector<MarkItem>& items);
    bool KeptHere(const MarkItem& item, const ImageRow& there);

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

    std::wstring sourceDb_, localDb_;     // the databases' identities
    int openTransactions_ = 0;            // the engine's transactions now open
    std::wstring sourceImages_, sourceIcons_;   // the other database's folders, with a backslash
    std::map<LONG, std::wstring> sourceIdentities_;   // the other database's images with an identity
    std::map<std::wstring, LONG> sourceImageOf_;      // ... by identity
    std::map<std::wstring, LONG> localImageOf_;       // the images here, by identity
    std::map<LONG, std::wstring> localIdentityOf_;    // ... and their identities

    std::vector<SourceImage> rows_;       // the rows listed
    LocalCopies copies_;                  // image rows read and compared, copies found here
    DWORD offered_ = 0;                   // the images to merge as Connect counted them
    DWORD toMerge_ = 0;                   // ... as the run finds them
    DWORD merged_ = 0;
    DWORD skipped_ = 0;                   // images that could not be read
    std::wstring skippedText_;            // the error text naming them

    std::vector<MergeValue> patient_;     // the current source patient, by Patient column
    LONG previousPatient_ = -1;           // the source patient of the previous image
    DWORD localPatient_ = 0;
    bool patientResolved_ = false;        // localPatient_ is committed for previousPatient_
};
