// The merge's transactions, on its session of either database.
//
// While any of them is open the link says so, and the merge window does not
// terminate a worker that will not stop (importwnd.cpp): a transaction cut
// off by TerminateThread would hold its database's lock for good. The engine
// counts its open transactions, since the mark of an image holds one in each
// database at once (PairTransaction).
#pragma once

#include "database/dberrors.h"
#include "database/dbsession.h"
#include "exchange/merge/importlink.h"
#include "exchange/merge/mergefaults.h"

#include <memory>

// A transaction of a session, aborted unless committed. `open` is the
// engine's count of open transactions.
class MergeTransaction {
public:
    MergeTransaction(const DODBPtr<DODBSession>& session, IImportLink* link, int* open)
        : session_(session), link_(link), open_(open)
    {
        const HRESULT hr = session_->BeginTx();
        if (FAILED(hr))
            throw DODBErrors(hr, TRUE);
        began_ = true;
        ++*open_;
        link_->SetInTransaction(true);
    }
    ~MergeTransaction()
    {
        if (began_) {
            session_->AbortTx();
            Ended();
        }
    }
    MergeTransaction(const MergeTransaction&) = delete;
    MergeTransaction& operator=(const MergeTransaction&) = delete;

    void Commit()
    {
        const HRESULT hr = session_->CommitSync();
        if (FAILED(hr))
            throw DODBErrors(hr, TRUE);
        Ended();
    }

private:
    void Ended()
    {
        began_ = false;
        link_->SetInTransaction(--*open_ > 0);
    }

    const DODBPtr<DODBSession>& session_;
    IImportLink* link_;
    int* open_;
    bool began_ = false;
};

// A transaction of each database, the other database's and this one's. A
// transaction holds its database from its start (the provider begins it
// IMMEDIATE, taking the database's write lock), so every merge begins the
// two in one order, that of the databases' identities: two merges of the
// same pair in opposite directions then wait for each other in turn and
// never deadlock. Committed the other database first, where the marks are. A
// run ended between the two commits keeps what was written there and loses
// what was written here: what each side is given must stand without the other.
class PairTransaction {
public:
    PairTransaction(const DODBPtr<DODBSession>& source, const DODBPtr<DODBSession>& local, bool sourceFirst,
                    IImportLink* link, int* open)
    {
        if (sourceFirst) {
            source_.reset(new MergeTransaction(source, link, open));
            local_.reset(new MergeTransaction(local, link, open));
        } else {
            local_.reset(new MergeTransaction(local, link, open));
            source_.reset(new MergeTransaction(source, link, open));
        }
    }
    // `between`, when given, is the step reached between the two commits.
    void Commit(MergeStep between = MergeStep::None)
    {
        source_->Commit();
        if (between != MergeStep::None)
            ThrowIfInjected(between, L"PairTransaction::Commit");
        local_->Commit();
    }

private:
    std::unique_ptr<MergeTransaction> source_, local_;
};
