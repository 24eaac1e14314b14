// The merge engine between two demo sites: every image copied with its
// patient (found again, also in other letter case, or inserted), display
// settings, further columns and thumbnail; a second run copies nothing; a
// stop half-way and a failure at each step of an image leave both sites
// consistent, and the next run completes without a duplicate; an image that
// cannot be read is left for the next run while the others come.
#include "merge_fixture.h"

#include "exchange_fixture.h"

#include "common/prompt_script.h"
#include "database/dbstart.h"
#include "exchange/merge/importengine.h"
#include "exchange/merge/mergefaults.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/textutil.h"
#include "images/files/xmgfile.h"
#include "resources/strings.h"
#include "tools/demosite/sitebuilder.h"
#include "tools/demosite/sitedatabase.h"

#include <functional>
#include <map>

using namespace mergetest;

namespace {

class MergeEngineTest : public MergeSites {
protected:
    // The local copy of a source image (the image of its identity), by its file name.
    std::wstring LocalNameOf(long sourceImage)
    {
        const std::wstring guid =
            other.Scalar(L"SELECT Guid FROM MergeSnimok WHERE Snimok=" + std::to_wstring(sourceImage) + L";");
        const long local = Number(L"SELECT Snimok FROM MergeSnimok WHERE Guid='" + guid + L"';");
        if (local < 0)
            return std::wstring();
        return Scalar(L"SELECT [File name] FROM Snimok WHERE Snimok=" + std::to_wstring(local) + L";");
    }
    std::wstring OtherNameOf(long sourceImage)
    {
        return other.Scalar(L"SELECT [File name] FROM Snimok WHERE Snimok=" + std::to_wstring(sourceImage) + L";");
    }
    long Merged() { return Number(L"SELECT COUNT(*) FROM Snimok;"); }
    long MarkedInOther() { return other.Number(L"SELECT COUNT(*) FROM Snimok WHERE imported=1;"); }
};

// Whether a record of the journal holds the text.
bool Journalled(const std::wstring& text)
{
    JournalHeader header;
    JournalRecord record;
    bool found = false;
    if (JournalEnter()) {
        for (DWORD i = 0; !found && JournalReadHeader(&header) && i < header.count; ++i)
            found = JournalReadRecord(i, &record) && wcsstr(record.text, text.c_str());
        JournalLeave();
    }
    return found;
}

std::vector<uint16_t> Raster(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    DPicturePtr picture = SnimokFile::Load(file, false, false);
    CloseHandle(file);
    if (!picture.Get())
        return {};
    const uint16_t* bits = picture->GetBits();
    return std::vector<uint16_t>(bits, bits + (size_t)picture->width * picture->height);
}

TEST_F(MergeEngineTest, CopiesEveryImageWithItsPatientSettingsColumnsAndThumbnail)
{
    RecordingLink link;
    std::wstring error;
    ASSERT_EQ(ImportDBCls::kRunning, RunMerge(link, &error)) << Narrow(error);
    EXPECT_EQ((DWORD)kSourceImages, link.Counter(0));
    EXPECT_EQ((DWORD)kSourceImages, link.Counter(1));
    EXPECT_TRUE(link.Text(0).empty());
    EXPECT_EQ(kSourceImages, CheckConsistent());
    EXPECT_EQ(kSourceImages, MarkedInOther());

    for (int i = 1; i <= kSourceImages; ++i) {
        const std::wstring local = LocalNameOf(i), source = OtherNameOf(i);
        ASSERT_FALSE(local.empty()) << "source image " << i;
        const std::wstring where = L" FROM Snimok WHERE [File name]='" + local + L"';";
        EXPECT_EQ(std::to_wstring(100 + i), Scalar(L"SELECT Bri" + where));
        EXPECT_EQ(std::to_wstring(2000 + i), Scalar(L"SELECT Contrast" + where));
        EXPECT_EQ(std::to_wstring(i % 2), Scalar(L"SELECT Negativ" + where));
        EXPECT_EQ(std::to_wstring(i % 4), Scalar(L"SELECT Orientation" + where)) << "a further Snimok column";
        EXPECT_EQ(L"1.5", Scalar(L"SELECT Scale" + where));
        EXPECT_EQ(other.Scalar(L"SELECT [Date file] FROM Snimok WHERE Snimok=" + std::to_wstring(i) + L";"),
                  Scalar(L"SELECT [Date file]" + where))
            << "a column whose name holds a blank";
        EXPECT_EQ(L"1", Scalar(L"SELECT [Disk]" + where));
        EXPECT_EQ(Raster(OtherImage(source)), Raster(LocalImage(local))) << "the same pixels";
        const std::vector<BYTE> icon = FileBytes(LocalIcon(local));
        EXPECT_EQ(36864u, icon.size());
        EXPECT_EQ(FileBytes(OtherIcon(source)), icon) << "the thumbnail copied as it was";
    }

    // Patients: "ИВАНОВ" is the local "Иванов", Сидоров is found, three are new.
    EXPECT_EQ(3 + 3, Number(L"SELECT COUNT(*) FROM Patient;"));
    EXPECT_EQ(1, Number(L"SELECT COUNT(*) FROM Patient WHERE Name1='Иванов';"));
    EXPECT_EQ(2, Number(L"SELECT COUNT(*) FROM Snimok WHERE Patient=2;")) << "both images of the capitalised patient";
    EXPECT_EQ(3, Number(L"SELECT COUNT(*) FROM Snimok WHERE Patient=3;"));
    const SitePatient& newcomer = DemoPatients()[1];
    EXPECT_EQ(std::wstring(newcomer.name2),
              Scalar(std::wstring(L"SELECT Name2 FROM Patient WHERE Name1='") + newcomer.name1 + L"';"));
    EXPECT_EQ(1, Number(std::wstring(L"SELECT COUNT(*) FROM Snimok s JOIN Patient p ON s.Patient=p.Patient "
                                     L"WHERE p.Name1='") + newcomer.name1 + L"';"));
    // The file name comes from the local patient and the new key.
    const std::wstring first = LocalNameOf(1);
    EXPECT_EQ(L'И', first[0]);
    EXPECT_EQ(L"0000000002", first.substr(1, 10));

    // The window's patient texts, one per run of images.
    const std::vector<std::wstring> patients = link.Patients();
    ASSERT_FALSE(patients.empty());
    EXPECT_EQ(L"ИВАНОВ Иван Петрович", patients.front());
}

TEST_F(MergeEngineTest, ASecondRunCopiesNothing)
{
    RecordingLink first, second;
    ASSERT_EQ(0, RunMerge(first));
    const long patients = Number(L"SELECT COUNT(*) FROM Patient;");
    std::wstring error;
    ASSERT_EQ(0, RunMerge(second, &error)) << Narrow(error);
    EXPECT_EQ(0u, second.Counter(0));
    EXPECT_EQ(0u, second.Counter(1));
    EXPECT_EQ(kSourceImages, CheckConsistent());
    EXPECT_EQ(patients, Number(L"SELECT COUNT(*) FROM Patient;"));
}

TEST_F(MergeEngineTest, ImagesWithoutFileOrNotOnDiskAreNeverOffered)
{
    other.Exec(L"UPDATE Snimok SET [File name]=NULL WHERE Snimok=2;");
    other.Exec(L"UPDATE Snimok SET [Disk]=0 WHERE Snimok=3;");
    RecordingLink link;
    ASSERT_EQ(0, RunMerge(link));
    EXPECT_EQ((DWORD)kSourceImages - 2, link.Counter(0));
    EXPECT_EQ(kSourceImages - 2, CheckConsistent());
    EXPECT_EQ(L"0", other.Scalar(L"SELECT imported FROM Snimok WHERE Snimok=3;"));
}

struct StopAt {
    DThreadChannel* channel;
    DWORD after;
};

TEST_F(MergeEngineTest, StoppedHalfWayThenRunAgainNothingMissingNothingTwice)
{
    DThreadChannel channel;
    ASSERT_TRUE(channel.Create());
    channel.SetOpen();
    StopAt stop = {&channel, 3};
    RecordingLink link;
    link.context = &stop;
    link.onMerged = [](DWORD merged, void* context) {
        StopAt* s = static_cast<StopAt*>(context);
        if (merged == s->after)
            s->channel->Post(0, 0, 0);   // the stop command, taken before the next image
    };
    ASSERT_EQ(ImportDBCls::kStopped, RunMerge(link, nullptr, &channel));
    DWORD reply = 0;
    EXPECT_EQ(0u, channel.WaitReply(&reply, 0));
    EXPECT_EQ(1u, reply) << "the stop is answered";
    EXPECT_EQ(3u, link.Counter(1));
    EXPECT_EQ(3, CheckConsistent());
    EXPECT_EQ(3, MarkedInOther());

    RecordingLink again;
    ASSERT_EQ(0, RunMerge(again));
    EXPECT_EQ((DWORD)kSourceImages - 3, again.Counter(0));
    EXPECT_EQ(kSourceImages, CheckConsistent());
    EXPECT_EQ(kSourceImages, MarkedInOther());
    EXPECT_EQ(6, Number(L"SELECT COUNT(*) FROM Patient;")) << "no patient twice";
}

TEST_F(MergeEngineTest, AFailureBetweenTheCommitAndTheMarkIsMendedWithoutADuplicate)
{
    InjectMergeFailure(MergeStep::AfterCommit, ERROR_NETWORK_UNREACHABLE, 2);
    RecordingLink link;
    std::wstring error;
    ASSERT_EQ(-1, RunMerge(link, &error));
    EXPECT_NE(std::wstring::npos, error.find(L"Error Win32(1231)")) << Narrow(error);
    EXPECT_EQ(3, CheckConsistent()) << "the third image is here";
    EXPECT_EQ(2, MarkedInOther()) << "but not marked";
    EXPECT_EQ(L"0", other.Scalar(L"SELECT imported FROM Snimok WHERE Snimok=3;"));

    RecordingLink again;
    ASSERT_EQ(0, RunMerge(again, &error)) << Narrow(error);
    EXPECT_EQ((DWORD)kSourceImages - 3, again.Counter(0)) << "the third is here: it is not offered again";
    EXPECT_EQ((DWORD)kSourceImages - 3, again.Counter(1));
    EXPECT_EQ(kSourceImages, CheckConsistent()) << "it is only marked, not copied again";
    EXPECT_EQ(kSourceImages, MarkedInOther());
}

// A row changed there between its copy and its mark is not marked: the
// change is not lost, the next merge brings it as an image of its own.
TEST_F(MergeEngineTest, ARowChangedThereWhileItIsMergedIsLeftForTheNextMerge)
{
    using Self = std::remove_pointer_t<decltype(this)>;
    SetMergeStepObserver(
        [](MergeStep step, void* context) {
            Self* test = static_cast<Self*>(context);
            if (step == MergeStep::AfterCommit && test->MarkedInOther() == 0)
                test->other.Exec(L"UPDATE Snimok SET Scale=7.25 WHERE Snimok=1;");
        },
        this);
    RecordingLink link;
    std::wstring error;
    ASSERT_EQ(0, RunMerge(link, &error)) << Narrow(error);
    SetMergeStepObserver(nullptr, nullptr);
    EXPECT_EQ(kSourceImages, CheckConsistent());
    EXPECT_EQ(L"0", other.Scalar(L"SELECT imported FROM Snimok WHERE Snimok=1;"));
    EXPECT_EQ(kSourceImages - 1, MarkedInOther());

    RecordingLink again;
    ASSERT_EQ(0, RunMerge(again, &error)) << Narrow(error);
    EXPECT_EQ(1u, again.Counter(1));
    EXPECT_EQ(kSourceImages + 1, CheckConsistent());
    EXPECT_EQ(1, Number(L"SELECT COUNT(*) FROM Snimok WHERE Scale=7.25;"));
}

// Each step of an image failing on the fourth image (the first of a new run
// of a patient found here, whose earlier images are in) and on the third (a
// new patient's first): the site stays consistent, the image is not marked,
// and the next run finishes the merge.
TEST_F(MergeEngineTest, AFailureAtEachStepLeavesBothSitesConsistent)
{
    const MergeStep steps[] = {MergeStep::FindPatient, MergeStep::InsertPatient,
                               MergeStep::UpdatePatient, MergeStep::SaveImage, MergeStep::UpdateColumns,
                               MergeStep::Ledger, MergeStep::Commit, MergeStep::MarkSource};
    for (MergeStep step : steps) {
        SCOPED_TRACE(testing::Message() << "step " << (int)step);
        UndoMerge();

        // Image 3 belongs to a new patient (insert); image 4 to a found one (update).
        const int skip = step == MergeStep::InsertPatient ? 1 : step == MergeStep::UpdatePatient ? 1 : 3;
        InjectMergeFailure(step, E_FAIL, skip);
        RecordingLink link;
        std::wstring error;
        ASSERT_EQ(-1, RunMerge(link, &error)) << "the run ends at the failure";
        InjectMergeFailure(MergeStep::None, 0);
        const long merged = CheckConsistent();
        EXPECT_LT(merged, kSourceImages);
        EXPECT_EQ(step == MergeStep::MarkSource ? merged - 1 : merged, MarkedInOther());

        RecordingLink again;
        ASSERT_EQ(0, RunMerge(again, &error)) << Narrow(error);
        EXPECT_EQ(kSourceImages, CheckConsistent());
        EXPECT_EQ(kSourceImages, MarkedInOther());
        EXPECT_EQ(6, Number(L"SELECT COUNT(*) FROM Patient;"));
    }
}

// An image whose file is missing, damaged or cannot be opened, whose stored
// name would leave the image folder or name a device or another image's short
// name, whose description is longer than a workstation takes, whose row or
// patient row another program left with a value of another type, or whose
// patient is missing, fails alone: named (with the reason, in the program's
// language) in the error text and the journal, the images after it come;
// mended, the next merge brings it. An identity that is no GUID counts as
// none, and a twin of a merged image whose row there was damaged since
// arrives as an image of its own. (Too long names: the name checks.)
TEST_F(MergeEngineTest, AnImageThatCannotBeReadIsSkippedNamedAndOfferedAgain)
{
    testfix::TempDir journal(L"tfmergeju");
    {
        PromptScript create({IDYES});
        ASSERT_TRUE(JournalInit(journal.Path().c_str()));
    }
    // Image 3 is the only one of a patient not known here.
    const std::wstring name = OtherNameOf(3);
    const std::vector<BYTE> bytes = FileBytes(OtherImage(name));
    const std::wstring patientKey = other.Scalar(L"SELECT Patient FROM Snimok WHERE Snimok=3;");
    const std::string patient = Narrow(patientKey);
    std::string sex = Narrow(other.Scalar(L"SELECT Pol FROM Patient WHERE Patient=" + patientKey + L";"));
    sex = sex == "<null>" ? "NULL" : sex;
    wchar_t shortPath[MAX_PATH] = L"";
    ASSERT_GT(GetShortPathNameW(OtherImage(OtherNameOf(2)).c_str(), shortPath, MAX_PATH), 0u);
    std::wstring alias = wcsrchr(shortPath, L'\\') + 1;
    alias.resize(alias.find(L'.'));
    ASSERT_NE(std::wstring::npos, alias.find(L'~')) << Narrow(alias);
    settings->SetDword(L"ImportSettings\\Snimok\\Apicriz", L"CType", 130);
    const auto edit = [&](const std::string& sql) { return [this, sql] { EditOtherFile(sql); }; };
    const auto negative = edit("UPDATE Snimok SET Negativ=1 WHERE Snimok=3;");
    const struct {
        std::wstring shown;
        std::function<void()> damage;   // none: the name is stored instead
        std::wstring reason = L"";
        std::function<void()> mend = nullptr;
        bool skipped = true;
        long arrived = kSourceImages;   // not skipped: the images here after the merge
    } cases[] = {
        {name,
         [&] { other.Exec(L"UPDATE Snimok SET Apicriz=N'" + std::wstring(40000, L'ж') + L"' WHERE Snimok=3;"); },
         L"40000"},
        {name, [&] { DeleteFileW(OtherImage(name).c_str()); }},
        {name, [&] { exchtest::WriteFileBytes(OtherImage(name), {bytes.begin(), bytes.begin() + 100}); }},
        {name, [] { InjectMergeFailure(MergeStep::OpenSource, ERROR_SHARING_VIOLATION, 2); }},
        {L"..\\..\\Local\\Image\\x"}, {L"a/b"}, {L"C:x"}, {L".."}, {L"CONIN$"}, {alias},
        {name, edit("UPDATE Snimok SET Bri='bright' WHERE Snimok=3;"), L"\"bri\" of its row in the table Snimok",
         edit("UPDATE Snimok SET Bri=103 WHERE Snimok=3;")},
        {name, edit("UPDATE Snimok SET Negativ=x'0102' WHERE Snimok=3;"), L"\"negativ\"", negative},
        {name, edit("UPDATE Snimok SET Negativ=99999999999 WHERE Snimok=3;"), L"\"negativ\"", negative},
        {name, edit("UPDATE Patient SET Pol='female' WHERE Patient=" + patient + ";"), L"\"Pol\" of its row in the table Patient",
         edit("UPDATE Patient SET Pol=" + sex + " WHERE Patient=" + patient + ";")},
        {name, edit("UPDATE Snimok SET Patient=99999 WHERE Snimok=3;"), L"No patient with id = 99999",
         edit("UPDATE Snimok SET Patient=" + patient + " WHERE Snimok=3;")},
        {name,
         [&] {
             other.Exec(L"UPDATE MergeSnimok SET Guid=N'' WHERE Snimok=3;");
             Exec(L"INSERT INTO MergeSnimok (Guid, Snimok) VALUES (N'', 99999);");
         },
         L"", [&] { Exec(L"DELETE FROM MergeSnimok WHERE Snimok=99999;"); }, false},
        // Last: the twin stays there.
        {name,
         [&] {
             RecordingLink first;
             ASSERT_EQ(0, RunMerge(first));
             other.Exec(L"INSERT INTO Snimok (Patient, [Disk], [Date file], [File name], Bri, Contrast, Negativ, "
                        L"Scale, Orientation) SELECT Patient, [Disk], [Date file], N'twin3', Bri, Contrast, Negativ, "
                        L"Scale, Orientation FROM Snimok WHERE Snimok=3;");
             EditOtherFile("UPDATE Snimok SET Bri='bright' WHERE Snimok=3;");
             ASSERT_TRUE(CopyFileW(OtherImage(name).c_str(), OtherImage(L"twin3").c_str(), FALSE));
         },
         L"", [] {}, false, kSourceImages + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.shown) + " " + Narrow(c.reason));
        UndoMerge();
        if (c.damage)
            c.damage();
        other.Exec(L"UPDATE Snimok SET [File name]=N'" + c.shown + L"' WHERE Snimok=3;");
        RecordingLink link;
        std::wstring error;
        ASSERT_EQ(0, RunMerge(link, &error)) << Narrow(error);
        if (!c.skipped) {
            c.mend();
            EXPECT_EQ(c.arrived, CheckConsistent()) << "every image came";
            EXPECT_EQ(L"", link.Text(0));
            EXPECT_EQ(38u, other.Scalar(L"SELECT Guid FROM MergeSnimok WHERE Snimok=3;").size()) << "a new identity";
            continue;
        }
        EXPECT_EQ(kSourceImages - 1, CheckConsistent()) << "the others came";
        EXPECT_NE(std::wstring::npos, link.Text(0).find(L"\"" + c.shown + L"\"")) << Narrow(link.Text(0));
        EXPECT_NE(std::wstring::npos, link.Text(0).find(c.reason)) << Narrow(link.Text(0));
        EXPECT_TRUE(Journalled(c.shown));
        EXPECT_EQ(1u, link.Counter(2)) << "one image skipped";

        exchtest::WriteFileBytes(OtherImage(name), bytes);
        if (c.mend)
            c.mend();
        other.Exec(L"UPDATE Snimok SET [File name]=N'" + name + L"', Apicriz=NULL WHERE Snimok=3;");
        ASSERT_EQ(0, RunMerge(link, &error)) << Narrow(error);
        EXPECT_EQ(kSourceImages, CheckConsistent());
    }
    JournalDone();
}

