#include "database/dbsession.h"

#include "database/dbcommand.h"
#include "database/dberrors.h"
#include "database/dbinterface.h"
#include "database/dbrowset.h"
#include "resources/strings.h"

namespace {

// The property set of updatable table rowsets: server cursor, own changes
// visible, inserts read back from the server, IRowsetChange with change,
// delete and insert. Built once, on first use, for the life of the process.
struct ChangeRowsetProperties
{
    DBPROP props[6];
    DBPROPSET set;

    ChangeRowsetProperties()
    {
        static const DBPROPID kBoolIds[] = {DBPROP_SERVERCURSOR, DBPROP_SERVERDATAONINSERT, DBPROP_OWNUPDATEDELETE,
                                            DBPROP_OWNINSERT, DBPROP_IRowsetChange};
        for (int i = 0; i < 6; ++i) {
            DBPROP& p = props[i];
            ZeroMemory(&p, sizeof(p));
            p.dwOptions = DBPROPOPTIONS_REQUIRED;
            p.colid = DB_NULLID;
            VariantInit(&p.vValue);
            if (i < 5) {
                p.dwPropertyID = kBoolIds[i];
                V_VT(&p.vValue) = VT_BOOL;
                V_BOOL(&p.vValue) = VARIANT_TRUE;
            } else {
                p.dwPropertyID = DBPROP_UPDATABILITY;
                V_VT(&p.vValue) = VT_I4;
                V_I4(&p.vValue) = DBPROPVAL_UP_CHANGE | DBPROPVAL_UP_DELETE | DBPROPVAL_UP_INSERT;
            }
        }
        set.rgProperties = props;
        set.cProperties = 6;
        set.guidPropertySet = DBPROPSET_ROWSET;
    }
};

}  // namespace

DODBSession::DODBSession(IDBCreateCommand* made)
    : openRowset(nullptr), sessionProperties(nullptr), createCommand(made), transactionLocal(nullptr),
      supportErrorInfo(nullptr)
{
    if (createCommand != nullptr &&
        !AcquireInterfaces(createCommand, supportErrorInfo, IID_IOpenRowset, openRowset, IID_ITransactionLocal,
                           transactionLocal, IID_ISessionProperties, sessionProperties))
        ReleaseAll();
}

DODBSession::~DODBSession()
{
    ReleaseAll();
}

void DODBSession::ReleaseAll()
{
    ReleaseInterfaces(openRowset, createCommand, sessionProperties, transactionLocal, supportErrorInfo);
}

bool DODBSession::Usable(UINT id, const wchar_t* source) const
{
    if (createCommand != nullptr)
        return true;
    DODBSetError(E_NOINTERFACE, id, source);
    return false;
}

BOOL DODBSession::CreateCommand(DODBPtr<DODBCommand>& command)
{
    static const wchar_t kSource[] = L"DODBSession::CreateCommand";
    DODBClearError();
    if (!Usable(IDS_DB_CREATE_COMMAND, kSource))
        return FALSE;
    ICommandText* text = nullptr;
    HRESULT hr = createCommand->CreateCommand(nullptr, IID_ICommandText, reinterpret_cast<IUnknown**>(&text));
    if (FAILED(hr) || text == nullptr) {
        DODBAddError(FAILED(hr) ? hr : E_FAIL, IDS_DB_CREATE_COMMAND, kSource);
        return FALSE;
    }
    return WrapNew(text, command, E_OUTOFMEMORY, IDS_DB_CREATE_COMMAND, kSource) ? TRUE : FALSE;
}

BOOL DODBSession::OpenTable(const wchar_t* table, DODBPtr<DODBRowset>& rowset, ULONG setCount, DBPROPSET* sets,
                            UINT id, const wchar_t* source)
{
    if (!Usable(id, source))
        return FALSE;
    DBID tableId = {};
    tableId.eKind = DBKIND_NAME;
    tableId.uName.pwszName = const_cast<LPOLESTR>(table);
    IRowset* raw = nullptr;
    HRESULT hr = openRowset->OpenRowset(nullptr, &tableId, nullptr, IID_IRowset, setCount, sets,
                                        reinterpret_cast<IUnknown**>(&raw));
    if (FAILED(hr) || raw == nullptr) {
        if (raw != nullptr)
            raw->Release();
        DODBAddError(FAILED(hr) ? hr : E_FAIL, id, source);
        return FALSE;
    }
    return WrapNew(raw, rowset, E_OUTOFMEMORY, id, source) ? TRUE : FALSE;
}

BOOL DODBSession::OpenRowsetProp(const wchar_t* table, DODBPtr<DODBRowset>& rowset, ULONG setCount,
                                 DBPROPSET* sets)
{
    DODBClearError();
    return OpenTable(table, rowset, setCount, sets, IDS_DB_CREATE_ROWSET, L"DODBSession::OpenRowsetProp");
}

BOOL DODBSession::OpenRowset(const wchar_t* table, DODBPtr<DODBRowset>& rowset)
{
    return OpenRowsetProp(table, rowset, 0, nullptr);
}

