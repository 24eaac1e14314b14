// What the description classes take from outside the forms engine.
//
// The description folder is the process-wide CfgFolder (foundation/
// globals.h): the registry value "CfgDir" when it is set, else the data
// folder followed by "Cfg\"; description names are appended to it directly.
//
// The settings key is the process-wide SettingsKeyPath (foundation/globals.h).
// GetFormsFont is declared here, not defined: the forms font reader defines it.
// The forms test executable defines it itself (tests/forms/desc_env.cpp), so
// the descriptions are tested alone.
#pragma once

#include "foundation/globals.h"

#include <windows.h>

// The LOGFONT shared by every described form, or null while it is being
// loaded. A database form takes it when its own settings hold no font.
const LOGFONTW* GetFormsFont();
