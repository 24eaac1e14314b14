// The dialogs "Reports", "Fonts" and "Print Header Settings": what each reads
// and writes in the registry, run as the menus run them, with the open-file,
// font and editor steps answered by the test.
#include "print_fixture.h"

#include "app/inputtext.h"
#include "common/prompt_script.h"
#include "common/window_harness.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/registry.h"
#include "app/reghelpers.h"
#include "printing/configdialogs.h"
#include "printing/printfonts.h"
#include "resources/resource.h"
#include "ui/control_font.h"

#include <commctrl.h>

#include <string>
#include <vector>

using namespace printtest;

namespace {

std::wstring gChosenFile;   // what the open-file step answers; empty: cancel
std::vector<std::wstring> gEdited;

bool FakeChooser(HWND, const wchar_t*, wchar_t* path)
{
    if (gChosenFile.empty())
        return false;
    wcscpy(path, gChosenFile.c_str());
    return true;
}

bool FakeEditor(const wchar_t* commandLine)
{
    gEdited.push_back(commandLine);
    return true;
}

std::wstring ReadString(HKEY key, const wchar_t* name)
{
    wchar_t text[600];
    DWORD size = sizeof text - 2, type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS)
        return L"<missing>";
    text[size / 2] = 0;
    return text;
}

std::vector<std::wstring> Rows(HWND dialog)
{
    std::vector<std::wstring> rows;
    HWND list = GetDlgItem(dialog, IDC_REPORT_LIST);
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        rows.push_back(ListViewText(list, i, 0) + L"=" + ListViewText(list, i, 1));
    }
    return rows;
}

void SelectRow(HWND dialog, int row)
{
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendDlgItemMessageW(dialog, IDC_REPORT_LIST, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

class ReportsDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        previousChooser_ = SetReportFileChooser(FakeChooser);
        previousEditor_ = SetFileEditor(FakeEditor);
        gChosenFile.clear();
        gEdited.clear();
        wcscpy(CfgFolder, L"C:\\site\\Cfg\\");
    }
    void TearDown() override
    {
        SetReportFileChooser(previousChooser_);
        SetFileEditor(previousEditor_);
        CfgFolder[0] = 0;
    }
    void Store(const wchar_t* name, const wchar_t* file)
    {
        HKEY key = settings.Open(L"PrintReport");
        RegSetStringN(key, name, file, static_cast<int>(wcslen(file)));
        RegCloseKey(key);
    }
    std::wstring Stored(const wchar_t* name)
    {
        HKEY key = settings.Open(L"PrintReport");
        std::wstring text = ReadString(key, name);
        RegCloseKey(key);
        return text;
    }
    PrivateSettings settings;
    InputClasses classes;
    ReportFileChooser previousChooser_ = nullptr;
    FileEditor previousEditor_ = nullptr;
};

}  // namespace

TEST_F(ReportsDialog, OpeningWithoutTheKeyCreatesItAndShowsNothing)
{
    std::vector<std::wstring> rows = {L"not read"};
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        rows = Rows(dialog);
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    EXPECT_EQ(1, RunReportsDlg(nullptr));
    EXPECT_TRUE(rows.empty());
    HKEY key = settings.Open(L"PrintReport", false);
    EXPECT_NE(nullptr, key) << "the key was created";
    if (key)
        RegCloseKey(key);
}

