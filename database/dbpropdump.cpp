// The property dump: property sets written out as text for diagnosis.
//
// Nothing in the program calls the dumps; they are kept for service work on
// a site whose provider behaves unexpectedly.
#include "database/dbrowset.h"

#include "foundation/guid.h"
#include "foundation/strbuf.h"

// OLE DB's base properties, from DBPROP_ABORTPRESERVE to DBPROP_USERNAME.
#define DODB_PROPERTY_NAMES(X) \
    X(DBPROP_ABORTPRESERVE) X(DBPROP_ACTIVESESSIONS) X(DBPROP_APPENDONLY) X(DBPROP_ASYNCTXNABORT) \
    X(DBPROP_ASYNCTXNCOMMIT) X(DBPROP_AUTH_CACHE_AUTHINFO) X(DBPROP_AUTH_ENCRYPT_PASSWORD) \
    X(DBPROP_AUTH_INTEGRATED) X(DBPROP_AUTH_MASK_PASSWORD) X(DBPROP_AUTH_PASSWORD) \
    X(DBPROP_AUTH_PERSIST_ENCRYPTED) X(DBPROP_AUTH_PERSIST_SENSITIVE_AUTHINFO) X(DBPROP_AUTH_USERID) \
    X(DBPROP_BLOCKINGSTORAGEOBJECTS) X(DBPROP_BOOKMARKS) X(DBPROP_BOOKMARKSKIPPED) X(DBPROP_BOOKMARKTYPE) \
    X(DBPROP_BYREFACCESSORS) X(DBPROP_CACHEDEFERRED) X(DBPROP_CANFETCHBACKWARDS) X(DBPROP_CANHOLDROWS) \
    X(DBPROP_CANSCROLLBACKWARDS) X(DBPROP_CATALOGLOCATION) X(DBPROP_CATALOGTERM) X(DBPROP_CATALOGUSAGE) \
    X(DBPROP_CHANGEINSERTEDROWS) X(DBPROP_COL_AUTOINCREMENT) X(DBPROP_COL_DEFAULT) X(DBPROP_COL_DESCRIPTION) \
    X(DBPROP_COL_FIXEDLENGTH) X(DBPROP_COL_NULLABLE) X(DBPROP_COL_PRIMARYKEY) X(DBPROP_COL_UNIQUE) \
    X(DBPROP_COLUMNDEFINITION) X(DBPROP_COLUMNRESTRICT) X(DBPROP_COMMANDTIMEOUT) X(DBPROP_COMMITPRESERVE) \
    X(DBPROP_CONCATNULLBEHAVIOR) X(DBPROP_CURRENTCATALOG) X(DBPROP_DATASOURCENAME) X(DBPROP_DATASOURCEREADONLY) \
    X(DBPROP_DBMSNAME) X(DBPROP_DBMSVER) X(DBPROP_DEFERRED) X(DBPROP_DELAYSTORAGEOBJECTS) \
    X(DBPROP_DSOTHREADMODEL) X(DBPROP_GROUPBY) X(DBPROP_HETEROGENEOUSTABLES) X(DBPROP_IAccessor) \
    X(DBPROP_IColumnsInfo) X(DBPROP_IColumnsRowset) X(DBPROP_IConnectionPointContainer) X(DBPROP_IConvertType) \
    X(DBPROP_IRowset) X(DBPROP_IRowsetChange) X(DBPROP_IRowsetIdentity) X(DBPROP_IRowsetIndex) \
    X(DBPROP_IRowsetInfo) X(DBPROP_IRowsetLocate) X(DBPROP_IRowsetResynch) X(DBPROP_IRowsetScroll) \
    X(DBPROP_IRowsetUpdate) X(DBPROP_ISupportErrorInfo) X(DBPROP_ILockBytes) X(DBPROP_ISequentialStream) \
    X(DBPROP_IStorage) X(DBPROP_IStream) X(DBPROP_IDENTIFIERCASE) X(DBPROP_IMMOBILEROWS) \
    X(DBPROP_INDEX_AUTOUPDATE) X(DBPROP_INDEX_CLUSTERED) X(DBPROP_INDEX_FILLFACTOR) X(DBPROP_INDEX_INITIALSIZE) \
    X(DBPROP_INDEX_NULLCOLLATION) X(DBPROP_INDEX_NULLS) X(DBPROP_INDEX_PRIMARYKEY) X(DBPROP_INDEX_SORTBOOKMARKS) \
    X(DBPROP_INDEX_TEMPINDEX) X(DBPROP_INDEX_TYPE) X(DBPROP_INDEX_UNIQUE) X(DBPROP_INIT_DATASOURCE) \
    X(DBPROP_INIT_HWND) X(DBPROP_INIT_IMPERSONATION_LEVEL) X(DBPROP_INIT_LCID) X(DBPROP_INIT_LOCATION) \
    X(DBPROP_INIT_MODE) X(DBPROP_INIT_PROMPT) X(DBPROP_INIT_PROTECTION_LEVEL) X(DBPROP_INIT_PROVIDERSTRING) \
    X(DBPROP_INIT_TIMEOUT) X(DBPROP_LITERALBOOKMARKS) X(DBPROP_LITERALIDENTITY) X(DBPROP_MAXINDEXSIZE) \
    X(DBPROP_MAXOPENROWS) X(DBPROP_MAXPENDINGROWS) X(DBPROP_MAXROWS) X(DBPROP_MAXROWSIZE) \
    X(DBPROP_MAXROWSIZEINCLUDESBLOB) X(DBPROP_MAXTABLESINSELECT) X(DBPROP_MAYWRITECOLUMN) X(DBPROP_MEMORYUSAGE) \
    X(DBPROP_MULTIPLEPARAMSETS) X(DBPROP_MULTIPLERESULTS) X(DBPROP_MULTIPLESTORAGEOBJECTS) \
    X(DBPROP_MULTITABLEUPDATE) X(DBPROP_NOTIFICATIONGRANULARITY) X(DBPROP_NOTIFICATIONPHASES) \
    X(DBPROP_NOTIFYCOLUMNSET) X(DBPROP_NOTIFYROWDELETE) X(DBPROP_NOTIFYROWFIRSTCHANGE) X(DBPROP_NOTIFYROWINSERT) \
    X(DBPROP_NOTIFYROWRESYNCH) X(DBPROP_NOTIFYROWSETCHANGED) X(DBPROP_NOTIFYROWSETRELEASE) \
    X(DBPROP_NOTIFYROWSETFETCHPOSITIONCHANGE) X(DBPROP_NOTIFYROWUNDOCHANGE) X(DBPROP_NOTIFYROWUNDODELETE) \
    X(DBPROP_NOTIFYROWUNDOINSERT) X(DBPROP_NOTIFYROWUPDATE) X(DBPROP_NULLCOLLATION) X(DBPROP_OLEOBJECT) \
    X(DBPROP_ORDERBYCOLUMNSINSELECT) X(DBPROP_ORDEREDBOOKMARKS) X(DBPROP_OTHERINSERT) \
    X(DBPROP_OTHERUPDATEDELETE) X(DBPROP_OUTPUTPARAMETERAVAILABILITY) X(DBPROP_OWNINSERT) \
    X(DBPROP_OWNUPDATEDELETE) X(DBPROP_PERSISTENTIDTYPE) X(DBPROP_PREPAREABORTBEHAVIOR) \
    X(DBPROP_PREPARECOMMITBEHAVIOR) X(DBPROP_PROCEDURETERM) X(DBPROP_PROVIDERNAME) X(DBPROP_PROVIDEROLEDBVER) \
    X(DBPROP_PROVIDERVER) X(DBPROP_QUICKRESTART) X(DBPROP_QUOTEDIDENTIFIERCASE) X(DBPROP_REENTRANTEVENTS) \
    X(DBPROP_REMOVEDELETED) X(DBPROP_REPORTMULTIPLECHANGES) X(DBPROP_RETURNPENDINGINSERTS) X(DBPROP_ROWRESTRICT) \
    X(DBPROP_ROWSETCONVERSIONSONCOMMAND) X(DBPROP_ROWTHREADMODEL) X(DBPROP_SCHEMATERM) X(DBPROP_SCHEMAUSAGE) \
    X(DBPROP_SERVERCURSOR) X(DBPROP_SESS_AUTOCOMMITISOLEVELS) X(DBPROP_SQLSUPPORT) X(DBPROP_STRONGIDENTITY) \
    X(DBPROP_STRUCTUREDSTORAGE) X(DBPROP_SUBQUERIES) X(DBPROP_SUPPORTEDTXNDDL) X(DBPROP_SUPPORTEDTXNISOLEVELS) \
    X(DBPROP_SUPPORTEDTXNISORETAIN) X(DBPROP_TABLETERM) X(DBPROP_TBL_TEMPTABLE) X(DBPROP_TRANSACTEDOBJECT) \
    X(DBPROP_UPDATABILITY) X(DBPROP_USERNAME)

