// The one way to run a statement: values by ordinal, lists and blocks made
// elsewhere, the provider's description of a prepared statement, queries
// read to their end, new rows whose key the database gives, and every
// failure thrown as DODBErrors; and the readers of a fetched row.
#include "db_fixture.h"

#include "database/dbstatement.h"

#include <vector>

namespace {

const char kSchema[] =
    "CREATE TABLE Patient (Patient integer PRIMARY KEY AUTOINCREMENT, Name nvarchar(32) NOT NULL UNIQUE, "
    "Pol int, Flag bit, Scale real, Birthday datetime);"
    "INSERT INTO Patient (Name, Pol, Flag, Scale, Birthday) VALUES ('Ivanov', 1, 1, 1.5, '1960-05-04 00:00:00');"
    "INSERT INTO Patient (Name, Pol) VALUES ('Petrov', 2);"
    "INSERT INTO Patient (Name, Pol) VALUES ('Sidorov', 1);";

class StatementTest : public DbTest
{
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        MakeDatabase(kSchema);
        Open();
    }

    // The names a query gives in its first column, in order.
    std::vector<std::wstring> NamesOf(BoundStatement& query)
    {
        std::vector<std::wstring> names;
        wchar_t name[33];
        while (query.Next()) {
            RowText(query.Row(), 0, name, 33);
            names.push_back(name);
        }
        return names;
    }
    LONG CountOf(const wchar_t* sql)
    {
        BoundStatement query(session, sql);
        LONG count = -1;
        if (query.First())
            RowInt(query.Row(), 0, &count);
        return count;
    }
};

using Names = std::vector<std::wstring>;

// ---- running -------------------------------------------------------------------------------

TEST_F(StatementTest, AQueryWithValuesByOrdinalReadsItsRowsToTheEnd)
{
    BoundStatement query(session, L"SELECT Name FROM Patient WHERE Pol = ? AND Patient > ? ORDER BY Patient");
    ASSERT_TRUE(query.Params().SetValI4(2, 0));
    ASSERT_TRUE(query.Params().SetValI4(1, 1));
    query.Execute();
    EXPECT_EQ((Names{L"Ivanov", L"Sidorov"}), NamesOf(query));
    EXPECT_FALSE(query.Next());
    EXPECT_FALSE(DODBErrorPending());
}

TEST_F(StatementTest, AStatementWithoutValuesRunsWithoutParameters)
{
    BoundStatement query(session, L"SELECT Name FROM Patient ORDER BY Name DESC");
    query.Execute();
    EXPECT_EQ((Names{L"Sidorov", L"Petrov", L"Ivanov"}), NamesOf(query));
    EXPECT_EQ(2, BoundStatement(session, L"UPDATE Patient SET Pol = 3 WHERE Pol = 1").Run());
    EXPECT_EQ(2, CountOf(L"SELECT COUNT(*) FROM Patient WHERE Pol = 3"));
}

TEST_F(StatementTest, RunGivesTheRowsAffectedAndRunsAgainWithTheSameValues)
{
    BoundStatement update(session, L"UPDATE Patient SET Pol = Pol + 10 WHERE Name = ?");
    ASSERT_TRUE(update.Params().SetStr(1, L"Petrov", -1));
    EXPECT_EQ(1, update.Run());
    EXPECT_EQ(1, update.Run());
    EXPECT_EQ(22, CountOf(L"SELECT Pol FROM Patient WHERE Name = 'Petrov'"));
    BoundStatement none(session, L"DELETE FROM Patient WHERE Name = ?");
    ASSERT_TRUE(none.Params().SetStr(1, L"Nobody", -1));
    EXPECT_EQ(0, none.Run());
}

TEST_F(StatementTest, FirstIsFalseForAQueryWithoutRows)
{
    BoundStatement query(session, L"SELECT Name FROM Patient WHERE Pol = ?");
    ASSERT_TRUE(query.Params().SetValI4(1, 9));
    EXPECT_FALSE(query.First());
    EXPECT_FALSE(query.Next());
}

