// The cost of the provider over SQLite for a statement executed again and
// again, on the same database in the same run, each side's best of fifteen
// rounds taken in turn (after an untimed round): enough for each side to find
// the shared machine quiet, where five left the figure to whichever side the
// machine's load spared:
// - the image settings UPDATE of the program, prepared once and executed
//   100,000 times in one transaction (parameters through an accessor made once
//   on the command, as the database layer binds them);
// - the image row SELECT by key, prepared once and executed 100,000 times by
//   the database layer's query object (DODBTableObj: Execute, then Fetch into
//   the caller's variables), as the program's readers run it (LayerSelectLoop).
// The reference is the same loop through the SQLite C API on the text the
// provider runs, on a connection opened as the provider opens its own (no
// SQLite mutex: the provider serializes the calls itself): prepare once; bind,
// step, read every column, reset.
// Each ratio is printed as a figure of bench/benchutil.h; the exit status is
// 1 when either is more than 1.5 times slower through OLE DB. With --profile it also prints where the time of the SELECT goes,
// stage by stage of the provider calls (OleDbSelectLoop).
#define DBINITCONSTANTS
#include <windows.h>
#include <ole2.h>
#include <oledb.h>
#include <oledberr.h>
#include <msdasc.h>

#include "bench/benchutil.h"
#include "database/dberrors.h"
#include "database/dbsession.h"
#include "database/dbsource.h"
#include "database/dbtableobj.h"
#include "sqlite3.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

const int kExecutions = 100000;
const int kRows = 1000;
const int kRounds = 15;
const double kLimit = 1.5;
const wchar_t kUpdate[] = L"UPDATE Snimok SET Bri=?, Contrast=?, Negativ=?, xWinCenter=?, yWinCenter=?, Scale=?, "
                          L"Orientation=? WHERE Snimok=?;";
// What the provider runs for it.
const wchar_t kUpdateSqlite[] = L"UPDATE \"Snimok\" SET \"Bri\"=?, \"Contrast\"=?, \"Negativ\"=?, \"xWinCenter\"=?, "
                                L"\"yWinCenter\"=?, \"Scale\"=?, \"Orientation\"=? WHERE \"Snimok\"=?";
const wchar_t kSelect[] = L"SELECT Patient, Bri, Contrast, Negativ, xWinCenter, yWinCenter, Scale, Orientation FROM "
                          L"Snimok WHERE Snimok=?;";
const wchar_t kSelectSqlite[] = L"SELECT \"Patient\", \"Bri\", \"Contrast\", \"Negativ\", \"xWinCenter\", "
                                L"\"yWinCenter\", \"Scale\", \"Orientation\" FROM \"Snimok\" WHERE \"Snimok\"=?";

// A real value as the loops add it up: its bits, so that no float-to-integer
// conversion (a change of the x87 control word each time, whose cost varies
// from build to build) weighs on either side of a figure.
inline int Bits(float value)
{
    int bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Check(HRESULT hr, const char* what)
{
    if (FAILED(hr)) {
        fprintf(stderr, "dialect_bench: %s failed (0x%08lx)\n", what, static_cast<unsigned long>(hr));
        ExitProcess(2);
    }
}

std::string Utf8(const std::wstring& text)
{
    char buf[MAX_PATH * 3];
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buf, sizeof(buf), nullptr, nullptr);
    return buf;
}

DBBINDING Binding(DBORDINAL ordinal, DBTYPE type, DBLENGTH maxLen, DBBYTEOFFSET& offset)
{
    DBBINDING b = {};
    b.iOrdinal = ordinal;
    b.wType = type;
    b.cbMaxLen = maxLen;
    b.dwPart = DBPART_VALUE | DBPART_STATUS;
    b.dwMemOwner = DBMEMOWNER_CLIENTOWNED;
    b.eParamIO = DBPARAMIO_INPUT;
    offset = (offset + 7) & ~DBBYTEOFFSET(7);
    b.obStatus = offset;
    b.obLength = offset + 4;
    b.obValue = offset + 8;
    offset += 8 + ((maxLen + 7) & ~DBLENGTH(7));
    return b;
}

