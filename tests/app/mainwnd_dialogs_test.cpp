// The shell's dialogs and plug-ins reached from the main patient window the
// way the user reaches them: the "Plugins" button (one plug-in runs at once,
// several give a menu at the button), the plug-ins started with the window,
// the About box from the system menu, the Modality dialog (service command 13)
// with the site's modalities, and the settings dialog from the service menu.
#include "mainwnd_fixture.h"
#include "app_fixture.h"
#include "dialog_script.h"

#include "app/mainmenus.h"
#include "app/mainpatientwnd.h"
#include "app/plugins.h"
#include "app/startup.h"
#include "common/prompt_script.h"
#include "common/settings_root.h"
#include "foundation/globals.h"
#include "foundation/settingskey.h"
#include "images/viewer/mainviewwnd.h"
#include "resources/resource.h"
#include "ui/button.h"

#include <memory>
#include <string>
#include <vector>

using namespace mainwndtest;
using namespace dlgtest;

namespace {

std::vector<std::wstring> gRuns;

class RecordingPlugin : public DPlugin {
public:
    int Setup(HWND) override { return 0; }
    BOOL LoadSettings(DRegKey) override { return 1; }
    BOOL SaveSettings(DRegKey) override { return 1; }
    void Run() override { gRuns.push_back(GetName() ? GetName() : L""); }
    BOOL CanRun() override { return 1; }
};

DPlugin* MakeRecording(const wchar_t*)
{
    return new RecordingPlugin();
}

// A press of the button through its own key messages (no real input).
void PressBySpaceKeyMessages(DButton* button)
{
    SendMessageW(button->GetHwnd(), WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(button->GetHwnd(), WM_KEYUP, VK_SPACE, 0);
}

class MainWindowDialogs : public MainWndSite {
protected:
    void SetUp() override
    {
        MainWndSite::SetUp();
        root_ = std::make_unique<SettingsRootScope>(key_.Root(), key_.Path());
        gPluginList.Clear();
        SetPluginFactory(MakeRecording);
        gRuns.clear();
    }
    void TearDown() override
    {
        MainWndSite::TearDown();
        gPluginList.Clear();
        SetPluginFactory(nullptr);
        root_.reset();
    }
    void AddPlugin(const wchar_t* name, DWORD autoStart = 0)
    {
        const std::wstring sub = std::wstring(L"Plugins\\") + name;
        key_.SetDword(L"StartAuto", autoStart, sub.c_str());
    }
    DWORD StoredModality()
    {
        DWORD value = 0xDEADBEEF, size = sizeof value;
        if (RegGetValueW(key_.Key(), L"Modality", L"ID_Modality", RRF_RT_REG_DWORD, nullptr, &value, &size) !=
            ERROR_SUCCESS)
            return 0xDEADBEEF;
        return value;
    }

    apptest::TestKey key_;
    std::unique_ptr<SettingsRootScope> root_;
};

// ---- plug-ins ---------------------------------------------------------------------------

TEST_F(MainWindowDialogs, WithoutPluginsThereIsNoPluginsButton)
{
    OpenWindow();
    EXPECT_EQ(nullptr, MainPatientWindow::Instance().GetButton(kRowPlugins));
}

TEST_F(MainWindowDialogs, ASinglePluginRunsFromTheButtonWithoutAMenu)
{
    AddPlugin(L"Calculator");
    OpenWindow();
    DButton* button = MainPatientWindow::Instance().GetButton(kRowPlugins);
    ASSERT_NE(nullptr, button);
    MenuScript menus;
    PromptScript prompts;   // nothing says "not available"
    PressBySpaceKeyMessages(button);
    EXPECT_EQ(0, menus.Count());
    EXPECT_EQ((std::vector<std::wstring>{L"Calculator"}), gRuns);
}

TEST_F(MainWindowDialogs, SeveralPluginsGiveAMenuAtTheButtonsRightEdge)
{
    AddPlugin(L"One");
    AddPlugin(L"Two");
    OpenWindow();
    DButton* button = MainPatientWindow::Instance().GetButton(kRowPlugins);
    ASSERT_NE(nullptr, button);
    MenuScript menus(2);
    PressBySpaceKeyMessages(button);
    ASSERT_EQ(1, menus.Count());
    ASSERT_EQ(2u, menus.Last().size());
    RECT r;
    GetWindowRect(button->GetHwnd(), &r);
    EXPECT_EQ(r.right, menus.LastPoint().x);
    EXPECT_EQ((r.top + r.bottom) / 2, menus.LastPoint().y);
    ASSERT_EQ(1u, gRuns.size());
    EXPECT_EQ(menus.Last()[1].text, gRuns[0]);
}

TEST_F(MainWindowDialogs, AutomaticPluginsStartWithTheWindow)
{
    AddPlugin(L"Monitor", 1);
    AddPlugin(L"Manual", 0);
    OpenWindow();
    EXPECT_EQ((std::vector<std::wstring>{L"Monitor"}), gRuns);
}

// ---- About ----------------------------------------------------------------------------------

TEST_F(MainWindowDialogs, TheSystemMenusVersionShowsTheAboutBox)
{
    OpenWindow();
    std::wstring version;
    HWND owner = nullptr;
    {
        DialogScript script;
        script.Then(IDC_ABOUT_VERSION, [&](HWND d) {
            version = Text(d, IDC_ABOUT_VERSION);
            owner = GetWindow(d, GW_OWNER);
            Click(d, IDCANCEL);
        });
        SendMessageW(MainPatientWindow::GetHwnd(), WM_SYSCOMMAND, MainPatientWindow::kVersionCommand, 0);
    }
    EXPECT_EQ(L"3.4.2.6", version);
    EXPECT_EQ(MainPatientWindow::GetHwnd(), owner);
}

// ---- Modality -------------------------------------------------------------------------------

TEST_F(MainWindowDialogs, TheModalityListComesFromTheDatabaseAndTheChoiceIsSaved)
{
    OpenWindow();
    const long chosen = QueryInt(L"SELECT MAX(id_modality) FROM Modality;");
    ASSERT_GT(chosen, 0);
    DefaultModalitySet = FALSE;
    DefaultModality = 0;
    std::vector<std::wstring> lines;
    bool noneChecked = false;
    int selectedAtStart = 0;
    HWND owner = nullptr;
    {
        DialogScript script;
        script.Then(IDC_MODALITY_LIST, [&](HWND d) {
            owner = GetWindow(d, GW_OWNER);
            for (int i = 0; i < ListCount(d, IDC_MODALITY_LIST); ++i)
                lines.push_back(ListLine(d, IDC_MODALITY_LIST, i));
            noneChecked = IsDlgButtonChecked(d, IDC_MODALITY_NONE) == BST_CHECKED;
            selectedAtStart = static_cast<int>(SendMessageW(GetDlgItem(d, IDC_MODALITY_LIST), LB_GETCURSEL, 0, 0));
            for (int i = 0; i < ListCount(d, IDC_MODALITY_LIST); ++i)
                if (SendMessageW(GetDlgItem(d, IDC_MODALITY_LIST), LB_GETITEMDATA, i, 0) == chosen)
                    SelectListLine(d, IDC_MODALITY_LIST, i);
            CheckDlgButton(d, IDC_MODALITY_NONE, BST_UNCHECKED);
            Click(d, IDOK);
            Click(d, IDCANCEL);
        });
        OnServiceCommand(MainPatientWindow::GetHwnd(), kServiceModality, 0);
    }
    EXPECT_EQ(static_cast<size_t>(Count(L"Modality")), lines.size());
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_LE(lstrcmpW(lines[i - 1].c_str(), lines[i].c_str()), 0) << "sorted by name";
    EXPECT_TRUE(noneChecked);
    EXPECT_EQ(LB_ERR, selectedAtStart);
    EXPECT_EQ(MainViewHandle(), owner);
    EXPECT_TRUE(DefaultModalitySet);
    EXPECT_EQ(static_cast<DWORD>(chosen), DefaultModality);
    EXPECT_EQ(static_cast<DWORD>(chosen), StoredModality());
}

TEST_F(MainWindowDialogs, NotDefinedRemovesTheModalityAndTheCurrentOneIsSelectedAtStart)
{
    OpenWindow();
    const long current = QueryInt(L"SELECT MIN(id_modality) FROM Modality;");
    key_.SetDword(L"ID_Modality", static_cast<DWORD>(current), L"Modality");
    DefaultModalitySet = TRUE;
    DefaultModality = static_cast<DWORD>(current);
    LRESULT selectedData = -1;
    {
        DialogScript script;
        script.Then(IDC_MODALITY_LIST, [&](HWND d) {
            HWND list = GetDlgItem(d, IDC_MODALITY_LIST);
            const LRESULT line = SendMessageW(list, LB_GETCURSEL, 0, 0);
            selectedData = line >= 0 ? SendMessageW(list, LB_GETITEMDATA, line, 0) : -1;
            SendMessageW(GetDlgItem(d, IDC_MODALITY_NONE), BM_CLICK, 0, 0);
            Click(d, IDOK);
            Click(d, IDCANCEL);
        });
        OnServiceCommand(MainPatientWindow::GetHwnd(), kServiceModality, 0);
    }
    EXPECT_EQ(current, selectedData);
    EXPECT_FALSE(DefaultModalitySet);
    EXPECT_EQ(0xDEADBEEFu, StoredModality());
}

TEST_F(MainWindowDialogs, WithoutTheModalityTableTheDialogSaysSoAndShowsAnEmptyList)
{
    OpenWindow();
    ASSERT_TRUE(Exec(L"DROP TABLE Modality;"));
    PromptScript prompts({IDOK});
    int lines = -1;
    {
        DialogScript script;
        script.Then(IDC_MODALITY_LIST, [&](HWND d) {
            lines = ListCount(d, IDC_MODALITY_LIST);
            Click(d, IDCANCEL);
        });
        OnServiceCommand(MainPatientWindow::GetHwnd(), kServiceModality, 0);
    }
    EXPECT_EQ(0, lines);
    EXPECT_EQ(1u, prompts.Count());
}

// ---- settings from the service menu ----------------------------------------------------------

TEST_F(MainWindowDialogs, TheServiceMenusSettingsOpenTheSettingsDialogOverTheWindow)
{
    OpenWindow();
    HWND owner = nullptr;
    PromptScript prompts;   // nothing says "not available"
    {
        MenuScript menus(kServiceSettings);
        DialogScript script;
        script.Then(IDC_SET_DEF_DIR, [&](HWND d) {
            owner = GetWindow(d, GW_OWNER);
            Click(d, IDCANCEL);
        });
        ShowServiceMenu(MainPatientWindow::GetHwnd(), 10, 10, 0);
    }
    EXPECT_EQ(MainPatientWindow::GetHwnd(), owner);
    EXPECT_EQ(0u, prompts.Count());
}

}  // namespace
