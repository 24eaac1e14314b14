// What the card and the filter form share in making and subclassing their
// controls.
#pragma once

#include "ui/button.h"

#include <windows.h>

namespace formctl {

// The class procedure of a system class ("EDIT", "COMBOBOX"); null when the
// class is unknown.
WNDPROC ClassProc(const wchar_t* name);
// Fetches the "EDIT" and "COMBOBOX" class procedures where still null; false
// when either is missing.
bool LoadClassProcs(WNDPROC* edit, WNDPROC* combo);
bool ShiftHeld();
// A button description with the module's instance and the rest zero.
DButtonDesc ButtonDesc(HWND parent, DWORD style, void* cookie, const wchar_t* caption, const DButtonNotify* notify,
                       const DButtonInput* input);

// A subclass procedure around Inner. Nothing thrown may cross the window
// procedure: a failure there is dropped, as the save and "Set Filter" read
// everything again.
template <LRESULT (*Inner)(HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK NoThrowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        return Inner(hwnd, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

// A form window that could not be made or shown: a journal record with the
// last error, and the message naming the description file, so that the user
// knows why nothing opened and the owner stays usable.
void ReportWindowFailure(HWND owner, const wchar_t* formName);

}  // namespace formctl
