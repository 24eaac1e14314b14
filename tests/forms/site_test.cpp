// The demo site's description files, in both of its languages (site/cfg in
// Russian, with the language's Russian keywords; site/cfg/en in English):
// each parses cleanly, says what the program relies on, names only tables and
// columns of site/schema.sql, and shows texts of its own language only.
#include "desc_test_util.h"
#include "forms/dbformdesc.h"
#include "forms/desccache.h"
#include "forms/formdesc.h"
#include "forms/reportdesc.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

enum Kind { kList, kFilter, kReport };

// Every file of site/cfg and what it is; the table a filter's own fields belong to.
struct SiteFile {
    const wchar_t* name;
    Kind kind;
    const wchar_t* table;
};
const SiteFile kSiteFiles[] = {
    {L"main.cfg", kList, nullptr},
    {L"MainFilt.cfg", kFilter, L"Patient"},
    {L"Patient.cfg", kList, nullptr},
    {L"ImagesPeriod.cfg", kReport, nullptr},
    {L"RepPatient.cfg", kList, nullptr},
    {L"RepFilt.cfg", kFilter, L"Patient"},
    {L"ImagesList.cfg", kReport, nullptr},
    {L"RepImages.cfg", kList, nullptr},
    {L"RepImgFilt.cfg", kFilter, L"Snimok INNER JOIN Patient ON Snimok.Patient = Patient.Patient"},
};

std::wstring Lower(std::wstring s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); });
    return s;
}

// A column name as the schema lists it: without brackets, in lower case.
std::wstring Bare(const wchar_t* text, DWORD length)
{
    std::wstring s(text, length);
    if (s.size() >= 2 && s.front() == L'[' && s.back() == L']')
        s = s.substr(1, s.size() - 2);
    return Lower(s);
}

// Tables and their columns from the DDL text: "CREATE TABLE name (" then one
// column per line up to ");".
std::map<std::wstring, std::set<std::wstring>> ReadSchema()
{
    std::map<std::wstring, std::set<std::wstring>> tables;
    std::string text;
    HANDLE f = CreateFileW((std::wstring(TF_SITE_DIR) + L"schema.sql").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(f, buffer, sizeof(buffer), &read, nullptr) && read > 0)
            text.append(buffer, read);
        CloseHandle(f);
    }
    std::istringstream in(text);
    std::string line;
    std::wstring table;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::wstring w(line.begin(), line.end());
        w.erase(0, w.find_first_not_of(L" \t"));
        if (w.compare(0, 13, L"CREATE TABLE ") == 0) {
            table = Lower(w.substr(13, w.find_first_of(L" (", 13) - 13));
            tables[table];
        } else if (w.compare(0, 2, L");") == 0) {
            table.clear();
        } else if (!table.empty() && !w.empty() && w.compare(0, 2, L"--") != 0) {
            std::wstring name = w[0] == L'[' ? w.substr(1, w.find(L']') - 1) : w.substr(0, w.find(L' '));
            tables[table].insert(Lower(name));
        }
    }
    return tables;
}

}  // namespace

// One language of the site: its folder below site/, and whether it is Russian.
struct SiteLanguage {
    const wchar_t* folder;
    bool russian;
};

class SiteTest : public DescTest, public ::testing::WithParamInterface<SiteLanguage> {
protected:
    std::wstring Folder() const { return std::wstring(TF_SITE_DIR) + GetParam().folder; }
    void SetUp() override
    {
        DescTest::SetUp();
        schema_ = ReadSchema();
        for (const SiteFile& f : kSiteFiles) {
            ASSERT_TRUE(CopyFileW((Folder() + f.name).c_str(), (folder_ + f.name).c_str(), FALSE))
                << testing::PrintToString(std::wstring(f.name));
        }
    }
    void TearDown() override
    {
        DescCache::Instance().Clear();
        DescTest::TearDown();
    }

    // A column of the table, or of one of the tables of a join ("A INNER JOIN
    // B ON ...").
    void ExpectColumn(const std::wstring& table, const std::wstring& column, const wchar_t* file)
    {
        std::vector<std::wstring> names;
        std::wstring rest = table.substr(0, table.find(L" ON "));
        for (size_t join; (join = rest.find(L" INNER JOIN ")) != std::wstring::npos; rest = rest.substr(join + 12))
            names.push_back(rest.substr(0, join));
        names.push_back(rest);
        bool found = false;
        for (const std::wstring& name : names) {
            auto t = schema_.find(Lower(name));
            ASSERT_NE(schema_.end(), t) << "table " << testing::PrintToString(name) << " of "
                                        << testing::PrintToString(std::wstring(file));
            found = found || t->second.count(Lower(column)) > 0;
        }
        EXPECT_TRUE(found) << "column " << testing::PrintToString(column) << " of " << testing::PrintToString(table)
                           << " in " << testing::PrintToString(std::wstring(file));
    }

