// The suspect files and the disk lists of the synchronisation window's
// "Команды" menu: moving suspect files off the hard disk and off the archive
// disk in the drive (a source is deleted only once the destination holds the
// same bytes), what a failure asks and says, and the two dialogs as the menu
// opens them.
#include "sync_wnd_fixture.h"

#include "exchange/sync/suspectmove.h"
#include "exchange/sync/syncformat.h"
#include "exchange/sync/synctables.h"
#include "foundation/globals.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "foundation/textutil.h"

namespace extest {
namespace {

const DWORD kSerialA = 0x00A1B2C3;
const DWORD kSerialB = 0x9ABCDEF0;   // negative as a key
const DWORD kSerialC = 0xC0000001;   // negative as a key

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
    return ok && written == bytes.size();
}

std::string ReadBytes(const std::wstring& path)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return "<none>";
    char buffer[256];
    DWORD read = 0;
    ReadFile(f, buffer, sizeof buffer, &read, nullptr);
    CloseHandle(f);
    return std::string(buffer, read);
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class SuspectFiles : public SyncWindowTest {
protected:
    void SetUp() override
    {
        SyncWindowTest::SetUp();
        ASSERT_TRUE(drive.Leased()) << "no test drive letter is free";
        {
            TestSyncWindow scans;   // the scans' tables, empty
            ASSERT_EQ(kSyncResultDone, scans.Run(kSyncScanHdd).result);
        }
        CreateSyncTables(g_DbSession);
        // Two suspect files on the hard disk (S1 with its thumbnail), one that
        // is not suspect, one suspect file on archive disk A.
        ASSERT_TRUE(WriteBytes(ImagePath(L"S1"), "image one"));
        ASSERT_TRUE(WriteBytes(IconPath(L"S1"), "icon one"));
        ASSERT_TRUE(WriteBytes(ImagePath(L"S2"), "image two"));
        ASSERT_TRUE(WriteBytes(ImagePath(L"F1"), "free"));
        ASSERT_TRUE(WriteBytes(diskA.Path() + L"M1.xmg", "on the disk"));
        ASSERT_TRUE(WriteBytes(diskA.Path() + L"M1.thb", "its icon"));
        const std::wstring keyA = std::to_wstring(SerialToKey(kSerialA));
        Exec(L"INSERT INTO Arj_tmp (arj, Name) VALUES (" + keyA + L", 'ARCH_A');");
        Exec(L"INSERT INTO Arj_tmp (arj, Name) VALUES (" + std::to_wstring(SerialToKey(kSerialB)) + L", 'ARCH_B');");
        for (const std::wstring& row : {std::wstring(L"'S1', 1, NULL, 1"), std::wstring(L"'S2', 1, NULL, 1"),
                                        std::wstring(L"'F1', 1, NULL, 0"), L"'M1', 0, " + keyA + L", 1"})
            Exec(L"INSERT INTO Snimok_dif ([File name], [Disk], [Arj], [nodel]) VALUES (" + row + L");");
    }
    std::wstring IconPath(const std::wstring& name) const { return data_->Path() + L"Icon\\" + name + L".thb"; }
    std::wstring Moved(const std::wstring& name, const wchar_t* ext = L".xmg") const
    {
        return target.Path() + (std::wstring(ext) == L".xmg" ? L"Image\\" : L"Icon\\") + name + ext;
    }
    SuspectMoveRequest Hdd(bool quiet = false)
    {
        SuspectMoveRequest request;
        request.owner = owner_;
        request.destination = target.Path();
        request.quiet = quiet;
        return request;
    }
    std::wstring Row(const std::wstring& name)
    {
        const std::vector<std::wstring> rows =
            Rows(L"SELECT [Disk], Arj, nodel FROM Snimok_dif WHERE [File name]='" + name + L"';");
        return rows.empty() ? L"<gone>" : rows[0];
    }

    SimulatedDrive drive;
    TempDir diskA{L"tfmoveA"};
    TempDir target{L"tfmoveT"};
};

TEST_F(SuspectFiles, TheHardDisksSuspectFilesMoveWithTheirThumbnailsAndTheirRowsGo)
{
    PromptScript prompts({IDOK});
    const SuspectMoveResult result = MoveSuspectImages(g_DbSession, Hdd());
    EXPECT_EQ(2, result.moved);
    EXPECT_TRUE(result.finished);
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(L"Перемещение закончено", prompts.Last().text);
    EXPECT_EQ(L"Сообщение", prompts.Last().caption);
    EXPECT_EQ(owner_, prompts.Last().owner);
    EXPECT_EQ("image one", ReadBytes(Moved(L"S1")));
    EXPECT_EQ("image two", ReadBytes(Moved(L"S2")));
    EXPECT_EQ("icon one", ReadBytes(Moved(L"S1", L".thb")));
    EXPECT_FALSE(Exists(ImagePath(L"S1")));
    EXPECT_FALSE(Exists(IconPath(L"S1")));
    EXPECT_FALSE(Exists(ImagePath(L"S2")));
    EXPECT_TRUE(Exists(ImagePath(L"F1")));
    // Lying nowhere now, their rows are forgotten; the others stay.
    EXPECT_EQ(L"<gone>", Row(L"S1"));
    EXPECT_EQ(L"<gone>", Row(L"S2"));
    EXPECT_EQ(L"1|NULL|0", Row(L"F1"));
    EXPECT_EQ(L"0|" + std::to_wstring(SerialToKey(kSerialA)) + L"|1", Row(L"M1"));
}

TEST_F(SuspectFiles, TheSameFileAtTheDestinationCountsAsMoved)
{
    CreateDirectoryW((target.Path() + L"Image").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(Moved(L"S1"), "image one"));
    PromptScript prompts({IDOK});
    EXPECT_EQ(2, MoveSuspectImages(g_DbSession, Hdd()).moved);
    EXPECT_EQ(1u, prompts.Count());
    EXPECT_FALSE(Exists(ImagePath(L"S1")));
    EXPECT_EQ(L"<gone>", Row(L"S1"));
}

TEST_F(SuspectFiles, ADifferentFileAtTheDestinationKeepsTheSourceAndItsRowAndAsks)
{
    CreateDirectoryW((target.Path() + L"Image").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(Moved(L"S1"), "image ONE"));   // same size, other bytes
    PromptScript prompts({IDYES, IDOK});
    EXPECT_EQ(1, MoveSuspectImages(g_DbSession, Hdd()).moved);
    ASSERT_EQ(2u, prompts.Count());
    const PromptRecord asked = prompts.Prompts()[0];
    wchar_t expected[1024] = L"";
    const std::wstring path = Moved(L"S1");
    const DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>(path.c_str())};
    FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                   LoadText(IDS_SYNC_TARGET_DIFFERS).c_str(), 0, 0, expected, 1024,
                   reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(args)));
    EXPECT_EQ(expected, asked.text);
    EXPECT_NE(std::wstring::npos, asked.text.find(path));
    EXPECT_EQ(L"Msg", asked.caption);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), asked.flags);
    EXPECT_EQ("image one", ReadBytes(ImagePath(L"S1")));
    EXPECT_EQ("image ONE", ReadBytes(Moved(L"S1")));
    EXPECT_TRUE(Exists(IconPath(L"S1")));   // its thumbnail stays with it
    EXPECT_EQ(L"1|NULL|1", Row(L"S1"));
    EXPECT_EQ(L"<gone>", Row(L"S2"));
    EXPECT_FALSE(Exists(ImagePath(L"S2")));
}

