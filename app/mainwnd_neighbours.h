// What the main patient window calls beyond its own code and beyond the image
// strip and the notes: the main image panel's handle and active picture,
// plug-ins (app/plugins.h), the About box (app/aboutbox.h), the Modality
// dialog (app/modalitydlg.h), printing's commands (app/printservices.h) and
// the commands of data exchange. The program has none of data exchange's
// windows yet: each of its commands says "This command is not available
// yet." (ShowNotAvailableYet).
#pragma once

#include "app/aboutbox.h"
#include "app/modalitydlg.h"
#include "app/plugins.h"
#include "images/pixels/picture.h"

#include <windows.h>

// ---- the main image panel ----------------------------------------------------
// (images/mainviewwnd.h: CreateMainView, DestroyMainView, ShowMainView,
// ShowMainViewRefresh, RunPrepareSnimokDlg)

// The panel's window, or null.
HWND MainViewHandle();
// The picture of the panel's active view, or an empty handle.
DPicturePtr ActiveViewPicture();

// ---- commands without a window: each says that it is not available ----------
// (printing's commands: app/printservices.h)

class ReportDesc;
void RunScanDbWindow(HWND owner);                 // synchronisation window
void RunImportDbWnd(HWND owner);                  // merge window
// An imported picture, or an empty handle.
DPicturePtr ImportImageFile(HWND owner, DWORD patientKey, int flag);
void ExportImage(HWND owner, const DPicturePtr& picture);
void ShowDicomQueueWindow(HWND owner);
