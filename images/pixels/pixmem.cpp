#include "images/pixels/pixmem.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <stdlib.h>
#endif

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

} // namespace

void* PixelAlloc(size_t bytes)
{
    if (bytes == 0 || FailureInjected()) {
        gLastError = kNotEnoughMemory;
        return nullptr;
    }
#ifdef _WIN32
    void* p = VirtualAlloc(nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
    if (!p)
        gLastError = GetLastError();
#else
    void* p = calloc(1, bytes);
    if (!p)
        gLastError = kNotEnoughMemory;
#endif
    return p;
}

void PixelFree(void* p)
{
    if (!p)
        return;
#ifdef _WIN32
    VirtualFree(p, 0, MEM_RELEASE);
#else
    free(p);
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
    if (width <= 0 || height <= 0 || (uint64_t)width * (uint64_t)height > (uint64_t)(SIZE_MAX / 4)) {
        gLastError = kNotEnoughMemory;
        return nullptr;
    }
    return static_cast<uint16_t*>(PixelAlloc((size_t)width * (size_t)height * sizeof(uint16_t)));
}
