// Interface pointers held by the layer's wrappers of provider objects.
//
// A wrapper (data source, session, command, rowset) holds each interface it
// uses as a raw pointer that is either null or owns one reference, and is
// made on the provider object whose reference it takes over.
#pragma once

#include "database/dberrors.h"
#include "database/dbobject.h"
#include "database/oledbinc.h"

#include <utility>

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

// Releases each held reference (ReleaseInterface), in the order given.
template <class... I>
void ReleaseInterfaces(I*&... p)
{
    (ReleaseInterface(p), ...);
}

// Asks `from` for each interface of the pairs (iid, pointer) in turn; true
// when every one was had. Stops at the first that is missing.
inline bool QueryEach(IUnknown*)
{
    return true;
}
template <class I, class... Rest>
bool QueryEach(IUnknown* from, REFIID iid, I*& out, Rest&&... rest)
{
    return Query(from, iid, out) && QueryEach(from, std::forward<Rest>(rest)...);
}

// How a wrapper takes the interfaces of the provider object it is made on:
// every one of the pairs (iid, pointer) or none, then ISupportErrorInfo when
// the object has it. False when one is missing: the caller then releases
// what it holds (its ReleaseAll) and stays unusable.
template <class... Pairs>
bool AcquireInterfaces(IUnknown* from, ISupportErrorInfo*& supportErrorInfo, Pairs&&... pairs)
{
    if (!QueryEach(from, std::forward<Pairs>(pairs)...))
        return false;
    Query(from, IID_ISupportErrorInfo, supportErrorInfo);
    return true;
}

// Hands a new provider object (and its reference) to a new wrapper that
// `holder` then holds. Without memory for the wrapper the provider object is
// released, `hr` posted as record `id`, and the result is false.
template <class Wrapper, class I>
bool WrapNew(I* raw, DODBPtr<Wrapper>& holder, HRESULT hr, UINT id, const wchar_t* source)
{
    Wrapper* made = DODBCreate<Wrapper>(raw);
    if (made == nullptr) {
        raw->Release();
        DODBSetError(hr, id, source);
        return false;
    }
    holder.Attach(made);
    return true;
}
