// What the shell asks of the data exchange, declared here and filled in by
// it: the shell never includes a header of exchange/.
//
// One process-wide ExchangeServices record of function pointers, the shape
// of printing's table (app/printservices.h). The data exchange fills it when
// the program is linked with it (exchange/imagefiles/programservices.cpp,
// compiled into the program itself); tests fill it their own way. The
// shell's commands below run an entry, or say that the command is not
// available when the entry is empty.
#pragma once

#include "images/pixels/picture.h"

#include <windows.h>
#include <stdint.h>

struct ExchangeServices {
    // The merge window ("Merge databases"), modal over the owner, which
    // stays enabled; returns when the window is closed.
    void (*runImportDbWnd)(HWND owner);
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
    // The synchronisation window ("Archiving"), modal over the owner, which
    // stays enabled; returns when the window is closed.
    void (*runScanDbWindow)(HWND owner);
};

const ExchangeServices& GetExchangeServices();
// Installs a table; returns the one it replaces. ExchangeServices{} empties it.
ExchangeServices SetExchangeServices(const ExchangeServices& services);

// The shell's data-exchange commands, each through its entry: an imported
// picture (or an empty handle), the export of a picture with the table of
// the view that shows it (or null), the DICOM queue window.
DPicturePtr ImportPicture(HWND owner, DWORD patientKey, int flag);
void ExportPicture(HWND owner, const DPicturePtr& picture, const uint8_t* table);
void ShowDicomStatus(HWND owner);
// Lets the data exchange release what it holds of COM (at the end; nothing
// without the entry).
void ReleaseExchange();
