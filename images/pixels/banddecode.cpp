#include "images/pixels/banddecode.h"

#include "images/pixels/pixhelpers.h"

#include <windows.h>

#include <string.h>

#include <new>

namespace {

const int kTile = 32;
// A helper that finds no band waiting looks again for this long before it
// sleeps: the owner queues a band every 10-20 us while it reads ahead, and
// waking a sleeper costs the waker about 20 us under Wine (and the sleeper
// as long again to run).
const int kIdleMicroseconds = 200;
// The owner that finds no slot free, and no band that an idle helper will
// not take, waits at most this long for one before it looks again: a helper
// counted idle may have lost its processor.
const DWORD kOwnerWaitMs = 1;

enum SlotState { kFree, kFilling, kReady, kBusy };

// The most bytes a band of a raster this wide takes: every tile packed at
// 16 bits with its minimum.
size_t LargestBand(int width)
{
    return (size_t)(width / kTile) * (3 + kTile * kTile * 2);
}

// Writes a zero into each page that [from, to) reaches.
void TouchPages(uint8_t* from, uint8_t* to)
{
    for (uint8_t* p = from; p < to; p = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(p) | 4095) + 1))
        *reinterpret_cast<volatile uint8_t*>(p) = 0;
}

void BandHelper(void* parameter);

}  // namespace

struct BandDecode::State
{
    SRWLOCK lock;
    CONDITION_VARIABLE queuedBand;  // a band was queued, or the state stopped: for sleeping helpers
    CONDITION_VARIABLE freedSlot;   // a helper finished a band: for the owner
    // Set before the first helper is queued, read only afterwards.
    uint16_t* pixels;
    int width, height, depth;
    uint8_t* block;
    size_t slotStride;              // a slot's bytes and the slack behind them
    int slots;
    // Under the lock.
    SlotState state[kMostSlots];
    int band[kMostSlots];           // the band of a ready or busy slot
    size_t bytes[kMostSlots];       // and its size
    int queue[kMostSlots];          // ready slots, oldest first from queueHead
    int queueHead;
    int queued;
    volatile LONG waiting;          // `queued`, for helpers that look without the lock
    int busy;                       // slots that helpers decode now
    int sleepers;                   // helpers asleep on queuedBand
    volatile LONG idle;             // helpers looking for a band without the lock
    bool ownerAsleep;               // the owner is asleep on freedSlot
    volatile LONG stopped;          // no more takes: helpers leave
    bool failed;                    // a band did not decode
    int unqueued;                   // helpers still to be queued
    volatile LONG refs;             // the owner and every helper queued

    uint8_t* Slot(int i) const { return block + (size_t)i * slotStride; }

    void Release()
    {
        if (InterlockedDecrement(&refs) == 0)
            delete this;
    }

    // Lock held: the oldest ready slot, now busy; -1 when none waits.
    int Take()
    {
        if (stopped || queued == 0)
            return -1;
        const int slot = queue[queueHead];
        queueHead = (queueHead + 1) % kMostSlots;
        --queued;
        waiting = queued;
        state[slot] = kBusy;
        return slot;
    }

    // Lock not held: decodes the band of a busy slot.
    bool Decode(int slot) const
    {
        return DecodeTileBand(Slot(slot), bytes[slot] + kTileBandSlack, pixels, width, height, depth, band[slot]) ==
               (int32_t)bytes[slot];
    }

    // Lock held: a busy slot decoded (or not) and free again.
    void Finish(int slot, bool ok)
    {
        state[slot] = kFree;
        if (!ok)
            failed = true;
    }

    // Lock not held: queues up to `count` more helpers while helpers are
    // wanted. The owner queues one, and each helper two as it starts: a
    // queueing costs the queuer about 25 us under Wine, and a helper that
    // waits for its processor on a busy machine holds up only those it
    // would have queued.
    void QueueMore(int count)
    {
        AcquireSRWLockExclusive(&lock);
        if (count > unqueued || stopped)
            count = stopped ? 0 : unqueued;
        unqueued -= count;
        ReleaseSRWLockExclusive(&lock);
        for (int i = 0; i < count; ++i) {
            InterlockedIncrement(&refs);
            if (!StartPixelHelper(BandHelper, this))
                InterlockedDecrement(&refs);    // the queuer's reference keeps the block
        }
    }

