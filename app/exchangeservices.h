// What the shell asks of the data exchange, declared here and filled in by
// it: the shell never includes a header of exchange/.
//
// One process-wide ExchangeServices record of function pointers, the shape
// of printing's table (app/printservices.h). The data exchange fills it when
// the program is linked with it (exchange/sync/programservices.cpp, compiled
// into the program itself); tests fill it their own way. The shell's
// commands below run an entry, or say that the command is not available when
// the entry is empty.
#pragma once

#include <windows.h>

struct ExchangeServices {
    // The synchronisation window, running until it is closed; the main
    // window's "Archiving" button opens it with the main window as owner.
    void (*runScanDbWindow)(HWND owner);
};

const ExchangeServices& GetExchangeServices();
// Installs a table; returns the one it replaces. ExchangeServices{} empties it.
ExchangeServices SetExchangeServices(const ExchangeServices& services);

// The shell's data-exchange commands, each through its entry: the
// synchronisation window.
void RunScanDbWindow(HWND owner);
