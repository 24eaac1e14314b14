// What the synchronisation makes of files that changed since a scan or that
// are not what a scan expects: an image's hard-disk mark follows its file
// whatever happened to the file between the scan and the steps (the
// freed/vanished sequences, one case each), and the re-insertion skips each
// odd file with its name in the message pane and puts the rest back.
#include "sync_fixture.h"

#include "common/prompt_script.h"
#include "common/site_checks.h"
#include "exchange/sync/syncformat.h"
#include "exchange/sync/synctables.h"
#include "foundation/textutil.h"
#include "images_file_builders.h"
#include "resources/strings.h"
#include "tools/demosite/sitebuilder.h"

#include <algorithm>

namespace extest {
namespace {

const DWORD kSerialB = 0xB0B0000B;
const std::wstring kKeyB = std::to_wstring(static_cast<LONG>(kSerialB));

// The steps a case runs on one image (the subject), in order; every case ends
// with the synchronisation, run twice.
enum class Step {
    ScanHdd,      // the hard-disk scan
    ScanDisk,     // the archive scan of disk B
    Tables,       // "Создать ТС"
    Free,         // the archive frees the image: its row off the hard disk, on disk B, the file deleted
    DeleteFile,   // the file deleted outside the program
    LoseRow,      // the image's row lost: its file is one to put back
    CopyToDisk,   // the file copied to disk B
    SaveNew,      // a new image saved; it becomes the subject
};

struct FileCase {
    const char* name;
    std::vector<Step> steps;
    const wchar_t* row;   // the subject's "[Disk]|Arj" after the synchronisation ("B" for disk B), null: no row
    bool gone;            // the pane names the subject's file as gone
};

void PrintTo(const FileCase& c, std::ostream* out)
{
    *out << c.name;
}

using S = Step;
const FileCase kFileCases[] = {
    {"FreedAfterTheScan", {S::ScanHdd, S::Free, S::Tables}, L"0|B", false},
    {"FreedThenRescanned", {S::ScanHdd, S::Free, S::ScanHdd, S::Tables}, L"0|B", false},
    {"DeletedAfterTheScan", {S::ScanHdd, S::DeleteFile, S::Tables}, L"0|NULL", false},
    {"SavedAfterTheScan", {S::ScanHdd, S::SaveNew, S::Tables}, L"1|NULL", false},
    {"UnknownFileGoneAfterTheTables", {S::LoseRow, S::ScanHdd, S::Tables, S::DeleteFile}, nullptr, true},
    {"UnknownFileGoneBeforeARescan", {S::LoseRow, S::ScanHdd, S::DeleteFile, S::ScanHdd, S::Tables}, nullptr, false},
    {"UnknownFileGoneButOnAnArchiveDisk",
     {S::LoseRow, S::CopyToDisk, S::ScanHdd, S::ScanDisk, S::Tables, S::DeleteFile}, L"0|B", true},
};

class FileSince : public SyncDbTest, public ::testing::WithParamInterface<FileCase> {
protected:
    void SetUp() override
    {
        SyncDbTest::SetUp();
        ASSERT_TRUE(drive.Leased());
    }
    SimulatedDrive drive;
    TempDir diskB{L"tffileB"};
    TestSyncWindow window;
};

TEST_P(FileSince, TheImagesHardDiskMarkFollowsItsFileAndEverySynchronisationRunsThrough)
{
    const FileCase& c = GetParam();
    MakeDemoImages(3);
    std::wstring subject = FileNames(L"Snimok")[1];
    Exec(L"INSERT INTO Arj (Arj, Name) VALUES (" + kKeyB + L", 'ARCH_B');");
    for (Step step : c.steps) {
        switch (step) {
        case Step::ScanHdd:
            ASSERT_EQ(kSyncResultDone, window.Run(kSyncScanHdd).result);
            break;
        case Step::ScanDisk:
            ASSERT_TRUE(drive.Insert(diskB.Path(), kSerialB, "ARCH_B"));
            ASSERT_EQ(kSyncResultDone, window.Run(kSyncScanMo, drive.Root()).result);
            break;
        case Step::Tables:
            CreateSyncTables(g_DbSession);
            break;
        case Step::Free:
            Exec(L"UPDATE Snimok SET [Disk]=0, Arj=" + kKeyB + L" WHERE [File name]='" + subject + L"';");
            [[fallthrough]];   // and the file goes
        case Step::DeleteFile:
            ASSERT_TRUE(DeleteFileW(ImagePath(subject).c_str()));
            break;
        case Step::LoseRow:
            Exec(L"DELETE FROM Snimok WHERE [File name]='" + subject + L"';");
            break;
        case Step::CopyToDisk:
            ASSERT_TRUE(CopyImage(subject, diskB.Path()));
            break;
        case Step::SaveNew: {
            const std::vector<std::wstring> before = FileNames(L"Snimok");
            std::wstring error;
            ASSERT_TRUE(MakeSiteImages({patients[0]}, 1, 200, 240, error));
            for (const std::wstring& name : FileNames(L"Snimok"))
                if (std::find(before.begin(), before.end(), name) == before.end())
                    subject = name;
            break;
        }
        }
    }
    PromptScript prompts({IDRETRY});   // the disk prompt, when disk B is asked for
    const SyncReport report = window.Run(kSyncDatabase, drive.Root());
    ASSERT_EQ(kSyncResultDone, report.result) << LastMessage(report);
    std::vector<std::wstring> expected;
    if (c.row) {
        std::wstring row = c.row;
        if (row.back() == L'B')
            row = row.substr(0, row.size() - 1) + kKeyB;
        expected.push_back(row);
    }
    EXPECT_EQ(expected, Rows(L"SELECT [Disk], Arj FROM Snimok WHERE [File name]='" + subject + L"';"));
    const std::wstring gone = syncfmt::Format(LoadText(IDS_SYNC_FILE_GONE).c_str(),
                                              {reinterpret_cast<DWORD_PTR>(ImagePath(subject).c_str())});
    EXPECT_EQ(c.gone, report.HasMessage(gone)) << LastMessage(report);
    testfix::ExpectSiteConsistent(ImageFolder, false);
    EXPECT_EQ(0, Count(L"Snimok_dif WHERE nodel=0 AND [File name]='" + subject + L"'"));
    const SyncReport again = window.Run(kSyncDatabase, drive.Root());
    EXPECT_EQ(kSyncResultDone, again.result) << LastMessage(again);
    EXPECT_EQ(expected, Rows(L"SELECT [Disk], Arj FROM Snimok WHERE [File name]='" + subject + L"';"));
}

INSTANTIATE_TEST_SUITE_P(Sequences, FileSince, ::testing::ValuesIn(kFileCases),
                         [](const ::testing::TestParamInfo<FileCase>& info) { return std::string(info.param.name); });

// Odd files among those to put back: each is skipped, logged under its name
// (Msg_tmp code 1, nodel), named in the message pane with why, and the
// images of the other files come back. The refused names come from rows:
// no scan records them, but a table written before may hold them.
class OddRestore : public SyncDbTest {};

void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
}

TEST_F(OddRestore, EachOddFileIsSkippedAndNamedAndTheRestIsPutBack)
{
    MakeDemoImages(4);
    const std::vector<std::wstring> names = FileNames(L"Snimok");
    Exec(L"DELETE FROM Snimok;");
    Exec(L"DELETE FROM Patient;");
    exchtest::XmgShape unnamed;
    unnamed.names = {u"", u"", u""};
    unnamed.imageId = 90001;
    unnamed.patientId = 90001;
    exchtest::XmgShape refused = unnamed;   // a name longer than the column
    refused.names = {u"Константинопольский-Задунайский-Младший", u"Пётр", u"Сергеевич"};
    refused.imageId = 90002;
    refused.patientId = 90002;
    const std::wstring folder = ImageFolder;
    WriteBytes(folder + L"X00000000990000000001.xmg", exchtest::MakeXmg(unnamed, exchtest::XmgPattern(unnamed)));
    WriteBytes(folder + L"X00000000990000000002.xmg", exchtest::MakeXmg(refused, exchtest::XmgPattern(refused)));
    WriteBytes(folder + L"X00000000990000000003.xmg", {'D', 'I', 'X', 'G', 0, 0});
    // Beside the image folder a readable image file that a name with ".."
    // would reach.
    ASSERT_TRUE(CopyFileW(ImagePath(names[0]).c_str(), (data_->Path() + L"victim.xmg").c_str(), FALSE));
    TestSyncWindow window;
    ASSERT_EQ(kSyncResultDone, window.Run(kSyncScanHdd).result);
    CreateSyncTables(g_DbSession);
    for (const wchar_t* name : {L"CON", L"..\\victim", L"COM1.x"})
        Exec(std::wstring(L"INSERT INTO Snimok_dif ([File name], [Disk], Arj) VALUES ('") + name + L"', 1, NULL);");

    PromptScript prompts({IDOK});   // the box about the file that is not an image file
    const SyncReport report = window.Run(kSyncDatabase);
    ASSERT_EQ(kSyncResultDone, report.result) << LastMessage(report);
    EXPECT_EQ(names, FileNames(L"Snimok"));
    const std::vector<std::wstring> odd = {L"X00000000990000000001", L"X00000000990000000002",
                                           L"X00000000990000000003", L"CON", L"..\\victim", L"COM1.x"};
    std::vector<std::wstring> logged;
    for (const std::wstring& name : odd)
        logged.push_back(L"1|" + name);
    std::sort(logged.begin(), logged.end());
    EXPECT_EQ(logged, Rows(L"SELECT errcode, fn FROM Msg_tmp ORDER BY fn;"));
    EXPECT_EQ(6, Count(L"Snimok_dif WHERE nodel=1"));
    const std::wstring format = LoadText(IDS_SYNC_FILE_UNREADABLE);
    const std::wstring head = format.substr(0, format.find(L"%1"));
    for (const std::wstring& name : odd) {
        const std::wstring path = folder + name + L".xmg";
        bool named = false;
        for (const std::wstring& message : report.messages)
            named = named || message.rfind(head + path + L"\n", 0) == 0;
        EXPECT_TRUE(named) << Narrow(path);
    }
    EXPECT_TRUE(report.HasMessage(LoadText(IDS_SYNC_NO_PATIENT_NAME)));
    EXPECT_TRUE(report.HasMessage(LoadText(IDS_SYNC_NAME_REFUSED)));
    EXPECT_EQ(0, Count(L"Patient WHERE Patient=90001 OR Patient=90002"));
}

// A code the system has no text for (a COM class gone with a killed server)
// still names itself in the synchronisation's boxes.
TEST(SyncTexts, ACodeWithoutSystemTextIsNamed)
{
    EXPECT_NE(std::wstring::npos, syncfmt::SystemText(0x80040154u).find(L"0x80040154"));
    EXPECT_FALSE(syncfmt::SystemText(ERROR_FILE_NOT_FOUND).empty());
}

}  // namespace
}  // namespace extest

