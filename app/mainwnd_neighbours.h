// What the main patient window calls beyond its own code and beyond the image
// strip and the notes: the main image panel's handle and active picture,
// plug-ins, the About box, and the commands of printing, data exchange and
// the settings dialogs. The program has none of those commands' windows: each
// says "This command is not available yet." (ShowNotAvailableYet), and the
// plug-in loader loads none.
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

class ReportDesc;
void RunScanDbWindow(HWND owner);                 // synchronisation window
void RunImportDbWnd(HWND owner);                  // merge window
void ChooseReportProfile(HWND owner);             // printer profile for reports
void PrintReportFromDesc(HWND owner, ReportDesc* report);   // the report's filters, then the report
void ShowAboutBox(HWND owner);
void ShowStatusPrinterWnd(HWND owner);
void RunPrintHeaderDlg(HWND owner);
void RunReportsDlg(HWND owner);
void RunFontsDlg(HWND owner);
void RunModalityDlg(HWND owner);

// ---- the data exchange's commands (app/exchangeservices.h) -------------------
// The shell's doors to the import, the export and the DICOM queue window;
// each says that it is not available while the data exchange has not
// filled its entry.

// An imported picture, or an empty handle.
DPicturePtr ImportPicture(HWND owner, DWORD patientKey, int flag);
// `table`: the look-up table of the view that shows the picture, or null.
void ExportPicture(HWND owner, const DPicturePtr& picture, const uint8_t* table);
void ShowDicomStatus(HWND owner);
// Lets the data exchange release what it holds of COM (at the end).
void ReleaseExchange();
