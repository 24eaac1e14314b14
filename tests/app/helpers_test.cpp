// The shell's helpers: the root of a path, the 92-byte font values, typed
// registry reads, the recursive key deletion, the free-space test.
#include "app_fixture.h"

#include "app/diskhelpers.h"
#include "app/reghelpers.h"
#include "images/files/datafolders.h"
#include "foundation/globals.h"
#include "foundation/registry.h"

#include <string>

namespace {

std::wstring Root(const wchar_t* path, BOOL* ok = nullptr)
{
    wchar_t root[kFolderChars] = L"unchanged";
    BOOL result = GetPathRoot(path, root);
    if (ok)
        *ok = result;
    return root;
}

TEST(PathRoot, ADrivePathGivesTheDriveLetterColonAndBackslash)
{
    BOOL ok = FALSE;
    EXPECT_EQ(L"C:\\", Root(L"C:\\Data\\Image\\", &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(L"e:\\", Root(L"e:\\"));
}

TEST(PathRoot, ANetworkPathGivesServerAndShare)
{
    BOOL ok = FALSE;
    EXPECT_EQ(L"\\\\server\\share\\", Root(L"\\\\server\\share\\Data\\Image\\", &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(L"\\\\server\\share\\", Root(L"\\\\server\\share"));
}

TEST(PathRoot, AnythingElseFailsWithAnEmptyRoot)
{
    const wchar_t* const bad[] = {L"Data\\Image\\", L"\\Data\\", L"C:Data", L"C:", L"\\\\server", L"\\\\server\\",
                                  L"\\\\\\share\\", L"", L"1:\\"};
    for (const wchar_t* path : bad) {
        BOOL ok = TRUE;
        EXPECT_EQ(L"", Root(path, &ok)) << path;
        EXPECT_FALSE(ok) << path;
    }
    wchar_t root[4];
    EXPECT_FALSE(GetPathRoot(L"\\\\server\\share\\x", root, 4));   // does not fit
}

TEST(FreeSpace, TheImageDriveHasAtLeastTheMinimum)
{
    wchar_t saved[kFolderChars];
    wcscpy(saved, ImageFolder);
    const DWORD savedMin = SpaceMin;
    wcscpy(ImageFolder, L"C:\\Data\\Image\\");
    SpaceMin = 1;
    EXPECT_TRUE(IsDataDiskSpaceEnough());
    SpaceMin = 0xFFFFFFFF;   // more MB than any disk has
    EXPECT_FALSE(IsDataDiskSpaceEnough());
    wcscpy(ImageFolder, L"Q:\\Image\\");   // no such drive: no answer
    SpaceMin = 1;
    EXPECT_FALSE(IsDataDiskSpaceEnough());
    EXPECT_NE(0u, GetLastError());
    wcscpy(ImageFolder, saved);
    SpaceMin = savedMin;
}

TEST(FontValue, WrittenAsTheWindowsLayoutAndReadBack)
{
    apptest::TestKey key;
    LOGFONTW font = {};
    font.lfHeight = -15;
    font.lfWidth = 3;
    font.lfEscapement = 900;
    font.lfOrientation = 450;
    font.lfWeight = 700;
    font.lfItalic = 1;
    font.lfCharSet = RUSSIAN_CHARSET;
    font.lfQuality = 4;
    font.lfPitchAndFamily = 0x22;
    wcscpy(font.lfFaceName, L"Шрифт DejaVu");
    ASSERT_TRUE(RegWriteLogFont(font, key.Key(), L"Font"));

    BYTE raw[100] = {};
    DWORD type = 0, size = sizeof raw;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key.Key(), L"Font", nullptr, &type, raw, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    EXPECT_EQ(92u, size);
    EXPECT_EQ(0xF1, raw[0]);   // -15, little-endian
    EXPECT_EQ(0xFF, raw[3]);
    EXPECT_EQ(0x84, raw[8]);   // 900
    EXPECT_EQ(0x03, raw[9]);
    EXPECT_EQ(RUSSIAN_CHARSET, raw[23]);
    EXPECT_EQ(0x22, raw[27]);
    EXPECT_EQ(0x28, raw[28]);   // "Ш" = U+0428
    EXPECT_EQ(0x04, raw[29]);
    EXPECT_EQ(0, raw[28 + 2 * 12]);   // zeros after the name

    LOGFONTW read = {};
    ASSERT_TRUE(RegReadLogFont(read, key.Key(), L"Font"));
    EXPECT_EQ(0, memcmp(&font, &read, sizeof font));
}

TEST(FontValue, AnotherSizeOrTypeIsNotUsed)
{
    apptest::TestKey key;
    LOGFONTW font = {};
    font.lfHeight = 42;
    BYTE raw[93] = {};
    key.SetRaw(L"Short", REG_BINARY, raw, 91);
    key.SetRaw(L"Long", REG_BINARY, raw, 93);
    key.SetRaw(L"Typed", REG_NONE, raw, 92);
    EXPECT_FALSE(RegReadLogFont(font, key.Key(), L"Short"));
    EXPECT_FALSE(RegReadLogFont(font, key.Key(), L"Long"));
    EXPECT_FALSE(RegReadLogFont(font, key.Key(), L"Typed"));
    EXPECT_FALSE(RegReadLogFont(font, key.Key(), L"Missing"));
    EXPECT_EQ(42, font.lfHeight);
}

TEST(DeleteKeyTree, RemovesNestedKeysDeepestFirst)
{
    apptest::TestKey key;
    HKEY deep = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key.Key(), L"Top\\A\\B\\C", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &deep, nullptr));
    RegSetValueExW(deep, L"v", 0, REG_DWORD, reinterpret_cast<const BYTE*>("\1\0\0\0"), 4);
    RegCloseKey(deep);
    HKEY other = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(key.Key(), L"Top\\D", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &other, nullptr));
    RegCloseKey(other);
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(key.Key(), L"Kept", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &other, nullptr));
    RegCloseKey(other);

    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyTree(key.Key(), L"Top"));
    HKEY gone = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(key.Key(), L"Top", 0, KEY_READ, &gone));
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(key.Key(), L"Kept", 0, KEY_READ, &other));
    RegCloseKey(other);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyTree(key.Key(), L"Top"));
}

