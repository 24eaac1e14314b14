#include "database/dbrowset.h"

#include "database/dberrors.h"
#include "database/dbinterface.h"
#include "database/dbparams.h"
#include "resources/strings.h"

namespace {

const HRESULT kBadStatusMarker = DBSTATUS_E_UNAVAILABLE;   // 12: a column status was not acceptable

bool AcceptableStatus(DBSTATUS s)
{
    return s == DBSTATUS_S_OK || s == DBSTATUS_S_ISNULL || s == DBSTATUS_S_DEFAULT;
}

bool SameName(const wchar_t* a, const wchar_t* b)
{
    if (a == nullptr || b == nullptr)
        return false;
    return CompareStringW(GetThreadLocale(), NORM_IGNORECASE | SORT_STRINGSORT, a, -1, b, -1) == CSTR_EQUAL;
}

// The first column of that name, or null.
const DBCOLUMNINFO* FindColumn(const DBCOLUMNINFO* info, DBORDINAL n, const wchar_t* name)
{
    for (DBORDINAL i = 0; i < n; ++i)
        if (SameName(info[i].pwszName, name))
            return &info[i];
    return nullptr;
}

}  // namespace

DODBRowset::DODBRowset(IRowset* made)
    : accessor(nullptr), rowset(made), rowsetInfo(nullptr), rowsetChange(nullptr), supportErrorInfo(nullptr),
      lastResult(S_OK), endOfRowset(FALSE), currentRow(0), rowsObtained(0), columnsInfo(nullptr)
{
    if (rowset != nullptr && !AcquireInterfaces(rowset, supportErrorInfo, IID_IAccessor, accessor, IID_IColumnsInfo,
                                                columnsInfo, IID_IRowsetInfo, rowsetInfo))
        ReleaseAll();
}

DODBRowset::~DODBRowset()
{
    ReleaseAll();
}

void DODBRowset::Adopt(IRowset* made)
{
    ReleaseAll();
    rowset = made;
    lastResult = S_OK;
    endOfRowset = FALSE;
    rowsObtained = 0;
}

void DODBRowset::ReleaseAll()
{
    if (currentRow != 0 && rowset != nullptr)
        rowset->ReleaseRows(1, &currentRow, nullptr, nullptr, nullptr);
    currentRow = 0;
    ReleaseInterfaces(rowset, accessor, columnsInfo, rowsetInfo, rowsetChange, supportErrorInfo);
}

bool DODBRowset::Refuse(HRESULT hr, UINT id, const wchar_t* source)
{
    DODBSetError(hr, id, source);
    lastResult = hr;
    return false;
}

bool DODBRowset::Usable(UINT id, const wchar_t* source)
{
    return rowset != nullptr || Refuse(E_NOINTERFACE, id, source);
}

bool DODBRowset::HasRowMemory(DODBParams* row, const wchar_t* source)
{
    return (row != nullptr && row->GetData() != nullptr) || Refuse(E_FAIL, IDS_DB_NO_PARAMETER_MEMORY, source);
}

bool DODBRowset::HasCurrentRow(const wchar_t* source)
{
    return currentRow != 0 || Refuse(DB_E_BADROWHANDLE, IDS_DB_ROW_HANDLE, source);
}

bool DODBRowset::HasRowsetChange(const wchar_t* source)
{
    return rowsetChange != nullptr || Query(rowset, IID_IRowsetChange, rowsetChange) ||
           Refuse(E_FAIL, IDS_DB_NO_ROWSET_CHANGE, source);
}

BOOL DODBRowset::Finish(HRESULT hr, UINT id, DODBParams* row, const wchar_t* source)
{
    if (hr == S_OK)
        return CheckStatuses(row, source);
    DODBAddError(hr, id, source);
    lastResult = hr;
    return FALSE;
}

