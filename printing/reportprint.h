// Printing a described report (forms/reportdesc.h): the report menu of the
// main window builds ReportFilters from the chosen report (the user narrows
// each table's rows in its filter form), then PrintReport prints it: the
// report's text blocks, then for each table a header row and one row per
// record of the SELECT that the forms engine builds from the table's list
// form and its filter.
//
// The print runs on the calling (main) thread; the print-state window shows
// its progress from a thread of its own (printing/printstatewnd.h) and its
// Cancel stops the print at the next row. A print whose document was started
// ends with the state window waiting for the spooler to finish the job.
#pragma once

#include "forms/dbfilter.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class DbFormDesc;
class DocPrintStateWnd;
class FormDesc;
class PrintJob;
class ReportDesc;

// One table of the report and the filter of its rows.
struct ReportFilterItem {
    std::wstring name;              // the filter form's name
    const DbFormDesc* list = nullptr;   // the columns; none: the table prints nothing
    const FormDesc* form = nullptr;     // the filter form
    DbFilter filter;
};

class ReportFilters {
public:
    ReportFilters() = default;
    ~ReportFilters() { Free(); }
    ReportFilters(const ReportFilters&) = delete;
    ReportFilters& operator=(const ReportFilters&) = delete;

    // Takes the report's tables and asks each filter in turn (Ask). False when
    // the report has no tables, a filter cannot be loaded, or the user left a
    // filter form without setting a filter; the items are freed then.
    bool Create(const ReportDesc* report, const wchar_t* reportName, HWND owner);
    // Takes the report's tables with their filters loaded, without asking
    // (every row of each table); false as Create.
    bool Prepare(const ReportDesc* report, const wchar_t* reportName);
    // Runs each table's filter form in order; false at the first one that is
    // cancelled or sets no filter (the later ones are not asked).
    bool Ask(HWND owner);
    void Free();

    const ReportDesc* report = nullptr;
    std::vector<std::unique_ptr<ReportFilterItem>> items;
    std::wstring name;              // the document's name and the state window's title
};

// Prints the report on the printer of the "Report" job kind. False when
// nothing was printed because no printer was chosen or the state window
// could not start; true otherwise, also after an error that the state window
// showed until the user closed it.
bool PrintReport(ReportFilters& filters, HWND owner);

// The report's pages on a job whose document and first page are started:
// print font 2, the text blocks, then each table. Checks the window (may be
// null) for a request to stop before each row and at the end (ExcAbortPrint).
// Throws StrExc, DODBErrors and MsgExcept.
void PrintReportPages(PrintJob& job, const ReportFilters& filters, const DocPrintStateWnd* window);
// One table: its header row and its rows.
void PrintQuery(PrintJob& job, const ReportFilterItem& item, bool showSql, const DocPrintStateWnd* window);

// The report menu's print: parses nothing, asks the filters and prints.
void PrintReportFromMenu(HWND owner, ReportDesc* report, const wchar_t* reportName);
