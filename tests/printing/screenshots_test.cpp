// Each configuration dialog and window of printing in English and in
// Russian: its caption and every text in the running language, every control
// inside it, apart from the others and showing its whole text, and a picture
// of it (printing-<dialog>-<language>.bmp in $TF_SHOT_DIR or the build
// folder) to be looked at. The print-state and printer status windows show
// jobs of the scripted spooler.
#include "common/dialog_look.h"
#include "fake_spooler.h"
#include "print_fixture.h"

#include "common/dialog_look.h"
#include "common/window_harness.h"
#include "foundation/globals.h"
#include "printing/configdialogs.h"
#include "printing/jobstatus.h"
#include "printing/printerprofile.h"
#include "printing/printstatewnd.h"
#include "printing/statusprinterwnd.h"
#include "printing/snimokprintcfg.h"
#include "resources/resource.h"
#include "resources/strings.h"

#include <commctrl.h>
#include <winspool.h>

#include <functional>
#include <initializer_list>

using namespace printtest;

namespace {

using harness::ThreadLanguage;

std::wstring Text(unsigned id)
{
    wchar_t text[256];
    const int n = LoadStringW(hInstance, id, text, 256);
    return std::wstring(text, n > 0 ? n : 0);
}

std::wstring WindowText(HWND window)
{
    wchar_t text[256];
    GetWindowTextW(window, text, 256);
    return text;
}

struct Shot {
    const char* name;
    unsigned caption;
    std::vector<std::pair<int, unsigned>> texts;   // control, string
    std::function<void()> run;
    std::function<std::wstring(HWND)> fault = nullptr;   // what else the dialog may get wrong; empty: nothing
};

// Every text of the window in the running language, and its controls
// inside it, apart and showing their whole texts. The owner-drawn buttons
// keep their captions to themselves: each is read from the button, and its
// icon, caption and edges must fit its width.
void ExpectLooksRight(HWND window, LANGID lang, const char* name, std::initializer_list<DButton*> buttons)
{
    const bool russian = PRIMARYLANGID(lang) == LANG_RUSSIAN;
    const std::wstring foreign = harness::TextNotInLanguage(window, russian);
    EXPECT_EQ(L"", foreign) << name << ": \"" << Narrow(foreign) << "\" is not in the running language";
    const std::wstring fault = harness::LayoutFault(window);
    EXPECT_EQ(L"", fault) << name << ": " << Narrow(fault);
    for (DButton* button : buttons) {
        wchar_t caption[64] = L"";
        button->GetText(caption, 64);
        EXPECT_TRUE(harness::TextInLanguage(caption, russian))
            << name << ": \"" << Narrow(caption) << "\" is not in the running language";
        RECT client = {};
        GetClientRect(button->GetHwnd(), &client);
        EXPECT_LE(button->GetTextWidth() + IconSize + button->GetMargin(), client.right)
            << name << ": \"" << Narrow(caption) << "\" is clipped";
    }
}

void TakeShot(const Shot& shot, LANGID lang, const char* langName)
{
    ThreadLanguage language(lang);
    harness::ScreenLock lock;
    std::wstring caption, foreign = L"?", fault = L"?";
    std::vector<std::wstring> mismatches;
    bool saved = false;
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        caption = WindowText(dialog);
        for (const auto& [control, id] : shot.texts) {
            const std::wstring shown = WindowText(GetDlgItem(dialog, control));
            if (shown != Text(id))
                mismatches.push_back(std::to_wstring(control) + L": " + shown);
        }
        foreign = harness::TextNotInLanguage(dialog, PRIMARYLANGID(lang) == LANG_RUSSIAN);
        fault = harness::LayoutFault(dialog);
        if (fault.empty() && shot.fault)
            fault = shot.fault(dialog);
        std::wstring path = PictureFolder() + L"\\printing-";
        for (const char* c = shot.name; *c; ++c)
            path += static_cast<wchar_t>(*c);
        path += L"-";
        for (const char* c = langName; *c; ++c)
            path += static_cast<wchar_t>(*c);
        path += L".bmp";
        saved = SaveWindowBmp(dialog, path);
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    shot.run();
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(Text(shot.caption), caption) << shot.name << " " << langName;
    EXPECT_TRUE(mismatches.empty()) << shot.name << " " << langName << ": " << mismatches.size()
                                    << " texts not in the running language";
    EXPECT_EQ(L"", foreign) << shot.name << " " << langName << ": \"" << Narrow(foreign)
                            << "\" is not in the running language";
    EXPECT_EQ(L"", fault) << shot.name << " " << langName << ": " << Narrow(fault);
    EXPECT_TRUE(saved);
}

class DialogPictures : public ::testing::TestWithParam<LANGID> {
protected:
    const char* LangName() const { return GetParam() == 0x419 ? "ru" : "en"; }
    PrivateSettings settings;
};

}  // namespace

