// The About box ("About Zelk"): the program's name and its version, opened by
// the main window's system-menu item "Version".
#pragma once

#include <windows.h>

// The version the About box shows, "3.4.2.6", into a buffer of `capacity`
// characters; the characters written.
int FormatProgramVersion(wchar_t* text, int capacity);

void ShowAboutBox(HWND owner);
