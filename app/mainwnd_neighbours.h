// What the main patient window calls beyond its own code and beyond the image
// strip and the notes: the main image panel's handle and active picture,
// plug-ins (app/plugins.h), the About box (app/aboutbox.h), the Modality
// dialog (app/modalitydlg.h), and the commands of printing and data exchange.
// The commands whose windows live above the shell run through its service
// tables (app/exchangeservices.h, app/printservices.h); a command without its
// window says "This command is not available yet." (ShowNotAvailableYet).
#pragma once

#include "app/aboutbox.h"
#include "app/modalitydlg.h"
#include "app/plugins.h"
#include "images/pixels/picture.h"

#include <windows.h>
#include <stdint.h>

// ---- the main image panel ----------------------------------------------------
// (images/mainviewwnd.h: CreateMainView, DestroyMainView, ShowMainView,
// ShowMainViewRefresh, RunPrepareSnimokDlg)

// The panel's window, or null.
HWND MainViewHandle();
// The picture of the panel's active view, or an empty handle.
DPicturePtr ActiveViewPicture();
// The display look-up table of the panel's active view, or null.
const uint8_t* ActiveViewTable();

// ---- commands without a window: each says that it is not available ----------
// (printing's commands: app/printservices.h; the data exchange's:
// app/exchangeservices.h)

class ReportDesc;
void RunScanDbWindow(HWND owner);                 // synchronisation window (app/exchangeservices.h)
void OpenMergeWindow(HWND owner);                 // merge window (app/exchangeservices.h)

