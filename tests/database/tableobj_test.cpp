// The query object: bound inputs read at each execution, outputs filled at
// each fetch, every failure thrown.
#include "db_fixture.h"

#include "database/dbtableobj.h"

namespace {

const char kSchema[] =
    "CREATE TABLE Patient (Patient integer PRIMARY KEY AUTOINCREMENT, Name nvarchar(64) NOT NULL UNIQUE, "
    "Pol int, Birthday datetime, Arj int);"
    "INSERT INTO Patient (Name, Pol, Birthday) VALUES ('Ivanov', 1, '1960-05-04 00:00:00');"
    "INSERT INTO Patient (Name, Pol) VALUES ('Petrov', 2);"
    "INSERT INTO Patient (Name, Pol) VALUES ('Konstantinopolsky-Zadunaisky', 1);";

class QueryObject : public DbTest
{
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        MakeDatabase(kSchema);
        Open();
    }
    DODBTableObj query;
};

TEST_F(QueryObject, InputsAreReadAgainAtEachExecution)
{
    LONG pol = 1;
    LONG id = 0;
    wchar_t name[65] = L"";
    query.Open(session);
    query.SetCmdText(L"SELECT Patient, Name FROM Patient WHERE Pol = ? ORDER BY Patient");
    query.BindIn(1, DBTYPE_I4, &pol, 4, DBSTATUS_S_OK);
    query.BindOut(1, DBTYPE_I4, &id, 4, DBSTATUS_S_OK);
    query.BindOut(2, DBTYPE_WSTR, name, sizeof(name), DBSTATUS_S_OK);
    query.Execute(nullptr);
    ASSERT_TRUE(query.Fetch());
    EXPECT_EQ(1, id);
    EXPECT_STREQ(L"Ivanov", name);
    ASSERT_TRUE(query.Fetch());
    EXPECT_EQ(3, id);
    EXPECT_FALSE(query.Fetch());
    pol = 2;
    query.Execute(nullptr);
    ASSERT_TRUE(query.Fetch());
    EXPECT_EQ(2, id);
    EXPECT_STREQ(L"Petrov", name);
    EXPECT_FALSE(query.Fetch());
}

TEST_F(QueryObject, AReferencedTextIsSentAtItsCurrentLength)
{
    wchar_t name[65] = L"Li";
    LONG count = -1;
    query.Open(session);
    query.SetCmdText(L"SELECT COUNT(*) FROM Patient WHERE Name = ?");
    query.BindIn(1, DBTYPE_WSTR, name, (ULONG)wcslen(name) * 2, DBSTATUS_S_OK);
    query.BindOut(1, DBTYPE_I4, &count, 4, DBSTATUS_S_OK);
    query.Execute(nullptr);
    ASSERT_TRUE(query.Fetch());
    EXPECT_EQ(0, count);
    // A longer text than the one bound: all of it reaches the provider.
    wcscpy(name, L"Konstantinopolsky-Zadunaisky");
    query.Execute(nullptr);
    ASSERT_TRUE(query.Fetch());
    EXPECT_EQ(1, count);
    wcscpy(name, L"Petrov");
    query.Execute(nullptr);
    ASSERT_TRUE(query.Fetch());
    EXPECT_EQ(1, count);
}

TEST_F(QueryObject, AnExecutionAfterARefusedInputRunsWithTheCorrectedOne)
{
    // A referenced text too long to send: the execution is refused. Once the
    // caller has put a proper text there, the same query runs.
    std::wstring name(40000, L'x');
    LONG count = -1;
    query.Open(session);
    query.SetCmdText(L"SELECT COUNT(*) FROM Patient WHERE Name = ?");
    query.BindIn(1, DBTYPE_WSTR, &name[0], (ULONG)(name.size() + 1) * 2, DBSTATUS_S_OK);
    query.BindOut(1, DBTYPE_I4, &count, 4, DBSTATUS_S_OK);
    try {
        query.Execute(nullptr);
        FAIL() << "a text of 40,000 characters was sent";
    } catch (const DODBErrors& e) {
        EXPECT_TRUE(Has(TextOf(e), L"Invalid buffer size.")) << TextOf(e);
    }
    wcscpy(&name[0], L"Petrov");
    query.Execute(nullptr);
    ASSERT_TRUE(query.Fetch());
    EXPECT_EQ(1, count);
    wcscpy(&name[0], L"Ivanov");
    query.ExecuteNR(nullptr);
    query.Execute(nullptr);
    ASSERT_TRUE(query.Fetch());
    EXPECT_EQ(1, count);
}

