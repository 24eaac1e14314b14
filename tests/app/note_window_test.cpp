// The image note window: load, edit and save, Protect, the save question
// however the note closes, a missing row, a description too long for the
// database, read-only notes, Print, templates applied from the note, the
// global note and the template popup menu. (The placements themselves:
// tests/ui/placement_test.cpp.)
#include "strip_fixture.h"

#include "app/notecommon.h"
#include "app/notesnimok.h"
#include "database/dbstart.h"
#include "foundation/globals.h"
#include "resources/resource.h"
#include "resources/strings.h"

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


class NoteTest : public StripTest {
protected:
    void SetUp() override
    {
        StripTest::SetUp();
        AddPatient(17, L"Ivanov");
        Exec(L"INSERT INTO DiagHelp (DiagHelp, Txt, DiagTemplate) VALUES (5, N'Fracture', N'A fracture of the radius.');");
        Exec(L"INSERT INTO DiagHelp (DiagHelp, Txt, DiagTemplate) VALUES (6, N'Normal', N'No changes.');");
        AddImage(801, 17, L"20230501 10:30", L"I00000000170000000801", 1, 0, L"first look");
        Exec(L"UPDATE Snimok SET DiagHelp=5, NoDelete=1 WHERE Snimok=801;");
        AddImage(802, 17, L"20230401 10:00", L"I00000000170000000802", 1, 0, nullptr);
    }
    std::wstring EditText(NoteSnimokWnd& note)
    {
        wchar_t text[256] = {};
        GetWindowTextW(note.GetEdit(), text, 256);
        return text;
    }
    void Type(NoteSnimokWnd& note, const wchar_t* text)
    {
        SetWindowTextW(note.GetEdit(), text);
        SendMessageW(note.GetEdit(), EM_SETMODIFY, TRUE, 0);
    }
    std::wstring Note(long key) { return Scalar(L"SELECT Apicriz FROM Snimok WHERE Snimok=" + std::to_wstring(key) + L";"); }
    NoteSnimokWnd note;
};

TEST_F(NoteTest, LoadShowsTheDescriptionTemplateDateAndProtect)
{
    ASSERT_TRUE(note.Create(host->Hwnd(), true, 801, 17));
    EXPECT_FALSE(note.Create(host->Hwnd(), true, 801, 17)) << "one window";
    EXPECT_EQ(L"first look", EditText(note));
    EXPECT_FALSE(note.IsChanged());
    EXPECT_TRUE(note.HasTemplate());
    EXPECT_EQ(5u, note.TemplateKey());
    EXPECT_STREQ(L"Fracture", note.TemplateName());
    wchar_t title[64] = {};
    GetWindowTextW(note.GetHwnd(), title, 64);
    EXPECT_STREQ(L"01/05/2023 10:30:00", title);
    EXPECT_TRUE(note.GetProtectButton()->GetCheck());
    EXPECT_EQ(0xD3D3D3u, note.GetProtectButton()->FaceColor());
    EXPECT_TRUE(note.GetButton(NoteSnimokWnd::kSave));
    EXPECT_TRUE(note.GetButton(NoteSnimokWnd::kTemplate));
    EXPECT_FALSE(GetWindowLongW(note.GetHwnd(), GWL_STYLE) & WS_SYSMENU);
    EXPECT_EQ(host->Hwnd(), GetWindow(note.GetHwnd(), GW_OWNER));
}

TEST_F(NoteTest, TheDefaultPlacementIsWrittenAndTheLastOneKept)
{
    ASSERT_TRUE(note.Create(host->Hwnd(), true, 802, 17));
    RECT r;
    GetWindowRect(note.GetHwnd(), &r);
    EXPECT_EQ(200, r.left);
    EXPECT_EQ(0, r.top);
    EXPECT_EQ(400, r.right - r.left);
    EXPECT_EQ(600, r.bottom - r.top);
    SetWindowPos(note.GetHwnd(), nullptr, 150, 40, 420, 500, SWP_NOZORDER | SWP_NOACTIVATE);
    note.Destroy();
    EXPECT_FALSE(note.GetHwnd());
    PlacementRect p = {};
    ASSERT_TRUE(LoadWindowPlacement(p, L"NoteSnimok"));
    EXPECT_EQ(150, p.x);
    EXPECT_EQ(40, p.y);
    EXPECT_EQ(420, p.cx);
    EXPECT_EQ(500, p.cy);
    PlacementRect view = {};
    EXPECT_FALSE(LoadWindowPlacement(view, L"NoteView")) << "the read-only note keeps its own";
}

