// Report descriptions: page, tables, header blocks and the SQL flag.
#include "common/prompt_script.h"
#include "desc_test_util.h"
#include "forms/dbformdesc.h"
#include "forms/desccache.h"
#include "forms/descheap.h"
#include "forms/formdesc.h"
#include "forms/reportdesc.h"

#include <string>

class ReportDescTest : public DescTest {
protected:
    void SetUp() override
    {
        DescTest::SetUp();
        WriteCfg(L"list.cfg", L"table = \"Patient\" key = \"Patient\" nosave list { {\"Name\",\"Name1\",char(40)} }");
        WriteCfg(L"filt.cfg", L"items { {\"Name\",\"Name1\",char(40)} }");
    }
    void TearDown() override
    {
        // The forms a report names live in the process-wide cache.
        DescCache::Instance().Clear();
        DescTest::TearDown();
    }
    int Parse(ReportDesc& report, const std::wstring& text)
    {
        WriteCfg(L"report.cfg", text);
        return report.Parse(L"report.cfg");
    }
    std::wstring Text(const ReportDesc& r, int i)
    {
        int length = -1;
        const wchar_t* text = r.HeaderText(i, &length);
        return text ? std::wstring(text, length) : L"<null>";
    }
};

TEST_F(ReportDescTest, PageTablesHeaderAndSqlFlag)
{
    ReportDesc report;
    ASSERT_EQ(1, Parse(report,
                       L"page { left = 2000 right=1000 top = 1500 bottom = -5 orientation = 1 }\n"
                       L"header { align =center text = \"Patients\" line\n"
                       L"         align=right|bottom string = \"Printed\" text = \"\" }\n"
                       L"table { filt = \"filt.cfg\" list = \"list.cfg\" }\n"
                       L"table { list = \"LIST.CFG\" filt = \"filt.cfg\" }\n"
                       L"show_sql = 1\n"));
    EXPECT_EQ(std::wstring(L"report.cfg"), report.GetName());
    EXPECT_EQ(2000, report.Left());
    EXPECT_EQ(1000, report.Right());
    EXPECT_EQ(1500, report.Top());
    EXPECT_EQ(-5, report.Bottom());
    EXPECT_EQ(1, report.Orientation());
    EXPECT_EQ(1, report.ShowSql());
    ASSERT_EQ(2, report.TableCount());
    EXPECT_EQ(DescCache::DbFormDescFor(L"list.cfg"), report.Table(0).list);
    EXPECT_EQ(report.Table(0).list, report.Table(1).list);
    EXPECT_EQ(DescCache::FormDescFor(L"filt.cfg"), report.Table(0).filt);
    EXPECT_EQ(0, report.Table(0).values.count);
    ASSERT_EQ(6, report.HeaderCount());
    EXPECT_EQ(kBlockAlign, report.HeaderKind(0));
    EXPECT_EQ(4u, report.HeaderAlign(0));
    EXPECT_EQ(kBlockText, report.HeaderKind(1));
    EXPECT_EQ(L"Patients", Text(report, 1));
    EXPECT_EQ(kBlockLine, report.HeaderKind(2));
    EXPECT_EQ(10u, report.HeaderAlign(3));
    EXPECT_EQ(kBlockString, report.HeaderKind(4));
    EXPECT_EQ(L"Printed", Text(report, 4));
    EXPECT_EQ(L"", Text(report, 5));
    EXPECT_EQ(0xFFFFFFFFu, report.HeaderKind(6));
    EXPECT_TRUE(Records().empty());
}

TEST_F(ReportDescTest, AlignWordMustFollowTheEqualsSign)
{
    ReportDesc report;
    EXPECT_EQ(0, Parse(report, L"header { align = center } table { list = \"list.cfg\" filt = \"filt.cfg\" }"));
    EXPECT_EQ(static_cast<DWORD>(-1), OnlyRecord().code);
}

TEST_F(ReportDescTest, RussianWords)
{
    ReportDesc report;
    ASSERT_EQ(1, Parse(report,
                       L"страница { слева = 1 справа = 2 сверху = 3 снизу = 4 ориентация = 0 }\n"
                       L"заголовок { выравнивание =left текст = \"Отчёт\" линия строка = \"s\" }\n"
                       L"таблица { список = \"list.cfg\" фильтр = \"filt.cfg\" }\n"
                       L"показ_sql = 0\n"));
    EXPECT_EQ(4, report.Bottom());
    EXPECT_EQ(4, report.HeaderCount());
    EXPECT_EQ(L"Отчёт", Text(report, 1));
}

TEST_F(ReportDescTest, LineBetweenTwoTextsFlattensToThreeEntries)
{
    ReportDesc report;
    ASSERT_EQ(1,
        Parse(report, L"header { text = \"a\" line text = \"b\" } table { list = \"list.cfg\" filt = \"filt.cfg\" }"));
    ASSERT_EQ(3, report.HeaderCount());
    EXPECT_EQ(kBlockText, report.HeaderKind(0));
    EXPECT_EQ(kBlockLine, report.HeaderKind(1));
    EXPECT_EQ(kBlockText, report.HeaderKind(2));
    EXPECT_EQ(L"b", Text(report, 2));
}

