// Names read from database rows become paths only inside their folder: the
// one check every job runs before it builds a path from a stored name.
#include "images/files/datafolders.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct NameCase {
    const wchar_t* name;
    StoredNameVerdict verdict;
};

TEST(StoredNames, OnlyNamesInsideTheirFolderBecomePaths)
{
    const std::wstring longest(kStoredFileNameChars, L'A');
    const std::wstring tooLong(kStoredFileNameChars + 1, L'A');
    const NameCase cases[] = {
        {L"K00000000170000000305", StoredNameVerdict::kOk},
        {L"a.b", StoredNameVerdict::kOk},
        {L"A.old", StoredNameVerdict::kOk},
        {L"CONSOLE", StoredNameVerdict::kOk},
        {L"COM10", StoredNameVerdict::kOk},
        {L"COM0", StoredNameVerdict::kOk},
        {longest.c_str(), StoredNameVerdict::kOk},
        {L"", StoredNameVerdict::kEmpty},
        {nullptr, StoredNameVerdict::kEmpty},
        {tooLong.c_str(), StoredNameVerdict::kTooLong},
        {L"..\\victim", StoredNameVerdict::kSeparator},
        {L"x\\victim", StoredNameVerdict::kSeparator},
        {L"..", StoredNameVerdict::kParent},
        {L"a..b", StoredNameVerdict::kParent},
        {L"a\\b", StoredNameVerdict::kSeparator},
        {L"a/b", StoredNameVerdict::kSeparator},
        {L"C:x", StoredNameVerdict::kSeparator},
        {L"a\tb", StoredNameVerdict::kControl},
        {L"a*", StoredNameVerdict::kControl},
        {L"a|b", StoredNameVerdict::kControl},
        {L"CON", StoredNameVerdict::kDevice},
        {L"aux", StoredNameVerdict::kDevice},
        {L"Nul.xmg", StoredNameVerdict::kDevice},
        {L"COM1", StoredNameVerdict::kDevice},
        {L"lpt9.thb", StoredNameVerdict::kDevice},
        {L"PRN .x", StoredNameVerdict::kDevice},
        {L"name.", StoredNameVerdict::kTrailing},
        {L"name ", StoredNameVerdict::kTrailing},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.name ? std::string(c.name, c.name + wcslen(c.name)) : std::string("(null)"));
        EXPECT_EQ(c.verdict, CheckStoredFileName(c.name));
        if (!c.name)
            continue;
        wchar_t path[MAX_PATH] = L"x";
        EXPECT_EQ(c.verdict == StoredNameVerdict::kOk, BuildStoredFilePath(path, L"C:\\Data\\Image\\", c.name, L".xmg"));
        if (c.verdict != StoredNameVerdict::kOk) {
            EXPECT_EQ(L'\0', path[0]);
        }
    }
    const wchar_t embedded[] = {L'a', 0, L'b'};
    EXPECT_EQ(StoredNameVerdict::kControl, CheckStoredFileName(embedded, 3)) << "a zero inside the counted name";
    wchar_t path[MAX_PATH];
    ASSERT_TRUE(BuildStoredFilePath(path, L"C:\\Data\\Image\\", L"K00000000170000000305", L".xmg"));
    EXPECT_STREQ(L"C:\\Data\\Image\\K00000000170000000305.xmg", path);
}

}  // namespace
