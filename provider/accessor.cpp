// Accessor handles: see accessor.h.
#include "provider/accessor.h"

#include "provider/errors.h"
#include "provider/values.h"

namespace zelk {
namespace {

std::atomic<unsigned long long> gAccessorSerial{0};

}  // namespace

HRESULT AccessorTable::Create(Owner owner, size_t columns, DBACCESSORFLAGS flags, DBCOUNTITEM count,
                              const DBBINDING bindings[], DBLENGTH rowSize, HACCESSOR* handle,
                              DBBINDSTATUS status[])
{
    if (!handle)
        return InvalidArgument(L"AccessorTable::Create");
    *handle = DB_NULL_HACCESSOR;
    if (count && !bindings)
        return InvalidArgument(L"AccessorTable::Create");
    const DBACCESSORFLAGS known =
        DBACCESSOR_PASSBYREF | DBACCESSOR_ROWDATA | DBACCESSOR_PARAMETERDATA | DBACCESSOR_OPTIMIZED;
    if ((flags & ~known) || !(flags & (DBACCESSOR_ROWDATA | DBACCESSOR_PARAMETERDATA)))
        return PostError(IID_IAccessor, DB_E_BADACCESSORFLAGS, L"HY000", 0,
                         L"An accessor was asked for with invalid flags.");
    if (flags & DBACCESSOR_PASSBYREF)
        return PostError(IID_IAccessor, DB_E_BYREFACCESSORNOTSUPPORTED, L"HY000", 0,
                         L"Accessors that pass the whole row by reference are not supported.");
    if (owner == Owner::Rowset && (flags & DBACCESSOR_PARAMETERDATA))
        return PostError(IID_IAccessor, DB_E_BADACCESSORFLAGS, L"HY000", 0,
                         L"A rowset has no parameters: a parameter accessor cannot be made on it.");
    if (count == 0)
        return PostError(IID_IAccessor, DB_E_NULLACCESSORNOTSUPPORTED, L"HY000", 0,
                         L"An accessor without bindings is not supported.");

    bool failed = false;
    for (DBCOUNTITEM i = 0; i < count; ++i) {
        const DBBINDING& b = bindings[i];
        DBBINDSTATUS s = DBBINDSTATUS_OK;
        DBTYPE base = b.wType & ~DBTYPE_BYREF;
        if (!(b.dwPart & (DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS)) ||
            (b.dwPart & ~(DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS)) || b.pBindExt || b.pObject)
            s = DBBINDSTATUS_BADBINDINFO;
        else if (!IsBindableType(base))
            s = DBBINDSTATUS_UNSUPPORTEDCONVERSION;
        else if (b.iOrdinal == 0 || (owner == Owner::Rowset && b.iOrdinal > columns))
            s = DBBINDSTATUS_BADORDINAL;
        else if ((flags & DBACCESSOR_PARAMETERDATA) && !(flags & DBACCESSOR_ROWDATA) &&
                 !(b.eParamIO & DBPARAMIO_INPUT))
            s = DBBINDSTATUS_BADBINDINFO;
        if (status)
            status[i] = s;
        if (s != DBBINDSTATUS_OK)
            failed = true;
    }
    if (failed)
        return PostError(IID_IAccessor, DB_E_ERRORSOCCURRED, L"HY000", 0,
                         L"An accessor cannot be made: one of its bindings is invalid (see the binding statuses).");

    Locked hold(lock_);
    // A released slot is taken again with its memory: an accessor made at every
    // execution of a command costs no allocation.
    size_t slot = 0;
    while (slot < slots_.size() && slots_[slot] && slots_[slot]->refs)
        ++slot;
    if (slot == slots_.size())
        slots_.emplace_back();
    if (!slots_[slot])
        slots_[slot] = std::make_unique<Accessor>();
    Accessor& accessor = *slots_[slot];
    accessor.flags = flags;
    accessor.bindings.assign(bindings, bindings + count);
    accessor.rowSize = rowSize;
    accessor.refs = 1;
    accessor.serial = ++gAccessorSerial;
    ++version_;
    *handle = static_cast<HACCESSOR>(slot + first_);
    return S_OK;
}

const Accessor* AccessorTable::Find(HACCESSOR handle)
{
    Locked hold(lock_);
    return Live(handle);
}

const Accessor* AccessorTable::FindForCache(HACCESSOR handle, AccessorCache& cache, unsigned version)
{
    const Accessor* found = Find(handle);
    cache.handle = found ? handle : DB_NULL_HACCESSOR;
    cache.version = version;
    cache.accessor = found;
    return found;
}

Accessor* AccessorTable::Live(HACCESSOR handle)
{
    if (handle < first_ || handle - first_ >= slots_.size())
        return nullptr;
    Accessor* a = slots_[handle - first_].get();
    return a && a->refs ? a : nullptr;
}

void AccessorTable::ReleaseAll()
{
    // No lock: called on a rowset that nothing else reaches any more.
    bool live = false;
    for (auto& slot : slots_)
        if (slot && slot->refs) {
            slot->refs = 0;
            live = true;
        }
    if (live)
        ++version_;
}

HRESULT AccessorTable::AddRef(HACCESSOR handle, DBREFCOUNT* refs)
{
    Locked hold(lock_);
    Accessor* a = Live(handle);
    if (!a)
        return PostError(IID_IAccessor, DB_E_BADACCESSORHANDLE, L"HY000", 0, L"The accessor handle is not valid.");
    ULONG n = ++a->refs;
    if (refs)
        *refs = n;
    return S_OK;
}

HRESULT AccessorTable::Release(HACCESSOR handle, DBREFCOUNT* refs)
{
    Locked hold(lock_);
    Accessor* a = Live(handle);
    if (!a)
        return PostError(IID_IAccessor, DB_E_BADACCESSORHANDLE, L"HY000", 0, L"The accessor handle is not valid.");
    ULONG n = --a->refs;
    if (n == 0)
        ++version_;
    if (refs)
        *refs = n;
    return S_OK;
}

HRESULT AccessorTable::GetBindings(HACCESSOR handle, DBACCESSORFLAGS* flags, DBCOUNTITEM* count, DBBINDING** bindings)
{
    if (!flags || !count || !bindings)
        return InvalidArgument(L"AccessorTable::GetBindings");
    *count = 0;
    *bindings = nullptr;
    Locked hold(lock_);
    const Accessor* live = Live(handle);
    if (!live)
        return PostError(IID_IAccessor, DB_E_BADACCESSORHANDLE, L"HY000", 0, L"The accessor handle is not valid.");
    const Accessor& a = *live;
    auto* copy = static_cast<DBBINDING*>(CoTaskMemAlloc(sizeof(DBBINDING) * a.bindings.size()));
    if (!copy)
        return E_OUTOFMEMORY;
    memcpy(copy, a.bindings.data(), sizeof(DBBINDING) * a.bindings.size());
    *flags = a.flags;
    *count = a.bindings.size();
    *bindings = copy;
    return S_OK;
}

}  // namespace zelk
