// Commands.
//
// State machine
//   NoText --SetCommandText--> Unprepared --Prepare or Execute--> Prepared
//   Prepared --SetCommandText--> Unprepared (the statement is finalized)
//   Prepared --Unprepare--> Unprepared
// Preparing translates the text (statement.h), compiles it on the session's
// connection once, and describes its result columns and its parameters; the
// compiled statement is reused by every later Execute and reset after each,
// so no statement stays active between calls. Execute binds the parameters
// through the consumer's parameter accessor, runs the statement under the
// session's lock and either reads the whole result into a new rowset (a
// SELECT; rows affected -1) or reports the rows that an INSERT, UPDATE or
// DELETE changed (-1 for DDL). Earlier rowsets keep their own rows, so a
// command may run again while they live. The translation comes from the
// session's cache of translations by command text.
//
// What a re-execution reuses instead of making again: the compiled statement;
// the result columns (one ColumnSet shared with every rowset of the command,
// copied only when computed columns take their types from the values read);
// the memory of the rows read; the lookup of the consumer's parameter
// accessor (AccessorCache); the parameter accessor's plan and the numbers
// bound (accessorplan.h: a number that did not change is not bound again);
// and one spare rowset object, handed back to the command when the last
// reference to a rowset of it goes (TakeBack, by a compare-and-exchange of
// state_: no lock, and the rowset's reference to the command kept) and made
// the rowset of the next execution. Row
// accessors made on the command are inherited by all its rowsets, so a
// consumer that runs the command again binds its row once (OLE DB's rule for
// accessors of commands). Stored procedure calls,
// SET IDENTITY_INSERT and BACKUP DATABASE are run by the session itself
// (session.h); an INSERT that gives an identity key a value is refused with
// 23000 unless IDENTITY_INSERT is ON for its table on the session.
#pragma once

#include "provider/accessor.h"
#include "provider/accessorplan.h"
#include "provider/common.h"
#include "provider/properties.h"
#include "provider/statement.h"
#include "provider/columns.h"
#include "provider/types.h"
#include "provider/values.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sqlite3_stmt;

