#include "app/exchangeservices.h"

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
