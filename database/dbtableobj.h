// DODBTableObj: a query as a straight sequence.
//
// Bundles one command, its parameter block, its rowset and row block, and the
// caller's own variables bound by reference: inputs are read at each
// execution, outputs filled at each fetch. Every failure throws DODBErrors
// (the thread's error object inside); Fetch returns FALSE only at the end of
// the rows.
//
// States: empty -> Open (command) -> SetCmdText/Prepare -> BindIn/BindOut ->
// Execute (rowset, row block; the parameter block is made once) -> Fetch until
// FALSE -> Reset (new bindings, same command) or Close. The destructor closes.
#pragma once

#include "database/dbbindparam.h"
#include "database/dbcommand.h"
#include "database/dbobject.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dbsession.h"

class DODBTableObj
{
public:
    DODBTableObj() : columnStatus(0) {}
    ~DODBTableObj() { Close(); }
    DODBTableObj(const DODBTableObj&) = delete;
    DODBTableObj& operator=(const DODBTableObj&) = delete;

    BOOL Open(const DODBPtr<DODBSession>& session);
    BOOL SetCmdText(const wchar_t* text);
    BOOL Prepare(const wchar_t* text);
    // The caller's variable as an input (by reference; for wide strings the
    // length in bytes, the text's current length is sent at each execution).
    BOOL BindIn(ULONG ordinal, DBTYPE type, void* variable, ULONG length, DBSTATUS status);
    // The caller's variable as an output of that column (for wide strings the
    // length is the buffer's size in bytes).
    BOOL BindOut(ULONG ordinal, DBTYPE type, void* variable, ULONG length, DBSTATUS status);
    BOOL Execute(DBROWCOUNT* affected);
    BOOL ExecuteNR(DBROWCOUNT* affected);
    BOOL Fetch();
    BOOL IsNull(ULONG index) const;
    DBSTATUS GetStatus(ULONG ordinal);
    BOOL SetParamStatus(ULONG ordinal, DBSTATUS status);
    void Close();
    void Reset();

    DBSTATUS ColumnStatus() const { return columnStatus; }

private:
    // Makes the parameter block on the first execution and sends the
    // by-reference texts' current lengths at every one.
    void PrepareParams();
    BOOL Bind(DODBPtr<DODBBindParam>& list, ULONG ordinal, DBTYPE type, void* variable, ULONG length,
              DBSTATUS status);

    DBSTATUS columnStatus;              // of the last column copied by Fetch; 12 after Close and Reset
    DODBPtr<DODBCommand> command;
    DODBPtr<DODBParams> rowBlock;       // one binding per result column
    DODBPtr<DODBParams> paramBlock;     // made from the input list at the first execution
    DODBPtr<DODBRowset> rowset;
    DODBPtr<DODBBindParam> inputs;      // by-reference input variables
    DODBPtr<DODBBindParam> outputs;     // by-reference output variables
};
