// The merge settings dialog: "DBPath", the other workstation's data folder
// that the merge reads, and "DBFile", a database file name nothing else
// reads, in the key "ImportSettings" below the settings key. No command of
// the program opens it; the merge takes "DBPath" as it was installed.
//
// Saving with an empty path removes the two values only: the key and the
// merge's column settings below it ("Patient", "Snimok", "FormatPatient")
// stay, as they are installed with the workstation and nothing here could
// write them again.
#pragma once

#include <windows.h>

// Runs the dialog over the owner; 1 when saved, 2 when left with Cancel.
INT_PTR ImportSettingsDlg(HWND owner);
INT_PTR CALLBACK ImportSettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// SendMessageW to a control of the dialog; 0 when the control is missing.
LRESULT SendItemMessage(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
