// The main patient window's state: one instance for the one window, shared
// by its source files (main thread only).
#pragma once

#include "app/iconstrip.h"
#include "forms/dbfilter.h"
#include "ui/button.h"
#include "ui/control_font.h"
#include "ui/listview.h"

#include <windows.h>

class DbFormDesc;
class FormDesc;

// What the patient image strip reports, passed on to the main window.
class MainStripLink : public IconStripOwner {
public:
    int OpenImage(DWORD imageKey, const wchar_t* fileName) override;
    void ShowNote(DWORD imageKey, DWORD patientKey) override;
    int OnKey(WPARAM key) override;
    void ImagesCounted(int count) override;
};

struct MainWindowState {
    static constexpr int kStateChars = 64;

    HWND hwnd = nullptr;                 // the window; owner of every dialog it opens
    HWND statusBar = nullptr;
    HFONT ownStatusFont = nullptr;       // made after a "StatusFont" broadcast, else the settings' font is used
    UINT_PTR clockTimer = 0;             // thread timer of the clock
    DButton buttons[8];                  // the button column, in order
    int rows[8] = {};                    // the buttons table row of each button
    int buttonCount = 0;
    DButton filterHeading;               // shows the filter's description; a click opens the filter form
    HWND caption = nullptr;              // the current patient's name
    DListView list;                      // the patients, control id 1
    DbFormDesc* listDesc = nullptr;      // "main.cfg", owned by the description cache
    FormDesc* filterDesc = nullptr;      // "MainFilt.cfg", owned by the description cache
    DbFilter filter;                     // the active filter
    IconStrip strip;                     // the current patient's images, right
    MainStripLink stripLink;             // the strip's owner
    wchar_t stateTexts[3][kStateChars] = {};   // "Read Success", "Error", "Reading was interrupted by user"
    bool firstLoad = true;               // the next load runs even when the filter form is cancelled
    bool filterFormOpen = false;         // no second filter form while one is open

    // The index of the button in the column, or -1.
    int IndexOf(const DButton* button) const;
};

extern MainWindowState gMain;

void SetMainStatusPart(int part, const wchar_t* text);
// Keeps the list's column widths in the description for the next pass.
void KeepListColumnWidths(DListView& list, DbFormDesc& desc);
// The settings broadcast (0x8001): button and status-bar fonts.
void OnMainSettingChange(const FontChangeNotice* notice);