TEST_F(StatementTest, AListMadeElsewhereIsUsedAndANullOneMeansNoParameters)
{
    DODBPtr<DODBBindParam> list;
    ASSERT_TRUE(list.CreateNew());
    ASSERT_TRUE(list->SetValI4(1, 2));
    BoundStatement query(session, L"SELECT Name FROM Patient WHERE Pol = ?");
    query.UseParams(list);
    query.Execute();
    EXPECT_EQ((Names{L"Petrov"}), NamesOf(query));

    BoundStatement all(session, L"SELECT Name FROM Patient ORDER BY Patient");
    all.UseParams(DODBPtr<DODBBindParam>());
    all.Execute();
    EXPECT_EQ(3u, NamesOf(all).size());
}

TEST_F(StatementTest, APreparedStatementRunsWithTheProvidersDescriptionOfItsParameters)
{
    BoundStatement update(session, L"UPDATE Patient SET Pol = ?, Flag = ? WHERE Name = ?", BoundStatement::kPrepared);
    DODBParams* block = update.DescribeParams(3);
    ASSERT_EQ(3, block->GetCount());
    EXPECT_EQ(S_OK, SetNumber(block, 0, 7));
    EXPECT_EQ(S_OK, SetNumber(block, 1, 1));
    ASSERT_EQ(S_OK, block->SetValueStr(2, L"Sidorov", 7));
    EXPECT_EQ(1, update.Run());
    EXPECT_EQ(7, CountOf(L"SELECT Pol FROM Patient WHERE Name = 'Sidorov'"));
    EXPECT_EQ(1, CountOf(L"SELECT Flag FROM Patient WHERE Name = 'Sidorov'"));
}

TEST_F(StatementTest, TooFewDescribedParametersThrow)
{
    BoundStatement update(session, L"UPDATE Patient SET Pol = ? WHERE Name = ?", BoundStatement::kPrepared);
    EXPECT_THROW(update.DescribeParams(3), DODBErrors);
}

TEST_F(StatementTest, TheCallersBlockRunsAQueryAndItsOwnRowBlockReadsIt)
{
    DODBPtr<DODBParams> block;
    ASSERT_TRUE(block.CreateNew());
    ASSERT_EQ(S_OK, block->SetNumParams(1));
    ASSERT_EQ(S_OK, block->SetParamBind(0, 1, DBTYPE_I4, 4, DBPARAMIO_INPUT));
    ASSERT_EQ(S_OK, block->AllocStructForParams());
    ASSERT_EQ(S_OK, block->SetValue4(0, 2));
    BoundStatement query(session, L"SELECT Name, Patient FROM Patient WHERE Pol = ?");
    query.UseBlock(block);
    query.Execute(false);
    EXPECT_EQ(nullptr, query.Row());
    DODBPtr<DODBParams> row;
    ASSERT_TRUE(row.CreateNew());
    ASSERT_EQ(S_OK, row->SetNumParams(1));
    ASSERT_EQ(S_OK, row->SetParamBind(0, 2, DBTYPE_I4, 4, DBPARAMIO_NOTPARAM));
    ASSERT_EQ(S_OK, row->AllocStructForParams());
    ASSERT_EQ(S_OK, row->CreateRowAccessor(query.Rowset()->GetAccessor()));
    ASSERT_TRUE(query.NextInto(row.Get()));
    LONG key = 0;
    EXPECT_TRUE(RowInt(row.Get(), 0, &key));
    EXPECT_EQ(2, key);
    EXPECT_FALSE(query.NextInto(row.Get()));
}

// ---- failures ------------------------------------------------------------------------------

