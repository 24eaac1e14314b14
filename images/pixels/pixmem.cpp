#include "images/pixels/pixmem.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <stdlib.h>
#endif

#include <string.h>

namespace {

const unsigned kNotEnoughMemory = 8;    // ERROR_NOT_ENOUGH_MEMORY

int gFailAfter = -1;                    // allocations to let through before one fails
thread_local unsigned gLastError = 0;

bool FailureInjected()
{
    if (gFailAfter < 0)
        return false;
    if (gFailAfter == 0) {
        gFailAfter = -1;
        return true;
    }
    --gFailAfter;
    return false;
}

#ifdef _WIN32

// The kept blocks, oldest first. Any thread may allocate and free pixels (the
// merge worker reads and saves pictures on its own), so the list is locked.
struct KeptBlock
{
    void* p;
    size_t size;
};
SRWLOCK gKeptLock = SRWLOCK_INIT;
KeptBlock gKept[kPixelKeepBlocks];
int gKeptCount = 0;
size_t gKeptBytes = 0;

class KeptLock
{
public:
    KeptLock() { AcquireSRWLockExclusive(&gKeptLock); }
    ~KeptLock() { ReleaseSRWLockExclusive(&gKeptLock); }
    KeptLock(const KeptLock&) = delete;
    KeptLock& operator=(const KeptLock&) = delete;
};

void RemoveKept(int i)
{
    gKeptBytes -= gKept[i].size;
    memmove(gKept + i, gKept + i + 1, (size_t)(gKeptCount - i - 1) * sizeof gKept[0]);
    --gKeptCount;
}

// The smallest kept block that fits `bytes` (at least as large, less than a
// quarter larger), taken off the list; null when none fits.
void* TakeKept(size_t bytes)
{
    KeptLock lock;
    int best = -1;
    for (int i = 0; i < gKeptCount; ++i) {
        const size_t size = gKept[i].size;
        if (size >= bytes && size - bytes < bytes / 4 + 1 && (best < 0 || size < gKept[best].size))
            best = i;
    }
    if (best < 0)
        return nullptr;
    void* p = gKept[best].p;
    RemoveKept(best);
    return p;
}

// The size of the allocation that starts at p when all of it is committed
// read-write in one piece; 0 otherwise (a caller changed the protection of a
// part, or p is not the start of an allocation).
size_t WholeReadWriteBlock(void* p)
{
    MEMORY_BASIC_INFORMATION m;
    if (VirtualQuery(p, &m, sizeof m) != sizeof m || m.AllocationBase != p || m.State != MEM_COMMIT ||
        m.Protect != PAGE_READWRITE)
        return 0;
    MEMORY_BASIC_INFORMATION next;
    const char* after = static_cast<const char*>(p) + m.RegionSize;
    if (VirtualQuery(after, &next, sizeof next) == sizeof next && next.AllocationBase == p)
        return 0;
    return m.RegionSize;
}

// Keeps p for a later PixelAlloc, making room by releasing the oldest kept
// blocks; false when p is not worth keeping (small, too large, protected).
bool Keep(void* p)
{
    const size_t size = WholeReadWriteBlock(p);
    if (size < kPixelKeepSmallest || size > kPixelKeepBytes)
        return false;
    void* released[kPixelKeepBlocks];
    int count = 0;
    {
        KeptLock lock;
        while (gKeptCount > 0 && (gKeptCount == kPixelKeepBlocks || gKeptBytes + size > kPixelKeepBytes)) {
            released[count++] = gKept[0].p;
            RemoveKept(0);
        }
        gKept[gKeptCount++] = KeptBlock{p, size};
        gKeptBytes += size;
    }
    for (int i = 0; i < count; ++i)
        VirtualFree(released[i], 0, MEM_RELEASE);
    return true;
}

#endif

void* Allocate(size_t bytes, bool zero, bool* fresh)
{
    if (bytes == 0 || FailureInjected()) {
        gLastError = kNotEnoughMemory;
        return nullptr;
    }
#ifdef _WIN32
    if (bytes >= kPixelKeepSmallest) {
        if (void* kept = TakeKept(bytes)) {
            if (zero)
                memset(kept, 0, bytes);
            if (fresh)
                *fresh = false;
            return kept;
        }
    }
    if (fresh)
        *fresh = true;
    void* p = VirtualAlloc(nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
    if (!p)
        gLastError = GetLastError();
    return p;
#else
    (void)zero;
    if (fresh)
        *fresh = true;
    void* p = calloc(1, bytes);
    if (!p)
        gLastError = kNotEnoughMemory;
    return p;
#endif
}

bool RasterFits(int width, int height)
{
    if (width <= 0 || height <= 0 || (uint64_t)width * (uint64_t)height > (uint64_t)(SIZE_MAX / 4)) {
        gLastError = kNotEnoughMemory;
        return false;
    }
    return true;
}

} // namespace

void* PixelAlloc(size_t bytes)
{
    return Allocate(bytes, true, nullptr);
}

void* PixelAllocForOverwrite(size_t bytes, bool* fresh)
{
    return Allocate(bytes, false, fresh);
}

void PixelFree(void* p)
{
    if (!p)
        return;
#ifdef _WIN32
    if (!Keep(p))
        VirtualFree(p, 0, MEM_RELEASE);
#else
    free(p);
#endif
}

int PixelTrim()
{
#ifdef _WIN32
    void* released[kPixelKeepBlocks];
    int count = 0;
    {
        KeptLock lock;
        while (gKeptCount > 0) {
            released[count++] = gKept[0].p;
            RemoveKept(0);
        }
    }
    for (int i = 0; i < count; ++i)
        VirtualFree(released[i], 0, MEM_RELEASE);
    return count;
#else
    return 0;
#endif
}

int PixelKeptBlocks(size_t* bytes)
{
#ifdef _WIN32
    KeptLock lock;
    if (bytes)
        *bytes = gKeptBytes;
    return gKeptCount;
#else
    if (bytes)
        *bytes = 0;
    return 0;
#endif
}

unsigned PixelAllocError()
{
    return gLastError;
}

int SetPixelAllocFailure(int skip)
{
    int old = gFailAfter;
    gFailAfter = skip;
    return old;
}

uint16_t* AllocRaster(int width, int height)
{
    if (!RasterFits(width, height))
        return nullptr;
    return static_cast<uint16_t*>(PixelAlloc((size_t)width * (size_t)height * sizeof(uint16_t)));
}

uint16_t* AllocRasterForOverwrite(int width, int height, bool* fresh)
{
    if (!RasterFits(width, height))
        return nullptr;
    return static_cast<uint16_t*>(PixelAllocForOverwrite((size_t)width * (size_t)height * sizeof(uint16_t), fresh));
}
