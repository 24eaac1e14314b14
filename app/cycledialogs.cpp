#include "app/cycledialogs.h"

int RunEjectDiskDlg(HWND)
{
    return 1;
}