TEST_F(SuspectFiles, QuietSkipsCopyFailuresWithoutAskingAndNoEndsTheLoopOtherwise)
{
    ASSERT_TRUE(DeleteFileW(ImagePath(L"S1").c_str()));   // its copy cannot be made
    CreateDirectoryW((target.Path() + L"Image").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(Moved(L"S2"), "another two"));
    {
        PromptScript prompts({IDOK});
        EXPECT_EQ(0, MoveSuspectImages(g_DbSession, Hdd(true)).moved);
        ASSERT_EQ(1u, prompts.Count());
        EXPECT_EQ(L"Перемещение закончено", prompts.Last().text);
        EXPECT_EQ(L"1|NULL|1", Row(L"S1"));
        EXPECT_EQ(L"1|NULL|1", Row(L"S2"));
    }
    // Not quiet: the first failure asks, and "No" ends the loop (the end step
    // still runs).
    PromptScript prompts({IDNO, IDOK});
    const SuspectMoveResult result = MoveSuspectImages(g_DbSession, Hdd(false));
    EXPECT_EQ(0, result.moved);
    ASSERT_EQ(2u, prompts.Count());
    const std::wstring first = prompts.Prompts()[0].text;
    const bool missing = first == syncfmt::SystemText(ERROR_FILE_NOT_FOUND) + L"\n\nПродолжить перемещение?";
    const bool different = first.find(Moved(L"S2")) != std::wstring::npos;
    EXPECT_TRUE(missing || different) << Narrow(first);
    EXPECT_EQ(L"Msg", prompts.Prompts()[0].caption);
    EXPECT_EQ(L"Перемещение закончено", prompts.Last().text);
    EXPECT_EQ("image two", ReadBytes(ImagePath(L"S2")));
}

