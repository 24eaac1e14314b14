// The Program Settings dialog, driven by messages as a user drives it: what it
// shows of the settings key, the round trip through the registry, every check
// before any write, the values it keeps ("Mobil", "SpanPult"), the data
// folders it asks for, "Run Now" from a running program and before a pass,
// and the settings key's faults it survives. The settings root is a private
// test key (SetSettingsRoot).
#include "app_fixture.h"
#include "dialog_script.h"

#include "app/mainloop.h"
#include "app/printservices.h"
#include "app/settingsdlg.h"
#include "app/settingsform.h"
#include "app/startup.h"
#include "common/prompt_script.h"
#include "common/settings_root.h"
#include "foundation/globals.h"
#include "foundation/settingskey.h"
#include "resources/resource.h"
#include "resources/strings.h"

#include <map>
#include <string>
#include <vector>

using namespace dlgtest;

namespace {

std::wstring Str(UINT id)
{
    wchar_t text[512] = {};
    const int n = LoadStringW(hInstance, id, text, 512);
    return std::wstring(text, n > 0 ? n : 0);
}

// Every value below a key, with its type and bytes, subkeys included: two
// dumps are equal when nothing below the key changed.
void DumpKey(HKEY key, const std::wstring& prefix, std::map<std::wstring, std::vector<BYTE>>& out)
{
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD nameLength = 512, type = 0, size = 4096;
        std::vector<BYTE> data(4096);
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
            break;
        data.resize(size);
        data.push_back(static_cast<BYTE>(type));
        out[prefix + L"|" + name] = data;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD nameLength = 512;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY sub = nullptr;
        out[prefix + L"\\" + name];   // the key itself
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
            DumpKey(sub, prefix + L"\\" + name, out);
            RegCloseKey(sub);
        }
    }
}

// The folder picker's title line: the child whose text is the title asked for.
BOOL CALLBACK FindPickerTitle(HWND child, LPARAM out)
{
    wchar_t text[256] = {};
    GetWindowTextW(child, text, 256);
    if (wcsstr(text, L"Select the path"))
        wcscpy(reinterpret_cast<wchar_t*>(out), text);
    return TRUE;
}

