// Registry access against the real registry of the Wine prefix. Every test
// works below its own key HKCU\Software\TobalFluoroTests\<suite>.<test>,
// made fresh before and deleted after.
#include "foundation/registry.h"

#include "foundation/dstring.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

class RegistryTest : public testing::Test {
protected:
    void SetUp() override
    {
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        path_ = L"Software\\TobalFluoroTests\\" + std::wstring(name.begin(), name.end());
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &raw_, nullptr));
    }
    void TearDown() override
    {
        if (raw_) RegCloseKey(raw_);
        EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str()));
    }

    // Writes a value exactly as given, as another program might have.
    void PutRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes)
    {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(raw_, name, 0, type, static_cast<const BYTE*>(data), bytes));
    }
    void PutDword(const wchar_t* name, DWORD value) { PutRaw(name, REG_DWORD, &value, 4); }
    // The stored type and bytes of a value.
    std::string Stored(const wchar_t* name, DWORD* type = nullptr)
    {
        BYTE data[512];
        DWORD bytes = sizeof data, t = 0;
        if (RegQueryValueExW(raw_, name, nullptr, &t, data, &bytes) != ERROR_SUCCESS) return "<missing>";
        if (type) *type = t;
        return std::string(reinterpret_cast<char*>(data), bytes);
    }
    void OpenHandle(DRegKeyHandle& key, REGSAM access = KEY_ALL_ACCESS)
    {
        ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, path_.c_str(), access));
    }

    std::wstring path_;
    HKEY raw_ = nullptr;
};

template <class F>
RegException Thrown(F body)
{
    try {
        body();
    } catch (const RegException& e) {
        return e;
    }
    ADD_FAILURE() << "no RegException was thrown";
    return RegException(-1, 0, nullptr);
}

std::wstring Name(const RegException& e)
{
    return e.ValueName() ? e.ValueName() : L"<null>";
}

// ---------------------------------------------------------------------------

TEST(RegException, KeepsItsOwnCopyOfTheValueName)
{
    wchar_t caller[16] = L"DataPath";
    RegException first(kRegWin32Error, 5, caller);
    wcscpy(caller, L"Overwritten");
    RegException* copy = new RegException(first);
    RegException assigned(kRegKeyNotOpen, 0, nullptr);
    assigned = *copy;
    delete copy;
    EXPECT_STREQ(L"DataPath", first.ValueName());
    EXPECT_STREQ(L"DataPath", assigned.ValueName());
    EXPECT_EQ(kRegWin32Error, assigned.Kind());
    EXPECT_EQ(5u, assigned.Error());
    EXPECT_EQ(nullptr, RegException(kRegKeyNotOpen, 0, nullptr).ValueName());
    EXPECT_STREQ(L"", RegException(kRegWrongType, 0, L"").ValueName());
}

TEST_F(RegistryTest, ExceptionNamesTheValueAfterTheCallersTextIsGone)
{
    DRegKeyHandle key;
    OpenHandle(key);
    RegException e = Thrown([&] {
        wchar_t name[16] = L"Missing";
        try {
            key.GetDword(name);
        } catch (...) {
            wcscpy(name, L"Garbage");
            throw;
        }
    });
    EXPECT_EQ(L"Missing", Name(e));
}

TEST_F(RegistryTest, ClosedHolderThrowsKind1WithNullName)
{
    DRegKeyHandle key;
    EXPECT_EQ(0, key.Close());
    wchar_t buffer[8];
    DWORD value = 0;
    for (auto e : {Thrown([&] { key.GetDword(L"x"); }), Thrown([&] { key.GetString(2, buffer, 8, L"x"); }),
                   Thrown([&] { key.QueryDword(value, L"x"); }), Thrown([&] { key.SetDword(1, L"x"); }),
                   Thrown([&] { key.DeleteValue(L"x"); }), Thrown([&] { key.GetDoubleOpt(2, L"x"); }),
                   Thrown([&] { key.EnumValue(0, buffer, &value, nullptr, nullptr, nullptr); })}) {
        EXPECT_EQ(kRegKeyNotOpen, e.Kind());
        EXPECT_EQ(0u, e.Error());
        EXPECT_EQ(nullptr, e.ValueName());
    }
}

