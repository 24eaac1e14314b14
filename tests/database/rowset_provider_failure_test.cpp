// Rowsets whose provider does what the SQLite provider never does: a row
// fetch that fails with records of its own, and date columns described as
// DBTYPE_DATE. The provider's real rowset sits behind a thin stand-in that
// changes only those two answers.
#include "db_fixture.h"
#include "test_error_object.h"

namespace {

const char kSchema[] =
    "CREATE TABLE Snimok (Snimok integer PRIMARY KEY AUTOINCREMENT, Made datetime, Title nvarchar(20));"
    "INSERT INTO Snimok (Made, Title) VALUES ('2004-03-01 10:20:30', 'Chest');"
    "INSERT INTO Snimok (Made, Title) VALUES ('2005-06-07 08:09:10', 'Hand');";

bool Same(REFIID a, const IID& b)
{
    return memcmp(&a, &b, sizeof(IID)) == 0;
}

// IRowset and IColumnsInfo of its own over a real rowset; every other
// interface asked for is the real rowset's.
class StandInRowset : public IRowset, public IColumnsInfo
{
public:
    StandInRowset(IRowset* real, bool failFetch) : real(real), failFetch(failFetch)
    {
        real->QueryInterface(IID_IColumnsInfo, reinterpret_cast<void**>(&realColumns));
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override
    {
        *out = nullptr;
        if (Same(riid, IID_IUnknown) || Same(riid, IID_IRowset))
            *out = static_cast<IRowset*>(this);
        else if (Same(riid, IID_IColumnsInfo))
            *out = static_cast<IColumnsInfo*>(this);
        else
            return real->QueryInterface(riid, out);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&count); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG left = InterlockedDecrement(&count);
        if (left == 0) {
            realColumns->Release();
            real->Release();
            delete this;
        }
        return left;
    }

    // IRowset
    STDMETHODIMP AddRefRows(DBCOUNTITEM n, const HROW rows[], DBREFCOUNT refs[], DBROWSTATUS status[]) override
    {
        return real->AddRefRows(n, rows, refs, status);
    }
    STDMETHODIMP GetData(HROW row, HACCESSOR accessor, void* data) override
    {
        return real->GetData(row, accessor, data);
    }
    STDMETHODIMP GetNextRows(HCHAPTER chapter, DBROWOFFSET offset, DBROWCOUNT n, DBCOUNTITEM* obtained,
                             HROW** rows) override
    {
        if (!failFetch)
            return real->GetNextRows(chapter, offset, n, obtained, rows);
        *obtained = 0;
        PostTestProviderError({{E_FAIL, L"08S01", L"The connection to the server was lost.", L"Stand-in"}});
        return E_FAIL;
    }
    STDMETHODIMP ReleaseRows(DBCOUNTITEM n, const HROW rows[], DBROWOPTIONS options[], DBREFCOUNT refs[],
                             DBROWSTATUS status[]) override
    {
        return real->ReleaseRows(n, rows, options, refs, status);
    }
    STDMETHODIMP RestartPosition(HCHAPTER chapter) override { return real->RestartPosition(chapter); }

    // IColumnsInfo: datetime columns described as DBTYPE_DATE.
    STDMETHODIMP GetColumnInfo(DBORDINAL* n, DBCOLUMNINFO** info, OLECHAR** strings) override
    {
        HRESULT hr = realColumns->GetColumnInfo(n, info, strings);
        if (SUCCEEDED(hr)) {
            for (DBORDINAL i = 0; i < *n; ++i) {
                if ((*info)[i].wType == DBTYPE_DBTIMESTAMP) {
                    (*info)[i].wType = DBTYPE_DATE;
                    (*info)[i].ulColumnSize = sizeof(DATE);
                }
            }
        }
        return hr;
    }
    STDMETHODIMP MapColumnIDs(DBORDINAL n, const DBID ids[], DBORDINAL columns[]) override
    {
        return realColumns->MapColumnIDs(n, ids, columns);
    }

private:
    virtual ~StandInRowset() {}

    volatile LONG count = 1;
    IRowset* real;                        // one reference
    IColumnsInfo* realColumns = nullptr;  // one reference
    bool failFetch;
};

class ProviderRowsetTest : public DbTest
{
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        MakeDatabase(kSchema);
    }
    void TearDown() override
    {
        ReleaseRaw();
        DbTest::TearDown();
    }

    // A DODBRowset on the stand-in over the provider's rowset of the query,
    // reached through OLE DB alone.
    DODBPtr<DODBRowset> StandIn(const wchar_t* sql, bool failFetch)
    {
        DODBPtr<DODBRowset> rows;
        IDataInitialize* service = nullptr;
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_MSDAINITIALIZE, nullptr, CLSCTX_INPROC_SERVER, IID_IDataInitialize,
                                         reinterpret_cast<void**>(&service)));
        if (service == nullptr)
            return rows;
        std::wstring init = InitString();
        service->GetDataSource(nullptr, CLSCTX_INPROC_SERVER, &init[0], IID_IDBInitialize,
                               reinterpret_cast<IUnknown**>(&initialize));
        service->Release();
        if (initialize == nullptr || FAILED(initialize->Initialize()))
            return rows;
        IDBCreateSession* sessions = nullptr;
        initialize->QueryInterface(IID_IDBCreateSession, reinterpret_cast<void**>(&sessions));
        sessions->CreateSession(nullptr, IID_IDBCreateCommand, reinterpret_cast<IUnknown**>(&commands));
        sessions->Release();
        ICommandText* command = nullptr;
        commands->CreateCommand(nullptr, IID_ICommandText, reinterpret_cast<IUnknown**>(&command));
        command->SetCommandText(DBGUID_DEFAULT, sql);
        IRowset* real = nullptr;
        HRESULT hr = command->Execute(nullptr, IID_IRowset, nullptr, nullptr, reinterpret_cast<IUnknown**>(&real));
        command->Release();
        EXPECT_EQ(S_OK, hr);
        if (real != nullptr)
            rows.Attach(DODBCreate<DODBRowset>(static_cast<IRowset*>(new StandInRowset(real, failFetch))));
        return rows;
    }

