// The string table: every text of resources/strings.def exists in both languages,
// exactly as written there, and the user's UI language picks the one shown.
#include "foundation/globals.h"
#include "resources/strings.h"

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// One line of strings.def as the test sees it: the texts as written in the file
// (resource-compiler syntax, outer quotes included), decoded by DecodeRcText.
struct DefString {
    unsigned id;
    const char* name;
    const wchar_t* english;
    const wchar_t* russian;
};

#define TF_WIDEN2(text) L##text
#define TF_WIDEN(text) TF_WIDEN2(text)
#define TF_SPELLING(...) #__VA_ARGS__
#define TF_STRING(id, name, english, russian) \
    {id, #name, TF_WIDEN(TF_SPELLING(english)), TF_WIDEN(TF_SPELLING(russian))},
const DefString kDefStrings[] = {
#include "resources/strings.def"
};
#undef TF_STRING

// Decodes a text as the resource compiler reads it: outer quotes dropped, ""
// for one quote, and the escapes \n, \t and \\. False for anything else (a lone
// quote, another escape), which the resource compiler would not read as written.
bool DecodeRcText(const wchar_t* spelling, std::wstring* out)
{
    std::wstring in(spelling);
    out->clear();
    if (in.size() < 2 || in.front() != L'"' || in.back() != L'"')
        return false;
    for (size_t i = 1; i + 1 < in.size(); ++i) {
        wchar_t c = in[i];
        if (c == L'"') {
            if (in[i + 1] != L'"' || i + 2 >= in.size())
                return false;
            *out += L'"';
            ++i;
        } else if (c == L'\\') {
            wchar_t e = in[++i];
            if (e == L'n')
                *out += L'\n';
            else if (e == L't')
                *out += L'\t';
            else if (e == L'\\')
                *out += L'\\';
            else
                return false;
        } else {
            *out += c;
        }
    }
    return true;
}

std::wstring Decoded(const wchar_t* spelling)
{
    std::wstring text;
    return DecodeRcText(spelling, &text) ? text : L"<malformed>";
}

const LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const LANGID kRussian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);

// Reads string id of the given language straight from its RT_STRING block
// (block (id >> 4) + 1, entry id & 15: a length word, then that many characters),
// so that the result does not depend on the thread's UI language. Returns false
// when the block or the entry is missing.
bool ReadTableString(unsigned id, LANGID lang, std::wstring* text)
{
    HRSRC block = FindResourceExW(hInstance, RT_STRING, MAKEINTRESOURCEW((id >> 4) + 1), lang);
    if (!block)
        return false;
    HGLOBAL loaded = LoadResource(hInstance, block);
    const WORD* p = loaded ? static_cast<const WORD*>(LockResource(loaded)) : nullptr;
    if (!p)
        return false;
    const WORD* end = p + SizeofResource(hInstance, block) / sizeof(WORD);
    for (unsigned entry = 0; entry < (id & 15); ++entry) {
        if (p >= end)
            return false;
        p += 1 + *p;
    }
    if (p >= end || *p == 0 || p + 1 + *p > end)
        return false;
    text->assign(reinterpret_cast<const wchar_t*>(p + 1), *p);
    return true;
}

std::wstring LoadText(unsigned id)
{
    wchar_t buffer[1024];
    int n = LoadStringW(hInstance, id, buffer, 1024);
    return std::wstring(buffer, n > 0 ? n : 0);
}

const DefString* Find(unsigned id)
{
    for (const DefString& s : kDefStrings)
        if (s.id == id)
            return &s;
    return nullptr;
}

// Puts one thread in a language for one test, and back afterwards: the UI
// language, which Windows' resource loader follows, and the thread locale,
// which Wine's loader follows (Wine keeps the UI language of the user and
// ignores SetThreadUILanguage). Start-up sets both from the application locale.
class ThreadLanguage {
public:
    explicit ThreadLanguage(LANGID lang) : previousUi_(GetThreadUILanguage()), previousLocale_(GetThreadLocale())
    {
        SetThreadUILanguage(lang);
        localeSet_ = SetThreadLocale(MAKELCID(lang, SORT_DEFAULT)) != FALSE;
    }
    ~ThreadLanguage()
    {
        SetThreadLocale(previousLocale_);
        SetThreadUILanguage(previousUi_);
    }
    bool Set() const { return localeSet_; }

private:
    LANGID previousUi_;
    LCID previousLocale_;
    bool localeSet_ = false;
};

