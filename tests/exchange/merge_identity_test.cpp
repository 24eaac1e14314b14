// Every image exists exactly once on every workstation, however the merges
// run: one workstation takes another's images and gives them back, three
// merge in a ring, a database is merged from its own folder (refused), a
// source database is recreated in its folder, a workstation is installed from
// a copy of another's database (before or after any merge), a merge of an
// earlier program is given back, another merge runs meanwhile, two merge into
// one workstation at the same moment; a picture saved twice stays twice, and
// what users wrote on a copy (a description, the negative) or on one file
// imported on two workstations is never lost. Each case is a list of steps on
// real workstations (folders with "dbinit.cfg", database, images); after each
// merge the images of both workstations are counted by their pixels, dates,
// descriptions and negatives, and the counts the merge window shows are
// compared with what was really copied. Images are told apart by their
// patients too, so that one moved to another patient after a merge stays so.
#include "exchange_fixture.h"
#include "merge_fixture.h"

#include "app/recordmaint.h"
#include "common/child_jobs.h"
#include "common/site_checks.h"
#include "common/test_files.h"
#include "database/dbstart.h"
#include "exchange/merge/importengine.h"
#include "exchange/merge/mergefaults.h"
#include "exchange/sync/syncformat.h"
#include "foundation/globals.h"
#include "foundation/textutil.h"
#include "images/files/snimokdb.h"
#include "images/pixels/displaylut.h"
#include "resources/strings.h"
#include "tools/demosite/radiograph.h"
#include "tools/demosite/sitebuilder.h"
#include "tools/demosite/sitedatabase.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

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
    Describe,    // the target writes a description on its newest image that has none
    Negative,    // the target turns negative its newest image that has no description
    SameFile,    // the target saves the source's latest picture (one file imported on both)
    SameFileLater,   // the same, dated a year later
    // The target takes the images of the source and of a second source at the
    // same moment: the two merges take turns at the step `seam`, both first
    // arriving there.
    Together,
    DescribeAlike,   // the target describes every image without a description, in the same words everywhere
    Brighter,        // the target shows its newest image brighter
    Clear,           // the target clears the description of its newest image without one (an empty text)
    NullDisplay,     // a hand-edited row: the newest image's brightness, contrast and negative NULL
    Delete,          // the target deletes its newest image, as the archive window deletes by date
    DeleteImported,  // the target deletes its images marked imported, as the archive window does
    Older,           // the target's database lacks the identity tables (an older database)
    // As Merge, while the source's newest image without a description is
    // described there between the merge's Connect and its start.
    EditedMeanwhile,
    // The target and the source merge each other at the same moment, the
    // source's merge in a process of its own: both reach their first mark
    // together. The images both hold are each left marked on one side.
    Crossed,
    Move,   // the target moves its newest image to another patient, as its thumbnail's move does
    // As Merge, while the target moves its newest image to another patient
    // between the merge's Connect and its start.
    MovedMeanwhile,
    // As Recreate, its two pictures other ones dated, filed and shown as its
    // first two were: files imported from one CD share their time stamp, and
    // one preset window their brightness and contrast.
    RecreateAlike,
    // As Merge, in a process of its own (the kill test's job) killed when it
    // first reaches the step `seam`: what it committed before stays.
    Killed,
};

