// The settings loader: at the start of each pass of the main cycle it reads
// the settings key and fills the process-wide settings (foundation/globals.h,
// app/startup.h). Every pass overwrites them all; nothing is freed between
// passes.
//
// Failures are shown here (system-modal, no owner) and LoadSettings returns
// FALSE:
//   a registry read failed -> caption 272, text: the value's name (or "NULL")
//       and what failed (the Win32 code and its text, or the kind of fault);
//   a key cannot be opened -> caption 273, text: the key's path;
//   anything else          -> "Unknown internal error".
#pragma once

#include "foundation/globals.h"
#include "foundation/registry.h"

#include <windows.h>

// Reads every setting below the settings root (foundation/settingskey.h:
// HKLM\SettingsKeyPath unless a test pointed it elsewhere).
BOOL LoadSettings();

// The steps of LoadSettings, each on the open settings key. They throw
// RegException for a failed read and a key path (const wchar_t*) for a key
// that cannot be opened.
BOOL LoadDefaultModality(HKEY root);
void LoadArchiveSettings(DRegKeyHandle& root);
void LoadDataPaths(DRegKeyHandle& root);
// ImageFolder, IconFolder and (unless "CfgDir" gave it) CfgFolder from
// DataPath. Throws RegException (kind 0, ERROR_FILENAME_EXCED_RANGE, "DataPath")
// when a folder would not fit.
void BuildDataFolders();

// The text of the message for a failed read (without caption): the value's
// name or "NULL", a line break, then what failed.
void FormatRegistryError(const RegException& error, wchar_t* text, int capacity);
