// BoundStatement: the one way the program runs an SQL statement, and the
// readers of the rows it returns.
//
// A statement is a command on a session with its text, the values it is run
// with, and after a query its rowset and row block. It is built on the
// layer's own classes (DODBSession::CreateCommand, DODBCommand::Execute and
// ExecuteNR, DODBBindParam, DODBRowset::GetNextData) and maps their failures
// one way: every failure throws DODBErrors holding the thread's error object,
// with the failing HRESULT where the layer returned one and E_FAIL where it
// returned FALSE. Only the end of the rows is not a failure.
//
// The values a statement runs with are one of:
//  - its own loose list, filled through Params() by ordinal (none filled: the
//    statement runs without parameters);
//  - a loose list made elsewhere (UseParams: a filter's bound values);
//  - a parameter block (UseBlock: a block the caller laid out, whose parameter
//    accessor is made on this command; DescribeParams: the provider's own
//    description of a prepared statement's parameters).
//
// Use:
//   BoundStatement query(g_DbSession, L"SELECT Name FROM Patient WHERE Patient=?;");
//   query.Params().SetValI4(1, key);
//   query.Execute();
//   while (query.Next())
//       RowText(query.Row(), 0, name, 64);
//
//   BoundStatement update(session, L"UPDATE Snimok SET Disk=1 WHERE Snimok=?;");
//   update.Params().SetValI4(1, key);
//   DBROWCOUNT changed = update.Run();
#pragma once

#include "database/dbbindparam.h"
#include "database/dbcommand.h"
#include "database/dbobject.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dbsession.h"

#include <windows.h>

// Throws the thread's database error as DODBErrors (E_FAIL when the failing
// call gave no HRESULT).
[[noreturn]] void ThrowDatabaseError(HRESULT result = E_FAIL);

class BoundStatement {
public:
    enum TextKind { kText, kPrepared };

    // A command on the session with the text, set (kText) or set and
    // prepared (kPrepared). A session that is not set posts "Creating object
    // of class DODBCommand error." and throws, as a session that cannot make
    // a command does.
    BoundStatement(const DODBPtr<DODBSession>& session, const wchar_t* sql, TextKind kind = kText);
    BoundStatement(const BoundStatement&) = delete;
    BoundStatement& operator=(const BoundStatement&) = delete;

    // The statement's own list of values by ordinal.
    DODBBindParam& Params() { return *params_.Get(); }
    // Runs with a list made elsewhere in place of its own; a null list runs
    // the statement without parameters.
    void UseParams(const DODBPtr<DODBBindParam>& list);
    // Runs with the caller's parameter block, its parameter accessor made on
    // this command here.
    void UseBlock(const DODBPtr<DODBParams>& block);
    // The provider's description of the parameters as a block that the
    // statement then runs with; throws when it has fewer than `atLeast`.
    DODBParams* DescribeParams(ULONG atLeast);

    // Runs a query: the rowset and, with `rowBlock`, a block with one binding
    // per column (Row()); without it the caller reads into its own block
    // (NextInto).
    void Execute(bool rowBlock = true);
    // Runs the statement for its effect; the rows it affected.
    DBROWCOUNT Run();
    // Executes the query and fetches its first row; false when there is none.
    bool First();
    // The next row into Row() or the caller's block; false at the end.
    bool Next() { return NextInto(row_.Get()); }
    bool NextInto(DODBParams* row);

    DODBParams* Row() const { return row_.Get(); }
    DODBRowset* Rowset() const { return rowset_.Get(); }
    DODBCommand* Command() const { return command_.Get(); }

private:
    DODBPtr<DODBCommand> command_;
    DODBPtr<DODBBindParam> params_;   // the values by ordinal
    DODBPtr<DODBParams> block_;       // a parameter block, when it runs with one
    DODBPtr<DODBRowset> rowset_;
    DODBPtr<DODBParams> row_;         // one binding per result column
};

// A new row of a table whose key the database assigns, inserted through the
// table opened for change (DODBSession::OpenRowsetForChange,
// DODBRowset::InsertRow) and read back for that key. Failures throw
// DODBErrors as BoundStatement's do.
//
//   NewTableRow table(session, L"DiagHelp");
//   DODBParams* row = table.BindColumns(2, names);   // key column DBSTATUS_S_DEFAULT
//   ... set the values ...
//   table.Insert(row);                                 // row now holds the key
class NewTableRow {
public:
    NewTableRow(const DODBPtr<DODBSession>& session, const wchar_t* table);
    NewTableRow(const NewTableRow&) = delete;
    NewTableRow& operator=(const NewTableRow&) = delete;

    // A row block over the named columns, in that order (names compared
    // without regard to case).
    DODBParams* BindColumns(ULONG count, const wchar_t* const* names);
    // Inserts the row and reads the inserted row back into `readBack` (the
    // same block when null).
    void Insert(DODBParams* row, DODBParams* readBack = nullptr);
    DODBRowset* Rowset() const { return rowset_.Get(); }

private:
    DODBPtr<DODBRowset> rowset_;
    DODBPtr<DODBParams> row_;
};

// Reading a fetched row whatever type the provider gave each column. A column
// whose status is not OK (NULL among them), a bad index or a null row reads
// as no value.

// True with the value when the column holds a number (any integer, boolean
// (1 or 0) or floating type, floats cut toward zero).
bool RowInt(DODBParams* row, ULONG index, LONG* out);
// True with the value when the column holds a number, floats kept.
bool RowDouble(DODBParams* row, ULONG index, double* out);
// True with the date when the column holds a FILETIME.
bool RowDate(DODBParams* row, ULONG index, FILETIME* out);
// Copies a text column (at most capacity - 1 characters, always terminated);
// the characters copied, or -1 for no value or another type (buffer emptied).
int RowText(DODBParams* row, ULONG index, wchar_t* buffer, int capacity);
// The text column's characters in place (null for no value or another type),
// and its length in characters up to its first terminator.
const wchar_t* RowTextPtr(DODBParams* row, ULONG index, int* length);

// Writes a number into a binding of whatever fixed type the provider gave it
// (integers of any width, booleans, floats); E_FAIL for another type.
HRESULT SetNumber(DODBParams* block, ULONG index, double value);
