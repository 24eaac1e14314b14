// The merge window run as the main window runs it (RunImportDbWnd over its
// owner, its own loop): its place and look, its buttons through the states
// (connecting, merging, ended), an error without any button, an image that
// could not be read in the end's text, Eject only without a worker and at the
// other database's drive, the end of a worker whose last message was lost,
// closing while an image is being written, and WM_QUIT.
#include "merge_fixture.h"

#include "disks_fixture.h"
#include "exchange_fixture.h"

#include "app/exchangeservices.h"
#include "common/dialog_look.h"
#include "common/prompt_script.h"
#include "common/window_harness.h"
#include "exchange/merge/importwnd.h"
#include "exchange/merge/importworker.h"
#include "exchange/merge/mergefaults.h"
#include "foundation/globals.h"
#include "foundation/textutil.h"
#include "resources/strings.h"
#include "ui/button.h"
#include "ui/control_font.h"
#include "ui/scroll.h"
#include "ui/tooltip.h"

#include <functional>
#include <memory>

using namespace mergetest;

namespace {

const wchar_t kPressStart[] = L"Нажмите пуск для запуска обьединения";

// One step of a script run while the window's loop runs: when `ready` holds,
// `act` runs and the script moves on.
struct Step {
    std::function<bool(ImportDbWnd*)> ready;
    std::function<void(ImportDbWnd*)> act;
};

struct Script {
    std::vector<Step> steps;
    size_t next = 0;
    DWORD started = 0;
    bool timedOut = false;
};

Script* gScript = nullptr;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
{
    Script* s = gScript;
    if (!s)
        return;
    HWND hwnd = harness::FindOwnWindow(ImportDbWnd::kClassName);
    ImportDbWnd* w = hwnd ? WindowObject<ImportDbWnd>(hwnd) : nullptr;
    if (!w)
        return;
    if (GetTickCount() - s->started > 30000) {
        s->timedOut = true;
        gScript = nullptr;
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
        return;
    }
    while (s->next < s->steps.size() && s->steps[s->next].ready(w)) {
        Step& step = s->steps[s->next++];
        gScript = nullptr;   // an action may run a loop of its own
        step.act(w);
        gScript = s;
        if (!harness::FindOwnWindow(ImportDbWnd::kClassName))
            return;
    }
}

bool Enabled(ImportDbWnd* w, int button)
{
    return IsWindowEnabled(w->Button(button).GetHwnd()) != FALSE;
}

BOOL WINAPI LosePost(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

class MergeWindowTest : public MergeSites {
protected:
    void SetUp() override
    {
        MergeSites::SetUp();
        EXPECT_TRUE(DControl::InitFont());
        EXPECT_TRUE(DToolTip::RegisterClass());
        EXPECT_TRUE(DButton::RegisterClass());
        EXPECT_TRUE(DScroll::RegisterClass());
        owner = std::make_unique<harness::HostWindow>(600, 400, 0, 0);
    }
    void TearDown() override
    {
        owner.reset();
        DScroll::UnregisterClass();
        DButton::UnregisterClass();
        DToolTip::UnregisterClass();
        DControl::FreeFont();
        MergeSites::TearDown();
    }
    // Runs the window as the main window does, with the script's steps; every
    // step must have run.
    void Run(std::vector<Step> steps)
    {
        Script script;
        script.steps = std::move(steps);
        script.started = GetTickCount();
        gScript = &script;
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, &Tick);
        RunImportDbWnd(owner->Hwnd());
        KillTimer(nullptr, timer);
        gScript = nullptr;
        EXPECT_FALSE(script.timedOut) << "stuck before step " << script.next;
        EXPECT_EQ(script.steps.size(), script.next) << "steps run";
        EXPECT_EQ(nullptr, harness::FindOwnWindow(ImportDbWnd::kClassName));
    }
    static bool Waiting(ImportDbWnd* w) { return w->PaneText(ImportLayout::kStatusPane) == kPressStart; }
    static bool Ended(ImportDbWnd* w) { return w->Worker() == nullptr; }
    // Start pressed once the window waits for it; the end's status and error panes.
    std::pair<std::wstring, std::wstring> RunToTheEnd()
    {
        std::pair<std::wstring, std::wstring> end;
        Run({{Waiting, [](ImportDbWnd* w) { w->OnStart(); }},
             {Ended, [&](ImportDbWnd* w) {
                  end = {w->PaneText(ImportLayout::kStatusPane), w->PaneText(ImportLayout::kErrorPane)};
                  w->OnClose();
              }}});
        return end;
    }
    // A real click in the middle of a button.
    static void Click(ImportDbWnd* w, int button)
    {
        RECT r;
        GetWindowRect(w->Button(button).GetHwnd(), &r);
        harness::MouseMoveTo((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        harness::MouseButton(harness::Button::Left, true);
        harness::MouseButton(harness::Button::Left, false);
    }

    std::unique_ptr<harness::HostWindow> owner;
};

TEST(MergeInstall, TheProgramLinkedWithTheMergeGivesTheMainWindowsButtonItsWindow)
{
    EXPECT_EQ(&RunImportDbWnd, GetExchangeServices().runImportDbWnd);
}

TEST_F(MergeWindowTest, OpensCentredOverItsOwnerWithTheMergeStartedAndWaitingForStart)
{
    Run({{Waiting,
          [&](ImportDbWnd* w) {
              wchar_t title[64] = {};
              GetWindowTextW(w->GetHwnd(), title, 64);
              EXPECT_STREQ(L"Обьединение баз данных", title);
              EXPECT_EQ(owner->Hwnd(), GetWindow(w->GetHwnd(), GW_OWNER));
              EXPECT_TRUE(IsWindowEnabled(owner->Hwnd())) << "the owner stays enabled";
              EXPECT_EQ((LONG)(WS_POPUP | WS_CAPTION | WS_SYSMENU),
                        GetWindowLongW(w->GetHwnd(), GWL_STYLE) & (WS_POPUP | WS_CAPTION | WS_SYSMENU));
              RECT client, window;
              GetClientRect(w->GetHwnd(), &client);
              GetWindowRect(w->GetHwnd(), &window);
              const int areaWidth = GetSystemMetrics(SM_CXFULLSCREEN);
              const int areaHeight = GetSystemMetrics(SM_CYFULLSCREEN);
              EXPECT_EQ(areaWidth * 3 / 4, client.right);
              EXPECT_EQ(ImportMinClientHeight(w->FontHeight(), w->Button(0).CalcHeight()) + 1, client.bottom);
              EXPECT_EQ((areaWidth - (window.right - window.left)) / 2, window.left);
              EXPECT_EQ((areaHeight - (window.bottom - window.top)) / 2, window.top);
              EXPECT_LE(window.bottom, GetSystemMetrics(SM_CYSCREEN));

              EXPECT_NE(nullptr, w->Worker()) << "the worker runs from the opening";
              EXPECT_TRUE(Enabled(w, ImportLayout::kStart));
              EXPECT_FALSE(Enabled(w, ImportLayout::kStop));
              EXPECT_TRUE(Enabled(w, ImportLayout::kEject));
              EXPECT_TRUE(Enabled(w, ImportLayout::kClose));
              wchar_t caption[32] = {};
              w->Button(ImportLayout::kStart).GetText(caption, 32);
              EXPECT_STREQ(L"Пуск", caption);
              EXPECT_EQ(L"Не импортировано снимков: 8", w->LineText(ImportLayout::kNotMergedLine));
              EXPECT_EQ(L"Импортировано снимков: 0", w->LineText(ImportLayout::kMergedLine));
              EXPECT_EQ(L"Пациент: ", w->LineText(ImportLayout::kPatientLine)) << "the worker cleared it";
              EXPECT_EQ(L"Снимок: ", w->LineText(ImportLayout::kImageLine));

              // Painted: the lines' grey inside their sunken edge.
              UpdateWindow(w->GetHwnd());
              harness::PixelGrab grab(w->GetHwnd());
              const RECT& line = w->Layout().lines[ImportLayout::kPatientLine];
              EXPECT_EQ(RGB(0xD3, 0xD3, 0xD3), grab.At(line.right - 3, (line.top + line.bottom) / 2));
              harness::ScreenShot(L"merge_window_waiting");
              w->OnClose();
          }}});
    EXPECT_EQ(0, CheckConsistent()) << "closed before Start: nothing merged";
}

// Drives the real mouse and keyboard: runs alone (see tests.cmake).
using MergeWindowRealInput = MergeWindowTest;

TEST_F(MergeWindowRealInput, StartMergesThenTheButtonsShowTheEnd)
{
    Run({{Waiting,
          [&](ImportDbWnd* w) {
              EXPECT_FALSE(w->IsRunning());
              Click(w, ImportLayout::kStart);
          }},
         {[](ImportDbWnd* w) { return w->IsRunning() || Ended(w); },
          [&](ImportDbWnd* w) {
              // Right after the start was taken, before the end can be read.
              if (w->IsRunning()) {
                  EXPECT_FALSE(Enabled(w, ImportLayout::kStart));
                  EXPECT_TRUE(Enabled(w, ImportLayout::kStop));
              }
          }},
         {Ended,
          [&](ImportDbWnd* w) {
              EXPECT_EQ(kImportResultDone, w->LastResult());
              EXPECT_EQ(L"Обьединение успешно завершено", w->PaneText(ImportLayout::kStatusPane));
              EXPECT_EQ(L"", w->PaneText(ImportLayout::kErrorPane));
              EXPECT_EQ(L"Импортировано снимков: 8", w->LineText(ImportLayout::kMergedLine));
              EXPECT_EQ(L"", w->LineText(ImportLayout::kPatientLine)) << "cleared at the end";
              EXPECT_EQ(L"", w->LineText(ImportLayout::kImageLine));
              EXPECT_TRUE(Enabled(w, ImportLayout::kStart));
              EXPECT_FALSE(Enabled(w, ImportLayout::kStop));
              EXPECT_TRUE(Enabled(w, ImportLayout::kEject));
              EXPECT_FALSE(w->IsRunning());
              UpdateWindow(w->GetHwnd());
              harness::ScreenShot(L"merge_window_done");
              // Stop without a worker does nothing.
              w->OnStop();
              EXPECT_EQ(nullptr, w->Worker());
              EXPECT_EQ(L"Обьединение успешно завершено", w->PaneText(ImportLayout::kStatusPane));
              Click(w, ImportLayout::kClose);
          }}});
    EXPECT_EQ(kSourceImages, CheckConsistent());
}

TEST_F(MergeWindowTest, StartAfterTheEndRunsANewWorkerThatFindsNothingLeft)
{
    Run({{Waiting, [](ImportDbWnd* w) { w->OnStart(); }},
         {Ended,
          [](ImportDbWnd* w) {
              EXPECT_EQ(kImportResultDone, w->LastResult());
              w->OnStart();   // a new worker: settings and connection anew, started at once
              EXPECT_TRUE(w->IsRunning() || w->Worker() != nullptr);
              EXPECT_FALSE(Enabled(w, ImportLayout::kStart));
          }},
         {Ended,
          [](ImportDbWnd* w) {
              EXPECT_EQ(kImportResultDone, w->LastResult());
              EXPECT_EQ(L"Не импортировано снимков: 0", w->LineText(ImportLayout::kNotMergedLine));
              EXPECT_EQ(L"Обьединение успешно завершено", w->PaneText(ImportLayout::kStatusPane));
              w->OnClose();
          }}});
    EXPECT_EQ(kSourceImages, CheckConsistent());
}

// Image 3's file is gone, or its patient (another program deleted him): the
// image is named with its reason in the program's language.
TEST_F(MergeWindowTest, AnImageThatCannotBeReadIsNamedAndTheEndSaysWhatCameAndWhatDidNot)
{
    const std::wstring name = other.Scalar(L"SELECT [File name] FROM Snimok WHERE Snimok=3;");
    const std::vector<BYTE> bytes = FileBytes(OtherImage(name));
    const std::string patient = Narrow(other.Scalar(L"SELECT Patient FROM Snimok WHERE Snimok=3;"));
    for (const bool russian : {false, true}) {
        harness::ThreadLanguage speaking(russian ? MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)
                                                 : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        for (const bool patientGone : {false, true}) {
            SCOPED_TRACE(testing::Message() << (russian ? "Russian" : "English") << (patientGone ? ", no patient" : ""));
            UndoMerge();
            if (patientGone)
                EditOtherFile("UPDATE Snimok SET Patient=99999 WHERE Snimok=3;");
            else
                DeleteFileW(OtherImage(name).c_str());
            std::pair<std::wstring, std::wstring> end;
            Run({{Waiting, [](ImportDbWnd* w) { w->OnStart(); }},
                 {Ended, [&](ImportDbWnd* w) {
                      end = {w->PaneText(ImportLayout::kStatusPane), w->PaneText(ImportLayout::kErrorPane)};
                      if (patientGone)
                          harness::SaveWindowPicture(w->GetHwnd(), russian ? L"merge_no_patient_ru" : L"merge_no_patient_en");
                      w->OnClose();
                  }}});
            EXPECT_EQ(L"Обьединение завершено: импортировано снимков: 7, не удалось импортировать: 1", end.first);
            EXPECT_NE(std::wstring::npos, end.second.find(name));
            EXPECT_NE(std::wstring::npos, end.second.find(LoadText(IDS_MERGE_IMAGE_SKIPPED).substr(0, 7)))
                << Narrow(end.second);
            std::wstring noPatient = LoadText(IDS_MERGE_NO_PATIENT);
            noPatient.replace(noPatient.find(L"%1!u!"), 5, L"99999");
            if (patientGone) {
                EXPECT_NE(std::wstring::npos, end.second.find(noPatient)) << Narrow(end.second);
            }
            exchtest::WriteFileBytes(OtherImage(name), bytes);
            EditOtherFile("UPDATE Snimok SET Patient=" + patient + " WHERE Snimok=3;");
        }
    }
}

TEST_F(MergeWindowTest, AMissingInitFileShowsTheErrorWithoutAnyButtonPressed)
{
    DeleteFileW((OtherPath() + L"\\dbinit.cfg").c_str());
    Run({{Ended, [](ImportDbWnd* w) {
              EXPECT_EQ(kImportResultFailed, w->LastResult());
              EXPECT_EQ(L"Обьединение прервано из-за ошибки", w->PaneText(ImportLayout::kStatusPane));
              EXPECT_EQ(0u, w->PaneText(ImportLayout::kErrorPane).find(L"Ошибка функции GetRecSetSnimokE"));
              EXPECT_TRUE(Enabled(w, ImportLayout::kStart));
              EXPECT_FALSE(Enabled(w, ImportLayout::kStop));
              EXPECT_TRUE(Enabled(w, ImportLayout::kEject));
              UpdateWindow(w->GetHwnd());
              harness::ScreenShot(L"merge_window_error");
              w->OnClose();
          }}});
}

TEST_F(MergeWindowTest, ThisWorkstationsOwnFolderIsRefusedInTheErrorPaneInTheProgramsLanguage)
{
    const std::wstring own = localPath_.substr(0, localPath_.size() - 1);
    ASSERT_TRUE(WriteInitFile(own, localPath_ + L"local.db"));
    settings->SetString(L"ImportSettings", L"DBPath", own);
    for (const bool russian : {false, true}) {
        harness::ThreadLanguage speaking(russian ? MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)
                                                 : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        Run({{Ended, [&](ImportDbWnd* w) {
                  EXPECT_EQ(kImportResultFailed, w->LastResult());
                  EXPECT_EQ(L"Обьединение прервано из-за ошибки", w->PaneText(ImportLayout::kStatusPane));
                  const std::wstring error = w->PaneText(ImportLayout::kErrorPane);
                  EXPECT_EQ(0u, error.find(LoadText(IDS_MERGE_OWN_DATABASE).substr(0, 10))) << Narrow(error);
                  EXPECT_NE(std::wstring::npos, error.find(own));
                  EXPECT_TRUE(harness::TextInLanguage(error, russian)) << Narrow(error);
                  harness::SaveWindowPicture(w->GetHwnd(), russian ? L"merge_own_database_ru" : L"merge_own_database_en");
                  w->OnClose();
              }}});
    }
    EXPECT_EQ(0, CheckConsistent()) << "nothing merged";
}

TEST_F(MergeWindowTest, TheEndIsSeenEvenWhenEveryMessageOfTheWorkerIsLost)
{
    DeleteFileW((OtherPath() + L"\\dbinit.cfg").c_str());
    ImportLink::PostFunction previous = ImportLink::SetPostFunction(LosePost);
    Run({{Ended, [](ImportDbWnd* w) {
              EXPECT_EQ(kImportResultFailed, w->LastResult());
              EXPECT_EQ(L"Обьединение прервано из-за ошибки", w->PaneText(ImportLayout::kStatusPane));
              EXPECT_EQ(0u, w->PaneText(ImportLayout::kErrorPane).find(L"Ошибка функции GetRecSetSnimokE"))
                  << "the link's texts are read at the end";
              EXPECT_TRUE(Enabled(w, ImportLayout::kStart));
              w->OnClose();
          }}});
    ImportLink::SetPostFunction(previous);
}

TEST_F(MergeWindowRealInput, EjectAsksTheDiskServiceForTheOtherDatabasesDriveOnlyWithoutAWorker)
{
    // The other workstation's data came on a removable disk.
    extest::SimulatedDrive drive;
    ASSERT_TRUE(drive.Leased());
    ASSERT_TRUE(drive.Insert(OtherPath() + L"\\", 0x0A0B0C0D, "WARD2"));
    extest::DiskService service;
    ASSERT_TRUE(service.Listening());
    settings->SetString(L"ImportSettings", L"DBPath", drive.Root());
    Run({{Waiting,
          [&](ImportDbWnd* w) {
              w->EjectDisk();
              EXPECT_TRUE(drive.HasDisk()) << "a worker exists: nothing is asked";
              w->OnStop();
          }},
         {Ended,
          [&](ImportDbWnd* w) {
              EXPECT_EQ(kImportResultDone, w->LastResult()) << "stopped before Start";
              Click(w, ImportLayout::kEject);
              EXPECT_TRUE(harness::PumpUntil([&] { return !drive.HasDisk(); }, 5000))
                  << "the disk of the other database's drive, not of E:";
              w->OnClose();
          }}});
}

struct CloseInside {
    HWND window;
    HANDLE destroying;   // the window has begun to close
    int ledgerRows;
};
CloseInside* gClose = nullptr;

LRESULT CALLBACK WatchDestroy(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* m = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code >= 0 && gClose && m->message == WM_DESTROY && m->hwnd == gClose->window)
        SetEvent(gClose->destroying);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MergeWindowTest, ClosingWhileAnImageIsWrittenWaitsForItsTransaction)
{
    CloseInside close = {nullptr, CreateEventW(nullptr, TRUE, FALSE, nullptr), 0};
    gClose = &close;
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchDestroy, nullptr, GetCurrentThreadId());
    // Inside the second image's transaction the worker asks the window to
    // close and goes on only once the window is being destroyed.
    SetMergeStepObserver(
        [](MergeStep step, void* context) {
            CloseInside* c = static_cast<CloseInside*>(context);
            if (step != MergeStep::Ledger || ++c->ledgerRows != 2)
                return;
            PostMessageW(c->window, WM_CLOSE, 0, 0);
            WaitForSingleObject(c->destroying, 10000);
        },
        &close);
    Run({{Waiting, [&](ImportDbWnd* w) {
              close.window = w->GetHwnd();
              w->OnStart();
          }}});
    SetMergeStepObserver(nullptr, nullptr);
    UnhookWindowsHookEx(hook);
    gClose = nullptr;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(close.destroying, 0)) << "the window closed during the image";
    CloseHandle(close.destroying);
    EXPECT_EQ(2, CheckConsistent()) << "the image in hand was finished, none begun after";
    EXPECT_EQ(2, other.Number(L"SELECT COUNT(*) FROM Snimok WHERE imported=1;"));
}