TEST_P(DialogPictures, PrinterProfiles)
{
    PrinterProfileList list;
    PrinterProfilePtr profile;
    for (const wchar_t* name : {L"Laser A4", L"Reports, landscape"}) {
        profile = list.Add(name);
        profile->deviceName = L"PDF";
        profile->devMode.assign(sizeof(DEVMODEW), 0);
        reinterpret_cast<DEVMODEW*>(profile->devMode.data())->dmSize = sizeof(DEVMODEW);
        list.SaveProfile(*profile);
    }
    // And one saved halfway: listed, marked as unreadable.
    HKEY damaged = settings.Open(L"PrinterProfiles\\{0F0F0F0F-1111-2222-3333-444444444444}");
    RegSetValueExW(damaged, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"Old laser"), 20);
    RegCloseKey(damaged);
    Shot shot = {"profiles",
                 IDS_PROFILES_TITLE,
                 {{IDC_PROFILE_CHOOSE, IDS_PROFILE_CHOOSE},
                  {IDC_PROFILE_CHANGE, IDS_PROFILE_CHANGE},
                  {IDC_PROFILE_ADD, IDS_PROFILE_ADD},
                  {IDC_PROFILE_DELETE, IDS_DELETE},
                  {IDC_PROFILE_RENAME, IDS_PROFILE_RENAME},
                  {IDCANCEL, IDS_CLOSE}},
                 [&] { ChoosePrinterProfile(list, nullptr, &profile->guid, true); }};
    TakeShot(shot, GetParam(), LangName());
}

// A list view's cell whose text is wider than its column, or columns that
// leave the list's room unused while a text is cut; an empty text when none.
std::wstring CutCell(HWND list)
{
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int column = 0; column < 2; ++column) {
        const int width = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
        for (int row = 0; row < rows; ++row) {
            const std::wstring text = ListViewText(list, row, column);
            // The list view keeps about 6 pixels each side of a cell's text.
            const int need =
                static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text.c_str())));
            if (need + 12 > width)
                return L"the cell \"" + text + L"\" is cut: " + std::to_wstring(need) +
                       L" pixels of text in a column of " + std::to_wstring(width);
        }
    }
    RECT client = {};
    GetClientRect(list, &client);
    const int used = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0) +
                                      SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0));
    if (used > client.right + 1)
        return L"the columns are wider than the list";
    return std::wstring();
}

