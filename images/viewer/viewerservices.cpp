#include "images/viewer/viewerservices.h"

namespace {

ViewerServices gServices = {};

}  // namespace

const ViewerServices& GetViewerServices()
{
    return gServices;
}

ViewerServices SetViewerServices(const ViewerServices& services)
{
    ViewerServices old = gServices;
    gServices = services;
    return old;
}
