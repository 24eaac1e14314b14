// Rowsets against the provider: row blocks from the column description,
// named columns, reading forward, the current row.
#include "db_fixture.h"

namespace {

const char kSchema[] =
    "CREATE TABLE Snimok (Snimok integer PRIMARY KEY AUTOINCREMENT, Patient int NOT NULL, "
    "Flag bit, Scale real, Code char(10), Title varchar(50), Made datetime, Note ntext);"
    "INSERT INTO Snimok (Patient, Flag, Scale, Code, Title, Made, Note) "
    "VALUES (7, 1, 0.5, 'AB', 'Chest', '2004-03-01 10:20:30', 'long');";

class RowsetTest : public DbTest
{
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        MakeDatabase(kSchema);
        Open();
    }
    DODBPtr<DODBRowset> Query(const wchar_t* sql, DODBPtr<DODBParams>* row)
    {
        DODBPtr<DODBCommand> command;
        DODBPtr<DODBRowset> rows;
        EXPECT_TRUE(session->CreateCommand(command));
        command->SetCmdText(sql);
        EXPECT_TRUE(command->Execute(rows, row, nullptr, nullptr)) << TakeErrorText();
        return rows;
    }
};

TEST_F(RowsetTest, ColumnsBindAsTheLayerReadsThem)
{
    DODBPtr<DODBParams> row;
    DODBPtr<DODBRowset> rows =
        Query(L"SELECT Snimok, Flag, Scale, Code, Title, Made, Note FROM Snimok", &row);
    ASSERT_TRUE(row.IsSet());
    ASSERT_EQ(7, row->GetCount());
    EXPECT_EQ(1u, row->GetBinding(0)->iOrdinal);           // ordinals start at 1
    EXPECT_EQ((DBPARAMIO)(DBPARAMIO_INPUT | DBPARAMIO_OUTPUT), row->GetBinding(0)->eParamIO);
    EXPECT_EQ(DBTYPE_I4, row->GetWType(1));                // bit
    EXPECT_EQ(DBTYPE_R4, row->GetWType(2));
    EXPECT_EQ(DBTYPE_WSTR, row->GetWType(3));              // char(10)
    EXPECT_EQ(22u, row->GetMaxLen(3));
    EXPECT_EQ(102u, row->GetMaxLen(4));                    // varchar(50)
    EXPECT_EQ(DBTYPE_FILETIME, row->GetWType(5));          // datetime
    EXPECT_EQ(65538u, row->GetMaxLen(6));                  // ntext, capped
    ASSERT_TRUE(rows->GetNextData(row.Get())) << TakeErrorText();
    EXPECT_EQ(1, row->GetInt(0));
    EXPECT_EQ(1, row->GetInt(1));
    EXPECT_EQ(0.5f, row->GetFloat(2));
    EXPECT_STREQ(L"AB", row->GetWStrPtr(3));
    EXPECT_STREQ(L"Chest", row->GetWStrPtr(4));
    SYSTEMTIME st = {};
    FileTimeToSystemTime(row->GetDatePtr(5), &st);
    EXPECT_EQ(2004, st.wYear);
    EXPECT_EQ(10, st.wHour);
    EXPECT_EQ(30, st.wSecond);
    EXPECT_STREQ(L"long", row->GetWStrPtr(6));
}

TEST_F(RowsetTest, NamedColumnsIgnoringCase)
{
    DODBPtr<DODBParams> all;
    DODBPtr<DODBRowset> rows = Query(L"SELECT Snimok, Title, Made FROM Snimok", &all);
    const wchar_t* names[] = {L"TITLE", L"snimok", L"made"};
    DODBPtr<DODBParams> row;
    ASSERT_EQ(S_OK, rows->CreateParams(3, names, row)) << TakeErrorText();
    ASSERT_EQ(3, row->GetCount());
    EXPECT_EQ(2u, row->GetBinding(0)->iOrdinal);
    EXPECT_EQ(1u, row->GetBinding(1)->iOrdinal);
    EXPECT_EQ((DBPARAMIO)DBPARAMIO_NOTPARAM, row->GetBinding(0)->eParamIO);
    EXPECT_EQ(DBTYPE_FILETIME, row->GetWType(2));
    ASSERT_TRUE(rows->GetNextData(row.Get())) << TakeErrorText();
    EXPECT_STREQ(L"Chest", row->GetWStrPtr(0));
    EXPECT_EQ(1, row->GetInt(1));
}

TEST_F(RowsetTest, AMisspeltOrMissingColumnName)
{
    DODBPtr<DODBParams> all;
    DODBPtr<DODBRowset> rows = Query(L"SELECT Snimok, Title FROM Snimok", &all);
    const wchar_t* names[] = {L"Title", L"Titel"};
    DODBPtr<DODBParams> row;
    EXPECT_EQ(E_INVALIDARG, rows->CreateParams(2, names, row));
    std::wstring text = TakeErrorText();
    EXPECT_TRUE(Has(text, L"Column is not found.")) << text;
    EXPECT_FALSE(Has(text, L"Creating error object of class DODBParams.")) << text;
    EXPECT_EQ(E_INVALIDARG, rows->CreateParams(0, names, row));
    EXPECT_TRUE(Has(TakeErrorText(), L"Value cColumns is not set."));
    LONG ordinals[2] = {};
    EXPECT_EQ(DB_S_ERRORSOCCURRED, rows->GetOrdinals(2, names, ordinals));
    EXPECT_EQ(2, ordinals[0]);
    EXPECT_EQ(-1, ordinals[1]);
}

