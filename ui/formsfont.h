// The forms font: the one LOGFONT that the described forms and the tool
// windows share (the message box scales it).
//
// Read once per process: the value "Font" (a REG_BINARY LOGFONTW of exactly
// 92 bytes) of the key "Forms" below the settings key (OpenSettingsKey,
// foundation/settingskey.h), else the system's
// message font, else the program's default LOGFONT ("Times New Roman", -22).
// A change of the registry value takes effect at the next start.
//
// Any thread may call GetFormsFont, also while another thread is loading:
// the first call loads under a lock and every other caller waits for it, so
// no caller ever sees a half-filled LOGFONT or a null result.
#pragma once

#include <windows.h>

// The stored LOGFONTW; never null. Callers copy it or pass it to
// CreateFontIndirectW, and never change it.
const LOGFONTW* GetFormsFont();

// Reads the forms font from the settings key's "Forms", value "Font"; false
// (and `font` unchanged) when the key or a 92-byte binary value is missing.
bool ReadFormsFont(LOGFONTW* font);

// For tests: the system font reader (null: SystemParametersInfoW), and
// forgetting the loaded font. Where the next load reads follows the settings
// root (SetSettingsRoot).
namespace FormsFontForTests {
void SetSystemReader(bool (*reader)(LOGFONTW* font));
void Forget();
}  // namespace FormsFontForTests
