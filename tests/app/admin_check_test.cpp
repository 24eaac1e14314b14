// Who is an administrator: the built-in names and the value "AdminUsers".
#include "app_fixture.h"

#include "app/startup.h"
#include "common/settings_root.h"
#include "foundation/globals.h"

#include <cstring>

namespace {

class AdminCheck : public ::testing::Test {
protected:
    void TearDown() override { IsAdministrator = false; }

    bool Check(const wchar_t* user)
    {
        IsAdministrator = true;   // the check must clear it itself
        SettingsRootScope root(key.Root(), key.Path());
        CheckAdminUser(user, static_cast<int>(wcslen(user)));
        return IsAdministrator;
    }

    // A REG_MULTI_SZ of exactly these bytes (terminators as the caller writes them).
    void SetMulti(const wchar_t* data, size_t chars) { key.SetRaw(L"AdminUsers", REG_MULTI_SZ, data, chars * 2); }

    apptest::TestKey key;
};

TEST_F(AdminCheck, BuiltInNamesMatchInAnyLetterCase)
{
    EXPECT_TRUE(Check(L"tovu"));
    EXPECT_TRUE(Check(L"KOPRA"));
    EXPECT_TRUE(Check(L"Sanu"));
    EXPECT_TRUE(Check(L"qZo"));
}

TEST_F(AdminCheck, ABuiltInNameMustMatchWhole)
{
    EXPECT_FALSE(Check(L"tov"));
    EXPECT_FALSE(Check(L"tovu2"));
    EXPECT_FALSE(Check(L"kopr"));
}

TEST_F(AdminCheck, NobodyElseWithoutTheValue)
{
    EXPECT_FALSE(Check(L"root"));
}

TEST_F(AdminCheck, NobodyWhenTheKeyIsMissing)
{
    IsAdministrator = true;
    SettingsRootScope missing(HKEY_CURRENT_USER, L"Software\\TobalFluoroTests\\no-such-key");
    CheckAdminUser(L"root", 4);
    EXPECT_FALSE(IsAdministrator);
}

TEST_F(AdminCheck, ASingleNameIgnoringCase)
{
    key.SetString(L"AdminUsers", L"Root");
    EXPECT_TRUE(Check(L"root"));
    EXPECT_FALSE(Check(L"roo"));
    EXPECT_FALSE(Check(L"rooter"));
}

TEST_F(AdminCheck, TheSecondEntryOfAList)
{
    const wchar_t list[] = L"alice\0Bob\0carol\0";   // and the array's own terminator
    SetMulti(list, sizeof list / sizeof list[0]);
    EXPECT_TRUE(Check(L"bob"));
    EXPECT_TRUE(Check(L"carol"));
    EXPECT_FALSE(Check(L"bo"));
    EXPECT_FALSE(Check(L"dave"));
}

TEST_F(AdminCheck, AnEmptyEntryEndsTheList)
{
    const wchar_t list[] = L"alice\0\0bob\0";
    SetMulti(list, sizeof list / sizeof list[0]);
    EXPECT_TRUE(Check(L"alice"));
    EXPECT_FALSE(Check(L"bob"));
}

TEST_F(AdminCheck, AnUnterminatedListIsReadToItsEndOnly)
{
    // "alice", "bob" with no terminator after "bob" and nothing after it.
    const wchar_t list[] = {L'a', L'l', L'i', L'c', L'e', 0, L'b', L'o', L'b'};
    SetMulti(list, 9);
    EXPECT_TRUE(Check(L"bob"));
    EXPECT_FALSE(Check(L"bobX"));
    EXPECT_FALSE(Check(L"bo"));
}

TEST_F(AdminCheck, AnUnterminatedSingleName)
{
    const wchar_t name[] = {L'r', L'o', L'o', L't'};
    key.SetRaw(L"AdminUsers", REG_SZ, name, sizeof name);
    EXPECT_TRUE(Check(L"root"));
    EXPECT_FALSE(Check(L"roots"));
}

TEST_F(AdminCheck, ADwordValueIsIgnored)
{
    key.SetDword(L"AdminUsers", 0x746F6F72);   // "root" as bytes
    EXPECT_FALSE(Check(L"root"));
}

TEST_F(AdminCheck, AValueOfNothingButATerminatorNamesNobody)
{
    key.SetRaw(L"AdminUsers", REG_SZ, L"", 2);
    EXPECT_FALSE(Check(L""));
}

}  // namespace
