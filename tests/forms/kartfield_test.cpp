// Card field values: typed texts, shown texts, input masks, defaults and the
// checks before a save.
#include "desc_test_util.h"

#include "forms/dbformdesc.h"
#include "forms/kartfield.h"
#include "foundation/applocale.h"
#include "foundation/datetime.h"

#include <memory>
#include <string>
#include <vector>

namespace {

class KartFieldTest : public DescTest {
protected:
    void SetUp() override
    {
        DescTest::SetUp();
        gAppLocale.SetLcid(0x409);
        SetDateTimeFormats(0x409);
    }
    void TearDown() override
    {
        for (KartField* f : fields_)
            KartField::Free(f);
        DescTest::TearDown();
    }
    // One field per item of the form, in order.
    std::vector<KartField*>& Fields(const std::wstring& items)
    {
        WriteCfg(L"f.cfg", L"table = \"t\" key = \"k\" items {" + items + L"}");
        form_.reset(new DbFormDesc);
        EXPECT_EQ(1, form_->Parse(L"f.cfg"));
        for (int i = 0; i < form_->Items().count; ++i)
            fields_.push_back(KartField::Create(form_.get(), form_->Items()[i]));
        return fields_;
    }
    KartField* One(const std::wstring& field) { return Fields(field).front(); }
    static std::wstring Shown(const KartField* f)
    {
        wchar_t text[128];
        int n = f->FormatText(text, 128);
        return n < 0 ? L"<none>" : std::wstring(text, n);
    }
    static int ErrorOf(KartField* f, const wchar_t* text)
    {
        try {
            f->ParseText(text);
        } catch (const KartError& e) {
            EXPECT_EQ(f, e.field);
            return e.code;
        }
        return -1;
    }