TEST_F(NoteTest, SaveWritesTheDescriptionTemplateAndProtect)
{
    ASSERT_TRUE(note.Create(host->Hwnd(), true, 802, 17));
    Type(note, L"Healed fracture");
    note.ToggleProtect();
    note.SaveAndClose();   // the Save button: no question
    EXPECT_FALSE(note.GetHwnd());
    EXPECT_EQ(L"Healed fracture", Note(802));
    EXPECT_EQ(L"<null>", Scalar(L"SELECT DiagHelp FROM Snimok WHERE Snimok=802;"));
    EXPECT_EQ(L"1", Scalar(L"SELECT NoDelete FROM Snimok WHERE Snimok=802;"));
    // Reopened, it shows what was saved.
    ASSERT_TRUE(note.Create(host->Hwnd(), true, 802, 17));
    EXPECT_EQ(L"Healed fracture", EditText(note));
    EXPECT_TRUE(note.GetProtectButton()->GetCheck());
}

TEST_F(NoteTest, ProtectToggledTwiceIsNoChange)
{
    ASSERT_TRUE(note.Create(host->Hwnd(), true, 801, 17));
    note.ToggleProtect();
    EXPECT_TRUE(note.IsChanged());
    EXPECT_FALSE(note.GetProtectButton()->GetCheck());
    EXPECT_EQ(0xC0C0C0u, note.GetProtectButton()->FaceColor());
    note.ToggleProtect();
    EXPECT_FALSE(note.IsChanged());
    note.Exit();   // asks nothing (no script: a question would fail the test)
    EXPECT_FALSE(note.GetHwnd());
}

