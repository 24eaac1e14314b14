// A session: one SQLite connection, its commands, table rowsets and local
// transaction.
//
// Invariants
// - The connection is open from construction (Open) to destruction; it is
//   used only with the session's lock held, so the calls of all threads on
//   a session, its commands and its table rowsets run one at a time.
// - Commands and rowsets hold a reference to the session, so the connection
//   outlives every prepared statement; the statements are finalized by their
//   owners before the last reference goes.
// - Every connection runs with foreign keys on, WAL journaling and a busy
//   timeout of the data source's lock timeout ("Lock Timeout" of the
//   connection string, 5 s when not given): a writer waits for another
//   session's transaction instead of failing at once (HYT00 when the wait
//   runs out).
//   It knows the dialect's collation, functions and INFORMATION_SCHEMA view
//   (collation.h), so a database made through the provider is used through
//   the provider only.
//
// Transaction state machine (ITransactionLocal)
//   Autocommit --StartTransaction (BEGIN IMMEDIATE)--> InTransaction
//   InTransaction --Commit (COMMIT)--> Autocommit, or InTransaction again when retaining
//   InTransaction --Abort (ROLLBACK)--> Autocommit, or InTransaction again when retaining
//   StartTransaction in a transaction: XACT_E_XTIONEXISTS; Commit or Abort
//   outside one: XACT_E_NOTRANSACTION. A failed statement leaves the
//   transaction open for the caller's Abort. When SQLite itself rolled the
//   transaction back (a full disk, an I/O error), Commit reports
//   XACT_E_COMMITFAILED instead of pretending the work was saved, and Abort
//   succeeds.
#pragma once

#include "provider/common.h"
#include "provider/properties.h"
#include "provider/statement.h"
#include "provider/types.h"
#include "provider/values.h"

#include <map>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace zelk {

class DataSource;

class Session final : public IGetDataSource,
                      public IOpenRowset,
                      public ISessionProperties,
                      public IDBCreateCommand,
                      public ITransactionLocal,
                      public ISupportErrorInfo {
public:
    // Opens a session on an initialized data source; posts the failure.
    static HRESULT Create(DataSource* source, REFIID riid, IUnknown** out);

    Lock& SessionLock() { return lock_; }
    sqlite3* Db() { return db_; }

    // The columns of a table or view, in order; false when there is no such
    // table. Call with the lock held.
    bool TableColumns(const std::wstring& table, std::vector<ColumnInfo>& out, std::wstring* realName = nullptr);

    // The translation of a command text, from the cache while the schema is
    // unchanged; false with the sentence in `error`. Call with the lock held.
    bool Translate(const std::wstring& text, TranslatedStatement& out, TranslateError& error);

    // IDENTITY_INSERT: at most one table of the session takes explicit
    // identity keys at a time (SQL Server's rule); OFF is the state at start.
    bool IdentityInsertOn(const std::wstring& table) const;
    HRESULT SetIdentityInsert(const std::wstring& table, bool on, const std::wstring& statement);

    // The provider's stored procedures (procedures.cpp): each runs all its
    // steps or none (a savepoint), inside the session's transaction when one
    // is open. Posts the failure.
    HRESULT RunProcedure(Procedure procedure, const std::vector<InValue>& arguments, const std::wstring& statement);

    // BACKUP DATABASE `catalog` TO DISK=`path` WITH INIT: a consistent copy
    // of the database file, written anew; the catalog must be the current one.
    HRESULT Backup(const std::wstring& catalog, const std::wstring& path, const std::wstring& statement);
    // DBCC CHECKDB: SQLite's integrity check of the whole file; a damaged
    // database fails with the check's first findings.
    HRESULT CheckDatabase(const std::wstring& statement);

    // IUnknown
    HRESULT WINAPI QueryInterface(REFIID riid, void** out) override;
    ULONG WINAPI AddRef() override { return ++refs_; }
    ULONG WINAPI Release() override;
    // IGetDataSource
    HRESULT WINAPI GetDataSource(REFIID riid, IUnknown** out) override;
    // IOpenRowset
    HRESULT WINAPI OpenRowset(IUnknown* outer, DBID* tableId, DBID* indexId, REFIID riid, ULONG setCount,
                              DBPROPSET sets[], IUnknown** rowset) override;
    // ISessionProperties
    HRESULT WINAPI GetProperties(ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* setCount,
                                 DBPROPSET** sets) override;
    HRESULT WINAPI SetProperties(ULONG setCount, DBPROPSET sets[]) override;
    // IDBCreateCommand
    HRESULT WINAPI CreateCommand(IUnknown* outer, REFIID riid, IUnknown** command) override;
    // ITransaction
    HRESULT WINAPI Commit(BOOL retaining, DWORD tc, DWORD rm) override;
    HRESULT WINAPI Abort(BOID* reason, BOOL retaining, BOOL async) override;
    HRESULT WINAPI GetTransactionInfo(XACTTRANSINFO* info) override;
    // ITransactionLocal
    HRESULT WINAPI GetOptionsObject(ITransactionOptions** options) override;
    HRESULT WINAPI StartTransaction(ISOLEVEL level, ULONG flags, ITransactionOptions* options,
                                    ULONG* transactionLevel) override;
    // ISupportErrorInfo
    HRESULT WINAPI InterfaceSupportsErrorInfo(REFIID riid) override;

private:
    explicit Session(DataSource* source);
    ~Session();
    HRESULT Open();
    // Runs a statement without rows (BEGIN, COMMIT...) with the lock held; posts failures.
    HRESULT Exec(const char* sql, REFIID iid, const wchar_t* what);

    std::atomic<ULONG> refs_{1};
    LiveObject live_;
    Lock lock_;
    DataSource* source_;  // one reference, released at destruction
    sqlite3* db_ = nullptr;
    bool inTransaction_ = false;
    std::wstring identityInsert_;  // the table with IDENTITY_INSERT ON, empty for none
    struct CachedTranslation {
        TranslatedStatement statement;
        long long schemaVersion;
    };
    std::map<std::wstring, CachedTranslation> translations_;
    sqlite3_stmt* schemaVersion_ = nullptr;  // PRAGMA schema_version, kept compiled
    ISOLEVEL level_ = ISOLATIONLEVEL_READUNCOMMITTED;
    PropertyBag props_;
};

}  // namespace zelk
