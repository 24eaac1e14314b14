// The three popup menus of the main patient window and the commands they
// run: the exit menu (right click on Exit), the report menu (left click on
// Print) and the service menu (right click in the patient list). Each menu is
// built when it opens, tracked so that it returns the chosen command, and
// destroyed before the command runs.
#pragma once

#include <windows.h>

// Exit menu commands.
enum ExitCommand {
    kExitProgram = 1,         // administrators: quit, Windows stays as it is
    kRestartProgram = 2,      // administrators
    kSwitchOff = 10,          // quit with the configured exit action
    kExitAndLogoff = 11,      // quit and log off
    kEjectDatabaseDisk = 20,  // "Mobil" sites: eject the database disk, then run again
};

// Service menu commands (the menu ids).
enum ServiceMenuCommand {
    kServiceExplorer = 2,
    kServiceSettings = 3,
    kServiceSetTime = 5,
    kServiceShowForm = 6,
    kServicePrinterStatus = 7,
    kServiceFonts = 8,
    kServicePrintHeader = 9,
    kServiceExportPicture = 10,
    kServiceDicomStatus = 11,
    kServicePrepareSettings = 12,
    kServiceModality = 13,
    kServiceImportPicture = 42,
    kServiceShowJournal = 50,
    kServiceReports = 787,
};

// The exit menu's items for the current user and site, in order, into `menu`.
// Returns the number of items.
int BuildExitMenu(HMENU menu);
// Carries out an exit menu command (0: nothing).
void RunExitCommand(int command);

// The report menu at a screen point: one item per value of the "PrintReport"
// key below the settings key (OpenSettingsKey; value name = menu text, data =
// the report's description file). TRUE when a report was chosen: its name and
// file in the buffers (each of 261 characters). Throws a Win32 code when the
// key cannot be read or the value is not text.
BOOL ReportMenu(HWND owner, int x, int y, wchar_t* name, wchar_t* data);

// The service menu builder: items are inserted by position.
class ServiceMenu {
public:
    explicit ServiceMenu(int flag);
    ~ServiceMenu();
    ServiceMenu(const ServiceMenu&) = delete;
    ServiceMenu& operator=(const ServiceMenu&) = delete;

    BOOL AddItem(UINT id, UINT stringId);
    BOOL AddTextItem(UINT id, const wchar_t* text);
    BOOL AddSeparator();
    HMENU Handle() const { return menu_; }
    // Gives the menu up to the caller.
    HMENU Detach();

private:
    BOOL Insert();
    HMENU menu_;
    UINT position_;
    MENUITEMINFOW item_;
    wchar_t text_[256];
    int flag_;
};

// The service menu of the current user (IsAdministrator decides), or null.
HMENU BuildServiceMenu();
// Shows the service menu at a client point of the owner and runs the chosen
// command.
void ShowServiceMenu(HWND owner, int x, int y, int flag);
// The same where the mouse is.
void OpenServiceMenuAtCursor(HWND owner);
// Runs a service command. With a nonzero flag the import is given the main
// image panel's views.
void OnServiceCommand(HWND owner, int command, int flag);

// "This command is not available yet." for the commands whose windows this
// program does not have.
void ShowNotAvailableYet(HWND owner);

// The thumbnail cell's import: an image file for the current patient, shown
// in the main image panel.
void ImportPictureForPatient(HWND owner);

// The Explorer command line for a folder: a blank and the folder in quotes.
void ExplorerCommandLine(wchar_t* buffer, int capacity, const wchar_t* folder);
