// Opening a database through the initialisation service, the registration,
// and the interfaces each object must answer.
#include "provider/harness.h"

namespace zt {
namespace {

const char kSchema[] =
    "CREATE TABLE Patient (Patient INTEGER PRIMARY KEY AUTOINCREMENT, Name nvarchar(32) NOT NULL, Weight real);"
    "INSERT INTO Patient (Name, Weight) VALUES ('Ivanov', 80.5);";

class OpenTest : public ProviderTest {};

template <class T>
bool Answers(IUnknown* object, REFIID iid)
{
    Ptr<T> p;
    return SUCCEEDED(object->QueryInterface(iid, p.OutVoid())) && p;
}

TEST_F(OpenTest, RegistrationNamesTheDllWithBothThreadingModel)
{
    CLSID clsid;
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"ZelkSQLite.1", &clsid));
    wchar_t text[64];
    StringFromGUID2(clsid, text, 64);
    std::wstring key = std::wstring(L"CLSID\\") + text + L"\\InprocServer32";
    wchar_t value[64] = {};
    DWORD size = sizeof(value);
    ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), L"ThreadingModel", RRF_RT_REG_SZ, nullptr,
                                          value, &size));
    EXPECT_STREQ(L"Both", value);
    wchar_t path[MAX_PATH] = {};
    size = sizeof(path);
    ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, path, &size));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path)) << "registered DLL missing";
}

TEST_F(OpenTest, EveryObjectAnswersTheInterfacesTheLayerAsksFor)
{
    MakeDatabase(kSchema);
    Ptr<IDBCreateCommand> session = OpenSession();
    ASSERT_TRUE(session);

    IUnknown* source = source_.Get();
    EXPECT_TRUE(Answers<IDBInitialize>(source, IID_IDBInitialize));
    EXPECT_TRUE(Answers<IDBProperties>(source, IID_IDBProperties));
    EXPECT_TRUE(Answers<IDBCreateSession>(source, IID_IDBCreateSession));
    EXPECT_TRUE(Answers<IPersist>(source, IID_IPersist));

    EXPECT_TRUE(Answers<IOpenRowset>(session.Get(), IID_IOpenRowset));
    EXPECT_TRUE(Answers<ISessionProperties>(session.Get(), IID_ISessionProperties));
    EXPECT_TRUE(Answers<ITransactionLocal>(session.Get(), IID_ITransactionLocal));
    EXPECT_TRUE(Answers<ISupportErrorInfo>(session.Get(), IID_ISupportErrorInfo));

    Ptr<ICommandText> command = NewCommand(session.Get(), L"SELECT Patient, Name FROM Patient");
    const IID* commandIids[] = {&IID_IAccessor,     &IID_IColumnsInfo,    &IID_ICommandProperties,
                                &IID_ICommandText,  &IID_IConvertType,    &IID_IColumnsRowset,
                                &IID_ICommandPrepare, &IID_ICommandWithParameters, &IID_ISupportErrorInfo};
    for (const IID* iid : commandIids)
        EXPECT_TRUE(Answers<IUnknown>(command.Get(), *iid));

    Ptr<IRowset> rowset;
    ASSERT_EQ(S_OK, command->Execute(nullptr, IID_IRowset, nullptr, nullptr, rowset.OutUnknown()));
    const IID* rowsetIids[] = {&IID_IRowset, &IID_IAccessor, &IID_IColumnsInfo, &IID_IRowsetInfo};
    for (const IID* iid : rowsetIids)
        EXPECT_TRUE(Answers<IUnknown>(rowset.Get(), *iid));
    EXPECT_FALSE(Answers<IRowsetChange>(rowset.Get(), IID_IRowsetChange)) << "a query result is read-only";
}

TEST_F(OpenTest, MissingFileFailsWithA08001Record)
{
    Ptr<IDBInitialize> source;
    std::wstring init = L"Provider=ZelkSQLite.1;Data Source=" + Folder() + L"\\absent.db;Initial Catalog=Zelk";
    HRESULT hr = OpenSource(init, source);
    EXPECT_TRUE(FAILED(hr));
    PostedError error = TakeError();
    ASSERT_TRUE(error.present);
    EXPECT_GE(error.records, 1u);
    EXPECT_EQ(L"08001", error.sqlState);
    EXPECT_NE(std::wstring::npos, error.description.find(L"absent.db")) << "the record names the file";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((Folder() + L"\\absent.db").c_str()))
        << "opening must not create the file";
}

