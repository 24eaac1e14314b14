// Error objects: see errors.h.
#include "provider/errors.h"

#include "sqlite3.h"

#include <cwchar>

namespace zelk {
namespace {

const wchar_t kErrorSource[] = L"ZelkSQLite";

BSTR CopyBstr(const std::wstring& text) { return SysAllocStringLen(text.data(), static_cast<UINT>(text.size())); }

// What a record's and the whole object's IErrorInfo answer alike.
HRESULT GuidOut(GUID* guid, REFIID iid)
{
    if (!guid)
        return E_INVALIDARG;
    *guid = iid;
    return S_OK;
}
HRESULT SourceOut(BSTR* source)
{
    if (!source)
        return E_INVALIDARG;
    *source = SysAllocString(kErrorSource);
    return *source ? S_OK : E_OUTOFMEMORY;
}
HRESULT NoHelpFile(BSTR* file)
{
    if (!file)
        return E_INVALIDARG;
    *file = nullptr;
    return S_OK;
}
HRESULT NoHelpContext(DWORD* context)
{
    if (!context)
        return E_INVALIDARG;
    *context = 0;
    return S_OK;
}

// ISQLErrorInfo of one record.
class SqlInfo final : public ISQLErrorInfo {
public:
    SqlInfo(const std::wstring& state, LONG native) : state_(state), native_(native) {}

    HRESULT WINAPI QueryInterface(REFIID riid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (SameGuid(riid, IID_IUnknown) || SameGuid(riid, IID_ISQLErrorInfo))
            *out = static_cast<ISQLErrorInfo*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG WINAPI AddRef() override { return ++refs_; }
    ULONG WINAPI Release() override { return ReleaseRef(refs_, [this] { delete this; }); }
    HRESULT WINAPI GetSQLInfo(BSTR* state, LONG* native) override
    {
        if (!state || !native)
            return E_INVALIDARG;
        *native = native_;
        *state = nullptr;
        if (state_.empty())
            return S_OK;
        *state = CopyBstr(state_);
        return *state ? S_OK : E_OUTOFMEMORY;
    }

private:
    std::atomic<ULONG> refs_{1};
    LiveObject live_;
    std::wstring state_;
    LONG native_;
};

// IErrorInfo of one record, or of the whole object (its first record).
class RecordInfo final : public IErrorInfo {
public:
    RecordInfo(const ErrorRecord& record, REFIID iid) : record_(record), iid_(iid) {}