TEST_F(RegistryTest, Win32FailuresThrowKind0WithTheCode)
{
    DRegKeyHandle key;
    OpenHandle(key, KEY_READ);
    RegException missing = Thrown([&] { key.GetDword(L"Absent"); });
    EXPECT_EQ(kRegWin32Error, missing.Kind());
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, missing.Error());
    EXPECT_EQ(L"Absent", Name(missing));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, Thrown([&] { key.GetValueSize(L"Absent"); }).Error());
    wchar_t buffer[8];
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, Thrown([&] { key.GetString(1, buffer, 8, L"Absent"); }).Error());

    RegException denied = Thrown([&] { key.SetDword(7, L"Mobil"); });
    EXPECT_EQ(kRegWin32Error, denied.Kind());
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, denied.Error());
    EXPECT_EQ(L"Mobil", Name(denied));
    EXPECT_NE(nullptr, key.GetHKey());   // the key stays held after a throw
}

TEST_F(RegistryTest, WrongTypeOrSizeThrowsKind2)
{
    PutDword(L"Dword", 5);
    PutRaw(L"Text", REG_SZ, L"a rather long text", 38);
    PutRaw(L"Four", REG_BINARY, "\1\2\3\4", 4);
    PutRaw(L"Sixteen", REG_BINARY, "0123456789abcdef", 16);
    DRegKeyHandle key;
    OpenHandle(key);
    wchar_t buffer[32];
    BYTE eight[8];
    RegException e = Thrown([&] { key.GetString(0, buffer, 32, L"Dword"); });
    EXPECT_EQ(kRegWrongType, e.Kind());
    EXPECT_EQ(0u, e.Error());
    EXPECT_EQ(L"Dword", Name(e));
    EXPECT_EQ(0, buffer[0]);
    EXPECT_EQ(kRegWrongType, Thrown([&] { key.GetString(0, buffer, 2, L"Four"); }).Kind());
    EXPECT_EQ(kRegWrongType, Thrown([&] { key.GetDword(L"Text"); }).Kind());
    EXPECT_EQ(kRegWrongType, Thrown([&] { key.GetDword(L"Four"); }).Kind());
    EXPECT_EQ(kRegWrongType, Thrown([&] { key.GetStringLength(L"Dword"); }).Kind());
    EXPECT_EQ(L"Four", Name(Thrown([&] { key.GetDouble(L"Four"); })));
    EXPECT_EQ(kRegWrongType, Thrown([&] { key.GetDouble(L"Sixteen"); }).Kind());
    EXPECT_EQ(kRegWrongType, Thrown([&] { key.GetBinary8(eight, L"Four"); }).Kind());
    DWORD untouched = 99;
    EXPECT_EQ(kRegWrongType, Thrown([&] { key.QueryDword(untouched, L"Text"); }).Kind());
    EXPECT_EQ(99u, untouched);
}

TEST_F(RegistryTest, RequiredStringMissingOrEmptyThrowsKind3)
{
    PutRaw(L"ZeroBytes", REG_SZ, L"", 0);
    PutRaw(L"BareTerminator", REG_SZ, L"", 2);
    DRegKeyHandle key;
    OpenHandle(key);
    wchar_t buffer[8];
    RegException missing = Thrown([&] { key.GetString(3, buffer, 8, L"DataPath"); });
    EXPECT_EQ(kRegValueEmpty, missing.Kind());
    EXPECT_EQ(L"DataPath", Name(missing));
    EXPECT_EQ(kRegValueEmpty, Thrown([&] { key.GetString(1, buffer, 8, L"ZeroBytes"); }).Kind());
    EXPECT_EQ(kRegValueEmpty, Thrown([&] { key.GetString(3, buffer, 8, L"BareTerminator"); }).Kind());
    wcscpy(buffer, L"old");
    EXPECT_EQ(0, key.GetString(0, buffer, 8, L"ZeroBytes"));
    EXPECT_STREQ(L"", buffer);
    EXPECT_EQ(0, key.GetStringBuf(buffer, 8, L"BareTerminator"));
}

