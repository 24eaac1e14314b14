// Rows another program may have edited: see mergerows.h.
#include "exchange/merge/mergerows.h"

#include "database/dberrors.h"
#include "foundation/dstring.h"
#include "foundation/textutil.h"
#include "resources/strings.h"

namespace {

// The longest text the database layer binds as a value: a longer one can be
// neither written here nor read whole.
const DWORD kLongestText = 32768;

// What a rowset keeps as its last result when the row came but some of its
// values did not: the provider's partial or total failure of GetData, or a
// value handed over with a status the layer does not take (a text cut short).
bool ValuesFailed(HRESULT result)
{
    return result == DB_S_ERRORSOCCURRED || result == DB_E_ERRORSOCCURRED || result == (HRESULT)DBSTATUS_E_UNAVAILABLE;
}

bool Readable(DBSTATUS status)
{
    return status == DBSTATUS_S_OK || status == DBSTATUS_S_ISNULL || status == DBSTATUS_S_DEFAULT;
}

MsgExcept Formatted(UINT id, const DWORD_PTR* args)
{
    const std::wstring format = LoadText(id);
    DString text;
    text.FormatMessageArgs(format.c_str(), args);
    return MsgExcept(IdOrText(text.Length() ? text.c_str() : format.c_str()));
}

}  // namespace

Fetched FetchRow(BoundStatement& query)
{
    try {
        return query.Next() ? Fetched::kRow : Fetched::kEnd;
    } catch (const DODBErrors&) {
        DODBRowset* rowset = query.Rowset();
        if (!rowset || !rowset->HoldsRow() || !ValuesFailed(rowset->GetResult()))
            throw;
        return Fetched::kBad;
    }
}

bool FirstReadableRow(BoundStatement& query)
{
    query.Execute();
    return FetchRow(query) == Fetched::kRow;
}

MsgExcept BadRowReason(DODBParams* row, const std::vector<std::wstring>& names, const wchar_t* table)
{
    for (ULONG i = 0; row && i < row->GetCount(); ++i) {
        const DBSTATUS status = row->GetStatus(i);
        if (Readable(status))
            continue;
        const std::wstring column = i < names.size() ? names[i] : std::to_wstring(i + 1);
        if (status == DBSTATUS_S_TRUNCATED && row->GetWType(i) == DBTYPE_WSTR) {
            // The length part tells the whole text's length.
            const DWORD_PTR args[3] = {reinterpret_cast<DWORD_PTR>(column.c_str()),
                                       (DWORD_PTR)(row->GetLength(i) / sizeof(wchar_t)), (DWORD_PTR)kLongestText};
            return Formatted(IDS_MERGE_TEXT_TOO_LONG, args);
        }
        const DWORD_PTR args[2] = {reinterpret_cast<DWORD_PTR>(column.c_str()), reinterpret_cast<DWORD_PTR>(table)};
        return Formatted(IDS_MERGE_BAD_VALUE, args);
    }
    // No status tells which (a provider that says only that the row failed).
    const DWORD_PTR args[2] = {reinterpret_cast<DWORD_PTR>(L"?"), reinterpret_cast<DWORD_PTR>(table)};
    return Formatted(IDS_MERGE_BAD_VALUE, args);
}