namespace {

struct PropertyName
{
    DBPROPID id;
    const wchar_t* name;
};

#define DODB_PROPERTY_ROW(name) {name, L## #name},
const PropertyName kPropertyNames[] = {DODB_PROPERTY_NAMES(DODB_PROPERTY_ROW)};
#undef DODB_PROPERTY_ROW

struct PropertySetName
{
    const GUID* guid;
    const wchar_t* name;
};

const PropertySetName kSetNames[] = {
    {&DBPROPSET_COLUMN, L"DBPROPSET_COLUMN"},
    {&DBPROPSET_DATASOURCE, L"DBPROPSET_DATASOURCE"},
    {&DBPROPSET_DATASOURCEINFO, L"DBPROPSET_DATASOURCEINFO"},
    {&DBPROPSET_DBINIT, L"DBPROPSET_DBINIT"},
    {&DBPROPSET_INDEX, L"DBPROPSET_INDEX"},
    {&DBPROPSET_ROWSET, L"DBPROPSET_ROWSET"},
    {&DBPROPSET_TABLE, L"DBPROPSET_TABLE"},
    {&DBPROPSET_SESSION, L"DBPROPSET_SESSION"},
    {&DBPROPSET_PROPERTIESINERROR, L"DBPROPSET_PROPERTIESINERROR"},
    {&DBPROPSET_VIEW, L"DBPROPSET_VIEW"},
};

const wchar_t* SetName(const GUID& guid)
{
    for (const PropertySetName& entry : kSetNames)
        if (GuidEquals(entry.guid, &guid))
            return entry.name;
    return L"UNKNOWN";
}

const wchar_t* PropertyNameOf(DBPROPID id)
{
    for (const PropertyName& entry : kPropertyNames)
        if (entry.id == id)
            return entry.name;
    return L"UNKNOWN";
}

void AppendValue(DStrBuf& line, const VARIANT& v)
{
    switch (V_VT(&v)) {
    case VT_EMPTY: line.Append(L"(VT_EMPTY)"); break;
    case VT_NULL: line.Append(L"(VT_NULL)"); break;
    case VT_I1: line.AppendFormat(L"((VT_I1) %i)", (int)V_I1(&v)); break;
    case VT_I2: line.AppendFormat(L"((VT_I2) %i)", (int)V_I2(&v)); break;
    case VT_I4: line.AppendFormat(L"((VT_I4) %i)", (int)V_I4(&v)); break;
    case VT_INT: line.AppendFormat(L"((VT_INT) %i)", V_INT(&v)); break;
    case VT_UI1: line.AppendFormat(L"((VT_UI1) %u)", (unsigned)V_UI1(&v)); break;
    case VT_UI2: line.AppendFormat(L"((VT_UI2) %u)", (unsigned)V_UI2(&v)); break;
    case VT_UI4: line.AppendFormat(L"(VT_UI4() %u)", (unsigned)V_UI4(&v)); break;
    case VT_UINT: line.AppendFormat(L"((VT_UINT) %u)", V_UINT(&v)); break;
    case VT_R4: line.AppendFormat(L"((VT_R4) %f)", (double)V_R4(&v)); break;
    case VT_R8: line.AppendFormat(L"((VT_R8) %g)", V_R8(&v)); break;
    case VT_BOOL: line.AppendFormat(L"((VT_BOOL) %s)", V_BOOL(&v) ? L"TRUE" : L"FALSE"); break;
    case VT_BSTR: line.AppendFormat(L"((VT_BSTR) %s)", V_BSTR(&v) != nullptr ? V_BSTR(&v) : L""); break;
    default: line.AppendFormat(L"((%s=%u))", L"UNK", (unsigned)V_VT(&v)); break;
    }
}

bool WriteText(HANDLE file, const DStrBuf& text)
{
    DWORD written = 0;
    const DWORD bytes = (DWORD)text.Length() * sizeof(wchar_t);
    return WriteFile(file, text.GetString(), bytes, &written, nullptr) && written == bytes;
}

}  // namespace