TEST_F(StatementTest, AMissingSessionThrowsTheCommandFactorysRecord)
{
    try {
        BoundStatement query(DODBPtr<DODBSession>(), L"SELECT 1");
        FAIL() << "no exception";
    } catch (const DODBErrors& e) {
        const std::wstring text = TextOf(e);
        EXPECT_TRUE(Has(text, L"Creating object of class DODBCommand error.")) << testing::PrintToString(text);
        EXPECT_TRUE(Has(text, L"DODBSession::CreateCommand")) << testing::PrintToString(text);
    }
    EXPECT_FALSE(DODBErrorPending());
}

TEST_F(StatementTest, TheProvidersErrorReachesTheCatcher)
{
    BoundStatement query(session, L"SELECT Name FROM NoSuchTable");
    try {
        query.Execute();
        FAIL() << "no exception";
    } catch (const DODBErrors& e) {
        EXPECT_TRUE(Has(TextOf(e), L"NoSuchTable")) << testing::PrintToString(TextOf(e));
    }
    BoundStatement insert(session, L"INSERT INTO Patient (Name) VALUES (?)");
    ASSERT_TRUE(insert.Params().SetStr(1, L"Ivanov", -1));
    try {
        insert.Run();
        FAIL() << "no exception";
    } catch (const DODBErrors& e) {
        EXPECT_TRUE(e.FindSQLState(L"23000")) << testing::PrintToString(TextOf(e));
    }
    EXPECT_FALSE(DODBErrorPending());
}

TEST_F(StatementTest, AQueryRunForItsEffectSucceedsAndAnUpdateRunAsAQueryThrows)
{
    EXPECT_NO_THROW(BoundStatement(session, L"SELECT Name FROM Patient").Run());
    BoundStatement update(session, L"UPDATE Patient SET Pol = 1");
    EXPECT_THROW(update.Execute(), DODBErrors);
}

// ---- new rows ------------------------------------------------------------------------------

TEST_F(StatementTest, ANewRowGetsTheKeyTheDatabaseGives)
{
    static const wchar_t* const names[2] = {L"patient", L"NAME"};
    NewTableRow table(session, L"Patient");
    DODBParams* row = table.BindColumns(2, names);
    ASSERT_EQ(S_OK, row->SetStatus(0, DBSTATUS_S_DEFAULT));
    ASSERT_EQ(S_OK, row->SetValueStr(1, L"Kuznetsov", 9));
    table.Insert(row);
    LONG key = 0;
    ASSERT_TRUE(RowInt(row, 0, &key));
    EXPECT_EQ(4, key);
    EXPECT_EQ(4, CountOf(L"SELECT Patient FROM Patient WHERE Name = 'Kuznetsov'"));
}

TEST_F(StatementTest, ANewRowFailsOnAMissingColumnAndOnADuplicate)
{
    NewTableRow table(session, L"Patient");
    static const wchar_t* const wrong[1] = {L"Nmae"};
    try {
        table.BindColumns(1, wrong);
        FAIL() << "no exception";
    } catch (const DODBErrors& e) {
        EXPECT_TRUE(Has(TextOf(e), L"Column is not found.")) << testing::PrintToString(TextOf(e));
    }
    static const wchar_t* const names[1] = {L"Name"};
    DODBParams* row = table.BindColumns(1, names);
    ASSERT_EQ(S_OK, row->SetValueStr(0, L"Petrov", 6));
    EXPECT_THROW(table.Insert(row), DODBErrors);
    EXPECT_THROW(NewTableRow(DODBPtr<DODBSession>(), L"Patient"), DODBErrors);
    EXPECT_EQ(3, CountOf(L"SELECT COUNT(*) FROM Patient"));
}

// ---- reading rows --------------------------------------------------------------------------