TEST(RegistryReads, DwordsOfAnotherTypeAreRefused)
{
    apptest::TestKey key;
    key.SetDword(L"n", 17);
    key.SetString(L"s", L"17");
    DWORD value = 5;
    EXPECT_EQ(ERROR_SUCCESS, RegGetDword(key.Key(), L"n", &value));
    EXPECT_EQ(17u, value);
    value = 5;
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegGetDword(key.Key(), L"s", &value));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegGetDword(key.Key(), L"none", &value));
    EXPECT_EQ(5u, value);
    EXPECT_EQ(ERROR_SUCCESS, RegSetDword(key.Key(), L"n", 99));
    EXPECT_EQ(ERROR_SUCCESS, RegGetDword(key.Key(), L"n", &value));
    EXPECT_EQ(99u, value);
}

TEST(RegistryReads, StringsAreAlwaysTerminatedInsideTheBuffer)
{
    apptest::TestKey key;
    const wchar_t raw[] = {L'a', L'b', L'c'};   // stored without terminator
    key.SetRaw(L"bare", REG_SZ, raw, sizeof raw);
    wchar_t buffer[8];
    DWORD size = sizeof buffer;
    EXPECT_EQ(ERROR_SUCCESS, RegGetString(key.Key(), L"bare", buffer, &size));
    EXPECT_EQ(3u, size);
    EXPECT_STREQ(L"abc", buffer);

    wchar_t small[3];   // "abc" and its terminator do not fit
    size = sizeof small;
    EXPECT_EQ(ERROR_MORE_DATA, RegGetString(key.Key(), L"bare", small, &size));
    EXPECT_STREQ(L"", small);
    EXPECT_EQ(0u, size);

    key.SetDword(L"n", 1);
    size = sizeof buffer;
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegGetString(key.Key(), L"n", buffer, &size));
    EXPECT_STREQ(L"", buffer);

    key.SetString(L"empty", L"");
    size = sizeof buffer;
    EXPECT_EQ(ERROR_SUCCESS, RegGetString(key.Key(), L"empty", buffer, &size));
    size = sizeof buffer;
    EXPECT_EQ(ERROR_NO_DATA, RegGetStringNonEmpty(key.Key(), L"empty", buffer, &size));
}

TEST(RegistryWrites, StringsKeepTheirTerminator)
{
    apptest::TestKey key;
    EXPECT_EQ(ERROR_SUCCESS, RegSetStringN(key.Key(), L"cut", L"abcdef", 3));
    EXPECT_EQ(ERROR_SUCCESS, RegSetString(key.Key(), L"none", nullptr));
    BYTE raw[32];
    DWORD size = sizeof raw, type = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key.Key(), L"cut", nullptr, &type, raw, &size));
    EXPECT_EQ(8u, size);
    EXPECT_STREQ(L"abc", reinterpret_cast<wchar_t*>(raw));
    size = sizeof raw;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key.Key(), L"none", nullptr, &type, raw, &size));
    EXPECT_EQ(2u, size);
}

TEST(ScreenLimitsRead, LimitsApplyOnlyWhenSet)
{
    apptest::TestKey key;
    ScreenLimits limits;
    limits.Load(key.Key());
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), limits.GetWidth());
    key.SetDword(L"WidthLimit", 800, L"Desktop");
    key.SetDword(L"HeightLimit", 600, L"Desktop");
    limits.Load(key.Key());
    int w = 0, h = 0;
    limits.GetSize(&w, &h);
    EXPECT_EQ(800, w);
    EXPECT_EQ(600, h);
}

}  // namespace
