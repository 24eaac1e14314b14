// The dialogs the main cycle opens between its passes: the program settings
// dialog (app/settingsdlg.h, also on the service menu) and the Eject Disk
// dialog.
#pragma once

#include "app/settingsdlg.h"

#include <windows.h>

// The Eject Disk dialog between two passes, through the cycle's service
// table (app/cycleservices.h): 0 when the program is to end, else the cycle
// goes on; 1 when no dialog is installed.
int RunEjectDiskDlg(HWND owner);
