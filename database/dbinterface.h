// Interface pointers held by the layer's wrappers of provider objects.
//
// A wrapper (data source, session, command, rowset) holds each interface it
// uses as a raw pointer that is either null or owns one reference.
#pragma once

#include "database/oledbinc.h"

// Releases the held reference, if any, and leaves the pointer null.
template <class I>
void ReleaseInterface(I*& p)
{
    if (p != nullptr) {
        p->Release();
        p = nullptr;
    }
}

// Asks `from` for the interface; true when `out` now holds a reference,
// false with `out` null otherwise.
template <class I>
bool Query(IUnknown* from, REFIID iid, I*& out)
{
    out = nullptr;
    return SUCCEEDED(from->QueryInterface(iid, reinterpret_cast<void**>(&out))) && out != nullptr;
}