template <class T>
void Put(BYTE* data, const DBBINDING& b, const T& value)
{
    memcpy(data + b.obValue, &value, sizeof(T));
}

struct Provider {
    IDataInitialize* service = nullptr;
    IDBInitialize* source = nullptr;
    IDBCreateCommand* session = nullptr;
    ITransactionLocal* tx = nullptr;

    // `create`: a new database file, made by the provider.
    explicit Provider(const std::wstring& path, bool create = false)
    {
        Check(CoCreateInstance(CLSID_MSDAINITIALIZE, nullptr, CLSCTX_INPROC_SERVER, IID_IDataInitialize,
                               reinterpret_cast<void**>(&service)),
              "CoCreateInstance(CLSID_MSDAINITIALIZE)");
        std::wstring init = L"Provider=ZelkSQLite.1;Data Source=" + path + L";Initial Catalog=Bench";
        Check(service->GetDataSource(nullptr, CLSCTX_INPROC_SERVER, &init[0], IID_IDBInitialize,
                                     reinterpret_cast<IUnknown**>(&source)),
              "GetDataSource");
        if (create) {
            IDBDataSourceAdmin* admin = nullptr;
            Check(source->QueryInterface(IID_IDBDataSourceAdmin, reinterpret_cast<void**>(&admin)),
                  "QueryInterface(IDBDataSourceAdmin)");
            Check(admin->CreateDataSource(0, nullptr, nullptr, IID_NULL, nullptr), "CreateDataSource");
            admin->Release();
        } else {
            Check(source->Initialize(), "Initialize");
        }
        IDBCreateSession* factory = nullptr;
        source->QueryInterface(IID_IDBCreateSession, reinterpret_cast<void**>(&factory));
        Check(factory->CreateSession(nullptr, IID_IDBCreateCommand, reinterpret_cast<IUnknown**>(&session)),
              "CreateSession");
        factory->Release();
        session->QueryInterface(IID_ITransactionLocal, reinterpret_cast<void**>(&tx));
    }
    ~Provider()
    {
        tx->Release();
        session->Release();
        source->Release();
        service->Release();
    }
    void Run(const wchar_t* sql)
    {
        ICommandText* command = nullptr;
        Check(session->CreateCommand(nullptr, IID_ICommandText, reinterpret_cast<IUnknown**>(&command)),
              "CreateCommand");
        command->SetCommandText(DBGUID_DEFAULT, sql);
        Check(command->Execute(nullptr, IID_NULL, nullptr, nullptr, nullptr), "Execute");
        command->Release();
    }
};

// The database, made through the provider as the program's schema is.
void MakeDatabase(const std::wstring& path)
{
    DeleteFileW(path.c_str());
    DeleteFileW((path + L"-wal").c_str());
    DeleteFileW((path + L"-shm").c_str());
    Provider p(path, true);
    p.Run(L"CREATE TABLE Snimok (Snimok int IDENTITY (1, 1) NOT NULL CONSTRAINT PK_Snimok PRIMARY KEY CLUSTERED, "
          L"Patient int NOT NULL, Bri int NULL, Contrast int NULL, Negativ int NULL, xWinCenter int NULL, "
          L"yWinCenter int NULL, Scale real NULL, Orientation int NULL)");
    Check(p.tx->StartTransaction(ISOLATIONLEVEL_READUNCOMMITTED, 0, nullptr, nullptr), "StartTransaction");
    for (int i = 0; i < kRows; ++i)
        p.Run(L"INSERT INTO Snimok (Patient, Bri, Contrast) VALUES (1, 0, 0)");
    Check(p.tx->Commit(FALSE, XACTTC_SYNC, 0), "Commit");
}

