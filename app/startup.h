// The program's entry and exit: preparing the process, the cycle requests
// (quit, restart) and the end, which may shut Windows down.
//
// Start-up runs in this order (app/main.cpp): InitCom -> SetApplicationLocale
// -> hInstance -> InitProcess -> CheckSingleInstance -> SetDefaultDirectory ->
// JournalInit -> CheckDisplay -> RunInitTable -> RunMainLoop -> Shutdown ->
// ExitProgram. A failure before the table leaves nothing to undo but COM, the
// mutex and the journal, which ExitProgram closes.
//
// Everything here runs on the main thread, except the crash filter and the
// terminate handler, which run on whichever thread fails.
#pragma once

#include "foundation/globals.h"

#include <objidl.h>
#include <windows.h>

// Exit actions (CurrentExitAction, ConfiguredExitAction).
const DWORD kExitNone = 0x80000000;
const DWORD kExitShutdown = EWX_SHUTDOWN;   // 1
const DWORD kExitPowerOff = EWX_POWEROFF;   // 8
const DWORD kExitLogoff = EWX_LOGOFF;       // 0

extern DWORD CurrentExitAction;      // what happens to Windows at the end; kExitNone at first
extern DWORD ConfiguredExitAction;   // "ExitFlag" as read, kept apart from the current one
extern BOOL MainLoopEnded;           // the main window's message loop has ended
extern BOOL RestartRequested;        // the main cycle is to run again
extern BOOL EjectRequested;          // the database disk is to be ejected before the next pass
extern HANDLE InstanceMutex;         // the named mutex "Tobal Fluoro"
extern IMalloc* ComAllocator;        // the task allocator, held from InitCom to ReleaseCom

// COM for the multithreaded apartment and the task allocator; FALSE (and
// nothing held) when either fails.
BOOL InitCom();
void ReleaseCom();

// The application locale takes the thread's locale; the thread's locale and
// user-interface language are then set from it, so that string-table texts
// and locale formats follow one choice.
void SetApplicationLocale();

// The user name and the administrator check, the platform flag, the error
// mode, the crash filter and the terminate handler.
void InitProcess();

// Sets IsAdministrator when the user name (length characters) is one of the
// built-in administrators or is listed in the value "AdminUsers" (REG_SZ or
// REG_MULTI_SZ) of the settings key (OpenSettingsKey), compared whole and
// ignoring case.
void CheckAdminUser(const wchar_t* name, int length);

// The name of an exception code as the crash filter reports it.
const wchar_t* ExceptionName(DWORD code);
// The journal record of a fatal failure: a beep and "Exception in program"
// with the code. Returns the code's name.
const wchar_t* RecordFatalException(DWORD code);

// The code recorded for a C++ exception that left a thread (std::terminate).
const DWORD kTerminateCode = 0xE06D7363;

namespace App {
// The crash filter (SetUnhandledExceptionFilter): records the failure and
// ends the process through the fatal-exit function.
LONG WINAPI UnhandledExceptionFilter(EXCEPTION_POINTERS* pointers);
// The terminate handler: the same record as the crash filter.
[[noreturn]] void TerminateHandler();
}  // namespace App

// How the process ends after a fatal failure: FatalAppExitW(0, name) unless
// a test replaced it. The function must not return.
typedef void (*FatalExitFunction)(const wchar_t* name);
FatalExitFunction SetFatalExitFunction(FatalExitFunction function);

// FALSE when another instance holds the mutex "Tobal Fluoro" (or it cannot
// be made); TRUE with InstanceMutex held.
BOOL CheckSingleInstance();
// SetCurrentDirectoryW to "DefDir" of the settings key (OpenSettingsKey)
// when it is set; any failure leaves the current folder as it was.
void SetDefaultDirectory();
// IsSmallScreen and IconSize from the screen width; FALSE (after a journal
// record) when the display cannot be read or has fewer than 16 bits per pixel.
BOOL CheckDisplay();

// Destroys the journal viewer, then undoes the initialization table.
void Shutdown();
// ShutdownIfRequested, the mutex closed, COM released, exit(code).
[[noreturn]] void ExitProgram(int code);
// Carries out CurrentExitAction unless it is kExitNone, then closes the journal.
void ShutdownIfRequested();
// SeShutdownPrivilege on NT, then the exit-windows function with
// CurrentExitAction; a failure is recorded as "Shutdown".
void ShutdownWindows();

// How Windows is shut down, powered off or logged off: ExitWindowsEx unless
// a test replaced it (under Wine ExitWindowsEx ends every process of the
// prefix). Returns the previous function.
typedef BOOL (*ExitWindowsFunction)(UINT flags, DWORD reason);
ExitWindowsFunction SetExitWindowsFunction(ExitWindowsFunction function);

// Posts WM_QUIT (exit code 0) unless the main loop has ended already; 1.
int RequestQuit();
// Sets RestartRequested, then RequestQuit; 1.
int RequestRestart();

// Fills 256 four-byte entries (RGBQUAD order) of a brightness curve: entry i
// (or 255 - i when `reverse`) gets {i, max(0, i - width / 2), max(0, i - width)}
// in its first three bytes; the fourth is left as it was. Returns 256.
// Nothing in the program calls it.
int MakeBrightnessCurve(BYTE* table, int width, BOOL reverse);
