// Property sets of the data source, sessions, commands and rowsets: a flat
// list of {set, id, value}, answered and changed in the shapes of
// IDBProperties, ISessionProperties, ICommandProperties and IRowsetInfo.
#pragma once

#include "provider/common.h"

#include <functional>
#include <vector>

namespace zelk {

class PropertyBag {
public:
    PropertyBag() = default;
    PropertyBag(const PropertyBag& other);
    PropertyBag& operator=(const PropertyBag& other);
    ~PropertyBag();

    void SetBool(REFGUID set, DBPROPID id, bool value);
    void SetI4(REFGUID set, DBPROPID id, LONG value);
    void SetText(REFGUID set, DBPROPID id, const wchar_t* value);
    void SetVariant(REFGUID set, DBPROPID id, const VARIANT& value);
    const VARIANT* Find(REFGUID set, DBPROPID id) const;

    // The GetProperties shape: every property when no sets are asked for, every
    // property of a set when no ids are asked for; unknown ids come back with
    // DBPROPSTATUS_NOTSUPPORTED (DB_S_ERRORSOCCURRED, or DB_E_ERRORSOCCURRED when none is known).
    HRESULT Get(ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* setCount, DBPROPSET** sets) const;

    // The SetProperties shape: `check` answers DBPROPSTATUS_OK to store a
    // property or the status that refuses it; a refused REQUIRED property makes
    // the call fail, an OPTIONAL one comes back DBPROPSTATUS_NOTSET.
    using Check = std::function<DBPROPSTATUS(REFGUID set, const DBPROP& property)>;
    HRESULT Set(ULONG setCount, DBPROPSET sets[], const Check& check);

private:
    struct Entry {
        GUID set;
        DBPROPID id;
        VARIANT value;
    };
    Entry& Slot(REFGUID set, DBPROPID id);
    std::vector<Entry> entries_;
};

}  // namespace zelk
