#include "fake_spooler.h"

#include <winspool.h>

namespace {

class Held {
public:
    explicit Held(CRITICAL_SECTION& section) : section_(section) { EnterCriticalSection(&section_); }
    ~Held() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION& section_;
};

SpoolNotice Number(DWORD id, WORD field, DWORD value)
{
    SpoolNotice notice;
    notice.kind = SpoolNotice::kJob;
    notice.id = id;
    notice.field = field;
    notice.number = value;
    return notice;
}

SpoolNotice Text(DWORD id, WORD field, const std::wstring& text)
{
    SpoolNotice notice = Number(id, field, 0);
    notice.text = text;
    return notice;
}

}  // namespace

FakeSpooler::FakeSpooler()
{
    InitializeCriticalSection(&lock_);
    previous_ = SetSpooler(this);
}

FakeSpooler::~FakeSpooler()
{
    SetSpooler(previous_);
    for (auto& watch : watches_)
        CloseHandle(watch.first);
    DeleteCriticalSection(&lock_);
}

void FakeSpooler::AddQueue(const std::wstring& name)
{
    Held held(lock_);
    if (printers_.find(name) == printers_.end())
        order_.push_back(name);
    printers_[name];
}

DWORD FakeSpooler::QueueJob(const std::wstring& printer, SpoolJob job)
{
    Held held(lock_);
    if (job.id == 0)
        job.id = nextJob_;
    if (job.id >= nextJob_)
        nextJob_ = job.id + 1;
    if (job.submitted.wYear == 0)
        GetSystemTime(&job.submitted);
    Queue& queue = printers_[printer];
    job.position = static_cast<DWORD>(queue.jobs.size()) + 1;
    queue.jobs.push_back(job);
    std::vector<SpoolNotice> notices = AllFields(job);
    notices.push_back(JobCount(printer));
    Notify(printer, PRINTER_CHANGE_ADD_JOB, notices);
    return job.id;
}

void FakeSpooler::SetJobField(DWORD id, WORD field, DWORD value)
{
    Held held(lock_);
    std::wstring printer;
    SpoolJob* job = FindJob(id, &printer);
    if (!job)
        return;
    switch (field) {
    case JOB_NOTIFY_FIELD_STATUS: job->status = value; break;
    case JOB_NOTIFY_FIELD_POSITION: job->position = value; break;
    case JOB_NOTIFY_FIELD_TOTAL_PAGES: job->totalPages = value; break;
    case JOB_NOTIFY_FIELD_PAGES_PRINTED: job->pagesPrinted = value; break;
    case JOB_NOTIFY_FIELD_TOTAL_BYTES: job->size = value; break;
    case JOB_NOTIFY_FIELD_BYTES_PRINTED: job->bytesPrinted = value; break;
    default: break;
    }
    Notify(printer, PRINTER_CHANGE_SET_JOB, {Number(id, field, value)});
}

void FakeSpooler::SetJobText(DWORD id, WORD field, const std::wstring& text)
{
    Held held(lock_);
    std::wstring printer;
    SpoolJob* job = FindJob(id, &printer);
    if (!job)
        return;
    switch (field) {
    case JOB_NOTIFY_FIELD_DOCUMENT: job->document = text; break;
    case JOB_NOTIFY_FIELD_USER_NAME: job->user = text; break;
    case JOB_NOTIFY_FIELD_STATUS_STRING: job->statusString = text; break;
    default: break;
    }
    Notify(printer, PRINTER_CHANGE_SET_JOB, {Text(id, field, text)});
}

void FakeSpooler::RemoveJob(DWORD id, bool announce)
{
    Held held(lock_);
    Remove(id, announce);
}

void FakeSpooler::Remove(DWORD id, bool announce)
{
    std::wstring printer;
    SpoolJob* job = FindJob(id, &printer);
    if (!job)
        return;
    const DWORD status = job->status | JOB_STATUS_DELETED;
    std::vector<SpoolJob>& jobs = printers_[printer].jobs;
    for (size_t i = 0; i < jobs.size(); ++i)
        if (jobs[i].id == id) {
            jobs.erase(jobs.begin() + static_cast<long>(i));
            break;
        }
    std::vector<SpoolNotice> notices;
    if (announce)
        notices.push_back(Number(id, JOB_NOTIFY_FIELD_STATUS, status));
    notices.push_back(JobCount(printer));
    Notify(printer, PRINTER_CHANGE_DELETE_JOB, notices);
}

