#include "app/mainloop.h"

#include "app/connectwnd.h"
#include "app/mainpatientwnd.h"
#include "app/settings.h"
#include "app/cycledialogs.h"
#include "app/settingsdlg.h"
#include "app/startup.h"
#include "database/dbstart.h"
#include "foundation/messages.h"
#include "resources/strings.h"
#include "ui/window_errors.h"

namespace {

BOOL ProgramLoadSettings()
{
    return LoadSettings();
}

BOOL ProgramCreateMainWindow()
{
    return MainPatientWindow::Create();
}

void ProgramDestroyMainWindow()
{
    MainPatientWindow::Destroy();
}

int ProgramMessageLoop()
{
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1)
            break;
        TranslateMessage(&msg);
        DispatchMessageShowing(msg);
    }
    return got == 0 ? static_cast<int>(msg.wParam) : -1;
}

int ProgramAskSetUp()
{
    return MessageBoxId(nullptr, IDS_SETUP_PROGRAM, MB_YESNO | MB_ICONQUESTION);
}

void ProgramShowSettingsDialog()
{
    ShowSettingsDialog(nullptr, SettingsOpener::kBeforePass);
}

int ProgramEjectDiskDialog()
{
    return RunEjectDiskDlg(nullptr);
}

}  // namespace

const MainCycleSteps kProgramCycleSteps = {
    ProgramLoadSettings,      WaitForArchiveServer,     DbStart,
    DbClose,                  ProgramCreateMainWindow,  ProgramDestroyMainWindow,
    ProgramMessageLoop,       ProgramAskSetUp,          ProgramShowSettingsDialog,
    ProgramEjectDiskDialog,
};

void RunMainLoop(const MainCycleSteps& steps)
{
    for (;;) {
        if (steps.loadSettings() && steps.waitForDiskService() && steps.dbStart()) {
            if (steps.createMainWindow()) {
                steps.runMessageLoop();
                MainLoopEnded = TRUE;
                steps.destroyMainWindow();
            }
            steps.dbClose();
            if (!RestartRequested)
                return;
            if (EjectRequested && steps.runEjectDiskDialog() == 0)
                return;
            RestartRequested = FALSE;
            MainLoopEnded = FALSE;
            EjectRequested = FALSE;
            continue;
        }
        if (!IsAdministrator || steps.askSetUp() != IDYES)
            return;
        steps.showSettingsDialog();
    }
}
