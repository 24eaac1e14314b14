// The data exchange's commands for the shell, installed into its service
// table (app/exchangeservices.h) when the program starts. This file is
// compiled into the program itself, not into the exchange library: linking
// the program with the exchange is what gives its menus these commands
// (tests fill the table their own way, InstallExchangeServices).
#include "exchange/imagefiles/exchangeservices.h"

namespace {

struct InstallExchange {
    InstallExchange() { InstallExchangeServices(); }
};

const InstallExchange gInstall;

}  // namespace
