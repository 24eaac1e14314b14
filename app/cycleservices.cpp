#include "app/cycleservices.h"

namespace {

CycleServices& Table()
{
    static CycleServices services = {};
    return services;
}

}  // namespace

const CycleServices& GetCycleServices()
{
    return Table();
}

CycleServices SetCycleServices(const CycleServices& services)
{
    const CycleServices previous = Table();
    Table() = services;
    return previous;
}
