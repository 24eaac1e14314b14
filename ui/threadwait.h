// Waiting on a thread that other threads' windows talk to.
#pragma once

#include <windows.h>

// Waits until one of the handles is signalled or the time-out passes, while
// the calling thread goes on answering the messages other threads send to its
// windows (it dispatches no posted message and no input). A window on another
// thread that sends to this thread's windows, as activation and ownership do,
// can then never deadlock with the wait. The result is WaitForMultipleObjects':
// WAIT_OBJECT_0 + i, WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitAnsweringSent(DWORD count, const HANDLE* handles, DWORD timeout);
inline DWORD WaitAnsweringSent(HANDLE handle, DWORD timeout)
{
    return WaitAnsweringSent(1, &handle, timeout);
}

// The same wait for a window's own thread: it also paints the thread's
// windows meanwhile, so a wait of seconds never leaves them blank or
// half-drawn. Still no posted message and no input is dispatched, so no
// command of the waiting window can run inside the wait.
DWORD WaitKeepingPainted(DWORD count, const HANDLE* handles, DWORD timeout);
inline DWORD WaitKeepingPainted(HANDLE handle, DWORD timeout)
{
    return WaitKeepingPainted(1, &handle, timeout);
}
