// The initialization table: every window class of the program is registered
// by one named row of it and unregistered in reverse order at the end.
//
// The table is a static array of rows {init, uninit, name} ended by a row
// whose init and uninit are both null. The rows of the window classes that
// this program does not have (the archive and disk-preparation windows) are
// empty rows: their init succeeds and their uninit does nothing, so every row
// has an uninit and the undo walks the whole table. The printer-status and
// print-job windows belong to printing, above the shell: their rows register
// them through the print service table (app/printservices.h).
#pragma once

#include "ui/init_rows.h"

#include <windows.h>

// The program's table: 25 rows and the end row.
extern const InitRow InitTable[];
const int kInitTableRows = 25;

// Runs each row's init in order. When one fails: "Initialize error "<name>""
// goes to the journal (with GetLastError as it was right after the failure)
// and to a system-modal message box without caption, the rows already done
// are undone from the last back to the first (the failing row is not), and
// the result is FALSE.
BOOL RunInitTable(const InitRow* table = InitTable);
// Undoes every row, from the last before the first null uninit back to row 0.
void RunDeinitTable(const InitRow* table = InitTable);

// Destroys the journal viewer window when it exists (before the table is undone).
void DestroyJournalViewer();
