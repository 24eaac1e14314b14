#include "foundation/messages.h"

#include "common/dialog_look.h"
#include "common/prompt_script.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The system's own text of an error code, as FormatMessageW gives it.
std::wstring SystemText(DWORD code)
{
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0x400, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result = n ? std::wstring(text, n) : std::wstring();
    if (text)
        LocalFree(text);
    return result;
}

HWND const kOwner = reinterpret_cast<HWND>(0x1234);   // recorded by the script, never used as a window
const UINT kMissingId = 65000;                          // no string of the table has this id

// --- System error boxes --------------------------------------------------------

TEST(SystemErrorBox, ShowsSystemTextWithoutOwnerTopmostTaskModal)
{
    PromptScript script({IDOK});
    EXPECT_EQ(IDOK, ShowSystemErrorBox(ERROR_FILE_NOT_FOUND, L"Open"));
    PromptRecord r = script.Last();
    EXPECT_EQ(nullptr, r.owner);
    EXPECT_FALSE(SystemText(ERROR_FILE_NOT_FOUND).empty());
    EXPECT_EQ(SystemText(ERROR_FILE_NOT_FOUND), r.text);
    EXPECT_TRUE(r.hasCaption);
    EXPECT_EQ(L"Open", r.caption);
    EXPECT_EQ(0x42040u, r.flags);
}

TEST(SystemErrorBox, CodeBoxAndLastErrorBoxHaveDefaultCaption)
{
    PromptScript script({IDOK, IDOK});
    ShowErrorCodeBox(ERROR_ACCESS_DENIED);
    EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED), script.Last().text);
    EXPECT_FALSE(script.Last().hasCaption);

    SetLastError(ERROR_INVALID_HANDLE);
    ShowLastErrorBox();
    EXPECT_EQ(SystemText(ERROR_INVALID_HANDLE), script.Last().text);
    EXPECT_FALSE(script.Last().hasCaption);
    EXPECT_EQ(0x42040u, script.Last().flags);
}

// A code the system has no text for still names itself, in the running
// language: an HRESULT in hexadecimal, a Win32 code in decimal. Every box and
// journal record that shows a system text takes it from ErrorCodeText.
TEST(SystemErrorBox, ACodeWithoutSystemTextIsNamed)
{
    struct Case {
        DWORD code;
        LANGID language;
        const wchar_t* shown;
    };
    const Case cases[] = {
        {0x80040154, 0x409, L"System error 0x80040154 (the system has no description of it)"},
        {0x2000FFFF, 0x409, L"System error 0x2000FFFF (the system has no description of it)"},
        {15999, 0x409, L"System error 15999 (the system has no description of it)"},
        {0x80040154, 0x419, L"Системная ошибка 0x80040154 (система не описывает её)"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(L"", SystemText(c.code)) << std::hex << c.code << " has a system text after all";
        harness::ThreadLanguage language(c.language);
        PromptScript script({IDOK});
        ShowErrorCodeBox(c.code);
        ASSERT_EQ(1u, script.Count());
        EXPECT_EQ(c.shown, script.Last().text) << std::hex << c.code;
        EXPECT_EQ(c.shown, ErrorCodeText(c.code));
    }
    // A text that does not fit is cut, terminated.
    wchar_t small[8];
    EXPECT_EQ(7, ErrorCodeText(0x80040154, small, 8));
    EXPECT_EQ(L"System ", std::wstring(small));
    // With a text of its own the code shows that text.
    EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED), ErrorCodeText(ERROR_ACCESS_DENIED));
}

// --- String-table boxes ----------------------------------------------------------

TEST(MessageBoxIdTest, ShowsStringWithOwnerAndDefaultCaption)
{
    PromptScript script({IDYES});
    EXPECT_EQ(IDYES, MessageBoxId(kOwner, 121, MB_YESNO));
    PromptRecord r = script.Last();
    EXPECT_EQ(kOwner, r.owner);
    EXPECT_EQ(L"Journal Not Found\nCreate Journal?", r.text);
    EXPECT_FALSE(r.hasCaption);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO), r.flags);
}

TEST(MessageBoxIdTest, ByIdHasNoOwner)
{
    PromptScript script({IDNO});
    EXPECT_EQ(IDNO, MessageBoxById(121, MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(nullptr, script.Last().owner);
    EXPECT_EQ(L"Journal Not Found\nCreate Journal?", script.Last().text);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), script.Last().flags);
}