class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        IsWindowsNT = true;
        data_ = folder_.Path() + L"data\\";
        CreateDirectoryW(data_.c_str(), nullptr);
        CreateDirectoryW((data_ + L"Image").c_str(), nullptr);
        CreateDirectoryW((data_ + L"Icon").c_str(), nullptr);
    }
    // A complete, valid set of stored settings.
    void StoreValidSettings()
    {
        key_.SetString(L"DefDir", folder_.Path());
        key_.SetString(L"DataPath", data_);
        key_.SetString(L"CfgDir", L"C:\\cfg\\");
        key_.SetString(L"ServerName", L"\\\\server");
        key_.SetDword(L"ExitFlag", 1);
        key_.SetString(nullptr, L"E:\\Arj", L"Arj");
        key_.SetDword(L"SpaceArjStart", 80, L"Arj");
        key_.SetDword(L"SpaceArjEnd", 600, L"Arj");
        key_.SetDword(L"SpaceMin", 20, L"Arj");
        key_.SetDword(L"WidthLimit", 1024, L"Desktop");
        key_.SetDword(L"HeightLimit", static_cast<DWORD>(-1), L"Desktop");
    }

    std::map<std::wstring, std::vector<BYTE>> Dump()
    {
        std::map<std::wstring, std::vector<BYTE>> out;
        DumpKey(key_.Key(), L"", out);
        return out;
    }

    std::wstring StoredText(const wchar_t* name, const wchar_t* sub = nullptr)
    {
        wchar_t text[600] = {};
        DWORD size = sizeof text - sizeof(wchar_t), type = 0;
        HKEY k = sub ? key_.Sub(sub) : key_.Key();
        if (RegQueryValueExW(k, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS)
            return L"<missing>";
        return type == REG_SZ ? std::wstring(text) : L"<type " + std::to_wstring(type) + L">";
    }

    DWORD StoredDword(const wchar_t* name, const wchar_t* sub = nullptr)
    {
        DWORD value = 0xDEADBEEF, size = sizeof value, type = 0;
        HKEY k = sub ? key_.Sub(sub) : key_.Key();
        if (RegQueryValueExW(k, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
            type != REG_DWORD)
            return 0xDEADBEEF;
        return value;
    }

    void Open() { ShowSettingsDialog(nullptr, SettingsOpener::kBeforePass); }

    apptest::TestKey key_;
    SettingsRootScope root_{key_.Root(), key_.Path()};
    apptest::TempFolder folder_;
    std::wstring data_;
};

// ---- what it shows ----------------------------------------------------------------

TEST_F(SettingsDialog, ShowsTheStoredSettingsAndChangesNothingWhenCancelled)
{
    StoreValidSettings();
    key_.SetDword(L"Mobil", 1);
    const auto before = Dump();
    const DWORD exitAction = CurrentExitAction = 0x12345;
    std::map<int, std::wstring> shown;
    LRESULT exitData = 0;
    bool localHidden = false;
    {
        DialogScript script;
        script.Then(IDC_SET_DEF_DIR, [&](HWND d) {
            for (int id : {IDC_SET_DEF_DIR, IDC_SET_DATA_PATH, IDC_SET_ARCHIVE_PATH, IDC_SET_CFG_DIR,
                           IDC_SET_SERVER_NAME, IDC_SET_SPACE_ARJ_START, IDC_SET_SPACE_ARJ_END, IDC_SET_SPACE_MIN,
                           IDC_SET_WIDTH_LIMIT, IDC_SET_HEIGHT_LIMIT})
                shown[id] = Text(d, id);
            exitData = SelectedComboData(d, IDC_SET_EXIT_ACTION);
            localHidden = !IsWindowVisible(GetDlgItem(d, IDC_SET_LOCAL_PATH)) &&
                          !IsWindowEnabled(GetDlgItem(d, IDC_SET_LOCAL_PATH)) &&
                          !IsWindowVisible(GetDlgItem(d, IDC_SET_LOCAL_PATH_BROWSE));
            Click(d, IDCANCEL);
        });
        Open();
    }
    EXPECT_EQ(folder_.Path(), shown[IDC_SET_DEF_DIR]);
    EXPECT_EQ(data_, shown[IDC_SET_DATA_PATH]);
    EXPECT_EQ(L"E:\\Arj", shown[IDC_SET_ARCHIVE_PATH]);
    EXPECT_EQ(L"C:\\cfg\\", shown[IDC_SET_CFG_DIR]);
    EXPECT_EQ(L"\\\\server", shown[IDC_SET_SERVER_NAME]);
    EXPECT_EQ(L"80", shown[IDC_SET_SPACE_ARJ_START]);
    EXPECT_EQ(L"600", shown[IDC_SET_SPACE_ARJ_END]);
    EXPECT_EQ(L"20", shown[IDC_SET_SPACE_MIN]);
    EXPECT_EQ(L"1024", shown[IDC_SET_WIDTH_LIMIT]);
    EXPECT_EQ(L"-1", shown[IDC_SET_HEIGHT_LIMIT]);
    EXPECT_EQ(1, exitData);
    EXPECT_TRUE(localHidden);
    EXPECT_EQ(before, Dump());
    EXPECT_EQ(exitAction, CurrentExitAction);
}

TEST_F(SettingsDialog, OpeningWithoutExitFlagSelectsNothingAndLeavesTheExitAction)
{
    StoreValidSettings();
    key_.Delete(L"ExitFlag");
    CurrentExitAction = kExitShutdown;
    LRESULT selected = 0;
    int items = 0;
    std::vector<LRESULT> data;
    {
        DialogScript script;
        script.Then(IDC_SET_EXIT_ACTION, [&](HWND d) {
            selected = SendMessageW(GetDlgItem(d, IDC_SET_EXIT_ACTION), CB_GETCURSEL, 0, 0);
            items = static_cast<int>(SendMessageW(GetDlgItem(d, IDC_SET_EXIT_ACTION), CB_GETCOUNT, 0, 0));
            for (int i = 0; i < items; ++i)
                data.push_back(SendMessageW(GetDlgItem(d, IDC_SET_EXIT_ACTION), CB_GETITEMDATA, i, 0));
            Click(d, IDCANCEL);
        });
        Open();
    }
    EXPECT_EQ(CB_ERR, selected);
    EXPECT_EQ((std::vector<LRESULT>{8, static_cast<LRESULT>(0x80000000), 1}), data);
    EXPECT_EQ(kExitShutdown, CurrentExitAction);
}

TEST_F(SettingsDialog, DefaultSettingsFillTheDefaults)
{
    std::map<int, std::wstring> shown;
    LRESULT exitData = 0;
    {
        DialogScript script;
        script.Then(IDC_SET_DEFAULTS, [&](HWND d) {
            Click(d, IDC_SET_DEFAULTS);
            for (int id : {IDC_SET_DEF_DIR, IDC_SET_DATA_PATH, IDC_SET_ARCHIVE_PATH, IDC_SET_CFG_DIR,
                           IDC_SET_SERVER_NAME, IDC_SET_SPACE_ARJ_START, IDC_SET_SPACE_ARJ_END, IDC_SET_SPACE_MIN})
                shown[id] = Text(d, id);
            exitData = SelectedComboData(d, IDC_SET_EXIT_ACTION);
            Click(d, IDCANCEL);
        });
        Open();
    }
    EXPECT_EQ(L"c:\\zelk", shown[IDC_SET_DEF_DIR]);
    EXPECT_EQ(L"d:\\", shown[IDC_SET_DATA_PATH]);
    EXPECT_EQ(L"E:\\Images", shown[IDC_SET_ARCHIVE_PATH]);
    EXPECT_EQ(L"", shown[IDC_SET_CFG_DIR]);
    EXPECT_EQ(L"\\\\.", shown[IDC_SET_SERVER_NAME]);
    EXPECT_EQ(L"500", shown[IDC_SET_SPACE_ARJ_START]);
    EXPECT_EQ(L"1000", shown[IDC_SET_SPACE_ARJ_END]);
    EXPECT_EQ(L"20", shown[IDC_SET_SPACE_MIN]);
    EXPECT_EQ(8, exitData);   // "Power off", the first item
}

// ---- saving -----------------------------------------------------------------------

TEST_F(SettingsDialog, OkWritesEveryFieldAndTheNextOpeningShowsThem)
{
    StoreValidSettings();
    PromptScript prompts;
    {
        DialogScript script;
        script.Then(IDOK, [&](HWND d) {
            SetText(d, IDC_SET_DEF_DIR, data_);
            SetText(d, IDC_SET_CFG_DIR, L"");
            SetText(d, IDC_SET_SERVER_NAME, L"\\\\archive");
            SetText(d, IDC_SET_ARCHIVE_PATH, L"F:\\Images");
            SetText(d, IDC_SET_SPACE_ARJ_START, L"100");
            SetText(d, IDC_SET_SPACE_ARJ_END, L"4294967295");
            SetText(d, IDC_SET_SPACE_MIN, L"0");
            SetText(d, IDC_SET_WIDTH_LIMIT, L"");
            SetText(d, IDC_SET_HEIGHT_LIMIT, L"-5");
            EXPECT_TRUE(SelectComboData(d, IDC_SET_EXIT_ACTION, 8));
            Click(d, IDOK);
        });
        Open();
    }
    EXPECT_EQ(0u, prompts.Count());
    EXPECT_EQ(data_, StoredText(L"DefDir"));
    EXPECT_EQ(L"<missing>", StoredText(L"CfgDir"));
    EXPECT_EQ(L"\\\\archive", StoredText(L"ServerName"));
    EXPECT_EQ(data_, StoredText(L"DataPath"));
    EXPECT_EQ(8u, StoredDword(L"ExitFlag"));
    EXPECT_EQ(L"F:\\Images", StoredText(nullptr, L"Arj"));
    EXPECT_EQ(100u, StoredDword(L"SpaceArjStart", L"Arj"));
    EXPECT_EQ(0xFFFFFFFFu, StoredDword(L"SpaceArjEnd", L"Arj"));
    EXPECT_EQ(0u, StoredDword(L"SpaceMin", L"Arj"));
    EXPECT_EQ(0xDEADBEEFu, StoredDword(L"WidthLimit", L"Desktop"));   // empty: deleted
    EXPECT_EQ(static_cast<DWORD>(-5), StoredDword(L"HeightLimit", L"Desktop"));

    // Read back by the dialog itself.
    std::wstring server, end, height;
    {
        DialogScript script;
        script.Then(IDOK, [&](HWND d) {
            server = Text(d, IDC_SET_SERVER_NAME);
            end = Text(d, IDC_SET_SPACE_ARJ_END);
            height = Text(d, IDC_SET_HEIGHT_LIMIT);
            Click(d, IDCANCEL);
        });
        Open();
    }
    EXPECT_EQ(L"\\\\archive", server);
    EXPECT_EQ(L"4294967295", end);
    EXPECT_EQ(L"-5", height);
}

TEST_F(SettingsDialog, AWrongFieldKeepsTheDialogOpenOnItAndWritesNothing)
{
    StoreValidSettings();
    const auto before = Dump();
    struct Case {
        int id;
        std::wstring text;
    };
    // In the order the dialog checks them; each later field is wrong alone.
    const std::vector<Case> cases = {
        {IDC_SET_DEF_DIR, L"Z:\\no\\such\\folder"},
        {IDC_SET_DATA_PATH, L""},
        {IDC_SET_ARCHIVE_PATH, L""},
        {IDC_SET_SPACE_MIN, L"12a"},
        {IDC_SET_SPACE_ARJ_START, L""},
        {IDC_SET_SPACE_ARJ_END, L"4294967296"},   // beyond 32 bits
    };
    for (const Case& c : cases) {
        PromptScript prompts({IDOK});
        int focused = 0;
        bool stillOpen = false;
        {
            DialogScript script;
            script.Then(IDOK, [&](HWND d) {
                SetText(d, IDC_SET_SERVER_NAME, L"");   // would be written, were the save to go on
                SetText(d, c.id, c.text);
                Click(d, IDOK);
                focused = FocusedId(d);
                stillOpen = IsWindowVisible(d) != FALSE;
                Click(d, IDCANCEL);
            });
            Open();
        }
        ASSERT_EQ(1u, prompts.Count()) << c.id;
        EXPECT_EQ(Str(IDS_SETTINGS_BAD_ENTRY), prompts.Last().text) << c.id;
        EXPECT_FALSE(prompts.Last().hasCaption && !prompts.Last().caption.empty()) << c.id;
        EXPECT_EQ(c.id, focused);
        EXPECT_TRUE(stillOpen) << c.id;
        EXPECT_EQ(before, Dump()) << "something was written for field " << c.id;
    }
}

TEST_F(SettingsDialog, MobilAndSpanPultAreKeptAsStored)
{
    StoreValidSettings();
    key_.SetDword(L"Mobil", 1);
    key_.SetDword(L"SpanPult", 7);
    PromptScript prompts;
    {
        DialogScript script;
        script.Then(IDOK, [&](HWND d) { Click(d, IDOK); });
        Open();
    }
    EXPECT_EQ(1u, StoredDword(L"Mobil"));
    EXPECT_EQ(7u, StoredDword(L"SpanPult"));
}

TEST_F(SettingsDialog, AnEmptyServerNameIsWrittenSoThatTheDiskServiceWaitIsOff)
{
    StoreValidSettings();
    PromptScript prompts;
    {
        DialogScript script;
        script.Then(IDOK, [&](HWND d) {
            SetText(d, IDC_SET_SERVER_NAME, L"");
            Click(d, IDOK);
        });
        Open();
    }
    EXPECT_EQ(L"", StoredText(L"ServerName"));
}

TEST_F(SettingsDialog, AnEmptyDefaultDirAndNoExitChoiceDeleteTheirValues)
{
    StoreValidSettings();
    PromptScript prompts;
    {
        DialogScript script;
        script.Then(IDOK, [&](HWND d) {
            SetText(d, IDC_SET_DEF_DIR, L"");
            SendMessageW(GetDlgItem(d, IDC_SET_EXIT_ACTION), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
            Click(d, IDOK);
        });
        Open();
    }
    EXPECT_EQ(L"<missing>", StoredText(L"DefDir"));
    EXPECT_EQ(0xDEADBEEFu, StoredDword(L"ExitFlag"));
}

TEST_F(SettingsDialog, AMissingImageFolderIsAskedForOnceAndMadeOnYes)
{
    StoreValidSettings();
    RemoveDirectoryW((data_ + L"Image").c_str());
    PromptScript prompts({IDYES});
    {
        DialogScript script;
        script.Then(IDOK, [&](HWND d) { Click(d, IDOK); });
        Open();
    }
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_NE(std::wstring::npos, prompts.Last().text.find(data_ + L"Image"));
    EXPECT_EQ(Str(IDS_PATH_DOES_NOT_EXIST), prompts.Last().caption);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO), prompts.Last().flags & MB_TYPEMASK);
    const DWORD attributes = GetFileAttributesW((data_ + L"Image").c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
}

TEST_F(SettingsDialog, AMissingDataFolderRefusedKeepsTheDialogOpenAndWritesNothing)
{
    StoreValidSettings();
    const auto before = Dump();
    const std::wstring missing = folder_.Path() + L"new data";
    PromptScript prompts({IDNO});
    bool stillOpen = false;
    {
        DialogScript script;
        script.Then(IDOK, [&](HWND d) {
            SetText(d, IDC_SET_DATA_PATH, missing);
            Click(d, IDOK);
            stillOpen = IsWindowVisible(d) != FALSE;
            Click(d, IDCANCEL);
        });
        Open();
    }
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_NE(std::wstring::npos, prompts.Last().text.find(missing));
    EXPECT_EQ(before, Dump());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(missing.c_str()));
}