HRESULT DumpPropertySets(const wchar_t* fileName, ULONG count, const DBPROPSET* sets)
{
    HANDLE file = CreateFileW(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return HRESULT_FROM_WIN32(GetLastError());
    bool ok = true;
    const wchar_t bom = 0xFEFF;
    DWORD written = 0;
    ok = WriteFile(file, &bom, sizeof(bom), &written, nullptr) != FALSE;
    wchar_t array[1024];
    DStrBuf line(array, 1024);
    for (ULONG i = 0; ok && i < count; ++i) {
        const DBPROPSET& set = sets[i];
        line.Clear();
        line.AppendFormat(L"\r\n%u. PropSet=%s\r\nGUID={}, nPropertiesCount=%u\r\n\r\n", i + 1,
                          SetName(set.guidPropertySet), (unsigned)set.cProperties);
        ok = WriteText(file, line);
        for (ULONG j = 0; ok && j < set.cProperties; ++j) {
            const DBPROP& prop = set.rgProperties[j];
            line.Clear();
            line.AppendFormat(L"%u. PropID=0%.4x (%s)=", j + 1, (unsigned)prop.dwPropertyID,
                              PropertyNameOf(prop.dwPropertyID));
            AppendValue(line, prop.vValue);
            line.Append(L"\r\n");
            ok = WriteText(file, line);
        }
    }
    DWORD error = ok ? 0 : GetLastError();
    CloseHandle(file);
    return ok ? S_OK : HRESULT_FROM_WIN32(error);
}

void DODBFreePropertySets(ULONG count, DBPROPSET* sets)
{
    if (sets == nullptr)
        return;
    for (ULONG i = 0; i < count; ++i) {
        for (ULONG j = 0; j < sets[i].cProperties; ++j)
            VariantClear(&sets[i].rgProperties[j].vValue);
        CoTaskMemFree(sets[i].rgProperties);
    }
    CoTaskMemFree(sets);
}
