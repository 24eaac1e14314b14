// The one way to run a statement: see dbstatement.h.
#include "database/dbstatement.h"

#include "database/dberrors.h"
#include "resources/strings.h"

#include <string.h>

void ThrowDatabaseError(HRESULT result)
{
    throw DODBErrors(result, TRUE);
}

BoundStatement::BoundStatement(const DODBPtr<DODBSession>& session, const wchar_t* sql, TextKind kind)
{
    if (!session.IsSet()) {
        DODBSetError(E_FAIL, IDS_DB_CREATE_COMMAND, L"DODBSession::CreateCommand");
        ThrowDatabaseError();
    }
    if (!session->CreateCommand(command_))
        ThrowDatabaseError();
    const HRESULT hr = kind == kPrepared ? command_->Prepare(sql) : command_->SetCmdText(sql);
    if (FAILED(hr))
        ThrowDatabaseError(hr);
    if (!params_.CreateNew())
        ThrowDatabaseError(E_OUTOFMEMORY);
}

void BoundStatement::UseParams(const DODBPtr<DODBBindParam>& list)
{
    params_ = list;
}

void BoundStatement::UseBlock(const DODBPtr<DODBParams>& block)
{
    block_ = block;
    const HRESULT hr = block_->CreateParamAccessor(command_->GetAccessor());
    if (FAILED(hr))
        ThrowDatabaseError(hr);
}

DODBParams* BoundStatement::DescribeParams(ULONG atLeast)
{
    if (!command_->CreateParams(block_) || block_->GetCount() < atLeast)
        ThrowDatabaseError();
    return block_.Get();
}

void BoundStatement::Execute(bool rowBlock)
{
    DODBPtr<DODBParams>* rows = rowBlock ? &row_ : nullptr;
    BOOL done;
    if (block_.IsSet())
        done = command_->Execute(rowset_, rows, block_.Get(), nullptr);
    else if (params_.IsSet() && params_->Count())
        done = command_->ExecuteBind(rowset_, rows, params_, nullptr);
    else
        done = command_->Execute(rowset_, rows, nullptr, nullptr);
    if (!done)
        ThrowDatabaseError();
}

DBROWCOUNT BoundStatement::Run()
{
    DBROWCOUNT affected = 0;
    if (!block_.IsSet() && params_.IsSet() && params_->Count()) {
        if (!command_->ExecuteBindNR(params_, &affected))
            ThrowDatabaseError();
        return affected;
    }
    const HRESULT hr = command_->ExecuteNR(block_.Get(), &affected);
    if (FAILED(hr))
        ThrowDatabaseError(hr);
    return affected;
}

bool BoundStatement::First()
{
    Execute();
    return Next();
}

bool BoundStatement::NextInto(DODBParams* row)
{
    if (!rowset_.IsSet())
        return false;
    if (rowset_->GetNextData(row))
        return true;
    if (!rowset_->IsEndOfRowset()) {
        const HRESULT hr = rowset_->GetResult();
        ThrowDatabaseError(FAILED(hr) ? hr : E_FAIL);
    }
    return false;
}

NewTableRow::NewTableRow(const DODBPtr<DODBSession>& session, const wchar_t* table)
{
    if (!session.IsSet()) {
        DODBSetError(E_FAIL, IDS_DB_OPEN_ROWSET, L"DODBSession::OpenRowsetForChange");
        ThrowDatabaseError();
    }
    if (!session->OpenRowsetForChange(table, rowset_))
        ThrowDatabaseError();
}

DODBParams* NewTableRow::BindColumns(ULONG count, const wchar_t* const* names)
{
    const HRESULT hr = rowset_->CreateParams(count, names, row_);
    if (FAILED(hr))
        ThrowDatabaseError(hr);
    return row_.Get();
}

void NewTableRow::Insert(DODBParams* row, DODBParams* readBack)
{
    if (!rowset_->InsertRow(row) || !rowset_->GetData(readBack ? readBack : row)) {
        const HRESULT hr = rowset_->GetResult();
        ThrowDatabaseError(FAILED(hr) ? hr : E_FAIL);
    }
}

// ---- reading rows and writing numbers -------------------------------------------------

namespace {

bool HasValue(DODBParams* row, ULONG index)
{
    return row && index < row->GetCount() && row->IsOk(index);
}

}  // namespace