TEST_F(MergeEngineTest, LowFreeSpaceStopsBeforeTheNextImage)
{
    InjectMergeFailure(MergeStep::FreeSpace, 0, 2);
    RecordingLink link;
    std::wstring error;
    ASSERT_EQ(-1, RunMerge(link, &error));
    EXPECT_EQ(L"Мало свободного места на диске.", error);
    EXPECT_EQ(2, CheckConsistent());
    EXPECT_EQ(2, MarkedInOther());

    // The real measure: no drive has that much room.
    SpaceArjStart = 0xFFFFFFFF;
    RecordingLink again;
    ASSERT_EQ(-1, RunMerge(again, &error));
    EXPECT_EQ(L"Мало свободного места на диске.", error);
    EXPECT_EQ(2, CheckConsistent());
}

TEST_F(MergeEngineTest, APatientWithANullKeyColumnIsFoundAgain)
{
    // Both sites know Сидоров without a middle name.
    other.Exec(L"UPDATE Patient SET Name3=NULL WHERE Patient=" + std::to_wstring(otherPatients_[2]) + L";");
    Exec(L"UPDATE Patient SET Name3=NULL WHERE Patient=3;");
    RecordingLink link;
    ASSERT_EQ(0, RunMerge(link));
    EXPECT_EQ(3, Number(L"SELECT COUNT(*) FROM Snimok WHERE Patient=3;"));
    EXPECT_EQ(6, Number(L"SELECT COUNT(*) FROM Patient;"));
    EXPECT_EQ(L"Сидоров Алексей  ", link.Patients()[2]) << "a NULL column shows as one blank";
}