namespace zelk {

class Rowset;
class Session;

class Command final : public ICommandText,
                      public ICommandProperties,
                      public ICommandPrepare,
                      public ICommandWithParameters,
                      public IAccessor,
                      public IColumnsInfo,
                      public IConvertType,
                      public IColumnsRowset,
                      public ISupportErrorInfo {
public:
    static HRESULT Create(Session* session, REFIID riid, IUnknown** out);

    // Called by a query rowset of this command whose last reference went:
    // true when the command keeps it as its spare rowset (the rowset's
    // reference to the command becomes the spare's), false when the rowset
    // must delete itself (and release its reference to the command then).
    bool TakeBack(Rowset* rowset);

    // An accessor made on this command, which its rowsets inherit (those
    // with DBACCESSOR_ROWDATA read rows); null for any other handle. Valid
    // until the consumer releases the handle.
    const Accessor* InheritedAccessor(HACCESSOR handle, AccessorCache& cache);

    // IUnknown
    HRESULT WINAPI QueryInterface(REFIID riid, void** out) override;
    ULONG WINAPI AddRef() override;
    ULONG WINAPI Release() override;
    // ICommand
    HRESULT WINAPI Cancel() override;
    HRESULT WINAPI Execute(IUnknown* outer, REFIID riid, DBPARAMS* params, DBROWCOUNT* rowsAffected,
                           IUnknown** rowset) override;
    HRESULT WINAPI GetDBSession(REFIID riid, IUnknown** session) override;
    // ICommandText
    HRESULT WINAPI GetCommandText(GUID* dialect, LPOLESTR* text) override;
    HRESULT WINAPI SetCommandText(REFGUID dialect, LPCOLESTR text) override;
    // ICommandProperties
    HRESULT WINAPI GetProperties(const ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* setCount,
                                 DBPROPSET** sets) override;
    HRESULT WINAPI SetProperties(ULONG setCount, DBPROPSET sets[]) override;
    // ICommandPrepare
    HRESULT WINAPI Prepare(ULONG expectedRuns) override;
    HRESULT WINAPI Unprepare() override;
    // ICommandWithParameters
    HRESULT WINAPI GetParameterInfo(DB_UPARAMS* count, DBPARAMINFO** info, OLECHAR** names) override;
    HRESULT WINAPI MapParameterNames(DB_UPARAMS count, const OLECHAR* names[], DB_LPARAMS ordinals[]) override;
    HRESULT WINAPI SetParameterInfo(DB_UPARAMS count, const DB_UPARAMS ordinals[],
                                    const DBPARAMBINDINFO info[]) override;
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
    // IConvertType
    HRESULT WINAPI CanConvert(DBTYPE from, DBTYPE to, DBCONVERTFLAGS flags) override;
    // IColumnsRowset
    HRESULT WINAPI GetAvailableColumns(DBORDINAL* count, DBID** columns) override;
    HRESULT WINAPI GetColumnsRowset(IUnknown* outer, DBORDINAL count, const DBID columns[], REFIID riid,
                                    ULONG setCount, DBPROPSET sets[], IUnknown** rowset) override;
    // ISupportErrorInfo
    HRESULT WINAPI InterfaceSupportsErrorInfo(REFIID riid) override;

private:
    explicit Command(Session* session);
    ~Command();
    // Translates and compiles the text when that has not been done; the session's lock is held.
    HRESULT EnsurePrepared(REFIID iid);
    void DropStatement();
    // Binds one parameter set from `data` through `accessor`; posts a failure.
    // With `collected`, the values are kept there (by ordinal - 1) instead of bound.
    HRESULT BindParameters(const Accessor& accessor, BYTE* data, std::vector<InValue>* collected = nullptr);
    // Reads the value of binding `b` (its ordinal one of the statement's) as
    // the parameter's column takes it; posts a failure.
    HRESULT ReadParameter(const DBBINDING& b, BYTE* data, InValue& value, InputProblem& problem);
    // Binds a value read by ReadParameter to parameter `ordinal` of stmt_; posts a failure.
    HRESULT BindRead(DBORDINAL ordinal, const InValue& value);
    // ReadParameter, then BindRead.
    HRESULT BindGeneral(const DBBINDING& b, BYTE* data);
    // Clears every binding of stmt_ (and what held_ knows of them).
    void ClearBindings();
    const std::vector<ColumnInfo>& Columns() const { return columns_ ? columns_->Columns() : NoColumns(); }
    static const std::vector<ColumnInfo>& NoColumns();

    // The references to the command and its spare rowset in one word, so
    // that both change together (compare-and-exchange only): the count in the
    // low half, the spare in the high half. A spare holds one of the counted
    // references, the one it had as a live rowset, so handing a rowset back
    // and making it the next execution's costs no reference of its own.
    // Invariant: with a spare, the count is at least 1 and one reference is
    // the spare's; when the spare's would be the only one, the spare and the
    // command go (Release).
    std::atomic<unsigned long long> state_{1};
    static ULONG Count(unsigned long long state) { return static_cast<ULONG>(state); }
    static Rowset* Spare(unsigned long long state)
    {
        return reinterpret_cast<Rowset*>(static_cast<uintptr_t>(state >> 32));
    }
    static unsigned long long State(ULONG count, Rowset* spare)
    {
        return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(spare)) << 32 | count;
    }
    // A first guess at state_ for a compare-and-exchange, which corrects it:
    // two plain reads of its halves, since a 64-bit atomic load on this
    // 32-bit target goes through the x87 unit and a store to the stack that
    // the next loads wait for, twice in every re-execution of a statement
    // that returns rows. A torn guess only makes the exchange fail once, or a
    // spare be missed (a new rowset is made, the spare goes with the command).
    unsigned long long Glance() const
    {
        const volatile uint32_t* halves = reinterpret_cast<const volatile uint32_t*>(&state_);
        return static_cast<unsigned long long>(halves[1]) << 32 | halves[0];
    }
    // The spare rowset taken for an execution (its reference now the new rowset's), or null.
    Rowset* TakeSpare();
    LiveObject live_;
    Session* session_;  // one reference
    bool hasText_ = false;
    std::wstring text_;
    bool prepared_ = false;         // translated (and compiled when SQLite runs it)
    sqlite3_stmt* stmt_ = nullptr;  // compiled text; null while unprepared or when the provider runs the statement
    bool stmtReset_ = true;         // stmt_ is reset: no step since its last reset
    bool boundText_ = false;        // a text is bound to stmt_ (cleared after the execution)
    std::wstring identityTable_;    // an INSERT that gives this table's identity key a value
    std::wstring identityColumn_;
    TranslatedStatement translated_;
    std::shared_ptr<const ColumnSet> columns_;  // result columns of the compiled text; null when none
    bool columnsTyped_ = false;                 // every result column has a declared type
    RowStore results_;                          // rows being read; its memory kept between executions
    std::vector<char> bound_;                   // parameters given a value, by ordinal - 1
    std::vector<TypeDesc> paramTypes_;
    std::vector<bool> paramKnown_;
    std::vector<bool> paramAssigned_;  // stored into its column: the column's length applies
    std::vector<bool> paramPattern_;   // a LIKE pattern: taken as text
    unsigned statement_ = 0;            // counts the statements compiled, for the parameter plan
    std::vector<bool> bitTargets_;      // a number given to it is sent as 0 or 1
    std::vector<BoundNumber> held_;     // the number stmt_ holds bound to each parameter, if known
    ParamPlan paramPlan_;               // how Execute's last parameter accessor binds (the session's lock held)
    std::vector<DBPARAMBINDINFO> setInfo_;  // SetParameterInfo, by ordinal - 1
    std::vector<bool> setInfoGiven_;
    AccessorTable accessors_{kCommandAccessorBase};
    AccessorCache parameterAccessor_;  // Execute's last parameter accessor (the session's lock held)
    PropertyBag props_;
};

}  // namespace zelk
