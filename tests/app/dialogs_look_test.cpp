// How the shell's dialogs look in English and in Russian: every control
// inside its dialog, no two overlapping, no text clipped, every text in the
// running language, the dialog on the screen, the tab order as the eye reads
// the dialog; and, with TF_SHOT_DIR set, a picture of each for people to
// look at.
#include "app_fixture.h"
#include "dialog_script.h"
#include "winlogon_shell.h"

#include "app/aboutbox.h"
#include "app/backupdlg.h"
#include "app/extplugin.h"
#include "app/modalitydlg.h"
#include "app/plugins.h"
#include "app/settingsdlg.h"
#include "common/prompt_script.h"
#include "common/settings_root.h"
#include "foundation/globals.h"
#include "foundation/settingskey.h"
#include "resources/resource.h"

#include "common/window_harness.h"

#include <functional>
#include <string>
#include <vector>

using namespace dlgtest;

namespace {

struct Look {
    const wchar_t* name;
    int marker;                          // a control only this dialog has
    std::function<void()> open;          // opens it as the program does
    std::function<void(HWND)> fill;      // sample contents, for the picture
    std::vector<int> tabOrder;           // the first tab stops, in order
};

std::vector<int> TabOrder(HWND dialog, size_t count)
{
    std::vector<int> ids;
    HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
    HWND at = first;
    while (at && ids.size() < count) {
        ids.push_back(GetDlgCtrlID(at));
        at = GetNextDlgTabItem(dialog, at, FALSE);
        if (at == first)
            break;
    }
    return ids;
}

class DialogLook : public ::testing::TestWithParam<LANGID> {
protected:
    void SetUp() override
    {
        gPluginList.Clear();
        key_.SetString(L"DefDir", L"C:\\zelk");
        key_.SetString(L"DataPath", L"D:\\Data\\");
        key_.SetString(L"ServerName", L"\\\\.");
        key_.SetDword(L"ExitFlag", 8);
        key_.SetString(nullptr, L"E:\\Images", L"Arj");
        key_.SetDword(L"SpaceArjStart", 500, L"Arj");
        key_.SetDword(L"SpaceArjEnd", 1000, L"Arj");
        key_.SetDword(L"SpaceMin", 20, L"Arj");
        key_.SetString(L"File", L"zelk.bak", L"BackupDB");
        key_.SetDword(L"nMaxFiles", 5, L"BackupDB");
        key_.SetDword(L"LastFile", 2, L"BackupDB");
        for (const wchar_t* name : {L"Калькулятор", L"Notepad", L"DICOM viewer"})
            key_.SetDword(L"StartAuto", 0, (std::wstring(L"Plugins\\") + name).c_str());
        LoadPlugins();
    }
    void TearDown() override { gPluginList.Clear(); }

    void Check(const Look& look)
    {
        const bool russian = PRIMARYLANGID(GetParam()) == LANG_RUSSIAN;
        ThreadLanguage language(GetParam());
        PromptScript prompts({IDOK, IDOK});
        std::wstring fault = L"?";
        std::vector<std::wstring> texts;
        RECT window = {};
        std::vector<int> tabs;
        {
            DialogScript script;
            script.Then(look.marker, [&](HWND d) {
                if (look.fill)
                    look.fill(d);
                fault = LayoutFault(d);
                texts = harness::DialogTexts(d);
                GetWindowRect(d, &window);
                tabs = TabOrder(d, look.tabOrder.size());
                SaveWindowPicture(d, (std::wstring(look.name) + (russian ? L"_ru" : L"_en")).c_str());
                Click(d, IDCANCEL);
            });
            look.open();
        }
        const std::string name(look.name, look.name + wcslen(look.name));
        EXPECT_EQ(L"", fault) << name;
        EXPECT_FALSE(texts.empty()) << name;
        for (const std::wstring& text : texts) {
            EXPECT_TRUE(TextInLanguage(text, russian)) << name << ": \"" << std::string(text.begin(), text.end())
                                                       << "\" is not in the running language";
        }
        EXPECT_GE(window.left, 0) << name;
        EXPECT_GE(window.top, 0) << name;
        EXPECT_LE(window.right, 1280) << name;
        EXPECT_LE(window.bottom, 1024) << name;
        EXPECT_EQ(look.tabOrder, tabs) << name;
    }