struct Step {
    Act act;
    char target;
    char source;
    char second = 0;   // Together: the other source
    MergeStep seam = MergeStep::FreeSpace;   // Together: where the merges take turns; Killed: where it dies
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
    {"CopiesDescribedOrTurnedNegative",
     {{Act::Copy, 'D', 'A'}, {Act::Describe, 'D', 0}, {Act::Negative, 'D', 0}, {Act::Merge, 'A', 'D'},
      {Act::Merge, 'D', 'A'}}},
    {"MergedImagesDescribedThereGivenBack",
     {{Act::Merge, 'B', 'A'}, {Act::Describe, 'B', 0}, {Act::Negative, 'B', 0}, {Act::Merge, 'A', 'B'},
      {Act::Merge, 'B', 'A'}}},
    {"OneFileDescribedOnTwoWorkstations",
     {{Act::SameFile, 'B', 'A'}, {Act::Describe, 'A', 0}, {Act::Describe, 'B', 0}, {Act::Merge, 'A', 'B'},
      {Act::Merge, 'B', 'A'}}},
    {"OneFileImportedOnTwoDates", {{Act::SameFileLater, 'B', 'A'}, {Act::Merge, 'A', 'B'}}},
    {"ATwinMadeThereAfterAMerge", {{Act::Merge, 'B', 'A'}, {Act::Twin, 'A', 0}, {Act::Merge, 'B', 'A'}}},
    {"TwoInstalledFromOneBackupMergedAtOnce",
     {{Act::NewImage, 'A', 0}, {Act::NewImage, 'A', 0}, {Act::NewImage, 'A', 0}, {Act::Copy, 'D', 'A'},
      {Act::Copy, 'E', 'A'}, {Act::NewImage, 'D', 0}, {Act::NewImage, 'E', 0}, {Act::Together, 'A', 'D', 'E'}}},
    {"ImportedImagesDeletedThereStayDeleted",
     {{Act::Merge, 'A', 'B'}, {Act::DeleteImported, 'B', 0}, {Act::Merge, 'B', 'A'}}},
    {"AnImageDeletedHereStaysDeleted", {{Act::Merge, 'B', 'A'}, {Act::Delete, 'A', 0}, {Act::Merge, 'A', 'B'}}},
    {"RingWithADescription",
     {{Act::Merge, 'B', 'A'}, {Act::Describe, 'B', 0}, {Act::Merge, 'C', 'B'}, {Act::Merge, 'A', 'C'},
      {Act::Merge, 'B', 'A'}, {Act::Merge, 'C', 'B'}}},
    {"StarDescribedAlikeOnTwoSpokes",
     {{Act::Merge, 'A', 'B'}, {Act::DescribeAlike, 'B', 0}, {Act::Merge, 'C', 'A'}, {Act::DescribeAlike, 'C', 0},
      {Act::Merge, 'A', 'C'}, {Act::Merge, 'B', 'A'}, {Act::Merge, 'C', 'B'}}},
    {"DescribedAlikeOnTwoMergedAtOnce",
     {{Act::NewImage, 'A', 0}, {Act::NewImage, 'A', 0}, {Act::NewImage, 'A', 0}, {Act::Copy, 'D', 'A'},
      {Act::Copy, 'E', 'A'}, {Act::DescribeAlike, 'D', 0}, {Act::DescribeAlike, 'E', 0},
      {Act::Together, 'A', 'D', 'E'}}},
    {"CopiesChangedThereAreAllItGivesBack",
     {{Act::Merge, 'A', 'B'}, {Act::Merge, 'B', 'A'}, {Act::Describe, 'B', 0}, {Act::Negative, 'B', 0},
      {Act::Merge, 'A', 'B'}}},
    {"ACopyShownBrighterThere", {{Act::Merge, 'B', 'A'}, {Act::Brighter, 'B', 0}, {Act::Merge, 'A', 'B'}}},
    {"ADescriptionClearedThere",
     {{Act::Merge, 'B', 'A'}, {Act::Clear, 'B', 0}, {Act::Merge, 'A', 'B'}, {Act::Merge, 'B', 'A'}}},
    {"DescribedThereBetweenOpeningAndStart", {{Act::EditedMeanwhile, 'B', 'A'}, {Act::Merge, 'A', 'B'}}},
    {"NoDisplayValues", {{Act::NullDisplay, 'A', 0}, {Act::Merge, 'B', 'A'}, {Act::Merge, 'A', 'B'}}},
    {"OneWorkstationMergedTwiceAtOnce", {{Act::Together, 'A', 'B', 'B', MergeStep::OpenSource}}},
    {"TwoMeetAnOlderDatabaseAtOnce",
     {{Act::Older, 'A', 0}, {Act::Together, 'A', 'B', 'C', MergeStep::AddTable}}},
    // The second link ended first at its seam before it writes: its image
    // here, linked by the first, stays unmarked, and what C deletes stays
    // deleted only when the second link holds.
    {"EarlierMergesOfOneImageLinkedOneAfterTheOther",
     {{Act::EarlierMerge, 'A', 'C'}, {Act::EarlierMerge, 'B', 'A'}, {Act::Merge, 'A', 'B'},
      {Act::Killed, 'A', 'C', 0, MergeStep::LinkEarlier}, {Act::Merge, 'A', 'C'}, {Act::DeleteImported, 'C', 0},
      {Act::Merge, 'C', 'A'}}},
    // B's merge links first while C's waits, both past reading the ledgers:
    // what B and C then delete stays deleted only when both links hold.
    {"EarlierMergesOfOneImageLinkedAtOnce",
     {{Act::EarlierMerge, 'A', 'C'}, {Act::EarlierMerge, 'B', 'A'}, {Act::Together, 'A', 'B', 'C', MergeStep::LinkEarlier},
      {Act::DeleteImported, 'B', 0}, {Act::Merge, 'B', 'A'}, {Act::DeleteImported, 'C', 0}, {Act::Merge, 'C', 'A'}}},
    {"ASecondarySendsItsImagesDeletesThemAndIsMergedBack",
     {{Act::NewImage, 'A', 0}, {Act::Merge, 'B', 'A'}, {Act::DeleteImported, 'A', 0}, {Act::Merge, 'A', 'B'}}},
    {"ACopyDescribedAfterItsImageWasDeletedThere",
     {{Act::Merge, 'B', 'A'}, {Act::DeleteImported, 'A', 0}, {Act::Describe, 'B', 0}, {Act::Merge, 'A', 'B'}}},
    {"InstalledFromABackupMergedEachOtherAtOnce",
     {{Act::NewImage, 'A', 0}, {Act::Copy, 'D', 'A'}, {Act::Crossed, 'A', 'D'}}},
    {"InstalledFromABackupAndMergedBackAtOnce",
     {{Act::Copy, 'D', 'A'}, {Act::NewImage, 'D', 0}, {Act::Together, 'A', 'D', 'D', MergeStep::MarkSource}}},
    {"AnImageMovedThereAfterAMerge",
     {{Act::Merge, 'A', 'B'}, {Act::Move, 'B', 0}, {Act::Merge, 'A', 'B'}, {Act::Describe, 'B', 0},
      {Act::Merge, 'A', 'B'}, {Act::Merge, 'B', 'A'}}},
    {"AnImageMovedHereAfterAMerge",
     {{Act::Merge, 'A', 'B'}, {Act::Move, 'A', 0}, {Act::Merge, 'A', 'B'}, {Act::Merge, 'B', 'A'}}},
    // The copy of the image an earlier program left unmarked (C's newest, the
    // last it merged) is found kept when the merge opens, and moved before its mark.
    {"AnImageMovedHereWhileMerged", {{Act::EarlierMerge, 'A', 'C'}, {Act::MovedMeanwhile, 'A', 'C'}}},
    // A ledger key of an earlier merge that now names another picture of the
    // same date, here without an identity, then with one: it is another image.
    {"EarlierMergeThenSourceRecreatedAlike",
     {{Act::EarlierMerge, 'A', 'B'}, {Act::RecreateAlike, 'B', 0}, {Act::Merge, 'A', 'B'},
      {Act::DeleteImported, 'B', 0}, {Act::Merge, 'B', 'A'}}},
    {"EarlierMergeLinkedElsewhereThenSourceRecreatedAlike",
     {{Act::EarlierMerge, 'A', 'B'}, {Act::Merge, 'C', 'A'}, {Act::RecreateAlike, 'B', 0}, {Act::Merge, 'A', 'B'},
      {Act::DeleteImported, 'B', 0}, {Act::Merge, 'B', 'A'}}},
    // The link of an earlier merge ended between its two commits (its seam
    // before it writes: EarlierMergesOfOneImageLinkedOneAfterTheOther).
    {"EarlierMergeLinkKilledBetweenItsCommits",
     {{Act::EarlierMerge, 'A', 'C'}, {Act::Killed, 'A', 'C', 0, MergeStep::LinkCommitted}, {Act::Merge, 'A', 'C'},
      {Act::DeleteImported, 'C', 0}, {Act::Merge, 'C', 'A'}}},
};

