// The provider's cost over SQLite itself: n patients inserted in one
// transaction and half of them read back with a filtered SELECT, once through
// OLE DB (the registered ZelkSQLite provider, as the database layer uses it:
// one prepared command executed per row, rows fetched one at a time) and once
// through the SQLite C API, on fresh database files, in the same run. The
// clock of each side starts once its connection is made and stops when the
// last row is read. Each side runs five times per size and keeps its best time.
//
// The sizes are the arguments (by default 1,000, 10,000 and 100,000 rows).
// For each size the ratio OLE DB / SQLite is printed with its limit; from one
// size to the next, each side's ratio of costs is printed beside the ratio of
// sizes, with the limit on how much faster than the rows (or than SQLite's
// cost) OLE DB's cost may grow. The exit status is 1 when a limit is exceeded, and every exceeded
// limit is named.
#define DBINITCONSTANTS
#include <windows.h>
#include <ole2.h>
#include <oledb.h>
#include <oledberr.h>
#include <msdasc.h>

#include "bench/benchutil.h"
#include "sqlite3.h"

#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

namespace {

const int kDefaultSizes[] = {1000, 10000, 100000};
const int kRounds = 5;
// OLE DB may be at most this many times slower than SQLite at any size.
const double kRatioLimit = 3.0;
// From one size to the next, OLE DB's cost may grow at most this much more
// than the rows, or than SQLite's own cost on the same rows where that grows
// faster (once the file outgrows the page cache).
const double kGrowthLimit = 1.5;
const char kSchema[] =
    "CREATE TABLE Patient (Patient INTEGER PRIMARY KEY AUTOINCREMENT, Name nvarchar(32) NOT NULL,"
    " FirstName nvarchar(32), Pol int NOT NULL, Birthday datetime);"
    "CREATE INDEX IX_Pol ON Patient (Pol);";

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

void Fail(const char* what, long code)
{
    fprintf(stderr, "provider_bench: %s failed (%ld)\n", what, code);
    ExitProcess(2);
}

void Check(HRESULT hr, const char* what)
{
    if (FAILED(hr))
        Fail(what, hr);
}

std::string Utf8(const std::wstring& text)
{
    char buf[MAX_PATH * 3];
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buf, sizeof(buf), nullptr, nullptr);
    return buf;
}