    void ExpectFields(const std::wstring& table, const DescStrArray& fields, const wchar_t* file)
    {
        for (int i = 0; i < fields.count; ++i) {
            const FieldBlob* f = fields[i];
            ExpectColumn(table, Bare(f->column, f->columnLength), file);
            if (const FieldRef* r = f->reference) {
                ExpectColumn(std::wstring(r->table, r->tableLength), Bare(r->keyColumn, r->keyColumnLength), file);
                ExpectColumn(std::wstring(r->table, r->tableLength), Bare(r->shownColumn, r->shownColumnLength), file);
            }
        }
    }

    void CheckList(const DbFormDesc& d, const wchar_t* file)
    {
        const std::wstring table(d.Table().GetString(), d.Table().Length());
        ExpectColumn(table, Bare(d.Key().GetString(), d.Key().Length()), file);
        ExpectFields(table, d.Items(), file);
        ExpectFields(table, d.List(), file);
        std::wstringstream order(std::wstring(d.Order().GetString(), d.Order().Length()));
        std::wstring column;
        while (std::getline(order, column, L',')) {
            column.erase(0, column.find_first_not_of(L' '));
            ExpectColumn(table, Bare(column.c_str(), static_cast<DWORD>(column.size())), file);
        }
    }

    void CheckFilter(const FormDesc& d, const wchar_t* table, const wchar_t* file)
    {
        ExpectFields(table, d.Fields(), file);
        for (int i = 0; i < d.RefCount(); ++i) {
            const FormRefDesc* r = d.Ref(i);
            const std::wstring refTable(r->String(kRefTable), r->StringLength(kRefTable));
            const std::wstring base(r->String(kRefBaseTable), r->StringLength(kRefBaseTable));
            ExpectColumn(refTable, Lower(std::wstring(r->String(kRefKey), r->StringLength(kRefKey))), file);
            ExpectColumn(refTable, Lower(std::wstring(r->String(kRefRefKey), r->StringLength(kRefRefKey))), file);
            ExpectColumn(base, Lower(std::wstring(r->String(kRefBaseKey), r->StringLength(kRefBaseKey))), file);
            ExpectFields(refTable, r->fields, file);
        }
    }

    std::map<std::wstring, std::set<std::wstring>> schema_;
};

TEST_P(SiteTest, TheSchemaHasThePatientAndImageTables)
{
    ASSERT_TRUE(schema_.count(L"patient"));
    ASSERT_TRUE(schema_.count(L"snimok"));
    for (const wchar_t* c : {L"patient", L"name1", L"name2", L"name3", L"birthday", L"pol"})
        EXPECT_TRUE(schema_[L"patient"].count(c)) << testing::PrintToString(std::wstring(c));
    for (const wchar_t* c : {L"snimok", L"patient", L"date file", L"file name", L"disk", L"arj", L"apicriz"})
        EXPECT_TRUE(schema_[L"snimok"].count(c)) << testing::PrintToString(std::wstring(c));
}

TEST_P(SiteTest, EveryFileIsListedHere)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((Folder() + L"*").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    int files = 0;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        ++files;
        bool known = false;
        for (const SiteFile& f : kSiteFiles)
            known = known || Lower(f.name) == Lower(data.cFileName);
        EXPECT_TRUE(known) << testing::PrintToString(std::wstring(data.cFileName));
    } while (FindNextFileW(find, &data));
    FindClose(find);
    EXPECT_EQ(static_cast<int>(sizeof(kSiteFiles) / sizeof(kSiteFiles[0])), files);
}