TEST_F(RegistryTest, MayBeMissingReadsGiveDefaults)
{
    DRegKeyHandle key;
    OpenHandle(key);
    wchar_t buffer[8] = L"old";
    EXPECT_EQ(-1, key.GetString(2, buffer, 8, L"Absent"));
    EXPECT_STREQ(L"", buffer);
    EXPECT_EQ(0u, key.GetDwordOr0(2, L"Absent"));
    EXPECT_EQ(0u, key.GetDword(2, L"Absent"));
    EXPECT_EQ(0.0, key.GetDoubleOpt(2, L"Absent"));
    EXPECT_EQ(-1, key.GetStringLength(L"Absent"));
    DWORD untouched = 42;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.QueryDword(untouched, L"Absent"));
    EXPECT_EQ(42u, untouched);
    BYTE eight[8];
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.GetBinary8(eight, L"Absent"));
    EXPECT_EQ(kRegWin32Error, Thrown([&] { key.GetDoubleOpt(0, L"Absent"); }).Kind());
    EXPECT_EQ(kRegWin32Error, Thrown([&] { key.GetDwordOr0(0, L"Absent"); }).Kind());
}

TEST_F(RegistryTest, UnterminatedAndOddStringsEndInsideTheBuffer)
{
    PutRaw(L"NoTerminator", REG_SZ, L"abc", 6);
    PutRaw(L"OddBytes", REG_SZ, L"abc", 7);   // "abc" and half of the terminator
    PutRaw(L"OneByte", REG_SZ, "x", 1);
    PutRaw(L"Long", REG_SZ, L"abcdef", 14);
    DRegKeyHandle key;
    OpenHandle(key);
    wchar_t buffer[8];
    wmemset(buffer, L'X', 8);
    EXPECT_EQ(3, key.GetStringBuf(buffer, 8, L"NoTerminator"));
    EXPECT_STREQ(L"abc", buffer);
    EXPECT_EQ(3, key.GetString(0, buffer, 4, L"NoTerminator"));   // room for our own terminator
    EXPECT_STREQ(L"abc", buffer);
    wmemset(buffer, L'X', 8);
    EXPECT_EQ(3, key.GetString(0, buffer, 8, L"OddBytes"));
    EXPECT_STREQ(L"abc", buffer);
    int length = key.GetStringLength(L"OddBytes");   // sizes a buffer that takes the text
    EXPECT_GE(length, 3);
    EXPECT_EQ(3, key.GetStringBuf(buffer, length + 1, L"OddBytes"));
    EXPECT_EQ(0, key.GetString(0, buffer, 8, L"OneByte"));
    EXPECT_STREQ(L"", buffer);
    EXPECT_EQ(0, key.GetStringLength(L"OneByte"));

    // Exactly filling the buffer leaves no room for a terminator: refused,
    // and nothing is written past the buffer.
    wmemset(buffer, L'X', 8);
    RegException full = Thrown([&] { key.GetStringBuf(buffer, 3, L"NoTerminator"); });
    EXPECT_EQ(kRegWin32Error, full.Kind());
    EXPECT_EQ((DWORD)ERROR_MORE_DATA, full.Error());
    EXPECT_EQ(0, buffer[0]);
    EXPECT_EQ(L'X', buffer[3]);
    wmemset(buffer, L'X', 8);
    EXPECT_EQ((DWORD)ERROR_MORE_DATA, Thrown([&] { key.GetString(2, buffer, 4, L"Long"); }).Error());
    EXPECT_EQ(0, buffer[0]);
    EXPECT_EQ(L'X', buffer[4]);
    EXPECT_EQ(6, key.GetString(0, buffer, 7, L"Long"));
}

