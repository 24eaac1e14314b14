// Commands against the provider: texts, executions with and without rows,
// parameter blocks from the provider's description, loose parameter lists.
#include "db_fixture.h"

#include "database/dbbindparam.h"
#include "test_error_object.h"

namespace {

const char kSchema[] =
    "CREATE TABLE Patient (Patient integer PRIMARY KEY AUTOINCREMENT, Name nvarchar(32) NOT NULL UNIQUE, "
    "Pol int, Flag bit, Code char(10), Scale real, Note ntext, Birthday datetime, Big nvarchar(40000));"
    "INSERT INTO Patient (Name, Pol) VALUES ('Ivanov', 1);"
    "INSERT INTO Patient (Name, Pol) VALUES ('Petrov', 2);"
    "INSERT INTO Patient (Name, Pol) VALUES ('Sidorov', 1);";

class CommandTest : public DbTest
{
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        MakeDatabase(kSchema);
        Open();
        ASSERT_TRUE(session->CreateCommand(command));
    }
    void TearDown() override
    {
        command.Release();
        DbTest::TearDown();
    }
    DODBPtr<DODBCommand> command;
};

TEST_F(CommandTest, ExecuteReadsRowsUntilTheEndWithoutAnError)
{
    ASSERT_EQ(S_OK, command->SetCmdText(L"SELECT Patient, Name FROM Patient WHERE Pol = 1 ORDER BY Patient"));
    DODBPtr<DODBRowset> rows;
    DODBPtr<DODBParams> row;
    ASSERT_TRUE(command->Execute(rows, &row, nullptr, nullptr)) << TakeErrorText();
    ASSERT_TRUE(row.IsSet());
    ASSERT_EQ(2, row->GetCount());
    ASSERT_TRUE(rows->GetNextData(row.Get()));
    EXPECT_EQ(1, row->GetInt(0));
    EXPECT_STREQ(L"Ivanov", row->GetWStrPtr(1));
    ASSERT_TRUE(rows->GetNextData(row.Get()));
    EXPECT_STREQ(L"Sidorov", row->GetWStrPtr(1));
    EXPECT_FALSE(rows->GetNextData(row.Get()));
    EXPECT_TRUE(rows->IsEndOfRowset());
    EXPECT_EQ(DB_S_ENDOFROWSET, rows->GetResult());
    EXPECT_FALSE(DODBErrorPending());
}

TEST_F(CommandTest, AnEmptyResultEndsAtOnce)
{
    command->SetCmdText(L"SELECT Name FROM Patient WHERE Pol = 9");
    DODBPtr<DODBRowset> rows;
    DODBPtr<DODBParams> row;
    ASSERT_TRUE(command->Execute(rows, &row, nullptr, nullptr));
    EXPECT_FALSE(rows->GetNextData(row.Get()));
    EXPECT_TRUE(rows->IsEndOfRowset());
    EXPECT_FALSE(DODBErrorPending());
}

TEST_F(CommandTest, ExecuteOfAStatementWithoutRowsFails)
{
    command->SetCmdText(L"UPDATE Patient SET Pol = 3 WHERE Name = 'Petrov'");
    DODBPtr<DODBRowset> rows;
    EXPECT_FALSE(command->Execute(rows, nullptr, nullptr, nullptr));
    EXPECT_FALSE(rows.IsSet());
    std::wstring text = TakeErrorText();
    EXPECT_TRUE(Has(text, L"Interface IRowset is out")) << text;
    EXPECT_TRUE(Has(text, L"DODBCommand::Execute")) << text;
}

TEST_F(CommandTest, ExecuteNRCountsRowsAndDropsRowsOfASelect)
{
    command->SetCmdText(L"UPDATE Patient SET Pol = 5 WHERE Pol = 1");
    DBROWCOUNT n = 0;
    EXPECT_EQ(S_OK, command->ExecuteNR(nullptr, &n));
    EXPECT_EQ(2, n);
    command->SetCmdText(L"SELECT * FROM Patient");
    EXPECT_EQ(S_OK, command->ExecuteNR(nullptr, nullptr));
    EXPECT_FALSE(DODBErrorPending());
}

