#include "printing/threadwait.h"

DWORD WaitAnsweringSent(DWORD count, const HANDLE* handles, DWORD timeout)
{
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD left = INFINITE;
        if (timeout != INFINITE) {
            const DWORD spent = GetTickCount() - start;
            left = spent >= timeout ? 0 : timeout - spent;
        }
        const DWORD result = MsgWaitForMultipleObjects(count, handles, FALSE, left, QS_SENDMESSAGE);
        if (result != WAIT_OBJECT_0 + count)
            return result;
        // Answers the messages sent to this thread; removes nothing posted.
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
