// The filter model: kinds per field, normalisation, copying and the
// description line.
#include "desc_test_util.h"

#include "forms/dbfilter.h"
#include "forms/descheap.h"
#include "forms/formdesc.h"
#include "foundation/applocale.h"
#include "foundation/datetime.h"

#include <memory>
#include <string>

namespace {

const wchar_t kFilterForm[] =
    L"form { caption = \"Filter\" }\n"
    L"items {\n"
    L"  { \"Name\", \"Name1\", varchar(40) }\n"
    L"  { \"Count\", \"N\", int16 }\n"
    L"  { \"Male\", \"Pol\", bool }\n"
    L"  { \"Birthday\", \"Birthday\", date }\n"
    L"  { \"Doctor\", \"Doctor\", int32, reference { \"Doctor\", \"Doctor\", \"Name\", char(40) } }\n"
    L"  { \"At\", \"At\", datetime }\n"
    L"  { \"Clock\", \"Clock\", time }\n"
    L"}\n"
    L"reference { name = \"Images\" table = \"Snimok\" key = \"Snimok\" basetable = \"Patient\"\n"
    L"  basekey = \"Patient\" refkey = \"Patient\" items { { \"Date\", \"[Date file]\", date } } }\n";

enum { kName, kCount, kMale, kBirthday, kDoctor, kAt, kClock };

class FilterModelTest : public DescTest {
protected:
    void SetUp() override
    {
        DescTest::SetUp();
        WriteCfg(L"filt.cfg", kFilterForm);
        ASSERT_EQ(1, form.Parse(L"filt.cfg"));
        gAppLocale.SetLcid(0x409);
        SetDateTimeFormats(0x409);
    }
    FilterCondition& Own(DbFilter& f, int i) { return f.Own().conditions[i]; }
    static void SetText(FilterCondition& c, int i, const wchar_t* text)
    {
        c.SetValue(i, text, static_cast<int>(wcslen(text) * 2));
    }
    static void SetInt(FilterCondition& c, int i, DWORD v) { c.SetValue(i, &v, 4); }
    static DWORD IntOf(const FilterCondition& c, int i) { return *reinterpret_cast<const DWORD*>(c.values[i].data); }

    FormDesc form;
};

TEST_F(FilterModelTest, LoadGivesEveryFieldItsDefaultKindWithEmptyValues)
{
    DbFilter filter;
    EXPECT_FALSE(filter.IsLoaded());
    ASSERT_TRUE(filter.Load(&form));
    EXPECT_TRUE(filter.IsLoaded());
    EXPECT_FALSE(filter.Load(&form));   // once
    ASSERT_EQ(7, filter.Own().count);
    const int kinds[] = {kFilterSubstring, kFilterEqual, kFilterNotUsed, kFilterEqual, kFilterEqual, kFilterEqual,
                         kFilterEqual};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(kinds[i], Own(filter, i).kind) << i;
        EXPECT_EQ(kFilterNotUsed, Own(filter, i).effective) << i;
        for (int v = 0; v < Own(filter, i).valueCount; ++v)
            EXPECT_TRUE(Own(filter, i).values[v].IsEmpty());
    }
    ASSERT_EQ(1, filter.SectionCount());
    ASSERT_EQ(1, filter.Section(0).count);
    EXPECT_EQ(kFilterEqual, filter.Section(0).conditions[0].kind);
    filter.Clear();
    EXPECT_FALSE(filter.IsLoaded());
    EXPECT_EQ(0, filter.Own().count);
}

TEST_F(FilterModelTest, EachFieldOffersItsOwnKinds)
{
    DbFilter filter;
    ASSERT_TRUE(filter.Load(&form));
    struct Case {
        int field;
        int kind;
        bool offered;
    } cases[] = {
        {kDoctor, kFilterEmpty, true},  {kDoctor, kFilterLess, false},   {kDoctor, kFilterNotEmpty, true},
        {kCount, kFilterBetween, true}, {kCount, kFilterLike, false},    {kCount, kFilterEmpty, false},
        {kMale, kFilterEqual, true},    {kMale, kFilterLess, false},     {kName, kFilterLike, true},
        {kName, kFilterBetween, false}, {kName, kFilterNotUsed, false},  {kBirthday, kFilterNow, true},
        {kBirthday, kFilterLike, false}, {kAt, kFilterBetween, true},    {kClock, kFilterNotEmpty, true},
    };
    for (const Case& c : cases) {
        FilterCondition& condition = Own(filter, c.field);
        const int before = condition.kind;
        EXPECT_EQ(c.offered, FilterCondition::SetKind(&condition, c.kind)) << c.field << " kind " << c.kind;
        if (!c.offered) {
            EXPECT_EQ(before, condition.kind);
        }
    }
    // The current kind is no change.
    EXPECT_FALSE(FilterCondition::SetKind(&Own(filter, kDoctor), Own(filter, kDoctor).kind));
}