TEST_F(ReportsDialog, AddStoresTheFileNameWithoutItsFolder)
{
    Store(L"Day list", L"day.cfg");
    gChosenFile = L"C:\\site\\Cfg\\month.cfg";
    std::vector<std::wstring> before, after;
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        before = Rows(dialog);
        ClickButton(dialog, IDOK);
        return true;
    });
    driver.Then(InpTextWnd::kClassName, [&](HWND input) { return AnswerInputText(input, L"Month list"); });
    driver.Then(L"#32770", [&](HWND dialog) {
        after = Rows(dialog);
        if (after.size() < 2)
            return false;
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    EXPECT_EQ(1, RunReportsDlg(nullptr));
    EXPECT_EQ(std::vector<std::wstring>({L"Day list=day.cfg"}), before);
    EXPECT_EQ(std::vector<std::wstring>({L"Day list=day.cfg", L"Month list=month.cfg"}), after);
    EXPECT_EQ(L"month.cfg", Stored(L"Month list"));
}

TEST_F(ReportsDialog, AddWithTheNameOfAReportAsksBeforeReplacingIt)
{
    Store(L"Day list", L"day.cfg");
    gChosenFile = L"C:\\elsewhere\\other.cfg";
    PromptScript prompts({IDNO, IDYES});
    std::vector<std::wstring> afterNo, afterYes;
    ModalDriver driver;
    for (int round = 0; round < 2; ++round) {
        driver.Then(L"#32770", [&, round](HWND dialog) {
            if (prompts.Count() != static_cast<size_t>(round))
                return false;
            if (round == 1)
                afterNo = Rows(dialog);
            ClickButton(dialog, IDOK);
            return true;
        });
        driver.Then(InpTextWnd::kClassName, [&](HWND input) { return AnswerInputText(input, L"Day list"); });
    }
    driver.Then(L"#32770", [&](HWND dialog) {
        if (prompts.Count() != 2)
            return false;
        afterYes = Rows(dialog);
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    EXPECT_EQ(1, RunReportsDlg(nullptr));
    ASSERT_EQ(2u, prompts.Count());
    EXPECT_NE(std::wstring::npos, prompts.Prompts()[0].text.find(L"Day list"));
    EXPECT_EQ(UINT(MB_YESNO), prompts.Prompts()[0].flags & MB_TYPEMASK);
    EXPECT_EQ(std::vector<std::wstring>({L"Day list=day.cfg"}), afterNo);
    EXPECT_EQ(std::vector<std::wstring>({L"Day list=other.cfg"}), afterYes);
    EXPECT_EQ(L"other.cfg", Stored(L"Day list"));
}

TEST_F(ReportsDialog, RenameKeepsTheFileAndDeleteAsksNothing)
{
    Store(L"Old name", L"old.cfg");
    Store(L"Second", L"second.cfg");
    PromptScript prompts;
    std::vector<std::wstring> renamed, deleted;
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        SelectRow(dialog, 0);
        ClickButton(dialog, IDC_REPORT_EDIT_NAME);
        return true;
    });
    driver.Then(InpTextWnd::kClassName, [&](HWND input) { return AnswerInputText(input, L"New name"); });
    driver.Then(L"#32770", [&](HWND dialog) {
        renamed = Rows(dialog);
        if (renamed.empty() || renamed[0] != L"New name=old.cfg")
            return false;
        SelectRow(dialog, 1);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_REPORT_DELETE, BN_CLICKED), 0);
        deleted = Rows(dialog);
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    EXPECT_EQ(1, RunReportsDlg(nullptr));
    EXPECT_EQ(0u, prompts.Count());
    EXPECT_EQ(std::vector<std::wstring>({L"New name=old.cfg"}), deleted);
    EXPECT_EQ(L"<missing>", Stored(L"Old name"));
    EXPECT_EQ(L"old.cfg", Stored(L"New name"));
    EXPECT_EQ(L"<missing>", Stored(L"Second"));
}

TEST_F(ReportsDialog, EditOpensTheDescriptionInNotepadAndEditFileNameChangesIt)
{
    Store(L"Day list", L"day.cfg");
    gChosenFile = L"C:\\site\\Cfg\\week.cfg";
    std::vector<std::wstring> rows;
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        // Nothing selected: nothing happens.
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_REPORT_EDIT, BN_CLICKED), 0);
        SelectRow(dialog, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_REPORT_EDIT, BN_CLICKED), 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_REPORT_EDIT_FILE_NAME, BN_CLICKED), 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_REPORT_EDIT_ANY_FILE, BN_CLICKED), 0);
        rows = Rows(dialog);
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    EXPECT_EQ(1, RunReportsDlg(nullptr));
    ASSERT_EQ(2u, gEdited.size());
    EXPECT_EQ(L"notepad.exe \"C:\\site\\Cfg\\day.cfg\"", gEdited[0]);
    EXPECT_EQ(L"notepad.exe \"C:\\site\\Cfg\\week.cfg\"", gEdited[1]);
    EXPECT_EQ(std::vector<std::wstring>({L"Day list=week.cfg"}), rows);
    EXPECT_EQ(L"week.cfg", Stored(L"Day list"));
}