// A name of a row that no file of the folder can have ("..\victim" reaches
// the data folder itself) moves nothing and deletes nothing: the user is told
// its name and asked whether to go on, and the other files move.
TEST_F(SuspectFiles, ARecordedNameThatLeavesTheFolderMovesAndDeletesNothing)
{
    const std::wstring victim = data_->Path() + L"victim.xmg";
    ASSERT_TRUE(WriteBytes(victim, "outside the image folder"));
    Exec(L"INSERT INTO Snimok_dif ([File name], [Disk], [Arj], [nodel]) VALUES ('..\\victim', 1, NULL, 1);");
    PromptScript prompts({IDYES, IDOK});
    const SuspectMoveResult result = MoveSuspectImages(g_DbSession, Hdd());
    EXPECT_EQ(2, result.moved);
    ASSERT_EQ(2u, prompts.Count());
    const std::wstring format = LoadText(IDS_SYNC_MOVE_NAME_REFUSED);
    const std::wstring asked = prompts.Prompts()[0].text;
    EXPECT_EQ(0u, asked.find(format.substr(0, format.find(L"%1")) + L"..\\victim\"")) << Narrow(asked);
    EXPECT_EQ("outside the image folder", ReadBytes(victim));
    EXPECT_FALSE(Exists(target.Path() + L"victim.xmg"));
    EXPECT_EQ(L"1|NULL|1", Row(L"..\\victim"));
    EXPECT_FALSE(Exists(ImagePath(L"S1")));
}

// Two archive disks of one label are two disks: each has its row and count.
TEST_F(SuspectFiles, TwoDisksOfOneLabelAreListedApart)
{
    const std::wstring keyB = std::to_wstring(SerialToKey(kSerialB));
    Exec(L"UPDATE Arj_tmp SET Name='ARCH_A' WHERE arj=" + keyB + L";");
    Exec(L"INSERT INTO Snimok_dif ([File name], [Disk], [Arj], [nodel]) VALUES ('M2', 0, " + keyB + L", 1);");
    std::vector<std::wstring> listed;
    for (const SuspectDiskRow& row : ListSuspectDisks(g_DbSession))
        listed.push_back(row.name + L"|" + std::to_wstring(row.count));
    EXPECT_EQ((std::vector<std::wstring>{L"Hard disk|2", L"ARCH_A|1", L"ARCH_A|1"}), listed);
}

