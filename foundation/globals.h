// Process-wide values that the libraries read and the application shell sets:
// start-up (app/startup.cpp) fills the first group once, the settings loader
// (app/settings.cpp) fills the second at every pass of the main cycle. Tests
// set them too. All are written on the main thread before any window that
// reads them exists.
#pragma once

#include <windows.h>

// The settings key below HKEY_LOCAL_MACHINE: "SOFTWARE\Marvod\TobalFluoro".
// Subkeys hold the forms' and windows' settings.
extern const wchar_t SettingsKeyPath[];

// --- Set once at start-up -----------------------------------------------------
extern HINSTANCE hInstance;     // the program's module: string table, icons, cursors
extern int IconSize;            // 16 in the small-screen mode, else 32
extern bool IsSmallScreen;      // the screen is narrower than 1,280 pixels
extern bool IsAdministrator;    // the Windows user is one of the program's administrators
extern bool IsWindowsNT;        // the platform is of the NT family (privileges are adjusted only then)
extern COLORREF WindowColor;    // the system window colour (COLOR_WINDOW)

// --- Filled by the settings loader at each pass of the main cycle -------------
const int kFolderChars = 261;        // the folders below: 260 characters and the terminator
const int kServerNameChars = 257;    // "ServerName": up to 256 characters

extern wchar_t DataPath[kFolderChars];     // "DataPath", always ending with "\"
extern wchar_t ImageFolder[kFolderChars];  // DataPath + "Image\": the ".xmg" files
extern wchar_t IconFolder[kFolderChars];   // DataPath + "Icon\": the ".thb" files
// The description files and icons: "CfgDir" (ending with "\") when set, else
// DataPath + "Cfg\". Empty until the settings are loaded: the current folder.
extern wchar_t CfgFolder[kFolderChars];
extern wchar_t ArchivePath[kFolderChars];  // default value of "Arj": the archive disk's folder
extern DWORD SpaceMin;                     // "Arj\SpaceMin": minimum free MB on the image drive (20)
extern DWORD SpaceArjStart;                // "Arj\SpaceArjStart": archive threshold in MB (80)
extern DWORD SpaceArjEnd;                  // "Arj\SpaceArjEnd": archive threshold in MB (600)
// "ServerName": the machine of the disk service, "\\." (this machine) unless
// set; empty means that there is no disk service.
extern wchar_t ServerName[kServerNameChars];
extern DWORD MobilMode;                    // "Mobil": the database lives on a removable disk
extern BOOL ImportSettingsPresent;         // the subkey "ImportSettings" exists
extern DWORD DefaultModality;              // "Modality\ID_Modality": modality of new images
extern BOOL DefaultModalitySet;            // whether DefaultModality was read
extern HFONT StatusFont;                   // status bar font from "StatusFont", or null