TEST_F(QueryObject, NoRowsLeavesTheOutputsAlone)
{
    LONG id = 77;
    wchar_t name[16] = L"keep";
    query.Open(session);
    query.SetCmdText(L"SELECT Patient, Name FROM Patient WHERE Pol = 9");
    query.BindOut(1, DBTYPE_I4, &id, 4, 0);
    query.BindOut(2, DBTYPE_WSTR, name, sizeof(name), 0);
    query.Execute(nullptr);
    EXPECT_FALSE(query.Fetch());
    EXPECT_EQ(77, id);
    EXPECT_STREQ(L"keep", name);
}

TEST_F(QueryObject, AWideOutputOfSixtyTwoBytesTakesThirtyCharacters)
{
    wchar_t name[40];
    for (wchar_t& c : name)
        c = L'#';
    query.Open(session);
    query.SetCmdText(L"SELECT 'abcdefghijklmnopqrstuvwxyz0123456789' || Name FROM Patient WHERE Pol = 2");
    query.BindOut(1, DBTYPE_WSTR, name, 62, 0);
    query.Execute(nullptr);
    ASSERT_TRUE(query.Fetch());
    EXPECT_EQ(30u, wcslen(name));
    EXPECT_EQ(0, wcsncmp(name, L"abcdefghijklmnopqrstuvwxyz0123", 30));
    EXPECT_EQ(L'#', name[31]);
}

TEST_F(QueryObject, NullColumns)
{
    LONG arj = 5;
    wchar_t name[16] = L"x";
    FILETIME born = {1, 1};
    query.Open(session);
    query.SetCmdText(L"SELECT Arj, Birthday FROM Patient WHERE Pol = 2");
    query.BindOut(1, DBTYPE_I4, &arj, 4, 0);
    query.BindOut(2, DBTYPE_FILETIME, &born, 8, 0);
    query.Execute(nullptr);
    ASSERT_TRUE(query.Fetch());
    EXPECT_EQ(5, arj);
    EXPECT_EQ(1u, born.dwLowDateTime);
    EXPECT_TRUE(query.IsNull(0));
    EXPECT_EQ((DBSTATUS)DBSTATUS_S_ISNULL, query.ColumnStatus());
    (void)name;
}

TEST_F(QueryObject, InputNullStatusSendsNull)
{
    LONG arj = 0;
    LONG pol = 2;
    DBROWCOUNT n = 0;
    query.Open(session);
    query.SetCmdText(L"UPDATE Patient SET Arj = ? WHERE Pol = ?");
    query.BindIn(1, DBTYPE_I4, &arj, 4, DBSTATUS_S_ISNULL);
    query.BindIn(2, DBTYPE_I4, &pol, 4, DBSTATUS_S_OK);
    query.ExecuteNR(&n);
    EXPECT_EQ(1, n);
    query.Reset();
    LONG count = 0;
    query.SetCmdText(L"SELECT COUNT(*) FROM Patient WHERE Arj IS NULL");
    query.BindOut(1, DBTYPE_I4, &count, 4, 0);
    query.Execute(nullptr);
    ASSERT_TRUE(query.Fetch());
    EXPECT_EQ(3, count);
}

TEST_F(QueryObject, AnOutputOrdinalTheSelectDoesNotReturnThrows)
{
    LONG id = 0;
    LONG other = 0;
    query.Open(session);
    query.SetCmdText(L"SELECT Patient FROM Patient");
    query.BindOut(1, DBTYPE_I4, &id, 4, 0);
    query.BindOut(2, DBTYPE_I4, &other, 4, 0);
    query.Execute(nullptr);
    EXPECT_THROW(query.Fetch(), DODBErrors);
}