TEST_F(CommandTest, ProviderErrorsKeepTheirRecords)
{
    command->SetCmdText(L"SELECT Nothing FROM Patient");
    EXPECT_TRUE(FAILED(command->ExecuteNR(nullptr, nullptr)));
    DODBErrors e(E_FAIL, TRUE);
    std::wstring text = TextOf(e);
    EXPECT_TRUE(e.FindSQLState(L"42S22") || e.FindSQLState(L"42000")) << text;
    EXPECT_FALSE(Has(text, L"While executing object of command")) << text;
    command->SetCmdText(L"INSERT INTO Patient (Name) VALUES ('Ivanov')");
    EXPECT_TRUE(FAILED(command->ExecuteNR(nullptr, nullptr)));
    DODBErrors duplicate(E_FAIL, TRUE);
    EXPECT_TRUE(duplicate.FindSQLState(L"23000")) << TextOf(duplicate);
}

TEST_F(CommandTest, ExecuteAgainReplacesTheRowset)
{
    command->SetCmdText(L"SELECT Name FROM Patient ORDER BY Name");
    DODBPtr<DODBRowset> rows;
    DODBPtr<DODBParams> row;
    ASSERT_TRUE(command->Execute(rows, &row, nullptr, nullptr));
    DODBPtr<DODBRowset> old(rows);
    ASSERT_TRUE(command->Execute(rows, &row, nullptr, nullptr));
    EXPECT_NE(old.Get(), rows.Get());
    EXPECT_EQ(1, old->RefCount());
    ASSERT_TRUE(rows->GetNextData(row.Get()));
    EXPECT_STREQ(L"Ivanov", row->GetWStrPtr(0));
}

TEST_F(CommandTest, PreparedTextRunsWithAParameterBlock)
{
    ASSERT_EQ(S_OK, command->Prepare(L"SELECT Name FROM Patient WHERE Patient = ?"));
    DODBPtr<DODBParams> params;
    ASSERT_TRUE(command->CreateParams(params)) << TakeErrorText();
    ASSERT_EQ(1, params->GetCount());
    EXPECT_EQ(DBTYPE_I4, params->GetWType(0));
    params->SetValue4(0, 2);
    DODBPtr<DODBRowset> rows;
    DODBPtr<DODBParams> row;
    ASSERT_TRUE(command->Execute(rows, &row, params.Get(), nullptr)) << TakeErrorText();
    ASSERT_TRUE(rows->GetNextData(row.Get()));
    EXPECT_STREQ(L"Petrov", row->GetWStrPtr(0));
}

TEST_F(CommandTest, ParameterTypesFromTheProvider)
{
    ASSERT_EQ(S_OK, command->SetCmdText(
                        L"UPDATE Patient SET Flag = ?, Code = ?, Name = ?, Scale = ?, Birthday = ?, Big = ? "
                        L"WHERE Patient = ?"));
    DODBPtr<DODBParams> params;
    ASSERT_TRUE(command->CreateParams(params)) << TakeErrorText();
    ASSERT_EQ(7, params->GetCount());
    EXPECT_EQ(DBTYPE_I4, params->GetWType(0));        // bit
    EXPECT_EQ(4u, params->GetMaxLen(0));
    EXPECT_EQ(DBTYPE_WSTR, params->GetWType(1));      // char(10)
    EXPECT_EQ(22u, params->GetMaxLen(1));
    EXPECT_EQ(66u, params->GetMaxLen(2));             // nvarchar(32)
    EXPECT_EQ(DBTYPE_R4, params->GetWType(3));
    EXPECT_EQ(DBTYPE_FILETIME, params->GetWType(4));  // datetime
    EXPECT_EQ(65538u, params->GetMaxLen(5));          // capped at 65,536 bytes
    EXPECT_EQ(7u, params->GetBinding(6)->iOrdinal);
    // The same handle made again is cleared and refilled.
    DODBParams* first = params.Get();
    command->SetCmdText(L"DELETE FROM Patient WHERE Patient = ?");
    ASSERT_TRUE(command->CreateParams(params));
    EXPECT_EQ(first, params.Get());
    EXPECT_EQ(1, params->GetCount());
    params->SetValue4(0, 3);
    DBROWCOUNT n = 0;
    EXPECT_EQ(S_OK, command->ExecuteNR(params.Get(), &n));
    EXPECT_EQ(1, n);
}

