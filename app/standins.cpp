// STAND-INS: see standins.h.
#include "app/standins.h"

void ShowSettingsDialog(HWND)
{
}

int RunEjectDiskDlg(HWND)
{
    return 1;
}
