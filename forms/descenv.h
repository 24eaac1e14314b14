// What the description classes take from outside the forms engine.
//
// The description folder is the process-wide CfgFolder (foundation/
// globals.h): the registry value "CfgDir" when it is set, else the data
// folder followed by "Cfg\"; description names are appended to it directly.
// A database form keeps its settings in its subkey of the settings key
// (OpenSettingsKey, foundation/settingskey.h).
// A database form takes the forms font (GetFormsFont) when its own settings
// hold no font.
#pragma once

#include "foundation/globals.h"
#include "ui/formsfont.h"

#include <windows.h>