TEST_F(ReportDescTest, TableWithOnlyAFilterParsesWithoutAList)
{
    ReportDesc report;
    ASSERT_EQ(1, Parse(report, L"table {\n filt = \"filt.cfg\" }"));
    ASSERT_EQ(1, report.TableCount());
    EXPECT_EQ(nullptr, report.Table(0).list);
    EXPECT_NE(nullptr, report.Table(0).filt);
    EXPECT_TRUE(Records().empty());
}

TEST_F(ReportDescTest, TableWithoutFilterIsASyntaxError)
{
    ReportDesc report;
    EXPECT_EQ(0, Parse(report, L"table { list = \"list.cfg\" }"));
    EXPECT_EQ(L"Form \"report.cfg\" syntax error (0, 27)", OnlyRecord().text);
}

TEST_F(ReportDescTest, WithoutTablesFailsWithoutARecord)
{
    ReportDesc report;
    EXPECT_EQ(0, Parse(report, L"page { left = 1 } show_sql = 1"));
    EXPECT_TRUE(Records().empty());
}

TEST_F(ReportDescTest, ParsedOnlyOnce)
{
    ReportDesc report;
    ASSERT_EQ(1, Parse(report, L"page { left = 7 } table { list = \"list.cfg\" filt = \"filt.cfg\" }"));
    WriteCfg(L"other.cfg", L"page { left = 9 } table { list = \"list.cfg\" filt = \"filt.cfg\" }");
    EXPECT_EQ(0, report.Parse(L"other.cfg"));
    EXPECT_EQ(7, report.Left());
    EXPECT_EQ(1, report.TableCount());
    EXPECT_EQ(std::wstring(L"report.cfg"), report.GetName());
}

TEST_F(ReportDescTest, HeaderTextOf4095IsKept4096IsRefused)
{
    const std::wstring tables = L" table { list = \"list.cfg\" filt = \"filt.cfg\" }";
    ReportDesc ok;
    ASSERT_EQ(1, Parse(ok, L"header { text = \"" + std::wstring(4095, L'x') + L"\" }" + tables));
    EXPECT_EQ(4095u, Text(ok, 0).size());
    ReportDesc bad;
    EXPECT_EQ(0, Parse(bad, L"header { string = \"" + std::wstring(4096, L'x') + L"\" }" + tables));
    EXPECT_EQ(2u, OnlyRecord().code);
}

TEST_F(ReportDescTest, TableKeyFaults)
{
    struct Case {
        const wchar_t* text;
        DWORD code;
    } cases[] = {
        {L"table { list = \"list.cfg\" list = \"list.cfg\" filt = \"filt.cfg\" }", 2},
        {L"table { list = \"\" filt = \"filt.cfg\" }", 2},
        {L"table { form = \"list.cfg\" }", 2},
        {L"table ( )", 2},
        {L"page { width = 1 }", 2},
        {L"header { picture = \"x\" }", 2},
        {L"header { text \"x\" }", 2},
        {L"report { }", 2},
    };
    for (const Case& c : cases) {
        ReportDesc report;
        EXPECT_EQ(0, Parse(report, c.text)) << testing::PrintToString(std::wstring(c.text));
        const std::vector<JournalLine> r = Records();
        ASSERT_FALSE(r.empty());
        EXPECT_EQ(c.code, r.back().code) << testing::PrintToString(std::wstring(c.text));
    }
}

TEST_F(ReportDescTest, ANameLongerThan259IsEndOfText)
{
    ReportDesc report;
    EXPECT_EQ(0, Parse(report, L"table { list = \"" + std::wstring(260, L'a') + L"\" }"));
    EXPECT_EQ(1u, OnlyRecord().code);
}

TEST_F(ReportDescTest, AFormThatFailsIsShownByTheCacheAndRefusesTheTable)
{
    PromptScript script({IDOK});
    ReportDesc report;
    EXPECT_EQ(0, Parse(report, L"table { list = \"missing.cfg\" filt = \"filt.cfg\" }"));
    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(L"File \"missing.cfg\" interpretating error", script.Last().text);
    EXPECT_EQ(L"Form \"report.cfg\" syntax error (0, 28)", OnlyRecord().text);
}

TEST_F(ReportDescTest, DestroyingAReportLeavesTheFormsCached)
{
    const LONG before = DescHeap::Outstanding();
    {
        ReportDesc report;
        ASSERT_EQ(1, Parse(report, L"header { text = \"a\" } table { list = \"list.cfg\" filt = \"filt.cfg\" }"));
    }
    EXPECT_EQ(2, DescCache::Instance().Count());
    DescCache::Instance().Clear();
    EXPECT_EQ(before, DescHeap::Outstanding());
}