TEST_F(SettingsDialog, AMissingDataFolderAcceptedIsMadeWithItsImageAndIconFolders)
{
    StoreValidSettings();
    const std::wstring missing = folder_.Path() + L"fresh";
    PromptScript prompts({IDYES});
    {
        DialogScript script;
        script.Then(IDOK, [&](HWND d) {
            SetText(d, IDC_SET_DATA_PATH, missing);
            Click(d, IDOK);
        });
        Open();
    }
    for (const std::wstring& path : {missing, missing + L"\\Image", missing + L"\\Icon"}) {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            << std::string(path.begin(), path.end());
    }
    EXPECT_EQ(missing, StoredText(L"DataPath"));
}

TEST_F(SettingsDialog, ADataFolderThatCannotBeMadeSaysWhyOverTheDialogAndWritesNothing)
{
    StoreValidSettings();
    const auto before = Dump();
    const std::wstring unreachable = folder_.Path() + L"no\\such\\data";
    PromptScript prompts({IDYES, IDOK});
    HWND dialog = nullptr;
    {
        DialogScript script;
        script.Then(IDOK, [&](HWND d) {
            dialog = d;
            SetText(d, IDC_SET_DATA_PATH, unreachable);
            Click(d, IDOK);
            Click(d, IDCANCEL);
        });
        Open();
    }
    ASSERT_EQ(2u, prompts.Count());
    const PromptRecord failure = prompts.Prompts()[1];
    EXPECT_EQ(dialog, failure.owner);
    EXPECT_EQ(unreachable, failure.caption);
    EXPECT_FALSE(failure.text.empty());
    EXPECT_EQ(before, Dump());
}