TEST_P(DialogPictures, Reports)
{
    // The site's reports in the running language, as the site sets them up.
    HKEY key = settings.Open(L"PrintReport");
    const bool russian = GetParam() == 0x419;
    const std::pair<const wchar_t*, const wchar_t*> reports[] = {
        {russian ? L"Пациенты со снимками за период" : L"Patients with images of the period", L"ImagesPeriod.cfg"},
        {russian ? L"Снимки за период" : L"Images of the period", L"ImagesList.cfg"}};
    for (const auto& [name, file] : reports)
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(file),
                       static_cast<DWORD>((wcslen(file) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    Shot shot = {"reports",
                 IDS_REPORTS_TITLE,
                 {{IDOK, IDS_PROFILE_ADD},
                  {IDC_REPORT_DELETE, IDS_DELETE},
                  {IDC_REPORT_EDIT_FILE_NAME, IDS_REPORT_EDIT_FILE_NAME},
                  {IDC_REPORT_EDIT_NAME, IDS_REPORT_EDIT_NAME},
                  {IDC_REPORT_EDIT, IDS_REPORT_EDIT},
                  {IDC_REPORT_EDIT_ANY_FILE, IDS_REPORT_EDIT_ANY_FILE},
                  {IDCANCEL, IDS_CLOSE}},
                 [] { RunReportsDlg(nullptr); },
                 [](HWND dialog) { return CutCell(GetDlgItem(dialog, IDC_REPORT_LIST)); }};
    TakeShot(shot, GetParam(), LangName());
}

TEST_P(DialogPictures, Fonts)
{
    Shot shot = {"fonts", IDS_FONTS, {{IDOK, IDS_FONT_SET}, {IDCANCEL, IDS_CLOSE}}, [] { RunFontsDlg(nullptr); }};
    TakeShot(shot, GetParam(), LangName());
}

TEST_P(DialogPictures, PrintHeader)
{
    Shot shot = {"header",
                 IDS_HEADER_TITLE,
                 {{IDC_HEADER_LABEL_COMPANY1, IDS_HEADER_COMPANY1},
                  {IDC_HEADER_LABEL_COMPANY2, IDS_HEADER_COMPANY2},
                  {IDC_HEADER_LABEL_ADDRESS, IDS_HEADER_ADDRESS},
                  {IDC_HEADER_LABEL_PHONE, IDS_HEADER_PHONE},
                  {IDC_HEADER_LABEL_CABINET, IDS_HEADER_CABINET},
                  {IDOK, IDS_SAVE},
                  {IDCANCEL, IDS_CLOSE}},
                 [] { RunPrintHeaderDlg(nullptr); }};
    TakeShot(shot, GetParam(), LangName());
}

TEST_P(DialogPictures, PicturePrintSettings)
{
    SnimokPrintCfg cfg = {};
    SetDefaultSnimokPrintCfg(cfg);
    Shot shot = {"picture",
                 IDS_PICTURE_PRINT_TITLE,
                 {{IDC_PICTURE_GROUP_MARGINS, IDS_PICTURE_MARGINS},
                  {IDC_PICTURE_GROUP_BOX, IDS_PICTURE_BOX},
                  {IDC_PICTURE_GROUP_PARTS, IDS_PICTURE_PARTS},
                  {IDC_PICTURE_LABEL_LEFT, IDS_MARGIN_LEFT},
                  {IDC_PICTURE_LABEL_MIN_HEIGHT, IDS_PICTURE_MIN_HEIGHT},
                  {IDC_PICTURE_PRINT_HEADER, IDS_PRINT_PART_HEADER},
                  {IDC_PICTURE_PRINT_PATIENT, IDS_PATIENT_INFO},
                  {IDC_PICTURE_PRINT_NOTE, IDS_PRINT_PART_NOTE},
                  {IDOK, IDS_OK},
                  {3, IDS_SAVE},
                  {IDCANCEL, IDS_CLOSE}},
                 [&] { RunSnimokPrintCfgDlg(nullptr, cfg); }};
    TakeShot(shot, GetParam(), LangName());
}

std::wstring PicturePath(const char* name, const char* langName)
{
    std::wstring path = PictureFolder() + L"\\printing-";
    for (const char* c = name; *c; ++c)
        path += static_cast<wchar_t>(*c);
    path += L"-";
    for (const char* c = langName; *c; ++c)
        path += static_cast<wchar_t>(*c);
    return path + L".bmp";
}

TEST_P(DialogPictures, PrintStateWindow)
{
    ThreadLanguage language(GetParam());
    harness::ScreenLock lock;
    InputClasses classes;
    ASSERT_TRUE(DocPrintStateWnd::RegisterClass());
    FakeSpooler spooler;
    spooler.AddQueue(L"Laser A4");
    SpoolJob job;
    job.totalPages = 10;
    job.pagesPrinted = 4;
    job.size = 1000000;
    job.position = 1;
    job.status = JOB_STATUS_SPOOLING | JOB_STATUS_PRINTING;
    const DWORD id = spooler.QueueJob(L"Laser A4", job);
    {
        DocPrintStateWnd window;
        ASSERT_TRUE(window.Start(nullptr, GetParam() == 0x419 ? L"Пациенты со снимками за период"
                                                              : L"Patients with images of the period"));
        window.SetPrinterName(L"Laser A4");
        ASSERT_TRUE(window.WatchPrinter(id));
        window.SetStateText(IDS_PRINT_STATE_PRINTING);
        spooler.SetJobField(id, JOB_NOTIFY_FIELD_BYTES_PRINTED, 250000);
        ASSERT_TRUE(harness::PumpUntil([&] { return window.Read().bytesPrinted == 250000; }, 5000));
        const UINT labels[5] = {IDS_PRINT_STATE_PRINTER, IDS_PRINT_STATE_STATUS, IDS_PRINT_STATE_POSITION,
                                IDS_PRINT_STATE_PAGES, IDS_PRINT_STATE_PRINTED};
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(Text(labels[i]), window.Label(i)) << LangName();
        EXPECT_EQ(Text(IDS_PRINT_STATE_PRINTING), window.Read().state);
        EXPECT_EQ(JobStatusText(0x18), window.Read().status);
        wchar_t caption[64] = L"";
        window.CancelButton().GetText(caption, 64);
        EXPECT_EQ(Text(IDS_CANCEL), caption);
        RECT frame;
        GetWindowRect(window.GetHwnd(), &frame);
        EXPECT_GE(frame.left, 0);
        EXPECT_LE(frame.right, 1280);
        EXPECT_LE(frame.bottom, 1024);
        EXPECT_TRUE(harness::Repainted(window.GetHwnd()));
        ExpectLooksRight(window.GetHwnd(), GetParam(), "printstate", {&window.CancelButton()});
        EXPECT_TRUE(SaveWindowBmp(window.GetHwnd(), PicturePath("printstate", LangName())));
        // The same print failed.
        ASSERT_TRUE(window.ShowFailure(Text(IDS_COLUMNS_CREATE_ERROR).c_str()));
        EXPECT_EQ(Text(IDS_PRINT_STATE_NOT_PRINTED), window.Read().outcome);
        EXPECT_TRUE(harness::Repainted(window.GetHwnd()));
        ExpectLooksRight(window.GetHwnd(), GetParam(), "printstate-failed", {&window.CancelButton()});
        EXPECT_TRUE(SaveWindowBmp(window.GetHwnd(), PicturePath("printstate-failed", LangName())));
        window.Stop();
    }
    DocPrintStateWnd::UnregisterClass();
}

TEST_P(DialogPictures, PrinterStatusWindow)
{
    ThreadLanguage language(GetParam());
    harness::ScreenLock lock;
    InputClasses classes;
    FakeSpooler spooler;
    spooler.AddQueue(L"Laser A4");
    spooler.AddQueue(L"PDF");
    const wchar_t* documents[3] = {L"Printing Picture", L"Patients with images of the period", L"Day list"};
    for (int i = 0; i < 3; ++i) {
        SpoolJob job;
        job.document = documents[i];
        job.user = L"radiology";
        job.totalPages = 3 - i;
        job.pagesPrinted = i == 0 ? 1 : 0;
        job.status = i == 0 ? JOB_STATUS_PRINTING : (i == 1 ? JOB_STATUS_PAUSED : 0);
        spooler.QueueJob(L"Laser A4", job);
    }
    ASSERT_TRUE(StatusPrinterWnd::RegisterClass());
    ShowStatusPrinterWnd(nullptr);
    StatusPrinterWnd& window = GetStatusPrinterWnd();
    ASSERT_TRUE(window.GetHwnd());
    for (int i = 0; i < StatusPrinterWnd::kColumns; ++i) {
        wchar_t header[64] = L"";
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT;
        column.pszText = header;
        column.cchTextMax = 64;
        SendMessageW(window.List(), LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
        EXPECT_EQ(Text(IDS_JOB_COLUMN_DOCUMENT + i), header) << LangName();
    }
    const std::pair<DButton*, unsigned> buttons[3] = {
        {&window.ExitButton(), IDS_EXIT}, {&window.DeleteButton(), IDS_DELETE_JOB},
        {&window.DeleteAllButton(), IDS_DELETE_ALL_JOBS}};
    for (const auto& [button, id] : buttons) {
        wchar_t caption[64] = L"";
        button->GetText(caption, 64);
        EXPECT_EQ(Text(id), caption);
    }
    EXPECT_EQ(Text(IDS_JOB_STATUS_PAUSED), window.CellText(1, 2));
    EXPECT_TRUE(harness::Repainted(window.GetHwnd()));
    ExpectLooksRight(window.GetHwnd(), GetParam(), "printerstatus",
                     {&window.ExitButton(), &window.DeleteButton(), &window.DeleteAllButton()});
    EXPECT_TRUE(SaveWindowBmp(window.GetHwnd(), PicturePath("printerstatus", LangName())));
    StatusPrinterWnd::UnregisterClass();
}

INSTANTIATE_TEST_SUITE_P(Languages, DialogPictures, ::testing::Values(LANGID(0x409), LANGID(0x419)),
                         [](const ::testing::TestParamInfo<LANGID>& info) {
                             return std::string(info.param == 0x419 ? "Russian" : "English");
                         });