// Act::Together: two merges on threads of their own take turns at a step,
// both arriving there first, then each waiting there until the other has
// passed it once more (or has ended).
class Turns {
public:
    explicit Turns(MergeStep seam) : seam_(seam) {}

    // Runs a merge whose Init has run, as merger `i` (0 goes first).
    int Run(int i, ImportDBCls& engine, std::wstring* error)
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        {
            std::lock_guard<std::mutex> hold(lock_);
            threads_[i] = GetCurrentThreadId();
        }
        const int state = RunMergeSteps(engine, false, error);
        {
            std::lock_guard<std::mutex> hold(lock_);
            done_[i] = true;
            turn_ = 1 - i;
        }
        changed_.notify_all();
        CoUninitialize();
        return state;
    }

    static void Observe(MergeStep step, void* context)
    {
        Turns* turns = static_cast<Turns*>(context);
        if (step == turns->seam_)
            turns->AtSeam();
    }

private:
    void AtSeam()
    {
        std::unique_lock<std::mutex> hold(lock_);
        const DWORD me = GetCurrentThreadId();
        const int i = threads_[0] == me ? 0 : threads_[1] == me ? 1 : -1;
        if (i < 0)
            return;
        if (started_[i])
            turn_ = 1 - i;
        started_[i] = true;
        changed_.notify_all();
        changed_.wait(hold, [&] { return (started_[1 - i] && turn_ == i) || done_[1 - i]; });
    }

    const MergeStep seam_;
    std::mutex lock_;
    std::condition_variable changed_;
    DWORD threads_[2] = {};
    bool started_[2] = {};
    bool done_[2] = {};
    int turn_ = 0;
};

// Act::Crossed: the two merges, each in its process, meet at their first
// mark: each says it is there and waits for the other to say so.
class MarkMeeting {
public:
    MarkMeeting(const std::wstring& name, bool first)
        : mine_(CreateEventW(nullptr, TRUE, FALSE, (name + (first ? L"-1" : L"-2")).c_str())),
          theirs_(CreateEventW(nullptr, TRUE, FALSE, (name + (first ? L"-2" : L"-1")).c_str()))
    {
    }
    ~MarkMeeting()
    {
        CloseHandle(mine_);
        CloseHandle(theirs_);
    }
    MarkMeeting(const MarkMeeting&) = delete;
    MarkMeeting& operator=(const MarkMeeting&) = delete;

    static void Observe(MergeStep step, void* context)
    {
        MarkMeeting* meeting = static_cast<MarkMeeting*>(context);
        if (step != MergeStep::MarkSource || meeting->met_)
            return;
        meeting->met_ = true;
        SetEvent(meeting->mine_);
        // Only a merge that never comes to its mark keeps the other waiting.
        WaitForSingleObject(meeting->theirs_, 120000);
    }

private:
    HANDLE mine_, theirs_;
    bool met_ = false;
};

