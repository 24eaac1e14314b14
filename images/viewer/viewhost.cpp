#include "images/viewer/viewhost.h"

namespace {

SnimokHost* gHost = nullptr;
int gPanelMode = kToolNone;

}  // namespace

SnimokHost* GetSnimokHost()
{
    return gHost;
}

void SetSnimokHost(SnimokHost* host)
{
    gHost = host;
}

int GetPanelMode()
{
    return gPanelMode;
}

void SetPanelMode(int mode)
{
    gPanelMode = mode;
}
