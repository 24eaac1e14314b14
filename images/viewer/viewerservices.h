// What the viewer asks of the application shell and of printing, declared
// here and filled in by them: the viewer never includes a header of theirs.
//
// The table is one process-wide ViewerServices record of function pointers.
// The shell fills its entries at start-up (InstallViewerServices, app/) when
// the main image panel's class is registered, and empties them when the class
// goes; tests put recording entries in their place. An empty entry is a
// service the program does not have: the command that would call it does
// nothing. The picture print job fills the two print entries.
//
// Beside it sit the other two seams of the viewer: SnimokHost (viewhost.h),
// through which the views reach their panel, and ViewerStore
// (viewerstore.h), through which the panel reaches the image records.
#pragma once

#include <windows.h>
#include <stdint.h>

class DPicture;
class SnimokWnd;

// The note (description) window of an image, as every image view holds it:
// NoteSnimokWnd of the shell is one. The view makes it through
// ViewerServices::newNote, opens it with Create and closes it with Destroy
// whenever its picture changes or its window goes.
class SnimokNote {
public:
    virtual ~SnimokNote() = default;
    // Opens the note of the image over the owner, editable or read-only;
    // false when its window exists already or cannot be made. Throws
    // DODBErrors when the note cannot be read.
    virtual bool Create(HWND owner, bool editable, DWORD imageKey, DWORD patientKey) = 0;
    // Offers an edited note for saving, then destroys the window (nothing
    // without one).
    virtual void Destroy() = 0;
    // The note's window; null while it is closed.
    virtual HWND GetHwnd() const = 0;
};

// A picture as the view shows it, for printing.
struct PrintSnimokRequest {
    SnimokWnd* view;
    const uint8_t* bits;   // the view's render buffer
    int width, height;     // the view's size
    int ask;               // 1: the print settings dialog first
    DPicture* picture;
};

struct ViewerServices {
    // ---- the application shell ----
    // Shows the main patient window again (the panel's Exit).
    void (*showMainPatientWindow)();
    // The record card of the patient of *key, modal over the owner (Pat Info);
    // the panel reads the patient again afterwards.
    int (*openPatientCard)(HWND owner, DWORD* key, int recordId);
    // The diagnosis templates as a popup menu at a screen point; the chosen
    // one becomes the image's description (Description, right click).
    void (*setNoteFromTemplateMenu)(HWND owner, DWORD imageKey, int x, int y);
    // The service menu at a client point of the owner, and its command
    // (right click on the panel's caption icon).
    void (*showServiceMenu)(HWND owner, int x, int y, int flag);
    // The patient's image strip window at a point, with its own message loop
    // (left click on the panel's caption icon).
    int (*runImageStrip)(HWND owner, DWORD patientKey, int x, int y, int flags);
    // A new note window object for an image view, which owns it.
    SnimokNote* (*newNote)();

    // ---- printing ----
    // Prints the picture as the view shows it with the picture print settings.
    void (*printSnimokWithCfg)(HWND owner, const PrintSnimokRequest* request);
    // The printer profile of the picture print job.
    void (*chooseSnimokProfile)(HWND owner);
};

const ViewerServices& GetViewerServices();
// Installs a table; returns the one it replaces. ViewerServices{} empties it.
ViewerServices SetViewerServices(const ViewerServices& services);