BOOL DODBSession::OpenRowsetForChange(const wchar_t* table, DODBPtr<DODBRowset>& rowset)
{
    static ChangeRowsetProperties properties;
    DODBClearError();
    return OpenTable(table, rowset, 1, &properties.set, IDS_DB_OPEN_ROWSET, L"DODBSession::OpenRowsetForChange");
}

HRESULT DODBSession::SetProperties(ULONG n, DBPROPSET* sets)
{
    static const wchar_t kSource[] = L"DODBSession::SetProperties";
    DODBClearError();
    if (!Usable(IDS_DB_SET_PROPERTIES, kSource))
        return E_NOINTERFACE;
    HRESULT hr = sessionProperties->SetProperties(n, sets);
    if (hr != S_OK) {
        DODBAddError(hr, IDS_DB_SET_PROPERTIES, kSource);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT DODBSession::GetProperties(ULONG idSetCount, const DBPROPIDSET* idSets, ULONG* setCount,
                                   DBPROPSET** sets)
{
    static const wchar_t kSource[] = L"DODBSession::GetProperties";
    DODBClearError();
    if (!Usable(IDS_DB_GET_PROPERTIES, kSource))
        return E_NOINTERFACE;
    HRESULT hr = sessionProperties->GetProperties(idSetCount, idSets, setCount, sets);
    if (hr != S_OK) {
        DODBAddError(hr, IDS_DB_GET_PROPERTIES, kSource);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT DODBSession::StartTransaction(ISOLEVEL level, ULONG flags, ITransactionOptions* options, ULONG* levelOut)
{
    static const wchar_t kSource[] = L"DODBSession::StartTransaction";
    DODBClearError();
    if (!Usable(IDS_DB_TRANSACTION_START, kSource))
        return E_NOINTERFACE;
    HRESULT hr = transactionLocal->StartTransaction(level, flags, options, levelOut);
    if (FAILED(hr))
        DODBAddError(hr, IDS_DB_TRANSACTION_START, kSource);
    return hr;
}

HRESULT DODBSession::Commit(BOOL retaining, DWORD commitFlags, DWORD resourceFlags)
{
    static const wchar_t kSource[] = L"DODBSession::Commit";
    DODBClearError();
    if (!Usable(IDS_DB_TRANSACTION_COMMIT, kSource))
        return E_NOINTERFACE;
    HRESULT hr = transactionLocal->Commit(retaining, commitFlags, resourceFlags);
    if (FAILED(hr))
        DODBAddError(hr, IDS_DB_TRANSACTION_COMMIT, kSource);
    return hr;
}

HRESULT DODBSession::Abort(BOID* reason, BOOL retaining, BOOL asynchronous)
{
    static const wchar_t kSource[] = L"DODBSession::Abort";
    DODBClearError();
    if (!Usable(IDS_DB_TRANSACTION_ABORT, kSource))
        return E_NOINTERFACE;
    HRESULT hr = transactionLocal->Abort(reason, retaining, asynchronous);
    if (FAILED(hr))
        DODBAddError(hr, IDS_DB_TRANSACTION_ABORT, kSource);
    return hr;
}

HRESULT DODBSession::GetTransactionInfo(XACTTRANSINFO* info)
{
    static const wchar_t kSource[] = L"DODBSession::GetTransactionInfo";
    DODBClearError();
    if (!Usable(IDS_DB_TRANSACTION_INFO, kSource))
        return E_NOINTERFACE;
    HRESULT hr = transactionLocal->GetTransactionInfo(info);
    if (FAILED(hr))
        DODBAddError(hr, IDS_DB_TRANSACTION_INFO, kSource);
    return hr;
}

HRESULT DODBSession::GetOptionsObject(ITransactionOptions** options)
{
    static const wchar_t kSource[] = L"DODBSession::GetOptionsObject";
    DODBClearError();
    if (!Usable(IDS_DB_GET_OBJECT, kSource))
        return E_NOINTERFACE;
    HRESULT hr = transactionLocal->GetOptionsObject(options);
    if (FAILED(hr))
        DODBAddError(hr, IDS_DB_GET_OBJECT, kSource);
    return hr;
}

HRESULT DODBSession::BeginTx()
{
    return StartTransaction(ISOLATIONLEVEL_READUNCOMMITTED, 0, nullptr, nullptr);
}

HRESULT DODBSession::CommitSync()
{
    return Commit(FALSE, XACTTC_SYNC, 0);
}

HRESULT DODBSession::AbortTx()
{
    return Abort(nullptr, FALSE, FALSE);
}

HRESULT DODBSession::ExecSql(const wchar_t* sql, DODBPtr<DODBRowset>* rowset, DODBPtr<DODBParams>* rowBlock,
                             DODBParams* params, DBROWCOUNT* affected)
{
    DODBPtr<DODBCommand> command;
    if (!CreateCommand(command))
        return E_FAIL;
    command->SetCmdText(sql);
    if (rowset != nullptr)
        return command->Execute(*rowset, rowBlock, params, affected) ? S_OK : E_FAIL;
    return command->ExecuteNR(params, affected);
}
