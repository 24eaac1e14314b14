// Rowsets: see rowset.h.
#include "provider/rowset.h"

#include "provider/command.h"
#include "provider/errors.h"
#include "provider/session.h"

#include "sqlite3.h"

#include <algorithm>

namespace zelk {
namespace {

std::wstring Quote(const std::wstring& name)
{
    std::wstring q = L"\"";
    for (wchar_t c : name) {
        q += c;
        if (c == L'"')
            q += c;
    }
    return q + L"\"";
}

}  // namespace

Rowset::Rowset(Session* session, IUnknown* creator, std::shared_ptr<const ColumnSet> columns)
    : session_(session), creator_(creator), columns_(std::move(columns)),
      store_(columns_->Columns().size())
{
    session_->AddRef();
    if (creator_)
        creator_->AddRef();
}

Rowset::~Rowset()
{
    if (!statements_.empty()) {
        Locked hold(session_->SessionLock());
        for (auto& s : statements_)
            sqlite3_finalize(s.second);
    }
    if (creator_)
        creator_->Release();
    session_->Release();
}

Rowset* Rowset::NewQuery(Session* session, Command* command, const std::shared_ptr<const ColumnSet>& columns)
{
    auto* rowset = new Rowset(session, static_cast<ICommandText*>(command), columns);
    rowset->command_ = command;
    rowset->props_.SetBool(DBPROPSET_ROWSET, DBPROP_IRowset, true);
    rowset->props_.SetBool(DBPROPSET_ROWSET, DBPROP_IAccessor, true);
    rowset->props_.SetBool(DBPROPSET_ROWSET, DBPROP_IColumnsInfo, true);
    rowset->props_.SetBool(DBPROPSET_ROWSET, DBPROP_IRowsetInfo, true);
    rowset->props_.SetBool(DBPROPSET_ROWSET, DBPROP_IRowsetChange, false);
    rowset->props_.SetBool(DBPROPSET_ROWSET, DBPROP_CANHOLDROWS, true);
    return rowset;
}

void Rowset::Reuse(const std::shared_ptr<const ColumnSet>& columns)
{
    refs_.store(1, std::memory_order_relaxed);  // no other thread knows the rowset yet
    if (columns_ != columns)  // the same columns at every execution of a command
        columns_ = columns;
}

void Rowset::TakeRows(RowStore& rows)
{
    store_.Swap(rows);
    // No row handle of an earlier result stays valid. Usually as many rows
    // as the last execution of the command had (one for a key lookup, set
    // without a call to memset): no new memory.
    if (rowRefs_.size() != store_.Rows())
        rowRefs_.resize(store_.Rows());
    if (rowRefs_.size() == 1)
        rowRefs_[0] = 0;
    else
        std::fill(rowRefs_.begin(), rowRefs_.end(), 0);
    position_ = 0;
}

void Rowset::Clear()
{
    // The row handles are made invalid by the next TakeRows, before anyone
    // reaches the rowset again.
    store_.Reset(0);
    position_ = 0;
    accessors_.ReleaseAll();
}

HRESULT Rowset::CreateTable(Session* session, const std::wstring& table, std::vector<ColumnInfo> columns,
                            const PropertyBag& props, REFIID riid, IUnknown** out)
{
    auto* rowset = new Rowset(session, nullptr, std::make_shared<const ColumnSet>(std::move(columns)));
    rowset->table_ = table;
    rowset->props_ = props;
    HRESULT hr = rowset->QueryInterface(riid, reinterpret_cast<void**>(out));
    rowset->Release();
    return hr;
}

HRESULT Rowset::QueryInterface(REFIID riid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (SameGuid(riid, IID_IUnknown) || SameGuid(riid, IID_IRowset))
        *out = static_cast<IRowset*>(this);
    else if (SameGuid(riid, IID_IAccessor))
        *out = static_cast<IAccessor*>(this);
    else if (SameGuid(riid, IID_IColumnsInfo))
        *out = static_cast<IColumnsInfo*>(this);
    else if (SameGuid(riid, IID_IRowsetInfo))
        *out = static_cast<IRowsetInfo*>(this);
    else if (SameGuid(riid, IID_IConvertType))
        *out = static_cast<IConvertType*>(this);
    else if (SameGuid(riid, IID_IRowsetChange) && IsTable())
        *out = static_cast<IRowsetChange*>(this);
    else if (SameGuid(riid, IID_ISupportErrorInfo))
        *out = static_cast<ISupportErrorInfo*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG Rowset::Release()
{
    ULONG n = --refs_;
    if (n == 0) {
        // The command may keep it for its next execution (and may be gone
        // itself after taking it back): nothing of this rowset is touched then.
        if (command_ && command_->TakeBack(this))
            return 0;
        delete this;
    }
    return n;
}

HRESULT Rowset::AddRefRows(DBCOUNTITEM count, const HROW rows[], DBREFCOUNT refs[], DBROWSTATUS status[])
{
    if (count && !rows)
        return InvalidArgument(L"Rowset::AddRefRows");
    Locked hold(lock_);
    DBCOUNTITEM failed = 0;
    for (DBCOUNTITEM i = 0; i < count; ++i) {
        bool ok = RowValid(rows[i]);
        if (ok)
            ++rowRefs_[rows[i] - 1];
        else
            ++failed;
        if (refs)
            refs[i] = ok ? rowRefs_[rows[i] - 1] : 0;
        if (status)
            status[i] = ok ? DBROWSTATUS_S_OK : DBROWSTATUS_E_INVALID;
    }
    if (failed == 0)
        return S_OK;
    return PostError(IID_IRowset, failed == count ? DB_E_ERRORSOCCURRED : DB_S_ERRORSOCCURRED, L"HY000", 0,
                     L"A row handle handed to the rowset is not valid.");
}

HRESULT Rowset::ReleaseRows(DBCOUNTITEM count, const HROW rows[], DBROWOPTIONS options[], DBREFCOUNT refs[],
                            DBROWSTATUS status[])
{
    if (count && !rows)
        return InvalidArgument(L"Rowset::ReleaseRows");
    Locked hold(lock_);
    DBCOUNTITEM failed = 0;
    for (DBCOUNTITEM i = 0; i < count; ++i) {
        bool ok = RowValid(rows[i]);
        if (ok)
            --rowRefs_[rows[i] - 1];
        else
            ++failed;
        if (refs)
            refs[i] = ok ? rowRefs_[rows[i] - 1] : 0;
        if (status)
            status[i] = ok ? DBROWSTATUS_S_OK : DBROWSTATUS_E_INVALID;
    }
    if (failed == 0)
        return S_OK;
    return PostError(IID_IRowset, failed == count ? DB_E_ERRORSOCCURRED : DB_S_ERRORSOCCURRED, L"HY000", 0,
                     L"A row handle handed to the rowset is not valid.");
}

HRESULT Rowset::GetData(HROW row, HACCESSOR accessor, void* data)
{
    ClearErrorInfo();
    return Guard(L"IRowset::GetData", [&]() -> HRESULT {
        Locked hold(lock_);
        if (!RowValid(row))
            return PostError(IID_IRowset, DB_E_BADROWHANDLE, L"HY000", 0, L"The row asked for is not held.");
        // The handles of the command's accessors lie apart from the rowset's own.
        const Accessor* a = accessor >= kCommandAccessorBase
                                ? (command_ ? command_->InheritedAccessor(accessor, inherited_) : nullptr)
                                : accessors_.Find(accessor, own_);
        if (!a)
            return PostError(IID_IRowset, DB_E_BADACCESSORHANDLE, L"HY000", 0, L"The accessor is not valid.");
        if (!(a->flags & DBACCESSOR_ROWDATA))
            return PostError(IID_IRowset, DB_E_BADACCESSORTYPE, L"HY000", 0, L"The accessor is not a row accessor.");
        if (!data)
            return InvalidArgument(L"Rowset::GetData");
        // The bindings worked out once per accessor and columns (accessorplan.h).
        if (!plan_.Fits(*a, columns_.get()))
            plan_.Make(*a, columns_);
        RowPlan::Failures failed;
        plan_.Write(static_cast<BYTE*>(data), store_, row - 1, failed);
        if (failed.count == 0)
            return S_OK;
        const std::vector<ColumnInfo>& columns = Columns();
        HRESULT hr = failed.count == a->bindings.size() ? DB_E_ERRORSOCCURRED : DB_S_ERRORSOCCURRED;
        if (failed.missing)
            return PostError(IID_IRowset, hr, L"07009", 0,
                             L"The accessor binds a column the rowset does not have (it has " +
                                 std::to_wstring(columns.size()) + L" columns).");
        return PostError(IID_IRowset, hr, L"22018", 0,
                         L"The value of column \"" + columns[failed.firstColumn].name +
                             L"\" cannot be converted to the type it was asked for.");
    });
}

HRESULT Rowset::FetchTableRows(size_t skip, size_t count, size_t& first, size_t& fetched)
{
    first = store_.Rows();
    fetched = 0;
    std::wstring sql = L"SELECT rowid, * FROM " + Quote(table_) + L" WHERE rowid > ?1 ORDER BY rowid LIMIT ?2";
    sqlite3_stmt* stmt = nullptr;
    HRESULT hr = Statement(sql, IID_IRowset, &stmt);
    if (FAILED(hr))
        return hr;
    sqlite3_bind_int64(stmt, 1, lastRowid_);
    sqlite3_bind_int64(stmt, 2, static_cast<sqlite3_int64>(skip + count));
    size_t seen = 0;
    for (;;) {
        int rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW) {
            hr = PostSqliteError(IID_IRowset, session_->Db(), rc, L"sqlite3_step", sql);
            sqlite3_reset(stmt);
            return hr;
        }
        lastRowid_ = sqlite3_column_int64(stmt, 0);
        if (seen++ < skip)
            continue;
        store_.AppendRow(stmt, 1);
        rowids_.push_back(lastRowid_);
        rowRefs_.push_back(0);
        ++fetched;
    }
    sqlite3_reset(stmt);
    if (seen < skip + count)
        tableEnd_ = true;
    return S_OK;
}

HRESULT Rowset::GetNextRows(HCHAPTER chapter, DBROWOFFSET offset, DBROWCOUNT count, DBCOUNTITEM* obtained,
                            HROW** rows)
{
    ClearErrorInfo();
    if (!obtained || !rows)
        return InvalidArgument(L"Rowset::GetNextRows");
    *obtained = 0;
    if (count == 1 && offset == 0 && !IsTable()) {
        // The next row of a query result, as a reader asks for it: nothing
        // here can fail but the handle array, nothing can throw.
        Locked hold(lock_);
        if (position_ == store_.Rows())
            return DB_S_ENDOFROWSET;
        HROW* handles = *rows;
        if (!handles) {
            handles = static_cast<HROW*>(CoTaskMemAlloc(sizeof(HROW)));
            if (!handles)
                return E_OUTOFMEMORY;
            *rows = handles;
        }
        ++rowRefs_[position_];
        handles[0] = static_cast<HROW>(++position_);
        *obtained = 1;
        return S_OK;
    }
    return Guard(L"IRowset::GetNextRows", [&]() -> HRESULT {
        if (offset < 0 || count < 0)
            return PostError(IID_IRowset, offset < 0 ? DB_E_CANTSCROLLBACKWARDS : DB_E_CANTFETCHBACKWARDS, L"HY106",
                             0, L"The rows can only be read forward.");
        if (count == 0)
            return S_OK;
        Locked hold(lock_);
        size_t first = 0, fetched = 0;
        bool end = false;
        if (IsTable()) {
            if (!tableEnd_) {
                Locked session(session_->SessionLock());
                HRESULT hr = FetchTableRows(static_cast<size_t>(offset), static_cast<size_t>(count), first, fetched);
                if (FAILED(hr))
                    return hr;
            }
            end = tableEnd_;
        } else {
            size_t total = store_.Rows();
            size_t start = position_ + static_cast<size_t>(offset);
            if (start > total)
                start = total;
            first = start;
            fetched = total - start < static_cast<size_t>(count) ? total - start : static_cast<size_t>(count);
            position_ = start + fetched;
            end = fetched < static_cast<size_t>(count);
        }
        if (fetched) {
            HROW* handles = *rows;
            if (!handles) {
                handles = static_cast<HROW*>(CoTaskMemAlloc(sizeof(HROW) * fetched));
                if (!handles)
                    return E_OUTOFMEMORY;
                *rows = handles;
            }
            for (size_t i = 0; i < fetched; ++i) {
                handles[i] = static_cast<HROW>(first + i + 1);
                ++rowRefs_[first + i];
            }
        }
        *obtained = fetched;
        return end ? DB_S_ENDOFROWSET : S_OK;
    });
}

HRESULT Rowset::RestartPosition(HCHAPTER chapter)
{
    ClearErrorInfo();
    Locked hold(lock_);
    position_ = 0;
    if (IsTable()) {
        lastRowid_ = 0;
        tableEnd_ = false;
    }
    return S_OK;
}

HRESULT Rowset::AddRefAccessor(HACCESSOR accessor, DBREFCOUNT* refs)
{
    return accessors_.AddRef(accessor, refs);
}

HRESULT Rowset::CreateAccessor(DBACCESSORFLAGS flags, DBCOUNTITEM count, const DBBINDING bindings[],
                               DBLENGTH rowSize, HACCESSOR* accessor, DBBINDSTATUS status[])
{
    ClearErrorInfo();
    return Guard(L"IAccessor::CreateAccessor", [&] {
        return accessors_.Create(AccessorTable::Owner::Rowset, Columns().size(), flags, count, bindings, rowSize,
                                 accessor, status);
    });
}

HRESULT Rowset::GetBindings(HACCESSOR accessor, DBACCESSORFLAGS* flags, DBCOUNTITEM* count, DBBINDING** bindings)
{
    ClearErrorInfo();
    return accessors_.GetBindings(accessor, flags, count, bindings);
}

HRESULT Rowset::ReleaseAccessor(HACCESSOR accessor, DBREFCOUNT* refs)
{
    return accessors_.Release(accessor, refs);
}

HRESULT Rowset::GetColumnInfo(DBORDINAL* count, DBCOLUMNINFO** info, OLECHAR** strings)
{
    ClearErrorInfo();
    return Guard(L"IColumnsInfo::GetColumnInfo", [&] { return columns_->Export(count, info, strings); });
}

HRESULT Rowset::MapColumnIDs(DBORDINAL count, const DBID ids[], DBORDINAL columns[])
{
    ClearErrorInfo();
    return MapColumnIds(Columns(), count, ids, columns);
}

HRESULT Rowset::GetProperties(const ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* setCount, DBPROPSET** sets)
{
    ClearErrorInfo();
    return Guard(L"IRowsetInfo::GetProperties", [&] {
        Locked hold(lock_);
        return props_.Get(idSetCount, idSets, setCount, sets);
    });
}

HRESULT Rowset::GetReferencedRowset(DBORDINAL ordinal, REFIID riid, IUnknown** rowset)
{
    ClearErrorInfo();
    if (rowset)
        *rowset = nullptr;
    if (ordinal == 0 || ordinal > Columns().size())
        return PostError(IID_IRowsetInfo, DB_E_BADORDINAL, L"07009", 0, L"The rowset has no column of that number.");
    return PostError(IID_IRowsetInfo, DB_E_NOTAREFERENCECOLUMN, L"HY000", 0, L"The column refers to no rowset.");
}

HRESULT Rowset::GetSpecification(REFIID riid, IUnknown** creator)
{
    ClearErrorInfo();
    if (!creator)
        return InvalidArgument(L"Rowset::GetSpecification");
    *creator = nullptr;
    if (!creator_)
        return S_FALSE;
    return creator_->QueryInterface(riid, reinterpret_cast<void**>(creator));
}

HRESULT Rowset::CanConvert(DBTYPE from, DBTYPE to, DBCONVERTFLAGS flags)
{
    ClearErrorInfo();
    if (flags & DBCONVERTFLAGS_PARAMETER)
        return PostError(IID_IConvertType, DB_E_BADCONVERTFLAG, L"HY000", 0, L"The conversion flags are not valid.");
    if (flags & ~(DBCONVERTFLAGS_ISLONG | DBCONVERTFLAGS_ISFIXEDLENGTH | DBCONVERTFLAGS_FROMVARIANT))
        return PostError(IID_IConvertType, DB_E_BADCONVERTFLAG, L"HY000", 0, L"The conversion flags are not valid.");
    return IsBindableType(from & ~DBTYPE_BYREF) && IsBindableType(to & ~DBTYPE_BYREF) ? S_OK : S_FALSE;
}

HRESULT Rowset::Statement(const std::wstring& sql, REFIID iid, sqlite3_stmt** stmt)
{
    auto found = statements_.find(sql);
    if (found != statements_.end()) {
        *stmt = found->second;
        return S_OK;
    }
    int rc = sqlite3_prepare16_v3(session_->Db(), sql.c_str(), static_cast<int>(sql.size() * sizeof(wchar_t)),
                                  SQLITE_PREPARE_PERSISTENT, stmt, nullptr);
    if (rc != SQLITE_OK) {
        *stmt = nullptr;
        return PostSqliteError(iid, session_->Db(), rc, L"sqlite3_prepare16_v3", sql);
    }
    statements_.emplace(sql, *stmt);
    return S_OK;
}

HRESULT Rowset::ReadBack(long long rowid, size_t& index)
{
    std::wstring sql = L"SELECT * FROM " + Quote(table_) + L" WHERE rowid = ?1";
    sqlite3_stmt* stmt = nullptr;
    HRESULT hr = Statement(sql, IID_IRowsetChange, &stmt);
    if (FAILED(hr))
        return hr;
    sqlite3_bind_int64(stmt, 1, rowid);
    int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW) {
        hr = rc == SQLITE_DONE ? PostError(IID_IRowsetChange, DB_E_ERRORSOCCURRED, L"HY000", 0,
                                           L"The inserted row could not be read back.", sql)
                               : PostSqliteError(IID_IRowsetChange, session_->Db(), rc, L"sqlite3_step", sql);
        sqlite3_reset(stmt);
        return hr;
    }
    index = store_.Rows();
    store_.AppendRow(stmt, 0);
    rowids_.push_back(rowid);
    rowRefs_.push_back(0);
    sqlite3_reset(stmt);
    return S_OK;
}

