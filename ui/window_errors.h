// Exceptions raised inside window procedures.
//
// A C++ exception must never unwind through a window procedure: the frames
// between DispatchMessageW (or CreateWindowExW) and our procedure belong to
// the system, and on Wine they are not even C++ frames, so an exception
// crossing them is lost or ends the process. Every window procedure and every
// callback trampoline of the program therefore catches everything, keeps the
// exception in a per-thread slot with KeepWindowException and returns a safe
// value (-1 from WM_CREATE, FALSE from WM_NCCREATE, 0 otherwise).
//
// Who takes it:
// - the creation functions (CreateWindowFromDesc, DWindow::CreateEx) rethrow an
//   exception kept while their window was being created, after the creation
//   slot is empty again; so an exception from WM_CREATE reaches the creator,
//   also through nested creations;
// - the program's message loops (its main loop and every modal loop) dispatch
//   with DispatchMessageShowing: an exception kept while a message was
//   dispatched is shown to the user at once, over the window the message was
//   for, and the loop goes on. So a failed command says so when it fails, and
//   nothing kept surfaces later somewhere else;
// - RunMessageLoop and DispatchMessageChecked rethrow it instead, for callers
//   that handle it themselves (the custom message box ends and says
//   "Unhandled exception").
// Only the first exception kept is held; later ones (usually consequences of
// the first) are dropped until it has been taken.
#pragma once

#include <windows.h>

#include <exception>

// Keeps the exception being handled; call only inside a catch block.
void KeepWindowException() noexcept;

// Whether this thread holds a kept exception.
bool HasWindowException() noexcept;

// Takes the kept exception out of the slot (null when none).
std::exception_ptr TakeWindowException() noexcept;

// Puts an exception taken earlier back into the slot (when it is empty).
void RestoreWindowException(std::exception_ptr e) noexcept;

// Rethrows the kept exception, if any, and empties the slot.
void RethrowWindowException();

// Dispatches one message and rethrows what its window procedure kept.
LRESULT DispatchMessageChecked(const MSG& msg);

// Shows an exception to the user, with `owner` as the prompt's owner. The
// program installs one that knows the exceptions of every layer; the one in
// place before that knows the foundation's (MsgExcept, string-table ids, 0 for
// "already shown") and says "Unhandled exception" for anything else.
typedef void (*WindowExceptionShower)(HWND owner, std::exception_ptr e);
// Installs a shower (null: the foundation's); returns the one it replaces.
WindowExceptionShower SetWindowExceptionShower(WindowExceptionShower shower);
// Shows an exception through the installed shower.
void ShowWindowException(HWND owner, std::exception_ptr e);

// Dispatches one message; an exception its window procedure kept is taken
// and shown at once over the message window's top-level window (the fallback
// owner when that window is gone). True when one was shown.
bool DispatchMessageShowing(const MSG& msg, HWND fallbackOwner = nullptr);

// Runs a GetMessageW loop until WM_QUIT (returning its exit code) or until a
// window procedure keeps an exception (rethrown here). Modal windows run it
// while their owner is disabled.
int RunMessageLoop();

// The value a window procedure returns for a message whose handler threw.
inline LRESULT FailedMessageResult(UINT message)
{
    return message == WM_CREATE ? -1 : 0;   // WM_NCCREATE: FALSE, everything else 0
}
