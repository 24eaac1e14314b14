// Printing's commands for the shell and the image panel, installed into
// their service tables (app/printservices.h, images/viewer/viewerservices.h)
// when the program starts. This file is compiled into the program itself,
// not into the printing library: linking the program with printing is what
// gives its menus these commands (tests fill the tables their own way).
#include "app/printservices.h"
#include "images/viewer/viewerservices.h"
#include "printing/configdialogs.h"
#include "printing/printerprofile.h"

namespace {

void ReportsDialog(HWND owner)
{
    RunReportsDlg(owner);
}

void FontsDialog(HWND owner)
{
    RunFontsDlg(owner);
}

struct InstallPrinting {
    InstallPrinting()
    {
        PrintServices print = GetPrintServices();
        print.runPrintHeaderDlg = RunPrintHeaderDlg;
        print.runReportsDlg = ReportsDialog;
        print.runFontsDlg = FontsDialog;
        print.chooseReportProfile = ChooseReportProfile;
        print.editPrinterProfiles = EditPrinterProfiles;
        SetPrintServices(print);
        ViewerServices viewer = GetViewerServices();
        viewer.chooseSnimokProfile = ChooseSnimokProfile;
        SetViewerServices(viewer);
    }
};

const InstallPrinting gInstall;

}  // namespace
