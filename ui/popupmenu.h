// Every popup menu of the program is tracked through one door, so that a test
// can answer menus as it answers prompts (foundation/prompt.h): a menu that
// nobody sees never holds a run.
//
// By default TrackPopup is TrackPopupMenuEx with TPM_RETURNCMD; a test
// installs a tracker that looks at the menu and returns a choice instead.
#pragma once

#include <windows.h>

// Tracks a popup menu at a screen point and returns the chosen item's
// identifier (0: none); the same arguments as TrackPopupMenuEx.
typedef int (*PopupTracker)(HMENU menu, UINT flags, int x, int y, HWND owner);

// Tracks the menu through the installed tracker, with TPM_RETURNCMD added to
// the flags; returns the chosen identifier, 0 for none.
int TrackPopup(HMENU menu, UINT flags, int x, int y, HWND owner);
// Installs a tracker (null restores the real one); returns the one it
// replaces, null for the real one.
PopupTracker SetPopupTracker(PopupTracker tracker);
