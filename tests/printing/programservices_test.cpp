// The commands printing gives the program: the shell's service menu and
// Print button and the image panel reach printing's dialogs through their
// service tables, as the program fills them.
#include "print_fixture.h"

#include "app/printservices.h"
#include "common/prompt_script.h"
#include "images/viewer/viewerservices.h"
#include "printing/printerprofile.h"
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

TEST(ProgramServices, CommandsPrintingDoesNotHaveYetSaySo)
{
    PromptScript prompts({IDOK});
    OpenPrinterStatus(nullptr);
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_NE(std::wstring::npos, prompts.Last().text.find(L"not available"));
}
