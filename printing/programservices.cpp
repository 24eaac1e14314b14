// Printing's commands for the shell and the image panel, installed into
// their service tables (app/printservices.h, images/viewer/viewerservices.h)
// and the note window's print (app/notesnimok.h) when the program starts.
// This file is compiled into the program itself, not into the printing
// library: linking the program with printing is what gives its menus these
// commands (tests fill the tables their own way).
#include "app/notesnimok.h"
#include "app/printservices.h"
#include "images/viewer/viewerservices.h"
#include "printing/configdialogs.h"
#include "printing/printerprofile.h"
#include "printing/printstatewnd.h"
#include "printing/reportprint.h"
#include "printing/sheetprint.h"
#include "printing/statusprinterwnd.h"

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
        print.printReport = PrintReportFromMenu;
        print.showStatusPrinterWnd = ShowStatusPrinterWnd;
        print.registerStatusPrinterWnd = StatusPrinterWnd::RegisterClass;
        print.unregisterStatusPrinterWnd = StatusPrinterWnd::UnregisterClass;
        print.registerPrintStateWnd = DocPrintStateWnd::RegisterClass;
        print.unregisterPrintStateWnd = DocPrintStateWnd::UnregisterClass;
        SetPrintServices(print);
        ViewerServices viewer = GetViewerServices();
        viewer.chooseSnimokProfile = ChooseSnimokProfile;
        viewer.printSnimokWithCfg = PrintSnimokWithCfg;
        SetViewerServices(viewer);
        SetNotePrintFunction(StartDefaultPrintJob);
    }
};

const InstallPrinting gInstall;

}  // namespace