TEST_F(FilterModelTest, BetweenStartsBothValuesFromTheOne)
{
    DbFilter filter;
    ASSERT_TRUE(filter.Load(&form));
    FilterCondition& c = Own(filter, kCount);
    SetInt(c, 0, 5);
    FilterCondition::Normalize(&c);
    EXPECT_EQ(kFilterEqual, c.effective);
    ASSERT_TRUE(FilterCondition::SetKind(&c, kFilterBetween));
    ASSERT_EQ(2, c.valueCount);
    EXPECT_EQ(5u, IntOf(c, 0));
    EXPECT_EQ(5u, IntOf(c, 1));
    EXPECT_EQ(kFilterBetween, c.effective);
    c.SetValue(1, nullptr, 0);
    FilterCondition::Normalize(&c);
    EXPECT_EQ(kFilterNotUsed, c.effective);   // one of two is not enough
    SetInt(c, 1, 9);
    ASSERT_TRUE(FilterCondition::SetKind(&c, kFilterLess));
    ASSERT_EQ(1, c.valueCount);
    EXPECT_EQ(5u, IntOf(c, 0));
    ASSERT_TRUE(FilterCondition::SetKind(&c, kFilterBetween));
    EXPECT_EQ(5u, IntOf(c, 1));
}

TEST_F(FilterModelTest, KindsWithoutValuesAreActiveAndYesIsOne)
{
    DbFilter filter;
    ASSERT_TRUE(filter.Load(&form));
    FilterCondition& name = Own(filter, kName);
    ASSERT_TRUE(FilterCondition::SetKind(&name, kFilterEmpty));
    EXPECT_EQ(0, name.valueCount);
    EXPECT_EQ(nullptr, name.values);
    EXPECT_EQ(kFilterEmpty, name.effective);
    FilterCondition& male = Own(filter, kMale);
    ASSERT_TRUE(FilterCondition::SetKind(&male, kFilterEqual));
    ASSERT_EQ(1, male.valueCount);
    EXPECT_EQ(1u, IntOf(male, 0));
    EXPECT_EQ(kFilterEqual, male.effective);
}

TEST_F(FilterModelTest, NowOnADateIsTodayAtMidnightAsEqual)
{
    DbFilter filter;
    ASSERT_TRUE(filter.Load(&form));
    FilterCondition& c = Own(filter, kBirthday);
    ASSERT_TRUE(FilterCondition::SetKind(&c, kFilterNow));
    EXPECT_EQ(kFilterEqual, c.kind);
    EXPECT_EQ(kFilterEqual, c.effective);
    ASSERT_EQ(8, c.values[0].length);
    SYSTEMTIME st, today;
    GetLocalTime(&today);
    FileTimeToSystemTime(reinterpret_cast<const FILETIME*>(c.values[0].data), &st);
    EXPECT_EQ(today.wYear, st.wYear);
    EXPECT_EQ(today.wDay, st.wDay);
    EXPECT_EQ(0, st.wHour + st.wMinute + st.wSecond + st.wMilliseconds);
    FilterCondition& clock = Own(filter, kClock);
    ASSERT_TRUE(FilterCondition::SetKind(&clock, kFilterNow));
    FileTimeToSystemTime(reinterpret_cast<const FILETIME*>(clock.values[0].data), &st);
    EXPECT_EQ(kTimeValueYear, st.wYear);
}

TEST_F(FilterModelTest, AnUnknownKindIsRefusedByNormalize)
{
    DbFilter filter;
    ASSERT_TRUE(filter.Load(&form));
    FilterCondition& c = Own(filter, kName);
    c.kind = 42;
    try {
        FilterCondition::Normalize(&c);
        FAIL();
    } catch (const EMsg& e) {
        EXPECT_EQ(557u, e.Id());
        EXPECT_EQ(L"Unknown filter method", e.Text());
    }
    c.kind = kFilterSubstring;
}

