// DRefCount: the one reference count of every shared object of the program.
//
// A shared object or block (a string's DStringData, a picture, a user
// message's record, a file or registry key block, a registry error's value
// name, the database layer's objects and its COM error objects) embeds one
// DRefCount: the number of its holders, 1 when it is made.
//
// Rules, the same for every counted object:
//  - AddRef adds a holder only while the count is above 0: an object whose
//    count has fallen to 0 is being freed and is not revived.
//  - Release takes one holder away and gives the new count; on a count that
//    is already below 1 it changes nothing and gives 0. `last` tells the
//    caller whether its release was the one that brought the count to 0:
//    that caller, and no other, frees the object.
//  - Counts change with interlocked operations, so that holders on several
//    threads (the data source, pictures, strings) need no lock of their own.
//    Objects that stay on one thread pay nothing that matters for that.
//
// The count is one 32-bit field, so that it can stand in a block whose
// fields the program lays out itself.
#pragma once

#include <windows.h>

class DRefCount {
public:
    DRefCount() : count_(1) {}
    explicit DRefCount(LONG initial) : count_(initial) {}
    DRefCount(const DRefCount&) = delete;
    DRefCount& operator=(const DRefCount&) = delete;

    // Sets the count of a block that was allocated raw (no constructor ran).
    void Init(LONG initial = 1) { count_ = initial; }

    // One holder more while the count is above 0; the count.
    LONG AddRef()
    {
        for (;;) {
            const LONG count = count_;
            if (count < 1)
                return count;
            if (InterlockedCompareExchange(&count_, count + 1, count) == count)
                return count + 1;
        }
    }

    // One holder less; the new count (0, unchanged, when it was below 1).
    // With `last`: whether this release brought the count to 0.
    LONG Release(bool* last = nullptr)
    {
        for (;;) {
            const LONG count = count_;
            if (count < 1) {
                if (last)
                    *last = false;
                return 0;
            }
            if (InterlockedCompareExchange(&count_, count - 1, count) == count) {
                if (last)
                    *last = count == 1;
                return count - 1;
            }
        }
    }

    // Release for a holder that frees the object: true when it must.
    bool ReleaseLast()
    {
        bool last = false;
        Release(&last);
        return last;
    }

    // Release for an object that answers with its count (a COM object): the
    // releaser that let the last holder go runs `free`; the new count.
    template <class Free> LONG ReleaseAndFree(Free free)
    {
        bool last = false;
        const LONG left = Release(&last);
        if (last)
            free();
        return left;
    }

    LONG Value() const { return count_; }

private:
    volatile LONG count_;   // holders
};

static_assert(sizeof(DRefCount) == 4, "a reference count is one 32-bit field");
