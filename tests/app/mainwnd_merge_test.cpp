// The main window's "Merge databases" button: it runs the exchange's merge
// window through the shell's exchange table, over the main window, and reads
// the patient list again afterwards; without the merge linked in, it says
// that the command is not available.
#include "mainwnd_fixture.h"

#include "../common/prompt_script.h"
#include "app/exchangeservices.h"
#include "app/mainpatientwnd.h"
#include "foundation/globals.h"
#include "resources/strings.h"
#include "ui/button.h"

#include <functional>

using namespace mainwndtest;

namespace {

struct MergeCall {
    int calls = 0;
    HWND owner = nullptr;
    bool ownerEnabled = false;
    std::function<void()> during;
};
MergeCall gMerge;

void StandInMergeWindow(HWND owner)
{
    ++gMerge.calls;
    gMerge.owner = owner;
    gMerge.ownerEnabled = IsWindowEnabled(owner) != FALSE;
    if (gMerge.during)
        gMerge.during();
}

class MainWindowMerge : public MainWndSite {
protected:
    void SetUp() override
    {
        MainWndSite::SetUp();
        gMerge = MergeCall();
        ImportSettingsPresent = TRUE;
    }
    void TearDown() override
    {
        SetExchangeServices(previous_);
        MainWndSite::TearDown();
    }
    void PressMerge()
    {
        HWND button = MainPatientWindow::Instance().GetButton(kRowMerge)->GetHwnd();
        SendMessageW(button, WM_KEYDOWN, VK_SPACE, 0);
        SendMessageW(button, WM_KEYUP, VK_SPACE, 0);
    }
    ExchangeServices previous_ = GetExchangeServices();
};

TEST_F(MainWindowMerge, TheButtonRunsTheMergeWindowOverTheMainWindowThenReadsTheListAgain)
{
    ExchangeServices services = GetExchangeServices();
    services.runImportDbWnd = StandInMergeWindow;
    SetExchangeServices(services);
    OpenWindow();
    const size_t before = ListKeys().size();
    // The merge brings a patient of the other workstation.
    gMerge.during = [this] { Exec(L"INSERT INTO Patient (Name1, Name2) VALUES (N'Новиков', N'Олег');"); };
    PressMerge();
    EXPECT_EQ(1, gMerge.calls);
    EXPECT_EQ(MainPatientWindow::GetHwnd(), gMerge.owner);
    EXPECT_TRUE(gMerge.ownerEnabled) << "the merge window leaves its owner enabled";
    EXPECT_EQ(before + 1, ListKeys().size()) << "the list was read again after the merge window";
}

TEST_F(MainWindowMerge, WithoutTheMergeLinkedInTheButtonSaysItIsNotAvailable)
{
    SetExchangeServices(ExchangeServices{});
    OpenWindow();
    PromptScript prompts({IDOK});
    PressMerge();
    ASSERT_EQ(1u, prompts.Count());
    wchar_t text[256] = {};
    LoadStringW(hInstance, IDS_NOT_AVAILABLE_YET, text, 256);
    EXPECT_EQ(text, prompts.Last().text);
}

}  // namespace
