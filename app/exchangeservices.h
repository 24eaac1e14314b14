// What the shell asks of the data exchange, declared here and filled in by
// it: the shell never includes a header of exchange/.
//
// One process-wide ExchangeServices record of function pointers, the shape
// of the viewer's table (images/viewer/viewerservices.h). The data exchange
// fills it when the program starts (exchange/exchangeservices.h); tests put
// recording entries in its place. An empty entry is a command the program
// does not have: the shell says "This command is not available yet."
#pragma once

#include "images/pixels/picture.h"

#include <windows.h>
#include <stdint.h>

struct ExchangeServices {
    // Imports an ".xmg" or ".bmp" file as a new picture of the patient (0:
    // the file's own patient); `ask` nonzero also takes ".bmp" files and asks
    // whether an ".xmg" file's patient is to be taken. An empty handle when
    // nothing was imported.
    DPicturePtr (*importImageFile)(HWND owner, DWORD patientKey, int ask);
    // Exports the picture as the view shows it through `table` (the view's
    // 65,536-entry look-up table, or null for the picture's own settings).
    void (*exportImage)(const DPicturePtr& picture, HWND owner, const uint8_t* table);
    // The DICOM send queue window, modal over the owner.
    void (*showDicomQueueWindow)(HWND owner);
    // Lets go of what the exchange holds of COM; run before COM ends.
    void (*release)();
};

const ExchangeServices& GetExchangeServices();
// Installs a table; returns the one it replaces. ExchangeServices{} empties it.
ExchangeServices SetExchangeServices(const ExchangeServices& services);