// `mutex`: SQLite's own lock around every call, as a connection opened with
// the default flags has it (for the profile only; the provider opens its
// connections without it).
double SqliteLoop(const std::wstring& path, bool update, bool mutex = false)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(Utf8(path).c_str(), &db, SQLITE_OPEN_READWRITE | (mutex ? 0 : SQLITE_OPEN_NOMUTEX), nullptr);
    sqlite3_exec(db, "PRAGMA foreign_keys=ON", nullptr, nullptr, nullptr);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare16_v3(db, update ? kUpdateSqlite : kSelectSqlite, -1, SQLITE_PREPARE_PERSISTENT, &stmt,
                             nullptr) != SQLITE_OK) {
        fprintf(stderr, "dialect_bench: %s\n", sqlite3_errmsg(db));
        ExitProcess(2);
    }
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        fprintf(stderr, "dialect_bench: BEGIN: %s\n", sqlite3_errmsg(db));
        ExitProcess(2);
    }
    volatile int sum = 0;
    double start = Now();
    for (int i = 0; i < kExecutions; ++i) {
        if (update) {
            for (int k = 1; k <= 5; ++k)
                sqlite3_bind_int(stmt, k, i + k);
            sqlite3_bind_double(stmt, 6, static_cast<float>(1.0 + i % 7));
            sqlite3_bind_int(stmt, 7, (i % 4) * 90);
        }
        sqlite3_bind_int(stmt, update ? 8 : 1, 1 + i % kRows);
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            // Every column, as the rowset reads them.
            int values = 0;
            for (int c = 0; c < 8; ++c)
                values += c == 6 ? Bits(static_cast<float>(sqlite3_column_double(stmt, c))) : sqlite3_column_int(stmt, c);
            sum = sum + values;
        }
        if (rc != SQLITE_DONE) {
            fprintf(stderr, "dialect_bench: sqlite3_step: %s\n", sqlite3_errmsg(db));
            ExitProcess(2);
        }
        if (update)
            sum = sum + sqlite3_changes(db);
        sqlite3_reset(stmt);
    }
    double t = Now() - start;
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return t;
}

// The SELECT loop with the SQLite calls the provider makes for one execution
// (its own work left out): what part of the provider's time SQLite takes.
double SqliteCallsOfTheProvider(const std::wstring& path)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(Utf8(path).c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare16_v3(db, kSelectSqlite, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    volatile long long sum = 0;
    double start = Now();
    for (int i = 0; i < kExecutions; ++i) {
        sqlite3_reset(stmt);
        sqlite3_bind_int64(stmt, 1, 1 + i % kRows);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            long long values = 0;
            for (int c = 0; c < 8; ++c) {
                int type = sqlite3_column_type(stmt, c);
                if (type == SQLITE_INTEGER)
                    values += sqlite3_column_int64(stmt, c);
                else if (type == SQLITE_FLOAT)
                    values += Bits(static_cast<float>(sqlite3_column_double(stmt, c)));
            }
            sum = sum + values;
        }
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
    }
    double t = Now() - start;
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return t;
}

// A prepared command with its parameter accessor, made once, as the database
// layer's table object keeps them (DODBTableObj: Prepare, then the parameter
// block's accessor on the command at the first Execute).
struct PreparedCommand {
    ICommandText* command = nullptr;
    IAccessor* accessors = nullptr;
    HACCESSOR accessor = 0;
    DBBINDING params[8];
    BYTE data[256] = {};