// The source's side of Act::Crossed: its arguments are the settings key, its
// database, its data folder and the meeting's name. The exit code is 0 when
// the merge ran through without copying anything, else 1000 and its state
// (or 2000: it copied).
int CrossedMergeJob(const std::vector<std::wstring>& args)
{
    testfix::ChildSite site(args.at(0), args.at(1), args.at(2));
    if (!site.Open())
        return 991;
    SpaceMin = 0;
    SpaceArjStart = 0;
    MarkMeeting meeting(args.at(3), false);
    SetMergeStepObserver(MarkMeeting::Observe, &meeting);
    RecordingLink link;
    const int state = RunMerge(link);
    SetMergeStepObserver(nullptr, nullptr);
    if (state != ImportDBCls::kRunning)
        return 1000 + state;
    return link.Counter(0) || link.Counter(1) ? 2000 : 0;
}

TF_CHILD_JOB(MergeCrossed, CrossedMergeJob);

// What the merge must do, written out: the labels of a workstation's images,
// each with its mark "imported". A row of the source not marked is left
// alone when the target deleted its picture or holds it only under another
// patient; else it is copied when the target lacks its image, and marked
// when the target then keeps the image unmarked (so a row whose image the
// target holds marked stays unmarked).
using Model = std::map<char, std::map<std::wstring, bool>>;

// The picture of an image's key: its label, without what was written on it.
std::wstring PictureOf(const std::wstring& key)
{
    return key.substr(0, key.find_first_of(L"@/#+"));
}
// ... and with the patient it is filed under.
std::wstring FiledOf(const std::wstring& key)
{
    const size_t tag = key.find(L'#');
    return PictureOf(key) + (tag == std::wstring::npos ? L"" : key.substr(tag, key.find(L'+', tag) - tag));
}

