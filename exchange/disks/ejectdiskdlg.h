// The Eject Disk dialog: between two passes of the main cycle, on a site
// whose database lives on a removable disk, it asks the disk service to eject
// the disk of the data folder ("DataPath") and shows the outcome in its
// status field. "Exit Program" ends the program, "Close" lets the main cycle
// start its next pass; "Eject" may be pressed any number of times.
#pragma once

#include <windows.h>

// Runs the dialog with no owner; true in *endProgram when it ended with
// "Exit Program". False when the dialog could not be shown.
bool RunEjectDiskDlg(bool* endProgram);

// Its dialog procedure.
INT_PTR CALLBACK EjectDiskDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// What "Eject" does: one exchange with the disk service for the drive of
// the data folder, its outcome as the status text (a string-table text for
// a pipe failure or a success, the service's own reason for a refusal).
void EjectDatabaseDisk(wchar_t* status, int capacity);