    PreparedCommand(Provider& p, bool update)
    {
        Check(p.session->CreateCommand(nullptr, IID_ICommandText, reinterpret_cast<IUnknown**>(&command)),
              "CreateCommand");
        command->SetCommandText(DBGUID_DEFAULT, update ? kUpdate : kSelect);
        ICommandPrepare* prepare = nullptr;
        command->QueryInterface(IID_ICommandPrepare, reinterpret_cast<void**>(&prepare));
        Check(prepare->Prepare(0), "Prepare");
        prepare->Release();
        DBBYTEOFFSET offset = 0;
        for (int k = 0; k < 8; ++k)
            params[k] = Binding(k + 1, k == 5 ? DBTYPE_R4 : DBTYPE_I4, 4, offset);
        command->QueryInterface(IID_IAccessor, reinterpret_cast<void**>(&accessors));
        Check(accessors->CreateAccessor(DBACCESSOR_PARAMETERDATA, update ? 8 : 1, params, 0, &accessor, nullptr),
              "CreateAccessor");
    }
    ~PreparedCommand()
    {
        accessors->ReleaseAccessor(accessor, nullptr);
        accessors->Release();
        command->Release();
    }
};

double OleDbUpdateLoop(const std::wstring& path)
{
    Provider p(path);
    PreparedCommand c(p, true);
    DBPARAMS dbParams = {c.data, 1, c.accessor};
    Check(p.tx->StartTransaction(ISOLATIONLEVEL_READUNCOMMITTED, 0, nullptr, nullptr), "StartTransaction");
    volatile int sum = 0;
    double start = Now();
    for (int i = 0; i < kExecutions; ++i) {
        for (int k = 0; k < 5; ++k)
            Put(c.data, c.params[k], i + k + 1);
        Put(c.data, c.params[5], static_cast<float>(1.0 + i % 7));
        Put(c.data, c.params[6], (i % 4) * 90);
        Put(c.data, c.params[7], 1 + i % kRows);
        DBROWCOUNT affected = 0;
        Check(c.command->Execute(nullptr, IID_NULL, &dbParams, &affected, nullptr), "Execute UPDATE");
        sum = sum + static_cast<int>(affected);
    }
    double t = Now() - start;
    Check(p.tx->Commit(FALSE, XACTTC_SYNC, 0), "Commit");
    return t;
}

// What the database layer holds of one execution's result (DODBRowset and its
// row block): the interfaces it asks the rowset for, the current row, and the
// row accessor made on the rowset from its column description.
struct LayerRowset {
    IRowset* rowset = nullptr;
    IAccessor* accessor = nullptr;
    IColumnsInfo* columnsInfo = nullptr;
    IRowsetInfo* rowsetInfo = nullptr;
    ISupportErrorInfo* supportErrorInfo = nullptr;
    HROW current = 0;
    IAccessor* blockOwner = nullptr;  // the row block's reference
    HACCESSOR block = 0;

    void ReleaseInterfaces()
    {
        if (current)
            rowset->ReleaseRows(1, &current, nullptr, nullptr, nullptr);
        current = 0;
        rowset->Release();
        accessor->Release();
        columnsInfo->Release();
        rowsetInfo->Release();
        if (supportErrorInfo)
            supportErrorInfo->Release();
    }
    void ReleaseBlock()
    {
        if (blockOwner) {
            blockOwner->ReleaseAccessor(block, nullptr);
            blockOwner->Release();
            blockOwner = nullptr;
        }
    }
};

// How far each execution of the SELECT goes: the full sequence of the layer,
// or a shorter one for the breakdown of --profile.
enum class Depth { Execute, Interfaces, ColumnInfo, RowAccessor, Full };

