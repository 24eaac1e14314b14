// Rowsets.
//
// A query rowset holds the whole result of a SELECT, read at Execute: no
// SQLite cursor stays open behind it, so a reader never holds a snapshot that
// hides other sessions' commits, its session can write to the table it lists,
// and DDL never meets an open statement.
//
// A table rowset (IOpenRowset::OpenRowset on a table name) reads nothing at
// opening. GetNextRows fetches the next rows in rowid order with one short
// statement per call ("rowid > last LIMIT n"), and InsertRow inserts a row and
// reads it back with its server-filled columns (the identity key, defaults).
// Its statements run on the session's connection under the session's lock, so
// inserts take part in the session's transaction when one is open.
//
// A query rowset reads through its own row accessors and through the row
// accessors of its command, which OLE DB lets the command's rowsets inherit:
// a consumer that runs a command again and again binds its row once.
//
// Invariants
// - Rows fetched or inserted are kept in the store; HROW = store index + 1.
// - A row handle is valid while its reference count is above 0: GetNextRows
//   and InsertRow give 1, AddRefRows raises it, ReleaseRows lowers it.
// - The position of a query rowset moves forward only; RestartPosition goes
//   back to the first row (the result is kept, not read again).
// - GetNextRows past the last row returns DB_S_ENDOFROWSET with no rows and
//   posts no error object.
// - Releasing and adding references to rows and accessors leaves the
//   thread's error object alone, so a caller can release the row of a failed
//   insert before it reads the failure.
#pragma once

#include "provider/accessor.h"
#include "provider/accessorplan.h"
#include "provider/common.h"
#include "provider/properties.h"
#include "provider/columns.h"
#include "provider/types.h"
#include "provider/values.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

struct sqlite3_stmt;

