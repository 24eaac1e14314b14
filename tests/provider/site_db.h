// A database made from site/schema.sql through the provider, with a few
// realistic rows, and a compact way to run a statement with typed parameters.
#pragma once

#include "provider/harness.h"

namespace zt {

// One parameter value, bound with its OLE DB type.
struct P {
    DBTYPE type = DBTYPE_I4;
    long long integer = 0;
    double real = 0;
    std::wstring text;
    FILETIME time = {};
    bool null = false;
};
P I4(int v);
P UI4(unsigned v);
P R4(float v);
P W(const wchar_t* text);
P FT(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0);
P Null(DBTYPE type);

struct Result {
    HRESULT hr = E_FAIL;
    DBROWCOUNT affected = 0;
    std::vector<Row> rows;
    PostedError error;
};

// The statements of site/schema.sql: the text between lines that hold only GO.
std::vector<std::wstring> SchemaStatements();

class SiteTest : public ProviderTest {
protected:
    void SetUp() override;
    // Runs `text` with `params` on `session` (the fixture's when null): the
    // result, the rows when there are any, rows affected, the posted error.
    Result Exec(const wchar_t* text, const std::vector<P>& params = {}, IDBCreateCommand* session = nullptr);
    // Runs and expects success with these rows.
    void ExpectRows(const wchar_t* text, const std::vector<P>& params, const std::vector<Row>& rows);
    // Runs and expects success with this many rows affected.
    void ExpectAffected(const wchar_t* text, const std::vector<P>& params, DBROWCOUNT affected);
    // Runs and expects failure with this SQLSTATE.
    void ExpectState(const wchar_t* text, const std::vector<P>& params, const wchar_t* state);
};

}  // namespace zt
