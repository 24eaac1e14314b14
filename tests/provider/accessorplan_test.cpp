// What a re-executed statement keeps between executions: the plan of a row
// accessor writes every binding shape as the general conversion does, the
// plan of a parameter accessor binds each execution's own values (a number
// not bound again when it did not change), and a command and its spare
// rowset go with their last reference, whatever the order of the releases.
#include "provider/harness.h"

#include <cstring>

namespace zt {
namespace {

const char kSchema[] =
    "CREATE TABLE T (Id INTEGER PRIMARY KEY AUTOINCREMENT, I int, N int, Big bigint, R real, D float, Txt nvarchar(8),"
    " F bit);"
    "INSERT INTO T (I, N, Big, R, D, Txt, F) VALUES (-123456, NULL, 5000000000, 2.5, 1e300, '42', 1);"
    "INSERT INTO T (I, N, Big, R, D, Txt, F) VALUES (7, 8, 9, 0.5, 0.25, 'x', 0);";

class AccessorPlanTest : public ProviderTest {
protected:
    void SetUp() override
    {
        ProviderTest::SetUp();
        MakeDatabase(kSchema);
        OpenSession();
        ASSERT_TRUE(session_);
    }
};

// One binding of column `ordinal` as `type` with the parts `parts`, read from
// the first row of "SELECT I, N, Big, R, D, Txt FROM T".
struct Shape {
    DBORDINAL ordinal;
    DBTYPE type;
    DBPART parts;
    HRESULT result;    // of GetData
    DBSTATUS status;   // when bound
    DBLENGTH length;   // when bound
    double value;      // when the status is OK, read as the type
};

const DBPART V = DBPART_VALUE, L = DBPART_LENGTH, S = DBPART_STATUS;
const Shape kShapes[] = {
    {1, DBTYPE_I4, V | S, S_OK, DBSTATUS_S_OK, 0, -123456},
    {1, DBTYPE_I4, V | L | S, S_OK, DBSTATUS_S_OK, 4, -123456},
    {1, DBTYPE_I4, V, S_OK, 0, 0, -123456},
    {1, DBTYPE_I4, L | S, S_OK, DBSTATUS_S_OK, 4, 0},
    {2, DBTYPE_I4, V | S, S_OK, DBSTATUS_S_ISNULL, 0, 0},
    {2, DBTYPE_I4, V | L | S, S_OK, DBSTATUS_S_ISNULL, 0, 0},
    {2, DBTYPE_R8, V, DB_E_ERRORSOCCURRED, 0, 0, 0},
    {3, DBTYPE_I4, V | S, DB_E_ERRORSOCCURRED, DBSTATUS_E_DATAOVERFLOW, 0, 0},
    {3, DBTYPE_I8, V | S, S_OK, DBSTATUS_S_OK, 0, 5000000000.0},
    {4, DBTYPE_R4, V | S, S_OK, DBSTATUS_S_OK, 0, 2.5},
    {4, DBTYPE_R8, V | L | S, S_OK, DBSTATUS_S_OK, 8, 2.5},
    {4, DBTYPE_I4, V | S, S_OK, DBSTATUS_S_OK, 0, 2},  // towards zero, as SQL Server converts
    {5, DBTYPE_R4, V | S, DB_E_ERRORSOCCURRED, DBSTATUS_E_DATAOVERFLOW, 0, 0},
    {5, DBTYPE_R8, V | S, S_OK, DBSTATUS_S_OK, 0, 1e300},
    {6, DBTYPE_I4, V | L | S, S_OK, DBSTATUS_S_OK, 4, 42},
    {1, DBTYPE_R8, V | S, S_OK, DBSTATUS_S_OK, 0, -123456},
};

double ValueAs(DBTYPE type, const BYTE* p)
{
    switch (type) {
    case DBTYPE_I4: {
        int32_t v;
        memcpy(&v, p, 4);
        return v;
    }
    case DBTYPE_I8: {
        int64_t v;
        memcpy(&v, p, 8);
        return static_cast<double>(v);
    }
    case DBTYPE_R4: {
        float v;
        memcpy(&v, p, 4);
        return v;
    }
    default: {
        double v;
        memcpy(&v, p, 8);
        return v;
    }
    }
}

// Every shape through an accessor of the rowset's own, then again through
// one made on the command (inherited, the plan kept across executions), each
// accessor released before the next is made in the same slot.
TEST_F(AccessorPlanTest, EveryBindingShapeIsWrittenAsTheConversionRulesSay)
{
    Ptr<ICommandText> command = NewCommand(session_.Get(), L"SELECT I, N, Big, R, D, Txt FROM T ORDER BY Id");
    for (int inherited = 0; inherited < 2; ++inherited) {
        for (const Shape& shape : kShapes) {
            const size_t at = &shape - kShapes;
            Ptr<IRowset> rowset;
            ASSERT_EQ(S_OK, command->Execute(nullptr, IID_IRowset, nullptr, nullptr, rowset.OutUnknown()));
            // Status, length, then an 8-byte value, each part where the shape has it.
            DBBINDING b = {};
            b.iOrdinal = shape.ordinal;
            b.obStatus = 0;
            b.obLength = 4;
            b.obValue = 8;
            b.dwPart = shape.parts;
            b.dwMemOwner = DBMEMOWNER_CLIENTOWNED;
            b.cbMaxLen = 8;
            b.wType = shape.type;
            IUnknown* owner = inherited ? static_cast<IUnknown*>(command.Get()) : rowset.Get();
            Ptr<IAccessor> accessors;
            owner->QueryInterface(IID_IAccessor, accessors.OutVoid());
            HACCESSOR accessor = DB_NULL_HACCESSOR;
            ASSERT_EQ(S_OK, accessors->CreateAccessor(DBACCESSOR_ROWDATA, 1, &b, 0, &accessor, nullptr)) << at;
            HROW row = 0;
            HROW* rows = &row;
            DBCOUNTITEM obtained = 0;
            ASSERT_EQ(S_OK, rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rows));
            BYTE data[16];
            memset(data, 0xCC, sizeof data);
            EXPECT_EQ(shape.result, rowset->GetData(row, accessor, data)) << "shape " << at << ", " << inherited;
            DBSTATUS status;
            DBLENGTH length;
            memcpy(&status, data, 4);
            memcpy(&length, data + 4, 4);
            if (shape.parts & S) {
                EXPECT_EQ(shape.status, status) << "shape " << at << ", " << inherited;
            }
            if (shape.parts & L) {
                EXPECT_EQ(shape.length, length) << "shape " << at << ", " << inherited;
            }
            if ((shape.parts & V) && shape.result == S_OK && shape.status == DBSTATUS_S_OK) {
                EXPECT_EQ(shape.value, ValueAs(shape.type, data + 8)) << "shape " << at << ", " << inherited;
            }
            if (!(shape.parts & V)) {
                EXPECT_EQ(0xCC, data[8]) << "no value part, no value: shape " << at;
            }
            rowset->ReleaseRows(1, &row, nullptr, nullptr, nullptr);
            TakeError();
            accessors->ReleaseAccessor(accessor, nullptr);
        }
    }
}

// A key bound through one parameter accessor across executions: the same
// value again, NULL, a refused status, a text bound in between on another
// binding, a new text; by value and by reference.
TEST_F(AccessorPlanTest, EachExecutionBindsItsOwnParameterValues)
{
    struct Step {
        int key;
        DBSTATUS status;
        const wchar_t* newText;  // SetCommandText first, when set
        HRESULT result;
        const wchar_t* first;    // I of the first row, "" for none
    };
    const wchar_t kById[] = L"SELECT I FROM T WHERE Id = ?";
    const Step steps[] = {
        {1, DBSTATUS_S_OK, nullptr, S_OK, L"-123456"},
        {1, DBSTATUS_S_OK, nullptr, S_OK, L"-123456"},
        {2, DBSTATUS_S_OK, nullptr, S_OK, L"7"},
        {2, DBSTATUS_S_ISNULL, nullptr, S_OK, L""},
        {2, DBSTATUS_S_OK, nullptr, S_OK, L"7"},
        {1, DBSTATUS_E_BADSTATUS, nullptr, DB_E_ERRORSOCCURRED, nullptr},
        {2, DBSTATUS_S_OK, nullptr, S_OK, L"7"},
        {2, DBSTATUS_S_OK, L"SELECT I FROM T WHERE Id = ? + 0", S_OK, L"7"},
        {1, DBSTATUS_S_OK, nullptr, S_OK, L"-123456"},
        {1, DBSTATUS_S_OK, L"SELECT I FROM T WHERE Id = ?", S_OK, L"-123456"},
    };
    for (int byRef = 0; byRef < 2; ++byRef) {
        Ptr<ICommandText> command = NewCommand(session_.Get(), kById);
        int key = 0;
        struct {
            DBSTATUS status;
            int* pointer;
            int value;
        } block = {};
        DBBINDING b = {};
        b.iOrdinal = 1;
        b.obStatus = 0;
        b.obValue = byRef ? 4 : 8;
        b.dwPart = DBPART_VALUE | DBPART_STATUS;
        b.dwMemOwner = DBMEMOWNER_CLIENTOWNED;
        b.eParamIO = DBPARAMIO_INPUT;
        b.cbMaxLen = 4;
        b.wType = byRef ? DBTYPE_I4 | DBTYPE_BYREF : DBTYPE_I4;
        Ptr<IAccessor> accessors = command.As<IAccessor>(IID_IAccessor);
        HACCESSOR accessor = DB_NULL_HACCESSOR;
        ASSERT_EQ(S_OK, accessors->CreateAccessor(DBACCESSOR_PARAMETERDATA, 1, &b, 0, &accessor, nullptr));
        for (const Step& step : steps) {
            const size_t at = &step - steps;
            if (step.newText) {
                ASSERT_EQ(S_OK, command->SetCommandText(DBGUID_DEFAULT, step.newText));
            }
            key = step.key;
            block.status = step.status;
            block.pointer = &key;
            block.value = step.key;
            DBPARAMS params = {&block, 1, accessor};
            Ptr<IRowset> rowset;
            EXPECT_EQ(step.result, command->Execute(nullptr, IID_IRowset, &params, nullptr, rowset.OutUnknown()))
                << "step " << at << (byRef ? ", by reference" : "");
            TakeError();
            if (!step.first)
                continue;
            const std::vector<Row> rows = ReadAll(rowset.Get());
            EXPECT_EQ(step.first, rows.empty() ? std::wstring() : rows[0][0])
                << "step " << at << (byRef ? ", by reference" : "");
        }
        accessors->ReleaseAccessor(accessor, nullptr);
    }
    // A number given to a bit parameter is sent as 0 or 1.
    Ptr<ICommandText> bits = NewCommand(session_.Get(), L"SELECT COUNT(*) FROM T WHERE F = ?");
    Buffer flag;
    const size_t f = flag.Add(1, DBTYPE_I4, 4);
    flag.Layout();
    for (int value : {5, 0, -3}) {
        flag.Set(f, value);
        Ptr<IRowset> rowset;
        ASSERT_EQ(S_OK, ExecuteWith(bits.Get(), flag, nullptr, IID_IRowset, rowset.OutUnknown()));
        EXPECT_EQ(std::wstring(L"1"), ReadAll(rowset.Get())[0][0]) << value;
    }
}

using Unload = HRESULT(WINAPI*)();

// Whatever the order in which a consumer lets go of a command and of the
// rowsets it gave (one kept by the command as its spare, one still read),
// nothing of the provider is left once the session and data source go too.
TEST_F(AccessorPlanTest, ACommandAndItsSpareRowsetGoWithTheirLastReference)
{
    HMODULE provider = GetModuleHandleW(L"zelksqlite.dll");
    ASSERT_TRUE(provider);
    const auto canUnload = reinterpret_cast<Unload>(GetProcAddress(provider, "DllCanUnloadNow"));
    ASSERT_TRUE(canUnload);
    enum Release { Command, Spare, Live };
    const Release orders[][3] = {
        {Spare, Live, Command}, {Command, Spare, Live}, {Command, Live, Spare}, {Live, Command, Spare},
        {Spare, Command, Live}, {Live, Spare, Command},
    };
    for (const auto& order : orders) {
        const size_t at = &order - orders;
        Ptr<ICommandText> command = NewCommand(session_.Get(), L"SELECT I FROM T ORDER BY Id");
        Ptr<IRowset> spare, live;
        ASSERT_EQ(S_OK, command->Execute(nullptr, IID_IRowset, nullptr, nullptr, spare.OutUnknown()));
        ASSERT_EQ(S_OK, command->Execute(nullptr, IID_IRowset, nullptr, nullptr, live.OutUnknown()));
        for (Release r : order) {
            if (r == Command)
                command.Reset();
            else if (r == Spare)
                spare.Reset();
            else {
                EXPECT_EQ(2u, ReadAll(live.Get()).size()) << at;
                live.Reset();
            }
        }
    }
    session_.Reset();
    source_.Reset();
    EXPECT_EQ(S_OK, canUnload()) << "a provider object outlived its last reference";
}

}  // namespace
}  // namespace zt
