// Commands: rows affected, parameters, reading to the end, running again,
// parameter descriptions.
#include "provider/harness.h"

namespace zt {
namespace {

const char kSchema[] =
    "CREATE TABLE Patient (Patient INTEGER PRIMARY KEY AUTOINCREMENT, Name nvarchar(32) NOT NULL,"
    " Pol int, Birthday datetime, Weight real, Height float, Note ntext);"
    "CREATE TABLE Snimok (Snimok INTEGER PRIMARY KEY AUTOINCREMENT,"
    " Patient int NOT NULL REFERENCES Patient(Patient), Scale real, Apicriz ntext, Printed bit);"
    "INSERT INTO Patient (Name, Pol) VALUES ('Ivanov', 1), ('Petrov', 1), ('Sidorova', 2);";

class CommandTest : public ProviderTest {
protected:
    void SetUp() override
    {
        ProviderTest::SetUp();
        MakeDatabase(kSchema);
        OpenSession();
        ASSERT_TRUE(session_);
    }
};

TEST_F(CommandTest, ChangesReportTheExactRowsAffected)
{
    DBROWCOUNT affected = 0;
    ASSERT_EQ(S_OK, Run(session_.Get(), L"INSERT INTO Patient (Name, Pol) VALUES ('Smirnov', 1)", &affected));
    EXPECT_EQ(1, affected);
    ASSERT_EQ(S_OK, Run(session_.Get(), L"UPDATE Patient SET Pol = 3 WHERE Pol = 1", &affected));
    EXPECT_EQ(3, affected);
    ASSERT_EQ(S_OK, Run(session_.Get(), L"UPDATE Patient SET Pol = 3 WHERE Name = 'Nobody'", &affected));
    EXPECT_EQ(0, affected);
    ASSERT_EQ(S_OK, Run(session_.Get(), L"DELETE FROM Patient WHERE Pol = 3;", &affected));
    EXPECT_EQ(3, affected);
}

TEST_F(CommandTest, DdlAndSelectReportNoCount)
{
    DBROWCOUNT affected = 0;
    ASSERT_EQ(S_OK, Run(session_.Get(), L"UPDATE Patient SET Pol = 1", &affected));
    ASSERT_EQ(S_OK, Run(session_.Get(), L"CREATE TABLE Extra (Id int)", &affected));
    EXPECT_EQ(-1, affected) << "DDL does not repeat the last change's count";
    ASSERT_EQ(S_OK, Run(session_.Get(), L"SELECT * FROM Patient", &affected));
    EXPECT_EQ(-1, affected);
}

TEST_F(CommandTest, StatementWithoutRowsReturnsNoRowset)
{
    Ptr<ICommandText> command = NewCommand(session_.Get(), L"UPDATE Patient SET Pol = 2 WHERE Patient = 1");
    Ptr<IRowset> rowset;
    DBROWCOUNT affected = 0;
    EXPECT_EQ(S_OK, command->Execute(nullptr, IID_IRowset, nullptr, &affected, rowset.OutUnknown()));
    EXPECT_FALSE(rowset);
    EXPECT_EQ(1, affected);
}

TEST_F(CommandTest, TypedNullAndByRefParameters)
{
    Ptr<ICommandText> command = NewCommand(
        session_.Get(), L"INSERT INTO Patient (Name, Pol, Birthday, Weight, Height, Note) VALUES (?, ?, ?, ?, ?, ?)");
    static const wchar_t name[] = L"Kuznetsova";
    int pol = 2;
    Buffer p;
    size_t iName = p.Add(1, DBTYPE_WSTR | DBTYPE_BYREF, 4, true);
    size_t iPol = p.Add(2, DBTYPE_I4 | DBTYPE_BYREF, 4);
    size_t iBirth = p.Add(3, DBTYPE_FILETIME, 8);
    size_t iWeight = p.Add(4, DBTYPE_R4, 4);
    size_t iHeight = p.Add(5, DBTYPE_R8, 8);
    size_t iNote = p.Add(6, DBTYPE_WSTR, 64, true);
    p.Layout();
    p.SetText(iName, name);
    int* polRef = &pol;
    p.Set(iPol, polRef);
    p.Set(iBirth, MakeFileTime(1970, 5, 17, 8, 30, 0));
    p.Set(iWeight, 61.5f);
    p.Set(iHeight, 170.25);
    p.SetStatus(iNote, DBSTATUS_S_ISNULL);
    DBROWCOUNT affected = 0;
    ASSERT_EQ(S_OK, ExecuteWith(command.Get(), p, &affected, IID_NULL, nullptr));
    EXPECT_EQ(1, affected);

    std::vector<Row> rows = Query(session_.Get(),
                                  L"SELECT Name, Pol, Birthday, Weight, Height, Note FROM Patient WHERE Pol = 2");
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ((Row{L"Kuznetsova", L"2", L"1970-05-17 08:30:00.000", L"61.5", L"170.25", L"<null>"}), rows[1]);
}

TEST_F(CommandTest, ByRefParametersAreReadAtEachExecution)
{
    Ptr<ICommandText> command = NewCommand(session_.Get(), L"SELECT Name FROM Patient WHERE Patient = ?");
    int key = 1;
    Buffer p;
    size_t i = p.Add(1, DBTYPE_I4 | DBTYPE_BYREF, 4);
    p.Layout();
    int* ref = &key;
    p.Set(i, ref);
    HACCESSOR accessor = p.MakeAccessor(command.Get(), DBACCESSOR_PARAMETERDATA);
    DBPARAMS params = {p.Data(), 1, accessor};
    Ptr<IRowset> first, second;
    ASSERT_EQ(S_OK, command->Execute(nullptr, IID_IRowset, &params, nullptr, first.OutUnknown()));
    key = 3;
    ASSERT_EQ(S_OK, command->Execute(nullptr, IID_IRowset, &params, nullptr, second.OutUnknown()));
    EXPECT_EQ(L"Ivanov", ReadAll(first.Get()).at(0).at(0));
    EXPECT_EQ(L"Sidorova", ReadAll(second.Get()).at(0).at(0));
}

TEST_F(CommandTest, EndOfRowsPostsNoErrorObject)
{
    Ptr<ICommandText> command = NewCommand(session_.Get(), L"SELECT Name FROM Patient WHERE Pol = 7");
    Ptr<IRowset> rowset;
    ASSERT_EQ(S_OK, command->Execute(nullptr, IID_IRowset, nullptr, nullptr, rowset.OutUnknown()));
    SetErrorInfo(0, nullptr);
    DBCOUNTITEM obtained = 99;
    HROW row = 0;
    HROW* rows = &row;
    EXPECT_EQ(DB_S_ENDOFROWSET, rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rows));
    EXPECT_EQ(0u, obtained);
    EXPECT_FALSE(TakeError().present);
}

TEST_F(CommandTest, RowsEndAfterTheLastOne)
{
    Ptr<ICommandText> command = NewCommand(session_.Get(), L"SELECT Name FROM Patient ORDER BY Patient");
    Ptr<IRowset> rowset;
    ASSERT_EQ(S_OK, command->Execute(nullptr, IID_IRowset, nullptr, nullptr, rowset.OutUnknown()));
    DBCOUNTITEM obtained = 0;
    HROW* rows = nullptr;
    EXPECT_EQ(DB_S_ENDOFROWSET, rowset->GetNextRows(DB_NULL_HCHAPTER, 1, 5, &obtained, &rows));
    EXPECT_EQ(2u, obtained) << "skipped one, two left";
    ASSERT_NE(nullptr, rows);
    EXPECT_EQ(S_OK, rowset->ReleaseRows(obtained, rows, nullptr, nullptr, nullptr));
    CoTaskMemFree(rows);
    rows = nullptr;
    EXPECT_EQ(DB_S_ENDOFROWSET, rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rows));
    EXPECT_EQ(0u, obtained);
    EXPECT_EQ(S_OK, rowset->RestartPosition(DB_NULL_HCHAPTER));
    EXPECT_EQ(3u, ReadAll(rowset.Get()).size());
}