TEST_F(CommandTest, ExecuteBindWithoutAListTouchesNothing)
{
    command->SetCmdText(L"DELETE FROM Patient");
    DODBPtr<DODBBindParam> none;
    DODBPtr<DODBRowset> rows;
    EXPECT_FALSE(command->ExecuteBind(rows, nullptr, none, nullptr));
    DODBErrors e(E_FAIL, TRUE);
    EXPECT_EQ(E_INVALIDARG, e.RecordHResult(0));
    std::wstring text = TextOf(e);
    EXPECT_TRUE(Has(text, L"List of parameters is out.")) << text;
    EXPECT_TRUE(Has(text, L"DODBCommand::Execute\n")) << text;
    EXPECT_FALSE(command->ExecuteBindNR(none, nullptr));
    EXPECT_TRUE(Has(TakeErrorText(), L"List of parameters is out."));
    DBROWCOUNT n = 0;
    command->SetCmdText(L"SELECT * FROM Patient");
    EXPECT_EQ(S_OK, command->ExecuteNR(nullptr, &n));
    DODBPtr<DODBRowset> all;
    DODBPtr<DODBParams> row;
    ASSERT_TRUE(command->Execute(all, &row, nullptr, nullptr));
    EXPECT_TRUE(all->GetNextData(row.Get()));   // nothing was deleted
}

TEST_F(CommandTest, ExecuteBindWithALooseList)
{
    DODBPtr<DODBBindParam> list;
    ASSERT_TRUE(list.CreateNew());
    list->SetStr(2, L"Petrov", -1);
    list->SetValI4(1, 1);
    command->SetCmdText(L"SELECT Patient FROM Patient WHERE Pol <> ? AND Name = ?");
    DODBPtr<DODBRowset> rows;
    DODBPtr<DODBParams> row;
    ASSERT_TRUE(command->ExecuteBind(rows, &row, list, nullptr)) << TakeErrorText();
    ASSERT_TRUE(rows->GetNextData(row.Get()));
    EXPECT_EQ(2, row->GetInt(0));
}

TEST_F(CommandTest, ExecuteBindNRWithNullAndDates)
{
    DODBPtr<DODBBindParam> list;
    ASSERT_TRUE(list.CreateNew());
    SYSTEMTIME st = {1975, 4, 0, 12, 10, 30, 0, 0};
    FILETIME when;
    SystemTimeToFileTime(&st, &when);
    list->SetStr(1, L"Orlov", -1);
    list->SetVal(2, DBTYPE_I4, nullptr, 0, DBSTATUS_S_ISNULL);
    list->SetValDate(3, when);
    command->SetCmdText(L"INSERT INTO Patient (Name, Pol, Birthday) VALUES (?, ?, ?)");
    DBROWCOUNT n = 0;
    ASSERT_TRUE(command->ExecuteBindNR(list, &n)) << TakeErrorText();
    EXPECT_EQ(1, n);
    command->SetCmdText(L"SELECT Pol, Birthday FROM Patient WHERE Name = 'Orlov'");
    DODBPtr<DODBRowset> rows;
    DODBPtr<DODBParams> row;
    ASSERT_TRUE(command->Execute(rows, &row, nullptr, nullptr));
    ASSERT_TRUE(rows->GetNextData(row.Get())) << TakeErrorText();
    EXPECT_TRUE(row->IsNull(0));
    EXPECT_EQ(DBTYPE_FILETIME, row->GetWType(1));
    EXPECT_EQ(when.dwLowDateTime, row->GetDate(1).dwLowDateTime);
    EXPECT_EQ(when.dwHighDateTime, row->GetDate(1).dwHighDateTime);
}

TEST_F(CommandTest, ABadTextFailsAtExecution)
{
    command->SetCmdText(L"SELEKT everything");
    EXPECT_TRUE(FAILED(command->ExecuteNR(nullptr, nullptr)));
    DODBErrors e(E_FAIL, TRUE);
    EXPECT_GT(e.RecordCount(), 0u);
    BSTR state = e.GetSQLStateBstr(0);
    EXPECT_NE(nullptr, state);
    SysFreeString(state);
}

