// The main patient window: the program's one full-screen top-level window.
//
// Left, a column of command buttons; in the middle the filter heading, the
// caption line with the current patient's name and the patient list of
// "main.cfg" filtered through "MainFilt.cfg"; right, the current patient's
// image strip; along the bottom the status bar (clock, list state, number of
// patients, number of pictures). It cannot be moved, sized or minimised.
//
// There is one window per pass of the main cycle and its state is global
// (main thread only):
//   not created -> Create (WM_CREATE builds the children; any failure undoes
//   them and the window is not created) -> shown, LoadLists(1) -> running
//   (keys, buttons, menus, list row changes) -> WM_DESTROY (children gone,
//   column widths kept in "main.cfg", filter cleared, first-load flag set,
//   RequestQuit) -> not created.
// The descriptions stay in the description cache between passes; the filter
// is rebuilt at the next LoadLists.
//
// Exceptions never leave a handler: LoadLists turns them into the "Error"
// state, and every key, button and menu handler shows what it caught.
#pragma once

#include "app/mainwnd_neighbours.h"
#include "app/notesnimok.h"
#include "app/patientcard.h"
#include "forms/patientlookup.h"

#include <windows.h>

class DButton;
class DbFilter;
class DListView;

// Status bar parts.
enum MainStatusPart {
    kPartClock = 0,
    kPartListState = 1,
    kPartPatientsLabel = 2,
    kPartPatientCount = 3,
    kPartPicturesLabel = 4,
    kPartPictureCount = 5,
    kStatusPartCount = 6,
};

// The rows of the buttons table, in order.
enum MainButtonRow {
    kRowNewPatient = 0,
    kRowPatientInfo = 1,
    kRowDelete = 2,
    kRowArchiving = 3,
    kRowMerge = 4,
    kRowPrint = 5,
    kRowPlugins = 6,
    kRowExit = 7,
    kMainButtonRows = 8,
};

class IconStrip;

class MainPatientWindow : public ListenerBase {
public:
    static constexpr const wchar_t* kClassName = L"Main patient window";
    static constexpr int kButtonColumnWidth = 140;
    static constexpr int kListId = 1;
    static constexpr UINT kVersionCommand = 0x800;

    // Initialization-table row "Register MainWnd".
    static bool RegisterClass();
    static void UnregisterClass();

    // Creates, shows and loads the window (the filter form opens first); FALSE
    // when it cannot be created.
    static BOOL Create();
    // DestroyWindow when the window exists; 1.
    static int Destroy();
    static HWND GetHwnd();
    static MainPatientWindow& Instance();

    // Reloads the list, with the filter form first when asked.
    void LoadLists(BOOL withFilterForm);
    // 0 read, 1 interrupted by the user, -1 error; throws on failures of the
    // query.
    int LoadPatientList();
    // The patient card: a new patient or the current one.
    void EditPatient(BOOL newPatient);
    // The Delete button and Ctrl+Delete.
    void DeleteCurrentPatient();
    // Every key of the window's controls that they do not use themselves.
    void OnKey(WPARAM key);
    void OnListRowChange(int row);
    void Layout();

    // ListenerBase (the patient lookup)
    void OnCurrentPatient(const wchar_t* text, int length, DWORD key, DWORD request) override;
    void OnLookupError(const wchar_t* text, int length) override;
    // What the image strip reports (through its owner link).
    int OpenImage(DWORD imageKey, const wchar_t* fileName);
    void ShowNote(DWORD imageKey, DWORD patientKey);
    int OnStripKey(WPARAM key);
    void ImagesCounted(int count) { SetStatusText(count); }
    void SetStatusText(int imageCount);

    // Menus of the buttons (mainmenus.cpp): the chosen id or 0.
    int ExitMenu(DButton* button);
    void OnPrintButton(DButton* button);

    // For tests and the menus.
    DListView* GetList();
    DButton* GetButton(int row);          // null when the row is absent
    int GetButtonCount() const;
    DButton* GetButtonAt(int index);      // in column order
    DButton* GetFilterHeading();
    HWND GetCaptionLine() const;
    HWND GetStatusBar() const;
    int GetStatusText(int part, wchar_t* buffer, int capacity) const;
    int ButtonHeight() const;
    const DbFilter& GetFilter() const;
    IconStrip& GetStrip();

    // Runs a handler's body; what it throws is shown to the user.
    template <class Body>
    static void Guarded(Body body);
    static void ShowCaught();
};

// The main cycle's names for the window.
void ShowMainPatientWindow();

template <class Body>
void MainPatientWindow::Guarded(Body body)
{
    try {
        body();
    } catch (...) {
        ShowCaught();
    }
}
