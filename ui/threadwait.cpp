#include "ui/threadwait.h"

namespace {

// The milliseconds left of `timeout` begun at `start` (INFINITE stays so).
DWORD TimeLeft(DWORD start, DWORD timeout)
{
    if (timeout == INFINITE)
        return INFINITE;
    const DWORD spent = GetTickCount() - start;
    return spent >= timeout ? 0 : timeout - spent;
}

// Paints what waits to be painted, a bounded number of windows per call. A
// window whose painting leaves its area invalid is validated, so that the
// wait never turns into a loop of paint messages.
void PaintPending()
{
    MSG message;
    for (int i = 0; i < 64 && PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE | PM_QS_PAINT); ++i) {
        DispatchMessageW(&message);
        if (message.hwnd && IsWindow(message.hwnd) && GetUpdateRect(message.hwnd, nullptr, FALSE))
            ValidateRect(message.hwnd, nullptr);
    }
}

}  // namespace

DWORD WaitAnsweringSent(DWORD count, const HANDLE* handles, DWORD timeout)
{
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD result = MsgWaitForMultipleObjects(count, handles, FALSE, TimeLeft(start, timeout), QS_SENDMESSAGE);
        if (result != WAIT_OBJECT_0 + count)
            return result;
        // Answers the messages sent to this thread; removes nothing posted.
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

DWORD WaitKeepingPainted(DWORD count, const HANDLE* handles, DWORD timeout)
{
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD result = MsgWaitForMultipleObjectsEx(count, handles, TimeLeft(start, timeout),
                                                         QS_SENDMESSAGE | QS_PAINT, MWMO_INPUTAVAILABLE);
        if (result != WAIT_OBJECT_0 + count)
            return result;
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        PaintPending();
    }
}