BOOL DODBRowset::CheckStatuses(DODBParams* row, const wchar_t* source)
{
    const ULONG n = row->GetCount();
    const DBBINDING* const bindings = row->GetBinding(0);
    const BYTE* const data = row->GetData();
    for (ULONG i = 0; i < n; ++i) {
        if (!AcceptableStatus(*reinterpret_cast<const DBSTATUS*>(data + bindings[i].obStatus))) {
            DODBSetError(S_OK, IDS_DB_STATUS_VALUE, source);
            lastResult = kBadStatusMarker;
            return FALSE;
        }
    }
    lastResult = S_OK;
    return TRUE;
}

HRESULT DODBRowset::FetchNextRow()
{
    ReleaseRow();
    HROW* rows = &currentRow;
    rowsObtained = 0;
    HRESULT hr = rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &rowsObtained, &rows);
    if (rowsObtained == 0)
        currentRow = 0;
    return hr;
}

HRESULT DODBRowset::ReleaseRow()
{
    if (currentRow == 0 || rowset == nullptr)
        return 0;
    HRESULT hr = rowset->ReleaseRows(1, &currentRow, nullptr, nullptr, nullptr);
    currentRow = 0;
    return hr;
}

BOOL DODBRowset::GetNextData(DODBParams* row)
{
    static const wchar_t kSource[] = L"DODBRowset::GetNextData";
    DODBClearError();
    endOfRowset = FALSE;
    if (!Usable(IDS_DB_GET_ROW, kSource) || !HasRowMemory(row, kSource))
        return FALSE;
    HRESULT hr = FetchNextRow();
    if (hr == DB_S_ENDOFROWSET) {
        ReleaseRow();
        endOfRowset = TRUE;
        lastResult = hr;
        return FALSE;
    }
    if (FAILED(hr)) {
        // "Row getting error." first; the provider's records, which say
        // more, follow it.
        DODBPrependError(hr, IDS_DB_GET_ROW, kSource);
        lastResult = hr;
        return FALSE;
    }
    return Finish(rowset->GetData(currentRow, row->GetAccessor(), row->GetData()), IDS_DB_GET_DATA, row, kSource);
}

BOOL DODBRowset::GetData(DODBParams* row)
{
    static const wchar_t kSource[] = L"DODBRowset::GetData";
    DODBClearError();
    if (!Usable(IDS_DB_GET_DATA, kSource) || !HasCurrentRow(kSource) || !HasRowMemory(row, kSource))
        return FALSE;
    return Finish(rowset->GetData(currentRow, row->GetAccessor(), row->GetData()), IDS_DB_GET_DATA, row, kSource);
}

BOOL DODBRowset::InsertRow(DODBParams* row)
{
    static const wchar_t kSource[] = L"DODBRowset::InsertRow";
    DODBClearError();
    if (!Usable(IDS_DB_NO_ROWSET_CHANGE, kSource) || !HasRowsetChange(kSource) || !HasRowMemory(row, kSource))
        return FALSE;
    HROW inserted = 0;
    HRESULT hr = rowsetChange->InsertRow(DB_NULL_HCHAPTER, row->GetAccessor(), row->GetData(), &inserted);
    BOOL ok = Finish(hr, IDS_DB_INSERT_ROW, row, kSource);
    // The inserted row becomes the current row; releasing the old one must
    // not disturb the error object just posted.
    IErrorInfo* pending = nullptr;
    if (GetErrorInfo(0, &pending) != S_OK)
        pending = nullptr;
    ReleaseRow();
    currentRow = inserted;
    SetErrorInfo(0, pending);
    if (pending != nullptr)
        pending->Release();
    return ok;
}

BOOL DODBRowset::SetData(DODBParams* row)
{
    static const wchar_t kSource[] = L"DODBRowset::SetData";
    DODBClearError();
    if (!Usable(IDS_DB_SET_DATA, kSource) || !HasRowsetChange(kSource) || !HasCurrentRow(kSource) ||
        !HasRowMemory(row, kSource))
        return FALSE;
    HRESULT hr = rowsetChange->SetData(currentRow, row->GetAccessor(), row->GetData());
    return Finish(hr, IDS_DB_SET_DATA, row, kSource);
}

