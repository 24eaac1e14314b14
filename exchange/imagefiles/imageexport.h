// Image export: the picture leaves the system in one of the four ways of the
// small dialog 251: as the program's own ".xmg" file, as a DICOM file written
// by the export server, as an 8-bit grey BMP that looks as the picture does
// on screen, or sent to a DICOM target (dicomsend.h).
//
// ExportImage: the dialog -> (server: send, done) -> the save-file dialog
// with the way's one filter ("XMG Format", "DICOM File", "BMP Format"; the
// extension added to a name without one; an existing file replaced only
// after the dialog's question) -> ".xmg" and BMP: the file created, written,
// closed, and deleted again when the write failed (the failure is shown);
// DICOM: the server writes the file. Cancel, in either dialog, ends quietly.
#pragma once

#include "images/pixels/picture.h"

#include <windows.h>

#include <stdint.h>

// Exports the picture; nothing for an empty one. `table` is the display
// look-up table of the view that shows it (65,536 entries), or null: then
// the picture's own display settings make one.
void ExportImage(const DPicturePtr& picture, HWND owner, const uint8_t* table);

// The save-file dialog for one filter ("name\0pattern\0\0"); false when the
// user cancels. `name` holds `capacity` characters.
BOOL ChooseExportFile(HWND owner, wchar_t* name, int capacity, const wchar_t* filter, const wchar_t* extension);

// Writes the picture's work raster as an 8-bit grey BMP through the table
// (or one made from the picture's display settings) into the open file, in
// one write; the write's success. On failure the Win32 error is the last
// error.
BOOL WriteImageBmp(const DPicturePtr& picture, HWND owner, HANDLE file, const uint8_t* table);

// The dialog procedure of dialog 251: any command ends it with its id.
INT_PTR CALLBACK ExportFormatDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
