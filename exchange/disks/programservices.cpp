// The removable-disk commands for the shell, installed into its service
// table (app/cycleservices.h) when the program starts. This file is compiled
// into the program itself, not into the library: linking the program with
// the removable-disk side is what gives the main cycle its Eject Disk dialog.
#include "app/cycleservices.h"
#include "exchange/disks/ejectdiskdlg.h"

namespace {

// 0 when the user chose "Exit Program"; a dialog that could not be shown
// lets the cycle go on.
int EjectDiskDialog(HWND)
{
    bool endProgram = false;
    if (!RunEjectDiskDlg(&endProgram))
        return 1;
    return endProgram ? 0 : 1;
}

struct InstallDisks {
    InstallDisks()
    {
        CycleServices cycle = GetCycleServices();
        cycle.runEjectDiskDialog = EjectDiskDialog;
        SetCycleServices(cycle);
    }
};

const InstallDisks gInstall;

}  // namespace
