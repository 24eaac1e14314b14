#include "foundation/globals.h"

const wchar_t SettingsKeyPath[] = L"SOFTWARE\\Marvod\\TobalFluoro";

HINSTANCE AppInstance = GetModuleHandleW(nullptr);
wchar_t CfgFolderPath[MAX_PATH] = L"";
int IconSize = 32;
bool IsSmallScreen = false;
bool IsAdministrator = false;
