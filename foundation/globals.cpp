#include "foundation/globals.h"

HINSTANCE AppInstance = GetModuleHandleW(nullptr);
int IconSize = 32;
bool IsSmallScreen = false;
bool IsAdministrator = false;
