// The data source object: see datasource.h.
#include "provider/datasource.h"

#include "provider/errors.h"
#include "provider/session.h"

#include "sqlite3.h"

#include <cwctype>

namespace zelk {
namespace {

// Blanks, line breaks and one pair of enclosing quotes go: the initialization
// service hands values over as written, with the line break of the file.
std::wstring TrimValue(const wchar_t* text)
{
    std::wstring s = text ? text : L"";
    size_t b = 0, e = s.size();
    while (b < e && iswspace(s[b]))
        ++b;
    while (e > b && iswspace(s[e - 1]))
        --e;
    if (e - b >= 2 && (s[b] == L'"' || s[b] == L'\'') && s[e - 1] == s[b]) {
        ++b;
        --e;
    }
    return s.substr(b, e - b);
}

// Wine's initialisation service hands "Initial Catalog" over under the id of
// DBPROP_CATALOGLOCATION (0x16) in the DBINIT set, where no other key lands:
// it is taken as the catalog like DBPROP_INIT_CATALOG.
constexpr DBPROPID kWineCatalogId = DBPROP_CATALOGLOCATION;

}  // namespace

DataSource::DataSource() = default;

HRESULT DataSource::Create(IUnknown* outer, REFIID riid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return Guard(L"DataSource::Create", [&] {
        auto* source = new DataSource();
        HRESULT hr = source->QueryInterface(riid, out);
        source->Release();
        return hr;
    });
}

std::wstring DataSource::Path()
{
    Locked hold(lock_);
    return path_;
}

std::wstring DataSource::Catalog()
{
    Locked hold(lock_);
    return catalog_;
}

HRESULT DataSource::QueryInterface(REFIID riid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (SameGuid(riid, IID_IUnknown) || SameGuid(riid, IID_IDBInitialize))
        *out = static_cast<IDBInitialize*>(this);
    else if (SameGuid(riid, IID_IDBProperties))
        *out = static_cast<IDBProperties*>(this);
    else if (SameGuid(riid, IID_IDBCreateSession))
        *out = static_cast<IDBCreateSession*>(this);
    else if (SameGuid(riid, IID_IPersist))
        *out = static_cast<IPersist*>(this);
    else if (SameGuid(riid, IID_ISupportErrorInfo))
        *out = static_cast<ISupportErrorInfo*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG DataSource::Release()
{
    return ReleaseRef(refs_, [this] { delete this; });
}

HRESULT DataSource::Initialize()
{
    ClearErrorInfo();
    return Guard(L"IDBInitialize::Initialize", [&]() -> HRESULT {
        Locked hold(lock_);
        if (initialized_)
            return PostError(IID_IDBInitialize, DB_E_ALREADYINITIALIZED, L"HY000", 0,
                             L"The database connection is already open.");
        if (path_.empty())
            return PostError(IID_IDBInitialize, E_FAIL, L"08001", 17,
                             L"No database file is named: the connection string needs a \"Data Source\".");
        DWORD attributes = GetFileAttributesW(path_.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            DWORD error = GetLastError();
            wchar_t code[16];
            _snwprintf(code, 15, L"%lu", attributes == INVALID_FILE_ATTRIBUTES ? error : 0ul);
            code[15] = 0;
            return PostError(IID_IDBInitialize, E_FAIL, L"08001", 17,
                             L"The database file \"" + path_ +
                                 L"\" cannot be found: check the Data Source of the connection string.",
                             L"GetFileAttributesW failed with " + std::wstring(code) + L" for " + path_);
        }
        // Open once to make sure it is a database, and switch it to WAL journaling (kept in the file).
        sqlite3* db = nullptr;
        std::string path = ToUtf8(path_);
        int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_extended_result_codes(db, 1);
            sqlite3_busy_timeout(db, kBusyTimeoutMs);
            rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        }
        if (rc != SQLITE_OK) {
            HRESULT hr = PostSqliteError(IID_IDBInitialize, db, rc, L"sqlite3_open_v2", path_);
            sqlite3_close_v2(db);
            return hr == DB_E_ERRORSINCOMMAND ? E_FAIL : hr;
        }
        sqlite3_close_v2(db);
        initialized_ = true;
        props_.SetText(DBPROPSET_DATASOURCE, DBPROP_CURRENTCATALOG, catalog_.c_str());
        return S_OK;
    });
}

HRESULT DataSource::Uninitialize()
{
    ClearErrorInfo();
    Locked hold(lock_);
    if (sessions_ > 0)
        return PostError(IID_IDBInitialize, DB_E_OBJECTOPEN, L"HY000", 0,
                         L"The database connection cannot be closed while sessions on it are open.");
    initialized_ = false;
    return S_OK;
}

HRESULT DataSource::GetProperties(ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* setCount, DBPROPSET** sets)
{
    ClearErrorInfo();
    return Guard(L"IDBProperties::GetProperties", [&] {
        Locked hold(lock_);
        return props_.Get(idSetCount, idSets, setCount, sets);
    });
}

HRESULT DataSource::GetPropertyInfo(ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* infoSetCount,
                                    DBPROPINFOSET** infoSets, OLECHAR** descriptions)
{
    ClearErrorInfo();
    if (!infoSetCount || !infoSets)
        return InvalidArgument(L"DataSource::GetPropertyInfo");
    *infoSetCount = 0;
    *infoSets = nullptr;
    if (descriptions)
        *descriptions = nullptr;
    return Guard(L"IDBProperties::GetPropertyInfo", [&]() -> HRESULT {
        // The initialization properties the connection string can carry.
        struct Known {
            DBPROPID id;
            VARTYPE type;
            const wchar_t* name;
        };
        static const Known known[] = {
            {DBPROP_INIT_DATASOURCE, VT_BSTR, L"Data Source"},
            {DBPROP_INIT_CATALOG, VT_BSTR, L"Initial Catalog"},
            {DBPROP_AUTH_USERID, VT_BSTR, L"User ID"},
            {DBPROP_AUTH_PASSWORD, VT_BSTR, L"Password"},
            {DBPROP_INIT_PROVIDERSTRING, VT_BSTR, L"Extended Properties"},
        };
        const size_t n = sizeof(known) / sizeof(known[0]);
        bool wantInit = idSetCount == 0;
        for (ULONG i = 0; i < idSetCount && idSets; ++i)
            wantInit = wantInit || SameGuid(idSets[i].guidPropertySet, DBPROPSET_DBINIT) ||
                       SameGuid(idSets[i].guidPropertySet, DBPROPSET_DBINITALL);
        if (!wantInit)
            return DB_E_ERRORSOCCURRED;
        size_t chars = 0;
        for (const Known& k : known)
            chars += wcslen(k.name) + 1;
        auto* set = static_cast<DBPROPINFOSET*>(CoTaskMemAlloc(sizeof(DBPROPINFOSET)));
        auto* infos = static_cast<DBPROPINFO*>(CoTaskMemAlloc(sizeof(DBPROPINFO) * n));
        auto* text = descriptions ? static_cast<OLECHAR*>(CoTaskMemAlloc(chars * sizeof(OLECHAR))) : nullptr;
        if (!set || !infos || (descriptions && !text)) {
            CoTaskMemFree(set);
            CoTaskMemFree(infos);
            CoTaskMemFree(text);
            return E_OUTOFMEMORY;
        }
        OLECHAR* next = text;
        for (size_t i = 0; i < n; ++i) {
            infos[i].dwPropertyID = known[i].id;
            infos[i].dwFlags = DBPROPFLAGS_DBINIT | DBPROPFLAGS_READ | DBPROPFLAGS_WRITE;
            infos[i].vtType = known[i].type;
            VariantInit(&infos[i].vValues);
            infos[i].pwszDescription = nullptr;
            if (next) {
                wcscpy(next, known[i].name);
                infos[i].pwszDescription = next;
                next += wcslen(known[i].name) + 1;
            }
        }
        set->guidPropertySet = DBPROPSET_DBINIT;
        set->cPropertyInfos = static_cast<ULONG>(n);
        set->rgPropertyInfos = infos;
        *infoSetCount = 1;
        *infoSets = set;
        if (descriptions)
            *descriptions = text;
        return S_OK;
    });
}

HRESULT DataSource::SetProperties(ULONG setCount, DBPROPSET sets[])
{
    ClearErrorInfo();
    return Guard(L"IDBProperties::SetProperties", [&]() -> HRESULT {
        Locked hold(lock_);
        HRESULT hr = props_.Set(setCount, sets, [&](REFGUID set, const DBPROP& p) -> DBPROPSTATUS {
            if (!SameGuid(set, DBPROPSET_DBINIT))
                return DBPROPSTATUS_NOTSUPPORTED;
            if (initialized_)
                return DBPROPSTATUS_NOTSETTABLE;
            if (V_VT(&p.vValue) == VT_BSTR) {
                std::wstring value = TrimValue(V_BSTR(&p.vValue));
                if (p.dwPropertyID == DBPROP_INIT_DATASOURCE)
                    path_ = value;
                else if (p.dwPropertyID == DBPROP_INIT_CATALOG || p.dwPropertyID == kWineCatalogId)
                    catalog_ = value;
            } else if (V_VT(&p.vValue) == VT_EMPTY) {
                if (p.dwPropertyID == DBPROP_INIT_DATASOURCE)
                    path_.clear();
                else if (p.dwPropertyID == DBPROP_INIT_CATALOG)
                    catalog_.clear();
            } else if (p.dwPropertyID == DBPROP_INIT_DATASOURCE || p.dwPropertyID == DBPROP_INIT_CATALOG) {
                return DBPROPSTATUS_BADVALUE;
            }
            return DBPROPSTATUS_OK;
        });
        // Store the trimmed texts rather than the values as they came.
        props_.SetText(DBPROPSET_DBINIT, DBPROP_INIT_DATASOURCE, path_.c_str());
        props_.SetText(DBPROPSET_DBINIT, DBPROP_INIT_CATALOG, catalog_.c_str());
        if (FAILED(hr))
            return PostError(IID_IDBProperties, hr, L"HY000", 0,
                             initialized_ ? L"The connection properties cannot be changed while the database is open."
                                          : L"A connection property is not supported by the database provider.");
        return hr;
    });
}

HRESULT DataSource::CreateSession(IUnknown* outer, REFIID riid, IUnknown** session)
{
    ClearErrorInfo();
    if (!session)
        return InvalidArgument(L"DataSource::CreateSession");
    *session = nullptr;
    if (outer)
        return PostError(IID_IUnknown, DB_E_NOAGGREGATION, L"HY000", 0, L"The provider's objects cannot be aggregated.");
    return Guard(L"IDBCreateSession::CreateSession", [&]() -> HRESULT {
        {
            Locked hold(lock_);
            if (!initialized_)
                return PostError(IID_IDBCreateSession, E_UNEXPECTED, L"08003", 0,
                                 L"The database connection is not open.");
        }
        return Session::Create(this, riid, session);
    });
}

HRESULT DataSource::GetClassID(CLSID* clsid)
{
    if (!clsid)
        return E_FAIL;
    *clsid = kClsidProvider;
    return S_OK;
}

HRESULT DataSource::InterfaceSupportsErrorInfo(REFIID riid)
{
    return (SameGuid(riid, IID_IDBInitialize) || SameGuid(riid, IID_IDBProperties) ||
            SameGuid(riid, IID_IDBCreateSession))
               ? S_OK
               : S_FALSE;
}

}  // namespace zelk
