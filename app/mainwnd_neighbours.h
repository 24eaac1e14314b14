// What the main patient window calls beyond its own code and beyond the image
// strip and the notes: the main image panel's handle and active picture,
// plug-ins, the About box, and the commands of printing, data exchange and
// the settings dialogs. The commands whose windows live above the shell run
// through its service tables (app/exchangeservices.h, app/printservices.h);
// a command without its window says "This command is not available yet."
// (ShowNotAvailableYet), and the plug-in loader loads none.
#pragma once

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

// ---- plug-ins ------------------------------------------------------------------

void LoadPlugins();
void StartAutoPlugins();
// 1 when the "Plugins" key below the settings key has a plug-in.
int HasPluginMenuItems();
void BuildPluginMenu(HWND owner, int x, int y);

// ---- commands without a window: each says that it is not available ----------
// (printing's commands: app/printservices.h; the data exchange's:
// app/exchangeservices.h)

class ReportDesc;
void RunScanDbWindow(HWND owner);                 // synchronisation window
void OpenMergeWindow(HWND owner);                 // merge window (app/exchangeservices.h)
void ShowAboutBox(HWND owner);
void RunModalityDlg(HWND owner);

