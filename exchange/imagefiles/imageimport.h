// Image file import: one ".xmg" or ".bmp" file from outside becomes a new,
// not yet stored picture of a patient, which the caller shows in the main
// image panel; it becomes an image of the database only when the user saves
// it there.
//
// The road (ImportImageFile): the open-file dialog (importdialog.h), whose
// side panel shows the properties of the selected ".xmg" file, remembers its
// last folder in "ImportPath"; the chosen file is opened and read by the
// filter's reader:
//   ".xmg": the picture from the image file reader; its patient is the given
//     one, or (without one, or when the user answers Yes to "Import
//     patient?") the file's own: looked up by names, birthday and sex, and
//     inserted into Patient when missing;
//   ".bmp" (only for a given patient): 8 or 24 bits per pixel, grey values
//     0 to 255, as an 8-bit picture (bmpformat.h).
// Every failure ends with a message and an empty picture; nothing is written
// to the database but a patient inserted from an ".xmg" file, and the file
// is closed on every path.
#pragma once

#include "exchange/imagefiles/xmgtext.h"
#include "images/pixels/picture.h"

#include <windows.h>

// Runs the dialog and the import; an empty picture when nothing was imported.
// `ask` nonzero: a ".bmp" may be imported, and an ".xmg" asks whether its own
// patient is to be taken.
DPicturePtr ImportImageFile(HWND owner, DWORD patientId, int ask);

// The two readers on an open file; their failures are shown.
DPicturePtr ImportXmgFile(HANDLE file, DWORD patientId, int ask);
DPicturePtr ImportBmpFile(HANDLE file, DWORD patientId);
// ImportBmpFile's reading: the picture of a BMP file with the import's
// display settings and the file's creation time, attached to no patient yet;
// 0, or the string-table id of the failure (picture then empty). The largest
// file the reader takes is read in a third of a second from the cache, but a
// slow disk or share takes longer: between its reads, once `paintEveryMs`
// have passed, the thread's windows are painted (ui/threadwait.h).
unsigned ReadBmpPicture(HANDLE file, DPicturePtr& picture, DWORD paintEveryMs = 100);

// The patient of an ".xmg" file's text block in Patient: 1 found (its key in
// *patientId), 0 not found, -1 a database failure (shown under "Patient
// existence check").
int FindPatientByName(DWORD* patientId, const XmgNames& names);
// Inserts the file's patient: 1 with the new key in *patientId, -1 on a
// database failure (shown under "Patient import").
int InsertPatientFromXmg(DWORD* patientId, const XmgNames& names);
