// DODBSource: an OLE DB data source opened from an initialization string.
//
// States: empty (no interfaces) -> OpenDataSource succeeds -> open (it holds
// IDBCreateSession and IDBProperties) until destroyed or opened again. A
// source whose opening failed holds nothing; its methods then fail with a
// record instead of touching a null pointer.
#pragma once

#include "database/dbobject.h"
#include "database/oledbinc.h"

class DODBSession;

class DODBSource : public DODBObject
{
public:
    DODBSource();
    ~DODBSource() override;

    bool IsOpen() const { return createSession != nullptr; }

    // Creates the data initialization service, has it make the provider's
    // data source from the string, initialises it and keeps its interfaces.
    HRESULT OpenDataSource(const wchar_t* initString);
    HRESULT CreateSession(DODBPtr<DODBSession>& session);
    HRESULT GetProperties(ULONG idSetCount, const DBPROPIDSET* idSets, ULONG* setCount, DBPROPSET** sets);
    // Every property of the source to "SourceProps.txt".
    HRESULT DumpProperties();

    // Lets the user build an initialization string with the Data Links
    // dialog and writes it to the file.
    static HRESULT CreateConnectionString(const wchar_t* fileName);
    // Opens with the initialization string stored in the file by the service.
    HRESULT OpenDataSourceFromFile(const wchar_t* fileName);
    // A handle to a new, empty source (null when it cannot be allocated).
    static DODBPtr<DODBSource> Create();

private:
    void ReleaseAll();
    HRESULT OpenSteps(const wchar_t* initString);

    IDBCreateSession* createSession;   // null until open
    IDBProperties* properties;         // null until open
};
