#include "db_fixture.h"

#include "common/fixture_helpers.h"

#include <sqlite3.h>

namespace {

LONG gFolderCounter = 0;

using testfix::RemoveTree;

}  // namespace

void DbTest::SetUp()
{
    DODBClearError();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wchar_t name[64];
    swprintf(name, 64, L"dblayer-%lu-%ld-%lu", GetCurrentProcessId(), InterlockedIncrement(&gFolderCounter),
             GetTickCount());
    folder = std::wstring(temp) + name;
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
}

void DbTest::TearDown()
{
    DODBFailAllocationsAfter(-1);
    session.Release();
    source.Release();
    DODBClearError();
    RemoveTree(folder);
}

void DbTest::MakeDatabase(const char* sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open16(DbPath().c_str(), &db));
    char* message = nullptr;
    int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    std::string text = message != nullptr ? message : "";
    sqlite3_free(message);
    sqlite3_close(db);
    ASSERT_EQ(SQLITE_OK, rc) << text;
}

void DbTest::Open()
{
    ASSERT_TRUE(source.CreateNew());
    HRESULT hr = source->OpenDataSource(InitString().c_str());
    ASSERT_EQ(S_OK, hr) << std::hex << hr;
    hr = source->CreateSession(session);
    ASSERT_EQ(S_OK, hr) << std::hex << hr;
    ASSERT_TRUE(session.IsSet());
}

HRESULT DbTest::Run(const wchar_t* sql, DBROWCOUNT* affected)
{
    DODBPtr<DODBCommand> command;
    if (!session->CreateCommand(command))
        return E_FAIL;
    HRESULT hr = command->SetCmdText(sql);
    if (FAILED(hr))
        return hr;
    return command->ExecuteNR(nullptr, affected);
}

std::wstring TextOf(const DODBErrors& e)
{
    wchar_t buffer[4200] = {};
    e.GetText(buffer, 4100);
    return buffer;
}

std::wstring TakeErrorText()
{
    if (!DODBErrorPending())
        return std::wstring();
    DODBErrors e(E_FAIL, TRUE);
    return TextOf(e);
}
