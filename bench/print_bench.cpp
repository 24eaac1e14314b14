// Printing's own work, laid out to a memory printer (a metafile device
// context standing for an A4 printer of 300 dpi; no spooler):
//   - a described report of 10,000 rows against one of 1,000 rows of the
//     same description (the query, the layout and the GDI calls): the cost
//     ratio beside the size ratio, at most 1.2 times it (12x for 10x rows);
//   - a picture sheet of a 3000 x 3000 picture: how many times the picture
//     is sent per page (at most once), and that it goes as one 8-bit grey
//     bitmap of its own size.
// Each figure is the best of several runs, as the machines are shared; the
// exit status is 1 when one is above its limit.
#include "bench/benchutil.h"
#include "database/dbstart.h"
#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "forms/dbfilter.h"
#include "forms/desccache.h"
#include "forms/formdesc.h"
#include "forms/reportdesc.h"
#include "printing/printjob.h"
#include "printing/reportprint.h"
#include "printing/sheetprint.h"
#include "tools/demosite/sitebuilder.h"
#include "tools/demosite/sitedatabase.h"

#include <objbase.h>
#include <stdio.h>

#include <string>
#include <vector>

namespace {

const PageDeviceCaps kA4 = {2480, 3508, 0, 0, 2480, 3508, 300, 300};

bool WriteCfg(const std::wstring& path, const std::wstring& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<BYTE> bytes = {0xFF, 0xFE};
    for (wchar_t c : text) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE;
    CloseHandle(file);
    return ok;
}

// What a metafile holds of the picture: the bitmaps and the pages.
struct Recorded {
    int dibs = 0;
    int greyDibs = 0;    // 8 bits with a palette of 256 greys, the source 3000 x 3000
    int pages = 0;
};

int CALLBACK CountRecord(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM param)
{
    Recorded* out = reinterpret_cast<Recorded*>(param);
    if (record->iType == EMR_SETVIEWPORTORGEX)
        ++out->pages;
    if (record->iType == EMR_STRETCHDIBITS) {
        const EMRSTRETCHDIBITS* dib = reinterpret_cast<const EMRSTRETCHDIBITS*>(record);
        const BITMAPINFO* info =
            reinterpret_cast<const BITMAPINFO*>(reinterpret_cast<const BYTE*>(record) + dib->offBmiSrc);
        bool grey = info->bmiHeader.biBitCount == 8 && dib->cxSrc == 3000 && dib->cySrc == 3000;
        for (int i = 0; grey && i < 256; ++i)
            grey = info->bmiColors[i].rgbRed == i && info->bmiColors[i].rgbGreen == i &&
                   info->bmiColors[i].rgbBlue == i;
        ++out->dibs;
        out->greyDibs += grey ? 1 : 0;
    }
    return 1;
}

// Lays the report out on a new memory printer; the pages it took.
int PrintToMemory(const ReportFilters& filters, HFONT font)
{
    HDC dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    int pages = 0;
    {
        PrintJob job;
        job.OpenMemory(dc, kA4);
        job.leftMargin = job.rightMargin = job.topMargin = job.bottomMargin = 1500;
        DOCINFOW info = {sizeof info, L"bench"};
        job.StartDoc(info);
        job.StartPage();
        job.SelectFont(font);
        PrintReportPages(job, filters, nullptr);
        job.EndPage();
        job.EndDoc();
        pages = job.PageCount();
    }
    DeleteEnhMetaFile(CloseEnhMetaFile(dc));
    return pages;
}

}  // namespace