// The image row SELECT, re-executed as the layer re-executes a table object
// (DODBTableObj::Execute then Fetch): the command runs while the previous
// rowset still lives; the new rowset is asked for its interfaces, the old one
// is let go (its row first), a row block is made from the new rowset's column
// description (an accessor on the rowset, one binding per column), the old
// block goes, and the first row is fetched into it.
double OleDbSelectLoop(const std::wstring& path, Depth depth)
{
    Provider p(path);
    PreparedCommand c(p, false);
    DBPARAMS dbParams = {c.data, 1, c.accessor};
    BYTE row[256] = {};
    DBBINDING columns[8];
    Check(p.tx->StartTransaction(ISOLATIONLEVEL_READUNCOMMITTED, 0, nullptr, nullptr), "StartTransaction");
    LayerRowset held;
    volatile int sum = 0;
    double start = Now();
    for (int i = 0; i < kExecutions; ++i) {
        Put(c.data, c.params[0], 1 + i % kRows);
        IRowset* raw = nullptr;
        DBROWCOUNT affected = 0;
        Check(c.command->Execute(nullptr, IID_IRowset, &dbParams, &affected, reinterpret_cast<IUnknown**>(&raw)),
              "Execute SELECT");
        if (depth == Depth::Execute) {
            raw->Release();
            continue;
        }
        LayerRowset made;
        made.rowset = raw;
        raw->QueryInterface(IID_IAccessor, reinterpret_cast<void**>(&made.accessor));
        raw->QueryInterface(IID_IColumnsInfo, reinterpret_cast<void**>(&made.columnsInfo));
        raw->QueryInterface(IID_IRowsetInfo, reinterpret_cast<void**>(&made.rowsetInfo));
        raw->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&made.supportErrorInfo));
        if (held.rowset)
            held.ReleaseInterfaces();
        held.rowset = made.rowset;
        held.accessor = made.accessor;
        held.columnsInfo = made.columnsInfo;
        held.rowsetInfo = made.rowsetInfo;
        held.supportErrorInfo = made.supportErrorInfo;
        if (depth == Depth::Interfaces)
            continue;
        DBORDINAL n = 0;
        DBCOLUMNINFO* info = nullptr;
        OLECHAR* strings = nullptr;
        Check(held.columnsInfo->GetColumnInfo(&n, &info, &strings), "GetColumnInfo");
        if (depth != Depth::ColumnInfo) {
            DBBYTEOFFSET offset = 0;
            const DBORDINAL first = info[0].iOrdinal == 0 ? 1 : 0;
            DBCOUNTITEM bound = 0;
            for (DBORDINAL k = first; k < n && bound < 8; ++k) {
                DBTYPE type = info[k].wType == DBTYPE_R4 ? DBTYPE_R4 : DBTYPE_I4;
                columns[bound] = Binding(info[k].iOrdinal, type, 4, offset);
                columns[bound].dwPart = DBPART_VALUE | DBPART_STATUS;
                columns[bound].eParamIO = DBPARAMIO_INPUT | DBPARAMIO_OUTPUT;
                ++bound;
            }
            HACCESSOR block = 0;
            Check(held.accessor->CreateAccessor(DBACCESSOR_ROWDATA, bound, columns, sizeof(DBBINDING), &block,
                                                nullptr),
                  "CreateAccessor");
            held.accessor->AddRef();
            held.ReleaseBlock();
            held.blockOwner = held.accessor;
            held.block = block;
        }
        CoTaskMemFree(info);
        CoTaskMemFree(strings);
        if (depth != Depth::Full)
            continue;
        HROW* rows = &held.current;
        DBCOUNTITEM obtained = 0;
        Check(held.rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rows), "GetNextRows");
        if (obtained != 1) {
            fprintf(stderr, "dialect_bench: the SELECT found no row\n");
            ExitProcess(2);
        }
        Check(held.rowset->GetData(held.current, held.block, row), "GetData");
        int values = 0;
        for (int k = 0; k < 8; ++k) {
            DBSTATUS status;
            memcpy(&status, row + columns[k].obStatus, sizeof(status));
            if (status != DBSTATUS_S_OK && status != DBSTATUS_S_ISNULL) {
                fprintf(stderr, "dialect_bench: column %d came back with status %lu\n", k + 1,
                        static_cast<unsigned long>(status));
                ExitProcess(2);
            }
            if (k == 6) {
                float f;
                memcpy(&f, row + columns[k].obValue, 4);
                values += Bits(f);
            } else {
                int v;
                memcpy(&v, row + columns[k].obValue, 4);
                values += v;
            }
        }
        sum = sum + values;
    }
    double t = Now() - start;
    if (held.rowset) {
        held.ReleaseInterfaces();
        held.ReleaseBlock();
    }
    Check(p.tx->Commit(FALSE, XACTTC_SYNC, 0), "Commit");
    return t;
}

