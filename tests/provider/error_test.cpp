// Error objects: every failure posts records with IErrorInfo and
// IErrorRecords, each with a SQLSTATE and a native error through
// ISQLErrorInfo, and a sentence a user can act on.
#include "provider/harness.h"

namespace zt {
namespace {

const char kSchema[] =
    "CREATE TABLE Patient (Patient INTEGER PRIMARY KEY AUTOINCREMENT, Name nvarchar(32) NOT NULL,"
    " Birthday datetime, CONSTRAINT UQ_Name UNIQUE (Name));"
    "CREATE TABLE Snimok (Snimok INTEGER PRIMARY KEY AUTOINCREMENT,"
    " Patient int NOT NULL REFERENCES Patient(Patient));"
    "INSERT INTO Patient (Name) VALUES ('Ivanov');"
    "INSERT INTO Snimok (Patient) VALUES (1);";

class ErrorTest : public ProviderTest {
protected:
    void SetUp() override
    {
        ProviderTest::SetUp();
        MakeDatabase(kSchema);
        OpenSession();
        ASSERT_TRUE(session_);
    }
};

TEST_F(ErrorTest, DuplicateKeyIs23000)
{
    Ptr<ICommandText> command = NewCommand(session_.Get(), L"INSERT INTO Patient (Name) VALUES (?)");
    Buffer p;
    size_t n = p.Add(1, DBTYPE_WSTR, 64, true);
    p.Layout();
    p.SetText(n, L"Ivanov");
    EXPECT_EQ(DB_E_INTEGRITYVIOLATION, ExecuteWith(command.Get(), p, nullptr, IID_NULL, nullptr));
    PostedError error = TakeError();
    ASSERT_TRUE(error.present);
    EXPECT_GE(error.records, 1u);
    EXPECT_EQ(L"23000", error.sqlState);
    EXPECT_EQ(2627, error.nativeError);
    EXPECT_EQ(DB_E_INTEGRITYVIOLATION, error.recordResult);
    EXPECT_NE(std::wstring::npos, error.description.find(L"Patient")) << "names the table";
    EXPECT_NE(std::wstring::npos, error.description.find(L"Name")) << "names the column";
}

TEST_F(ErrorTest, DeletingAReferencedRowIs23000)
{
    DBROWCOUNT affected = 7;
    EXPECT_EQ(DB_E_INTEGRITYVIOLATION, Run(session_.Get(), L"DELETE FROM Patient WHERE Patient = 1", &affected));
    PostedError error = TakeError();
    EXPECT_EQ(L"23000", error.sqlState);
    EXPECT_EQ(547, error.nativeError);
    EXPECT_EQ(1u, Query(session_.Get(), L"SELECT * FROM Patient").size());
}

TEST_F(ErrorTest, OverLongTextIs22001)
{
    Ptr<ICommandText> command = NewCommand(session_.Get(), L"UPDATE Patient SET Name = ? WHERE Patient = 1");
    Buffer p;
    size_t n = p.Add(1, DBTYPE_WSTR, 128, true);
    p.Layout();
    p.SetText(n, L"A name of more than thirty-two characters");
    EXPECT_TRUE(FAILED(ExecuteWith(command.Get(), p, nullptr, IID_NULL, nullptr)));
    PostedError error = TakeError();
    EXPECT_EQ(L"22001", error.sqlState);
    EXPECT_EQ(8152, error.nativeError);
    EXPECT_EQ((Row{L"Ivanov"}), Query(session_.Get(), L"SELECT Name FROM Patient").at(0));
}

TEST_F(ErrorTest, ASearchLongerThanTheColumnIsNoError)
{
    Ptr<ICommandText> command = NewCommand(session_.Get(), L"SELECT Name FROM Patient WHERE Name LIKE ?");
    Buffer p;
    size_t n = p.Add(1, DBTYPE_WSTR, 128, true);
    p.Layout();
    p.SetText(n, L"%a pattern of more than thirty-two characters%");
    Ptr<IRowset> rowset;
    EXPECT_EQ(S_OK, ExecuteWith(command.Get(), p, nullptr, IID_IRowset, rowset.OutUnknown()));
    EXPECT_TRUE(ReadAll(rowset.Get()).empty());
}

TEST_F(ErrorTest, OverLongTextInAnInsertIs22001)
{
    Ptr<ICommandText> command = NewCommand(session_.Get(), L"INSERT INTO Patient (Name) VALUES (?)");
    Buffer p;
    size_t n = p.Add(1, DBTYPE_WSTR, 128, true);
    p.Layout();
    p.SetText(n, L"A name of more than thirty-two characters");
    EXPECT_TRUE(FAILED(ExecuteWith(command.Get(), p, nullptr, IID_NULL, nullptr)));
    EXPECT_EQ(L"22001", TakeError().sqlState);
}

TEST_F(ErrorTest, DateOutsideTheKeptRangeIs22008)
{
    Ptr<ICommandText> command = NewCommand(session_.Get(), L"UPDATE Patient SET Birthday = ? WHERE Patient = 1");
    Buffer p;
    size_t d = p.Add(1, DBTYPE_FILETIME, 8);
    p.Layout();
    p.Set(d, MakeFileTime(1700, 1, 1, 0, 0, 0));
    EXPECT_TRUE(FAILED(ExecuteWith(command.Get(), p, nullptr, IID_NULL, nullptr)));
    EXPECT_EQ(L"22008", TakeError().sqlState);
}

TEST_F(ErrorTest, UnknownTableAndColumnAndSyntax)
{
    EXPECT_TRUE(FAILED(Run(session_.Get(), L"SELECT * FROM Missing")));
    EXPECT_EQ(L"42S02", TakeError().sqlState);
    EXPECT_TRUE(FAILED(Run(session_.Get(), L"SELECT Missing FROM Patient")));
    EXPECT_EQ(L"42S22", TakeError().sqlState);
    EXPECT_TRUE(FAILED(Run(session_.Get(), L"SELEKT * FROM Patient")));
    EXPECT_EQ(L"42000", TakeError().sqlState);
}

TEST_F(ErrorTest, RecordsDescribeTheFailureAndItsDetail)
{
    EXPECT_TRUE(FAILED(Run(session_.Get(), L"SELECT * FROM Missing")));
    IErrorInfo* info = nullptr;
    ASSERT_EQ(S_OK, GetErrorInfo(0, &info));
    BSTR description = nullptr;
    EXPECT_EQ(S_OK, info->GetDescription(&description));
    EXPECT_STREQ(L"The table \"Missing\" does not exist in the database.", description);
    SysFreeString(description);
    Ptr<IErrorRecords> records;
    ASSERT_EQ(S_OK, info->QueryInterface(IID_IErrorRecords, records.OutVoid()));
    info->Release();
    ULONG count = 0;
    records->GetRecordCount(&count);
    ASSERT_EQ(2u, count) << "the sentence and the technical detail";
    Ptr<IErrorInfo> detail;
    ASSERT_EQ(S_OK, records->GetErrorInfo(1, 0, detail.Out()));
    BSTR text = nullptr;
    detail->GetDescription(&text);
    std::wstring detailText = text;
    SysFreeString(text);
    EXPECT_NE(std::wstring::npos, detailText.find(L"sqlite3_prepare16_v3")) << "names the call";
    EXPECT_NE(std::wstring::npos, detailText.find(L"SELECT * FROM Missing")) << "names the statement";
    ERRORINFO basic = {};
    EXPECT_EQ(DB_E_BADRECORDNUM, records->GetBasicErrorInfo(2, &basic));
}

TEST_F(ErrorTest, SuccessClearsAnEarlierErrorObject)
{
    EXPECT_TRUE(FAILED(Run(session_.Get(), L"SELECT * FROM Missing")));
    Ptr<ICommandText> command = NewCommand(session_.Get(), L"SELECT * FROM Patient");
    Ptr<IRowset> rowset;
    EXPECT_EQ(S_OK, command->Execute(nullptr, IID_IRowset, nullptr, nullptr, rowset.OutUnknown()));
    EXPECT_FALSE(TakeError().present);
}

TEST_F(ErrorTest, ObjectsSayTheySupportErrorInfo)
{
    Ptr<ISupportErrorInfo> support = session_.As<ISupportErrorInfo>(IID_ISupportErrorInfo);
    EXPECT_EQ(S_OK, support->InterfaceSupportsErrorInfo(IID_ITransactionLocal));
    Ptr<ICommandText> command = NewCommand(session_.Get(), L"SELECT 1");
    Ptr<ISupportErrorInfo> commandSupport = command.As<ISupportErrorInfo>(IID_ISupportErrorInfo);
    ASSERT_TRUE(commandSupport);
    EXPECT_EQ(S_OK, commandSupport->InterfaceSupportsErrorInfo(IID_ICommand));
}

}  // namespace
}  // namespace zt

