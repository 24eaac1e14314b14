// The demo-site builder: its script splitter, its synthetic radiographs, and
// a small site built end to end through the provider and the system's save,
// with the second workstation whose database its merge settings merge.
#include "tools/demosite/radiograph.h"
#include "tools/demosite/secondsite.h"
#include "tools/demosite/sitebuilder.h"
#include "tools/demosite/sitedatabase.h"

#include "database/dbcommand.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dbstart.h"
#include "exchange/merge/importengine.h"
#include "images/files/datafolders.h"
#include "images/files/snimokdb.h"
#include "images/files/xmgfile.h"
#include "common/merge_run.h"
#include "common/settings_root.h"
#include "images/imagefiles_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#define TF_WIDEN2(x) L##x
#define TF_WIDEN(x) TF_WIDEN2(x)

using namespace imgtest;

namespace {

TEST(SqlScript, SplitsAtSemicolonsOutsideQuotesBracketsAndComments)
{
    const std::wstring script = L"-- heading; with a semicolon\n"
                                L"CREATE TABLE A (x int); /* a; b */\n"
                                L"INSERT INTO A VALUES ('a;b');\n"
                                L"SELECT [c;d] FROM A\n"
                                L";;\n  \n";
    std::vector<std::wstring> statements = SplitSqlScript(script);
    ASSERT_EQ(3u, statements.size());
    EXPECT_EQ(L"CREATE TABLE A (x int)", statements[0]);
    EXPECT_EQ(L"INSERT INTO A VALUES ('a;b')", statements[1]);
    EXPECT_EQ(L"SELECT [c;d] FROM A", statements[2]);
}

TEST(Radiograph, SameSeedSamePictureWithinItsBits)
{
    DPicturePtr a = MakeRadiograph(300, 360, 12, 7, RadiographKind::Chest);
    DPicturePtr b = MakeRadiograph(300, 360, 12, 7, RadiographKind::Chest);
    DPicturePtr c = MakeRadiograph(300, 360, 12, 8, RadiographKind::Chest);
    ASSERT_TRUE(a.Get() && b.Get() && c.Get());
    EXPECT_EQ(0, memcmp(a->GetBits(), b->GetBits(), 300 * 360 * 2));
    EXPECT_NE(0, memcmp(a->GetBits(), c->GetBits(), 300 * 360 * 2));
    int low = 65535, high = 0;
    for (int i = 0; i < 300 * 360; ++i) {
        low = std::min<int>(low, a->GetBits()[i]);
        high = std::max<int>(high, a->GetBits()[i]);
    }
    EXPECT_LT(high, 4096);
    EXPECT_GT(high - low, 1000);
    EXPECT_EQ(12, a->bitsPerPixel);
    EXPECT_EQ(0, memcmp(a->GetBits(), a->GetWorkBits(), 300 * 360 * 2));
    EXPECT_GT(a->displayWidth, 0);
}

TEST(Radiograph, CollimatedBorderIsFlatAndTheFieldIsNot)
{
    DPicturePtr a = MakeRadiograph(400, 500, 14, 3, RadiographKind::Limb);
    ASSERT_TRUE(a.Get());
    const uint16_t* px = a->GetBits();
    EXPECT_EQ(px[0], px[399]);
    EXPECT_EQ(px[0], px[499 * 400]);
    int differing = 0;
    for (int x = 100; x < 300; ++x)
        differing += px[250 * 400 + x] != px[250 * 400 + x + 1];
    EXPECT_GT(differing, 100);
}

TEST(Radiograph, BadArgumentsGiveNoPicture)
{
    EXPECT_FALSE(MakeRadiograph(10, 400, 12, 1, RadiographKind::Chest).Get());
    EXPECT_FALSE(MakeRadiograph(400, 400, 17, 1, RadiographKind::Chest).Get());
}

SiteOptions SmallSite(const std::wstring& folder, int images, int width, int height)
{
    SiteOptions options;
    options.dataFolder = folder;
    options.schemaFile = TF_WIDEN(TF_IMAGES_TEST_SCHEMA);
    options.images = images;
    options.width = width;
    options.height = height;
    return options;
}

TEST(DemoSite, SmallSiteIsBuiltThroughTheProviderAndTheSystemsSave)
{
    DataFolder folder;
    std::wstring error;
    ASSERT_TRUE(BuildDemoSite(SmallSite(folder.Path() + L"site", 3, 256, 320), error))
        << std::string(error.begin(), error.end());
    const std::wstring site = folder.Path() + L"site\\";
    EXPECT_TRUE(Exists(site + L"dbinit.cfg"));
    EXPECT_TRUE(Exists(site + L"demo.db"));

    ASSERT_TRUE(OpenSiteDatabase(site + L"demo.db", error));
    int xmg = 0;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((site + L"Image\\*.xmg").c_str(), &data);
    std::wstring first;
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (first.empty())
                first = data.cFileName;
            ++xmg;
            std::wstring name(data.cFileName);
            name.resize(name.size() - 4);
            EXPECT_EQ(36864u, ReadBytes(site + L"Icon\\" + name + L".thb").size());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    EXPECT_EQ(3, xmg);
    ASSERT_FALSE(first.empty());
    first.resize(first.size() - 4);
    // The file name ends with the image key.
    const DWORD id = (DWORD)_wtoi(first.c_str() + 11);
    DPicturePtr p = LoadPictureFileEx(id, first.c_str());
    ASSERT_TRUE(p.Get());
    EXPECT_EQ(1, p->stored);
    EXPECT_EQ(320, p->height);
    EXPECT_NE(0u, p->patient.GetPatientId());
    EXPECT_GT(p->patient.GetNameLength(0), 0);
    CloseSiteDatabase();
}

TEST(DemoSite, PatientsMixCyrillicAndLatinNames)
{
    int cyrillic = 0, latin = 0;
    for (const SitePatient& patient : DemoPatients()) {
        if (patient.name1[0] >= 0x400 && patient.name1[0] < 0x500)
            ++cyrillic;
        else
            ++latin;
    }
    EXPECT_GE(cyrillic + latin, 24);
    EXPECT_GT(cyrillic, 5);
    EXPECT_GT(latin, 5);
}

// Every row of a query, its columns as texts (integers in decimal, NULL as
// "<null>").
std::vector<std::vector<std::wstring>> Rows(const wchar_t* sql)
{
    std::vector<std::vector<std::wstring>> rows;
    DODBPtr<DODBCommand> command;
    DODBPtr<DODBRowset> rowset;
    DODBPtr<DODBParams> row;
    if (!g_DbSession->CreateCommand(command) || FAILED(command->SetCmdText(sql)) ||
        !command->Execute(rowset, &row, nullptr, nullptr))
        return rows;
    while (rowset->GetNextData(row.Get())) {
        std::vector<std::wstring> values;
        for (ULONG i = 0; i < row->GetCount(); ++i) {
            if (row->GetStatus(i) == DBSTATUS_S_ISNULL)
                values.push_back(L"<null>");
            else if (row->GetWType(i) == DBTYPE_WSTR)
                values.push_back(row->GetWStrPtr(i));
            else if (row->GetWType(i) == DBTYPE_I8)
                values.push_back(std::to_wstring(*static_cast<LONGLONG*>(row->GetValuePtr(i))));
            else
                values.push_back(std::to_wstring(row->GetInt(i)));
        }
        rows.push_back(values);
    }
    return rows;
}

bool HasCyrillic(const std::wstring& text)
{
    for (wchar_t c : text)
        if (c >= 0x400 && c < 0x500)
            return true;
    return false;
}

// The site in each language: its templates and modalities speak it; the first
// patients have several images each, and the first images a description made
// from a template, so that the strip and the notes show something at once.
TEST(DemoSite, EachLanguagesSiteHasItsTemplatesAndSomePatientsWithDescribedImages)
{
    for (bool russian : {false, true}) {
        SCOPED_TRACE(russian ? "Russian" : "English");
        DataFolder folder;
        SiteOptions options = SmallSite(folder.Path() + L"site", 14, 128, 160);
        options.russian = russian;
        std::wstring error;
        ASSERT_TRUE(BuildDemoSite(options, error)) << std::string(error.begin(), error.end());
        ASSERT_TRUE(OpenSiteDatabase(folder.Path() + L"site\\demo.db", error));
        const auto templates = Rows(L"SELECT Txt, DiagTemplate FROM DiagHelp;");
        EXPECT_GE(templates.size(), 3u);
        for (const auto& t : templates) {
            EXPECT_EQ(russian, HasCyrillic(t[0])) << std::string(t[0].begin(), t[0].end());
            EXPECT_EQ(russian, HasCyrillic(t[1]));
        }
        for (const auto& m : Rows(L"SELECT Name FROM Modality;"))
            EXPECT_TRUE(russian || !HasCyrillic(m[0]));
        const auto perPatient = Rows(L"SELECT Patient, COUNT(*) FROM Snimok GROUP BY Patient ORDER BY 2 DESC;");
        ASSERT_GE(perPatient.size(), 3u);
        EXPECT_EQ(L"4", perPatient[0][1]);
        EXPECT_EQ(L"4", perPatient[2][1]);
        const auto described = Rows(L"SELECT Apicriz, DiagHelp FROM Snimok WHERE Apicriz IS NOT NULL;");
        EXPECT_EQ(6u, described.size());
        for (const auto& d : described) {
            EXPECT_FALSE(d[0].empty());
            EXPECT_EQ(russian, HasCyrillic(d[0]));
            EXPECT_NE(L"<null>", d[1]);
        }
        CloseSiteDatabase();
    }
}

long Number(const wchar_t* sql)
{
    const auto rows = Rows(sql);
    return rows.empty() || rows[0].empty() ? -1 : _wtol(rows[0][0].c_str());
}

// A string value below the settings key, or "<none>".
std::wstring SettingText(HKEY root, const wchar_t* subKey, const wchar_t* name)
{
    wchar_t text[300] = L"";
    DWORD size = sizeof text - sizeof(wchar_t);
    if (RegGetValueW(root, subKey, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return L"<none>";
    return text;
}

// The merge settings the site installs, run by the program's merge engine
// over a site the tool made, as "Merge databases" runs it: the second
// workstation's own images come with their patients (the namesake of a site
// patient born in another year as a patient of his own), their descriptions
// and sex; its copies of the site's images are known and not doubled.
TEST(DemoSite, ItsMergeSettingsBringTheSecondWorkstationsOwnImagesAndKnowItsCopiesOfTheSites)
{
    for (bool russian : {false, true}) {
        SCOPED_TRACE(russian ? "Russian" : "English");
        DataFolder folder;
        PrivateSettingsKey key(L"demomerge");
        ASSERT_NE(nullptr, key.Key());
        // An earlier configuration carried a column the site's Patient table
        // lacks: the site's settings replace it whole.
        const DWORD wide = 130;
        RegSetKeyValueW(key.Key(), L"ImportSettings\\Patient\\Address", L"CType", REG_DWORD, &wide, sizeof wide);
        SiteOptions options = SmallSite(folder.Path() + L"site", 3, 128, 160);
        options.russian = russian;
        std::wstring error;
        ASSERT_TRUE(BuildDemoSite(options, error)) << std::string(error.begin(), error.end());
        const std::wstring site = folder.Path() + L"site\\";
        ASSERT_TRUE(WriteDemoMergeSettings(site + L"Workstation2\\", error)) << std::string(error.begin(), error.end());
        EXPECT_EQ(site + L"Workstation2", SettingText(key.Key(), L"ImportSettings", L"DBPath"));

        ASSERT_TRUE(OpenSiteDatabase(site + L"demo.db", error));
        const long patients = Number(L"SELECT COUNT(*) FROM Patient;");
        const long described = Number(L"SELECT COUNT(*) FROM Snimok WHERE Apicriz IS NOT NULL;");
        testfix::QuietMergeLink link;
        ImportDBCls engine(nullptr, &link);
        EXPECT_EQ(ImportDBCls::kRunning, testfix::RunMergeSteps(engine, true, &error))
            << std::string(error.begin(), error.end());
        EXPECT_EQ(7u, engine.ImagesToMerge());
        EXPECT_EQ(5u, engine.MergedCount());
        EXPECT_EQ(0u, engine.SkippedCount()) << "the copies were recognised, not left out";
        EXPECT_EQ(3 + 1, Number(L"SELECT COUNT(*) FROM Snimok s JOIN Patient p ON p.Patient=s.Patient "
                                L"WHERE p.Name1='Brown';"))
            << "the copies of Brown's site images came again";
        EXPECT_EQ(patients + 2, Number(L"SELECT COUNT(*) FROM Patient;"));
        EXPECT_EQ(2, Number(L"SELECT COUNT(*) FROM Patient WHERE Name1='Smith' AND Name2='John';"));
        EXPECT_EQ(1, Number(L"SELECT Pol FROM Patient WHERE Name1=N'Орлов';"));
        EXPECT_EQ(described + 3, Number(L"SELECT COUNT(*) FROM Snimok WHERE Apicriz IS NOT NULL;"));
        EXPECT_THAT(link.patients, ::testing::Contains(std::wstring(L"Орлов Григорий Семёнович")));
        CloseSiteDatabase();
    }
}

// The demo clinic's header follows the site's language until the user types
// a header of their own, which every later start keeps.
TEST(DemoSite, TheClinicHeaderIsTheDemoClinicsUntilTheUserSetsOne)
{
    PrivateSettingsKey key(L"header");
    ASSERT_NE(nullptr, key.Key());
    const struct {
        const wchar_t* typed;   // the user's Company1 before the start, or none
        bool russian;
        const wchar_t* company1;
        const wchar_t* cabinet;
    } starts[] = {
        {nullptr, true, L"Городская поликлиника № 1", L"Рентгеновский кабинет № 104"},
        {nullptr, false, L"City Clinic No. 1", L"X-ray room 104"},
        {L"", true, L"Городская поликлиника № 1", L"Рентгеновский кабинет № 104"},
        {L"Clinic of St. Luke", false, L"Clinic of St. Luke", L"Рентгеновский кабинет № 104"},
    };
    for (const auto& start : starts) {
        if (start.typed)
            RegSetKeyValueW(key.Key(), L"Header", L"Company1", REG_SZ, start.typed,
                            static_cast<DWORD>((wcslen(start.typed) + 1) * sizeof(wchar_t)));
        std::wstring error;
        ASSERT_TRUE(WriteDemoHeader(start.russian, error)) << std::string(error.begin(), error.end());
        EXPECT_EQ(start.company1, SettingText(key.Key(), L"Header", L"Company1"));
        EXPECT_EQ(start.cabinet, SettingText(key.Key(), L"Header", L"Cabinet"));
    }
}

}  // namespace
