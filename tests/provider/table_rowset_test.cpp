// Table rowsets: opened with the six required properties, inserting rows
// whose identity key the database fills and reading them back.
#include "provider/harness.h"

namespace zt {
namespace {

const char kSchema[] =
    "CREATE TABLE Patient (Patient INTEGER PRIMARY KEY AUTOINCREMENT, Name nvarchar(32) NOT NULL,"
    " Pol int DEFAULT 0, Birthday datetime);"
    "INSERT INTO Patient (Name) VALUES ('Ivanov');";

class TableRowsetTest : public ProviderTest {
protected:
    void SetUp() override
    {
        ProviderTest::SetUp();
        MakeDatabase(kSchema);
        OpenSession();
        ASSERT_TRUE(session_);
    }

    // Opens `table` for change the way the database layer does.
    HRESULT OpenForChange(const wchar_t* table, Ptr<IRowset>& rowset)
    {
        DBPROP props[6] = {};
        const DBPROPID ids[6] = {DBPROP_SERVERCURSOR, DBPROP_SERVERDATAONINSERT, DBPROP_OWNUPDATEDELETE,
                                 DBPROP_OWNINSERT, DBPROP_IRowsetChange, DBPROP_UPDATABILITY};
        for (int i = 0; i < 6; ++i) {
            props[i].dwPropertyID = ids[i];
            props[i].dwOptions = DBPROPOPTIONS_REQUIRED;
            props[i].colid = DB_NULLID;
            V_VT(&props[i].vValue) = VT_BOOL;
            V_BOOL(&props[i].vValue) = VARIANT_TRUE;
        }
        V_VT(&props[5].vValue) = VT_I4;
        V_I4(&props[5].vValue) = 7;
        DBPROPSET set = {props, 6, DBPROPSET_ROWSET};
        DBID id = {};
        id.eKind = DBKIND_NAME;
        id.uName.pwszName = const_cast<wchar_t*>(table);
        Ptr<IOpenRowset> opener = session_.As<IOpenRowset>(IID_IOpenRowset);
        return opener->OpenRowset(nullptr, &id, nullptr, IID_IRowset, 1, &set, rowset.OutUnknown());
    }

