// The settings loader: required and default settings, their messages, the
// exit action, the folders.
#include "app_fixture.h"

#include "app/reghelpers.h"
#include "app/settings.h"
#include "app/startup.h"
#include "common/prompt_script.h"
#include "common/settings_root.h"
#include "foundation/globals.h"
#include "resources/strings.h"
#include "ui/control_font.h"

#include <string>

namespace {

std::wstring StringId(UINT id)
{
    wchar_t text[256] = L"";
    LoadStringW(hInstance, id, text, 256);
    return text;
}

class Settings : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The least a site has: the data folder and the archive folder.
        key.SetString(L"DataPath", L"C:\\Data");
        key.SetString(L"", L"E:\\", L"Arj");
    }
    void TearDown() override
    {
        IsAdministrator = false;
        CurrentExitAction = ConfiguredExitAction = kExitNone;
    }

    BOOL Load()
    {
        SettingsRootScope root(key.Root(), key.Path());
        return LoadSettings();
    }

    // Loads expecting one message; returns it.
    PromptRecord LoadFails()
    {
        PromptScript script({IDOK});
        EXPECT_FALSE(Load());
        EXPECT_EQ(1u, script.Count());
        return script.Last();
    }

    apptest::TestKey key;
};

TEST_F(Settings, DefaultsWhenOnlyTheRequiredValuesExist)
{
    wcscpy(ServerName, L"stale");
    SpaceMin = SpaceArjStart = SpaceArjEnd = 1;
    MobilMode = 7;
    ASSERT_TRUE(Load());
    EXPECT_STREQ(L"\\\\.", ServerName);
    EXPECT_EQ(20u, SpaceMin);
    EXPECT_EQ(80u, SpaceArjStart);
    EXPECT_EQ(600u, SpaceArjEnd);
    EXPECT_EQ(0u, MobilMode);
    EXPECT_EQ(kExitNone, CurrentExitAction);
    EXPECT_EQ(kExitNone, ConfiguredExitAction);
    EXPECT_FALSE(ImportSettingsPresent);
    EXPECT_FALSE(DefaultModalitySet);
    EXPECT_STREQ(L"E:\\", ArchivePath);
}

TEST_F(Settings, TheDataPathGetsItsBackslashBeforeTheFoldersAreBuilt)
{
    ASSERT_TRUE(Load());
    EXPECT_STREQ(L"C:\\Data\\", DataPath);
    EXPECT_STREQ(L"C:\\Data\\Image\\", ImageFolder);
    EXPECT_STREQ(L"C:\\Data\\Icon\\", IconFolder);
    EXPECT_STREQ(L"C:\\Data\\Cfg\\", CfgFolder);
}

TEST_F(Settings, ADataPathWithItsBackslashKeepsOne)
{
    key.SetString(L"DataPath", L"D:\\Site\\");
    ASSERT_TRUE(Load());
    EXPECT_STREQ(L"D:\\Site\\", DataPath);
    EXPECT_STREQ(L"D:\\Site\\Image\\", ImageFolder);
}

TEST_F(Settings, CfgDirReplacesTheDefaultDescriptionFolder)
{
    key.SetString(L"CfgDir", L"F:\\Forms");
    ASSERT_TRUE(Load());
    EXPECT_STREQ(L"F:\\Forms\\", CfgFolder);
    key.SetString(L"CfgDir", L"");   // empty: the default again
    ASSERT_TRUE(Load());
    EXPECT_STREQ(L"C:\\Data\\Cfg\\", CfgFolder);
}

TEST_F(Settings, ThresholdsOfZeroTakeTheDefaults)
{
    key.SetDword(L"SpaceMin", 0, L"Arj");
    key.SetDword(L"SpaceArjStart", 100, L"Arj");
    key.SetDword(L"SpaceArjEnd", 0, L"Arj");
    ASSERT_TRUE(Load());
    EXPECT_EQ(20u, SpaceMin);
    EXPECT_EQ(100u, SpaceArjStart);
    EXPECT_EQ(600u, SpaceArjEnd);
}

