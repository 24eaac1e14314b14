// The archive side's windows for the shell's initialization table, installed
// into its service table (app/archiveservices.h) when the program starts.
// This file is compiled into the program itself, not into the library:
// linking the program with the archive side is what registers the archive
// window and the database disk preparation window at start-up.
#include "app/archiveservices.h"
#include "archive/arjwindow.h"
#include "archive/diskprep.h"

namespace {

struct InstallArchive {
    InstallArchive()
    {
        ArchiveServices services = GetArchiveServices();
        services.registerArjWindow = ArjWindow::RegisterClass;
        services.unregisterArjWindow = ArjWindow::UnregisterClass;
        services.registerPrepDiskWnd = DBDiskPreparation::Register;
        services.unregisterPrepDiskWnd = DBDiskPreparation::Unregister;
        SetArchiveServices(services);
    }
};

const InstallArchive gInstall;

}  // namespace
