#include "app/viewerservices.h"

#include "app/iconsbar.h"
#include "app/mainmenus.h"
#include "app/mainpatientwnd.h"
#include "app/notesnimok.h"
#include "app/patientcard.h"
#include "images/viewer/viewerservices.h"

#include <new>

namespace {

int RunImageStrip(HWND owner, DWORD patientKey, int x, int y, int flags)
{
    return IconsBar::Run(owner, patientKey, x, y, flags);
}

// A view without a note object (no memory) opens no note.
SnimokNote* NewNote()
{
    return new (std::nothrow) NoteSnimokWnd;
}

}  // namespace

void InstallViewerServices()
{
    ViewerServices services = GetViewerServices();
    services.showMainPatientWindow = ShowMainPatientWindow;
    services.openPatientCard = OpenPatientCard;
    services.setNoteFromTemplateMenu = SetNoteFromTemplateMenu;
    services.showServiceMenu = ShowServiceMenu;
    services.runImageStrip = RunImageStrip;
    services.newNote = NewNote;
    SetViewerServices(services);
}

void RemoveViewerServices()
{
    ViewerServices services = GetViewerServices();
    services.showMainPatientWindow = nullptr;
    services.openPatientCard = nullptr;
    services.setNoteFromTemplateMenu = nullptr;
    services.showServiceMenu = nullptr;
    services.runImageStrip = nullptr;
    services.newNote = nullptr;
    SetViewerServices(services);
}
