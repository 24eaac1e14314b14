// The data source object: what IDataInitialize::GetDataSource creates.
//
// States: Uninitialized (after creation: SetProperties takes the DBINIT
// properties) -> Initialized (Initialize checked that the database file
// exists and is a database, and switched it to WAL journaling; or
// IDBDataSourceAdmin::CreateDataSource made a new database file that did not
// exist) -> Uninitialized again by Uninitialize, refused while sessions are
// open.
// Initialize never writes to a file that is not a database already: a file
// whose first bytes are not SQLite's header (an empty file among them) is
// refused and left as it is. New databases are made by CreateDataSource only.
// Every value of the initialization string comes in through SetProperties
// trimmed of blanks, line breaks and enclosing quotes; "Data Source" is the
// database file and "Initial Catalog" the catalog that DBPROP_CURRENTCATALOG
// answers. Of the keys the initialization service passes on in the provider
// string, "Lock Timeout" (milliseconds, as SQL Server's SET LOCK_TIMEOUT; -1
// waits without limit) is how long a statement waits for another
// connection's lock before it fails with HYT00 (kDefaultLockTimeoutMs when
// not given); the SQL Server-only keys are accepted and ignored.
#pragma once

#include "provider/common.h"
#include "provider/properties.h"

#include <string>

namespace zelk {

// The lock timeout of a connection that names none: short, because the
// waiting thread is often the one the user works on.
constexpr int kDefaultLockTimeoutMs = 5000;

class DataSource final : public IDBInitialize,
                         public IDBProperties,
                         public IDBCreateSession,
                         public IDBDataSourceAdmin,
                         public IPersist,
                         public ISupportErrorInfo {
public:
    static HRESULT Create(IUnknown* outer, REFIID riid, void** out);

    // The database file, fixed while initialized.
    std::wstring Path();
    std::wstring Catalog();
    // The lock timeout in milliseconds (for sqlite3_busy_timeout), fixed while initialized.
    int LockTimeoutMs();
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
    // IDBDataSourceAdmin: CreateDataSource makes a new, empty database file
    // and initializes the data source on it; the other methods are not supported.
    HRESULT WINAPI CreateDataSource(ULONG setCount, DBPROPSET sets[], IUnknown* outer, REFIID riid,
                                    IUnknown** session) override;
    HRESULT WINAPI DestroyDataSource() override;
    HRESULT WINAPI GetCreationProperties(ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* infoSetCount,
                                         DBPROPINFOSET** infoSets, OLECHAR** descriptions) override;
    HRESULT WINAPI ModifyDataSource(ULONG setCount, DBPROPSET sets[]) override;
    // IPersist
    HRESULT WINAPI GetClassID(CLSID* clsid) override;
    // ISupportErrorInfo
    HRESULT WINAPI InterfaceSupportsErrorInfo(REFIID riid) override;

private:
    DataSource();
    ~DataSource() = default;
    // Initialize and CreateDataSource: checks the properties and the file,
    // makes the file first when `create`, and opens it; the lock is held.
    HRESULT Open(REFIID iid, bool create);
    HRESULT ReadProviderString(REFIID iid);

    std::atomic<ULONG> refs_{1};
    LiveObject live_;
    Lock lock_;
    bool initialized_ = false;
    PropertyBag props_;  // DBPROPSET_DBINIT as set, DBPROPSET_DATASOURCE once initialized
    std::wstring path_;
    std::wstring catalog_;
    std::wstring providerString_;  // DBPROP_INIT_PROVIDERSTRING as set
    int lockTimeoutMs_ = kDefaultLockTimeoutMs;
    std::atomic<long> sessions_{0};
};

}  // namespace zelk
