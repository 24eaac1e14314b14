// Values carried by the merge: see mergevalue.h.
#include "exchange/merge/mergevalue.h"

#include "database/dbstatement.h"

#include <stdio.h>
#include <string.h>

namespace {

bool ReadInteger(DODBParams* row, ULONG index, LONGLONG* out)
{
    const DBTYPE type = row->GetWType(index);
    if (type == DBTYPE_I8 || type == DBTYPE_UI8) {
        memcpy(out, row->GetValuePtr(index), 8);
        return true;
    }
    if (type == DBTYPE_R4 || type == DBTYPE_R8) {
        double v = 0;
        if (!RowDouble(row, index, &v))
            return false;
        *out = (LONGLONG)v;
        return true;
    }
    LONG v = 0;
    if (!RowInt(row, index, &v))
        return false;
    *out = type == DBTYPE_UI4 ? (LONGLONG)(ULONG)v : (LONGLONG)v;
    return true;
}

}  // namespace

bool ReadMergeValue(DODBParams* row, ULONG index, ValueKind kind, MergeValue* value)
{
    *value = MergeValue();
    value->kind = kind;
    if (!row || index >= row->GetCount())
        return false;
    if (row->IsNull(index))
        return true;
    value->isNull = false;
    switch (kind) {
    case ValueKind::kInteger:
        return ReadInteger(row, index, &value->integer);
    case ValueKind::kReal:
        return RowDouble(row, index, &value->real);
    case ValueKind::kText: {
        int length = 0;
        const wchar_t* text = RowTextPtr(row, index, &length);
        if (!text)
            return false;
        value->text.assign(text, (size_t)length);
        return true;
    }
    case ValueKind::kDate:
        return RowDate(row, index, &value->date);
    default:
        return false;
    }
}

bool BindMergeValue(DODBBindParam& params, ULONG ordinal, const MergeValue& value, DWORD oledbType)
{
    const DBSTATUS status = value.isNull ? DBSTATUS_S_ISNULL : DBSTATUS_S_OK;
    switch (value.kind) {
    case ValueKind::kInteger: {
        const bool wide = oledbType == DBTYPE_I8 || oledbType == DBTYPE_UI8 || value.integer > 0x7FFFFFFFLL ||
                          value.integer < -0x80000000LL;
        if (wide) {
            LONGLONG v = value.integer;
            return params.SetVal(ordinal, DBTYPE_I8, &v, 8, status) != FALSE;
        }
        return params.SetValI4(ordinal, (LONG)value.integer, status) != FALSE;
    }
    case ValueKind::kReal:
        return params.SetValR8(ordinal, value.real, status) != FALSE;
    case ValueKind::kText:
        return params.SetStr(ordinal, value.text.c_str(), (int)value.text.size(), status) != FALSE;
    case ValueKind::kDate:
        return params.SetValDate(ordinal, value.date, status) != FALSE;
    default:
        return false;
    }
}

HRESULT WriteMergeValue(DODBParams* row, ULONG index, const MergeValue& value)
{
    if (value.isNull)
        return row->SetStatus(index, DBSTATUS_S_ISNULL);
    const DBTYPE type = row->GetWType(index);
    switch (value.kind) {
    case ValueKind::kInteger:
    case ValueKind::kReal: {
        const double number = value.kind == ValueKind::kInteger ? (double)value.integer : value.real;
        if (type == DBTYPE_WSTR) {
            const std::wstring text = MergeValueText(value);
            return row->SetValueStr(index, text.c_str(), (int)text.size());
        }
        if (type == DBTYPE_I8 || type == DBTYPE_UI8) {
            LONGLONG v = value.kind == ValueKind::kInteger ? value.integer : (LONGLONG)value.real;
            return row->SetValue(index, &v, 0, DBSTATUS_S_OK);
        }
        return SetNumber(row, index, number);
    }
    case ValueKind::kText:
        if (type != DBTYPE_WSTR)
            return E_FAIL;
        return row->SetValueStr(index, value.text.c_str(), (int)value.text.size());
    case ValueKind::kDate:
        if (type != DBTYPE_FILETIME)
            return E_FAIL;
        return row->SetValueDate(index, value.date);
    default:
        return E_FAIL;
    }
}

std::wstring MergeValueText(const MergeValue& value)
{
    if (value.isNull)
        return L" ";
    wchar_t buffer[64] = {};
    switch (value.kind) {
    case ValueKind::kInteger:
        _snwprintf(buffer, 63, L"%I64d", value.integer);
        return buffer;
    case ValueKind::kReal:
        _snwprintf(buffer, 63, L"%g", value.real);
        return buffer;
    case ValueKind::kText:
        return value.text;
    case ValueKind::kDate: {
        SYSTEMTIME st = {};
        if (!FileTimeToSystemTime(&value.date, &st))
            return L" ";
        _snwprintf(buffer, 63, L"%02u.%02u.%04u", st.wDay, st.wMonth, st.wYear);
        return buffer;
    }
    default:
        return L" ";
    }
}
