// The loose parameter list: slots, stored values and the block made from it.
#include "database/dbbindparam.h"

#include "database/dberrors.h"
#include "database/dbparams.h"
#include "db_fixture.h"

#include <gtest/gtest.h>

namespace {

class BindList : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DODBClearError();
        ASSERT_TRUE(list.CreateNew());
    }
    void TearDown() override
    {
        DODBFailAllocationsAfter(-1);
        DODBClearError();
    }
    DODBPtr<DODBBindParam> list;
};

TEST_F(BindList, ANewOrdinalTakesTheFirstFreeSlotAndTheFifthGrowsTheList)
{
    EXPECT_EQ(4u, list->SlotCount());
    ASSERT_TRUE(list->SetValI4(5, 50));
    int slot = -1;
    ASSERT_TRUE(list->ExistOrdinal(5, &slot));
    EXPECT_EQ(0, slot);
    list->SetValI4(1, 10);
    list->SetValI4(2, 20);
    list->SetValI4(3, 30);
    EXPECT_EQ(4u, list->SlotCount());
    EXPECT_EQ(-1, list->FreeSlot());
    ASSERT_TRUE(list->SetValI4(4, 40));
    EXPECT_EQ(8u, list->SlotCount());
    EXPECT_EQ(5u, list->Count());
    ASSERT_TRUE(list->ExistOrdinal(4, &slot));
    EXPECT_EQ(4, slot);
    EXPECT_FALSE(list->ExistOrdinal(9, &slot));
}

TEST_F(BindList, StoringAnOrdinalAgainReplacesItsValue)
{
    list->SetStr(1, L"short", -1);
    list->SetStr(1, L"a much longer text than before", -1);
    list->SetValI4(1, 3);
    EXPECT_EQ(1u, list->Count());
    const ValueItem* item = list->Item(0);
    ASSERT_NE(nullptr, item);
    EXPECT_EQ(DBTYPE_I4, item->type);
    LONG v = 0;
    memcpy(&v, item->value, 4);
    EXPECT_EQ(3, v);
}

TEST_F(BindList, SmallIntegersAreWidenedWithTheirSign)
{
    list->SetValI2(1, -2);
    list->SetValUI2(2, 0xFFFF);
    list->SetValI1(3, -1);
    LONG v = 0;
    memcpy(&v, list->Item(0)->value, 4);
    EXPECT_EQ(-2, v);
    memcpy(&v, list->Item(1)->value, 4);
    EXPECT_EQ(-1, v);
    memcpy(&v, list->Item(2)->value, 4);
    EXPECT_EQ(-1, v);
    EXPECT_EQ(2u, list->Item(0)->length);
}

TEST_F(BindList, UnknownTypesAreRefusedAndNothingIsKept)
{
    double value = 1;
    EXPECT_FALSE(list->SetVal(1, DBTYPE_NUMERIC, &value, 19, DBSTATUS_S_OK));
    std::wstring text = TakeErrorText();
    EXPECT_TRUE(Has(text, L"Invalid parameter type"));
    EXPECT_TRUE(Has(text, L"DODBParams::SetVal"));
    EXPECT_EQ(0u, list->Count());
}

TEST_F(BindList, StringStatusMustBeOkNullOrDefault)
{
    EXPECT_FALSE(list->SetStr(1, L"x", -1, 5));
    std::wstring text = TakeErrorText();
    EXPECT_TRUE(Has(text, L"Invalid status value"));
    EXPECT_TRUE(Has(text, L"DODBParams::SetStr"));
    EXPECT_EQ(0u, list->Count());
    EXPECT_TRUE(list->SetStr(2, nullptr, 0, DBSTATUS_S_ISNULL));
    EXPECT_EQ((DBSTATUS)DBSTATUS_S_ISNULL, list->Item(0)->status);
    EXPECT_EQ(DBTYPE_WSTR, list->Item(0)->type);
}

TEST_F(BindList, MakeParamsBindsInSlotOrderWithTheValues)
{
    FILETIME when = {1, 2};
    list->SetStr(3, L"Сидоров", -1);
    list->SetValI4(1, 11);
    list->SetValDate(2, when);
    list->SetVal(4, DBTYPE_I4, nullptr, 0, DBSTATUS_S_ISNULL);
    DODBPtr<DODBParams> block;
    ASSERT_TRUE(list->MakeParams(block));
    ASSERT_EQ(4, block->GetCount());
    EXPECT_EQ(3u, block->GetBinding(0)->iOrdinal);
    EXPECT_EQ(1u, block->GetBinding(1)->iOrdinal);
    EXPECT_EQ((DBPARAMIO)DBPARAMIO_INPUT, block->GetBinding(0)->eParamIO);
    EXPECT_STREQ(L"Сидоров", block->GetWStrPtr(0));
    EXPECT_EQ(14u, block->GetLength(0));
    EXPECT_EQ(11, block->GetInt(1));
    EXPECT_EQ(2u, block->GetDate(2).dwHighDateTime);
    EXPECT_TRUE(block->IsNull(3));
    // Made again into the same handle: the block is refilled.
    DODBParams* first = block.Get();
    list->SetValI4(1, 12);
    ASSERT_TRUE(list->MakeParams(block));
    EXPECT_EQ(first, block.Get());
    EXPECT_EQ(12, block->GetInt(1));
}

