// The data source object: see datasource.h.
#include "provider/datasource.h"

#include "provider/errors.h"
#include "provider/session.h"
#include "provider/types.h"

#include "sqlite3.h"

#include <climits>
#include <cwctype>
#include <vector>

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

// The first bytes of every SQLite database file.
const char kDatabaseHeader[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};

std::wstring Decimal(unsigned long n)
{
    wchar_t code[16];
    _snwprintf(code, 15, L"%lu", n);
    code[15] = 0;
    return code;
}

// Reads the header of `path` without changing the file; false with the
// Win32 error (0 for a file too short) when it cannot be read.
bool ReadHeader(const std::wstring& path, char (&header)[16], DWORD& error)
{
    error = 0;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    DWORD read = 0;
    BOOL ok = ReadFile(file, header, sizeof(header), &read, nullptr);
    if (!ok)
        error = GetLastError();
    CloseHandle(file);
    return ok && read == sizeof(header);
}

// The key=value pairs of a provider string, separated by ";".
std::vector<std::pair<std::wstring, std::wstring>> SplitPairs(const std::wstring& text)
{
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L';', start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring item = text.substr(start, end - start);
        size_t equals = item.find(L'=');
        if (equals != std::wstring::npos)
            pairs.emplace_back(TrimValue(item.substr(0, equals).c_str()), TrimValue(item.substr(equals + 1).c_str()));
        start = end + 1;
    }
    return pairs;
}

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

int DataSource::LockTimeoutMs()
{
    Locked hold(lock_);
    return lockTimeoutMs_;
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
    else if (SameGuid(riid, IID_IDBDataSourceAdmin))
        *out = static_cast<IDBDataSourceAdmin*>(this);
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

HRESULT DataSource::ReadProviderString(REFIID iid)
{
    lockTimeoutMs_ = kDefaultLockTimeoutMs;
    for (const auto& pair : SplitPairs(providerString_)) {
        if (!SameName(pair.first, L"Lock Timeout"))
            continue;
        const wchar_t* text = pair.second.c_str();
        wchar_t* end = nullptr;
        errno = 0;
        long long value = wcstoll(text, &end, 10);
        if (end == text || *end || errno || value < -1 || value > INT_MAX)
            return PostError(iid, E_FAIL, L"HY024", 0,
                             L"The Lock Timeout of the connection string must be a number of milliseconds (0 or more, "
                             L"or -1 to wait without limit), not \"" + pair.second + L"\".");
        lockTimeoutMs_ = value < 0 ? INT_MAX : static_cast<int>(value);
    }
    return S_OK;
}

HRESULT DataSource::Open(REFIID iid, bool create)
{
    if (initialized_)
        return PostError(iid, DB_E_ALREADYINITIALIZED, L"HY000", 0, L"The database connection is already open.");
    if (path_.empty())
        return PostError(iid, E_FAIL, L"08001", 17,
                         L"No database file is named: the connection string needs a \"Data Source\".");
    HRESULT hr = ReadProviderString(iid);
    if (FAILED(hr))
        return hr;
    if (create) {
        // A new file only: an existing one, database or not, is never replaced.
        HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            DWORD error = GetLastError();
            bool exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
            return PostError(iid, exists ? DB_E_DUPLICATEDATASOURCE : E_FAIL, L"08001", exists ? 1801 : 5123,
                             exists ? L"The database file \"" + path_ + L"\" already exists: a new database needs a "
                                                                       L"new file."
                                    : L"The database file \"" + path_ +
                                          L"\" cannot be made: check the folder and the access rights.",
                             L"CreateFileW failed with " + Decimal(error) + L" for " + path_);
        }
        CloseHandle(file);
    } else {
        DWORD attributes = GetFileAttributesW(path_.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            DWORD error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0;
            return PostError(iid, E_FAIL, L"08001", 17,
                             L"The database file \"" + path_ +
                                 L"\" cannot be found: check the Data Source of the connection string.",
                             L"GetFileAttributesW failed with " + Decimal(error) + L" for " + path_);
        }
        // Only a file that is a database already is opened: SQLite would make
        // an empty file into one, writing to a file that may be anything.
        char header[16] = {};
        DWORD error = 0;
        if (!ReadHeader(path_, header, error) || memcmp(header, kDatabaseHeader, sizeof(header)) != 0) {
            if (error)
                return PostError(iid, E_FAIL, L"08001", 17,
                                 L"The database file \"" + path_ +
                                     L"\" cannot be read: check the access rights of the file.",
                                 L"ReadFile failed with " + Decimal(error) + L" for " + path_);
            return PostError(iid, E_FAIL, L"08001", 17,
                             L"The file \"" + path_ + L"\" named as the database is not a database.",
                             L"The file does not begin with the header of a database: " + path_);
        }
    }
    // Open once to make sure it opens as a database, and switch it to WAL
    // journaling (kept in the file; on a new file this writes its header).
    sqlite3* db = nullptr;
    std::string path = ToUtf8(path_);
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, lockTimeoutMs_);
        rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        hr = PostSqliteError(iid, db, rc, L"sqlite3_open_v2", path_);
        sqlite3_close_v2(db);
        if (create)
            DeleteFileW(path_.c_str());
        return hr == DB_E_ERRORSINCOMMAND ? E_FAIL : hr;
    }
    sqlite3_close_v2(db);
    initialized_ = true;
    props_.SetText(DBPROPSET_DATASOURCE, DBPROP_CURRENTCATALOG, catalog_.c_str());
    return S_OK;
}

