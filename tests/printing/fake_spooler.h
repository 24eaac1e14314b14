// A spooler the tests script: printers with queues of jobs whose fields the
// test changes, and change notifications that are real events, signalled
// when something a watcher asked about changes, so that the watchers wait
// and wake exactly as on the system's spooler. While it lives it is the
// spooler printing uses (SetSpooler).
//
// It can behave as Wine's spooler does (no change notifications: the
// watchers must poll) and refuse to delete jobs, and it records what was
// asked of it. Every member may be called from any thread.
#pragma once

#include "printing/spooler.h"

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

class FakeSpooler : public Spooler {
public:
    FakeSpooler();
    ~FakeSpooler() override;
    FakeSpooler(const FakeSpooler&) = delete;
    FakeSpooler& operator=(const FakeSpooler&) = delete;

    // ---- the script -------------------------------------------------------------
    void AddQueue(const std::wstring& name);
    // Queues a job (its id given, or the next one when 0); watchers hear of
    // every field. Returns its id.
    DWORD QueueJob(const std::wstring& printer, SpoolJob job);
    // Changes a job's field (JOB_NOTIFY_FIELD_STATUS, POSITION, TOTAL_PAGES,
    // PAGES_PRINTED, TOTAL_BYTES, BYTES_PRINTED) and tells the watchers.
    void SetJobField(DWORD id, WORD field, DWORD value);
    void SetJobText(DWORD id, WORD field, const std::wstring& text);   // DOCUMENT, USER_NAME, STATUS_STRING
    // Takes a job out of its queue. With `announce` the watchers hear its
    // status turn to deleted; without, only that a job was deleted.
    void RemoveJob(DWORD id, bool announce);
    // The spooler says its notify entries were discarded: read the queue again.
    void Overflow(const std::wstring& printer);
    bool HasJob(DWORD id) const;

    // ---- behaviour ----------------------------------------------------------------
    void SetNotifications(bool available);   // false: FindFirstChange fails as Wine's does
    void SetDeleteError(DWORD error);        // DeleteJob fails with it (0: succeeds)
    void SetOpenError(const std::wstring& printer, DWORD access, DWORD error);   // OpenQueue with that access fails
    // Runs on the deleting thread once a deletion has gone through and the
    // watchers have heard of it, before DeleteJob returns (holds the caller there).
    void AfterDelete(std::function<void()> step);

    // ---- what was asked ---------------------------------------------------------------
    std::vector<DWORD> DeleteRequests() const;   // job ids, in order
    int OpenQueues() const;                      // handles open now
    int ChangeHandles() const;                   // notifications open now
    int ReadJobCalls() const;
    std::vector<DWORD> OpenAccesses() const;     // the access of each OpenQueue

    // ---- Spooler ----------------------------------------------------------------------
    DWORD ListPrinters(std::vector<std::wstring>* names) override;
    HANDLE OpenQueue(const wchar_t* name, DWORD access, DWORD* error) override;
    void CloseQueue(HANDLE printer) override;
    DWORD ReadJob(HANDLE printer, DWORD id, SpoolJob* job) override;
    DWORD ListJobs(HANDLE printer, DWORD first, DWORD count, std::vector<SpoolJob>* jobs) override;
    DWORD DeleteJob(HANDLE printer, DWORD id) override;
    HANDLE FindFirstChange(HANDLE printer, DWORD changes, const SpoolWatchFields& fields, DWORD* error) override;
    DWORD FindNextChange(HANDLE change, bool refresh, SpoolChanges* out) override;
    void FindCloseChange(HANDLE change) override;

private:
    struct Watch {
        std::wstring printer;
        DWORD what = 0;
        bool overflow = false;
        std::vector<SpoolNotice> notices;
    };
    struct Queue {
        std::vector<SpoolJob> jobs;
    };

    // DeleteJob's work, under the lock it takes; the step to run after it in *after.
    DWORD DeleteHeld(HANDLE printer, DWORD id, std::function<void()>* after);
    // Under the lock.
    SpoolJob* FindJob(DWORD id, std::wstring* printer);
    void Notify(const std::wstring& printer, DWORD what, const std::vector<SpoolNotice>& notices);
    std::vector<SpoolNotice> AllFields(const SpoolJob& job) const;
    SpoolNotice JobCount(const std::wstring& printer);
    void Remove(DWORD id, bool announce);

    mutable CRITICAL_SECTION lock_;
    Spooler* previous_ = nullptr;
    std::map<std::wstring, Queue> printers_;
    std::vector<std::wstring> order_;                // printers in the order they were added
    std::map<HANDLE, std::wstring> handles_;         // open printer handles
    std::map<HANDLE, Watch> watches_;                // change handles (events)
    std::map<std::pair<std::wstring, DWORD>, DWORD> openErrors_;
    bool notifications_ = true;
    DWORD deleteError_ = 0;
    std::function<void()> afterDelete_;
    DWORD nextJob_ = 1;
    UINT_PTR nextHandle_ = 0x5000;
    std::vector<DWORD> deletes_;
    std::vector<DWORD> accesses_;
    int readJobCalls_ = 0;
};
