#include "app/exchangeservices.h"

namespace {

// Constant-initialised: the data exchange may install its entries before
// any other static of the program is made.
ExchangeServices gServices = {};

}  // namespace

const ExchangeServices& GetExchangeServices()
{
    return gServices;
}

ExchangeServices SetExchangeServices(const ExchangeServices& services)
{
    ExchangeServices old = gServices;
    gServices = services;
    return old;
}
