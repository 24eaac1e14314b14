// Local transactions, several sessions on one data source, and a session
// shared with another thread.
#include "provider/harness.h"

#include <thread>

namespace zt {
namespace {

const char kSchema[] =
    "CREATE TABLE Patient (Patient INTEGER PRIMARY KEY AUTOINCREMENT, Name nvarchar(32) NOT NULL UNIQUE);"
    "INSERT INTO Patient (Name) VALUES ('Ivanov');";

class TransactionTest : public ProviderTest {
protected:
    void SetUp() override
    {
        ProviderTest::SetUp();
        MakeDatabase(kSchema);
        OpenSession();
        ASSERT_TRUE(session_);
        tx_ = session_.As<ITransactionLocal>(IID_ITransactionLocal);
        ASSERT_TRUE(tx_);
    }
    HRESULT Begin() { return tx_->StartTransaction(ISOLATIONLEVEL_READUNCOMMITTED, 0, nullptr, nullptr); }
    size_t Count(IDBCreateCommand* session) { return Query(session, L"SELECT Name FROM Patient").size(); }

    // Inserts one patient through a table rowset of the session.
    HRESULT InsertThroughRowset(const wchar_t* name)
    {
        DBID id = {};
        id.eKind = DBKIND_NAME;
        id.uName.pwszName = const_cast<wchar_t*>(L"Patient");
        Ptr<IOpenRowset> opener = session_.As<IOpenRowset>(IID_IOpenRowset);
        Ptr<IRowsetChange> change;
        HRESULT hr = opener->OpenRowset(nullptr, &id, nullptr, IID_IRowsetChange, 0, nullptr, change.OutUnknown());
        if (FAILED(hr))
            return hr;
        Buffer row;
        row.Add(1, DBTYPE_I4, 4);
        row.Add(2, DBTYPE_WSTR, 66, true);
        row.Layout();
        HACCESSOR accessor = row.MakeAccessor(change.Get(), DBACCESSOR_ROWDATA);
        row.SetStatus(0, DBSTATUS_S_DEFAULT);
        row.SetText(1, name);
        return change->InsertRow(DB_NULL_HCHAPTER, accessor, row.Data(), nullptr);
    }

