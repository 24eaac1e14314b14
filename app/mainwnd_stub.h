// STAND-IN for the main patient window, until the window itself is built.
//
// It is the least the main cycle and ShowMainPatientWindow need: a top-level
// window of the class "Main patient window", registered by the
// initialization table, that asks the cycle to quit when it is closed or the
// session ends. It shows nothing of the patients yet. The real window
// replaces this file and its .cpp as a whole; the names stay.
#pragma once

#include <windows.h>

class MainPatientWindow {
public:
    static constexpr const wchar_t* kClassName = L"Main patient window";

    // Creates and shows the one main window; TRUE when it exists.
    static BOOL Create();
    // Destroys it when it exists.
    static void Destroy();
    static HWND GetHwnd();

    static bool RegisterClass();   // fails when the class is registered already
    static void UnregisterClass(); // nothing when it is not
};

// Shows (SW_SHOWNORMAL) and updates the main window: what the viewer's
// ShowMainPatientWindow asks for. (The viewer calls that function through its
// own stand-in in images/shellstubs.cpp until the main window is built; then
// the main window's file defines it.)
void ShowMainPatientWindowNow();