// The image row SELECT run by the database layer's query object, as the
// program's readers run it: prepared once, its key bound by reference, its
// eight columns bound to the caller's variables, then Execute and Fetch
// 100,000 times with the key changed in between.
double LayerSelectLoop(const std::wstring& path)
{
    DODBPtr<DODBSource> source = DODBSource::Create();
    std::wstring init = L"Provider=ZelkSQLite.1;Data Source=" + path + L";Initial Catalog=Bench";
    Check(source->OpenDataSource(init.c_str()), "DODBSource::OpenDataSource");
    DODBPtr<DODBSession> session;
    Check(source->CreateSession(session), "DODBSource::CreateSession");
    Check(session->BeginTx(), "DODBSession::BeginTx");
    double t = 0;
    try {
        DODBTableObj query;
        query.Open(session);
        query.Prepare(kSelect);
        int key = 1;
        int values[7] = {};
        float scale = 0;
        query.BindIn(1, DBTYPE_I4, &key, 4, DBSTATUS_S_OK);
        for (ULONG column = 1; column <= 8; ++column) {
            if (column == 7)
                query.BindOut(column, DBTYPE_R4, &scale, 4, DBSTATUS_S_OK);
            else
                query.BindOut(column, DBTYPE_I4, &values[column < 7 ? column - 1 : 6], 4, DBSTATUS_S_OK);
        }
        volatile int sum = 0;
        double start = Now();
        for (int i = 0; i < kExecutions; ++i) {
            key = 1 + i % kRows;
            query.Execute(nullptr);
            if (!query.Fetch()) {
                fprintf(stderr, "dialect_bench: the SELECT found no row\n");
                ExitProcess(2);
            }
            int row = Bits(scale);
            for (int v : values)
                row += v;
            sum = sum + row;
        }
        t = Now() - start;
    } catch (const DODBErrors& e) {
        wchar_t text[1024] = {};
        e.GetText(text, 1000);
        fprintf(stderr, "dialect_bench: the query object failed: %ls\n", text);
        ExitProcess(2);
    }
    Check(session->CommitSync(), "DODBSession::CommitSync");
    return t;
}

