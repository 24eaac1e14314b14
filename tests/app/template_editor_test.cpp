// The diagnosis template editor: the list and the selection, Select, Save,
// Default, New (its key read back), Delete (one transaction that unlinks the
// images), and the questions before edits or a template are lost.
#include "strip_fixture.h"

#include "app/inputtext.h"
#include "app/notecommon.h"
#include "app/notesnimok.h"
#include "database/dberrors.h"
#include "foundation/globals.h"

#include <string>

using namespace striptest;

namespace {

// A text of n characters as people write one: lines of 62 letters, each
// ended by CR LF (an edit field lays out one endless line very slowly).
std::wstring LongText(int n, wchar_t letter)
{
    std::wstring text;
    text.reserve(n);
    while ((int)text.size() + 64 <= n)
        text += std::wstring(62, letter) + L"\r\n";
    text.append(n - text.size(), letter);
    return text;
}


// Stands in for the note: records what the editor asks of it.
struct FakeNote : NoteCallback {
    HWND window = nullptr;
    std::vector<std::pair<DWORD, BOOL>> applied;
    void ApplyTemplate(DWORD key, BOOL given) override { applied.push_back({key, given}); }
    HWND NoteWindow() override { return window; }
};

// Types a name into the text input window when it appears.
std::wstring gTypedName;
void CALLBACK TypeName(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND input = harness::FindOwnWindow(InpTextWnd::kClassName);
    if (!input)
        return;
    KillTimer(nullptr, id);
    InpTextWnd* window = WindowObject<InpTextWnd>(input);
    SetWindowTextW(window->GetEdit(), gTypedName.c_str());
    SendMessageW(window->GetEdit(), WM_KEYDOWN, gTypedName.empty() ? VK_ESCAPE : VK_RETURN, 0);
}

class TemplateTest : public StripTest {
protected:
    void SetUp() override
    {
        StripTest::SetUp();
        ASSERT_TRUE(InpTextWnd::RegisterClass() || true);
        note.window = host->Hwnd();
        AddPatient(17, L"Ivanov");
        Exec(L"INSERT INTO DiagHelp (DiagHelp, Txt, DiagTemplate) VALUES (5, N'Fracture', N'A fracture.');");
        Exec(L"INSERT INTO DiagHelp (DiagHelp, Txt, DiagTemplate) VALUES (6, N'Arthrosis', N'Narrowed joint space.');");
        Exec(L"INSERT INTO DiagHelp (DiagHelp, Txt, DiagTemplate) VALUES (7, N'Normal', N'No changes.');");
        AddImage(901, 17, L"20230501 10:30", L"I00000000170000000901", 1, 0, L"A fracture.");
        AddImage(902, 17, L"20230401 10:30", L"I00000000170000000902", 1, 0, L"A fracture.");
        AddImage(903, 17, L"20230301 10:30", L"I00000000170000000903", 1, 0, L"No changes.");
        Exec(L"UPDATE Snimok SET DiagHelp=5 WHERE Snimok IN (901, 902);");
        Exec(L"UPDATE Snimok SET DiagHelp=7 WHERE Snimok=903;");
    }
    void TearDown() override
    {
        editor.Destroy();
        InpTextWnd::UnregisterClass();
        StripTest::TearDown();
    }
    std::vector<std::wstring> Names()
    {
        std::vector<std::wstring> names;
        const int n = (int)SendMessageW(editor.GetList(), LB_GETCOUNT, 0, 0);
        for (int i = 0; i < n; ++i) {
            wchar_t text[128] = {};
            SendMessageW(editor.GetList(), LB_GETTEXT, i, (LPARAM)text);
            names.push_back(text);
        }
        return names;
    }
    std::wstring Text()
    {
        wchar_t text[256] = {};
        GetWindowTextW(editor.GetEdit(), text, 256);
        return text;
    }
    FakeNote note;
    TNoteSnimokWnd editor;
};

TEST_F(TemplateTest, OpensWithTheNotesTemplateOrTheFirstByName)
{
    ASSERT_TRUE(editor.Create(&note, 7, TRUE));
    EXPECT_FALSE(editor.Create(&note, 7, TRUE));
    EXPECT_EQ((std::vector<std::wstring>{L"Arthrosis", L"Fracture", L"Normal"}), Names());
    EXPECT_EQ(2, (int)SendMessageW(editor.GetList(), LB_GETCURSEL, 0, 0));
    EXPECT_EQ(L"No changes.", Text());
    EXPECT_EQ(host->Hwnd(), GetWindow(editor.GetHwnd(), GW_OWNER));
    editor.Destroy();
    ASSERT_TRUE(editor.Create(&note, 0, FALSE));
    EXPECT_TRUE(editor.HasSelection());
    EXPECT_EQ(6u, editor.SelectedKey());
    EXPECT_EQ(L"Narrowed joint space.", Text());
    PlacementRect p = {};
    editor.Destroy();
    EXPECT_TRUE(LoadWindowPlacement(p, L"TNoteSnimok"));
}

TEST_F(TemplateTest, SelectAppliesTheChosenTemplateToTheNoteAndCloses)
{
    ASSERT_TRUE(editor.Create(&note, 0, FALSE));
    ASSERT_TRUE(editor.ChooseItem(1));
    EXPECT_EQ(L"A fracture.", Text());
    editor.Select();
    EXPECT_FALSE(editor.GetHwnd());
    ASSERT_EQ(1u, note.applied.size());
    EXPECT_EQ(5u, note.applied[0].first);
    EXPECT_TRUE(note.applied[0].second);
}

TEST_F(TemplateTest, ADoubleClickSelects)
{
    ASSERT_TRUE(editor.Create(&note, 0, FALSE));
    SendMessageW(editor.GetList(), LB_SETCURSEL, 2, 0);
    SendMessageW(editor.GetHwnd(), WM_COMMAND, MAKEWPARAM(2, LBN_DBLCLK), (LPARAM)editor.GetList());
    EXPECT_FALSE(editor.GetHwnd());
    ASSERT_EQ(1u, note.applied.size());
    EXPECT_EQ(7u, note.applied[0].first);
}

TEST_F(TemplateTest, SaveStoresTheEditedText)
{
    ASSERT_TRUE(editor.Create(&note, 5, TRUE));
    SetWindowTextW(editor.GetEdit(), L"A displaced fracture.");
    SendMessageW(editor.GetEdit(), EM_SETMODIFY, TRUE, 0);
    editor.Save();
    EXPECT_EQ(L"A displaced fracture.", Scalar(L"SELECT DiagTemplate FROM DiagHelp WHERE DiagHelp=5;"));
    EXPECT_EQ(L"A fracture.", Scalar(L"SELECT Apicriz FROM Snimok WHERE Snimok=901;")) << "notes keep their text";
}

TEST_F(TemplateTest, TheTextFieldTakesExactlyWhatIsStoredAndReadBackWhole)
{
    const int limit = notes::kLongTextChars;
    auto stored = [&] { return Scalar(L"SELECT DiagTemplate FROM DiagHelp WHERE DiagHelp=5;"); };
    for (int n : {limit - 1, limit}) {
        ASSERT_TRUE(editor.Create(&note, 5, TRUE));
        SetWindowTextW(editor.GetEdit(), LongText(n - 1, L'a').c_str());
        SendMessageW(editor.GetEdit(), EM_SETSEL, n - 1, n - 1);
        SendMessageW(editor.GetEdit(), WM_CHAR, L'z', 1);
        ASSERT_EQ(n, GetWindowTextLengthW(editor.GetEdit())) << n;
        SendMessageW(editor.GetEdit(), EM_SETMODIFY, TRUE, 0);
        editor.Save();
        EXPECT_EQ((size_t)n, stored().size());
        editor.Destroy();
        ASSERT_TRUE(editor.Create(&note, 5, TRUE)) << "opened again: " << n;
        EXPECT_EQ(n, GetWindowTextLengthW(editor.GetEdit()));
        editor.Destroy();
    }
    // The template of the full length goes into a description whole.
    NoteSnimokWnd description;
    ASSERT_TRUE(description.Create(host->Hwnd(), true, 903, 17));
    description.ApplyTemplate(5, TRUE);
    EXPECT_EQ(limit, GetWindowTextLengthW(description.GetEdit()));
    description.SaveAndClose();
    EXPECT_EQ((size_t)limit, Scalar(L"SELECT Apicriz FROM Snimok WHERE Snimok=903;").size());
    // One above: the field takes no more, and a text past it is refused whole.
    ASSERT_TRUE(editor.Create(&note, 5, TRUE));
    SendMessageW(editor.GetEdit(), EM_SETSEL, limit, limit);
    SendMessageW(editor.GetEdit(), WM_CHAR, L'q', 1);
    EXPECT_EQ(limit, GetWindowTextLengthW(editor.GetEdit()));
    SetWindowTextW(editor.GetEdit(), LongText(limit + 1, L'b').c_str());
    SendMessageW(editor.GetEdit(), EM_SETMODIFY, TRUE, 0);
    {
        PromptScript script({IDOK});
        editor.Save();
        EXPECT_EQ(1u, script.Count());
    }
    EXPECT_EQ((size_t)limit, stored().size()) << "the stored template stays";
    SendMessageW(editor.GetEdit(), EM_SETMODIFY, FALSE, 0);
}

TEST_F(TemplateTest, EditsAreOfferedForSavingBeforeAnotherTemplateIsShown)
{
    ASSERT_TRUE(editor.Create(&note, 5, TRUE));
    SetWindowTextW(editor.GetEdit(), L"edited");
    SendMessageW(editor.GetEdit(), EM_SETMODIFY, TRUE, 0);
    {
        PromptScript script({IDCANCEL});
        EXPECT_FALSE(editor.ChooseItem(2));
        EXPECT_EQ(1u, script.Count());
    }
    EXPECT_EQ(5u, editor.SelectedKey()) << "Cancel keeps the edited template";
    EXPECT_EQ(1, (int)SendMessageW(editor.GetList(), LB_GETCURSEL, 0, 0));
    EXPECT_EQ(L"edited", Text());
    {
        PromptScript script({IDYES});
        EXPECT_TRUE(editor.ChooseItem(2));
    }
    EXPECT_EQ(L"edited", Scalar(L"SELECT DiagTemplate FROM DiagHelp WHERE DiagHelp=5;"));
    EXPECT_EQ(L"No changes.", Text());
    SetWindowTextW(editor.GetEdit(), L"dropped");
    SendMessageW(editor.GetEdit(), EM_SETMODIFY, TRUE, 0);
    {
        PromptScript script({IDNO});
        editor.Exit();
    }
    EXPECT_FALSE(editor.GetHwnd());
    EXPECT_EQ(L"No changes.", Scalar(L"SELECT DiagTemplate FROM DiagHelp WHERE DiagHelp=7;"));
}

TEST_F(TemplateTest, DefaultStoresTheSelectedName)
{
    ASSERT_TRUE(editor.Create(&note, 6, TRUE));
    editor.MakeDefault();
    wchar_t name[64] = {};
    DWORD size = sizeof name;
    ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(settings->Root(), settings->Path(), L"DefTemplateName", RRF_RT_REG_SZ,
                                          nullptr, name, &size));
    EXPECT_STREQ(L"Arthrosis", name);
}

