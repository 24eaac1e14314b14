#include "app/cycledialogs.h"

void ShowSettingsDialog(HWND)
{
}

int RunEjectDiskDlg(HWND)
{
    return 1;
}
