// The picture print settings: the centimetre parser, the registry values and
// their defaults, and the dialog "Print Picture Settings".
#include "print_fixture.h"

#include "printing/snimokprintcfg.h"
#include "resources/resource.h"

#include <climits>

using namespace printtest;

namespace {

std::string Parse(const wchar_t* text)
{
    int value = -12345;
    if (!ParseCentimetres(text, &value))
        return value == -12345 ? "refused" : "refused but wrote";
    return std::to_string(value);
}

std::wstring Format(int value)
{
    wchar_t text[32];
    FormatCentimetres(value, text, 32);
    return text;
}

}  // namespace

TEST(Centimetres, DigitsAndUpToThreeDecimals)
{
    EXPECT_EQ("2250", Parse(L"2.25"));
    EXPECT_EQ("2500", Parse(L"2.5"));
    EXPECT_EQ("500", Parse(L".5"));
    EXPECT_EQ("3000", Parse(L"3."));
    EXPECT_EQ("1234", Parse(L"1.234"));
    EXPECT_EQ("0", Parse(L"0"));
    EXPECT_EQ("40", Parse(L"0.04"));
    EXPECT_EQ("6000", Parse(L"6"));
}

TEST(Centimetres, AnythingElseIsRefused)
{
    EXPECT_EQ("refused", Parse(L""));
    EXPECT_EQ("refused", Parse(L"2.1234"));
    EXPECT_EQ("refused", Parse(L"-1"));
    EXPECT_EQ("refused", Parse(L"+1"));
    EXPECT_EQ("refused", Parse(L"."));
    EXPECT_EQ("refused", Parse(L"1,5"));
    EXPECT_EQ("refused", Parse(L" 1"));
    EXPECT_EQ("refused", Parse(L"1 "));
    EXPECT_EQ("refused", Parse(L"1.2.3"));
    EXPECT_EQ("refused", Parse(L"2cm"));
    EXPECT_FALSE(ParseCentimetres(nullptr, nullptr));
}

TEST(Centimetres, ValuesBeyondALengthAreRefused)
{
    // 2147483.647 cm is the largest length of 32 bits.
    EXPECT_EQ(std::to_string(INT_MAX), Parse(L"2147483.647"));
    EXPECT_EQ("refused", Parse(L"2147483.648"));
    EXPECT_EQ("refused", Parse(L"2147484"));
    EXPECT_EQ("refused", Parse(L"99999999999999999999"));
    EXPECT_EQ("refused", Parse(L"4294967.296"));
}

TEST(Centimetres, ShownAsTheyReadBack)
{
    EXPECT_EQ(L"2.25", Format(2250));
    EXPECT_EQ(L"0.5", Format(500));
    EXPECT_EQ(L"6", Format(6000));
    EXPECT_EQ(L"0", Format(0));
    EXPECT_EQ(L"1.001", Format(1001));
    EXPECT_EQ(L"-1.5", Format(-1500));
    EXPECT_EQ(L"1234.567", Format(1234567));
    for (int value : {1, 10, 999, 1000, 123456789, INT_MAX}) {
        int back = -1;
        ASSERT_TRUE(ParseCentimetres(Format(value).c_str(), &back)) << value;
        EXPECT_EQ(value, back);
    }
}

TEST(PicturePrintSettings, MissingKeyGivesTheDefaults)
{
    PrivateSettings settings;
    SnimokPrintCfg cfg = {};
    cfg.leftField = 7;
    LoadSnimokPrintCfg(cfg);
    EXPECT_EQ(1000, cfg.leftField);
    EXPECT_EQ(1000, cfg.rightField);
    EXPECT_EQ(1000, cfg.topField);
    EXPECT_EQ(1000, cfg.bottomField);
    EXPECT_EQ(0, cfg.width);
    EXPECT_EQ(0, cfg.height);
    EXPECT_EQ(4000, cfg.minWidth);
    EXPECT_EQ(4000, cfg.minHeight);
    EXPECT_EQ(1, cfg.printHeader);
    EXPECT_EQ(1, cfg.printPatient);
    EXPECT_EQ(1, cfg.printNote);
    EXPECT_EQ(1, cfg.printSnimok);
}

TEST(PicturePrintSettings, SavedValuesLoadBackAndAMissingOneTakesItsDefault)
{
    PrivateSettings settings;
    SnimokPrintCfg cfg = {};
    SetDefaultSnimokPrintCfg(cfg);
    cfg.leftField = 2250;
    cfg.width = 15000;
    cfg.minHeight = 1234;
    cfg.printNote = 0;
    ASSERT_TRUE(SaveSnimokPrintCfg(cfg));
    HKEY key = settings.Open(L"SnimokPrintCfg", false);
    ASSERT_NE(nullptr, key);
    DWORD names = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &names, nullptr, nullptr, nullptr,
                     nullptr);
    EXPECT_EQ(12u, names);
    RegDeleteValueW(key, L"MinHeight");
    // A value of the wrong type is not read either.
    RegSetValueExW(key, L"TopField", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"5"), 4);
    RegCloseKey(key);
    SnimokPrintCfg back = {};
    LoadSnimokPrintCfg(back);
    EXPECT_EQ(2250, back.leftField);
    EXPECT_EQ(15000, back.width);
    EXPECT_EQ(0, back.printNote);
    EXPECT_EQ(4000, back.minHeight);
    EXPECT_EQ(1000, back.topField);
}

