// The two dialogs the main cycle opens between its passes: the program
// settings dialog (also on the service menu) and the Eject Disk dialog.
#pragma once

#include <windows.h>

// The program settings dialog. It is not built yet: it says so and changes
// nothing, so the next pass of the main cycle reads the same settings.
void ShowSettingsDialog(HWND owner);
// The Eject Disk dialog between two passes, through the cycle's service
// table (app/cycleservices.h): 0 when the program is to end, else the cycle
// goes on; 1 when no dialog is installed.
int RunEjectDiskDlg(HWND owner);
