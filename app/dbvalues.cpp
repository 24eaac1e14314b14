#include "app/dbvalues.h"

#include "database/dberrors.h"
#include "images/files/snimokdb.h"

#include <string.h>

bool RowInt(DODBParams* row, ULONG index, LONG* out)
{
    return ColumnInt(row, index, out);
}

bool RowDate(DODBParams* row, ULONG index, FILETIME* out)
{
    return ColumnDate(row, index, out);
}

const wchar_t* RowTextPtr(DODBParams* row, ULONG index, int* length)
{
    *length = 0;
    if (!row || index >= row->GetCount() || !row->IsOk(index) || row->GetWType(index) != DBTYPE_WSTR)
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

void ThrowDatabaseError(HRESULT result)
{
    throw DODBErrors(result, TRUE);
}

BoundStatement::BoundStatement(const DODBPtr<DODBSession>& session, const wchar_t* sql)
{
    if (!session.IsSet() || !session->CreateCommand(command_))
        ThrowDatabaseError();
    if (FAILED(command_->SetCmdText(sql)))
        ThrowDatabaseError();
    if (!params_.CreateNew())
        ThrowDatabaseError(E_OUTOFMEMORY);
}

void BoundStatement::Execute()
{
    const BOOL done = params_->Count() ? command_->ExecuteBind(rowset_, &row_, params_, nullptr)
                                       : command_->Execute(rowset_, &row_, nullptr, nullptr);
    if (!done)
        ThrowDatabaseError();
}

DBROWCOUNT BoundStatement::Run()
{
    DBROWCOUNT affected = 0;
    if (params_->Count()) {
        if (!command_->ExecuteBindNR(params_, &affected))
            ThrowDatabaseError();
    } else {
        const HRESULT hr = command_->ExecuteNR(nullptr, &affected);
        if (FAILED(hr))
            ThrowDatabaseError(hr);
    }
    return affected;
}

bool BoundStatement::Next()
{
    if (!rowset_.IsSet())
        return false;
    if (rowset_->GetNextData(row_.Get()))
        return true;
    if (!rowset_->IsEndOfRowset())
        ThrowDatabaseError();
    return false;
}

HRESULT SetIntParam(DODBParams* block, ULONG index, LONG value)
{
    BYTE bytes[8] = {};
    switch (block->GetWType(index)) {
    case DBTYPE_I1:
    case DBTYPE_UI1: bytes[0] = (BYTE)value; break;
    case DBTYPE_I2:
    case DBTYPE_UI2: { SHORT v = (SHORT)value; memcpy(bytes, &v, 2); break; }
    case DBTYPE_BOOL: { SHORT v = value ? VARIANT_TRUE : VARIANT_FALSE; memcpy(bytes, &v, 2); break; }
    case DBTYPE_I4:
    case DBTYPE_UI4: memcpy(bytes, &value, 4); break;
    case DBTYPE_I8:
    case DBTYPE_UI8: { LONGLONG v = value; memcpy(bytes, &v, 8); break; }
    case DBTYPE_R4: { float v = (float)value; memcpy(bytes, &v, 4); break; }
    case DBTYPE_R8: { double v = value; memcpy(bytes, &v, 8); break; }
    default: return E_FAIL;
    }
    return block->SetValue(index, bytes, 0, DBSTATUS_S_OK);
}