TEST(ReportEditor, StartsTheCommandLineAndFailsQuietly)
{
    EXPECT_FALSE(EditReportFile(L"no-such-program-here.exe \"x.cfg\""));
    EXPECT_TRUE(EditReportFile(L"cmd.exe /c exit"));
}

// ---- Fonts -------------------------------------------------------------------------

namespace {

LONG gChosenHeight = 0;
bool FakeFont(HWND, LOGFONTW& font)
{
    font.lfHeight = gChosenHeight;
    wcscpy(font.lfFaceName, L"DejaVu Sans");
    return true;
}

}  // namespace

TEST(FontsDialog, ListsEightEntriesAndSetStoresThePrintFont)
{
    PrivateSettings settings;
    FreePrintFonts();
    HKEY key = settings.Open(L"Printer");
    LOGFONTW start = {};
    start.lfHeight = -16;
    wcscpy(start.lfFaceName, L"DejaVu Sans");
    RegWriteLogFont(start, key, L"Font2");
    RegCloseKey(key);
    LoadPrintFonts();
    ASSERT_NE(nullptr, Font2.Handle());
    FontChooser previous = SetFontChooser(FakeFont);
    gChosenHeight = -40;
    std::vector<std::wstring> entries;
    std::vector<LRESULT> numbers;
    int selected = -1;
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_FONT_LIST);
        for (int i = 0; i < SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) {
            wchar_t text[100];
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            entries.push_back(text);
            numbers.push_back(SendMessageW(list, LB_GETITEMDATA, i, 0));
        }
        selected = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
        SendMessageW(list, LB_SETCURSEL, 7, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    EXPECT_EQ(0, RunFontsDlg(nullptr));
    SetFontChooser(previous);
    EXPECT_EQ(std::vector<std::wstring>({L"List", L"List header", L"Button", L"Tool Tip", L"Status",
                                         L"Patient Info Window", L"Print headers", L"Print base"}),
              entries);
    EXPECT_EQ(std::vector<LRESULT>({1, 2, 3, 4, 5, 6, 7, 8}), numbers);
    EXPECT_EQ(0, selected);
    key = settings.Open(L"Printer");
    LOGFONTW stored = {};
    ASSERT_TRUE(RegReadLogFont(stored, key, L"Font2"));
    RegCloseKey(key);
    EXPECT_EQ(-40, stored.lfHeight) << "stored in display pixels";
    // The next print uses the new base font without a restart.
    LOGFONTW created = {};
    GetObjectW(Font2.Handle(), sizeof created, &created);
    LONG expected = -40;
    DisplayPixelsToHiMetric(expected);
    EXPECT_EQ(expected, created.lfHeight);
    FreePrintFonts();
}