TEST(MessageBoxIdTest, MissingStringStillShowsEmptyBox)
{
    PromptScript script({IDOK, IDOK});
    MessageBoxId(nullptr, kMissingId, MB_OK);
    EXPECT_EQ(L"", script.Last().text);
    MessageBoxById(kMissingId, MB_OK);
    EXPECT_EQ(2u, script.Count());
    EXPECT_EQ(L"", script.Last().text);
}

TEST(MessageBoxIdCaptionTest, IdsAndTextsForTextAndCaption)
{
    PromptScript script({IDOK, IDOK, IDOK, IDOK});
    MessageBoxIdCaption(kOwner, 121, 56, MB_OK);
    EXPECT_EQ(L"Journal Not Found\nCreate Journal?", script.Last().text);
    EXPECT_EQ(L"Print", script.Last().caption);
    EXPECT_EQ(kOwner, script.Last().owner);

    MessageBoxIdCaption(nullptr, L"Literal text", 0, MB_ICONSTOP);
    EXPECT_EQ(L"Literal text", script.Last().text);
    EXPECT_FALSE(script.Last().hasCaption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONSTOP), script.Last().flags);

    MessageBoxIdCaption(nullptr, 121, L"Literal caption", MB_OK);
    EXPECT_EQ(L"Literal caption", script.Last().caption);

    // A caption id that is missing gives the default caption.
    MessageBoxIdCaption(nullptr, kMissingId, kMissingId, MB_OK);
    EXPECT_EQ(L"", script.Last().text);
    EXPECT_FALSE(script.Last().hasCaption);
}

TEST(MessageBoxIdCaptionTest, NumbersAreIdsOfAnyIntegerTypeAndNeverPointers)
{
    PromptScript script({IDOK, IDOK, IDOK});
    const DWORD textId = 121;
    const unsigned long captionId = 56;
    MessageBoxIdCaption(nullptr, textId, captionId, MB_OK);
    EXPECT_EQ(L"Journal Not Found\nCreate Journal?", script.Last().text);
    EXPECT_EQ(L"Print", script.Last().caption);

    // A number outside 1 to 0xFFFF is no text at all: nothing is read from it.
    MessageBoxIdCaption(nullptr, -1, 0x10000, MB_OK);
    EXPECT_EQ(L"", script.Last().text);
    EXPECT_FALSE(script.Last().hasCaption);
    MessageBoxIdFormat(nullptr, -5, MB_OK, static_cast<DWORD>(0x80004005), 1u);
    EXPECT_EQ(L"", script.Last().text);
    EXPECT_FALSE(script.Last().hasCaption);
}

TEST(MessageBoxIdCaptionTest, LongLiteralTextIsShownWhole)
{
    PromptScript script({IDOK});
    std::wstring text(3000, L'x');
    MessageBoxIdCaption(nullptr, text.c_str(), 0, MB_OK);
    EXPECT_EQ(text, script.Last().text);
}

// --- Formatted boxes ---------------------------------------------------------------

TEST(MessageBoxIdFormatTest, IdFormatWithNumberInsertAndIdCaption)
{
    PromptScript script({IDCANCEL});
    EXPECT_EQ(IDCANCEL, MessageBoxIdFormat(kOwner, 56, MB_OKCANCEL, 661, 1234u));
    PromptRecord r = script.Last();
    EXPECT_EQ(kOwner, r.owner);
    EXPECT_EQ(L"Print", r.caption);
    EXPECT_EQ(L"Error while canceling jobs 1234\r\nPress OK to close window", r.text);
    EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL), r.flags);
}

TEST(MessageBoxIdFormatTest, DeletionQuestionPlacesTextInserts)
{
    PromptScript script({IDYES});
    EXPECT_EQ(IDYES, MessageBoxIdFormat(nullptr, 0, MB_YESNO, 290, L"Ivanov", L"Ivan", L"Petrovich", L"01.02.1960"));
    PromptRecord r = script.Last();
    EXPECT_FALSE(r.hasCaption);
    EXPECT_EQ(L"Are you sure you want to delete Ivan P. Ivanov 01.02.1960?\r\nPress \"Yes\" to proceed.", r.text);
}

