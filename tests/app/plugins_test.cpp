// Plug-ins: the list read from the registry (order, flags, faults of the
// keys), the menu and the automatic start, the "Plugins" dialog keeping the
// list and the registry in step, and the external-program plug-in starting a
// real program. The settings root is a private test key; plug-ins that only
// record their runs stand in for external programs where a run's effect does
// not matter.
#include "app_fixture.h"
#include "dialog_script.h"

#include "app/extplugin.h"
#include "app/plugins.h"
#include "app/settingsdlg.h"
#include "common/prompt_script.h"
#include "common/settings_root.h"
#include "common/window_harness.h"
#include "foundation/globals.h"
#include "foundation/settingskey.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/popupmenu.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace dlgtest;

namespace {

std::vector<std::wstring> gRuns;

// A plug-in that records its runs.
class RecordingPlugin : public DPlugin {
public:
    int Setup(HWND) override { return 0; }
    BOOL LoadSettings(DRegKey) override { return 1; }
    BOOL SaveSettings(DRegKey) override { return 1; }
    void Run() override { gRuns.push_back(GetName() ? GetName() : L""); }
    BOOL CanRun() override { return 1; }
};

// Makes recording plug-ins; the key "broken" gets none (its entry stays empty).
DPlugin* MakeRecording(const wchar_t* name)
{
    return wcscmp(name, L"broken") == 0 ? nullptr : new RecordingPlugin();
}

struct TrackedMenu {
    std::vector<UINT> ids;
    std::vector<std::wstring> texts;
    UINT flags;
    POINT at;
};
std::vector<TrackedMenu> gMenus;
int gChoice = 0;

int RecordingTracker(HMENU menu, UINT flags, int x, int y, HWND)
{
    TrackedMenu tracked = {{}, {}, flags, {x, y}};
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, i, text, 256, MF_BYPOSITION);
        tracked.ids.push_back(GetMenuItemID(menu, i));
        tracked.texts.push_back(text);
    }
    gMenus.push_back(tracked);
    return gChoice;
}

std::wstring Str(UINT id)
{
    wchar_t text[512] = {};
    const int n = LoadStringW(hInstance, id, text, 512);
    return std::wstring(text, n > 0 ? n : 0);
}

std::wstring ReadFileText(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::wstring();
    wchar_t text[2048] = {};
    DWORD read = 0;
    ReadFile(file, text, sizeof text - sizeof(wchar_t), &read, nullptr);
    CloseHandle(file);
    std::wstring all(text, read / sizeof(wchar_t));
    return !all.empty() && all[0] == 0xFEFF ? all.substr(1) : all;
}

// Waits (bounded) for a file that another process writes.
bool WaitForFile(const std::wstring& path)
{
    for (int i = 0; i < 200; ++i) {
        if (!ReadFileText(path).empty())
            return true;
        Sleep(50);
    }
    return false;
}

class Plugins : public ::testing::Test {
protected:
    void SetUp() override
    {
        gPluginList.Clear();
        gRuns.clear();
        gMenus.clear();
        gChoice = 0;
        SetPopupTracker(RecordingTracker);
        adminBefore_ = IsAdministrator;
        IsAdministrator = false;
    }
    void TearDown() override
    {
        gPluginList.Clear();
        SetPluginFactory(nullptr);
        SetPopupTracker(nullptr);
        IsAdministrator = adminBefore_;
    }

    // A plug-in key with its flags (-1: value missing).
    void AddKey(const wchar_t* name, int autoStart = -1, int manual = -1, int admin = -1)
    {
        const std::wstring sub = std::wstring(L"Plugins\\") + name;
        key_.Sub(sub.c_str());
        if (autoStart >= 0)
            key_.SetDword(L"StartAuto", autoStart, sub.c_str());
        if (manual >= 0)
            key_.SetDword(L"StartManual", manual, sub.c_str());
        if (admin >= 0)
            key_.SetDword(L"Admin", admin, sub.c_str());
    }

