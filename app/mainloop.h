// The main cycle: the program's restartable core.
//
// Each pass: settings loaded -> disk service reached -> database open ->
// main window -> message loop -> window destroyed -> database closed -> the
// cycle flags decide: stop, eject the database disk first, or run again.
// A pass that cannot start (settings, disk service or database) offers an
// administrator the settings dialog ("Do you wish to set up the program?")
// and then runs again; anyone else, or No, ends the program. A failed start
// of the database is not followed by DbClose; a pass whose main window could
// not be created still closes the database.
#pragma once

#include <windows.h>

// The steps of a pass, replaceable as a whole (tests run the cycle on fakes).
struct MainCycleSteps {
    BOOL (*loadSettings)();
    BOOL (*waitForDiskService)();
    BOOL (*dbStart)();
    BOOL (*dbClose)();
    BOOL (*createMainWindow)();   // TRUE when the main window exists
    void (*destroyMainWindow)();
    int (*runMessageLoop)();      // until WM_QUIT
    int (*askSetUp)();            // the answer to string 159 (IDYES / IDNO)
    void (*showSettingsDialog)();
    int (*runEjectDiskDialog)();  // 0: the program is to end
};

// The program's steps.
extern const MainCycleSteps kProgramCycleSteps;

// Runs passes until the program is to end.
void RunMainLoop(const MainCycleSteps& steps = kProgramCycleSteps);
