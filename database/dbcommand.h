// DODBCommand: one SQL text run on a session.
//
// Made by DODBSession::CreateCommand on a new ICommandText (whose reference
// it takes over). A command lacking any interface it needs releases them all
// at construction and stays empty: every method of an empty command fails
// with E_NOINTERFACE and record 678, never through a null pointer.
// Each Execute replaces the rowset in the caller's handle.
#pragma once

#include "database/dbobject.h"
#include "database/oledbinc.h"

class DODBBindParam;
class DODBParams;
class DODBRowset;

class DODBCommand : public DODBObject
{
public:
    explicit DODBCommand(ICommandText* text);
    ~DODBCommand() override;

    bool IsEmpty() const { return commandText == nullptr; }
    IAccessor* GetAccessor() const { return accessor; }

    HRESULT SetCmdText(const wchar_t* text);
    HRESULT Prepare(const wchar_t* text);
    HRESULT PrepareOnly();
    HRESULT Unprepare();

    // Runs a statement that returns rows; the rowset (and with a row-block
    // handle, a block with one binding per column) go to the handles.
    BOOL Execute(DODBPtr<DODBRowset>& rowset, DODBPtr<DODBParams>* rowBlock, DODBParams* params,
                 DBROWCOUNT* affected);
    // Runs a statement that returns rows into a rowset object the caller
    // already holds (DODBRowset::Adopt): for a caller that runs the command
    // again and reads the rows through a block made before. The same
    // failures as Execute.
    BOOL ExecuteInto(DODBRowset& rowset, DODBParams* params, DBROWCOUNT* affected);
    // Runs a statement for its effect; a rowset it returns is dropped.
    HRESULT ExecuteNR(DODBParams* params, DBROWCOUNT* affected);
    BOOL ExecuteBind(DODBPtr<DODBRowset>& rowset, DODBPtr<DODBParams>* rowBlock, const DODBPtr<DODBBindParam>& list,
                     DBROWCOUNT* affected);
    BOOL ExecuteBindNR(const DODBPtr<DODBBindParam>& list, DBROWCOUNT* affected);

    // A parameter block from the provider's description of the parameters.
    BOOL CreateParams(DODBPtr<DODBParams>& block);

    HRESULT SetProperties(ULONG count, DBPROPSET* sets);
    HRESULT GetProperties(ULONG idSetCount, const DBPROPIDSET* idSets, ULONG* setCount, DBPROPSET** sets);

private:
    void ReleaseAll();
    // Posts 678 for an empty command; true when the command can be used.
    bool Usable(const wchar_t* source) const;
    HRESULT RunProvider(DODBParams* params, DBROWCOUNT* affected, IRowset** rowset);
    // Clears the error records and runs the command for a rowset; null, with
    // the records posted under `source`, when it is unusable, fails or gives
    // no rowset.
    IRowset* RunForRowset(DODBParams* params, DBROWCOUNT* affected, const wchar_t* source);

    IAccessor* accessor;
    IColumnsInfo* columnsInfo;
    ICommandProperties* properties;
    ICommandText* commandText;         // the interface the command was made on
    IConvertType* convertType;
    IColumnsRowset* columnsRowset;
    ICommandPrepare* prepare;
    ICommandWithParameters* withParameters;
    ISupportErrorInfo* supportErrorInfo;   // optional
};
