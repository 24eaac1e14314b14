#include "database/dbobject.h"

namespace {

HANDLE gHeap = nullptr;                  // the layer's heap, taken on first use
thread_local int tAllocationsLeft = -1;  // fault injection: successes before one failure; -1 = none

bool AllocationAllowed()
{
    if (tAllocationsLeft < 0)
        return true;
    if (tAllocationsLeft == 0) {
        tAllocationsLeft = -1;   // one failure, then allocations succeed again
        return false;
    }
    --tAllocationsLeft;
    return true;
}

HANDLE LayerHeap()
{
    if (gHeap == nullptr)
        gHeap = GetProcessHeap();
    return gHeap;
}

}  // namespace

void DODBFailAllocationsAfter(int count)
{
    tAllocationsLeft = count;
}

void* DODBNew(size_t size)
{
    if (!AllocationAllowed())
        return nullptr;
    return ::operator new(size, std::nothrow);
}

void DODBDelete(void* p)
{
    ::operator delete(p);
}

void* DODBAlloc(size_t size)
{
    if (!AllocationAllowed())
        return nullptr;
    return HeapAlloc(LayerHeap(), HEAP_ZERO_MEMORY, size);
}

void* DODBAllocRaw(size_t size)
{
    if (!AllocationAllowed())
        return nullptr;
    return HeapAlloc(LayerHeap(), 0, size);
}

BOOL DODBFree(void* p)
{
    if (gHeap == nullptr) {
        OutputDebugStringW(L"Error DODBFree (NO HEAP)");
        return FALSE;
    }
    BOOL ok = HeapFree(gHeap, 0, p);
    if (!ok)
        OutputDebugStringW(L"Error DODBFree");
    return ok;
}

LONG DODBObject::AddRef()
{
    return refCount.AddRef();
}

LONG DODBObject::Release()
{
    return refCount.Release();
}
