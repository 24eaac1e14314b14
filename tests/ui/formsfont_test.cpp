// The forms font: read once, from the registry, the system or the default,
// and safely from several threads at once.
#include "ui/formsfont.h"

#include "common/settings_root.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

class FormsFontTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = L"Software\\TobalFluoroTests\\FormsFont" + std::to_wstring(GetCurrentProcessId());
        root_.reset(new SettingsRootScope(HKEY_CURRENT_USER, path_.c_str()));
        FormsFontForTests::SetSystemReader(nullptr);
        FormsFontForTests::Forget();
    }
    void TearDown() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
        root_.reset();
        FormsFontForTests::SetSystemReader(nullptr);
        FormsFontForTests::Forget();
    }
    void Store(const void* data, DWORD size, DWORD type = REG_BINARY)
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (path_ + L"\\Forms").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, L"Font", 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
    static LOGFONTW Font(const wchar_t* face, LONG height)
    {
        LOGFONTW lf = {};
        lf.lfHeight = height;
        lf.lfWeight = 700;
        wcscpy(lf.lfFaceName, face);
        return lf;
    }
    static LOGFONTW SystemFont()
    {
        NONCLIENTMETRICSW m = {};
        m.cbSize = sizeof(m);
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(m), &m, 0);
        return m.lfMessageFont;
    }
    std::wstring path_;
    std::unique_ptr<SettingsRootScope> root_;
};

TEST_F(FormsFontTest, StoredFontOfExactly92BytesIsTaken)
{
    LOGFONTW stored = Font(L"Stored Face", -17);
    static_assert(sizeof(stored) == 92, "the stored value is 92 bytes");
    Store(&stored, sizeof(stored));
    const LOGFONTW* f = GetFormsFont();
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f->lfFaceName, L"Stored Face");
    EXPECT_EQ(f->lfHeight, -17);
    EXPECT_EQ(f->lfWeight, 700);
}

TEST_F(FormsFontTest, ValuesOfAnotherSizeOrTypeGiveTheSystemMessageFont)
{
    LOGFONTW stored = Font(L"Stored Face", -17);
    BYTE bigger[93] = {};
    memcpy(bigger, &stored, 92);
    DWORD number = 5;
    LOGFONTW system = SystemFont();
    struct Case {
        const void* data;
        DWORD size;
        DWORD type;
    } cases[] = {{&stored, 91, REG_BINARY}, {bigger, 93, REG_BINARY}, {&number, 4, REG_DWORD}};
    for (const Case& c : cases) {
        Store(c.data, c.size, c.type);
        FormsFontForTests::Forget();
        const LOGFONTW* f = GetFormsFont();
        EXPECT_STREQ(f->lfFaceName, system.lfFaceName) << c.size;
        EXPECT_EQ(f->lfHeight, system.lfHeight) << c.size;
    }
}

TEST_F(FormsFontTest, ReadOnceAndKeptForTheProcess)
{
    LOGFONTW first = Font(L"First", -12);
    Store(&first, sizeof(first));
    const LOGFONTW* a = GetFormsFont();
    LOGFONTW second = Font(L"Second", -30);
    Store(&second, sizeof(second));
    const LOGFONTW* b = GetFormsFont();
    EXPECT_EQ(a, b);
    EXPECT_STREQ(b->lfFaceName, L"First");
}

TEST_F(FormsFontTest, WithNeitherRegistryNorSystemTheDefaultFontIsTaken)
{
    FormsFontForTests::SetSystemReader([](LOGFONTW*) { return false; });
    const LOGFONTW* f = GetFormsFont();
    EXPECT_STREQ(f->lfFaceName, L"Times New Roman");
    EXPECT_EQ(f->lfHeight, -22);
    EXPECT_EQ(GetFormsFont()->lfHeight, -22) << "every later call too";
}

TEST_F(FormsFontTest, ConcurrentFirstCallsAllGetTheWholeFont)
{
    LOGFONTW stored = Font(L"Shared Face", -15);
    Store(&stored, sizeof(stored));
    // A slow system reader is never reached; a slow registry is simulated by
    // many threads starting together.
    std::vector<const LOGFONTW*> results(16, nullptr);
    std::vector<std::wstring> faces(16);
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<std::thread> threads;
    for (int i = 0; i < 16; ++i)
        threads.emplace_back([&, i] {
            WaitForSingleObject(go, 5000);
            results[i] = GetFormsFont();
            faces[i] = results[i] ? results[i]->lfFaceName : L"(null)";
        });
    SetEvent(go);
    for (std::thread& t : threads)
        t.join();
    CloseHandle(go);
    for (int i = 0; i < 16; ++i) {
        EXPECT_NE(results[i], nullptr) << i;
        EXPECT_EQ(faces[i], L"Shared Face") << i;
    }
}

TEST_F(FormsFontTest, ReadNeedsTheFormsKeyBelowTheSettingsRoot)
{
    LOGFONTW out = Font(L"Untouched", 1);
    EXPECT_FALSE(ReadFormsFont(&out));
    EXPECT_STREQ(out.lfFaceName, L"Untouched");
    LOGFONTW stored = Font(L"Stored Face", -17);
    Store(&stored, sizeof(stored));
    EXPECT_TRUE(ReadFormsFont(&out));
    EXPECT_STREQ(out.lfFaceName, L"Stored Face");
    {
        // Another root: the font is not there.
        SettingsRootScope elsewhere(HKEY_CURRENT_USER, L"Software\\TobalFluoroTests\\no-such-root");
        LOGFONTW other = Font(L"Untouched", 1);
        EXPECT_FALSE(ReadFormsFont(&other));
        EXPECT_STREQ(other.lfFaceName, L"Untouched");
    }
    EXPECT_FALSE(ReadFormsFont(nullptr));
}

}  // namespace