TEST_P(SiteTest, EveryFileParsesAndNamesOnlySchemaColumns)
{
    for (const SiteFile& f : kSiteFiles) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(f.name)));
        if (f.kind == kList) {
            DbFormDesc d;
            ASSERT_EQ(1, d.Parse(f.name));
            CheckList(d, f.name);
        } else if (f.kind == kFilter) {
            FormDesc d;
            ASSERT_EQ(1, d.Parse(f.name));
            CheckFilter(d, f.table, f.name);
        } else {
            ReportDesc d;
            ASSERT_EQ(1, d.Parse(f.name));
            for (int i = 0; i < d.TableCount(); ++i) {
                ASSERT_NE(nullptr, d.Table(i).list);
                ASSERT_NE(nullptr, d.Table(i).filt);
            }
        }
    }
    EXPECT_TRUE(Records().empty());
}

TEST_P(SiteTest, ThePatientListHasWhatThePatientLookupReads)
{
    DbFormDesc d;
    ASSERT_EQ(1, d.Parse(L"main.cfg"));
    EXPECT_EQ(std::wstring(L"Patient"), d.Table().GetString());
    EXPECT_EQ(std::wstring(L"Patient"), d.Key().GetString());
    std::set<std::wstring> columns;
    for (int i = 0; i < d.List().count; ++i)
        columns.insert(Bare(d.List()[i]->column, d.List()[i]->columnLength));
    for (const wchar_t* c : {L"name1", L"name2", L"name3", L"birthday"})
        EXPECT_TRUE(columns.count(c)) << testing::PrintToString(std::wstring(c));
}

TEST_P(SiteTest, ThePatientFilterTestsTheImagesDate)
{
    FormDesc d;
    ASSERT_EQ(1, d.Parse(L"MainFilt.cfg"));
    EXPECT_EQ(4, d.Fields().count);
    ASSERT_EQ(1, d.RefCount());
    const FormRefDesc* r = d.Ref(0);
    EXPECT_EQ(std::wstring(L"Snimok"), r->String(kRefTable));
    ASSERT_EQ(1, r->fields.count);
    EXPECT_EQ(L"date file", Bare(r->fields[0]->column, r->fields[0]->columnLength));
    EXPECT_EQ(kFieldDate, r->fields[0]->Base());
}

TEST_P(SiteTest, ThePatientCard)
{
    DbFormDesc d;
    ASSERT_EQ(1, d.Parse(L"Patient.cfg"));
    EXPECT_EQ(std::wstring(L"Patient"), d.Table().GetString());
    EXPECT_EQ(std::wstring(L"Patient"), d.Key().GetString());
    // The database gives the key: it is not a field of the card.
    int rowids = 0, checkrows = 0;
    std::set<std::wstring> columns;
    for (int i = 0; i < d.Items().count; ++i) {
        const FieldBlob* f = d.Items()[i];
        EXPECT_NE(L"patient", Bare(f->column, f->columnLength));
        columns.insert(Bare(f->column, f->columnLength));
        rowids += (f->type & kFieldRowId) != 0;
        checkrows += (f->type & kFieldCheckRow) != 0;
    }
    for (const wchar_t* c : {L"name1", L"name2", L"name3", L"birthday", L"pol"})
        EXPECT_TRUE(columns.count(c)) << testing::PrintToString(std::wstring(c));
    EXPECT_GE(rowids, 2);
    EXPECT_GE(checkrows, 1);
    // Deleting a patient must not leave his images without an owner.
    EXPECT_EQ(0, d.ChildCount());
    EXPECT_EQ(1, d.HasEvent(kEventAddUpdate));   // F2
    EXPECT_EQ(1, d.HasEvent(kEventNew));         // Insert
    EXPECT_EQ(1, d.HasEvent(kEventClose));       // Escape
    EXPECT_EQ(0, d.HasEvent(kEventDelete));
}

TEST_P(SiteTest, TheImagesReportListsTheImagesWithTheirPatients)
{
    ReportDesc r;
    ASSERT_EQ(1, r.Parse(L"ImagesList.cfg"));
    EXPECT_NE(0, r.Orientation()) << "landscape";
    ASSERT_EQ(1, r.TableCount());
    const DbFormDesc* list = r.Table(0).list;
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(std::wstring(L"Snimok"), list->Key().GetString());
    int total = 0;
    for (int i = 0; i < list->List().count; ++i)
        total -= list->List()[i]->width;
    EXPECT_EQ(1000, total) << "per mille widths that fill the printable width";
    EXPECT_EQ(2, r.Table(0).filt->Fields().count);
}

