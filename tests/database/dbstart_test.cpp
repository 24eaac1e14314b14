// Opening the program's database from "dbinit.cfg", with its retry questions.
#include "db_fixture.h"

#include "common/prompt_script.h"
#include "database/dbstart.h"
#include "foundation/prompt.h"

#include <string>

namespace {

const wchar_t kReadQuestion[] =
    L"Error of reading configuration file\n(for connecting to database)\nRepeat connecting to database?";
const wchar_t kConnectQuestion[] = L"Connecting error to database\nRepeat connecting to database?";
const wchar_t kCaption[] = L"Connect to database";

class DbStartTest : public DbTest
{
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        MakeDatabase("CREATE TABLE Patient (Patient integer PRIMARY KEY, Name nvarchar(32));");
        std::wstring data = Folder() + L"\\";
        wcscpy(DataPath, data.c_str());
    }
    void TearDown() override
    {
        DbClose();
        g_DbInitString.Free();
        DataPath[0] = 0;
        DbTest::TearDown();
    }
    std::wstring CfgPath() const { return Folder() + L"\\dbinit.cfg"; }
    void WriteBytes(const void* bytes, DWORD size)
    {
        HANDLE file = CreateFileW(CfgPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        DWORD written = 0;
        WriteFile(file, bytes, size, &written, nullptr);
        CloseHandle(file);
    }
    // The file as the site writes it: UTF-16 little-endian with its mark.
    void WriteConfig(const std::wstring& text)
    {
        std::wstring content = L"\xFEFF" + text;
        WriteBytes(content.data(), (DWORD)(content.size() * sizeof(wchar_t)));
    }
};

TEST_F(DbStartTest, OpensTheSourceAndTheSession)
{
    WriteConfig(InitString());
    PromptScript script;
    ASSERT_TRUE(DbStart());
    EXPECT_EQ(0u, script.Count());
    EXPECT_TRUE(g_DbSource.IsSet());
    EXPECT_TRUE(g_DbSource->IsOpen());
    ASSERT_TRUE(g_DbSession.IsSet());
    EXPECT_EQ(InitString(), g_DbInitString.GetString());
    DODBPtr<DODBCommand> command;
    ASSERT_TRUE(g_DbSession->CreateCommand(command));
    command->SetCmdText(L"INSERT INTO Patient (Name) VALUES ('Ivanov')");
    EXPECT_EQ(S_OK, command->ExecuteNR(nullptr, nullptr));
    command.Release();
    EXPECT_TRUE(DbClose());
    EXPECT_FALSE(g_DbSession.IsSet());
    EXPECT_FALSE(g_DbSource.IsSet());
}

TEST_F(DbStartTest, AMissingFileAsksAndNoGivesUp)
{
    PromptScript script({IDNO});
    EXPECT_FALSE(DbStart());
    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(kReadQuestion, script.Last().text);
    EXPECT_EQ(kCaption, script.Last().caption);
    EXPECT_EQ((UINT)MB_YESNO, script.Last().flags & 0xF);
    EXPECT_EQ(nullptr, script.Last().owner);
    EXPECT_FALSE(g_DbSource.IsSet());
}

TEST_F(DbStartTest, YesReadsTheFileAgain)
{
    PromptScript script({IDYES, IDYES, IDNO});
    EXPECT_FALSE(DbStart());
    EXPECT_EQ(3u, script.Count());
}

TEST_F(DbStartTest, FilesShorterThanTheMarkAreReadFailures)
{
    for (DWORD size : {0u, 1u}) {
        const BYTE bytes[1] = {0xFF};
        WriteBytes(bytes, size);
        EXPECT_FALSE(ReadDbInitFile()) << size;
        PromptScript script({IDNO});
        EXPECT_FALSE(DbStart());
        ASSERT_EQ(1u, script.Count()) << size;
        EXPECT_EQ(kReadQuestion, script.Last().text);
    }
}

TEST_F(DbStartTest, TheMarkAloneIsAnEmptyStringTheProviderRefuses)
{
    WriteConfig(L"");
    ASSERT_TRUE(ReadDbInitFile());
    EXPECT_EQ(0, g_DbInitString.Length());
    EXPECT_STREQ(L"", g_DbInitString.GetString());
    PromptScript script({IDOK, IDNO});
    EXPECT_FALSE(DbStart());
    ASSERT_EQ(2u, script.Count());
    EXPECT_EQ(kCaption, script.Prompts()[0].caption);
    EXPECT_EQ((UINT)MB_OK, script.Prompts()[0].flags);
    EXPECT_TRUE(Has(script.Prompts()[0].text, L"HRESULT: 0X")) << script.Prompts()[0].text;
    EXPECT_EQ(kConnectQuestion, script.Last().text);
    EXPECT_EQ(kCaption, script.Last().caption);
    EXPECT_FALSE(g_DbSource.IsSet());
    EXPECT_FALSE(g_DbSession.IsSet());
}

TEST_F(DbStartTest, ATrailingLineBreakIsPartOfTheString)
{
    WriteConfig(InitString() + L"\r\n");
    ASSERT_TRUE(ReadDbInitFile());
    EXPECT_EQ(InitString() + L"\r\n", g_DbInitString.GetString());
    EXPECT_EQ((int)InitString().size() + 2, g_DbInitString.Length());
    // The provider trims its values: the database opens all the same.
    PromptScript script;
    EXPECT_TRUE(DbStart());
}

TEST_F(DbStartTest, AnOddByteAtTheEndIsDropped)
{
    std::wstring content = L"\xFEFF" L"AB";
    std::string bytes(reinterpret_cast<const char*>(content.data()), content.size() * 2);
    bytes.push_back('C');
    WriteBytes(bytes.data(), (DWORD)bytes.size());
    ASSERT_TRUE(ReadDbInitFile());
    EXPECT_STREQ(L"AB", g_DbInitString.GetString());
}

TEST_F(DbStartTest, AWrongDatabaseShowsTheProvidersTextAndAsks)
{
    WriteConfig(L"Provider=ZelkSQLite.1;Data Source=" + Folder() + L"\\nothere.db");
    PromptScript script({IDOK, IDNO});
    EXPECT_FALSE(DbStart());
    ASSERT_EQ(2u, script.Count());
    const std::wstring shown = script.Prompts()[0].text;
    EXPECT_TRUE(Has(shown, L"SQLSTATE: 08001")) << shown;
    EXPECT_FALSE(Has(shown, L"Data source initializating error")) << shown;
    EXPECT_EQ(kConnectQuestion, script.Last().text);
    EXPECT_FALSE(g_DbSource.IsSet());
}

// Answers the connect question by correcting the file first, as a service
// engineer would while the question is on the screen.
std::wstring gCorrected;
int CorrectThenYes(HWND, const wchar_t* text, const wchar_t*, UINT)
{
    if (wcscmp(text, kConnectQuestion) == 0) {
        std::wstring content = L"\xFEFF" + gCorrected;
        HANDLE file = CreateFileW((std::wstring(DataPath) + L"dbinit.cfg").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, content.data(), (DWORD)(content.size() * 2), &written, nullptr);
        CloseHandle(file);
        return IDYES;
    }
    return IDOK;
}

TEST_F(DbStartTest, YesAfterAFailedConnectionReadsTheCorrectedFile)
{
    WriteConfig(L"Provider=ZelkSQLite.1;Data Source=" + Folder() + L"\\nothere.db");
    gCorrected = InitString();
    PromptHook old = SetPromptHook(CorrectThenYes);
    BOOL opened = DbStart();
    SetPromptHook(old);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(g_DbSession.IsSet());
    EXPECT_EQ(InitString(), g_DbInitString.GetString());
}

TEST_F(DbStartTest, AnUnknownProviderShowsTheLayersRecord)
{
    WriteConfig(L"Provider=NoSuchProvider.3;Data Source=x");
    PromptScript script({IDOK, IDNO});
    EXPECT_FALSE(DbStart());
    ASSERT_EQ(2u, script.Count());
    EXPECT_TRUE(Has(script.Prompts()[0].text, L"Procedure CoCreateInstance error while getting interface "
                                               L"IDataInitialize"));
}

TEST_F(DbStartTest, ASourceThatCannotBeAllocatedEndsWithoutAMessage)
{
    WriteConfig(InitString());
    PromptScript script;
    DODBFailAllocationsAfter(0);
    EXPECT_FALSE(DbStart());
    DODBFailAllocationsAfter(-1);
    EXPECT_EQ(0u, script.Count());
}

TEST_F(DbStartTest, ASecondStartAfterCloseOpensAgain)
{
    WriteConfig(InitString());
    PromptScript script;
    ASSERT_TRUE(DbStart());
    DbClose();
    ASSERT_TRUE(DbStart());
    EXPECT_TRUE(g_DbSession.IsSet());
}

}  // namespace