TEST(FontsDialog, ScreenFontIsStoredAndBroadcast)
{
    PrivateSettings settings;
    harness::HostWindow host(100, 100);
    std::wstring told;
    LONG toldHeight = 0;
    host.SetHook([&](HWND, UINT message, WPARAM wParam, LPARAM, bool& handled) -> LRESULT {
        if (message == WM_FONTCHANGED_APP) {
            const FontChangeNotice* notice = reinterpret_cast<const FontChangeNotice*>(wParam);
            told = notice->name;
            toldHeight = notice->font.lfHeight;
            handled = true;
        }
        return 0;
    });
    FontChooser previous = SetFontChooser(FakeFont);
    gChosenHeight = -19;
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        SendDlgItemMessageW(dialog, IDC_FONT_LIST, LB_SETCURSEL, 2, 0);   // "Button"
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    RunFontsDlg(host.Hwnd());
    SetFontChooser(previous);
    EXPECT_EQ(L"Button", told);
    EXPECT_EQ(-19, toldHeight);
    HKEY key = settings.Open(L"Button");
    LOGFONTW stored = {};
    EXPECT_TRUE(RegReadLogFont(stored, key, L"Font"));
    EXPECT_EQ(-19, stored.lfHeight);
    RegCloseKey(key);
}

namespace {

bool FailingFont(HWND, LOGFONTW&)
{
    throw MsgExcept(IdOrText(L"No fonts to choose from"), IdOrText(L"Fonts"));
}

}  // namespace

// A failure inside a command is told over the dialog, which stays open for
// the next command.
TEST(FontsDialog, AFailureOfSetIsToldOverTheDialogWhichStaysOpen)
{
    PrivateSettings settings;
    FontChooser previous = SetFontChooser(FailingFont);
    PromptScript prompts({IDOK});
    HWND shown = nullptr;
    bool openAfter = false;
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        shown = dialog;
        SendDlgItemMessageW(dialog, IDC_FONT_LIST, LB_SETCURSEL, 7, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        openAfter = IsWindow(dialog) && IsWindowVisible(dialog);
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    EXPECT_EQ(0, RunFontsDlg(nullptr));
    SetFontChooser(previous);
    EXPECT_TRUE(driver.Done());
    EXPECT_TRUE(openAfter);
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(L"No fonts to choose from", prompts.Last().text);
    EXPECT_EQ(L"Fonts", prompts.Last().caption);
    EXPECT_EQ(shown, prompts.Last().owner);
}

// ---- Print Header Settings ----------------------------------------------------------

TEST(PrintHeaderDialog, ShowsTheFieldsAndSaveDeletesEmptiedOnes)
{
    PrivateSettings settings;
    HKEY key = settings.Open(L"Header");
    for (auto [name, text] : {std::pair<const wchar_t*, const wchar_t*>{L"Company1", L"City Clinic"},
                              {L"Company2", L"X-ray department"},
                              {L"Address", L"1 Main Street"},
                              {L"Phon", L"123-45-67"}})
        RegSetStringN(key, name, text, static_cast<int>(wcslen(text)));
    RegCloseKey(key);
    std::wstring company2, cabinet = L"not read";
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        wchar_t text[300];
        GetDlgItemTextW(dialog, IDC_HEADER_COMPANY2, text, 300);
        company2 = text;
        GetDlgItemTextW(dialog, IDC_HEADER_CABINET, text, 300);
        cabinet = text;
        SetDlgItemTextW(dialog, IDC_HEADER_COMPANY2, L"");
        SetDlgItemTextW(dialog, IDC_HEADER_CABINET, L"Room 12");
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_TRUE(IsWindowVisible(dialog)) << "Save keeps the dialog open";
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    RunPrintHeaderDlg(nullptr);
    EXPECT_EQ(L"X-ray department", company2);
    EXPECT_EQ(L"", cabinet);
    key = settings.Open(L"Header");
    EXPECT_EQ(L"City Clinic", ReadString(key, L"Company1"));
    EXPECT_EQ(L"<missing>", ReadString(key, L"Company2"));
    EXPECT_EQ(L"1 Main Street", ReadString(key, L"Address"));
    EXPECT_EQ(L"123-45-67", ReadString(key, L"Phon"));
    EXPECT_EQ(L"Room 12", ReadString(key, L"Cabinet"));
    RegCloseKey(key);
}
