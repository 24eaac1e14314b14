// The configuration dialogs of printing and of the program's fonts:
//   "Reports": the printable reports (registry "PrintReport": value name =
//       report name, data = the description file's name in the description
//       folder), and opening description files in Notepad;
//   "Fonts": the fonts of the screen elements ("ListView", "Header",
//       "Button", "ToolTipFont", "StatusFont", "Forms": value "Font") and the
//       two print fonts ("Printer": "Font1", "Font2");
//   "Print Header Settings": the clinic header of picture sheets ("Header":
//       "Company1", "Company2", "Address", "Phon", "Cabinet"; an empty field
//       is a missing value).
// Each runs modally over its owner.
#pragma once

#include <windows.h>

// 1 when closed, -1 when a registry failure ended it (after saying so).
INT_PTR RunReportsDlg(HWND owner);
// 0 when closed, -1 when its list could not be filled.
INT_PTR RunFontsDlg(HWND owner);
void RunPrintHeaderDlg(HWND owner);

// Starts the command line (no handle inheritance, normal priority); false
// when the process cannot be started (nothing is shown).
bool EditReportFile(const wchar_t* commandLine);

// ---- the system dialogs the configuration dialogs open, replaceable by tests ----

// Chooses an existing ".cfg" file starting in the folder; the path into
// `path` (MAX_PATH characters); false when cancelled.
typedef bool (*ReportFileChooser)(HWND owner, const wchar_t* folder, wchar_t* path);
// Lets the user change the font; false when cancelled.
typedef bool (*FontChooser)(HWND owner, LOGFONTW& font);
// Starts an editor with the command line (EditReportFile by default).
typedef bool (*FileEditor)(const wchar_t* commandLine);
ReportFileChooser SetReportFileChooser(ReportFileChooser chooser);   // null: the open-file dialog
FontChooser SetFontChooser(FontChooser chooser);                     // null: the font dialog
FileEditor SetFileEditor(FileEditor editor);                         // null: EditReportFile
