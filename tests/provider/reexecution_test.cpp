// A prepared command run again and again, as the database layer runs its
// table objects: each execution gives a rowset of its own result, whatever
// the earlier rowsets (alive, released, or made of the same memory) hold.
#include "provider/harness.h"

#include <atomic>

namespace zt {
namespace {

const char kSchema[] =
    "CREATE TABLE Patient (Patient INTEGER PRIMARY KEY AUTOINCREMENT, Name nvarchar(32) NOT NULL, Pol int);"
    "INSERT INTO Patient (Name, Pol) VALUES ('Ivanov', 1), ('Petrov', 1), ('Sidorova', 2);";

class ReexecutionTest : public ProviderTest {
protected:
    void SetUp() override
    {
        ProviderTest::SetUp();
        MakeDatabase(kSchema);
        OpenSession();
        ASSERT_TRUE(session_);
        command_ = NewCommand(session_.Get(), L"SELECT Name, Pol FROM Patient WHERE Patient = ?");
        Ptr<ICommandPrepare> prepare = command_.As<ICommandPrepare>(IID_ICommandPrepare);
        ASSERT_EQ(S_OK, prepare->Prepare(0));
        key_ = params_.Add(1, DBTYPE_I4, 4);
        params_.Layout();
        accessor_ = params_.MakeAccessor(command_.Get(), DBACCESSOR_PARAMETERDATA);
    }
    void TearDown() override
    {
        if (command_) {
            Ptr<IAccessor> accessors = command_.As<IAccessor>(IID_IAccessor);
            accessors->ReleaseAccessor(accessor_, nullptr);
        }
        command_.Reset();
        ProviderTest::TearDown();
    }

    // Runs the prepared SELECT for the patient `key`.
    Ptr<IRowset> Select(int key)
    {
        params_.Set(key_, key);
        DBPARAMS p = {params_.Data(), 1, accessor_};
        Ptr<IRowset> rowset;
        EXPECT_EQ(S_OK, command_->Execute(nullptr, IID_IRowset, &p, nullptr, rowset.OutUnknown()));
        return rowset;
    }

    // The names of a rowset's rows.
    static std::vector<std::wstring> NamesOf(IRowset* rowset)
    {
        std::vector<std::wstring> names;
        for (const Row& row : ReadAll(rowset))
            names.push_back(row[0]);
        return names;
    }

public:
    // The first column of the first row of a rowset, or nothing.
    static std::wstring FirstValue(IRowset* rowset)
    {
        const std::vector<Row> rows = ReadAll(rowset);
        return rows.empty() ? std::wstring() : rows[0][0];
    }

protected:
    Ptr<ICommandText> command_;
    Buffer params_;
    size_t key_ = 0;
    HACCESSOR accessor_ = DB_NULL_HACCESSOR;
};

using Names = std::vector<std::wstring>;

TEST_F(ReexecutionTest, EachExecutionReadsTheTableAsItIsThen)
{
    EXPECT_EQ(Names{L"Ivanov"}, NamesOf(Select(1).Get()));
    ASSERT_EQ(S_OK, Run(session_.Get(), L"UPDATE Patient SET Name = 'Ivanova' WHERE Patient = 1"));
    EXPECT_EQ(Names{L"Ivanova"}, NamesOf(Select(1).Get()));
    ASSERT_EQ(S_OK, Run(session_.Get(), L"DELETE FROM Patient WHERE Patient = 1"));
    EXPECT_EQ(Names{}, NamesOf(Select(1).Get()));
    ASSERT_EQ(S_OK, Run(session_.Get(), L"INSERT INTO Patient (Name) VALUES ('Orlov')"));
    EXPECT_EQ(Names{L"Orlov"}, NamesOf(Select(4).Get()));
}

TEST_F(ReexecutionTest, ParametersChangedBetweenExecutionsAreUsed)
{
    EXPECT_EQ(Names{L"Petrov"}, NamesOf(Select(2).Get()));
    EXPECT_EQ(Names{L"Sidorova"}, NamesOf(Select(3).Get()));
    EXPECT_EQ(Names{}, NamesOf(Select(99).Get()));
    EXPECT_EQ(Names{L"Ivanov"}, NamesOf(Select(1).Get()));
}

TEST_F(ReexecutionTest, RowsetsAliveTogetherKeepTheirOwnRows)
{
    // The database layer runs the command again before it lets the old rowset go.
    Ptr<IRowset> first = Select(1);
    Ptr<IRowset> second = Select(2);
    first.Reset();
    Ptr<IRowset> third = Select(3);  // may be made of the first one's memory
    ASSERT_EQ(S_OK, Run(session_.Get(), L"UPDATE Patient SET Name = 'Changed'"));
    Ptr<IRowset> fourth = Select(1);
    EXPECT_EQ(Names{L"Petrov"}, NamesOf(second.Get()));
    EXPECT_EQ(Names{L"Sidorova"}, NamesOf(third.Get()));
    EXPECT_EQ(Names{L"Changed"}, NamesOf(fourth.Get()));
}

TEST_F(ReexecutionTest, HandlesOfAReleasedRowsetAreNotValidOnTheNextOne)
{
    Ptr<IRowset> first = Select(1);
    Buffer row;
    size_t pol = row.Add(2, DBTYPE_I4, 4);
    row.Layout();
    HACCESSOR stale = row.MakeAccessor(first.Get(), DBACCESSOR_ROWDATA);
    HROW handle = 0;
    HROW* rows = &handle;
    DBCOUNTITEM obtained = 0;
    ASSERT_EQ(S_OK, first->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rows));
    ASSERT_EQ(S_OK, first->GetData(handle, stale, row.Data()));
    EXPECT_EQ(1, row.Get<int>(pol));
    // Released with its row and accessor still held, as a careless consumer would.
    first.Reset();

