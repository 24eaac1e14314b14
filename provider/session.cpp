// Sessions and their local transactions: see session.h.
#include "provider/session.h"

#include "provider/collation.h"
#include "provider/command.h"
#include "provider/datasource.h"
#include "provider/errors.h"
#include "provider/rowset.h"

#include "sqlite3.h"

namespace zelk {
namespace {

// The rowset properties that a table rowset honours: the six that the
// database layer asks for as REQUIRED and the ones every rowset has.
DBPROPSTATUS CheckRowsetProperty(REFGUID set, const DBPROP& p)
{
    if (!SameGuid(set, DBPROPSET_ROWSET))
        return DBPROPSTATUS_NOTSUPPORTED;
    VARTYPE vt = V_VT(&p.vValue);
    bool isTrue = vt == VT_BOOL && V_BOOL(&p.vValue) != VARIANT_FALSE;
    switch (p.dwPropertyID) {
    case DBPROP_SERVERCURSOR:
    case DBPROP_SERVERDATAONINSERT:
    case DBPROP_OWNUPDATEDELETE:
    case DBPROP_OWNINSERT:
    case DBPROP_OTHERINSERT:
    case DBPROP_OTHERUPDATEDELETE:
    case DBPROP_REMOVEDELETED:
    case DBPROP_CANHOLDROWS:
    case DBPROP_IRowsetChange:
    case DBPROP_IRowset:
    case DBPROP_IAccessor:
    case DBPROP_IColumnsInfo:
    case DBPROP_IRowsetInfo:
    case DBPROP_IConvertType:
    case DBPROP_ISupportErrorInfo:
        return vt == VT_BOOL || vt == VT_EMPTY ? DBPROPSTATUS_OK : DBPROPSTATUS_BADVALUE;
    case DBPROP_CANFETCHBACKWARDS:
    case DBPROP_CANSCROLLBACKWARDS:
    case DBPROP_BOOKMARKS:
    case DBPROP_IRowsetLocate:
    case DBPROP_IRowsetScroll:
        return vt == VT_EMPTY || (vt == VT_BOOL && !isTrue) ? DBPROPSTATUS_OK : DBPROPSTATUS_NOTSUPPORTED;
    case DBPROP_UPDATABILITY:
        return vt == VT_EMPTY || (vt == VT_I4 && (V_I4(&p.vValue) & ~7) == 0) ? DBPROPSTATUS_OK
                                                                               : DBPROPSTATUS_BADVALUE;
    case DBPROP_COMMANDTIMEOUT:
    case DBPROP_MAXROWS:
        return vt == VT_I4 || vt == VT_EMPTY ? DBPROPSTATUS_OK : DBPROPSTATUS_BADVALUE;
    default:
        return DBPROPSTATUS_NOTSUPPORTED;
    }
}

std::wstring TrimName(std::wstring name)
{
    // "[dbo].[Patient]", "dbo.Patient" and "[Patient]" all name Patient.
    size_t dot = std::wstring::npos;
    bool inBracket = false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == L'[')
            inBracket = true;
        else if (name[i] == L']')
            inBracket = false;
        else if (name[i] == L'.' && !inBracket)
            dot = i;
    }
    if (dot != std::wstring::npos)
        name = name.substr(dot + 1);
    if (name.size() >= 2 && ((name.front() == L'[' && name.back() == L']') ||
                             (name.front() == L'"' && name.back() == L'"')))
        name = name.substr(1, name.size() - 2);
    return name;
}

}  // namespace

Session::Session(DataSource* source) : source_(source)
{
    source_->AddRef();
    source_->SessionOpened();
    props_.SetI4(DBPROPSET_SESSION, DBPROP_SESS_AUTOCOMMITISOLEVELS, ISOLATIONLEVEL_READUNCOMMITTED);
}

Session::~Session()
{
    // Closing the connection rolls back a transaction left open.
    if (schemaVersion_)
        sqlite3_finalize(schemaVersion_);
    if (db_)
        sqlite3_close_v2(db_);
    source_->SessionClosed();
    source_->Release();
}

HRESULT Session::Create(DataSource* source, REFIID riid, IUnknown** out)
{
    auto* session = new Session(source);
    HRESULT hr = session->Open();
    if (SUCCEEDED(hr))
        hr = session->QueryInterface(riid, reinterpret_cast<void**>(out));
    session->Release();
    return hr;
}

