#include "images/pixels/commitahead.h"

#include "foundation/refcount.h"
#include "images/pixels/pixhelpers.h"

#include <windows.h>

#include <new>

struct CommitAhead::State
{
    volatile char* base;
    size_t rowBytes;
    int rows;
    SRWLOCK lock;
    CONDITION_VARIABLE changed;     // a busy chunk finished
    int callerRows;                 // rows [0, callerRows) are the writer's
    int claimedFrom;                // rows [claimedFrom, rows) were claimed by helpers
    int busyFrom[kHelpers] = {};    // the chunk each helper touches now; empty when equal
    int busyTo[kHelpers] = {};
    int started;                    // helpers that have started; the index of the next one
    bool stopped;                   // the owner is gone: no more claims
    DRefCount refs;                 // the owner and every helper created

    // A busy chunk starts below `limit`.
    bool BusyBelow(int limit) const
    {
        for (int i = 0; i < started; ++i)
            if (busyFrom[i] < busyTo[i] && busyFrom[i] < limit)
                return true;
        return false;
    }

    // Stores a zero into the first byte of the rows and into each page that
    // starts inside them.
    void Touch(int from, int to)
    {
        const size_t first = (size_t)from * rowBytes, end = (size_t)to * rowBytes;
        if (first >= end)
            return;
        base[first] = 0;
        for (size_t at = (first | 4095) + 1; at < end; at += 4096)
            base[at] = 0;
    }

    void Release()
    {
        if (refs.ReleaseLast())
            delete this;
    }
};

namespace {

void Helper(void* parameter)
{
    CommitAhead::State* s = static_cast<CommitAhead::State*>(parameter);
    AcquireSRWLockExclusive(&s->lock);
    const int me = s->started;
    ++s->started;
    for (;;) {
        const int to = s->claimedFrom;
        const int from = to - CommitAhead::kChunkRows > s->callerRows ? to - CommitAhead::kChunkRows : s->callerRows;
        if (s->stopped || from >= to)
            break;
        s->claimedFrom = s->busyFrom[me] = from;
        s->busyTo[me] = to;
        ReleaseSRWLockExclusive(&s->lock);
        s->Touch(from, to);
        AcquireSRWLockExclusive(&s->lock);
        s->busyFrom[me] = s->busyTo[me] = 0;
        WakeAllConditionVariable(&s->changed);
    }
    ReleaseSRWLockExclusive(&s->lock);
    s->Release();
}

}  // namespace

CommitAhead::CommitAhead(void* raster, size_t rowBytes, int rows, bool fresh) : state(nullptr)
{
    if (!fresh || !raster || rows <= 0 || rowBytes * (size_t)rows < kSmallest)
        return;
    State* s = new (std::nothrow) State();
    if (!s)
        return;
    s->base = static_cast<volatile char*>(raster);
    s->rowBytes = rowBytes;
    s->rows = rows;
    InitializeSRWLock(&s->lock);
    InitializeConditionVariable(&s->changed);
    s->callerRows = 0;
    s->claimedFrom = rows;
    s->started = 0;
    s->stopped = false;
    // The process's helpers (pixhelpers.h), made for its first fresh raster
    // and kept since. A raster written while another one's helpers are busy
    // waits for them, or is touched by its writer, as a helper that starts
    // late is.
    const int helpers = PixelHelperCount() < kHelpers ? PixelHelperCount() : kHelpers;
    for (int i = 0; i < helpers; ++i) {
        s->refs.AddRef();
        if (!StartPixelHelper(Helper, s))
            s->refs.Release();     // the owner's reference keeps the block
    }
    state = s;
}

CommitAhead::~CommitAhead()
{
    State* s = state;
    if (!s)
        return;
    AcquireSRWLockExclusive(&s->lock);
    s->stopped = true;
    while (s->BusyBelow(s->rows))
        SleepConditionVariableSRW(&s->changed, &s->lock, INFINITE, 0);
    ReleaseSRWLockExclusive(&s->lock);
    s->Release();
}

void CommitAhead::Reach(int reach)
{
    State* s = state;
    if (!s)
        return;
    AcquireSRWLockExclusive(&s->lock);
    const int from = s->callerRows;
    if (reach > s->rows)
        reach = s->rows;
    if (reach > s->callerRows)
        s->callerRows = reach;
    // Helpers claim only rows from callerRows on: the rows between the old
    // count and their last claim are the writer's alone from now on.
    const int unclaimed = s->callerRows < s->claimedFrom ? s->callerRows : s->claimedFrom;
    while (s->BusyBelow(s->callerRows))
        SleepConditionVariableSRW(&s->changed, &s->lock, INFINITE, 0);
    ReleaseSRWLockExclusive(&s->lock);
    s->Touch(from, unclaimed);
}
