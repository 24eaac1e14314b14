// Every image exists exactly once on every workstation, however the merges
// run: one workstation takes another's images and gives them back, three
// merge in a ring, a database is merged from its own folder (refused), a
// source database is recreated in its folder, a workstation is installed from
// a copy of another's database. Each case is a list of steps on real
// workstations (folders with "dbinit.cfg", database, images); after each
// merge the images of both workstations are counted by their pixels, and the
// counts the merge window shows are compared with what was really copied.
#include "exchange_fixture.h"
#include "merge_fixture.h"

#include "common/site_checks.h"
#include "common/test_files.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "exchange/merge/importengine.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
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
};

// What the merge must do, written out: a row of the source not marked
// imported is copied when the target lacks its image, and marked either way.
struct ModelRow {
    std::wstring label;
    bool imported;
};
using Model = std::map<char, std::vector<ModelRow>>;

bool Holds(const std::vector<ModelRow>& rows, const std::wstring& label)
{
    for (const ModelRow& row : rows)
        if (row.label == label)
            return true;
    return false;
}

DWORD ModelMerge(Model& model, char target, char source)
{
    DWORD copied = 0;
    for (ModelRow& row : model[source]) {
        if (row.imported)
            continue;
        if (!Holds(model[target], row.label)) {
            model[target].push_back({row.label, false});
            ++copied;
        }
        row.imported = true;
    }
    return copied;
}

std::map<std::wstring, int> Labels(const std::vector<ModelRow>& rows)
{
    std::map<std::wstring, int> labels;
    for (const ModelRow& row : rows)
        ++labels[row.label];
    return labels;
}

class MergeIdentityTest : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        root_ = temp + testfix::UniqueName(L"tfmergeid") + L"\\";
        CreateDirectoryW(root_.c_str(), nullptr);
        SpaceMin = 0;
        SpaceArjStart = 0;
        settings_ = new SettingsRootKey();
        WriteMergeSettings(*settings_, L"");
    }
    void TearDown() override
    {
        CloseSiteDatabase();
        delete settings_;
        testfix::RemoveTree(root_);
    }

    std::wstring Folder(char site) const { return root_ + (wchar_t)site; }
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

    void NewImage(char site)
    {
        Use(site);
        const unsigned seed = ++seed_;
        DPicturePtr picture = MakeRadiograph(96, 80, 12, 900u + seed, RadiographKind::Chest);
        ASSERT_TRUE(picture.Get());
        picture->patient.SetPatientId((uint32_t)patients_[site][seed % 4]);
        SYSTEMTIME taken = {2024, 6, 0, (WORD)(1 + seed % 28), 8, (WORD)(seed % 60), 0, 0};
        SystemTimeToFileTime(&taken, &picture->imageDate);
        std::vector<uint8_t> lut(65536);
        BuildDisplayLut(lut.data(), picture->displayOffset, picture->displayWidth, 0.0);
        ASSERT_TRUE(SaveSnimokTx(picture, lut.data()));
        const std::wstring label = std::wstring(1, (wchar_t)site) + std::to_wstring(seed);
        labels_[PixelHash(std::wstring(ImageFolder) + picture->fileName + L".xmg")] = label;
        model_[site].push_back({label, false});
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

    // Runs the merge on the target as the merge worker does; the state, or
    // -1 with the message's text.
    int Merge(char target, char source, RecordingLink& link, std::wstring* error)
    {
        Use(target);
        settings_->SetString(L"ImportSettings", L"DBPath", Folder(source));
        ImportDBCls engine(nullptr, &link);
        try {
            engine.Init();
            engine.Connect();
            engine.StartUnion();
            return engine.GetState();
        } catch (const MsgExcept& message) {
            wchar_t text[2048] = {};
            message.GetText(text, 2048);
            *error = text;
        } catch (const DODBErrors& errors) {
            *error = DatabaseText(errors);
        }
        return -1;
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
        case Act::Merge:
        case Act::Refused:
        case Act::EarlierMerge:
            break;
        }
        const std::map<std::wstring, int> sourceBefore = Census(step.source);
        RecordingLink link;
        std::wstring error;
        const int state = Merge(step.target, step.source, link, &error);
        DWORD copied = 0;
        if (step.act == Act::Refused) {
            EXPECT_EQ(-1, state);
            EXPECT_EQ(FormatText(LoadText(IDS_MERGE_OWN_DATABASE), Folder(step.source)), error);
        } else {
            EXPECT_EQ(ImportDBCls::kRunning, state) << Narrow(error);
            copied = ModelMerge(model_, step.target, step.source);
        }
        EXPECT_EQ(copied, link.Counter(0)) << "images offered";
        EXPECT_EQ(copied, link.Counter(1)) << "images merged";
        EXPECT_EQ(Labels(model_[step.target]), Census(step.target)) << "every image once on the target";
        testfix::ExpectSiteConsistent(ImageFolder, true);
        EXPECT_EQ(sourceBefore, Census(step.source)) << "the source keeps its images";
        if (step.act == Act::EarlierMerge)
            ForgetIdentities(step.target, step.source);
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
        for (ModelRow& row : model_[source])
            if (row.label == lastLabel)
                row.imported = false;

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

    static std::wstring FormatText(const std::wstring& pattern, const std::wstring& insert)
    {
        const DWORD_PTR args[1] = {reinterpret_cast<DWORD_PTR>(insert.c_str())};
        wchar_t text[1024] = {};
        FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, pattern.c_str(), 0, 0, text, 1024,
                       reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(args)));
        return text;
    }

    std::wstring root_;
    SettingsRootKey* settings_ = nullptr;
    std::map<char, std::vector<long>> patients_;
    std::map<uint64_t, std::wstring> labels_;   // the pixels of each image made, by its label
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
