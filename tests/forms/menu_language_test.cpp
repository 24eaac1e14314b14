// The filter form's kind menu in English and in Russian: opened by each
// row's kind button as the user clicks it, for every kind of field (text,
// number, yes/no, date, list), first from the rows' first kinds and then
// again after each row took the menu's first offer, so that every kind's
// caption is seen; every item and every kind button speaks the running
// language. (The menus of the program's other windows:
// tests/app/menu_language_test.cpp.)
#include "form_window_fixture.h"

#include "common/dialog_look.h"
#include "common/menu_language.h"
#include "forms/filterwnd.h"
#include "forms/formdesc.h"
#include "ui/button.h"

#include <memory>
#include <set>
#include <string>

namespace {

const wchar_t kFilterForm[] =
    L"form { caption = \"Find\" width = -500 height = -2 }\n"
    L"items {\n"
    L"  { \"Name\", \"Name1\", varchar(32) }\n"
    L"  { \"Small\", \"Small\", int8 }\n"
    L"  { \"Male\", \"Pol\", bool }\n"
    L"  { \"Born\", \"Birthday\", date }\n"
    L"  { \"Who\", \"Patient\", int32, reference { \"Patient\", \"Patient\", \"Name1\", char(32) } }\n"
    L"}\n";

constexpr size_t kRows = 5;

struct Language {
    LANGID id;
    bool russian;
};

class MenuLanguage : public FormWindowTest, public ::testing::WithParamInterface<Language> {
protected:
    void SetUp() override
    {
        language_.reset(new harness::ThreadLanguage(GetParam().id));
        FormWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        form_ = Form(L"find.cfg", kFilterForm);
        ASSERT_TRUE(filter_.Load(form_.get()));
        MenuScript::Install();
    }
    void TearDown() override
    {
        MenuScript::Remove();
        FormWindowTest::TearDown();
        language_.reset();
    }
    static std::wstring Caption(DButton& button)
    {
        wchar_t text[128] = {};
        button.GetText(text, 128);
        return text;
    }
    static void Click(DButton& button)
    {
        SendMessageW(button.GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        SendMessageW(button.GetHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    }

    std::unique_ptr<harness::ThreadLanguage> language_;
    std::unique_ptr<FormDesc> form_;
    DbFilter filter_;
};

TEST_P(MenuLanguage, TheFilterKindMenuSpeaksTheRunningLanguage)
{
    const bool russian = GetParam().russian;
    DbFiltFormWindow window;
    ASSERT_TRUE(window.Create(&filter_, nullptr));
    harness::Pump(20);
    ASSERT_EQ(kRows, window.OwnGroup().rows.size());
    std::set<std::wstring> captions;
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < kRows; ++i) {
            FilterRow* row = window.OwnGroup().rows[i].get();
            const std::wstring before = Caption(row->kindButton);
            EXPECT_TRUE(harness::MenuTextInLanguage(before, russian))
                << "kind button of row " << i << ": " << harness::NarrowText(before);
            captions.insert(before);
            const int seen = MenuScript::Count();
            Click(row->kindButton);
            ASSERT_EQ(seen + 1, MenuScript::Count()) << "row " << i;
            const std::vector<TrackedItem> items = MenuScript::Last();
            EXPECT_EQ("", harness::MenuFault(items, russian, "kind menu of row " + std::to_string(i)));
            for (const TrackedItem& item : items)
                captions.insert(item.text);
            // The first pass ends with each row on the menu's first offer, so
            // that the second shows the kinds the rows started with.
            if (pass == 0 && !items.empty()) {
                MenuScript::Answers() = {static_cast<int>(items[0].id)};
                Click(row->kindButton);
                EXPECT_EQ(static_cast<int>(items[0].id), row->condition->kind) << "row " << i;
                MenuScript::Seen().pop_back();
            }
        }
    }
    // Equal, Substring, Like, Less, More, Between, Empty, Not Empty, Now and
    // the yes/no field's "not used".
    EXPECT_EQ(10u, captions.size());
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, MenuLanguage,
                         ::testing::Values(Language{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), false},
                                           Language{MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), true}),
                         [](const ::testing::TestParamInfo<Language>& info) {
                             return info.param.russian ? std::string("Russian") : std::string("English");
                         });

}  // namespace
