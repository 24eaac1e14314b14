// Data source and session: opening through the data initialisation service,
// sessions, transactions, table rowsets and the empty objects.
#include "db_fixture.h"

#include "database/dbbindparam.h"
#include "database/dbcommand.h"
#include "test_error_object.h"

namespace {

const char kSchema[] =
    "CREATE TABLE Patient (Patient integer PRIMARY KEY AUTOINCREMENT, Name nvarchar(32) NOT NULL UNIQUE, "
    "Pol int, Birthday datetime);"
    "INSERT INTO Patient (Name, Pol) VALUES ('Ivanov', 1);";

class SourceTest : public DbTest
{
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        MakeDatabase(kSchema);
    }
};

TEST_F(SourceTest, OpensTheDatabaseNamedByTheString)
{
    Open();
    EXPECT_TRUE(source->IsOpen());
    EXPECT_FALSE(session->IsEmpty());
    EXPECT_FALSE(DODBErrorPending());
}

TEST_F(SourceTest, AWrongPathFailsWithTheProvidersRecords)
{
    ASSERT_TRUE(source.CreateNew());
    std::wstring init = L"Provider=ZelkSQLite.1;Data Source=" + Folder() + L"\\missing.db";
    HRESULT hr = source->OpenDataSource(init.c_str());
    EXPECT_TRUE(FAILED(hr));
    EXPECT_FALSE(source->IsOpen());
    DODBErrors e(hr, TRUE);
    std::wstring text = TextOf(e);
    EXPECT_TRUE(e.FindSQLState(L"08001")) << text;
    EXPECT_FALSE(Has(text, L"Data source initializating error")) << text;
    // Still nothing to make a session with.
    EXPECT_EQ(E_FAIL, source->CreateSession(session));
    EXPECT_FALSE(session.IsSet());
    EXPECT_TRUE(Has(TakeErrorText(), L"Object Session creating error."));
}

TEST_F(SourceTest, AnUnknownProviderFailsWithTheLayersRecord)
{
    ASSERT_TRUE(source.CreateNew());
    HRESULT hr = source->OpenDataSource(L"Provider=NoSuchProvider.7;Data Source=x");
    EXPECT_TRUE(FAILED(hr));
    DODBErrors e(hr, TRUE);
    std::wstring text = TextOf(e);
    EXPECT_TRUE(Has(text, L"Procedure CoCreateInstance error while getting interface IDataInitialize")) << text;
    EXPECT_TRUE(Has(text, L"DODBSource::OpenDataSource")) << text;
}

TEST_F(SourceTest, OpeningAgainReleasesTheOldInterfacesFirst)
{
    Open();
    session.Release();
    ASSERT_EQ(S_OK, source->OpenDataSource(InitString().c_str()));
    ASSERT_EQ(S_OK, source->CreateSession(session));
    EXPECT_EQ(S_OK, Run(L"SELECT 1"));
}

TEST_F(SourceTest, SourceCopiesKeepItOpen)
{
    Open();
    DODBPtr<DODBSource> copy(source);
    source.Release();
    DODBPtr<DODBSession> second;
    EXPECT_EQ(S_OK, copy->CreateSession(second));
    EXPECT_EQ(1, copy->RefCount());
}

TEST_F(SourceTest, PropertiesOfTheSource)
{
    Open();
    ULONG n = 0;
    DBPROPSET* sets = nullptr;
    EXPECT_EQ(S_OK, source->GetProperties(0, nullptr, &n, &sets));
    DODBFreePropertySets(n, sets);
    DODBPtr<DODBSource> closed = DODBSource::Create();
    ASSERT_TRUE(closed.IsSet());
    EXPECT_EQ(E_FAIL, closed->GetProperties(0, nullptr, &n, &sets));
    EXPECT_TRUE(Has(TakeErrorText(), L"Interface IDBProperties getting error."));
}

