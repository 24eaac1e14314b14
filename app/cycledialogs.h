// The dialogs the main cycle opens between its passes: the program settings
// dialog (app/settingsdlg.h, also on the service menu) and the Eject Disk
// dialog.
#pragma once

#include "app/settingsdlg.h"

#include <windows.h>

// The Eject Disk dialog between two passes: the disk stays in its drive and
// the cycle goes on (1); 0 would end the program.
int RunEjectDiskDlg(HWND owner);
