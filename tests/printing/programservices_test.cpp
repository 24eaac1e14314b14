// The commands printing gives the program: the shell's service menu and
// Print button, the report menu, the note window's and the image panel's
// Print reach printing through their service tables, as the program fills
// them, and the initialization table registers printing's windows.
#include "fake_spooler.h"
#include "print_fixture.h"

#include "app/notesnimok.h"
#include "app/printservices.h"
#include "common/prompt_script.h"
#include "images/viewer/viewerservices.h"
#include "printing/printerprofile.h"
#include "printing/printstatewnd.h"
#include "printing/reportprint.h"
#include "printing/sheetprint.h"
#include "printing/statusprinterwnd.h"
#include "resources/resource.h"

using namespace printtest;

namespace {

// Runs the command and reports which dialog it opened (by a control it
// has), closing it.
int DialogOpenedBy(void (*command)(HWND))
{
    int found = 0;
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        for (int control : {IDC_FONT_LIST, IDC_REPORT_LIST, IDC_HEADER_COMPANY1, IDC_PROFILE_LIST})
            if (GetDlgItem(dialog, control))
                found = control;
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    command(nullptr);
    EXPECT_TRUE(driver.Done());
    return found;
}

}  // namespace

TEST(ProgramServices, ServiceMenuCommandsOpenPrintingsDialogs)
{
    PrivateSettings settings;
    EXPECT_EQ(IDC_FONT_LIST, DialogOpenedBy(OpenFontsDialog));
    EXPECT_EQ(IDC_REPORT_LIST, DialogOpenedBy(OpenReportsDialog));
    EXPECT_EQ(IDC_HEADER_COMPANY1, DialogOpenedBy(OpenPrintHeaderDialog));
    EXPECT_EQ(IDC_PROFILE_LIST, DialogOpenedBy(ChooseReportPrinter));
    EXPECT_EQ(IDC_PROFILE_LIST, DialogOpenedBy(OpenPrinterProfiles));
    GetPrinterProfiles().Clear();
}

TEST(ProgramServices, ImagePanelChoosesThePictureSheetsProfile)
{
    EXPECT_EQ(&ChooseSnimokProfile, GetViewerServices().chooseSnimokProfile);
}

TEST(ProgramServices, EveryPrintingEntryIsFilledAndNoneSaysItIsNotAvailable)
{
    const PrintServices& print = GetPrintServices();
    EXPECT_TRUE(print.runPrintHeaderDlg && print.runReportsDlg && print.runFontsDlg && print.chooseReportProfile &&
                print.editPrinterProfiles);
    EXPECT_EQ(&PrintReportFromMenu, print.printReport);
    EXPECT_EQ(&ShowStatusPrinterWnd, print.showStatusPrinterWnd);
    EXPECT_EQ(&StatusPrinterWnd::RegisterClass, print.registerStatusPrinterWnd);
    EXPECT_EQ(&DocPrintStateWnd::RegisterClass, print.registerPrintStateWnd);
    EXPECT_TRUE(print.unregisterStatusPrinterWnd && print.unregisterPrintStateWnd);
    EXPECT_EQ(&PrintSnimokWithCfg, GetViewerServices().printSnimokWithCfg);
    // The note window's Print prints the default sheet: put back after a look.
    NotePrintFunction note = SetNotePrintFunction(nullptr);
    EXPECT_EQ(&StartDefaultPrintJob, note);
    SetNotePrintFunction(note);
}

TEST(ProgramServices, ShowPrinterStatusOpensTheStatusWindow)
{
    InputClasses classes;
    PrivateSettings settings;
    FakeSpooler spooler;
    spooler.AddQueue(L"Fake Laser");
    ASSERT_TRUE(RegisterPrinterStatusClass()) << "the initialization table's row";
    OpenPrinterStatus(nullptr);
    HWND window = harness::FindOwnWindow(StatusPrinterWnd::kClassName);
    ASSERT_TRUE(window);
    EXPECT_EQ(window, GetStatusPrinterWnd().GetHwnd());
    EXPECT_TRUE(IsWindowVisible(window));
    UnregisterPrinterStatusClass();
    EXPECT_FALSE(IsWindow(window)) << "the window goes with its class";
}
