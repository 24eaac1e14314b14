// Process-wide values that the libraries read and the application shell sets
// at start-up (tests set them too).
#pragma once

#include <windows.h>

// The settings key below HKEY_LOCAL_MACHINE: "SOFTWARE\Marvod\TobalFluoro".
// Subkeys hold the forms' and windows' settings.
extern const wchar_t SettingsKeyPath[];

extern HINSTANCE AppInstance;   // the program's module: string table, icons, cursors
extern wchar_t CfgFolderPath[MAX_PATH]; // the description folder, ending with a backslash (empty: the current folder)
extern int IconSize;            // 16 in the small-screen mode, else 32
extern bool IsSmallScreen;      // the screen is narrower than 1,280 pixels
extern bool IsAdministrator;    // the Windows user is one of the program's administrators
