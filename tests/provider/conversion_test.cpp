// Column types and accessor conversions: SQL Server's types from the declared
// ones, values to and from every bindable type, lengths, terminators and
// truncation.
#include "provider/harness.h"

#include <cmath>

namespace zt {
namespace {

const char kSchema[] =
    "CREATE TABLE T (Id INTEGER PRIMARY KEY AUTOINCREMENT, I int, S smallint, B tinyint, F bit, R real,"
    " D float, W datetime, N nchar(21), V [nvarchar] (8), X ntext, Big bigint);"
    "INSERT INTO T (I, S, B, F, R, D, W, N, V, X, Big) VALUES"
    " (-123456, -300, 200, 1, 2.5, 1e300, '2004-02-29 13:45:10.250', 'A0000000010000000002', 'short',"
    "  'long text', 5000000000);";

class ConversionTest : public ProviderTest {
protected:
    void SetUp() override
    {
        ProviderTest::SetUp();
        MakeDatabase(kSchema);
        OpenSession();
        ASSERT_TRUE(session_);
        Ptr<ICommandText> command = NewCommand(session_.Get(), L"SELECT I, S, B, F, R, D, W, N, V, X, Big FROM T");
        ASSERT_EQ(S_OK, command->Execute(nullptr, IID_IRowset, nullptr, nullptr, rowset_.OutUnknown()));
        DBCOUNTITEM obtained = 0;
        HROW* rows = &row_;
        ASSERT_EQ(S_OK, rowset_->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rows));
        ASSERT_EQ(1u, obtained);
    }
    void TearDown() override
    {
        if (rowset_)
            rowset_->ReleaseRows(1, &row_, nullptr, nullptr, nullptr);
        rowset_.Reset();
        ProviderTest::TearDown();
    }
    // Reads column `ordinal` of the row through one binding of `type`.
    DBSTATUS Read(DBORDINAL ordinal, DBTYPE type, DBLENGTH maxLen, Buffer& buffer)
    {
        buffer.Add(ordinal, type, maxLen, true, true);
        buffer.Layout();
        HACCESSOR accessor = buffer.MakeAccessor(rowset_.Get(), DBACCESSOR_ROWDATA);
        rowset_->GetData(row_, accessor, buffer.Data());
        Ptr<IAccessor> accessors = rowset_.As<IAccessor>(IID_IAccessor);
        accessors->ReleaseAccessor(accessor, nullptr);
        return buffer.Status(0);
    }
    Ptr<IRowset> rowset_;
    HROW row_ = 0;
};

TEST_F(ConversionTest, ColumnsCarrySqlServerTypes)
{
    Ptr<IColumnsInfo> info = rowset_.As<IColumnsInfo>(IID_IColumnsInfo);
    DBORDINAL count = 0;
    DBCOLUMNINFO* columns = nullptr;
    OLECHAR* strings = nullptr;
    ASSERT_EQ(S_OK, info->GetColumnInfo(&count, &columns, &strings));
    ASSERT_EQ(11u, count);
    struct Expect {
        const wchar_t* name;
        DBTYPE type;
        DBLENGTH size;
    } expected[] = {{L"I", DBTYPE_I4, 4},        {L"S", DBTYPE_I2, 2},     {L"B", DBTYPE_UI1, 1},
                    {L"F", DBTYPE_BOOL, 2},      {L"R", DBTYPE_R4, 4},     {L"D", DBTYPE_R8, 8},
                    {L"W", DBTYPE_DBTIMESTAMP, 16}, {L"N", DBTYPE_WSTR, 21}, {L"V", DBTYPE_WSTR, 8},
                    {L"X", DBTYPE_WSTR, 0x3FFFFFFF}, {L"Big", DBTYPE_I8, 8}};
    for (size_t i = 0; i < count; ++i) {
        EXPECT_STREQ(expected[i].name, columns[i].pwszName);
        EXPECT_EQ(i + 1, columns[i].iOrdinal);
        EXPECT_EQ(expected[i].type, columns[i].wType) << "column " << i + 1;
        EXPECT_EQ(expected[i].size, columns[i].ulColumnSize) << "column " << i + 1;
    }
    EXPECT_TRUE(columns[9].dwFlags & DBCOLUMNFLAGS_ISLONG);
    EXPECT_FALSE(columns[8].dwFlags & DBCOLUMNFLAGS_ISLONG);
    CoTaskMemFree(columns);
    CoTaskMemFree(strings);
}

TEST_F(ConversionTest, ComputedColumnsAreTyped)
{
    Ptr<ICommandText> command =
        NewCommand(session_.Get(), L"SELECT COUNT(*), MAX(V) FROM T");
    Ptr<IRowset> rowset;
    ASSERT_EQ(S_OK, command->Execute(nullptr, IID_IRowset, nullptr, nullptr, rowset.OutUnknown()));
    Ptr<IColumnsInfo> info = rowset.As<IColumnsInfo>(IID_IColumnsInfo);
    DBORDINAL count = 0;
    DBCOLUMNINFO* columns = nullptr;
    OLECHAR* strings = nullptr;
    ASSERT_EQ(S_OK, info->GetColumnInfo(&count, &columns, &strings));
    ASSERT_EQ(2u, count);
    EXPECT_EQ(DBTYPE_I4, columns[0].wType) << "COUNT(*) is an int";
    EXPECT_EQ(DBTYPE_WSTR, columns[1].wType) << "MAX of a column is of the column's type";
    EXPECT_EQ(8u, columns[1].ulColumnSize);
    CoTaskMemFree(columns);
    CoTaskMemFree(strings);
}

TEST_F(ConversionTest, IntegersConvertWithinRange)
{
    { Buffer b; EXPECT_EQ(DBSTATUS_S_OK, Read(1, DBTYPE_I4, 4, b)); EXPECT_EQ(-123456, b.Get<int>(0)); }
    { Buffer b; EXPECT_EQ(DBSTATUS_S_OK, Read(1, DBTYPE_I8, 8, b)); EXPECT_EQ(-123456LL, b.Get<long long>(0)); }
    { Buffer b; EXPECT_EQ(DBSTATUS_S_OK, Read(1, DBTYPE_R8, 8, b)); EXPECT_EQ(-123456.0, b.Get<double>(0)); }
    { Buffer b; EXPECT_EQ(DBSTATUS_E_DATAOVERFLOW, Read(1, DBTYPE_I2, 2, b)); }
    { Buffer b; EXPECT_EQ(DBSTATUS_E_DATAOVERFLOW, Read(1, DBTYPE_UI4, 4, b)) << "negative into unsigned"; }
    { Buffer b; EXPECT_EQ(DBSTATUS_S_OK, Read(2, DBTYPE_I2, 2, b)); EXPECT_EQ(-300, b.Get<short>(0)); }
    { Buffer b; EXPECT_EQ(DBSTATUS_E_DATAOVERFLOW, Read(2, DBTYPE_I1, 1, b)); }
    { Buffer b; EXPECT_EQ(DBSTATUS_S_OK, Read(3, DBTYPE_UI1, 1, b)); EXPECT_EQ(200, b.Get<BYTE>(0)); }
    { Buffer b; EXPECT_EQ(DBSTATUS_S_OK, Read(3, DBTYPE_UI2, 2, b)); EXPECT_EQ(200, b.Get<USHORT>(0)); }
    { Buffer b; EXPECT_EQ(DBSTATUS_E_DATAOVERFLOW, Read(3, DBTYPE_I1, 1, b)); }
    { Buffer b; EXPECT_EQ(DBSTATUS_S_OK, Read(11, DBTYPE_UI8, 8, b)); EXPECT_EQ(5000000000ULL, b.Get<unsigned long long>(0)); }
    { Buffer b; EXPECT_EQ(DBSTATUS_E_DATAOVERFLOW, Read(11, DBTYPE_I4, 4, b)); }
}

TEST_F(ConversionTest, BitReadsAsFourByteIntegerAndAsBool)
{
    { Buffer b; EXPECT_EQ(DBSTATUS_S_OK, Read(4, DBTYPE_I4, 4, b)); EXPECT_EQ(1, b.Get<int>(0)); }
    { Buffer b; EXPECT_EQ(DBSTATUS_S_OK, Read(4, DBTYPE_BOOL, 2, b)); EXPECT_EQ(VARIANT_TRUE, b.Get<VARIANT_BOOL>(0)); }
}

TEST_F(ConversionTest, RealsConvert)
{
    { Buffer b; EXPECT_EQ(DBSTATUS_S_OK, Read(5, DBTYPE_R4, 4, b)); EXPECT_EQ(2.5f, b.Get<float>(0)); }
    { Buffer b; EXPECT_EQ(DBSTATUS_S_OK, Read(5, DBTYPE_I4, 4, b)); EXPECT_EQ(2, b.Get<int>(0)); }
    { Buffer b; EXPECT_EQ(DBSTATUS_S_OK, Read(6, DBTYPE_R8, 8, b)); EXPECT_EQ(1e300, b.Get<double>(0)); }
    { Buffer b; EXPECT_EQ(DBSTATUS_E_DATAOVERFLOW, Read(6, DBTYPE_R4, 4, b)); }
    { Buffer b; EXPECT_EQ(DBSTATUS_S_OK, Read(5, DBTYPE_WSTR, 40, b)); EXPECT_STREQ(L"2.5", b.Text(0)); }
}

TEST_F(ConversionTest, DatetimeTravelsAsLocalTimeWithoutShift)
{
    Buffer b;
    ASSERT_EQ(DBSTATUS_S_OK, Read(7, DBTYPE_FILETIME, 8, b));
    FILETIME ft = b.Get<FILETIME>(0);
    SYSTEMTIME st;
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
    EXPECT_EQ(2004, st.wYear);
    EXPECT_EQ(2, st.wMonth);
    EXPECT_EQ(29, st.wDay);
    EXPECT_EQ(13, st.wHour);
    EXPECT_EQ(45, st.wMinute);
    EXPECT_EQ(10, st.wSecond);
    EXPECT_EQ(250, st.wMilliseconds);

    Buffer t;
    ASSERT_EQ(DBSTATUS_S_OK, Read(7, DBTYPE_DBTIMESTAMP, sizeof(DBTIMESTAMP), t));
    DBTIMESTAMP ts = t.Get<DBTIMESTAMP>(0);
    EXPECT_EQ(2004, ts.year);
    EXPECT_EQ(13, ts.hour);
    EXPECT_EQ(250000000u, ts.fraction);

    Buffer n;
    EXPECT_EQ(DBSTATUS_E_CANTCONVERTVALUE, Read(1, DBTYPE_FILETIME, 8, n)) << "an int is no date";
}

TEST_F(ConversionTest, TextsAreTerminatedAndCarryTheirLength)
{
    Buffer b;
    ASSERT_EQ(DBSTATUS_S_OK, Read(8, DBTYPE_WSTR, 21 * 2 + 2, b));
    EXPECT_STREQ(L"A0000000010000000002", b.Text(0));
    EXPECT_EQ(40u, b.Length(0)) << "length in bytes, terminator excluded";
}

TEST_F(ConversionTest, LongerTextThanTheBufferIsTruncated)
{
    Buffer b;
    ASSERT_EQ(DBSTATUS_S_TRUNCATED, Read(8, DBTYPE_WSTR, 10, b));
    EXPECT_STREQ(L"A000", b.Text(0)) << "four characters and the terminator fill ten bytes";
    EXPECT_EQ(40u, b.Length(0)) << "the length is the whole value's";
}

TEST_F(ConversionTest, NarrowAndByRefTexts)
{
    {
        Buffer b;
        ASSERT_EQ(DBSTATUS_S_OK, Read(9, DBTYPE_STR, 16, b));
        EXPECT_STREQ("short", reinterpret_cast<const char*>(b.Value(0)));
        EXPECT_EQ(5u, b.Length(0));
    }
    {
        Buffer b;
        ASSERT_EQ(DBSTATUS_S_OK, Read(10, DBTYPE_WSTR | DBTYPE_BYREF, 4, b));
        wchar_t* text = b.Get<wchar_t*>(0);
        ASSERT_NE(nullptr, text);
        EXPECT_STREQ(L"long text", text);
        CoTaskMemFree(text);
    }
}

TEST_F(ConversionTest, NumbersReadAsText)
{
    Buffer b;
    ASSERT_EQ(DBSTATUS_S_OK, Read(1, DBTYPE_WSTR, 40, b));
    EXPECT_STREQ(L"-123456", b.Text(0));
}

TEST_F(ConversionTest, NullColumnsReportIsNull)
{
    ASSERT_EQ(S_OK, Run(session_.Get(), L"INSERT INTO T (I) VALUES (NULL)"));
    std::vector<Row> rows = Query(session_.Get(), L"SELECT I, N, W FROM T WHERE I IS NULL");
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ((Row{L"<null>", L"<null>", L"<null>"}), rows[0]);
}

TEST_F(ConversionTest, InputTextLengthComesFromTheLengthPartAndStopsAtNul)
{
    Ptr<ICommandText> command = NewCommand(session_.Get(), L"INSERT INTO T (N, V) VALUES (?, ?)");
    Buffer p;
    size_t a = p.Add(1, DBTYPE_WSTR, 64, true);
    size_t c = p.Add(2, DBTYPE_WSTR, 64, true);
    p.Layout();
    p.SetText(a, L"ABCDEFGH");
    p.SetLength(a, 6);  // three characters
    const wchar_t withNul[] = L"xy\0zw";
    memcpy(p.Value(c), withNul, sizeof(withNul));
    p.SetLength(c, 10);
    p.SetStatus(c, DBSTATUS_S_OK);
    ASSERT_EQ(S_OK, ExecuteWith(command.Get(), p, nullptr, IID_NULL, nullptr));
    std::vector<Row> rows = Query(session_.Get(), L"SELECT N, V, LEN(V) FROM T WHERE N = 'ABC'");
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ((Row{L"ABC", L"xy", L"2"}), rows[0]);
}

TEST_F(ConversionTest, DateTextComparedWithADatetimeColumnIsTakenAsADate)
{
    Ptr<ICommandText> command = NewCommand(session_.Get(), L"SELECT I FROM T WHERE W = ?");
    Buffer p;
    size_t when = p.Add(1, DBTYPE_WSTR, 64, true);
    p.Layout();
    p.SetText(when, L"2004-02-29T13:45:10.25");  // written differently from the stored text
    Ptr<IRowset> rowset;
    ASSERT_EQ(S_OK, ExecuteWith(command.Get(), p, nullptr, IID_IRowset, rowset.OutUnknown()));
    EXPECT_EQ(1u, ReadAll(rowset.Get()).size());
    // SQL Server matches a LIKE pattern against its own text of the date
    // ("Feb 29 2004  1:45PM"), not the text the database keeps: refused.
    Ptr<ICommandText> like = NewCommand(session_.Get(), L"SELECT I FROM T WHERE W LIKE '2004-%'");
    EXPECT_EQ(DB_E_ERRORSINCOMMAND, like->Execute(nullptr, IID_IRowset, nullptr, nullptr, rowset.OutUnknown()));
    EXPECT_EQ(L"42000", TakeError().sqlState);
}

TEST_F(ConversionTest, ParametersOfEveryIntegerWidth)
{
    Ptr<ICommandText> command = NewCommand(session_.Get(), L"INSERT INTO T (I, S, B, Big, F) VALUES (?, ?, ?, ?, ?)");
    Buffer p;
    size_t i1 = p.Add(1, DBTYPE_I1, 1);
    size_t i2 = p.Add(2, DBTYPE_UI2, 2);
    size_t i3 = p.Add(3, DBTYPE_UI1, 1);
    size_t i4 = p.Add(4, DBTYPE_UI8, 8);
    size_t i5 = p.Add(5, DBTYPE_I4, 4);
    p.Layout();
    p.Set(i1, static_cast<signed char>(-5));
    p.Set(i2, static_cast<USHORT>(65000));
    p.Set(i3, static_cast<BYTE>(255));
    p.Set(i4, 1ULL << 40);
    p.Set(i5, 7);  // a bit takes any non-zero integer as 1
    ASSERT_EQ(S_OK, ExecuteWith(command.Get(), p, nullptr, IID_NULL, nullptr));
    std::vector<Row> rows = Query(session_.Get(), L"SELECT I, S, B, Big, F FROM T WHERE I = -5");
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ((Row{L"-5", L"65000", L"255", L"1099511627776", L"1"}), rows[0]);
}

TEST_F(ConversionTest, RowAccessorIgnoresRowSizeAndDirection)
{
    Ptr<IAccessor> accessors = rowset_.As<IAccessor>(IID_IAccessor);
    Buffer b;
    b.Add(1, DBTYPE_I4, 4);
    b.Layout();
    DBBINDING binding = b.Bindings()[0];
    binding.eParamIO = DBPARAMIO_INPUT | DBPARAMIO_OUTPUT;
    HACCESSOR accessor = 0;
    DBBINDSTATUS status = 0;
    ASSERT_EQ(S_OK, accessors->CreateAccessor(DBACCESSOR_ROWDATA, 1, &binding, 52, &accessor, &status));
    EXPECT_EQ(S_OK, rowset_->GetData(row_, accessor, b.Data()));
    EXPECT_EQ(-123456, b.Get<int>(0));
    accessors->ReleaseAccessor(accessor, nullptr);
}

TEST_F(ConversionTest, AccessorWithABadOrdinalIsRefused)
{
    Ptr<IAccessor> accessors = rowset_.As<IAccessor>(IID_IAccessor);
    Buffer b;
    b.Add(12, DBTYPE_I4, 4);
    b.Layout();
    HACCESSOR accessor = 0;
    DBBINDSTATUS status = 0;
    EXPECT_EQ(DB_E_ERRORSOCCURRED,
              accessors->CreateAccessor(DBACCESSOR_ROWDATA, 1, b.Bindings().data(), 0, &accessor, &status));
    EXPECT_EQ(DBBINDSTATUS_BADORDINAL, status);
}

}  // namespace
}  // namespace zt