    // Binds {Patient, Name, Pol} of the table rowset.
    void BindRow(Buffer& row)
    {
        row.Add(1, DBTYPE_I4, 4);
        row.Add(2, DBTYPE_WSTR, 66, true);
        row.Add(3, DBTYPE_I4, 4);
        row.Add(4, DBTYPE_FILETIME, 8);
        row.Layout();
    }
};

TEST_F(TableRowsetTest, OpensWithTheRequiredPropertiesAndReadsNothing)
{
    Ptr<IRowset> rowset;
    ASSERT_EQ(S_OK, OpenForChange(L"Patient", rowset));
    EXPECT_TRUE(rowset.As<IRowsetChange>(IID_IRowsetChange));
    Ptr<IRowsetInfo> info = rowset.As<IRowsetInfo>(IID_IRowsetInfo);
    DBPROPID id = DBPROP_UPDATABILITY;
    DBPROPIDSET ids = {&id, 1, DBPROPSET_ROWSET};
    ULONG count = 0;
    DBPROPSET* sets = nullptr;
    ASSERT_EQ(S_OK, info->GetProperties(1, &ids, &count, &sets));
    EXPECT_EQ(7, V_I4(&sets[0].rgProperties[0].vValue));
    CoTaskMemFree(sets[0].rgProperties);
    CoTaskMemFree(sets);
    // Another session may write while the table rowset is open.
    Ptr<IDBCreateCommand> other = NewSession();
    EXPECT_EQ(S_OK, Run(other.Get(), L"INSERT INTO Patient (Name) VALUES ('Petrov')"));
    EXPECT_EQ(2u, ReadAll(rowset.Get()).size()) << "rows are fetched when asked for";
}

TEST_F(TableRowsetTest, BracketedAndOwnerQualifiedNamesOpen)
{
    Ptr<IRowset> rowset;
    EXPECT_EQ(S_OK, OpenForChange(L"[dbo].[Patient]", rowset));
    EXPECT_EQ(S_OK, OpenForChange(L"patient", rowset));
}

TEST_F(TableRowsetTest, UnknownTableFailsWith42S02)
{
    Ptr<IRowset> rowset;
    EXPECT_EQ(DB_E_NOTABLE, OpenForChange(L"Nothing", rowset));
    EXPECT_EQ(L"42S02", TakeError().sqlState);
}

TEST_F(TableRowsetTest, InsertRowWithDefaultIdentityReadsTheKeyBack)
{
    Ptr<IRowset> rowset;
    ASSERT_EQ(S_OK, OpenForChange(L"Patient", rowset));
    Buffer row;
    BindRow(row);
    HACCESSOR all = row.MakeAccessor(rowset.Get(), DBACCESSOR_ROWDATA);
    Buffer key;
    key.Add(1, DBTYPE_I4, 4);
    key.Layout();
    HACCESSOR keyOnly = key.MakeAccessor(rowset.Get(), DBACCESSOR_ROWDATA);

    row.SetStatus(0, DBSTATUS_S_DEFAULT);
    row.SetText(1, L"Smirnova");
    row.SetStatus(2, DBSTATUS_S_IGNORE);
    row.Set(3, MakeFileTime(1981, 12, 31, 0, 0, 0));
    Ptr<IRowsetChange> change = rowset.As<IRowsetChange>(IID_IRowsetChange);
    HROW inserted = 0;
    ASSERT_EQ(S_OK, change->InsertRow(DB_NULL_HCHAPTER, all, row.Data(), &inserted));
    ASSERT_NE(0u, inserted);
    ASSERT_EQ(S_OK, rowset->GetData(inserted, keyOnly, key.Data()));
    EXPECT_EQ(2, key.Get<int>(0)) << "the database filled the key";
    ASSERT_EQ(S_OK, rowset->GetData(inserted, all, row.Data()));
    EXPECT_EQ(0, row.Get<int>(2)) << "an ignored column takes its default";
    rowset->ReleaseRows(1, &inserted, nullptr, nullptr, nullptr);

    // A second insert gets the next key; NULL is written for ISNULL.
    row.SetStatus(0, DBSTATUS_S_DEFAULT);
    row.SetText(1, L"Orlov");
    row.SetStatus(3, DBSTATUS_S_ISNULL);
    ASSERT_EQ(S_OK, change->InsertRow(DB_NULL_HCHAPTER, all, row.Data(), &inserted));
    ASSERT_EQ(S_OK, rowset->GetData(inserted, keyOnly, key.Data()));
    EXPECT_EQ(3, key.Get<int>(0));
    std::vector<Row> rows = Query(session_.Get(), L"SELECT Name, Birthday FROM Patient ORDER BY Patient");
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ((Row{L"Smirnova", L"1981-12-31 00:00:00.000"}), rows[1]);
    EXPECT_EQ((Row{L"Orlov", L"<null>"}), rows[2]);
}

TEST_F(TableRowsetTest, ExplicitIdentityValueIsAnIntegrityViolation)
{
    Ptr<IRowset> rowset;
    ASSERT_EQ(S_OK, OpenForChange(L"Patient", rowset));
    Buffer row;
    BindRow(row);
    HACCESSOR all = row.MakeAccessor(rowset.Get(), DBACCESSOR_ROWDATA);
    row.Set(0, 50);
    row.SetText(1, L"Explicit");
    row.SetStatus(2, DBSTATUS_S_DEFAULT);
    row.SetStatus(3, DBSTATUS_S_DEFAULT);
    Ptr<IRowsetChange> change = rowset.As<IRowsetChange>(IID_IRowsetChange);
    HROW inserted = 0;
    EXPECT_EQ(DB_E_INTEGRITYVIOLATION, change->InsertRow(DB_NULL_HCHAPTER, all, row.Data(), &inserted));
    EXPECT_EQ(0u, inserted);
    EXPECT_EQ(L"23000", TakeError().sqlState);
    EXPECT_EQ(1u, Query(session_.Get(), L"SELECT * FROM Patient").size());
}

TEST_F(TableRowsetTest, NotNullColumnLeftEmptyFailsWith23000)
{
    Ptr<IRowset> rowset;
    ASSERT_EQ(S_OK, OpenForChange(L"Patient", rowset));
    Buffer row;
    BindRow(row);
    HACCESSOR all = row.MakeAccessor(rowset.Get(), DBACCESSOR_ROWDATA);
    row.SetStatus(0, DBSTATUS_S_DEFAULT);
    row.SetStatus(1, DBSTATUS_S_ISNULL);
    row.SetStatus(2, DBSTATUS_S_DEFAULT);
    row.SetStatus(3, DBSTATUS_S_DEFAULT);
    Ptr<IRowsetChange> change = rowset.As<IRowsetChange>(IID_IRowsetChange);
    HROW inserted = 0;
    EXPECT_EQ(DB_E_INTEGRITYVIOLATION, change->InsertRow(DB_NULL_HCHAPTER, all, row.Data(), &inserted));
    PostedError error = TakeError();
    EXPECT_EQ(L"23000", error.sqlState);
    EXPECT_EQ(515, error.nativeError);
    EXPECT_NE(std::wstring::npos, error.description.find(L"Name"));
}

TEST_F(TableRowsetTest, TooLongTextInAnInsertedRowIs22001)
{
    Ptr<IRowset> rowset;
    ASSERT_EQ(S_OK, OpenForChange(L"Patient", rowset));
    Buffer row;
    BindRow(row);
    HACCESSOR all = row.MakeAccessor(rowset.Get(), DBACCESSOR_ROWDATA);
    row.SetStatus(0, DBSTATUS_S_DEFAULT);
    row.SetText(1, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefgh");  // 34 characters for nvarchar(32)
    row.SetStatus(2, DBSTATUS_S_DEFAULT);
    row.SetStatus(3, DBSTATUS_S_DEFAULT);
    Ptr<IRowsetChange> change = rowset.As<IRowsetChange>(IID_IRowsetChange);
    HROW inserted = 0;
    EXPECT_TRUE(FAILED(change->InsertRow(DB_NULL_HCHAPTER, all, row.Data(), &inserted)));
    EXPECT_EQ(L"22001", TakeError().sqlState);
    EXPECT_EQ(DBSTATUS_E_DATAOVERFLOW, row.Status(1));
}

TEST_F(TableRowsetTest, ReleasingTheRowOfAFailedInsertKeepsItsErrorObject)
{
    Ptr<IRowset> rowset;
    ASSERT_EQ(S_OK, OpenForChange(L"Patient", rowset));
    Buffer row;
    BindRow(row);
    HACCESSOR all = row.MakeAccessor(rowset.Get(), DBACCESSOR_ROWDATA);
    row.SetStatus(0, DBSTATUS_S_DEFAULT);
    row.SetStatus(1, DBSTATUS_S_ISNULL);
    row.SetStatus(2, DBSTATUS_S_DEFAULT);
    row.SetStatus(3, DBSTATUS_S_DEFAULT);
    Ptr<IRowsetChange> change = rowset.As<IRowsetChange>(IID_IRowsetChange);
    HROW inserted = 0;
    ASSERT_TRUE(FAILED(change->InsertRow(DB_NULL_HCHAPTER, all, row.Data(), &inserted)));
    EXPECT_EQ(S_OK, rowset->ReleaseRows(0, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(L"23000", TakeError().sqlState);
}

TEST_F(TableRowsetTest, QueryRowsetsRefuseChange)
{
    Ptr<ICommandText> command = NewCommand(session_.Get(), L"SELECT * FROM Patient");
    Ptr<IRowsetChange> change;
    EXPECT_EQ(E_NOINTERFACE, command->Execute(nullptr, IID_IRowsetChange, nullptr, nullptr, change.OutUnknown()));
}

}  // namespace
}  // namespace zt
