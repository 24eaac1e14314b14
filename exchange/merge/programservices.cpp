// The merge window for the shell, installed into its exchange table
// (app/exchangeservices.h) when the program starts. This file is compiled
// into the program itself, not into the library: linking the program with
// the merge is what gives the main window's "Merge databases" button its
// window.
#include "app/exchangeservices.h"
#include "exchange/merge/importwnd.h"

namespace {

struct InstallMerge {
    InstallMerge()
    {
        ExchangeServices exchange = GetExchangeServices();
        exchange.runImportDbWnd = RunImportDbWnd;
        SetExchangeServices(exchange);
    }
};

const InstallMerge gInstall;

}  // namespace
