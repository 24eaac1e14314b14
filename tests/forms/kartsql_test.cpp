// The record card's SQL texts, built from its database form description.
#include "desc_test_util.h"

#include "forms/dbformdesc.h"
#include "forms/kartsql.h"

#include <memory>
#include <string>

namespace {

class KartSqlTest : public DescTest {
protected:
    std::unique_ptr<DbFormDesc> Load(const std::wstring& text)
    {
        WriteCfg(L"card.cfg", text);
        std::unique_ptr<DbFormDesc> form(new DbFormDesc);
        EXPECT_EQ(1, form->Parse(L"card.cfg"));
        return form;
    }
};

const wchar_t kTwoKeys[] =
    L"table = \"t\" key = \"id\"\n"
    L"items {\n"
    L"  { \"A\", \"a\", int32 rowid }\n"
    L"  { \"Z\", \"z\", char(10) }\n"
    L"  { \"B\", \"b\", date rowid }\n"
    L"}\n"
    L"child { { \"u\" \"tid\" } { \"v\" \"owner\" } }\n";

TEST_F(KartSqlTest, OneFieldSelectAndUpdate)
{
    auto form = Load(L"table = \"t\" key = \"k\" items { { \"C1\", \"c1\", int32 } }");
    SqlText select, update;
    ASSERT_TRUE(KartSql::BuildSelect(select, *form));
    ASSERT_TRUE(KartSql::BuildUpdate(update, *form));
    EXPECT_STREQ(L"SELECT c1 FROM t WHERE k=?;", select.c_str());
    EXPECT_STREQ(L"UPDATE t SET c1=? WHERE k=?;", update.c_str());
}

TEST_F(KartSqlTest, EveryFieldInFormOrder)
{
    auto form = Load(kTwoKeys);
    SqlText select, update, insert;
    ASSERT_TRUE(KartSql::BuildSelect(select, *form));
    ASSERT_TRUE(KartSql::BuildUpdate(update, *form));
    ASSERT_TRUE(KartSql::BuildInsert(insert, *form));
    EXPECT_STREQ(L"SELECT a, z, b FROM t WHERE id=?;", select.c_str());
    EXPECT_STREQ(L"UPDATE t SET a=?, z=?, b=? WHERE id=?;", update.c_str());
    EXPECT_STREQ(L"INSERT INTO t (a, z, b) VALUES (?, ?, ?);", insert.c_str());
}

TEST_F(KartSqlTest, CheckRowSelectJoinsTheRowIdColumnsAlsoWhenTheLastFieldIsOne)
{
    auto form = Load(kTwoKeys);
    SqlText sql;
    ASSERT_TRUE(KartSql::BuildSelectMultiKey(sql, *form));
    EXPECT_STREQ(L"SELECT id FROM t WHERE a=? AND b=?;", sql.c_str());
}

TEST_F(KartSqlTest, CheckRowSelectWithoutRowIdFieldsIsNotBuilt)
{
    auto form = Load(L"table = \"t\" key = \"k\" items { { \"C1\", \"c1\", int32 } }");
    SqlText sql;
    EXPECT_FALSE(KartSql::BuildSelectMultiKey(sql, *form));
}

TEST_F(KartSqlTest, DeleteAndClearingEachChildReference)
{
    auto form = Load(kTwoKeys);
    SqlText remove, first, second;
    ASSERT_TRUE(KartSql::BuildDelete(remove, *form));
    ASSERT_EQ(2, form->ChildCount());
    ASSERT_TRUE(KartSql::BuildSetNull(first, form->Child(0)));
    ASSERT_TRUE(KartSql::BuildSetNull(second, form->Child(1)));
    EXPECT_STREQ(L"DELETE FROM t WHERE id=?;", remove.c_str());
    EXPECT_STREQ(L"UPDATE u SET tid=NULL WHERE tid=?;", first.c_str());
    EXPECT_STREQ(L"UPDATE v SET owner=NULL WHERE owner=?;", second.c_str());
}

TEST_F(KartSqlTest, ReferenceListAndRowList)
{
    auto form = Load(L"table = \"Snimok\" key = \"Snimok\"\n"
                     L"items { { \"Patient\", \"Patient\", int32, reference { \"Patient\", \"Patient\", \"Name1\", "
                     L"varchar(40), \"Patient.cfg\" } } }\n"
                     L"list { { \"Date\", \"[Date file]\", datetime } { \"File\", \"[File name]\", char(21) } }\n");
    SqlText lookup, rows;
    ASSERT_NE(nullptr, form->Items()[0]->reference);
    ASSERT_TRUE(KartSql::BuildLookupList(lookup, *form->Items()[0]->reference));
    ASSERT_TRUE(KartSql::BuildRowList(rows, *form));
    EXPECT_STREQ(L"SELECT Patient, Name1 FROM Patient ORDER BY 2;", lookup.c_str());
    EXPECT_STREQ(L"SELECT [Date file], [File name], Snimok FROM Snimok ORDER BY 1;", rows.c_str());
}

TEST_F(KartSqlTest, AFormWithManyLongColumnsGivesTheWholeStatement)
{
    // Far beyond the length a fixed-size statement buffer would hold.
    std::wstring text = L"table = \"t\" key = \"k\" items {\n";
    std::wstring expected = L"UPDATE t SET ";
    for (int i = 0; i < 500; ++i) {
        std::wstring column = std::wstring(90, L'x') + L"_column_" + std::to_wstring(i);
        text += L"{ \"C\", \"" + column + L"\", int32 }\n";
        expected += column + (i < 499 ? L"=?, " : L"=?");
    }
    text += L"}\n";
    expected += L" WHERE k=?;";
    auto form = Load(text);
    SqlText update;
    ASSERT_TRUE(KartSql::BuildUpdate(update, *form));
    EXPECT_GT(update.Length(), 40000);
    EXPECT_EQ(expected, update.c_str());
}

TEST_F(KartSqlTest, AFormWithoutFieldsReadsItsKeyAndHasNothingToUpdate)
{
    auto form = Load(L"table = \"t\" key = \"k\"");
    SqlText select, update, insert;
    ASSERT_TRUE(KartSql::BuildSelect(select, *form));
    EXPECT_STREQ(L"SELECT k FROM t WHERE k=?;", select.c_str());
    EXPECT_FALSE(KartSql::BuildUpdate(update, *form));
    EXPECT_FALSE(KartSql::BuildInsert(insert, *form));
}

}  // namespace