void FakeSpooler::Overflow(const std::wstring& printer)
{
    Held held(lock_);
    for (auto& watch : watches_)
        if (watch.second.printer == printer) {
            watch.second.overflow = true;
            watch.second.what |= PRINTER_CHANGE_JOB;
            SetEvent(watch.first);
        }
}

bool FakeSpooler::HasJob(DWORD id) const
{
    Held held(lock_);
    return const_cast<FakeSpooler*>(this)->FindJob(id, nullptr) != nullptr;
}

void FakeSpooler::SetNotifications(bool available)
{
    Held held(lock_);
    notifications_ = available;
}

void FakeSpooler::SetDeleteError(DWORD error)
{
    Held held(lock_);
    deleteError_ = error;
}

void FakeSpooler::SetOpenError(const std::wstring& printer, DWORD access, DWORD error)
{
    Held held(lock_);
    openErrors_[std::make_pair(printer, access)] = error;
}

std::vector<DWORD> FakeSpooler::DeleteRequests() const
{
    Held held(lock_);
    return deletes_;
}

int FakeSpooler::OpenQueues() const
{
    Held held(lock_);
    return static_cast<int>(handles_.size());
}

int FakeSpooler::ChangeHandles() const
{
    Held held(lock_);
    return static_cast<int>(watches_.size());
}

int FakeSpooler::ReadJobCalls() const
{
    Held held(lock_);
    return readJobCalls_;
}

std::vector<DWORD> FakeSpooler::OpenAccesses() const
{
    Held held(lock_);
    return accesses_;
}

// ---- under the lock -------------------------------------------------------------------

SpoolJob* FakeSpooler::FindJob(DWORD id, std::wstring* printer)
{
    for (auto& queue : printers_)
        for (SpoolJob& job : queue.second.jobs)
            if (job.id == id) {
                if (printer)
                    *printer = queue.first;
                return &job;
            }
    return nullptr;
}

std::vector<SpoolNotice> FakeSpooler::AllFields(const SpoolJob& job) const
{
    std::vector<SpoolNotice> notices = {
        Text(job.id, JOB_NOTIFY_FIELD_DOCUMENT, job.document),
        Text(job.id, JOB_NOTIFY_FIELD_USER_NAME, job.user),
        Number(job.id, JOB_NOTIFY_FIELD_STATUS, job.status),
        Number(job.id, JOB_NOTIFY_FIELD_POSITION, job.position),
        Number(job.id, JOB_NOTIFY_FIELD_TOTAL_PAGES, job.totalPages),
        Number(job.id, JOB_NOTIFY_FIELD_PAGES_PRINTED, job.pagesPrinted),
        Number(job.id, JOB_NOTIFY_FIELD_TOTAL_BYTES, job.size),
        Number(job.id, JOB_NOTIFY_FIELD_BYTES_PRINTED, job.bytesPrinted),
    };
    if (!job.statusString.empty())
        notices.push_back(Text(job.id, JOB_NOTIFY_FIELD_STATUS_STRING, job.statusString));
    return notices;
}

SpoolNotice FakeSpooler::JobCount(const std::wstring& printer)
{
    SpoolNotice notice;
    notice.kind = SpoolNotice::kPrinter;
    notice.field = PRINTER_NOTIFY_FIELD_CJOBS;
    notice.number = static_cast<DWORD>(printers_[printer].jobs.size());
    return notice;
}

void FakeSpooler::Notify(const std::wstring& printer, DWORD what, const std::vector<SpoolNotice>& notices)
{
    for (auto& watch : watches_) {
        if (watch.second.printer != printer)
            continue;
        watch.second.what |= what;
        watch.second.notices.insert(watch.second.notices.end(), notices.begin(), notices.end());
        SetEvent(watch.first);
    }
}

// ---- Spooler ----------------------------------------------------------------------------

