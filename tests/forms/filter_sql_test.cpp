// The SELECT a filter makes: its exact text, the parameters in the order of
// their "?" with their types, and the rows it gives from the real provider.
#include "kart_db.h"

#include "common/prompt_script.h"
#include "database/dbbindparam.h"
#include "database/dbcommand.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dbstart.h"
#include "forms/dbfilter.h"
#include "forms/kartdata.h"

#include <set>

namespace {

const wchar_t kList[] =
    L"table = \"t\" key = \"k\" orderby = \"a\"\n"
    L"list { { \"A\", \"a\", int32 } { \"S\", \"s\", char(5) special } { \"B\", \"b\", char(20) } }\n";

const wchar_t kFilt[] =
    L"items { { \"C\", \"c\", int32 } { \"D\", \"d\", date } { \"N\", \"n\", char(20) } { \"U\", \"u\", int32 unsigned }"
    L" { \"When\", \"w\", datetime } }\n"
    L"reference { name = \"Sec\" table = \"s\" basekey = \"p\" refkey = \"q\" items { { \"X\", \"x\", int32 } { \"Y\", \"y\", "
    L"char(9) } } }\n";

enum { kC, kD, kN, kU, kW };

struct Param {
    ULONG ordinal;
    DBTYPE type;
    DBSTATUS status;
    std::vector<BYTE> bytes;
};

std::vector<Param> ParamsOf(const DODBPtr<DODBBindParam>& list)
{
    std::vector<Param> out;
    if (!list.IsSet())
        return out;
    for (ULONG slot = 0; slot < list->SlotCount(); ++slot) {
        const ValueItem* item = list->Item(slot);
        if (item != nullptr)
            out.push_back({item->ordinal, item->type, item->status,
                           std::vector<BYTE>(item->value, item->value + item->length)});
    }
    std::sort(out.begin(), out.end(), [](const Param& a, const Param& b) { return a.ordinal < b.ordinal; });
    return out;
}

ULONGLONG Ticks(const std::vector<BYTE>& bytes)
{
    ULONGLONG t = 0;
    memcpy(&t, bytes.data(), 8);
    return t;
}

FILETIME Day(WORD y, WORD m, WORD d, WORD h = 0, WORD mi = 0)
{
    SYSTEMTIME st = {y, m, 0, d, h, mi, 0, 0};
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

class FilterSqlTest : public DescTest {
protected:
    void SetUp() override
    {
        DescTest::SetUp();
        WriteCfg(L"list.cfg", kList);
        WriteCfg(L"filt.cfg", kFilt);
        ASSERT_EQ(1, list.Parse(L"list.cfg"));
        ASSERT_EQ(1, form.Parse(L"filt.cfg"));
        ASSERT_TRUE(filter.Load(&form));
    }
    FilterCondition& Own(int i) { return filter.Own().conditions[i]; }
    void Set(FilterCondition& c, int i, const void* data, int length)
    {
        c.SetValue(i, data, length);
        FilterCondition::Normalize(&c);
    }
    std::wstring Build()
    {
        EXPECT_TRUE(BuildFilterSelect(sql, list, &filter, params));
        return sql.c_str();
    }

    DbFormDesc list;
    FormDesc form;
    DbFilter filter;
    SqlText sql;
    DODBPtr<DODBBindParam> params;
};

TEST_F(FilterSqlTest, NoActiveConditionGivesThePlainListAndNoParameters)
{
    EXPECT_EQ(L"SELECT a, b, k FROM t ORDER BY a;", Build());   // "special" s left out
    EXPECT_FALSE(params.IsSet());
    SqlText without;
    DODBPtr<DODBBindParam> none;
    ASSERT_TRUE(BuildFilterSelect(without, list, nullptr, none));
    EXPECT_STREQ(L"SELECT a, b, k FROM t ORDER BY a;", without.c_str());
    EXPECT_FALSE(none.IsSet());
}

TEST_F(FilterSqlTest, EqualOnADateCoversTheWholeDay)
{
    FILETIME day = Day(2020, 3, 1);
    Set(Own(kD), 0, &day, 8);
    EXPECT_EQ(L"SELECT a, b, k FROM t WHERE d>=? AND d<? ORDER BY a;", Build());
    auto p = ParamsOf(params);
    ASSERT_EQ(2u, p.size());
    EXPECT_EQ(DBTYPE_FILETIME, p[0].type);
    EXPECT_EQ(DBTYPE_FILETIME, p[1].type);
    EXPECT_EQ(864000000000ULL, Ticks(p[1].bytes) - Ticks(p[0].bytes));
}

TEST_F(FilterSqlTest, EveryShapeWithItsParametersInOrder)
{
    DWORD five = 5, nine = 9, big = 0x80000001u;
    ASSERT_TRUE(FilterCondition::SetKind(&Own(kC), kFilterBetween));
    Set(Own(kC), 0, &five, 4);
    Set(Own(kC), 1, &nine, 4);
    ASSERT_TRUE(FilterCondition::SetKind(&Own(kD), kFilterEmpty));
    Set(Own(kN), 0, L"Iv%", 6);
    Set(Own(kU), 0, &big, 4);
    FILETIME from = Day(2021, 1, 2, 10, 30), to = Day(2021, 1, 3);
    ASSERT_TRUE(FilterCondition::SetKind(&Own(kW), kFilterBetween));
    Set(Own(kW), 0, &from, 8);
    Set(Own(kW), 1, &to, 8);
    FilterCondition& x = filter.Section(0).conditions[0];
    ASSERT_TRUE(FilterCondition::SetKind(&x, kFilterMore));
    Set(x, 0, &five, 4);
    FilterCondition& y = filter.Section(0).conditions[1];
    ASSERT_TRUE(FilterCondition::SetKind(&y, kFilterLike));
    Set(y, 0, L"a_c", 6);
    EXPECT_EQ(L"SELECT a, b, k FROM t WHERE c>=? AND c<? AND d IS NULL AND n LIKE ? AND u=? AND w>=? AND w<? "
              L"AND p IN (SELECT q FROM s WHERE x>? AND y LIKE ?) ORDER BY a;",
              Build());
    auto p = ParamsOf(params);
    ASSERT_EQ(8u, p.size());
    for (ULONG i = 0; i < 8; ++i)
        EXPECT_EQ(i + 1, p[i].ordinal);
    EXPECT_EQ(DBTYPE_I4, p[0].type);
    EXPECT_EQ(5u, *reinterpret_cast<const DWORD*>(p[0].bytes.data()));
    EXPECT_EQ(9u, *reinterpret_cast<const DWORD*>(p[1].bytes.data()));
    EXPECT_EQ(DBTYPE_WSTR, p[2].type);
    EXPECT_EQ(6u, p[2].bytes.size());
    EXPECT_EQ(DBTYPE_UI4, p[3].type);
    EXPECT_EQ(DBTYPE_FILETIME, p[4].type);
    EXPECT_EQ(Ticks(std::vector<BYTE>(reinterpret_cast<BYTE*>(&to), reinterpret_cast<BYTE*>(&to) + 8)),
              Ticks(p[5].bytes));   // not a day later: a datetime
    EXPECT_EQ(DBTYPE_I4, p[6].type);
    EXPECT_EQ(DBTYPE_WSTR, p[7].type);
}

TEST_F(FilterSqlTest, OnlyASectionConditionOpensWithWhere)
{
    FilterCondition& y = filter.Section(0).conditions[1];
    ASSERT_TRUE(FilterCondition::SetKind(&y, kFilterNotEmpty));
    EXPECT_EQ(L"SELECT a, b, k FROM t WHERE p IN (SELECT q FROM s WHERE y IS NOT NULL) ORDER BY a;", Build());
    EXPECT_FALSE(params.IsSet());
}

TEST_F(FilterSqlTest, OwnConditionAndSectionConditionInThatOrder)
{
    DWORD three = 3, seven = 7;
    Set(Own(kC), 0, &three, 4);
    FilterCondition& x = filter.Section(0).conditions[0];
    Set(x, 0, &seven, 4);
    EXPECT_EQ(L"SELECT a, b, k FROM t WHERE c=? AND p IN (SELECT q FROM s WHERE x=?) ORDER BY a;", Build());
    auto p = ParamsOf(params);
    ASSERT_EQ(2u, p.size());
    EXPECT_EQ(3u, *reinterpret_cast<const DWORD*>(p[0].bytes.data()));
    EXPECT_EQ(7u, *reinterpret_cast<const DWORD*>(p[1].bytes.data()));
}

TEST_F(FilterSqlTest, BetweenOnADateEndsADayAfterTheSecondValue)
{
    FILETIME a = Day(2020, 1, 1), b = Day(2020, 1, 31);
    ASSERT_TRUE(FilterCondition::SetKind(&Own(kD), kFilterBetween));
    Set(Own(kD), 0, &a, 8);
    Set(Own(kD), 1, &b, 8);
    EXPECT_EQ(L"SELECT a, b, k FROM t WHERE d>=? AND d<? ORDER BY a;", Build());
    auto p = ParamsOf(params);
    ASSERT_EQ(2u, p.size());
    EXPECT_EQ(31ULL * 864000000000ULL, Ticks(p[1].bytes) - Ticks(p[0].bytes));
}

// ---- against the provider, on the site's patient list and filter

class FilterQueryTest : public KartDbTest {
protected:
    void SetUp() override
    {
        KartDbTest::SetUp();
        CopySiteCfg(L"main.cfg");
        CopySiteCfg(L"MainFilt.cfg");
        ASSERT_EQ(1, list.Parse(L"main.cfg"));
        ASSERT_EQ(1, form.Parse(L"MainFilt.cfg"));
        ASSERT_TRUE(filter.Load(&form));
    }
    // The keys of the rows the filter's SELECT gives.
    std::set<LONG> Keys()
    {
        SqlText sql;
        DODBPtr<DODBBindParam> params;
        EXPECT_TRUE(BuildFilterSelect(sql, list, &filter, params));
        DODBPtr<DODBCommand> command;
        EXPECT_TRUE(g_DbSession->CreateCommand(command));
        EXPECT_EQ(S_OK, command->SetCmdText(sql.c_str()));
        DODBPtr<DODBRowset> rowset;
        DODBPtr<DODBParams> row;
        BOOL ran = params.IsSet() ? command->ExecuteBind(rowset, &row, params, nullptr)
                                  : command->Execute(rowset, &row, nullptr, nullptr);
        std::set<LONG> keys;
        if (!ran) {
            ADD_FAILURE() << testing::PrintToString(std::wstring(sql.c_str())) << testing::PrintToString(ErrorText());
            return keys;
        }
        const ULONG keyColumn = row->GetCount() - 1;
        while (rowset->GetNextData(row.Get())) {
            DWORD key = 0;
            EXPECT_TRUE(KartData::ReadInteger(row.Get(), keyColumn, &key));
            keys.insert(static_cast<LONG>(key));
        }
        EXPECT_TRUE(rowset->IsEndOfRowset());
        return keys;
    }
    void AddImage(LONG patient, WORD y, WORD m, WORD d)
    {
        DODBPtr<DODBCommand> command;
        DODBPtr<DODBBindParam> p;
        ASSERT_TRUE(g_DbSession->CreateCommand(command));
        ASSERT_TRUE(p.CreateNew());
        p->SetValI4(1, patient);
        p->SetValDate(2, Day(y, m, d, 12));
        ASSERT_EQ(S_OK, command->SetCmdText(L"INSERT INTO Snimok (Patient, [Date file]) VALUES (?, ?)"));
        ASSERT_TRUE(command->ExecuteBindNR(p, nullptr)) << testing::PrintToString(ErrorText());
    }
    FilterCondition& Own(int i) { return filter.Own().conditions[i]; }

    DbFormDesc list;
    FormDesc form;
    DbFilter filter;
};

TEST_F(FilterQueryTest, AnEmptyFilterReadsEveryPatientWithoutParameters)
{
    LONG a = AddPatient(L"Abel");
    LONG b = AddPatient(L"Baker");
    EXPECT_EQ((std::set<LONG>{a, b}), Keys());
}

TEST_F(FilterQueryTest, EqualOnTheBirthdayTakesTheWholeDay)
{
    LONG morning = AddPatient(L"Morning", nullptr, nullptr, 1980, 2, 1);
    AddPatient(L"NextDay", nullptr, nullptr, 1980, 2, 2);
    LONG evening = AddPatient(L"Evening");
    {
        DODBPtr<DODBCommand> command;
        DODBPtr<DODBBindParam> p;
        ASSERT_TRUE(g_DbSession->CreateCommand(command));
        ASSERT_TRUE(p.CreateNew());
        p->SetValDate(1, Day(1980, 2, 1, 23, 59));
        p->SetValI4(2, evening);
        ASSERT_EQ(S_OK, command->SetCmdText(L"UPDATE Patient SET Birthday=? WHERE Patient=?"));
        ASSERT_TRUE(command->ExecuteBindNR(p, nullptr));
    }
    FILETIME day = Day(1980, 2, 1);
    Own(3).SetValue(0, &day, 8);   // "Birthday"
    FilterCondition::Normalize(&Own(3));
    EXPECT_EQ((std::set<LONG>{morning, evening}), Keys());
}

TEST_F(FilterQueryTest, ASubSelectRestrictsThePatientsByTheirImages)
{
    LONG a = AddPatient(L"WithOld");
    LONG b = AddPatient(L"WithNew");
    LONG c = AddPatient(L"WithNone");
    AddImage(a, 2019, 5, 5);
    AddImage(b, 2021, 5, 5);
    AddImage(b, 2019, 1, 1);
    FilterCondition& date = filter.Section(0).conditions[0];
    ASSERT_TRUE(FilterCondition::SetKind(&date, kFilterMore));
    FILETIME after = Day(2020, 1, 1);
    date.SetValue(0, &after, 8);
    FilterCondition::Normalize(&date);
    EXPECT_EQ((std::set<LONG>{b}), Keys());
    ASSERT_TRUE(FilterCondition::SetKind(&date, kFilterNotEmpty));
    EXPECT_EQ((std::set<LONG>{a, b}), Keys());
    (void)c;
}

TEST_F(FilterQueryTest, SubstringAndLikeOnNames)
{
    LONG a = AddPatient(L"Ivanov");
    LONG b = AddPatient(L"Ivanova");
    AddPatient(L"Petrov");
    Own(0).SetValue(0, L"Ivan%", 10);
    FilterCondition::Normalize(&Own(0));
    EXPECT_EQ((std::set<LONG>{a, b}), Keys());
    ASSERT_TRUE(FilterCondition::SetKind(&Own(0), kFilterLike));
    Own(0).SetValue(0, L"Ivanov_", 14);
    FilterCondition::Normalize(&Own(0));
    EXPECT_EQ((std::set<LONG>{b}), Keys());
}

}  // namespace