TEST_F(SourceTest, DumpWritesTheSourcePropertiesFile)
{
    Open();
    wchar_t old[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old);
    SetCurrentDirectoryW(Folder().c_str());
    HRESULT hr = source->DumpProperties();
    SetCurrentDirectoryW(old);
    ASSERT_EQ(S_OK, hr);
    HANDLE file = CreateFileW((Folder() + L"\\SourceProps.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    wchar_t text[2048] = {};
    DWORD read = 0;
    ReadFile(file, text, sizeof(text) - 2, &read, nullptr);
    CloseHandle(file);
    EXPECT_EQ(0xFEFF, text[0]);
    EXPECT_TRUE(Has(text, L"\r\n1. PropSet=")) << text;
    EXPECT_TRUE(Has(text, L"GUID={}, nPropertiesCount=")) << text;
    EXPECT_TRUE(Has(text, L"1. PropID=0")) << text;
}

TEST_F(SourceTest, CreateCommandTwiceReleasesTheFirst)
{
    Open();
    DODBPtr<DODBCommand> command;
    ASSERT_TRUE(session->CreateCommand(command));
    DODBPtr<DODBCommand> first(command);
    EXPECT_EQ(2, first->RefCount());
    ASSERT_TRUE(session->CreateCommand(command));
    EXPECT_NE(first.Get(), command.Get());
    EXPECT_EQ(1, first->RefCount());
    EXPECT_FALSE(command->IsEmpty());
}

TEST_F(SourceTest, CommandObjectThatCannotBeAllocated)
{
    Open();
    DODBPtr<DODBCommand> command;
    // The provider's command is made first; the layer's object is the next allocation.
    DODBFailAllocationsAfter(0);
    EXPECT_FALSE(session->CreateCommand(command));
    EXPECT_FALSE(command.IsSet());
    EXPECT_TRUE(Has(TakeErrorText(), L"Creating object of class DODBCommand error."));
}

TEST_F(SourceTest, SessionObjectThatCannotBeAllocated)
{
    Open();
    DODBPtr<DODBSession> second;
    DODBFailAllocationsAfter(0);
    EXPECT_EQ(E_FAIL, source->CreateSession(second));
    EXPECT_TRUE(Has(TakeErrorText(), L"Object of class DODBSession creating error."));
}

TEST_F(SourceTest, TransactionCommitAndAbort)
{
    Open();
    ASSERT_EQ(S_OK, session->BeginTx());
    ASSERT_EQ(S_OK, Run(L"INSERT INTO Patient (Name) VALUES ('Petrov')"));
    ASSERT_EQ(S_OK, session->AbortTx());
    ASSERT_EQ(S_OK, session->BeginTx());
    ASSERT_EQ(S_OK, Run(L"INSERT INTO Patient (Name) VALUES ('Sidorov')"));
    ASSERT_EQ(S_OK, session->CommitSync());
    DBROWCOUNT n = 0;
    ASSERT_EQ(S_OK, Run(L"DELETE FROM Patient WHERE Name IN ('Petrov', 'Sidorov')", &n));
    EXPECT_EQ(1, n);
}

TEST_F(SourceTest, ASecondTransactionFailsWithTheProvidersRecord)
{
    Open();
    ASSERT_EQ(S_OK, session->BeginTx());
    HRESULT hr = session->BeginTx();
    EXPECT_TRUE(FAILED(hr));
    std::wstring text = TakeErrorText();
    EXPECT_FALSE(text.empty());
    EXPECT_FALSE(Has(text, L"Transaction start error.")) << text;
    EXPECT_EQ(S_OK, session->AbortTx());
    EXPECT_TRUE(FAILED(session->CommitSync()));
    EXPECT_FALSE(TakeErrorText().empty());
}

TEST_F(SourceTest, InsertThroughATableRowsetAndReadTheKeyBack)
{
    Open();
    DODBPtr<DODBRowset> table;
    ASSERT_TRUE(session->OpenRowsetForChange(L"Patient", table)) << TakeErrorText();
    const wchar_t* names[] = {L"Patient", L"Name", L"Pol"};
    DODBPtr<DODBParams> row;
    ASSERT_EQ(S_OK, table->CreateParams(3, names, row)) << TakeErrorText();
    row->SetStatus(0, DBSTATUS_S_DEFAULT);
    row->SetValueStr(1, L"Kuznetsov", -1);
    row->SetValue4(2, 2);
    ASSERT_TRUE(table->InsertRow(row.Get())) << TakeErrorText();
    row->SetValue4(0, 0);
    ASSERT_TRUE(table->GetData(row.Get())) << TakeErrorText();
    EXPECT_EQ(2, row->GetInt(0));
    EXPECT_STREQ(L"Kuznetsov", row->GetWStrPtr(1));
}

TEST_F(SourceTest, ADuplicateInsertIsIntegrityViolation)
{
    Open();
    DODBPtr<DODBRowset> table;
    ASSERT_TRUE(session->OpenRowsetForChange(L"Patient", table));
    const wchar_t* names[] = {L"Name"};
    DODBPtr<DODBParams> row;
    ASSERT_EQ(S_OK, table->CreateParams(1, names, row));
    row->SetValueStr(0, L"Ivanov", -1);
    EXPECT_FALSE(table->InsertRow(row.Get()));
    EXPECT_TRUE(FAILED(table->GetResult()));
    DODBErrors e(table->GetResult(), TRUE);
    EXPECT_TRUE(e.FindSQLState(L"23000")) << TextOf(e);
    EXPECT_FALSE(e.FindSQLState(L"2300"));
}

TEST_F(SourceTest, OpeningAMissingTableFails)
{
    Open();
    DODBPtr<DODBRowset> table;
    EXPECT_FALSE(session->OpenRowsetForChange(L"NoSuchTable", table));
    EXPECT_FALSE(table.IsSet());
    EXPECT_FALSE(TakeErrorText().empty());
    EXPECT_FALSE(session->OpenRowset(L"NoSuchTable", table));
}

TEST_F(SourceTest, ARowsetObjectThatCannotBeAllocatedPostsItsRecord)
{
    Open();
    DODBPtr<DODBRowset> table;
    DODBFailAllocationsAfter(0);
    EXPECT_FALSE(session->OpenRowsetForChange(L"Patient", table));
    EXPECT_TRUE(Has(TakeErrorText(), L"Object of Rowset opening error."));
}

TEST_F(SourceTest, ExecSqlReportsFailuresAsFailures)
{
    Open();
    DBROWCOUNT n = 0;
    EXPECT_EQ(S_OK, session->ExecSql(L"UPDATE Patient SET Pol = 3", nullptr, nullptr, nullptr, &n));
    EXPECT_EQ(1, n);
    DODBPtr<DODBRowset> rows;
    DODBPtr<DODBParams> row;
    EXPECT_EQ(S_OK, session->ExecSql(L"SELECT Pol FROM Patient", &rows, &row, nullptr, nullptr));
    ASSERT_TRUE(rows->GetNextData(row.Get()));
    EXPECT_EQ(3, row->GetInt(0));
    EXPECT_TRUE(FAILED(session->ExecSql(L"SELECT nothing FROM nowhere", &rows, &row, nullptr, nullptr)));
    EXPECT_FALSE(TakeErrorText().empty());
}

TEST_F(SourceTest, SessionPropertiesFailuresReportFailure)
{
    Open();
    DBPROP prop = {};
    prop.dwPropertyID = 0x7FFF;   // no such property
    prop.dwOptions = DBPROPOPTIONS_REQUIRED;
    VariantInit(&prop.vValue);
    DBPROPSET set = {&prop, 1, DBPROPSET_SESSION};
    EXPECT_EQ(E_FAIL, session->SetProperties(1, &set));
    EXPECT_FALSE(TakeErrorText().empty());
}

TEST_F(SourceTest, AnEmptySessionFailsEveryCallWithARecord)
{
    DODBPtr<DODBSession> empty(DODBCreate<DODBSession>(nullptr));
    ASSERT_TRUE(empty->IsEmpty());
    DODBPtr<DODBCommand> command;
    EXPECT_FALSE(empty->CreateCommand(command));
    EXPECT_TRUE(Has(TakeErrorText(), L"Creating object of class DODBCommand error."));
    DODBPtr<DODBRowset> rows;
    EXPECT_FALSE(empty->OpenRowsetForChange(L"Patient", rows));
    EXPECT_TRUE(Has(TakeErrorText(), L"Object of Rowset opening error."));
    EXPECT_EQ(E_NOINTERFACE, empty->BeginTx());
    EXPECT_TRUE(Has(TakeErrorText(), L"Transaction start error."));
    EXPECT_EQ(E_NOINTERFACE, empty->CommitSync());
    EXPECT_EQ(E_NOINTERFACE, empty->AbortTx());
    EXPECT_EQ(E_NOINTERFACE, empty->SetProperties(0, nullptr));
    EXPECT_TRUE(FAILED(empty->ExecSql(L"SELECT 1", nullptr, nullptr, nullptr, nullptr)));
}

struct WorkerJob
{
    DODBPtr<DODBSource> source;   // the worker's own copy of the handle
    HRESULT result;
};

DWORD WINAPI InsertOnOwnSession(void* parameter)
{
    WorkerJob* job = static_cast<WorkerJob*>(parameter);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
        DODBPtr<DODBSession> own;
        job->result = job->source->CreateSession(own);
        if (SUCCEEDED(job->result)) {
            DODBPtr<DODBCommand> command;
            own->CreateCommand(command);
            command->SetCmdText(L"INSERT INTO Patient (Name) VALUES ('Worker')");
            job->result = command->ExecuteNR(nullptr, nullptr);
        }
        job->source.Release();
    }
    CoUninitialize();
    return 0;
}

TEST_F(SourceTest, SessionsOnWorkerThreadsShareTheSource)
{
    Open();
    WorkerJob job{source, E_FAIL};
    HANDLE thread = CreateThread(nullptr, 0, InsertOnOwnSession, &job, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(S_OK, job.result);
    EXPECT_EQ(1, source->RefCount());
    DBROWCOUNT n = 0;
    EXPECT_EQ(S_OK, Run(L"DELETE FROM Patient WHERE Name = 'Worker'", &n));
    EXPECT_EQ(1, n);
}

}  // namespace

namespace {

TEST_F(SourceTest, StoredInitializationStringsNeedTheService)
{
    // Wine's data initialisation service cannot read stored strings: the
    // failure is reported with the layer's record, and nothing is opened.
    ASSERT_TRUE(source.CreateNew());
    std::wstring file = Folder() + L"\\site.udl";
    HRESULT hr = source->OpenDataSourceFromFile(file.c_str());
    ASSERT_TRUE(FAILED(hr));
    EXPECT_FALSE(source->IsOpen());
    EXPECT_TRUE(Has(TakeErrorText(), L"String initialization reading error."));
}

TEST_F(SourceTest, TheDataLinksDialogIsNotThereUnderWine)
{
    std::wstring file = Folder() + L"\\made.udl";
    HRESULT hr = DODBSource::CreateConnectionString(file.c_str());
    ASSERT_TRUE(FAILED(hr));
    std::wstring text = TakeErrorText();
    EXPECT_TRUE(Has(text, L"IDBPromptInitialize") || Has(text, L"Interface IDBInitialize getting error.")) << text;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(file.c_str()));
}

}  // namespace