    Ptr<IRowset> next = Select(3);
    EXPECT_EQ(DB_E_BADROWHANDLE, next->GetData(handle, stale, row.Data())) << "no row fetched yet";
    handle = 0;
    ASSERT_EQ(S_OK, next->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rows));
    ASSERT_EQ(1u, obtained);
    EXPECT_EQ(DB_E_BADACCESSORHANDLE, next->GetData(handle, stale, row.Data()));
    HACCESSOR fresh = row.MakeAccessor(next.Get(), DBACCESSOR_ROWDATA);
    ASSERT_EQ(S_OK, next->GetData(handle, fresh, row.Data()));
    EXPECT_EQ(2, row.Get<int>(pol));
    EXPECT_EQ(S_OK, next->ReleaseRows(1, &handle, nullptr, nullptr, nullptr));
    Ptr<IAccessor> accessors = next.As<IAccessor>(IID_IAccessor);
    EXPECT_EQ(S_OK, accessors->ReleaseAccessor(fresh, nullptr));
}

TEST_F(ReexecutionTest, ANewTextGivesTheNextRowsetItsColumns)
{
    Select(1).Reset();  // a rowset handed back to the command
    ASSERT_EQ(S_OK, command_->SetCommandText(DBGUID_DEFAULT, L"SELECT Pol, Name, Patient FROM Patient ORDER BY Patient"));
    Ptr<IRowset> rowset;
    ASSERT_EQ(S_OK, command_->Execute(nullptr, IID_IRowset, nullptr, nullptr, rowset.OutUnknown()));
    Ptr<IColumnsInfo> info = rowset.As<IColumnsInfo>(IID_IColumnsInfo);
    DBORDINAL count = 0;
    DBCOLUMNINFO* columns = nullptr;
    OLECHAR* strings = nullptr;
    ASSERT_EQ(S_OK, info->GetColumnInfo(&count, &columns, &strings));
    ASSERT_EQ(3u, count);
    EXPECT_STREQ(L"Pol", columns[0].pwszName);
    EXPECT_STREQ(L"Name", columns[1].pwszName);
    EXPECT_STREQ(L"Patient", columns[2].pwszName);
    EXPECT_EQ(DBTYPE_WSTR, columns[1].wType);
    EXPECT_EQ(32u, columns[1].ulColumnSize);
    EXPECT_EQ(3u, columns[2].iOrdinal);
    CoTaskMemFree(columns);
    CoTaskMemFree(strings);
    std::vector<Row> rows = ReadAll(rowset.Get());
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(L"Sidorova", rows[2][1]);
}

