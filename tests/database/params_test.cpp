// Parameter blocks: bindings, the buffer layout, values in and out, the typed
// getters, and the provider type mapping.
#include "database/dbparams.h"

#include "database/dberrors.h"
#include "db_fixture.h"

#include <gtest/gtest.h>

namespace {

class Params : public ::testing::Test
{
protected:
    void SetUp() override { DODBClearError(); }
    void TearDown() override
    {
        DODBFailAllocationsAfter(-1);
        DODBClearError();
    }
    // The string-table text of the pending layer record, consumed.
    static std::wstring Pending() { return TakeErrorText(); }
};

TEST_F(Params, LayoutAlignsStatusLengthAndValue)
{
    DODBParams p(3);
    ASSERT_EQ(S_OK, p.SetParamBindW(0, DBTYPE_I4, 0));
    ASSERT_EQ(S_OK, p.SetParamBindW(1, DBTYPE_WSTR, 20));
    ASSERT_EQ(S_OK, p.SetParamBindW(2, DBTYPE_FILETIME, 0));
    ASSERT_EQ(S_OK, p.AllocStructForParams());
    const DBBINDING* b = p.GetBinding(0);
    EXPECT_EQ(0u, b->obStatus);
    EXPECT_EQ(4u, b->obValue);
    EXPECT_EQ(4u, b->cbMaxLen);
    EXPECT_EQ((DWORD)(DBPART_VALUE | DBPART_STATUS), b->dwPart);
    b = p.GetBinding(1);
    EXPECT_EQ(8u, b->obStatus);
    EXPECT_EQ(12u, b->obLength);
    EXPECT_EQ(16u, b->obValue);
    EXPECT_EQ(22u, b->cbMaxLen);
    EXPECT_EQ((DWORD)(DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS), b->dwPart);
    b = p.GetBinding(2);
    EXPECT_EQ(40u, b->obStatus);
    EXPECT_EQ(48u, b->obValue);
    EXPECT_EQ(3u, b->iOrdinal);
    EXPECT_EQ((DBPARAMIO)DBPARAMIO_INPUT, b->eParamIO);
    EXPECT_EQ((DWORD)DBMEMOWNER_CLIENTOWNED, b->dwMemOwner);
}

TEST_F(Params, SizesByType)
{
    DODBParams p(8);
    p.SetParamBindW(0, DBTYPE_I2, 99);
    p.SetParamBindW(1, DBTYPE_UI1, 99);
    p.SetParamBindW(2, DBTYPE_R8, 99);
    p.SetParamBindW(3, DBTYPE_STR, 10);
    p.SetParamBindW(4, DBTYPE_BYREF | DBTYPE_I4, 99);
    p.SetParamBindW(5, DBTYPE_BYREF | DBTYPE_WSTR, 99);
    p.SetParamBindW(6, DBTYPE_UI4, 0);
    p.SetParamBindInOut(7, 12, DBTYPE_I8, 0);
    EXPECT_EQ(2u, p.GetMaxLen(0));
    EXPECT_EQ(1u, p.GetMaxLen(1));
    EXPECT_EQ(8u, p.GetMaxLen(2));
    EXPECT_EQ(11u, p.GetMaxLen(3));
    EXPECT_EQ(4u, p.GetMaxLen(4));
    EXPECT_EQ(4u, p.GetMaxLen(5));
    EXPECT_EQ((DWORD)(DBPART_VALUE | DBPART_STATUS), p.GetBinding(4)->dwPart);
    EXPECT_EQ((DWORD)(DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS), p.GetBinding(5)->dwPart);
    EXPECT_EQ(12u, p.GetBinding(7)->iOrdinal);
    EXPECT_EQ((DBPARAMIO)(DBPARAMIO_INPUT | DBPARAMIO_OUTPUT), p.GetBinding(7)->eParamIO);
    EXPECT_EQ(8, p.GetCount());
}

TEST_F(Params, RefusedBindings)
{
    DODBParams p(2);
    EXPECT_EQ(E_FAIL, p.SetParamBindW(2, DBTYPE_I4, 0));
    EXPECT_TRUE(Has(Pending(), L"Invalid parameter number."));
    EXPECT_EQ(E_FAIL, p.SetParamBindW(0, DBTYPE_NUMERIC, 0));
    EXPECT_TRUE(Has(Pending(), L"Invalid parameter type"));
    EXPECT_EQ(E_FAIL, p.SetParamBindW(0, DBTYPE_BOOL, 0));
    DODBParams none;
    EXPECT_EQ(E_FAIL, none.SetParamBindW(0, DBTYPE_I4, 0));
    // One binding left unbound: no layout.
    p.SetParamBindW(0, DBTYPE_I4, 0);
    EXPECT_EQ(E_FAIL, p.AllocStructForParams());
    EXPECT_TRUE(Has(Pending(), L"Parameter information is out."));
}

TEST_F(Params, NoBindingsWhenTheCountIsZeroInItsLowBits)
{
    DODBParams p;
    EXPECT_EQ(S_OK, p.SetNumParams(0x10000));
    EXPECT_EQ(0, p.GetCount());
    EXPECT_EQ(nullptr, p.GetBinding(0));
}

TEST_F(Params, FailedBindingAllocation)
{
    DODBParams p;
    DODBFailAllocationsAfter(0);
    EXPECT_EQ(E_FAIL, p.SetNumParams(3));
    DODBFailAllocationsAfter(-1);
    EXPECT_EQ(0, p.GetCount());
    EXPECT_TRUE(Has(Pending(), L"Allocating memory error for DBBINDING structures."));
}

TEST_F(Params, ValuesGoInAndComeOut)
{
    DODBParams p(4);
    p.SetParamBindW(0, DBTYPE_I4, 0);
    p.SetParamBindW(1, DBTYPE_WSTR, 40);
    p.SetParamBindW(2, DBTYPE_FILETIME, 0);
    p.SetParamBindW(3, DBTYPE_R4, 0);
    ASSERT_EQ(S_OK, p.AllocStructForParams());
    EXPECT_EQ(S_OK, p.SetValue4(0, -17));
    EXPECT_EQ(S_OK, p.SetValueStr(1, L"Иванов", -1));
    FILETIME when = {0x12345678, 0x01D00000};
    EXPECT_EQ(S_OK, p.SetValueDate(2, when));
    EXPECT_EQ(S_OK, p.SetValueFloat(3, 1.5f));
    EXPECT_EQ(-17, p.GetInt(0));
    EXPECT_STREQ(L"Иванов", p.GetWStrPtr(1));
    EXPECT_EQ(12u, p.GetLength(1));
    EXPECT_EQ(6u, p.GetLengthChars(1));
    EXPECT_EQ(21u, p.GetMaxChars(1));
    EXPECT_EQ(when.dwLowDateTime, p.GetDate(2).dwLowDateTime);
    EXPECT_EQ(when.dwHighDateTime, p.GetDatePtr(2)->dwHighDateTime);
    EXPECT_EQ(1.5f, p.GetFloat(3));
    EXPECT_TRUE(p.IsOk(0));
    EXPECT_TRUE(p.AllStatusOk());
    LONG out = 0;
    DBSTATUS status = 99;
    EXPECT_EQ(S_OK, p.GetValue(0, &out, &status, 0));
    EXPECT_EQ(-17, out);
    EXPECT_EQ((DBSTATUS)DBSTATUS_S_OK, status);
    // Plain getters of another type give 0.
    EXPECT_EQ(0, p.GetInt(1));
    EXPECT_EQ(nullptr, p.GetWStrPtr(0));
    EXPECT_EQ(0.0, p.GetDouble(3));
    EXPECT_EQ(0, p.GetInt(9));
}

TEST_F(Params, AShorterTextIsTerminated)
{
    DODBParams p(1);
    p.SetParamBindW(0, DBTYPE_WSTR, 40);
    p.AllocStructForParams();
    p.SetValueStr(0, L"Petrovsky", -1);
    p.SetValueStr(0, L"Li", -1);
    EXPECT_STREQ(L"Li", p.GetWStrPtr(0));
    EXPECT_EQ(4u, p.GetLength(0));
}

TEST_F(Params, AnOverlongTextIsRefusedWithoutARecord)
{
    DODBParams p(1);
    p.SetParamBindW(0, DBTYPE_WSTR, 4);
    p.AllocStructForParams();
    EXPECT_EQ(E_FAIL, p.SetValueStr(0, L"abcd", -1));
    EXPECT_FALSE(DODBErrorPending());
    EXPECT_EQ(S_OK, p.SetValueStr(0, L"abc", -1));   // 6 bytes fill the room, terminator included
}

TEST_F(Params, NullAndDefaultCarryOnlyTheStatus)
{
    DODBParams p(2);
    p.SetParamBindW(0, DBTYPE_I4, 0);
    p.SetParamBindW(1, DBTYPE_WSTR, 10);
    p.AllocStructForParams();
    p.SetValue4(0, 5);
    EXPECT_EQ(S_OK, p.SetValue(0, nullptr, 0, DBSTATUS_S_ISNULL));
    EXPECT_TRUE(p.IsNull(0));
    EXPECT_FALSE(p.IsOk(0));
    EXPECT_TRUE(p.IsNullOrOk(0));
    EXPECT_EQ(S_OK, p.SetStatus(1, DBSTATUS_S_DEFAULT));
    EXPECT_TRUE(p.AllStatusOk());
    EXPECT_EQ((DBSTATUS)DBSTATUS_S_DEFAULT, p.GetStatus(1));
    LONG untouched = 77;
    DBSTATUS status = 0;
    EXPECT_EQ(S_OK, p.GetValue(0, &untouched, &status, 0));
    EXPECT_EQ(77, untouched);
    EXPECT_EQ((DBSTATUS)DBSTATUS_S_ISNULL, status);
    EXPECT_FALSE(p.IsNull(5));
    p.SetStatus(1, DBSTATUS_S_TRUNCATED);
    EXPECT_FALSE(p.AllStatusOk());
}

TEST_F(Params, GetValueRefusals)
{
    DODBParams p(2);
    p.SetParamBindW(0, DBTYPE_I4, 0);
    p.SetParamBindW(1, DBTYPE_BYREF | DBTYPE_I4, 0);
    LONG out = 0;
    EXPECT_EQ(E_FAIL, p.GetValue(0, &out, nullptr, 0));
    EXPECT_TRUE(Has(Pending(), L"Memory for parameters is not allocated."));
    p.AllocStructForParams();
    EXPECT_EQ(E_FAIL, p.GetValue(2, &out, nullptr, 0));
    EXPECT_TRUE(Has(Pending(), L"Invalid parameter number."));
    p.SetStatus(0, DBSTATUS_E_CANTCONVERTVALUE);
    EXPECT_EQ(E_FAIL, p.GetValue(0, &out, nullptr, 0));
    std::wstring text = Pending();
    EXPECT_TRUE(Has(text, L"Parameter getting error."));
    EXPECT_TRUE(Has(text, L"DODBParams::GetValue"));
    EXPECT_EQ((DBSTATUS)DBSTATUS_E_CANTCONVERTVALUE, p.GetStatus(0));
    p.SetStatus(1, DBSTATUS_S_OK);
    EXPECT_EQ(E_FAIL, p.GetValue(1, &out, nullptr, 0));
    EXPECT_TRUE(Has(Pending(), L"Invalid parameter type"));
    EXPECT_EQ((DBSTATUS)DBSTATUS_E_UNAVAILABLE, p.GetStatus(9));
}

TEST_F(Params, GetValueCutsTextsAtTheMaximum)
{
    DODBParams p(1);
    p.SetParamBindW(0, DBTYPE_WSTR, 100);
    p.AllocStructForParams();
    p.SetValueStr(0, L"abcdefghijklmnopqrstuvwxy", -1);
    wchar_t out[40];
    for (wchar_t& c : out)
        c = L'#';
    EXPECT_EQ(S_OK, p.GetValue(0, out, nullptr, 10));
    EXPECT_STREQ(L"abcdefghi", out);
    EXPECT_EQ(L'#', out[10]);
}

TEST_F(Params, GetStrCopiesSizeMinusOne)
{
    DODBParams p(2);
    p.SetParamBindW(0, DBTYPE_WSTR, 100);
    p.SetParamBindW(1, DBTYPE_I4, 0);
    p.AllocStructForParams();
    p.SetValueStr(0, L"abcdefghijklmnopqrstuvwxy", -1);
    wchar_t out[30];
    EXPECT_EQ(9, p.GetStr(0, out, 10));
    EXPECT_STREQ(L"abcdefghi", out);
    EXPECT_EQ(25, p.GetStr(0, out, 30));
    p.SetStatus(0, DBSTATUS_S_ISNULL);
    EXPECT_EQ(0, p.GetStr(0, out, 30));
    EXPECT_STREQ(L"", out);
    p.SetStatus(0, DBSTATUS_S_TRUNCATED);
    EXPECT_EQ(-1, p.GetStr(0, out, 30));
    EXPECT_TRUE(Has(Pending(), L"String getting error."));
    EXPECT_EQ(-1, p.GetStr(1, out, 30));
    EXPECT_TRUE(Has(Pending(), L"DODBParams::GetType"));
    EXPECT_EQ(-1, p.GetStr(0, out, 0x40000010));
    EXPECT_TRUE(Has(Pending(), L"Invalid buffer size."));
    EXPECT_EQ(-1, p.GetStr(0, out, 0));
    EXPECT_EQ(-1, p.GetStr(3, out, 30));
    EXPECT_TRUE(Has(Pending(), L"Invalid parameter number."));
}

TEST_F(Params, GettersWithStatus)
{
    DODBParams p(3);
    p.SetParamBindW(0, DBTYPE_I4, 0);
    p.SetParamBindW(1, DBTYPE_FILETIME, 0);
    p.SetParamBindW(2, DBTYPE_UI2, 0);
    p.AllocStructForParams();
    p.SetValue4(0, 42);
    USHORT big = 0xFFFE;
    p.SetValue(2, &big, 0, DBSTATUS_S_OK);
    p.SetStatus(1, DBSTATUS_S_ISNULL);
    DBSTATUS status = 0;
    EXPECT_EQ(42, p.GetIntStatus(0, &status));
    EXPECT_EQ((DBSTATUS)DBSTATUS_S_OK, status);
    p.GetDateStatus(1, &status);
    EXPECT_EQ((DBSTATUS)DBSTATUS_S_ISNULL, status);
    EXPECT_EQ(0, p.GetIntStatus(1, &status));
    EXPECT_EQ((DBSTATUS)DBSTATUS_E_UNAVAILABLE, status);
    EXPECT_TRUE(Has(Pending(), L"DODBParams::GetType"));
    EXPECT_EQ(0, p.GetIntStatus(7, &status));
    EXPECT_EQ((DBSTATUS)DBSTATUS_E_UNAVAILABLE, status);
    EXPECT_EQ(0xFFFEu, p.GetUI2Dword(2));
    EXPECT_EQ(0u, p.GetUI2Dword(0));
    EXPECT_EQ(0xFFFE, p.GetUI2Status(2, &status));
}

TEST_F(Params, RebindingKeepsTheOtherValues)
{
    DODBParams p(3);
    p.SetParamBindW(0, DBTYPE_I4, 0);
    p.SetParamBindW(1, DBTYPE_WSTR, 10);
    p.SetParamBindW(2, DBTYPE_R8, 0);
    p.AllocStructForParams();
    p.SetValue4(0, 7);
    p.SetValueStr(1, L"abc", -1);
    double d = 2.25;
    p.SetValue(2, &d, 0, DBSTATUS_S_OK);
    // The text grows: the layout moves the double.
    ASSERT_EQ(S_OK, p.SetParamBindW(1, DBTYPE_WSTR, 200));
    EXPECT_EQ(202u, p.GetMaxLen(1));
    EXPECT_EQ(7, p.GetInt(0));
    EXPECT_EQ(2.25, p.GetDouble(2));
    EXPECT_EQ(0u, p.GetBinding(2)->obValue % 8);
    EXPECT_GT(p.GetBinding(2)->obValue, 200u);
    EXPECT_TRUE(p.IsOk(2));
}

TEST_F(Params, IndexOfOrdinal)
{
    DODBParams p(2);
    EXPECT_EQ(-1, DODBParams().IndexOfOrdinal(1));
    p.SetParamBind(0, 5, DBTYPE_I4, 0, DBPARAMIO_INPUT);
    p.SetParamBind(1, 3, DBTYPE_I4, 0, DBPARAMIO_INPUT);
    EXPECT_EQ(0, p.IndexOfOrdinal(5));
    EXPECT_EQ(1, p.IndexOfOrdinal(3));
    EXPECT_EQ(-1, p.IndexOfOrdinal(4));
}

TEST_F(Params, ParmsAvailability)
{
    DODBParams p;
    EXPECT_EQ(E_FAIL, p.ParmsAvailability());
    p.SetNumParams(2);
    p.SetParamBindW(0, DBTYPE_I4, 0);
    EXPECT_EQ(E_FAIL, p.ParmsAvailability());
    EXPECT_TRUE(Has(Pending(), L"Parameter information is out."));
    p.SetParamBindW(1, DBTYPE_I4, 0);
    EXPECT_EQ(S_OK, p.ParmsAvailability());
}

TEST_F(Params, SetBindingsLaysOutOrClears)
{
    DODBParams p;
    const DODBBindRow good[] = {{1, DBTYPE_I4, 0}, {2, DBTYPE_WSTR, 8}};
    EXPECT_TRUE(p.SetBindings(2, good));
    EXPECT_NE(nullptr, p.GetData());
    const DODBBindRow bad[] = {{1, DBTYPE_I4, 0}, {2, DBTYPE_DECIMAL, 8}};
    EXPECT_FALSE(p.SetBindings(2, bad));
    EXPECT_EQ(0, p.GetCount());
    EXPECT_EQ(nullptr, p.GetData());
}

TEST_F(Params, AccessorNeedsAnInterface)
{
    DODBParams p(1);
    p.SetParamBindW(0, DBTYPE_I4, 0);
    p.AllocStructForParams();
    EXPECT_TRUE(FAILED(p.CreateParamAccessor(nullptr)));
    EXPECT_TRUE(Has(Pending(), L"Accessor creation error"));
}

TEST(TypeMapping, ProviderTypesBindAsTheLayerReadsThem)
{
    DBTYPE type = 0;
    DBLENGTH size = 0;
    DODBMapProviderType(DBTYPE_BOOL, 2, &type, &size);
    EXPECT_EQ(DBTYPE_I4, type);
    DODBMapProviderType(DBTYPE_STR, 10, &type, &size);
    EXPECT_EQ(DBTYPE_WSTR, type);
    EXPECT_EQ(20u, size);
    DODBMapProviderType(DBTYPE_WSTR, 50, &type, &size);
    EXPECT_EQ(100u, size);
    DODBMapProviderType(DBTYPE_WSTR, 40000, &type, &size);
    EXPECT_EQ(65536u, size);
    for (DBTYPE t : {DBTYPE_DATE, DBTYPE_DBDATE, DBTYPE_DBTIME, DBTYPE_DBTIMESTAMP}) {
        DODBMapProviderType(t, 16, &type, &size);
        EXPECT_EQ(DBTYPE_FILETIME, type);
    }
    DODBMapProviderType(DBTYPE_R4, 4, &type, &size);
    EXPECT_EQ(DBTYPE_R4, type);
}

TEST(TypeMapping, HugeSizesDoNotWrapAround)
{
    DBTYPE type = 0;
    DBLENGTH size = 0;
    DODBMapProviderType(DBTYPE_WSTR, 0x80000001u, &type, &size);   // doubled: 2 in 32 bits
    EXPECT_EQ(65536u, size);
    DODBMapProviderType(DBTYPE_WSTR, 0xFFFFFFFFu, &type, &size);
    EXPECT_EQ(65536u, size);
    DODBMapProviderType(DBTYPE_STR, 0x7FFFFFFFu, &type, &size);
    EXPECT_EQ(65536u, size);
}

}  // namespace