private:
    void ReleaseRaw()
    {
        if (commands != nullptr)
            commands->Release();
        commands = nullptr;
        if (initialize != nullptr)
            initialize->Release();
        initialize = nullptr;
    }

    IDBInitialize* initialize = nullptr;
    IDBCreateCommand* commands = nullptr;
};

// A failed fetch reports "Row getting error." first, and the provider's own
// records (their texts and SQLSTATEs) after it.
TEST_F(ProviderRowsetTest, AFailedFetchKeepsTheProvidersRecords)
{
    DODBPtr<DODBRowset> rows = StandIn(L"SELECT Snimok, Title FROM Snimok", true);
    ASSERT_TRUE(rows.IsSet());
    ASSERT_FALSE(rows->IsEmpty());
    DODBPtr<DODBParams> row = rows->CreateParams();
    ASSERT_TRUE(row.IsSet()) << TakeErrorText();
    EXPECT_FALSE(rows->GetNextData(row.Get()));
    EXPECT_FALSE(rows->IsEndOfRowset());
    EXPECT_EQ(E_FAIL, rows->GetResult());
    DODBErrors e(rows->GetResult(), TRUE);
    EXPECT_TRUE(e.FindSQLState(L"08S01")) << TextOf(e);
    EXPECT_TRUE(Has(TextOf(e), L"The connection to the server was lost.")) << TextOf(e);
    ASSERT_GE(e.RecordCount(), 2u);
    EXPECT_EQ(E_FAIL, e.RecordHResult(0));
    IErrorInfo* first = e.RecordErrorInfo(0);
    ASSERT_NE(nullptr, first);
    BSTR description = nullptr;
    ASSERT_EQ(S_OK, first->GetDescription(&description));
    EXPECT_STREQ(L"Row getting error.", description);
    SysFreeString(description);
    first->Release();
    EXPECT_LT(TextOf(e).find(L"Row getting error."), TextOf(e).find(L"The connection to the server was lost."))
        << TextOf(e);
    wchar_t state[6] = {};
    EXPECT_EQ(0, e.GetSQLState(0, state));
    EXPECT_EQ(5, e.GetSQLState(1, state));
    EXPECT_STREQ(L"08S01", state);
}

TEST_F(ProviderRowsetTest, AFetchThatWorksStillEndsWithoutAnError)
{
    DODBPtr<DODBRowset> rows = StandIn(L"SELECT Snimok FROM Snimok WHERE Snimok = 2", false);
    ASSERT_TRUE(rows.IsSet());
    DODBPtr<DODBParams> row = rows->CreateParams();
    ASSERT_TRUE(row.IsSet()) << TakeErrorText();
    ASSERT_TRUE(rows->GetNextData(row.Get())) << TakeErrorText();
    EXPECT_EQ(2, row->GetInt(0));
    EXPECT_FALSE(rows->GetNextData(row.Get()));
    EXPECT_TRUE(rows->IsEndOfRowset());
    EXPECT_FALSE(DODBErrorPending());
}

TEST_F(ProviderRowsetTest, DateColumnsBindAsFileTimeInBothBlockForms)
{
    DODBPtr<DODBRowset> rows = StandIn(L"SELECT Snimok, Made, Title FROM Snimok ORDER BY Snimok", false);
    ASSERT_TRUE(rows.IsSet());
    DODBPtr<DODBParams> all = rows->CreateParams();
    ASSERT_TRUE(all.IsSet()) << TakeErrorText();
    EXPECT_EQ(DBTYPE_FILETIME, all->GetWType(1));
    EXPECT_EQ(8u, all->GetMaxLen(1));
    const wchar_t* names[] = {L"made", L"TITLE"};
    DODBPtr<DODBParams> named;
    ASSERT_EQ(S_OK, rows->CreateParams(2, names, named)) << TakeErrorText();
    EXPECT_EQ(DBTYPE_FILETIME, named->GetWType(0));
    EXPECT_EQ(8u, named->GetMaxLen(0));

    // Both blocks read the date.
    ASSERT_TRUE(rows->GetNextData(all.Get())) << TakeErrorText();
    SYSTEMTIME st = {};
    ASSERT_TRUE(FileTimeToSystemTime(all->GetDatePtr(1), &st));
    EXPECT_EQ(2004, st.wYear);
    EXPECT_EQ(30, st.wSecond);
    ASSERT_TRUE(rows->GetNextData(named.Get())) << TakeErrorText();
    ASSERT_TRUE(FileTimeToSystemTime(named->GetDatePtr(0), &st));
    EXPECT_EQ(2005, st.wYear);
    EXPECT_EQ(6, st.wMonth);
    EXPECT_STREQ(L"Hand", named->GetWStrPtr(1));
}

}  // namespace