TEST_F(RegistryTest, HandleWritesReadBack)
{
    DRegKeyHandle key;
    OpenHandle(key);
    key.SetDword(0xDEADBEEF, L"Flags");
    EXPECT_EQ(0xDEADBEEFu, key.GetDword(L"Flags"));
    key.SetDouble(-2.5, L"Gamma");
    DWORD type = 0;
    EXPECT_EQ(8u, Stored(L"Gamma", &type).size());
    EXPECT_EQ((DWORD)REG_BINARY, type);
    EXPECT_EQ(-2.5, key.GetDouble(L"Gamma"));
    BYTE eight[8];
    EXPECT_EQ(ERROR_SUCCESS, key.GetBinary8(eight, L"Gamma"));

    key.SetString(L"abcdef", 3, L"Cut");   // the caller's text goes on past the length
    EXPECT_EQ(std::string("a\0b\0c\0\0\0", 8), Stored(L"Cut", &type));
    EXPECT_EQ((DWORD)REG_SZ, type);
    key.SetString(L"Рентген", -1, L"Room");
    EXPECT_EQ(7, key.GetStringLength(L"Room"));
    EXPECT_EQ(16u, key.GetValueSize(L"Room"));
    wchar_t buffer[16];
    EXPECT_EQ(7, key.GetString(1, buffer, 16, L"Room"));
    EXPECT_STREQ(L"Рентген", buffer);

    key.SetBinary("\x01\x02\x03", 3, L"Blob");
    EXPECT_EQ(std::string("\x01\x02\x03"), Stored(L"Blob"));
    DWORD size = 8;
    BYTE data[8];
    EXPECT_EQ(ERROR_SUCCESS, key.QueryValue(data, &size, &type, L"Blob"));
    EXPECT_EQ(3u, size);
    EXPECT_EQ((DWORD)REG_BINARY, type);

    key.DeleteValue(L"Blob");
    EXPECT_EQ("<missing>", Stored(L"Blob"));
    key.DeleteValue(L"Blob");   // missing: no error
    key.DeleteValue(L"NeverThere");

    int count = 0;
    LONG result;
    for (DWORD i = 0;; ++i) {
        wchar_t name[32];
        DWORD nameSize = 32;
        result = key.EnumValue(i, name, &nameSize, nullptr, nullptr, nullptr);
        if (result != ERROR_SUCCESS) break;
        ++count;
    }
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, result);
    EXPECT_EQ(4, count);   // Flags, Gamma, Cut, Room
}

TEST_F(RegistryTest, HandleOpensAndCreatesSubkeys)
{
    DRegKeyHandle key, child;
    EXPECT_EQ(ERROR_INVALID_HANDLE, child.OpenSub(key, L"Forms", KEY_READ));
    OpenHandle(key);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, child.OpenSub(key, L"Forms", KEY_READ));
    EXPECT_EQ(nullptr, child.GetHKey());
    DWORD disposition = 0;
    EXPECT_EQ(ERROR_SUCCESS, child.CreateSub(key, L"Forms", 0, KEY_ALL_ACCESS, nullptr, &disposition));
    EXPECT_EQ((DWORD)REG_CREATED_NEW_KEY, disposition);
    child.SetDword(3, L"Border");
    EXPECT_EQ(ERROR_SUCCESS, child.CreateSub(key, L"Forms", KEY_READ));
    EXPECT_EQ(3u, child.GetDword(L"Border"));
    // Below the holder's own key: the new key is open before the old one closes.
    EXPECT_EQ(ERROR_SUCCESS, key.OpenSub(key, L"Forms", KEY_READ));
    EXPECT_EQ(3u, key.GetDword(L"Border"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.Open(HKEY_CURRENT_USER, L"Software\\TobalFluoroTests\\None", KEY_READ));
    EXPECT_EQ(nullptr, key.GetHKey());
}

// ---------------------------------------------------------------------------

TEST_F(RegistryTest, KeyWithoutBlockReturnsInvalidHandle)
{
    DRegKey key;
    DWORD value = 0, size = 0;
    DString text(L"old");
    EXPECT_EQ(nullptr, key.GetHKey());
    EXPECT_EQ(ERROR_INVALID_HANDLE, key.GetDword(L"x", value));
    EXPECT_EQ(ERROR_INVALID_HANDLE, key.SetDword(L"x", 1));
    EXPECT_EQ(ERROR_INVALID_HANDLE, key.GetValueSize(L"x", &size));
    EXPECT_EQ(ERROR_INVALID_HANDLE, key.QueryString(L"x", text));
    EXPECT_EQ(0, text.Length());
    EXPECT_EQ(ERROR_INVALID_HANDLE, key.Flush());
    EXPECT_EQ(ERROR_INVALID_HANDLE, key.DeleteValue(L"x"));
    key.Close();
}

