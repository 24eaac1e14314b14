// Patient and image record maintenance: deleting a patient, deleting an
// image (its record, or its record and its files' traces), moving an image to
// another patient, and bringing an archived image back from the archive (MO)
// disk to the hard disk.
//
// The database work runs on the process-wide session; the stored procedures
// are the database's own. The files are the image file (name + ".xmg") and
// its thumbnail (name + ".thb") in ImageFolder and IconFolder on the hard
// disk and in ArchivePath on the archive disk.
//
// Moving an image (MoveImageToPatient) never leaves it twice or nowhere:
//   row read -> (restored from the archive) -> file loaded -> saved as a new
//   image of the new patient (own transaction) -> thumbnail renamed -> the old
//   record's data copied to the new one (sp_cpy_smk) -> old record deleted ->
//   old image file deleted.
// When a step after the save fails, the new image is deleted again (its
// record and its file) and the thumbnail renamed back, so the old image stays
// as it was. Each operation shows its own failures and returns 0.
//
// The move and the restore delete, rename and write the files of the name
// the image's row holds only where that name names files of the image's own
// (LiveImageNames::DeletablePath, images/files/livenames.h): not a name that
// would leave its folder, nor a file another live image's row names as the
// file system compares names ("s1" beside a live "S1"). Such an image is left
// as it is, and a box names it.
#pragma once

#include <windows.h>

// Asks (string 290, Yes/No) and deletes the patient with sp_delete_patient.
// 1 deleted; 0 when the patient is not found, the answer is not Yes, or the
// database fails (shown under "Error deleting the patient.").
BOOL DeletePatient(DWORD patientKey, HWND owner);
// The question before a delete: 1 only for an explicit Yes.
BOOL GetPatientNameForPrompt(HWND owner, DWORD patientKey);

// sp_delete_snimok / sp_delete_snimok_complete; 1 on success, 0 after a
// database error shown under "Error deleting the image".
BOOL DeleteImageRecord(HWND owner, DWORD imageKey);
BOOL DeleteImageRecordComplete(HWND owner, DWORD imageKey);

BOOL MoveImageToPatient(HWND owner, DWORD imageKey, DWORD newPatientKey);
BOOL RestoreImageFromArchive(HWND owner, DWORD imageKey);

// File operations. Results of the error boxes: 1 retry (OK), 2 ignore (file
// not found), 3 cancel. The copy from the archive disk, the deletion of a
// restore's copies and the thumbnail's rename (CopyImageFromArchive,
// DeleteImageFilesChecked, MoveImageFile) work on the paths the live-name
// check gives, inside recordmaint.cpp.
// Waits for the archive disk whose serial is `expected` (named `diskName`, or
// any disk when null; the box asks for it by name and serial). 1 when it is
// there (its serial in *serial), 0 when the user gave up or the volume cannot
// be read.
BOOL CheckArchiveVolume(DWORD* serial, DWORD expected, const wchar_t* diskName);
int ShowFileErrorBox();
int DiskNotReadyBox();

// Kept for the archive tools; no command uses them.
BOOL CopyImageFiles(const wchar_t* name, BOOL toHardDisk);
BOOL DeleteImageFiles(const wchar_t* name, BOOL hardDisk);
BOOL GetArchiveNameAndCheckDisk(DWORD archiveKey);
BOOL HasEnoughFreeSpace();
int AskCancelBox();
int AskRetryStub();

// How the archive drive's volume is read: GetVolumeInformationW unless a test
// installs a fake disk. FALSE with the last error set, as the real call.
typedef BOOL (*VolumeSerialFunction)(const wchar_t* root, DWORD* serial);
VolumeSerialFunction SetVolumeSerialFunction(VolumeSerialFunction function);   // null: the real one

// Steps of a move after the save that a test can make fail once, as the
// database would.
enum class MoveStep { None, CopyRecord, DeleteOldRecord };
void InjectMoveFailure(MoveStep step);