    bool KeyExists(const wchar_t* name)
    {
        HKEY k = nullptr;
        const std::wstring sub = std::wstring(L"Plugins\\") + name;
        if (RegOpenKeyExW(key_.Key(), sub.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
            return false;
        RegCloseKey(k);
        return true;
    }

    std::wstring KeyText(const wchar_t* name, const wchar_t* value)
    {
        wchar_t text[600] = {};
        DWORD size = sizeof text - sizeof(wchar_t);
        const std::wstring sub = std::wstring(L"Plugins\\") + name;
        if (RegGetValueW(key_.Key(), sub.c_str(), value, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
            return L"<missing>";
        return text;
    }

    // The names of the Plugins key's subkeys, in the registry's order.
    std::vector<std::wstring> RegistryOrder()
    {
        std::vector<std::wstring> names;
        HKEY plugins = key_.Sub(L"Plugins");
        for (DWORD i = 0;; ++i) {
            wchar_t name[256];
            DWORD length = 256;
            if (RegEnumKeyExW(plugins, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            names.push_back(name);
        }
        return names;
    }

    std::vector<std::wstring> ListNames()
    {
        std::vector<std::wstring> names;
        for (int i = 0; i < gPluginList.Count(); ++i) {
            const DPlugin* p = gPluginList.At(i);
            names.push_back(p ? (p->GetName() ? p->GetName() : L"") : L"<empty>");
        }
        return names;
    }

    apptest::ShellClasses classes_;   // the text input window asks for a new plug-in's name
    apptest::TestKey key_;
    SettingsRootScope root_{key_.Root(), key_.Path()};
    apptest::TempFolder folder_;
    bool adminBefore_ = false;
};

// ---- the list -----------------------------------------------------------------------------

TEST_F(Plugins, LoadKeepsTheRegistrysOrderAndReadsTheFlags)
{
    AddKey(L"Gamma", 1, 0, 0);
    AddKey(L"alpha", 0, 1, 0);
    AddKey(L"Beta", 0, 0, 1);
    LoadPlugins();
    EXPECT_EQ(RegistryOrder(), ListNames());
    ASSERT_EQ(3, gPluginList.Count());
    const DPlugin* gamma = gPluginList.At(gPluginList.Find(L"gamma"));
    const DPlugin* alpha = gPluginList.At(gPluginList.Find(L"ALPHA"));
    const DPlugin* beta = gPluginList.At(gPluginList.Find(L"Beta"));
    ASSERT_TRUE(gamma && alpha && beta);
    EXPECT_TRUE(gamma->IsAutoStart() && gamma->IsEnabled() && !gamma->IsAdminOnly());
    EXPECT_TRUE(!alpha->IsAutoStart() && !alpha->IsEnabled() && !alpha->IsAdminOnly());
    EXPECT_TRUE(!beta->IsAutoStart() && beta->IsEnabled() && beta->IsAdminOnly());
    EXPECT_EQ(nullptr, gPluginList.At(3));
    EXPECT_EQ(nullptr, gPluginList.At(-1));
}

TEST_F(Plugins, FlagsOfTheWrongTypeOrSizeOrMissingTakeTheirDefaults)
{
    AddKey(L"odd");
    key_.SetString(L"StartAuto", L"1", L"Plugins\\odd");
    const BYTE four[4] = {1, 0, 0, 0};
    key_.SetRaw(L"StartManual", REG_BINARY, four, sizeof four, L"Plugins\\odd");
    const WORD two = 1;
    key_.SetRaw(L"Admin", REG_DWORD, &two, sizeof two, L"Plugins\\odd");
    AddKey(L"bare");
    LoadPlugins();
    ASSERT_EQ(2, gPluginList.Count());
    for (int i = 0; i < 2; ++i) {
        const DPlugin* p = gPluginList.At(i);
        ASSERT_NE(nullptr, p);
        EXPECT_FALSE(p->IsAutoStart()) << i;
        EXPECT_TRUE(p->IsEnabled()) << i;
        EXPECT_FALSE(p->IsAdminOnly()) << i;
    }
}

TEST_F(Plugins, TheListIsReadOnce)
{
    AddKey(L"one");
    LoadPlugins();
    AddKey(L"two");
    LoadPlugins();
    EXPECT_EQ((std::vector<std::wstring>{L"one"}), ListNames());
}

TEST_F(Plugins, WithoutAPluginsKeyNothingIsOfferedOrStarted)
{
    SetPluginFactory(MakeRecording);
    LoadPlugins();
    EXPECT_EQ(0, gPluginList.Count());
    EXPECT_EQ(0, HasPluginMenuItems());
    StartAutoPlugins();
    BuildPluginMenu(nullptr, 10, 20);
    EXPECT_TRUE(gRuns.empty());
    EXPECT_TRUE(gMenus.empty());
}

TEST_F(Plugins, AnEmptyEntryIsPassedOverByTheMenuTheAutomaticStartAndTheTest)
{
    SetPluginFactory(MakeRecording);
    AddKey(L"a", 1, 1);        // started, not offered
    AddKey(L"broken", 1);      // no plug-in: an empty entry
    AddKey(L"c", 1);           // after the empty entry: started and offered
    LoadPlugins();
    ASSERT_EQ(3, gPluginList.Count());
    const std::vector<std::wstring> order = RegistryOrder();
    const int empty = static_cast<int>(std::find(order.begin(), order.end(), L"broken") - order.begin());
    EXPECT_EQ(nullptr, gPluginList.At(empty));
    StartAutoPlugins();
    EXPECT_EQ(2u, gRuns.size());
    EXPECT_EQ(1, HasPluginMenuItems());
    gRuns.clear();
    BuildPluginMenu(nullptr, 0, 0);   // "c" is the only one offered: it runs at once
    EXPECT_TRUE(gMenus.empty());
    EXPECT_EQ((std::vector<std::wstring>{L"c"}), gRuns);
}

TEST_F(Plugins, TheMenuOffersEnabledPluginsAndAdministratorOnlyOnesToAdministrators)
{
    SetPluginFactory(MakeRecording);
    AddKey(L"p1");
    AddKey(L"p2", -1, 1);       // disabled
    AddKey(L"p3", -1, -1, 1);   // administrators only
    AddKey(L"p4");
    LoadPlugins();
    const std::vector<std::wstring> order = RegistryOrder();
    auto idOf = [&](const wchar_t* name) {
        return static_cast<UINT>(std::find(order.begin(), order.end(), name) - order.begin()) + 1;
    };

    gChoice = static_cast<int>(idOf(L"p4"));
    BuildPluginMenu(nullptr, 30, 40);
    ASSERT_EQ(1u, gMenus.size());
    EXPECT_EQ((std::vector<UINT>{idOf(L"p1"), idOf(L"p4")}), gMenus[0].ids);
    EXPECT_EQ((std::vector<std::wstring>{L"p1", L"p4"}), gMenus[0].texts);
    EXPECT_EQ(30, gMenus[0].at.x);
    EXPECT_EQ(40, gMenus[0].at.y);
    EXPECT_EQ(static_cast<UINT>(TPM_NONOTIFY | TPM_VCENTERALIGN), gMenus[0].flags & (TPM_NONOTIFY | TPM_VCENTERALIGN));
    EXPECT_EQ((std::vector<std::wstring>{L"p4"}), gRuns);

    IsAdministrator = true;
    gChoice = 0;   // dismissed: nothing runs
    BuildPluginMenu(nullptr, 0, 0);
    ASSERT_EQ(2u, gMenus.size());
    EXPECT_EQ((std::vector<std::wstring>{L"p1", L"p3", L"p4"}), gMenus[1].texts);
    EXPECT_EQ(1u, gRuns.size());
}

TEST_F(Plugins, ADisabledAutomaticPluginIsStillStartedAndNeverOffered)
{
    SetPluginFactory(MakeRecording);
    AddKey(L"hidden", 1, 1, 1);
    LoadPlugins();
    EXPECT_EQ(0, HasPluginMenuItems());
    StartAutoPlugins();
    EXPECT_EQ((std::vector<std::wstring>{L"hidden"}), gRuns);
}

TEST_F(Plugins, AddWritesTheKeyFirstAndRefusesARepeatedName)
{
    ExtProgramPlugin* first = ExtProgramPlugin::Create();
    first->SetName(L"Viewer", 6);
    first->SetAutoStart(TRUE);
    first->SetStrings(L"C:\\v.exe", L"v.exe /s", L"C:\\");
    ASSERT_TRUE(gPluginList.Add(first));
    EXPECT_TRUE(KeyExists(L"Viewer"));
    EXPECT_EQ(L"C:\\v.exe", KeyText(L"Viewer", nullptr));
    EXPECT_EQ(L"v.exe /s", KeyText(L"Viewer", L"CmdLine"));
    EXPECT_EQ(L"C:\\", KeyText(L"Viewer", L"DefDir"));

    ExtProgramPlugin* again = ExtProgramPlugin::Create();
    again->SetName(L"VIEWER", 6);
    EXPECT_FALSE(gPluginList.Add(again));
    ExtProgramPlugin* nameless = ExtProgramPlugin::Create();
    EXPECT_FALSE(gPluginList.Add(nameless));
    EXPECT_EQ(1, gPluginList.Count());
    delete again;
    delete nameless;
}

TEST_F(Plugins, RemoveLeavesThePluginListedWhileItsKeyCannotBeDeleted)
{
    AddKey(L"keep");
    AddKey(L"gone");
    LoadPlugins();
    const int index = gPluginList.Find(L"gone");
    // The key vanished behind the list's back: it cannot be opened.
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(key_.Sub(L"Plugins"), L"gone"));
    EXPECT_FALSE(gPluginList.Remove(index));
    EXPECT_EQ(2, gPluginList.Count());
    EXPECT_NE(nullptr, gPluginList.At(index));
    EXPECT_FALSE(gPluginList.Remove(7));

    const int keep = gPluginList.Find(L"keep");
    key_.Sub(L"Plugins\\keep\\nested");   // a key below it goes with it
    EXPECT_TRUE(gPluginList.Remove(keep));
    EXPECT_FALSE(KeyExists(L"keep"));
    EXPECT_EQ((std::vector<std::wstring>{L"gone"}), ListNames());
}

// ---- the external program --------------------------------------------------------------

TEST_F(Plugins, TheExternalProgramsValuesSurviveWrongTypesAndMissingTerminators)
{
    AddKey(L"prog");
    const DWORD number = 3;
    key_.SetRaw(nullptr, REG_DWORD, &number, sizeof number, L"Plugins\\prog");
    const wchar_t unterminated[] = {L'r', L'u', L'n'};
    key_.SetRaw(L"CmdLine", REG_SZ, unterminated, sizeof unterminated, L"Plugins\\prog");
    key_.SetRaw(L"DefDir", REG_EXPAND_SZ, L"C:\\w", 5 * sizeof(wchar_t), L"Plugins\\prog");
    LoadPlugins();
    ASSERT_EQ(1, gPluginList.Count());
    const ExtProgramPlugin* p = static_cast<const ExtProgramPlugin*>(gPluginList.At(0));
    EXPECT_EQ(0, p->Module().Length());
    EXPECT_STREQ(L"run", p->CmdLine().c_str());
    EXPECT_STREQ(L"C:\\w", p->DefDir().c_str());
}

TEST_F(Plugins, TheExternalProgramStartsInItsFolderWithItsCommandLine)
{
    harness::ScreenLock screen;   // another process starts while the display is shared
    const std::wstring marker = folder_.File(L"started.txt");
    const std::wstring work = folder_.Path() + L"work";
    ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
    const std::wstring line = L"\"" + std::wstring(TF_MARKER_EXE) + L"\" \"" + marker + L"\"";
    ExtProgramPlugin* p = ExtProgramPlugin::Create();
    p->SetName(L"marker", 6);
    p->SetStrings(TF_MARKER_EXE, line.c_str(), work.c_str());
    PromptScript prompts;
    p->Run();
    ASSERT_TRUE(WaitForFile(marker));
    const std::wstring written = ReadFileText(marker);
    const size_t newline = written.find(L'\n');
    ASSERT_NE(std::wstring::npos, newline);
    EXPECT_EQ(0, lstrcmpiW(work.c_str(), written.substr(0, newline).c_str()));
    EXPECT_EQ(line, written.substr(newline + 1));
    EXPECT_STREQ(line.c_str(), p->CmdLine().c_str());   // its own text untouched
    delete p;
}

TEST_F(Plugins, WithoutAModuleOrAFolderTheCommandLineNamesTheProgramAndOurFolderIsUsed)
{
    harness::ScreenLock screen;   // another process starts while the display is shared
    const std::wstring marker = folder_.File(L"from-line.txt");
    const std::wstring line = L"\"" + std::wstring(TF_MARKER_EXE) + L"\" \"" + marker + L"\"";
    ExtProgramPlugin* p = ExtProgramPlugin::Create();
    p->SetName(L"marker", 6);
    p->SetStrings(L"", line.c_str(), L"");
    PromptScript prompts;
    p->Run();
    ASSERT_TRUE(WaitForFile(marker));
    wchar_t here[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, here);
    const std::wstring written = ReadFileText(marker);
    EXPECT_EQ(0, lstrcmpiW(here, written.substr(0, written.find(L'\n')).c_str()));
    delete p;
}

TEST_F(Plugins, AProgramThatCannotStartShowsTheSystemsTextAndIsRecorded)
{
    ExtProgramPlugin* p = ExtProgramPlugin::Create();
    p->SetName(L"missing", 7);
    const std::wstring absent = folder_.File(L"absent.exe");
    p->SetStrings(absent.c_str(), L"absent.exe", L"");
    apptest::OpenJournal journal(folder_.Path());
    PromptScript prompts({IDOK});
    p->Run();
    bool recorded = false;
    for (const apptest::JournalEntry& e : journal.Entries())
        recorded |= e.text.rfind(L"CreateProcessW " + absent + L":", 0) == 0 && e.code != 0;
    EXPECT_TRUE(recorded) << "no journal record names the call and the program";
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_FALSE(prompts.Last().text.empty());
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION | MB_TASKMODAL | MB_TOPMOST),
              prompts.Last().flags & (MB_ICONMASK | MB_MODEMASK | MB_TOPMOST));
    delete p;
}

// ---- the "Plugins" dialog -----------------------------------------------------------------

TEST_F(Plugins, TheDialogAddsChangesAndDeletesKeepingListAndRegistryInStep)
{
    ThreadLanguage russian(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
    AddKey(L"first");
    AddKey(L"second");
    LoadPlugins();
    const std::vector<std::wstring> before = ListNames();
    std::vector<std::wstring> shownAtStart, shownAfterAdd, shownAfterDelete;
    std::wstring nameShown, inputTitle;
    PromptScript prompts({IDOK, IDOK});
    auto lines = [](HWND d) {
        std::vector<std::wstring> out;
        for (int i = 0; i < ListCount(d, IDC_PLUGIN_LIST); ++i)
            out.push_back(ListLine(d, IDC_PLUGIN_LIST, i));
        return out;
    };
    {
        DialogScript script;
        script.Then(IDC_SET_PLUGINS, [](HWND settings) { Click(settings, IDC_SET_PLUGINS); })
            .Then(IDC_PLUGIN_LIST,
                  [&](HWND d) {
                      shownAtStart = lines(d);
                      Click(d, IDC_PLUGIN_ADD);
                  })
            .ThenInput([&](HWND input) {
                inputTitle = Title(input);
                TypeAndEnter(input, L"Calc");
            })
            .Then(IDC_PROGRAM_MODULE,
                  [&](HWND d) {
                      nameShown = Text(d, IDC_PROGRAM_NAME);
                      SetText(d, IDC_PROGRAM_MODULE, L"C:\\calc.exe");
                      SetText(d, IDC_PROGRAM_CMD_LINE, L"calc.exe /x");
                      SetText(d, IDC_PROGRAM_DIR, L"C:\\");
                      Click(d, IDOK);
                  })
            .Then(IDC_PLUGIN_LIST,
                  [&](HWND d) {
                      shownAfterAdd = lines(d);
                      SelectListLine(d, IDC_PLUGIN_LIST, ListCount(d, IDC_PLUGIN_LIST) - 1);
                      Click(d, IDC_PLUGIN_CHANGE);
                  })
            .Then(IDC_PROGRAM_MODULE,
                  [&](HWND d) {
                      SetText(d, IDC_PROGRAM_CMD_LINE, L"calc.exe /changed");
                      Click(d, IDOK);
                  })
            .Then(IDC_PLUGIN_LIST,
                  [&](HWND d) {
                      SelectListLine(d, IDC_PLUGIN_LIST, 0);
                      Click(d, IDC_PLUGIN_DELETE);
                      shownAfterDelete = lines(d);
                      Click(d, IDC_PLUGIN_ADD);
                  })
            .ThenInput([](HWND input) { TypeAndEnter(input, L"CALC"); })   // taken: refused
            .Then(IDC_PLUGIN_LIST, [](HWND d) { Click(d, IDC_PLUGIN_ADD); })
            .ThenInput([](HWND input) { TypeAndEnter(input, L"a\\b"); })   // a key below another: refused
            .Then(IDC_PLUGIN_LIST, [](HWND d) { Click(d, IDC_PLUGIN_ADD); })
            .ThenInput([](HWND input) { TypeAndEnter(input, L"Temp"); })
            .Then(IDC_PROGRAM_MODULE, [](HWND d) { Click(d, IDCANCEL); })   // discarded
            .Then(IDC_PLUGIN_LIST, [](HWND d) { Click(d, IDCANCEL); })
            .Then(IDC_SET_PLUGINS, [](HWND settings) { Click(settings, IDCANCEL); });
        ShowSettingsDialog(nullptr, SettingsOpener::kBeforePass);
    }
    EXPECT_EQ(before, shownAtStart);
    EXPECT_EQ(Str(IDS_ENTER_PLUGIN_NAME), inputTitle);
    EXPECT_EQ(L"Calc", nameShown);
    std::vector<std::wstring> expected = before;
    expected.push_back(L"Calc");
    EXPECT_EQ(expected, shownAfterAdd);
    expected.erase(expected.begin());
    EXPECT_EQ(expected, shownAfterDelete);
    EXPECT_EQ(expected, ListNames());
    EXPECT_FALSE(KeyExists(before[0].c_str()));
    EXPECT_TRUE(KeyExists(before[1].c_str()));
    EXPECT_TRUE(KeyExists(L"Calc"));
    EXPECT_FALSE(KeyExists(L"Temp"));
    EXPECT_FALSE(KeyExists(L"a"));
    EXPECT_EQ(L"C:\\calc.exe", KeyText(L"Calc", nullptr));
    EXPECT_EQ(L"calc.exe /changed", KeyText(L"Calc", L"CmdLine"));
    ASSERT_EQ(2u, prompts.Count());
    EXPECT_NE(std::wstring::npos, prompts.Prompts()[0].text.find(L"CALC"));
    EXPECT_EQ(Str(IDS_PLUGIN_NAME_INVALID), prompts.Prompts()[1].text);
}

TEST_F(Plugins, TheDialogListsNoLineForAnEmptyEntryAndRunsTheSelectedPlugin)
{
    SetPluginFactory(MakeRecording);
    AddKey(L"broken");
    AddKey(L"x");
    AddKey(L"y");
    LoadPlugins();
    std::vector<std::wstring> shown, shownAfterDelete;
    {
        DialogScript script;
        script.Then(IDC_PLUGIN_LIST, [&](HWND d) {
            for (int i = 0; i < ListCount(d, IDC_PLUGIN_LIST); ++i)
                shown.push_back(ListLine(d, IDC_PLUGIN_LIST, i));
            // The line of "y" runs "y", whatever index its plug-in has.
            for (int i = 0; i < ListCount(d, IDC_PLUGIN_LIST); ++i)
                if (ListLine(d, IDC_PLUGIN_LIST, i) == L"y")
                    SelectListLine(d, IDC_PLUGIN_LIST, i);
            Click(d, IDC_PLUGIN_RUN);
            // Deleting "x" moves "y" down in the list; its line still runs it.
            for (int i = 0; i < ListCount(d, IDC_PLUGIN_LIST); ++i)
                if (ListLine(d, IDC_PLUGIN_LIST, i) == L"x")
                    SelectListLine(d, IDC_PLUGIN_LIST, i);
            Click(d, IDC_PLUGIN_DELETE);
            for (int i = 0; i < ListCount(d, IDC_PLUGIN_LIST); ++i)
                shownAfterDelete.push_back(ListLine(d, IDC_PLUGIN_LIST, i));
            SelectListLine(d, IDC_PLUGIN_LIST, 0);
            Click(d, IDC_PLUGIN_RUN);
            Click(d, IDCANCEL);
        });
        AddPluginDialog(nullptr);
    }
    EXPECT_EQ(2u, shown.size());
    EXPECT_EQ(std::find(shown.begin(), shown.end(), L"broken"), shown.end());
    EXPECT_EQ((std::vector<std::wstring>{L"y"}), shownAfterDelete);
    EXPECT_EQ((std::vector<std::wstring>{L"y", L"y"}), gRuns);
    EXPECT_FALSE(KeyExists(L"x"));
}

TEST_F(Plugins, TheProgramDialogsSetButtonsChooseAProgramFileAndAFolder)
{
    AddKey(L"tool");
    LoadPlugins();
    std::wstring exe = TF_MARKER_EXE;
    for (wchar_t& c : exe)
        if (c == L'/')
            c = L'\\';
    std::wstring afterFile = L"?", afterFolder = L"?";
    {
        DialogScript script;
        script.Then(IDC_PLUGIN_LIST, [](HWND d) {
                  SelectListLine(d, IDC_PLUGIN_LIST, 0);
                  Click(d, IDC_PLUGIN_CHANGE);
              })
            .Then(IDC_PROGRAM_MODULE, [&](HWND d) {
                SetText(d, IDC_PROGRAM_MODULE, exe);
                SetText(d, IDC_PROGRAM_DIR, L"C:\\kept");
                Click(d, IDC_PROGRAM_MODULE_BROWSE);
            })
            .Then(0, [&](HWND open) {
                // The file dialog starts with the module's text: OK takes it.
                Click(open, IDOK);
            })
            .Then(IDC_PROGRAM_MODULE, [&](HWND d) {
                afterFile = Text(d, IDC_PROGRAM_MODULE);
                Click(d, IDC_PROGRAM_DIR_BROWSE);
            })
            .Then(0, [](HWND picker) { Click(picker, IDCANCEL); })
            .Then(IDC_PROGRAM_MODULE, [&](HWND d) {
                afterFolder = Text(d, IDC_PROGRAM_DIR);
                Click(d, IDOK);
            })
            .Then(IDC_PLUGIN_LIST, [](HWND d) { Click(d, IDCANCEL); });
        AddPluginDialog(nullptr);
    }
    EXPECT_EQ(0, lstrcmpiW(exe.c_str(), afterFile.c_str())) << std::string(afterFile.begin(), afterFile.end());
    EXPECT_EQ(L"C:\\kept", afterFolder);
    EXPECT_EQ(0, lstrcmpiW(exe.c_str(), KeyText(L"tool", nullptr).c_str()));
    EXPECT_EQ(L"C:\\kept", KeyText(L"tool", L"DefDir"));
}

}  // namespace
