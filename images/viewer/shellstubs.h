// Stand-ins for what the viewer calls in the application shell and in
// printing, each doing the least its callers rely on, until those
// subsystems bring the real ones: the service menu and the main patient
// window (for the viewer's own tests), and picture printing with its
// printer profile.
//
// Every stand-in notes its call in a short log (StandInCalls), so that the
// viewer's tests can see that a command reached its neighbour.
#pragma once

#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

// The note window, the window placements, the template menu and the image
// strip window are the application shell's own.
#include "app/iconsbar.h"
#include "app/patientcard.h"
#include "app/notesnimok.h"
#include "app/placement.h"

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

// The patient card is the shell's (app/patientcard.h).

// The service menu at a client point of the owner.
void ShowServiceMenu(HWND owner, int x, int y, int flag);
enum ServiceCommand { kServicePrepareSnimok = 1 };
void OnServiceCommand(int command);

// Shows the main patient window again.
void ShowMainPatientWindow();

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
