// Accessors of a command (parameter data) or a rowset (row data).
//
// Invariants: a handle is a slot number from 1; a slot holds its bindings and
// a reference count from 1 (CreateAccessor) that AddRefAccessor raises and
// ReleaseAccessor lowers; at 0 the handle is invalid and the slot free, its
// memory kept for the next accessor made.
// The row size (cbRowSize) and the direction of row bindings are not used:
// every value is addressed through its own offsets.
#pragma once

#include "provider/common.h"

#include <memory>
#include <vector>

namespace zelk {

struct Accessor {
    DBACCESSORFLAGS flags = 0;
    std::vector<DBBINDING> bindings;
    DBLENGTH rowSize = 0;  // only used to step between parameter sets
    ULONG refs = 1;
};

class AccessorTable {
public:
    enum class Owner { Command, Rowset };

    // `columns` is the number of columns of a rowset (ordinals checked), 0 for a command.
    HRESULT Create(Owner owner, size_t columns, DBACCESSORFLAGS flags, DBCOUNTITEM count, const DBBINDING bindings[],
                   DBLENGTH rowSize, HACCESSOR* handle, DBBINDSTATUS status[]);
    HRESULT AddRef(HACCESSOR handle, DBREFCOUNT* refs);
    HRESULT Release(HACCESSOR handle, DBREFCOUNT* refs);
    HRESULT GetBindings(HACCESSOR handle, DBACCESSORFLAGS* flags, DBCOUNTITEM* count, DBBINDING** bindings);
    // The accessor of a handle, or null. Valid until the handle is released.
    const Accessor* Find(HACCESSOR handle);
    // Every handle becomes invalid (a rowset made ready for another result).
    void ReleaseAll();

private:
    Accessor* Live(HACCESSOR handle);  // the lock is held

    Lock lock_;
    std::vector<std::unique_ptr<Accessor>> slots_;
};

}  // namespace zelk
