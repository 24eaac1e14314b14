// The DICOM queue window: the export server's send queue of one target, with
// its entries' attempts and last errors; the user deletes entries or sets an
// entry's attempts back to 0. The service menu's "DICOM статус" opens it.
//
// Dialog 257, made modeless and run by a message loop of its own while the
// owner is disabled (no IsDialogMessage: the dialog has no keyboard
// navigation). States:
//   Run: created -> owner disabled, status "Инициализация" -> connected,
//   targets in the combo box (the first selected), queue in the list, status
//   "Готов" -> loop until "Закрыть" (or the window's close box) posts WM_QUIT
//   -> owner enabled, dialog destroyed, the failure flag returned.
// A failure to connect, to read the targets or the queue sets the failure
// flag and leaves the window with what it could fill (the status then stays
// "Инициализация"). Only the three buttons fill the list again; choosing
// another target does not. The server's answers are checked for their shape
// before they are shown: rows that are no [text, text, number] are left out.
// Each call of the server is bounded (dicomclient.h): the window stays
// painted while it waits, and after a call the server did not answer in time
// it asks the server nothing more until the server answers again (the list
// keeps what it showed).
// A WM_QUIT that the window did not post (the program ends) ends the window
// too and is posted again for the loop outside.
#pragma once

#include <windows.h>

class DicomQueueWindow
{
public:
    // The window's result: 1 when its initialisation failed.
    int Run(HWND owner);

    HWND Dialog() const { return dialog_; }

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND dialog);
    bool OnCommand(WORD id);
    void Initialise();
    // Fills the list with the selected target's queue; false (failure flag
    // set) when the server's answer could not be had.
    bool FillList();
    // The list item's text (at most 255 characters); false when it has none.
    bool ItemText(int item, wchar_t* text);
    void SetStatus(const wchar_t* text);
    void SetStatusId(UINT id);

    int failed_ = 0;            // the window's result
    bool closing_ = false;      // "Закрыть" posted the WM_QUIT
    HWND dialog_ = nullptr;
    HWND status_ = nullptr;     // status line (1166)
    HWND list_ = nullptr;       // queue entries (1264)
};

// Runs the queue window owned by `owner`.
void ShowDicomQueueWindow(HWND owner);
