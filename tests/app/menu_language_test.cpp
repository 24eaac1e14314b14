// The texts the program's popup menus and its "not available" box show, in
// English and in Russian, each menu opened the way the user opens it on the
// main patient window and the image panel it shows: the window menu, the exit
// and service menus (all of their items, as an administrator of a mobile site
// sees them), the image cell's context and settings menus, the panel's
// layout, imaging modes, print and template menus, the image view's and the
// Profile window's zoom menus, and the plug-in and report menus. Every item
// is in the running language, with no text of the other script; the menus of
// names (templates, plug-ins, reports) show the site's own names and nothing
// else. (The filter form's kind menu: tests/forms/menu_language_test.cpp.)
#include "mainwnd_fixture.h"

#include "app_fixture.h"
#include "../common/dialog_look.h"
#include "../common/menu_language.h"
#include "../common/prompt_script.h"
#include "../common/settings_root.h"
#include "app/iconsnimok.h"
#include "app/iconstrip.h"
#include "app/mainmenus.h"
#include "app/mainpatientwnd.h"
#include "app/plugins.h"
#include "foundation/globals.h"
#include "images/viewer/mainviewwnd.h"
#include "images/viewer/profilewnd.h"
#include "images/viewer/snimokwnd.h"
#include "resources/strings.h"
#include "ui/button.h"
#include "ui/listview.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace mainwndtest;

namespace {

using harness::MenuFault;
using harness::NarrowText;

struct Language {
    LANGID id;
    bool russian;
};

class MenuLanguage : public MainWndSite, public ::testing::WithParamInterface<Language> {
protected:
    // The language is the program's from its start: the site, its settings
    // and every text loaded at start-up are in it.
    void SetUp() override
    {
        language_.reset(new harness::ThreadLanguage(GetParam().id));
        russianSite_ = GetParam().russian;
        MainWndSite::SetUp();
    }
    void TearDown() override
    {
        MainWndSite::TearDown();
        language_.reset();
    }

    bool Russian() const { return GetParam().russian; }

    void Check(const std::wstring& where, const std::wstring& text)
    {
        EXPECT_FALSE(text.empty() && where.find(L"separator") == std::wstring::npos) << NarrowText(where);
        EXPECT_TRUE(harness::MenuTextInLanguage(text, Russian()) || text.empty())
            << NarrowText(where) << ": " << NarrowText(text);
    }

    // The texts of menu `m`, sorted.
    static std::vector<std::wstring> SortedTexts(size_t m)
    {
        std::vector<std::wstring> texts;
        for (const TrackedItem& item : MenuScript::Seen()[m])
            texts.push_back(item.text);
        std::sort(texts.begin(), texts.end());
        return texts;
    }

    static void Click(HWND window, int x = 5, int y = 5)
    {
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
    static void RightClick(HWND window, WPARAM keys = 0, int x = 5, int y = 5)
    {
        SendMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON | keys, MAKELPARAM(x, y));
        SendMessageW(window, WM_RBUTTONUP, keys, MAKELPARAM(x, y));
    }