    Ptr<ITransactionLocal> tx_;
};

TEST_F(TransactionTest, CommitKeepsACommandAndATableRowsetInsert)
{
    ULONG level = 0;
    ASSERT_EQ(S_OK, tx_->StartTransaction(ISOLATIONLEVEL_READUNCOMMITTED, 0, nullptr, &level));
    EXPECT_EQ(1u, level);
    ASSERT_EQ(S_OK, Run(session_.Get(), L"INSERT INTO Patient (Name) VALUES ('Petrov')"));
    ASSERT_EQ(S_OK, InsertThroughRowset(L"Sidorov"));
    ASSERT_EQ(S_OK, tx_->Commit(FALSE, XACTTC_SYNC, 0));
    Ptr<IDBCreateCommand> other = NewSession();
    EXPECT_EQ(3u, Count(other.Get()));
}

TEST_F(TransactionTest, AbortUndoesACommandAndATableRowsetInsert)
{
    ASSERT_EQ(S_OK, Begin());
    ASSERT_EQ(S_OK, Run(session_.Get(), L"INSERT INTO Patient (Name) VALUES ('Petrov')"));
    ASSERT_EQ(S_OK, InsertThroughRowset(L"Sidorov"));
    EXPECT_EQ(3u, Count(session_.Get())) << "the session sees its own work";
    ASSERT_EQ(S_OK, tx_->Abort(nullptr, FALSE, FALSE));
    EXPECT_EQ(1u, Count(session_.Get()));
}

TEST_F(TransactionTest, OneTransactionAtATime)
{
    EXPECT_EQ(XACT_E_NOTRANSACTION, tx_->Commit(FALSE, XACTTC_SYNC, 0));
    EXPECT_EQ(XACT_E_NOTRANSACTION, tx_->Abort(nullptr, FALSE, FALSE));
    ASSERT_EQ(S_OK, Begin());
    EXPECT_EQ(XACT_E_XTIONEXISTS, Begin());
    EXPECT_TRUE(TakeError().present);
    EXPECT_EQ(S_OK, tx_->Commit(FALSE, XACTTC_SYNC, 0));
    EXPECT_EQ(S_OK, Begin()) << "a new one after the commit";
    EXPECT_EQ(S_OK, tx_->Abort(nullptr, FALSE, FALSE));
}

TEST_F(TransactionTest, AFailedStatementLeavesTheTransactionOpen)
{
    ASSERT_EQ(S_OK, Begin());
    ASSERT_EQ(S_OK, Run(session_.Get(), L"INSERT INTO Patient (Name) VALUES ('Petrov')"));
    EXPECT_EQ(DB_E_INTEGRITYVIOLATION, Run(session_.Get(), L"INSERT INTO Patient (Name) VALUES ('Ivanov')"));
    EXPECT_EQ(2u, Count(session_.Get())) << "the earlier insert is still there";
    EXPECT_EQ(XACT_E_XTIONEXISTS, Begin()) << "still open";
    ASSERT_EQ(S_OK, tx_->Abort(nullptr, FALSE, FALSE));
    EXPECT_EQ(1u, Count(session_.Get()));
}

TEST_F(TransactionTest, ACommitOnOneSessionIsSeenByTheNextStatementOnAnother)
{
    Ptr<IDBCreateCommand> other = NewSession();
    Ptr<ICommandText> reader = NewCommand(other.Get(), L"SELECT COUNT(*) FROM Patient");
    auto count = [&] {
        Ptr<IRowset> rowset;
        EXPECT_EQ(S_OK, reader->Execute(nullptr, IID_IRowset, nullptr, nullptr, rowset.OutUnknown()));
        return ReadAll(rowset.Get()).at(0).at(0);
    };
    EXPECT_EQ(L"1", count());
    ASSERT_EQ(S_OK, Begin());
    ASSERT_EQ(S_OK, Run(session_.Get(), L"INSERT INTO Patient (Name) VALUES ('Petrov')"));
    EXPECT_EQ(L"1", count()) << "uncommitted work stays in its session";
    ASSERT_EQ(S_OK, tx_->Commit(FALSE, XACTTC_SYNC, 0));
    EXPECT_EQ(L"2", count());
}

TEST_F(TransactionTest, ARowsetReadBeforeACommitDoesNotHideIt)
{
    Ptr<IDBCreateCommand> other = NewSession();
    Ptr<ICommandText> command = NewCommand(other.Get(), L"SELECT Name FROM Patient");
    Ptr<IRowset> open;
    ASSERT_EQ(S_OK, command->Execute(nullptr, IID_IRowset, nullptr, nullptr, open.OutUnknown()));
    ASSERT_EQ(S_OK, Run(session_.Get(), L"INSERT INTO Patient (Name) VALUES ('Petrov')"));
    EXPECT_EQ(2u, Count(other.Get())) << "the open rowset holds no snapshot of the other session";
    EXPECT_EQ(1u, ReadAll(open.Get()).size());
}

TEST_F(TransactionTest, ASessionServesASecondThread)
{
    ASSERT_EQ(S_OK, Begin());
    HRESULT fromThread = E_FAIL;
    size_t seen = 0;
    std::thread worker([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        fromThread = Run(session_.Get(), L"INSERT INTO Patient (Name) VALUES ('Worker')");
        seen = Count(session_.Get());
        CoUninitialize();
    });
    worker.join();
    EXPECT_EQ(S_OK, fromThread);
    EXPECT_EQ(2u, seen);
    ASSERT_EQ(S_OK, tx_->Abort(nullptr, FALSE, FALSE));
    EXPECT_EQ(1u, Count(session_.Get())) << "the worker's insert was in the session's transaction";
}

TEST_F(TransactionTest, TwoThreadsOnOneSessionAreSerialised)
{
    const int kRows = 50;
    auto work = [&](const wchar_t* prefix) {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        Ptr<ICommandText> command = NewCommand(session_.Get(), L"INSERT INTO Patient (Name) VALUES (?)");
        for (int i = 0; i < kRows; ++i) {
            wchar_t name[32];
            _snwprintf(name, 31, L"%ls%d", prefix, i);
            name[31] = 0;
            Buffer p;
            size_t n = p.Add(1, DBTYPE_WSTR, 64, true);
            p.Layout();
            p.SetText(n, name);
            EXPECT_EQ(S_OK, ExecuteWith(command.Get(), p, nullptr, IID_NULL, nullptr));
        }
        command.Reset();
        CoUninitialize();
    };
    std::thread a(work, L"A"), b(work, L"B");
    a.join();
    b.join();
    EXPECT_EQ(1u + 2 * kRows, Count(session_.Get()));
}

}  // namespace
}  // namespace zt