TEST_P(SiteTest, TheReport)
{
    ReportDesc r;
    ASSERT_EQ(1, r.Parse(L"ImagesPeriod.cfg"));
    EXPECT_GT(r.Left(), 0);
    EXPECT_GT(r.HeaderCount(), 0);
    ASSERT_EQ(1, r.TableCount());
    const DbFormDesc* list = r.Table(0).list;
    EXPECT_EQ(DescCache::DbFormDescFor(L"RepPatient.cfg"), list);
    EXPECT_EQ(DescCache::FormDescFor(L"RepFilt.cfg"), r.Table(0).filt);
    // Per mille widths that fill the printable width exactly.
    int total = 0;
    for (int i = 0; i < list->List().count; ++i) {
        EXPECT_LT(list->List()[i]->width, -1);
        total -= list->List()[i]->width;
    }
    EXPECT_EQ(1000, total);
    ASSERT_EQ(1, r.Table(0).filt->RefCount());
}

namespace {

bool IsCyrillic(wchar_t c) { return c >= 0x0400 && c <= 0x04FF; }

// A text of the other language: in English any Cyrillic letter; in Russian a
// Latin word in lower case outside parentheses (key names such as "(Ins)"
// and abbreviations are written so in both).
bool Foreign(const std::wstring& text, bool russian)
{
    int depth = 0;
    for (wchar_t c : text) {
        depth += c == L'(' ? 1 : c == L')' ? -1 : 0;
        if (russian ? (depth == 0 && c >= L'a' && c <= L'z') : IsCyrillic(c))
            return true;
    }
    return false;
}

}  // namespace

// Every caption, button text, tooltip, yes/no text and report header of the
// set is in the set's language.
TEST_P(SiteTest, EveryTextTheUserSeesIsInTheSetsLanguage)
{
    const bool russian = GetParam().russian;
    std::vector<std::pair<std::wstring, std::wstring>> texts;   // where, what
    auto fields = [&](const wchar_t* file, const DescStrArray& list) {
        for (int i = 0; i < list.count; ++i) {
            const FieldBlob* f = list[i];
            texts.emplace_back(file, std::wstring(f->caption, f->captionLength));
            if (const wchar_t* format = f->FormatText())
                texts.emplace_back(file, std::wstring(format, f->formatLength));
        }
    };
    for (const wchar_t* name : {L"main.cfg", L"Patient.cfg", L"RepPatient.cfg", L"RepImages.cfg"}) {
        DbFormDesc d;
        ASSERT_EQ(1, d.Parse(name));
        texts.emplace_back(name, d.Caption());
        fields(name, d.Items());
        fields(name, d.List());
        for (int i = 0; i < d.ButtonCount(); ++i) {
            texts.emplace_back(name, d.Button(i).caption.GetString());
            texts.emplace_back(name, d.Button(i).tooltip.GetString());
        }
    }
    for (const wchar_t* name : {L"MainFilt.cfg", L"RepFilt.cfg", L"RepImgFilt.cfg"}) {
        FormDesc d;
        ASSERT_EQ(1, d.Parse(name));
        texts.emplace_back(name, d.Caption());
        fields(name, d.Fields());
        for (int i = 0; i < d.RefCount(); ++i) {
            texts.emplace_back(name, std::wstring(d.Ref(i)->String(kRefName), d.Ref(i)->StringLength(kRefName)));
            fields(name, d.Ref(i)->fields);
        }
    }
    for (const wchar_t* name : {L"ImagesPeriod.cfg", L"ImagesList.cfg"}) {
        ReportDesc report;
        ASSERT_EQ(1, report.Parse(name));
        for (int i = 0; i < report.HeaderCount(); ++i) {
            int length = 0;
            if (const wchar_t* text = report.HeaderText(i, &length))
                texts.emplace_back(name, std::wstring(text, length));
        }
    }
    int cyrillic = 0;
    for (const auto& t : texts) {
        EXPECT_FALSE(Foreign(t.second, russian))
            << testing::PrintToString(t.first) << ": " << testing::PrintToString(t.second);
        for (wchar_t c : t.second)
            cyrillic += IsCyrillic(c);
    }
    EXPECT_EQ(russian, cyrillic > 0);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, SiteTest,
                         ::testing::Values(SiteLanguage{L"cfg/", true}, SiteLanguage{L"cfg/en/", false}),
                         [](const ::testing::TestParamInfo<SiteLanguage>& info) {
                             return info.param.russian ? std::string("Russian") : std::string("English");
                         });