TEST_F(MergeEngineTest, ANewPatientWithANullKeyColumnIsInsertedOnceAndKeepsItsImages)
{
    // A search by "Name3=?" could never find him again: his key is the one
    // his own insert gave, and the next run finds him by "Name3 IS NULL".
    other.Exec(L"UPDATE Patient SET Name3=NULL WHERE Patient=" + std::to_wstring(otherPatients_[3]) + L";");
    RecordingLink link;
    std::wstring error;
    ASSERT_EQ(0, RunMerge(link, &error)) << Narrow(error);
    const SitePatient& p = DemoPatients()[3];
    const long key = Number(std::wstring(L"SELECT Patient FROM Patient WHERE Name1='") + p.name1 + L"';");
    EXPECT_EQ(L"<null>", Scalar(L"SELECT Name3 FROM Patient WHERE Patient=" + std::to_wstring(key) + L";"));
    EXPECT_EQ(1, Number(L"SELECT COUNT(*) FROM Snimok WHERE Patient=" + std::to_wstring(key) + L";"));
    EXPECT_EQ(std::to_wstring(p.sex), Scalar(L"SELECT Pol FROM Patient WHERE Patient=" + std::to_wstring(key) + L";"));

    // Another image of his arrives later (another picture: the same one would
    // be a copy of his image here): he is found, not inserted again.
    other.Exec(L"UPDATE Snimok SET imported=0 WHERE Snimok=7;");
    other.Exec(L"DELETE FROM MergeSnimok WHERE Snimok=7;");
    ASSERT_TRUE(CopyFileW(OtherImage(OtherNameOf(8)).c_str(), OtherImage(OtherNameOf(7)).c_str(), FALSE));
    RecordingLink again;
    ASSERT_EQ(0, RunMerge(again, &error)) << Narrow(error);
    EXPECT_EQ(1, Number(std::wstring(L"SELECT COUNT(*) FROM Patient WHERE Name1='") + p.name1 + L"';"));
    EXPECT_EQ(2, Number(L"SELECT COUNT(*) FROM Snimok WHERE Patient=" + std::to_wstring(key) + L";"));
}

