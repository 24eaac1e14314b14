#include "database/dbcommand.h"

#include "database/dbbindparam.h"
#include "database/dberrors.h"
#include "database/dbinterface.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "resources/strings.h"

DODBCommand::DODBCommand(ICommandText* text)
    : accessor(nullptr), columnsInfo(nullptr), properties(nullptr), commandText(text), convertType(nullptr),
      columnsRowset(nullptr), prepare(nullptr), withParameters(nullptr), supportErrorInfo(nullptr)
{
    if (commandText != nullptr &&
        !AcquireInterfaces(commandText, supportErrorInfo, IID_IAccessor, accessor, IID_IColumnsInfo, columnsInfo,
                           IID_ICommandProperties, properties, IID_IConvertType, convertType, IID_IColumnsRowset,
                           columnsRowset, IID_ICommandPrepare, prepare, IID_ICommandWithParameters, withParameters))
        ReleaseAll();
}

DODBCommand::~DODBCommand()
{
    ReleaseAll();
}

void DODBCommand::ReleaseAll()
{
    ReleaseInterfaces(commandText, accessor, columnsInfo, properties, convertType, columnsRowset, prepare, withParameters,
                      supportErrorInfo);
}

bool DODBCommand::Usable(const wchar_t* source) const
{
    if (commandText != nullptr)
        return true;
    DODBSetError(E_NOINTERFACE, IDS_DB_NO_COMMAND_TEXT, source);
    return false;
}

HRESULT DODBCommand::SetCmdText(const wchar_t* text)
{
    static const wchar_t kSource[] = L"DODBCommand::SetCmdText";
    DODBClearError();
    if (!Usable(kSource))
        return E_NOINTERFACE;
    HRESULT hr = commandText->SetCommandText(DBGUID_DEFAULT, text);
    if (FAILED(hr))
        DODBAddError(hr, IDS_DB_SET_COMMAND_TEXT, kSource);
    return hr;
}

HRESULT DODBCommand::Prepare(const wchar_t* text)
{
    static const wchar_t kSource[] = L"DODBCommand::Prepare";
    DODBClearError();
    if (!Usable(kSource))
        return E_NOINTERFACE;
    HRESULT hr = commandText->SetCommandText(DBGUID_DEFAULT, text);
    if (FAILED(hr)) {
        DODBAddError(hr, IDS_DB_SET_COMMAND_TEXT, kSource);
        return hr;
    }
    hr = prepare->Prepare(0);
    if (FAILED(hr))
        DODBAddError(hr, IDS_DB_PREPARE_COMMAND, kSource);
    return hr;
}

HRESULT DODBCommand::PrepareOnly()
{
    static const wchar_t kSource[] = L"DODBCommand::PrepareOnly";
    DODBClearError();
    if (!Usable(kSource))
        return E_NOINTERFACE;
    HRESULT hr = prepare->Prepare(0);
    if (FAILED(hr))
        DODBAddError(hr, IDS_DB_PREPARE_COMMAND, kSource);
    return hr;
}

HRESULT DODBCommand::Unprepare()
{
    static const wchar_t kSource[] = L"DODBCommand::Unprepare";
    DODBClearError();
    if (!Usable(kSource))
        return E_NOINTERFACE;
    HRESULT hr = prepare->Unprepare();
    if (FAILED(hr))
        DODBAddError(hr, IDS_DB_UNPREPARE_COMMAND, kSource);
    return hr;
}

HRESULT DODBCommand::RunProvider(DODBParams* params, DBROWCOUNT* affected, IRowset** rowset)
{
    DBPARAMS dbParams = {};
    DBPARAMS* passed = nullptr;
    if (params != nullptr) {
        dbParams.pData = params->GetData();
        dbParams.cParamSets = 1;
        dbParams.hAccessor = params->GetAccessor();
        passed = &dbParams;
    }
    DBROWCOUNT local = 0;
    return commandText->Execute(nullptr, IID_IRowset, passed, affected != nullptr ? affected : &local,
                                reinterpret_cast<IUnknown**>(rowset));
}

IRowset* DODBCommand::RunForRowset(DODBParams* params, DBROWCOUNT* affected, const wchar_t* source)
{
    DODBClearError();
    if (!Usable(source))
        return nullptr;
    IRowset* raw = nullptr;
    HRESULT hr = RunProvider(params, affected, &raw);
    if (FAILED(hr)) {
        DODBAddError(hr, IDS_DB_EXECUTE_COMMAND, source);
        return nullptr;
    }
    if (raw == nullptr)
        DODBAddError(hr, IDS_DB_NO_ROWSET, source);
    return raw;
}

BOOL DODBCommand::Execute(DODBPtr<DODBRowset>& rowset, DODBPtr<DODBParams>* rowBlock, DODBParams* params,
                          DBROWCOUNT* affected)
{
    static const wchar_t kSource[] = L"DODBCommand::Execute";
    IRowset* raw = RunForRowset(params, affected, kSource);
    if (raw == nullptr)
        return FALSE;
    if (!WrapNew(raw, rowset, E_OUTOFMEMORY, IDS_DB_CREATE_ROWSET, kSource))
        return FALSE;
    if (rowBlock != nullptr) {
        *rowBlock = rowset->CreateParams();
        if (!rowBlock->IsSet())
            return FALSE;
    }
    return TRUE;
}