int wmain()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    bench::Verdict verdict;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"print_bench_" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"Cfg").c_str(), nullptr);
    wcscpy(CfgFolder, (folder + L"Cfg\\").c_str());
    SetDateTimeFormats(0x409);
    std::wstring error;
    if (!CreateSiteDatabase(folder + L"bench.db", TF_PRINT_BENCH_SCHEMA, error) || FillSiteTables(error).empty()) {
        fwprintf(stderr, L"no database: %ls\n", error.c_str());
        return 1;
    }
    // 10,000 patients: the demo's, multiplied.
    const wchar_t* grow = L"INSERT INTO Patient (Name1, Name2, Name3, Birthday, Pol) "
                          L"SELECT a.Name1, b.Name2, b.Name3, a.Birthday, b.Pol FROM Patient a, Patient b;";
    for (int round = 0; round < 2; ++round)
        if (FAILED(g_DbSession->ExecSql(grow, nullptr, nullptr, nullptr, nullptr))) {
            fprintf(stderr, "cannot add the patients\n");
            return 1;
        }
    const wchar_t* trim = L"DELETE FROM Patient WHERE Patient > 10000;";
    if (FAILED(g_DbSession->ExecSql(trim, nullptr, nullptr, nullptr, nullptr))) {
        fprintf(stderr, "cannot trim the patients\n");
        return 1;
    }
    const bool written =
        WriteCfg(folder + L"Cfg\\rows.cfg",
                 L"table = \"Patient\" key = \"Patient\" orderby = \"Patient\" nosave\n"
                 L"list {\n"
                 L" { \"No.\", \"Patient\", int32 special counter, width = -80, align =right, border = left|right }\n"
                 L" { \"Family name\", \"Name1\", varchar(32), width = -300, border = right }\n"
                 L" { \"First name\", \"Name2\", varchar(32), width = -250, border = right }\n"
                 L" { \"Patronymic\", \"Name3\", varchar(32), width = -250, border = right }\n"
                 L" { \"Birthday\", \"Birthday\", date, width = -120, align =center, border = right }\n"
                 L"}\n") &&
        WriteCfg(folder + L"Cfg\\rowsfilt.cfg",
                 L"form { caption = \"Rows\" } items { { \"Key\", \"Patient\", int32 } }") &&
        WriteCfg(folder + L"Cfg\\rows-report.cfg",
                 L"header { align =center text = \"Patients\" line }\n"
                 L"table { list = \"rows.cfg\" filt = \"rowsfilt.cfg\" }\n");
    ReportDesc report;
    if (!written || !report.Parse(L"rows-report.cfg")) {
        fprintf(stderr, "the report cannot be read\n");
        return 1;
    }
    HFONT font = CreateFontW(-353, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"DejaVu Sans");

    // The same report of all 10,000 rows and of the rows below key 1001.
    ReportFilters all, thousand;
    if (!all.Prepare(&report, L"all") || !thousand.Prepare(&report, L"thousand")) {
        fprintf(stderr, "the filters cannot be loaded\n");
        return 1;
    }
    FilterCondition& key = thousand.items[0]->filter.Own().conditions[0];
    const LONG limit = 1001;
    FilterCondition::SetKind(&key, kFilterLess);
    key.SetValue(0, &limit, sizeof limit);
    FilterCondition::Normalize(&key);
    int pagesAll = 0, pagesThousand = 0;
    try {
        pagesThousand = PrintToMemory(thousand, font);
        pagesAll = PrintToMemory(all, font);
    } catch (...) {
        verdict.Failed("report_rows", "the report could not be laid out");
        return verdict.ExitCode();
    }
    const bench::Timing small = bench::Measure([&] { PrintToMemory(thousand, font); }, 5);
    const bench::Timing large = bench::Measure([&] { PrintToMemory(all, font); }, 3);
    printf("report: 1,000 rows on %d pages in %.1f ms, 10,000 rows on %d pages in %.1f ms\n", pagesThousand,
           small.best, pagesAll, large.best);
    bench::Scaling(verdict, "report_rows", {1000, 10000}, {small.best, large.best}, 1.2);

    // The picture sheet.
    std::vector<BYTE> pixels(3000u * 3000u);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<BYTE>(i * 7 / 3000);
    SnimokPrintCfg cfg = {};
    SetDefaultSnimokPrintCfg(cfg);
    cfg.printHeader = cfg.printPatient = cfg.printNote = 0;
    cfg.pixels = pixels.data();
    cfg.pixelWidth = cfg.pixelHeight = 3000;
    Recorded recorded;
    auto sheet = [&](Recorded* out) {   // out: what the metafile holds
        HDC dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
        {
            PrintJob job;
            job.OpenMemory(dc, kA4);
            job.leftMargin = cfg.leftField;
            job.rightMargin = cfg.rightField;
            job.topMargin = cfg.topField;
            job.bottomMargin = cfg.bottomField;
            DOCINFOW info = {sizeof info, L"sheet"};
            job.StartDoc(info);
            job.StartPage();
            job.SelectFont(font);
            PrintSheetPages(job, cfg, SheetTexts(), nullptr);
            job.EndPage();
            job.EndDoc();
        }
        HENHMETAFILE metafile = CloseEnhMetaFile(dc);
        EnumEnhMetaFile(nullptr, metafile, CountRecord, out, nullptr);
        DeleteEnhMetaFile(metafile);
    };
    try {
        sheet(&recorded);
    } catch (...) {
        verdict.Failed("sheet_dibs_per_page", "the sheet could not be laid out");
        return verdict.ExitCode();
    }
    char text[256];
    snprintf(text, sizeof text,
             "pictures sent per page: %d bitmaps (%d of them one 8-bit grey 3000 x 3000) on %d pages", recorded.dibs,
             recorded.greyDibs, recorded.pages);
    verdict.Ratio("sheet_dibs_per_page", recorded.pages ? static_cast<double>(recorded.dibs) / recorded.pages : 99.0,
                  1.0, text);
    if (recorded.greyDibs != recorded.dibs || recorded.dibs == 0)
        verdict.Failed("sheet_grey_dib", "the picture was not sent as one 8-bit grey bitmap");

    DeleteObject(font);
    DescCache::Instance().Clear();
    CloseSiteDatabase();
    DeleteFileW((folder + L"bench.db").c_str());
    for (const wchar_t* name : {L"rows.cfg", L"rowsfilt.cfg", L"rows-report.cfg"})
        DeleteFileW((folder + L"Cfg\\" + name).c_str());
    RemoveDirectoryW((folder + L"Cfg").c_str());
    RemoveDirectoryW(folder.c_str());
    return verdict.ExitCode();
}
