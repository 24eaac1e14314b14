#include "app/printservices.h"

#include "app/mainmenus.h"

namespace {

PrintServices& Table()
{
    static PrintServices services = {};
    return services;
}

template <typename Entry, typename... Args>
void Run(Entry entry, HWND owner, Args... args)
{
    if (entry)
        entry(owner, args...);
    else
        ShowNotAvailableYet(owner);
}

}  // namespace

const PrintServices& GetPrintServices()
{
    return Table();
}

PrintServices SetPrintServices(const PrintServices& services)
{
    const PrintServices previous = Table();
    Table() = services;
    return previous;
}

void OpenPrintHeaderDialog(HWND owner) { Run(Table().runPrintHeaderDlg, owner); }
void OpenReportsDialog(HWND owner) { Run(Table().runReportsDlg, owner); }
void OpenFontsDialog(HWND owner) { Run(Table().runFontsDlg, owner); }
void ChooseReportPrinter(HWND owner) { Run(Table().chooseReportProfile, owner); }
void OpenPrinterProfiles(HWND owner) { Run(Table().editPrinterProfiles, owner); }
void PrintReportFromDesc(HWND owner, ReportDesc* report, const wchar_t* name)
{
    Run(Table().printReport, owner, report, name);
}
void OpenPrinterStatus(HWND owner) { Run(Table().showStatusPrinterWnd, owner); }

bool RegisterPrinterStatusClass()
{
    return Table().registerStatusPrinterWnd ? Table().registerStatusPrinterWnd() : true;
}

void UnregisterPrinterStatusClass()
{
    if (Table().unregisterStatusPrinterWnd)
        Table().unregisterStatusPrinterWnd();
}

bool RegisterPrintStateClass()
{
    return Table().registerPrintStateWnd ? Table().registerPrintStateWnd() : true;
}

void UnregisterPrintStateClass()
{
    if (Table().unregisterPrintStateWnd)
        Table().unregisterPrintStateWnd();
}
