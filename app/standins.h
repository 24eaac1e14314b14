// STAND-INS for two dialogs the main cycle opens, until they are built: the
// program settings dialog and the Eject Disk dialog. Each is replaced as a
// whole by its own file; the names stay.
#pragma once

#include <windows.h>

// The program settings dialog: for now it says that it is not available and
// changes nothing, so the next pass of the main cycle reads the same settings.
void ShowSettingsDialog(HWND owner);
// The Eject Disk dialog between two passes: for now the disk stays and the
// cycle goes on (1); 0 would end the program.
int RunEjectDiskDlg(HWND owner);