TEST_F(SettingsDialog, SetOpensTheFolderPickerUnderItsTitleAndCancelKeepsTheField)
{
    StoreValidSettings();
    std::wstring pickerTitle, afterOk = L"?", afterCancel = L"?";
    {
        DialogScript script;
        script.Then(IDC_SET_DEF_DIR_BROWSE, [&](HWND d) {
                  SetText(d, IDC_SET_DEF_DIR, data_ + L"Image");
                  Click(d, IDC_SET_DEF_DIR_BROWSE);
              })
            .Then(0, [&](HWND picker) {
                // The picker is asked to start at the field's folder; how soon
                // its tree gets there is the shell's affair, so OK takes
                // whichever folder it shows.
                wchar_t text[256] = {};
                EnumChildWindows(picker, FindPickerTitle, reinterpret_cast<LPARAM>(text));
                pickerTitle = text;
                Click(picker, IDOK);
            })
            .Then(IDC_SET_DEF_DIR_BROWSE, [&](HWND d) {
                afterOk = Text(d, IDC_SET_DEF_DIR);
                SetText(d, IDC_SET_DEF_DIR, L"kept");
                Click(d, IDC_SET_CFG_DIR_BROWSE);
            })
            .Then(0, [](HWND picker) { Click(picker, IDCANCEL); })
            .Then(IDC_SET_DEF_DIR_BROWSE, [&](HWND d) {
                afterCancel = Text(d, IDC_SET_DEF_DIR);
                Click(d, IDCANCEL);
            });
        Open();
    }
    EXPECT_EQ(Str(IDS_SELECT_DEFAULT_FOLDER), pickerTitle);
    const DWORD attributes = GetFileAttributesW(afterOk.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        << "the field holds a folder after OK";
    EXPECT_EQ(L"kept", afterCancel);
}

namespace printing {
std::vector<std::string> calls;
HWND owner = nullptr;
void Fonts(HWND o)
{
    calls.push_back("fonts");
    owner = o;
}
void Profiles(HWND o)
{
    calls.push_back("profiles");
    owner = o;
}
}  // namespace printing

TEST_F(SettingsDialog, FontsAndPrinterOpenPrintingsDialogsOverTheSettings)
{
    PrintServices stand = {};
    stand.runFontsDlg = printing::Fonts;
    stand.editPrinterProfiles = printing::Profiles;
    const PrintServices before = SetPrintServices(stand);
    printing::calls.clear();
    HWND dialog = nullptr, fontsOwner = nullptr;
    {
        DialogScript script;
        script.Then(IDC_SET_FONTS, [&](HWND d) {
            dialog = d;
            Click(d, IDC_SET_FONTS);
            fontsOwner = printing::owner;
            Click(d, IDC_SET_PRINTER);
            Click(d, IDCANCEL);
        });
        Open();
    }
    SetPrintServices(before);
    EXPECT_EQ((std::vector<std::string>{"fonts", "profiles"}), printing::calls);
    EXPECT_EQ(dialog, fontsOwner);
    EXPECT_EQ(dialog, printing::owner);
}

// ---- Run Now ----------------------------------------------------------------------

TEST_F(SettingsDialog, RunNowWhileTheProgramRunsSavesAndAsksForAnotherPass)
{
    StoreValidSettings();
    MainLoopEnded = FALSE;
    RestartRequested = FALSE;
    PromptScript prompts;
    {
        DialogScript script;
        script.Then(IDC_SET_RUN_NOW, [&](HWND d) {
            SetText(d, IDC_SET_SERVER_NAME, L"");
            Click(d, IDC_SET_RUN_NOW);
        });
        ShowSettingsDialog(nullptr, SettingsOpener::kRunningProgram);
    }
    MSG msg;
    const bool quit = PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    EXPECT_TRUE(quit);
    EXPECT_TRUE(RestartRequested);
    EXPECT_EQ(L"", StoredText(L"ServerName"));
    RestartRequested = FALSE;
}

namespace cycle {

std::vector<std::string> calls;
int passes = 0;
bool quitWaiting = false;

BOOL Settings()
{
    calls.push_back("settings");
    return ++passes > 1;   // the first pass cannot start
}
BOOL Yes()
{
    return TRUE;
}
BOOL Create()
{
    calls.push_back("create");
    return TRUE;
}
void Destroy()
{
    calls.push_back("destroy");
}
int Loop()
{
    // The loop of the pass after the dialog: a quit waiting here would end
    // it before the user saw the main window.
    MSG msg;
    quitWaiting = PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    calls.push_back("loop");
    return 0;
}
int AskYes()
{
    calls.push_back("ask");
    return IDYES;
}
int Eject()
{
    return 1;
}

}  // namespace cycle

TEST_F(SettingsDialog, RunNowBeforeAPassSavesAndClosesWithoutEndingTheNextPass)
{
    StoreValidSettings();
    IsAdministrator = true;
    MainLoopEnded = FALSE;
    RestartRequested = FALSE;
    EjectRequested = FALSE;
    cycle::calls.clear();
    cycle::passes = 0;
    cycle::quitWaiting = false;
    MainCycleSteps steps = {cycle::Settings, cycle::Yes,     cycle::Yes,   cycle::Yes,
                            cycle::Create,   cycle::Destroy, cycle::Loop,  cycle::AskYes,
                            kProgramCycleSteps.showSettingsDialog, cycle::Eject};
    PromptScript prompts;
    {
        DialogScript script;
        script.Then(IDC_SET_RUN_NOW, [&](HWND d) {
            SetText(d, IDC_SET_SERVER_NAME, L"");
            Click(d, IDC_SET_RUN_NOW);
        });
        RunMainLoop(steps);
    }
    EXPECT_EQ((std::vector<std::string>{"settings", "ask", "settings", "create", "loop", "destroy"}), cycle::calls);
    EXPECT_FALSE(cycle::quitWaiting);
    EXPECT_FALSE(RestartRequested);
    EXPECT_EQ(L"", StoredText(L"ServerName"));
    MainLoopEnded = FALSE;
}

// ---- faults of the settings key ------------------------------------------------------

TEST_F(SettingsDialog, ValuesOfTheWrongTypeOrSizeAndUnterminatedTextsShowAsEmpty)
{
    const DWORD number = 5;
    key_.SetRaw(L"DefDir", REG_DWORD, &number, sizeof number);
    const wchar_t unterminated[] = {L'D', L':', L'\\', L'x'};   // no terminator stored
    key_.SetRaw(L"DataPath", REG_SZ, unterminated, sizeof unterminated);
    const BYTE odd[3] = {'A', 0, 'B'};
    key_.SetRaw(L"CfgDir", REG_SZ, odd, sizeof odd);
    key_.SetString(L"ServerName", std::wstring(700, L'x'));   // longer than the field
    const WORD shortFlag = 1;
    key_.SetRaw(L"ExitFlag", REG_DWORD, &shortFlag, sizeof shortFlag);
    key_.SetDword(L"Mobil", 1);
    key_.SetString(L"SpaceMin", L"20", L"Arj");
    key_.SetRaw(nullptr, REG_DWORD, &number, sizeof number, L"Arj");
    const BYTE eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    key_.SetRaw(L"SpaceArjStart", REG_BINARY, eight, sizeof eight, L"Arj");
    const auto before = Dump();
    std::map<int, std::wstring> shown;
    LRESULT exitSelection = 0;
    {
        DialogScript script;
        script.Then(IDOK, [&](HWND d) {
            for (int id : {IDC_SET_DEF_DIR, IDC_SET_DATA_PATH, IDC_SET_CFG_DIR, IDC_SET_SERVER_NAME,
                           IDC_SET_ARCHIVE_PATH, IDC_SET_SPACE_MIN, IDC_SET_SPACE_ARJ_START})
                shown[id] = Text(d, id);
            exitSelection = SendMessageW(GetDlgItem(d, IDC_SET_EXIT_ACTION), CB_GETCURSEL, 0, 0);
            Click(d, IDCANCEL);
        });
        Open();
    }
    EXPECT_EQ(L"", shown[IDC_SET_DEF_DIR]);
    EXPECT_EQ(L"D:\\x", shown[IDC_SET_DATA_PATH]);   // read whole, terminated here
    EXPECT_EQ(L"A", shown[IDC_SET_CFG_DIR]);         // the whole characters of an odd size
    EXPECT_EQ(L"", shown[IDC_SET_SERVER_NAME]);
    EXPECT_EQ(L"", shown[IDC_SET_ARCHIVE_PATH]);
    EXPECT_EQ(L"", shown[IDC_SET_SPACE_MIN]);
    EXPECT_EQ(L"", shown[IDC_SET_SPACE_ARJ_START]);
    EXPECT_EQ(CB_ERR, exitSelection);
    EXPECT_EQ(before, Dump());
}

TEST_F(SettingsDialog, AMissingSettingsKeyShowsEmptyFieldsAndOkMakesIt)
{
    // The root points at a key that is not there.
    const std::wstring missing = std::wstring(key_.Path()) + L"\\absent";
    SettingsRootScope absent(key_.Root(), missing.c_str());
    std::wstring defDir = L"?";
    PromptScript prompts;
    {
        DialogScript script;
        script.Then(IDOK, [&](HWND d) {
            defDir = Text(d, IDC_SET_DEF_DIR);
            SetText(d, IDC_SET_DATA_PATH, data_);
            SetText(d, IDC_SET_ARCHIVE_PATH, L"E:\\Arj");
            SetText(d, IDC_SET_SPACE_MIN, L"1");
            SetText(d, IDC_SET_SPACE_ARJ_START, L"2");
            SetText(d, IDC_SET_SPACE_ARJ_END, L"3");
            Click(d, IDOK);
        });
        Open();
    }
    EXPECT_EQ(L"", defDir);
    EXPECT_EQ(0u, prompts.Count());
    HKEY made = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(key_.Root(), (missing + L"\\Arj").c_str(), 0, KEY_READ, &made));
    DWORD value = 0, size = sizeof value;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(made, L"SpaceArjEnd", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(3u, value);
    RegCloseKey(made);
}

// ---- the form, apart from the dialog -------------------------------------------------

TEST(SettingsNumbers, AreStrictDecimalsWithin32Bits)
{
    DWORD u = 0;
    LONG s = 0;
    EXPECT_TRUE(ParseSettingUInt(L"0", &u));
    EXPECT_TRUE(ParseSettingUInt(L"4294967295", &u));
    EXPECT_EQ(0xFFFFFFFFu, u);
    for (const wchar_t* bad : {L"", L"4294967296", L"-1", L"+1", L"1 ", L" 1", L"1a", L"99999999999"})
        EXPECT_FALSE(ParseSettingUInt(bad, &u)) << std::wstring(bad).size();
    EXPECT_TRUE(ParseSettingInt(L"-2147483648", &s));
    EXPECT_EQ(static_cast<LONG>(0x80000000), s);
    EXPECT_TRUE(ParseSettingInt(L"2147483647", &s));
    EXPECT_FALSE(ParseSettingInt(L"2147483648", &s));
    EXPECT_FALSE(ParseSettingInt(L"-", &s));
    EXPECT_FALSE(ParseSettingInt(L"--1", &s));
}

}  // namespace