HRESULT DODBRowset::DeleteRow()
{
    DODBClearError();
    if (rowset == nullptr || currentRow == 0)
        return E_FAIL;
    if (rowsetChange == nullptr && !Query(rowset, IID_IRowsetChange, rowsetChange))
        return E_FAIL;
    DBROWSTATUS status = 0;
    return rowsetChange->DeleteRows(DB_NULL_HCHAPTER, 1, &currentRow, &status);
}

HRESULT DODBRowset::NextRow()
{
    static const wchar_t kSource[] = L"DODBRowset::NextRow";
    DODBClearError();
    if (!Usable(IDS_DB_GET_ROW, kSource))
        return E_NOINTERFACE;
    HRESULT hr = FetchNextRow();
    if (FAILED(hr))
        DODBAddError(hr, IDS_DB_GET_ROW, kSource);
    lastResult = hr;
    return hr;
}

DODBPtr<DODBParams> DODBRowset::CreateParams(IAccessor* owner)
{
    static const wchar_t kSource[] = L"DODBRowset::CreateParams";
    DODBClearError();
    DODBPtr<DODBParams> block;
    if (columnsInfo == nullptr) {
        DODBSetError(E_NOINTERFACE, IDS_DB_NO_COLUMNS_INFO, kSource);
        return block;
    }
    DBORDINAL n = 0;
    DBCOLUMNINFO* info = nullptr;
    OLECHAR* strings = nullptr;
    HRESULT hr = columnsInfo->GetColumnInfo(&n, &info, &strings);
    if (FAILED(hr) || n == 0 || info == nullptr) {
        DODBAddError(FAILED(hr) ? hr : E_FAIL, IDS_DB_COLUMNS_INFO, kSource);
        CoTaskMemFree(info);
        CoTaskMemFree(strings);
        return block;
    }
    if (!block.CreateNew()) {
        DODBSetError(E_NOINTERFACE, IDS_DB_CREATE_PARAMS, kSource);
        CoTaskMemFree(info);
        CoTaskMemFree(strings);
        return block;
    }
    const DBORDINAL first = info[0].iOrdinal == 0 ? 1 : 0;   // the bookmark is not bound
    hr = block->SetNumParams((ULONG)(n - first));
    ULONG index = 0;
    for (DBORDINAL i = first; SUCCEEDED(hr) && i < n; ++i) {
        DBTYPE type = 0;
        DBLENGTH size = 0;
        DODBMapProviderType(info[i].wType, info[i].ulColumnSize, &type, &size);
        hr = block->SetParamBindInOut(index++, info[i].iOrdinal, type, size);
    }
    if (SUCCEEDED(hr))
        hr = block->AllocStructForParams();
    if (SUCCEEDED(hr))
        hr = block->CreateRowAccessor(owner != nullptr ? owner : accessor);
    CoTaskMemFree(info);
    CoTaskMemFree(strings);
    if (FAILED(hr)) {
        DODBAddError(hr, IDS_DB_CREATE_PARAMS, kSource);
        block.Release();
    }
    return block;
}