TEST_F(RegistryTest, KeyCopiesCloseOnlyAtTheLastRelease)
{
    HKEY held;
    {
        DRegKey first;
        ASSERT_EQ(ERROR_SUCCESS, first.Open(HKEY_CURRENT_USER, path_.c_str(), KEY_ALL_ACCESS));
        held = first.GetHKey();
        DRegKey second(first);
        DRegKey third;
        third = second;
        third = third;   // self-assignment keeps the share
        first.Close();
        EXPECT_EQ(nullptr, first.GetHKey());
        second.Close();
        EXPECT_EQ(held, third.GetHKey());
        EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(held, L"Alive", 0, REG_DWORD, (const BYTE*)"\1\0\0\0", 4));
        DWORD value = 0;
        EXPECT_EQ(ERROR_SUCCESS, third.GetDword(L"Alive", value));
        EXPECT_EQ(1u, value);
    }
    DWORD subKeys = 0;
    EXPECT_EQ(ERROR_INVALID_HANDLE,
              RegQueryInfoKeyW(held, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr));
}

TEST_F(RegistryTest, AdoptedKeyIsClosedAtTheLastRelease)
{
    HKEY opened = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_ALL_ACCESS, &opened));
    {
        DRegKey adopted(opened);
        DRegKey copy = adopted;
        adopted.Close();
        EXPECT_EQ(ERROR_SUCCESS, copy.SetDword(L"Kept", 1));
    }
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteValueW(opened, L"Kept"));
}

TEST_F(RegistryTest, FailedKeyOpenPassesTheRegistryErrorOn)
{
    DRegKey key;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.Open(raw_, L"Absent", KEY_READ));
    EXPECT_EQ(nullptr, key.GetHKey());
    DWORD value = 77;
    EXPECT_NE(ERROR_SUCCESS, key.GetDwordRaw(L"x", value));
    EXPECT_EQ(77u, value);
}

TEST_F(RegistryTest, KeyStringsRoundTripCyrillicAndTerminate)
{
    DRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, path_.c_str(), KEY_ALL_ACCESS));
    EXPECT_EQ(ERROR_SUCCESS, key.SetString(L"Name", DString(L"Снимок пациента")));
    EXPECT_EQ(32u, Stored(L"Name").size());   // 15 characters and the terminator
    DString text(L"old text");
    EXPECT_EQ(ERROR_SUCCESS, key.QueryString(L"Name", text));
    EXPECT_TRUE(text.Equals(DString(L"Снимок пациента")));
    EXPECT_EQ(15, text.Length());

    EXPECT_EQ(ERROR_SUCCESS, key.SetString(nullptr, DString(L"Профиль")));   // the default value
    EXPECT_EQ(ERROR_SUCCESS, key.QueryString(nullptr, text));
    EXPECT_STREQ(L"Профиль", text.c_str());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.QueryString(L"Absent", text));
    EXPECT_EQ(0, text.Length());

    PutRaw(L"NoTerminator", REG_SZ, L"Рентген", 14);
    PutRaw(L"OddBytes", REG_SZ, L"Рентген", 15);
    for (const wchar_t* name : {L"NoTerminator", L"OddBytes"}) {
        EXPECT_EQ(ERROR_SUCCESS, key.QueryString(name, text));
        EXPECT_STREQ(L"Рентген", text.c_str());
        EXPECT_EQ(7, text.Length());
    }

    wchar_t buffer[8];
    DWORD count = 8;
    EXPECT_EQ(ERROR_SUCCESS, key.GetStringBuf(L"NoTerminator", buffer, &count));
    EXPECT_EQ(7u, count);
    EXPECT_STREQ(L"Рентген", buffer);
    count = 7;
    buffer[7] = L'X';
    EXPECT_EQ(ERROR_MORE_DATA, key.GetStringBuf(L"NoTerminator", buffer, &count));
    EXPECT_EQ(0, buffer[0]);
    EXPECT_EQ(L'X', buffer[7]);
    EXPECT_EQ(ERROR_SUCCESS, key.GetStringBuf(L"Name", nullptr, &count));
    EXPECT_EQ(15u, count);
    PutRaw(L"OneByte", REG_SZ, "x", 1);
    EXPECT_EQ(ERROR_SUCCESS, key.GetStringSize(L"OneByte", &count));
    EXPECT_EQ(0u, count);

    // The key's string reads take any type, and the registry adds no
    // terminator to a binary value: the text is ended here, inside the buffer.
    PutRaw(L"Binary", REG_BINARY, L"Рентген", 14);
    wmemset(buffer, L'X', 8);
    count = 8;
    EXPECT_EQ(ERROR_SUCCESS, key.GetStringBuf(L"Binary", buffer, &count));
    EXPECT_EQ(7u, count);
    EXPECT_STREQ(L"Рентген", buffer);
    wmemset(buffer, L'X', 8);
    count = 7;
    EXPECT_EQ(ERROR_MORE_DATA, key.GetStringBuf(L"Binary", buffer, &count));
    EXPECT_EQ(0, buffer[0]);
    EXPECT_EQ(L'X', buffer[7]);
    EXPECT_EQ(ERROR_SUCCESS, key.QueryString(L"Binary", text));
    EXPECT_STREQ(L"Рентген", text.c_str());
    EXPECT_EQ(7, text.Length());

    EXPECT_EQ(ERROR_SUCCESS, key.SetStringN(L"Cut", L"abcdef", 2));
    EXPECT_EQ(std::string("a\0b\0\0\0", 6), Stored(L"Cut"));
}

