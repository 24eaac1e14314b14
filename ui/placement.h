// Window placements kept in the registry, below the settings root
// (foundation/settingskey.h).
//
// A placement is the key <root>\<name> with four REG_DWORD values "x", "y"
// (the screen position of the window's top-left corner), "cx" and "cy" (its
// width and height). Names in use: "NoteSnimok" and "NoteView" (the note
// window), "TNoteSnimok" (the template editor), "Profile" (the viewer's
// profile window).
//
// A key that lacks any of the four values holds no placement, and a placement
// read back is moved and cut so that the whole window lies on the work area
// of the monitor nearest to it: a stored position from another screen never
// puts a window where nobody can reach it.
#pragma once

#include "foundation/settingskey.h"

#include <windows.h>

struct PlacementRect {
    int x;
    int y;
    int cx;
    int cy;
};

// Writes the four values under <root>\<name> (the key is made when missing).
// Silent on failure.
void CreateDefaultWindowPlacement(const PlacementRect& rect, const wchar_t* name);
// True with the placement (brought onto the screen) when the key exists and
// holds all four values; otherwise false and `rect` untouched.
bool LoadWindowPlacement(PlacementRect& rect, const wchar_t* name);
// Writes "x" and "y" of the window's screen rectangle and, with `withSize`,
// "cx" and "cy", into the existing key; false when the window's rectangle or
// the key is not available.
bool SaveWindowPlacement(HWND window, const wchar_t* name, bool withSize);

// Moves and cuts a rectangle so that it lies on the work area of the monitor
// nearest to it.
void ClampToWorkArea(PlacementRect& rect);

// Moves a rectangle off the rectangles to avoid (windows it must not cover)
// to the nearest place that lies on the work area and covers none of them;
// when there is no such place it stays where it is. The candidates are the
// rectangle's own position and the places beside, above and below each
// rectangle to avoid, in every combination, each brought onto the area.
void PlaceClearOf(PlacementRect& rect, const RECT* avoid, int count, const RECT& work);
// The same for a window on the work area of its monitor: moves it without
// sizing or activating it. Empty rectangles to avoid are skipped.
void MoveWindowClearOf(HWND window, const RECT* avoid, int count);
