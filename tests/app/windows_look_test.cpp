// The windows of a user's walk through the demo site, in English and in
// Russian, opened as the program opens them: the main patient window, the
// image panel, the image's description and its template window, the filter
// form, the patient card and the image strip window; and the shell's small
// windows. In each, every text its controls show is whole and in the running
// language (the site's description files in the site's language); with
// TF_SHOT_DIR set, a picture of each for people to look at.
#include "mainwnd_fixture.h"
#include "app_fixture.h"

#include "app/connectwnd.h"
#include "app/errmsgwnd.h"
#include "app/iconsbar.h"
#include "app/iconsnimok.h"
#include "app/iconstrip.h"
#include "app/inputtext.h"
#include "app/mainpatientwnd.h"
#include "app/notesnimok.h"
#include "app/progresswnd.h"
#include "app/stopwnd.h"
#include "common/menu_language.h"
#include "common/window_look.h"
#include "common/window_harness.h"
#include "forms/desccache.h"
#include "forms/filterwnd.h"
#include "forms/kartwnd.h"
#include "images/viewer/mainviewwnd.h"
#include "resources/strings.h"
#include "ui/listview.h"

#include <functional>
#include <string>

using namespace mainwndtest;

namespace {

int gLooked = 0;   // windows looked at

// The window's texts whole and in the running language, and its picture.
void LookAt(const wchar_t* name, HWND window, bool russian, const std::vector<HWND>& data = {})
{
    const std::string shown = harness::NarrowText(name);
    harness::Pump(50);   // what the window was sent shows first
    ASSERT_TRUE(window && IsWindowVisible(window)) << shown;
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    harness::Pump(20);
    ASSERT_TRUE(IsWindowVisible(window)) << shown << " closed while looked at";
    const std::wstring fault = harness::WindowTextFault(window, russian, data);
    EXPECT_EQ(L"", fault) << shown << ": " << harness::NarrowText(fault);
    harness::SaveWindowPicture(window, (std::wstring(name) + (russian ? L"_ru" : L"_en")).c_str());
    ++gLooked;
}

// What runs once a modal window of the walk is open, from a timer.
std::function<void()> gWhileOpen;

void CALLBACK RunWhileOpen(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    if (gWhileOpen)
        gWhileOpen();
}

bool IsRussian(LANGID language)
{
    return PRIMARYLANGID(language) == LANG_RUSSIAN;
}

std::string LanguageName(const ::testing::TestParamInfo<LANGID>& info)
{
    return IsRussian(info.param) ? "Russian" : "English";
}

const auto kBothLanguages =
    ::testing::Values(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));

class WindowsLook : public MainWndSite, public ::testing::WithParamInterface<LANGID> {
protected:
    void SetUp() override
    {
        russianSite_ = IsRussian(GetParam());
        MainWndSite::SetUp();
        // The English site reads the English description files.
        if (russianSite_)
            return;
        for (const wchar_t* cfg : {L"main.cfg", L"MainFilt.cfg", L"Patient.cfg"})
            ASSERT_TRUE(CopyFileW((std::wstring(TF_SITE_DIR) + L"cfg\\en\\" + cfg).c_str(),
                                  (folder_ + L"Cfg\\" + cfg).c_str(), FALSE));
    }
    void Look(const wchar_t* name, HWND window, const std::vector<HWND>& data = {})
    {
        LookAt(name, window, russianSite_, data);
    }
};

}  // namespace

