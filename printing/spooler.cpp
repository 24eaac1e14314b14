#include "printing/spooler.h"

#include <winspool.h>

namespace {

// The job fields whose notify data is a text.
bool IsTextJobField(WORD field)
{
    switch (field) {
    case JOB_NOTIFY_FIELD_PRINTER_NAME:
    case JOB_NOTIFY_FIELD_MACHINE_NAME:
    case JOB_NOTIFY_FIELD_PORT_NAME:
    case JOB_NOTIFY_FIELD_USER_NAME:
    case JOB_NOTIFY_FIELD_NOTIFY_NAME:
    case JOB_NOTIFY_FIELD_DATATYPE:
    case JOB_NOTIFY_FIELD_PRINT_PROCESSOR:
    case JOB_NOTIFY_FIELD_PARAMETERS:
    case JOB_NOTIFY_FIELD_DRIVER_NAME:
    case JOB_NOTIFY_FIELD_STATUS_STRING:
    case JOB_NOTIFY_FIELD_DOCUMENT:
        return true;
    default:
        return false;
    }
}

// The job fields whose notify data points to something else than a text.
bool IsPointerJobField(WORD field)
{
    return field == JOB_NOTIFY_FIELD_DEVMODE || field == JOB_NOTIFY_FIELD_SECURITY_DESCRIPTOR ||
           field == JOB_NOTIFY_FIELD_SUBMITTED;
}

std::wstring Text(const wchar_t* text)
{
    return text ? std::wstring(text) : std::wstring();
}

void FromJobInfo(const JOB_INFO_2W& info, SpoolJob* job)
{
    job->id = info.JobId;
    job->document = Text(info.pDocument);
    job->user = Text(info.pUserName);
    job->statusString = Text(info.pStatus);
    job->status = info.Status;
    job->position = info.Position;
    job->totalPages = info.TotalPages;
    job->pagesPrinted = info.PagesPrinted;
    job->size = info.Size;
    job->bytesPrinted = 0;
    job->submitted = info.Submitted;
}

class Win32Spooler : public Spooler {
public:
    DWORD ListPrinters(std::vector<std::wstring>* names) override
    {
        names->clear();
        std::vector<BYTE> buffer;
        DWORD count = 0;
        const DWORD result = FillSized(buffer, [&](BYTE* data, DWORD size, DWORD* needed) {
            return ::EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, data, size, needed,
                                   &count);
        });
        if (result == ERROR_NO_DATA)
            return ERROR_SUCCESS;   // no printer at all
        if (result != ERROR_SUCCESS)
            return result;
        const PRINTER_INFO_4W* printers = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
        for (DWORD i = 0; i < count; ++i)
            names->push_back(Text(printers[i].pPrinterName));
        return ERROR_SUCCESS;
    }

    HANDLE OpenQueue(const wchar_t* name, DWORD access, DWORD* error) override
    {
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
        HANDLE printer = nullptr;
        if (::OpenPrinterW(const_cast<wchar_t*>(name), &printer, &defaults) && printer) {
            *error = ERROR_SUCCESS;
            return printer;
        }
        *error = GetLastError();
        if (*error == ERROR_SUCCESS)
            *error = ERROR_INVALID_PRINTER_NAME;
        return nullptr;
    }

    void CloseQueue(HANDLE printer) override
    {
        if (printer)
            ::ClosePrinter(printer);
    }

    DWORD ReadJob(HANDLE printer, DWORD id, SpoolJob* job) override
    {
        std::vector<BYTE> buffer;
        const DWORD result = FillSized(buffer, [&](BYTE* data, DWORD size, DWORD* needed) {
            return ::GetJobW(printer, id, 2, data, size, needed);
        });
        if (result != ERROR_SUCCESS)
            return result == ERROR_NO_DATA ? ERROR_INVALID_PARAMETER : result;
        if (buffer.size() < sizeof(JOB_INFO_2W))
            return ERROR_INVALID_PARAMETER;   // no record: the job is not there
        if (job)
            FromJobInfo(*reinterpret_cast<const JOB_INFO_2W*>(buffer.data()), job);
        return ERROR_SUCCESS;
    }

    DWORD ListJobs(HANDLE printer, DWORD first, DWORD count, std::vector<SpoolJob>* jobs) override
    {
        jobs->clear();
        std::vector<BYTE> buffer;
        DWORD returned = 0;
        const DWORD result = FillSized(buffer, [&](BYTE* data, DWORD size, DWORD* needed) {
            return ::EnumJobsW(printer, first, count, 2, data, size, needed, &returned);
        });
        if (result == ERROR_NO_DATA)
            return ERROR_SUCCESS;   // nothing needed: an empty queue
        if (result != ERROR_SUCCESS)
            return result;
        const JOB_INFO_2W* infos = reinterpret_cast<const JOB_INFO_2W*>(buffer.data());
        for (DWORD i = 0; i < returned; ++i) {
            SpoolJob job;
            FromJobInfo(infos[i], &job);
            jobs->push_back(job);
        }
        return ERROR_SUCCESS;
    }

    DWORD DeleteJob(HANDLE printer, DWORD id) override
    {
        if (::SetJobW(printer, id, 0, nullptr, JOB_CONTROL_DELETE))
            return ERROR_SUCCESS;
        const DWORD error = GetLastError();
        return error ? error : ERROR_INVALID_FUNCTION;
    }

