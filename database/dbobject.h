// Reference-counted objects of the database layer and the handles that hold them.
//
// Every object of the layer (data source, session, command, parameter block,
// loose parameter list, rowset) derives from DODBObject and is held only
// through DODBPtr<T> handles.
//
// Invariants:
//  - an object's count is 1 after construction and is never seen below 0;
//    AddRef never revives an object whose count has fallen to 0.
//  - DODBObject::Release never destroys: the handle whose release brought the
//    count to 0 runs the destructor once and frees the memory once.
//  - a handle is null or owns exactly one reference.
//  - the count is the program's DRefCount (foundation/refcount.h), whose
//    interlocked operations let worker threads copy the data-source handle
//    and borrow the process-wide session.
//
// Memory: the objects themselves come from DODBNew/DODBDelete (the ordinary free
// store); bindings, buffers and value items from DODBAlloc/DODBFree (one private
// process heap, zero-filled blocks). Both can be made to fail for tests.
#pragma once

#include "foundation/refcount.h"

#include <windows.h>

#include <new>
#include <utility>

void* DODBNew(size_t size);        // null when the allocation fails
void DODBDelete(void* p);
void* DODBAlloc(size_t size);      // zero-filled; null when it fails
void* DODBAllocRaw(size_t size);   // the same without zero fill
// Returns a block to the layer's heap; writes to the debugger output and
// returns FALSE when that fails or when nothing was ever allocated.
BOOL DODBFree(void* p);

// Fault injection for tests: after `count` more successful allocations of
// this thread (DODBNew, DODBAlloc, DODBAllocRaw) the next one fails, once;
// -1 (the default) cancels a pending failure.
void DODBFailAllocationsAfter(int count);

class DODBObject
{
public:
    DODBObject() {}
    virtual ~DODBObject() {}

    // Adds a reference only while the count is above 0; returns the count.
    LONG AddRef();
    // Below 1: returns 0 and changes nothing; otherwise one reference less,
    // returning the new count. Never destroys the object.
    LONG Release();
    LONG RefCount() const { return refCount.Value(); }

    DODBObject(const DODBObject&) = delete;
    DODBObject& operator=(const DODBObject&) = delete;

private:
    DRefCount refCount;   // holders
};

// Constructs a T in memory from DODBNew; null when that fails. The object has
// the count 1, which the caller hands to a handle with Attach.
template <class T, class... Args>
T* DODBCreate(Args&&... args)
{
    void* memory = DODBNew(sizeof(T));
    if (memory == nullptr)
        return nullptr;
    return new (memory) T(std::forward<Args>(args)...);
}

// Runs the object's destructor and frees its memory.
inline void DODBDestroy(DODBObject* object)
{
    object->~DODBObject();
    DODBDelete(object);
}

template <class T>
class DODBPtr
{
public:
    DODBPtr() : p(nullptr) {}
    // Takes over the reference of a new object (no AddRef).
    explicit DODBPtr(T* fresh) : p(fresh) {}
    DODBPtr(const DODBPtr& other) : p(other.p)
    {
        if (p != nullptr)
            p->AddRef();
    }
    ~DODBPtr() { Release(); }

    DODBPtr& operator=(const DODBPtr& other)
    {
        // The reference is taken before the old one is dropped, so that
        // assigning a handle to itself (or to a holder of the same object)
        // never destroys the object on the way.
        T* q = other.p;
        if (q != nullptr)
            q->AddRef();
        Release();
        p = q;
        return *this;
    }

    // Drops the held reference, destroying the object when it was the last.
    void Release()
    {
        T* q = p;
        p = nullptr;
        if (q != nullptr && static_cast<DODBObject*>(q)->Release() == 0)
            DODBDestroy(q);
    }

    // Releases the held object, then holds a new empty T; false (and null)
    // when it cannot be allocated.
    bool CreateNew()
    {
        Release();
        p = DODBCreate<T>();
        return p != nullptr;
    }

    // Releases the held object and stores one that already carries its
    // creator's reference.
    void Attach(T* fresh)
    {
        Release();
        p = fresh;
    }

    T* Get() const { return p; }
    T* operator->() const { return p; }
    bool IsSet() const { return p != nullptr; }

private:
    T* p;   // null or an object on which this handle owns one reference
};
