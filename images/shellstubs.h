// Stand-ins for what the viewer calls in the application shell and in
// printing, each doing the least its callers rely on, until those
// subsystems bring the real ones: the note window, the patient card, the
// image strip, the template and service menus, the main patient window,
// window placements, and picture printing with its printer profile.
//
// Every stand-in notes its call in a short log (StandInCalls), so that the
// viewer's tests can see that a command reached its neighbour.
#pragma once

#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

class DPicture;
class SnimokWnd;

struct StandInCall {
    std::string name;   // the function called
    uint32_t a, b;      // its ids (patient, image), 0 when none
    int x, y;           // its point, 0 when none
    int flag;
};
std::vector<StandInCall>& StandInCalls();

// ---- application shell ----

// The description window of one image; every image view holds one.
class NoteSnimokWnd {
public:
    NoteSnimokWnd() = default;
    ~NoteSnimokWnd();
    NoteSnimokWnd(const NoteSnimokWnd&) = delete;
    NoteSnimokWnd& operator=(const NoteSnimokWnd&) = delete;

    // False when the window exists. Opens the note of the image over the
    // owner, editable ("NoteSnimok") or read-only ("NoteView"), at the
    // placement kept under that name (200, 0, 400 x 600 the first time).
    bool Create(HWND owner, bool editable, uint32_t imageId, uint32_t patientId);
    // Shows another image's note; false (and the window destroyed) when it
    // cannot be loaded.
    bool ChangeSnimok(uint32_t imageId, uint32_t patientId);
    void Destroy();
    HWND GetHwnd() const { return hwnd; }
    uint32_t GetImageId() const { return imageId; }

private:
    HWND hwnd = nullptr;
    bool editable = false;
    uint32_t imageId = 0, patientId = 0;
};

// Placements of the program's windows by name, below the settings key.
void CreateDefaultWindowPlacement(const RECT& rect, const wchar_t* name);
// 0 when none is stored.
int LoadWindowPlacement(RECT& rect, const wchar_t* name);
void SaveWindowPlacement(HWND window, const wchar_t* name);

// Opens the record card of the patient, modal over the owner; -1 always.
int OpenPatientCard(HWND owner, const uint32_t* patientId, int flag);

// Popup of diagnosis templates at the screen point; the choice becomes the
// image's note.
void SetNoteFromTemplateMenu(HWND owner, uint32_t imageId, int x, int y);

// The service menu at a client point of the owner.
void ShowServiceMenu(HWND owner, int x, int y, int flag);
enum ServiceCommand { kServicePrepareSnimok = 1 };
void OnServiceCommand(int command);

// Shows the main patient window again.
void ShowMainPatientWindow();

// The patient's image strip at the point, with its own message loop.
namespace IconsBar {
void Run(HWND owner, uint32_t patientId, int x, int y, int flag);
}

// ---- printing ----

struct PrintSnimokRequest {
    SnimokWnd* view;
    const uint8_t* bits;   // the view's render buffer
    int width, height;     // the view's size
    int ask;               // 1: the print settings dialog first
    DPicture* picture;
};
void PrintSnimokWithCfg(HWND owner, const PrintSnimokRequest* request);
void ChooseSnimokProfile(HWND owner);