TEST_F(CommandTest, RunsAgainWhileItsEarlierRowsetLives)
{
    Ptr<ICommandText> command = NewCommand(session_.Get(), L"SELECT Name FROM Patient ORDER BY Name");
    Ptr<IRowset> before;
    ASSERT_EQ(S_OK, command->Execute(nullptr, IID_IRowset, nullptr, nullptr, before.OutUnknown()));
    // The session writes to the table it is listing, then the command runs again.
    ASSERT_EQ(S_OK, Run(session_.Get(), L"INSERT INTO Patient (Name) VALUES ('Abramov')"));
    Ptr<IRowset> after;
    ASSERT_EQ(S_OK, command->Execute(nullptr, IID_IRowset, nullptr, nullptr, after.OutUnknown()));
    EXPECT_EQ(3u, ReadAll(before.Get()).size()) << "the earlier result keeps its rows";
    std::vector<Row> rows = ReadAll(after.Get());
    ASSERT_EQ(4u, rows.size());
    EXPECT_EQ(L"Abramov", rows[0][0]);
}

TEST_F(CommandTest, DdlRunsWhileARowsetIsOpen)
{
    Ptr<ICommandText> command = NewCommand(session_.Get(), L"SELECT Name FROM Patient");
    Ptr<IRowset> rowset;
    ASSERT_EQ(S_OK, command->Execute(nullptr, IID_IRowset, nullptr, nullptr, rowset.OutUnknown()));
    EXPECT_EQ(S_OK, Run(session_.Get(), L"CREATE TABLE Scratch (Id int)"));
    EXPECT_EQ(S_OK, Run(session_.Get(), L"DROP TABLE Scratch"));
    EXPECT_EQ(3u, ReadAll(rowset.Get()).size());
}