namespace {

std::wstring EditText(HWND dialog, int id)
{
    wchar_t text[64];
    GetDlgItemTextW(dialog, id, text, 64);
    return text;
}

}  // namespace

TEST(PicturePrintDialog, ShowsTheRecordAndOkStoresWhatWasTypedWithoutTheRegistry)
{
    PrivateSettings settings;
    SnimokPrintCfg cfg = {};
    SetDefaultSnimokPrintCfg(cfg);
    cfg.keyName = L"SnimokPrintCfg";
    cfg.leftField = 2250;
    cfg.printPatient = 0;
    std::wstring shownLeft, shownMinWidth, shownWidthAfter;
    bool patientChecked = true;
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        shownLeft = EditText(dialog, IDC_PICTURE_LEFT);
        shownMinWidth = EditText(dialog, IDC_PICTURE_MIN_WIDTH);
        patientChecked = IsDlgButtonChecked(dialog, IDC_PICTURE_PRINT_PATIENT) == BST_CHECKED;
        SetDlgItemTextW(dialog, IDC_PICTURE_LEFT, L"2.5");
        SetDlgItemTextW(dialog, IDC_PICTURE_WIDTH, L"5");
        SetDlgItemTextW(dialog, IDC_PICTURE_MIN_WIDTH, L"6");
        CheckDlgButton(dialog, IDC_PICTURE_PRINT_HEADER, BST_UNCHECKED);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        shownWidthAfter = EditText(dialog, IDC_PICTURE_WIDTH);
        return true;
    });
    EXPECT_TRUE(RunSnimokPrintCfgDlg(nullptr, cfg));
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(L"2.25", shownLeft);
    EXPECT_EQ(L"4", shownMinWidth);
    EXPECT_FALSE(patientChecked);
    // A width below the minimum is raised to it, and the edit shows it.
    EXPECT_EQ(L"6", shownWidthAfter);
    EXPECT_EQ(2500, cfg.leftField);
    EXPECT_EQ(6000, cfg.width);
    EXPECT_EQ(6000, cfg.minWidth);
    EXPECT_EQ(0, cfg.printHeader);
    EXPECT_EQ(0, cfg.printPatient);
    // OK changed the record only.
    HKEY key = settings.Open(L"SnimokPrintCfg", false);
    EXPECT_EQ(nullptr, key);
    if (key)
        RegCloseKey(key);
}

TEST(PicturePrintDialog, BadTextKeepsTheDialogOpenWithTheFocusOnIt)
{
    PrivateSettings settings;
    SnimokPrintCfg cfg = {};
    SetDefaultSnimokPrintCfg(cfg);
    HWND focused = nullptr, badEdit = nullptr;
    bool stillOpen = false;
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        badEdit = GetDlgItem(dialog, IDC_PICTURE_TOP);
        SetDlgItemTextW(dialog, IDC_PICTURE_TOP, L"2.1234");
        SetDlgItemTextW(dialog, IDC_PICTURE_LEFT, L"3");
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        focused = GetFocus();
        stillOpen = IsWindow(dialog) && IsWindowVisible(dialog);
        SetDlgItemTextW(dialog, IDC_PICTURE_TOP, L"-1");
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(3, BN_CLICKED), 0);   // Save
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    EXPECT_FALSE(RunSnimokPrintCfgDlg(nullptr, cfg));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(badEdit, focused);
    // Nothing was read: not even the good left margin.
    EXPECT_EQ(1000, cfg.leftField);
    EXPECT_EQ(1000, cfg.topField);
}

TEST(PicturePrintDialog, SaveWritesTheRegistryAndCloseKeepsWhatSaveRead)
{
    PrivateSettings settings;
    SnimokPrintCfg cfg = {};
    SetDefaultSnimokPrintCfg(cfg);
    cfg.keyName = L"SnimokPrintCfg";
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        SetDlgItemTextW(dialog, IDC_PICTURE_BOTTOM, L"1.5");
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(3, BN_CLICKED), 0);   // Save
        SetDlgItemTextW(dialog, IDC_PICTURE_BOTTOM, L"9");
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    EXPECT_FALSE(RunSnimokPrintCfgDlg(nullptr, cfg));
    EXPECT_EQ(1500, cfg.bottomField);
    SnimokPrintCfg stored = {};
    LoadSnimokPrintCfg(stored);
    EXPECT_EQ(1500, stored.bottomField);
}