TEST_F(CommandTest, AnEmptyCommandFailsEveryCallWithARecord)
{
    DODBPtr<DODBCommand> empty(DODBCreate<DODBCommand>(nullptr));
    ASSERT_TRUE(empty->IsEmpty());
    EXPECT_EQ(E_NOINTERFACE, empty->SetCmdText(L"SELECT 1"));
    DODBErrors e(E_FAIL, TRUE);
    EXPECT_EQ(E_NOINTERFACE, e.RecordHResult(0));
    EXPECT_TRUE(Has(TextOf(e), L"Interface ICommandText is out."));
    DODBPtr<DODBRowset> rows;
    EXPECT_FALSE(empty->Execute(rows, nullptr, nullptr, nullptr));
    EXPECT_TRUE(Has(TakeErrorText(), L"Interface ICommandText is out."));
    EXPECT_EQ(E_NOINTERFACE, empty->ExecuteNR(nullptr, nullptr));
    EXPECT_EQ(E_NOINTERFACE, empty->Prepare(L"x"));
    EXPECT_EQ(E_NOINTERFACE, empty->PrepareOnly());
    EXPECT_EQ(E_NOINTERFACE, empty->Unprepare());
    DODBPtr<DODBParams> params;
    EXPECT_FALSE(empty->CreateParams(params));
    DODBPtr<DODBBindParam> list;
    list.CreateNew();
    list->SetValI4(1, 1);
    EXPECT_FALSE(empty->ExecuteBind(rows, nullptr, list, nullptr));
    EXPECT_TRUE(Has(TakeErrorText(), L"Not initialized object of command."));
    EXPECT_FALSE(empty->ExecuteBindNR(list, nullptr));
    EXPECT_FALSE(TakeErrorText().empty());
}

TEST_F(CommandTest, CommandReleasesItsInterfacesOnce)
{
    DODBPtr<DODBCommand> probe;
    ASSERT_TRUE(session->CreateCommand(probe));
    IAccessor* accessor = probe->GetAccessor();
    accessor->AddRef();
    const ULONG withCommand = accessor->Release();
    accessor->AddRef();
    probe.Release();
    // Only the reference taken here is left.
    EXPECT_LT(accessor->Release(), withCommand);
}

}  // namespace

namespace {

TEST_F(CommandTest, ARowsetObjectThatCannotBeAllocated)
{
    command->SetCmdText(L"SELECT Name FROM Patient");
    DODBPtr<DODBRowset> rows;
    DODBFailAllocationsAfter(0);
    EXPECT_FALSE(command->Execute(rows, nullptr, nullptr, nullptr));
    EXPECT_FALSE(rows.IsSet());
    EXPECT_TRUE(Has(TakeErrorText(), L"Creating error object of class DODBRowset."));
}

}  // namespace

namespace {

TEST_F(CommandTest, RebindingALaidOutBlockDropsItsStaleAccessor)
{
    command->SetCmdText(L"SELECT Name FROM Patient WHERE Patient = ?");
    DODBPtr<DODBParams> params;
    ASSERT_TRUE(command->CreateParams(params));
    ASSERT_NE((HACCESSOR)0, params->GetAccessor());
    // The accessor described the old layout; executing with it would send
    // the provider garbage. It goes, and a new one is made for the new layout.
    ASSERT_EQ(S_OK, params->SetParamBindW(0, DBTYPE_WSTR, 20));
    EXPECT_EQ((HACCESSOR)0, params->GetAccessor());
    ASSERT_EQ(S_OK, params->CreateParamAccessor(command->GetAccessor()));
    params->SetValueStr(0, L"2", -1);
    DODBPtr<DODBRowset> rows;
    DODBPtr<DODBParams> row;
    ASSERT_TRUE(command->Execute(rows, &row, params.Get(), nullptr)) << TakeErrorText();
    ASSERT_TRUE(rows->GetNextData(row.Get()));
    EXPECT_STREQ(L"Petrov", row->GetWStrPtr(0));
}

}  // namespace