// Formats a loaded pattern with FormatMessage inserts. The formatter writes a
// line break of the pattern as CR LF; the result keeps LF alone, as written.
std::wstring FormatLoaded(const std::wstring& pattern, DWORD_PTR* args)
{
    wchar_t out[1024];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, pattern.c_str(), 0, 0, out,
                             1024, reinterpret_cast<va_list*>(args));
    std::wstring text;
    for (DWORD i = 0; i < n; ++i)
        if (out[i] != L'\r')
            text += out[i];
    return text;
}

} // namespace

TEST(StringTableList, IdsAreSortedUniqueAndNamed)
{
    std::set<std::string> names;
    unsigned previous = 0;
    for (const DefString& s : kDefStrings) {
        EXPECT_GT(s.id, previous) << s.name << " is out of order or repeats an id";
        EXPECT_LE(s.id, 0xFFFFu) << s.name;
        EXPECT_EQ(0, std::string(s.name).rfind("IDS_", 0)) << s.name;
        EXPECT_TRUE(names.insert(s.name).second) << s.name << " is declared twice";
        previous = s.id;
    }
    EXPECT_GT(std::size(kDefStrings), 500u);
}

TEST(StringTableList, EveryTextIsAWellFormedResourceString)
{
    for (const DefString& s : kDefStrings) {
        std::wstring text;
        EXPECT_TRUE(DecodeRcText(s.english, &text)) << s.name << " (English)";
        EXPECT_FALSE(text.empty()) << s.name << " (English)";
        EXPECT_TRUE(DecodeRcText(s.russian, &text)) << s.name << " (Russian)";
        EXPECT_FALSE(text.empty()) << s.name << " (Russian)";
    }
}

TEST(StringTableList, EnumNamesCarryTheirIds)
{
    EXPECT_EQ(159u, IDS_SETUP_PROGRAM);
    EXPECT_EQ(290u, IDS_CONFIRM_DELETE_PATIENT);
    EXPECT_EQ(661u, IDS_CANCEL_JOBS_ERROR);
    EXPECT_EQ(678u, IDS_DB_NO_COMMAND_TEXT);
    EXPECT_EQ(735u, IDS_DB_NO_PARAMETER_LIST);
}

TEST(StringTableResource, EveryEnglishTextIsInTheTable)
{
    for (const DefString& s : kDefStrings) {
        std::wstring text;
        ASSERT_TRUE(ReadTableString(s.id, kEnglish, &text)) << s.name << " (" << s.id << ") has no English text";
        EXPECT_TRUE(text == Decoded(s.english)) << s.name << " (" << s.id << ") differs in English";
    }
}

TEST(StringTableResource, EveryRussianTextIsInTheTable)
{
    for (const DefString& s : kDefStrings) {
        std::wstring text;
        ASSERT_TRUE(ReadTableString(s.id, kRussian, &text)) << s.name << " (" << s.id << ") has no Russian text";
        EXPECT_TRUE(text == Decoded(s.russian)) << s.name << " (" << s.id << ") differs in Russian";
    }
}

TEST(StringTableResource, NoIdOutsideTheListIsInTheTable)
{
    // Blocks hold 16 ids; every id that shares a block with a listed one must be
    // either listed or empty in both languages.
    std::set<unsigned> listed;
    for (const DefString& s : kDefStrings)
        listed.insert(s.id);
    for (unsigned id : listed) {
        for (unsigned other = id & ~15u; other < (id | 15u); ++other) {
            std::wstring text;
            if (listed.count(other))
                continue;
            EXPECT_FALSE(ReadTableString(other, kEnglish, &text)) << other;
            EXPECT_FALSE(ReadTableString(other, kRussian, &text)) << other;
        }
    }
}

TEST(StringTableResource, RussianTextIsDecodedFromUtf8)
{
    std::wstring text;
    ASSERT_TRUE(ReadTableString(IDS_SETUP_PROGRAM, kRussian, &text));
    // "Вы хотите настроить программу?" by code point, independent of how this
    // file is read by the compiler.
    const wchar_t expected[] = {0x0412, 0x044B, L' ', 0x0445, 0x043E, 0x0442, 0x0438, 0x0442, 0x0435, L' ',
                                0x043D, 0x0430, 0x0441, 0x0442, 0x0440, 0x043E, 0x0438, 0x0442, 0x044C, L' ',
                                0x043F, 0x0440, 0x043E, 0x0433, 0x0440, 0x0430, 0x043C, 0x043C, 0x0443, L'?', 0};
    EXPECT_TRUE(text == expected);
    ASSERT_TRUE(ReadTableString(IDS_SAVE, kRussian, &text));
    EXPECT_EQ(9u, text.size()); // "Сохранить": nine UTF-16 units, not eighteen UTF-8 bytes
}

