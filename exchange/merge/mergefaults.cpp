// Process-wide failure injection of the merge: see mergefaults.h.
#include "exchange/merge/mergefaults.h"

#include "database/dberrors.h"
#include "database/dbstatement.h"
#include "resources/strings.h"

namespace {

struct Injection {
    MergeStep step;
    DWORD code;
    int skip;
    MergeStepObserver observer;
    void* context;
};

// Guarded by gLock; set by tests before a merge runs, read by the worker.
Injection gInjection = {MergeStep::None, 0, 0, nullptr, nullptr};
SRWLOCK gLock = SRWLOCK_INIT;

}  // namespace

void InjectMergeFailure(MergeStep step, DWORD code, int skip)
{
    AcquireSRWLockExclusive(&gLock);
    gInjection.step = step;
    gInjection.code = code;
    gInjection.skip = skip < 0 ? 0 : skip;
    ReleaseSRWLockExclusive(&gLock);
}

void SetMergeStepObserver(MergeStepObserver observer, void* context)
{
    AcquireSRWLockExclusive(&gLock);
    gInjection.observer = observer;
    gInjection.context = context;
    ReleaseSRWLockExclusive(&gLock);
}

bool MergeStepFails(MergeStep step, DWORD* code)
{
    AcquireSRWLockExclusive(&gLock);
    MergeStepObserver observer = gInjection.observer;
    void* context = gInjection.context;
    bool fails = false;
    DWORD injected = 0;
    if (gInjection.step != MergeStep::None && gInjection.step == step) {
        if (gInjection.skip > 0) {
            --gInjection.skip;
        } else {
            fails = true;
            injected = gInjection.code;
            gInjection.step = MergeStep::None;
        }
    }
    ReleaseSRWLockExclusive(&gLock);
    if (observer)
        observer(step, context);   // outside the lock: it may wait
    if (fails) {
        if (code)
            *code = injected;
        SetLastError(injected);
    }
    return fails;
}

void ThrowIfInjected(MergeStep step, const wchar_t* source)
{
    DWORD code = 0;
    if (!MergeStepFails(step, &code))
        return;
    const HRESULT hr = code ? (HRESULT)code : E_FAIL;
    DODBSetError(hr, IDS_DB_EXECUTE_COMMAND, source);
    ThrowDatabaseError(hr);
}
