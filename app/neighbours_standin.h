// STAND-INS for what the main patient window calls in parts that are built
// by later work: the patient's image strip and the note window, the main
// image panel's helpers, plug-ins, the About box, and the commands of printing, data
// exchange and the settings dialogs. The strip and the panel do the least the
// window relies on (the strip counts the patient's images; the panel keeps
// the last picture it was given); every command says plainly that it is not
// available yet. Each goes when its own part lands; the names stay.
#pragma once

#include "images/picture.h"

#include <windows.h>

// ---- the image strip ---------------------------------------------------------

// What the strip reports to the window it lives in (operations in this order).
class IconStripOwner {
public:
    virtual int OpenImage(DWORD imageKey, const wchar_t* fileName) = 0;
    virtual void ShowNote(DWORD imageKey, DWORD patientKey) = 0;
    // A key the strip did not use (the main window names it OnStripKey).
    virtual int OnStripKey(WPARAM key) = 0;
    virtual void ImagesCounted(int count) = 0;

protected:
    ~IconStripOwner() = default;
};

// The process-wide strip of the current patient's thumbnails.
class IconStrip {
public:
    static IconStrip& Instance();
    static constexpr int kWidth = 194;   // one thumbnail cell

    int Create(HWND parent, IconStripOwner* owner);
    int Layout(int x, int y, int width, int height);
    // Counts the patient's images and tells the owner; throws DODBErrors.
    int LoadPatient(DWORD patientKey);
    int Reload();
    int Clear();
    void SetFocus();
    void Destroy();
    int Width() const { return kWidth; }
    bool IsLoaded() const { return loaded_; }
    DWORD PatientKey() const { return patient_; }

private:
    int Query();
    HWND parent_ = nullptr;
    IconStripOwner* owner_ = nullptr;
    bool loaded_ = false;
    DWORD patient_ = 0;
};

// The read-only note window of an image, owned by the main window.
void ShowSnimokNote(DWORD imageKey, DWORD patientKey);
void CloseSnimokNote();

// ---- the main image panel ----------------------------------------------------
// (images/mainviewwnd.h: CreateMainView, DestroyMainView, ShowMainView,
// ShowMainViewRefresh, RunPrepareSnimokDlg)

// The panel's window, or null.
HWND MainViewHandle();
// The picture of the panel's active view, or an empty handle.
DPicturePtr ActiveViewPicture();

// ---- plug-ins ------------------------------------------------------------------

void LoadPlugins();
void StartAutoPlugins();
// 1 when the "Plugins" key below the settings key has a plug-in.
int HasPluginMenuItems();
void BuildPluginMenu(HWND owner, int x, int y);

// ---- commands of later parts: each says that it is not available yet -------

class ReportDesc;
void RunScanDbWindow(HWND owner);                 // synchronisation window
void RunImportDbWnd(HWND owner);                  // merge window
void ChooseReportProfile(HWND owner);             // printer profile for reports
void PrintReportFromDesc(HWND owner, ReportDesc* report);   // the report's filters, then the report
void ShowAboutBox(HWND owner);
void ShowStatusPrinterWnd(HWND owner);
void RunPrintHeaderDlg(HWND owner);
// An imported picture, or an empty handle.
DPicturePtr ImportImageFile(HWND owner, DWORD patientKey, int flag);
void ExportImage(HWND owner, const DPicturePtr& picture);
void ShowDicomQueueWindow(HWND owner);
void RunReportsDlg(HWND owner);
void RunFontsDlg(HWND owner);
void RunModalityDlg(HWND owner);
