// DODBRowset: the rows of a command or of a table, read forward.
//
// Made on a new IRowset (whose reference it takes over) by a command's
// execution or a session's table open. It holds at most one row (the current
// row): GetNextData releases it and fetches the next one into a row block,
// InsertRow replaces it with the inserted row so that GetData can read back
// what the server filled in (an identity key).
//
// The end of the rows is never an error: GetNextData returns FALSE with the
// end flag set and no error object. The last result is kept for callers who
// throw DODBErrors with it. A rowset lacking an interface it needs stays
// empty: every method then fails with E_NOINTERFACE and its own record.
#pragma once

#include "database/dbobject.h"
#include "database/oledbinc.h"

class DODBParams;

class DODBRowset : public DODBObject
{
public:
    explicit DODBRowset(IRowset* rowset);
    ~DODBRowset() override;

    bool IsEmpty() const { return rowset == nullptr; }
    // Lets go of the rows held (the current row and every interface) and
    // reads from `made` instead, whose reference it takes over; the other
    // interfaces are not asked for: a rowset adopted this way reads rows into
    // blocks made before (GetNextData, GetData) and makes none.
    void Adopt(IRowset* made);
    // For row blocks made by the caller: their row accessor is made with it.
    IAccessor* GetAccessor() const { return accessor; }

    BOOL GetNextData(DODBParams* row);
    BOOL IsEndOfRowset() const { return endOfRowset; }
    // A row is held: the last GetNextData got one (and read it, or failed to).
    bool HoldsRow() const { return currentRow != 0; }
    HRESULT GetResult() const { return lastResult; }
    BOOL GetData(DODBParams* row);
    BOOL InsertRow(DODBParams* row);
    BOOL SetData(DODBParams* row);
    HRESULT DeleteRow();
    HRESULT NextRow();
    HRESULT ReleaseRow();

    // A row block with one binding per column (the bookmark left out); null
    // on failure. Its row accessor is made on `owner` when given (a
    // command's IAccessor: the accessor then serves every rowset of that
    // command), else on this rowset.
    DODBPtr<DODBParams> CreateParams(IAccessor* owner = nullptr);
    // A row block with bindings for the named columns only, in the order of
    // the names (compared ignoring case in the thread's locale).
    HRESULT CreateParams(ULONG count, const wchar_t* const* names, DODBPtr<DODBParams>& block);

    HRESULT GetColumnsInfo(DBORDINAL* count, DBCOLUMNINFO** info, OLECHAR** strings);
    // Each name's column ordinal (-1 when missing; DB_S_ERRORSOCCURRED then).
    HRESULT GetOrdinals(ULONG count, const wchar_t* const* names, LONG* ordinals);
    HRESULT GetProperties(ULONG idSetCount, const DBPROPIDSET* idSets, ULONG* setCount, DBPROPSET** sets);
    // Every rowset property to "RowsetProps.txt".
    HRESULT DumpProperties();

private:
    void ReleaseAll();
    // Posts record `id` (replacing any), keeps `hr` as the last result; false.
    bool Refuse(HRESULT hr, UINT id, const wchar_t* source);
    // The checks that open the row methods; each refuses with its own record.
    bool Usable(UINT id, const wchar_t* source);
    bool HasRowMemory(DODBParams* row, const wchar_t* source);
    bool HasCurrentRow(const wchar_t* source);
    bool HasRowsetChange(const wchar_t* source);   // asks for IRowsetChange on first use
    // Ends a read or write: CheckStatuses after S_OK; otherwise record `id`
    // behind the provider's own, the result kept, and FALSE.
    BOOL Finish(HRESULT hr, UINT id, DODBParams* row, const wchar_t* source);
    // Releases the current row and makes the next one current (0 when none
    // came); returns the provider's result.
    HRESULT FetchNextRow();
    // The result of a read or write that returned S_OK: TRUE when every
    // column status of the block is acceptable, else record 693 and FALSE.
    BOOL CheckStatuses(DODBParams* row, const wchar_t* source);

    IAccessor* accessor;
    IRowset* rowset;                 // the interface the rowset was made on
    IRowsetInfo* rowsetInfo;
    IRowsetChange* rowsetChange;     // null until the first InsertRow
    ISupportErrorInfo* supportErrorInfo;   // optional
    HRESULT lastResult;              // of the last read or write; 12 for a bad column status
    BOOL endOfRowset;                // the last fetch reached the end
    HROW currentRow;                 // 0 when none
    DBCOUNTITEM rowsObtained;        // of the last fetch
    IColumnsInfo* columnsInfo;
};

// Writes property sets to a UTF-16 text file (with a byte-order mark),
// replacing it: set by set, property by property, with OLE DB's names.
HRESULT DumpPropertySets(const wchar_t* fileName, ULONG count, const DBPROPSET* sets);
// Frees property sets that a provider returned (values, arrays, the sets)
// with the COM task allocator.
void DODBFreePropertySets(ULONG count, DBPROPSET* sets);
