// What the archive windows (the archive window, the disk preparation) share
// of their look: the class icon, and owner-drawn buttons showing their icon
// beside their caption, the icon small enough for the button's height, both
// from the resources.
#pragma once

#include "ui/button.h"

#include <windows.h>

// Creates `button` on `owner` with the string-table caption and the icon
// resource (the button owns the icon); `cookie` is the first argument of
// every callback, `input` may be null. False when it cannot be created.
bool CreateArchiveButton(DButton& button, HWND owner, void* cookie, UINT caption, UINT icon,
                         const DButtonInput* input, const DButtonNotify* notify);

// The archive's icon at the system's icon size, a copy the window class owns
// (UnregisterClassAndIcons destroys it).
HICON LoadArchiveIcon();