BOOL DODBCommand::ExecuteInto(DODBRowset& rowset, DODBParams* params, DBROWCOUNT* affected)
{
    IRowset* raw = RunForRowset(params, affected, L"DODBCommand::Execute");
    if (raw == nullptr)
        return FALSE;
    rowset.Adopt(raw);
    return TRUE;
}

HRESULT DODBCommand::ExecuteNR(DODBParams* params, DBROWCOUNT* affected)
{
    static const wchar_t kSource[] = L"DODBCommand::ExecuteNR";
    DODBClearError();
    if (!Usable(kSource))
        return E_NOINTERFACE;
    IRowset* raw = nullptr;
    HRESULT hr = RunProvider(params, affected, &raw);
    if (raw != nullptr)
        raw->Release();
    if (FAILED(hr))
        DODBAddError(hr, IDS_DB_EXECUTE_COMMAND, kSource);
    return hr;
}

BOOL DODBCommand::ExecuteBind(DODBPtr<DODBRowset>& rowset, DODBPtr<DODBParams>* rowBlock,
                              const DODBPtr<DODBBindParam>& list, DBROWCOUNT* affected)
{
    DODBClearError();
    if (!list.IsSet()) {
        DODBSetError(E_INVALIDARG, IDS_DB_NO_PARAMETER_LIST, L"DODBCommand::Execute");
        return FALSE;
    }
    DODBPtr<DODBParams> block;
    if (!list->CreateParams(this, block))
        return FALSE;
    return Execute(rowset, rowBlock, block.Get(), affected);
}

BOOL DODBCommand::ExecuteBindNR(const DODBPtr<DODBBindParam>& list, DBROWCOUNT* affected)
{
    DODBClearError();
    if (!list.IsSet()) {
        DODBSetError(E_INVALIDARG, IDS_DB_NO_PARAMETER_LIST, L"DODBCommand::Execute");
        return FALSE;
    }
    if (!Usable(L"DODBCommand::ExecuteBindNR"))
        return FALSE;
    DODBPtr<DODBParams> block;
    if (!list->MakeParams(block))
        return FALSE;
    if (FAILED(block->CreateParamAccessor(accessor)))
        return FALSE;
    return SUCCEEDED(ExecuteNR(block.Get(), affected));
}

BOOL DODBCommand::CreateParams(DODBPtr<DODBParams>& block)
{
    static const wchar_t kSource[] = L"DODBCommand::CreateParams";
    DODBClearError();
    if (!Usable(kSource))
        return FALSE;
    DB_UPARAMS n = 0;
    DBPARAMINFO* info = nullptr;
    OLECHAR* names = nullptr;
    HRESULT hr = withParameters->GetParameterInfo(&n, &info, &names);
    if (FAILED(hr)) {
        DODBAddError(hr, IDS_DB_PARAMETER_INFO, kSource);
        return FALSE;
    }
    bool ok = true;
    if (!block.IsSet())
        ok = block.CreateNew();
    else
        block->Clear();
    ok = ok && SUCCEEDED(block->SetNumParams(n));
    for (DB_UPARAMS i = 0; ok && i < n; ++i) {
        DBTYPE type = 0;
        DBLENGTH size = 0;
        DODBMapProviderType(info[i].wType, info[i].ulParamSize, &type, &size);
        const ULONG index = (ULONG)info[i].iOrdinal - 1;
        ok = SUCCEEDED(block->SetParamBind(index, info[i].iOrdinal, type, size, DBPARAMIO_INPUT));
    }
    ok = ok && SUCCEEDED(block->AllocStructForParams()) && SUCCEEDED(block->CreateParamAccessor(accessor));
    CoTaskMemFree(info);
    CoTaskMemFree(names);
    if (!ok) {
        DODBAddError(E_FAIL, IDS_DB_CREATE_PARAMS, kSource);
        return FALSE;
    }
    return TRUE;
}

HRESULT DODBCommand::SetProperties(ULONG n, DBPROPSET* sets)
{
    static const wchar_t kSource[] = L"DODBCommand::SetProperties";
    DODBClearError();
    if (!Usable(kSource))
        return E_NOINTERFACE;
    HRESULT hr = properties->SetProperties(n, sets);
    if (FAILED(hr))
        DODBAddError(hr, IDS_DB_SET_PROPERTIES, kSource);
    return hr;
}

HRESULT DODBCommand::GetProperties(ULONG idSetCount, const DBPROPIDSET* idSets, ULONG* setCount, DBPROPSET** sets)
{
    static const wchar_t kSource[] = L"DODBCommand::GetProperties";
    DODBClearError();
    if (!Usable(kSource))
        return E_NOINTERFACE;
    HRESULT hr = properties->GetProperties(idSetCount, idSets, setCount, sets);
    if (FAILED(hr))
        DODBAddError(hr, IDS_DB_GET_PROPERTIES, kSource);
    return hr;
}