TEST_F(ReexecutionTest, ColumnDescriptionsAreTheCallersOwnCopies)
{
    Ptr<IRowset> rowset = Select(1);
    Ptr<IColumnsInfo> info = rowset.As<IColumnsInfo>(IID_IColumnsInfo);
    DBORDINAL count = 0;
    DBCOLUMNINFO* columns = nullptr;
    OLECHAR* strings = nullptr;
    ASSERT_EQ(S_OK, info->GetColumnInfo(&count, &columns, &strings));
    ASSERT_EQ(2u, count);
    // Written over by this caller: the next answer is whole again.
    columns[0].pwszName[0] = L'X';
    columns[1].wType = DBTYPE_EMPTY;
    DBCOLUMNINFO* again = nullptr;
    OLECHAR* againStrings = nullptr;
    ASSERT_EQ(S_OK, info->GetColumnInfo(&count, &again, &againStrings));
    EXPECT_STREQ(L"Name", again[0].pwszName);
    EXPECT_EQ(again[0].pwszName, again[0].columnid.uName.pwszName);
    EXPECT_TRUE(again[0].pwszName >= againStrings && again[1].pwszName > again[0].pwszName);
    EXPECT_STREQ(L"Pol", again[1].pwszName);
    EXPECT_EQ(DBTYPE_I4, again[1].wType);
    CoTaskMemFree(columns);
    CoTaskMemFree(strings);
    CoTaskMemFree(again);
    CoTaskMemFree(againStrings);
}

TEST_F(ReexecutionTest, ARowsetOutlivesItsCommand)
{
    Ptr<IRowset> rowset = Select(2);
    Ptr<IRowset> released = Select(3);
    released.Reset();  // kept by the command as its spare
    Ptr<IAccessor> accessors = command_.As<IAccessor>(IID_IAccessor);
    accessors->ReleaseAccessor(accessor_, nullptr);
    accessors.Reset();
    command_.Reset();
    Ptr<IRowsetInfo> info = rowset.As<IRowsetInfo>(IID_IRowsetInfo);
    Ptr<ICommandText> creator;
    ASSERT_EQ(S_OK, info->GetSpecification(IID_ICommandText, creator.OutUnknown()));
    EXPECT_TRUE(creator);
    creator.Reset();
    info.Reset();
    EXPECT_EQ(Names{L"Petrov"}, NamesOf(rowset.Get()));
    rowset.Reset();  // the last reference to the command goes with it
    EXPECT_EQ(3u, Query(session_.Get(), L"SELECT * FROM Patient").size());
}

