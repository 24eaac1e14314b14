// What the description classes take from outside the forms engine.
//
// These are declared here, not defined: the application shell defines the
// folder and the settings key when it loads the settings, and the forms font
// reader defines GetFormsFont. The forms test executable defines all three
// itself (tests/forms/desc_env.cpp), so the descriptions are tested alone.
#pragma once

#include <windows.h>

// The folder of the description files, ending with a backslash: the registry
// value "CfgDir" when it is set, else the data folder followed by "Cfg\".
// Description names are appended to it directly.
extern wchar_t CfgFolderPath[260];

// The settings key below HKEY_LOCAL_MACHINE, "SOFTWARE\Marvod\TobalFluoro";
// each database form keeps its column widths in a subkey named after it.
extern const wchar_t SettingsKeyPath[];

// The LOGFONT shared by every described form, or null while it is being
// loaded. A database form takes it when its own settings hold no font.
const LOGFONTW* GetFormsFont();