TEST(StringTableResource, EscapesBecomeCharacters)
{
    std::wstring text;
    ASSERT_TRUE(ReadTableString(IDS_JOURNAL_NOT_FOUND, kEnglish, &text));
    EXPECT_TRUE(text == L"Journal Not Found\nCreate Journal?");
    ASSERT_TRUE(ReadTableString(IDS_FIELD_REQUIRES_DATA, kEnglish, &text));
    EXPECT_TRUE(text == L"\"%1\" field requires data");
    ASSERT_TRUE(ReadTableString(IDS_CONFIRM_DELETE_PATIENT, kEnglish, &text));
    EXPECT_TRUE(text == L"Are you sure you want to delete %2 %3!.1s!. %1 %4?%nPress \"Yes\" to proceed.");
    ASSERT_TRUE(ReadTableString(IDS_REGISTRY_ROOT, kEnglish, &text));
    EXPECT_TRUE(text == L"SOFTWARE\\Marvod\\TobalFluoro");
    ASSERT_TRUE(ReadTableString(IDS_PIPE_WIN32_ERROR, kRussian, &text));
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(L'\n', text[0]);
}

TEST(StringTableLoad, LoadStringFollowsTheThreadLanguage)
{
    const DefString* s = Find(IDS_SETUP_PROGRAM);
    ASSERT_NE(nullptr, s);
    {
        ThreadLanguage russian(kRussian);
        ASSERT_TRUE(russian.Set());
        EXPECT_TRUE(LoadText(IDS_SETUP_PROGRAM) == Decoded(s->russian));
        EXPECT_TRUE(LoadText(IDS_CANCEL) == Decoded(Find(IDS_CANCEL)->russian));
    }
    {
        ThreadLanguage english(kEnglish);
        ASSERT_TRUE(english.Set());
        EXPECT_TRUE(LoadText(IDS_SETUP_PROGRAM) == Decoded(s->english));
        EXPECT_TRUE(LoadText(IDS_CANCEL) == Decoded(Find(IDS_CANCEL)->english));
    }
}

TEST(StringTableLoad, AnotherLanguageFallsBackToEnglish)
{
    ThreadLanguage german(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
    EXPECT_TRUE(LoadText(IDS_SETUP_PROGRAM) == Decoded(Find(IDS_SETUP_PROGRAM)->english));
}

TEST(StringTableLoad, MissingIdLoadsNothing)
{
    wchar_t buffer[16] = L"x";
    EXPECT_EQ(0, LoadStringW(hInstance, 759, buffer, 16));   // empty entry of a present block
    EXPECT_EQ(0, LoadStringW(hInstance, 0xFFF0, buffer, 16)); // no block at all
}

TEST(StringTableLoad, InsertsSurviveFormatting)
{
    ThreadLanguage english(kEnglish);
    DWORD_PTR args[] = {1722};
    EXPECT_TRUE(FormatLoaded(LoadText(IDS_CANCEL_JOBS_ERROR), args) ==
                L"Error while canceling jobs 1722\nPress OK to close window");
    DWORD_PTR win32[] = {5, (DWORD_PTR)L"Access is denied.", (DWORD_PTR)L" (D:\\Image)"};
    EXPECT_TRUE(FormatLoaded(LoadText(IDS_WIN32_ERROR_REPORT), win32) == L"Error Win32(5)\nAccess is denied. (D:\\Image)");
}

TEST(StringTableLoad, ReorderedInsertsSurviveFormattingInRussian)
{
    ThreadLanguage russian(kRussian);
    DWORD_PTR args[] = {(DWORD_PTR)L"Ivanov", (DWORD_PTR)L"Ivan", (DWORD_PTR)L"Petrovich", (DWORD_PTR)L"01.02.1960"};
    std::wstring text = FormatLoaded(LoadText(IDS_CONFIRM_DELETE_PATIENT), args);
    EXPECT_NE(std::wstring::npos, text.find(L"Ivanov Ivan P., 01.02.1960?\n"));
    EXPECT_EQ(std::wstring::npos, text.find(L'%'));
    EXPECT_EQ(0x412, text[0]); // "Вы действительно ..."
}

TEST(StringTableLoad, EnglishDeletionQuestionPutsTheInsertsInItsOrder)
{
    ThreadLanguage english(kEnglish);
    DWORD_PTR args[] = {(DWORD_PTR)L"Ivanov", (DWORD_PTR)L"Ivan", (DWORD_PTR)L"Petrovich", (DWORD_PTR)L"01.02.1960"};
    EXPECT_TRUE(FormatLoaded(LoadText(IDS_CONFIRM_DELETE_PATIENT), args) ==
                L"Are you sure you want to delete Ivan P. Ivanov 01.02.1960?\nPress \"Yes\" to proceed.");
}