    std::unique_ptr<DbFormDesc> form_;
    std::vector<KartField*> fields_;
};

TEST_F(KartFieldTest, AnEmptyTextIsNullForEveryType)
{
    auto& f = Fields(L"{\"a\",\"a\",int8}{\"b\",\"b\",int16}{\"c\",\"c\",int32}{\"d\",\"d\",char(5)}"
                     L"{\"e\",\"e\",datetime}{\"f\",\"f\",date}{\"g\",\"g\",time}");
    for (KartField* field : f) {
        field->SetWord(1);
        field->ParseText(L"");
        EXPECT_TRUE(field->IsNull()) << field->desc->caption;
        EXPECT_EQ(L"", Shown(field));
    }
}

TEST_F(KartFieldTest, IntegersAreSignedDecimalWithinTheirColumn)
{
    auto& f = Fields(L"{\"a\",\"a\",int8}{\"b\",\"b\",int16 unsigned}{\"c\",\"c\",int32}{\"d\",\"d\",int32 unsigned}");
    EXPECT_EQ(-1, ErrorOf(f[2], L"-5"));
    EXPECT_EQ(L"-5", Shown(f[2]));
    EXPECT_EQ(4, f[2]->length);
    EXPECT_EQ(-1, ErrorOf(f[2], L"+17"));
    EXPECT_EQ(L"17", Shown(f[2]));
    EXPECT_EQ(kKartErrorFormat, ErrorOf(f[2], L"12a"));
    EXPECT_EQ(kKartErrorFormat, ErrorOf(f[2], L"-"));
    EXPECT_EQ(kKartErrorFormat, ErrorOf(f[2], L" 1"));
    EXPECT_EQ(-1, ErrorOf(f[2], L"-2147483648"));
    EXPECT_EQ(kKartErrorFormat, ErrorOf(f[2], L"2147483648"));
    EXPECT_EQ(kKartErrorFormat, ErrorOf(f[2], L"99999999999999999999"));
    EXPECT_EQ(-1, ErrorOf(f[0], L"-128"));
    EXPECT_EQ(kKartErrorFormat, ErrorOf(f[0], L"300"));   // would not fit its column
    EXPECT_EQ(-1, ErrorOf(f[1], L"65535"));
    EXPECT_EQ(L"65535", Shown(f[1]));
    EXPECT_EQ(kKartErrorFormat, ErrorOf(f[1], L"-1"));
    EXPECT_EQ(-1, ErrorOf(f[3], L"4294967295"));
    EXPECT_EQ(L"4294967295", Shown(f[3]));
}

TEST_F(KartFieldTest, AnIntegerFormatIsUsedOnlyWhenItIsAnIntegerPicture)
{
    auto& f = Fields(L"{\"a\",\"a\",int32, format \"No. %05d\"}{\"b\",\"b\",int32, format \"%s%s\"}"
                     L"{\"c\",\"c\",int32, format \"%d %d\"}");
    for (KartField* field : f)
        field->SetWord(42);
    EXPECT_EQ(L"No. 00042", Shown(f[0]));
    EXPECT_EQ(L"42", Shown(f[1]));
    EXPECT_EQ(L"42", Shown(f[2]));
}

TEST_F(KartFieldTest, TextsAreCutToTheirSize)
{
    KartField* f = One(L"{\"a\",\"a\",char(4)}");
    f->ParseText(L"abcdef");
    EXPECT_EQ(8, f->length);
    EXPECT_EQ(L"abcd", Shown(f));
}

TEST_F(KartFieldTest, DatesAndTimesAreParsedAndShownWithThePictures)
{
    auto& f = Fields(L"{\"a\",\"a\",datetime}{\"b\",\"b\",date}{\"c\",\"c\",time}{\"d\",\"d\",date, format \"yyyy-MM-dd\"}");
    EXPECT_EQ(-1, ErrorOf(f[0], L"3/4/2021 13:14:15"));
    EXPECT_EQ(L"03/04/2021 13:14:15", Shown(f[0]));
    EXPECT_EQ(kKartErrorFormat, ErrorOf(f[0], L"3/4/2021"));   // the time is required
    EXPECT_EQ(-1, ErrorOf(f[1], L"29/2/2024"));
    EXPECT_EQ(L"29/02/2024", Shown(f[1]));
    EXPECT_EQ(kKartErrorFormat, ErrorOf(f[1], L"29/2/2023"));
    EXPECT_EQ(-1, ErrorOf(f[2], L"7:05:09"));
    EXPECT_EQ(L"07:05:09", Shown(f[2]));
    SYSTEMTIME st;
    FileTimeToSystemTime(&f[2]->Time(), &st);
    EXPECT_EQ(kTimeValueYear, st.wYear);
    EXPECT_EQ(kTimeValueDay, st.wDay);
    EXPECT_EQ(kKartErrorFormat, ErrorOf(f[2], L"7:05"));
    EXPECT_EQ(-1, ErrorOf(f[3], L"5/6/2007"));
    EXPECT_EQ(L"2007-06-05", Shown(f[3]));
}

TEST_F(KartFieldTest, MaskMatchesFixesLetterCase)
{
    wchar_t text[16];
    wcscpy(text, L"ab12");
    EXPECT_TRUE(MaskMatches(text, L"AA00", 4, 4));
    EXPECT_STREQ(L"AB12", text);
    wcscpy(text, L"XY");
    EXPECT_TRUE(MaskMatches(text, L"aa", 2, 2));
    EXPECT_STREQ(L"xy", text);
    wcscpy(text, L"ab1");
    EXPECT_FALSE(MaskMatches(text, L"AA00", 3, 4));
    wcscpy(text, L"ab123");
    EXPECT_FALSE(MaskMatches(text, L"AA00", 5, 4));
    wcscpy(text, L"a112");
    EXPECT_FALSE(MaskMatches(text, L"AA00", 4, 4));
    wcscpy(text, L"q-anything 1");
    EXPECT_TRUE(MaskMatches(text, L"A*", 12, 2));
    wcscpy(text, L"1abc");
    EXPECT_FALSE(MaskMatches(text, L"A*", 4, 2));
    wcscpy(text, L"a#");
    EXPECT_TRUE(MaskMatches(text, L"__", 2, 2));
    wcscpy(text, L"ab");
    EXPECT_FALSE(MaskMatches(text, L"A-", 2, 2));
    wcscpy(text, L"жд");
    EXPECT_TRUE(MaskMatches(text, L"AA", 2, 2));
    EXPECT_STREQ(L"ЖД", text);
}

TEST_F(KartFieldTest, ChecksBeforeSaving)
{
    auto& f = Fields(L"{\"Code\",\"a\",char(4) notnull, format \"AA00\"}{\"Name\",\"b\",char(9), format \"A*\"}");
    KartField** all = f.data();
    try {
        KartFields::Check(2, all);
        FAIL() << "a NULL notnull field passed";
    } catch (const KartError& e) {
        EXPECT_EQ(f[0], e.field);
        EXPECT_EQ(kKartErrorRequired, e.code);
    }
    f[0]->ParseText(L"ab12");
    EXPECT_NO_THROW(KartFields::Check(2, all));   // an empty optional field needs no mask
    EXPECT_EQ(L"AB12", Shown(f[0]));
    f[1]->ParseText(L"9 lives");
    try {
        KartFields::Check(2, all);
        FAIL() << "a text against its mask passed";
    } catch (const KartError& e) {
        EXPECT_EQ(f[1], e.field);
        EXPECT_EQ(kKartErrorFormat, e.code);
    }
}

TEST_F(KartFieldTest, DefaultsByKindAndByType)
{
    auto& f = Fields(L"{\"a\",\"a\",datetime, default = now}{\"b\",\"b\",date, default = date}"
                     L"{\"c\",\"c\",time, default = time}{\"d\",\"d\",date, default = \"24/12/2020\"}"
                     L"{\"e\",\"e\",int32}{\"f\",\"f\",char(3)}{\"g\",\"g\",bool}{\"h\",\"h\",datetime, default = null}");
    for (KartField* field : f)
        field->SetWord(7);
    f[6]->length = -1;
    SYSTEMTIME before;
    GetLocalTime(&before);
    KartForm::ApplyDateDefaults(static_cast<int>(f.size()), f.data());
    SYSTEMTIME st;
    ASSERT_FALSE(f[0]->IsNull());
    FileTimeToSystemTime(&f[0]->Time(), &st);
    EXPECT_EQ(before.wYear, st.wYear);
    EXPECT_EQ(before.wDay, st.wDay);
    FileTimeToSystemTime(&f[1]->Time(), &st);
    EXPECT_EQ(before.wDay, st.wDay);
    EXPECT_EQ(0, st.wHour);
    EXPECT_EQ(0, st.wMinute);
    EXPECT_EQ(0, st.wSecond);
    FileTimeToSystemTime(&f[2]->Time(), &st);
    EXPECT_EQ(kTimeValueYear, st.wYear);
    EXPECT_EQ(kTimeValueMonth, st.wMonth);
    EXPECT_EQ(8, f[2]->length);
    EXPECT_EQ(L"24/12/2020", Shown(f[3]));
    EXPECT_TRUE(f[4]->IsNull());
    EXPECT_TRUE(f[5]->IsNull());
    EXPECT_EQ(1u, f[6]->Word());
    EXPECT_EQ(-1, f[6]->length);   // the value 1, its length as it was
    EXPECT_TRUE(f[7]->IsNull());
}

TEST_F(KartFieldTest, ReadingAndShowingThroughAnEditControl)
{
    auto& f = Fields(L"{\"a\",\"a\",int32}{\"b\",\"b\",time}{\"c\",\"c\",char(6)}");
    std::vector<HWND> edits;
    for (KartField* field : f) {
        field->control = CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, field->control);
    }
    SetWindowTextW(f[0]->control, L"-12");
    SetWindowTextW(f[1]->control, L"7:5:9");
    SetWindowTextW(f[2]->control, L"abcdef");
    KartForm::ReadAll(3, f.data());
    EXPECT_EQ(static_cast<DWORD>(-12), f[0]->Word());
    wchar_t text[32];
    GetWindowTextW(f[1]->control, text, 32);
    EXPECT_STREQ(L"07:05:09", text);   // shown again, normalised
    EXPECT_EQ(L"abcdef", Shown(f[2]));
    f[0]->SetNull();
    ASSERT_TRUE(KartForm::ShowAll(3, f.data()));
    GetWindowTextW(f[0]->control, text, 32);
    EXPECT_STREQ(L"", text);
    SetWindowTextW(f[0]->control, L"x");
    try {
        KartForm::ReadAll(3, f.data());
        FAIL();
    } catch (const KartError& e) {
        EXPECT_EQ(f[0], e.field);
        EXPECT_EQ(kKartErrorFormat, e.code);
    }
    for (KartField* field : f)
        DestroyWindow(field->control);
}

}  // namespace
