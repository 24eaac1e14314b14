// STAND-IN for a dialog the main cycle opens, until it is built: the Eject
// Disk dialog. It is replaced as a whole by its own file; the name stays.
#pragma once

#include <windows.h>

// The Eject Disk dialog between two passes: for now the disk stays and the
// cycle goes on (1); 0 would end the program.
int RunEjectDiskDlg(HWND owner);
