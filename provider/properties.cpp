// Property lists: see properties.h. This file also defines the OLE DB
// property-set GUIDs and DB_NULLID for the whole provider.
#define DBINITCONSTANTS
#include "provider/properties.h"

#include "provider/errors.h"

namespace zelk {

PropertyBag::PropertyBag(const PropertyBag& other) { *this = other; }

PropertyBag& PropertyBag::operator=(const PropertyBag& other)
{
    if (this == &other)
        return *this;
    for (Entry& e : entries_)
        VariantClear(&e.value);
    entries_.clear();
    for (const Entry& e : other.entries_) {
        Entry copy{e.set, e.id, VARIANT()};
        VariantInit(&copy.value);
        VariantCopy(&copy.value, const_cast<VARIANT*>(&e.value));
        entries_.push_back(copy);
    }
    return *this;
}

PropertyBag::~PropertyBag()
{
    for (Entry& e : entries_)
        VariantClear(&e.value);
}

PropertyBag::Entry& PropertyBag::Slot(REFGUID set, DBPROPID id)
{
    for (Entry& e : entries_)
        if (e.id == id && SameGuid(e.set, set)) {
            VariantClear(&e.value);
            return e;
        }
    entries_.push_back(Entry{set, id, VARIANT()});
    VariantInit(&entries_.back().value);
    return entries_.back();
}

void PropertyBag::SetBool(REFGUID set, DBPROPID id, bool value)
{
    Entry& e = Slot(set, id);
    V_VT(&e.value) = VT_BOOL;
    V_BOOL(&e.value) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void PropertyBag::SetI4(REFGUID set, DBPROPID id, LONG value)
{
    Entry& e = Slot(set, id);
    V_VT(&e.value) = VT_I4;
    V_I4(&e.value) = value;
}

void PropertyBag::SetText(REFGUID set, DBPROPID id, const wchar_t* value)
{
    Entry& e = Slot(set, id);
    V_VT(&e.value) = VT_BSTR;
    V_BSTR(&e.value) = SysAllocString(value);
}

void PropertyBag::SetVariant(REFGUID set, DBPROPID id, const VARIANT& value)
{
    Entry& e = Slot(set, id);
    VariantCopy(&e.value, const_cast<VARIANT*>(&value));
}

const VARIANT* PropertyBag::Find(REFGUID set, DBPROPID id) const
{
    for (const Entry& e : entries_)
        if (e.id == id && SameGuid(e.set, set))
            return &e.value;
    return nullptr;
}

HRESULT PropertyBag::Get(ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* setCount, DBPROPSET** sets) const
{
    if (!setCount || !sets)
        return InvalidArgument(L"PropertyBag::Get");
    *setCount = 0;
    *sets = nullptr;
    if (idSetCount && !idSets)
        return InvalidArgument(L"PropertyBag::Get");

    // The requested shape: a list of sets, each with its ids (empty: all of the set).
    struct Want {
        GUID set;
        std::vector<DBPROPID> ids;
        bool all;
    };
    std::vector<Want> wants;
    if (idSetCount == 0) {
        for (const Entry& e : entries_) {
            bool seen = false;
            for (const Want& w : wants)
                seen = seen || SameGuid(w.set, e.set);
            if (!seen)
                wants.push_back(Want{e.set, {}, true});
        }
    } else {
        for (ULONG i = 0; i < idSetCount; ++i) {
            if (idSets[i].cPropertyIDs && !idSets[i].rgPropertyIDs)
                return InvalidArgument(L"PropertyBag::Get");
            Want w{idSets[i].guidPropertySet, {}, idSets[i].cPropertyIDs == 0};
            w.ids.assign(idSets[i].rgPropertyIDs, idSets[i].rgPropertyIDs + idSets[i].cPropertyIDs);
            wants.push_back(w);
        }
    }
    for (Want& w : wants)
        if (w.all)
            for (const Entry& e : entries_)
                if (SameGuid(e.set, w.set))
                    w.ids.push_back(e.id);

    auto* out = static_cast<DBPROPSET*>(CoTaskMemAlloc(sizeof(DBPROPSET) * (wants.empty() ? 1 : wants.size())));
    if (!out)
        return E_OUTOFMEMORY;
    size_t asked = 0, found = 0;
    for (size_t s = 0; s < wants.size(); ++s) {
        const Want& w = wants[s];
        DBPROPSET& set = out[s];
        set.guidPropertySet = w.set;
        set.cProperties = static_cast<ULONG>(w.ids.size());
        set.rgProperties = nullptr;
        if (w.ids.empty())
            continue;
        set.rgProperties = static_cast<DBPROP*>(CoTaskMemAlloc(sizeof(DBPROP) * w.ids.size()));
        if (!set.rgProperties) {
            for (size_t k = 0; k < s; ++k) {
                for (ULONG p = 0; p < out[k].cProperties; ++p)
                    VariantClear(&out[k].rgProperties[p].vValue);
                CoTaskMemFree(out[k].rgProperties);
            }
            CoTaskMemFree(out);
            return E_OUTOFMEMORY;
        }
        for (size_t p = 0; p < w.ids.size(); ++p) {
            DBPROP& prop = set.rgProperties[p];
            prop.dwPropertyID = w.ids[p];
            prop.dwOptions = DBPROPOPTIONS_REQUIRED;
            prop.colid = DB_NULLID;
            VariantInit(&prop.vValue);
            ++asked;
            if (const VARIANT* v = Find(w.set, w.ids[p])) {
                VariantCopy(&prop.vValue, const_cast<VARIANT*>(v));
                prop.dwStatus = DBPROPSTATUS_OK;
                ++found;
            } else {
                prop.dwStatus = DBPROPSTATUS_NOTSUPPORTED;
            }
        }
    }
    *setCount = static_cast<ULONG>(wants.size());
    *sets = out;
    if (wants.empty()) {
        CoTaskMemFree(out);
        *sets = nullptr;
    }
    if (found == asked)
        return S_OK;
    return found ? DB_S_ERRORSOCCURRED
                 : PostError(IID_IUnknown, DB_E_ERRORSOCCURRED, L"HY000", 0,
                             L"None of the properties asked for is supported by the database provider.");
}

HRESULT PropertyBag::Set(ULONG setCount, DBPROPSET sets[], const Check& check)
{
    if (setCount && !sets)
        return InvalidArgument(L"PropertyBag::Set");
    size_t total = 0, stored = 0;
    bool requiredFailed = false;
    for (ULONG s = 0; s < setCount; ++s) {
        if (sets[s].cProperties && !sets[s].rgProperties)
            return InvalidArgument(L"PropertyBag::Set");
        for (ULONG p = 0; p < sets[s].cProperties; ++p) {
            DBPROP& prop = sets[s].rgProperties[p];
            ++total;
            DBPROPSTATUS status = check(sets[s].guidPropertySet, prop);
            if (status == DBPROPSTATUS_OK) {
                SetVariant(sets[s].guidPropertySet, prop.dwPropertyID, prop.vValue);
                ++stored;
            } else if (prop.dwOptions == DBPROPOPTIONS_OPTIONAL) {
                status = DBPROPSTATUS_NOTSET;
            } else {
                requiredFailed = true;
            }
            prop.dwStatus = status;
        }
    }
    if (stored == total)
        return S_OK;
    return (stored == 0 || requiredFailed) ? DB_E_ERRORSOCCURRED : DB_S_ERRORSOCCURRED;
}

}  // namespace zelk
