// A report's filters as the report menu asks them: each table's filter form
// in turn, the first one left without a filter asking no other; the rows a
// filter leaves; a report without tables; the statement shown first when
// the report asks for it.
#include "print_site.h"

#include "common/prompt_script.h"
#include "forms/filterwnd.h"
#include "forms/kartwnd.h"
#include "forms/reportdesc.h"
#include "printing/reportprint.h"
#include "ui/init_rows.h"
#include "ui/window_create.h"

using namespace printtest;

namespace {

const wchar_t kNameFilter[] = L"form { caption = \"Names\" } items { { \"Family name\", \"Name1\", varchar(32) } }";

class Filters : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.Ok()) << db.Error();
        size_t failed = 0;
        ASSERT_TRUE(RunInitRows(ControlLibraryRows, ControlLibraryRowCount, &failed)) << failed;
        ASSERT_TRUE(DbKartWindow::RegisterClasses());
        db.WriteCfg(L"names.cfg", kNameFilter);
        db.WriteCfg(L"names-list.cfg",
                    L"table = \"Patient\" key = \"Patient\" orderby = \"Name1\" nosave\n"
                    L"list { { \"Family name\", \"Name1\", varchar(32) } }");
    }
    void TearDown() override
    {
        DbKartWindow::UnregisterClasses();
        UndoInitRows(ControlLibraryRows, ControlLibraryRowCount);
    }

    // The family names a report prints on a memory printer.
    std::vector<std::wstring> Printed(const ReportFilters& filters)
    {
        MemoryPrinter printer;
        PrintJob& job = printer.Job();
        job.leftMargin = job.rightMargin = job.topMargin = job.bottomMargin = 1500;
        DOCINFOW info = {sizeof info, L"filters"};
        job.StartDoc(info);
        job.StartPage();
        PrintReportPages(job, filters, nullptr);
        job.EndPage();
        printer.Read();
        std::vector<std::wstring> names;
        for (const MemoryPrinter::Text& t : printer.Texts())
            if (t.text != L"Family name")
                names.push_back(t.text);
        return names;
    }

    PrivateSettings settings;
    DemoDatabase db;
};

}  // namespace

TEST_F(Filters, LeavingTheFirstFilterFormAsksNoOtherAndPrintsNothing)
{
    db.WriteCfg(L"two.cfg", L"table { list = \"names-list.cfg\" filt = \"names.cfg\" }\n"
                            L"table { list = \"names-list.cfg\" filt = \"names.cfg\" }\n");
    ReportDesc report;
    ASSERT_TRUE(report.Parse(L"two.cfg"));
    int forms = 0;
    ModalDriver driver;
    driver.Then(DbFiltFormWindow::kClassName, [&](HWND window) {
        ++forms;
        WindowObject<DbFiltFormWindow>(window)->Close(0);   // as Escape and "Exit" do
        return true;
    });
    ReportFilters filters;
    EXPECT_FALSE(filters.Create(&report, L"Two tables", nullptr));
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(1, forms);
    EXPECT_TRUE(filters.items.empty());
    EXPECT_EQ(nullptr, filters.report);
}

TEST_F(Filters, EachFormIsAskedInTurnAndItsFilterChoosesTheRows)
{
    db.WriteCfg(L"two.cfg", L"table { list = \"names-list.cfg\" filt = \"names.cfg\" }\n"
                            L"table { list = \"names-list.cfg\" filt = \"names.cfg\" }\n");
    ReportDesc report;
    ASSERT_TRUE(report.Parse(L"two.cfg"));
    ModalDriver driver;
    for (const wchar_t* name : {L"Smith", L"Rossi"})
        driver.Then(DbFiltFormWindow::kClassName, [name](HWND hwnd) {
            DbFiltFormWindow* window = WindowObject<DbFiltFormWindow>(hwnd);
            SetWindowTextW(window->OwnGroup().rows[0]->editors[0]->control, name);
            return window->SetFilter();   // as "Set Filter" and F2 do
        });
    ReportFilters filters;
    ASSERT_TRUE(filters.Create(&report, L"Two tables", nullptr));
    EXPECT_TRUE(driver.Done());
    ASSERT_EQ(2u, filters.items.size());
    EXPECT_EQ(L"Two tables", filters.name);
    EXPECT_EQ((std::vector<std::wstring>{L"Smith", L"Rossi"}), Printed(filters));
}

TEST_F(Filters, AReportWithoutTablesIsNotPrinted)
{
    db.WriteCfg(L"none.cfg", L"header { text = \"Nothing\" }\n");
    ReportDesc report;
    EXPECT_FALSE(report.Parse(L"none.cfg")) << "a report needs a table";
    ReportFilters filters;
    EXPECT_FALSE(filters.Create(&report, L"None", nullptr));
    EXPECT_FALSE(filters.Create(nullptr, L"None", nullptr));
    EXPECT_FALSE(PrintReport(filters, nullptr)) << "nothing to print, no printer asked for";
}

TEST_F(Filters, ShowSqlShowsTheStatementBeforeItRuns)
{
    db.WriteCfg(L"sql.cfg", L"table { list = \"names-list.cfg\" filt = \"names.cfg\" }\nshow_sql = 1\n");
    ReportDesc report;
    ASSERT_TRUE(report.Parse(L"sql.cfg"));
    ReportFilters filters;
    ASSERT_TRUE(filters.Prepare(&report, L"SQL"));
    PromptScript prompts({IDOK});
    EXPECT_EQ(db.Patients().size(), Printed(filters).size());
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(L"SQL", prompts.Last().caption);
    EXPECT_EQ(0u, prompts.Last().text.find(L"SELECT Name1, Patient FROM Patient"));
    EXPECT_TRUE(prompts.Last().flags & MB_SYSTEMMODAL);
}