TEST_F(TemplateTest, NewMakesATemplateWhoseKeyTheDatabaseGaveAndSelectsIt)
{
    ASSERT_TRUE(editor.Create(&note, 5, TRUE));
    gTypedName = L"";
    SetTimer(nullptr, 0, 30, &TypeName);
    editor.New();
    EXPECT_EQ(3u, Names().size()) << "an empty name makes nothing";
    gTypedName = L"Bruise";
    SetTimer(nullptr, 0, 30, &TypeName);
    editor.New();
    EXPECT_EQ((std::vector<std::wstring>{L"Arthrosis", L"Bruise", L"Fracture", L"Normal"}), Names());
    const std::wstring key = Scalar(L"SELECT DiagHelp FROM DiagHelp WHERE Txt=N'Bruise';");
    EXPECT_EQ(key, std::to_wstring(editor.SelectedKey()));
    EXPECT_GT(std::stol(key), 7);
    EXPECT_EQ(1, (int)SendMessageW(editor.GetList(), LB_GETCURSEL, 0, 0));
    EXPECT_EQ(L"", Text());
}

TEST_F(TemplateTest, DeleteAsksThenUnlinksTheImagesAndDeletesInOneTransaction)
{
    ASSERT_TRUE(editor.Create(&note, 5, TRUE));
    {
        PromptScript script({IDNO});
        editor.Delete();
        ASSERT_EQ(1u, script.Count());
        EXPECT_EQ(L"Delete the template \"Fracture\"?", script.Last().text);
    }
    EXPECT_EQ(L"3", Scalar(L"SELECT COUNT(*) FROM DiagHelp;"));
    {
        PromptScript script({IDYES});
        editor.Delete();
    }
    EXPECT_EQ(L"2", Scalar(L"SELECT COUNT(*) FROM DiagHelp;"));
    EXPECT_EQ(L"0", Scalar(L"SELECT COUNT(*) FROM Snimok WHERE DiagHelp=5;"));
    EXPECT_EQ(L"A fracture.", Scalar(L"SELECT Apicriz FROM Snimok WHERE Snimok=901;")) << "the text stays";
    EXPECT_EQ(L"7", Scalar(L"SELECT DiagHelp FROM Snimok WHERE Snimok=903;")) << "other links stay";
    EXPECT_EQ((std::vector<std::wstring>{L"Arthrosis", L"Normal"}), Names());
    EXPECT_EQ(6u, editor.SelectedKey()) << "the first template becomes selected";
}