TEST_F(FilterModelTest, DescribeNamesTheActiveFieldsAndSections)
{
    DbFilter filter;
    std::wstring text;
    filter.Describe(text);
    EXPECT_EQ(L"Filters a not defined", text);
    ASSERT_TRUE(filter.Load(&form));
    filter.Describe(text);
    EXPECT_EQ(L"Filters a not defined", text);
    SetText(Own(filter, kName), 0, L"Iv%");
    FilterCondition::Normalize(&Own(filter, kName));
    FilterCondition& date = filter.Section(0).conditions[0];
    ASSERT_TRUE(FilterCondition::SetKind(&date, kFilterNotEmpty));
    filter.Describe(text);
    EXPECT_EQ(L"Filter on Name, Images (Date)", text);
    ASSERT_TRUE(FilterCondition::SetKind(&Own(filter, kName), kFilterNotEmpty));
    ASSERT_TRUE(FilterCondition::SetKind(&Own(filter, kMale), kFilterEqual));
    filter.Describe(text);
    EXPECT_EQ(L"Filter on Name, Male, Images (Date)", text);
    ASSERT_TRUE(FilterCondition::SetKind(&Own(filter, kName), kFilterSubstring));
    ASSERT_TRUE(FilterCondition::SetKind(&Own(filter, kMale), kFilterNotUsed));
    Own(filter, kName).SetValue(0, nullptr, 0);
    FilterCondition::Normalize(&Own(filter, kName));
    filter.Describe(text);
    EXPECT_EQ(L"Filter on Images (Date)", text);
}

TEST_F(FilterModelTest, AssignCopiesEverythingDeeply)
{
    const LONG before = DescHeap::Outstanding();
    {
        DbFilter source, copy;
        ASSERT_TRUE(source.Load(&form));
        SetText(Own(source, kName), 0, L"Petrov");
        FilterCondition::Normalize(&Own(source, kName));
        ASSERT_TRUE(FilterCondition::SetKind(&Own(source, kCount), kFilterBetween));
        SetInt(Own(source, kCount), 0, 1);
        SetInt(Own(source, kCount), 1, 3);
        FilterCondition::Normalize(&Own(source, kCount));
        ASSERT_TRUE(copy.Assign(source));
        EXPECT_TRUE(copy.IsLoaded());
        EXPECT_EQ(&form, copy.Form());
        ASSERT_EQ(7, copy.Own().count);
        EXPECT_EQ(kFilterBetween, Own(copy, kCount).effective);
        EXPECT_EQ(3u, IntOf(Own(copy, kCount), 1));
        EXPECT_NE(Own(source, kName).values[0].data, Own(copy, kName).values[0].data);
        EXPECT_STREQ(L"Petrov", reinterpret_cast<const wchar_t*>(Own(copy, kName).values[0].data));
        SetText(Own(source, kName), 0, L"X");
        EXPECT_STREQ(L"Petrov", reinterpret_cast<const wchar_t*>(Own(copy, kName).values[0].data));
        ASSERT_EQ(1, copy.SectionCount());
        std::wstring a, b;
        source.Describe(a);
        copy.Describe(b);
        EXPECT_EQ(a, b);
    }
    EXPECT_EQ(before, DescHeap::Outstanding());
}

TEST_F(FilterModelTest, AFailedAssignLeavesTheFilterAsItWas)
{
    DbFilter source, target;
    ASSERT_TRUE(source.Load(&form));
    ASSERT_TRUE(target.Load(&form));
    SetText(Own(target, kName), 0, L"Kept");
    FilterCondition::Normalize(&Own(target, kName));
    SetText(Own(source, kName), 0, L"New");
    FilterCondition::Normalize(&Own(source, kName));
    const LONG before = DescHeap::Outstanding();
    // Fail each allocation of the copy in turn: the target never changes.
    for (LONG step = 0; step < 40; ++step) {
        DescHeap::FailAfter(step);
        const bool copied = target.Assign(source);
        DescHeap::FailAfter(-1);
        if (copied)
            break;
        EXPECT_EQ(before, DescHeap::Outstanding()) << step;
        ASSERT_TRUE(target.IsLoaded()) << step;
        EXPECT_STREQ(L"Kept", reinterpret_cast<const wchar_t*>(Own(target, kName).values[0].data)) << step;
        EXPECT_EQ(kFilterSubstring, Own(target, kName).effective);
    }
    EXPECT_STREQ(L"New", reinterpret_cast<const wchar_t*>(Own(target, kName).values[0].data));
}

TEST_F(FilterModelTest, ClearingAndDestroyingFreeEveryValue)
{
    const LONG before = DescHeap::Outstanding();
    {
        DbFilter filter;
        ASSERT_TRUE(filter.Load(&form));
        ASSERT_TRUE(FilterCondition::SetKind(&Own(filter, kAt), kFilterBetween));
        filter.Clear();
        EXPECT_EQ(before, DescHeap::Outstanding());
        ASSERT_TRUE(filter.Load(&form));
    }
    EXPECT_EQ(before, DescHeap::Outstanding());
}

}  // namespace
