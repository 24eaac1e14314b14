// Names read from database rows become paths only inside their folder: the
// one check every job runs before it builds a path from a stored name.
#include "images/files/datafolders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(StoredNames, OnlyNamesInsideTheirFolderBecomePaths)
{
    using V = StoredNameVerdict;
    const std::wstring longest(kStoredFileNameChars, L'A');
    const std::wstring tooLong(kStoredFileNameChars + 1, L'A');
    const struct {
        V verdict;
        std::vector<std::wstring> names;
    } cases[] = {
        {V::kOk, {L"K00000000170000000305", L"a.b", L"A.old", L"CONSOLE", L"COM10", L"COM0", L"CONIN", longest}},
        {V::kEmpty, {L""}},
        {V::kTooLong, {tooLong}},
        {V::kSeparator, {L"..\\victim", L"x\\victim", L"a\\b", L"a/b", L"C:x"}},
        {V::kParent, {L"..", L"a..b"}},
        {V::kControl, {L"a\tb", L"a*", L"a|b", std::wstring(L"a\0b", 3)}},
        {V::kDevice, {L"CON", L"aux", L"Nul.xmg", L"COM1", L"lpt9.thb", L"PRN .x", L"CONIN$", L"conout$.xmg"}},
        {V::kTrailing, {L"name.", L"name "}},
    };
    for (const auto& c : cases)
        for (const std::wstring& name : c.names) {
            SCOPED_TRACE(std::string(name.begin(), name.end()));
            EXPECT_EQ(c.verdict, CheckStoredFileName(name.c_str(), static_cast<int>(name.size())));
            if (name.find(L'\0') != std::wstring::npos)
                continue;   // a counted name only
            EXPECT_EQ(c.verdict, CheckStoredFileName(name.c_str()));
            wchar_t path[MAX_PATH] = L"x";
            EXPECT_EQ(c.verdict == V::kOk, BuildStoredFilePath(path, L"C:\\Data\\Image\\", name.c_str(), L".xmg"));
            EXPECT_EQ(c.verdict == V::kOk ? L"C:\\Data\\Image\\" + name + L".xmg" : L"", std::wstring(path));
        }
    EXPECT_EQ(V::kEmpty, CheckStoredFileName(nullptr));
}

}  // namespace
