#include "app/cycledialogs.h"

#include "app/cycleservices.h"
#include "app/mainmenus.h"
#include "foundation/messages.h"
#include "resources/strings.h"

int RunEjectDiskDlg(HWND owner)
{
    const CycleServices& services = GetCycleServices();
    return services.runEjectDiskDialog ? services.runEjectDiskDialog(owner) : 1;
}

// Here rather than with the menus: the strip and the note window use it too,
// and programs that link them without the main window's menus get it alone.
void ShowNotAvailableYet(HWND owner)
{
    MessageBoxIdCaption(owner, IDS_NOT_AVAILABLE_YET, IDS_NOT_AVAILABLE_CAPTION, MB_OK | MB_ICONINFORMATION);
}
