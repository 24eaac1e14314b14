// The user's fonts, read by the settings loader at each pass of the main
// cycle from subkeys of the settings key, each holding the value "Font" (the
// 92-byte LOGFONTW of app/reghelpers.h). A missing subkey or a value of
// another type or size changes nothing.
#pragma once

#include <windows.h>

// "ListView": the list views' LOGFONT (ControlLogFont), given to the list views.
void LoadListViewFont(HKEY root);
// "Header": the header control's font; without a valid value, the list
// views' LOGFONT. Runs after LoadListViewFont.
void LoadHeaderFont(HKEY root);
// "StatusFont": StatusFont is made from a valid value (the one it replaces is
// deleted); otherwise it stays as it was.
void LoadStatusFont(HKEY root);
// "ToolTipFont": the tooltip class's font is made from a valid value.
void LoadToolTipFont(HKEY root);