DWORD FakeSpooler::ListPrinters(std::vector<std::wstring>* names)
{
    Held held(lock_);
    *names = order_;
    return ERROR_SUCCESS;
}

HANDLE FakeSpooler::OpenQueue(const wchar_t* name, DWORD access, DWORD* error)
{
    Held held(lock_);
    accesses_.push_back(access);
    const auto refused = openErrors_.find(std::make_pair(std::wstring(name ? name : L""), access));
    if (refused != openErrors_.end()) {
        *error = refused->second;
        return nullptr;
    }
    if (!name || printers_.find(name) == printers_.end()) {
        *error = ERROR_INVALID_PRINTER_NAME;
        return nullptr;
    }
    HANDLE handle = reinterpret_cast<HANDLE>(nextHandle_++);
    handles_[handle] = name;
    *error = ERROR_SUCCESS;
    return handle;
}

void FakeSpooler::CloseQueue(HANDLE printer)
{
    Held held(lock_);
    handles_.erase(printer);
}

DWORD FakeSpooler::ReadJob(HANDLE printer, DWORD id, SpoolJob* job)
{
    Held held(lock_);
    ++readJobCalls_;
    const auto open = handles_.find(printer);
    if (open == handles_.end())
        return ERROR_INVALID_HANDLE;
    for (const SpoolJob& queued : printers_[open->second].jobs)
        if (queued.id == id) {
            if (job)
                *job = queued;
            return ERROR_SUCCESS;
        }
    return ERROR_INVALID_PARAMETER;
}

DWORD FakeSpooler::ListJobs(HANDLE printer, DWORD first, DWORD count, std::vector<SpoolJob>* jobs)
{
    Held held(lock_);
    jobs->clear();
    const auto open = handles_.find(printer);
    if (open == handles_.end())
        return ERROR_INVALID_HANDLE;
    const std::vector<SpoolJob>& queue = printers_[open->second].jobs;
    for (size_t i = first; i < queue.size() && jobs->size() < count; ++i)
        jobs->push_back(queue[i]);
    return ERROR_SUCCESS;
}

DWORD FakeSpooler::DeleteJob(HANDLE printer, DWORD id)
{
    std::function<void()> after;
    const DWORD result = DeleteHeld(printer, id, &after);
    if (after)
        after();   // outside the lock: the watchers it may wait for take it
    return result;
}

DWORD FakeSpooler::DeleteHeld(HANDLE printer, DWORD id, std::function<void()>* after)
{
    Held held(lock_);
    deletes_.push_back(id);
    if (deleteError_)
        return deleteError_;
    if (handles_.find(printer) == handles_.end())
        return ERROR_INVALID_HANDLE;
    if (!FindJob(id, nullptr))
        return ERROR_INVALID_PARAMETER;
    Remove(id, true);
    *after = afterDelete_;
    return ERROR_SUCCESS;
}

void FakeSpooler::AfterDelete(std::function<void()> step)
{
    Held held(lock_);
    afterDelete_ = std::move(step);
}

HANDLE FakeSpooler::FindFirstChange(HANDLE printer, DWORD, const SpoolWatchFields&, DWORD* error)
{
    Held held(lock_);
    const auto open = handles_.find(printer);
    if (!notifications_ || open == handles_.end()) {
        *error = notifications_ ? ERROR_INVALID_HANDLE : ERROR_SUCCESS;
        return nullptr;
    }
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    watches_[event].printer = open->second;
    *error = ERROR_SUCCESS;
    return event;
}

DWORD FakeSpooler::FindNextChange(HANDLE change, bool, SpoolChanges* out)
{
    Held held(lock_);
    const auto watch = watches_.find(change);
    if (watch == watches_.end())
        return ERROR_INVALID_HANDLE;
    out->what = watch->second.what;
    out->overflow = watch->second.overflow;
    out->notices.swap(watch->second.notices);
    watch->second.notices.clear();
    watch->second.what = 0;
    watch->second.overflow = false;
    ResetEvent(change);
    return ERROR_SUCCESS;
}

void FakeSpooler::FindCloseChange(HANDLE change)
{
    Held held(lock_);
    if (watches_.erase(change))
        CloseHandle(change);
}
