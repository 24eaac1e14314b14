// Image records in the database: an image is a row of Snimok, its ".xmg"
// file and its ".thb" thumbnail.
//
// Opening an image reads its view settings from its row and its patient from
// Patient; the panel's Save writes the view settings back with one UPDATE,
// or saves a picture that has no row yet (an imported image) as a new image.
//
// Saving a new image (SaveSnimok, inside the caller's transaction):
//   free space -> patient row -> what ended saves left (below) -> new Snimok
//   row (the database gives the key) -> file name "%c%.10u%.10u" from the
//   name's first letter, the patient id and the new key -> the save's note
//   -> UPDATE of [File Name] -> ".xmg" -> ".thb" -> stored; the caller
//   commits, then ends the save (EndSnimokSave), which removes the note.
// Any failure on the way throws (MsgExcept, or DODBErrors from the UPDATE);
// SaveSnimok then deletes the files it wrote and its note and gives the
// picture back its image id, file name, stored flag and patient, so that the
// caller only has to abort its transaction. SaveSnimokTx wraps it in a
// session and a transaction of its own and does the same when the commit
// fails.
//
// A save killed half-way (a power cut, the task manager) cannot delete what
// it wrote, and the rollback gives its key back: the next save gets the same
// key and, for the same patient, the same file name. So that such a leftover
// never stands in a save's way and never stays behind:
//   - From before its files are written until its transaction has ended, a
//     save keeps a note open, "Saving\<key, 10 digits>.new" below the image
//     folder, holding the file name; nobody else can open it meanwhile.
//   - Before it writes, a save clears every note it can open: such a note
//     belongs to a save that has ended. When no row of Snimok or DelImage
//     names the note's file name, the ".xmg", ".thb" and ".thb.tmp" of that
//     name are the dead save's and are deleted; the note goes in any case.
//   - A file of the new name that no note accounted for is nobody's known
//     leftover (an older program's, or an image whose row was lost): it is
//     kept untouched, and the new image takes the next key instead (its row is
//     deleted and inserted again in the same transaction; keys are never
//     given twice), so the file never blocks the save.
// A save's transaction is held from before its first file is written until
// its files are gone again on a failure, so no other save takes the key
// while a failed save's files still exist.
//
// View centres are kept in the coordinates of the full-size raster, the one
// in the file, also while the picture shows a reduced copy.
#pragma once

#include "database/dbobject.h"
#include "database/dbparams.h"
#include "database/dbsession.h"
#include "images/pixels/picture.h"

#include <stdint.h>

// Room for a file name of a new image: 21 characters and the terminator.
const int kSnimokFileNameChars = 21;

// What a new image's save has written, so that a caller who rolls back can
// delete it; zeroed by SaveSnimok before it starts.
struct SnimokFilesWritten {
    bool image;                         // the ".xmg"
    bool icon;                          // the ".thb"
    wchar_t fileName[32];               // their name, without folder and extension
    HANDLE note;                        // the save's note, open until EndSnimokSave; null when none
    DWORD noteKey;                      // the key that names the note
};

// Reads the row of the picture's image id on the process-wide session into
// the picture: patient id, display offset and width, negative, date, view
// centre (the raster's centre when null), scale (1.0 when null), orientation
// (0 when null). False when the query fails or finds no row.
bool ReadPictureViewSettings(DPicture* picture);

// Reads the picture's patient (names, birthday, sex) by its patient id, on
// the process-wide session or on the given one; false when not found.
bool ReadPatientForPicture(DPicture* picture);
bool ReadPatientForPicture2(const DODBPtr<DODBSession>& session, DPicture* picture);

// Writes the display settings of a stored picture back to its row and its
// thumbnail again; false for a picture without a row and on a database error
// (shown under "Saving picture attributes").
bool SaveImageViewSettings(const DPicturePtr& picture, const uint8_t* lut);

// Saves a picture without a row as a new image in a transaction of its own on
// a new session; true when committed. Failures are shown, and leave no row,
// no file and the picture as it was.
bool SaveSnimokTx(const DPicturePtr& picture, const uint8_t* lut);

// The new-image save inside the caller's transaction (see above). Without a
// look-up table no thumbnail is written. Throws MsgExcept or DODBErrors.
// Given `written`, the caller ends the save with EndSnimokSave once its
// transaction is committed, or before it aborts it; without it, the save's
// note is removed at once (a kill before the caller commits then leaves a
// leftover that no note accounts for, which is kept and skipped).
void SaveSnimok(const DPicturePtr& picture, const DODBPtr<DODBSession>& session, const uint8_t* lut,
                SnimokFilesWritten* written = nullptr);

// Ends a new image's save: committed, its note is removed; not committed
// (call it before the transaction is aborted), its files and its note are
// deleted. Nothing is done twice.
void EndSnimokSave(SnimokFilesWritten* written, bool committed);

// Clears what saves that ended half-way left (see above), as every save does
// before it writes, for a job whose run may end without a save: a save killed
// after its commit leaves its note, and a run with nothing left to save would
// leave it too. Inside a transaction of the session; throws DODBErrors.
void ClearEndedSnimokSaves(const DODBPtr<DODBSession>& session);

// The note a save keeps for `key`: "<image folder>Saving\<10 digits>.new".
bool BuildSaveNotePath(wchar_t* out, DWORD key);

// "%c%.10u%.10u" into a buffer of at least 22 characters. A letter that
// cannot start a file name (none, a control character, a character not
// allowed in file names, half of a surrogate pair) becomes "_", so that the
// name always has its 21 characters.
void FormatSnimokFileName(wchar_t* buffer, wchar_t letter, DWORD patientId, DWORD imageId);

// Sets [File Name] of the image's row; true when a row was updated. No row:
// the message "Not updated" and false. A failed command throws DODBErrors.
bool UpdateSnimokFileName(const DODBPtr<DODBSession>& session, const wchar_t* fileName, DWORD imageId);

// Deletes the ".xmg" and ".thb" of a file name, as asked.
void DeleteSnimokFiles(const wchar_t* fileName, bool image, bool icon);
