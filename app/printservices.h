// What the shell asks of printing, declared here and filled in by printing:
// the shell never includes a header of printing.
//
// The table is one process-wide PrintServices record of function pointers.
// Printing fills it when the program is linked with it (printing/
// programservices.cpp, compiled into the program itself); tests put
// recording entries in its place. The shell's commands below run an entry,
// or say that the command is not available when the entry is empty; the
// initialization table's rows of printing's windows register nothing then.
#pragma once

#include <windows.h>

class ReportDesc;

struct PrintServices {
    // The service menu's "Setup header for printing", "Reports configurator"
    // and "Fonts".
    void (*runPrintHeaderDlg)(HWND owner);
    void (*runReportsDlg)(HWND owner);
    void (*runFontsDlg)(HWND owner);
    // The printer profile of described reports (right click on Print).
    void (*chooseReportProfile)(HWND owner);
    // The printer profiles (the program settings' "Printer").
    void (*editPrinterProfiles)(HWND owner);
    // The report menu's report (its name in the menu): its filters, then
    // the print.
    void (*printReport)(HWND owner, ReportDesc* report, const wchar_t* name);
    // The printer queue window ("Show printer status").
    void (*showStatusPrinterWnd)(HWND owner);
    // The window classes of the printer queue window and of the print-state
    // window (rows "Register PrnStatusWnd" and "Register RegisterPrnJobWnd").
    bool (*registerStatusPrinterWnd)();
    void (*unregisterStatusPrinterWnd)();
    bool (*registerPrintStateWnd)();
    void (*unregisterPrintStateWnd)();
};

const PrintServices& GetPrintServices();
// Installs a table; returns the one it replaces. PrintServices{} empties it.
PrintServices SetPrintServices(const PrintServices& services);

// The shell's printing commands, each through its entry.
void OpenPrintHeaderDialog(HWND owner);
void OpenReportsDialog(HWND owner);
void OpenFontsDialog(HWND owner);
void ChooseReportPrinter(HWND owner);
void OpenPrinterProfiles(HWND owner);
void PrintReportFromDesc(HWND owner, ReportDesc* report, const wchar_t* name);
void OpenPrinterStatus(HWND owner);

// The initialization table's rows of printing's window classes: each runs its
// entry, and succeeds without one.
bool RegisterPrinterStatusClass();
void UnregisterPrinterStatusClass();
bool RegisterPrintStateClass();
void UnregisterPrintStateClass();
