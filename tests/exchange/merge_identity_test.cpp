// Every image exists exactly once on every workstation, however the merges
// run: one workstation takes another's images and gives them back, three
// merge in a ring, a database is merged from its own folder (refused), a
// source database is recreated in its folder, a workstation is installed from
// a copy of another's database (before or after any merge), a merge of an
// earlier program is given back, another merge runs meanwhile; and a picture
// saved twice stays twice. Each case is a list of steps on real
// workstations (folders with "dbinit.cfg", database, images); after each
// merge the images of both workstations are counted by their pixels, and the
// counts the merge window shows are compared with what was really copied.
#include "exchange_fixture.h"
#include "merge_fixture.h"

#include "common/site_checks.h"
#include "common/test_files.h"
#include "database/dbstart.h"
#include "exchange/merge/importengine.h"
#include "exchange/sync/syncformat.h"
#include "foundation/globals.h"
#include "foundation/textutil.h"
#include "images/files/snimokdb.h"
#include "images/pixels/displaylut.h"
#include "resources/strings.h"
#include "tools/demosite/radiograph.h"
#include "tools/demosite/sitebuilder.h"
#include "tools/demosite/sitedatabase.h"

#include <map>

using namespace mergetest;

namespace {

enum class Act {
    Merge,      // the target takes the source's images
    Refused,    // the same, refused: the source is the target's own database
    NewImage,   // the target saves an image of its own
    Recreate,   // the target's database is made anew in its folder, with images of its own
    Copy,       // the target is installed from a copy of the source's database and files
    // A merge of an earlier program: as Merge, then its traces turned into
    // what that program left, a ledger row per copy and no identities, and
    // its last image copied but not marked (the program ended before).
    EarlierMerge,
    Twin,         // the target saves its latest picture once more (a file imported twice)
    Rename,       // the target corrects the middle name of each of its patients
    // As Merge, while a second merge of the same pair runs to its end between
    // the first one's Connect and its start; the counts are the second's.
    Meanwhile,
};

struct Step {
    Act act;
    char target;
    char source;
};

struct Case {
    const char* name;
    std::vector<Step> steps;
};

void PrintTo(const Case& c, std::ostream* out)
{
    *out << c.name;
}

const Case kCases[] = {
    {"TakenAndGivenBack", {{Act::Merge, 'B', 'A'}, {Act::Merge, 'A', 'B'}, {Act::Merge, 'B', 'A'}}},
    {"Ring",
     {{Act::Merge, 'B', 'A'}, {Act::Merge, 'C', 'B'}, {Act::Merge, 'A', 'C'}, {Act::Merge, 'B', 'A'},
      {Act::Merge, 'C', 'B'}}},
    {"OwnFolder", {{Act::Refused, 'A', 'A'}, {Act::Merge, 'B', 'A'}, {Act::Refused, 'B', 'B'}, {Act::Merge, 'A', 'B'}}},
    {"RecreatedSource",
     {{Act::Merge, 'B', 'A'}, {Act::Recreate, 'A', 0}, {Act::Merge, 'B', 'A'}, {Act::Merge, 'A', 'B'}}},
    {"EarlierMergeGivenBack", {{Act::EarlierMerge, 'B', 'A'}, {Act::Merge, 'B', 'A'}, {Act::Merge, 'A', 'B'}}},
    {"EarlierMergeThenSourceRecreated", {{Act::EarlierMerge, 'B', 'A'}, {Act::Recreate, 'A', 0}, {Act::Merge, 'B', 'A'}}},
    {"CopiedDatabase",
     {{Act::Merge, 'B', 'A'}, {Act::Copy, 'D', 'A'}, {Act::NewImage, 'D', 0}, {Act::NewImage, 'A', 0},
      {Act::Merge, 'B', 'D'}, {Act::Merge, 'A', 'D'}, {Act::Merge, 'D', 'A'}}},
    {"OwnDatabaseCopiedToAnotherFolder", {{Act::Copy, 'D', 'A'}, {Act::NewImage, 'D', 0}, {Act::Merge, 'A', 'D'}}},
    {"InstalledFromABackupMergedBothWays",
     {{Act::Copy, 'D', 'A'}, {Act::NewImage, 'D', 0}, {Act::NewImage, 'A', 0}, {Act::Merge, 'D', 'A'},
      {Act::Merge, 'A', 'D'}}},
    {"APictureSavedTwiceStaysTwice",
     {{Act::Copy, 'D', 'A'}, {Act::Merge, 'B', 'A'}, {Act::Twin, 'D', 0}, {Act::Merge, 'A', 'D'}}},
    {"EarlierMergeGivenBackAfterARename",
     {{Act::EarlierMerge, 'B', 'A'}, {Act::Rename, 'B', 0}, {Act::Merge, 'A', 'B'}}},
    {"AnotherMergeMeanwhile", {{Act::Meanwhile, 'B', 'A'}, {Act::Merge, 'A', 'B'}}},
};

// What the merge must do, written out: the labels of a workstation's images,
// each with its mark "imported". A row of the source not marked is copied
// when the target lacks its image, and marked either way.
using Model = std::map<char, std::map<std::wstring, bool>>;

class MergeIdentityTest : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        SpaceMin = 0;
        SpaceArjStart = 0;
        WriteMergeSettings(settings_, L"");
    }
    void TearDown() override { CloseSiteDatabase(); }

    std::wstring Folder(char site) const { return root_.Path() + (wchar_t)site; }
    std::wstring DatabaseFile(char site) const { return Folder(site) + L"\\site.db"; }

    void Use(char site)
    {
        CloseSiteDatabase();
        std::wstring error;
        ASSERT_TRUE(OpenSiteDatabase(DatabaseFile(site), error)) << Narrow(error);
        testfix::UseDataFolders(Folder(site) + L"\\");
    }

    // A workstation with two images of its own.
    void Create(char site)
    {
        CloseSiteDatabase();
        testfix::RemoveTree(Folder(site));
        CreateDirectoryW(Folder(site).c_str(), nullptr);
        testfix::UseDataFolders(Folder(site) + L"\\");
        ASSERT_TRUE(WriteInitFile(Folder(site), DatabaseFile(site)));
        std::wstring error;
        ASSERT_TRUE(CreateSiteDatabase(DatabaseFile(site), SchemaFile(), error)) << Narrow(error);
        patients_[site] = FillSiteTables(error);
        ASSERT_FALSE(patients_[site].empty()) << Narrow(error);
        model_[site].clear();
        NewImage(site);
        NewImage(site);
    }

    // A new picture, or with `twin` the site's latest picture once more.
    void NewImage(char site, bool twin = false)
    {
        Use(site);
        const unsigned seed = twin ? latest_[site] : ++seed_;
        latest_[site] = seed;
        DPicturePtr picture = MakeRadiograph(96, 80, 12, 900u + seed, RadiographKind::Chest);
        ASSERT_TRUE(picture.Get());
        picture->patient.SetPatientId((uint32_t)patients_[site][seed % 4]);
        SYSTEMTIME taken = {2024, 6, 0, (WORD)(1 + seed % 28), 8, (WORD)(seed % 60), 0, 0};
        SystemTimeToFileTime(&taken, &picture->imageDate);
        std::vector<uint8_t> lut(65536);
        BuildDisplayLut(lut.data(), picture->displayOffset, picture->displayWidth, 0.0);
        ASSERT_TRUE(SaveSnimokTx(picture, lut.data()));
        std::wstring& known = labels_[PixelHash(std::wstring(ImageFolder) + picture->fileName + L".xmg")];
        if (!twin)
            known = std::wstring(1, (wchar_t)site) + std::to_wstring(seed);
        model_[site][twin ? known + L"+" : known] = false;
    }

    void Copy(char target, char source)
    {
        CloseSiteDatabase();
        testfix::RemoveTree(Folder(target));
        CreateDirectoryW(Folder(target).c_str(), nullptr);
        testfix::UseDataFolders(Folder(target) + L"\\");
        ASSERT_TRUE(CopyFileW(DatabaseFile(source).c_str(), DatabaseFile(target).c_str(), TRUE));
        ASSERT_TRUE(WriteInitFile(Folder(target), DatabaseFile(target)));
        for (const wchar_t* sub : {L"\\Image\\", L"\\Icon\\"})
            for (const std::wstring& name : exchtest::FilesIn(Folder(source) + sub, L"*"))
                ASSERT_TRUE(CopyFileW((Folder(source) + sub + name).c_str(), (Folder(target) + sub + name).c_str(), TRUE));
        patients_[target] = patients_[source];
        model_[target] = model_[source];
        latest_[target] = latest_[source];
    }

    // The images on the hard disk of a workstation, by their pixels.
    std::map<std::wstring, int> Census(char site)
    {
        Use(site);
        std::map<std::wstring, int> census;
        for (const std::wstring& name :
             testfix::RowsSql(L"SELECT [File name] FROM Snimok WHERE [Disk]=1 ORDER BY Snimok;")) {
            const auto known = labels_.find(PixelHash(std::wstring(ImageFolder) + name + L".xmg"));
            ++census[known == labels_.end() ? L"?" + name : known->second];
        }
        return census;
    }

    void RunStep(const Step& step)
    {
        switch (step.act) {
        case Act::NewImage:
            NewImage(step.target);
            return;
        case Act::Recreate:
            Create(step.target);
            return;
        case Act::Copy:
            Copy(step.target, step.source);
            return;
        case Act::Twin:
            NewImage(step.target, true);
            return;
        case Act::Rename:
            Use(step.target);
            testfix::ExecSetupSql(L"UPDATE Patient SET Name3=N'Исправлено';");
            return;
        case Act::Merge:
        case Act::Refused:
        case Act::EarlierMerge:
        case Act::Meanwhile:
            break;
        }
        const std::map<std::wstring, int> sourceBefore = Census(step.source);
        Use(step.target);
        settings_.SetString(L"ImportSettings", L"DBPath", Folder(step.source));
        RecordingLink link;
        std::wstring error;
        const int state = step.act == Act::Meanwhile ? RunMeanwhile(link, &error) : RunMerge(link, &error);
        DWORD copied = 0;
        if (step.act == Act::Refused) {
            EXPECT_EQ(-1, state);
            const std::wstring folder = Folder(step.source);
            EXPECT_EQ(syncfmt::Format(LoadText(IDS_MERGE_OWN_DATABASE).c_str(), {(DWORD_PTR)folder.c_str()}), error);
        } else {
            EXPECT_EQ(ImportDBCls::kRunning, state) << Narrow(error);
            for (auto& [label, imported] : model_[step.source]) {
                if (!imported)
                    copied += model_[step.target].emplace(label, false).second ? 1 : 0;
                imported = true;
            }
        }
        EXPECT_EQ(copied, link.Counter(0)) << "images offered";
        EXPECT_EQ(copied, link.Counter(1)) << "images merged";
        std::map<std::wstring, int> once;   // a twin counts with its picture's label
        for (const auto& image : model_[step.target])
            ++once[image.first.substr(0, image.first.find(L'+'))];
        EXPECT_EQ(once, Census(step.target)) << "every image once on the target";
        testfix::ExpectSiteConsistent(ImageFolder, true);
        EXPECT_EQ(sourceBefore, Census(step.source)) << "the source keeps its images";
        if (step.act == Act::EarlierMerge)
            ForgetIdentities(step.target, step.source);
    }

    // Act::Meanwhile: the first merge finds every image here and copies none.
    int RunMeanwhile(RecordingLink& link, std::wstring* error)
    {
        RecordingLink first;
        ImportDBCls engine(nullptr, &first);
        engine.Init();
        engine.Connect();
        const int state = RunMerge(link, error);
        EXPECT_NO_THROW(engine.StartUnion()) << "the first merge failed";
        EXPECT_EQ(0u, first.Counter(0)) << "images the first merge had to merge after all";
        EXPECT_EQ(0u, first.Counter(1)) << "images the first merge copied";
        return state;
    }

    // What an earlier program's merge left instead of identities.
    void ForgetIdentities(char target, char source)
    {
        Use(source);
        std::map<std::wstring, std::wstring> sourceImage;   // by identity
        for (const std::wstring& row : testfix::RowsSql(L"SELECT Guid, Snimok FROM MergeSnimok;"))
            sourceImage[row.substr(0, row.find(L'|'))] = row.substr(row.find(L'|') + 1);
        testfix::ExecSetupSql(L"DELETE FROM MergeSnimok;");
        const std::wstring last = testfix::RowsSql(L"SELECT MAX(Snimok) FROM Snimok WHERE imported=1;").at(0);
        testfix::ExecSetupSql(L"UPDATE Snimok SET imported=0 WHERE Snimok=" + last + L";");
        const std::wstring lastName = testfix::ScalarSql(L"SELECT [File name] FROM Snimok WHERE Snimok=" + last + L";");
        const std::wstring lastLabel = labels_[PixelHash(std::wstring(ImageFolder) + lastName + L".xmg")];
        model_[source][lastLabel] = false;

        wchar_t full[MAX_PATH];
        GetFullPathNameW(Folder(source).c_str(), MAX_PATH, full, nullptr);
        std::wstring folder = full;
        CharUpperBuffW(&folder[0], (DWORD)folder.size());
        Use(target);
        for (const std::wstring& row : testfix::RowsSql(L"SELECT Guid, Snimok FROM MergeSnimok;")) {
            const auto there = sourceImage.find(row.substr(0, row.find(L'|')));
            if (there != sourceImage.end())
                testfix::ExecSetupSql(L"INSERT INTO MergeLedger (SourceDb, SourceSnimok, Snimok) VALUES ('" + folder +
                                      L"', " + there->second + L", " + row.substr(row.find(L'|') + 1) + L");");
        }
        testfix::ExecSetupSql(L"DELETE FROM MergeSnimok;");
    }

    testfix::TempDir root_{L"tfmergeid"};
    SettingsRootKey settings_;
    std::map<char, std::vector<long>> patients_;
    std::map<uint64_t, std::wstring> labels_;   // the label of each picture made, by its pixels
    std::map<char, unsigned> latest_;           // the seed of each site's latest picture
    Model model_;
    unsigned seed_ = 0;
};

TEST_P(MergeIdentityTest, EveryImageOnceOnEveryWorkstationAndTheCountsTrue)
{
    const Case& c = GetParam();
    for (char site : {'A', 'B', 'C'})
        ASSERT_NO_FATAL_FAILURE(Create(site));
    for (size_t i = 0; i < c.steps.size(); ++i) {
        const Step& step = c.steps[i];
        SCOPED_TRACE(testing::Message() << "step " << i + 1 << ": " << step.target << " <- "
                                        << (step.source ? step.source : '-'));
        ASSERT_NO_FATAL_FAILURE(RunStep(step));
    }
}

INSTANTIATE_TEST_SUITE_P(Directions, MergeIdentityTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