TEST_F(MergeWindowTest, AQuitRequestClosesTheWindowAndIsPostedAgain)
{
    Run({{Waiting, [](ImportDbWnd*) { PostQuitMessage(7); }}});
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(7u, msg.wParam);
    EXPECT_EQ(0, CheckConsistent());
}

TEST_F(MergeWindowTest, ASecondWindowCannotBeOpenedWhileOneRuns)
{
    PromptScript prompts({IDOK});
    Run({{Waiting, [&](ImportDbWnd* w) {
              RunImportDbWnd(owner->Hwnd());   // the Merge button pressed again
              ASSERT_EQ(1u, prompts.Count());
              EXPECT_EQ(L"Ошибка регистрации окна\nимпорта базы данных", prompts.Last().text);
              EXPECT_EQ(owner->Hwnd(), prompts.Last().owner);
              EXPECT_NE(nullptr, harness::FindOwnWindow(ImportDbWnd::kClassName)) << "the first one stays";
              w->OnClose();
          }}});
}

// The image disk below its minimum free space: the merge window's error text
// says it is almost full and how much must stay free, in the program's language.
TEST_F(MergeWindowTest, ASaveBelowTheMinimumFreeSpaceSaysTheImageDiskIsAlmostFull)
{
    SpaceMin = 0xFFFFFFFF;   // more megabytes than any disk has free
    for (const bool russian : {false, true}) {
        harness::ThreadLanguage speaking(russian ? MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)
                                                 : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        const std::wstring almostFull = LoadText(IDS_IMAGE_DISK_ALMOST_FULL), error = RunToTheEnd().second;
        EXPECT_EQ(0u, error.find(almostFull.substr(0, almostFull.find(L'%')))) << Narrow(error);
        EXPECT_NE(std::wstring::npos, error.find(L"4294967295")) << "the minimum is named";
    }
    SpaceMin = 0;
    EXPECT_EQ(0, CheckConsistent()) << "nothing merged";
}

}  // namespace