namespace zt {
namespace {

// What the provider does not support is refused by name, never with a
// syntax error pointing elsewhere or with SQLite's own hints in the text.
TEST_F(ErrorTest, UnsupportedConstructsAreNamedInTheMessage)
{
    struct Case {
        const wchar_t* statement;
        const wchar_t* sqlState;
        const wchar_t* message;  // the sentence begins with it
    };
    const Case cases[] = {
        {L"SELECT CAST(Patient AS nvarchar(10)) FROM Patient", L"42000", L"CAST is not supported"},
        {L"SELECT Name FROM Patient WHERE CAST(Birthday AS date) = '20000101'", L"42000", L"CAST is not supported"},
        {L"SELECT CONVERT(nvarchar(10), Patient) FROM Patient", L"42000", L"CONVERT is not supported"},
        {L"SELECT CONVERT(varchar, Birthday, 104) FROM Patient", L"42000", L"CONVERT is not supported"},
        {L"SELECT TRY_CAST(Name AS int) FROM Patient", L"42000", L"TRY_CAST is not supported"},
        {L"SELECT @@IDENTITY", L"42000", L"@@IDENTITY is not supported"},
        {L"SELECT @@identity", L"42000", L"@@IDENTITY is not supported"},
        {L"SELECT Name FROM Patient WHERE Patient = @id", L"42000", L"Variables such as @id are not supported"},
        {L"SELECT SCOPE_IDENTITY()", L"42000", L"The function SCOPE_IDENTITY is not supported"},
        {L"SELECT CASE WHEN Patient = 1 THEN 'a' END FROM Patient", L"42000", L"CASE expressions are not supported"},
        {L"SELECT NoSuchColumn FROM Patient", L"42S22", L"The column \"NoSuchColumn\" does not exist."},
    };
    for (const Case& c : cases) {
        Ptr<ICommandText> command = NewCommand(session_.Get(), c.statement);
        Ptr<IRowset> rowset;
        EXPECT_TRUE(FAILED(command->Execute(nullptr, IID_IRowset, nullptr, nullptr, rowset.OutUnknown())))
            << testing::PrintToString(std::wstring(c.statement));
        PostedError error = TakeError();
        EXPECT_EQ(std::wstring(c.sqlState), error.sqlState) << testing::PrintToString(std::wstring(c.statement));
        EXPECT_EQ(0u, error.description.find(c.message))
            << testing::PrintToString(std::wstring(c.statement)) << " " << testing::PrintToString(error.description);
        EXPECT_EQ(std::wstring::npos, error.description.find(L"should this be"))
            << testing::PrintToString(error.description);
    }
}

}  // namespace
}  // namespace zt