TEST_F(SuspectFiles, ASourceThatCannotBeDeletedKeepsItsRowAndSaysSo)
{
    // Held open without leave to delete: the copy can read it, the delete fails.
    HANDLE held = CreateFileW(ImagePath(L"S1").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    PromptScript prompts({IDOK, IDOK});
    const SuspectMoveResult result = MoveSuspectImages(g_DbSession, Hdd());
    CloseHandle(held);
    EXPECT_EQ(1, result.moved);
    ASSERT_EQ(2u, prompts.Count());
    EXPECT_EQ(L"Ошибка удаления ф. снимка \n имя файла = " + ImagePath(L"S1"), prompts.Prompts()[0].text);
    EXPECT_EQ(L"Msg", prompts.Prompts()[0].caption);
    EXPECT_EQ(L"1|NULL|1", Row(L"S1"));
    EXPECT_TRUE(Exists(IconPath(L"S1")));
    EXPECT_EQ(L"<gone>", Row(L"S2"));
}

TEST_F(SuspectFiles, WithoutADestinationNothingMoves)
{
    SuspectMoveRequest request = Hdd();
    request.destination.clear();
    PromptScript prompts({IDOK});
    EXPECT_EQ(0, MoveSuspectImages(g_DbSession, request).moved);
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(L"Не задан каталог.", prompts.Last().text);
    EXPECT_FALSE(prompts.Last().hasCaption);
    EXPECT_TRUE(Exists(ImagePath(L"S1")));
}

TEST_F(SuspectFiles, AnEmptyArchiveDriveSaysWhyAndMovesNothing)
{
    SuspectMoveRequest request = Hdd();
    request.source = SuspectSource::kArchive;
    request.archivePath = drive.Root();   // no disk in it
    PromptScript prompts({IDOK});
    EXPECT_EQ(0, MoveSuspectImages(g_DbSession, request).moved);
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(L"Сообщение", prompts.Last().caption);
    EXPECT_FALSE(prompts.Last().text.empty());
    EXPECT_TRUE(Exists(diskA.Path() + L"M1.xmg"));
}

// ---- through the window's menu ---------------------------------------------------------------------

TEST_F(SuspectFiles, TheMoveDialogMovesOffTheDiskInTheWindowsArchiveDrive)
{
    ASSERT_TRUE(drive.Insert(diskA.Path(), kSerialA, "ARCH_A"));
    wcscpy(ArchivePath, (data_->Path() + L"Elsewhere\\").c_str());   // the settings' archive is not the one
    OpenWindow();
    W().SetFieldText(ScanDbWindow::kArchivePath, drive.Root().c_str());
    std::vector<std::wstring> before, after, columns;
    PromptScript prompts({IDOK});
    DialogDriver driver;
    driver.Then(L"#32770", L"Перемещение снимков", [&](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_MOVE_DISKS);
        before = ListViewRows(list);
        columns = ListViewColumns(list);
        SetDlgItemTextW(dialog, IDC_MOVE_FOLDER, target.Path().c_str());
        SendDlgItemMessageW(dialog, IDC_MOVE_MO, BM_CLICK, 0, 0);
        after = ListViewRows(list);
        SendDlgItemMessageW(dialog, IDCANCEL, BM_CLICK, 0, 0);
        return true;
    });
    Command(IDM_SYNC_MOVE_SUSPECT);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ((std::vector<std::wstring>{L"Name", L"Кол."}), columns);
    EXPECT_EQ((std::vector<std::wstring>{L"Hard disk|2", L"ARCH_A|1"}), before);
    EXPECT_EQ((std::vector<std::wstring>{L"Hard disk|2"}), after);
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(L"Перемещение закончено", prompts.Last().text);
    EXPECT_EQ("on the disk", ReadBytes(Moved(L"M1")));
    EXPECT_EQ("its icon", ReadBytes(Moved(L"M1", L".thb")));
    EXPECT_FALSE(Exists(diskA.Path() + L"M1.xmg"));
    EXPECT_EQ(L"<gone>", Row(L"M1"));
    EXPECT_TRUE(Exists(ImagePath(L"S1")));   // the hard disk's stay
}