TEST_F(ReexecutionTest, TextsNumbersAndNullsBoundInTurnGiveEachExecutionItsOwnValues)
{
    // A name then a key through one command each, executed in turn with new
    // values, a NULL and a failed step between them: no value of one
    // execution is left over for the next.
    Ptr<ICommandText> byName =
        NewCommand(session_.Get(), L"SELECT Patient, Pol FROM Patient WHERE Name = ? OR Pol = ?");
    Ptr<ICommandPrepare> prepare = byName.As<ICommandPrepare>(IID_ICommandPrepare);
    ASSERT_EQ(S_OK, prepare->Prepare(0));
    Buffer params;
    const size_t name = params.Add(1, DBTYPE_WSTR, 64, true);
    const size_t pol = params.Add(2, DBTYPE_I4, 4);
    params.Layout();
    auto keysOf = [&](IRowset* rowset) {
        std::vector<std::wstring> keys;
        for (const Row& row : ReadAll(rowset))
            keys.push_back(row[0]);
        return keys;
    };
    auto select = [&](const wchar_t* text, int polValue, bool nullPol) {
        params.SetText(name, text);
        params.Set(pol, polValue);
        if (nullPol)
            params.SetStatus(pol, DBSTATUS_S_ISNULL);
        Ptr<IRowset> rowset;
        EXPECT_EQ(S_OK, ExecuteWith(byName.Get(), params, nullptr, IID_IRowset, rowset.OutUnknown()));
        return rowset ? keysOf(rowset.Get()) : Names{L"no rowset"};
    };
    EXPECT_EQ((Names{L"2"}), select(L"Petrov", 0, false));
    EXPECT_EQ((Names{L"3"}), select(L"Sidorova", 7, false));
    EXPECT_EQ((Names{L"1", L"2"}), select(L"Nobody", 1, false));
    EXPECT_EQ(Names{}, select(L"Nobody", 0, true)) << "a NULL matches nothing";

    // A step that fails (the name may not be NULL), then the same insert
    // with a name: the statement was left reset and its values replaced.
    Ptr<ICommandText> insert = NewCommand(session_.Get(), L"INSERT INTO Patient (Name, Pol) VALUES (?, ?)");
    Buffer row;
    const size_t newName = row.Add(1, DBTYPE_WSTR, 64, true);
    const size_t newPol = row.Add(2, DBTYPE_I4, 4);
    row.Layout();
    row.SetText(newName, L"");
    row.SetStatus(newName, DBSTATUS_S_ISNULL);
    row.Set(newPol, 5);
    EXPECT_TRUE(FAILED(ExecuteWith(insert.Get(), row, nullptr, IID_NULL, nullptr)));
    TakeError();
    row.SetText(newName, L"Orlova");
    DBROWCOUNT affected = 0;
    EXPECT_EQ(S_OK, ExecuteWith(insert.Get(), row, &affected, IID_NULL, nullptr));
    EXPECT_EQ(1, affected);
    EXPECT_EQ((Names{L"4"}), select(L"Orlova", 0, false));
    EXPECT_EQ((Names{L"4"}), select(L"", 5, false));
}

TEST_F(ReexecutionTest, AFailedExecutionLeavesTheNextOneWhole)
{
    Select(1).Reset();
    params_.SetStatus(key_, DBSTATUS_E_BADSTATUS);
    DBPARAMS p = {params_.Data(), 1, accessor_};
    Ptr<IRowset> rowset;
    EXPECT_TRUE(FAILED(command_->Execute(nullptr, IID_IRowset, &p, nullptr, rowset.OutUnknown())));
    EXPECT_FALSE(rowset);
    EXPECT_TRUE(TakeError().present) << "the failure posts its records";
    EXPECT_EQ(Names{L"Sidorova"}, NamesOf(Select(3).Get()));
}

