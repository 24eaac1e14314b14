// The cost of the provider over SQLite for a statement executed again and
// again: the image settings UPDATE of the program, prepared once and executed
// 100,000 times in one transaction, once through OLE DB (parameters through
// an accessor, as the database layer binds them) and once through the SQLite
// C API on the text the provider runs, on the same database in the same run.
// A read by key (one row per execution, fetched through a rowset) is timed
// the same way. Each side runs three times and keeps its best time; the exit
// status is 1 when the UPDATE through OLE DB is more than 1.5 times slower.
#define DBINITCONSTANTS
#include <windows.h>
#include <ole2.h>
#include <oledb.h>
#include <oledberr.h>
#include <msdasc.h>

#include "sqlite3.h"

#include <cstdio>
#include <string>

namespace {

const int kExecutions = 100000;
const int kRows = 1000;
const int kRounds = 3;
const wchar_t kUpdate[] = L"UPDATE Snimok SET Bri=?, Contrast=?, Negativ=?, xWinCenter=?, yWinCenter=?, Scale=?, "
                          L"Orientation=? WHERE Snimok=?;";
// What the provider runs for it.
const wchar_t kUpdateSqlite[] = L"UPDATE \"Snimok\" SET \"Bri\"=?, \"Contrast\"=?, \"Negativ\"=?, \"xWinCenter\"=?, "
                                L"\"yWinCenter\"=?, \"Scale\"=?, \"Orientation\"=? WHERE \"Snimok\"=?";
const wchar_t kSelect[] = L"SELECT Patient, Bri, Contrast, Negativ, xWinCenter, yWinCenter, Scale, Orientation FROM "
                          L"Snimok WHERE Snimok=?;";
const wchar_t kSelectSqlite[] = L"SELECT \"Patient\", \"Bri\", \"Contrast\", \"Negativ\", \"xWinCenter\", "
                                L"\"yWinCenter\", \"Scale\", \"Orientation\" FROM \"Snimok\" WHERE \"Snimok\"=?";

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

