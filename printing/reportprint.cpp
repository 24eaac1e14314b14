#include "printing/reportprint.h"

#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "foundation/messages.h"
#include "forms/dbformdesc.h"
#include "forms/filterwnd.h"
#include "forms/formdesc.h"
#include "forms/reportdesc.h"
#include "forms/sqltext.h"
#include "printing/printerprofile.h"
#include "printing/printfailure.h"
#include "printing/printfonts.h"
#include "printing/printjob.h"
#include "printing/printstatewnd.h"
#include "printing/reportlayout.h"
#include "resources/strings.h"

namespace {

void CheckAbort(const DocPrintStateWnd* window)
{
    if (window && window->IsAbortRequested())
        throw ExcAbortPrint();
}

}  // namespace

// ---- filters -----------------------------------------------------------------------

bool ReportFilters::Prepare(const ReportDesc* desc, const wchar_t* reportName)
{
    Free();
    if (!desc || desc->TableCount() < 1)
        return false;
    report = desc;
    name = reportName ? reportName : L"";
    for (int i = 0; i < desc->TableCount(); ++i) {
        const ReportTable& table = desc->Table(i);
        std::unique_ptr<ReportFilterItem> item(new ReportFilterItem);
        item->list = table.list;
        item->form = table.filt;
        if (table.filt) {
            item->name = table.filt->GetName() ? table.filt->GetName() : L"";
            if (!item->filter.Load(table.filt)) {
                Free();
                return false;
            }
        }
        items.push_back(std::move(item));
    }
    return true;
}

bool ReportFilters::Create(const ReportDesc* desc, const wchar_t* reportName, HWND owner)
{
    try {
        if (Prepare(desc, reportName) && Ask(owner))
            return true;
    } catch (const StrExc&) {
    } catch (const MsgExcept&) {
    }
    Free();
    return false;
}

bool ReportFilters::Ask(HWND owner)
{
    for (const std::unique_ptr<ReportFilterItem>& item : items) {
        if (!item->form)
            continue;
        bool set = false;
        if (!DbFiltFormWindow::Run(&item->filter, owner, &set) || !set)
            return false;
    }
    return true;
}

void ReportFilters::Free()
{
    items.clear();
    report = nullptr;
    name.clear();
}

// ---- the pages ----------------------------------------------------------------------

void PrintQuery(PrintJob& job, const ReportFilterItem& item, bool showSql, const DocPrintStateWnd* window)
{
    if (!item.list)
        return;
    SqlText sql;
    DODBPtr<DODBBindParam> params;
    if (!BuildFilterSelect(sql, *item.list, item.form ? &item.filter : nullptr, params) || !sql.Ok())
        throw StrExc{IDS_QUERY_BUILD_ERROR};
    if (showSql)
        MessageBoxIdCaption(nullptr, sql.c_str(), L"SQL", MB_OK | MB_SYSTEMMODAL);
    BoundStatement query(g_DbSession, sql.c_str());
    query.UseParams(params);
    query.Execute();

    const DescStrArray& fields = item.list->List();
    std::vector<ColData> columns = CreateColData(job, fields.items, fields.count);
    if (columns.empty() && fields.count > 0)
        throw StrExc{IDS_COLUMNS_CREATE_ERROR};
    PrintHeaderRow(job, columns);
    for (ColData& column : columns)
        column.ResetCounter();
    while (query.Next()) {
        CheckAbort(window);
        for (ColData& column : columns) {
            if (column.Counts()) {
                column.Count();
            } else if (column.ordinal >= 0) {
                column.Read(query.Row(), static_cast<ULONG>(column.ordinal));
            }
        }
        PrintRow(job, columns);
    }
}

void PrintReportPages(PrintJob& job, const ReportFilters& filters, const DocPrintStateWnd* window)
{
    {
        JobFont font(job, Font2.Handle());
        PrintTextBlocks(job, *filters.report);
        for (const std::unique_ptr<ReportFilterItem>& item : filters.items) {
            CheckAbort(window);
            PrintQuery(job, *item, filters.report->ShowSql() != 0, window);
        }
    }
    CheckAbort(window);
}

// ---- the print ------------------------------------------------------------------------

bool PrintReport(ReportFilters& filters, HWND owner)
{
    if (!filters.report)
        return false;
    PrintJob job;
    PrinterProfilePtr profile;
    try {
        GUID guid;
        const bool haveGuid = GetJobProfileGuid(kReportJob, &guid);
        if (!OpenReportPrinter(owner, job, profile, filters.report, guid, haveGuid))
            return false;
    } catch (const StrExc& e) {
        MessageBoxIdCaption(owner, e.id, IdOrText(0), MB_OK);
        return false;
    } catch (const MsgExcept& e) {
        e.Show(owner, MB_OK);
        return false;
    }

    DocPrintStateWnd window;
    if (!window.Start(nullptr, filters.name.c_str())) {
        MessageBoxIdCaption(owner, IDS_PRINT_STATE_WINDOW_ERROR, IdOrText(0), MB_OK);
        return false;
    }
    try {
        LoadPrintFonts();
        job.leftMargin = filters.report->Left();
        job.rightMargin = filters.report->Right();
        job.topMargin = filters.report->Top();
        job.bottomMargin = filters.report->Bottom();
        window.SetPrinterName(profile->deviceName.c_str());
        DOCINFOW info = {};
        info.cbSize = sizeof info;
        info.lpszDocName = filters.name.c_str();
        const int jobId = job.StartDoc(info);
        window.WatchPrinter(static_cast<DWORD>(jobId));
        job.StartPage();
        window.SetStateText(IDS_PRINT_STATE_PRINTING);
        PrintReportPages(job, filters, &window);
        job.EndPage();
        job.EndDoc();
        job.Close();
        window.SetStateText(IDS_PRINT_STATE_WAITING);
        window.WaitJob();
    } catch (...) {
        ShowPrintFailure(window, std::current_exception());
    }
    window.Stop();
    profile.Reset();
    job.Close();
    return true;
}

void PrintReportFromMenu(HWND owner, ReportDesc* report, const wchar_t* reportName)
{
    ReportFilters filters;
    if (filters.Create(report, reportName, owner))
        PrintReport(filters, owner);
}