TEST_F(OpenTest, AFileThatIsNoDatabaseFails)
{
    HANDLE file = CreateFileW(DbPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    char junk[4096];
    memset(junk, 'x', sizeof(junk));
    WriteFile(file, junk, sizeof(junk), &written, nullptr);
    CloseHandle(file);
    Ptr<IDBInitialize> source;
    EXPECT_TRUE(FAILED(OpenSource(InitString(), source)));
    EXPECT_EQ(L"08001", TakeError().sqlState);
}

TEST_F(OpenTest, ValuesAreTrimmedAndSqlServerKeysIgnored)
{
    MakeDatabase(kSchema);
    std::wstring init = L"Provider=ZelkSQLite.1;Persist Security Info=False;User ID=sa;Password=x;"
                        L"Initial Catalog=  Zelk \r\n;Data Source=  " + DbPath() +
                        L"  ;Use Procedure for Prepare=1;Auto Translate=True;Packet Size=4096;"
                        L"Workstation ID=ROOM1\r\n";
    EXPECT_EQ(S_OK, OpenSource(init, source_));
}

TEST_F(OpenTest, CurrentCatalogIsTheInitialCatalog)
{
    MakeDatabase(kSchema);
    OpenSession();
    Ptr<IDBProperties> props = source_.As<IDBProperties>(IID_IDBProperties);
    ASSERT_TRUE(props);
    DBPROPID id = DBPROP_CURRENTCATALOG;
    DBPROPIDSET ids = {&id, 1, DBPROPSET_DATASOURCE};
    ULONG count = 0;
    DBPROPSET* sets = nullptr;
    ASSERT_EQ(S_OK, props->GetProperties(1, &ids, &count, &sets));
    ASSERT_EQ(1u, count);
    ASSERT_EQ(1u, sets[0].cProperties);
    EXPECT_EQ(VT_BSTR, V_VT(&sets[0].rgProperties[0].vValue));
    EXPECT_STREQ(L"Zelk", V_BSTR(&sets[0].rgProperties[0].vValue)) << "trimmed of the line break";
    VariantClear(&sets[0].rgProperties[0].vValue);
    CoTaskMemFree(sets[0].rgProperties);
    CoTaskMemFree(sets);
}

TEST_F(OpenTest, ConnectionsRunWithWalAndForeignKeys)
{
    MakeDatabase(kSchema);
    Ptr<IDBCreateCommand> session = OpenSession();
    // The file's header says WAL (bytes 18 and 19 are 2) once the data source is open.
    HANDLE file = CreateFileW(DbPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    BYTE header[20] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(file, header, sizeof(header), &read, nullptr));
    CloseHandle(file);
    EXPECT_EQ(2, header[18]);
    EXPECT_EQ(2, header[19]);
    // A reference to a missing row is refused.
    ASSERT_EQ(S_OK, Run(session.Get(), L"CREATE TABLE Child (Id int, Patient int REFERENCES Patient (Patient))"));
    EXPECT_EQ(DB_E_INTEGRITYVIOLATION, Run(session.Get(), L"INSERT INTO Child (Id, Patient) VALUES (1, 999)"));
    EXPECT_EQ(L"23000", TakeError().sqlState);
}

TEST_F(OpenTest, SessionReachesItsDataSource)
{
    MakeDatabase(kSchema);
    Ptr<IDBCreateCommand> session = OpenSession();
    Ptr<IGetDataSource> back = session.As<IGetDataSource>(IID_IGetDataSource);
    ASSERT_TRUE(back);
    Ptr<IDBInitialize> source;
    ASSERT_EQ(S_OK, back->GetDataSource(IID_IDBInitialize, source.OutUnknown()));
    EXPECT_TRUE(source);
}

TEST_F(OpenTest, UninitializeIsRefusedWhileASessionIsOpen)
{
    MakeDatabase(kSchema);
    OpenSession();
    EXPECT_EQ(DB_E_OBJECTOPEN, source_->Uninitialize());
    session_.Reset();
    EXPECT_EQ(S_OK, source_->Uninitialize());
}

// A file that is not a database (an empty one among them) is refused and
// left exactly as it was: the open check writes nothing.
TEST_F(OpenTest, AnEmptyOrForeignFileIsRefusedAndLeftUnchanged)
{
    const std::string contents[] = {std::string(), std::string("not a database")};
    for (const std::string& bytes : contents) {
        HANDLE file = CreateFileW(DbPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        DWORD written = 0;
        if (!bytes.empty())
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        Ptr<IDBInitialize> source;
        EXPECT_EQ(E_FAIL, OpenSource(InitString(), source)) << bytes.size();
        PostedError error = TakeError();
        EXPECT_EQ(L"08001", error.sqlState);
        EXPECT_NE(std::wstring::npos, error.description.find(L"is not a database")) << testing::PrintToString(error.description);
        source.Reset();
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        ASSERT_TRUE(GetFileAttributesExW(DbPath().c_str(), GetFileExInfoStandard, &data));
        EXPECT_EQ(bytes.size(), data.nFileSizeLow) << "the file was written to";
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((DbPath() + L"-wal").c_str()));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((DbPath() + L"-shm").c_str()));
    }
}

