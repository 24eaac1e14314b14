// The synchronisation window for the shell, installed into its exchange
// table (app/exchangeservices.h) when the program starts. This file is
// compiled into the program itself, not into the library: linking the
// program with the synchronisation is what gives the main window's
// "Archiving" button its window (tests fill the table their own way).
#include "app/exchangeservices.h"
#include "exchange/sync/syncwnd.h"

namespace {

void RunSynchronisationWindow(HWND owner)
{
    ScanDbWindow::Run(owner);
}

struct InstallSynchronisation {
    InstallSynchronisation()
    {
        ExchangeServices exchange = GetExchangeServices();
        exchange.runScanDbWindow = RunSynchronisationWindow;
        SetExchangeServices(exchange);
    }
};

const InstallSynchronisation gInstall;

}  // namespace