// A row accessor made on the command is inherited by every rowset of the
// command (OLE DB's rule), so that a consumer binds its row once; its
// handles never meet the rowset's own, and a binding past the columns is an
// error status of that binding, not a read past the row.
TEST_F(ReexecutionTest, RowAccessorsOfTheCommandServeEveryRowsetOfIt)
{
    Buffer row;
    size_t name = row.Add(1, DBTYPE_WSTR, 66, true);
    size_t pol = row.Add(2, DBTYPE_I4, 4);
    row.Layout();
    HACCESSOR inherited = row.MakeAccessor(command_.Get(), DBACCESSOR_ROWDATA);
    const wchar_t* expected[] = {L"Ivanov", L"Petrov", L"Sidorova"};
    std::vector<Ptr<IRowset>> alive;
    for (int round = 0; round < 6; ++round) {
        Ptr<IRowset> rowset = Select(1 + round % 3);
        ASSERT_TRUE(rowset);
        // A rowset accessor of the rowset's own beside the command's.
        Buffer own;
        own.Add(2, DBTYPE_I4, 4);
        own.Layout();
        HACCESSOR mine = own.MakeAccessor(rowset.Get(), DBACCESSOR_ROWDATA);
        EXPECT_NE(inherited, mine);
        HROW handle = 0;
        HROW* rows = &handle;
        DBCOUNTITEM obtained = 0;
        ASSERT_EQ(S_OK, rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rows));
        ASSERT_EQ(S_OK, rowset->GetData(handle, inherited, row.Data()));
        EXPECT_STREQ(expected[round % 3], row.Text(name));
        EXPECT_EQ(round % 3 == 2 ? 2 : 1, row.Get<int>(pol));
        ASSERT_EQ(S_OK, rowset->GetData(handle, mine, own.Data()));
        EXPECT_EQ(round % 3 == 2 ? 2 : 1, own.Get<int>(0));
        rowset->ReleaseRows(1, &handle, nullptr, nullptr, nullptr);
        if (round % 2)
            alive.push_back(rowset);  // some rowsets stay alive beside the next ones
    }
    // The command's parameter accessor reads no row.
    Ptr<IRowset> rowset = Select(1);
    HROW handle = 0;
    HROW* rows = &handle;
    DBCOUNTITEM obtained = 0;
    ASSERT_EQ(S_OK, rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rows));
    EXPECT_EQ(DB_E_BADACCESSORTYPE, rowset->GetData(handle, accessor_, row.Data()));
    // A binding of an ordinal the rowset does not have.
    Buffer wide;
    wide.Add(1, DBTYPE_WSTR, 66, true);
    size_t missing = wide.Add(7, DBTYPE_I4, 4);
    wide.Layout();
    HACCESSOR tooWide = wide.MakeAccessor(command_.Get(), DBACCESSOR_ROWDATA);
    EXPECT_EQ(DB_S_ERRORSOCCURRED, rowset->GetData(handle, tooWide, wide.Data()));
    EXPECT_EQ((DBSTATUS)DBSTATUS_E_BADACCESSOR, wide.Status(missing));
    EXPECT_STREQ(L"Ivanov", wide.Text(0));
    // Released on the command, the accessor is gone for its rowsets too.
    Ptr<IAccessor> accessors = command_.As<IAccessor>(IID_IAccessor);
    EXPECT_EQ(S_OK, accessors->ReleaseAccessor(inherited, nullptr));
    EXPECT_EQ(DB_E_BADACCESSORHANDLE, rowset->GetData(handle, inherited, row.Data()));
    accessors->ReleaseAccessor(tooWide, nullptr);
    rowset->ReleaseRows(1, &handle, nullptr, nullptr, nullptr);
}

struct Release {
    IRowset* rowset;
    HANDLE start;
};

DWORD WINAPI ReleaseWhenStarted(void* p)
{
    auto* w = static_cast<Release*>(p);
    WaitForSingleObject(w->start, INFINITE);
    w->rowset->Release();
    return 0;
}

// Rowsets of one command released on many threads at once: each goes back
// to the command or away, never to both, and the command goes on.
TEST_F(ReexecutionTest, RowsetsReleasedOnManyThreadsAtOnce)
{
    for (int round = 0; round < 20; ++round) {
        std::vector<Ptr<IRowset>> rowsets;
        for (int i = 0; i < 8; ++i)
            rowsets.push_back(Select(1 + i % 3));
        HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::vector<Release> work;
        for (Ptr<IRowset>& r : rowsets) {
            r->AddRef();
            work.push_back({r.Get(), start});
        }
        rowsets.clear();  // the threads hold the last references
        std::vector<HANDLE> threads;
        for (Release& w : work)
            threads.push_back(CreateThread(nullptr, 0, ReleaseWhenStarted, &w, 0, nullptr));
        SetEvent(start);
        WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, 30000);
        for (HANDLE t : threads)
            CloseHandle(t);
        CloseHandle(start);
        EXPECT_EQ(Names{L"Petrov"}, NamesOf(Select(2).Get())) << round;
    }
}

// Many threads on one session at once: each runs its own prepared command
// again and again while all of them read one row of one shared rowset. The
// session's lock and the rowset's are taken in turn by every call; each
// thread must see its own results, and every thread must finish.
struct Reader {
    ICommandText* command;
    HACCESSOR params;
    IRowset* shared;
    HROW row;
    HACCESSOR rowAccessor;
    HANDLE start;
    int first;
    std::atomic<int>* wrong;
};

const wchar_t* const kNames[] = {L"Ivanov", L"Petrov", L"Sidorova"};