TEST_F(RegistryTest, KeyStringsOfManyPages)
{
    DRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, path_.c_str(), KEY_ALL_ACCESS));
    std::wstring big(40000, L'ж');
    EXPECT_EQ(ERROR_SUCCESS, key.SetStringN(L"Big", big.c_str(), -1));
    DString text;
    EXPECT_EQ(ERROR_SUCCESS, key.QueryString(L"Big", text));
    EXPECT_EQ(40000, text.Length());
    EXPECT_EQ(big, std::wstring(text.c_str()));
}

TEST_F(RegistryTest, KeyNumbersAndEnumeration)
{
    DRegKey key;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CURRENT_USER, path_.c_str(), nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                        &disposition));
    EXPECT_EQ((DWORD)REG_OPENED_EXISTING_KEY, disposition);
    EXPECT_EQ(ERROR_SUCCESS, key.SetDword(L"Report", 0x01020304));
    DWORD value = 0;
    EXPECT_EQ(ERROR_SUCCESS, key.GetDwordRaw(L"Report", value));
    EXPECT_EQ(0x01020304u, value);
    PutRaw(L"FourBytes", REG_BINARY, "\x10\x20\x30\x40", 4);   // no type check
    EXPECT_EQ(ERROR_SUCCESS, key.GetDword(L"FourBytes", value));
    EXPECT_EQ(0x40302010u, value);

    EXPECT_EQ(ERROR_SUCCESS, key.SetBinary8(L"Pair", 0x11223344, 0x55667788));
    DWORD type = 0;
    EXPECT_EQ(std::string("\x44\x33\x22\x11\x88\x77\x66\x55"), Stored(L"Pair", &type));
    EXPECT_EQ((DWORD)REG_BINARY, type);
    BYTE eight[8];
    EXPECT_EQ(ERROR_SUCCESS, key.GetBinary8(L"Pair", eight));
    EXPECT_EQ(0, memcmp(eight, "\x44\x33\x22\x11\x88\x77\x66\x55", 8));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.DeleteValue(L"Absent"));

    // A key opened below the holder's own key.
    DRegKey child = key;
    EXPECT_EQ(ERROR_SUCCESS, child.Create(key.GetHKey(), L"{PROFILE-1}", nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                          &disposition));
    EXPECT_EQ((DWORD)REG_CREATED_NEW_KEY, disposition);
    EXPECT_EQ(ERROR_SUCCESS, key.Open(key.GetHKey(), L"", KEY_ALL_ACCESS));
    DRegKey other;
    ASSERT_EQ(ERROR_SUCCESS, other.Create(key.GetHKey(), L"{PROFILE-2}", nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                          nullptr));
    DWORD subKeys = 0, values = 0;
    EXPECT_EQ(ERROR_SUCCESS, key.QueryInfo(nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                                           nullptr, nullptr));
    EXPECT_EQ(2u, subKeys);
    EXPECT_EQ(3u, values);
    wchar_t name[64];
    DWORD length = 64;
    EXPECT_EQ(ERROR_SUCCESS, key.EnumKey(0, name, &length));
    length = 64;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, key.EnumKey(2, name, &length));
    EXPECT_EQ(ERROR_SUCCESS, key.Flush());
}

