// What the shell asks of the data exchange, declared here and filled in by
// it: the shell never includes a header of exchange/.
//
// One process-wide ExchangeServices record of function pointers, the shape
// of the viewer's table (images/viewer/viewerservices.h). The data exchange
// fills it when the program is linked with it (a programservices.cpp of its
// side, compiled into the program itself); tests put recording entries in
// its place. An empty entry is a command the program does not have: the
// shell says "This command is not available yet."
#pragma once

#include <windows.h>

struct ExchangeServices {
    // The merge window ("Merge databases"), modal over the owner, which
    // stays enabled; returns when the window is closed.
    void (*runImportDbWnd)(HWND owner);
    // The synchronisation window ("Archiving"), modal over the owner, which
    // stays enabled; returns when the window is closed.
    void (*runScanDbWindow)(HWND owner);
};

const ExchangeServices& GetExchangeServices();
// Installs a table; returns the one it replaces. ExchangeServices{} empties it.
ExchangeServices SetExchangeServices(const ExchangeServices& services);
