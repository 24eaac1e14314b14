// The spooler as printing sees it: buffers that grow to the size the
// spooler asks for, and the system's spooler under Wine with the run's CUPS
// printer: its job's empty fields, no change notifications, an empty queue,
// and the job gone once its document has ended.
#include "print_fixture.h"

#include "printing/jobstatus.h"
#include "printing/spooler.h"

#include <winspool.h>

#include <algorithm>
#include <cstring>

using namespace printtest;

TEST(SpoolerBuffers, ABufferGrowsToWhatTheSpoolerAsksEvenWhenTheJobGrows)
{
    // A job of 100 bytes that has grown to 180 by the time the buffer came.
    std::vector<DWORD> sizes;
    int calls = 0;
    std::vector<BYTE> buffer;
    const DWORD result = FillSized(buffer, [&](BYTE* data, DWORD size, DWORD* needed) -> BOOL {
        ++calls;
        sizes.push_back(size);
        const DWORD job = calls == 1 ? 100 : 180;
        if (!data || size < job) {
            *needed = job;
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        memset(data, 0x5A, job);
        return TRUE;
    });
    EXPECT_EQ(DWORD(ERROR_SUCCESS), result);
    EXPECT_EQ((std::vector<DWORD>{0, 100, 180}), sizes);
    ASSERT_EQ(180u, buffer.size());
    EXPECT_EQ(0x5A, buffer[179]);
}

TEST(SpoolerBuffers, FailuresAndNothingAskedFor)
{
    std::vector<BYTE> buffer;
    EXPECT_EQ(DWORD(ERROR_NO_DATA), FillSized(buffer, [](BYTE*, DWORD, DWORD* needed) -> BOOL {
                  *needed = 0;   // Wine's EnumJobsW on an empty queue
                  SetLastError(ERROR_INSUFFICIENT_BUFFER);
                  return FALSE;
              }));
    EXPECT_EQ(DWORD(ERROR_NO_DATA), FillSized(buffer, [](BYTE*, DWORD, DWORD* needed) -> BOOL {
                  *needed = 0;   // or with no error at all
                  SetLastError(ERROR_SUCCESS);
                  return FALSE;
              }));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), FillSized(buffer, [](BYTE*, DWORD, DWORD*) -> BOOL {
                  SetLastError(ERROR_INVALID_HANDLE);
                  return FALSE;
              }));
    int calls = 0;
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), FillSized(buffer, [&](BYTE*, DWORD size, DWORD* needed) -> BOOL {
                  ++calls;
                  *needed = size + 10;   // never satisfied
                  SetLastError(ERROR_INSUFFICIENT_BUFFER);
                  return FALSE;
              }));
    EXPECT_EQ(8, calls) << "it gives up";
}

TEST(SystemSpooler, UnderWineTheJobHasEmptyFieldsNoNotificationsAndGoesWithItsDocument)
{
    REQUIRE_CUPS();
    Spooler& spooler = GetSpooler();
    std::vector<std::wstring> printers;
    EXPECT_EQ(DWORD(ERROR_SUCCESS), spooler.ListPrinters(&printers));
    EXPECT_NE(printers.end(), std::find(printers.begin(), printers.end(), std::wstring(kPdfPrinter)));

    DWORD error = 0;
    HANDLE printer = spooler.OpenQueue(kPdfPrinter, PRINTER_ACCESS_USE, &error);
    ASSERT_TRUE(printer) << error;
    HANDLE change = spooler.FindFirstChange(printer, PRINTER_CHANGE_JOB, kJobWatchFields, &error);
    if (change)
        spooler.FindCloseChange(change);   // a spooler that notifies: nothing to check here
    std::vector<SpoolJob> jobs;
    EXPECT_EQ(DWORD(ERROR_SUCCESS), spooler.ListJobs(printer, 0, 1000, &jobs)) << "an empty queue is no failure";

    std::vector<BYTE> mode = PrinterDevMode(kPdfPrinter, false);
    HDC dc = CreateDCW(nullptr, kPdfPrinter, nullptr, reinterpret_cast<const DEVMODEW*>(mode.data()));
    ASSERT_TRUE(dc);
    {
        AwaitIdlePrinters();
        const std::wstring name = UniqueDocName(L"tfspool");
        DOCINFOW info = {sizeof info, name.c_str()};
        const int id = StartDocW(dc, &info);
        ASSERT_GT(id, 0);
        SpoolJob job;
        job.status = 0x12345;
        const DWORD read = spooler.ReadJob(printer, static_cast<DWORD>(id), &job);
        if (read == ERROR_SUCCESS) {
            EXPECT_EQ(static_cast<DWORD>(id), job.id);
            // Whatever the spooler leaves empty reads as empty, never as garbage.
            EXPECT_EQ(std::wstring::npos, job.user.find(L'\0'));
            EXPECT_EQ(JobStatusText(job.status).empty(), job.status == 0);
        }
        StartPage(dc);
        EndPage(dc);
        EXPECT_GT(EndDoc(dc), 0);
        EXPECT_NE(DWORD(ERROR_SUCCESS), spooler.ReadJob(printer, static_cast<DWORD>(id), nullptr))
            << "the job is gone once its document ended";
        EXPECT_FALSE(WaitForPdf(name).empty());
    }
    DeleteDC(dc);
    spooler.CloseQueue(printer);
}