HRESULT Rowset::InsertRow(HCHAPTER chapter, HACCESSOR accessor, void* data, HROW* row)
{
    ClearErrorInfo();
    if (row)
        *row = DB_NULL_HROW;
    return Guard(L"IRowsetChange::InsertRow", [&]() -> HRESULT {
        Locked hold(lock_);
        const Accessor* a = accessors_.Find(accessor);
        if (!a)
            return PostError(IID_IRowsetChange, DB_E_BADACCESSORHANDLE, L"HY000", 0, L"The accessor is not valid.");
        if (!(a->flags & DBACCESSOR_ROWDATA))
            return PostError(IID_IRowsetChange, DB_E_BADACCESSORTYPE, L"HY000", 0,
                             L"The accessor is not a row accessor.");
        if (!data)
            return InvalidArgument(L"Rowset::InsertRow");
        auto* bytes = static_cast<BYTE*>(data);

        // The values to insert, by column; DEFAULT and IGNORE leave the column to the database.
        std::vector<InValue> values(Columns().size());
        std::vector<bool> given(Columns().size(), false);
        InputProblem problem;
        for (const DBBINDING& b : a->bindings) {
            size_t column = static_cast<size_t>(b.iOrdinal - 1);
            const ColumnInfo& info = Columns()[column];
            InValue& value = values[column];
            DBSTATUS status = ReadBinding(b, bytes, &info.type, value, problem);
            if (status == DBSTATUS_S_OK && info.identity && value.kind != InValue::Default &&
                value.kind != InValue::Ignore && !session_->IdentityInsertOn(table_)) {
                status = DBSTATUS_E_INTEGRITYVIOLATION;
                problem.sqlState = L"23000";
                problem.nativeError = 544;
                problem.description = L"The record cannot be saved: the key column \"" + info.name + L"\" of table \"" +
                                      table_ + L"\" is filled by the database and takes a value of its own only after SET IDENTITY_INSERT ON.";
            }
            if (status != DBSTATUS_S_OK) {
                if (b.dwPart & DBPART_STATUS)
                    *reinterpret_cast<DBSTATUS*>(bytes + b.obStatus) = status;
                return PostError(IID_IRowsetChange,
                                 status == DBSTATUS_E_INTEGRITYVIOLATION ? DB_E_INTEGRITYVIOLATION : DB_E_ERRORSOCCURRED,
                                 problem.sqlState, problem.nativeError,
                                 problem.description.empty() ? L"A value of the new row is not valid." : problem.description,
                                 L"Column " + info.name + L" of " + table_);
            }
            given[column] = value.kind != InValue::Default && value.kind != InValue::Ignore;
        }

        std::wstring names, marks;
        for (size_t c = 0; c < Columns().size(); ++c) {
            if (!given[c])
                continue;
            if (!names.empty()) {
                names += L", ";
                marks += L", ";
            }
            names += Quote(Columns()[c].name);
            marks += L"?";
        }
        std::wstring sql = names.empty() ? L"INSERT INTO " + Quote(table_) + L" DEFAULT VALUES"
                                         : L"INSERT INTO " + Quote(table_) + L" (" + names + L") VALUES (" + marks + L")";

        Locked session(session_->SessionLock());
        sqlite3* db = session_->Db();
        sqlite3_stmt* stmt = nullptr;
        HRESULT hr = Statement(sql, IID_IRowsetChange, &stmt);
        if (FAILED(hr))
            return hr;
        int index = 1;
        for (size_t c = 0; c < Columns().size(); ++c)
            if (given[c])
                BindValue(stmt, index++, values[c]);
        int rc = sqlite3_step(stmt);
        if (rc != SQLITE_DONE) {
            hr = PostSqliteError(IID_IRowsetChange, db, rc, L"sqlite3_step", sql);
            sqlite3_reset(stmt);
            sqlite3_clear_bindings(stmt);
            return hr;
        }
        long long rowid = sqlite3_last_insert_rowid(db);
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);

        size_t stored = 0;
        hr = ReadBack(rowid, stored);
        if (FAILED(hr))
            return hr;
        if (row) {
            rowRefs_[stored] = 1;
            *row = static_cast<HROW>(stored + 1);
        }
        return S_OK;
    });
}

HRESULT Rowset::DeleteRows(HCHAPTER chapter, DBCOUNTITEM count, const HROW rows[], DBROWSTATUS status[])
{
    ClearErrorInfo();
    return PostError(IID_IRowsetChange, DB_E_NOTSUPPORTED, L"HYC00", 0,
                     L"Rows are deleted with a DELETE statement, not through the table rowset.");
}

HRESULT Rowset::SetData(HROW row, HACCESSOR accessor, void* data)
{
    ClearErrorInfo();
    return PostError(IID_IRowsetChange, DB_E_NOTSUPPORTED, L"HYC00", 0,
                     L"Rows are changed with an UPDATE statement, not through the table rowset.");
}

HRESULT Rowset::InterfaceSupportsErrorInfo(REFIID riid)
{
    return (SameGuid(riid, IID_IRowset) || SameGuid(riid, IID_IAccessor) || SameGuid(riid, IID_IColumnsInfo) ||
            SameGuid(riid, IID_IRowsetInfo) || (IsTable() && SameGuid(riid, IID_IRowsetChange)))
               ? S_OK
               : S_FALSE;
}

}  // namespace zelk
