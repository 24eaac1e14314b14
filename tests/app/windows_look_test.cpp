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

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

class WindowsLook : public MainWndSite, public ::testing::WithParamInterface<LANGID> {
protected:
    void SetUp() override
    {
        russianSite_ = Russian();
        MainWndSite::SetUp();
        // The English site reads the English description files.
        if (Russian())
            return;
        for (const wchar_t* cfg : {L"main.cfg", L"MainFilt.cfg", L"Patient.cfg"})
            ASSERT_TRUE(CopyFileW((std::wstring(TF_SITE_DIR) + L"cfg\\en\\" + cfg).c_str(),
                                  (folder_ + L"Cfg\\" + cfg).c_str(), FALSE));
    }
    bool Russian() const { return PRIMARYLANGID(GetParam()) == LANG_RUSSIAN; }

    // The window's texts whole and in the running language, and its picture.
    void Look(const wchar_t* name, HWND window, const std::vector<HWND>& data = {})
    {
        ASSERT_TRUE(window && IsWindowVisible(window)) << Narrow(name);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Pump(20);
        ASSERT_TRUE(IsWindowVisible(window)) << Narrow(name) << " closed while looked at";
        const std::wstring fault = harness::WindowTextFault(window, Russian(), data);
        EXPECT_EQ(L"", fault) << Narrow(name) << ": " << Narrow(fault);
        harness::SaveWindowPicture(window, (std::wstring(name) + (Russian() ? L"_ru" : L"_en")).c_str());
        ++looked_;
    }

    int looked_ = 0;
};

std::function<void()> gWhileOpen;

void CALLBACK RunWhileOpen(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    if (gWhileOpen)
        gWhileOpen();
}

}  // namespace

TEST_P(WindowsLook, EveryWindowOfTheWalkShowsItsTextsWholeInTheRunningLanguage)
{
    harness::ThreadLanguage language(GetParam());
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
    EXPECT_EQ(7, looked_);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, WindowsLook,
                         ::testing::Values(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                           MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)),
                         [](const ::testing::TestParamInfo<LANGID>& info) {
                             return PRIMARYLANGID(info.param) == LANG_RUSSIAN ? std::string("Russian")
                                                                              : std::string("English");
                         });

namespace {

using SmallWindowsLook = ::testing::TestWithParam<LANGID>;

void CALLBACK LookAtInput(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (!harness::FindOwnWindow(InpTextWnd::kClassName))
        return;
    KillTimer(nullptr, timer);
    if (gWhileOpen)
        gWhileOpen();
}

}  // namespace

// The shell's small windows (the error list, the progress and busy windows,
// the connect wait window, the stop window and the text input window), in
// each language: their texts whole and in the running language.
TEST_P(SmallWindowsLook, TheirTextsAreWholeInTheRunningLanguage)
{
    const bool russian = PRIMARYLANGID(GetParam()) == LANG_RUSSIAN;
    harness::ThreadLanguage language(GetParam());
    apptest::ShellClasses classes;
    harness::ScreenLock lock;
    ASSERT_TRUE(ErrMsgWindow::RegisterClass(hInstance));
    ASSERT_TRUE(RegisterProgressWnd(hInstance));
    ASSERT_TRUE(RegisterRunProgWnd(hInstance));
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto look = [&](const wchar_t* name, HWND window) {
        harness::Pump(50);
        ASSERT_TRUE(window && IsWindowVisible(window)) << Narrow(name);
        const std::wstring fault = harness::WindowTextFault(window, russian);
        EXPECT_EQ(L"", fault) << Narrow(name) << ": " << Narrow(fault);
        harness::SaveWindowPicture(window, (std::wstring(name) + (russian ? L"_ru" : L"_en")).c_str());
    };
    {
        ErrMsgWindow errors;
        ASSERT_TRUE(errors.Create(nullptr));
        errors.AddMessage(russian ? L"Нет связи с сервером" : L"The server does not answer", -1);
        look(L"errorlist", errors.GetHwnd());
        errors.Destroy();
    }
    {
        ProgressWnd progress;
        ProgressWndDesc desc = {nullptr, 200, 200, 300, 100, hInstance, ProgressWnd::kHasCancel, 0, 10, 3,
                                russian ? L"Копирование" : L"Copying", nullptr};
        ASSERT_TRUE(progress.Create(desc));
        look(L"progress", progress.GetHwnd());
        progress.Destroy();
    }
    {
        RunProgWnd busy;
        ASSERT_TRUE(busy.Create(nullptr, hInstance, russian ? L"Копирование" : L"Copying", stop));
        look(L"busy", busy.GetHwnd());
        busy.Destroy();
        ConnectWindow connect;
        ASSERT_TRUE(connect.Create(nullptr, hInstance, russian ? L"Подключение" : L"Connecting", stop));
        look(L"connect", connect.GetHwnd());
        connect.Destroy();
    }
    {
        StopProcessWnd window;
        ASSERT_TRUE(window.Create(stop, russian ? L"Копирование" : L"Copying", -1));
        look(L"stop", window.GetHwnd());
    }
    gWhileOpen = [&] {
        HWND input = harness::FindOwnWindow(InpTextWnd::kClassName);
        look(L"input", input);
        DestroyWindow(input);   // the input ends as when cancelled
    };
    SetTimer(nullptr, 0, 50, LookAtInput);
    wchar_t buffer[32] = L"";
    InputText(nullptr, buffer, 32, IdOrText(IDS_ENTER_TEMPLATE_NAME), FALSE);
    gWhileOpen = nullptr;
    CloseHandle(stop);
    UnregisterRunProgWnd(hInstance);
    UnregisterProgressWnd(hInstance);
    ErrMsgWindow::UnregisterClass(hInstance);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, SmallWindowsLook,
                         ::testing::Values(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                           MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)),
                         [](const ::testing::TestParamInfo<LANGID>& info) {
                             return PRIMARYLANGID(info.param) == LANG_RUSSIAN ? std::string("Russian")
                                                                              : std::string("English");
                         });