TEST_P(WindowsLook, EveryWindowOfTheWalkShowsItsTextsWholeInTheRunningLanguage)
{
    harness::ThreadLanguage language(GetParam());
    gLooked = 0;
    IconSnimok::LoadSettings(nullptr);   // the cells' texts in the language, as at the program's start
    const DWORD patient = static_cast<DWORD>(patients_[0]);
    const std::vector<DWORD> images = MakeImages(patient, 2);
    ASSERT_EQ(2u, images.size());
    OpenWindow();
    MainPatientWindow& main = MainPatientWindow::Instance();
    const int row = ListRow(patient);
    ASSERT_GE(row, 0);
    main.GetList()->SelectItem(row);
    main.OnListRowChange(row);
    ASSERT_TRUE(harness::PumpUntil([&] { return main.GetStrip().IsLoaded() && main.GetStrip().RecordCount() == 2; },
                                   5000));
    Look(L"main", MainPatientWindow::GetHwnd(), {main.GetCaptionLine()});
    // The fixture closes the filter forms of the window's start; this one is looked at.
    KillTimer(nullptr, filterCloser_);
    filterCloser_ = 0;

    // The filter form and the patient card, as the main window opens them.
    {
        DbFilter filter;
        ASSERT_TRUE(filter.Load(DescCache::FormDescFor(L"MainFilt.cfg")));
        DbFiltFormWindow form;
        ASSERT_TRUE(form.Create(&filter, MainPatientWindow::GetHwnd()));
        Look(L"filter", form.GetHwnd());
    }
    DbKartWindow* card = CreateKartForm(L"Patient.cfg", MainPatientWindow::GetHwnd(), static_cast<LONG>(patient), 0);
    ASSERT_TRUE(card);
    Look(L"card", card->GetHwnd());
    DestroyKartForm(card);

    // The image strip window of the patient (modal: looked at from inside).
    ASSERT_TRUE(IconsBar::RegisterClass());
    gWhileOpen = [&] {
        HWND bar = harness::FindOwnWindow(IconsBar::kClassName);
        Look(L"strip", bar);
        PostMessageW(bar, WM_CLOSE, 0, 0);
    };
    SetTimer(nullptr, 0, 200, RunWhileOpen);
    IconsBar::Run(MainPatientWindow::GetHwnd(), patient, 16, 0, 0);
    gWhileOpen = nullptr;
    IconsBar::UnregisterClass();

    // The image in the panel, its description and the description's templates.
    const IconRecord* record = main.GetStrip().Record(0);
    ASSERT_TRUE(record);
    ASSERT_EQ(1, main.OpenImage(static_cast<DWORD>(record->key), record->fileName)) << "the image opens";
    MainViewWnd* panel = MainViewWnd::Instance();
    ASSERT_TRUE(panel && panel->GetActiveView());
    Look(L"viewer", panel->GetHandle());
    panel->Command(kButtonDescription, false);
    NoteSnimokWnd* note = dynamic_cast<NoteSnimokWnd*>(panel->GetActiveView()->Note());
    ASSERT_TRUE(note && note->GetHwnd());
    Look(L"note", note->GetHwnd());
    note->OpenTemplateEditor();
    Look(L"templates", note->Editor().GetHwnd());
    EXPECT_EQ(7, gLooked);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, WindowsLook, kBothLanguages, LanguageName);

using SmallWindowsLook = ::testing::TestWithParam<LANGID>;

// The shell's small windows (the error list, the progress and busy windows,
// the connect wait window, the stop window and the text input window), in
// each language: their texts whole and in the running language.
TEST_P(SmallWindowsLook, TheirTextsAreWholeInTheRunningLanguage)
{
    const bool russian = IsRussian(GetParam());
    harness::ThreadLanguage language(GetParam());
    apptest::ShellClasses classes;
    harness::ScreenLock lock;
    ASSERT_TRUE(ErrMsgWindow::RegisterClass(hInstance));
    ASSERT_TRUE(RegisterProgressWnd(hInstance));
    ASSERT_TRUE(RegisterRunProgWnd(hInstance));
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const wchar_t* copying = russian ? L"Копирование" : L"Copying";
    gLooked = 0;
    {
        ErrMsgWindow errors;
        ASSERT_TRUE(errors.Create(nullptr));
        errors.AddMessage(russian ? L"Нет связи с сервером" : L"The server does not answer", -1);
        LookAt(L"errorlist", errors.GetHwnd(), russian);
        errors.Destroy();
        ProgressWnd progress;
        ProgressWndDesc desc = {nullptr, 200, 200, 300, 100, hInstance, ProgressWnd::kHasCancel, 0, 10, 3, copying,
                                nullptr};
        ASSERT_TRUE(progress.Create(desc));
        LookAt(L"progress", progress.GetHwnd(), russian);
        progress.Destroy();
        RunProgWnd busy;
        ASSERT_TRUE(busy.Create(nullptr, hInstance, copying, stop));
        LookAt(L"busy", busy.GetHwnd(), russian);
        busy.Destroy();
        ConnectWindow connect;
        ASSERT_TRUE(connect.Create(nullptr, hInstance, russian ? L"Подключение" : L"Connecting", stop));
        LookAt(L"connect", connect.GetHwnd(), russian);
        connect.Destroy();
        StopProcessWnd window;
        ASSERT_TRUE(window.Create(stop, copying, -1));
        LookAt(L"stop", window.GetHwnd(), russian);
    }
    gWhileOpen = [&] {
        HWND input = harness::FindOwnWindow(InpTextWnd::kClassName);
        LookAt(L"input", input, russian);
        DestroyWindow(input);   // the input ends as when cancelled
    };
    SetTimer(nullptr, 0, 200, RunWhileOpen);
    wchar_t buffer[32] = L"";
    InputText(nullptr, buffer, 32, IdOrText(IDS_ENTER_TEMPLATE_NAME), FALSE);
    gWhileOpen = nullptr;
    EXPECT_EQ(6, gLooked);
    CloseHandle(stop);
    UnregisterRunProgWnd(hInstance);
    UnregisterProgressWnd(hInstance);
    ErrMsgWindow::UnregisterClass(hInstance);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, SmallWindowsLook, kBothLanguages, LanguageName);