    HRESULT WINAPI QueryInterface(REFIID riid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (SameGuid(riid, IID_IUnknown) || SameGuid(riid, IID_IErrorInfo))
            *out = static_cast<IErrorInfo*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG WINAPI AddRef() override { return ++refs_; }
    ULONG WINAPI Release() override { return ReleaseRef(refs_, [this] { delete this; }); }
    HRESULT WINAPI GetGUID(GUID* guid) override { return GuidOut(guid, iid_); }
    HRESULT WINAPI GetSource(BSTR* source) override { return SourceOut(source); }
    HRESULT WINAPI GetDescription(BSTR* description) override
    {
        if (!description)
            return E_INVALIDARG;
        *description = CopyBstr(record_.description);
        return *description ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT WINAPI GetHelpFile(BSTR* file) override { return NoHelpFile(file); }
    HRESULT WINAPI GetHelpContext(DWORD* context) override { return NoHelpContext(context); }

private:
    std::atomic<ULONG> refs_{1};
    LiveObject live_;
    ErrorRecord record_;
    IID iid_;
};

// The posted object: IErrorInfo (the first record) and IErrorRecords (all).
class ErrorObject final : public IErrorInfo, public IErrorRecords {
public:
    ErrorObject(REFIID iid, const std::vector<ErrorRecord>& records) : iid_(iid), records_(records) {}

    HRESULT WINAPI QueryInterface(REFIID riid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (SameGuid(riid, IID_IUnknown) || SameGuid(riid, IID_IErrorInfo))
            *out = static_cast<IErrorInfo*>(this);
        else if (SameGuid(riid, IID_IErrorRecords))
            *out = static_cast<IErrorRecords*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG WINAPI AddRef() override { return ++refs_; }
    ULONG WINAPI Release() override { return ReleaseRef(refs_, [this] { delete this; }); }

    // IErrorInfo: the first record speaks for the object.
    HRESULT WINAPI GetGUID(GUID* guid) override { return GuidOut(guid, iid_); }
    HRESULT WINAPI GetSource(BSTR* source) override { return SourceOut(source); }
    HRESULT WINAPI GetDescription(BSTR* description) override
    {
        if (!description)
            return E_INVALIDARG;
        Locked hold(lock_);
        *description = CopyBstr(records_.empty() ? std::wstring() : records_[0].description);
        return *description ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT WINAPI GetHelpFile(BSTR* file) override { return NoHelpFile(file); }
    HRESULT WINAPI GetHelpContext(DWORD* context) override { return NoHelpContext(context); }

    // IErrorRecords.
    HRESULT WINAPI AddErrorRecord(ERRORINFO* info, DWORD lookupId, DISPPARAMS* params, IUnknown* custom,
                                  DWORD dynamicId) override
    {
        if (!info)
            return E_INVALIDARG;
        return Guard(L"IErrorRecords::AddErrorRecord", [&] {
            ErrorRecord record;
            record.result = info->hrError;
            ComPtr<ISQLErrorInfo> sql;
            if (custom && SUCCEEDED(custom->QueryInterface(IID_ISQLErrorInfo, reinterpret_cast<void**>(sql.Out())))) {
                BSTR state = nullptr;
                if (SUCCEEDED(sql->GetSQLInfo(&state, &record.nativeError)) && state) {
                    record.sqlState = state;
                    SysFreeString(state);
                }
            }
            Locked hold(lock_);
            records_.push_back(record);
            return S_OK;
        });
    }
    HRESULT WINAPI GetBasicErrorInfo(ULONG index, ERRORINFO* info) override
    {
        if (!info)
            return E_INVALIDARG;
        Locked hold(lock_);
        if (index >= records_.size())
            return DB_E_BADRECORDNUM;
        info->hrError = records_[index].result;
        info->dwMinor = static_cast<DWORD>(records_[index].nativeError);
        info->clsid = kClsidProvider;
        info->iid = iid_;
        info->dispid = 0;
        return S_OK;
    }
    HRESULT WINAPI GetCustomErrorObject(ULONG index, REFIID riid, IUnknown** object) override
    {
        if (!object)
            return E_INVALIDARG;
        *object = nullptr;
        return Guard(L"IErrorRecords::GetCustomErrorObject", [&]() -> HRESULT {
            Locked hold(lock_);
            if (index >= records_.size())
                return DB_E_BADRECORDNUM;
            if (!SameGuid(riid, IID_ISQLErrorInfo) && !SameGuid(riid, IID_IUnknown))
                return S_OK;  // no custom object of that kind: a null object and success
            auto* info = new SqlInfo(records_[index].sqlState, records_[index].nativeError);
            *object = info;
            return S_OK;
        });
    }
    HRESULT WINAPI GetErrorInfo(ULONG index, LCID, IErrorInfo** info) override
    {
        if (!info)
            return E_INVALIDARG;
        *info = nullptr;
        return Guard(L"IErrorRecords::GetErrorInfo", [&]() -> HRESULT {
            Locked hold(lock_);
            if (index >= records_.size())
                return DB_E_BADRECORDNUM;
            *info = new RecordInfo(records_[index], iid_);
            return S_OK;
        });
    }
    HRESULT WINAPI GetErrorParameters(ULONG index, DISPPARAMS* params) override
    {
        if (!params)
            return E_INVALIDARG;
        Locked hold(lock_);
        if (index >= records_.size())
            return DB_E_BADRECORDNUM;
        params->rgvarg = nullptr;
        params->rgdispidNamedArgs = nullptr;
        params->cArgs = 0;
        params->cNamedArgs = 0;
        return S_OK;
    }
    HRESULT WINAPI GetRecordCount(ULONG* count) override
    {
        if (!count)
            return E_INVALIDARG;
        Locked hold(lock_);
        *count = static_cast<ULONG>(records_.size());
        return S_OK;
    }

private:
    std::atomic<ULONG> refs_{1};
    LiveObject live_;
    Lock lock_;
    IID iid_;
    std::vector<ErrorRecord> records_;
};

bool StartsWith(const std::wstring& text, const wchar_t* prefix)
{
    size_t n = wcslen(prefix);
    return text.size() >= n && text.compare(0, n, prefix) == 0;
}

bool Contains(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }

// "t.a, t.b" of a constraint message -> table "t" and columns "a, b".
void SplitConstraintColumns(const std::wstring& list, std::wstring& table, std::wstring& columns)
{
    size_t pos = 0;
    while (pos < list.size()) {
        size_t comma = list.find(L", ", pos);
        std::wstring item = list.substr(pos, comma == std::wstring::npos ? std::wstring::npos : comma - pos);
        size_t dot = item.find(L'.');
        if (dot != std::wstring::npos) {
            if (table.empty())
                table = item.substr(0, dot);
            item = item.substr(dot + 1);
        }
        if (!columns.empty())
            columns += L", ";
        columns += item;
        if (comma == std::wstring::npos)
            break;
        pos = comma + 2;
    }
}

std::wstring AfterPrefix(const std::wstring& text, const wchar_t* prefix)
{
    size_t at = text.find(prefix);
    return at == std::wstring::npos ? std::wstring() : text.substr(at + wcslen(prefix));
}

}  // namespace

HRESULT PostErrors(HRESULT result, REFIID iid, const std::vector<ErrorRecord>& records)
{
    try {
        auto* object = new ErrorObject(iid, records);
        SetErrorInfo(0, static_cast<IErrorInfo*>(object));
        object->Release();
    } catch (...) {
        // Without memory for the error object the caller still gets its result.
    }
    return result;
}

HRESULT PostError(REFIID iid, HRESULT result, const wchar_t* sqlState, LONG nativeError,
                  const std::wstring& description, const std::wstring& detail)
{
    try {
        std::vector<ErrorRecord> records(1);
        records[0].result = result;
        records[0].sqlState = sqlState ? sqlState : L"";
        records[0].nativeError = nativeError;
        records[0].description = description;
        if (!detail.empty()) {
            ErrorRecord second = records[0];
            second.description = detail;
            records.push_back(second);
        }
        return PostErrors(result, iid, records);
    } catch (...) {
        return result;
    }
}

FailureClass ClassifySqliteFailure(int code, const std::wstring& message)
{
    switch (code) {
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_ROWID: {
        std::wstring table, columns;
        SplitConstraintColumns(AfterPrefix(message, L"constraint failed: "), table, columns);
        std::wstring text = L"The record cannot be saved: table \"" + table +
                            L"\" already has a record with the same " + columns +
                            L". Change the value or open the existing record.";
        return {L"23000", 2627, DB_E_INTEGRITYVIOLATION, text};
    }
    case SQLITE_CONSTRAINT_FOREIGNKEY:
        return {L"23000", 547, DB_E_INTEGRITYVIOLATION,
                L"The change conflicts with a reference between tables: the record is still used by "
                L"records of another table, or it refers to a record that does not exist."};
    case SQLITE_CONSTRAINT_NOTNULL: {
        std::wstring table, columns;
        SplitConstraintColumns(AfterPrefix(message, L"constraint failed: "), table, columns);
        return {L"23000", 515, DB_E_INTEGRITYVIOLATION,
                L"The record cannot be saved: column \"" + columns + L"\" of table \"" + table +
                    L"\" needs a value."};
    }
    case SQLITE_CONSTRAINT_CHECK: {
        // The checks that the dialect's CREATE TABLE adds for declared lengths and the date range.
        std::wstring rule = AfterPrefix(message, L"constraint failed: ");
        if (StartsWith(rule, L"zelk_length:")) {
            std::wstring what = rule.substr(12);
            size_t colon = what.rfind(L':');
            std::wstring column = colon == std::wstring::npos ? what : what.substr(0, colon);
            std::wstring length = colon == std::wstring::npos ? std::wstring() : what.substr(colon + 1);
            return {L"22001", 8152, DB_E_ERRORSINCOMMAND,
                    L"A text is longer than column \"" + column + L"\" allows (" + length +
                        L" characters): String or binary data would be truncated. Shorten the text."};
        }
        if (StartsWith(rule, L"zelk_date:"))
            return {L"22008", 242, DB_E_ERRORSINCOMMAND,
                    L"A date for column \"" + rule.substr(10) +
                        L"\" is not a valid date within 1 January 1753 to 31 December 9999: check the date entered."};
    }
        return {L"23000", 547, DB_E_INTEGRITYVIOLATION,
                L"The record cannot be saved: a value breaks the rule \"" +
                    AfterPrefix(message, L"constraint failed: ") + L"\" of its table."};
    case SQLITE_MISMATCH:
        return {L"22018", 245, DB_E_ERRORSINCOMMAND,
                L"A value does not fit the type of its column: check the value entered."};
    case SQLITE_CANTOPEN:
    case SQLITE_CANTOPEN_ISDIR:
    case SQLITE_CANTOPEN_FULLPATH:
        return {L"08001", 17, E_FAIL, L"The database file cannot be opened: check the path and the access rights."};
    case SQLITE_NOTADB:
        return {L"08001", 17, E_FAIL, L"The file named as the database is not a database."};
    case SQLITE_FULL:
        return {L"HY000", 1105, DB_E_ERRORSINCOMMAND,
                L"The disk that holds the database is full: free some space and try again."};
    case SQLITE_READONLY:
    case SQLITE_READONLY_DBMOVED:
    case SQLITE_READONLY_DIRECTORY:
        return {L"HY000", 3906, DB_E_ERRORSINCOMMAND,
                L"The database can only be read: check the access rights of the database file and its folder."};
    default:
        break;
    }
    switch (code & 0xff) {
    case SQLITE_READONLY:
        return {L"HY000", 3906, DB_E_ERRORSINCOMMAND,
                L"The database can only be read: check the access rights of the database file and its folder."};
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return {L"HYT00", 1222, DB_E_ERRORSINCOMMAND,
                L"The database is busy with another user's change and the wait timed out: try again in a moment."};
    case SQLITE_CONSTRAINT:
        return {L"23000", 2627, DB_E_INTEGRITYVIOLATION,
                L"The record cannot be saved: it breaks a rule of its table (" + message + L")."};
    case SQLITE_NOMEM:
        return {L"HY001", 701, E_OUTOFMEMORY, L"There is not enough memory to run the statement."};
    case SQLITE_IOERR:
        return {L"HY000", 823, DB_E_ERRORSINCOMMAND,
                L"The database file could not be read or written: check the disk."};
    case SQLITE_CORRUPT:
        return {L"HY000", 824, DB_E_ERRORSINCOMMAND,
                L"The database file is damaged: restore it from a backup."};
    default:
        break;
    }
    if (StartsWith(message, L"no such table: ")) {
        std::wstring name = AfterPrefix(message, L"no such table: ");
        if (StartsWith(name, L"main."))
            name = name.substr(5);
        return {L"42S02", 208, DB_E_NOTABLE, L"The table \"" + name + L"\" does not exist in the database."};
    }
    if (StartsWith(message, L"no such column: ")) {
        // SQLite may add a hint of its own after the name ("... - should this be a string literal ...").
        std::wstring name = AfterPrefix(message, L"no such column: ");
        size_t hint = name.find(L" - ");
        if (hint != std::wstring::npos)
            name.resize(hint);
        if (name.size() >= 2 && name.front() == L'"' && name.back() == L'"')
            name = name.substr(1, name.size() - 2);
        return {L"42S22", 207, DB_E_ERRORSINCOMMAND, L"The column \"" + name + L"\" does not exist."};
    }
    if (StartsWith(message, L"Divide by zero error encountered"))
        return {L"22012", 8134, DB_E_ERRORSINCOMMAND,
                L"Divide by zero error encountered: a divisor of the statement is 0."};
    // The connection's datetime function (datetime.h) fails with SQL Server's sentences.
    if (StartsWith(message, L"Conversion failed when converting date"))
        return {L"22007", 241, DB_E_ERRORSINCOMMAND, message};
    if (StartsWith(message, L"The conversion of the character string"))
        return {L"22008", 242, DB_E_ERRORSINCOMMAND, message};
    if (Contains(message, L"already exists"))
        return {L"42S01", 2714, DB_E_ERRORSINCOMMAND, L"An object of the database with that name already exists (" +
                                                          message + L")."};
    if (StartsWith(message, L"Expression tree is too large") || StartsWith(message, L"parser stack overflow"))
        return {L"42000", 191, DB_E_ERRORSINCOMMAND,
                L"Some part of the statement is nested too deeply: rewrite it or break it up into smaller "
                L"statements."};
    if (Contains(message, L"syntax error") || StartsWith(message, L"incomplete input") ||
        StartsWith(message, L"unrecognized token"))
        return {L"42000", 102, DB_E_ERRORSINCOMMAND,
                L"The statement cannot be run: its text has a syntax error (" + message + L")."};
    return {L"42000", 50000, DB_E_ERRORSINCOMMAND, L"The statement cannot be run: " + message + L"."};
}

HRESULT PostSqliteFailure(REFIID iid, int code, const std::wstring& message, const wchar_t* call,
                          const std::wstring& argument)
{
    try {
        FailureClass failure = ClassifySqliteFailure(code, message);
        wchar_t number[16];
        _snwprintf(number, 15, L"%d", code);
        number[15] = 0;
        std::wstring detail = std::wstring(call) + L" failed with " + number + L" (" + message + L") for " + argument;
        return PostError(iid, failure.result, failure.sqlState, failure.nativeError, failure.description, detail);
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT PostSqliteError(REFIID iid, sqlite3* db, int code, const wchar_t* call, const std::wstring& argument)
{
    int extended = db ? sqlite3_extended_errcode(db) : code;
    if ((extended & 0xff) != (code & 0xff))
        extended = code;
    std::wstring message = db ? FromUtf8(sqlite3_errmsg(db)) : FromUtf8(sqlite3_errstr(code));
    return PostSqliteFailure(iid, extended, message, call, argument);
}

HRESULT InvalidArgument(const wchar_t* method)
{
    try {
        return PostError(IID_IUnknown, E_INVALIDARG, L"HY009", 0,
                         L"The database provider was called with a missing or invalid argument.",
                         std::wstring(method) + L" was called with a missing or invalid argument");
    } catch (...) {
        return E_INVALIDARG;
    }
}

HRESULT GuardFailure(const wchar_t* method, bool outOfMemory)
{
    if (outOfMemory)
        return PostError(IID_IUnknown, E_OUTOFMEMORY, L"HY001", 701, L"There is not enough memory for the database call.",
                         std::wstring(method) + L" ran out of memory");
    return PostError(IID_IUnknown, E_FAIL, L"HY000", 0, L"The database provider failed unexpectedly.",
                     std::wstring(method) + L" raised an unexpected exception");
}

}  // namespace zelk
