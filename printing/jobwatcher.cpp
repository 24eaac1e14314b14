// The print-state window's job watcher: a thread that follows one print job
// in the spooler and writes its status, position, pages and bytes into the
// window until the job has printed, was deleted or is gone.
//
// Two ways to follow the job, chosen once when the watcher starts:
//   notified  the spooler gives a change notification (FindFirstChange); the
//             watcher waits on it and on the job-end event, and reads the
//             changed fields of its job from each notification;
//   polling   the spooler gives none (Wine's spooler never does): the watcher
//             asks for the job every DocPrintStateWnd::kPollInterval ms. No
//             message is shown for this: it is the normal case under Wine,
//             and the journal keeps one record of it.
// Either way the job ends when the spooler no longer has it (GetJob fails),
// also before the first wait: a job that was gone when the watcher started
// ends the wait at once. The watcher sets the job-end event when it ends.
//
// Errors of the notified way (a failed wait, 600; a failed read of a
// notification, 602; an exception while reading one, 641) are shown in a box
// without owner, and the watcher ends as if the job had.
#include "foundation/journal.h"
#include "foundation/messages.h"
#include "printing/jobstatus.h"
#include "printing/printstatewnd.h"
#include "printing/spooler.h"
#include "resources/strings.h"
#include "ui/threadwait.h"

#include <winspool.h>

struct JobWatcher {
    HANDLE ready;
    HANDLE printer;
    DocPrintStateWnd* window;
    HANDLE jobEnd;
    bool started;
    DWORD jobId;
    LANGID language;   // the starter's: the status texts speak it
    LCID locale;

    static DWORD WINAPI ThreadProc(void* param);
};

namespace {

bool HasEnded(DWORD status)
{
    return (status & (JOB_STATUS_PRINTED | JOB_STATUS_DELETED)) != 0;
}

void ShowWatcherError(UINT id, DWORD code)
{
    MessageBoxIdFormat(nullptr, IdOrText(0), MB_OK, id, code);
}

}  // namespace

// Everything the thread needs is copied from `param` before the ready event
// is set; the starter's record is not used after that.
DWORD WINAPI JobWatcher::ThreadProc(void* param)
{
    JobWatcher* start = static_cast<JobWatcher*>(param);
    DocPrintStateWnd* window = start->window;
    HANDLE printer = start->printer;
    HANDLE jobEnd = start->jobEnd;
    const DWORD jobId = start->jobId;
    SetThreadUILanguage(start->language);
    SetThreadLocale(start->locale);
    Spooler& spooler = GetSpooler();

    DWORD error = 0;
    HANDLE change = spooler.FindFirstChange(printer, PRINTER_CHANGE_JOB, kJobWatchFields, &error);
    if (!change)
        LogError(error, L"FindFirstPrinterChangeNotification (the print job is polled)");
    {
        EnterCriticalSection(&window->lock_);
        window->polling_ = change == nullptr;
        LeaveCriticalSection(&window->lock_);
    }
    start->started = true;
    SetEvent(start->ready);

    // The job as it is now; gone already: the wait is over.
    bool ended = false;
    SpoolJob job;
    if (spooler.ReadJob(printer, jobId, &job) != ERROR_SUCCESS) {
        ended = true;
    } else {
        window->SetStatusText(JobStatusText(job.status));
        window->SetJobValue(&DocPrintStateWnd::position_, job.position, 2);
        window->SetJobValue(&DocPrintStateWnd::totalPages_, job.totalPages, 3);
        window->SetJobValue(&DocPrintStateWnd::pagesPrinted_, job.pagesPrinted, 3);
        window->SetJobValue(&DocPrintStateWnd::totalBytes_, job.size, 5);
        window->SetJobValue(&DocPrintStateWnd::bytesPrinted_, 0, 5);
        ended = HasEnded(job.status);
    }

    while (!ended) {
        if (!change) {
            if (WaitForSingleObject(jobEnd, DocPrintStateWnd::kPollInterval) != WAIT_TIMEOUT)
                break;
            if (spooler.ReadJob(printer, jobId, &job) != ERROR_SUCCESS)
                break;
            window->SetStatusText(job.statusString.empty() ? JobStatusText(job.status) : job.statusString);
            window->SetJobValue(&DocPrintStateWnd::position_, job.position, 2);
            window->SetJobValue(&DocPrintStateWnd::totalPages_, job.totalPages, 3);
            window->SetJobValue(&DocPrintStateWnd::pagesPrinted_, job.pagesPrinted, 3);
            if (job.size)
                window->SetJobValue(&DocPrintStateWnd::totalBytes_, job.size, 5);
            ended = HasEnded(job.status);
            continue;
        }
        HANDLE handles[2] = {change, jobEnd};
        const DWORD waited = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (waited == WAIT_OBJECT_0 + 1)
            break;
        if (waited != WAIT_OBJECT_0) {
            ShowWatcherError(IDS_PRINTER_WAIT_ERROR, GetLastError());
            break;
        }
        SpoolChanges changes;
        error = spooler.FindNextChange(change, true, &changes);
        if (error != ERROR_SUCCESS) {
            ShowWatcherError(IDS_PRINTER_STATUS_ERROR, error);
            break;
        }
        try {
            for (const SpoolNotice& notice : changes.notices) {
                if (notice.kind != SpoolNotice::kJob || notice.id != jobId)
                    continue;
                switch (notice.field) {
                case JOB_NOTIFY_FIELD_STATUS:
                    window->SetStatusText(JobStatusText(notice.number));
                    ended = ended || HasEnded(notice.number);
                    break;
                case JOB_NOTIFY_FIELD_STATUS_STRING:
                    window->SetStatusText(notice.text);
                    break;
                case JOB_NOTIFY_FIELD_POSITION:
                    window->SetJobValue(&DocPrintStateWnd::position_, notice.number, 2);
                    break;
                case JOB_NOTIFY_FIELD_TOTAL_PAGES:
                    window->SetJobValue(&DocPrintStateWnd::totalPages_, notice.number, 3);
                    break;
                case JOB_NOTIFY_FIELD_PAGES_PRINTED:
                    window->SetJobValue(&DocPrintStateWnd::pagesPrinted_, notice.number, 3);
                    break;
                case JOB_NOTIFY_FIELD_TOTAL_BYTES:
                    window->SetJobValue(&DocPrintStateWnd::totalBytes_, notice.number, 5);
                    break;
                case JOB_NOTIFY_FIELD_BYTES_PRINTED:
                    window->SetJobValue(&DocPrintStateWnd::bytesPrinted_, notice.number, 5);
                    break;
                default:
                    break;
                }
            }
        } catch (...) {
            ShowWatcherError(IDS_UNHANDLED_EXCEPTION, 0);
            ended = true;
        }
        // A deleted job that the notification did not name: is it still there?
        if (!ended && (changes.what & PRINTER_CHANGE_DELETE_JOB) &&
            spooler.ReadJob(printer, jobId, nullptr) != ERROR_SUCCESS)
            ended = true;
    }
    if (change)
        spooler.FindCloseChange(change);
    SetEvent(jobEnd);
    return 0;
}

