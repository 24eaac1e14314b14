// DODBSession: one session on a data source.
//
// The factory of commands and table rowsets and the owner of local
// transactions (at most one at a time: BeginTx, then CommitSync or AbortTx).
// Made by DODBSource::CreateSession on a new IDBCreateCommand (whose reference
// it takes over). A session lacking a mandatory interface releases them all
// at construction and stays empty: every method of an empty session fails
// with E_NOINTERFACE and its own record, never through a null pointer.
#pragma once

#include "database/dbobject.h"
#include "database/oledbinc.h"

class DODBCommand;
class DODBParams;
class DODBRowset;

class DODBSession : public DODBObject
{
public:
    explicit DODBSession(IDBCreateCommand* createCommand);
    ~DODBSession() override;

    bool IsEmpty() const { return createCommand == nullptr; }

    BOOL CreateCommand(DODBPtr<DODBCommand>& command);
    BOOL OpenRowsetProp(const wchar_t* table, DODBPtr<DODBRowset>& rowset, ULONG setCount, DBPROPSET* sets);
    BOOL OpenRowset(const wchar_t* table, DODBPtr<DODBRowset>& rowset);
    // The table as an updatable rowset (inserts through DODBRowset::InsertRow).
    BOOL OpenRowsetForChange(const wchar_t* table, DODBPtr<DODBRowset>& rowset);

    HRESULT SetProperties(ULONG count, DBPROPSET* sets);
    HRESULT GetProperties(ULONG idSetCount, const DBPROPIDSET* idSets, ULONG* setCount, DBPROPSET** sets);

    HRESULT StartTransaction(ISOLEVEL level, ULONG flags, ITransactionOptions* options, ULONG* levelOut);
    HRESULT Commit(BOOL retaining, DWORD commitFlags, DWORD resourceFlags);
    HRESULT Abort(BOID* reason, BOOL retaining, BOOL asynchronous);
    HRESULT GetTransactionInfo(XACTTRANSINFO* info);
    HRESULT GetOptionsObject(ITransactionOptions** options);
    HRESULT BeginTx();
    HRESULT CommitSync();
    HRESULT AbortTx();

    // Runs one SQL text on a new command: with a rowset handle as a query
    // (DODBCommand::Execute), without one for its effect (ExecuteNR). S_OK or
    // a failing HRESULT, with the error object posted.
    HRESULT ExecSql(const wchar_t* sql, DODBPtr<DODBRowset>* rowset, DODBPtr<DODBParams>* rowBlock,
                    DODBParams* params, DBROWCOUNT* affected);

private:
    void ReleaseAll();
    bool Usable(UINT id, const wchar_t* source) const;
    BOOL OpenTable(const wchar_t* table, DODBPtr<DODBRowset>& rowset, ULONG setCount, DBPROPSET* sets, UINT id,
                   const wchar_t* source);

    IOpenRowset* openRowset;              // mandatory
    ISessionProperties* sessionProperties;   // mandatory
    IDBCreateCommand* createCommand;      // the interface the session was made on
    ITransactionLocal* transactionLocal;  // mandatory
    ISupportErrorInfo* supportErrorInfo;  // optional
};