    // Owner, lock not held: the filled slot's band, queued for any decoder.
    void Publish(int slot, int bandIndex, size_t size)
    {
        AcquireSRWLockExclusive(&lock);
        band[slot] = bandIndex;
        bytes[slot] = size;
        state[slot] = kReady;
        queue[(queueHead + queued) % kMostSlots] = slot;
        ++queued;
        waiting = queued;
        // Idle helpers take the bands first; a sleeper is woken only for
        // more bands than they are.
        if (sleepers > 0 && queued > idle)
            WakeConditionVariable(&queuedBand);
        ReleaseSRWLockExclusive(&lock);
    }

    // Owner, lock held: decodes a waiting band itself when more wait than
    // idle helpers will take; otherwise waits a while for a helper to take
    // one or to finish one, when any will.
    void HelpOrWait()
    {
        if (queued > idle) {
            const int slot = Take();
            ReleaseSRWLockExclusive(&lock);
            const bool ok = Decode(slot);
            AcquireSRWLockExclusive(&lock);
            Finish(slot, ok);
            return;
        }
        if (queued == 0 && busy == 0)
            return;
        ownerAsleep = true;
        SleepConditionVariableSRW(&freedSlot, &lock, kOwnerWaitMs, 0);
        ownerAsleep = false;
    }

    // Owner, lock not held: a free slot, now filling; decodes waiting bands
    // meanwhile that no helper is about to take.
    int Acquire()
    {
        AcquireSRWLockExclusive(&lock);
        for (;;) {
            for (int i = 0; i < slots; ++i) {
                if (state[i] == kFree) {
                    state[i] = kFilling;
                    ReleaseSRWLockExclusive(&lock);
                    return i;
                }
            }
            HelpOrWait();
        }
    }

    // Owner, lock not held: every band queued, decodes those that wait and
    // waits for the busy ones; false when one did not decode.
    bool Drain()
    {
        AcquireSRWLockExclusive(&lock);
        while (queued > 0 || busy > 0)
            HelpOrWait();
        const bool ok = !failed;
        ReleaseSRWLockExclusive(&lock);
        return ok;
    }

    // Owner, lock not held: no more takes; returns when no helper decodes
    // any more, and wakes the sleeping ones, which leave.
    void Stop()
    {
        AcquireSRWLockExclusive(&lock);
        stopped = 1;
        queued = 0;
        waiting = 0;
        while (busy > 0) {
            ownerAsleep = true;
            SleepConditionVariableSRW(&freedSlot, &lock, INFINITE, 0);
            ownerAsleep = false;
        }
        WakeAllConditionVariable(&queuedBand);
        ReleaseSRWLockExclusive(&lock);
    }
};

namespace {

// Returns when a band waits, the state stops or kIdleMicroseconds have
// passed, without the lock. Between looks the helper gives its processor up:
// the owner may be waiting for one (a busy machine, or more threads than the
// processors the process may run on), and a helper spinning in place kept it
// from reading (an open bound to one processor with four helpers took 1.4 to
// 2 times as long as on one thread; 1.1 times with the yield). On free
// processors the yield costs no more than the spin did.
void WaitForBand(const BandDecode::State* s)
{
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const LONGLONG most = frequency.QuadPart * kIdleMicroseconds / 1000000;
    for (;;) {
        if (s->waiting != 0 || s->stopped)
            return;
        SwitchToThread();
        QueryPerformanceCounter(&now);
        if (now.QuadPart - start.QuadPart > most)
            return;
    }
}

void BandHelper(void* parameter)
{
    BandDecode::State* s = static_cast<BandDecode::State*>(parameter);
    s->QueueMore(2);
    AcquireSRWLockExclusive(&s->lock);
    while (!s->stopped) {
        const int slot = s->Take();
        if (slot >= 0) {
            ++s->busy;
            ReleaseSRWLockExclusive(&s->lock);
            const bool ok = s->Decode(slot);
            AcquireSRWLockExclusive(&s->lock);
            --s->busy;
            s->Finish(slot, ok);
            if (s->ownerAsleep)
                WakeConditionVariable(&s->freedSlot);
            continue;
        }
        // Nothing waits: look again a while without the lock, then sleep
        // until a band is queued or the state stops. A band queued
        // meanwhile is taken before sleeping.
        InterlockedIncrement(&s->idle);
        ReleaseSRWLockExclusive(&s->lock);
        WaitForBand(s);
        InterlockedDecrement(&s->idle);
        AcquireSRWLockExclusive(&s->lock);
        if (s->queued == 0 && !s->stopped) {
            ++s->sleepers;
            SleepConditionVariableSRW(&s->queuedBand, &s->lock, INFINITE, 0);
            --s->sleepers;
        }
    }
    ReleaseSRWLockExclusive(&s->lock);
    s->Release();
}

// The owner's hold on the state: stopped and released however Run ends.
class StateGuard
{
public:
    explicit StateGuard(BandDecode::State* s) : s_(s) {}
    ~StateGuard()
    {
        s_->Stop();
        s_->Release();
    }
    StateGuard(const StateGuard&) = delete;
    StateGuard& operator=(const StateGuard&) = delete;

private:
    BandDecode::State* s_;
};

}  // namespace

