// What the description classes take from outside the forms engine.
//
// The description folder is the process-wide CfgFolder (foundation/
// globals.h): the registry value "CfgDir" when it is set, else the data
// folder followed by "Cfg\"; description names are appended to it directly.
// The settings key is the process-wide SettingsKeyPath (foundation/globals.h).
// A database form takes the forms font (GetFormsFont) when its own settings
// hold no font.
#pragma once

#include "foundation/globals.h"
#include "ui/formsfont.h"

#include <windows.h>