// New databases are made through IDBDataSourceAdmin::CreateDataSource, on a
// file that does not exist yet.
TEST_F(OpenTest, CreateDataSourceMakesANewDatabaseOnly)
{
    ASSERT_EQ(S_OK, CreateSource(InitString(), source_));
    EXPECT_EQ(DB_E_ALREADYINITIALIZED, source_->Initialize());
    session_ = NewSession();
    ASSERT_TRUE(session_);
    ASSERT_EQ(S_OK, Run(session_.Get(), L"CREATE TABLE Patient (Patient int IDENTITY (1, 1) PRIMARY KEY, Name nvarchar (32))"));
    ASSERT_EQ(S_OK, Run(session_.Get(), L"INSERT INTO Patient (Name) VALUES (N'Иванов')"));
    session_.Reset();
    source_.Reset();
    WIN32_FILE_ATTRIBUTE_DATA before = {};
    ASSERT_TRUE(GetFileAttributesExW(DbPath().c_str(), GetFileExInfoStandard, &before));

    // The file exists now: made again, it is refused and kept.
    Ptr<IDBInitialize> again;
    EXPECT_EQ(DB_E_DUPLICATEDATASOURCE, CreateSource(InitString(), again));
    PostedError error = TakeError();
    EXPECT_EQ(L"08001", error.sqlState);
    EXPECT_NE(std::wstring::npos, error.description.find(L"already exists")) << testing::PrintToString(error.description);
    again.Reset();
    WIN32_FILE_ATTRIBUTE_DATA after = {};
    ASSERT_TRUE(GetFileAttributesExW(DbPath().c_str(), GetFileExInfoStandard, &after));
    EXPECT_EQ(before.nFileSizeLow, after.nFileSizeLow);
    ASSERT_EQ(S_OK, OpenSource(InitString(), source_));
    session_ = NewSession();
    EXPECT_EQ((std::vector<Row>{{L"1", L"Иванов"}}), Query(session_.Get(), L"SELECT Patient, Name FROM Patient"));

    // A session straight from the creation.
    Ptr<IDBInitialize> other;
    Ptr<IDataInitialize> service;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_MSDAINITIALIZE, nullptr, CLSCTX_INPROC_SERVER, IID_IDataInitialize,
                                     service.OutVoid()));
    std::wstring init = L"Provider=ZelkSQLite.1;Data Source=" + Folder() + L"\\second.db";
    ASSERT_EQ(S_OK, service->GetDataSource(nullptr, CLSCTX_INPROC_SERVER, &init[0], IID_IDBInitialize,
                                           other.OutUnknown()));
    Ptr<IDBDataSourceAdmin> admin = other.As<IDBDataSourceAdmin>(IID_IDBDataSourceAdmin);
    ASSERT_TRUE(admin);
    Ptr<IDBCreateCommand> made;
    ASSERT_EQ(S_OK, admin->CreateDataSource(0, nullptr, nullptr, IID_IDBCreateCommand, made.OutUnknown()));
    ASSERT_TRUE(made);
    EXPECT_EQ(S_OK, Run(made.Get(), L"CREATE TABLE T (A int)"));
    EXPECT_EQ(DB_E_NOTSUPPORTED, admin->DestroyDataSource());
}