TEST_F(StatementTest, RowReadersTakeEveryNumberTypeAndGiveNothingForNull)
{
    BoundStatement query(session, L"SELECT Pol, Flag, Scale, Birthday, Name FROM Patient ORDER BY Patient");
    ASSERT_TRUE(query.First());
    DODBParams* row = query.Row();
    LONG value = 0;
    double scale = 0;
    FILETIME birthday = {};
    EXPECT_TRUE(RowInt(row, 0, &value));
    EXPECT_EQ(1, value);
    EXPECT_TRUE(RowInt(row, 1, &value));
    EXPECT_EQ(1, value);
    EXPECT_TRUE(RowDouble(row, 2, &scale));
    EXPECT_DOUBLE_EQ(1.5, scale);
    EXPECT_TRUE(RowInt(row, 2, &value));
    EXPECT_EQ(1, value);
    EXPECT_TRUE(RowDate(row, 3, &birthday));
    SYSTEMTIME st = {};
    FileTimeToSystemTime(&birthday, &st);
    EXPECT_EQ(1960, st.wYear);
    EXPECT_FALSE(RowDate(row, 0, &birthday));   // a number is no date
    EXPECT_FALSE(RowInt(row, 4, &value));       // nor a text a number
    EXPECT_FALSE(RowInt(row, 9, &value));       // no such column
    EXPECT_FALSE(RowInt(nullptr, 0, &value));

    ASSERT_TRUE(query.Next());   // Petrov: no flag, scale or birthday
    value = 77;
    EXPECT_FALSE(RowInt(row, 1, &value));
    EXPECT_EQ(77, value);
    EXPECT_FALSE(RowDouble(row, 2, &scale));
    EXPECT_FALSE(RowDate(row, 3, &birthday));
}

TEST_F(StatementTest, RowTextCutsAtTheBufferAndEmptiesItForNoText)
{
    BoundStatement query(session, L"SELECT Name, Pol FROM Patient WHERE Name = 'Sidorov'");
    ASSERT_TRUE(query.First());
    wchar_t buffer[5] = L"xxxx";
    EXPECT_EQ(4, RowText(query.Row(), 0, buffer, 5));
    EXPECT_STREQ(L"Sido", buffer);
    EXPECT_EQ(-1, RowText(query.Row(), 1, buffer, 5));
    EXPECT_STREQ(L"", buffer);
    int length = -1;
    const wchar_t* text = RowTextPtr(query.Row(), 0, &length);
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(7, length);
    EXPECT_EQ(nullptr, RowTextPtr(query.Row(), 1, &length));
    EXPECT_EQ(0, length);
}

TEST_F(StatementTest, SetNumberWritesIntoWhateverTypeTheBindingHas)
{
    DODBPtr<DODBParams> block;
    ASSERT_TRUE(block.CreateNew());
    const DODBBindRow rows[5] = {
        {1, DBTYPE_I2, 2}, {2, DBTYPE_UI1, 1}, {3, DBTYPE_R4, 4}, {4, DBTYPE_I8, 8}, {5, DBTYPE_WSTR, 20}};
    ASSERT_TRUE(block->SetBindings(5, rows)) << TakeErrorText();
    EXPECT_EQ(S_OK, SetNumber(block.Get(), 0, -300));
    EXPECT_EQ(S_OK, SetNumber(block.Get(), 1, 5));
    EXPECT_EQ(S_OK, SetNumber(block.Get(), 2, 2.25));
    EXPECT_EQ(S_OK, SetNumber(block.Get(), 3, 123456789));
    EXPECT_EQ(E_FAIL, SetNumber(block.Get(), 4, 1));
    EXPECT_EQ(-300, *static_cast<const SHORT*>(block->GetValuePtr(0)));
    EXPECT_EQ(5, *static_cast<const BYTE*>(block->GetValuePtr(1)));
    EXPECT_FLOAT_EQ(2.25f, *static_cast<const float*>(block->GetValuePtr(2)));
    EXPECT_EQ(123456789, *static_cast<const LONGLONG*>(block->GetValuePtr(3)));
    LONG back = 0;
    EXPECT_TRUE(RowInt(block.Get(), 0, &back));
    EXPECT_EQ(-300, back);
}

}  // namespace