TEST_F(RowsetTest, GetDataBeforeAnyFetch)
{
    DODBPtr<DODBParams> row;
    DODBPtr<DODBRowset> rows = Query(L"SELECT Snimok FROM Snimok", &row);
    EXPECT_FALSE(rows->GetData(row.Get()));
    EXPECT_EQ(DB_E_BADROWHANDLE, rows->GetResult());
    EXPECT_TRUE(Has(TakeErrorText(), L"Invalid handle row."));
    ASSERT_TRUE(rows->GetNextData(row.Get()));
    row->SetValue4(0, 0);
    EXPECT_TRUE(rows->GetData(row.Get()));
    EXPECT_EQ(1, row->GetInt(0));
    EXPECT_EQ(S_OK, rows->ReleaseRow());
    EXPECT_FALSE(rows->GetData(row.Get()));
}

TEST_F(RowsetTest, ABlockWithoutBufferIsRefused)
{
    DODBPtr<DODBParams> row;
    DODBPtr<DODBRowset> rows = Query(L"SELECT Snimok FROM Snimok", &row);
    DODBParams unlaid(1);
    EXPECT_FALSE(rows->GetNextData(&unlaid));
    EXPECT_FALSE(rows->IsEndOfRowset());
    EXPECT_TRUE(Has(TakeErrorText(), L"Memory for parameters is not allocated."));
    EXPECT_FALSE(rows->GetNextData(nullptr));
}

TEST_F(RowsetTest, ATruncatedColumnIsNotARow)
{
    DODBPtr<DODBParams> all;
    DODBPtr<DODBRowset> rows = Query(L"SELECT Title FROM Snimok", &all);
    // A block of our own with room for two characters only: "Chest" is cut.
    DODBParams small;
    const DODBBindRow narrow[] = {{1, DBTYPE_WSTR, 4}};
    ASSERT_TRUE(small.SetBindings(1, narrow));
    ASSERT_EQ(S_OK, small.CreateRowAccessor(rows->GetAccessor()));
    EXPECT_FALSE(rows->GetNextData(&small));
    EXPECT_FALSE(rows->IsEndOfRowset());
    EXPECT_EQ((HRESULT)DBSTATUS_E_UNAVAILABLE, rows->GetResult());
    std::wstring text = TakeErrorText();
    EXPECT_TRUE(Has(text, L"Invalid status value")) << text;
    EXPECT_TRUE(Has(text, L"HRESULT: 0\n")) << text;
}

TEST_F(RowsetTest, AnEmptyRowsetFailsEveryCallWithARecord)
{
    DODBPtr<DODBRowset> empty(DODBCreate<DODBRowset>(nullptr));
    ASSERT_TRUE(empty->IsEmpty());
    DODBParams row(1);
    row.SetParamBindW(0, DBTYPE_I4, 0);
    row.AllocStructForParams();
    EXPECT_FALSE(empty->GetNextData(&row));
    EXPECT_FALSE(empty->IsEndOfRowset());
    EXPECT_EQ(E_NOINTERFACE, empty->GetResult());
    EXPECT_TRUE(Has(TakeErrorText(), L"Row getting error."));
    EXPECT_FALSE(empty->GetData(&row));
    EXPECT_FALSE(empty->InsertRow(&row));
    EXPECT_TRUE(Has(TakeErrorText(), L"Interface IRowsetChange is out"));
    EXPECT_FALSE(empty->CreateParams().IsSet());
    EXPECT_TRUE(Has(TakeErrorText(), L"Interface IColumnsInfo is out."));
    EXPECT_EQ(E_NOINTERFACE, empty->NextRow());
    EXPECT_EQ(E_FAIL, empty->DeleteRow());
    EXPECT_EQ(0, empty->ReleaseRow());
}

TEST_F(RowsetTest, TableRowsetChangesTheInsertedRow)
{
    DODBPtr<DODBRowset> table;
    ASSERT_TRUE(session->OpenRowsetForChange(L"Snimok", table)) << TakeErrorText();
    const wchar_t* names[] = {L"Snimok", L"Patient", L"Title"};
    DODBPtr<DODBParams> row;
    ASSERT_EQ(S_OK, table->CreateParams(3, names, row));
    row->SetStatus(0, DBSTATUS_S_DEFAULT);
    row->SetValue4(1, 9);
    row->SetValueStr(2, L"Hand", -1);
    ASSERT_TRUE(table->InsertRow(row.Get())) << TakeErrorText();
    ASSERT_TRUE(table->GetData(row.Get()));
    EXPECT_EQ(2, row->GetInt(0));
}

TEST_F(RowsetTest, PropertyDumpOfARowset)
{
    DODBPtr<DODBParams> row;
    DODBPtr<DODBRowset> rows = Query(L"SELECT Snimok FROM Snimok", &row);
    wchar_t old[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old);
    SetCurrentDirectoryW(Folder().c_str());
    HRESULT hr = rows->DumpProperties();
    SetCurrentDirectoryW(old);
    EXPECT_EQ(S_OK, hr);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((Folder() + L"\\RowsetProps.txt").c_str()));
}

}  // namespace
