#include "app/archiveservices.h"

namespace {

ArchiveServices& Table()
{
    static ArchiveServices services = {};
    return services;
}

}  // namespace

const ArchiveServices& GetArchiveServices()
{
    return Table();
}

ArchiveServices SetArchiveServices(const ArchiveServices& services)
{
    const ArchiveServices previous = Table();
    Table() = services;
    return previous;
}