DWORD WINAPI ReadWhenStarted(void* context)
{
    Reader& r = *static_cast<Reader*>(context);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    WaitForSingleObject(r.start, INFINITE);
    for (int i = 0; i < 300; ++i) {
        // The command's parameter block: status, then the key.
        struct {
            DBSTATUS status;
            int key;
        } block = {DBSTATUS_S_OK, 1 + (r.first + i) % 3};
        DBPARAMS p = {&block, 1, r.params};
        IRowset* rowset = nullptr;
        std::wstring name;
        if (r.command->Execute(nullptr, IID_IRowset, &p, nullptr, reinterpret_cast<IUnknown**>(&rowset)) == S_OK) {
            name = ReexecutionTest::FirstValue(rowset);
            rowset->Release();
        }
        if (name != kNames[block.key - 1])
            ++*r.wrong;
        // The shared row, read through the shared accessor into a buffer of this thread's own.
        struct {
            DBSTATUS status;
            DBLENGTH length;
            wchar_t text[32];
        } value = {};
        if (r.shared->GetData(r.row, r.rowAccessor, &value) != S_OK || std::wstring(value.text) != L"Petrov")
            ++*r.wrong;
    }
    CoUninitialize();
    return 0;
}

TEST_F(ReexecutionTest, OneSessionRunAndReadFromManyThreadsAtOnce)
{
    Ptr<IRowset> shared = Select(2);
    HROW row = 0;
    HROW* rows = &row;
    DBCOUNTITEM obtained = 0;
    ASSERT_EQ(S_OK, shared->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rows));
    DBBINDING text = {};
    text.iOrdinal = 1;
    text.obStatus = 0;
    text.obLength = 4;
    text.obValue = 8;
    text.dwPart = DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS;
    text.dwMemOwner = DBMEMOWNER_CLIENTOWNED;
    text.eParamIO = DBPARAMIO_NOTPARAM;
    text.cbMaxLen = 64;
    text.wType = DBTYPE_WSTR;
    Ptr<IAccessor> rowAccessors = shared.As<IAccessor>(IID_IAccessor);
    HACCESSOR rowAccessor = DB_NULL_HACCESSOR;
    ASSERT_EQ(S_OK, rowAccessors->CreateAccessor(DBACCESSOR_ROWDATA, 1, &text, 0, &rowAccessor, nullptr));

    DBBINDING key = {};
    key.iOrdinal = 1;
    key.obStatus = 0;
    key.obValue = 4;
    key.dwPart = DBPART_VALUE | DBPART_STATUS;
    key.dwMemOwner = DBMEMOWNER_CLIENTOWNED;
    key.eParamIO = DBPARAMIO_INPUT;
    key.cbMaxLen = 4;
    key.wType = DBTYPE_I4;
    std::atomic<int> wrong{0};
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<Ptr<ICommandText>> commands;
    std::vector<Reader> readers;
    for (int t = 0; t < 6; ++t) {
        commands.push_back(NewCommand(session_.Get(), L"SELECT Name FROM Patient WHERE Patient = ?"));
        Ptr<IAccessor> accessors = commands.back().As<IAccessor>(IID_IAccessor);
        HACCESSOR params = DB_NULL_HACCESSOR;
        ASSERT_EQ(S_OK, accessors->CreateAccessor(DBACCESSOR_PARAMETERDATA, 1, &key, 0, &params, nullptr));
        readers.push_back({commands.back().Get(), params, shared.Get(), row, rowAccessor, start, t, &wrong});
    }
    std::vector<HANDLE> threads;
    for (Reader& r : readers)
        threads.push_back(CreateThread(nullptr, 0, ReadWhenStarted, &r, 0, nullptr));
    SetEvent(start);
    EXPECT_EQ(WAIT_OBJECT_0,
              WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, 60000))
        << "every thread finishes";
    for (HANDLE t : threads)
        CloseHandle(t);
    CloseHandle(start);
    EXPECT_EQ(0, wrong.load()) << "results seen by the wrong thread or not at all";
    for (size_t t = 0; t < commands.size(); ++t)
        commands[t].As<IAccessor>(IID_IAccessor)->ReleaseAccessor(readers[t].params, nullptr);
    rowAccessors->ReleaseAccessor(rowAccessor, nullptr);
    shared->ReleaseRows(1, &row, nullptr, nullptr, nullptr);
}

}  // namespace
}  // namespace zt
