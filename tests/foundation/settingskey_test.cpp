// The settings root and OpenSettingsKey against the real registry of the Wine
// prefix. Each test points the root at its own key
// HKCU\Software\TobalFluoroTests\<suite>.<test>\Root, which does not exist at
// first, and deletes the parent afterwards.
#include "foundation/settingskey.h"

#include "foundation/globals.h"

#include <string>

#include <gtest/gtest.h>

namespace {

class SettingsKeyTest : public testing::Test {
protected:
    void SetUp() override
    {
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = std::string(info->test_suite_name()) + "." + info->name();
        parent_ = L"Software\\TobalFluoroTests\\" + std::wstring(name.begin(), name.end());
        root_ = parent_ + L"\\Root";
        RegDeleteTreeW(HKEY_CURRENT_USER, parent_.c_str());
        old_ = SetSettingsRoot(SettingsRoot{HKEY_CURRENT_USER, root_.c_str()});
    }
    void TearDown() override
    {
        SetSettingsRoot(old_);
        RegDeleteTreeW(HKEY_CURRENT_USER, parent_.c_str());
    }
    bool Exists(const std::wstring& path)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    std::wstring parent_, root_;
    SettingsRoot old_ = {};
};

TEST_F(SettingsKeyTest, WithoutARootSetTheProgramsOwnKeyIsTheRoot)
{
    const SettingsRoot mine = SetSettingsRoot(SettingsRoot{nullptr, nullptr});
    EXPECT_EQ(HKEY_CURRENT_USER, mine.root) << "the previous root comes back";
    EXPECT_EQ(root_, mine.path);
    const SettingsRoot own = GetSettingsRoot();
    EXPECT_EQ(HKEY_LOCAL_MACHINE, own.root);
    EXPECT_STREQ(SettingsKeyPath, own.path);
    SetSettingsRoot(mine);
    EXPECT_EQ(HKEY_CURRENT_USER, GetSettingsRoot().root);
}

TEST_F(SettingsKeyTest, OpeningWithoutCreateFindsNothingThatIsMissing)
{
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenSettingsKey(L"Profile", KEY_READ, false, &key));
    EXPECT_EQ(nullptr, key);
    EXPECT_FALSE(Exists(root_)) << "a read makes no key";
}

TEST_F(SettingsKeyTest, CreateMakesTheRootAndTheSubkeyAndAWriteIsReadBack)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, OpenSettingsKey(L"PrepareSnimok", KEY_WRITE, true, &key));
    const DWORD value = 4;
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"MFilter", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4));
    RegCloseKey(key);
    EXPECT_TRUE(Exists(root_ + L"\\PrepareSnimok"));

    ASSERT_EQ(ERROR_SUCCESS, OpenSettingsKey(L"PrepareSnimok", KEY_READ, false, &key));
    DWORD read = 0, type = 0, size = sizeof read;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"MFilter", nullptr, &type, reinterpret_cast<BYTE*>(&read), &size));
    EXPECT_EQ(4u, read);
    RegCloseKey(key);
}

TEST_F(SettingsKeyTest, ANullOrEmptySubkeyIsTheRootItself)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, OpenSettingsKey(nullptr, KEY_WRITE, true, &key));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"DefTemplateName", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4));
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, OpenSettingsKey(L"", KEY_READ, false, &key));
    wchar_t text[8] = {};
    DWORD size = sizeof text;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"DefTemplateName", nullptr, nullptr, reinterpret_cast<BYTE*>(text),
                                              &size));
    EXPECT_STREQ(L"x", text);
    RegCloseKey(key);
}

}  // namespace
