#include "images/pixels/pixhelpers.h"

#ifdef _WIN32
#include <windows.h>

#include <new>
#endif

int PixelHelpersFor(uint64_t affinity, int most)
{
    int processors = 0;
    for (; affinity != 0; affinity &= affinity - 1)
        ++processors;
    const int helpers = processors - 1;
    return helpers <= 0 ? 0 : helpers < most ? helpers : most;
}

#ifdef _WIN32

namespace {

// The pool, made by the first caller (a function's static: made once, whichever
// threads ask at the same time).
struct HelperPool
{
    TP_CALLBACK_ENVIRON environment;
    int helpers = 0;

    HelperPool()
    {
        // Without the mask the process has no helpers: slower, never wrong.
        DWORD_PTR process = 0, system = 0;
        if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system))
            return;
        const int wanted = PixelHelpersFor(process, kPixelHelpers);
        if (wanted <= 0)
            return;
        PTP_POOL pool = CreateThreadpool(nullptr);
        if (!pool)
            return;
        SetThreadpoolThreadMaximum(pool, (DWORD)wanted);
        if (!SetThreadpoolThreadMinimum(pool, (DWORD)wanted)) {
            CloseThreadpool(pool);
            return;
        }
        InitializeThreadpoolEnvironment(&environment);
        SetThreadpoolCallbackPool(&environment, pool);
        helpers = wanted;
    }
};

HelperPool& Pool()
{
    static HelperPool pool;
    return pool;
}

struct Work
{
    void (*work)(void*);
    void* context;
};

void CALLBACK RunWork(PTP_CALLBACK_INSTANCE, void* parameter)
{
    const Work w = *static_cast<Work*>(parameter);
    delete static_cast<Work*>(parameter);
    w.work(w.context);
}

void CALLBACK SplitHelper(PTP_CALLBACK_INSTANCE, void* parameter);

// One SplitRows: the rows not yet claimed and the bands that helpers run.
// The caller and every helper queued hold a reference, so that a helper that
// starts after the caller has returned finds the block, sees nothing left to
// claim and leaves without calling anything.
//
// Queueing a helper costs its queuer about 25 us under Wine (the wake of a
// pool thread), the time of a few bands: the caller queues one and starts on
// the bands, and each helper queues the next as it starts, while rows are
// left.
struct Split
{
    SRWLOCK lock;
    CONDITION_VARIABLE finished;    // a helper's band is done
    int count;
    int band;
    int next;                       // rows [next, count) are nobody's yet
    int busy;                       // bands that helpers run now
    int unqueued;                   // helpers still to be queued
    void (*rows)(void*, int, int);
    void* context;
    volatile LONG refs;

    void Release()
    {
        if (InterlockedDecrement(&refs) == 0)
            delete this;
    }

    // Queues the next helper while rows are left; the lock is not held.
    void QueueNext()
    {
        AcquireSRWLockExclusive(&lock);
        const bool wanted = unqueued > 0 && next < count;
        if (wanted)
            --unqueued;
        ReleaseSRWLockExclusive(&lock);
        if (!wanted)
            return;
        InterlockedIncrement(&refs);
        if (!TrySubmitThreadpoolCallback(SplitHelper, this, &Pool().environment))
            InterlockedDecrement(&refs);    // the queuer's reference keeps the block
    }

    // Runs bands until none is left; the lock is held on entry and on return.
    void RunBands(bool helper)
    {
        while (next < count) {
            const int from = next;
            const int to = count - from > band ? from + band : count;
            next = to;
            if (helper)
                ++busy;
            ReleaseSRWLockExclusive(&lock);
            rows(context, from, to);
            AcquireSRWLockExclusive(&lock);
            if (helper && --busy == 0)
                WakeAllConditionVariable(&finished);
        }
    }
};

void CALLBACK SplitHelper(PTP_CALLBACK_INSTANCE, void* parameter)
{
    Split* s = static_cast<Split*>(parameter);
    s->QueueNext();
    AcquireSRWLockExclusive(&s->lock);
    s->RunBands(true);
    ReleaseSRWLockExclusive(&s->lock);
    s->Release();
}

}  // namespace

int PixelHelperCount()
{
    return Pool().helpers;
}

bool StartPixelHelper(void (*work)(void* context), void* context)
{
    HelperPool& pool = Pool();
    if (pool.helpers == 0)
        return false;
    Work* w = new (std::nothrow) Work{work, context};
    if (!w)
        return false;
    if (!TrySubmitThreadpoolCallback(RunWork, w, &pool.environment)) {
        delete w;
        return false;
    }
    return true;
}

void SplitRows(int count, int band, int helpers, void (*rows)(void* context, int from, int to), void* context)
{
    if (count <= 0)
        return;
    if (band < 1)
        band = 1;
    HelperPool& pool = Pool();
    if (helpers > pool.helpers)
        helpers = pool.helpers;
    const int bands = (count - 1) / band + 1;
    if (helpers > bands - 1)
        helpers = bands - 1;
    Split* s = helpers > 0 ? new (std::nothrow) Split() : nullptr;
    if (!s) {
        rows(context, 0, count);
        return;
    }
    InitializeSRWLock(&s->lock);
    InitializeConditionVariable(&s->finished);
    s->count = count;
    s->band = band;
    s->next = 0;
    s->busy = 0;
    s->unqueued = helpers;
    s->rows = rows;
    s->context = context;
    s->refs = 1;
    s->QueueNext();
    AcquireSRWLockExclusive(&s->lock);
    s->RunBands(false);
    while (s->busy > 0)
        SleepConditionVariableSRW(&s->finished, &s->lock, INFINITE, 0);
    ReleaseSRWLockExclusive(&s->lock);
    s->Release();
}

#else

int PixelHelperCount()
{
    return 0;
}

bool StartPixelHelper(void (*)(void*), void*)
{
    return false;
}

void SplitRows(int count, int, int, void (*rows)(void* context, int from, int to), void* context)
{
    if (count > 0)
        rows(context, 0, count);
}

#endif