bool RowInt(DODBParams* row, ULONG index, LONG* out)
{
    if (!HasValue(row, index))
        return false;
    const BYTE* p = static_cast<const BYTE*>(row->GetValuePtr(index));
    switch (row->GetWType(index)) {
    case DBTYPE_I1: *out = *reinterpret_cast<const signed char*>(p); return true;
    case DBTYPE_UI1: *out = *p; return true;
    case DBTYPE_I2: { SHORT v; memcpy(&v, p, 2); *out = v; return true; }
    case DBTYPE_UI2: { USHORT v; memcpy(&v, p, 2); *out = v; return true; }
    case DBTYPE_BOOL: { SHORT v; memcpy(&v, p, 2); *out = v ? 1 : 0; return true; }
    case DBTYPE_I4:
    case DBTYPE_UI4: { LONG v; memcpy(&v, p, 4); *out = v; return true; }
    case DBTYPE_I8:
    case DBTYPE_UI8: { LONGLONG v; memcpy(&v, p, 8); *out = (LONG)v; return true; }
    case DBTYPE_R4: { float v; memcpy(&v, p, 4); *out = (LONG)v; return true; }
    case DBTYPE_R8: { double v; memcpy(&v, p, 8); *out = (LONG)v; return true; }
    default: return false;
    }
}

bool RowDouble(DODBParams* row, ULONG index, double* out)
{
    if (!HasValue(row, index))
        return false;
    const BYTE* p = static_cast<const BYTE*>(row->GetValuePtr(index));
    switch (row->GetWType(index)) {
    case DBTYPE_R4: { float v; memcpy(&v, p, 4); *out = v; return true; }
    case DBTYPE_R8: { double v; memcpy(&v, p, 8); *out = v; return true; }
    default: {
        LONG v = 0;
        if (!RowInt(row, index, &v))
            return false;
        *out = v;
        return true;
    }
    }
}

bool RowDate(DODBParams* row, ULONG index, FILETIME* out)
{
    if (!HasValue(row, index) || row->GetWType(index) != DBTYPE_FILETIME)
        return false;
    memcpy(out, row->GetValuePtr(index), sizeof *out);
    return true;
}

const wchar_t* RowTextPtr(DODBParams* row, ULONG index, int* length)
{
    *length = 0;
    if (!HasValue(row, index) || row->GetWType(index) != DBTYPE_WSTR)
        return nullptr;
    const wchar_t* text = static_cast<const wchar_t*>(row->GetValuePtr(index));
    // The bound length is in bytes; the buffer is terminated within its room.
    const int max = (int)(row->GetMaxLen(index) / sizeof(wchar_t));
    int n = (int)(row->GetLength(index) / sizeof(wchar_t));
    if (n > max)
        n = max;
    int scan = 0;
    while (scan < n && text[scan])
        ++scan;
    *length = scan;
    return text;
}

int RowText(DODBParams* row, ULONG index, wchar_t* buffer, int capacity)
{
    if (capacity > 0)
        buffer[0] = 0;
    int length = 0;
    const wchar_t* text = RowTextPtr(row, index, &length);
    if (!text || capacity < 1)
        return -1;
    if (length > capacity - 1)
        length = capacity - 1;
    memcpy(buffer, text, length * sizeof(wchar_t));
    buffer[length] = 0;
    return length;
}

HRESULT SetNumber(DODBParams* block, ULONG index, double value)
{
    BYTE bytes[8] = {};
    switch (block->GetWType(index)) {
    case DBTYPE_I1:
    case DBTYPE_UI1: bytes[0] = (BYTE)(LONG)value; break;
    case DBTYPE_I2:
    case DBTYPE_UI2: { SHORT v = (SHORT)(LONG)value; memcpy(bytes, &v, 2); break; }
    case DBTYPE_BOOL: { SHORT v = value != 0 ? VARIANT_TRUE : VARIANT_FALSE; memcpy(bytes, &v, 2); break; }
    case DBTYPE_I4:
    case DBTYPE_UI4: { LONG v = (LONG)value; memcpy(bytes, &v, 4); break; }
    case DBTYPE_I8:
    case DBTYPE_UI8: { LONGLONG v = (LONGLONG)value; memcpy(bytes, &v, 8); break; }
    case DBTYPE_R4: { float v = (float)value; memcpy(bytes, &v, 4); break; }
    case DBTYPE_R8: memcpy(bytes, &value, 8); break;
    default: return E_FAIL;
    }
    return block->SetValue(index, bytes, 0, DBSTATUS_S_OK);
}