TEST_F(QueryObject, AColumnIsNotCopiedIntoAVariableOfAnotherType)
{
    struct
    {
        LONG variable;
        LONG guard;
    } out = {0, 0x5A5A5A5A};
    query.Open(session);
    query.SetCmdText(L"SELECT Birthday FROM Patient WHERE Pol = 1 AND Birthday IS NOT NULL");
    query.BindOut(1, DBTYPE_I4, &out.variable, 4, 0);
    query.Execute(nullptr);
    try {
        query.Fetch();
        FAIL() << "a FILETIME column was copied into a 4-byte variable";
    } catch (const DODBErrors& e) {
        EXPECT_TRUE(Has(TextOf(e), L"Invalid parameter type")) << TextOf(e);
    }
    EXPECT_EQ(0x5A5A5A5A, out.guard);
}

TEST_F(QueryObject, ProviderFailuresAreThrownWithTheirRecords)
{
    query.Open(session);
    query.SetCmdText(L"INSERT INTO Patient (Name) VALUES ('Ivanov')");
    try {
        query.ExecuteNR(nullptr);
        FAIL() << "a duplicate name was inserted";
    } catch (const DODBErrors& e) {
        EXPECT_TRUE(e.FindSQLState(L"23000")) << TextOf(e);
    }
    query.Close();
    EXPECT_THROW(query.SetCmdText(L"SELECT 1"), DODBErrors);
    query.Open(session);
    query.SetCmdText(L"SELECT Missing FROM Patient");
    EXPECT_THROW(query.Execute(nullptr), DODBErrors);
}

TEST_F(QueryObject, PreparedAndReopened)
{
    LONG count = 0;
    query.Open(session);
    query.Prepare(L"SELECT COUNT(*) FROM Patient");
    query.BindOut(1, DBTYPE_I4, &count, 4, 0);
    query.Execute(nullptr);
    ASSERT_TRUE(query.Fetch());
    EXPECT_EQ(3, count);
    query.Open(session);   // closes first: the old bindings are gone
    query.SetCmdText(L"DELETE FROM Patient WHERE Pol = 1");
    DBROWCOUNT n = 0;
    query.ExecuteNR(&n);
    EXPECT_EQ(2, n);
    EXPECT_THROW(query.GetStatus(1), DODBErrors);
}

TEST_F(QueryObject, StatusOfAColumnAndOfAParameter)
{
    LONG pol = 1;
    LONG id = 0;
    query.Open(session);
    query.SetCmdText(L"SELECT Patient FROM Patient WHERE Pol = ?");
    query.BindIn(1, DBTYPE_I4, &pol, 4, DBSTATUS_S_OK);
    query.BindOut(1, DBTYPE_I4, &id, 4, 0);
    query.Execute(nullptr);
    ASSERT_TRUE(query.Fetch());
    EXPECT_EQ((DBSTATUS)DBSTATUS_S_OK, query.GetStatus(1));
    EXPECT_TRUE(query.SetParamStatus(1, DBSTATUS_S_ISNULL));
    query.Execute(nullptr);
    EXPECT_FALSE(query.Fetch());   // Pol = NULL matches nothing
    EXPECT_THROW(query.SetParamStatus(4, DBSTATUS_S_OK), DODBErrors);
}

TEST_F(QueryObject, OpenWithoutASessionThrows)
{
    DODBPtr<DODBSession> none;
    EXPECT_THROW(query.Open(none), DODBErrors);
}

