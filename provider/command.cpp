// Commands: see command.h.
#include "provider/command.h"

#include "provider/errors.h"
#include "provider/rowset.h"
#include "provider/session.h"
#include "provider/values.h"

#include "sqlite3.h"

#include <map>

namespace zelk {
namespace {

std::wstring Number(unsigned long long n)
{
    wchar_t buf[32];
    _snwprintf(buf, 31, L"%llu", n);
    buf[31] = 0;
    return buf;
}

// Computed columns (no declared type) take their type from the values read:
// integers are int (bigint only when a value needs it), reals float, texts
// nvarchar of the longest value.
void InferTypes(std::vector<ColumnInfo>& columns, const RowStore& rows)
{
    for (size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].typeKnown)
            continue;
        bool text = false, real = false, integer = false, wide = false;
        size_t longest = 1;
        for (size_t r = 0; r < rows.Rows(); ++r) {
            const Cell& cell = rows.At(r, c);
            switch (cell.kind) {
            case CellKind::Text:
                text = true;
                if (cell.length > longest)
                    longest = cell.length;
                break;
            case CellKind::Real:
                real = true;
                break;
            case CellKind::Integer:
                integer = true;
                wide = wide || cell.integer < INT_MIN || cell.integer > INT_MAX;
                break;
            default:
                break;
            }
        }
        if (text)
            columns[c].type = TextType(longest);
        else if (real)
            columns[c].type = FloatType();
        else if (integer)
            columns[c].type = wide ? BigIntType() : IntegerType();
    }
}

DBPROPSTATUS CheckCommandProperty(REFGUID set, const DBPROP& p)
{
    if (!SameGuid(set, DBPROPSET_ROWSET))
        return DBPROPSTATUS_NOTSUPPORTED;
    VARTYPE vt = V_VT(&p.vValue);
    bool isTrue = vt == VT_BOOL && V_BOOL(&p.vValue) != VARIANT_FALSE;
    switch (p.dwPropertyID) {
    case DBPROP_IRowset:
    case DBPROP_IAccessor:
    case DBPROP_IColumnsInfo:
    case DBPROP_IRowsetInfo:
    case DBPROP_IConvertType:
    case DBPROP_ISupportErrorInfo:
    case DBPROP_CANHOLDROWS:
    case DBPROP_SERVERCURSOR:
        return vt == VT_BOOL || vt == VT_EMPTY ? DBPROPSTATUS_OK : DBPROPSTATUS_BADVALUE;
    case DBPROP_COMMANDTIMEOUT:
        return vt == VT_I4 || vt == VT_EMPTY ? DBPROPSTATUS_OK : DBPROPSTATUS_BADVALUE;
    default:
        return (vt == VT_EMPTY || (vt == VT_BOOL && !isTrue)) ? DBPROPSTATUS_OK : DBPROPSTATUS_NOTSUPPORTED;
    }
}

}  // namespace

Command::Command(Session* session) : session_(session) { session_->AddRef(); }

Command::~Command()
{
    {
        Locked hold(session_->SessionLock());
        DropStatement();
    }
    // No spare is left: the last reference was not a spare's (see state_).
    session_->Release();
}

bool Command::TakeBack(Rowset* rowset)
{
    // No lock: the rowset has no reference left, so no other thread reaches
    // it, and the spare changes hands in state_ only. When the rowset's
    // reference is the command's last, it is not kept (it would keep the
    // command for ever): the caller deletes it, which lets the command go.
    unsigned long long state = Glance();
    if (Spare(state) || Count(state) < 2)
        return false;
    rowset->Clear();
    while (!Spare(state) && Count(state) >= 2)
        if (state_.compare_exchange_weak(state, State(Count(state), rowset), std::memory_order_acq_rel))
            return true;  // from here another thread may take it, or let it and the command go
    return false;
}

Rowset* Command::TakeSpare()
{
    unsigned long long state = Glance();
    while (Rowset* spare = Spare(state))
        if (state_.compare_exchange_weak(state, State(Count(state), nullptr), std::memory_order_acq_rel))
            return spare;
    return nullptr;
}

const Accessor* Command::InheritedAccessor(HACCESSOR handle, AccessorCache& cache)
{
    return accessors_.Find(handle, cache);
}

const std::vector<ColumnInfo>& Command::NoColumns()
{
    static const std::vector<ColumnInfo> none;
    return none;
}

HRESULT Command::Create(Session* session, REFIID riid, IUnknown** out)
{
    auto* command = new Command(session);
    HRESULT hr = command->QueryInterface(riid, reinterpret_cast<void**>(out));
    command->Release();
    return hr;
}