TEST_F(TemplateTest, AFailedDeleteChangesNothing)
{
    ASSERT_TRUE(editor.Create(&note, 5, TRUE));
    // Another connection could not unlink: make the DELETE fail after the UPDATE ran.
    Exec(L"CREATE TABLE Keep (DiagHelp int NOT NULL CONSTRAINT FK_Keep REFERENCES DiagHelp (DiagHelp));");
    Exec(L"INSERT INTO Keep (DiagHelp) VALUES (5);");
    {
        PromptScript script({IDYES});
        EXPECT_THROW(editor.Delete(), DODBErrors);
    }
    EXPECT_EQ(L"3", Scalar(L"SELECT COUNT(*) FROM DiagHelp;"));
    EXPECT_EQ(L"2", Scalar(L"SELECT COUNT(*) FROM Snimok WHERE DiagHelp=5;")) << "the unlink was rolled back";
}

TEST_F(TemplateTest, AnEmptyTableLeavesNothingToSaveOrDeleteAndSelectEmptiesTheNote)
{
    Exec(L"UPDATE Snimok SET DiagHelp=NULL;");
    Exec(L"DELETE FROM DiagHelp;");
    ASSERT_TRUE(editor.Create(&note, 5, TRUE));
    EXPECT_FALSE(editor.HasSelection());
    EXPECT_TRUE(Names().empty());
    editor.Save();
    editor.MakeDefault();
    editor.Delete();   // no question either
    editor.Select();
    ASSERT_EQ(1u, note.applied.size());
    EXPECT_FALSE(note.applied[0].second);
}

