// The forms font: the one LOGFONT that the described forms and the tool
// windows share (the message box scales it).
//
// Read once per process: the value "Font" (a REG_BINARY LOGFONTW of exactly
// 92 bytes) of the key "Forms" below the settings key, else the system's
// message font, else the program's default LOGFONT ("Times New Roman", -22).
// A change of the registry value takes effect at the next start.
//
// Any thread may call GetFormsFont, also while another thread is loading:
// the first call loads under a lock and every other caller waits for it, so
// no caller ever sees a half-filled LOGFONT or a null result.
#pragma once

#include <windows.h>

// The settings key below HKEY_LOCAL_MACHINE.
extern const wchar_t kSettingsKeyPath[];   // "SOFTWARE\Marvod\TobalFluoro"

// The stored LOGFONTW; never null. Callers copy it or pass it to
// CreateFontIndirectW, and never change it.
const LOGFONTW* GetFormsFont();

// Reads the forms font from `root`\`settingsPath`\Forms, value "Font"; false
// (and `font` unchanged) when the key or a 92-byte binary value is missing.
bool ReadFormsFontFrom(HKEY root, const wchar_t* settingsPath, LOGFONTW* font);

// For tests: where the next load reads (null root: HKEY_LOCAL_MACHINE and the
// settings key), the system font reader (null: SystemParametersInfoW), and
// forgetting the loaded font.
namespace FormsFontForTests {
void SetSource(HKEY root, const wchar_t* settingsPath);
void SetSystemReader(bool (*reader)(LOGFONTW* font));
void Forget();
}  // namespace FormsFontForTests
