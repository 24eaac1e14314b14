// The workstation program's entry: start-up, the main cycle and the end, in
// the order app/startup.h describes. The work is done by the appcore library.
#include "app/inittable.h"
#include "app/mainloop.h"
#include "app/startup.h"
#include "foundation/journal.h"

#include <windows.h>

static_assert(sizeof(void*) == 4, "the workstation is a 32-bit program");
#ifndef UNICODE
#error "the workstation is built for the Unicode Win32 API"
#endif

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    if (!InitCom())
        return -1;
    SetApplicationLocale();
    hInstance = instance;
    InitProcess();
    if (!CheckSingleInstance()) {
        // Another instance runs: end silently, leaving it alone.
        ShutdownIfRequested();
        ReleaseCom();
        return 0;
    }
    SetDefaultDirectory();
    if (!JournalInit())
        ExitProgram(0);
    if (!CheckDisplay())
        ExitProgram(0);
    if (RunInitTable()) {
        RunMainLoop();
        Shutdown();
    }
    ExitProgram(0);
}