bool DocPrintStateWnd::WatchPrinter(DWORD jobId)
{
    std::wstring name;
    {
        EnterCriticalSection(&lock_);
        name = printerName_;
        const bool busy = watcherThread_ != nullptr;
        LeaveCriticalSection(&lock_);
        if (!hwnd || busy || name.empty())
            return false;
    }
    DWORD error = 0;
    HANDLE printer = GetSpooler().OpenQueue(name.c_str(), PRINTER_ACCESS_USE, &error);
    if (!printer) {
        LogError(error, L"OpenPrinterW (print job watcher)");
        return false;
    }
    HANDLE jobEnd = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    JobWatcher start = {CreateEventW(nullptr, TRUE, FALSE, nullptr), printer, this, jobEnd, false, jobId,
                        GetThreadUILanguage(), GetThreadLocale()};
    HANDLE thread = nullptr;
    if (jobEnd && start.ready) {
        EnterCriticalSection(&lock_);
        jobId_ = jobId;
        position_ = totalPages_ = pagesPrinted_ = totalBytes_ = bytesPrinted_ = 0;
        status_.clear();
        watching_ = true;
        LeaveCriticalSection(&lock_);
        DWORD id = 0;
        thread = CreateThread(nullptr, 0, JobWatcher::ThreadProc, &start, 0, &id);
        if (thread) {
            HANDLE both[2] = {start.ready, thread};
            WaitAnsweringSent(2, both, INFINITE);
        }
    }
    if (start.ready)
        CloseHandle(start.ready);
    if (!thread || !start.started) {
        if (thread) {
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
        if (jobEnd)
            CloseHandle(jobEnd);
        GetSpooler().CloseQueue(printer);
        EnterCriticalSection(&lock_);
        watching_ = false;
        LeaveCriticalSection(&lock_);
        return false;
    }
    EnterCriticalSection(&lock_);
    printer_ = printer;
    jobEndEvent_ = jobEnd;
    watcherThread_ = thread;
    LeaveCriticalSection(&lock_);
    Invalidate(RECT{0, detailTop_, clientWidth_, clientHeight_});
    return true;
}

// Sets the job-end event, waits for the watcher (it sends nothing to any
// window, so a plain wait cannot deadlock) and closes its handles.
void DocPrintStateWnd::StopWatcher()
{
    EnterCriticalSection(&lock_);
    HANDLE thread = watcherThread_;
    HANDLE jobEnd = jobEndEvent_;
    HANDLE printer = printer_;
    watcherThread_ = nullptr;
    LeaveCriticalSection(&lock_);
    if (jobEnd)
        SetEvent(jobEnd);
    if (thread) {
        if (WaitForSingleObject(thread, INFINITE) != WAIT_OBJECT_0)
            TerminateThread(thread, 0);
        CloseHandle(thread);
    }
    EnterCriticalSection(&lock_);
    jobEndEvent_ = nullptr;
    printer_ = nullptr;
    LeaveCriticalSection(&lock_);
    if (jobEnd)
        CloseHandle(jobEnd);
    if (printer)
        GetSpooler().CloseQueue(printer);
}
