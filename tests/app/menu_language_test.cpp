// The texts the main window's menus and its "not available" box show, in
// English and in Russian: every item of the exit and service menus (all of
// them, as an administrator of a mobile site sees them) and the box a command
// still to come shows are in the running language, with no text of the other
// script.
#include "common/dialog_look.h"
#include "mainwnd_fixture.h"

#include "../common/prompt_script.h"
#include "app/mainmenus.h"
#include "app/mainpatientwnd.h"
#include "foundation/globals.h"
#include "resources/strings.h"

#include <string>
#include <vector>

using namespace mainwndtest;

namespace {

using harness::ThreadLanguage;

bool IsCyrillic(wchar_t c) { return c >= 0x0400 && c <= 0x04FF; }
bool IsLatinLower(wchar_t c) { return c >= L'a' && c <= L'z'; }

// A text of the other script: in English any Cyrillic letter; in Russian a
// Latin word that is not an abbreviation ("DICOM", "MO" and "OK" are
// written so in both).
bool ForeignTo(bool russian, const std::wstring& text)
{
    for (wchar_t c : text)
        if (russian ? IsLatinLower(c) : IsCyrillic(c))
            return true;
    return false;
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

struct Language {
    LANGID id;
    bool russian;
};

class MenuLanguage : public MainWndSite, public ::testing::WithParamInterface<Language> {
protected:
    void Check(const std::wstring& where, const std::wstring& text)
    {
        EXPECT_FALSE(text.empty() && where.find(L"separator") == std::wstring::npos) << Narrow(where);
        EXPECT_FALSE(ForeignTo(GetParam().russian, text)) << Narrow(where) << ": " << Narrow(text);
        if (GetParam().russian) {
            bool cyrillic = false;
            for (wchar_t c : text)
                cyrillic = cyrillic || IsCyrillic(c);
            EXPECT_TRUE(cyrillic || text.empty()) << Narrow(where) << " is not Russian";
        }
    }
};

TEST_P(MenuLanguage, EveryMenuItemAndTheNotAvailableBoxSpeakTheRunningLanguage)
{
    ThreadLanguage language(GetParam().id);
    IsAdministrator = true;
    MobilMode = 1;
    OpenWindow();

    // The exit menu, as the Exit button tracks it.
    HMENU exitMenu = CreatePopupMenu();
    ASSERT_EQ(5, BuildExitMenu(exitMenu));
    for (int i = 0; i < GetMenuItemCount(exitMenu); ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(exitMenu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        Check(L"exit menu item " + std::to_wstring(i), text);
    }
    DestroyMenu(exitMenu);

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

INSTANTIATE_TEST_SUITE_P(BothLanguages, MenuLanguage,
                         ::testing::Values(Language{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), false},
                                           Language{MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), true}),
                         [](const ::testing::TestParamInfo<Language>& info) {
                             return info.param.russian ? std::string("Russian") : std::string("English");
                         });

}  // namespace