HRESULT Command::QueryInterface(REFIID riid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (SameGuid(riid, IID_IUnknown) || SameGuid(riid, IID_ICommand) || SameGuid(riid, IID_ICommandText))
        *out = static_cast<ICommandText*>(this);
    else if (SameGuid(riid, IID_ICommandProperties))
        *out = static_cast<ICommandProperties*>(this);
    else if (SameGuid(riid, IID_ICommandPrepare))
        *out = static_cast<ICommandPrepare*>(this);
    else if (SameGuid(riid, IID_ICommandWithParameters))
        *out = static_cast<ICommandWithParameters*>(this);
    else if (SameGuid(riid, IID_IAccessor))
        *out = static_cast<IAccessor*>(this);
    else if (SameGuid(riid, IID_IColumnsInfo))
        *out = static_cast<IColumnsInfo*>(this);
    else if (SameGuid(riid, IID_IConvertType))
        *out = static_cast<IConvertType*>(this);
    else if (SameGuid(riid, IID_IColumnsRowset))
        *out = static_cast<IColumnsRowset*>(this);
    else if (SameGuid(riid, IID_ISupportErrorInfo))
        *out = static_cast<ISupportErrorInfo*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG Command::AddRef()
{
    return Count(state_.fetch_add(1, std::memory_order_relaxed)) + 1;
}

ULONG Command::Release()
{
    unsigned long long state = state_.load(std::memory_order_relaxed);
    for (;;) {
        const ULONG left = Count(state) - 1;
        Rowset* spare = Spare(state);
        if (spare && left == 1) {
            // The spare's would be the only reference left: no one can run
            // the command again, so the spare goes with it.
            if (!state_.compare_exchange_weak(state, 0, std::memory_order_acq_rel))
                continue;
            spare->creator_ = nullptr;  // its reference is the one going now
            delete spare;
            delete this;
            return 0;
        }
        if (state_.compare_exchange_weak(state, state - 1, std::memory_order_acq_rel)) {
            if (left == 0)
                delete this;
            return left;
        }
    }
}

void Command::DropStatement()
{
    if (stmt_) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
    stmtReset_ = true;
    boundText_ = false;
    prepared_ = false;
    identityTable_.clear();
    identityColumn_.clear();
    columns_.reset();
    columnsTyped_ = false;
    paramTypes_.clear();
    paramKnown_.clear();
    paramAssigned_.clear();
    paramPattern_.clear();
    bitTargets_.clear();
    held_.clear();
}

HRESULT Command::EnsurePrepared(REFIID iid)
{
    if (prepared_)
        return S_OK;
    if (!hasText_)
        return PostError(iid, DB_E_NOCOMMAND, L"HY010", 0, L"The command has no text to run.");
    TranslateError problem;
    if (!session_->Translate(text_, translated_, problem))
        return PostError(iid, DB_E_ERRORSINCOMMAND, problem.sqlState.c_str(), problem.nativeError, problem.message,
                         L"Statement: " + text_);
    if (translated_.kind == StatementKind::Procedure || translated_.kind == StatementKind::IdentityInsert ||
        translated_.kind == StatementKind::Backup || translated_.kind == StatementKind::CheckDatabase) {
        // The provider runs these itself: no SQLite statement, no result columns.
        size_t n = translated_.paramTypes.size();
        paramTypes_ = translated_.paramTypes;
        paramKnown_.assign(n, false);
        for (size_t i = 0; i < n; ++i)
            paramKnown_[i] = translated_.paramTyped[i];
        paramAssigned_.assign(n, false);
        paramPattern_.assign(n, false);
        prepared_ = true;
        return S_OK;
    }

    sqlite3* db = session_->Db();
    const void* tail = nullptr;
    const std::wstring& sql = translated_.sqliteText;
    int rc = sqlite3_prepare16_v3(db, sql.c_str(), static_cast<int>(sql.size() * sizeof(wchar_t)),
                                  SQLITE_PREPARE_PERSISTENT, &stmt_, &tail);
    if (rc != SQLITE_OK) {
        stmt_ = nullptr;
        return PostSqliteError(iid, db, rc, L"sqlite3_prepare16_v3", text_);
    }
    if (!stmt_)
        return PostError(iid, DB_E_ERRORSINCOMMAND, L"42000", 102, L"The statement is empty.", L"Statement: " + text_);
    // One statement per command: text after it (other than semicolons and blanks) is refused, not ignored.
    for (auto* p = static_cast<const wchar_t*>(tail); p && *p; ++p)
        if (!iswspace(*p) && *p != L';') {
            DropStatement();
            return PostError(iid, DB_E_ERRORSINCOMMAND, L"42000", 102,
                             L"The command text holds more than one statement: run them one at a time.",
                             L"Statement: " + text_);
        }

    // Result columns: their declared types, and what the schema says of the base column.
    int count = sqlite3_column_count(stmt_);
    std::vector<ColumnInfo> columns;
    std::map<std::wstring, std::vector<ColumnInfo>> tables;
    for (int i = 0; i < count; ++i) {
        ColumnInfo c;
        auto* name = static_cast<const wchar_t*>(sqlite3_column_name16(stmt_, i));
        c.name = name ? name : L"";
        if (static_cast<size_t>(i) < translated_.columnTypes.size() && translated_.columnTyped[i]) {
            c.type = translated_.columnTypes[i];
            c.typeKnown = true;
        } else if (auto* decl = static_cast<const wchar_t*>(sqlite3_column_decltype16(stmt_, i))) {
            c.type = TypeFromDeclared(decl, c.typeKnown);
        } else {
            c.type = TextType(4000);
        }
        auto* table = static_cast<const wchar_t*>(sqlite3_column_table_name16(stmt_, i));
        auto* origin = static_cast<const wchar_t*>(sqlite3_column_origin_name16(stmt_, i));
        if (table && origin) {
            c.table = table;
            c.origin = origin;
            auto found = tables.find(c.table);
            if (found == tables.end()) {
                std::vector<ColumnInfo> list;
                session_->TableColumns(c.table, list);
                found = tables.emplace(c.table, std::move(list)).first;
            }
            for (const ColumnInfo& base : found->second)
                if (SameName(base.name, c.origin)) {
                    c.notNull = base.notNull;
                    c.primaryKey = base.primaryKey;
                    c.identity = base.identity;
                }
        }
        columns.push_back(c);
    }
    if (!columns.empty()) {
        columnsTyped_ = true;
        for (const ColumnInfo& c : columns)
            columnsTyped_ = columnsTyped_ && c.typeKnown;
        columns_ = std::make_shared<const ColumnSet>(std::move(columns));
    }

    // Parameters: from the translator, else from the column each one meets.
    int params = sqlite3_bind_parameter_count(stmt_);
    paramTypes_.assign(static_cast<size_t>(params), TypeDesc());
    paramKnown_.assign(static_cast<size_t>(params), false);
    paramAssigned_.assign(static_cast<size_t>(params), false);
    paramPattern_.assign(static_cast<size_t>(params), false);
    for (int i = 0; i < params; ++i) {
        if (static_cast<size_t>(i) >= translated_.paramTargets.size())
            continue;
        const ParamTarget& target = translated_.paramTargets[i];
        paramAssigned_[i] = target.assigned;
        paramPattern_[i] = target.pattern;
        if (translated_.paramTyped[i]) {
            paramTypes_[i] = translated_.paramTypes[i];
            paramKnown_[i] = true;
            continue;
        }
        if (target.column.empty())
            continue;
        for (const std::wstring& table : target.tables) {
            auto found = tables.find(table);
            if (found == tables.end()) {
                std::vector<ColumnInfo> list;
                session_->TableColumns(table, list);
                found = tables.emplace(table, std::move(list)).first;
            }
            for (const ColumnInfo& base : found->second)
                if (SameName(base.name, target.column) && base.typeKnown) {
                    paramTypes_[i] = base.type;
                    paramKnown_[i] = true;
                    break;
                }
            if (paramKnown_[i])
                break;
        }
    }

    // What the parameter plans need of this statement (accessorplan.h): the
    // bit parameters, and no number bound yet.
    ++statement_;
    bitTargets_.assign(static_cast<size_t>(params), false);
    for (size_t i = 0; i < bitTargets_.size(); ++i)
        bitTargets_[i] = paramKnown_[i] && paramTypes_[i].type == DBTYPE_BOOL && (paramAssigned_[i] || !paramPattern_[i]);
    held_.assign(static_cast<size_t>(params), BoundNumber());

    // An INSERT that gives the identity key a value needs IDENTITY_INSERT ON for its table.
    if (!translated_.insertTable.empty()) {
        std::vector<ColumnInfo> list;
        std::wstring real;
        if (session_->TableColumns(translated_.insertTable, list, &real))
            for (const ColumnInfo& c : list)
                if (c.identity)
                    for (const std::wstring& given : translated_.insertColumns)
                        if (SameName(given, c.name)) {
                            identityTable_ = real;
                            identityColumn_ = c.name;
                        }
    }
    prepared_ = true;
    return S_OK;
}

HRESULT Command::ReadParameter(const DBBINDING& b, BYTE* data, InValue& value, InputProblem& problem)
{
    const size_t index = static_cast<size_t>(b.iOrdinal - 1);
    // A value stored into a column is held to the column's type and length; a value
    // compared with a text column may be longer (a search pattern) and is taken as it is.
    const TypeDesc* target = paramKnown_[index] ? &paramTypes_[index] : nullptr;
    if (target && !paramAssigned_[index] && (target->type == DBTYPE_WSTR || paramPattern_[index]))
        target = nullptr;
    DBSTATUS status = ReadBinding(b, data, target, value, problem);
    if (status == DBSTATUS_S_OK && value.kind == InValue::Ignore) {
        status = DBSTATUS_E_BADSTATUS;
        problem.sqlState = L"HY000";
        problem.description = L"A parameter cannot be ignored.";
    }
    if (status == DBSTATUS_S_OK)
        return S_OK;
    if (b.dwPart & DBPART_STATUS)
        *reinterpret_cast<DBSTATUS*>(data + b.obStatus) = status;
    bool dataRule = problem.sqlState && problem.sqlState[0] == L'2' && problem.sqlState[1] == L'2';
    return PostError(IID_ICommand, dataRule ? DB_E_ERRORSINCOMMAND : DB_E_ERRORSOCCURRED, problem.sqlState,
                     problem.nativeError, problem.description, L"Parameter " + Number(b.iOrdinal) + L" of: " + text_);
}

HRESULT Command::BindRead(DBORDINAL ordinal, const InValue& value)
{
    if (value.kind == InValue::Text)
        boundText_ = true;
    held_[static_cast<size_t>(ordinal - 1)].kind = BoundNumber::None;
    int rc = BindValue(stmt_, static_cast<int>(ordinal), value);
    if (rc != SQLITE_OK)
        return PostSqliteError(IID_ICommand, session_->Db(), rc, L"sqlite3_bind",
                               L"parameter " + Number(ordinal) + L" of " + text_);
    return S_OK;
}

HRESULT Command::BindGeneral(const DBBINDING& b, BYTE* data)
{
    InValue value;
    InputProblem problem;
    HRESULT hr = ReadParameter(b, data, value, problem);
    return FAILED(hr) ? hr : BindRead(b.iOrdinal, value);
}

void Command::ClearBindings()
{
    sqlite3_clear_bindings(stmt_);
    boundText_ = false;
    for (BoundNumber& n : held_)
        n.kind = BoundNumber::None;
}

HRESULT Command::BindParameters(const Accessor& accessor, BYTE* data, std::vector<InValue>* collected)
{
    if (!collected) {
        // An accessor that gives every parameter a value, bound by its plan.
        if (!paramPlan_.Fits(accessor, statement_))
            paramPlan_.Make(accessor, statement_, bitTargets_);
        if (paramPlan_.Usable()) {
            BoundNumber number;
            for (const ParamPlan::Step& step : paramPlan_.Steps()) {
                HRESULT hr;
                if (step.kind != PlanKind::General && ParamPlan::ReadNumber(step, data, number)) {
                    int rc = BindNumber(stmt_, step.index, number, held_[step.index]);
                    hr = rc == SQLITE_OK ? S_OK
                                         : PostSqliteError(IID_ICommand, session_->Db(), rc, L"sqlite3_bind",
                                                           L"parameter " + Number(step.index + 1) + L" of " + text_);
                } else {
                    hr = BindGeneral(*step.binding, data);
                }
                if (FAILED(hr))
                    return hr;
            }
            return S_OK;
        }
    }
    const int count = static_cast<int>(paramTypes_.size());
    if (collected)
        collected->assign(paramTypes_.size(), InValue());
    bound_.assign(static_cast<size_t>(count), 0);
    InValue value;
    InputProblem problem;
    for (const DBBINDING& b : accessor.bindings) {
        if (b.iOrdinal < 1 || b.iOrdinal > static_cast<DBORDINAL>(count)) {
            if (b.dwPart & DBPART_STATUS)
                *reinterpret_cast<DBSTATUS*>(data + b.obStatus) = DBSTATUS_E_BADACCESSOR;
            return PostError(IID_ICommand, DB_E_ERRORSOCCURRED, L"07009", 0,
                             L"A value was given for parameter " + Number(b.iOrdinal) + L", which the statement does not have.",
                             L"Statement: " + text_);
        }
        size_t index = static_cast<size_t>(b.iOrdinal - 1);
        HRESULT hr = ReadParameter(b, data, value, problem);
        if (FAILED(hr))
            return hr;
        if (collected) {
            InValue& kept = (*collected)[index];
            kept = value;
            kept.owned.assign(value.text ? value.text : L"", value.text ? value.length : 0);
            kept.text = kept.owned.c_str();
            bound_[index] = 1;
            continue;
        }
        hr = BindRead(b.iOrdinal, value);
        if (FAILED(hr))
            return hr;
        bound_[index] = 1;
    }
    for (int i = 0; i < count; ++i)
        if (!bound_[static_cast<size_t>(i)])
            return PostError(IID_ICommand, DB_E_PARAMNOTOPTIONAL, L"07002", 0,
                             L"No value was given for parameter " + Number(static_cast<unsigned>(i + 1)) +
                                 L" of the statement.",
                             L"Statement: " + text_);
    return S_OK;
}

HRESULT Command::Cancel() { return S_OK; }

HRESULT Command::Execute(IUnknown* outer, REFIID riid, DBPARAMS* params, DBROWCOUNT* rowsAffected, IUnknown** rowset)
{
    ClearErrorInfo();
    if (rowset)
        *rowset = nullptr;
    if (rowsAffected)
        *rowsAffected = DB_COUNTUNAVAILABLE;
    bool wantRowset = !SameGuid(riid, IID_NULL);
    if (wantRowset && !rowset)
        return InvalidArgument(L"Command::Execute");
    if (outer)
        return PostError(IID_IUnknown, DB_E_NOAGGREGATION, L"HY000", 0, L"The provider's objects cannot be aggregated.");
    return Guard(L"ICommand::Execute", [&]() -> HRESULT {
        Locked hold(session_->SessionLock());
        HRESULT hr = prepared_ ? S_OK : EnsurePrepared(IID_ICommand);
        if (FAILED(hr))
            return hr;

        const Accessor* accessor = nullptr;
        DBCOUNTITEM sets = 1;
        BYTE* data = nullptr;
        if (params && params->hAccessor != DB_NULL_HACCESSOR) {
            accessor = accessors_.Find(params->hAccessor, parameterAccessor_);
            if (!accessor)
                return PostError(IID_ICommand, DB_E_BADACCESSORHANDLE, L"HY000", 0,
                                 L"The parameter accessor handed to the command is not valid.");
            if (!(accessor->flags & DBACCESSOR_PARAMETERDATA))
                return PostError(IID_ICommand, DB_E_BADACCESSORTYPE, L"HY000", 0,
                                 L"The accessor handed to the command is not a parameter accessor.");
            sets = params->cParamSets;
            data = static_cast<BYTE*>(params->pData);
            if (sets == 0 || !data)
                return InvalidArgument(L"Command::Execute");
        }
        if (!accessor && !paramTypes_.empty())
            return PostError(IID_ICommand, DB_E_PARAMNOTOPTIONAL, L"07002", 0,
                             L"No values were given for the parameters of the statement.", L"Statement: " + text_);

        switch (translated_.kind) {
        case StatementKind::IdentityInsert:
            return session_->SetIdentityInsert(translated_.identityTable, translated_.identityOn, text_);
        case StatementKind::Backup:
            return session_->Backup(translated_.backupCatalog, translated_.backupPath, text_);
        case StatementKind::CheckDatabase:
            return session_->CheckDatabase(text_);
        case StatementKind::Procedure: {
            std::vector<InValue> values;
            for (DBCOUNTITEM s = 0; s < sets; ++s) {
                if (accessor) {
                    hr = BindParameters(*accessor, data + s * accessor->rowSize, &values);
                    if (FAILED(hr))
                        return hr;
                }
                std::vector<InValue> arguments;
                for (const TranslatedStatement::Argument& a : translated_.arguments) {
                    InValue v;
                    if (a.param >= 0)
                        v = values[static_cast<size_t>(a.param)];
                    else if (!a.null) {
                        v.kind = InValue::Integer;
                        v.integer = a.number;
                    }
                    arguments.push_back(v);
                }
                hr = session_->RunProcedure(translated_.procedure, arguments, text_);
                if (FAILED(hr))
                    return hr;
            }
            return S_OK;
        }
        default:
            break;
        }
        if (!identityTable_.empty() && !session_->IdentityInsertOn(identityTable_))
            return PostError(IID_ICommand, DB_E_ERRORSINCOMMAND, L"23000", 544,
                             L"The record cannot be saved: the key column \"" + identityColumn_ + L"\" of table \"" +
                                 identityTable_ + L"\" is filled by the database; give it a value only after "
                                 L"SET IDENTITY_INSERT " + identityTable_ + L" ON.",
                             L"Statement: " + text_);

        sqlite3* db = session_->Db();
        const size_t width = Columns().size();
        const bool rows = width != 0;
        long long changed = 0;
        for (DBCOUNTITEM s = 0; s < sets; ++s) {
            // Every way out of an execution resets the statement; only a
            // step left behind (by an exception out of the row copy) or the
            // previous parameter set needs it here.
            if (!stmtReset_)
                sqlite3_reset(stmt_);
            stmtReset_ = false;
            if (accessor) {
                hr = BindParameters(*accessor, data + s * accessor->rowSize);
                if (FAILED(hr)) {
                    sqlite3_reset(stmt_);
                    stmtReset_ = true;
                    ClearBindings();
                    return hr;
                }
            }
            if (rows)
                results_.Reset(width);
            for (;;) {
                int rc = sqlite3_step(stmt_);
                if (rc == SQLITE_ROW) {
                    results_.AppendRow(stmt_);
                    continue;
                }
                if (rc == SQLITE_DONE)
                    break;
                hr = PostSqliteError(IID_ICommand, db, rc, L"sqlite3_step", text_);
                sqlite3_reset(stmt_);
                stmtReset_ = true;
                ClearBindings();
                return hr;
            }
            if (!rows && translated_.kind == StatementKind::Change)
                changed += sqlite3_changes(db);
        }
        sqlite3_reset(stmt_);
        stmtReset_ = true;
        // Numbers stay bound until the next execution binds every parameter
        // again; the copies of texts are let go now.
        if (boundText_)
            ClearBindings();
        if (rowsAffected)
            *rowsAffected = (!rows && translated_.kind == StatementKind::Change) ? static_cast<DBROWCOUNT>(changed)
                                                                                 : DB_COUNTUNAVAILABLE;
        if (!rows || !wantRowset)
            return S_OK;
        std::shared_ptr<const ColumnSet> inferred;
        if (!columnsTyped_) {
            std::vector<ColumnInfo> typed = Columns();
            InferTypes(typed, results_);
            inferred = std::make_shared<const ColumnSet>(std::move(typed));
        }
        const std::shared_ptr<const ColumnSet>& columns = inferred ? inferred : columns_;
        Rowset* made = TakeSpare();
        if (made)
            made->Reuse(columns);
        else
            made = Rowset::NewQuery(session_, this, columns);
        // Released on every way out, an exception included: back to the
        // command when no one else took a reference.
        ComPtr<IRowset> owned(static_cast<IRowset*>(made), false);
        made->TakeRows(results_);
        if (SameGuid(riid, IID_IRowset)) {
            *rowset = owned.Detach();  // the reference the rowset was made with
            return S_OK;
        }
        return made->QueryInterface(riid, reinterpret_cast<void**>(rowset));
    });
}

HRESULT Command::GetDBSession(REFIID riid, IUnknown** session)
{
    ClearErrorInfo();
    if (!session)
        return InvalidArgument(L"Command::GetDBSession");
    *session = nullptr;
    return session_->QueryInterface(riid, reinterpret_cast<void**>(session));
}

HRESULT Command::GetCommandText(GUID* dialect, LPOLESTR* text)
{
    ClearErrorInfo();
    if (!text)
        return InvalidArgument(L"Command::GetCommandText");
    *text = nullptr;
    Locked hold(session_->SessionLock());
    if (!hasText_) {
        if (dialect)
            *dialect = DB_NULLGUID;
        return PostError(IID_ICommandText, DB_E_NOCOMMAND, L"HY010", 0, L"The command has no text.");
    }
    *text = TaskStrDup(text_.c_str());
    if (!*text)
        return E_OUTOFMEMORY;
    if (dialect)
        *dialect = DBGUID_DEFAULT;
    return S_OK;
}

HRESULT Command::SetCommandText(REFGUID dialect, LPCOLESTR text)
{
    ClearErrorInfo();
    return Guard(L"ICommandText::SetCommandText", [&]() -> HRESULT {
        if (!SameGuid(dialect, DBGUID_DEFAULT) && !SameGuid(dialect, DBGUID_SQL))
            return PostError(IID_ICommandText, DB_E_DIALECTNOTSUPPORTED, L"HY000", 0,
                             L"Only SQL command texts are supported.");
        Locked hold(session_->SessionLock());
        DropStatement();
        setInfo_.clear();
        setInfoGiven_.clear();
        hasText_ = text && *text;
        text_ = hasText_ ? text : L"";
        return S_OK;
    });
}

HRESULT Command::GetProperties(const ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* setCount, DBPROPSET** sets)
{
    ClearErrorInfo();
    return Guard(L"ICommandProperties::GetProperties", [&] {
        Locked hold(session_->SessionLock());
        return props_.Get(idSetCount, idSets, setCount, sets);
    });
}

HRESULT Command::SetProperties(ULONG setCount, DBPROPSET sets[])
{
    ClearErrorInfo();
    return Guard(L"ICommandProperties::SetProperties", [&]() -> HRESULT {
        Locked hold(session_->SessionLock());
        HRESULT hr = props_.Set(setCount, sets, CheckCommandProperty);
        if (FAILED(hr))
            return PostError(IID_ICommandProperties, hr, L"HY000", 0,
                             L"A command property is not supported by the database provider.");
        return hr;
    });
}

HRESULT Command::Prepare(ULONG expectedRuns)
{
    ClearErrorInfo();
    return Guard(L"ICommandPrepare::Prepare", [&] {
        Locked hold(session_->SessionLock());
        return EnsurePrepared(IID_ICommandPrepare);
    });
}

HRESULT Command::Unprepare()
{
    ClearErrorInfo();
    Locked hold(session_->SessionLock());
    DropStatement();
    return S_OK;
}

HRESULT Command::GetParameterInfo(DB_UPARAMS* count, DBPARAMINFO** info, OLECHAR** names)
{
    ClearErrorInfo();
    if (!count || !info)
        return InvalidArgument(L"Command::GetParameterInfo");
    *count = 0;
    *info = nullptr;
    if (names)
        *names = nullptr;
    return Guard(L"ICommandWithParameters::GetParameterInfo", [&]() -> HRESULT {
        Locked hold(session_->SessionLock());
        HRESULT hr = EnsurePrepared(IID_ICommandWithParameters);
        if (FAILED(hr))
            return hr;
        size_t n = paramTypes_.size();
        if (n == 0)
            return S_OK;
        std::vector<TypeDesc> types(n);
        for (size_t i = 0; i < n; ++i) {
            if (i < setInfoGiven_.size() && setInfoGiven_[i]) {
                bool known = false;
                types[i] = TypeFromDeclared(setInfo_[i].pwszDataSourceType ? setInfo_[i].pwszDataSourceType : L"",
                                            known);
                if (setInfo_[i].ulParamSize && types[i].type == DBTYPE_WSTR)
                    types[i].size = setInfo_[i].ulParamSize;
            } else if (paramKnown_[i]) {
                types[i] = paramTypes_[i];
            } else {
                return PostError(IID_ICommandWithParameters, DB_E_PARAMUNAVAILABLE, L"07009", 0,
                                 L"The type of parameter " + Number(i + 1) +
                                     L" cannot be told from the statement: compare it with a column, assign it to "
                                     L"one or insert it into one.",
                                 L"Statement: " + text_);
            }
        }
        auto* array = static_cast<DBPARAMINFO*>(CoTaskMemAlloc(sizeof(DBPARAMINFO) * n));
        if (!array)
            return E_OUTOFMEMORY;
        for (size_t i = 0; i < n; ++i) {
            DBPARAMINFO& p = array[i];
            p.dwFlags = DBPARAMFLAGS_ISINPUT | DBPARAMFLAGS_ISNULLABLE | (types[i].isLong ? DBPARAMFLAGS_ISLONG : 0);
            p.iOrdinal = i + 1;
            p.pwszName = nullptr;
            p.pTypeInfo = nullptr;
            p.ulParamSize = types[i].size;
            p.wType = types[i].type;
            p.bPrecision = types[i].precision;
            p.bScale = types[i].scale;
        }
        *count = n;
        *info = array;
        return S_OK;
    });
}

HRESULT Command::MapParameterNames(DB_UPARAMS count, const OLECHAR* names[], DB_LPARAMS ordinals[])
{
    ClearErrorInfo();
    if (count == 0)
        return S_OK;
    if (!names || !ordinals)
        return InvalidArgument(L"Command::MapParameterNames");
    for (DB_UPARAMS i = 0; i < count; ++i)
        ordinals[i] = 0;  // the statements mark their parameters with "?": none has a name
    return PostError(IID_ICommandWithParameters, DB_E_ERRORSOCCURRED, L"07009", 0,
                     L"The parameters of the statement have no names.");
}

HRESULT Command::SetParameterInfo(DB_UPARAMS count, const DB_UPARAMS ordinals[], const DBPARAMBINDINFO info[])
{
    ClearErrorInfo();
    if (count && !ordinals)
        return InvalidArgument(L"Command::SetParameterInfo");
    return Guard(L"ICommandWithParameters::SetParameterInfo", [&]() -> HRESULT {
        Locked hold(session_->SessionLock());
        if (count == 0) {
            setInfo_.clear();
            setInfoGiven_.clear();
            return S_OK;
        }
        for (DB_UPARAMS i = 0; i < count; ++i) {
            if (ordinals[i] == 0)
                return PostError(IID_ICommandWithParameters, DB_E_BADORDINAL, L"07009", 0,
                                 L"Parameter ordinals start at 1.");
            size_t index = static_cast<size_t>(ordinals[i] - 1);
            if (setInfo_.size() <= index) {
                setInfo_.resize(index + 1);
                setInfoGiven_.resize(index + 1, false);
            }
            if (info) {
                setInfo_[index] = info[i];
                setInfo_[index].pwszName = nullptr;
                setInfoGiven_[index] = true;
            } else {
                setInfoGiven_[index] = false;
            }
        }
        return S_OK;
    });
}

HRESULT Command::AddRefAccessor(HACCESSOR accessor, DBREFCOUNT* refs)
{
    return accessors_.AddRef(accessor, refs);
}

HRESULT Command::CreateAccessor(DBACCESSORFLAGS flags, DBCOUNTITEM count, const DBBINDING bindings[],
                                DBLENGTH rowSize, HACCESSOR* accessor, DBBINDSTATUS status[])
{
    ClearErrorInfo();
    return Guard(L"IAccessor::CreateAccessor", [&] {
        return accessors_.Create(AccessorTable::Owner::Command, 0, flags, count, bindings, rowSize, accessor, status);
    });
}

HRESULT Command::GetBindings(HACCESSOR accessor, DBACCESSORFLAGS* flags, DBCOUNTITEM* count, DBBINDING** bindings)
{
    ClearErrorInfo();
    return accessors_.GetBindings(accessor, flags, count, bindings);
}

HRESULT Command::ReleaseAccessor(HACCESSOR accessor, DBREFCOUNT* refs)
{
    return accessors_.Release(accessor, refs);
}

HRESULT Command::GetColumnInfo(DBORDINAL* count, DBCOLUMNINFO** info, OLECHAR** strings)
{
    ClearErrorInfo();
    return Guard(L"IColumnsInfo::GetColumnInfo", [&]() -> HRESULT {
        Locked hold(session_->SessionLock());
        HRESULT hr = EnsurePrepared(IID_IColumnsInfo);
        if (FAILED(hr))
            return hr;
        if (!columns_)
            return ExportColumnInfo(Columns(), count, info, strings);
        return columns_->Export(count, info, strings);
    });
}

HRESULT Command::MapColumnIDs(DBORDINAL count, const DBID ids[], DBORDINAL columns[])
{
    ClearErrorInfo();
    return Guard(L"IColumnsInfo::MapColumnIDs", [&]() -> HRESULT {
        Locked hold(session_->SessionLock());
        HRESULT hr = EnsurePrepared(IID_IColumnsInfo);
        if (FAILED(hr))
            return hr;
        return MapColumnIds(Columns(), count, ids, columns);
    });
}

HRESULT Command::CanConvert(DBTYPE from, DBTYPE to, DBCONVERTFLAGS flags)
{
    ClearErrorInfo();
    if (flags & ~(DBCONVERTFLAGS_PARAMETER | DBCONVERTFLAGS_ISLONG | DBCONVERTFLAGS_ISFIXEDLENGTH |
                  DBCONVERTFLAGS_FROMVARIANT))
        return PostError(IID_IConvertType, DB_E_BADCONVERTFLAG, L"HY000", 0, L"The conversion flags are not valid.");
    from &= ~DBTYPE_BYREF;
    to &= ~DBTYPE_BYREF;
    if (!IsBindableType(from) || !IsBindableType(to))
        return S_FALSE;
    bool fromDate = from == DBTYPE_FILETIME || from == DBTYPE_DBTIMESTAMP;
    bool toDate = to == DBTYPE_FILETIME || to == DBTYPE_DBTIMESTAMP;
    bool fromText = from == DBTYPE_WSTR || from == DBTYPE_STR;
    bool toText = to == DBTYPE_WSTR || to == DBTYPE_STR;
    if (fromDate != toDate && !fromText && !toText)
        return S_FALSE;
    return S_OK;
}

HRESULT Command::GetAvailableColumns(DBORDINAL* count, DBID** columns)
{
    ClearErrorInfo();
    if (!count || !columns)
        return InvalidArgument(L"Command::GetAvailableColumns");
    *count = 0;
    *columns = nullptr;
    return S_OK;
}

HRESULT Command::GetColumnsRowset(IUnknown* outer, DBORDINAL count, const DBID columns[], REFIID riid,
                                  ULONG setCount, DBPROPSET sets[], IUnknown** rowset)
{
    ClearErrorInfo();
    if (rowset)
        *rowset = nullptr;
    return PostError(IID_IColumnsRowset, DB_E_NOTSUPPORTED, L"HYC00", 0,
                     L"Column description rowsets are not supported: use IColumnsInfo.");
}

HRESULT Command::InterfaceSupportsErrorInfo(REFIID riid)
{
    return (SameGuid(riid, IID_ICommand) || SameGuid(riid, IID_ICommandText) ||
            SameGuid(riid, IID_ICommandProperties) || SameGuid(riid, IID_ICommandPrepare) ||
            SameGuid(riid, IID_ICommandWithParameters) || SameGuid(riid, IID_IAccessor) ||
            SameGuid(riid, IID_IColumnsInfo) || SameGuid(riid, IID_IColumnsRowset))
               ? S_OK
               : S_FALSE;
}

}  // namespace zelk