void FreshDatabase(const std::wstring& path)
{
    DeleteFileW(path.c_str());
    DeleteFileW((path + L"-wal").c_str());
    DeleteFileW((path + L"-shm").c_str());
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(Utf8(path).c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        Fail("sqlite3_open_v2", 0);
    if (sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail("schema", 0);
    sqlite3_close(db);
}

void PatientName(int i, wchar_t* name, wchar_t* first)
{
    _snwprintf(name, 31, L"Patient%05d", i);
    name[31] = 0;
    _snwprintf(first, 31, L"Name%d", i % 97);
    first[31] = 0;
}

// The same work through the SQLite C API on `patients` rows; returns the
// seconds taken after the connection was made, the seconds of the inserts,
// and the rows read.
double RunSqlite(const std::wstring& path, int patients, double& inserts, int& read)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(Utf8(path).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(db, 30000);
    sqlite3_exec(db, "PRAGMA foreign_keys=ON", nullptr, nullptr, nullptr);
    double start = Now();
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare16_v2(db, L"INSERT INTO Patient (Name, FirstName, Pol, Birthday) VALUES (?, ?, ?, ?)", -1, &insert,
                         nullptr);
    wchar_t name[32], first[32], birthday[32];
    for (int i = 0; i < patients; ++i) {
        PatientName(i, name, first);
        _snwprintf(birthday, 31, L"%04d-%02d-%02d 00:00:00.000", 1930 + i % 80, 1 + i % 12, 1 + i % 28);
        birthday[31] = 0;
        sqlite3_bind_text16(insert, 1, name, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text16(insert, 2, first, -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 3, 1 + i % 2);
        sqlite3_bind_text16(insert, 4, birthday, -1, SQLITE_TRANSIENT);
        if (sqlite3_step(insert) != SQLITE_DONE)
            Fail("sqlite3_step insert", 0);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    inserts = Now() - start;

    sqlite3_stmt* select = nullptr;
    sqlite3_prepare16_v2(db, L"SELECT Patient, Name, FirstName, Pol, Birthday FROM Patient WHERE Pol = ?", -1, &select,
                         nullptr);
    sqlite3_bind_int(select, 1, 2);
    read = 0;
    wchar_t text[3][64];
    volatile int sum = 0;
    while (sqlite3_step(select) == SQLITE_ROW) {
        sum = sum + sqlite3_column_int(select, 0) + sqlite3_column_int(select, 3);
        const int columns[3] = {1, 2, 4};
        for (int c = 0; c < 3; ++c) {
            auto* value = static_cast<const wchar_t*>(sqlite3_column_text16(select, columns[c]));
            int bytes = sqlite3_column_bytes16(select, columns[c]);
            if (value && bytes < 126) {
                memcpy(text[c], value, bytes);
                text[c][bytes / 2] = 0;
            }
        }
        ++read;
    }
    double t = Now() - start;
    sqlite3_finalize(select);
    sqlite3_close(db);
    return t;
}

template <class T>
void Put(BYTE* data, const DBBINDING& b, const T& value)
{
    memcpy(data + b.obValue, &value, sizeof(T));
}

void PutText(BYTE* data, const DBBINDING& b, const wchar_t* text)
{
    DBLENGTH bytes = static_cast<DBLENGTH>(wcslen(text) * sizeof(wchar_t));
    memcpy(data + b.obValue, text, bytes + sizeof(wchar_t));
    memcpy(data + b.obLength, &bytes, sizeof(bytes));
}

DBBINDING Binding(DBORDINAL ordinal, DBTYPE type, DBLENGTH maxLen, DBBYTEOFFSET& offset, bool length)
{
    DBBINDING b = {};
    b.iOrdinal = ordinal;
    b.wType = type;
    b.cbMaxLen = maxLen;
    b.dwPart = DBPART_VALUE | DBPART_STATUS | (length ? DBPART_LENGTH : 0);
    b.dwMemOwner = DBMEMOWNER_CLIENTOWNED;
    b.eParamIO = DBPARAMIO_INPUT;
    offset = (offset + 7) & ~DBBYTEOFFSET(7);
    b.obStatus = offset;
    b.obLength = offset + 4;
    b.obValue = offset + 8;
    offset += 8 + ((maxLen + 7) & ~DBLENGTH(7));
    return b;
}

// The same work through OLE DB; returns the seconds taken after the
// connection was made, the seconds of the inserts, and the rows read.
double RunOleDb(const std::wstring& path, int patients, double& inserts, int& read)
{
    IDataInitialize* service = nullptr;
    Check(CoCreateInstance(CLSID_MSDAINITIALIZE, nullptr, CLSCTX_INPROC_SERVER, IID_IDataInitialize,
                           reinterpret_cast<void**>(&service)),
          "CoCreateInstance(CLSID_MSDAINITIALIZE)");
    std::wstring init = L"Provider=ZelkSQLite.1;Data Source=" + path + L";Initial Catalog=Bench";
    IDBInitialize* source = nullptr;
    Check(service->GetDataSource(nullptr, CLSCTX_INPROC_SERVER, &init[0], IID_IDBInitialize,
                                 reinterpret_cast<IUnknown**>(&source)),
          "GetDataSource");
    Check(source->Initialize(), "Initialize");
    IDBCreateSession* factory = nullptr;
    source->QueryInterface(IID_IDBCreateSession, reinterpret_cast<void**>(&factory));
    IDBCreateCommand* session = nullptr;
    Check(factory->CreateSession(nullptr, IID_IDBCreateCommand, reinterpret_cast<IUnknown**>(&session)),
          "CreateSession");
    ITransactionLocal* tx = nullptr;
    session->QueryInterface(IID_ITransactionLocal, reinterpret_cast<void**>(&tx));

    double start = Now();
    Check(tx->StartTransaction(ISOLATIONLEVEL_READUNCOMMITTED, 0, nullptr, nullptr), "StartTransaction");
    ICommandText* insert = nullptr;
    Check(session->CreateCommand(nullptr, IID_ICommandText, reinterpret_cast<IUnknown**>(&insert)), "CreateCommand");
    insert->SetCommandText(DBGUID_DEFAULT, L"INSERT INTO Patient (Name, FirstName, Pol, Birthday) VALUES (?, ?, ?, ?)");
    ICommandPrepare* prepare = nullptr;
    insert->QueryInterface(IID_ICommandPrepare, reinterpret_cast<void**>(&prepare));
    Check(prepare->Prepare(0), "Prepare");
    DBBYTEOFFSET offset = 0;
    DBBINDING params[4] = {Binding(1, DBTYPE_WSTR, 66, offset, true), Binding(2, DBTYPE_WSTR, 66, offset, true),
                           Binding(3, DBTYPE_I4, 4, offset, false), Binding(4, DBTYPE_FILETIME, 8, offset, false)};
    BYTE data[512] = {};
    IAccessor* accessors = nullptr;
    insert->QueryInterface(IID_IAccessor, reinterpret_cast<void**>(&accessors));
    HACCESSOR paramAccessor = 0;
    Check(accessors->CreateAccessor(DBACCESSOR_PARAMETERDATA, 4, params, 0, &paramAccessor, nullptr), "CreateAccessor");
    DBPARAMS p = {data, 1, paramAccessor};
    wchar_t name[32], first[32];
    for (int i = 0; i < patients; ++i) {
        PatientName(i, name, first);
        PutText(data, params[0], name);
        PutText(data, params[1], first);
        Put(data, params[2], 1 + i % 2);
        SYSTEMTIME st = {};
        st.wYear = static_cast<WORD>(1930 + i % 80);
        st.wMonth = static_cast<WORD>(1 + i % 12);
        st.wDay = static_cast<WORD>(1 + i % 28);
        FILETIME ft;
        SystemTimeToFileTime(&st, &ft);
        Put(data, params[3], ft);
        DBROWCOUNT affected = 0;
        Check(insert->Execute(nullptr, IID_NULL, &p, &affected, nullptr), "Execute INSERT");
    }
    Check(tx->Commit(FALSE, XACTTC_SYNC, 0), "Commit");
    inserts = Now() - start;
    accessors->ReleaseAccessor(paramAccessor, nullptr);
    accessors->Release();
    prepare->Release();
    insert->Release();

    ICommandText* select = nullptr;
    session->CreateCommand(nullptr, IID_ICommandText, reinterpret_cast<IUnknown**>(&select));
    select->SetCommandText(DBGUID_DEFAULT, L"SELECT Patient, Name, FirstName, Pol, Birthday FROM Patient WHERE Pol = ?");
    select->QueryInterface(IID_IAccessor, reinterpret_cast<void**>(&accessors));
    offset = 0;
    DBBINDING filter = Binding(1, DBTYPE_I4, 4, offset, false);
    Check(accessors->CreateAccessor(DBACCESSOR_PARAMETERDATA, 1, &filter, 0, &paramAccessor, nullptr), "CreateAccessor");
    Put(data, filter, 2);
    p.hAccessor = paramAccessor;
    IRowset* rowset = nullptr;
    Check(select->Execute(nullptr, IID_IRowset, &p, nullptr, reinterpret_cast<IUnknown**>(&rowset)), "Execute SELECT");
    accessors->ReleaseAccessor(paramAccessor, nullptr);
    accessors->Release();

    offset = 0;
    DBBINDING columns[5] = {Binding(1, DBTYPE_I4, 4, offset, false), Binding(2, DBTYPE_WSTR, 66, offset, true),
                            Binding(3, DBTYPE_WSTR, 66, offset, true), Binding(4, DBTYPE_I4, 4, offset, false),
                            Binding(5, DBTYPE_FILETIME, 8, offset, false)};
    rowset->QueryInterface(IID_IAccessor, reinterpret_cast<void**>(&accessors));
    HACCESSOR rowAccessor = 0;
    Check(accessors->CreateAccessor(DBACCESSOR_ROWDATA, 5, columns, 52, &rowAccessor, nullptr), "CreateAccessor");
    read = 0;
    volatile int sum = 0;
    for (;;) {
        HROW row = 0;
        HROW* rows = &row;
        DBCOUNTITEM obtained = 0;
        HRESULT hr = rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rows);
        if (obtained == 0)
            break;
        Check(hr, "GetNextRows");
        Check(rowset->GetData(row, rowAccessor, data), "GetData");
        int key, pol;
        memcpy(&key, data + columns[0].obValue, 4);
        memcpy(&pol, data + columns[3].obValue, 4);
        sum = sum + key + pol;
        rowset->ReleaseRows(1, &row, nullptr, nullptr, nullptr);
        ++read;
    }
    double t = Now() - start;
    accessors->ReleaseAccessor(rowAccessor, nullptr);
    accessors->Release();
    rowset->Release();
    select->Release();
    tx->Release();
    session->Release();
    factory->Release();
    source->Release();
    service->Release();
    return t;
}

struct Measure {
    int patients = 0;
    double sqlite = 1e9, sqliteInserts = 0;
    double oleDb = 1e9, oleDbInserts = 0;
};

// Both sides on `patients` rows, each its best of kRounds; false when a side
// read back another number of rows than it should.
bool Run(const std::wstring& path, int patients, Measure& m)
{
    m.patients = patients;
    int readSqlite = 0, readOleDb = 0;
    for (int round = 0; round < kRounds; ++round) {
        double inserts = 0;
        FreshDatabase(path);
        double t = RunSqlite(path, patients, inserts, readSqlite);
        if (t < m.sqlite) {
            m.sqlite = t;
            m.sqliteInserts = inserts;
        }
        FreshDatabase(path);
        t = RunOleDb(path, patients, inserts, readOleDb);
        if (t < m.oleDb) {
            m.oleDb = t;
            m.oleDbInserts = inserts;
        }
    }
    if (readSqlite != patients / 2 || readOleDb != patients / 2) {
        fprintf(stderr, "provider_bench: read %d rows through SQLite and %d through OLE DB, expected %d\n", readSqlite,
                readOleDb, patients / 2);
        return false;
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        int n = _wtoi(argv[i]);
        if (n < 2) {
            fprintf(stderr, "provider_bench: the arguments are numbers of rows (2 or more), not \"%ls\"\n", argv[i]);
            return 2;
        }
        sizes.push_back(n);
    }
    if (sizes.empty())
        sizes.assign(std::begin(kDefaultSizes), std::end(kDefaultSizes));

    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wchar_t folder[MAX_PATH];
    _snwprintf(folder, MAX_PATH - 1, L"%lszelk_bench_%lu", temp, GetCurrentProcessId());
    folder[MAX_PATH - 1] = 0;
    CreateDirectoryW(folder, nullptr);
    std::wstring path = std::wstring(folder) + L"\\bench.db";

    std::vector<Measure> measures(sizes.size());
    bool complete = true;
    for (size_t i = 0; i < sizes.size() && complete; ++i)
        complete = Run(path, sizes[i], measures[i]);
    DeleteFileW(path.c_str());
    DeleteFileW((path + L"-wal").c_str());
    DeleteFileW((path + L"-shm").c_str());
    RemoveDirectoryW(folder);
    CoUninitialize();
    if (!complete)
        return 2;

    bench::Verdict verdict;
    char name[64], text[256];
    printf("n patients inserted in one transaction, n/2 read back with a filtered SELECT (best of %d, the clock "
           "started after the connection)\n",
           kRounds);
    for (const Measure& m : measures) {
        printf("n = %d\n", m.patients);
        printf("  SQLite C API: %.1f ms (inserts %.1f ms, reading %.1f ms)\n", m.sqlite * 1000, m.sqliteInserts * 1000,
               (m.sqlite - m.sqliteInserts) * 1000);
        printf("  OLE DB:       %.1f ms (inserts %.1f ms, reading %.1f ms)\n", m.oleDb * 1000, m.oleDbInserts * 1000,
               (m.oleDb - m.oleDbInserts) * 1000);
        snprintf(name, sizeof name, "provider_n%d", m.patients);
        snprintf(text, sizeof text, "OLE DB against the SQLite C API for %d rows (%.1f ms against %.1f ms)", m.patients,
                 m.oleDb * 1000, m.sqlite * 1000);
        verdict.Ratio(name, m.oleDb / m.sqlite, kRatioLimit, text);
    }
    // From one size to the next: each side's ratio of costs beside the ratio
    // of sizes; the figure is OLE DB's growth over the larger of the two others.
    for (size_t i = 1; i < measures.size(); ++i) {
        const Measure& a = measures[i - 1];
        const Measure& b = measures[i];
        const double size = static_cast<double>(b.patients) / a.patients;
        const double sqlite = b.sqlite / a.sqlite;
        const double oleDb = b.oleDb / a.oleDb;
        snprintf(name, sizeof name, "provider_growth_n%d/n%d", b.patients, a.patients);
        snprintf(text, sizeof text, "sizes x%.1f: cost SQLite x%.1f, OLE DB x%.1f; OLE DB's growth over x%.1f",
                 size, sqlite, oleDb, sqlite > size ? sqlite : size);
        verdict.Ratio(name, oleDb / (sqlite > size ? sqlite : size), kGrowthLimit, text);
    }
    return verdict.ExitCode();
}