// Each call the layer makes on a rowset, timed alone on one rowset of the SELECT.
void ProfileRowsetCalls(const std::wstring& path)
{
    Provider p(path);
    PreparedCommand c(p, false);
    DBPARAMS dbParams = {c.data, 1, c.accessor};
    Put(c.data, c.params[0], 1);
    IRowset* rowset = nullptr;
    Check(c.command->Execute(nullptr, IID_IRowset, &dbParams, nullptr, reinterpret_cast<IUnknown**>(&rowset)),
          "Execute SELECT");
    IAccessor* accessor = nullptr;
    rowset->QueryInterface(IID_IAccessor, reinterpret_cast<void**>(&accessor));
    IColumnsInfo* columnsInfo = nullptr;
    rowset->QueryInterface(IID_IColumnsInfo, reinterpret_cast<void**>(&columnsInfo));
    DBBINDING columns[8];
    DBBYTEOFFSET offset = 0;
    for (int k = 0; k < 8; ++k) {
        columns[k] = Binding(k + 1, k == 6 ? DBTYPE_R4 : DBTYPE_I4, 4, offset);
        columns[k].dwPart = DBPART_VALUE | DBPART_STATUS;
    }
    HACCESSOR h = 0;
    Check(accessor->CreateAccessor(DBACCESSOR_ROWDATA, 8, columns, sizeof(DBBINDING), &h, nullptr), "CreateAccessor");
    BYTE row[256];

    double t = Now();
    for (int i = 0; i < kExecutions; ++i) {
        IUnknown* u = nullptr;
        rowset->QueryInterface(IID_IRowsetInfo, reinterpret_cast<void**>(&u));
        u->Release();
    }
    printf("  QueryInterface + Release: %.1f ms\n", (Now() - t) * 1000);
    t = Now();
    for (int i = 0; i < kExecutions; ++i) {
        DBORDINAL n = 0;
        DBCOLUMNINFO* info = nullptr;
        OLECHAR* strings = nullptr;
        columnsInfo->GetColumnInfo(&n, &info, &strings);
        CoTaskMemFree(info);
        CoTaskMemFree(strings);
    }
    printf("  GetColumnInfo + CoTaskMemFree: %.1f ms\n", (Now() - t) * 1000);
    t = Now();
    for (int i = 0; i < kExecutions; ++i) {
        HACCESSOR other = 0;
        accessor->CreateAccessor(DBACCESSOR_ROWDATA, 8, columns, sizeof(DBBINDING), &other, nullptr);
        accessor->ReleaseAccessor(other, nullptr);
    }
    printf("  CreateAccessor + ReleaseAccessor: %.1f ms\n", (Now() - t) * 1000);
    t = Now();
    for (int i = 0; i < kExecutions; ++i) {
        HROW r = 0;
        HROW* rows = &r;
        DBCOUNTITEM obtained = 0;
        rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rows);
        rowset->ReleaseRows(1, &r, nullptr, nullptr, nullptr);
        rowset->RestartPosition(DB_NULL_HCHAPTER);
    }
    printf("  GetNextRows + ReleaseRows + RestartPosition: %.1f ms\n", (Now() - t) * 1000);
    HROW r = 0;
    HROW* rows = &r;
    DBCOUNTITEM obtained = 0;
    rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rows);
    t = Now();
    for (int i = 0; i < kExecutions; ++i)
        rowset->GetData(r, h, row);
    printf("  GetData of 8 columns: %.1f ms\n", (Now() - t) * 1000);
    rowset->ReleaseRows(1, &r, nullptr, nullptr, nullptr);
    accessor->ReleaseAccessor(h, nullptr);
    accessor->Release();
    columnsInfo->Release();
    rowset->Release();
}

