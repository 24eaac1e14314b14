// The current patient's name line, read by the patient lookup.
#include "kart_db.h"

#include "common/prompt_script.h"
#include "database/dbstart.h"
#include "forms/patientlookup.h"

#include <string>
#include <vector>

namespace {

struct Heard {
    std::wstring text;
    bool textNull;
    DWORD key;
    DWORD request;
    bool error;
};

class RecordingListener : public ListenerBase {
public:
    void OnCurrentPatient(const wchar_t* text, int length, DWORD key, DWORD request) override
    {
        heard.push_back({text ? std::wstring(text, length) : L"", text == nullptr, key, request, false});
    }
    void OnLookupError(const wchar_t* text, int length) override
    {
        heard.push_back({std::wstring(text, length), false, 0, 0, true});
    }
    std::vector<Heard> heard;
};

const wchar_t kList[] = L"table = \"Patient\" key = \"Patient\" list { { \"Name\", \"Name1\", char(40) } }";

class PatientLookupTest : public KartDbTest {
protected:
    void SetUp() override
    {
        KartDbTest::SetUp();
        lookup.SetListener(&listener);
    }
    PatientLookup lookup;
    RecordingListener listener;
};

TEST_F(PatientLookupTest, TheSelectNamesTheListTableAndKey)
{
    auto form = DbForm(L"main.cfg", kList);
    ASSERT_EQ(1, lookup.BuildSql(*form));
    EXPECT_STREQ(L"SELECT Name1, Name2, Name3, Birthday FROM Patient WHERE Patient=?;", lookup.Sql());
    lookup.Free();
    EXPECT_EQ(nullptr, lookup.Sql());
}

TEST_F(PatientLookupTest, ANullPartLeavesItsBlank)
{
    auto form = DbForm(L"main.cfg", kList);
    ASSERT_EQ(1, lookup.BuildSql(*form));
    LONG key = AddPatient(L"Иванов", L"Иван", nullptr, 1980, 2, 1);
    EXPECT_EQ(1, lookup.Run(static_cast<DWORD>(key), 7));
    ASSERT_EQ(1u, listener.heard.size());
    EXPECT_EQ(L"Иванов Иван  01/02/1980", listener.heard[0].text);
    EXPECT_EQ(static_cast<DWORD>(key), listener.heard[0].key);
    EXPECT_EQ(7u, listener.heard[0].request);
    DWORD got = 0;
    EXPECT_EQ(7u, lookup.GetIds(&got));
    EXPECT_EQ(static_cast<DWORD>(key), got);
}

TEST_F(PatientLookupTest, ARequestOfZeroRunsNoQuery)
{
    // No SQL and no database needed.
    EXPECT_EQ(1, lookup.Run(12, 0));
    ASSERT_EQ(1u, listener.heard.size());
    EXPECT_TRUE(listener.heard[0].textNull);
    EXPECT_EQ(12u, listener.heard[0].key);
    EXPECT_EQ(0u, listener.heard[0].request);
}

TEST_F(PatientLookupTest, WithoutSqlARequestDoesNothing)
{
    EXPECT_EQ(1, lookup.Run(12, 1));
    EXPECT_TRUE(listener.heard.empty());
}

TEST_F(PatientLookupTest, AMissingPatientSaysSoAndDeliversNoText)
{
    auto form = DbForm(L"main.cfg", kList);
    ASSERT_EQ(1, lookup.BuildSql(*form));
    PromptScript script({IDOK});
    EXPECT_EQ(1, lookup.Run(999, 3));
    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(L"Patient is not found", script.Last().text);   // the running language's text
    EXPECT_FALSE(script.Last().hasCaption);
    EXPECT_EQ(nullptr, script.Last().owner);
    EXPECT_EQ((UINT)MB_OK, script.Last().flags);
    ASSERT_EQ(1u, listener.heard.size());
    EXPECT_EQ(L"", listener.heard[0].text);
    EXPECT_EQ(0u, listener.heard[0].request);
    DWORD key = 0;
    EXPECT_EQ(0u, lookup.GetIds(&key));
}

TEST_F(PatientLookupTest, ADatabaseErrorGoesToTheListener)
{
    auto form = DbForm(L"bad.cfg", L"table = \"NoSuchTable\" key = \"Id\"");
    ASSERT_EQ(1, lookup.BuildSql(*form));
    PromptScript script;
    EXPECT_EQ(0, lookup.Run(1, 1));
    EXPECT_EQ(0u, script.Count());
    ASSERT_EQ(1u, listener.heard.size());
    EXPECT_TRUE(listener.heard[0].error);
    EXPECT_NE(std::wstring::npos, listener.heard[0].text.find(L"NoSuchTable")) << testing::PrintToString(listener.heard[0].text);
}

}  // namespace