// The row block made at the first execution of a text serves the later ones
// (its accessor is the command's): each execution reads its own rows, the
// block reads as a new one until the first Fetch, and a new text, new
// outputs or Reset are honoured at the next execution.
TEST_F(QueryObject, LaterExecutionsOfATextReadTheirOwnRowsIntoTheKeptBlock)
{
    LONG key = 0;
    LONG id = -1;
    LONG pol = -1;
    wchar_t name[65] = L"";
    query.Open(session);
    query.Prepare(L"SELECT Patient, Name, Pol, Birthday FROM Patient WHERE Patient = ?");
    query.BindIn(1, DBTYPE_I4, &key, 4, DBSTATUS_S_OK);
    query.BindOut(1, DBTYPE_I4, &id, 4, 0);
    query.BindOut(2, DBTYPE_WSTR, name, sizeof(name), 0);
    const wchar_t* names[] = {L"Ivanov", L"Petrov", L"Konstantinopolsky-Zadunaisky"};
    for (int round = 0; round < 9; ++round) {
        key = 1 + round % 3;
        query.Execute(nullptr);
        // Before the first Fetch the block reads as a new one: every status
        // OK, the NULL Birthday of the last row included.
        EXPECT_FALSE(query.IsNull(3)) << round;
        EXPECT_EQ((DBSTATUS)DBSTATUS_S_OK, query.GetStatus(4)) << round;
        ASSERT_TRUE(query.Fetch()) << round;
        EXPECT_EQ(key != 1, query.IsNull(3) != FALSE) << round;
        EXPECT_EQ(key, id);
        EXPECT_STREQ(names[round % 3], name);
        EXPECT_FALSE(query.Fetch());
    }
    // An output bound later is filled from the next fetch on.
    query.BindOut(3, DBTYPE_I4, &pol, 4, 0);
    key = 2;
    query.Execute(nullptr);
    ASSERT_TRUE(query.Fetch());
    EXPECT_EQ(2, pol);
    // An output that the SELECT does not return still throws, on a kept block too.
    LONG none = 0;
    query.BindOut(5, DBTYPE_I4, &none, 4, 0);
    query.Execute(nullptr);
    EXPECT_THROW(query.Fetch(), DODBErrors);
    // A new text with other columns gets a block of its own.
    query.Reset();
    query.SetCmdText(L"SELECT Name, Patient FROM Patient WHERE Patient = 3");
    wchar_t other[65] = L"";
    LONG otherId = 0;
    query.BindOut(1, DBTYPE_WSTR, other, sizeof(other), 0);
    query.BindOut(2, DBTYPE_I4, &otherId, 4, 0);
    query.Execute(nullptr);
    ASSERT_TRUE(query.Fetch());
    EXPECT_STREQ(L"Konstantinopolsky-Zadunaisky", other);
    EXPECT_EQ(3, otherId);
    query.SetCmdText(L"SELECT Pol FROM Patient WHERE Patient = 2");
    query.Execute(nullptr);
    EXPECT_THROW(query.Fetch(), DODBErrors) << "column 2 is gone with the old text";
    query.Execute(nullptr);
    EXPECT_THROW(query.Fetch(), DODBErrors);
}

// A NULL column leaves the variable as it was and sets the column status,
// on the later executions as on the first.
TEST_F(QueryObject, NullColumnsOfLaterExecutions)
{
    LONG key = 0;
    FILETIME born = {7, 7};
    query.Open(session);
    query.Prepare(L"SELECT Birthday FROM Patient WHERE Patient = ?");
    query.BindIn(1, DBTYPE_I4, &key, 4, DBSTATUS_S_OK);
    query.BindOut(1, DBTYPE_FILETIME, &born, 8, 0);
    for (int round = 0; round < 4; ++round) {
        key = round % 2 ? 2 : 1;
        born = {7, 7};
        query.Execute(nullptr);
        ASSERT_TRUE(query.Fetch());
        if (key == 2) {
            EXPECT_EQ((DBSTATUS)DBSTATUS_S_ISNULL, query.ColumnStatus());
            EXPECT_EQ(7u, born.dwLowDateTime) << "a NULL leaves the variable alone";
        } else {
            EXPECT_EQ((DBSTATUS)DBSTATUS_S_OK, query.ColumnStatus());
            EXPECT_NE(7u, born.dwLowDateTime);
        }
    }
}

}  // namespace