    explicit Provider(const std::wstring& path)
    {
        Check(CoCreateInstance(CLSID_MSDAINITIALIZE, nullptr, CLSCTX_INPROC_SERVER, IID_IDataInitialize,
                               reinterpret_cast<void**>(&service)),
              "CoCreateInstance(CLSID_MSDAINITIALIZE)");
        std::wstring init = L"Provider=ZelkSQLite.1;Data Source=" + path + L";Initial Catalog=Bench";
        Check(service->GetDataSource(nullptr, CLSCTX_INPROC_SERVER, &init[0], IID_IDBInitialize,
                                     reinterpret_cast<IUnknown**>(&source)),
              "GetDataSource");
        Check(source->Initialize(), "Initialize");
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
    CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    Provider p(path);
    p.Run(L"CREATE TABLE Snimok (Snimok int IDENTITY (1, 1) NOT NULL CONSTRAINT PK_Snimok PRIMARY KEY CLUSTERED, "
          L"Patient int NOT NULL, Bri int NULL, Contrast int NULL, Negativ int NULL, xWinCenter int NULL, "
          L"yWinCenter int NULL, Scale real NULL, Orientation int NULL)");
    Check(p.tx->StartTransaction(ISOLATIONLEVEL_READUNCOMMITTED, 0, nullptr, nullptr), "StartTransaction");
    for (int i = 0; i < kRows; ++i)
        p.Run(L"INSERT INTO Snimok (Patient, Bri, Contrast) VALUES (1, 0, 0)");
    Check(p.tx->Commit(FALSE, XACTTC_SYNC, 0), "Commit");
}

double SqliteLoop(const std::wstring& path, bool update)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(Utf8(path).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
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
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
            sum = sum + sqlite3_column_int(stmt, 1) + static_cast<int>(sqlite3_column_double(stmt, 6));
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

double OleDbLoop(const std::wstring& path, bool update)
{
    Provider p(path);
    ICommandText* command = nullptr;
    Check(p.session->CreateCommand(nullptr, IID_ICommandText, reinterpret_cast<IUnknown**>(&command)), "CreateCommand");
    command->SetCommandText(DBGUID_DEFAULT, update ? kUpdate : kSelect);
    ICommandPrepare* prepare = nullptr;
    command->QueryInterface(IID_ICommandPrepare, reinterpret_cast<void**>(&prepare));
    Check(prepare->Prepare(0), "Prepare");
    DBBYTEOFFSET offset = 0;
    DBBINDING params[8];
    for (int k = 0; k < 8; ++k)
        params[k] = Binding(k + 1, k == 5 ? DBTYPE_R4 : DBTYPE_I4, 4, offset);
    DBBINDING key = update ? params[7] : Binding(1, DBTYPE_I4, 4, offset = 0);
    BYTE data[256] = {};
    IAccessor* accessors = nullptr;
    command->QueryInterface(IID_IAccessor, reinterpret_cast<void**>(&accessors));
    HACCESSOR accessor = 0;
    Check(accessors->CreateAccessor(DBACCESSOR_PARAMETERDATA, update ? 8 : 1, update ? params : &key, 0, &accessor,
                                    nullptr),
          "CreateAccessor");
    DBBINDING columns[8];
    DBBYTEOFFSET rowOffset = 0;
    for (int k = 0; k < 8; ++k)
        columns[k] = Binding(k + 1, k == 6 ? DBTYPE_R4 : DBTYPE_I4, 4, rowOffset);
    BYTE row[256] = {};
    DBPARAMS dbParams = {data, 1, accessor};
    Check(p.tx->StartTransaction(ISOLATIONLEVEL_READUNCOMMITTED, 0, nullptr, nullptr), "StartTransaction");
    volatile int sum = 0;
    double start = Now();
    for (int i = 0; i < kExecutions; ++i) {
        if (update) {
            for (int k = 0; k < 5; ++k)
                Put(data, params[k], i + k + 1);
            Put(data, params[5], static_cast<float>(1.0 + i % 7));
            Put(data, params[6], (i % 4) * 90);
            Put(data, params[7], 1 + i % kRows);
            DBROWCOUNT affected = 0;
            Check(command->Execute(nullptr, IID_NULL, &dbParams, &affected, nullptr), "Execute UPDATE");
            sum = sum + static_cast<int>(affected);
        } else {
            Put(data, key, 1 + i % kRows);
            IRowset* rowset = nullptr;
            Check(command->Execute(nullptr, IID_IRowset, &dbParams, nullptr, reinterpret_cast<IUnknown**>(&rowset)),
                  "Execute SELECT");
            IAccessor* rowAccessors = nullptr;
            rowset->QueryInterface(IID_IAccessor, reinterpret_cast<void**>(&rowAccessors));
            HACCESSOR rowAccessor = 0;
            Check(rowAccessors->CreateAccessor(DBACCESSOR_ROWDATA, 8, columns, 0, &rowAccessor, nullptr),
                  "CreateAccessor");
            HROW h = 0;
            HROW* hs = &h;
            DBCOUNTITEM obtained = 0;
            Check(rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &hs), "GetNextRows");
            Check(rowset->GetData(h, rowAccessor, row), "GetData");
            int bri;
            memcpy(&bri, row + columns[1].obValue, 4);
            sum = sum + bri;
            rowset->ReleaseRows(1, &h, nullptr, nullptr, nullptr);
            rowAccessors->ReleaseAccessor(rowAccessor, nullptr);
            rowAccessors->Release();
            rowset->Release();
        }
    }
    double t = Now() - start;
    Check(p.tx->Commit(FALSE, XACTTC_SYNC, 0), "Commit");
    accessors->ReleaseAccessor(accessor, nullptr);
    accessors->Release();
    prepare->Release();
    command->Release();
    return t;
}

}  // namespace

int wmain()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wchar_t folder[MAX_PATH];
    _snwprintf(folder, MAX_PATH - 1, L"%lszelk_dialect_bench_%lu", temp, GetCurrentProcessId());
    folder[MAX_PATH - 1] = 0;
    CreateDirectoryW(folder, nullptr);
    std::wstring path = std::wstring(folder) + L"\\bench.db";
    MakeDatabase(path);

    double best[2][2] = {{1e9, 1e9}, {1e9, 1e9}};  // [update][oledb]
    for (int round = 0; round < kRounds; ++round)
        for (int update = 1; update >= 0; --update) {
            double t = SqliteLoop(path, update != 0);
            if (t < best[update][0])
                best[update][0] = t;
            t = OleDbLoop(path, update != 0);
            if (t < best[update][1])
                best[update][1] = t;
        }
    DeleteFileW(path.c_str());
    DeleteFileW((path + L"-wal").c_str());
    DeleteFileW((path + L"-shm").c_str());
    RemoveDirectoryW(folder);
    CoUninitialize();

    double ratio = best[1][1] / best[1][0];
    printf("image settings UPDATE prepared once, executed %d times in one transaction\n", kExecutions);
    printf("  SQLite C API: %.1f ms, OLE DB: %.1f ms, ratio %.2f (limit 1.5)\n", best[1][0] * 1000, best[1][1] * 1000,
           ratio);
    printf("image row SELECT by key prepared once, executed %d times, one row fetched through a rowset each time\n",
           kExecutions);
    printf("  SQLite C API: %.1f ms, OLE DB: %.1f ms, ratio %.2f\n", best[0][0] * 1000, best[0][1] * 1000,
           best[0][1] / best[0][0]);
    return ratio <= 1.5 ? 0 : 1;
}