HRESULT DODBRowset::CreateParams(ULONG n, const wchar_t* const* names, DODBPtr<DODBParams>& block)
{
    static const wchar_t kSource[] = L"DODBRowset::CreateParams";
    DODBClearError();
    if (columnsInfo == nullptr) {
        DODBSetError(E_NOINTERFACE, IDS_DB_NO_COLUMNS_INFO, kSource);
        return E_NOINTERFACE;
    }
    if (n == 0 || names == nullptr) {
        DODBSetError(E_INVALIDARG, IDS_DB_NO_COLUMN_COUNT, kSource);
        return E_INVALIDARG;
    }
    HRESULT hr = S_OK;
    if (!block.IsSet()) {
        if (!block.CreateNew()) {
            DODBSetError(E_NOINTERFACE, IDS_DB_CREATE_PARAMS, kSource);
            return E_NOINTERFACE;
        }
    } else {
        block->Clear();
    }
    hr = block->SetNumParams(n);
    DBORDINAL columns = 0;
    DBCOLUMNINFO* info = nullptr;
    OLECHAR* strings = nullptr;
    if (SUCCEEDED(hr)) {
        hr = columnsInfo->GetColumnInfo(&columns, &info, &strings);
        if (FAILED(hr))
            DODBAddError(hr, IDS_DB_COLUMNS_INFO, kSource);
    }
    for (ULONG i = 0; SUCCEEDED(hr) && i < n; ++i) {
        const DBCOLUMNINFO* column = FindColumn(info, columns, names[i]);
        if (column == nullptr) {
            DODBSetError(E_INVALIDARG, IDS_DB_COLUMN_NOT_FOUND, kSource);
            hr = E_INVALIDARG;
            break;
        }
        DBTYPE type = 0;
        DBLENGTH size = 0;
        DODBMapProviderType(column->wType, column->ulColumnSize, &type, &size);
        hr = block->SetParamBind(i, column->iOrdinal, type, size, DBPARAMIO_NOTPARAM);
    }
    if (SUCCEEDED(hr))
        hr = block->AllocStructForParams();
    if (SUCCEEDED(hr))
        hr = block->CreateRowAccessor(accessor);
    CoTaskMemFree(info);
    CoTaskMemFree(strings);
    if (FAILED(hr))
        DODBAddError(hr, IDS_DB_CREATE_PARAMS, kSource);
    return hr;
}

HRESULT DODBRowset::GetColumnsInfo(DBORDINAL* n, DBCOLUMNINFO** info, OLECHAR** strings)
{
    static const wchar_t kSource[] = L"DODBRowset::GetColumnsInfo";
    DODBClearError();
    if (columnsInfo == nullptr) {
        DODBSetError(E_NOINTERFACE, IDS_DB_NO_COLUMNS_INFO, kSource);
        return E_NOINTERFACE;
    }
    HRESULT hr = columnsInfo->GetColumnInfo(n, info, strings);
    if (FAILED(hr))
        DODBAddError(hr, IDS_DB_COLUMNS_INFO, kSource);
    return hr;
}

HRESULT DODBRowset::GetOrdinals(ULONG n, const wchar_t* const* names, LONG* ordinals)
{
    for (ULONG i = 0; i < n; ++i)
        ordinals[i] = -1;
    DBORDINAL columns = 0;
    DBCOLUMNINFO* info = nullptr;
    OLECHAR* strings = nullptr;
    HRESULT hr = GetColumnsInfo(&columns, &info, &strings);
    if (FAILED(hr))
        return hr;
    hr = S_OK;
    for (ULONG i = 0; i < n; ++i) {
        const DBCOLUMNINFO* column = FindColumn(info, columns, names[i]);
        if (column != nullptr)
            ordinals[i] = (LONG)column->iOrdinal;
        else
            hr = DB_S_ERRORSOCCURRED;
    }
    CoTaskMemFree(info);
    CoTaskMemFree(strings);
    return hr;
}

HRESULT DODBRowset::GetProperties(ULONG idSetCount, const DBPROPIDSET* idSets, ULONG* setCount, DBPROPSET** sets)
{
    DODBClearError();
    if (rowsetInfo == nullptr) {
        DODBSetError(E_NOINTERFACE, IDS_DB_GET_PROPERTIES, L"DODBRowset::GetProperties");
        return E_NOINTERFACE;
    }
    return rowsetInfo->GetProperties(idSetCount, idSets, setCount, sets);
}

HRESULT DODBRowset::DumpProperties()
{
    ULONG n = 0;
    DBPROPSET* sets = nullptr;
    HRESULT hr = GetProperties(0, nullptr, &n, &sets);
    if (FAILED(hr))
        return hr;
    hr = DumpPropertySets(L"RowsetProps.txt", n, sets);
    DODBFreePropertySets(n, sets);
    return hr;
}