bool BandDecode::Suits(int width, int height, int depth, size_t blockBytes)
{
    if (width < kTile || height < 2 * kTile || depth < 1 || depth > 16)
        return false;
    if ((uint64_t)width * (uint64_t)height * 2 < kSmallest)
        return false;
    if (blockBytes / (LargestBand(width) + kTileBandSlack) < (size_t)kLeastSlots)
        return false;
    return PixelHelperCount() > 0;
}

int64_t BandDecode::Run(TileStreamDecoder& decoder, uint16_t* pixels, int width, int height, int depth,
                        uint8_t* block, size_t blockBytes, bool freshBlock, Source source, void* context)
{
    const int bands = height / kTile;
    const size_t slotBytes = LargestBand(width);
    const size_t stride = slotBytes + kTileBandSlack;
    const size_t fit = blockBytes / stride;
    State* s = fit >= (size_t)kLeastSlots && bands > 0 ? new (std::nothrow) State() : nullptr;
    if (!s)
        return 0;   // nothing read: the caller decodes the whole stream itself
    InitializeSRWLock(&s->lock);
    InitializeConditionVariable(&s->queuedBand);
    InitializeConditionVariable(&s->freedSlot);
    s->pixels = pixels;
    s->width = width;
    s->height = height;
    s->depth = depth;
    s->block = block;
    s->slotStride = stride;
    s->slots = fit < (size_t)kMostSlots ? (int)fit : kMostSlots;
    for (int i = 0; i < kMostSlots; ++i)
        s->state[i] = kFree;
    s->queueHead = s->queued = 0;
    s->waiting = 0;
    s->busy = s->sleepers = 0;
    s->idle = 0;
    s->ownerAsleep = false;
    s->stopped = 0;
    s->failed = false;
    s->unqueued = PixelHelperCount() < s->slots - 1 ? PixelHelperCount() : s->slots - 1;
    s->refs = 1;
    StateGuard guard(s);

    size_t touched[kMostSlots] = {};    // slot bytes written at least once (a fresh block)
    int current = s->Acquire();
    size_t fill = 0;                    // bytes in the current slot
    for (int b = 0; b < bands; ++b) {
        uint8_t* const at = s->Slot(current);
        int64_t size;
        while ((size = TileBandSize(at, fill, width, depth)) == 0) {
            // A band of a sound stream fits its slot.
            if (fill == slotBytes)
                return -1;
            const uint32_t most = slotBytes - fill < kRead ? (uint32_t)(slotBytes - fill) : kRead;
            if (freshBlock && fill + most > touched[current]) {
                TouchPages(at + (fill > touched[current] ? fill : touched[current]), at + fill + most);
                touched[current] = fill + most;
            }
            const uint32_t got = source(context, at + fill, most);
            if (got == 0)
                return -1;
            fill += got;
        }
        if (size < 0)
            return -1;
        s->Publish(current, b, (size_t)size);
        if (b == 0)
            s->QueueMore(1);
        // What was read past the band starts the next one, in the next slot
        // (perhaps this one again, once decoded: the bytes are moved, not
        // copied).
        const int next = s->Acquire();
        fill -= (size_t)size;
        memmove(s->Slot(next), at + size, fill);
        if (fill > touched[next])
            touched[next] = fill;
        current = next;
    }
    if (!s->Drain())
        return -1;
    memmove(block, s->Slot(current), fill);
    if (!decoder.SkipBands(bands))
        return -1;
    return (int64_t)fill;
}
