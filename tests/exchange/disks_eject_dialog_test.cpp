// The Eject Disk dialog, driven the way the user does from another thread
// while the dialog runs modally: "Eject" with no service, with a service that
// refuses and with one that ejects the disk of the data folder; "Close" and
// "Exit Program"; in English and in Russian.
//
// With TF_SHOT_PAUSE_MS set, each dialog stays up that long after its last
// status so that it can be photographed.
#include "disks_fixture.h"

#include "app/cycledialogs.h"
#include "app/cycleservices.h"
#include "common/dialog_look.h"
#include "common/window_harness.h"
#include "exchange/disks/disksrvclient.h"
#include "exchange/disks/ejectdiskdlg.h"
#include "foundation/globals.h"
#include "resources/resource.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace extest {
namespace {

using harness::ThreadLanguage;

struct DialogFind {
    DWORD thread;
    HWND found;
};

BOOL CALLBACK FindDialogProc(HWND hwnd, LPARAM param)
{
    wchar_t cls[16] = L"";
    GetClassNameW(hwnd, cls, 16);
    if (wcscmp(cls, L"#32770") == 0 && IsWindowVisible(hwnd)) {
        reinterpret_cast<DialogFind*>(param)->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindDialogOf(DWORD thread)
{
    DialogFind find = {thread, nullptr};
    EnumThreadWindows(thread, FindDialogProc, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

std::wstring TextOf(HWND dialog, int id)
{
    wchar_t text[600] = L"";
    GetDlgItemTextW(dialog, id, text, 600);
    return text;
}

std::wstring StringText(UINT id)
{
    wchar_t text[256] = L"";
    LoadStringW(nullptr, id, text, 256);
    return text;
}

void PauseForShot()
{
    wchar_t value[16] = L"";
    if (GetEnvironmentVariableW(L"TF_SHOT_PAUSE_MS", value, 16))
        Sleep(static_cast<DWORD>(_wtoi(value)));
}

// Runs `run` on this thread while `steps` drive the dialog it shows from
// another; the steps get the dialog and end it.
void Driven(const std::function<void()>& run, const std::function<void(HWND)>& steps, std::wstring* caption)
{
    const DWORD self = GetCurrentThreadId();
    std::thread driver([&] {
        HWND dialog = nullptr;
        for (int i = 0; i < 400 && !(dialog = FindDialogOf(self)); ++i)
            Sleep(25);
        if (!dialog) {
            ADD_FAILURE() << "the dialog did not appear";
            return;
        }
        if (caption) {
            wchar_t text[128] = L"";
            GetWindowTextW(dialog, text, 128);
            *caption = text;
        }
        steps(dialog);
    });
    run();
    driver.join();
}

// The dialog driven by `steps`; whether the program is to end.
bool RunDriven(const std::function<void(HWND)>& steps, std::wstring* caption = nullptr)
{
    bool endProgram = false, shown = false;
    Driven([&] { shown = RunEjectDiskDlg(&endProgram); }, steps, caption);
    EXPECT_TRUE(shown);
    return endProgram;
}

class EjectDiskDialog : public ::testing::Test {
protected:
    void SetUp() override { wcscpy(saved_, DataPath); }
    void TearDown() override
    {
        wcscpy(DataPath, saved_);
        SetDiskSrvPipeName(nullptr);
    }
    wchar_t saved_[kFolderChars];
};

TEST_F(EjectDiskDialog, WithoutAServiceItSaysThePipeCannotBeOpenedAndStays)
{
    const std::wstring pipe = L"\\\\.\\pipe\\" + UniqueName(L"tfnone");
    SetDiskSrvPipeName(pipe.c_str());
    wcscpy(DataPath, L"E:\\Data\\");
    std::wstring status;
    const bool end = RunDriven([&](HWND dialog) {
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        status = TextOf(dialog, IDC_EJECT_STATUS);
        EXPECT_TRUE(IsWindow(dialog));
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);   // "Eject" again
        PauseForShot();
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(end);
    EXPECT_EQ(StringText(IDS_PIPE_CREATE_ERROR), status);
    EXPECT_EQ(L"Error create pipe", status);
}

TEST_F(EjectDiskDialog, ARefusalShowsTheServicesReason)
{
    SimulatedDrive drive;   // no disk in it
    ASSERT_TRUE(drive.Leased());
    DiskService service;
    ASSERT_TRUE(service.Listening());
    wcscpy(DataPath, (drive.Root() + L"Data\\").c_str());
    std::wstring status;
    const bool end = RunDriven([&](HWND dialog) {
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        status = TextOf(dialog, IDC_EJECT_STATUS);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(end);
    EXPECT_NE(std::wstring::npos, status.find(std::wstring(1, drive.Letter()) + L":")) << status.size();
}

TEST_F(EjectDiskDialog, ASuccessfulEjectSaysSoAndExitProgramEndsTheProgram)
{
    SimulatedDrive drive;
    ASSERT_TRUE(drive.Leased());
    TempDir disk(L"tfdbdisk");
    ASSERT_TRUE(drive.Insert(disk.Path(), 0x5150, "DATABASE"));
    DiskService service;
    ASSERT_TRUE(service.Listening());
    wcscpy(DataPath, (drive.Root() + L"Data\\").c_str());
    std::wstring status, caption;
    const bool end = RunDriven(
        [&](HWND dialog) {
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
            status = TextOf(dialog, IDC_EJECT_STATUS);
            PauseForShot();
            PostMessageW(dialog, WM_COMMAND, IDC_EJECT_EXIT, 0);
        },
        &caption);
    EXPECT_TRUE(end);
    EXPECT_EQ(L"Eject Disk", caption);
    EXPECT_EQ(L"Disk with Database is successfully ejected", status);
    EXPECT_FALSE(drive.HasDisk());
}

TEST_F(EjectDiskDialog, InRussianItSpeaksRussian)
{
    ThreadLanguage russian(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
    const std::wstring pipe = L"\\\\.\\pipe\\" + UniqueName(L"tfnone");
    SetDiskSrvPipeName(pipe.c_str());
    wcscpy(DataPath, L"E:\\Data\\");
    std::wstring status, caption, exitText;
    const bool end = RunDriven(
        [&](HWND dialog) {
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
            status = TextOf(dialog, IDC_EJECT_STATUS);
            exitText = TextOf(dialog, IDC_EJECT_EXIT);
            PauseForShot();
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        },
        &caption);
    EXPECT_FALSE(end);
    EXPECT_EQ(L"Извлечение диска с базой данных", caption);
    EXPECT_EQ(L"Завершить программу", exitText);
    EXPECT_EQ(L"Ощибка создания канала", status);
}

// One template serves both languages: every text of the dialog comes in the
// running language and fits its control.
class EjectDiskDialogLook : public EjectDiskDialog, public ::testing::WithParamInterface<LANGID> {};

TEST_P(EjectDiskDialogLook, EveryTextIsInTheRunningLanguageAndFits)
{
    const bool russian = PRIMARYLANGID(GetParam()) == LANG_RUSSIAN;
    harness::ThreadLanguage language(GetParam());
    harness::ScreenLock screen;
    const std::wstring pipe = L"\\\\.\\pipe\\" + UniqueName(L"tfnone");
    SetDiskSrvPipeName(pipe.c_str());
    wcscpy(DataPath, L"E:\\Data\\");
    std::wstring foreign = L"?", fault = L"?", label, exitText, ejectText, closeText;
    RunDriven([&](HWND dialog) {
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        foreign = harness::TextNotInLanguage(dialog, russian);
        fault = harness::LayoutFault(dialog);
        label = TextOf(dialog, IDC_EJECT_STATUS_LABEL);
        exitText = TextOf(dialog, IDC_EJECT_EXIT);
        ejectText = TextOf(dialog, IDOK);
        closeText = TextOf(dialog, IDCANCEL);
        harness::SaveWindowPicture(dialog, russian ? L"eject_ru" : L"eject_en");
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(L"", foreign);
    EXPECT_EQ(L"", fault);
    EXPECT_EQ(russian ? L"Состояние" : L"Status", label);
    EXPECT_EQ(russian ? L"Завершить программу" : L"Exit Program", exitText);
    EXPECT_EQ(russian ? L"Извлечь" : L"Eject", ejectText);
    EXPECT_EQ(russian ? L"Закрыть" : L"Close", closeText);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, EjectDiskDialogLook,
                         ::testing::Values(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                           MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)),
                         [](const ::testing::TestParamInfo<LANGID>& info) {
                             return PRIMARYLANGID(info.param) == LANG_RUSSIAN ? std::string("Russian")
                                                                              : std::string("English");
                         });

// The main cycle reaches the dialog through its service table, which the
// program's removable-disk side fills: "Exit Program" ends the program (0),
// "Close" runs the cycle again (1).
TEST_F(EjectDiskDialog, TheMainCycleRunsItThroughItsServiceTable)
{
    ASSERT_NE(nullptr, GetCycleServices().runEjectDiskDialog);
    const std::wstring pipe = L"\\\\.\\pipe\\" + UniqueName(L"tfnone");
    SetDiskSrvPipeName(pipe.c_str());
    wcscpy(DataPath, L"E:\\Data\\");
    int cycle = -1;
    Driven([&] { cycle = RunEjectDiskDlg(static_cast<HWND>(nullptr)); },
           [](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDC_EJECT_EXIT, 0); }, nullptr);
    EXPECT_EQ(0, cycle);
    Driven([&] { cycle = RunEjectDiskDlg(static_cast<HWND>(nullptr)); },
           [](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); }, nullptr);
    EXPECT_EQ(1, cycle);
    // Without the entry the cycle goes on without a dialog.
    const CycleServices saved = SetCycleServices(CycleServices{});
    EXPECT_EQ(1, RunEjectDiskDlg(static_cast<HWND>(nullptr)));
    SetCycleServices(saved);
}

}  // namespace
}  // namespace extest
