// The picture preparation dialog in English and in Russian: one template,
// its caption and texts in the running language, nothing clipped; and, with
// TF_SHOT_DIR set, a picture of it for people to look at.
#include "images/viewer/mainviewwnd.h"

#include "common/dialog_look.h"
#include "common/window_harness.h"
#include "resources/resource.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Str(UINT id)
{
    wchar_t text[256] = {};
    const int n = LoadStringW(nullptr, id, text, 256);
    return std::wstring(text, n > 0 ? n : 0);
}

std::wstring TextOf(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

class PrepareDialogLook : public ::testing::TestWithParam<LANGID> {};

}  // namespace

TEST_P(PrepareDialogLook, EveryTextIsInTheRunningLanguageAndFits)
{
    const bool russian = PRIMARYLANGID(GetParam()) == LANG_RUSSIAN;
    harness::ThreadLanguage language(GetParam());
    harness::ScreenLock screen;
    const PrepareSnimokSettings saved = PrepareSettings();
    PrepareSettings() = PrepareSnimokSettings{3, 1, 0};
    HWND dialog = CreatePrepareSnimokDlg(nullptr);
    ASSERT_TRUE(dialog);
    ShowWindow(dialog, SW_SHOWNOACTIVATE);
    harness::Pump(50);
    EXPECT_EQ(L"", harness::TextNotInLanguage(dialog, russian));
    EXPECT_EQ(L"", harness::LayoutFault(dialog));
    EXPECT_EQ(Str(IDS_PREPARE_TITLE), TextOf(dialog));
    EXPECT_EQ(russian ? L"Параметры обработки снимков" : L"Processing Image Properties", TextOf(dialog));
    EXPECT_EQ(Str(IDS_PREPARE_AUTO), TextOf(GetDlgItem(dialog, IDC_PREPARE_AUTO)));
    EXPECT_EQ(Str(IDS_OK), TextOf(GetDlgItem(dialog, IDOK)));
    EXPECT_EQ(russian ? L"Отмена" : L"Cancel", TextOf(GetDlgItem(dialog, IDCANCEL)));
    // The combo box's levels come in the same language.
    wchar_t level[128] = {};
    SendDlgItemMessageW(dialog, IDC_PREPARE_FILTER, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(level));
    EXPECT_EQ(Str(IDS_DISABLE_FILTER), level);
    EXPECT_TRUE(harness::TextInLanguage(level, russian));
    harness::SaveWindowPicture(dialog, russian ? L"prepare_ru" : L"prepare_en");
    DestroyWindow(dialog);
    PrepareSettings() = saved;
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, PrepareDialogLook,
                         ::testing::Values(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                           MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)),
                         [](const ::testing::TestParamInfo<LANGID>& info) {
                             return PRIMARYLANGID(info.param) == LANG_RUSSIAN ? std::string("Russian")
                                                                              : std::string("English");
                         });