TEST_F(MergeEngineTest, AFoundPatientGetsTheOtherColumnsUpdated)
{
    Exec(L"UPDATE Patient SET Pol=7 WHERE Patient=3;");
    RecordingLink link;
    ASSERT_EQ(0, RunMerge(link));
    EXPECT_EQ(std::to_wstring(DemoPatients()[2].sex), Scalar(L"SELECT Pol FROM Patient WHERE Patient=3;"));
}

TEST_F(MergeEngineTest, NoKeyColumnIsAnErrorAtTheStart)
{
    for (const wchar_t* column : {L"Name1", L"Name2", L"Name3", L"Birthday"})
        settings->SetDword(std::wstring(L"ImportSettings\\Patient\\") + column, L"Req", 0);
    RecordingLink link;
    std::wstring error;
    ASSERT_EQ(-1, RunMerge(link, &error));
    EXPECT_EQ(LoadText(IDS_MERGE_NO_KEY_COLUMN), error);
    EXPECT_EQ(0, CheckConsistent());
}

TEST_F(MergeEngineTest, MissingSettingsKeysEndTheRunWithTheSystemText)
{
    for (const wchar_t* key : {L"ImportSettings\\Snimok", L"ImportSettings\\FormatPatient",
                               L"ImportSettings\\Patient"}) {
        settings->DeleteTree(key);
        RecordingLink link;
        std::wstring error;
        ASSERT_EQ(-1, RunMerge(link, &error));
        EXPECT_EQ(0u, error.find(L"Error Win32(2)\n")) << Narrow(error);
    }
}