HRESULT Session::Open()
{
    std::wstring path = source_->Path();
    std::string utf8 = ToUtf8(path);
    int rc = sqlite3_open_v2(utf8.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_timeout(db_, source_->LockTimeoutMs());
        rc = sqlite3_exec(db_, "PRAGMA foreign_keys=ON; PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    }
    if (rc == SQLITE_OK)
        rc = RegisterDialect(db_, source_->Catalog());
    if (rc != SQLITE_OK) {
        HRESULT hr = PostSqliteError(IID_IDBCreateSession, db_, rc, L"sqlite3_open_v2", path);
        return hr == DB_E_ERRORSINCOMMAND ? E_FAIL : hr;
    }
    return S_OK;
}

bool Session::TableColumns(const std::wstring& table, std::vector<ColumnInfo>& out, std::wstring* realName)
{
    out.clear();
    if (SameName(table, kColumnsView)) {
        static const wchar_t* const names[] = {L"TABLE_CATALOG", L"TABLE_SCHEMA", L"TABLE_NAME", L"COLUMN_NAME",
                                               L"ORDINAL_POSITION", L"COLUMN_DEFAULT", L"IS_NULLABLE",
                                               L"DATA_TYPE", L"CHARACTER_MAXIMUM_LENGTH"};
        for (const wchar_t* n : names) {
            ColumnInfo c;
            c.name = n;
            c.type = (c.name == L"ORDINAL_POSITION" || c.name == L"CHARACTER_MAXIMUM_LENGTH") ? IntegerType()
                                                                                              : TextType(128);
            c.typeKnown = true;
            c.notNull = c.name == L"TABLE_NAME" || c.name == L"COLUMN_NAME";
            c.table = kColumnsView;
            c.origin = c.name;
            out.push_back(c);
        }
        if (realName)
            *realName = kColumnsView;
        return true;
    }
    sqlite3_stmt* stmt = nullptr;
    std::wstring name;
    if (sqlite3_prepare16_v2(db_, L"SELECT name FROM sqlite_master WHERE type IN ('table','view') AND name=?1 "
                                  L"COLLATE NOCASE",
                             -1, &stmt, nullptr) != SQLITE_OK)
        return false;
    sqlite3_bind_text16(stmt, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(stmt) == SQLITE_ROW)
        name = static_cast<const wchar_t*>(sqlite3_column_text16(stmt, 0));
    sqlite3_finalize(stmt);
    if (name.empty())
        return false;
    if (realName)
        *realName = name;

    std::wstring quoted = L"\"";
    for (wchar_t c : name) {
        quoted += c;
        if (c == L'"')
            quoted += c;
    }
    quoted += L"\"";
    std::wstring sql = L"PRAGMA table_info(" + quoted + L")";
    if (sqlite3_prepare16_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        return false;
    int keys = 0;
    std::vector<std::wstring> declared;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        ColumnInfo c;
        c.name = static_cast<const wchar_t*>(sqlite3_column_text16(stmt, 1));
        auto* decl = static_cast<const wchar_t*>(sqlite3_column_text16(stmt, 2));
        declared.push_back(decl ? decl : L"");
        c.type = TypeFromDeclared(declared.back(), c.typeKnown);
        c.notNull = sqlite3_column_int(stmt, 3) != 0;
        c.primaryKey = sqlite3_column_int(stmt, 5) != 0;
        keys += c.primaryKey ? 1 : 0;
        c.writable = true;
        c.table = name;
        c.origin = c.name;
        out.push_back(c);
    }
    sqlite3_finalize(stmt);
    // A single INTEGER PRIMARY KEY is the rowid: the database fills it, as an identity.
    for (size_t i = 0; i < out.size(); ++i)
        if (keys == 1 && out[i].primaryKey && SameName(declared[i], L"INTEGER"))
            out[i].identity = true;
    return !out.empty();
}

HRESULT Session::QueryInterface(REFIID riid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (SameGuid(riid, IID_IUnknown) || SameGuid(riid, IID_IGetDataSource))
        *out = static_cast<IGetDataSource*>(this);
    else if (SameGuid(riid, IID_IOpenRowset))
        *out = static_cast<IOpenRowset*>(this);
    else if (SameGuid(riid, IID_ISessionProperties))
        *out = static_cast<ISessionProperties*>(this);
    else if (SameGuid(riid, IID_IDBCreateCommand))
        *out = static_cast<IDBCreateCommand*>(this);
    else if (SameGuid(riid, IID_ITransactionLocal) || SameGuid(riid, IID_ITransaction))
        *out = static_cast<ITransactionLocal*>(this);
    else if (SameGuid(riid, IID_ISupportErrorInfo))
        *out = static_cast<ISupportErrorInfo*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG Session::Release()
{
    return ReleaseRef(refs_, [this] { delete this; });
}

HRESULT Session::GetDataSource(REFIID riid, IUnknown** out)
{
    ClearErrorInfo();
    if (!out)
        return InvalidArgument(L"Session::GetDataSource");
    *out = nullptr;
    return source_->QueryInterface(riid, reinterpret_cast<void**>(out));
}

HRESULT Session::OpenRowset(IUnknown* outer, DBID* tableId, DBID* indexId, REFIID riid, ULONG setCount,
                            DBPROPSET sets[], IUnknown** rowset)
{
    ClearErrorInfo();
    if (rowset)
        *rowset = nullptr;
    if (!tableId && !indexId)
        return InvalidArgument(L"Session::OpenRowset");
    if (outer)
        return PostError(IID_IUnknown, DB_E_NOAGGREGATION, L"HY000", 0, L"The provider's objects cannot be aggregated.");
    return Guard(L"IOpenRowset::OpenRowset", [&]() -> HRESULT {
        if (indexId)
            return PostError(IID_IOpenRowset, DB_E_NOINDEX, L"HY000", 0,
                             L"Opening a table through an index is not supported.");
        if (tableId->eKind != DBKIND_NAME || !tableId->uName.pwszName || !*tableId->uName.pwszName)
            return PostError(IID_IOpenRowset, DB_E_BADTABLEID, L"42S02", 208, L"A table can only be opened by its name.");
        std::wstring asked = TrimName(tableId->uName.pwszName);

        PropertyBag props;
        props.SetBool(DBPROPSET_ROWSET, DBPROP_IRowset, true);
        props.SetBool(DBPROPSET_ROWSET, DBPROP_IAccessor, true);
        props.SetBool(DBPROPSET_ROWSET, DBPROP_IColumnsInfo, true);
        props.SetBool(DBPROPSET_ROWSET, DBPROP_IRowsetInfo, true);
        props.SetBool(DBPROPSET_ROWSET, DBPROP_IRowsetChange, true);
        props.SetI4(DBPROPSET_ROWSET, DBPROP_UPDATABILITY, DBPROPVAL_UP_INSERT);
        HRESULT propResult = props.Set(setCount, sets, CheckRowsetProperty);
        if (propResult == DB_E_ERRORSOCCURRED)
            return PostError(IID_IOpenRowset, DB_E_ERRORSOCCURRED, L"HY000", 0,
                             L"The table \"" + asked + L"\" cannot be opened with the properties asked for.");

        Locked hold(lock_);
        std::vector<ColumnInfo> columns;
        std::wstring name;
        if (!TableColumns(asked, columns, &name))
            return PostError(IID_IOpenRowset, DB_E_NOTABLE, L"42S02", 208,
                             L"The table \"" + asked + L"\" does not exist in the database.");
        if (!rowset)
            return propResult;  // the table exists; nothing asked for
        HRESULT hr = Rowset::CreateTable(this, name, std::move(columns), props, riid, rowset);
        return FAILED(hr) ? hr : propResult;
    });
}

HRESULT Session::GetProperties(ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* setCount, DBPROPSET** sets)
{
    ClearErrorInfo();
    return Guard(L"ISessionProperties::GetProperties", [&] {
        Locked hold(lock_);
        return props_.Get(idSetCount, idSets, setCount, sets);
    });
}

HRESULT Session::SetProperties(ULONG setCount, DBPROPSET sets[])
{
    ClearErrorInfo();
    return Guard(L"ISessionProperties::SetProperties", [&]() -> HRESULT {
        Locked hold(lock_);
        HRESULT hr = props_.Set(setCount, sets, [](REFGUID set, const DBPROP& p) -> DBPROPSTATUS {
            if (SameGuid(set, DBPROPSET_SESSION) && p.dwPropertyID == DBPROP_SESS_AUTOCOMMITISOLEVELS)
                return V_VT(&p.vValue) == VT_I4 ? DBPROPSTATUS_OK : DBPROPSTATUS_BADVALUE;
            return DBPROPSTATUS_NOTSUPPORTED;
        });
        if (FAILED(hr))
            return PostError(IID_ISessionProperties, hr, L"HY000", 0,
                             L"A session property is not supported by the database provider.");
        return hr;
    });
}

HRESULT Session::CreateCommand(IUnknown* outer, REFIID riid, IUnknown** command)
{
    ClearErrorInfo();
    if (!command)
        return InvalidArgument(L"Session::CreateCommand");
    *command = nullptr;
    if (outer)
        return PostError(IID_IUnknown, DB_E_NOAGGREGATION, L"HY000", 0, L"The provider's objects cannot be aggregated.");
    return Guard(L"IDBCreateCommand::CreateCommand", [&] { return Command::Create(this, riid, command); });
}

HRESULT Session::Exec(const char* sql, REFIID iid, const wchar_t* what)
{
    char* message = nullptr;
    int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK)
        return PostSqliteError(iid, db_, rc, L"sqlite3_exec", what);
    return S_OK;
}

HRESULT Session::StartTransaction(ISOLEVEL level, ULONG flags, ITransactionOptions* options, ULONG* transactionLevel)
{
    ClearErrorInfo();
    return Guard(L"ITransactionLocal::StartTransaction", [&]() -> HRESULT {
        if (transactionLevel)
            *transactionLevel = 0;
        // SQLite isolates every transaction fully, which satisfies each level asked for.
        if (level != ISOLATIONLEVEL_READUNCOMMITTED && level != ISOLATIONLEVEL_READCOMMITTED &&
            level != ISOLATIONLEVEL_REPEATABLEREAD && level != ISOLATIONLEVEL_SERIALIZABLE)
            return PostError(IID_ITransactionLocal, XACT_E_ISOLATIONLEVEL, L"HY000", 0,
                             L"The isolation level asked for is not supported.");
        if (flags)
            return PostError(IID_ITransactionLocal, XACT_E_NOISORETAIN, L"HY000", 0,
                             L"Isolation flags are not supported.");
        Locked hold(lock_);
        if (inTransaction_) {
            if (!sqlite3_get_autocommit(db_))
                return PostError(IID_ITransactionLocal, XACT_E_XTIONEXISTS, L"25000", 0,
                                 L"A transaction is already open on this session: commit or abort it first.");
            inTransaction_ = false;  // SQLite ended it after a failure; a new one may start
        }
        // SQLite would begin it and fail only at the first change: the
        // caller learns now that the database cannot be changed at all.
        if (sqlite3_db_readonly(db_, "main") == 1)
            return PostError(IID_ITransactionLocal, E_FAIL, L"25006", 3906,
                             L"A transaction cannot start: the database can only be read (the file, its folder or "
                             L"another program keeps it from being written). Check the access rights of the "
                             L"database file and its folder.",
                             L"sqlite3_db_readonly is 1 for " + source_->Path());
        HRESULT hr = Exec("BEGIN IMMEDIATE", IID_ITransactionLocal, L"BEGIN IMMEDIATE");
        if (FAILED(hr))
            return hr;
        inTransaction_ = true;
        level_ = level;
        if (transactionLevel)
            *transactionLevel = 1;
        return S_OK;
    });
}

HRESULT Session::Commit(BOOL retaining, DWORD tc, DWORD rm)
{
    ClearErrorInfo();
    return Guard(L"ITransaction::Commit", [&]() -> HRESULT {
        if (tc != XACTTC_NONE && tc != XACTTC_SYNC && tc != XACTTC_SYNC_PHASEONE)
            return PostError(IID_ITransaction, XACT_E_NOTSUPPORTED, L"HY000", 0,
                             L"Only a synchronous commit is supported.");
        if (rm)
            return PostError(IID_ITransaction, XACT_E_NOTSUPPORTED, L"HY000", 0, L"Commit flags are not supported.");
        Locked hold(lock_);
        if (!inTransaction_)
            return PostError(IID_ITransaction, XACT_E_NOTRANSACTION, L"25000", 0,
                             L"There is no open transaction to commit.");
        if (sqlite3_get_autocommit(db_)) {
            inTransaction_ = false;
            return PostError(IID_ITransaction, XACT_E_COMMITFAILED, L"40000", 3902,
                             L"The transaction was rolled back after an earlier failure: its changes were not saved.");
        }
        HRESULT hr = Exec("COMMIT", IID_ITransaction, L"COMMIT");
        if (FAILED(hr))
            return hr;  // still open: the caller aborts
        inTransaction_ = false;
        if (retaining) {
            hr = Exec("BEGIN IMMEDIATE", IID_ITransaction, L"BEGIN IMMEDIATE");
            if (FAILED(hr))
                return hr;
            inTransaction_ = true;
        }
        return S_OK;
    });
}

HRESULT Session::Abort(BOID* reason, BOOL retaining, BOOL async)
{
    ClearErrorInfo();
    return Guard(L"ITransaction::Abort", [&]() -> HRESULT {
        if (async)
            return PostError(IID_ITransaction, XACT_E_NOTSUPPORTED, L"HY000", 0,
                             L"Only a synchronous abort is supported.");
        Locked hold(lock_);
        if (!inTransaction_)
            return PostError(IID_ITransaction, XACT_E_NOTRANSACTION, L"25000", 0,
                             L"There is no open transaction to abort.");
        if (!sqlite3_get_autocommit(db_)) {
            HRESULT hr = Exec("ROLLBACK", IID_ITransaction, L"ROLLBACK");
            if (FAILED(hr))
                return hr;
        }
        inTransaction_ = false;
        if (retaining) {
            HRESULT hr = Exec("BEGIN IMMEDIATE", IID_ITransaction, L"BEGIN IMMEDIATE");
            if (FAILED(hr))
                return hr;
            inTransaction_ = true;
        }
        return S_OK;
    });
}

HRESULT Session::GetTransactionInfo(XACTTRANSINFO* info)
{
    ClearErrorInfo();
    if (!info)
        return InvalidArgument(L"Session::GetTransactionInfo");
    Locked hold(lock_);
    if (!inTransaction_)
        return PostError(IID_ITransaction, XACT_E_NOTRANSACTION, L"25000", 0, L"There is no open transaction.");
    memset(info, 0, sizeof(*info));
    info->isoLevel = level_;
    info->grfTCSupported = XACTTC_SYNC;
    return S_OK;
}

HRESULT Session::GetOptionsObject(ITransactionOptions** options)
{
    ClearErrorInfo();
    if (options)
        *options = nullptr;
    return PostError(IID_ITransactionLocal, E_NOTIMPL, L"HYC00", 0, L"Transaction options are not supported.");
}

HRESULT Session::InterfaceSupportsErrorInfo(REFIID riid)
{
    return (SameGuid(riid, IID_IOpenRowset) || SameGuid(riid, IID_ISessionProperties) ||
            SameGuid(riid, IID_IDBCreateCommand) || SameGuid(riid, IID_ITransactionLocal) ||
            SameGuid(riid, IID_ITransaction) || SameGuid(riid, IID_IGetDataSource))
               ? S_OK
               : S_FALSE;
}

bool Session::Translate(const std::wstring& text, TranslatedStatement& out, TranslateError& error)
{
    long long version = -1;
    if (!schemaVersion_)
        sqlite3_prepare_v3(db_, "PRAGMA schema_version", -1, SQLITE_PREPARE_PERSISTENT, &schemaVersion_, nullptr);
    if (schemaVersion_) {
        if (sqlite3_step(schemaVersion_) == SQLITE_ROW)
            version = sqlite3_column_int64(schemaVersion_, 0);
        sqlite3_reset(schemaVersion_);
    }
    auto found = translations_.find(text);
    if (found != translations_.end() && version >= 0 && found->second.schemaVersion == version) {
        out = found->second.statement;
        return true;
    }
    struct Lookup : SchemaLookup {
        Session* session;
        bool Columns(const std::wstring& table, std::vector<ColumnInfo>& columns) override
        {
            return session->TableColumns(table, columns);
        }
    } lookup;
    lookup.session = this;
    if (!TranslateStatement(text, &lookup, out, error))
        return false;
    if (version >= 0) {
        if (translations_.size() >= 512)
            translations_.clear();  // a bound on memory; the texts in use come back at once
        translations_[text] = CachedTranslation{out, version};
    }
    return true;
}

bool Session::IdentityInsertOn(const std::wstring& table) const
{
    return !identityInsert_.empty() && SameName(identityInsert_, table);
}

HRESULT Session::SetIdentityInsert(const std::wstring& table, bool on, const std::wstring& statement)
{
    std::vector<ColumnInfo> columns;
    std::wstring name;
    if (!TableColumns(table, columns, &name) || SameName(name, kColumnsView))
        return PostError(IID_ICommand, DB_E_NOTABLE, L"42S02", 208,
                         L"The table \"" + table + L"\" does not exist in the database.", L"Statement: " + statement);
    bool identity = false;
    for (const ColumnInfo& c : columns)
        identity = identity || c.identity;
    if (!identity)
        return PostError(IID_ICommand, DB_E_ERRORSINCOMMAND, L"42000", 8106,
                         L"The table \"" + name + L"\" has no identity column: IDENTITY_INSERT cannot be set for it.",
                         L"Statement: " + statement);
    if (on) {
        if (!identityInsert_.empty() && !SameName(identityInsert_, name))
            return PostError(IID_ICommand, DB_E_ERRORSINCOMMAND, L"42000", 8107,
                             L"IDENTITY_INSERT is already ON for table \"" + identityInsert_ +
                                 L"\": set it OFF there before setting it ON for \"" + name + L"\".",
                             L"Statement: " + statement);
        identityInsert_ = name;
    } else if (SameName(identityInsert_, name)) {
        identityInsert_.clear();
    }
    return S_OK;
}

}  // namespace zelk
