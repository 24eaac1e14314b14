// Step 6: images found only on archive disks are read from their disk and
// put back, the disk asked for through the disk prompt (answered here through
// the prompt hook); and a deleted patient whose images lie on the hard disk
// and on an archive disk stays deleted through both synchronisations.
#include "sync_fixture.h"

#include "app/recordmaint.h"
#include "common/prompt_script.h"
#include "exchange/sync/synchrrestore.h"
#include "exchange/sync/syncsteps.h"
#include "exchange/sync/synctables.h"
#include "foundation/prompt.h"
#include "resources/resource.h"
#include "tools/demosite/sitebuilder.h"

#include <functional>
#include <thread>

namespace extest {
namespace {

const DWORD kSerialA = 0x00C0FFEE;
const DWORD kSerialB = 0xDEADBEEF;   // negative as a key
const wchar_t kKeyB[] = L"-559038737";

class ArchiveRestore : public SyncDbTest {
protected:
    void SetUp() override
    {
        SyncDbTest::SetUp();
        ASSERT_TRUE(drive.Leased());
    }
    // Images 0 and 1 only on disk B (their hard-disk files and rows gone).
    void PrepareArchiveOnlyImages()
    {
        MakeDemoImages(3);
        names = FileNames(L"Snimok");
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(CopyImage(names[i], diskB.Path()));
            ASSERT_TRUE(DeleteFileW(ImagePath(names[i]).c_str()));
            Exec(L"DELETE FROM Snimok WHERE [File name]='" + names[i] + L"';");
        }
        ASSERT_TRUE(drive.Insert(diskB.Path(), kSerialB, "ARCH_B"));
        ASSERT_EQ(kSyncResultDone, window.Run(kSyncScanHdd).result);
        ASSERT_EQ(kSyncResultDone, window.Run(kSyncScanMo, drive.Root()).result);
        CreateSyncTables(g_DbSession);
        ASSERT_EQ(2, Count(L"Snimok_dif WHERE Arj IS NOT NULL AND [Disk]=0"));
    }
    SimulatedDrive drive;
    TempDir diskA{L"tfrestA"};
    TempDir diskB{L"tfrestB"};
    TestSyncWindow window;
    std::vector<std::wstring> names;
};

TEST_F(ArchiveRestore, TheDiskIsAskedForOnceAndItsImagesComeBackWithTheirDisk)
{
    PrepareArchiveOnlyImages();
    PromptScript prompts({IDRETRY});
    const SyncReport report = window.Run(kSyncDatabase, drive.Root());
    ASSERT_EQ(kSyncResultDone, report.result) << LastMessage(report);
    ASSERT_EQ(1u, prompts.Count());
    const PromptRecord asked = prompts.Last();
    EXPECT_EQ(window.Hwnd(), asked.owner);
    EXPECT_EQ(L"Сообщение", asked.caption);
    EXPECT_EQ(InsertDiskPrompt(L"ARCH_B", kSerialB), asked.text);
    EXPECT_NE(std::wstring::npos, asked.text.find(L"Вставте диск: ARCH_B (DEAD-BEEF)\n"));
    EXPECT_EQ(3, Count(L"Snimok"));
    EXPECT_EQ((std::vector<std::wstring>{names[0], names[1]}),
              FileNames(L"Snimok", std::wstring(L"Arj=") + kKeyB + L" AND [Disk]=0"));
    EXPECT_EQ(L"ARCH_B", Scalar(std::wstring(L"SELECT Name FROM Arj WHERE Arj=") + kKeyB + L";"));
    EXPECT_EQ(0, Count(L"Snimok_dif"));
}

TEST_F(ArchiveRestore, NoArchiveFilesMeansNoPrompt)
{
    MakeDemoImages(2);
    ASSERT_TRUE(drive.Insert(diskB.Path(), kSerialB, "ARCH_B"));
    ASSERT_EQ(kSyncResultDone, window.Run(kSyncScanHdd).result);
    CreateSyncTables(g_DbSession);
    PromptScript prompts;
    EXPECT_EQ(kSyncResultDone, window.Run(kSyncDatabase, drive.Root()).result);
    EXPECT_EQ(0u, prompts.Count());
}

TEST_F(ArchiveRestore, IgnoringTheDiskPassesOverAllItsFiles)
{
    PrepareArchiveOnlyImages();
    PromptScript prompts({IDIGNORE});
    EXPECT_EQ(kSyncResultDone, window.Run(kSyncDatabase, drive.Root()).result);
    EXPECT_EQ(1u, prompts.Count());
    EXPECT_EQ(1, Count(L"Snimok"));
    EXPECT_EQ(2, Count(L"Snimok_dif WHERE nodel=0"));
}

TEST_F(ArchiveRestore, AbortingEndsThePassWithoutError)
{
    PrepareArchiveOnlyImages();
    PromptScript prompts({IDABORT});
    const SyncReport report = window.Run(kSyncDatabase, drive.Root());
    EXPECT_EQ(kSyncResultDone, report.result);
    EXPECT_EQ(1u, prompts.Count());
    EXPECT_EQ(1, Count(L"Snimok"));
}

TEST_F(ArchiveRestore, EjectFromThePromptAsksTheWindowAndThePromptComesAgain)
{
    PrepareArchiveOnlyImages();
    PromptScript prompts({kDiskPromptEject, IDRETRY});
    const SyncReport report = window.Run(kSyncDatabase, drive.Root());
    EXPECT_EQ(kSyncResultDone, report.result);
    EXPECT_EQ(2u, prompts.Count());
    EXPECT_GE(report.ejects, 1);
    EXPECT_EQ(3, Count(L"Snimok"));
}

// The real dialog 268, driven from another thread as the user does: its
// prompt, "Извлечь МО" (the window is asked to eject; the dialog stays) and
// "Продолжить". With TF_SHOT_PAUSE_MS set it stays up that long first.
TEST_F(ArchiveRestore, TheRealDiskDialogShowsThePromptAndTakesItsButtons)
{
    PrepareArchiveOnlyImages();
    const PromptHook previous = SetPromptHook(nullptr);
    std::wstring prompt, caption;
    bool stayed = false;
    std::thread driver([&] {
        HWND dialog = nullptr;
        for (int i = 0; i < 400 && !dialog; ++i) {
            HWND candidate = nullptr;
            while ((candidate = FindWindowExW(nullptr, candidate, L"#32770", L"Сообщение")) != nullptr) {
                DWORD pid = 0;
                GetWindowThreadProcessId(candidate, &pid);
                if (pid == GetCurrentProcessId() && IsWindowVisible(candidate)) {
                    dialog = candidate;
                    break;
                }
            }
            if (!dialog)
                Sleep(25);
        }
        if (!dialog) {
            ADD_FAILURE() << "the disk dialog did not appear";
            return;
        }
        wchar_t text[512] = L"";
        GetDlgItemTextW(dialog, IDC_INSERT_PROMPT, text, 512);
        prompt = text;
        GetWindowTextW(dialog, text, 512);
        caption = text;
        EXPECT_EQ(window.Hwnd(), GetWindow(dialog, GW_OWNER));
        wchar_t pause[16] = L"";
        if (GetEnvironmentVariableW(L"TF_SHOT_PAUSE_MS", pause, 16))
            Sleep(static_cast<DWORD>(_wtoi(pause)));
        SendMessageW(dialog, WM_COMMAND, IDC_INSERT_EJECT, 0);
        stayed = IsWindow(dialog) && IsWindowVisible(dialog);
        PostMessageW(dialog, WM_COMMAND, IDC_INSERT_CONTINUE, 0);
    });
    const SyncReport report = window.Run(kSyncDatabase, drive.Root());
    driver.join();
    SetPromptHook(previous);
    EXPECT_EQ(kSyncResultDone, report.result);
    EXPECT_EQ(InsertDiskPrompt(L"ARCH_B", kSerialB), prompt);
    EXPECT_EQ(L"Сообщение", caption);
    EXPECT_TRUE(stayed);
    EXPECT_GE(report.ejects, 1);
    EXPECT_EQ(3, Count(L"Snimok"));
}

// A hook that inserts the right disk when told the inserted one is wrong.
struct SwapState {
    SimulatedDrive* drive;
    std::wstring diskB;
    std::vector<std::wstring> texts;
} gSwap;

int SwapHook(HWND, const wchar_t* text, const wchar_t*, UINT)
{
    gSwap.texts.push_back(text);
    if (wcsstr(text, L"Не соответствует серийный номер")) {
        gSwap.drive->Insert(gSwap.diskB, kSerialB, "ARCH_B");
        return IDOK;
    }
    return IDRETRY;
}

TEST_F(ArchiveRestore, AWrongDiskIsToldAndTheDiskAskedForAgain)
{
    PrepareArchiveOnlyImages();
    ASSERT_TRUE(drive.Insert(diskA.Path(), kSerialA, "ARCH_A"));
    gSwap = SwapState{&drive, diskB.Path(), {}};
    const PromptHook previous = SetPromptHook(SwapHook);
    const SyncReport report = window.Run(kSyncDatabase, drive.Root());
    SetPromptHook(previous);
    EXPECT_EQ(kSyncResultDone, report.result);
    ASSERT_EQ(3u, gSwap.texts.size());
    EXPECT_EQ(InsertDiskPrompt(L"ARCH_B", kSerialB), gSwap.texts[0]);
    EXPECT_EQ(L"Не соответствует серийный номер\nВставте другой диск.", gSwap.texts[1]);
    EXPECT_EQ(InsertDiskPrompt(L"ARCH_B", kSerialB), gSwap.texts[2]);
    EXPECT_EQ(3, Count(L"Snimok"));
}

// The user's answers to a test's disk prompts (the hook takes no context).
std::function<int(const wchar_t* text)> gUser;
int AskTheUser(HWND, const wchar_t* text, const wchar_t*, UINT)
{
    return gUser(text);
}

// A file that cannot be read because its disk left the drive (once the first
// image is back) is not gone from the disk: the disk is asked for again and
// the file comes back.
TEST_F(ArchiveRestore, ADiskThatLeavesTheDriveIsAskedForAgainAndLosesNoFile)
{
    PrepareArchiveOnlyImages();
    static bool left;
    left = false;
    SetSyncStepObserver(
        [](SyncStep step, void* drive) {
            if (step == SyncStep::RestoreWritten && !left)
                left = static_cast<SimulatedDrive*>(drive)->Eject();
        },
        &drive);
    gUser = [&](const wchar_t*) { return drive.Insert(diskB.Path(), kSerialB, "ARCH_B") ? IDRETRY : IDABORT; };
    const PromptHook previous = SetPromptHook(AskTheUser);
    const SyncReport report = window.Run(kSyncDatabase, drive.Root());
    SetPromptHook(previous);
    SetSyncStepObserver(nullptr, nullptr);
    ASSERT_TRUE(left);
    EXPECT_EQ(kSyncResultDone, report.result) << LastMessage(report);
    EXPECT_EQ((std::vector<std::wstring>{names[0], names[1]}),
              FileNames(L"Snimok", std::wstring(L"Arj=") + kKeyB + L" AND [Disk]=0"));
}

// Disks whose labels are alike in the 20 characters of the name column, each
// with an image only it has: each prompt names its disk's serial, the user
// puts in the disk it names, and each image comes back with its disk.
TEST_F(ArchiveRestore, DisksWithLabelsAlikeInTheNameColumnAreAskedForByTheirSerials)
{
    const struct {
        DWORD serial;
        const wchar_t* shown;   // as Windows shows it
        const char* label;
        const TempDir* folder;
    } disks[] = {{0xA1000002, L"A100-0002", "ARCHIVE_OF_THE_CLINIC_2024_WEST", &diskA},
                 {0x0000ABCD, L"0000-ABCD", "ARCHIVE_OF_THE_CLINI", &diskB}};
    MakeDemoImages(3);
    names = FileNames(L"Snimok");
    for (size_t i = 0; i < 2; ++i) {
        ASSERT_TRUE(CopyImage(names[i], disks[i].folder->Path()) && DeleteFileW(ImagePath(names[i]).c_str()));
        Exec(L"DELETE FROM Snimok WHERE [File name]='" + names[i] + L"';");
        ASSERT_TRUE(drive.Insert(disks[i].folder->Path(), disks[i].serial, disks[i].label));
        ASSERT_EQ(kSyncResultDone, window.Run(kSyncScanMo, drive.Root()).result);
    }
    CreateSyncTables(g_DbSession);
    gUser = [&](const wchar_t* text) {
        for (size_t i = 0; i < 2; ++i)
            if (std::wstring(text).find(L"Вставте диск: ARCHIVE_OF_THE_CLINI (" + std::wstring(disks[i].shown) +
                                        L")\n") == 0)
                return drive.Insert(disks[i].folder->Path(), disks[i].serial, disks[i].label) ? IDRETRY : IDABORT;
        return IDABORT;   // no disk named: the user cannot tell which to take
    };
    const PromptHook previous = SetPromptHook(AskTheUser);
    const SyncReport report = window.Run(kSyncDatabase, drive.Root());
    SetPromptHook(previous);
    EXPECT_EQ(kSyncResultDone, report.result);
    for (size_t i = 0; i < 2; ++i)
        EXPECT_EQ(std::vector<std::wstring>{names[i]},
                  FileNames(L"Snimok", L"[Disk]=0 AND Arj=" + std::to_wstring(static_cast<LONG>(disks[i].serial))));
}

TEST_F(ArchiveRestore, ADeletedPatientStaysDeletedThroughBothSynchronisations)
{
    MakeDemoImages(3);
    // A patient with three images: two on the hard disk, one archived to
    // disk B and no longer on the hard disk.
    std::wstring error;
    ASSERT_TRUE(MakeSiteImages({patients[0]}, 2, 200, 240, error));
    const std::wstring patient = std::to_wstring(patients[0]);
    const std::vector<std::wstring> own = FileNames(L"Snimok", L"Patient=" + patient);
    ASSERT_GE(own.size(), 3u);   // the demo's first images are his too
    const std::wstring archived = own[1];
    Exec(std::wstring(L"INSERT INTO Arj (Arj, Name) VALUES (") + kKeyB + L", 'ARCH_B');");
    ASSERT_TRUE(CopyImage(archived, diskB.Path()));
    ASSERT_TRUE(DeleteFileW(ImagePath(archived).c_str()));
    Exec(std::wstring(L"UPDATE Snimok SET Arj=") + kKeyB + L", [Disk]=0 WHERE [File name]='" + archived + L"';");
    const long others = Count(L"Snimok WHERE Patient<>" + patient);

    {
        PromptScript yes({IDYES});
        ASSERT_TRUE(DeletePatient(std::stoul(patient), nullptr));
    }
    EXPECT_EQ(0, Count(L"Patient WHERE Patient=" + patient));
    std::vector<std::wstring> marked;
    for (const std::wstring& name : own)
        if (name != archived)
            marked.push_back(name + L"|NULL|1");
    marked.push_back(archived + L"|" + kKeyB + L"|0");
    EXPECT_EQ(marked, Rows(L"SELECT [File Name], Arj, [Disk] FROM DelImage ORDER BY [Disk] DESC, [File Name];"));

    // Both scans, the tables, the synchronisation: nothing of him comes back.
    ASSERT_TRUE(drive.Insert(diskB.Path(), kSerialB, "ARCH_B"));
    ASSERT_EQ(kSyncResultDone, window.Run(kSyncScanHdd).result);
    ASSERT_EQ(kSyncResultDone, window.Run(kSyncScanMo, drive.Root()).result);
    CreateSyncTables(g_DbSession);
    EXPECT_EQ(0, Count(L"Snimok_dif"));
    PromptScript none;
    const SyncReport report = window.Run(kSyncDatabase, drive.Root());
    EXPECT_EQ(kSyncResultDone, report.result) << LastMessage(report);
    EXPECT_EQ(0u, none.Count());
    EXPECT_EQ(0, Count(L"Patient WHERE Patient=" + patient));
    EXPECT_EQ(0, Count(L"Snimok WHERE Patient=" + patient));
    for (const std::wstring& name : own)
        EXPECT_EQ(0, Count(L"Snimok WHERE [File name]='" + name + L"'")) << Narrow(name);
    EXPECT_EQ(others, Count(L"Snimok"));
    EXPECT_EQ(static_cast<long>(own.size()), Count(L"DelImage"));

    // Scans made before the deletion do not bring him back either.
    Exec(L"INSERT INTO Snimok_tmp ([File name], [Disk], Arj) VALUES ('" + own[0] + L"', 1, NULL);");
    Exec(L"INSERT INTO Snimok_dif ([File name], [Disk], Arj) VALUES ('" + own[0] + L"', 1, NULL);");
    Exec(std::wstring(L"INSERT INTO Snimok_dif ([File name], [Disk], Arj) VALUES ('") + archived + L"', 0, " + kKeyB +
         L");");
    EXPECT_EQ(kSyncResultDone, window.Run(kSyncDatabase, drive.Root()).result);
    EXPECT_EQ(0u, none.Count());
    EXPECT_EQ(0, Count(L"Patient WHERE Patient=" + patient));
    EXPECT_EQ(others, Count(L"Snimok"));
}

}  // namespace
}  // namespace extest