TEST_F(CommandTest, MissingParameterValueIsRefused)
{
    Ptr<ICommandText> command = NewCommand(session_.Get(), L"SELECT Name FROM Patient WHERE Pol = ? AND Name = ?");
    Buffer p;
    size_t i = p.Add(1, DBTYPE_I4, 4);
    p.Layout();
    p.Set(i, 1);
    Ptr<IRowset> rowset;
    EXPECT_TRUE(FAILED(ExecuteWith(command.Get(), p, nullptr, IID_IRowset, rowset.OutUnknown())));
    EXPECT_EQ(L"07002", TakeError().sqlState);
}

TEST_F(CommandTest, MoreThanOneStatementIsRefused)
{
    EXPECT_TRUE(FAILED(Run(session_.Get(), L"DELETE FROM Snimok; DELETE FROM Patient")));
    EXPECT_EQ(L"42000", TakeError().sqlState);
    EXPECT_EQ(3u, Query(session_.Get(), L"SELECT * FROM Patient").size()) << "nothing ran";
}

struct ParamDesc {
    DBTYPE type;
    DBLENGTH size;
};

std::vector<ParamDesc> Describe(ICommandText* command)
{
    Ptr<ICommandPrepare> prepare;
    command->QueryInterface(IID_ICommandPrepare, prepare.OutVoid());
    EXPECT_EQ(S_OK, prepare->Prepare(0));
    Ptr<ICommandWithParameters> params;
    command->QueryInterface(IID_ICommandWithParameters, params.OutVoid());
    DB_UPARAMS count = 0;
    DBPARAMINFO* info = nullptr;
    OLECHAR* names = nullptr;
    std::vector<ParamDesc> out;
    HRESULT hr = params->GetParameterInfo(&count, &info, &names);
    EXPECT_EQ(S_OK, hr);
    for (DB_UPARAMS i = 0; i < count; ++i) {
        EXPECT_EQ(i + 1, info[i].iOrdinal);
        EXPECT_TRUE(info[i].dwFlags & DBPARAMFLAGS_ISINPUT);
        out.push_back({info[i].wType, info[i].ulParamSize});
    }
    CoTaskMemFree(info);
    CoTaskMemFree(names);
    return out;
}

