// What the main cycle asks, between two of its passes, of the layers above
// the shell, declared here and filled in by them: the shell never includes
// their headers.
//
// The table is one process-wide CycleServices record of function pointers.
// The removable-disk side of data exchange fills the Eject Disk dialog when
// the program is linked with it (exchange/disks/programservices.cpp, compiled
// into the program itself); tests put recording entries in its place. An
// empty entry leaves the cycle as it would be without the dialog.
#pragma once

#include <windows.h>

struct CycleServices {
    // The Eject Disk dialog of a site whose database lives on a removable
    // disk: 0 when the program is to end, else the cycle runs again.
    int (*runEjectDiskDialog)(HWND owner);
};

const CycleServices& GetCycleServices();
// Installs a table; returns the one it replaces. CycleServices{} empties it.
CycleServices SetCycleServices(const CycleServices& services);
