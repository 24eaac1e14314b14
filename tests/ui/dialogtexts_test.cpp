// The one way of the program's dialogs: texts from the string table in the
// running language into a template that holds none, a control shown for one
// language alone, and a procedure whose exceptions are shown over its dialog
// while the dialog goes on.
#include "ui/dialogtexts.h"

#include "common/dialog_look.h"
#include "common/prompt_script.h"
#include "common/window_harness.h"
#include "foundation/messages.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

const int kLabel = 101;
const int kButton = 102;
const int kOneLanguage = 103;
const UINT kNoSuchString = 65000;

const DWORD kPopup = WS_POPUP | WS_CAPTION | WS_SYSMENU;
const DWORD kPanel = WS_CHILD | DS_CONTROL;

// A dialog template built in memory: a window of the style with a label and
// two buttons, each with the text "template", and an empty caption.
class Template {
public:
    explicit Template(DWORD style)
    {
        Add(style | DS_SETFONT);
        Add(0);                 // extended style
        words_.push_back(3);    // controls
        for (short v : {0, 0, 160, 60})
            words_.push_back(static_cast<WORD>(v));
        words_.push_back(0);    // no menu
        words_.push_back(0);    // the dialog class
        Text(L"");              // caption
        words_.push_back(8);    // font size
        Text(L"MS Shell Dlg");
        Item(SS_LEFT | WS_VISIBLE, 7, 7, 140, 8, kLabel, 0x0082);
        Item(BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP, 7, 30, 60, 14, kButton, 0x0080);
        Item(BS_PUSHBUTTON | WS_TABSTOP, 80, 30, 60, 14, kOneLanguage, 0x0080);
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void Add(DWORD value)
    {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void Text(const wchar_t* text)
    {
        for (; *text; ++text)
            words_.push_back(*text);
        words_.push_back(0);
    }
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom)
    {
        if (words_.size() % 2)
            words_.push_back(0);   // every item starts on a DWORD
        Add(style | WS_CHILD);
        Add(0);
        for (short v : {x, y, cx, cy})
            words_.push_back(static_cast<WORD>(v));
        words_.push_back(id);
        words_.push_back(0xFFFF);
        words_.push_back(atom);
        Text(L"template");
        words_.push_back(0);   // no creation data
    }
    std::vector<WORD> words_;
};

std::wstring Str(UINT id)
{
    wchar_t text[256] = {};
    const int n = LoadStringW(nullptr, id, text, 256);
    return std::wstring(text, n > 0 ? n : 0);
}

std::wstring TextOf(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

INT_PTR CALLBACK PlainProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

class DialogTextsTest : public ::testing::TestWithParam<LANGID> {
protected:
    bool Russian() const { return PRIMARYLANGID(GetParam()) == LANG_RUSSIAN; }
};

}  // namespace

TEST_P(DialogTextsTest, TheCaptionAndTheControlsTakeTheirTextsInTheRunningLanguage)
{
    harness::ThreadLanguage language(GetParam());
    Template dialogTemplate(kPopup);
    HWND dialog = CreateDialogIndirectParamW(nullptr, dialogTemplate.Get(), nullptr, PlainProc, 0);
    ASSERT_TRUE(dialog);
    // The list ends at {0, 0}: the entry after it is never reached.
    const DialogText texts[] = {{0, IDS_FONTS},       {kLabel, IDS_CLOSE}, {kButton, kNoSuchString},
                                {0, 0},               {kButton, IDS_CANCEL}};
    ApplyDialogTexts(dialog, texts);
    EXPECT_EQ(Str(IDS_FONTS), TextOf(dialog));
    EXPECT_EQ(Russian() ? L"Шрифты" : L"Fonts", TextOf(dialog));
    EXPECT_EQ(Russian() ? L"Закрыть" : L"Close", TextOf(GetDlgItem(dialog, kLabel)));
    EXPECT_EQ(L"template", TextOf(GetDlgItem(dialog, kButton))) << "a text the table lacks leaves the control's";
    EXPECT_EQ(Russian() ? LANG_RUSSIAN : LANG_ENGLISH, RunningLanguage());
    DestroyWindow(dialog);
}

TEST_P(DialogTextsTest, AControlOfOneLanguageIsShownAndEnabledInThatLanguageAlone)
{
    harness::ThreadLanguage language(GetParam());
    Template dialogTemplate(kPopup);
    HWND dialog = CreateDialogIndirectParamW(nullptr, dialogTemplate.Get(), nullptr, PlainProc, 0);
    ASSERT_TRUE(dialog);
    HWND control = GetDlgItem(dialog, kOneLanguage);
    ShowForLanguage(dialog, kOneLanguage, LANG_RUSSIAN);
    EXPECT_EQ(Russian(), IsWindowVisible(control) || (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0);
    EXPECT_EQ(Russian(), IsWindowEnabled(control) != FALSE);
    ShowForLanguage(dialog, kOneLanguage, LANG_ENGLISH);
    EXPECT_EQ(!Russian(), (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0);
    EXPECT_EQ(!Russian(), IsWindowEnabled(control) != FALSE);
    ShowForLanguage(dialog, 999, LANG_RUSSIAN);   // no such control: nothing happens
    DestroyWindow(dialog);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, DialogTextsTest,
                         ::testing::Values(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                           MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)),
                         [](const ::testing::TestParamInfo<LANGID>& info) {
                             return PRIMARYLANGID(info.param) == LANG_RUSSIAN ? std::string("Russian")
                                                                              : std::string("English");
                         });

// ---- failures ------------------------------------------------------------------------

namespace {

const UINT kThrowText = WM_APP + 1;     // throws a MsgExcept
const UINT kThrowOther = WM_APP + 2;    // throws something no layer knows
const UINT kThrowId = WM_APP + 3;       // throws a string-table id
const UINT kEnd = WM_APP + 4;           // ends the dialog with 7

int gHandledAfterThrow;   // messages the procedure handled after the first throw
HWND gDialog;             // the dialog that runs

INT_PTR CALLBACK ThrowingProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        gDialog = dialog;
        PostMessageW(dialog, kThrowText, 0, 0);
        PostMessageW(dialog, kThrowOther, 0, 0);
        PostMessageW(dialog, kThrowId, 0, 0);
        PostMessageW(dialog, kEnd, 0, 0);
        return TRUE;
    case kThrowText:
        throw MsgExcept(IdOrText(L"The folder cannot be made"), IdOrText(L"Backup"));
    case kThrowOther:
        ++gHandledAfterThrow;
        throw std::runtime_error("no layer knows this");
    case kThrowId:
        ++gHandledAfterThrow;
        throw static_cast<UINT>(IDS_CLOSE);
    case kEnd:
        ++gHandledAfterThrow;
        EndDialog(dialog, 7);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK ThrowingInitProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG) {
        gDialog = dialog;
        PostMessageW(dialog, kEnd, 0, 0);
        throw MsgExcept(IdOrText(L"Cannot read the settings"));
    }
    if (message == kEnd) {
        EndDialog(dialog, 3);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK ThrowingPanelProc(HWND, UINT message, WPARAM, LPARAM)
{
    if (message == kThrowText)
        throw MsgExcept(IdOrText(L"The panel failed"));
    return FALSE;
}

}  // namespace

// The dialog's own loop is the system's: the guarded procedure shows what its
// procedure throws at once, each over the dialog, and the dialog goes on.
TEST(GuardedDialogProcTest, EachExceptionIsShownOverTheDialogAndTheDialogGoesOn)
{
    harness::ScreenLock screen;
    PromptScript prompts({IDOK, IDOK, IDOK});
    gHandledAfterThrow = 0;
    gDialog = nullptr;
    Template dialogTemplate(kPopup | DS_CENTER);
    const INT_PTR result =
        DialogBoxIndirectParamW(nullptr, dialogTemplate.Get(), nullptr, GuardedDialogProc<ThrowingProc>, 0);
    EXPECT_EQ(7, result);
    EXPECT_EQ(3, gHandledAfterThrow);
    const std::vector<PromptRecord> seen = prompts.Prompts();
    ASSERT_EQ(3u, seen.size());
    EXPECT_EQ(L"The folder cannot be made", seen[0].text);
    EXPECT_EQ(L"Backup", seen[0].caption);
    EXPECT_EQ(Str(IDS_UNHANDLED_EXCEPTION), seen[1].text);
    EXPECT_EQ(Str(IDS_CLOSE), seen[2].text);
    ASSERT_NE(nullptr, gDialog);
    for (const PromptRecord& prompt : seen)
        EXPECT_EQ(gDialog, prompt.owner) << "every failure is shown over the dialog";
}

TEST(GuardedDialogProcTest, AFailureWhileTheDialogOpensIsShownAndTheDialogStillRuns)
{
    harness::ScreenLock screen;
    PromptScript prompts({IDOK});
    gDialog = nullptr;
    Template dialogTemplate(kPopup | DS_CENTER);
    const INT_PTR result =
        DialogBoxIndirectParamW(nullptr, dialogTemplate.Get(), nullptr, GuardedDialogProc<ThrowingInitProc>, 0);
    EXPECT_EQ(3, result);
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(L"Cannot read the settings", prompts.Last().text);
    ASSERT_NE(nullptr, gDialog);
    EXPECT_EQ(gDialog, prompts.Last().owner);
}

// A panel inside another window (as the import's properties panel is inside
// the open-file dialog) shows its failure over that window.
TEST(GuardedDialogProcTest, APanelShowsItsFailureOverTheWindowItBelongsTo)
{
    harness::HostWindow host;
    PromptScript prompts({IDOK});
    Template panelTemplate(kPanel);
    HWND panel =
        CreateDialogIndirectParamW(nullptr, panelTemplate.Get(), host.Hwnd(), GuardedDialogProc<ThrowingPanelProc>, 0);
    ASSERT_TRUE(panel);
    ASSERT_EQ(host.Hwnd(), GetAncestor(panel, GA_ROOT));
    SendMessageW(panel, kThrowText, 0, 0);
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(L"The panel failed", prompts.Last().text);
    EXPECT_EQ(host.Hwnd(), prompts.Last().owner);
    DestroyWindow(panel);
}