TEST_F(MergeEngineTest, AColumnWithoutATypeItCanCarryIsRefused)
{
    settings->SetDword(L"ImportSettings\\Snimok\\Orientation", L"CType", 13);   // DBTYPE_UNKNOWN
    RecordingLink link;
    std::wstring error;
    ASSERT_EQ(-1, RunMerge(link, &error));
    EXPECT_NE(std::wstring::npos, error.find(L"Orientation")) << Narrow(error);
}

TEST_F(MergeEngineTest, TheOtherInitFileMustCarryItsByteOrderMark)
{
    const std::wstring path = otherPath_ + L"\\dbinit.cfg";
    std::vector<BYTE> bytes = FileBytes(path);
    ASSERT_GT(bytes.size(), 4u);
    bytes.erase(bytes.begin(), bytes.begin() + 2);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done = 0;
    WriteFile(file, bytes.data(), (DWORD)bytes.size(), &done, nullptr);
    CloseHandle(file);
    RecordingLink link;
    std::wstring error;
    ASSERT_EQ(-1, RunMerge(link, &error));
    EXPECT_NE(std::wstring::npos, error.find(L"dbinit.cfg")) << Narrow(error);

    DeleteFileW(path.c_str());
    ASSERT_EQ(-1, RunMerge(link, &error));
    EXPECT_EQ(0u, error.find(L"Ошибка функции GetRecSetSnimokE\nError Win32(2)")) << Narrow(error);
}