TEST_F(SuspectFiles, TheMoveDialogOpenedAgainShowsItsTwoColumnsAndMovesTheHardDisksQuietly)
{
    OpenWindow();
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<std::wstring> rows, columns;
        PromptScript prompts(pass ? std::vector<int>{IDOK} : std::vector<int>{});
        DialogDriver driver;
        driver.Then(L"#32770", L"Перемещение снимков", [&](HWND dialog) {
            HWND list = GetDlgItem(dialog, IDC_MOVE_DISKS);
            columns = ListViewColumns(list);
            if (pass) {
                SetDlgItemTextW(dialog, IDC_MOVE_FOLDER, target.Path().c_str());
                CheckDlgButton(dialog, IDC_MOVE_QUIET, BST_CHECKED);
                SendDlgItemMessageW(dialog, IDOK, BM_CLICK, 0, 0);
            }
            rows = ListViewRows(list);
            SendDlgItemMessageW(dialog, IDCANCEL, BM_CLICK, 0, 0);
            return true;
        });
        Command(IDM_SYNC_MOVE_SUSPECT);
        EXPECT_TRUE(driver.Done());
        EXPECT_EQ((std::vector<std::wstring>{L"Name", L"Кол."}), columns) << pass;
        if (pass) {
            EXPECT_EQ((std::vector<std::wstring>{L"Hard disk|0", L"ARCH_A|1"}), rows);
            EXPECT_EQ(1u, prompts.Count());
        }
    }
    EXPECT_FALSE(Exists(ImagePath(L"S1")));
    EXPECT_EQ("image two", ReadBytes(Moved(L"S2")));
}

TEST_F(SuspectFiles, TheDiskListsShowTheScannedTheRegisteredAndTheUnscannedDisks)
{
    Exec(L"INSERT INTO Arj (Arj, Name) VALUES (" + std::to_wstring(SerialToKey(kSerialA)) + L", 'ARCH_A');");
    Exec(L"INSERT INTO Arj (Arj, Name) VALUES (" + std::to_wstring(SerialToKey(kSerialC)) + L", 'ARCH_C');");
    OpenWindow();
    struct Case {
        UINT command;
        const wchar_t* title;
        std::vector<std::wstring> rows;
    };
    const std::wstring a = std::to_wstring(kSerialA), b = std::to_wstring(kSerialB), c = std::to_wstring(kSerialC);
    const Case cases[] = {
        {IDM_SYNC_DISKS_SCANNED, L"Отсканированные диски", {a + L"|ARCH_A", b + L"|ARCH_B"}},
        {IDM_SYNC_DISKS_REGISTERED, L"Все зарегистрированные диски", {a + L"|ARCH_A", c + L"|ARCH_C"}},
        {IDM_SYNC_DISKS_NOT_SCANNED, L"Неотсканированные диски", {c + L"|ARCH_C"}},
    };
    for (const Case& test : cases) {
        std::vector<std::wstring> rows, columns;
        DialogDriver driver;
        driver.Then(L"#32770", test.title, [&](HWND dialog) {
            HWND list = GetDlgItem(dialog, IDC_DISKS_LIST);
            rows = ListViewRows(list);
            columns = ListViewColumns(list);
            SendDlgItemMessageW(dialog, IDCANCEL, BM_CLICK, 0, 0);
            return true;
        });
        Command(test.command);
        EXPECT_TRUE(driver.Done()) << Narrow(test.title);
        EXPECT_EQ((std::vector<std::wstring>{L"Arj", L"Name"}), columns);
        EXPECT_EQ(test.rows, rows) << Narrow(test.title);
    }
}

}  // namespace
}  // namespace extest
