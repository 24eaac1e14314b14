// STAND-INS: see standins.h.
#include "app/standins.h"

int RunEjectDiskDlg(HWND)
{
    return 1;
}
