// What the description classes take from outside the forms engine.
//
// The description folder is the process-wide CfgFolderPath (foundation/
// globals.h): the registry value "CfgDir" when it is set, else the data
// folder followed by "Cfg\"; description names are appended to it directly.
//
// The two below are declared here, not defined: the application shell
// defines the settings key, and the forms font reader defines GetFormsFont.
// The forms test executable defines both itself (tests/forms/desc_env.cpp),
// so the descriptions are tested alone.
#pragma once

#include "foundation/globals.h"

#include <windows.h>

// The settings key below HKEY_LOCAL_MACHINE, "SOFTWARE\Marvod\TobalFluoro";
// each database form keeps its column widths in a subkey named after it.
extern const wchar_t SettingsKeyPath[];

// The LOGFONT shared by every described form, or null while it is being
// loaded. A database form takes it when its own settings hold no font.
const LOGFONTW* GetFormsFont();