TEST_F(Settings, ServerNameEmptyMeansNoDiskService)
{
    key.SetString(L"ServerName", L"");
    ASSERT_TRUE(Load());
    EXPECT_STREQ(L"", ServerName);
    key.SetString(L"ServerName", L"\\\\archive");
    ASSERT_TRUE(Load());
    EXPECT_STREQ(L"\\\\archive", ServerName);
}

TEST_F(Settings, OtherValuesAreRead)
{
    key.SetDword(L"Mobil", 1);
    key.SetDword(L"ID_Modality", 5, L"Modality");
    key.Sub(L"ImportSettings");
    ASSERT_TRUE(Load());
    EXPECT_EQ(1u, MobilMode);
    EXPECT_TRUE(DefaultModalitySet);
    EXPECT_EQ(5u, DefaultModality);
    EXPECT_TRUE(ImportSettingsPresent);
}

// "ExitFlag" takes only 1 and 8; anything else is no action.
TEST_F(Settings, ExitFlagValues)
{
    const struct {
        DWORD stored;
        DWORD expected;
    } cases[] = {{1, kExitShutdown}, {8, kExitPowerOff}, {0x80000000, kExitNone}, {2, kExitNone}, {0, kExitNone}};
    for (const auto& c : cases) {
        key.SetDword(L"ExitFlag", c.stored);
        ASSERT_TRUE(Load());
        EXPECT_EQ(c.expected, CurrentExitAction) << c.stored;
        EXPECT_EQ(c.expected, ConfiguredExitAction) << c.stored;
    }
    key.Delete(L"ExitFlag");
    ASSERT_TRUE(Load());
    EXPECT_EQ(kExitNone, CurrentExitAction);
}

TEST_F(Settings, AnAdministratorsExitLeavesWindowsRunning)
{
    key.SetDword(L"ExitFlag", 8);
    IsAdministrator = true;
    ASSERT_TRUE(Load());
    EXPECT_EQ(kExitNone, CurrentExitAction);
    EXPECT_EQ(kExitPowerOff, ConfiguredExitAction);
}

TEST_F(Settings, AMissingSettingsKey)
{
    PromptScript script({IDOK});
    SettingsRootScope missing(HKEY_CURRENT_USER, L"Software\\TobalFluoroTests\\missing");
    EXPECT_FALSE(LoadSettings());
    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(L"Software\\TobalFluoroTests\\missing", script.Last().text);
    EXPECT_EQ(StringId(IDS_REGISTRY_OPEN_ERROR), script.Last().caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONHAND | MB_SYSTEMMODAL), script.Last().flags);
}

TEST_F(Settings, AMissingArjKey)
{
    RegDeleteKeyTree(key.Key(), L"Arj");
    PromptRecord shown = LoadFails();
    EXPECT_EQ(L"Arj", shown.text);
    EXPECT_EQ(StringId(IDS_REGISTRY_OPEN_ERROR), shown.caption);
}

// The archive folder gets its separator where it is read: a folder without
// one, and a bare drive, which is its root only with it.
TEST_F(Settings, TheArchiveFolderGetsItsBackslashOnce)
{
    key.SetString(L"", L"E:\\Arj", L"Arj");
    ASSERT_TRUE(Load());
    EXPECT_STREQ(L"E:\\Arj\\", ArchivePath);
    key.SetString(L"", L"E:", L"Arj");
    ASSERT_TRUE(Load());
    EXPECT_STREQ(L"E:\\", ArchivePath);
    key.SetString(L"", L"\\\\mo\\disk\\", L"Arj");
    ASSERT_TRUE(Load());
    EXPECT_STREQ(L"\\\\mo\\disk\\", ArchivePath);
}

TEST_F(Settings, AnEmptyArchivePathNamesTheDefaultValue)
{
    key.SetString(L"", L"", L"Arj");
    PromptRecord shown = LoadFails();
    EXPECT_EQ(L"NULL\nString Is NULL", shown.text);
    EXPECT_EQ(StringId(IDS_REGISTRY_READ_ERROR), shown.caption);
}