// How long a statement waits for another connection's lock is the
// connection's "Lock Timeout" (milliseconds), 5 seconds when not given;
// then it fails with HYT00.
TEST_F(OpenTest, TheLockWaitIsASettingOfTheConnection)
{
    MakeDatabase(kSchema);
    Ptr<IDBCreateCommand> holder = OpenSession();
    Ptr<ITransactionLocal> tx = holder.As<ITransactionLocal>(IID_ITransactionLocal);
    ASSERT_EQ(S_OK, tx->StartTransaction(ISOLATIONLEVEL_READUNCOMMITTED, 0, nullptr, nullptr));
    ASSERT_EQ(S_OK, Run(holder.Get(), L"INSERT INTO Patient (Name) VALUES ('Petrov')"));

    auto blockedInsert = [&](const std::wstring& init, DWORD& elapsed) {
        Ptr<IDBInitialize> source;
        EXPECT_EQ(S_OK, OpenSource(init, source));
        Ptr<IDBCreateSession> factory = source.As<IDBCreateSession>(IID_IDBCreateSession);
        Ptr<IDBCreateCommand> session;
        EXPECT_EQ(S_OK, factory->CreateSession(nullptr, IID_IDBCreateCommand, session.OutUnknown()));
        DWORD start = GetTickCount();
        HRESULT hr = Run(session.Get(), L"INSERT INTO Patient (Name) VALUES ('Sidorov')");
        elapsed = GetTickCount() - start;
        PostedError error = TakeError();
        EXPECT_EQ(DB_E_ERRORSINCOMMAND, hr);
        EXPECT_EQ(L"HYT00", error.sqlState);
    };
    DWORD elapsed = 0;
    const std::wstring base = L"Provider=ZelkSQLite.1;Data Source=" + DbPath() + L";Initial Catalog=Zelk";
    // The initialization service hands each key it does not know over on its own: all of them count.
    blockedInsert(base + L";Application Name=room 1;Lock Timeout=100;Workstation ID=ROOM1", elapsed);
    EXPECT_LT(elapsed, 3000u) << "the connection's own setting is not the one used";
    // The default: 5 seconds. The wait sleeps at least that long, and more
    // only by the sleeps' own lateness on a busy machine.
    blockedInsert(base, elapsed);
    EXPECT_GE(elapsed, 4000u) << "gave up before the default of 5 seconds";
    EXPECT_LE(elapsed, 6500u) << "waited longer than the default of 5 seconds";
    ASSERT_EQ(S_OK, tx->Commit(FALSE, XACTTC_SYNC, 0));

    // A value that is no number of milliseconds is refused at opening.
    Ptr<IDBInitialize> source;
    EXPECT_EQ(E_FAIL, OpenSource(base + L";Lock Timeout=soon", source));
    PostedError error = TakeError();
    EXPECT_EQ(L"HY024", error.sqlState);
    EXPECT_NE(std::wstring::npos, error.description.find(L"Lock Timeout")) << testing::PrintToString(error.description);
}

// A database the file system or another program keeps from being written:
// a transaction is refused at its start with a sentence, not left to fail later.
TEST_F(OpenTest, ATransactionOnAReadOnlyDatabaseIsRefusedClearly)
{
    MakeDatabase("PRAGMA journal_mode=WAL; CREATE TABLE T (A int);");
    HANDLE reader = CreateFileW(DbPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    Ptr<IDBCreateCommand> session = OpenSession();
    ASSERT_TRUE(session);
    Ptr<ITransactionLocal> tx = session.As<ITransactionLocal>(IID_ITransactionLocal);
    EXPECT_EQ(E_FAIL, tx->StartTransaction(ISOLATIONLEVEL_READUNCOMMITTED, 0, nullptr, nullptr));
    PostedError error = TakeError();
    ASSERT_TRUE(error.present);
    EXPECT_EQ(L"25006", error.sqlState);
    EXPECT_NE(std::wstring::npos, error.description.find(L"can only be read")) << testing::PrintToString(error.description);
    EXPECT_EQ(DB_E_ERRORSINCOMMAND, Run(session.Get(), L"INSERT INTO T (A) VALUES (1)"));
    error = TakeError();
    EXPECT_NE(std::wstring::npos, error.description.find(L"can only be read")) << testing::PrintToString(error.description);
    EXPECT_EQ(1u, Query(session.Get(), L"SELECT COUNT(*) FROM T").size()) << "reading goes on";
    session_.Reset();
    session.Reset();
    source_.Reset();
    CloseHandle(reader);
}

}  // namespace
}  // namespace zt
