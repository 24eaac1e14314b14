// The Modality dialog: which modality new images receive. The list comes from
// the database's table Modality {Name, id_modality}; the choice is kept in
// DefaultModality and DefaultModalitySet (foundation/globals.h) and in the
// value "ID_Modality" (REG_DWORD) of the subkey "Modality" below the settings
// root, which the settings loader reads at each pass (LoadDefaultModality).
//
// "Save" keeps the dialog open; "Not defined" saved removes "ID_Modality".
// Reached only through service command 13 (no menu item carries it).
#pragma once

#include <windows.h>

void RunModalityDlg(HWND owner);
