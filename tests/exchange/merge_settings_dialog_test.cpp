// The merge settings dialog: the stored path and file name shown in the
// running language, Save writing both, an empty path removing only the two
// values (the merge's column settings stay), a missing file name asked for
// with the dialog left open, Cancel.
#include "common/dialog_look.h"
#include "merge_fixture.h"

#include "common/prompt_script.h"
#include "common/window_harness.h"
#include "exchange/merge/importsettingsdlg.h"
#include "resources/resource.h"

#include <functional>

using namespace mergetest;

namespace {

std::function<void(HWND)> gWhileOpen;

void CALLBACK WhileOpen(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND dialog = harness::FindOwnWindow(L"#32770");
    if (!dialog || !IsWindowVisible(dialog))
        return;
    KillTimer(nullptr, id);
    auto f = gWhileOpen;
    gWhileOpen = nullptr;
    if (f)
        f(dialog);
}

std::wstring Text(HWND dialog, int id)
{
    wchar_t text[400] = {};
    if (id == 0)
        GetWindowTextW(dialog, text, 400);
    else
        GetDlgItemTextW(dialog, id, text, 400);
    return text;
}

void Press(HWND dialog, int id)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

class MergeSettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings.SetString(L"ImportSettings", L"DBPath", L"E:\\Other\\Data");
        settings.SetString(L"ImportSettings", L"DBFile", L"other.mdf");
        settings.SetDword(L"ImportSettings\\Patient\\Name1", L"CType", 130);
        settings.SetString(L"ImportSettings\\FormatPatient", L"formatstring", L"%1");
        settings.SetDword(L"ImportSettings\\Snimok\\Scale", L"CType", 4);
    }
    INT_PTR Run(std::function<void(HWND)> f)
    {
        gWhileOpen = f;
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, &WhileOpen);
        const INT_PTR result = ImportSettingsDlg(owner.Hwnd());
        KillTimer(nullptr, timer);
        EXPECT_FALSE(gWhileOpen) << "the dialog was never seen";
        return result;
    }

    harness::HostWindow owner{400, 300, 0, 0};
    SettingsRootKey settings;
};

using UiLanguage = harness::ThreadLanguage;

