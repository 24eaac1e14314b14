// Reading the values of a fetched row whatever type the provider gave each
// column, and running one statement with bound values, for the patient
// workspace's queries (strip, notes, templates).
//
// Every failure of a statement is thrown as DODBErrors with the thread's
// error object (E_FAIL when the layer posted none), as the database layer's
// callers do.
#pragma once

#include "database/dbbindparam.h"
#include "database/dbcommand.h"
#include "database/dbobject.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dbsession.h"

#include <windows.h>

// True with the value when the column holds a number (any integer, boolean
// or floating type); false for NULL, another type or a bad index.
bool RowInt(DODBParams* row, ULONG index, LONG* out);
// True with the date when the column holds a FILETIME.
bool RowDate(DODBParams* row, ULONG index, FILETIME* out);
// Copies a text column (at most capacity - 1 characters, always terminated);
// the characters copied, or -1 for NULL or another type (buffer emptied).
int RowText(DODBParams* row, ULONG index, wchar_t* buffer, int capacity);
// The text column's characters in place (null for NULL or another type), and
// its length in characters.
const wchar_t* RowTextPtr(DODBParams* row, ULONG index, int* length);

// Throws the thread's database error (E_FAIL when none is posted).
[[noreturn]] void ThrowDatabaseError(HRESULT result = E_FAIL);

// A statement on a session with its bound values. Execute runs a query and
// leaves the rowset and its row block; Run runs it for its effect and returns
// the rows affected. Both throw DODBErrors.
class BoundStatement {
public:
    BoundStatement(const DODBPtr<DODBSession>& session, const wchar_t* sql);

    DODBBindParam& Params() { return *params_.Get(); }
    void Execute();
    DBROWCOUNT Run();
    // The next row into Row(); false at the end. A rowset error that is not
    // the end of the rows throws DODBErrors.
    bool Next();
    DODBParams* Row() { return row_.Get(); }

private:
    DODBPtr<DODBCommand> command_;
    DODBPtr<DODBBindParam> params_;
    DODBPtr<DODBRowset> rowset_;
    DODBPtr<DODBParams> row_;
};

// Writes an integer into a parameter binding of whatever fixed type the
// provider described (integers of any width, booleans, floats).
HRESULT SetIntParam(DODBParams* block, ULONG index, LONG value);