TEST_F(MergeEngineTest, OlderDatabasesGetTheImportedColumnAndTheIdentities)
{
    // An older other database: no column "imported"; neither has the ledger
    // or the identity tables.
    std::vector<BYTE> schema = FileBytes(SchemaFile());
    std::string text(schema.begin(), schema.end());
    const size_t imported = text.find(",\n    imported bit");
    ASSERT_NE(std::string::npos, imported);
    text.erase(imported, text.find('\n', imported + 2) - imported);
    const size_t ledger = text.find("CREATE TABLE MergeLedger");
    ASSERT_NE(std::string::npos, ledger);
    text.erase(ledger);
    const std::wstring olderSchema = root_ + L"older.sql";
    HANDLE file = CreateFileW(olderSchema.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done = 0;
    WriteFile(file, text.data(), (DWORD)text.size(), &done, nullptr);
    CloseHandle(file);

    // Rebuild the other site on the older schema, two images of one patient.
    other.Close();
    const std::wstring otherDb = otherPath_ + L"\\older.db";
    std::wstring error;
    ASSERT_TRUE(CreateSiteDatabase(otherDb, olderSchema, error)) << Narrow(error);
    const std::wstring savedImage = ImageFolder, savedIcon = IconFolder;
    wcscpy(ImageFolder, (otherPath_ + L"\\Image\\").c_str());
    wcscpy(IconFolder, (otherPath_ + L"\\Icon\\").c_str());
    std::vector<long> ids = FillSiteTables(error);
    ASSERT_FALSE(ids.empty()) << Narrow(error);
    ASSERT_TRUE(MakeSiteImages({ids[5]}, 2, 120, 96, error)) << Narrow(error);
    CloseSiteDatabase();
    wcscpy(ImageFolder, savedImage.c_str());
    wcscpy(IconFolder, savedIcon.c_str());
    HANDLE init = CreateFileW((otherPath_ + L"\\dbinit.cfg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                              nullptr);
    const std::wstring initText = L"\xFEFF" + SiteInitString(otherDb);
    WriteFile(init, initText.c_str(), (DWORD)(initText.size() * 2), &done, nullptr);
    CloseHandle(init);
    ASSERT_TRUE(other.Open(SiteInitString(otherDb)));
    ASSERT_TRUE(CreateSiteDatabase(localPath_ + L"older-local.db", olderSchema, error)) << Narrow(error);
    EXPECT_EQ(L"0", Scalar(L"SELECT COUNT(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME='MergeLedger';"));

    RecordingLink link;
    ASSERT_EQ(0, RunMerge(link, &error)) << Narrow(error);
    EXPECT_EQ(2, other.Number(L"SELECT COUNT(*) FROM Snimok WHERE imported=1;"));
    EXPECT_EQ(2, Number(L"SELECT COUNT(*) FROM MergeSnimok;"));
    EXPECT_EQ(2, other.Number(L"SELECT COUNT(*) FROM MergeSnimok;"));
    EXPECT_EQ(1, Number(L"SELECT COUNT(*) FROM MergeDatabase;"));
    EXPECT_EQ(1, other.Number(L"SELECT COUNT(*) FROM MergeDatabase;"));
    EXPECT_EQ(2, Number(L"SELECT COUNT(*) FROM Snimok;"));
    RecordingLink again;
    ASSERT_EQ(0, RunMerge(again, &error)) << Narrow(error);
    EXPECT_EQ(0u, again.Counter(0));
}

TEST_F(MergeEngineTest, InitClearsTheLinkAndConnectTellsTheCount)
{
    RecordingLink link;
    link.SetText0(L"old", -1);
    ImportDBCls engine(nullptr, &link);
    engine.Init();
    EXPECT_EQ(L"", link.Text(0));
    EXPECT_EQ(L"Идет инициализация...", link.Text(1));
    engine.Connect();
    EXPECT_EQ(L"Нажмите пуск для запуска обьединения", link.Text(1));
    EXPECT_EQ((DWORD)kSourceImages, link.Counter(0));
    EXPECT_EQ((DWORD)kSourceImages, engine.ImagesToMerge());
    wchar_t full[MAX_PATH];
    GetFullPathNameW(otherPath_.c_str(), MAX_PATH, full, nullptr);
    std::wstring upper = full;
    CharUpperBuffW(&upper[0], (DWORD)upper.size());
    EXPECT_EQ(upper, engine.SourceIdentity());
}

}  // namespace
