// The print spooler as printing uses it: printers, jobs, deleting a job and
// change notifications, behind one small interface.
//
// The program talks to the system's spooler (Win32Spooler, GetSpooler's
// default); tests put a scriptable spooler in its place (SetSpooler) that
// raises real, waitable notifications. The interface turns the spooler's
// variable-size records into plain values, so that the watchers and windows
// above it never size a buffer:
//   - every job query grows its buffer to the size the spooler asks for, and
//     asks again when a job grew in between;
//   - the empty fields of a job (Wine leaves the document, user and status
//     texts null and every number 0) read as empty texts and zeros;
//   - results are Win32 codes: 0 for success, else the code of the failure.
//
// What Wine's spooler does (measured): FindFirstPrinterChangeNotification
// fails (an invalid handle, last error 0); EnumJobsW fails asking for 0
// bytes (with ERROR_INSUFFICIENT_BUFFER or no error), which is an empty queue;
// GetJobW sees the program's own job only between StartDoc and EndDoc and
// then fails with ERROR_INVALID_HANDLE; SetJobW and SetPrinterW then fail the
// same way. The watchers therefore fall back to polling GetJobW and EnumJobsW.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// One print job as the spooler reports it (JOB_INFO_2).
struct SpoolJob {
    DWORD id = 0;
    std::wstring document;      // empty when the spooler has none
    std::wstring user;
    std::wstring statusString;  // the driver's own status text, when it gives one
    DWORD status = 0;           // JOB_STATUS_* bits
    DWORD position = 0;         // place in the queue
    DWORD totalPages = 0;
    DWORD pagesPrinted = 0;
    DWORD size = 0;             // bytes of the job (its total)
    DWORD bytesPrinted = 0;
    SYSTEMTIME submitted = {};  // when it was queued (UTC); all zero when unknown
};

// One entry of a change notification.
struct SpoolNotice {
    enum Kind { kJob, kPrinter };
    Kind kind = kJob;
    DWORD id = 0;               // the job's id (job entries)
    WORD field = 0;             // JOB_NOTIFY_FIELD_* or PRINTER_NOTIFY_FIELD_*
    DWORD number = 0;           // the value of a numeric field
    std::wstring text;          // the value of a text field
    SYSTEMTIME time = {};       // the value of JOB_NOTIFY_FIELD_SUBMITTED
};

// What a change notification reports.
struct SpoolChanges {
    DWORD what = 0;             // PRINTER_CHANGE_* flags that fired
    bool overflow = false;      // PRINTER_NOTIFY_INFO_DISCARDED: read the queue again
    std::vector<SpoolNotice> notices;
};

// The fields a change notification is to report.
struct SpoolWatchFields {
    const WORD* jobFields = nullptr;       // JOB_NOTIFY_TYPE fields
    int jobFieldCount = 0;
    const WORD* printerFields = nullptr;   // PRINTER_NOTIFY_TYPE fields
    int printerFieldCount = 0;
};

class Spooler {
public:
    virtual ~Spooler() = default;

    // The names of the local and connected printers, in the spooler's order.
    virtual DWORD ListPrinters(std::vector<std::wstring>* names) = 0;
    // OpenPrinterW with the access; null on failure (the code in *error).
    virtual HANDLE OpenQueue(const wchar_t* name, DWORD access, DWORD* error) = 0;
    virtual void CloseQueue(HANDLE printer) = 0;

    // The job; with a null `job` only whether the spooler still has it.
    virtual DWORD ReadJob(HANDLE printer, DWORD id, SpoolJob* job) = 0;
    // Up to `count` jobs from the position `first`; an empty queue is success.
    virtual DWORD ListJobs(HANDLE printer, DWORD first, DWORD count, std::vector<SpoolJob>* jobs) = 0;
    // SetJobW(JOB_CONTROL_DELETE).
    virtual DWORD DeleteJob(HANDLE printer, DWORD id) = 0;

    // FindFirstPrinterChangeNotification: a handle to wait on, or null on
    // failure (the code in *error; 0 when the spooler gives none).
    virtual HANDLE FindFirstChange(HANDLE printer, DWORD changes, const SpoolWatchFields& fields, DWORD* error) = 0;
    // FindNextPrinterChangeNotification after the handle was signalled: what
    // changed, with the notify entries (all current values with `refresh`).
    virtual DWORD FindNextChange(HANDLE change, bool refresh, SpoolChanges* out) = 0;
    virtual void FindCloseChange(HANDLE change) = 0;
};

// The spooler printing uses: the system's unless a test installed another.
Spooler& GetSpooler();
// Installs a spooler (null: the system's again); returns the previous one
// (null when it was the system's).
Spooler* SetSpooler(Spooler* spooler);

// The field lists of the two watchers.
// The print-state window: status, position, total pages, pages printed,
// total bytes and bytes printed of its job.
extern const SpoolWatchFields kJobWatchFields;
// The printer status window: every job field (the status field twice) and
// the printer's job count.
extern const SpoolWatchFields kQueueWatchFields;

// A spooler call that fills a buffer of the size it asks for: called once
// without a buffer, then again with a buffer of the size asked for, as long
// as it keeps asking for more (a job may grow between the calls; at most 8
// tries). `call` is the API's own call: BOOL, with the size it needs in its
// last argument. ERROR_SUCCESS with the buffer filled; ERROR_NO_DATA when it
// failed yet asked for no bytes, with ERROR_INSUFFICIENT_BUFFER or no error
// at all (Wine's EnumJobsW on an empty queue); else the failure's code.
DWORD FillSized(std::vector<BYTE>& buffer, const std::function<BOOL(BYTE*, DWORD, DWORD*)>& call);
