// Accessors of a command (parameter data) or a rowset (row data).
//
// Invariants: a handle is a slot number plus the table's first handle (1 for
// a rowset's table, kCommandAccessorBase for a command's, so that the two
// never meet: a query rowset also takes the row accessors of its command,
// which OLE DB lets its rowsets inherit); a slot holds its bindings and a
// reference count from 1 (CreateAccessor) that AddRefAccessor raises and
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
    // Unique in the process for each accessor made (a slot taken again gets a
    // new one): what the plans made from the bindings (accessorplan.h) are
    // known by.
    unsigned long long serial = 0;
};

// The first handle of a command's accessors.
constexpr HACCESSOR kCommandAccessorBase = 0x10001;

// The last lookup of one caller (kept under the caller's own lock): a call
// with the same handle finds it again without the table's lock while the
// table has not changed since. Consumers release no accessor while another
// call of theirs uses it, and a slot's accessor never moves.
struct AccessorCache {
    HACCESSOR handle = DB_NULL_HACCESSOR;
    unsigned version = 0;
    const Accessor* accessor = nullptr;
};

class AccessorTable {
public:
    enum class Owner { Command, Rowset };

    explicit AccessorTable(HACCESSOR first = 1) : first_(first) {}

    // `columns` is the number of columns of a rowset (ordinals checked), 0 for a command.
    HRESULT Create(Owner owner, size_t columns, DBACCESSORFLAGS flags, DBCOUNTITEM count, const DBBINDING bindings[],
                   DBLENGTH rowSize, HACCESSOR* handle, DBBINDSTATUS status[]);
    HRESULT AddRef(HACCESSOR handle, DBREFCOUNT* refs);
    HRESULT Release(HACCESSOR handle, DBREFCOUNT* refs);
    HRESULT GetBindings(HACCESSOR handle, DBACCESSORFLAGS* flags, DBCOUNTITEM* count, DBBINDING** bindings);
    // The accessor of a handle, or null. Valid until the handle is released.
    const Accessor* Find(HACCESSOR handle);
    const Accessor* Find(HACCESSOR handle, AccessorCache& cache)
    {
        // The version is read first: a change during the lookup leaves the cache stale, never wrong.
        const unsigned version = version_.load(std::memory_order_acquire);
        if (handle != DB_NULL_HACCESSOR && cache.handle == handle && cache.version == version)
            return cache.accessor;
        return FindForCache(handle, cache, version);
    }
    // Every handle becomes invalid (a rowset made ready for another result);
    // only for a table that no other thread can reach.
    void ReleaseAll();

private:
    Accessor* Live(HACCESSOR handle);  // the lock is held
    const Accessor* FindForCache(HACCESSOR handle, AccessorCache& cache, unsigned version);

    HACCESSOR first_;  // the handle of slot 0
    std::atomic<unsigned> version_{1};  // changed by every Create, Release and ReleaseAll
    Lock lock_;
    std::vector<std::unique_ptr<Accessor>> slots_;
};

}  // namespace zelk