// ---------------------------------------------------------------------------

// The stored font, built byte by byte as Windows lays it out.
std::string FontBytes(const wchar_t* face, int faceChars)
{
    std::string bytes;
    for (LONG v : {-22L, 7L, 900L, 450L, 700L})
        for (int i = 0; i < 4; ++i) bytes += (char)((DWORD)v >> (8 * i));
    bytes += std::string("\1\0\1\xCC\3\2\5\x22", 8);
    for (int i = 0; i < 32; ++i) {
        wchar_t c = i < faceChars ? face[i] : 0;
        bytes += (char)(c & 0xFF);
        bytes += (char)(c >> 8);
    }
    return bytes;
}

TEST_F(RegistryTest, LogFontOf92BytesIsReadMemberByMember)
{
    std::string stored = FontBytes(L"Times New Roman", 15);
    ASSERT_EQ(92u, stored.size());
    PutRaw(L"Font", REG_BINARY, stored.data(), 92);
    LOGFONTW font;
    memset(&font, 0x5A, sizeof font);
    ASSERT_TRUE(RegReadLogFont(font, raw_, L"Font"));
    EXPECT_EQ(-22, font.lfHeight);
    EXPECT_EQ(7, font.lfWidth);
    EXPECT_EQ(900, font.lfEscapement);
    EXPECT_EQ(450, font.lfOrientation);
    EXPECT_EQ(700, font.lfWeight);
    EXPECT_EQ(1, font.lfItalic);
    EXPECT_EQ(0, font.lfUnderline);
    EXPECT_EQ(1, font.lfStrikeOut);
    EXPECT_EQ(0xCC, font.lfCharSet);   // RUSSIAN_CHARSET
    EXPECT_EQ(3, font.lfOutPrecision);
    EXPECT_EQ(2, font.lfClipPrecision);
    EXPECT_EQ(5, font.lfQuality);
    EXPECT_EQ(0x22, font.lfPitchAndFamily);
    EXPECT_STREQ(L"Times New Roman", font.lfFaceName);

    std::string full = FontBytes(L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef", 32);   // no terminator stored
    PutRaw(L"FullFace", REG_BINARY, full.data(), 92);
    ASSERT_TRUE(RegReadLogFont(font, raw_, L"FullFace"));
    EXPECT_STREQ(L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcde", font.lfFaceName);
}

TEST_F(RegistryTest, LogFontOfAnotherSizeOrTypeIsRefused)
{
    std::string stored = FontBytes(L"Arial", 5) + "!";
    PutRaw(L"Short", REG_BINARY, stored.data(), 91);
    PutRaw(L"Long", REG_BINARY, stored.data(), 93);
    PutRaw(L"Text", REG_SZ, stored.data(), 92);
    PutDword(L"Dword", 12);
    LOGFONTW font, before;
    memset(&font, 0x5A, sizeof font);
    before = font;
    for (const wchar_t* name : {L"Short", L"Long", L"Text", L"Dword", L"Absent"}) {
        EXPECT_FALSE(RegReadLogFont(font, raw_, name)) << name;
        EXPECT_EQ(0, memcmp(&font, &before, sizeof font)) << name;
    }
    EXPECT_FALSE(RegReadLogFont(font, nullptr, L"Font"));
}

}  // namespace
