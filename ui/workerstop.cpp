#include "ui/workerstop.h"

#include "foundation/journal.h"
#include "ui/threadwait.h"

#include <string>

namespace {

const DWORD kSafePointPollMs = 50;   // between looks for a worker that may be terminated

}  // namespace

void WorkerStopGate::Arm()
{
    InterlockedExchange(&state_, kWorking);
}

void WorkerStopGate::BeginUserWait()
{
    InterlockedCompareExchange(&state_, kWaitingUser, kWorking);
}

void WorkerStopGate::EndUserWait()
{
    if (InterlockedCompareExchange(&state_, kWorking, kWaitingUser) != kTerminating)
        return;
    // The window terminates this thread at this moment: not one step more.
    for (;;)
        Sleep(INFINITE);
}

bool WorkerStopGate::TerminateAtUserWait(HANDLE thread, DWORD exitCode, const wchar_t* what)
{
    for (;;) {
        if (InterlockedCompareExchange(&state_, kTerminating, kWaitingUser) == kWaitingUser) {
            // It waits for the user and cannot leave the wait any more
            // (EndUserWait): it holds nothing that its end could harm.
            if (TerminateThread(thread, exitCode)) {
                LogError(0, (std::wstring(what) + L": terminated while it waited for the user").c_str());
                WaitKeepingPainted(thread, INFINITE);
                return true;
            }
            // It stays asleep in EndUserWait, holding nothing: let it be.
            LogCallError(GetLastError(), L"TerminateThread", what);
            return false;
        }
        // Working: it has been asked to stop and ends at its next poll, or
        // comes to a wait for the user.
        const DWORD wait = WaitKeepingPainted(thread, kSafePointPollMs);
        if (wait == WAIT_OBJECT_0)
            return false;
        if (wait != WAIT_TIMEOUT) {
            LogCallError(GetLastError(), L"WaitForSingleObject", what);
            Sleep(kSafePointPollMs);
        }
    }
}

DWORD WaitForWorkerEnd(HANDLE thread, WorkerStopGate& gate, DWORD askEveryMs, const std::function<bool()>& waitOn,
                       DWORD terminatedCode, const wchar_t* what)
{
    bool ended = false;
    for (;;) {
        const DWORD wait = WaitKeepingPainted(thread, askEveryMs);
        if (wait == WAIT_OBJECT_0) {
            ended = true;
            break;
        }
        if (wait != WAIT_TIMEOUT) {
            LogCallError(GetLastError(), L"WaitForSingleObject", what);
            break;
        }
        if (!waitOn())
            break;
    }
    if (!ended)
        gate.TerminateAtUserWait(thread, terminatedCode, what);
    DWORD code = 0;
    if (!GetExitCodeThread(thread, &code) || code == STILL_ACTIVE)
        code = terminatedCode;
    return code;
}