    HANDLE FindFirstChange(HANDLE printer, DWORD changes, const SpoolWatchFields& fields, DWORD* error) override
    {
        PRINTER_NOTIFY_OPTIONS_TYPE types[2] = {};
        DWORD count = 0;
        if (fields.jobFieldCount > 0) {
            types[count].Type = JOB_NOTIFY_TYPE;
            types[count].Count = static_cast<DWORD>(fields.jobFieldCount);
            types[count].pFields = const_cast<WORD*>(fields.jobFields);
            ++count;
        }
        if (fields.printerFieldCount > 0) {
            types[count].Type = PRINTER_NOTIFY_TYPE;
            types[count].Count = static_cast<DWORD>(fields.printerFieldCount);
            types[count].pFields = const_cast<WORD*>(fields.printerFields);
            ++count;
        }
        PRINTER_NOTIFY_OPTIONS options = {2, 0, count, types};
        SetLastError(ERROR_SUCCESS);
        HANDLE change = ::FindFirstPrinterChangeNotification(printer, changes, 0, &options);
        if (change == INVALID_HANDLE_VALUE || change == nullptr) {
            *error = GetLastError();
            return nullptr;
        }
        *error = ERROR_SUCCESS;
        return change;
    }

    DWORD FindNextChange(HANDLE change, bool refresh, SpoolChanges* out) override
    {
        out->what = 0;
        out->overflow = false;
        out->notices.clear();
        PRINTER_NOTIFY_OPTIONS options = {2, PRINTER_NOTIFY_OPTIONS_REFRESH, 0, nullptr};
        PRINTER_NOTIFY_INFO* info = nullptr;
        DWORD what = 0;
        if (!::FindNextPrinterChangeNotification(change, &what, refresh ? &options : nullptr,
                                                 reinterpret_cast<void**>(&info))) {
            const DWORD error = GetLastError();
            return error ? error : ERROR_INVALID_FUNCTION;
        }
        out->what = what;
        if (info) {
            out->overflow = (info->Flags & PRINTER_NOTIFY_INFO_DISCARDED) != 0;
            for (DWORD i = 0; i < info->Count; ++i) {
                const PRINTER_NOTIFY_INFO_DATA& data = info->aData[i];
                SpoolNotice notice;
                notice.kind = data.Type == JOB_NOTIFY_TYPE ? SpoolNotice::kJob : SpoolNotice::kPrinter;
                notice.id = data.Id;
                notice.field = data.Field;
                if (notice.kind == SpoolNotice::kJob && IsTextJobField(data.Field)) {
                    const wchar_t* text = static_cast<const wchar_t*>(data.NotifyData.Data.pBuf);
                    const DWORD chars = data.NotifyData.Data.cbBuf / sizeof(wchar_t);
                    if (text)
                        notice.text.assign(text, wcsnlen(text, chars));
                } else if (notice.kind == SpoolNotice::kJob && data.Field == JOB_NOTIFY_FIELD_SUBMITTED) {
                    if (data.NotifyData.Data.pBuf && data.NotifyData.Data.cbBuf >= sizeof(SYSTEMTIME))
                        notice.time = *static_cast<const SYSTEMTIME*>(data.NotifyData.Data.pBuf);
                } else if (notice.kind == SpoolNotice::kJob && IsPointerJobField(data.Field)) {
                    continue;   // not shown
                } else {
                    notice.number = data.NotifyData.adwData[0];
                }
                out->notices.push_back(notice);
            }
            ::FreePrinterNotifyInfo(info);
        }
        return ERROR_SUCCESS;
    }

    void FindCloseChange(HANDLE change) override
    {
        if (change)
            ::FindClosePrinterChangeNotification(change);
    }
};

Win32Spooler gSystemSpooler;
Spooler* gSpooler = nullptr;

const WORD kJobFields[] = {JOB_NOTIFY_FIELD_STATUS,        JOB_NOTIFY_FIELD_POSITION,
                           JOB_NOTIFY_FIELD_TOTAL_PAGES,   JOB_NOTIFY_FIELD_PAGES_PRINTED,
                           JOB_NOTIFY_FIELD_TOTAL_BYTES,   JOB_NOTIFY_FIELD_BYTES_PRINTED};

// Every job field from 0 to 23, the port name (2) listed twice as the queue
// window has always asked.
const WORD kQueueJobFields[] = {0,  1,  2,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23};
const WORD kQueuePrinterFields[] = {PRINTER_NOTIFY_FIELD_CJOBS};

}  // namespace

DWORD FillSized(std::vector<BYTE>& buffer, const std::function<BOOL(BYTE*, DWORD, DWORD*)>& call)
{
    DWORD needed = 0;
    buffer.clear();
    for (int tries = 0; tries < 8; ++tries) {
        if (call(buffer.empty() ? nullptr : buffer.data(), static_cast<DWORD>(buffer.size()), &needed))
            return ERROR_SUCCESS;
        const DWORD error = GetLastError();
        if (error == ERROR_SUCCESS && needed == 0)
            return ERROR_NO_DATA;   // a failure that names no error and asks for nothing
        if (error != ERROR_INSUFFICIENT_BUFFER)
            return error ? error : ERROR_INVALID_FUNCTION;
        if (needed <= buffer.size())
            return needed == 0 ? ERROR_NO_DATA : ERROR_INSUFFICIENT_BUFFER;
        buffer.assign(needed, 0);
    }
    return ERROR_INSUFFICIENT_BUFFER;
}

const SpoolWatchFields kJobWatchFields = {kJobFields, 6, nullptr, 0};
const SpoolWatchFields kQueueWatchFields = {kQueueJobFields, 25, kQueuePrinterFields, 1};

Spooler& GetSpooler()
{
    return gSpooler ? *gSpooler : gSystemSpooler;
}

Spooler* SetSpooler(Spooler* spooler)
{
    Spooler* previous = gSpooler;
    gSpooler = spooler;
    return previous;
}