namespace {

// Workers borrowing the process-wide session: each copies the handle and
// runs its own commands on it, at the same time as the others.
struct SharedSessionJob
{
    const DODBPtr<DODBSession>* shared;
    int worker;
    volatile LONG* ready;
    int failures;
    std::wstring firstFailure;
};

const int kSharingWorkers = 4;
const int kInsertsEach = 20;

DWORD WINAPI InsertOnSharedSession(void* parameter)
{
    SharedSessionJob* job = static_cast<SharedSessionJob*>(parameter);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    InterlockedIncrement(job->ready);
    while (*job->ready < kSharingWorkers)
        Sleep(0);
    for (int i = 0; i < kInsertsEach; ++i) {
        DODBPtr<DODBSession> session(*job->shared);
        DODBPtr<DODBCommand> command;
        wchar_t name[32];
        swprintf(name, 32, L"W%d-%d", job->worker, i);
        DODBPtr<DODBBindParam> list;
        bool ok = session->CreateCommand(command) && list.CreateNew() &&
                  command->SetCmdText(L"INSERT INTO Patient (Name, Pol) VALUES (?, ?)") == S_OK &&
                  list->SetStr(1, name, -1) && list->SetValI4(2, job->worker) &&
                  command->ExecuteBindNR(list, nullptr);
        if (ok) {
            // Read back what this worker wrote, on the same shared session.
            DODBPtr<DODBRowset> rows;
            DODBPtr<DODBParams> row;
            ok = command->SetCmdText(L"SELECT COUNT(*) FROM Patient WHERE Pol = ?") == S_OK &&
                 list->Reset() && list->SetValI4(1, job->worker) && command->ExecuteBind(rows, &row, list, nullptr) &&
                 rows->GetNextData(row.Get()) && row->GetInt(0) == i + 1;
        }
        if (!ok && job->failures++ == 0)
            job->firstFailure = TakeErrorText();
    }
    CoUninitialize();
    return 0;
}

TEST_F(SourceTest, WorkersShareTheProcessWideSession)
{
    Open();
    volatile LONG ready = 0;
    SharedSessionJob jobs[kSharingWorkers];
    HANDLE threads[kSharingWorkers];
    for (int w = 0; w < kSharingWorkers; ++w) {
        jobs[w] = SharedSessionJob{&session, 10 + w, &ready, 0, std::wstring()};
        threads[w] = CreateThread(nullptr, 0, InsertOnSharedSession, &jobs[w], 0, nullptr);
    }
    WaitForMultipleObjects(kSharingWorkers, threads, TRUE, INFINITE);
    for (HANDLE t : threads)
        CloseHandle(t);
    for (const SharedSessionJob& job : jobs)
        EXPECT_EQ(0, job.failures) << job.firstFailure;
    EXPECT_EQ(1, session->RefCount());
    EXPECT_EQ(1, source->RefCount());
    DODBPtr<DODBCommand> command;
    DODBPtr<DODBRowset> rows;
    DODBPtr<DODBParams> row;
    ASSERT_TRUE(session->CreateCommand(command));
    command->SetCmdText(L"SELECT COUNT(*) FROM Patient WHERE Pol >= 10");
    ASSERT_TRUE(command->Execute(rows, &row, nullptr, nullptr)) << TakeErrorText();
    ASSERT_TRUE(rows->GetNextData(row.Get()));
    EXPECT_EQ(kSharingWorkers * kInsertsEach, row->GetInt(0));
}

}  // namespace
