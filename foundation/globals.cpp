#include "foundation/globals.h"

const wchar_t SettingsKeyPath[] = L"SOFTWARE\\Marvod\\TobalFluoro";

HINSTANCE hInstance = GetModuleHandleW(nullptr);
int IconSize = 32;
bool IsSmallScreen = false;
bool IsAdministrator = false;
bool IsWindowsNT = true;
COLORREF WindowColor = GetSysColor(COLOR_WINDOW);

wchar_t DataPath[kFolderChars] = L"";
wchar_t ImageFolder[kFolderChars] = L"";
wchar_t IconFolder[kFolderChars] = L"";
wchar_t CfgFolder[kFolderChars] = L"";
wchar_t ArchivePath[kFolderChars] = L"";
DWORD SpaceMin = 20;
DWORD SpaceArjStart = 80;
DWORD SpaceArjEnd = 600;
wchar_t ServerName[kServerNameChars] = L"\\\\.";
DWORD MobilMode = 0;
BOOL ImportSettingsPresent = FALSE;
DWORD DefaultModality = 0;
BOOL DefaultModalitySet = FALSE;
HFONT StatusFont = nullptr;
