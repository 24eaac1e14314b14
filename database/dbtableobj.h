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
//
// The row block of the first execution of a text is kept for the later ones:
// its row accessor is made on the command, whose rowsets all inherit it, and
// the columns of one prepared text stay the same. A later execution only
// clears the block's statuses again (all that a new block shows before its
// first fetch; lazily, since that fetch writes them all); a new text, Open,
// Reset and
// Close let the next execution make it anew. A provider that refuses a row
// accessor on its command gets a block on each rowset, made at each execution.
#pragma once

#include "database/dbbindparam.h"
#include "database/dbcommand.h"
#include "database/dbobject.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dbsession.h"

#include <vector>

class DODBTableObj
{
public:
    DODBTableObj() : columnStatus(0), rowBlockKept(FALSE), outputsMapped(FALSE), inputTexts(-1), staleStatuses(FALSE) {}
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
    // Fetch's copies of the row into the output variables: the checks and
    // copies slot by slot (CopyOutputsChecked), or, once every output was
    // found in the row block, through the map made then (CopyOutputsMapped).
    void CopyOutputsChecked();
    // Clears the kept row block's statuses when an execution left them stale.
    void FreshStatuses() const;
    void CopyOutputsMapped();
    bool MapOutputs();

    // One output variable found in the row block.
    struct OutputCopy {
        void* variable;
        ULONG index;    // binding of the row block
        ULONG size;     // bytes of a fixed-size value; 0: copied by CopyOut (texts)
        ULONG chars;    // room of a text variable
        DBBYTEOFFSET status;   // of the binding in the block's buffer
        DBBYTEOFFSET value;
    };

    DBSTATUS columnStatus;              // of the last column copied by Fetch; 12 after Close and Reset
    DODBPtr<DODBCommand> command;
    DODBPtr<DODBParams> rowBlock;       // one binding per result column
    DODBPtr<DODBParams> paramBlock;     // made from the input list at the first execution
    DODBPtr<DODBRowset> rowset;
    DODBPtr<DODBBindParam> inputs;      // by-reference input variables
    DODBPtr<DODBBindParam> outputs;     // by-reference output variables
    BOOL rowBlockKept;                  // the row block's accessor is the command's: later executions keep it
    BOOL outputsMapped;                 // outputMap holds every output of the current row block
    std::vector<OutputCopy> outputMap;  // in slot order
    int inputTexts;                     // the inputs hold by-reference texts: 1, 0, or -1 (not looked at since BindIn)
    mutable BOOL staleStatuses;         // the kept row block's statuses are the last row's, not yet cleared
};
