#include "kart_db.h"

#include "common/prompt_script.h"
#include "database/dbbindparam.h"
#include "database/dbcommand.h"
#include "database/dberrors.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dbstart.h"
#include "forms/kartdata.h"
#include "forms/kartfield.h"
#include "foundation/applocale.h"
#include "foundation/datetime.h"

#include <sqlite3.h>

#include <fstream>
#include <sstream>

const char kTestTables[] =
    "CREATE TABLE Visit (\n"
    "    Visit int IDENTITY (1, 1) NOT NULL CONSTRAINT PK_Visit PRIMARY KEY CLUSTERED,\n"
    "    Patient int NULL CONSTRAINT FK_Visit_Patient REFERENCES Patient (Patient),\n"
    "    Note nvarchar (20) NULL\n"
    ");\n"
    "GO\n"
    "CREATE TABLE Sample (\n"
    "    Sample int IDENTITY (1, 1) NOT NULL CONSTRAINT PK_Sample PRIMARY KEY CLUSTERED,\n"
    "    Small tinyint NULL,\n"
    "    Medium smallint NULL,\n"
    "    Number int NULL,\n"
    "    Flag bit NOT NULL CONSTRAINT DF_Sample_Flag DEFAULT (0),\n"
    "    Txt nvarchar (10) NULL,\n"
    "    Stamp datetime NULL,\n"
    "    [Day] datetime NULL,\n"
    "    Clock datetime NULL\n"
    ");\n"
    "GO\n";

namespace {

std::string ReadSiteSchema()
{
    std::wstring path = std::wstring(TF_SITE_DIR) + L"schema.sql";
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string text;
    if (f == INVALID_HANDLE_VALUE)
        return text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(f, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        text.append(buffer, read);
    CloseHandle(f);
    return text;
}

// The statements of a script: the text between lines that hold only GO,
// "--" comments dropped.
std::vector<std::wstring> Statements(const std::string& script)
{
    std::istringstream in(script);
    std::string line, current;
    std::vector<std::wstring> out;
    auto flush = [&]() {
        if (current.find_first_not_of(" \t\r\n") != std::string::npos) {
            int n = MultiByteToWideChar(CP_UTF8, 0, current.c_str(), -1, nullptr, 0);
            std::wstring w(n, L'\0');
            MultiByteToWideChar(CP_UTF8, 0, current.c_str(), -1, &w[0], n);
            w.resize(n - 1);
            out.push_back(w);
        }
        current.clear();
    };
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t dash = line.find("--");
        if (dash != std::string::npos)
            line.erase(dash);
        if (line.find_first_not_of(" \t") != std::string::npos &&
            line.substr(line.find_first_not_of(" \t"), 2) == "GO" &&
            line.find_first_not_of(" \t", line.find_first_not_of(" \t") + 2) == std::string::npos) {
            flush();
            continue;
        }
        current += line + "\n";
    }
    flush();
    return out;
}

}  // namespace