TEST_F(Settings, AMissingDataPathShowsTheErrorNumberAndItsText)
{
    key.Delete(L"DataPath");
    PromptRecord shown = LoadFails();
    // "Error=" and the decimal code, not "2i".
    EXPECT_EQ(0u, shown.text.find(L"DataPath\nError=2\n")) << shown.text;
    EXPECT_GT(shown.text.size(), wcslen(L"DataPath\nError=2\n"));
    EXPECT_EQ(StringId(IDS_REGISTRY_READ_ERROR), shown.caption);
}

TEST_F(Settings, AnEmptyDataPath)
{
    key.SetString(L"DataPath", L"");
    EXPECT_EQ(L"DataPath\nString Is NULL", LoadFails().text);
}

TEST_F(Settings, AWrongValueType)
{
    key.SetString(L"ExitFlag", L"8");
    EXPECT_EQ(L"ExitFlag\nBad Parameter Type", LoadFails().text);
    key.SetDword(L"ExitFlag", 1);
    key.SetDword(L"DataPath", 1);
    EXPECT_EQ(L"DataPath\nBad Parameter Type", LoadFails().text);
}

// The longest data folder is the one whose "Image\" folder has 260
// characters; one character more is refused before anything is built on it.
TEST_F(Settings, ADataPathTooLongForItsFoldersIsRefused)
{
    const std::wstring longest = L"C:\\" + std::wstring(250, L'd');
    key.SetString(L"DataPath", longest);
    ASSERT_TRUE(Load());
    EXPECT_EQ(longest + L"\\Image\\", ImageFolder);
    EXPECT_EQ(260u, wcslen(ImageFolder));
    key.SetString(L"DataPath", longest + L"d");   // fits, "Image\" does not
    std::wstring text = LoadFails().text;
    EXPECT_EQ(0u, text.find(L"DataPath\nError=206\n")) << text;
}

TEST_F(Settings, RestartReadsEverySettingAgain)
{
    key.SetDword(L"ExitFlag", 1);
    ASSERT_TRUE(Load());
    EXPECT_EQ(kExitShutdown, CurrentExitAction);
    key.SetDword(L"ExitFlag", 8);
    key.SetString(L"DataPath", L"G:\\Other");
    ASSERT_TRUE(Load());
    EXPECT_EQ(kExitPowerOff, CurrentExitAction);
    EXPECT_STREQ(L"G:\\Other\\Image\\", ImageFolder);
}

TEST_F(Settings, TheListViewFontIsTakenOnlyFromA92ByteBinaryValue)
{
    LOGFONTW before = ControlLogFont;
    LOGFONTW font = {};
    font.lfHeight = -17;
    font.lfWeight = 700;
    wcscpy(font.lfFaceName, L"DejaVu Sans");
    BYTE wrong[91] = {};
    key.SetRaw(L"Font", REG_BINARY, wrong, sizeof wrong, L"ListView");
    ASSERT_TRUE(Load());
    EXPECT_EQ(before.lfHeight, ControlLogFont.lfHeight);
    ASSERT_TRUE(RegWriteLogFont(font, key.Sub(L"ListView"), L"Font"));
    ASSERT_TRUE(Load());
    EXPECT_EQ(-17, ControlLogFont.lfHeight);
    EXPECT_EQ(700, ControlLogFont.lfWeight);
    EXPECT_STREQ(L"DejaVu Sans", ControlLogFont.lfFaceName);
    ControlLogFont = before;
}

TEST_F(Settings, TheStatusFontIsMadeOnlyFromAValidValue)
{
    if (StatusFont) {
        DeleteObject(StatusFont);
        StatusFont = nullptr;
    }
    ASSERT_TRUE(Load());
    EXPECT_EQ(nullptr, StatusFont);
    LOGFONTW font = {};
    font.lfHeight = -12;
    wcscpy(font.lfFaceName, L"DejaVu Sans");
    ASSERT_TRUE(RegWriteLogFont(font, key.Sub(L"StatusFont"), L"Font"));
    ASSERT_TRUE(Load());
    ASSERT_NE(nullptr, StatusFont);
    LOGFONTW made = {};
    GetObjectW(StatusFont, sizeof made, &made);
    EXPECT_EQ(-12, made.lfHeight);
    DeleteObject(StatusFont);
    StatusFont = nullptr;
}

}  // namespace