    apptest::ShellClasses classes_;
    apptest::TestKey key_;
    SettingsRootScope root_{key_.Root(), key_.Path()};
};

TEST_P(DialogLook, ProgramSettings)
{
    Check({L"settings", IDC_SET_DEF_DIR, [] { ShowSettingsDialog(nullptr, SettingsOpener::kBeforePass); }, nullptr,
           {IDC_SET_DEF_DIR, IDC_SET_DEF_DIR_BROWSE, IDC_SET_DATA_PATH, IDC_SET_DATA_PATH_BROWSE, IDC_SET_ARCHIVE_PATH,
            IDC_SET_ARCHIVE_BROWSE, IDC_SET_CFG_DIR, IDC_SET_CFG_DIR_BROWSE, IDC_SET_SERVER_NAME,
            IDC_SET_SPACE_ARJ_START, IDC_SET_SPACE_ARJ_END, IDC_SET_SPACE_MIN, IDC_SET_WIDTH_LIMIT,
            IDC_SET_HEIGHT_LIMIT, IDC_SET_EXIT_ACTION, IDOK, IDCANCEL, IDC_SET_RUN_NOW, IDC_SET_DEFAULTS}});
}

// The one template has the button; only the Russian dialog shows it, and a
// hidden button takes no keys either.
TEST_P(DialogLook, TheRussianSettingsAloneOfferThePluginSetup)
{
    const bool russian = PRIMARYLANGID(GetParam()) == LANG_RUSSIAN;
    ThreadLanguage language(GetParam());
    bool shown = !russian, enabled = !russian;
    {
        DialogScript script;
        script.Then(IDC_SET_DEF_DIR, [&](HWND d) {
            HWND button = GetDlgItem(d, IDC_SET_PLUGINS);
            shown = button && IsWindowVisible(button);
            enabled = button && IsWindowEnabled(button);
            Click(d, IDCANCEL);
        });
        ShowSettingsDialog(nullptr, SettingsOpener::kBeforePass);
    }
    EXPECT_EQ(russian, shown);
    EXPECT_EQ(russian, enabled);
}

TEST_P(DialogLook, SetShell)
{
    // The dialog checks the radio button of the shell it finds: Explorer's here.
    ShellValue kept;
    ShellValue::Set(L"EXPLORER.EXE");
    Check({L"setshell", IDC_SHELL_TEXT, [] { ShowSetShellDialog(nullptr); }, nullptr,
           {IDC_SHELL_TEXT, IDC_SHELL_EXPLORER, IDOK, IDCANCEL}});
}

TEST_P(DialogLook, BackupSettings)
{
    Check({L"backup", IDC_BACKUP_FILE, [] { RunBackupSettingsDlg(nullptr); }, nullptr,
           {IDC_BACKUP_PATH, IDC_BACKUP_FILE, IDC_BACKUP_MAX_COUNT, IDC_BACKUP_LAST, IDOK, IDCANCEL}});
}

TEST_P(DialogLook, Modality)
{
    // Without a database the dialog says so and shows an empty list; the
    // picture gets a few names to show.
    Check({L"modality", IDC_MODALITY_LIST, [] { RunModalityDlg(nullptr); },
           [](HWND d) {
               for (const wchar_t* name : {L"CR", L"DX", L"RF", L"Рентгеноскопия"})
                   SendDlgItemMessageW(d, IDC_MODALITY_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
               SendDlgItemMessageW(d, IDC_MODALITY_LIST, LB_SETCURSEL, 2, 0);
           },
           {IDC_MODALITY_LIST, IDC_MODALITY_NONE, IDOK, IDCANCEL}});
}

TEST_P(DialogLook, About)
{
    Check({L"about", IDC_ABOUT_VERSION, [] { ShowAboutBox(nullptr); }, nullptr, {IDCANCEL}});
}

TEST_P(DialogLook, Plugins)
{
    Check({L"plugins", IDC_PLUGIN_LIST, [] { AddPluginDialog(nullptr); }, nullptr,
           {IDC_PLUGIN_LIST, IDC_PLUGIN_ADD, IDC_PLUGIN_CHANGE, IDC_PLUGIN_DELETE, IDC_PLUGIN_RUN, IDCANCEL}});
}

TEST_P(DialogLook, ExternalProgram)
{
    Check({L"program", IDC_PROGRAM_MODULE,
           [] {
               ExtProgramPlugin* p = ExtProgramPlugin::Create();
               p->SetName(L"Notepad", 7);
               p->SetStrings(L"C:\\windows\\notepad.exe", L"notepad.exe C:\\zelk\\zelk.ju", L"C:\\zelk");
               p->Setup(nullptr);
               delete p;
           },
           nullptr,
           {IDC_PROGRAM_NAME, IDC_PROGRAM_MODULE, IDC_PROGRAM_MODULE_BROWSE, IDC_PROGRAM_CMD_LINE, IDC_PROGRAM_DIR,
            IDC_PROGRAM_DIR_BROWSE, IDOK, IDCANCEL}});
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, DialogLook,
                         ::testing::Values(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                           MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)),
                         [](const ::testing::TestParamInfo<LANGID>& info) {
                             return PRIMARYLANGID(info.param) == LANG_RUSSIAN ? std::string("Russian")
                                                                              : std::string("English");
                         });

}  // namespace