TEST_F(CommandTest, ParameterInfoOfASelect)
{
    Ptr<ICommandText> command = NewCommand(
        session_.Get(), L"SELECT s.Snimok FROM Snimok s JOIN Patient p ON p.Patient = s.Patient "
                        L"WHERE p.Name LIKE ? AND s.Printed = ? AND ? < p.Birthday AND p.Pol IN (?, ?)");
    std::vector<ParamDesc> d = Describe(command.Get());
    ASSERT_EQ(5u, d.size());
    EXPECT_EQ(DBTYPE_WSTR, d[0].type);
    EXPECT_EQ(32u, d[0].size);
    EXPECT_EQ(DBTYPE_BOOL, d[1].type);
    EXPECT_EQ(DBTYPE_DBTIMESTAMP, d[2].type);
    EXPECT_EQ(DBTYPE_I4, d[3].type);
    EXPECT_EQ(DBTYPE_I4, d[4].type);
}

TEST_F(CommandTest, ParameterInfoOfAnUpdateReportsARealColumnAsR4)
{
    Ptr<ICommandText> command =
        NewCommand(session_.Get(), L"UPDATE [Snimok] SET [Scale] = ?, Apicriz = ?, Printed = ? WHERE [Snimok] = ?");
    std::vector<ParamDesc> d = Describe(command.Get());
    ASSERT_EQ(4u, d.size());
    EXPECT_EQ(DBTYPE_R4, d[0].type);
    EXPECT_EQ(4u, d[0].size);
    EXPECT_EQ(DBTYPE_WSTR, d[1].type) << "ntext";
    EXPECT_EQ(DBTYPE_BOOL, d[2].type);
    EXPECT_EQ(DBTYPE_I4, d[3].type);
}

TEST_F(CommandTest, ParameterInfoOfAnInsertFollowsTheColumnList)
{
    Ptr<ICommandText> command =
        NewCommand(session_.Get(), L"INSERT INTO Patient (Weight, Name, Height) VALUES (?, ?, ?)");
    std::vector<ParamDesc> d = Describe(command.Get());
    ASSERT_EQ(3u, d.size());
    EXPECT_EQ(DBTYPE_R4, d[0].type);
    EXPECT_EQ(DBTYPE_WSTR, d[1].type);
    EXPECT_EQ(DBTYPE_R8, d[2].type);
}

TEST_F(CommandTest, ParameterWithNoColumnHasNoType)
{
    Ptr<ICommandText> command = NewCommand(session_.Get(), L"SELECT Name FROM Patient WHERE Pol + ? > 2");
    Ptr<ICommandWithParameters> params;
    command->QueryInterface(IID_ICommandWithParameters, params.OutVoid());
    DB_UPARAMS count = 0;
    DBPARAMINFO* info = nullptr;
    OLECHAR* names = nullptr;
    EXPECT_EQ(DB_E_PARAMUNAVAILABLE, params->GetParameterInfo(&count, &info, &names));
    EXPECT_EQ(0u, count);
    EXPECT_TRUE(TakeError().present);
}

TEST_F(CommandTest, CommandTextRoundTrips)
{
    Ptr<ICommandText> command = NewCommand(session_.Get(), nullptr);
    LPOLESTR text = nullptr;
    GUID dialect;
    EXPECT_EQ(DB_E_NOCOMMAND, command->GetCommandText(&dialect, &text));
    ASSERT_EQ(S_OK, command->SetCommandText(DBGUID_DEFAULT, L"SELECT 1"));
    ASSERT_EQ(S_OK, command->GetCommandText(&dialect, &text));
    EXPECT_STREQ(L"SELECT 1", text);
    CoTaskMemFree(text);
    EXPECT_EQ(DB_E_NOCOMMAND, [&] {
        command->SetCommandText(DBGUID_DEFAULT, nullptr);
        return command->Execute(nullptr, IID_NULL, nullptr, nullptr, nullptr);
    }());
}

}  // namespace
}  // namespace zt