class MergeIdentityTest : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        SpaceMin = 0;
        SpaceArjStart = 0;
        WriteMergeSettings(settings_, L"");
        // The description is carried; the date only with the picture, so that
        // the copy rule's own look at it is what keeps two dates apart.
        settings_.SetDword(L"ImportSettings\\Snimok\\Apicriz", L"CType", 130);
        settings_.SetDword(L"ImportSettings\\Snimok\\Apicriz", L"MaxSize", 0);
        settings_.DeleteTree(L"ImportSettings\\Snimok\\Date file");
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

    // A workstation with two images of its own; `alike`: other pictures
    // dated, filed and shown as the first two of the workstation before it.
    void Create(char site, bool alike = false)
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
        const std::vector<unsigned> like = alike ? first_[site] : std::vector<unsigned>{0, 0};
        for (unsigned dated : like)
            ASSERT_NO_FATAL_FAILURE(NewImage(site, 0, false, dated));
        if (!alike)
            first_[site] = {seed_ - 1, seed_};
    }

    // Saves a picture as a new image of `site`: a new one, or with `seed` that
    // picture once more (the site's own latest: a twin; another site's: one
    // file imported on both), `later` dated a year after it was taken; a new
    // one `like` the picture of that seed: dated, filed and shown as it was.
    void NewImage(char site, unsigned seed = 0, bool later = false, unsigned like = 0)
    {
        Use(site);
        const bool made = seed == 0;
        if (made)
            seed = ++seed_;
        latest_[site] = seed;
        DPicturePtr picture = MakeRadiograph(96, 80, 12, 900u + seed, RadiographKind::Chest);
        ASSERT_TRUE(picture.Get());
        const unsigned dated = like ? like : seed;
        picture->patient.SetPatientId((uint32_t)patients_[site][dated % 4]);
        SYSTEMTIME taken = {(WORD)(later ? 2025 : 2024), 6, 0, (WORD)(1 + dated % 28), 8, (WORD)(dated % 60), 0, 0};
        SystemTimeToFileTime(&taken, &picture->imageDate);
        if (like)
            swscanf(displays_.at(std::wstring(1, (wchar_t)site) + std::to_wstring(like)).c_str(), L"%d|%d",
                    &picture->displayOffset, &picture->displayWidth);
        std::vector<uint8_t> lut(65536);
        BuildDisplayLut(lut.data(), picture->displayOffset, picture->displayWidth, 0.0);
        ASSERT_TRUE(SaveSnimokTx(picture, lut.data()));
        if (made) {
            const std::wstring label = std::wstring(1, (wchar_t)site) + std::to_wstring(seed);
            labels_[PixelHash(std::wstring(ImageFolder) + picture->fileName + L".xmg")] = label;
            const FILETIME& date = picture->imageDate;
            dates_[label] = std::to_wstring(((ULONGLONG)date.dwHighDateTime << 32) | date.dwLowDateTime);
            displays_[label] = testfix::RowsSql(L"SELECT Bri, Contrast FROM Snimok WHERE Snimok=" +
                                                std::to_wstring(picture->imageId) + L";").at(0);
        }
        std::wstring key = Key(Row(std::to_wstring(picture->imageId)));
        while (model_[site].count(key))   // a twin counts with its picture
            key += L"+";
        model_[site][key] = false;
    }

    // Changes the newest image of `site` (of those `which` selects) by `sql`,
    // and its key in the model.
    void Edit(char site, const wchar_t* which, const std::wstring& sql)
    {
        Use(site);
        const std::wstring image =
            testfix::ScalarSql(L"SELECT MAX(Snimok) FROM Snimok WHERE [Disk]=1" + std::wstring(which) + L";");
        Change(site, {image}, sql + L" WHERE Snimok=" + image + L";");
    }

    // Runs `sql` on `site`, whose database is open, and follows what it
    // changed in the keys of `images` in the model.
    void Change(char site, const std::vector<std::wstring>& images, const std::wstring& sql)
    {
        std::vector<std::wstring> before;
        for (const std::wstring& image : images)
            before.push_back(Key(Row(image)));
        testfix::ExecSetupSql(sql);
        auto& model = model_[site];
        for (size_t i = 0; i < images.size(); ++i) {
            const auto known = model.find(before[i]);
            ASSERT_NE(model.end(), known) << Narrow(before[i]);
            const bool imported = known->second;
            model.erase(known);
            model[Key(Row(images[i]))] = imported;
        }
    }

    // Deletes the newest image of `site`, as the archive window's deletion by
    // date does, or with `imported` every image it holds marked imported, as
    // its deletion of imported images does: the rows go, their files wait
    // for the archive's deletion job.
    void Delete(char site, bool imported)
    {
        Use(site);
        const std::wstring which = imported ? L"imported=1"
                                            : L"Snimok=" + testfix::ScalarSql(L"SELECT MAX(Snimok) FROM Snimok;");
        const std::vector<std::wstring> images = testfix::RowsSql(L"SELECT Snimok FROM Snimok WHERE " + which + L";");
        ASSERT_FALSE(images.empty());
        for (const std::wstring& image : images) {
            // A twin counts with its picture: the one of its mark goes.
            std::wstring key = Key(Row(image));
            auto& known = model_[site];
            for (std::wstring twin = key; imported && twin.size() < key.size() + 8; twin += L"+") {
                if (known.count(twin) && known[twin]) {
                    key = twin;
                    break;
                }
            }
            ASSERT_EQ(1u, known.erase(key)) << Narrow(key);
            deleted_[site].insert(key);
        }
        testfix::ExecSetupSql(L"INSERT INTO DelImage ([File Name], Arj, [Disk]) SELECT [File Name], Arj, [Disk] "
                              L"FROM Snimok WHERE " + which + L";");
        testfix::ExecSetupSql(L"DELETE FROM Snimok WHERE " + which + L";");
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

    // The keys of a workstation's images marked imported, in the model and in its database.
    std::multiset<std::wstring> Marked(char site)
    {
        std::multiset<std::wstring> marked;
        for (const auto& [key, imported] : model_[site])
            if (imported)
                marked.insert(key.substr(0, key.find(L'+')));
        return marked;
    }
    std::multiset<std::wstring> MarkedIn(char site)
    {
        Use(site);
        std::multiset<std::wstring> marked;
        for (const std::wstring& image : testfix::RowsSql(L"SELECT Snimok FROM Snimok WHERE imported=1;"))
            marked.insert(Key(Row(image)));
        return marked;
    }

    // Every workstation deletes its imported images, as its archive window's
    // "Delete Imported" does, one after another: each picture found on some
    // workstation before is still on one.
    void EveryWorkstationDeletesItsImported()
    {
        std::set<std::wstring> before, after;
        for (auto& [site, images] : model_)
            for (const auto& [key, count] : Census(site))
                before.insert(PictureOf(key));
        for (auto& [site, images] : model_) {
            if (!Marked(site).empty()) {
                ASSERT_NO_FATAL_FAILURE(Delete(site, true));
            }
        }
        for (auto& [site, images] : model_)
            for (const auto& [key, count] : Census(site))
                after.insert(PictureOf(key));
        EXPECT_EQ(before, after) << "pictures gone from every workstation";
    }

    // Moves the newest image of `site`, whose database is open, to another of
    // its patients, as its thumbnail's move does: a new row of that patient,
    // unmarked.
    void Move(char site)
    {
        const std::wstring image = testfix::ScalarSql(L"SELECT MAX(Snimok) FROM Snimok WHERE [Disk]=1;");
        const std::wstring before = Key(Row(image));
        const std::wstring patient = testfix::ScalarSql(
            L"SELECT MIN(Patient) FROM Patient WHERE Patient<>(SELECT Patient FROM Snimok WHERE Snimok=" + image + L");");
        ASSERT_TRUE(MoveImageToPatient(nullptr, std::stoul(image), std::stoul(patient)));
        auto& images = model_[site];
        ASSERT_EQ(1u, images.erase(before)) << Narrow(before);
        images[Key(Row(testfix::ScalarSql(L"SELECT MAX(Snimok) FROM Snimok WHERE [Disk]=1;")))] = false;
    }

    // Whether `site` holds the picture of `key` only under other patients than its.
    bool FiledElsewhere(char site, const std::wstring& key)
    {
        bool elsewhere = false, beside = false;
        for (const auto& [held, imported] : model_[site])
            if (PictureOf(held) == PictureOf(key))
                (FiledOf(held) == FiledOf(key) ? beside : elsewhere) = true;
        return elsewhere && !beside;
    }

    // What tells the images on a workstation's hard disk apart, of one image
    // or of all: the image, then its patient's key columns.
    static std::wstring ImageSql(const std::wstring& only)
    {
        return L"SELECT s.[File name], s.[Date file], s.Apicriz, s.Negativ, s.Bri, s.Contrast, p.Name1, p.Name2, "
               L"p.Name3, p.Birthday FROM Snimok s JOIN Patient p ON p.Patient=s.Patient WHERE s.[Disk]=1" +
               (only.empty() ? L"" : L" AND s.Snimok=" + only) + L" ORDER BY s.Snimok;";
    }
    static std::wstring Row(const std::wstring& image) { return testfix::RowsSql(ImageSql(image)).at(0); }

    // What an image row of ImageSql is known by: the label of its picture,
    // "@" when it is dated otherwise than the picture was first, "/" and its
    // description (an empty one is none), "/n" when it is negative, "/b" and
    // its brightness and contrast when they are not those it was saved with,
    // "#" and the tag of its patient's key columns.
    std::wstring Key(const std::wstring& row)
    {
        std::wistringstream fields(row);
        std::wstring name, date, description, negativ, bri, contrast, patient;
        std::getline(std::getline(std::getline(std::getline(fields, name, L'|'), date, L'|'), description, L'|'),
                     negativ, L'|');
        std::getline(std::getline(std::getline(fields, bri, L'|'), contrast, L'|'), patient);
        const std::wstring display = bri + L"|" + contrast;
        const size_t tag = patientTags_.emplace(patient, patientTags_.size()).first->second;
        const auto known = labels_.find(PixelHash(std::wstring(ImageFolder) + name + L".xmg"));
        if (known == labels_.end())
            return L"?" + name;
        std::wstring key = known->second;
        if (date != dates_[key])
            key += L"@";
        if (description != L"NULL" && !description.empty())
            key += L"/" + description;
        if (negativ != L"0" && negativ != L"NULL")
            key += L"/n";
        if (display != displays_[known->second])
            key += L"/b" + display;
        return key + L"#" + std::to_wstring(tag);
    }

    // The images on the hard disk of a workstation, by their keys.
    std::map<std::wstring, int> Census(char site)
    {
        Use(site);
        std::map<std::wstring, int> census;
        for (const std::wstring& row : testfix::RowsSql(ImageSql(L"")))
            ++census[Key(row)];
        return census;
    }

    void RunStep(const Step& step)
    {
        switch (step.act) {
        case Act::NewImage:
            NewImage(step.target);
            return;
        case Act::Recreate:
        case Act::RecreateAlike:
            Create(step.target, step.act == Act::RecreateAlike);
            return;
        case Act::Killed:
            RunKilled(step.target, step.source, step.seam);
            return;
        case Act::Copy:
            Copy(step.target, step.source);
            return;
        case Act::Twin:
            NewImage(step.target, latest_[step.target]);
            return;
        case Act::SameFile:
        case Act::SameFileLater:
            NewImage(step.target, latest_[step.source], step.act == Act::SameFileLater);
            return;
        case Act::Describe:
            Edit(step.target, L" AND Apicriz IS NULL",
                 std::wstring(L"UPDATE Snimok SET Apicriz=N'described on ") + (wchar_t)step.target + L"'");
            return;
        case Act::DescribeAlike:
            Use(step.target);
            while (testfix::ScalarSql(L"SELECT COUNT(*) FROM Snimok WHERE [Disk]=1 AND Apicriz IS NULL;") != L"0")
                ASSERT_NO_FATAL_FAILURE(
                    Edit(step.target, L" AND Apicriz IS NULL", L"UPDATE Snimok SET Apicriz=N'described alike'"));
            return;
        case Act::Brighter:
            Edit(step.target, L"", L"UPDATE Snimok SET Bri=Bri+100");
            return;
        case Act::Clear:
            Edit(step.target, L" AND Apicriz IS NULL", L"UPDATE Snimok SET Apicriz=N''");
            return;
        case Act::NullDisplay:
            Edit(step.target, L"", L"UPDATE Snimok SET Bri=NULL, Contrast=NULL, Negativ=NULL");
            return;
        case Act::Delete:
        case Act::DeleteImported:
            Delete(step.target, step.act == Act::DeleteImported);
            return;
        case Act::Older:
            Use(step.target);
            testfix::ExecSetupSql(L"DROP TABLE MergeSnimok;");
            testfix::ExecSetupSql(L"DROP TABLE MergeDatabase;");
            return;
        case Act::Negative:
            Edit(step.target, L" AND Apicriz IS NULL AND Negativ=0", L"UPDATE Snimok SET Negativ=1");
            return;
        case Act::Rename:
            Use(step.target);
            Change(step.target, testfix::RowsSql(L"SELECT Snimok FROM Snimok WHERE [Disk]=1;"),
                   L"UPDATE Patient SET Name3=N'Исправлено';");
            return;
        case Act::Move:
            Use(step.target);
            Move(step.target);
            return;
        case Act::Crossed:
            RunCrossed(step.target, step.source);
            return;
        case Act::Merge:
        case Act::Refused:
        case Act::EarlierMerge:
        case Act::Meanwhile:
        case Act::Together:
        case Act::EditedMeanwhile:
        case Act::MovedMeanwhile:
            break;
        }
        const char sources[2] = {step.source, step.second};
        const int runs = step.second ? 2 : 1;
        std::map<char, std::map<std::wstring, int>> sourceBefore;
        for (int i = 0; i < runs; ++i)
            sourceBefore[sources[i]] = Census(sources[i]);
        std::wstring edited, uncorrected;   // Act::EditedMeanwhile: the image described there
        if (step.act == Act::EditedMeanwhile) {
            edited = testfix::ScalarSql(L"SELECT MAX(Snimok) FROM Snimok WHERE [Disk]=1 AND Apicriz IS NULL;");
            uncorrected = Key(Row(edited));
        }
        Use(step.target);
        RecordingLink links[2];
        std::wstring errors[2];
        int states[2] = {};
        if (step.act == Act::Together) {
            RunTogether(sources, step.seam, links, states, errors);
        } else {
            settings_.SetString(L"ImportSettings", L"DBPath", Folder(step.source));
            states[0] = step.act == Act::Meanwhile ? RunMeanwhile(links[0], &errors[0])
                        : step.act == Act::EditedMeanwhile || step.act == Act::MovedMeanwhile
                            ? RunEditedMeanwhile(step.source, edited, links[0], step.target)
                            : RunMerge(links[0], &errors[0]);
        }
        if (step.act == Act::EditedMeanwhile) {
            Use(step.source);
            const std::wstring described = Key(Row(edited));
            model_[step.source][described] = model_[step.source].at(uncorrected);
            model_[step.source].erase(uncorrected);
            std::map<std::wstring, int>& census = sourceBefore[step.source];
            if (--census[uncorrected] == 0)
                census.erase(uncorrected);
            ++census[described];
        }
        for (int i = 0; i < runs; ++i) {
            SCOPED_TRACE(testing::Message() << "the merge of " << sources[i]);
            DWORD copied = 0;
            if (step.act == Act::Refused) {
                EXPECT_EQ(-1, states[i]);
                const std::wstring folder = Folder(step.source);
                EXPECT_EQ(syncfmt::Format(LoadText(IDS_MERGE_OWN_DATABASE).c_str(), {(DWORD_PTR)folder.c_str()}),
                          errors[i]);
            } else {
                EXPECT_EQ(ImportDBCls::kRunning, states[i]) << Narrow(errors[i]);
                std::set<std::wstring> gone;   // the pictures the target deleted
                for (const std::wstring& key : deleted_[step.target])
                    gone.insert(PictureOf(key));
                for (auto& [label, imported] : model_[sources[i]]) {
                    if (imported || gone.count(PictureOf(label)) || FiledElsewhere(step.target, label))
                        continue;
                    const auto [here, made] = model_[step.target].emplace(label, false);
                    copied += made ? 1 : 0;
                    imported = !here->second;
                }
                EXPECT_EQ(Marked(sources[i]), MarkedIn(sources[i])) << "the rows marked there";
            }
            EXPECT_EQ(copied, links[i].Counter(0)) << "images offered";
            EXPECT_EQ(copied, links[i].Counter(1)) << "images merged";
            EXPECT_EQ(sourceBefore[sources[i]], Census(sources[i])) << "the source keeps its images";
        }
        std::map<std::wstring, int> once;   // a twin counts with its picture
        for (const auto& image : model_[step.target])
            ++once[image.first.substr(0, image.first.find(L'+'))];
        EXPECT_EQ(once, Census(step.target)) << "every image once on the target";
        testfix::ExpectSiteConsistent(ImageFolder, true);
        if (step.act == Act::EarlierMerge)
            ForgetIdentities(step.target, step.source);
    }

    // Act::Together: the merges of both sources into the target, their
    // settings read one after the other, then run on two threads at once.
    void RunTogether(const char sources[2], MergeStep seam, RecordingLink links[2], int states[2],
                     std::wstring errors[2])
    {
        std::unique_ptr<ImportDBCls> engines[2];
        for (int i = 0; i < 2; ++i) {
            settings_.SetString(L"ImportSettings", L"DBPath", Folder(sources[i]));
            engines[i].reset(new ImportDBCls(nullptr, &links[i]));
            engines[i]->Init();
        }
        Turns turns(seam);
        SetMergeStepObserver(Turns::Observe, &turns);
        std::thread second([&] { states[1] = turns.Run(1, *engines[1], &errors[1]); });
        states[0] = turns.Run(0, *engines[0], &errors[0]);
        second.join();
        SetMergeStepObserver(nullptr, nullptr);
    }

    // Act::Crossed: `target` merges `source` here while `source` merges
    // `target` in a child process; they hold the same images, unmarked.
    void RunCrossed(char target, char source)
    {
        const std::map<std::wstring, int> targetBefore = Census(target), sourceBefore = Census(source);
        Use(target);
        RecordingLink link;
        ImportDBCls engine(nullptr, &link);
        settings_.SetString(L"ImportSettings", L"DBPath", Folder(source));
        engine.Init();
        settings_.SetString(L"ImportSettings", L"DBPath", Folder(target));
        const std::wstring name = L"tfcrossed-" + std::to_wstring(GetCurrentProcessId());
        MarkMeeting meeting(name, true);
        SetMergeStepObserver(MarkMeeting::Observe, &meeting);
        DWORD child = STILL_ACTIVE;
        std::wstring error;
        {
            harness::ChildProcess other(L"MergeCrossed",
                                        {settings_.Path(), DatabaseFile(source), Folder(source) + L"\\", name});
            EXPECT_EQ(ImportDBCls::kRunning, RunMergeSteps(engine, false, &error)) << Narrow(error);
            child = other.Wait(120000);
        }
        SetMergeStepObserver(nullptr, nullptr);
        EXPECT_EQ(0u, child) << "the merge of " << target << " there";
        EXPECT_EQ(0u, link.Counter(0) + link.Counter(1)) << "images merged here";
        EXPECT_EQ(targetBefore, Census(target));
        EXPECT_EQ(sourceBefore, Census(source));
        // Each image is marked on one side: the one whose merge came first.
        const std::multiset<std::wstring> marked[2] = {MarkedIn(target), MarkedIn(source)};
        std::multiset<std::wstring> both(marked[0]);
        both.insert(marked[1].begin(), marked[1].end());
        std::multiset<std::wstring> held;
        for (const auto& [key, count] : targetBefore)
            for (int i = 0; i < count; ++i)
                held.insert(key);
        EXPECT_EQ(held, both) << "each image marked once";
        for (int i = 0; i < 2; ++i)
            for (auto& [key, imported] : model_[i ? source : target])
                imported = marked[i].count(key.substr(0, key.find(L'+'))) > 0;
    }

    // Act::Killed: `target` merges `source` in a child process that dies at
    // `seam`, before any image: neither workstation's images change.
    void RunKilled(char target, char source, MergeStep seam)
    {
        const std::map<std::wstring, int> targetBefore = Census(target), sourceBefore = Census(source);
        settings_.SetString(L"ImportSettings", L"DBPath", Folder(source));
        harness::ChildProcess merge(L"MergeTwoSites", {settings_.Path(), DatabaseFile(target), Folder(target) + L"\\"},
                                    harness::Death{harness::kMergeSteps, (int)seam, 1});
        EXPECT_EQ(harness::kKilledExitCode, merge.Wait(120000)) << "the merge dies at its step";
        EXPECT_EQ(targetBefore, Census(target));
        EXPECT_EQ(sourceBefore, Census(source));
        EXPECT_EQ(Marked(source), MarkedIn(source));
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

    // Act::EditedMeanwhile: `image` of `source` is described there, through a
    // session of its own, once the merge has read the rows to merge; with no
    // image (Act::MovedMeanwhile), `target` moves its newest image then.
    int RunEditedMeanwhile(char source, const std::wstring& image, RecordingLink& link, char target)
    {
        ImportDBCls engine(nullptr, &link);
        engine.Init();
        engine.Connect();
        if (image.empty())
            Move(target);
        Database other;
        EXPECT_TRUE(other.Open(SiteInitString(DatabaseFile(source))));
        if (!image.empty())
            other.Exec(L"UPDATE Snimok SET Apicriz=N'described meanwhile' WHERE Snimok=" + image + L";");
        other.Close();
        try {
            engine.StartUnion();
        } catch (...) {
            ADD_FAILURE() << "the merge failed";
        }
        return engine.GetState();
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
        model_[source][Key(Row(last))] = false;

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
    std::map<std::wstring, std::wstring> dates_;   // the date each picture was first saved with, by label
    std::map<std::wstring, std::wstring> displays_;   // ... its brightness and contrast, by label
    std::map<char, std::set<std::wstring>> deleted_;  // the images each workstation deleted
    std::map<std::wstring, size_t> patientTags_;   // the tag of each patient's key columns
    std::map<char, unsigned> latest_;           // the seed of each site's latest picture
    std::map<char, std::vector<unsigned>> first_;   // ... and of the two it was made with
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
    EveryWorkstationDeletesItsImported();
}

INSTANTIATE_TEST_SUITE_P(Directions, MergeIdentityTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
