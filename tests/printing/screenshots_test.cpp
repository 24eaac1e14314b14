// Each configuration dialog of printing in English and in Russian: its
// caption and every text in the running language, and a picture of it
// (printing-<dialog>-<language>.bmp in $TF_SHOT_DIR or the build folder) to
// be looked at.
#include "print_fixture.h"

#include "common/window_harness.h"
#include "foundation/globals.h"
#include "printing/configdialogs.h"
#include "printing/printerprofile.h"
#include "printing/snimokprintcfg.h"
#include "resources/resource.h"
#include "resources/strings.h"

#include <functional>

using namespace printtest;

namespace {

// Puts the thread in a language (the UI language and the thread locale,
// which Wine's resource loader follows) for the test, and back.
class ThreadLanguage {
public:
    explicit ThreadLanguage(LANGID lang) : ui_(GetThreadUILanguage()), locale_(GetThreadLocale())
    {
        SetThreadUILanguage(lang);
        SetThreadLocale(MAKELCID(lang, SORT_DEFAULT));
    }
    ~ThreadLanguage()
    {
        SetThreadLocale(locale_);
        SetThreadUILanguage(ui_);
    }

private:
    LANGID ui_;
    LCID locale_;
};

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
};

void TakeShot(const Shot& shot, LANGID lang, const char* langName)
{
    ThreadLanguage language(lang);
    harness::ScreenLock lock;
    std::wstring caption;
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
        std::wstring path = PictureFolder() + L"\\printing-";
        for (const char* c = shot.name; *c; ++c)
            path += static_cast<wchar_t>(*c);
        path += L"-";
        for (const char* c = langName; *c; ++c)
            path += static_cast<wchar_t>(*c);
        path += L".bmp";
        saved = SaveWindowPicture(dialog, path);
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    shot.run();
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(Text(shot.caption), caption) << shot.name << " " << langName;
    EXPECT_TRUE(mismatches.empty()) << shot.name << " " << langName << ": " << mismatches.size()
                                    << " texts not in the running language";
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

TEST_P(DialogPictures, Reports)
{
    HKEY key = settings.Open(L"PrintReport");
    RegSetValueExW(key, L"Day list", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"day.cfg"), 16);
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
                 [] { RunReportsDlg(nullptr); }};
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

INSTANTIATE_TEST_SUITE_P(Languages, DialogPictures, ::testing::Values(LANGID(0x409), LANGID(0x419)),
                         [](const ::testing::TestParamInfo<LANGID>& info) {
                             return std::string(info.param == 0x419 ? "Russian" : "English");
                         });