TEST_F(TemplateTest, TheDefaultIsByNameAndADeletedOneAppliesNothing)
{
    NoteSnimokWnd real;
    ASSERT_TRUE(real.Create(host->Hwnd(), true, 903, 17));
    real.OpenTemplateEditor();
    TNoteSnimokWnd& own = real.Editor();
    ASSERT_TRUE(own.GetHwnd());
    EXPECT_EQ(7u, own.SelectedKey());
    own.MakeDefault();
    {
        PromptScript script({IDYES});
        own.Delete();
    }
    real.ApplyDefaultTemplate();
    EXPECT_FALSE(real.IsChanged());
    own.ChooseItem(0);
    own.Select();
    EXPECT_FALSE(own.GetHwnd());
    EXPECT_TRUE(real.IsChanged());
    EXPECT_EQ(6u, real.TemplateKey());
    real.SaveAndClose();
    EXPECT_EQ(L"Narrowed joint space.", Scalar(L"SELECT Apicriz FROM Snimok WHERE Snimok=903;"));
}

}  // namespace

namespace {

// Drives the real mouse and keyboard: runs alone (see tests.cmake).
using TemplateRealInput = TemplateTest;

TEST_F(TemplateRealInput, TheEditorOpensBesideItsNoteNotOverIt)
{
    NoteSnimokWnd description;
    ASSERT_TRUE(description.Create(host->Hwnd(), true, 901, 17));
    // The note's Template button, as the user clicks it.
    DButton* button = description.GetButton(NoteSnimokWnd::kTemplate);
    ASSERT_TRUE(button);
    RECT b;
    GetWindowRect(button->GetHwnd(), &b);
    harness::MouseMoveTo((b.left + b.right) / 2, (b.top + b.bottom) / 2);
    harness::Pump(20);
    harness::MouseButton(harness::Button::Left, true);
    harness::Pump(20);
    harness::MouseButton(harness::Button::Left, false);
    ASSERT_TRUE(harness::PumpUntil([&] { return description.Editor().GetHwnd() != nullptr; }, 10000));
    HWND editorWindow = description.Editor().GetHwnd();
    EXPECT_EQ(description.GetHwnd(), GetWindow(editorWindow, GW_OWNER));
    RECT noteRect, editorRect, overlap;
    GetWindowRect(description.GetHwnd(), &noteRect);
    GetWindowRect(editorWindow, &editorRect);
    // The default places are {200, 0, 400, 600} for the note and {0, 0, 400,
    // 600} for the editor: the editor moves to the nearest clear place.
    EXPECT_FALSE(IntersectRect(&overlap, &noteRect, &editorRect));
    EXPECT_EQ(400, editorRect.right - editorRect.left) << "its size stays";
    EXPECT_EQ(0, editorRect.top);
    EXPECT_EQ(noteRect.right, editorRect.left);
    description.Editor().Destroy();
    description.Destroy();
}

TEST(PlaceClearOf, TheNearestClearPlaceOnTheAreaOrNone)
{
    const RECT work = {0, 0, 1280, 1024};
    // Clear already: it stays.
    PlacementRect r = {500, 100, 200, 300};
    RECT toolbar = {0, 0, 120, 1024};
    PlaceClearOf(r, &toolbar, 1, work);
    EXPECT_EQ(500, r.x);
    // Over the toolbar's edge: moved beside it.
    r = PlacementRect{100, 0, 200, 300};
    PlaceClearOf(r, &toolbar, 1, work);
    EXPECT_EQ(120, r.x);
    EXPECT_EQ(0, r.y);
    // Two windows to avoid: past both.
    const RECT both[2] = {{0, 0, 120, 1024}, {200, 0, 600, 600}};
    r = PlacementRect{0, 0, 400, 600};
    PlaceClearOf(r, both, 2, work);
    EXPECT_EQ(600, r.x);
    EXPECT_EQ(0, r.y);
    // Below is nearer than beside.
    const RECT bar = {0, 0, 1280, 100};
    r = PlacementRect{300, 50, 200, 200};
    PlaceClearOf(r, &bar, 1, work);
    EXPECT_EQ(300, r.x);
    EXPECT_EQ(100, r.y);
    // No room anywhere: it stays where it was.
    const RECT everything = {0, 0, 1280, 1024};
    r = PlacementRect{10, 20, 300, 300};
    PlaceClearOf(r, &everything, 1, work);
    EXPECT_EQ(10, r.x);
    EXPECT_EQ(20, r.y);
    // Empty rectangles are nothing to avoid.
    const RECT empty = {};
    r = PlacementRect{0, 0, 100, 100};
    PlaceClearOf(r, &empty, 1, work);
    EXPECT_EQ(0, r.x);
}

}  // namespace