void KartDbTest::SetUp()
{
    DescTest::SetUp();
    if (HasFatalFailure())
        return;
    // Dates are typed and shown the English way: day, month, year with "/".
    gAppLocale.SetLcid(0x409);
    SetDateTimeFormats(0x409);
    wcscpy(DataPath, folder_.c_str());
    // "dbinit.cfg": UTF-16 with its mark, the initialization string after it.
    std::wstring init = L"\xFEFFProvider=ZelkSQLite.1;Data Source=" + DbPath();
    HANDLE f = CreateFileW((folder_ + L"dbinit.cfg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    DWORD written = 0;
    WriteFile(f, init.data(), static_cast<DWORD>(init.size() * 2), &written, nullptr);
    CloseHandle(f);

    const std::string ddl = ReadSiteSchema() + "\nGO\n" + kTestTables;
    ASSERT_GT(ddl.size(), sizeof(kTestTables));
    MakeEmpty();
    Start();
    if (HasFatalFailure())
        return;
    for (const std::wstring& statement : Statements(ddl)) {
        DODBClearError();
        HRESULT hr = g_DbSession->ExecSql(statement.c_str(), nullptr, nullptr, nullptr, nullptr);
        ASSERT_EQ(S_OK, hr) << testing::PrintToString(statement) << "\n" << testing::PrintToString(ErrorText());
    }
}

void KartDbTest::TearDown()
{
    DbClose();
    g_DbInitString.Free();
    DataPath[0] = 0;
    DODBClearError();
    DeleteFileW((DbPath() + L"-wal").c_str());
    DeleteFileW((DbPath() + L"-shm").c_str());
    DescTest::TearDown();
}

void KartDbTest::MakeEmpty()
{
    // The provider opens only a file that is a database already: the header is written here.
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open16(DbPath().c_str(), &db));
    const int rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    ASSERT_EQ(SQLITE_OK, rc);
}

std::wstring KartDbTest::ErrorText()
{
    if (!DODBErrorPending())
        return std::wstring();
    DODBErrors e(E_FAIL, TRUE);
    wchar_t text[2048] = {};
    e.GetText(text, 2000);
    return text;
}

void KartDbTest::Start()
{
    PromptScript script;
    ASSERT_TRUE(DbStart());
    ASSERT_TRUE(g_DbSession.IsSet());
}

HRESULT KartDbTest::Run(const std::wstring& sql)
{
    DODBClearError();
    HRESULT hr = g_DbSession->ExecSql(sql.c_str(), nullptr, nullptr, nullptr, nullptr);
    lastError_ = FAILED(hr) ? ErrorText() : std::wstring();
    DODBClearError();
    return hr;
}

long long KartDbTest::Scalar(const std::wstring& sql)
{
    DODBPtr<DODBRowset> rowset;
    DODBPtr<DODBParams> row;
    if (FAILED(g_DbSession->ExecSql(sql.c_str(), &rowset, &row, nullptr, nullptr)) || !rowset.IsSet()) {
        DODBClearError();
        return -1;
    }
    if (!rowset->GetNextData(row.Get()) || row->IsNull(0)) {
        DODBClearError();
        return -1;
    }
    DWORD value = 0;
    if (!KartData::ReadInteger(row.Get(), 0, &value))
        return -1;
    return static_cast<LONG>(value);
}

std::wstring KartDbTest::Text(const std::wstring& sql)
{
    DODBPtr<DODBRowset> rowset;
    DODBPtr<DODBParams> row;
    if (FAILED(g_DbSession->ExecSql(sql.c_str(), &rowset, &row, nullptr, nullptr)) || !rowset.IsSet()) {
        DODBClearError();
        return L"<none>";
    }
    if (!rowset->GetNextData(row.Get())) {
        DODBClearError();
        return L"<none>";
    }
    if (row->IsNull(0))
        return L"<null>";
    if (row->GetWType(0) != DBTYPE_WSTR)
        return L"<not text>";
    return std::wstring(static_cast<const wchar_t*>(row->GetValuePtr(0)), row->GetLength(0) / 2);
}

LONG KartDbTest::AddPatient(const wchar_t* name1, const wchar_t* name2, const wchar_t* name3, WORD year, WORD month,
                            WORD day)
{
    DODBPtr<DODBCommand> command;
    DODBPtr<DODBBindParam> params;
    EXPECT_TRUE(g_DbSession->CreateCommand(command));
    EXPECT_TRUE(params.CreateNew());
    const wchar_t* names[3] = {name1, name2, name3};
    for (ULONG i = 0; i < 3; ++i) {
        if (names[i] != nullptr)
            params->SetStr(i + 1, names[i], static_cast<int>(wcslen(names[i])));
        else
            params->SetStr(i + 1, L"", 0, DBSTATUS_S_ISNULL);
    }
    FILETIME birthday = {};
    if (year != 0) {
        SYSTEMTIME st = {year, month, 0, day, 0, 0, 0, 0};
        SystemTimeToFileTime(&st, &birthday);
    }
    params->SetValDate(4, birthday, year != 0 ? DBSTATUS_S_OK : DBSTATUS_S_ISNULL);
    EXPECT_EQ(S_OK, command->SetCmdText(L"INSERT INTO Patient (Name1, Name2, Name3, Birthday, Pol) VALUES (?, ?, ?, ?, 0)"));
    EXPECT_TRUE(command->ExecuteBindNR(params, nullptr)) << testing::PrintToString(ErrorText());
    return static_cast<LONG>(Scalar(L"SELECT MAX(Patient) FROM Patient"));
}

std::unique_ptr<DbFormDesc> KartDbTest::DbForm(const std::wstring& name, const std::wstring& text)
{
    WriteCfg(name, text);
    std::unique_ptr<DbFormDesc> form(new DbFormDesc);
    EXPECT_EQ(1, form->Parse(name.c_str())) << testing::PrintToString(text);
    return form;
}

std::unique_ptr<FormDesc> KartDbTest::Form(const std::wstring& name, const std::wstring& text)
{
    WriteCfg(name, text);
    std::unique_ptr<FormDesc> form(new FormDesc);
    EXPECT_EQ(1, form->Parse(name.c_str())) << testing::PrintToString(text);
    return form;
}

void KartDbTest::CopySiteCfg(const wchar_t* name)
{
    std::wstring from = std::wstring(TF_SITE_DIR) + L"cfg\\" + name;
    for (wchar_t& c : from)
        if (c == L'/')
            c = L'\\';
    ASSERT_TRUE(CopyFileW(from.c_str(), (folder_ + name).c_str(), FALSE)) << GetLastError();
}

FormKartFields::FormKartFields(const DbFormDesc& form)
{
    for (int i = 0; i < form.Items().count; ++i)
        fields_.push_back(KartField::Create(&form, form.Items()[i]));
}

FormKartFields::~FormKartFields()
{
    for (KartField* f : fields_)
        KartField::Free(f);
}
