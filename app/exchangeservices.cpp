#include "app/exchangeservices.h"

#include "app/mainmenus.h"

namespace {

ExchangeServices& Table()
{
    static ExchangeServices services = {};
    return services;
}

}  // namespace

const ExchangeServices& GetExchangeServices()
{
    return Table();
}

ExchangeServices SetExchangeServices(const ExchangeServices& services)
{
    const ExchangeServices previous = Table();
    Table() = services;
    return previous;
}

void RunScanDbWindow(HWND owner)
{
    if (Table().runScanDbWindow)
        Table().runScanDbWindow(owner);
    else
        ShowNotAvailableYet(owner);
}