TEST(MessageBoxIdFormatTest, LiteralFormatAndCaptionWithInsertsOutOfOrder)
{
    PromptScript script({IDOK});
    MessageBoxIdFormat(nullptr, L"Caption text", MB_OK, L"%2 then %1!u!%nend %3!.1s!", 7u, L"second", L"Zed");
    EXPECT_EQ(L"Caption text", script.Last().caption);
    EXPECT_EQ(L"second then 7\r\nend Z", script.Last().text);
}

TEST(MessageBoxIdFormatTest, TextLongerThan1024ShowsEmptyBox)
{
    PromptScript script({IDOK, IDOK});
    std::wstring fits(1000, L'a');
    MessageBoxIdFormat(nullptr, 0, MB_OK, L"%1", fits.c_str());
    EXPECT_EQ(fits, script.Last().text);

    std::wstring tooLong(1100, L'a');
    MessageBoxIdFormat(nullptr, 0, MB_OK, L"%1", tooLong.c_str());
    EXPECT_EQ(2u, script.Count());
    EXPECT_EQ(L"", script.Last().text);
}

TEST(MessageBoxIdFormatTest, MissingFormatIdShowsEmptyBox)
{
    PromptScript script({IDOK});
    MessageBoxIdFormat(nullptr, 56, MB_OK, kMissingId, 1u);
    EXPECT_EQ(L"", script.Last().text);
    EXPECT_EQ(L"Print", script.Last().caption);
}

// --- MsgExcept ---------------------------------------------------------------------

TEST(MsgExceptTest, ShowsCaptionAndTextThroughPrompt)
{
    PromptScript script({IDRETRY});
    MsgExcept e(L"Import", -1, L"File is damaged", -1);
    EXPECT_EQ(IDRETRY, e.Show(kOwner, MB_RETRYCANCEL));
    PromptRecord r = script.Last();
    EXPECT_EQ(kOwner, r.owner);
    EXPECT_EQ(L"Import", r.caption);
    EXPECT_EQ(L"File is damaged", r.text);
    EXPECT_EQ(static_cast<UINT>(MB_RETRYCANCEL), r.flags);
    EXPECT_EQ(6, e.CaptionLength());
    EXPECT_EQ(15, e.TextLength());
}

TEST(MsgExceptTest, GivenLengthsCopyThatManyCharacters)
{
    MsgExcept e(L"Captionless", 7, L"Text and more", 4);
    wchar_t buffer[32];
    EXPECT_EQ(7, e.GetCaption(buffer, 32));
    EXPECT_STREQ(L"Caption", buffer);
    EXPECT_EQ(4, e.GetText(buffer, 32));
    EXPECT_STREQ(L"Text", buffer);
}

TEST(MsgExceptTest, NullMsgExceptShowsNothing)
{
    PromptScript script;   // no answers: any prompt would fail the test
    MsgExcept none;
    EXPECT_EQ(-1, none.Show(nullptr, MB_OK));
    EXPECT_EQ(0, none.TextLength());
    EXPECT_EQ(0, none.CaptionLength());

    MsgExcept released(L"c", -1, L"t", -1);
    released.Release();
    EXPECT_EQ(-1, released.Show(nullptr, MB_OK));
    EXPECT_EQ(0u, script.Count());
}

TEST(MsgExceptTest, ZeroLengthCaptionGivesDefaultCaption)
{
    PromptScript script({IDOK});
    MsgExcept e(L"Caption", -1, L"Text", -1);
    e.SetCaption(L"Other", 0);
    EXPECT_EQ(0, e.CaptionLength());
    e.Show(nullptr, MB_OK);
    EXPECT_FALSE(script.Last().hasCaption);
    EXPECT_EQ(L"Text", script.Last().text);
}

TEST(MsgExceptTest, NullTextsLeaveNoParts)
{
    PromptScript script({IDOK});
    MsgExcept e(nullptr, -1, nullptr, 25);   // a length with a null text copies nothing
    EXPECT_EQ(0, e.CaptionLength());
    EXPECT_EQ(0, e.TextLength());
    EXPECT_EQ(IDOK, e.Show(nullptr, MB_OK));   // a record exists: shown, empty
    EXPECT_EQ(L"", script.Last().text);
    EXPECT_FALSE(script.Last().hasCaption);
}

