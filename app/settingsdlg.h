// The Program Settings dialog and the Set Shell dialog it opens.
//
// Program Settings edits the values that the settings loader reads at every
// pass of the main cycle (app/settingsform.h holds the values, their checks
// and their writing). It is opened from the service menu while the program
// runs, and by the main cycle before a pass when the last one could not start.
// Opening it changes nothing; OK and "Run Now" check every field first, then
// make the data folders (asking), then write; a failure keeps the dialog open
// with the focus on the field at fault. From it the user reaches the backup
// settings, the fonts, the Set Shell dialog, the printer profiles and, in the
// Russian layout, the plug-in setup.
//
// Set Shell writes the Winlogon value "Shell": this program's full path or
// "Explorer.exe" becomes the Windows shell.
#pragma once

#include <windows.h>

// Who opens the settings dialog. While the program runs, "Run Now" saves and
// ends the main window's loop so that the cycle runs again; before a pass
// there is no such loop, and "Run Now" only saves and closes (the cycle runs
// the next pass anyway).
enum class SettingsOpener { kRunningProgram, kBeforePass };

void ShowSettingsDialog(HWND owner, SettingsOpener opener = SettingsOpener::kRunningProgram);

// The Set Shell dialog: 1 after OK, 2 after Cancel, 0 when the Winlogon key
// cannot be read.
INT_PTR ShowSetShellDialog(HWND owner);

// The Winlogon key below HKEY_LOCAL_MACHINE.
extern const wchar_t kWinlogonKey[];