// Platform calls that a provider call may make, 100,000 times each.
void ProfilePlatform()
{
    double t = Now();
    for (int i = 0; i < kExecutions; ++i)
        SetErrorInfo(0, nullptr);
    printf("  SetErrorInfo(0, null): %.1f ms\n", (Now() - t) * 1000);
    t = Now();
    for (int i = 0; i < kExecutions; ++i) {
        IErrorInfo* info = nullptr;
        GetErrorInfo(0, &info);
    }
    printf("  GetErrorInfo: %.1f ms\n", (Now() - t) * 1000);
    t = Now();
    for (int i = 0; i < kExecutions; ++i)
        CoTaskMemFree(CoTaskMemAlloc(200));
    printf("  CoTaskMemAlloc + CoTaskMemFree: %.1f ms\n", (Now() - t) * 1000);
    t = Now();
    for (int i = 0; i < kExecutions; ++i) {
        char* volatile p = new char[64];
        delete[] p;
    }
    printf("  operator new + delete: %.1f ms\n", (Now() - t) * 1000);
    t = Now();
    for (int i = 0; i < kExecutions; ++i) {
        CRITICAL_SECTION cs;
        InitializeCriticalSection(&cs);
        DeleteCriticalSection(&cs);
    }
    printf("  InitializeCriticalSection + DeleteCriticalSection: %.1f ms\n", (Now() - t) * 1000);
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    t = Now();
    for (int i = 0; i < kExecutions; ++i) {
        EnterCriticalSection(&cs);
        LeaveCriticalSection(&cs);
    }
    printf("  EnterCriticalSection + LeaveCriticalSection: %.1f ms\n", (Now() - t) * 1000);
    DeleteCriticalSection(&cs);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const bool profile = argc > 1 && wcscmp(argv[1], L"--profile") == 0;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wchar_t folder[MAX_PATH];
    _snwprintf(folder, MAX_PATH - 1, L"%lszelk_dialect_bench_%lu", temp, GetCurrentProcessId());
    folder[MAX_PATH - 1] = 0;
    CreateDirectoryW(folder, nullptr);
    std::wstring path = std::wstring(folder) + L"\\bench.db";
    MakeDatabase(path);

    // Untimed first runs: page faults and the first compilations stay out of the figures.
    SqliteLoop(path, true);
    OleDbUpdateLoop(path);
    LayerSelectLoop(path);

    double times[2][2][kRounds];  // [update][oledb][round]
    for (int round = 0; round < kRounds; ++round)
        for (int update = 1; update >= 0; --update) {
            times[update][0][round] = SqliteLoop(path, update != 0);
            times[update][1][round] = update ? OleDbUpdateLoop(path) : LayerSelectLoop(path);
        }
    if (profile) {
        printf("where the time of the SELECT goes, by the provider calls a layer makes that builds its row "
               "block anew at each execution (best of %d rounds of %d executions):\n",
               kRounds, kExecutions);
        static const char* const kStages[] = {"Execute, rowset released at once", "+ the layer's interfaces",
                                              "+ GetColumnInfo", "+ row accessor", "+ GetNextRows, GetData"};
        for (int d = 0; d <= static_cast<int>(Depth::Full); ++d) {
            double best = 1e9;
            for (int round = 0; round < kRounds; ++round) {
                double t = OleDbSelectLoop(path, static_cast<Depth>(d));
                best = t < best ? t : best;
            }
            printf("  %-34s %.1f ms\n", kStages[d], best * 1000);
        }
        double best = 1e9;
        for (int round = 0; round < kRounds; ++round) {
            double t = SqliteCallsOfTheProvider(path);
            best = t < best ? t : best;
        }
        printf("  of which SQLite's calls              %.1f ms\n", best * 1000);
        for (int update = 1; update >= 0; --update) {
            best = 1e9;
            for (int round = 0; round < kRounds; ++round) {
                double t = SqliteLoop(path, update != 0, true);
                best = t < best ? t : best;
            }
            printf("%s through the SQLite C API on a connection with SQLite's mutex: %.1f ms\n",
                   update ? "the UPDATE" : "the SELECT", best * 1000);
        }
        printf("rowset calls, %d each:\n", kExecutions);
        ProfileRowsetCalls(path);
        printf("platform calls, %d each:\n", kExecutions);
        ProfilePlatform();
    }
    DeleteFileW(path.c_str());
    DeleteFileW((path + L"-wal").c_str());
    DeleteFileW((path + L"-shm").c_str());
    RemoveDirectoryW(folder);
    CoUninitialize();

    bench::Verdict verdict;
    for (int update = 1; update >= 0; --update) {
        double best[2], median[2];
        for (int side = 0; side < 2; ++side) {
            double* t = times[update][side];
            std::sort(t, t + kRounds);
            best[side] = t[0];
            median[side] = t[kRounds / 2];
        }
        const double ratio = best[1] / best[0];
        if (update)
            printf("image settings UPDATE prepared once, executed %d times in one transaction\n", kExecutions);
        else
            printf("image row SELECT by key prepared once, executed %d times in one transaction by the database "
                   "layer's query object, its row fetched into the caller's variables each time\n",
                   kExecutions);
        char text[256];
        snprintf(text, sizeof text, "%s through OLE DB against the SQLite C API (%.1f ms, median %.1f; SQLite %.1f ms, "
                 "median %.1f)",
                 update ? "the image settings UPDATE" : "the image row SELECT by the query object", best[1] * 1000,
                 median[1] * 1000, best[0] * 1000, median[0] * 1000);
        verdict.Ratio(update ? "dialect_update" : "dialect_select", ratio, kLimit, text);
    }
    return verdict.ExitCode();
}