TEST_F(MergeSettingsDialogTest, ShowsTheStoredValuesInEnglish)
{
    UiLanguage english(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    EXPECT_EQ(2, Run([](HWND dialog) {
                  EXPECT_EQ(L"Merge database settings", Text(dialog, 0));
                  EXPECT_EQ(L"Database path", Text(dialog, IDC_IMPORT_PATH_LABEL));
                  EXPECT_EQ(L"Database name", Text(dialog, IDC_IMPORT_FILE_LABEL));
                  EXPECT_EQ(L"Set", Text(dialog, IDC_IMPORT_PATH_SET));
                  EXPECT_EQ(L"Save", Text(dialog, IDOK));
                  EXPECT_EQ(L"Cancel", Text(dialog, IDCANCEL));
                  EXPECT_EQ(L"E:\\Other\\Data", Text(dialog, IDC_IMPORT_PATH));
                  EXPECT_EQ(L"other.mdf", Text(dialog, IDC_IMPORT_FILE));
                  EXPECT_EQ(260, SendItemMessage(dialog, IDC_IMPORT_PATH, EM_GETLIMITTEXT, 0, 0));
                  EXPECT_EQ(260, SendItemMessage(dialog, IDC_IMPORT_FILE, EM_GETLIMITTEXT, 0, 0));
                  EXPECT_EQ(0, SendItemMessage(dialog, 4242, WM_GETTEXTLENGTH, 0, 0)) << "no such control";
                  Press(dialog, IDC_IMPORT_PATH_SET);   // nothing to pick
                  EXPECT_TRUE(IsWindow(dialog));
                  harness::ScreenShot(L"merge_settings_en");
                  Press(dialog, IDCANCEL);
              }));
}

TEST_F(MergeSettingsDialogTest, ShowsTheStoredValuesInRussian)
{
    UiLanguage russian(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
    EXPECT_EQ(2, Run([](HWND dialog) {
                  EXPECT_EQ(L"Настройка импорта базы данных", Text(dialog, 0));
                  EXPECT_EQ(L"Путь к базе данных", Text(dialog, IDC_IMPORT_PATH_LABEL));
                  EXPECT_EQ(L"Имя базы данных", Text(dialog, IDC_IMPORT_FILE_LABEL));
                  EXPECT_EQ(L"Указать", Text(dialog, IDC_IMPORT_FILE_SET));
                  EXPECT_EQ(L"Сохранить", Text(dialog, IDOK));
                  EXPECT_EQ(L"Выход", Text(dialog, IDCANCEL));
                  harness::ScreenShot(L"merge_settings_ru");
                  Press(dialog, IDCANCEL);
              }));
}

TEST_F(MergeSettingsDialogTest, SaveWritesThePathAndTheFileName)
{
    EXPECT_EQ(1, Run([](HWND dialog) {
                  SetDlgItemTextW(dialog, IDC_IMPORT_PATH, L"F:\\Ward2\\Data");
                  SetDlgItemTextW(dialog, IDC_IMPORT_FILE, L"ward2.mdf");
                  Press(dialog, IDOK);
              }));
    EXPECT_EQ(L"F:\\Ward2\\Data", settings.String(L"ImportSettings", L"DBPath"));
    EXPECT_EQ(L"ward2.mdf", settings.String(L"ImportSettings", L"DBFile"));
}

TEST_F(MergeSettingsDialogTest, AnEmptyPathRemovesTheTwoValuesButKeepsTheMergeConfiguration)
{
    EXPECT_EQ(1, Run([](HWND dialog) {
                  SetDlgItemTextW(dialog, IDC_IMPORT_PATH, L"");
                  Press(dialog, IDOK);
              }));
    EXPECT_EQ(L"<none>", settings.String(L"ImportSettings", L"DBPath"));
    EXPECT_EQ(L"<none>", settings.String(L"ImportSettings", L"DBFile"));
    EXPECT_TRUE(settings.Exists(L"ImportSettings\\Patient\\Name1"));
    EXPECT_TRUE(settings.Exists(L"ImportSettings\\Snimok\\Scale"));
    EXPECT_EQ(L"%1", settings.String(L"ImportSettings\\FormatPatient", L"formatstring"));
}

TEST_F(MergeSettingsDialogTest, APathWithoutAFileNameIsAskedForAndTheDialogStays)
{
    PromptScript prompts({IDOK});
    EXPECT_EQ(2, Run([&](HWND dialog) {
                  SetDlgItemTextW(dialog, IDC_IMPORT_PATH, L"G:\\New");
                  SetDlgItemTextW(dialog, IDC_IMPORT_FILE, L"");
                  Press(dialog, IDOK);
                  ASSERT_EQ(1u, prompts.Count());
                  EXPECT_EQ(dialog, prompts.Last().owner);
                  EXPECT_TRUE(prompts.Last().text == L"Enter the file name" ||
                              prompts.Last().text == L"Введите имя файла");
                  EXPECT_TRUE(IsWindow(dialog)) << "still open";
                  Press(dialog, IDCANCEL);
              }));
    EXPECT_EQ(L"E:\\Other\\Data", settings.String(L"ImportSettings", L"DBPath")) << "nothing written";
}

TEST_F(MergeSettingsDialogTest, WithoutTheKeyTheFieldsStartEmptyAndSaveMakesIt)
{
    settings.DeleteTree(L"ImportSettings");
    EXPECT_EQ(1, Run([](HWND dialog) {
                  EXPECT_EQ(L"", Text(dialog, IDC_IMPORT_PATH));
                  EXPECT_EQ(L"", Text(dialog, IDC_IMPORT_FILE));
                  SetDlgItemTextW(dialog, IDC_IMPORT_PATH, L"H:\\Data");
                  SetDlgItemTextW(dialog, IDC_IMPORT_FILE, L"x.mdf");
                  Press(dialog, IDOK);
              }));
    EXPECT_EQ(L"H:\\Data", settings.String(L"ImportSettings", L"DBPath"));
}

}  // namespace
