// The worker's watched steps: see syncsteps.h.
#include "exchange/sync/syncsteps.h"

#include <windows.h>

namespace {

// Guarded by gLock; set by tests before a worker runs, read by the worker.
SyncStepObserver gObserver = nullptr;
void* gContext = nullptr;
SRWLOCK gLock = SRWLOCK_INIT;

}  // namespace

void SetSyncStepObserver(SyncStepObserver observer, void* context)
{
    AcquireSRWLockExclusive(&gLock);
    gObserver = observer;
    gContext = context;
    ReleaseSRWLockExclusive(&gLock);
}

void ReachSyncStep(SyncStep step)
{
    AcquireSRWLockShared(&gLock);
    const SyncStepObserver observer = gObserver;
    void* context = gContext;
    ReleaseSRWLockShared(&gLock);
    if (observer)
        observer(step, context);   // outside the lock: it may wait
}
