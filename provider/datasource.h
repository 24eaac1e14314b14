// The data source object: what IDataInitialize::GetDataSource creates.
//
// States: Uninitialized (after creation: SetProperties takes the DBINIT
// properties) -> Initialized (Initialize checked that the database file
// exists and opens as a database, and switched it to WAL journaling) ->
// Uninitialized again by Uninitialize, refused while sessions are open.
// Every value of the initialization string comes in through SetProperties
// trimmed of blanks, line breaks and enclosing quotes; "Data Source" is the
// database file and "Initial Catalog" the catalog that DBPROP_CURRENTCATALOG
// answers; the SQL Server-only keys are accepted and ignored.
#pragma once

#include "provider/common.h"
#include "provider/properties.h"

#include <string>

namespace zelk {

class DataSource final : public IDBInitialize,
                         public IDBProperties,
                         public IDBCreateSession,
                         public IPersist,
                         public ISupportErrorInfo {
public:
    static HRESULT Create(IUnknown* outer, REFIID riid, void** out);

    // The database file, fixed while initialized.
    std::wstring Path();
    std::wstring Catalog();
    void SessionOpened() { ++sessions_; }
    void SessionClosed() { --sessions_; }

    // IUnknown
    HRESULT WINAPI QueryInterface(REFIID riid, void** out) override;
    ULONG WINAPI AddRef() override { return ++refs_; }
    ULONG WINAPI Release() override;
    // IDBInitialize
    HRESULT WINAPI Initialize() override;
    HRESULT WINAPI Uninitialize() override;
    // IDBProperties
    HRESULT WINAPI GetProperties(ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* setCount,
                                 DBPROPSET** sets) override;
    HRESULT WINAPI GetPropertyInfo(ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* infoSetCount,
                                   DBPROPINFOSET** infoSets, OLECHAR** descriptions) override;
    HRESULT WINAPI SetProperties(ULONG setCount, DBPROPSET sets[]) override;
    // IDBCreateSession
    HRESULT WINAPI CreateSession(IUnknown* outer, REFIID riid, IUnknown** session) override;
    // IPersist
    HRESULT WINAPI GetClassID(CLSID* clsid) override;
    // ISupportErrorInfo
    HRESULT WINAPI InterfaceSupportsErrorInfo(REFIID riid) override;

private:
    DataSource();
    ~DataSource() = default;

    std::atomic<ULONG> refs_{1};
    LiveObject live_;
    Lock lock_;
    bool initialized_ = false;
    PropertyBag props_;  // DBPROPSET_DBINIT as set, DBPROPSET_DATASOURCE once initialized
    std::wstring path_;
    std::wstring catalog_;
    std::atomic<long> sessions_{0};
};

}  // namespace zelk