HRESULT DataSource::Initialize()
{
    ClearErrorInfo();
    return Guard(L"IDBInitialize::Initialize", [&]() -> HRESULT {
        Locked hold(lock_);
        return Open(IID_IDBInitialize, false);
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
        // The initialization service hands each key it does not know over as
        // one more provider string of the same call: they are joined.
        bool providerStringSet = false;
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
                else if (p.dwPropertyID == DBPROP_INIT_PROVIDERSTRING) {
                    if (!providerStringSet || providerString_.empty())
                        providerString_ = value;
                    else if (!value.empty())
                        providerString_ += L";" + value;
                    providerStringSet = true;
                }
            } else if (V_VT(&p.vValue) == VT_EMPTY) {
                if (p.dwPropertyID == DBPROP_INIT_DATASOURCE)
                    path_.clear();
                else if (p.dwPropertyID == DBPROP_INIT_CATALOG)
                    catalog_.clear();
                else if (p.dwPropertyID == DBPROP_INIT_PROVIDERSTRING && !providerStringSet)
                    providerString_.clear();
            } else if (p.dwPropertyID == DBPROP_INIT_DATASOURCE || p.dwPropertyID == DBPROP_INIT_CATALOG) {
                return DBPROPSTATUS_BADVALUE;
            }
            return DBPROPSTATUS_OK;
        });
        // Store the trimmed texts rather than the values as they came.
        props_.SetText(DBPROPSET_DBINIT, DBPROP_INIT_DATASOURCE, path_.c_str());
        props_.SetText(DBPROPSET_DBINIT, DBPROP_INIT_CATALOG, catalog_.c_str());
        if (providerStringSet)
            props_.SetText(DBPROPSET_DBINIT, DBPROP_INIT_PROVIDERSTRING, providerString_.c_str());
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

HRESULT DataSource::CreateDataSource(ULONG setCount, DBPROPSET sets[], IUnknown* outer, REFIID riid,
                                     IUnknown** session)
{
    ClearErrorInfo();
    if (session)
        *session = nullptr;
    if (outer)
        return PostError(IID_IUnknown, DB_E_NOAGGREGATION, L"HY000", 0, L"The provider's objects cannot be aggregated.");
    if (!SameGuid(riid, IID_NULL) && !session)
        return InvalidArgument(L"DataSource::CreateDataSource");
    return Guard(L"IDBDataSourceAdmin::CreateDataSource", [&]() -> HRESULT {
        {
            Locked hold(lock_);
            if (initialized_)
                return PostError(IID_IDBDataSourceAdmin, DB_E_ALREADYINITIALIZED, L"HY000", 0,
                                 L"The database connection is already open.");
            if (setCount) {
                HRESULT hr = SetProperties(setCount, sets);
                if (FAILED(hr))
                    return hr;
            }
            HRESULT hr = Open(IID_IDBDataSourceAdmin, true);
            if (FAILED(hr))
                return hr;
        }
        if (SameGuid(riid, IID_NULL))
            return S_OK;
        return Session::Create(this, riid, session);
    });
}

HRESULT DataSource::DestroyDataSource()
{
    ClearErrorInfo();
    return PostError(IID_IDBDataSourceAdmin, DB_E_NOTSUPPORTED, L"HYC00", 0,
                     L"The database provider does not remove databases: delete the database file instead.");
}

HRESULT DataSource::GetCreationProperties(ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* infoSetCount,
                                          DBPROPINFOSET** infoSets, OLECHAR** descriptions)
{
    // A new database takes the same properties as an existing one is opened with.
    return GetPropertyInfo(idSetCount, idSets, infoSetCount, infoSets, descriptions);
}

HRESULT DataSource::ModifyDataSource(ULONG setCount, DBPROPSET sets[])
{
    ClearErrorInfo();
    return PostError(IID_IDBDataSourceAdmin, DB_E_NOTSUPPORTED, L"HYC00", 0,
                     L"The properties of a database cannot be changed after it is made.");
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
            SameGuid(riid, IID_IDBCreateSession) || SameGuid(riid, IID_IDBDataSourceAdmin))
               ? S_OK
               : S_FALSE;
}

}  // namespace zelk