TEST_F(NoteTest, ClosingAnEditedNoteAnyWayAsksToSave)
{
    ASSERT_TRUE(note.Create(host->Hwnd(), true, 802, 17));
    Type(note, L"typed, then Alt+F4");
    {
        PromptScript script({IDYES});
        SendMessageW(note.GetHwnd(), WM_CLOSE, 0, 0);
        ASSERT_EQ(1u, script.Count());
        EXPECT_EQ(L"Data Has Been Modified.\nDo You Wish To Save Changes?", script.Last().text);
        EXPECT_EQ(L"Description", script.Last().caption);
    }
    EXPECT_FALSE(note.GetHwnd());
    EXPECT_EQ(L"typed, then Alt+F4", Note(802));

    ASSERT_TRUE(note.Create(host->Hwnd(), true, 802, 17));
    Type(note, L"typed, then the owner went");
    {
        PromptScript script({IDNO});
        DestroyWindow(note.GetHwnd());   // as the owner's destruction does
        EXPECT_EQ(1u, script.Count());
    }
    EXPECT_EQ(L"typed, then Alt+F4", Note(802)) << "No keeps the old text";

    ASSERT_TRUE(note.Create(host->Hwnd(), true, 802, 17));
    Type(note, L"typed, then Esc");
    {
        PromptScript script({IDYES});
        SendMessageW(note.GetEdit(), WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_EQ(1u, script.Count());
    }
    EXPECT_FALSE(note.GetHwnd());
    EXPECT_EQ(L"typed, then Esc", Note(802));
}

TEST_F(NoteTest, AMissingRowShowsAMessageAndClosesTheWindow)
{
    {
        PromptScript script({IDOK});
        EXPECT_FALSE(note.Create(host->Hwnd(), true, 999, 17));
        ASSERT_EQ(1u, script.Count());
        EXPECT_EQ(L"Record is not found", script.Last().text);
    }
    EXPECT_FALSE(note.GetHwnd());
    // A row deleted while the note shows another image.
    ASSERT_TRUE(note.Create(host->Hwnd(), false, 801, 17));
    Exec(L"DELETE FROM Snimok WHERE Snimok=802;");
    {
        PromptScript script({IDOK});
        EXPECT_FALSE(note.ChangeSnimok(802, 17));
        EXPECT_EQ(1u, script.Count());
    }
    EXPECT_FALSE(note.GetHwnd());
}

TEST_F(NoteTest, TheEditFieldTakesExactlyWhatIsStoredAndReadBackWhole)
{
    const int limit = NoteSnimokWnd::kEditLimit;
    auto length = [&] { return (int)Note(802).size(); };
    // One below the limit and at the limit: the last character typed, the
    // text saved, and reopened whole.
    for (int n : {limit - 1, limit}) {
        ASSERT_TRUE(note.Create(host->Hwnd(), true, 802, 17));
        SetWindowTextW(note.GetEdit(), LongText(n - 1, L'a').c_str());
        SendMessageW(note.GetEdit(), EM_SETSEL, n - 1, n - 1);
        SendMessageW(note.GetEdit(), WM_CHAR, L'z', 1);
        ASSERT_EQ(n, GetWindowTextLengthW(note.GetEdit())) << n;
        SendMessageW(note.GetEdit(), EM_SETMODIFY, TRUE, 0);
        note.SaveAndClose();
        EXPECT_FALSE(note.GetHwnd()) << n;
        EXPECT_EQ(n, length());
        ASSERT_TRUE(note.Create(host->Hwnd(), true, 802, 17)) << "opened again: " << n;
        const std::wstring back = notes::WindowText(note.GetEdit());
        EXPECT_EQ((size_t)n, back.size());
        EXPECT_EQ(L'z', back.empty() ? 0 : back.back());
        note.Destroy();
    }
    // One above: the field takes no more ...
    ASSERT_TRUE(note.Create(host->Hwnd(), true, 802, 17));
    SendMessageW(note.GetEdit(), EM_SETSEL, limit, limit);
    SendMessageW(note.GetEdit(), WM_CHAR, L'q', 1);
    SendMessageW(note.GetEdit(), EM_REPLACESEL, TRUE, (LPARAM)L"q");
    EXPECT_EQ(limit, GetWindowTextLengthW(note.GetEdit()));
    // ... and a text that got past it anyway is refused whole, not cut.
    Type(note, LongText(limit + 1, L'b').c_str());
    {
        PromptScript script({IDOK});
        note.SaveAndClose();
        ASSERT_EQ(1u, script.Count());
        EXPECT_NE(std::wstring::npos, script.Last().text.find(std::to_wstring(limit + 1)));
    }
    EXPECT_TRUE(note.GetHwnd());
    EXPECT_EQ(limit, length()) << "the stored description stays";
    PromptScript no({IDNO});   // closing asks about the edit: kept as stored
    note.Destroy();
}

TEST_F(NoteTest, PrintSaysInTheUsersLanguageThatItIsNotAvailable)
{
    ASSERT_TRUE(note.Create(host->Hwnd(), true, 801, 17));
    PromptScript script({IDOK});
    note.Print();
    ASSERT_EQ(1u, script.Count());
    wchar_t expected[256] = {};
    LoadStringW(hInstance, IDS_NOT_AVAILABLE_YET, expected, 256);
    EXPECT_EQ(std::wstring(expected), script.Last().text);
    // Under the caption the table gives it, not the system's "Error".
    wchar_t caption[256] = {};
    LoadStringW(hInstance, IDS_NOT_AVAILABLE_CAPTION, caption, 256);
    ASSERT_TRUE(script.Last().hasCaption);
    EXPECT_EQ(std::wstring(caption), script.Last().caption);
    EXPECT_EQ(UINT(MB_ICONINFORMATION), script.Last().flags & MB_ICONMASK);
}

TEST_F(NoteTest, ADescriptionTooLongForTheDatabaseIsRefusedNotCut)
{
    ASSERT_TRUE(note.Create(host->Hwnd(), true, 802, 17));
    std::wstring longText(40000, L'x');
    Type(note, longText.c_str());
    ASSERT_EQ(40000, GetWindowTextLengthW(note.GetEdit()));
    {
        PromptScript script({IDOK});
        note.SaveAndClose();
        ASSERT_EQ(1u, script.Count());
        EXPECT_NE(std::wstring::npos, script.Last().text.find(L"too long")) << std::string(script.Last().text.begin(), script.Last().text.end());
        EXPECT_NE(std::wstring::npos, script.Last().text.find(L"40000"));
    }
    EXPECT_TRUE(note.GetHwnd()) << "the text stays on screen";
    EXPECT_TRUE(note.IsChanged());
    EXPECT_EQ(L"<null>", Note(802));
    Type(note, L"short again");
    note.SaveAndClose();
    EXPECT_EQ(L"short again", Note(802));
}

TEST_F(NoteTest, AReadOnlyNoteHasNoSaveNorTemplateAndNeverAsks)
{
    ASSERT_TRUE(note.Create(host->Hwnd(), false, 801, 17));
    EXPECT_FALSE(note.GetButton(NoteSnimokWnd::kSave));
    EXPECT_FALSE(note.GetButton(NoteSnimokWnd::kTemplate));
    EXPECT_TRUE(note.GetButton(NoteSnimokWnd::kExit));
    EXPECT_TRUE(note.GetButton(NoteSnimokWnd::kPrint));
    EXPECT_TRUE(GetWindowLongW(note.GetEdit(), GWL_STYLE) & ES_READONLY);
    note.ToggleProtect();
    EXPECT_TRUE(note.GetProtectButton()->GetCheck()) << "nothing changes in a read-only note";
    note.Exit();
    EXPECT_FALSE(note.GetHwnd());
    PlacementRect p = {};
    EXPECT_TRUE(LoadWindowPlacement(p, L"NoteView"));
}

TEST_F(NoteTest, ButtonsLayOutInColumnsByWidth)
{
    ASSERT_TRUE(note.Create(host->Hwnd(), true, 802, 17));
    auto columns = [&](int clientWidth) {
        RECT frame = {0, 0, clientWidth, 600};
        AdjustWindowRectEx(&frame, (DWORD)GetWindowLongW(note.GetHwnd(), GWL_STYLE), FALSE,
                           (DWORD)GetWindowLongW(note.GetHwnd(), GWL_EXSTYLE));
        SetWindowPos(note.GetHwnd(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        int n = 0;
        RECT first;
        GetWindowRect(note.GetButton(NoteSnimokWnd::kExit)->GetHwnd(), &first);
        for (NoteSnimokWnd::Button b : {NoteSnimokWnd::kExit, NoteSnimokWnd::kSave, NoteSnimokWnd::kTemplate,
                                        NoteSnimokWnd::kPrint}) {
            RECT r;
            GetWindowRect(note.GetButton(b)->GetHwnd(), &r);
            if (r.top == first.top)
                ++n;
        }
        return n;
    };
    EXPECT_EQ(1, columns(239));
    EXPECT_EQ(4, columns(480));
    EXPECT_EQ(2, columns(300));
}

TEST_F(NoteTest, ATemplateReplacesTheWholeTextAndCountsAsAChange)
{
    ASSERT_TRUE(note.Create(host->Hwnd(), true, 802, 17));
    note.ApplyTemplate(6, TRUE);
    EXPECT_EQ(L"No changes.", EditText(note));
    EXPECT_STREQ(L"Normal", note.TemplateName());
    EXPECT_TRUE(note.IsChanged());
    note.SaveAndClose();
    EXPECT_EQ(L"No changes.", Note(802));
    EXPECT_EQ(L"6", Scalar(L"SELECT DiagHelp FROM Snimok WHERE Snimok=802;"));
    // A template deleted meanwhile empties the note.
    ASSERT_TRUE(note.Create(host->Hwnd(), true, 802, 17));
    note.ApplyTemplate(77, TRUE);
    EXPECT_EQ(L"", EditText(note));
    EXPECT_STREQ(L"", note.TemplateName());
    EXPECT_FALSE(note.HasTemplate());
    EXPECT_TRUE(note.IsChanged());
    note.SaveAndClose();
    EXPECT_EQ(L"<null>", Scalar(L"SELECT DiagHelp FROM Snimok WHERE Snimok=802;"));
}

TEST_F(NoteTest, TheDefaultTemplateIsFoundByName)
{
    ASSERT_TRUE(note.Create(host->Hwnd(), true, 802, 17));
    note.ApplyDefaultTemplate();   // none set: nothing changes
    EXPECT_FALSE(note.IsChanged());
    settings->SetString(L"DefTemplateName", L"Nobody's");
    note.ApplyDefaultTemplate();
    EXPECT_FALSE(note.IsChanged());
    settings->SetString(L"DefTemplateName", L"Fracture");
    note.ApplyDefaultTemplate();
    EXPECT_EQ(L"A fracture of the radius.", EditText(note));
    EXPECT_EQ(5u, note.TemplateKey());
    note.SaveAndClose();
}

TEST_F(NoteTest, TheGlobalNoteOpensReadOnlyAndSwitchesImages)
{
    SetSnimokNoteOwner(host->Hwnd());
    ShowSnimokNote(801, 17);
    NoteSnimokWnd& global = GlobalSnimokNote();
    ASSERT_TRUE(global.GetHwnd());
    HWND first = global.GetHwnd();
    EXPECT_FALSE(global.IsEditable());
    ShowSnimokNote(802, 17);
    EXPECT_EQ(first, global.GetHwnd()) << "one window, another image";
    EXPECT_EQ(802u, global.GetImageId());
    CloseSnimokNote();
    EXPECT_FALSE(global.GetHwnd());
    SetSnimokNoteOwner(nullptr);
}

TEST_F(NoteTest, TheTemplateMenuWritesTheChosenTemplateAtOnce)
{
    MenuScript::Answers() = {0, 6};
    SetNoteFromTemplateMenu(host->Hwnd(), 801, 100, 100);
    EXPECT_EQ(L"first look", Note(801)) << "nothing chosen";
    SetNoteFromTemplateMenu(host->Hwnd(), 801, 100, 100);
    ASSERT_EQ(2u, MenuScript::Seen().size());
    ASSERT_EQ(2u, MenuScript::Seen()[0].size());
    EXPECT_EQ(L"Fracture", MenuScript::Seen()[0][0].text);
    EXPECT_EQ(5u, MenuScript::Seen()[0][0].id);
    EXPECT_EQ(L"Normal", MenuScript::Seen()[0][1].text);
    EXPECT_EQ(L"No changes.", Note(801));
    EXPECT_EQ(L"6", Scalar(L"SELECT DiagHelp FROM Snimok WHERE Snimok=801;"));
    Exec(L"DELETE FROM Snimok;");
    Exec(L"DELETE FROM DiagHelp;");
    MenuScript::Seen().clear();
    SetNoteFromTemplateMenu(host->Hwnd(), 801, 100, 100);
    EXPECT_TRUE(MenuScript::Seen().empty()) << "no templates, no menu";
}

}  // namespace

namespace {

TEST(StripResources, EveryIconOfTheNotesTemplatesAndStripLoads)
{
    for (UINT id : {IDI_TEMPLATE_NEW, IDI_TEMPLATE_DELETE, IDI_TEMPLATE_SELECT, IDI_NOTE_TEMPLATE, IDI_TEMPLATE_DEFAULT,
                    IDI_ICONSBAR, IDI_NOTE_PROTECTED, IDI_VIEWER_DESCRIPTION}) {
        HICON icon = (HICON)LoadImageW(hInstance, MAKEINTRESOURCEW(id), IMAGE_ICON, 32, 32, 0);
        EXPECT_TRUE(icon) << id;
        if (icon)
            DestroyIcon(icon);
    }
}

}  // namespace