    std::unique_ptr<harness::ThreadLanguage> language_;
};

TEST_P(MenuLanguage, EveryMenuItemAndTheNotAvailableBoxSpeakTheRunningLanguage)
{
    IsAdministrator = true;
    MobilMode = 1;
    OpenWindow();

    // The window menu holds "Version" alone.
    {
        HMENU system = GetSystemMenu(MainPatientWindow::GetHwnd(), FALSE);
        ASSERT_EQ(1, GetMenuItemCount(system));
        wchar_t text[64] = {};
        GetMenuStringW(system, 0, text, 64, MF_BYPOSITION);
        Check(L"window menu item", text);
    }

    // The exit menu, as the Exit button's right click tracks it.
    {
        MenuScript menus;
        RightClick(MainPatientWindow::Instance().GetButton(kRowExit)->GetHwnd());
        ASSERT_EQ(1, menus.Count());
        ASSERT_EQ(5u, menus.Last().size());
        for (const TrackedItem& item : menus.Last())
            Check(L"exit menu item " + std::to_wstring(item.id), item.text);
    }

    // The service menu, opened as the list's right click opens it.
    {
        MenuScript menus;
        ShowServiceMenu(MainPatientWindow::GetHwnd(), 10, 10, 0);
        ASSERT_EQ(1, menus.Count());
        ASSERT_EQ(14u, menus.Last().size());
        for (const TrackedItem& item : menus.Last())
            Check(item.id ? L"service menu item " + std::to_wstring(item.id) : L"service menu separator", item.text);
    }

    // Commands still to come say so, under a caption of their own and with
    // the information icon: the DICOM queue and the fonts.
    for (int command : {kServiceDicomStatus, kServiceFonts}) {
        MenuScript menus(command);
        PromptScript prompts({IDOK});
        ShowServiceMenu(MainPatientWindow::GetHwnd(), 10, 10, 0);
        ASSERT_EQ(1u, prompts.Count()) << command;
        const PromptRecord& box = prompts.Last();
        Check(L"not-available text", box.text);
        ASSERT_TRUE(box.hasCaption) << command;
        Check(L"not-available caption", box.caption);
        EXPECT_NE(L"Error", box.caption);
        EXPECT_EQ(UINT(MB_ICONINFORMATION), box.flags & MB_ICONMASK);
    }
}

// The cell's context menu in each of its forms (an image on the hard disk,
// an archived one, the move under way) and its settings menu (Shift with the
// right button), every text of both in the running language.
TEST_P(MenuLanguage, TheImageCellsMenusSpeakTheRunningLanguage)
{
    using namespace IconCellCommand;
    IsAdministrator = true;
    const DWORD patient = static_cast<DWORD>(patients_[0]);
    IconStrip& strip = ChoosePatientWithImages(patient, 2);
    ASSERT_EQ(2, strip.RecordCount());
    // The older image went to the archive disk.
    ASSERT_TRUE(Exec(L"UPDATE Snimok SET Disk=0 WHERE Snimok=" + std::to_wstring(strip.Record(1)->key) + L";"));
    strip.Reload();
    Pump(30);
    ASSERT_EQ(kIconStateArchived, strip.Record(1)->state);

    MenuScript menus;
    MenuScript::Answers() = {0, 0, static_cast<int>(kMove), static_cast<int>(kCancelMove), 0};
    RightClick(strip.Row(0)->hwnd, 0, 50, 100);
    RightClick(strip.Row(1)->hwnd, 0, 50, 100);
    RightClick(strip.Row(0)->hwnd, 0, 50, 100);   // Move Picture
    RightClick(strip.Row(1)->hwnd, 0, 50, 100);   // Paste, Cancel Move: cancelled
    RightClick(strip.Row(0)->hwnd, MK_SHIFT, 50, 100);
    ASSERT_EQ(5, menus.Count());
    EXPECT_EQ((std::vector<UINT>{kDescription, kDelete, kMove, 0, kExport, kImport}), menus.Ids(0));
    EXPECT_EQ((std::vector<UINT>{kDescription, kRestore, kDelete, kMove, 0, kImport}), menus.Ids(1));
    EXPECT_EQ((std::vector<UINT>{kMove, kCancelMove, kDescription, kRestore, kDelete, 0, kImport}), menus.Ids(3));
    EXPECT_EQ(10u, menus.Seen()[4].size()) << "font, date format, four colours, four state captions";
    const char* names[] = {"context menu", "archived image's context menu", "context menu (moving)",
                           "context menu (pasting)", "settings menu"};
    for (int m = 0; m < 5; ++m)
        EXPECT_EQ("", MenuFault(menus.Seen()[m], Russian(), names[m]));
    IconSnimok::CancelMove();
}

// The image panel the cell opens: the layout menu (pictures only), the
// imaging modes (an administrator's, with the reduced picture's "restore"),
// the print menu, the template menu of the description's right click (the
// site's templates), the view's zoom menu and the Profile window's.
TEST_P(MenuLanguage, TheImagePanelsMenusSpeakTheRunningLanguage)
{
    IsAdministrator = true;
    const DWORD patient = static_cast<DWORD>(patients_[0]);
    IconStrip& strip = ChoosePatientWithImages(patient, 1);
    ASSERT_EQ(1, strip.RecordCount());
    MenuScript menus;
    Click(strip.Row(0)->hwnd, 100, 120);
    MainViewWnd* panel = MainViewWnd::Instance();
    ASSERT_TRUE(panel && panel->IsShown());
    SnimokWnd* view = panel->GetActiveView();
    ASSERT_TRUE(view && view->GetSnimok().Get());
    ASSERT_EQ(0, menus.Count());

    Click(panel->GetButton(kButtonWindows)->GetHwnd());
    ASSERT_EQ(1, menus.Count());
    EXPECT_EQ((std::vector<UINT>{1, 2, 3, 0, 5, 6, 0, 8, 9}), menus.LastIds()) << "seven layouts, two separators";
    EXPECT_EQ("", MenuFault(menus.Last(), Russian(), "layout menu", true));

    MenuScript::Answers() = {22};   // reduced by 2: the next menu offers the original size again
    Click(panel->GetButton(kButtonModes)->GetHwnd());
    Click(panel->GetButton(kButtonModes)->GetHwnd());
    ASSERT_EQ(3, menus.Count());
    EXPECT_EQ(15u, menus.Seen()[1].size());
    EXPECT_EQ(20u, menus.Seen()[2][7].id) << "restore original size";
    EXPECT_EQ("", MenuFault(menus.Seen()[1], Russian(), "imaging modes"));
    EXPECT_EQ("", MenuFault(menus.Seen()[2], Russian(), "imaging modes of a reduced picture"));

    RightClick(panel->GetButton(kButtonPrint)->GetHwnd());
    ASSERT_EQ(4, menus.Count());
    EXPECT_EQ(2u, menus.Last().size());
    EXPECT_EQ("", MenuFault(menus.Last(), Russian(), "print menu"));

    RightClick(panel->GetButton(kButtonDescription)->GetHwnd());
    ASSERT_EQ(5, menus.Count());
    EXPECT_EQ(static_cast<size_t>(Count(L"DiagHelp")), menus.Last().size()) << "every template of the site";
    EXPECT_EQ("", MenuFault(menus.Last(), Russian(), "template menu"));

    RightClick(view->GetHwnd(), 0, 20, 30);
    ASSERT_EQ(6, menus.Count());
    EXPECT_EQ(8u, menus.Last().size()) << "five zooms (400% for an administrator) and three fits";
    EXPECT_EQ("", MenuFault(menus.Last(), Russian(), "view's zoom menu"));

    // The Profile button, then a line drawn on the picture opens the Profile
    // window; its graph's right click offers its zooms.
    Click(panel->GetButton(kButtonProfile)->GetHwnd());
    ASSERT_EQ(kToolProfile, GetPanelMode());
    SendMessageW(view->GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(view->GetHwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 40));
    SendMessageW(view->GetHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(60, 40));
    ASSERT_TRUE(view->Profile().Exists());
    Pump(20);
    const RECT graph = view->Profile().GraphRect();
    RightClick(view->Profile().GetHwnd(), 0, graph.left + 5, graph.top + 5);
    ASSERT_EQ(7, menus.Count());
    EXPECT_EQ(5u, menus.Last().size());
    EXPECT_EQ("", MenuFault(menus.Last(), Russian(), "Profile window's zoom menu"));
    view->Profile().Destroy();
}

// The plug-in menu of the Plugins button and the report menu of the Print
// button list the site's names as they are stored, and nothing else.
TEST_P(MenuLanguage, ThePlugInAndReportMenusShowTheSitesNamesAlone)
{
    apptest::TestKey key;
    SettingsRootScope root(key.Root(), key.Path());
    const std::vector<std::wstring> plugins =
        Russian() ? std::vector<std::wstring>{L"Дозиметр", L"Просмотр снимков"}
                  : std::vector<std::wstring>{L"Dose meter", L"Picture viewer"};
    const std::vector<std::wstring> reports =
        Russian() ? std::vector<std::wstring>{L"Пациенты за день", L"Снимки за период"}
                  : std::vector<std::wstring>{L"Patients of the day", L"Images of a period"};
    for (const std::wstring& name : plugins)
        key.Sub((L"Plugins\\" + name).c_str());
    for (const std::wstring& name : reports)
        key.SetString(name.c_str(), L"Report.cfg", L"PrintReport");
    gPluginList.Clear();
    LoadPlugins();
    IsAdministrator = true;
    OpenWindow();
    DButton* pluginButton = MainPatientWindow::Instance().GetButton(kRowPlugins);
    ASSERT_TRUE(pluginButton) << "two plug-ins are offered";

    MenuScript menus;
    Click(pluginButton->GetHwnd());
    Click(MainPatientWindow::Instance().GetButton(kRowPrint)->GetHwnd());
    ASSERT_EQ(2, menus.Count());
    for (int m = 0; m < 2; ++m) {
        std::vector<std::wstring> stored = m == 0 ? plugins : reports;
        std::sort(stored.begin(), stored.end());
        EXPECT_EQ(stored, SortedTexts(static_cast<size_t>(m))) << (m == 0 ? "plug-in menu" : "report menu");
        EXPECT_EQ("", MenuFault(menus.Seen()[m], Russian(), m == 0 ? "plug-in menu" : "report menu"));
    }
    gPluginList.Clear();
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, MenuLanguage,
                         ::testing::Values(Language{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), false},
                                           Language{MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), true}),
                         [](const ::testing::TestParamInfo<Language>& info) {
                             return info.param.russian ? std::string("Russian") : std::string("English");
                         });

}  // namespace