TEST_F(BindList, MakeParamsOfAnEmptyList)
{
    DODBPtr<DODBParams> block;
    EXPECT_FALSE(list->MakeParams(block));
    std::wstring text = TakeErrorText();
    EXPECT_TRUE(Has(text, L"Number of parameters a not set"));
    EXPECT_TRUE(Has(text, L"DODBParams::CreateParams"));
}

TEST_F(BindList, ByReferenceValuesAreReadWhenTheBlockIsMade)
{
    LONG number = 1;
    wchar_t name[32] = L"";
    list->SetValTyped(1, DBTYPE_I4, &number, 0, DBSTATUS_S_OK);
    list->SetValTyped(2, DBTYPE_WSTR, name, 0, DBSTATUS_S_OK);
    number = 9;
    wcscpy(name, L"Kuznetsov");
    DODBPtr<DODBParams> block;
    ASSERT_TRUE(list->MakeParams(block));
    EXPECT_EQ(DBTYPE_BYREF | DBTYPE_I4, block->GetWType(0));
    LONG* pointer = *static_cast<LONG**>(block->GetValuePtr(0));
    EXPECT_EQ(&number, pointer);
    // The text's length is today's, not the length at binding.
    EXPECT_EQ(18u, block->GetLength(1));
    wcscpy(name, L"Li");
    ASSERT_EQ(S_OK, list->RefreshByRefLengths(block.Get(), L"X::Y"));
    EXPECT_EQ(4u, block->GetLength(1));
}

// A text bound by reference may hold 32,768 characters (65,536 bytes), not one more.
TEST_F(BindList, AReferencedTextIsTakenUpToItsLimitAndRefusedBeyondIt)
{
    const struct {
        size_t chars;
        bool taken;
    } cases[] = {{32768, true}, {32769, false}};
    for (const auto& c : cases) {
        DODBClearError();
        std::wstring text(c.chars, L'x');
        list->SetValTyped(1, DBTYPE_WSTR, &text[0], 0, DBSTATUS_S_OK);
        DODBPtr<DODBParams> block;
        EXPECT_EQ(c.taken, list->MakeParams(block) != FALSE) << c.chars;
        if (c.taken) {
            EXPECT_EQ(c.chars * 2, block->GetLength(0)) << c.chars;
        } else {
            EXPECT_TRUE(Has(TakeErrorText(), L"Invalid buffer size.")) << c.chars;
        }
    }
}

TEST_F(BindList, GrowthFailureKeepsTheOldSlots)
{
    for (ULONG i = 1; i <= 4; ++i)
        list->SetValI4(i, (LONG)i);
    DODBFailAllocationsAfter(0);
    EXPECT_FALSE(list->SetValI4(5, 5));
    DODBFailAllocationsAfter(-1);
    EXPECT_TRUE(Has(TakeErrorText(), L"Reallocation memory error for parameters"));
    EXPECT_EQ(4u, list->SlotCount());
    EXPECT_EQ(4u, list->Count());
}

TEST_F(BindList, ItemAllocationFailure)
{
    DODBFailAllocationsAfter(0);
    EXPECT_FALSE(list->SetValI4(1, 5));
    DODBFailAllocationsAfter(-1);
    EXPECT_TRUE(Has(TakeErrorText(), L"Memory allocation error for parameter"));
    EXPECT_EQ(0u, list->Count());
}

TEST_F(BindList, InitAndReset)
{
    list->SetValI4(1, 1);
    ASSERT_TRUE(list->Init(10));
    EXPECT_EQ(10u, list->SlotCount());
    EXPECT_EQ(0u, list->Count());
    ASSERT_TRUE(list->Reset());
    EXPECT_EQ(4u, list->SlotCount());
    list->Clear();
    int slot;
    EXPECT_FALSE(list->ExistOrdinal(1, &slot));
    EXPECT_TRUE(Has(TakeErrorText(), L"Memory of structure BindParam is not allocated"));
    // A cleared list still takes values: it makes itself a new array.
    EXPECT_TRUE(list->SetValI4(1, 1));
}

TEST_F(BindList, CreateParamsNeedsACommand)
{
    list->SetValI4(1, 1);
    DODBPtr<DODBParams> block;
    EXPECT_FALSE(list->CreateParams(nullptr, block));
    EXPECT_TRUE(Has(TakeErrorText(), L"Not initialized object of command."));
}

}  // namespace