namespace zelk {

class Command;
class Session;

class Rowset final : public IRowset,
                     public IAccessor,
                     public IColumnsInfo,
                     public IRowsetInfo,
                     public IConvertType,
                     public IRowsetChange,
                     public ISupportErrorInfo {
public:
    // A query rowset of `command` (one reference to it) with no rows yet, one
    // reference to the rowset. When its last reference goes, the rowset is
    // handed back to the command (Command::TakeBack), which keeps one for its
    // next execution: a re-executed query makes no new COM object.
    static Rowset* NewQuery(Session* session, Command* command, const std::shared_ptr<const ColumnSet>& columns);
    // A rowset handed back to its command, made a new query rowset of it (as
    // NewQuery; its reference to the command is the one it kept as the spare).
    void Reuse(const std::shared_ptr<const ColumnSet>& columns);
    // Takes the rows read for it from `rows` (which gets the rowset's old
    // store, whose memory the next read reuses).
    void TakeRows(RowStore& rows);
    // Drops the rows, row handles and accessors of a rowset whose last
    // reference went; its reference to the command stays (Command::TakeBack).
    void Clear();
    // A table rowset on `table` (its name as the database spells it), with
    // the properties already accepted by the opener.
    static HRESULT CreateTable(Session* session, const std::wstring& table, std::vector<ColumnInfo> columns,
                               const PropertyBag& props, REFIID riid, IUnknown** out);

    // IUnknown
    HRESULT WINAPI QueryInterface(REFIID riid, void** out) override;
    ULONG WINAPI AddRef() override { return ++refs_; }
    ULONG WINAPI Release() override;
    // IRowset
    HRESULT WINAPI AddRefRows(DBCOUNTITEM count, const HROW rows[], DBREFCOUNT refs[], DBROWSTATUS status[]) override;
    HRESULT WINAPI GetData(HROW row, HACCESSOR accessor, void* data) override;
    HRESULT WINAPI GetNextRows(HCHAPTER chapter, DBROWOFFSET offset, DBROWCOUNT count, DBCOUNTITEM* obtained,
                               HROW** rows) override;
    HRESULT WINAPI ReleaseRows(DBCOUNTITEM count, const HROW rows[], DBROWOPTIONS options[], DBREFCOUNT refs[],
                               DBROWSTATUS status[]) override;
    HRESULT WINAPI RestartPosition(HCHAPTER chapter) override;
    // IAccessor
    HRESULT WINAPI AddRefAccessor(HACCESSOR accessor, DBREFCOUNT* refs) override;
    HRESULT WINAPI CreateAccessor(DBACCESSORFLAGS flags, DBCOUNTITEM count, const DBBINDING bindings[],
                                  DBLENGTH rowSize, HACCESSOR* accessor, DBBINDSTATUS status[]) override;
    HRESULT WINAPI GetBindings(HACCESSOR accessor, DBACCESSORFLAGS* flags, DBCOUNTITEM* count,
                               DBBINDING** bindings) override;
    HRESULT WINAPI ReleaseAccessor(HACCESSOR accessor, DBREFCOUNT* refs) override;
    // IColumnsInfo
    HRESULT WINAPI GetColumnInfo(DBORDINAL* count, DBCOLUMNINFO** info, OLECHAR** strings) override;
    HRESULT WINAPI MapColumnIDs(DBORDINAL count, const DBID ids[], DBORDINAL columns[]) override;
    // IRowsetInfo
    HRESULT WINAPI GetProperties(const ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* setCount,
                                 DBPROPSET** sets) override;
    HRESULT WINAPI GetReferencedRowset(DBORDINAL ordinal, REFIID riid, IUnknown** rowset) override;
    HRESULT WINAPI GetSpecification(REFIID riid, IUnknown** creator) override;
    // IConvertType
    HRESULT WINAPI CanConvert(DBTYPE from, DBTYPE to, DBCONVERTFLAGS flags) override;
    // IRowsetChange (table rowsets)
    HRESULT WINAPI DeleteRows(HCHAPTER chapter, DBCOUNTITEM count, const HROW rows[], DBROWSTATUS status[]) override;
    HRESULT WINAPI SetData(HROW row, HACCESSOR accessor, void* data) override;
    HRESULT WINAPI InsertRow(HCHAPTER chapter, HACCESSOR accessor, void* data, HROW* row) override;
    // ISupportErrorInfo
    HRESULT WINAPI InterfaceSupportsErrorInfo(REFIID riid) override;

private:
    friend class Command;  // deletes the spare rowset it keeps
    Rowset(Session* session, IUnknown* creator, std::shared_ptr<const ColumnSet> columns);
    const std::vector<ColumnInfo>& Columns() const { return columns_->Columns(); }
    ~Rowset();
    bool IsTable() const { return !table_.empty(); }
    // Fetches up to `count` more rows of a table rowset into the store; the session's lock is held.
    HRESULT FetchTableRows(size_t skip, size_t count, size_t& first, size_t& fetched);
    // A cached statement of this rowset for `sql`, prepared on first use; the session's lock is held.
    HRESULT Statement(const std::wstring& sql, REFIID iid, sqlite3_stmt** stmt);
    // Reads back the row `rowid` of a table rowset into the store; returns its index.
    HRESULT ReadBack(long long rowid, size_t& index);
    bool RowValid(HROW row) const { return row >= 1 && row <= rowRefs_.size() && rowRefs_[row - 1] > 0; }

    std::atomic<ULONG> refs_{1};
    LiveObject live_;
    SpinLock lock_;
    Session* session_;          // one reference
    IUnknown* creator_;  // the command, one reference, or null
    Command* command_ = nullptr;  // a query rowset's command (creator_), which takes it back
    std::shared_ptr<const ColumnSet> columns_;
    RowStore store_;
    std::vector<ULONG> rowRefs_;
    size_t position_ = 0;  // query rowsets: next row to fetch
    AccessorTable accessors_;
    AccessorCache inherited_;  // GetData's last accessor of the command (the rowset's lock held)
    AccessorCache own_;        // GetData's last accessor of the rowset's own (the rowset's lock held)
    RowPlan plan_;             // how GetData's last accessor writes a row (the rowset's lock held)
    PropertyBag props_;
    // Table rowsets only.
    std::wstring table_;
    long long lastRowid_ = 0;  // last rowid fetched by GetNextRows
    bool tableEnd_ = false;
    std::vector<long long> rowids_;  // rowid of each stored row
    std::map<std::wstring, sqlite3_stmt*> statements_;
};

}  // namespace zelk