TEST(MsgExceptTest, CopyOutlivesOriginal)
{
    PromptScript script({IDOK});
    MsgExcept* first = new MsgExcept(L"Save", -1, L"Disk full", -1);
    MsgExcept copy(*first);
    delete first;
    EXPECT_EQ(4, copy.CaptionLength());
    copy.Show(nullptr, MB_OK);
    EXPECT_EQ(L"Save", script.Last().caption);
    EXPECT_EQ(L"Disk full", script.Last().text);
}

TEST(MsgExceptTest, CopiesShareOneRecord)
{
    MsgExcept a(L"A", -1, L"first", -1);
    MsgExcept b(a);
    b.SetText(L"changed", -1);
    wchar_t buffer[16];
    a.GetText(buffer, 16);
    EXPECT_STREQ(L"changed", buffer);
}

TEST(MsgExceptTest, AssignmentSharesAndSurvivesSelfAssignment)
{
    PromptScript script({IDOK, IDOK});
    MsgExcept a(L"A", -1, L"alpha", -1);
    MsgExcept b(L"B", -1, L"beta", -1);
    b = a;
    a.Release();
    b.Show(nullptr, MB_OK);
    EXPECT_EQ(L"alpha", script.Last().text);

    MsgExcept& same = b;
    b = same;
    b.Show(nullptr, MB_OK);
    EXPECT_EQ(L"A", script.Last().caption);
    EXPECT_EQ(L"alpha", script.Last().text);
}

TEST(MsgExceptTest, ThrownByValueAndShownByCatcher)
{
    PromptScript script({IDOK});
    try {
        MsgExcept e;
        e.SetCaptionId(56);
        e.SetTextId(121);
        throw e;
    } catch (const MsgExcept& caught) {
        EXPECT_EQ(IDOK, caught.Show(nullptr, MB_OK | MB_ICONSTOP));
    }
    EXPECT_EQ(L"Print", script.Last().caption);
    EXPECT_EQ(L"Journal Not Found\nCreate Journal?", script.Last().text);
}

TEST(MsgExceptTest, MissingIdsLeaveNoParts)
{
    MsgExcept e(L"c", -1, L"t", -1);
    e.SetCaptionId(kMissingId);
    e.SetTextId(kMissingId);
    EXPECT_EQ(0, e.CaptionLength());
    EXPECT_EQ(0, e.TextLength());
}

TEST(MsgExceptTest, GetTextCutsAndTerminates)
{
    MsgExcept e(nullptr, -1, L"abcdef", -1);
    wchar_t buffer[8] = L"zzzzzzz";
    EXPECT_EQ(3, e.GetText(buffer, 4));
    EXPECT_STREQ(L"abc", buffer);
    EXPECT_EQ(0, e.GetCaption(buffer, 8));   // no caption: empty buffer
    EXPECT_EQ(0, buffer[0]);

    buffer[0] = L'q';
    EXPECT_EQ(0, e.GetText(buffer, 0));      // no room: nothing written
    EXPECT_EQ(L'q', buffer[0]);
    EXPECT_EQ(0, e.GetText(nullptr, 8));

    MsgExcept none;
    EXPECT_EQ(0, none.GetText(buffer, 8));
    EXPECT_EQ(0, buffer[0]);
}

TEST(MsgExceptTest, TextAndCaptionAreEachAnIdOrAText)
{
    PromptScript script({IDOK, IDOK, IDOK});
    MsgExcept(121, 56).Show(kOwner, MB_OK);
    EXPECT_EQ(L"Journal Not Found\nCreate Journal?", script.Last().text);
    EXPECT_EQ(L"Print", script.Last().caption);
    EXPECT_EQ(kOwner, script.Last().owner);

    MsgExcept(L"Arj", 56).Show(nullptr, MB_ICONHAND);
    EXPECT_EQ(L"Arj", script.Last().text);
    EXPECT_EQ(L"Print", script.Last().caption);

    // Without a caption the box has the default one; a thrown copy shows the same.
    try {
        throw MsgExcept(121);
    } catch (const MsgExcept& caught) {
        caught.Show(nullptr, MB_OK);
    }
    EXPECT_EQ(L"Journal Not Found\nCreate Journal?", script.Last().text);
    EXPECT_FALSE(script.Last().hasCaption);
    EXPECT_EQ(3u, script.Count());
}

}  // namespace
