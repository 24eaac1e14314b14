// The demo-site builder: its script splitter, its synthetic radiographs, and
// a small site built end to end through the provider and the system's save.
#include "tools/demosite/radiograph.h"
#include "tools/demosite/sitebuilder.h"
#include "tools/demosite/sitedatabase.h"

#include "database/dbstart.h"
#include "images/files/datafolders.h"
#include "images/files/snimokdb.h"
#include "images/files/xmgfile.h"
#include "imagefiles_fixture.h"

#include <gtest/gtest.h>

#include <string.h>

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

TEST(DemoSite, SmallSiteIsBuiltThroughTheProviderAndTheSystemsSave)
{
    DataFolder folder;
    SiteOptions options;
    options.dataFolder = folder.Path() + L"site";
    options.schemaFile = TF_WIDEN(TF_IMAGES_TEST_SCHEMA);
    options.images = 3;
    options.width = 256;
    options.height = 320;
    std::wstring error;
    ASSERT_TRUE(BuildDemoSite(options, error)) << std::string(error.begin(), error.end());
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

}  // namespace
